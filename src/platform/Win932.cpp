#include "platform/Win932.h"

#include <lzexpand.h>
#include <shlobj.h>

#include <algorithm>
#include <cwchar>
#include <cstring>
#include <iterator>

#include "platform/Handles.h"
#include "platform/SystemLibraries.h"

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

namespace {

// Exactly the text in the code page, or false. The best-fit switch is
// refused before Windows 2000 (ERROR_INVALID_FLAGS): there a plain
// conversion must convert back to the text itself.
bool ToCodePage(UINT codePage, std::wstring_view text, std::string& out) {
    out.clear();
    if (text.empty()) return true;
    const int size = static_cast<int>(text.size());
    static bool bestFitSwitchRefused = false;
    if (!bestFitSwitchRefused && !syslib::NewerEntriesHidden()) {
        BOOL lost = FALSE;
        const int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0, nullptr, &lost);
        if (n > 0) {
            out.assign(static_cast<size_t>(n), '\0');
            lost = FALSE;
            WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.data(), size, out.data(), n, nullptr, &lost);
            return !lost;
        }
        if (GetLastError() != ERROR_INVALID_FLAGS) return false;
        bestFitSwitchRefused = true;
    }
    BOOL lost = FALSE;
    const int n = WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, &lost);
    if (n <= 0) return false;
    out.assign(static_cast<size_t>(n), '\0');
    lost = FALSE;
    WideCharToMultiByte(codePage, 0, text.data(), size, out.data(), n, nullptr, &lost);
    if (lost) return false;
    const int back = MultiByteToWideChar(codePage, 0, out.data(), n, nullptr, 0);
    if (back != size) return false;
    std::wstring again(static_cast<size_t>(back), L'\0');
    MultiByteToWideChar(codePage, 0, out.data(), n, again.data(), back);
    return again == text;
}

}  // namespace

bool Narrow(std::wstring_view text, std::string& out) { return ToCodePage(kCodePage, text, out); }

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

namespace {

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

// A folder named with its trailing separator is found without it; a root
// folder ("C:\", "\\server\share\") is found by no search at all.
bool RootFolder(const std::string& name) {
    if (name.size() == 3 && name[1] == ':' && (name[2] == '\\' || name[2] == '/')) return true;
    if (name.size() > 2 && name[0] == '\\' && name[1] == '\\') {
        const size_t share = name.find('\\', 2);
        const size_t end = share == std::string::npos ? std::string::npos : name.find('\\', share + 1);
        return share != std::string::npos && (end == std::string::npos || end + 1 == name.size());
    }
    return false;
}

BOOL AttributesByFind(const std::string& name, WIN32_FILE_ATTRIBUTE_DATA* data) {
    *data = WIN32_FILE_ATTRIBUTE_DATA{};
    if (name.empty() || HasWildcard(name)) {
        SetLastError(name.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME);
        return FALSE;
    }
    if (RootFolder(name)) {
        const DWORD attributes = GetFileAttributes932(name);
        if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
        data->dwFileAttributes = attributes;
        return TRUE;
    }
    std::string pattern = name;
    while (pattern.size() > 1 && (pattern.back() == '\\' || pattern.back() == '/')) pattern.pop_back();
    WIN32_FIND_DATAA found{};
    const HANDLE find = FindFirstFile932(pattern, &found);
    if (find == INVALID_HANDLE_VALUE) return FALSE;
    FindClose(find);
    // "X\" names a folder only.
    if (pattern.size() != name.size() && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        SetLastError(ERROR_DIRECTORY);
        return FALSE;
    }
    data->dwFileAttributes = found.dwFileAttributes;
    data->ftCreationTime = found.ftCreationTime;
    data->ftLastAccessTime = found.ftLastAccessTime;
    data->ftLastWriteTime = found.ftLastWriteTime;
    data->nFileSizeHigh = found.nFileSizeHigh;
    data->nFileSizeLow = found.nFileSizeLow;
    return TRUE;
}

}  // namespace

