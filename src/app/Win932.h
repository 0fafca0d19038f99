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
LRESULT DefWindowProc932(HWND window, UINT message, WPARAM wp, LPARAM lp);
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
BOOL PeekMessage932(MSG& message, UINT remove);
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

// The program's command line; characters that have no CP932 form become '?'.
std::string GetCommandLine932();
