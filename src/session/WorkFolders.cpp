#include "session/WorkFolders.h"

#include <windows.h>

#include <vector>

#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/Win932.h"

namespace {

bool IsReparsePoint(const std::string& path) {
    const DWORD attrs = GetFileAttributes932(path);
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT);
}

struct Entry {
    std::string name;
    DWORD attributes;
};

std::vector<Entry> ListFolder(const std::string& folder) {
    std::vector<Entry> entries;
    WIN32_FIND_DATAA fd;
    FindHandle find(FindFirstFile932(AddPathDelimiter(folder, "B") + "*.*", &fd));
    if (!find) return entries;
    do {
        const std::string name = fd.cFileName;
        if (name != "." && name != "..") entries.push_back({name, fd.dwFileAttributes});
    } while (FindNextFile932(find.get(), &fd));
    return entries;
}

bool HoldsOnlyOwnFiles(const std::string& folder) {
    for (const Entry& e : ListFolder(folder)) {
        if ((e.attributes & FILE_ATTRIBUTE_DIRECTORY) || !IsOwnWorkFile(e.name)) return false;
    }
    return true;
}

}  // namespace

bool IsOwnWorkFile(const std::string& fileName) {
    const std::string upper = MapString(fileName, LCMAP_UPPERCASE);
    // Start-up's copies, and the merge copy of an earlier record that the
    // install run leaves (an interrupted install leaves it behind too).
    return upper == "SETUPB.EXE" || upper == "SETUP.INI" || upper == "UNSETUP.INI" || upper == "UNSETUPB.INI";
}

bool RemoveTreeNoFollow(const std::string& folder) {
    const std::string base = RemovePathDelimiter(folder, "B");
    // A linked folder is left exactly as it is: unlinking is not safe
    // everywhere (Wine's RemoveDirectory acts on an empty target).
    if (IsReparsePoint(base)) return false;
    for (const Entry& e : ListFolder(base)) {
        const std::string path = base + "\\" + e.name;
        if (e.attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributes932(path, FILE_ATTRIBUTE_NORMAL);
        if (e.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            continue;  // its target belongs to someone else
        } else if (e.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveTreeNoFollow(path);
        } else {
            DeleteFile932(path);
        }
    }
    RemoveDirectory932(base);
    return GetFileAttributes932(base) == INVALID_FILE_ATTRIBUTES;
}

void RemoveWorkFolders(const std::string& tempFolder, const std::string& currentWorkFolder) {
    const std::string current = MapString(RemovePathDelimiter(currentWorkFolder, "B"), LCMAP_UPPERCASE);
    for (int n = 1; n <= 99; ++n) {
        const std::string folder = AddPathDelimiter(tempFolder, "B") + "RVTMP" + std::to_string(n);
        const DWORD attrs = GetFileAttributes932(folder);
        if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        const bool isCurrent = !current.empty() && MapString(folder, LCMAP_UPPERCASE) == current;
        if (isCurrent || HoldsOnlyOwnFiles(folder)) RemoveTreeNoFollow(folder);
    }
}