BOOL GetFileAttributesEx932(const std::string& name, WIN32_FILE_ATTRIBUTE_DATA* data) {
    // 98 and NT 4.0 on.
    static const auto wide = syslib::LoadedEntry<decltype(&::GetFileAttributesExW)>("KERNEL32.DLL", "GetFileAttributesExW");
    static const auto ansi = syslib::LoadedEntry<decltype(&::GetFileAttributesExA)>("KERNEL32.DLL", "GetFileAttributesExA");
    if (!syslib::NewerEntriesHidden()) {
        if (WideSystem() && wide) return wide(Wide(name).c_str(), GetFileExInfoStandard, data);
        if (!WideSystem() && ansi) return ansi(name.c_str(), GetFileExInfoStandard, data);
    }
    return AttributesByFind(name, data);
}

BOOL CopyFile932(const std::string& source, const std::string& target, BOOL failIfExists) {
    return WideSystem() ? CopyFileW(Wide(source).c_str(), Wide(target).c_str(), failIfExists)
                        : CopyFileA(source.c_str(), target.c_str(), failIfExists);
}

BOOL MoveFile932(const std::string& source, const std::string& target) {
    return WideSystem() ? MoveFileW(Wide(source).c_str(), Wide(target).c_str())
                        : MoveFileA(source.c_str(), target.c_str());
}

BOOL MoveFileEx932(const std::string& source, const std::string& target, DWORD flags) {
    if (WideSystem()) {
        const std::wstring wideTarget = Wide(target);
        return MoveFileExW(Wide(source).c_str(), target.empty() ? nullptr : wideTarget.c_str(), flags);
    }
    return MoveFileExA(source.c_str(), target.empty() ? nullptr : target.c_str(), flags);
}

BOOL CreateDirectory932(const std::string& name, SECURITY_ATTRIBUTES* security) {
    return WideSystem() ? CreateDirectoryW(Wide(name).c_str(), security) : CreateDirectoryA(name.c_str(), security);
}

BOOL RemoveDirectory932(const std::string& name) {
    return WideSystem() ? RemoveDirectoryW(Wide(name).c_str()) : RemoveDirectoryA(name.c_str());
}

BOOL SetCurrentDirectory932(const std::string& name) {
    return WideSystem() ? SetCurrentDirectoryW(Wide(name).c_str()) : SetCurrentDirectoryA(name.c_str());
}

namespace {

// Copies text with its null into a fixed field; false when it does not fit.
template <size_t N>
bool Fill(char (&field)[N], const std::string& text) {
    if (text.size() >= N) return false;
    text.copy(field, text.size());
    field[text.size()] = '\0';
    return true;
}

void FindRecordFromWide(const WIN32_FIND_DATAW& wide, WIN32_FIND_DATAA* data) {
    data->dwFileAttributes = wide.dwFileAttributes;
    data->ftCreationTime = wide.ftCreationTime;
    data->ftLastAccessTime = wide.ftLastAccessTime;
    data->ftLastWriteTime = wide.ftLastWriteTime;
    data->nFileSizeHigh = wide.nFileSizeHigh;
    data->nFileSizeLow = wide.nFileSizeLow;
    data->dwReserved0 = wide.dwReserved0;
    data->dwReserved1 = wide.dwReserved1;
    std::string name, alternate;
    const bool alternateOk = win932::Narrow(wide.cAlternateFileName, alternate) && Fill(data->cAlternateFileName, alternate);
    if (!alternateOk) data->cAlternateFileName[0] = '\0';
    if (win932::Narrow(wide.cFileName, name) && Fill(data->cFileName, name)) return;
    // A name that is not ours to use: its short name, or one that matches nothing.
    if (alternateOk && data->cAlternateFileName[0]) {
        Fill(data->cFileName, alternate);
        return;
    }
    Fill(data->cFileName, std::string("?"));
}

}  // namespace

HANDLE FindFirstFile932(const std::string& pattern, WIN32_FIND_DATAA* data) {
    if (!WideSystem()) return FindFirstFileA(pattern.c_str(), data);
    WIN32_FIND_DATAW wide;
    const HANDLE find = FindFirstFileW(Wide(pattern).c_str(), &wide);
    if (find != INVALID_HANDLE_VALUE) FindRecordFromWide(wide, data);
    return find;
}

