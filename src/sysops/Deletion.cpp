#include "sysops/Deletion.h"

#include <windows.h>
#include <shellapi.h>

#include "app/Handles.h"
#include "app/PathMacros.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "sysops/Shell.h"

namespace {

bool HasWildcard(const std::string& path) { return IPos("*", path) > 0 || IPos("?", path) > 0; }

bool KeyExists(HKEY hive, const std::string& subkey) {
    RegKey key;
    return RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// Subkeys first; enumerating index 0 again after each deletion, since the
// indexes shift. A subkey that cannot be deleted ends the walk of its parent.
void DeleteKeyTree(HKEY hive, const std::string& subkey) {
    {
        RegKey key;
        if (RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS) {
            char name[256];
            DWORD index = 0;
            for (;;) {
                DWORD length = sizeof name;
                if (RegEnumKeyExA(key.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
                    ERROR_SUCCESS)
                    break;
                const std::string child = subkey + "\\" + name;
                DeleteKeyTree(hive, child);
                if (KeyExists(hive, child)) ++index;  // left in place: skip it
            }
        }
    }
    RegDeleteKeyA(hive, subkey.c_str());
}

// Permanent deletion through the shell, silent and without questions; the
// shell's result, and the thread's last error taken right after it.
int ShellDelete(const std::string& path, DWORD& lastError) {
    std::string source = path;
    source.append(2, '\0');
    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = OwnerWindow();
    operation.wFunc = FO_DELETE;
    operation.pFrom = source.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    SetLastError(0);
    const int shellCode = SHFileOperationA(&operation);
    lastError = GetLastError();
    return shellCode;
}

}  // namespace

unsigned long DeletePath(const std::string& path) {
    const bool pattern = HasWildcard(path);
    if (!pattern && !FileExists(path)) return ERROR_FILE_NOT_FOUND;
    // A pattern names no library that could be loaded, and only the file's
    // own name tells a library (not ".DLL" in a folder name on the way).
    // Unregistering shows nothing.
    if (!pattern && IsRegistrable(ExtractFileName(path))) RegisterServer(path, false);

    DWORD lastError = 0;
    int shellCode = ShellDelete(path, lastError);
    if (!pattern && FileExists(path)) {
        // Some shells (Wine's) refuse read-only files even without
        // confirmation: clear the attribute and ask once more.
        const DWORD attrs = GetFileAttributesA(path.c_str());
        if (attrs & FILE_ATTRIBUTE_READONLY) {
            SetFileAttributesA(path.c_str(), attrs & ~FILE_ATTRIBUTE_READONLY);
            shellCode = ShellDelete(path, lastError);
        }
    }
    if (!pattern && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
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
    if (RemoveDirectoryA(base.c_str())) return 0;
    const DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

bool DeleteRegistryKey(const std::string& rootMacro, const std::string& keyPath) {
    if (keyPath.empty()) return true;
    // The registry functions want the path without "\" at either end.
    const std::string subkey = RemovePathDelimiter(RemovePathDelimiter(keyPath, "B"), "T");
    if (subkey.empty()) return true;  // never the whole hive
    const HKEY hive = HiveFromRootMacro(rootMacro);
    for (int attempt = 0; attempt < 99 && KeyExists(hive, subkey); ++attempt) DeleteKeyTree(hive, subkey);
    return true;
}
