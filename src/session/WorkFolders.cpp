#include "session/WorkFolders.h"

#include <windows.h>

#include <vector>

#include "app/ScriptKeys.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/PrivateFolder.h"
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
        // A one-file's medium, extracted by a start that was killed, is ours too.
        const bool medium = (e.attributes & FILE_ATTRIBUTE_DIRECTORY) && !(e.attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                            MapString(e.name, LCMAP_UPPERCASE) == "MEDIUM";
        if (medium) continue;
        if ((e.attributes & FILE_ATTRIBUTE_DIRECTORY) || !IsOwnWorkFile(e.name)) return false;
    }
    return true;
}

// The hold on this start's working folder.
FileHandle& Hold() {
    static FileHandle hold;
    return hold;
}

constexpr int kWorkFolders = 99;

}  // namespace

std::string MakeWorkFolder(const std::string& tempFolder) {
    PrivateFolderSecurity security(!RunsElevated());
    if (win932::WideSystem() && !security.get()) {
        SetLastError(ERROR_INVALID_SECURITY_DESCR);
        return {};
    }
    DWORD error = ERROR_ALREADY_EXISTS;
    for (int n = 1; n <= kWorkFolders; ++n) {
        const std::string folder = AddPathDelimiter(tempFolder, "B") + "RVTMP" + std::to_string(n);
        if (!CreateDirectory932(folder, security.get())) {
            error = GetLastError();
            // A missing temporary folder is made once; anything else taken
            // or refused here is never ours: the next number.
            if (error == ERROR_PATH_NOT_FOUND && n == 1 && ForceFolders(tempFolder)) --n;
            continue;
        }
        if (win932::WideSystem()) {
            // Held as itself: a link put in its place would not be followed.
            Hold().reset(CreateFile932(folder, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
            if (!Hold()) {
                error = GetLastError();
                RemoveDirectory932(folder);
                continue;
            }
        }
        return folder + "\\";
    }
    SetLastError(error);
    return {};
}

void ReleaseWorkFolder() { Hold().reset(); }

bool IsOwnWorkFile(const std::string& fileName) {
    const std::string upper = MapString(fileName, LCMAP_UPPERCASE);
    // Start-up's copies, and the merge copy of an earlier record that the
    // install run leaves (an interrupted install leaves it behind too).
    return upper == RecordFiles::kProgramCopy || upper == Script::kFileName || upper == RecordFiles::kRecord ||
           upper == RecordFiles::kMergeCopy || upper == RecordFiles::kExpansion;
}

void RemoveWorkFolders(const std::string& tempFolder, const std::string& currentWorkFolder, bool onlyCurrent) {
    ReleaseWorkFolder();
    const std::string current = MapString(RemovePathDelimiter(currentWorkFolder, "B"), LCMAP_UPPERCASE);
    for (int n = 1; n <= kWorkFolders; ++n) {
        const std::string folder = AddPathDelimiter(tempFolder, "B") + "RVTMP" + std::to_string(n);
        const DWORD attrs = GetFileAttributes932(folder);
        if (attrs == INVALID_FILE_ATTRIBUTES || !(attrs & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (attrs & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        const bool isCurrent = !current.empty() && MapString(folder, LCMAP_UPPERCASE) == current;
        if (onlyCurrent && !isCurrent) continue;
        // Everything in it goes but links, which are left with what they
        // point at (and so is the folder holding them).
        if (isCurrent || HoldsOnlyOwnFiles(folder)) DeleteFolderPatterns(folder, "*");
    }
}
