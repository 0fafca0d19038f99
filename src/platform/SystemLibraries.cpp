#include "platform/SystemLibraries.h"

#include "platform/StrictWindows.h"
#include "platform/Win932.h"

#include <commctrl.h>
#include <psapi.h>
#include <shlobj.h>

#include <map>

namespace syslib {

namespace {

// The entry point, or null with the last error set. Each wrapper below
// looks its entry up once and keeps it (null stays null).
template <typename Function>
Function Entry(const char* library, const char* name) {
    HMODULE module = SystemLibrary(library);
    if (!module) return nullptr;
    FARPROC entry = strict::Lacks(library, name) ? nullptr : GetProcAddress(module, name);
    if (!entry) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(entry));
}

int hiddenForTest = 0;

}  // namespace

HideNewerEntriesForTest::HideNewerEntriesForTest() { ++hiddenForTest; }
HideNewerEntriesForTest::~HideNewerEntriesForTest() { --hiddenForTest; }
bool NewerEntriesHidden() { return hiddenForTest > 0; }

FARPROC LoadedLibraryEntry(const char* library, const char* name) {
    HMODULE module = GetModuleHandle932(library);
    return module && !strict::Lacks(library, name) ? GetProcAddress(module, name) : nullptr;
}

HWND RootWindow(HWND window) {
    static const auto entry = LoadedEntry<decltype(&::GetAncestor)>("USER32.DLL", "GetAncestor");
    if (entry && !NewerEntriesHidden()) return entry(window, GA_ROOT);
    if (!window || !IsWindow(window)) return nullptr;
    // GetParent gives the owner of a window that is no child: the walk ends there.
    while (GetWindowLongPtr932(window, GWL_STYLE) & WS_CHILD) {
        HWND parent = GetParent(window);
        if (!parent) break;
        window = parent;
    }
    return window;
}

std::string SystemLibraryPath(const char* name) {
    std::string path = GetSystemDirectory932();
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path + name;
}

HMODULE SystemLibrary(const char* name) {
    // The program has one thread; the map is only ever used from it.
    static std::map<std::string, HMODULE> loaded;
    const auto found = loaded.find(name);
    if (found != loaded.end()) return found->second;
    const std::string path = SystemLibraryPath(name);
    // The altered search path makes the library's own dependencies come
    // from its folder too, not from the program's.
    HMODULE module = path.size() > std::string(name).size()
                         ? LoadLibraryEx932(path, LOAD_WITH_ALTERED_SEARCH_PATH)
                         : nullptr;
    if (!module && GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_MOD_NOT_FOUND);
    loaded[name] = module;
    return module;
}

DWORD GetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle) {
    static const auto entry = Entry<decltype(&::GetFileVersionInfoSizeA)>("VERSION.DLL", "GetFileVersionInfoSizeA");
    return entry ? entry(file, handle) : 0;
}
BOOL GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID data) {
    static const auto entry = Entry<decltype(&::GetFileVersionInfoA)>("VERSION.DLL", "GetFileVersionInfoA");
    return entry ? entry(file, handle, size, data) : FALSE;
}
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
    static const auto entry = Entry<decltype(&::VerQueryValueA)>("VERSION.DLL", "VerQueryValueA");
    return entry ? entry(block, subBlock, buffer, length) : FALSE;
}

DWORD GetFileVersionInfoSizeW(LPCWSTR file, LPDWORD handle) {
    static const auto entry = Entry<decltype(&::GetFileVersionInfoSizeW)>("VERSION.DLL", "GetFileVersionInfoSizeW");
    return entry ? entry(file, handle) : 0;
}
BOOL GetFileVersionInfoW(LPCWSTR file, DWORD handle, DWORD size, LPVOID data) {
    static const auto entry = Entry<decltype(&::GetFileVersionInfoW)>("VERSION.DLL", "GetFileVersionInfoW");
    return entry ? entry(file, handle, size, data) : FALSE;
}
BOOL VerQueryValueW(LPCVOID block, LPCWSTR subBlock, LPVOID* buffer, PUINT length) {
    static const auto entry = Entry<decltype(&::VerQueryValueW)>("VERSION.DLL", "VerQueryValueW");
    return entry ? entry(block, subBlock, buffer, length) : FALSE;
}

