#include "sysops/Deletion.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "app/MBUtils.h"
#include "app/PathMacros.h"
#include "app/SetupState.h"
#include "app/SystemChanges.h"
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

constexpr int kKeyDeletionAttempts = 99;

}  // namespace

unsigned long DeletePath(const std::string& path, const WalkRules& rules, const UnregisterGate& unregister) {
    if (HasWildcard(path)) {
        // Only a folder that ends with "\": "C:*.TMP" would walk the drive's
        // current folder.
        const std::string folder = ExtractFilePath(path);
        if (folder.empty() || folder.back() != '\\') return ERROR_INVALID_NAME;
        return DeleteMatches(folder, ExtractFileName(path), rules);
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
    return code == 0 && !gone && Changes().Attributes(path) != INVALID_FILE_ATTRIBUTES ? ERROR_ACCESS_DENIED : code;
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
    // Present also when it may not be read: only "not found" means gone.
    SystemChanges& changes = Changes();
    for (int attempt = 0; attempt < kKeyDeletionAttempts && changes.KeyState(hive, subkey) != ERROR_FILE_NOT_FOUND;
         ++attempt)
        changes.DeleteKeyTree(hive, subkey);
    return true;
}
