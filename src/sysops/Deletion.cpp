#include "sysops/Deletion.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

#include "app/Handles.h"
#include "app/PathMacros.h"
#include "app/SetupState.h"
#include "app/SystemLibraries.h"
#include "app/Win932.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "sysops/HeldFile.h"
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

// Permanent deletion through the shell, silent and without questions; the
// shell's result, and the thread's last error taken right after it.
int ShellDelete(const std::string& path, DWORD& lastError) {
    std::string source = path;
    source.append(2, '\0');
    SHFILEOPSTRUCTA operation = {};  // CP932 texts, widened on the way
    operation.hwnd = OwnerWindow();
    operation.wFunc = FO_DELETE;
    operation.pFrom = source.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    SetLastError(0);
    const int shellCode = SHFileOperation932(&operation);
    lastError = GetLastError();
    return shellCode;
}

}  // namespace

unsigned long DeletePath(const std::string& path, const UnregisterGate& unregister) {
    const bool pattern = HasWildcard(path);
    if (!pattern && !FileExists(path)) return ERROR_FILE_NOT_FOUND;
    // A pattern names no library that could be loaded, and only the file's
    // own name tells a library (not ".DLL" in a folder name on the way).
    // Unregistering shows nothing. The library stays held until it is
    // unloaded again, and is let go before the deletion.
    if (!pattern && unregister && IsRegistrable(ExtractFileName(path))) {
        const HeldFile library(path);
        if (unregister(library)) RegisterServer(path, false);
    }

    DWORD lastError = 0;
    int shellCode = ShellDelete(path, lastError);
    if (!pattern && FileExists(path)) {
        // Some shells (Wine's) refuse read-only files even without
        // confirmation: clear the attribute and ask once more.
        const DWORD attrs = GetFileAttributes932(path);
        if (attrs & FILE_ATTRIBUTE_READONLY) {
            SetFileAttributes932(path, attrs & ~FILE_ATTRIBUTE_READONLY);
            shellCode = ShellDelete(path, lastError);
        }
    }
    if (!pattern && GetFileAttributes932(path) != INVALID_FILE_ATTRIBUTES) {
        // Still there: never report that as success.
        if (shellCode != 0) return static_cast<unsigned long>(shellCode);
        return lastError ? lastError : ERROR_ACCESS_DENIED;
    }
    return (shellCode != 0 && lastError != 0) ? static_cast<unsigned long>(shellCode) : 0;
}

unsigned long DeleteFolderPatterns(const std::string& folder, const std::string& patterns) {
    const std::string base = AddPathDelimiter(folder, "B");
    std::string rest = patterns;
    while (!rest.empty()) {
        const int bar = IPos("|", rest);
        if (bar == 0) {
            DeletePath(base + rest);
            break;
        }
        DeletePath(base + StrLeft(rest, bar - 1));
        rest = StrMid(rest, bar + 1);
    }
    if (RemoveDirectory932(base)) return 0;
    const DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

bool DeleteRegistryKey(const std::string& rootMacro, const std::string& keyPath) {
    if (keyPath.empty()) return true;
    // The registry functions want the path without "\" at either end.
    const std::string subkey = RemovePathDelimiter(RemovePathDelimiter(keyPath, "B"), "T");
    if (subkey.empty()) return true;  // never the whole hive
    const HKEY hive = HiveFromRootMacro(rootMacro);
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
