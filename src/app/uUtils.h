#pragma once
// The program's basic helpers: case-insensitive search, the one door for
// message boxes, and the file and folder operations start-up needs. None of
// them throws; results are flags, texts or Win32 error codes.
#include <windows.h>

#include <functional>
#include <string>

#include "app/Question.h"

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
// the copy (32: destination in use, or the source itself). A copy that fails
// leaves no cut file behind.
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
