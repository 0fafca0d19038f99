#include "session/WorkFolders.h"

#include <windows.h>

#include <vector>

#include "app/ScriptKeys.h"
#include "app/uStrOp.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "record/RecordKeys.h"
#include "sysops/Deletion.h"

namespace {

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
    return upper == RecordFiles::kProgramCopy || upper == Script::kFileName || upper == RecordFiles::kRecord ||
           upper == RecordFiles::kMergeCopy;
}

void RemoveWorkFolders(const std::string& tempFolder, const std::string& currentWorkFolder) {
    const std::string current = MapString(RemovePathDelimiter(currentWorkFolder, "B"), LCMAP_UPPERCASE);
    for (int n = 1; n <= 99; ++n) {
        const std::string folder = AddPathDelimiter(tempFolder, "B") + "RVTMP" + std::to_string(n);
        const DWORD attrs = GetFileAttributes932(folder);
        if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        const bool isCurrent = !current.empty() && MapString(folder, LCMAP_UPPERCASE) == current;
        // Everything in it goes but links, which are left with what they
        // point at (and so is the folder holding them).
        if (isCurrent || HoldsOnlyOwnFiles(folder)) DeleteFolderPatterns(folder, "*");
    }
}
