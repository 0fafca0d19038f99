// Path names the system makes (full, long, short, temporary), free disk space
// and the compressed files of LZ32, which has no wide functions.
#include "platform/Win932.h"

#include <lzexpand.h>

#include <algorithm>
#include <vector>

#include "platform/Handles.h"
#include "platform/StrictWindows.h"
#include "platform/SystemLibraries.h"
#include "platform/SzddExpand.h"
#include "platform/Win932Detail.h"

using win932::WideSystem;
using win932::Wide;
using win932::detail::FromSystem;
using win932::detail::Grown;

namespace win932 {
namespace {
int noShortNames = 0;
}  // namespace

NoShortNamesForTest::NoShortNamesForTest() { ++noShortNames; }
NoShortNamesForTest::~NoShortNamesForTest() { --noShortNames; }
}  // namespace win932

namespace win932::detail {

std::wstring ShortPath(const std::wstring& path) {
    const std::wstring shortPath =
        Grown<wchar_t>([&](wchar_t* out, DWORD size) { return GetShortPathNameW(path.c_str(), out, size); });
    if (!shortPath.empty() && (win932::noShortNames || strict::Personality("noshort"))) return path;
    return shortPath;
}

std::string FromSystem(const std::wstring& path) {
    if (path.empty()) return {};
    std::string out;
    if (win932::PathFromSystem(path, out)) return out;
    SetLastError(win932::kNoCp932Form);
    return {};
}

}  // namespace win932::detail

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
    const std::wstring shortPath = win932::detail::ShortPath(Wide(path));
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
    FARPROC entry = syslib::LoadedLibraryEntry("KERNEL32.DLL", wide ? "GetDiskFreeSpaceExW" : "GetDiskFreeSpaceExA");
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
    // Where the volume makes no short names, the call gives the path back.
    const std::wstring shortPath = detail::ShortPath(Wide(path));
    if (shortPath.empty()) return false;
    // The ANSI function reads its argument in the system's code page.
    return detail::ToCodePage(CP_ACP, shortPath, out);
}

}  // namespace win932

INT LZOpenFile932(const std::string& name, OFSTRUCT* info, WORD style) {
    if (WideSystem() && (style & OF_CREATE)) {
        // Created now, so that the name has a short form to be opened by.
        FileHandle created(CreateFile932(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    std::string ansi;
    const bool named = win932::AnsiPathForSystem(name, ansi);
    if (!named || ansi.size() >= OFS_MAXPATHNAME) {
        *info = OFSTRUCT{};
        info->nErrCode = static_cast<WORD>(named ? ERROR_FILENAME_EXCED_RANGE : win932::kNoCp932Form);
        return LZERROR_BADINHANDLE;
    }
    return syslib::LZOpenFileA(ansi.data(), info, style);
}

bool LzCannotName(const OFSTRUCT& info) {
    return info.nErrCode == win932::kNoCp932Form || info.nErrCode == ERROR_FILENAME_EXCED_RANGE;
}

std::string GetExpandedName932(const std::string& name) {
    std::string ansi;
    if (!win932::AnsiPathForSystem(name, ansi) || ansi.size() >= OFS_MAXPATHNAME) return szdd::ExpandedName(name);
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