BOOL FindNextFile932(HANDLE find, WIN32_FIND_DATAA* data) {
    if (!WideSystem()) return FindNextFileA(find, data);
    WIN32_FIND_DATAW wide;
    if (!FindNextFileW(find, &wide)) return FALSE;
    FindRecordFromWide(wide, data);
    return TRUE;
}

namespace {

// Calls a path function with a buffer grown until the result fits; the
// function returns the length written, or the size needed when it did not fit.
template <typename Char, typename Call>
std::basic_string<Char> Grown(Call call) {
    std::vector<Char> buffer(MAX_PATH + 1);
    for (;;) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_GEN_FAILURE);
            return {};
        }
        if (n < buffer.size()) return std::basic_string<Char>(buffer.data(), n);
        if (buffer.size() >= 32768) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return {};
        }
        buffer.resize(std::max<size_t>(n + 1, buffer.size() * 2));
    }
}

// A path the system gave: its CP932 form, or empty with kNoCp932Form.
std::string FromSystem(const std::wstring& path) {
    if (path.empty()) return {};
    std::string out;
    if (win932::PathFromSystem(path, out)) return out;
    SetLastError(win932::kNoCp932Form);
    return {};
}

}  // namespace

std::string GetFullPathName932(const std::string& path) {
    if (!WideSystem())
        return Grown<char>([&](char* out, DWORD size) { return GetFullPathNameA(path.c_str(), size, out, nullptr); });
    const std::wstring wide = Wide(path);
    return FromSystem(
        Grown<wchar_t>([&](wchar_t* out, DWORD size) { return GetFullPathNameW(wide.c_str(), size, out, nullptr); }));
}

namespace {

// The long form of each name in the path, found one by one. The root ("C:\",
// "\\server\share\") and "." and ".." stay as they are; a missing name fails
// the whole path, as the system function does.
std::string LongPathByWalking(const std::string& path) {
    if (path.empty() || HasWildcard(path)) {
        SetLastError(path.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_NAME);
        return {};
    }
    size_t start = 0;
    if (path.size() >= 2 && path[1] == ':') {
        start = path.size() > 2 && (path[2] == '\\' || path[2] == '/') ? 3 : 2;
    } else if (path.size() > 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/')) {
        const size_t share = path.find_first_of("\\/", 2);
        const size_t end = share == std::string::npos ? std::string::npos : path.find_first_of("\\/", share + 1);
        start = end == std::string::npos ? path.size() : end + 1;
    } else if (!path.empty() && (path[0] == '\\' || path[0] == '/')) {
        start = 1;
    }
    std::string result = path.substr(0, start);
    size_t at = start;
    while (at < path.size()) {
        // A trail byte may be 0x5C: the separators are found character by character.
        size_t end = at;
        while (end < path.size() && path[end] != '\\' && path[end] != '/')
            end += IsDBCSLeadByteEx(win932::kCodePage, static_cast<BYTE>(path[end])) && end + 1 < path.size() ? 2 : 1;
        const std::string name = path.substr(at, end - at);
        if (name.empty() || name == "." || name == "..") {
            result += name;
        } else {
            WIN32_FIND_DATAA found{};
            const HANDLE find = FindFirstFile932(result + name, &found);
            if (find == INVALID_HANDLE_VALUE) return {};
            FindClose(find);
            result += found.cFileName;
        }
        if (end < path.size()) result += path[end];
        at = end + 1;
    }
    return result;
}

}  // namespace

