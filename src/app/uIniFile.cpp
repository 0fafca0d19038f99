#include "app/uIniFile.h"

#include <windows.h>

#include <vector>

std::string IniRead(const std::string& section, const std::string& key, const std::string& defaultValue,
                    const std::string& file) {
    constexpr DWORD kStep = 256;
    std::vector<char> buffer(kStep);
    for (;;) {
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), defaultValue.c_str(), buffer.data(),
                                                 size, file.c_str());
        // A cut value comes back as size - 1 bytes, or as size - 2 when the
        // cut fell before a double-byte character that no longer fit; only a
        // shorter answer is certainly whole.
        if (n < size - 2) return std::string(buffer.data(), n);
        buffer.assign(buffer.size() + kStep, '\0');
    }
}

bool IniWrite(const std::string& section, const std::string& key, const std::string& value,
              const std::string& file) {
    const BOOL written = WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str());
    // All-null arguments make the system write its cached copy out now, so a
    // reader of the file itself (another process, a restart) sees the value.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
    return written != FALSE;
}
