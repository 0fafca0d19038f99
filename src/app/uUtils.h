#pragma once
// The program's basic helpers: case-insensitive search, the one door for
// message boxes, and the file and folder operations start-up needs. None of
// them throws; results are flags, texts or Win32 error codes.
#include <windows.h>

#include <functional>
#include <string>

#include "app/Question.h"
#include "app/SystemChanges.h"

class OpenedFile;

// MBPos after upper-casing both texts through MapString; the position is valid
// in the unmapped haystack because upper-casing keeps CP932 byte lengths.
int IPos(const std::string& needle, const std::string& haystack);

// Every message box of the program goes through here. Flags are passed to
// the system's message box unchanged; the result is the pressed button's id.
// A box shown is written to the /LOG file with its answer.
int MsgBox(const Question& question);
// A box whose only button is OK: OK is also its unattended answer.
int MsgBox(const std::string& text, const std::string& caption, unsigned flags);

// While a responder is set, it answers instead of a real message box: the
// unattended front end's view, or a test. An empty function restores real
// message boxes.
using MsgBoxResponder = std::function<int(const Question& question)>;
void SetMsgBoxResponder(MsgBoxResponder responder);

// Copies over any existing destination and leaves the destination with the
// archive attribute only (never read-only, even from a CD-ROM) and the
// source's time of last write. 0 on success, else the Win32 error code of
// the copy (32: destination in use, or the source itself). The bytes go to
// a temporary file beside the destination (CopyTemporaryName) that takes
// the destination's name only once it is whole: a failure or a kill never
// leaves a cut file under the real name, and nothing is ever written
// through a name that another file shares. A destination that is a link,
// or a file with more than one name, is left as it is: kLinkedTarget.
// A temporary file a killed copy left is removed by the next copy to the
// same destination.
// destinationMayExist false makes a new destination only: a file already
// there is left alone and the result is ERROR_FILE_EXISTS (80), which spares
// the caller a look for a name that is not there. copied, when given, gets
// the size of the file copied. from, when given, is the source already held
// open (read from its first byte; source then only names it).
unsigned long CopyFileReset(const std::string& source, const std::string& destination,
                            bool destinationMayExist = true, unsigned long long* copied = nullptr,
                            OpenedFile* from = nullptr);

// The whole file, read through a handle that lets nobody write, rename or
// delete it while it is read: what the caller checks is what it was. False
// (last error set) when it cannot be opened or read, or is larger than
// maxBytes.
bool ReadHeldFile(const std::string& path, std::string& bytes, unsigned long long maxBytes = 64ull << 20);
// Makes a new file holding the bytes (never one that is there: 80 then);
// 0 or the code, and no file left behind on failure.
unsigned long WriteNewFile(const std::string& path, const std::string& bytes);

// What a copy may do beyond CopyFileReset's defaults.
struct CopyRequest {
    bool destinationMayExist = true;
    unsigned long long* copied = nullptr;
    // Hears every byte written, in order (a digest of exactly those bytes).
    std::function<void(const char* bytes, unsigned long size)> sink;
    // When given, a destination in use (its replacement refused with 5 or
    // 32) leaves the whole temporary file there, named here, for a
    // replacement at the restart; the result is then 32. Else it goes.
    std::string* inUseTemporary = nullptr;
    // When given, the source already held open (read from its first byte;
    // source then only names it).
    OpenedFile* from = nullptr;
};
unsigned long CopyFileTo(const std::string& source, const std::string& destination, const CopyRequest& request);

// The name a copy to destination is written under until it is whole.
std::string CopyTemporaryName(const std::string& destination);
inline constexpr const char* kCopyTemporarySuffix = ".RVNEW";

// A reparse point at the path that sends its name elsewhere (junction,
// symbolic link, mount point), as opposed to one that only keeps the file's
// data elsewhere (a cloud placeholder, deduplication): asked of the name
// itself; a tag that cannot be read counts as sending elsewhere.
bool RedirectingReparsePoint(const std::string& path);

// A target left alone because it is a link or shares its file with another
// name (a hard link).
inline constexpr unsigned long kLinkedTarget = ERROR_CANT_ACCESS_FILE;

// Opens an existing file to be changed where it lies (an INI entry, a line
// of a list): as itself, never through a link, and only when it is the one
// name of its file. Null with error set (kLinkedTarget for a link or a
// file with other names, else the system's code).
OpenedFilePtr OpenOwnFile(const std::string& path, DWORD access, DWORD share, unsigned long& error);

// Makes a new file, never through what the name already is: a file there
// (a leftover, or a hard link someone planted) loses the name first. Null
// with error set.
OpenedFilePtr CreateFreshFile(const std::string& path, DWORD share, DWORD flags, unsigned long& error);

// Puts a whole temporary file in the target's place: a rename over it on
// the NT family, delete then rename on 95/98/Me. 0 or the code.
unsigned long PutInPlace(const std::string& temporary, const std::string& target);

// True when a file (not a folder) exists at the path.
bool FileExists(const std::string& path);

// True when the folder (with or without trailing "\") exists and can be listed.
bool FolderExists(const std::string& path);

// Creates every missing level; the result is that of the last creation
// attempted, true when nothing had to be created.
bool ForceFolders(const std::string& path);

// Shell special folder by CSIDL number, without trailing "\"; empty on failure.
std::string GetSpecialFolder(int csidl);

// The system's text for a Win32 error code in full-width characters, ending
// with CR LF; empty for 0.
std::string SysErrorText(unsigned long code);

// Lets the user-interface thread handle every pending window message, as the
// long runs and waits do between their steps. A WM_QUIT met here is posted
// again so the main loop still sees it.
void ProcessMessages();

// The window that owns message boxes, shell dialogs and started programs:
// the wizard window once it exists (null before).
void SetOwnerWindow(HWND window);
HWND OwnerWindow();
