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
