// Profile files through the system's own functions.
#include "platform/Win932.h"

#include "platform/Handles.h"

using win932::WideSystem;
using win932::Wide;

bool ProfileMappedToRegistry932(const std::string& file) {
    if (!WideSystem()) return false;
    // The list is keyed by the file name alone.
    const std::wstring path = Wide(file);
    const size_t slash = path.find_last_of(L"\\/:");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (name.empty()) return false;
    RegKey key;
    const std::wstring subkey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\" + name;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

namespace {

// Handed to the system instead of the caller's default, which may be longer
// than the system copes with; a value never holds these bytes.
const char kMissingA[] = "\x01\x02\x03";
const wchar_t kMissingW[] = L"\x01\x02\x03";

template <typename Char, typename Call>
bool GrowingProfileRead(const Char* missing, Call call, std::basic_string<Char>& value) {
    for (DWORD size = 256;; size *= 2) {
        std::basic_string<Char> buffer(size, Char());
        const DWORD n = call(buffer.data(), size);
        // A cut value comes back as size - 1, or size - 2 when the cut fell
        // before a double-byte character: only shorter is certainly whole.
        if (n + 2 < size) {
            buffer.resize(n);
            if (buffer == missing) return false;
            value = std::move(buffer);
            return true;
        }
    }
}

}  // namespace

bool GetPrivateProfileString932(const std::string& section, const std::string& key, const std::string& file,
                                std::string& value) {
    if (WideSystem()) {
        const std::wstring s = Wide(section), k = Wide(key), f = Wide(file);
        std::wstring wide;
        if (!GrowingProfileRead<wchar_t>(kMissingW, [&](wchar_t* buffer, DWORD size) {
                return GetPrivateProfileStringW(s.c_str(), k.c_str(), kMissingW, buffer, size, f.c_str());
            }, wide))
            return false;
        value = win932::NarrowForDisplay(wide);
        return true;
    }
    return GrowingProfileRead<char>(kMissingA, [&](char* buffer, DWORD size) {
        return GetPrivateProfileStringA(section.c_str(), key.c_str(), kMissingA, buffer, size, file.c_str());
    }, value);
}

BOOL WritePrivateProfileString932(const char* section, const char* key, const char* value, const std::string& file) {
    if (WideSystem()) {
        const std::wstring s = section ? Wide(section) : L"", k = key ? Wide(key) : L"", v = value ? Wide(value) : L"";
        return WritePrivateProfileStringW(section ? s.c_str() : nullptr, key ? k.c_str() : nullptr,
                                          value ? v.c_str() : nullptr, Wide(file).c_str());
    }
    return WritePrivateProfileStringA(section, key, value, file.c_str());
}