INT LZOpenFileA(LPSTR file, LPOFSTRUCT info, WORD style) {
    static const auto entry = Entry<decltype(&::LZOpenFileA)>("LZ32.DLL", "LZOpenFileA");
    return entry ? entry(file, info, style) : LZERROR_BADINHANDLE;
}
LONG LZCopy(INT source, INT target) {
    static const auto entry = Entry<decltype(&::LZCopy)>("LZ32.DLL", "LZCopy");
    return entry ? entry(source, target) : LZERROR_BADINHANDLE;
}
INT LZRead(INT file, char* buffer, INT count) {
    static const auto entry = Entry<decltype(&::LZRead)>("LZ32.DLL", "LZRead");
    return entry ? entry(file, buffer, count) : LZERROR_BADINHANDLE;
}
void LZClose(INT file) {
    static const auto entry = Entry<decltype(&::LZClose)>("LZ32.DLL", "LZClose");
    if (entry) entry(file);
}
INT GetExpandedNameA(LPSTR source, LPSTR buffer) {
    static const auto entry = Entry<decltype(&::GetExpandedNameA)>("LZ32.DLL", "GetExpandedNameA");
    return entry ? entry(source, buffer) : LZERROR_BADINHANDLE;
}

HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder, INT show) {
    static const auto entry = Entry<decltype(&::ShellExecuteA)>("SHELL32.DLL", "ShellExecuteA");
    // Results up to 32 are errors; 0 is "out of memory or resources".
    return entry ? entry(window, verb, file, parameters, folder, show) : nullptr;
}
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) {
    static const auto entry = Entry<decltype(&::ShellExecuteExA)>("SHELL32.DLL", "ShellExecuteExA");
    return entry ? entry(info) : FALSE;
}
int SHFileOperationA(LPSHFILEOPSTRUCTA operation) {
    static const auto entry = Entry<decltype(&::SHFileOperationA)>("SHELL32.DLL", "SHFileOperationA");
    return entry ? entry(operation) : static_cast<int>(GetLastError());
}
HINSTANCE ShellExecuteW(HWND window, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder, INT show) {
    static const auto entry = Entry<decltype(&::ShellExecuteW)>("SHELL32.DLL", "ShellExecuteW");
    return entry ? entry(window, verb, file, parameters, folder, show) : nullptr;
}
BOOL ShellExecuteExW(SHELLEXECUTEINFOW* info) {
    static const auto entry = Entry<decltype(&::ShellExecuteExW)>("SHELL32.DLL", "ShellExecuteExW");
    return entry ? entry(info) : FALSE;
}
int SHFileOperationW(LPSHFILEOPSTRUCTW operation) {
    static const auto entry = Entry<decltype(&::SHFileOperationW)>("SHELL32.DLL", "SHFileOperationW");
    return entry ? entry(operation) : static_cast<int>(GetLastError());
}
BOOL SHGetPathFromIDListW(PCIDLIST_ABSOLUTE items, LPWSTR path) {
    static const auto entry = Entry<decltype(&::SHGetPathFromIDListW)>("SHELL32.DLL", "SHGetPathFromIDListW");
    return entry ? entry(items, path) : FALSE;
}
void SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2) {
    static const auto entry = Entry<decltype(&::SHChangeNotify)>("SHELL32.DLL", "SHChangeNotify");
    if (entry) entry(event, flags, item1, item2);
}
HRESULT SHGetMalloc(IMalloc** malloc) {
    static const auto entry = Entry<decltype(&::SHGetMalloc)>("SHELL32.DLL", "SHGetMalloc");
    return entry ? entry(malloc) : HRESULT_FROM_WIN32(GetLastError());
}
HRESULT SHGetSpecialFolderLocation(HWND window, int csidl, PIDLIST_ABSOLUTE* items) {
    static const auto entry = Entry<decltype(&::SHGetSpecialFolderLocation)>("SHELL32.DLL", "SHGetSpecialFolderLocation");
    // The numbers from CSIDL_COMMON_APPDATA on came with shell 5.0.
    if (!strict::Allows("SHGetSpecialFolderLocation", csidl >= CSIDL_COMMON_APPDATA ? 1 : 0)) return E_INVALIDARG;
    return entry ? entry(window, csidl, items) : HRESULT_FROM_WIN32(GetLastError());
}
namespace {

// SHELL32's own where it has one (shell 5.0: 2000, Me, or Internet Explorer
// 5's shell), else SHFOLDER.DLL's, the library that brings the call to 95,
// 98 and NT 4.0 (installed with Internet Explorer 4 and later, or by a
// program's own setup): without it "(C_Myd)" and the common folders of an
// old shell could not be found at all.
template <typename Function>
Function FolderPathEntry(const char* name) {
    static_assert(sizeof(Function) == sizeof(FARPROC));
    Function entry = NewerEntriesHidden() ? nullptr : Entry<Function>("SHELL32.DLL", name);
    return entry ? entry : Entry<Function>("SHFOLDER.DLL", name);
}

}  // namespace

