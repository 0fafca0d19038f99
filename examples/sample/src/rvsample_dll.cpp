// The sample package's shared library. Registering writes
// HKEY_CURRENT_USER\Software\Ravelin Sample\Library "Registered";
// unregistering removes that value again.
#include <windows.h>

namespace {
const char kKey[] = "Software\\Ravelin Sample\\Library";
}  // namespace

extern "C" HRESULT __stdcall DllRegisterServer() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return E_FAIL;
    const char data[] = "yes";
    const LONG r = RegSetValueExA(key, "Registered", 0, REG_SZ, reinterpret_cast<const BYTE*>(data), sizeof data);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? S_OK : E_FAIL;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return S_OK;
    RegDeleteValueA(key, "Registered");
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
    return S_OK;
}