std::string GetLongPathName932(const std::string& path) {
    // 98 and 2000 on.
    static const auto wideEntry = syslib::LoadedEntry<decltype(&::GetLongPathNameW)>("KERNEL32.DLL", "GetLongPathNameW");
    static const auto ansiEntry = syslib::LoadedEntry<decltype(&::GetLongPathNameA)>("KERNEL32.DLL", "GetLongPathNameA");
    if (syslib::NewerEntriesHidden() || !(WideSystem() ? static_cast<bool>(wideEntry) : static_cast<bool>(ansiEntry)))
        return LongPathByWalking(path);
    if (!WideSystem())
        return Grown<char>([&](char* out, DWORD size) { return ansiEntry(path.c_str(), out, size); });
    const std::wstring wide = Wide(path);
    const std::wstring longPath =
        Grown<wchar_t>([&](wchar_t* out, DWORD size) { return wideEntry(wide.c_str(), out, size); });
    if (longPath.empty()) return {};
    // A long form CP932 cannot hold: the path as given is the usable one.
    std::string out;
    return win932::Narrow(longPath, out) ? out : path;
}

std::string GetShortPathName932(const std::string& path) {
    if (!WideSystem())
        return Grown<char>([&](char* out, DWORD size) { return GetShortPathNameA(path.c_str(), out, size); });
    const std::wstring wide = Wide(path);
    const std::wstring shortPath =
        Grown<wchar_t>([&](wchar_t* out, DWORD size) { return GetShortPathNameW(wide.c_str(), out, size); });
    if (shortPath.empty()) return {};
    std::string out;
    if (win932::Narrow(shortPath, out)) return out;
    SetLastError(win932::kNoCp932Form);
    return {};
}

std::string GetTempFileName932(const std::string& folder, const std::string& prefix, UINT unique) {
    if (!WideSystem()) {
        char name[MAX_PATH + 1] = {};
        return GetTempFileNameA(folder.c_str(), prefix.c_str(), unique, name) ? std::string(name) : std::string();
    }
    wchar_t name[MAX_PATH + 1] = {};
    if (!GetTempFileNameW(Wide(folder).c_str(), Wide(prefix).c_str(), unique, name)) return {};
    // The folder was CP932 and the name the system adds is ASCII.
    std::string out;
    if (win932::Narrow(name, out)) return out;
    SetLastError(win932::kNoCp932Form);
    return {};
}

BOOL GetDiskFreeSpace932(const std::string& root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                         DWORD* freeClusters, DWORD* totalClusters) {
    if (WideSystem())
        return GetDiskFreeSpaceW(Wide(root).c_str(), sectorsPerCluster, bytesPerSector, freeClusters, totalClusters);
    return GetDiskFreeSpaceA(root.c_str(), sectorsPerCluster, bytesPerSector, freeClusters, totalClusters);
}

BOOL GetDiskFreeSpaceEx932(const std::string& root, ULARGE_INTEGER* available, ULARGE_INTEGER* total,
                           ULARGE_INTEGER* totalFree) {
    const bool wide = WideSystem();
    const HMODULE kernel = GetModuleHandle932("KERNEL32.DLL");
    FARPROC entry = kernel ? GetProcAddress(kernel, wide ? "GetDiskFreeSpaceExW" : "GetDiskFreeSpaceExA") : nullptr;
    if (!entry) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return FALSE;
    }
    if (wide) {
        const auto function = reinterpret_cast<decltype(&::GetDiskFreeSpaceExW)>(reinterpret_cast<void (*)()>(entry));
        return function(Wide(root).c_str(), available, total, totalFree);
    }
    const auto function = reinterpret_cast<decltype(&::GetDiskFreeSpaceExA)>(reinterpret_cast<void (*)()>(entry));
    return function(root.c_str(), available, total, totalFree);
}

namespace win932 {

bool AnsiPathForSystem(const std::string& path, std::string& out) {
    out = path;
    if (!WideSystem() || std::all_of(path.begin(), path.end(), [](char c) { return (c & 0x80) == 0; })) return true;
    const std::wstring wide = Wide(path);
    const std::wstring shortPath =
        Grown<wchar_t>([&](wchar_t* buffer, DWORD size) { return GetShortPathNameW(wide.c_str(), buffer, size); });
    if (shortPath.empty()) return false;
    // The ANSI function reads its argument in the system's code page.
    return ToCodePage(CP_ACP, shortPath, out);
}

}  // namespace win932

