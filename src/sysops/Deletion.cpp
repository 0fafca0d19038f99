#include "sysops/Deletion.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "app/MBUtils.h"
#include "app/PathMacros.h"
#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/SystemLibraries.h"
#include "platform/Win932.h"
#include "sysops/HeldFile.h"
#include "sysops/NoFollow.h"
#include "sysops/Registry.h"
#include "sysops/Shell.h"

namespace {

bool HasWildcard(const std::string& path) { return IPos("*", path) > 0 || IPos("?", path) > 0; }

constexpr int kKeyDeletionAttempts = 99;

// ---- NT family: UTF-16 names, which hold every name a key can have.

// The names of all subkeys, listed before any of them is deleted: a subkey
// that stays is never met again, and the walk always ends.
std::vector<std::wstring> SubkeyNames(HKEY key) {
    std::vector<std::wstring> names;
    DWORD longest = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, &longest, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return names;
    std::vector<wchar_t> name(std::max<DWORD>(longest, 255) + 1);
    DWORD index = 0;
    for (;;) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG result = RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA && name.size() < 65536) {
            name.resize(name.size() * 2);  // the same index again, with room
            continue;
        }
        if (result != ERROR_SUCCESS) break;  // the end, or a key that cannot be listed further
        names.emplace_back(name.data(), length);
        ++index;
    }
    return names;
}

bool IsLink(HKEY key) {
    DWORD type = REG_NONE;
    return RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// A link key itself can be deleted only through a handle to it: by name the
// system would delete the key it points at.
bool DeleteLinkItself(HKEY link) {
    using NtDeleteKeyFunction = LONG(NTAPI*)(HANDLE);
    static const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtDeleteKey")));
    return ntDeleteKey && ntDeleteKey(link) == 0;
}

// Deletes parent\name with everything below it, depth first. A link is opened
// as itself, never followed: it is removed, what it points at stays.
void DeleteKeyTree(HKEY parent, const std::wstring& name) {
    RegKey key;
    if (RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | DELETE,
                      key.put()) != ERROR_SUCCESS) {
        // Not to be listed: it can still go when it holds no subkeys.
        if (RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS &&
            !IsLink(key.get()))
            RegDeleteKeyW(parent, name.c_str());
        return;
    }
    if (IsLink(key.get())) {
        DeleteLinkItself(key.get());
        return;
    }
    for (const std::wstring& child : SubkeyNames(key.get())) DeleteKeyTree(key.get(), child);
    key.reset();
    RegDeleteKeyW(parent, name.c_str());
}

// Present also when it may not be read: only "not found" means gone.
bool KeyPresent(HKEY hive, const std::wstring& subkey) {
    RegKey key;
    return RegOpenKeyExW(hive, subkey.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, key.put()) !=
           ERROR_FILE_NOT_FOUND;
}

// ---- Windows 95/98/Me: the ANSI names are the keys' own names (the 932
// functions call the ANSI ones there).

std::vector<std::string> SubkeyNamesAnsi(HKEY key) {
    std::vector<std::string> names;
    std::string name;
    for (DWORD index = 0; RegEnumKeyEx932(key, index, name) == ERROR_SUCCESS; ++index) names.push_back(name);
    return names;
}

void DeleteKeyTreeAnsi(HKEY parent, const std::string& name) {
    {
        RegKey key;
        if (RegOpenKeyEx932(parent, name, 0, KEY_ENUMERATE_SUB_KEYS, key.put()) == ERROR_SUCCESS)
            for (const std::string& child : SubkeyNamesAnsi(key.get())) DeleteKeyTreeAnsi(key.get(), child);
    }
    RegDeleteKey932(parent, name);
}

bool KeyPresentAnsi(HKEY hive, const std::string& subkey) {
    RegKey key;
    return RegOpenKeyEx932(hive, subkey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_FILE_NOT_FOUND;
}

// The folder part (up to its last "\\") and the name of a path.
void SplitAtLastSeparator(const std::string& path, std::string& folder, std::string& name) {
    size_t last = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i)
        if (IsPathDelimiterAt(path, static_cast<int>(i + 1))) last = i;
    folder = last == std::string::npos ? std::string() : path.substr(0, last + 1);
    name = last == std::string::npos ? path : path.substr(last + 1);
}

}  // namespace

unsigned long DeletePath(const std::string& path, const WalkRules& rules, const UnregisterGate& unregister) {
    if (HasWildcard(path)) {
        std::string folder, name;
        SplitAtLastSeparator(path, folder, name);
        return folder.empty() ? ERROR_INVALID_NAME : DeleteMatches(folder, name, rules);
    }
    if (!FileExists(path)) return ERROR_FILE_NOT_FOUND;
    // Only the file's own name tells a library (not ".DLL" in a folder name
    // on the way). Unregistering shows nothing. The library stays held until
    // it is unloaded again, and is let go before the deletion.
    if (unregister && IsRegistrable(ExtractFileName(path)) && !IsLinkName(path)) {
        const HeldFile library(path);
        if (unregister(library)) RegisterServer(path, false);
    }
    bool gone = false;
    const unsigned long code = DeleteFileItself(path, &gone);
    // Still there: never report that as success.
    return code == 0 && !gone && GetFileAttributes932(path) != INVALID_FILE_ATTRIBUTES ? ERROR_ACCESS_DENIED : code;
}

unsigned long DeleteFolderPatterns(const std::string& folder, const std::string& patterns, const WalkRules& rules) {
    std::vector<std::string> list;
    std::string rest = patterns;
    while (!rest.empty()) {
        const int bar = IPos("|", rest);
        if (bar == 0) {
            list.push_back(rest);
            break;
        }
        list.push_back(StrLeft(rest, bar - 1));
        rest = StrMid(rest, bar + 1);
    }
    return RemoveFolderWith(folder, list, rules);
}

bool DeleteRegistryKey(const std::string& rootMacro, const std::string& keyPath) {
    if (keyPath.empty()) return true;
    // The registry functions want the path without "\" at either end.
    const std::string subkey = RemovePathDelimiter(RemovePathDelimiter(keyPath, "B"), "T");
    if (subkey.empty()) return true;  // never the whole hive
    const HKEY hive = HiveFromRootMacro(rootMacro);
    NoteRegistryChange(hive, subkey);
    // Each attempt walks the tree once and always ends; a key that cannot be
    // deleted is given up after the last attempt.
    if (State().OSKind == "notNT") {
        for (int attempt = 0; attempt < kKeyDeletionAttempts && KeyPresentAnsi(hive, subkey); ++attempt)
            DeleteKeyTreeAnsi(hive, subkey);
        return true;
    }
    const std::wstring wideSubkey = win932::Wide(subkey);
    for (int attempt = 0; attempt < kKeyDeletionAttempts && KeyPresent(hive, wideSubkey); ++attempt)
        DeleteKeyTree(hive, wideSubkey);
    return true;
}
