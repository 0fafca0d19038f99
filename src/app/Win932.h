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
// takes one from it; tests/app/Win932Boundary_test.cpp checks the objects.
#include <windows.h>

#include <string>
#include <string_view>

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
// missing) when a character has no CP932 form; never a best-fit look-alike,
// so a path is either right or refused.
bool Narrow(std::wstring_view text, std::string& out);
// For texts that are only shown or logged: the unrepresentable become '?'.
std::string NarrowForDisplay(std::wstring_view text);
// A path Windows gave us: its CP932 form, else the CP932 form of its short
// name. False when neither exists (the caller must stop rather than work on
// a wrong path).
bool PathFromSystem(const std::wstring& path, std::string& out);

}  // namespace win932

// --- Files and folders -------------------------------------------------------
HANDLE CreateFile932(const std::string& name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                     DWORD disposition, DWORD flags, HANDLE templateFile);
BOOL DeleteFile932(const std::string& name);
DWORD GetFileAttributes932(const std::string& name);
BOOL SetFileAttributes932(const std::string& name, DWORD attributes);

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