INT LZOpenFile932(const std::string& name, OFSTRUCT* info, WORD style) {
    if (WideSystem() && (style & OF_CREATE)) {
        // Created now, so that the name has a short form to be opened by.
        FileHandle created(CreateFile932(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    std::string ansi;
    if (!win932::AnsiPathForSystem(name, ansi)) {
        *info = OFSTRUCT{};
        info->nErrCode = static_cast<WORD>(win932::kNoCp932Form);
        return LZERROR_BADINHANDLE;
    }
    return syslib::LZOpenFileA(ansi.data(), info, style);
}

std::string GetExpandedName932(const std::string& name) {
    std::string ansi;
    if (!win932::AnsiPathForSystem(name, ansi)) return name;
    std::string source = ansi;
    std::vector<char> expanded(std::max<size_t>(ansi.size() + 16, 256), '\0');
    if (syslib::GetExpandedNameA(source.data(), expanded.data()) < 0) return name;
    const std::string result(expanded.data());
    if (ansi == name) return result;
    // Asked by the short name: the recorded last character goes onto the
    // name as given, which is what the call does to a name it can read.
    if (result.size() != ansi.size() || result.compare(0, ansi.size() - 1, ansi, 0, ansi.size() - 1) != 0 ||
        (result.back() & 0x80) || name.empty())
        return name;
    return name.substr(0, name.size() - 1) + result.back();
}

std::string GetTempPath932() {
    if (!WideSystem()) return Grown<char>([](char* out, DWORD size) { return GetTempPathA(size, out); });
    return FromSystem(Grown<wchar_t>([](wchar_t* out, DWORD size) { return GetTempPathW(size, out); }));
}

std::string GetWindowsDirectory932() {
    if (!WideSystem()) return Grown<char>([](char* out, DWORD size) { return GetWindowsDirectoryA(out, size); });
    return FromSystem(Grown<wchar_t>([](wchar_t* out, DWORD size) { return GetWindowsDirectoryW(out, size); }));
}

std::string GetSystemDirectory932() {
    if (!WideSystem()) return Grown<char>([](char* out, DWORD size) { return GetSystemDirectoryA(out, size); });
    return FromSystem(Grown<wchar_t>([](wchar_t* out, DWORD size) { return GetSystemDirectoryW(out, size); }));
}

std::string GetModuleFileName932(HMODULE module) {
    // A name that filled the buffer may have been cut: asked again, larger.
    if (!WideSystem())
        return Grown<char>([&](char* out, DWORD size) {
            const DWORD n = GetModuleFileNameA(module, out, size);
            return n >= size ? size : n;
        });
    return FromSystem(Grown<wchar_t>([&](wchar_t* out, DWORD size) {
        const DWORD n = GetModuleFileNameW(module, out, size);
        return n >= size ? size : n;
    }));
}

std::string SHGetPathFromIDList932(PCIDLIST_ABSOLUTE items) {
    if (!WideSystem()) {
        char path[MAX_PATH + 1] = {};
        return syslib::SHGetPathFromIDListA(items, path) ? std::string(path) : std::string();
    }
    wchar_t path[MAX_PATH + 1] = {};
    if (!syslib::SHGetPathFromIDListW(items, path)) return {};
    return FromSystem(path);
}

namespace {

// The command line cut into its arguments, each with the blanks before it,
// by the rules programs read it by: blanks outside quotes end an argument.
std::vector<std::wstring> CommandLinePieces(const std::wstring& line) {
    std::vector<std::wstring> pieces;
    size_t i = 0;
    while (i < line.size()) {
        const size_t start = i;
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
            if (line[i] == L'"') quoted = !quoted;
            ++i;
        }
        pieces.push_back(line.substr(start, i - start));
    }
    return pieces;
}

}  // namespace

bool GetCommandLine932(std::string& text) {
    if (!WideSystem()) {
        text = GetCommandLineA();
        return true;
    }
    const std::wstring line = GetCommandLineW();
    if (win932::Narrow(line, text)) return true;
    // An argument CP932 cannot hold can only be a path: its short name.
    std::string result;
    bool ok = true;
    for (const std::wstring& piece : CommandLinePieces(line)) {
        std::string narrow;
        if (win932::Narrow(piece, narrow)) {
            result += narrow;
            continue;
        }
        const size_t first = piece.find_first_not_of(L" \t");
        std::wstring argument = piece.substr(first);
        const bool quoted = argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"';
        if (quoted) argument = argument.substr(1, argument.size() - 2);
        std::string shortPath;
        std::wstring shortWide = Grown<wchar_t>(
            [&](wchar_t* out, DWORD size) { return GetShortPathNameW(argument.c_str(), out, size); });
        if (shortWide.empty() || !win932::Narrow(shortWide, shortPath)) {
            ok = false;
            result += win932::NarrowForDisplay(piece);
            continue;
        }
        result += win932::NarrowForDisplay(piece.substr(0, first)) + (quoted ? "\"" + shortPath + "\"" : shortPath);
    }
    text = result;
    if (!ok) SetLastError(win932::kNoCp932Form);
    return ok;
}

std::string FormatMessage932(DWORD code) {
    constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    std::string message;
    if (!WideSystem()) {
        char* text = nullptr;
        const DWORD n = FormatMessageA(kFlags, nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
        if (n && text) message.assign(text, n);
        if (text) LocalFree(text);
        return message;
    }
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(kFlags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n && text) message = win932::NarrowForDisplay(std::wstring_view(text, n));
    if (text) LocalFree(text);
    return message;
}

std::string LCMapString932(const std::string& text, DWORD flags) {
    if (text.empty()) return text;
    const int size = static_cast<int>(text.size());
    if (!WideSystem()) {
        const int n = LCMapStringA(LOCALE_SYSTEM_DEFAULT, flags, text.data(), size, nullptr, 0);
        if (n <= 0) return text;
        std::vector<char> buffer(static_cast<size_t>(n) + 1, '\0');
        if (LCMapStringA(LOCALE_SYSTEM_DEFAULT, flags, text.data(), size, buffer.data(), n) == 0) return text;
        return std::string(buffer.data());
    }
    const std::wstring wide = Wide(text);
    const int wideSize = static_cast<int>(wide.size());
    const int n = LCMapStringW(win932::kJapanese, flags, wide.data(), wideSize, nullptr, 0);
    if (n <= 0) return text;
    std::wstring mapped(static_cast<size_t>(n), L'\0');
    if (LCMapStringW(win932::kJapanese, flags, wide.data(), wideSize, mapped.data(), n) == 0) return text;
    // Stops at a null as the ANSI call's result was read.
    mapped.resize(std::wcslen(mapped.c_str()));
    std::string out;
    return win932::Narrow(mapped, out) ? out : text;
}

BOOL GetVersionEx932(OSVERSIONINFOA* info) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!WideSystem()) return GetVersionExA(info);
    OSVERSIONINFOW wide{};
    wide.dwOSVersionInfoSize = sizeof wide;
    if (!GetVersionExW(&wide)) return FALSE;
#pragma GCC diagnostic pop
    info->dwMajorVersion = wide.dwMajorVersion;
    info->dwMinorVersion = wide.dwMinorVersion;
    info->dwBuildNumber = wide.dwBuildNumber;
    info->dwPlatformId = wide.dwPlatformId;
    const std::string servicePack = win932::NarrowForDisplay(wide.szCSDVersion);
    std::fill(std::begin(info->szCSDVersion), std::end(info->szCSDVersion), '\0');
    servicePack.copy(info->szCSDVersion, std::min(servicePack.size(), sizeof info->szCSDVersion - 1));
    return TRUE;
}

bool GetFileVersionInfo932(const std::string& file, std::vector<BYTE>& block) {
    block.clear();
    DWORD ignored = 0;
    const std::wstring wide = Wide(file);
    const DWORD size = WideSystem() ? syslib::GetFileVersionInfoSizeW(wide.c_str(), &ignored)
                                    : syslib::GetFileVersionInfoSizeA(file.c_str(), &ignored);
    if (size == 0) return false;
    block.assign(size, 0);
    const BOOL got = WideSystem() ? syslib::GetFileVersionInfoW(wide.c_str(), 0, size, block.data())
                                  : syslib::GetFileVersionInfoA(file.c_str(), 0, size, block.data());
    if (!got) block.clear();
    return got != FALSE;
}

bool VerQueryString932(const std::vector<BYTE>& block, const std::string& subBlock, std::string& value) {
    value.clear();
    if (block.empty()) return false;
    void* found = nullptr;
    UINT length = 0;
    if (!WideSystem()) {
        if (!syslib::VerQueryValueA(block.data(), subBlock.c_str(), &found, &length) || !found) return false;
        value.assign(static_cast<const char*>(found), strnlen(static_cast<const char*>(found), length));
        return true;
    }
    if (!syslib::VerQueryValueW(block.data(), Wide(subBlock).c_str(), &found, &length) || !found) return false;
    const auto* text = static_cast<const wchar_t*>(found);
    return win932::Narrow(std::wstring_view(text, wcsnlen(text, length)), value);
}

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

HMODULE GetModuleHandle932(const std::string& name) {
    return WideSystem() ? GetModuleHandleW(Wide(name).c_str()) : GetModuleHandleA(name.c_str());
}

HMODULE LoadLibraryEx932(const std::string& name, DWORD flags) {
    return WideSystem() ? LoadLibraryExW(Wide(name).c_str(), nullptr, flags)
                        : LoadLibraryExA(name.c_str(), nullptr, flags);
}

HANDLE CreateMutex932(SECURITY_ATTRIBUTES* security, BOOL initialOwner, const std::string& name) {
    return WideSystem() ? CreateMutexW(security, initialOwner, Wide(name).c_str())
                        : CreateMutexA(security, initialOwner, name.c_str());
}

HANDLE OpenMutex932(DWORD access, BOOL inherit, const std::string& name) {
    return WideSystem() ? OpenMutexW(access, inherit, Wide(name).c_str()) : OpenMutexA(access, inherit, name.c_str());
}

BOOL LookupPrivilegeValue932(const std::string& name, LUID* luid) {
    return WideSystem() ? LookupPrivilegeValueW(nullptr, Wide(name).c_str(), luid)
                        : LookupPrivilegeValueA(nullptr, name.c_str(), luid);
}

void GetStartupInfo932(STARTUPINFOA* info) {
    if (!WideSystem()) {
        GetStartupInfoA(info);
    } else {
        STARTUPINFOW wide{};
        wide.cb = sizeof wide;
        GetStartupInfoW(&wide);
        *info = STARTUPINFOA{};
        info->dwX = wide.dwX;
        info->dwY = wide.dwY;
        info->dwXSize = wide.dwXSize;
        info->dwYSize = wide.dwYSize;
        info->dwXCountChars = wide.dwXCountChars;
        info->dwYCountChars = wide.dwYCountChars;
        info->dwFillAttribute = wide.dwFillAttribute;
        info->dwFlags = wide.dwFlags;
        info->wShowWindow = wide.wShowWindow;
        info->hStdInput = wide.hStdInput;
        info->hStdOutput = wide.hStdOutput;
        info->hStdError = wide.hStdError;
    }
    info->cb = sizeof *info;
}

BOOL CreateProcess932(const std::string& application, const std::string& commandLine, SECURITY_ATTRIBUTES* process,
                      SECURITY_ATTRIBUTES* thread, BOOL inherit, DWORD flags, const std::string& folder,
                      STARTUPINFOA* startup, PROCESS_INFORMATION* info) {
    if (!WideSystem()) {
        std::string line = commandLine;  // the function may write into it
        return CreateProcessA(application.c_str(), line.empty() ? nullptr : line.data(), process, thread, inherit,
                              flags, nullptr, folder.empty() ? nullptr : folder.c_str(), startup, info);
    }
    std::wstring line = Wide(commandLine);
    const std::wstring wideFolder = Wide(folder);
    const std::wstring desktop = startup->lpDesktop ? Wide(startup->lpDesktop) : std::wstring();
    const std::wstring title = startup->lpTitle ? Wide(startup->lpTitle) : std::wstring();
    STARTUPINFOW wide{};
    static_assert(sizeof wide == sizeof *startup, "the two start-up records differ only in their text types");
    std::memcpy(&wide, startup, sizeof wide);
    wide.cb = sizeof wide;
    wide.lpReserved = nullptr;
    wide.lpDesktop = startup->lpDesktop ? const_cast<wchar_t*>(desktop.c_str()) : nullptr;
    wide.lpTitle = startup->lpTitle ? const_cast<wchar_t*>(title.c_str()) : nullptr;
    return CreateProcessW(Wide(application).c_str(), line.empty() ? nullptr : line.data(), process, thread, inherit,
                          flags, nullptr, folder.empty() ? nullptr : wideFolder.c_str(), &wide, info);
}

HINSTANCE ShellExecute932(HWND window, const std::string& verb, const std::string& file,
                          const std::string& parameters, const std::string& folder, INT show) {
    if (!WideSystem())
        return syslib::ShellExecuteA(window, verb.empty() ? nullptr : verb.c_str(), file.c_str(),
                                     parameters.empty() ? nullptr : parameters.c_str(),
                                     folder.empty() ? nullptr : folder.c_str(), show);
    const std::wstring wideVerb = Wide(verb), wideParameters = Wide(parameters), wideFolder = Wide(folder);
    return syslib::ShellExecuteW(window, verb.empty() ? nullptr : wideVerb.c_str(), Wide(file).c_str(),
                                 parameters.empty() ? nullptr : wideParameters.c_str(),
                                 folder.empty() ? nullptr : wideFolder.c_str(), show);
}

BOOL ShellExecuteEx932(SHELLEXECUTEINFOA* info) {
    if (!WideSystem()) return syslib::ShellExecuteExA(info);
    auto widened = [](const char* text) { return text ? Wide(text) : std::wstring(); };
    auto pointer = [](const char* original, const std::wstring& wide) { return original ? wide.c_str() : nullptr; };
    const std::wstring verb = widened(info->lpVerb), file = widened(info->lpFile),
                       parameters = widened(info->lpParameters), folder = widened(info->lpDirectory);
    SHELLEXECUTEINFOW wide{};
    wide.cbSize = sizeof wide;
    wide.fMask = info->fMask;
    wide.hwnd = info->hwnd;
    wide.lpVerb = pointer(info->lpVerb, verb);
    wide.lpFile = pointer(info->lpFile, file);
    wide.lpParameters = pointer(info->lpParameters, parameters);
    wide.lpDirectory = pointer(info->lpDirectory, folder);
    wide.nShow = info->nShow;
    const BOOL ok = syslib::ShellExecuteExW(&wide);
    const DWORD error = GetLastError();
    info->hInstApp = wide.hInstApp;
    info->hProcess = wide.hProcess;
    SetLastError(error);
    return ok;
}

int SHFileOperation932(SHFILEOPSTRUCTA* operation) {
    if (!WideSystem()) return syslib::SHFileOperationA(operation);
    // Each list runs to its double null; the nulls go across with it.
    auto list = [](const char* names) {
        if (!names) return std::wstring();
        const char* end = names;
        while (end[0] || end[1]) ++end;
        return Wide(std::string_view(names, static_cast<size_t>(end - names) + 2));
    };
    const std::wstring from = list(operation->pFrom), to = list(operation->pTo);
    const std::wstring title = operation->lpszProgressTitle ? Wide(operation->lpszProgressTitle) : std::wstring();
    SHFILEOPSTRUCTW wide{};
    wide.hwnd = operation->hwnd;
    wide.wFunc = operation->wFunc;
    wide.pFrom = operation->pFrom ? from.c_str() : nullptr;
    wide.pTo = operation->pTo ? to.c_str() : nullptr;
    wide.fFlags = operation->fFlags;
    wide.lpszProgressTitle = operation->lpszProgressTitle ? title.c_str() : nullptr;
    const int result = syslib::SHFileOperationW(&wide);
    const DWORD error = GetLastError();
    operation->fAnyOperationsAborted = wide.fAnyOperationsAborted;
    SetLastError(error);
    return result;
}

// --- Profile files -----------------------------------------------------------

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
