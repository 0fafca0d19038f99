// The registry: string values are stored as Unicode on the NT family.
#include "platform/Win932.h"

#include <algorithm>

using win932::WideSystem;
using win932::Wide;

namespace {

bool StringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Null for the default value, as the functions expect it.
const wchar_t* ValueName(const std::wstring& name) { return name.empty() ? nullptr : name.c_str(); }
const char* ValueName(const std::string& name) { return name.empty() ? nullptr : name.c_str(); }

}  // namespace

LONG RegOpenKeyEx932(HKEY key, const std::string& subkey, DWORD options, REGSAM access, HKEY* result) {
    return WideSystem() ? RegOpenKeyExW(key, Wide(subkey).c_str(), options, access, result)
                        : RegOpenKeyExA(key, subkey.c_str(), options, access, result);
}

LONG RegCreateKeyEx932(HKEY key, const std::string& subkey, DWORD options, REGSAM access,
                       SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition) {
    if (WideSystem())
        return RegCreateKeyExW(key, Wide(subkey).c_str(), 0, nullptr, options, access, security, result, disposition);
    return RegCreateKeyExA(key, subkey.c_str(), 0, nullptr, options, access, security, result, disposition);
}

LONG RegDeleteKey932(HKEY key, const std::string& subkey) {
    return WideSystem() ? RegDeleteKeyW(key, Wide(subkey).c_str()) : RegDeleteKeyA(key, subkey.c_str());
}

LONG RegDeleteValue932(HKEY key, const std::string& name) {
    return WideSystem() ? RegDeleteValueW(key, ValueName(Wide(name))) : RegDeleteValueA(key, ValueName(name));
}

LONG RegEnumKeyEx932(HKEY key, DWORD index, std::string& name) {
    name.clear();
    for (DWORD room = 256;; room *= 2) {
        DWORD length = room;
        LONG result = ERROR_SUCCESS;
        if (WideSystem()) {
            std::wstring wide(room, L'\0');
            result = RegEnumKeyExW(key, index, wide.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (result == ERROR_SUCCESS && !win932::Narrow(std::wstring_view(wide.data(), length), name))
                result = win932::kNoCp932Form;
        } else {
            std::string ansi(room, '\0');
            result = RegEnumKeyExA(key, index, ansi.data(), &length, nullptr, nullptr, nullptr, nullptr);
            if (result == ERROR_SUCCESS) name.assign(ansi.data(), length);
        }
        if (result != ERROR_MORE_DATA || room >= 65536) return result;
    }
}

LONG RegQueryInfoKey932(HKEY key, DWORD* subkeys, DWORD* values) {
    if (WideSystem())
        return RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, values, nullptr, nullptr,
                                nullptr, nullptr);
    return RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, values, nullptr, nullptr,
                            nullptr, nullptr);
}

LONG RegSetValueEx932(HKEY key, const std::string& name, DWORD type, const BYTE* data, DWORD size) {
    if (!WideSystem()) return RegSetValueExA(key, ValueName(name), 0, type, data, size);
    const std::wstring wideName = Wide(name);
    if (!StringType(type)) return RegSetValueExW(key, ValueName(wideName), 0, type, data, size);
    std::wstring text = Wide(std::string_view(reinterpret_cast<const char*>(data), size));
    // The stored size counts the terminating null, which a caller may leave off.
    if (text.empty() || text.back() != L'\0') text.push_back(L'\0');
    return RegSetValueExW(key, ValueName(wideName), 0, type, reinterpret_cast<const BYTE*>(text.data()),
                          static_cast<DWORD>(text.size() * sizeof(wchar_t)));
}

LONG RegQueryValueEx932(HKEY key, const std::string& name, DWORD* type, std::string& data) {
    data.clear();
    DWORD kind = REG_NONE;
    // The value may grow between the calls: asked until it fits.
    for (DWORD room = 256;; ) {
        std::string buffer(room, '\0');
        DWORD got = room;
        const LONG result = WideSystem()
                                ? RegQueryValueExW(key, ValueName(Wide(name)), nullptr, &kind,
                                                   reinterpret_cast<BYTE*>(buffer.data()), &got)
                                : RegQueryValueExA(key, ValueName(name), nullptr, &kind,
                                                   reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (result == ERROR_MORE_DATA) {
            room = std::max(got, room * 2);
            continue;
        }
        if (result != ERROR_SUCCESS) return result;
        if (type) *type = kind;
        buffer.resize(std::min(got, room));
        if (!WideSystem() || !StringType(kind)) {
            data = buffer;
            return ERROR_SUCCESS;
        }
        const std::wstring_view wide(reinterpret_cast<const wchar_t*>(buffer.data()), buffer.size() / sizeof(wchar_t));
        if (!win932::Narrow(wide, data)) {
            data.clear();
            return win932::kNoCp932Form;
        }
        return ERROR_SUCCESS;
    }
}
