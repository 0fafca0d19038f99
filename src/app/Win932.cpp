#include "app/Win932.h"

namespace win932 {

namespace {
int forcedAnsi = 0;
}

bool WideSystem() {
    // The high bit of the version word is set only on the 95 family.
    static const bool nt = (GetVersion() & 0x80000000u) == 0;
    return nt && forcedAnsi == 0;
}

ForceAnsiForTest::ForceAnsiForTest() { ++forcedAnsi; }
ForceAnsiForTest::~ForceAnsiForTest() { --forcedAnsi; }

std::wstring Wide(std::string_view text) {
    if (text.empty()) return {};
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(kCodePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(kCodePage, 0, text.data(), size, wide.data(), n);
    return wide;
}

bool Narrow(std::wstring_view text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    const int size = static_cast<int>(text.size());
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0, nullptr, &lost);
    if (n <= 0) return false;
    out.assign(static_cast<size_t>(n), '\0');
    lost = FALSE;
    WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, text.data(), size, out.data(), n, nullptr, &lost);
    return !lost;
}

std::string NarrowForDisplay(std::wstring_view text) {
    std::string out;
    Narrow(text, out);
    return out;
}

bool PathFromSystem(const std::wstring& path, std::string& out) {
    if (Narrow(path, out)) return true;
    const DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n == 0) return false;
    std::wstring shortPath(n, L'\0');
    const DWORD got = GetShortPathNameW(path.c_str(), shortPath.data(), n);
    if (got == 0 || got >= n) return false;
    shortPath.resize(got);
    return Narrow(shortPath, out);
}

}  // namespace win932

using win932::WideSystem;
using win932::Wide;

HANDLE CreateFile932(const std::string& name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                     DWORD disposition, DWORD flags, HANDLE templateFile) {
    if (WideSystem())
        return CreateFileW(Wide(name).c_str(), access, share, security, disposition, flags, templateFile);
    return CreateFileA(name.c_str(), access, share, security, disposition, flags, templateFile);
}

BOOL DeleteFile932(const std::string& name) {
    return WideSystem() ? DeleteFileW(Wide(name).c_str()) : DeleteFileA(name.c_str());
}

DWORD GetFileAttributes932(const std::string& name) {
    return WideSystem() ? GetFileAttributesW(Wide(name).c_str()) : GetFileAttributesA(name.c_str());
}

BOOL SetFileAttributes932(const std::string& name, DWORD attributes) {
    return WideSystem() ? SetFileAttributesW(Wide(name).c_str(), attributes)
                        : SetFileAttributesA(name.c_str(), attributes);
}

// --- Profile files -----------------------------------------------------------

bool ProfileMappedToRegistry932(const std::string& file) {
    if (!WideSystem()) return false;
    // The list is keyed by the file name alone.
    const std::wstring path = Wide(file);
    const size_t slash = path.find_last_of(L"\\/:");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    if (name.empty()) return false;
    HKEY key = nullptr;
    const std::wstring subkey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\" + name;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
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