HRESULT SHGetFolderPathA(HWND window, int csidl, HANDLE token, DWORD flags, LPSTR path) {
    using Function = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    const auto entry = FolderPathEntry<Function>("SHGetFolderPathA");
    return entry ? entry(window, csidl, token, flags, path) : E_NOTIMPL;
}
HRESULT SHGetFolderPathW(HWND window, int csidl, HANDLE token, DWORD flags, LPWSTR path) {
    using Function = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
    const auto entry = FolderPathEntry<Function>("SHGetFolderPathW");
    return entry ? entry(window, csidl, token, flags, path) : E_NOTIMPL;
}
BOOL SHGetPathFromIDListA(PCIDLIST_ABSOLUTE items, LPSTR path) {
    static const auto entry = Entry<decltype(&::SHGetPathFromIDListA)>("SHELL32.DLL", "SHGetPathFromIDListA");
    return entry ? entry(items, path) : FALSE;
}
PIDLIST_ABSOLUTE SHBrowseForFolderA(_browseinfoA* info) {
    static const auto entry = Entry<decltype(&::SHBrowseForFolderA)>("SHELL32.DLL", "SHBrowseForFolderA");
    return entry ? entry(info) : nullptr;
}
PIDLIST_ABSOLUTE SHBrowseForFolderW(_browseinfoW* info) {
    static const auto entry = Entry<decltype(&::SHBrowseForFolderW)>("SHELL32.DLL", "SHBrowseForFolderW");
    return entry ? entry(info) : nullptr;
}

HRESULT CoInitialize(LPVOID reserved) {
    static const auto entry = Entry<decltype(&::CoInitialize)>("OLE32.DLL", "CoInitialize");
    return entry ? entry(reserved) : HRESULT_FROM_WIN32(GetLastError());
}
void CoUninitialize() {
    static const auto entry = Entry<decltype(&::CoUninitialize)>("OLE32.DLL", "CoUninitialize");
    if (entry) entry();
}
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* object) {
    static const auto entry = Entry<decltype(&::CoCreateInstance)>("OLE32.DLL", "CoCreateInstance");
    if (!entry) {
        if (object) *object = nullptr;
        return HRESULT_FROM_WIN32(GetLastError());
    }
    return entry(clsid, outer, context, iid, object);
}
void CoTaskMemFree(LPVOID memory) {
    static const auto entry = Entry<decltype(&::CoTaskMemFree)>("OLE32.DLL", "CoTaskMemFree");
    if (entry) entry(memory);
}

