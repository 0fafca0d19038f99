#pragma once
// Every library beyond KERNEL32, USER32, GDI32 and ADVAPI32 (which Windows
// always takes from its own folders), loaded by its full path in the system
// folder and never by bare name: a setup program runs from download folders
// full of other files, and a bare name is looked for in the program's own
// folder first, where a planted VERSION.DLL or SHELL32.DLL would be loaded.
// The A entry points serve Windows 95/98/Me only, through src/platform/Win932.
// Each library is loaded once, on first use, and stays for the process's
// life. A function whose library or entry point cannot be found fails the
// way the real one reports a failure (FALSE, null, an error HRESULT or
// code), with ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND as last error.
#include <windows.h>
#include <lzexpand.h>
#include <objbase.h>
#include <shellapi.h>
#include <shtypes.h>

#include <string>

// Declared here without their headers, which would bring the whole shell
// namespace into every file that owns a handle.
struct _browseinfoA;
struct _browseinfoW;
struct _PROCESS_MEMORY_COUNTERS;

namespace syslib {

// Functions that not every Windows the program runs on exports (95 to
// Vista on both families) are looked up once by name, never imported: a
// name the loader cannot find stops the program before any code of ours
// runs. Each has a fallback that gives the same result where it can.
//
// For tests: while an object lives, every such entry point counts as
// missing, so the fallbacks run as they would on the older systems.
class HideNewerEntriesForTest {
public:
    HideNewerEntriesForTest();
    ~HideNewerEntriesForTest();
    HideNewerEntriesForTest(const HideNewerEntriesForTest&) = delete;
    HideNewerEntriesForTest& operator=(const HideNewerEntriesForTest&) = delete;
};
bool NewerEntriesHidden();
// The entry point of a library the process has already loaded (KERNEL32,
// USER32), or null. The caller keeps the address (looked up once) and asks
// NewerEntriesHidden() before each use.
FARPROC LoadedLibraryEntry(const char* library, const char* name);
template <typename Function>
Function LoadedEntry(const char* library, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(LoadedLibraryEntry(library, name)));
}

// USER32's GetAncestor(window, GA_ROOT) (98 and 2000 on); before, the chain
// of parents walked with GetParent up to the first window that is no child.
HWND RootWindow(HWND window);

// The system folder + "\" + name, the path each library is loaded from.
std::string SystemLibraryPath(const char* name);
// The library loaded from SystemLibraryPath(name), or null; the first call
// loads it.
HMODULE SystemLibrary(const char* name);

// VERSION.DLL
DWORD GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle);
BOOL GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID data);
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length);
DWORD GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle);
BOOL GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID data);
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length);

// LZ32.DLL
INT LZOpenFileA(LPSTR file, LPOFSTRUCT info, WORD style);
LONG LZCopy(INT source, INT target);
INT LZRead(INT file, char* buffer, INT count);
void LZClose(INT file);
INT GetExpandedNameA(LPSTR source, LPSTR buffer);

// SHELL32.DLL
HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder, INT show);
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);
int SHFileOperationA(LPSHFILEOPSTRUCTA operation);
HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder, INT show);
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info);
int SHFileOperationW(LPSHFILEOPSTRUCTW operation);
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE items, LPWSTR path);
void SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2);
HRESULT SHGetMalloc(IMalloc** malloc);
HRESULT SHGetSpecialFolderLocation(HWND window, int csidl, PIDLIST_ABSOLUTE* items);
// From shell32 5.0 (Windows 2000, Me, or an Internet Explorer 5 shell) on,
// else from SHFOLDER.DLL where an older system has it; without either
// E_NOTIMPL. Hidden newer entries hide shell32's, not SHFOLDER's.
HRESULT SHGetFolderPathA(HWND window, int csidl, HANDLE token, DWORD flags, LPSTR path);
HRESULT SHGetFolderPathW(HWND window, int csidl, HANDLE token, DWORD flags, LPWSTR path);
BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE items, LPSTR path);
PIDLIST_ABSOLUTE SHBrowseForFolderA(_browseinfoA* info);
PIDLIST_ABSOLUTE SHBrowseForFolderW(_browseinfoW* info);

// OLE32.DLL
HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object);
void CoTaskMemFree(LPVOID memory);

// COMCTL32.DLL. The subclass functions are exported by name from common
// controls 6 (XP on) only; without them the window procedure is replaced
// with SetWindowLong and the previous one called for DefSubclassProc, one
// subclass per window.
using SubclassProcedure = LRESULT(CALLBACK*)(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
BOOL SetWindowSubclass(HWND window, SubclassProcedure procedure, UINT_PTR id, DWORD_PTR data);
LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wp, LPARAM lp);

// PSAPI.DLL
BOOL GetProcessMemoryInfo(HANDLE process, _PROCESS_MEMORY_COUNTERS* counters, DWORD size);

}  // namespace syslib
