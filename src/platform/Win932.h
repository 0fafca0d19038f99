#pragma once
// The one place where the program's texts cross into Windows and back.
//
// Inside, every text is a string of code page 932 bytes, whatever the
// system's own code page is: the scripts and records are CP932 files and stay
// byte for byte the same. On the NT family each call below converts with code
// page 932 explicitly and calls the wide-character function, so the program
// is right on any locale. On 95/98/Me, where most wide functions are stubs
// and the system's code page is the only one there is, the ANSI function is
// called as it always was.
//
// Nothing outside this module hands a text to an ANSI Windows function or
// takes one from it; tests/boundary/check-ansi-calls.sh checks the objects.
// Each section below has a source file of its own: Win932.cpp (conversions),
// Win932Files, Win932Paths, Win932SystemTexts, Win932Registry,
// Win932Programs, Win932Windows, Win932Profile and Win932Console.
#include <windows.h>
#include <shellapi.h>
#include <shtypes.h>

#include <string>
#include <string_view>
#include <vector>

namespace win932 {

inline constexpr UINT kCodePage = 932;
inline constexpr LCID kJapanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT);

// True on the NT family: the wide functions are real there.
bool WideSystem();
// For tests: takes the ANSI path (as on 95/98/Me) while the object lives.
class ForceAnsiForTest {
public:
    ForceAnsiForTest();
    ~ForceAnsiForTest();
    ForceAnsiForTest(const ForceAnsiForTest&) = delete;
    ForceAnsiForTest& operator=(const ForceAnsiForTest&) = delete;
};

// CP932 bytes to UTF-16. Bytes that are no CP932 character become U+30FB or
// the replacement the system chooses; texts of ours never hold them.
std::wstring Wide(std::string_view text);
// UTF-16 to CP932. False (out still filled, with '?' in place of what is
// missing) when a character has no CP932 form; never a best-fit look-alike
// (U+00A5 is no backslash), so a path is either right or refused. Where the
// system refuses WC_NO_BEST_FIT_CHARS (before 2000) the text is converted
// back and must come out the same.
bool Narrow(std::wstring_view text, std::string& out);
// UTF-8 to UTF-16 by our own code: Windows 95 has no CP_UTF8. Ill-formed
// bytes become U+FFFD; valid (if given) says whether there were none.
std::wstring FromUtf8(std::string_view text, bool* valid = nullptr);
// For texts that are only shown or logged: the unrepresentable become '?'.
std::string NarrowForDisplay(std::wstring_view text);
// A path Windows gave us: its CP932 form, else the CP932 form of its short
// name. False when neither exists (the caller must stop rather than work on
// a wrong path).
bool PathFromSystem(const std::wstring& path, std::string& out);

// The last error set by the functions below that return a path of the
// system's when the path has no CP932 form and no short name either.
inline constexpr DWORD kNoCp932Form = ERROR_NO_UNICODE_TRANSLATION;

// For an ANSI function without a wide form (LZ32's): the path in the system's
// code page, which is how that function reads it. On the NT family a path
// that is not plain ASCII goes by its short name; false when there is none or
// it does not fit the system's code page either.
bool AnsiPathForSystem(const std::string& path, std::string& out);
// For tests: paths have no short names (as on a volume with 8.3 names off)
// while the object lives.
class NoShortNamesForTest {
public:
    NoShortNamesForTest();
    ~NoShortNamesForTest();
    NoShortNamesForTest(const NoShortNamesForTest&) = delete;
    NoShortNamesForTest& operator=(const NoShortNamesForTest&) = delete;
};

// True on an NT system without the tables of code page 932 (a Western 2000
// or XP without East Asian language support): there no text of ours can
// cross into Windows, and the program must not start.
bool CodePage932Missing();
// Tells the person so, in UTF-16 written directly (English, then Japanese):
// a message box, or with /S or /PREVIEW on the command line the standard
// error stream; the /LOG= file, when one is named, gets the message and the
// exit code. Uses nothing that converts a text. commandLine is the
// process's own (GetCommandLineW).
void TellCodePage932Missing(const std::wstring& commandLine, int exitCode);

// True when every byte of the text belongs to a character of code page 932
// (no stray trail byte, no lead byte without its partner, no unassigned code).
bool IsValidText(std::string_view text);

}  // namespace win932

// --- Files and folders -------------------------------------------------------
// True when the text holds "*" or "?". Neither is ever the trail byte of a
// double-byte character, so a byte search never finds one inside a character.
inline bool HasWildcard(const std::string& path) { return path.find_first_of("*?") != std::string::npos; }

