#pragma once
// File operations over the Win32 file functions: LZ expansion, free space,
// short names, and replacing or deleting files at the next start of Windows
// on both families. They read WindowsFolder, TempFolder and OSKind from
// State() and never throw.
#include <string>

// Expands an LZ-compressed source (an uncompressed one is copied unchanged)
// into WorkFolder + "EXPAND.RVS" (TempFolder's when there is no working
// folder). A destination whose file name is exactly
// "AUTO.EXT" takes the upper-cased name recorded in the compressed file.
// Returns "<temporary path>,<destination>". error is 0 when the temporary
// file holds the whole expanded file; otherwise it is a Win32 code, the
// temporary file has been removed, and the copy must count as failed.
std::string ExpandToTemp(const std::string& source, const std::string& destination, unsigned long& error);

// Bytes free to the calling user on the drive ('C:'), through
// GetDiskFreeSpaceEx, looked up at run time. false and -1 when the function
// is missing or fails.
bool DiskFreeBytesEx(const std::string& drive, long long& freeBytes);

// Bytes free on the drive from GetDiskFreeSpace's cluster counts, in 64-bit
// arithmetic. false and -1 on failure.
bool DiskFreeBytes(const std::string& drive, long long& freeBytes);

// The short (8.3) form of an existing path; empty when the system call fails
// or the short form does not fit MAX_PATH.
std::string ShortPath(const std::string& path);

// Schedules the destination (in use now) to be replaced by a copy of the
// source at the next start: the copy goes to a free "RVTMP<n>.TMP" in the
// Windows folder, or beside the destination when that lies on another drive
// (a rename at start-up cannot cross drives). On "NT" through MoveFileEx (a
// failure is shown as "MoveFileEx関数が失敗しました。"); on "notNT" through
// WININIT.INI [Rename] with short names. false whenever the replacement is
// not scheduled (no free name, copy failed, no short name, write failed);
// the temporary copy is then removed.
bool ReplaceOnRestart(const std::string& source, const std::string& destination);

// The same for a whole temporary file that is there already (a copy whose
// rename over the destination was refused because the destination is in
// use): it is scheduled as it lies, on the destination's own volume. false
// when not scheduled; the temporary file is then removed.
bool ScheduleReplacement(const std::string& temporary, const std::string& destination);

// Schedules a file or folder for deletion at the next start. On "NT" through
// MoveFileEx (a failure is shown as in ReplaceOnRestart); on "notNT" by a
// "Nul=" / "DirNul=" line in the [Rename] section of WININIT.INI, which is
// rewritten through a temporary file so that no other line is ever lost.
// false when nothing was scheduled.
bool DeleteOnRestart(const std::string& path);