namespace {

// The subclasses made with SetWindowLong, by window (one thread uses them).
struct LongSubclass {
    WNDPROC previous = nullptr;
    SubclassProcedure procedure = nullptr;
    UINT_PTR id = 0;
    DWORD_PTR data = 0;
};
std::map<HWND, LongSubclass>& LongSubclasses() {
    static std::map<HWND, LongSubclass> subclasses;
    return subclasses;
}

LRESULT CALLBACK LongSubclassProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    const auto found = LongSubclasses().find(window);
    if (found == LongSubclasses().end()) return DefWindowProc932(window, message, wp, lp);
    const LongSubclass subclass = found->second;
    if (message == WM_NCDESTROY) {
        // The window's last message: its own procedure is put back first.
        SetWindowLongPtr932(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclass.previous));
        LongSubclasses().erase(window);
        return CallWindowProc932(subclass.previous, window, message, wp, lp);
    }
    return subclass.procedure(window, message, wp, lp, subclass.id, subclass.data);
}

using SetWindowSubclassFunction = BOOL(WINAPI*)(HWND, SubclassProcedure, UINT_PTR, DWORD_PTR);
using DefSubclassProcFunction = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);

// The library's subclass functions, both or neither.
bool LibrarySubclasses(SetWindowSubclassFunction& set, DefSubclassProcFunction& def) {
    static const auto setEntry = Entry<SetWindowSubclassFunction>("COMCTL32.DLL", "SetWindowSubclass");
    static const auto defEntry = Entry<DefSubclassProcFunction>("COMCTL32.DLL", "DefSubclassProc");
    set = setEntry;
    def = defEntry;
    return set && def && !NewerEntriesHidden();
}

}  // namespace

BOOL SetWindowSubclass(HWND window, SubclassProcedure procedure, UINT_PTR id, DWORD_PTR data) {
    SetWindowSubclassFunction set = nullptr;
    DefSubclassProcFunction def = nullptr;
    if (LibrarySubclasses(set, def)) return set(window, procedure, id, data);
    if (!window || !IsWindow(window) || !procedure) return FALSE;
    auto& subclasses = LongSubclasses();
    const auto found = subclasses.find(window);
    if (found != subclasses.end()) {
        found->second.procedure = procedure;
        found->second.id = id;
        found->second.data = data;
        return TRUE;
    }
    // Entered before the procedure is switched, so the first message finds it.
    LongSubclass& subclass = subclasses[window];
    subclass = LongSubclass{nullptr, procedure, id, data};
    const LONG_PTR previous =
        SetWindowLongPtr932(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&LongSubclassProc));
    if (!previous) {
        subclasses.erase(window);
        return FALSE;
    }
    subclasses[window].previous = reinterpret_cast<WNDPROC>(previous);
    return TRUE;
}

LRESULT DefSubclassProc(HWND window, UINT message, WPARAM wp, LPARAM lp) {
    SetWindowSubclassFunction set = nullptr;
    DefSubclassProcFunction def = nullptr;
    if (LibrarySubclasses(set, def)) return def(window, message, wp, lp);
    const auto found = LongSubclasses().find(window);
    // Without a subclass of ours the window's own procedure answers.
    if (found == LongSubclasses().end() || !found->second.previous) return DefWindowProc932(window, message, wp, lp);
    return CallWindowProc932(found->second.previous, window, message, wp, lp);
}

BOOL GetProcessMemoryInfo(HANDLE process, _PROCESS_MEMORY_COUNTERS* counters, DWORD size) {
    static const auto entry = Entry<decltype(&::GetProcessMemoryInfo)>("PSAPI.DLL", "GetProcessMemoryInfo");
    return entry ? entry(process, counters, size) : FALSE;
}

}  // namespace syslib