namespace win932 {
// The share mode and flags CreateFile932 hands to 95/98/Me: without
// FILE_SHARE_DELETE and the NT-only flags, which fail the open there.
void FileFlagsFor95(DWORD& share, DWORD& flags);
}  // namespace win932
// On 95/98/Me through FileFlagsFor95.
HANDLE CreateFile932(const std::string& name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                     DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL DeleteFile932(const std::string& name);
DWORD GetFileAttributes932(const std::string& name);
BOOL SetFileAttributes932(const std::string& name, DWORD attributes);
// Where the system has no GetFileAttributesEx (95, NT 3.51), the same record
// from FindFirstFile (a root folder from GetFileAttributes, without times).
BOOL GetFileAttributesEx932(const std::string& name, WIN32_FILE_ATTRIBUTE_DATA* data);
BOOL CopyFile932(const std::string& source, const std::string& target, BOOL failIfExists);
BOOL MoveFile932(const std::string& source, const std::string& target);
// An empty target with MOVEFILE_DELAY_UNTIL_REBOOT deletes source at restart.
BOOL MoveFileEx932(const std::string& source, const std::string& target, DWORD flags);
BOOL CreateDirectory932(const std::string& name, SECURITY_ATTRIBUTES* security);
BOOL RemoveDirectory932(const std::string& name);
BOOL SetCurrentDirectory932(const std::string& name);
// The find record in CP932. A name found on disk that CP932 cannot hold is
// given by its short name; without one it holds '?' (no file of ours is
// named so, and no call finds a file by that name).
HANDLE FindFirstFile932(const std::string& pattern, WIN32_FIND_DATAA* data);
BOOL FindNextFile932(HANDLE find, WIN32_FIND_DATAA* data);
// Empty on failure (last error set; kNoCp932Form when the result has no
// CP932 form and no short name).
std::string GetFullPathName932(const std::string& path);
// Where the system has no GetLongPathName (95, NT 4.0), the path is walked
// name by name with FindFirstFile, which gives each name's long form.
std::string GetLongPathName932(const std::string& path);
std::string GetShortPathName932(const std::string& path);
std::string GetTempFileName932(const std::string& folder, const std::string& prefix, UINT unique);
BOOL GetDiskFreeSpace932(const std::string& root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                         DWORD* freeClusters, DWORD* totalClusters);
// Looked up at run time (the first Windows 95 has none): FALSE with
// ERROR_PROC_NOT_FOUND then.
BOOL GetDiskFreeSpaceEx932(const std::string& root, ULARGE_INTEGER* available, ULARGE_INTEGER* total,
                           ULARGE_INTEGER* totalFree);
// LZ32 has no wide functions: these go through AnsiPathForSystem. A path
// without such a form fails with nErrCode kNoCp932Form, one whose form is
// longer than OpenFile's record holds (127 bytes) with
// ERROR_FILENAME_EXCED_RANGE. A target to be created is created first, so
// that it has a short name.
INT LZOpenFile932(const std::string& name, OFSTRUCT* info, WORD style);
// True when LZOpenFile932 failed because LZ32 cannot name the path at all:
// the program's own decoder (platform/SzddExpand.h) can.
bool LzCannotName(const OFSTRUCT& info);
// The name the compressed file records for itself, or the name unchanged;
// for a path LZ32 cannot name, read by the program itself.
std::string GetExpandedName932(const std::string& name);

// --- Folders and texts the system gives -------------------------------------
// Each is empty on failure, with the last error set (kNoCp932Form when the
// folder has no CP932 form and no short name: the caller must stop).
std::string GetTempPath932();
std::string GetWindowsDirectory932();
std::string GetSystemDirectory932();
std::string GetModuleFileName932(HMODULE module);
std::string SHGetPathFromIDList932(PCIDLIST_ABSOLUTE items);
// A special folder's path as the shell keeps it (SHGetFolderPath, no item
// list, no window); empty when the folder is not there or the system has no
// such call (neither shell32 5.0 nor SHFOLDER.DLL).
std::string SHGetFolderPath932(int csidl);
// The process's command line in CP932. False when an argument has no CP932
// form and no short name; text then holds its display form.
bool GetCommandLine932(std::string& text);
// The system's text for a Win32 code, for display (empty when it has none).
std::string FormatMessage932(DWORD code);
// LCMapString with the Japanese locale; the text unchanged on failure.
std::string LCMapString932(const std::string& text, DWORD flags);
// OSVERSIONINFOA's numbers; its service-pack text for display only.
BOOL GetVersionEx932(OSVERSIONINFOA* info);
// The whole version resource of a file; false when it has none.
bool GetFileVersionInfo932(const std::string& file, std::vector<BYTE>& block);
// A text value of a version resource ("\\StringFileInfo\\041103a4\\...").
bool VerQueryString932(const std::vector<BYTE>& block, const std::string& subBlock, std::string& value);

// --- Registry ----------------------------------------------------------------
// An empty value name is the key's default value.
LONG RegOpenKeyEx932(HKEY key, const std::string& subkey, DWORD options, REGSAM access, HKEY* result);
LONG RegCreateKeyEx932(HKEY key, const std::string& subkey, DWORD options, REGSAM access,
                       SECURITY_ATTRIBUTES* security, HKEY* result, DWORD* disposition);
LONG RegDeleteKey932(HKEY key, const std::string& subkey);
LONG RegDeleteValue932(HKEY key, const std::string& name);
LONG RegEnumKeyEx932(HKEY key, DWORD index, std::string& name);
LONG RegQueryInfoKey932(HKEY key, DWORD* subkeys, DWORD* values);
// String values (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) are stored as Unicode,
// so every locale reads them right; data and size are their CP932 bytes with
// the terminating null(s). Other types are stored as given.
LONG RegSetValueEx932(HKEY key, const std::string& name, DWORD type, const BYTE* data, DWORD size);
// data receives the value as the ANSI function would give it: string values
// as CP932 bytes with their terminating null(s), others as stored. A string
// value that CP932 cannot hold is kNoCp932Form.
LONG RegQueryValueEx932(HKEY key, const std::string& name, DWORD* type, std::string& data);

// --- Programs, libraries, shell ----------------------------------------------
// A library the process has loaded, or null.
HMODULE GetModuleHandle932(const std::string& name);
HMODULE LoadLibraryEx932(const std::string& name, DWORD flags);
// A package's library by its full path, the libraries it imports taken
// from its own folder and the system folder only (never the program's
// folder nor the search path): the search flags where the system knows them
// (AddDllDirectory is there), else the altered search path.
HMODULE LoadLibraryFromItsFolder932(const std::string& path);
// Where the system can (SetDefaultDllDirectories), every library loaded
// later by its bare name, by the shell or a system library on the program's
// behalf, comes from the system folder only, never from the folder the
// program was started from. Nothing elsewhere.
void RestrictLibrarySearch();
HANDLE CreateMutex932(SECURITY_ATTRIBUTES* security, BOOL initialOwner, const std::string& name);
HANDLE OpenMutex932(DWORD access, BOOL inherit, const std::string& name);
// The window fields of the caller's start-up record; its texts are left
// null (a started program then takes the defaults).
void GetStartupInfo932(STARTUPINFOA* info);
// An empty command line or folder is passed as null; lpDesktop and lpTitle
// of startup are passed on.
BOOL CreateProcess932(const std::string& application, const std::string& commandLine, SECURITY_ATTRIBUTES* process,
                      SECURITY_ATTRIBUTES* thread, BOOL inherit, DWORD flags, const std::string& folder,
                      STARTUPINFOA* startup, PROCESS_INFORMATION* info);
// Empty parameters or folder are passed as null.
HINSTANCE ShellExecute932(HWND window, const std::string& verb, const std::string& file,
                          const std::string& parameters, const std::string& folder, INT show);
// The texts of info are CP932; hInstApp and hProcess come back in it. Only
// the fields the program sets cross on the NT family: mask, window, verb,
// file, parameters, folder and show.
BOOL ShellExecuteEx932(SHELLEXECUTEINFOA* info);
// pFrom and pTo are CP932 lists, each name ended by a null, the list by two.
int SHFileOperation932(SHFILEOPSTRUCTA* operation);

// --- The process's own account (Win932Security.cpp) ---------------------------
// NT family only: on 95/98/Me, which have no accounts, each fails with
// ERROR_CALL_NOT_IMPLEMENTED and calls nothing.
// The string SID of the user the process runs as ("S-1-5-21-..."); empty on
// any failure.
std::string CurrentUserSid932();
// The token's information of one class as GetTokenInformation gives it;
// empty on 95/98/Me and when it cannot be read.
std::vector<BYTE> TokenInformation932(TOKEN_INFORMATION_CLASS kind);
// Enables or disables one privilege of the process's token; the result of
// AdjustTokenPrivileges, false when the privilege is unknown.
bool EnableProcessPrivilege932(const std::string& name, bool enable);

// --- Windows -------------------------------------------------------------------
// Our windows are Unicode windows on the NT family and ANSI ones on 95/98/Me.
// A Unicode window handed an ANSI message, loop or default procedure has its
// texts converted through the system's code page on the way, so every message
// call, class, loop and default procedure of ours comes through here too,
// texts or not, and the two kinds never mix.

// A window class of ours. name is ASCII; proc null makes the class of a dialog
// template, whose procedure is the dialog manager's own.
struct WindowClass932 {
    const char* name = nullptr;
    WNDPROC proc = nullptr;
    UINT style = 0;
    int windowExtra = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
};
// True when the class is registered, now or before.
bool RegisterClass932(const WindowClass932& windowClass);
HWND CreateWindowEx932(DWORD exStyle, const std::string& className, const std::string& title, DWORD style, int x,
                       int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance);
HWND CreateDialogParam932(HINSTANCE instance, int templateId, HWND owner, DLGPROC proc, LPARAM param);
// Makes, on a thread of its own, the process's first window and lets it go:
// what that costs (under Wine the display driver and a round trip to the
// desktop process, some 50 ms) is then paid beside the caller's own work,
// not by the COM apartment it starts later. Nothing waits for it; a system
// without message-only windows (NT 4.0) makes none. 95/98/Me get no thread
// at all (false): there the process must keep to one.
bool PrepareDisplayAhead();
LRESULT DefWindowProc932(HWND window, UINT message, WPARAM wp, LPARAM lp);
LRESULT CallWindowProc932(WNDPROC procedure, HWND window, UINT message, WPARAM wp, LPARAM lp);
HICON LoadIcon932(HINSTANCE instance, int id);
// id is an integer resource such as IDC_ARROW.
HCURSOR LoadCursor932(HINSTANCE instance, LPCSTR id);

// Messages that carry no text (or whose text the window converts itself).
LRESULT SendMessage932(HWND window, UINT message, WPARAM wp, LPARAM lp);
BOOL PostMessage932(HWND window, UINT message, WPARAM wp, LPARAM lp);
LONG_PTR GetWindowLongPtr932(HWND window, int index);
LONG_PTR SetWindowLongPtr932(HWND window, int index, LONG_PTR value);
ULONG_PTR SetClassLongPtr932(HWND window, int index, LONG_PTR value);
BOOL GetMessage932(MSG& message);
BOOL PeekMessage932(MSG& message, UINT remove, UINT first = 0, UINT last = 0);
BOOL IsDialogMessage932(HWND dialog, MSG& message);
LRESULT DispatchMessage932(const MSG& message);

// Window and control texts.
BOOL SetWindowText932(HWND window, const std::string& text);
// Empty for a null window or one without text.
std::string GetWindowText932(HWND window);

// Measuring and drawing in the font selected into dc.
int DrawText932(HDC dc, const std::string& text, RECT& rect, UINT format);
BOOL GetTextMetrics932(HDC dc, TEXTMETRICW& metrics);

// Fonts; the face name in font is CP932 (our Japanese face names).
HFONT CreateFontIndirect932(const LOGFONTA& font);
// True when the system knows a face of this exact name in charset (no
// substitution): EnumFontFamiliesEx found at least one family.
bool FontFamilyExists932(HDC dc, const std::string& face, BYTE charset);

// A message box; the pressed button's id.
int MessageBox932(HWND owner, const std::string& text, const std::string& caption, UINT flags);

// The shell's folder browser. True with the chosen folder (its CP932 form, or
// its short name when it has none) when the user picked a file system folder.
bool BrowseForFolder932(HWND owner, const std::string& title, UINT flags, std::string& folder);


// --- Profile files -----------------------------------------------------------
// True when the system keeps (some of) this profile file's sections in the
// registry (the IniFileMapping list of the NT family, WIN.INI and the like):
// such a file is read and written only through the system's functions.
bool ProfileMappedToRegistry932(const std::string& file);
// The system's profile read: true and the value, or false when the file,
// section, key or value is missing. Grows its buffer until the value fits.
bool GetPrivateProfileString932(const std::string& section, const std::string& key, const std::string& file,
                                std::string& value);
// The system's profile write; null key deletes the section, null value the
// key, all three null flushes the system's cached copy of the file.
BOOL WritePrivateProfileString932(const char* section, const char* key, const char* value, const std::string& file);

// --- Console -----------------------------------------------------------------
// True when the standard handle (STD_OUTPUT_HANDLE, STD_ERROR_HANDLE) is a
// console window, not a file or a pipe.
bool IsConsole932(DWORD standardHandle);
// Writes the text to the standard handle: to a console as its characters
// (WriteConsoleW on the NT family, so any console code page shows it right),
// to a file or a pipe as its CP932 bytes. False when nothing could be written.
bool WriteStandard932(DWORD standardHandle, const std::string& text);
