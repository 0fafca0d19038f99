#include "sysops/FileOps.h"

#include <windows.h>
#include <lzexpand.h>

#include <algorithm>
#include <vector>

#include "app/SetupState.h"
#include "app/SystemChanges.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/SystemLibraries.h"
#include "platform/Win932.h"
#include "sysops/Deletion.h"

namespace {

constexpr DWORD kRestartFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT;
constexpr int kMaxTemporaryNames = 9999;

bool PathExists(const std::string& path) { return Changes().Attributes(path) != INVALID_FILE_ATTRIBUTES; }

void ShowMoveFileExFailure() { MsgBox("MoveFileEx関数が失敗しました。", "内部エラー", 48); }

// The expanded length recorded in an "SZDD" header, or -1 when the file has
// no such header (then there is nothing to compare with).
long long RecordedLength(const std::string& path) {
    OpenedFilePtr file = Changes().Open(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    if (!file) return -1;
    unsigned char header[14] = {};
    DWORD got = 0;
    if (!file->Read(header, sizeof header, got) || got != sizeof header) return -1;
    static const unsigned char kMagic[8] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
    if (!std::equal(kMagic, kMagic + 8, header)) return -1;
    return static_cast<long long>(header[10]) | static_cast<long long>(header[11]) << 8 |
           static_cast<long long>(header[12]) << 16 | static_cast<long long>(header[13]) << 24;
}

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!Changes().AttributesEx(path, data)) return -1;
    return static_cast<long long>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// Expands source into target; 0 or a Win32 error code.
unsigned long LzExpand(const std::string& source, const std::string& target) {
    if (const unsigned long error = Changes().Expand(source, target)) return error;
    // A truncated or damaged compressed file can expand "successfully" into
    // fewer bytes than its header promises.
    const long long expected = RecordedLength(source);
    if (expected >= 0 && FileSize(target) != expected) return ERROR_INVALID_DATA;
    return 0;
}

// "X:" or "\\server\share" in upper case; empty when the path has neither.
std::string DriveOf(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return MapString(path.substr(0, 2), LCMAP_UPPERCASE);
    if (path.rfind("\\\\", 0) == 0) {
        const size_t server = path.find('\\', 2);
        if (server == std::string::npos) return MapString(path, LCMAP_UPPERCASE);
        const size_t share = path.find('\\', server + 1);
        return MapString(path.substr(0, share), LCMAP_UPPERCASE);
    }
    return {};
}

// A free "RVTMP<n>.TMP" in the folder; empty when none of the bounded
// candidates is free.
std::string FreeTemporaryName(const std::string& folder) {
    for (int n = 1; n <= kMaxTemporaryNames; ++n) {
        const std::string candidate = folder + "RVTMP" + std::to_string(n) + ".TMP";
        if (!PathExists(candidate)) return candidate;
    }
    return {};
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    unsigned long error = 0;
    OpenedFilePtr file = CreateFreshFile(path, 0, FILE_ATTRIBUTE_NORMAL, error);
    if (!file) return false;
    DWORD written = 0;
    return file->Write(bytes.data(), static_cast<DWORD>(bytes.size()), written) && written == bytes.size() &&
           file->Flush();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The lines of WININIT.INI with newLine placed at the end of the [Rename]
// section: before its first empty line, else before the next section
// header, else at the end; a file without [Rename] gets one at its end.
std::vector<std::string> PlaceRenameLine(const std::vector<std::string>& lines, const std::string& newLine) {
    std::vector<std::string> result;
    bool inRename = false;
    bool seenRename = false;
    bool placed = false;
    for (const std::string& line : lines) {
        const bool header = !line.empty() && line[0] == '[';
        if (!placed && inRename && (line.empty() || header)) {
            result.push_back(newLine);
            placed = true;
        }
        if (header) {
            inRename = IPos("[Rename]", line) > 0;
            seenRename = seenRename || inRename;
        }
        result.push_back(line);
    }
    if (!placed) {
        if (!seenRename) result.push_back("[Rename]");
        result.push_back(newLine);
    }
    return result;
}

// Puts newContent in place of file without a moment in which a failure
// could leave the file cut short: written beside it first, then swapped.
// The names are found through the system's door, not made by the system
// (GetTempFileName creates its file), so that a preview makes none.
std::string FreeName(const std::string& folder) {
    for (int n = 1; n <= kMaxTemporaryNames; ++n) {
        const std::string candidate = folder + "RVW" + std::to_string(n) + ".TMP";
        if (!PathExists(candidate)) return candidate;
    }
    return {};
}

bool ReplaceFileContents(const std::string& file, const std::string& newContent) {
    const std::string folder = ExtractFilePath(file);
    const std::string written = FreeName(folder);
    if (written.empty()) return false;
    if (!WriteWholeFile(written, newContent)) {
        Changes().DeleteFile(written);
        return false;
    }
    if (!PathExists(file)) {
        if (Changes().Move(written, file, 0)) return true;
        Changes().DeleteFile(written);
        return false;
    }
    // MoveFileEx does not exist on Windows 95/98/Me: keep the old file under
    // a spare name until the new one is in place.
    const std::string spare = FreeName(folder);
    if (spare.empty() || !Changes().Move(file, spare, 0)) {
        Changes().DeleteFile(written);
        return false;
    }
    if (!Changes().Move(written, file, 0)) {
        Changes().Move(spare, file, 0);
        Changes().DeleteFile(written);
        return false;
    }
    Changes().DeleteFile(spare);
    return true;
}

}  // namespace

std::string ExpandToTemp(const std::string& source, const std::string& destination, unsigned long& error) {
    std::string target = destination;
    if (ExtractFileName(destination) == "AUTO.EXT") {
        const std::string recorded = MapString(ExtractFileName(GetExpandedName932(source)), LCMAP_UPPERCASE);
        if (!recorded.empty()) target = RemovePathDelimiter(ExtractFilePath(destination), "B") + "\\" + recorded;
    }
    // In the run's private working folder: in the temporary folder others
    // may write, the expansion could be swapped before it is installed.
    const SetupState& state = State();
    const std::string temporary = (state.WorkFolder.empty() ? state.TempFolder : state.WorkFolder) + "EXPAND.RVS";
    if (PathExists(temporary)) DeletePath(temporary);
    error = LzExpand(source, temporary);
    if (error != 0) Changes().DeleteFile(temporary);
    return temporary + "," + target;
}

bool DiskFreeBytesEx(const std::string& drive, long long& freeBytes) {
    const std::string root = AddPathDelimiter(drive, "B");
    freeBytes = -1;
    ULARGE_INTEGER available, total, totalFree;
    if (!GetDiskFreeSpaceEx932(root, &available, &total, &totalFree)) return false;
    freeBytes = static_cast<long long>(available.QuadPart);
    return true;
}

bool DiskFreeBytes(const std::string& drive, long long& freeBytes) {
    const std::string root = AddPathDelimiter(drive, "B");
    freeBytes = -1;
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, totalClusters = 0;
    if (!GetDiskFreeSpace932(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &totalClusters))
        return false;
    // Unsigned 64-bit: cluster counts past 2^31 are real on large volumes.
    freeBytes = static_cast<long long>(static_cast<unsigned long long>(freeClusters) * sectorsPerCluster *
                                       bytesPerSector);
    return true;
}

std::string ShortPath(const std::string& path) {
    // WININIT.INI lines are read by DOS: a name of MAX_PATH or more is of no use.
    const std::string shortPath = GetShortPathName932(path);
    return shortPath.size() < MAX_PATH ? shortPath : std::string();
}

bool ReplaceOnRestart(const std::string& source, const std::string& destination) {
    const SetupState& state = State();
    std::string folder = state.WindowsFolder;
    const std::string drive = DriveOf(destination);
    if (!drive.empty() && drive != DriveOf(folder)) folder = ExtractFilePath(destination);
    const std::string temporary = FreeTemporaryName(folder);
    if (temporary.empty()) return false;
    if (CopyFileReset(source, temporary) != 0) {
        Changes().DeleteFile(temporary);
        return false;
    }
    return ScheduleReplacement(temporary, destination);
}

bool ScheduleReplacement(const std::string& temporary, const std::string& destination) {
    const SetupState& state = State();
    if (state.OSKind == "NT") {
        if (Changes().Move(temporary, destination, kRestartFlags)) return true;
        ShowMoveFileExFailure();
        Changes().DeleteFile(temporary);
        return false;
    }
    const std::string shortTemporary = ShortPath(temporary);
    const std::string shortDestination = ShortPath(destination);
    if (shortTemporary.empty() || shortDestination.empty() ||
        !IniWrite("Rename", shortDestination, shortTemporary, state.WindowsFolder + "WININIT.INI")) {
        Changes().DeleteFile(temporary);
        return false;
    }
    return true;
}

bool DeleteOnRestart(const std::string& path) {
    const SetupState& state = State();
    if (state.OSKind == "NT") {
        if (Changes().Move(path, "", kRestartFlags)) return true;
        ShowMoveFileExFailure();
        return false;
    }
    const std::string shortPath = ShortPath(path);
    if (shortPath.empty()) return false;
    const DWORD attrs = Changes().Attributes(path);
    const bool folder = attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
    const std::string newLine = (folder ? "DirNul=" : "Nul=") + shortPath;

    const std::string file = state.WindowsFolder + "WININIT.INI";
    std::string content = "[Rename]";
    if (PathExists(file) && !ReadHeldFile(file, content)) return false;
    std::string rewritten;
    for (const std::string& line : PlaceRenameLine(SplitLines(content), newLine)) rewritten += line + "\r\n";
    return ReplaceFileContents(file, rewritten);
}
