// The libraries beyond the four Windows always takes from its own folders:
// loaded from the system folder by full path, never from the program's own
// folder, and their functions working through the loaded entry points.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/uStrOp.h"
#include "platform/SystemLibraries.h"

#include <memory>

namespace {

std::string SystemFolder() {
    char folder[MAX_PATH + 1] = {};
    GetSystemDirectoryA(folder, sizeof folder);
    return std::string(folder) + "\\";
}

std::string ModulePathOf(HMODULE module) {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(module, path, sizeof path);
    return path;
}

TEST(SystemLibraries, EachIsLoadedFromTheSystemFolderByItsFullPath) {
    const std::string system = MapString(SystemFolder(), LCMAP_UPPERCASE);
    for (const char* name : {"VERSION.DLL", "LZ32.DLL", "SHELL32.DLL", "OLE32.DLL", "COMCTL32.DLL", "PSAPI.DLL"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(SystemFolder() + name, syslib::SystemLibraryPath(name));
        HMODULE module = syslib::SystemLibrary(name);
        ASSERT_NE(nullptr, module);
        EXPECT_EQ(0u, MapString(ModulePathOf(module), LCMAP_UPPERCASE).find(system)) << ModulePathOf(module);
        EXPECT_EQ(module, syslib::SystemLibrary(name)) << "loaded once";
    }
}

TEST(SystemLibraries, ALibraryPlantedBesideTheProgramIsNeverLoaded) {
    // The same library a bare name would find first, beside the program.
    const std::string planted = TestBinFolder() + "RVPLANTED.DLL";
    ASSERT_TRUE(CopyFileA((TestBinFolder() + "sysops_selfreg_ok.dll").c_str(), planted.c_str(), FALSE));
    HMODULE bare = LoadLibraryA("RVPLANTED.DLL");
    EXPECT_NE(nullptr, bare) << "a bare name does look beside the program";
    if (bare) FreeLibrary(bare);

    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(nullptr, syslib::SystemLibrary("RVPLANTED.DLL"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
    DeleteFileA(planted.c_str());
}

TEST(SystemLibraries, FunctionsWorkThroughTheLoadedEntryPoints) {
    // The version resource of a system library, read the way the program
    // reads its own.
    const std::string kernel = SystemFolder() + "kernel32.dll";
    DWORD ignored = 0;
    const DWORD size = syslib::GetFileVersionInfoSizeA(kernel.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::string data(size, '\0');
    ASSERT_TRUE(syslib::GetFileVersionInfoA(kernel.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(syslib::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(0xFEEF04BDu, fixed->dwSignature);

    char path[MAX_PATH] = {};
    PIDLIST_ABSOLUTE items = nullptr;
    ASSERT_TRUE(SUCCEEDED(syslib::SHGetSpecialFolderLocation(nullptr, CSIDL_WINDOWS, &items)));
    EXPECT_TRUE(syslib::SHGetPathFromIDListA(items, path));
    syslib::CoTaskMemFree(items);
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_EQ(MapString(windows, LCMAP_UPPERCASE), MapString(path, LCMAP_UPPERCASE));
}

// ---- Before 98, 2000 and common controls 6 ----

TEST(SystemLibraries, FoldersByNumberComeFromShfolderWhereTheShellHasNoSuchCall) {
    // NT 4.0 and 95/98 with an old shell: only SHFOLDER.DLL names the
    // all-users documents ("(C_Myd)").
    for (const int csidl : {CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_STARTMENU, CSIDL_PERSONAL}) {
        SCOPED_TRACE(csidl);
        char shell[MAX_PATH] = {}, shfolder[MAX_PATH] = {};
        ASSERT_EQ(S_OK, syslib::SHGetFolderPathA(nullptr, csidl, nullptr, 0, shell));
        syslib::HideNewerEntriesForTest hide;
        ASSERT_EQ(S_OK, syslib::SHGetFolderPathA(nullptr, csidl, nullptr, 0, shfolder));
        EXPECT_STREQ(shell, shfolder);
    }
    HMODULE shfolder = GetModuleHandleA("SHFOLDER.DLL");
    ASSERT_NE(nullptr, shfolder) << "the shell answered, not SHFOLDER.DLL";
    EXPECT_EQ(MapString(SystemFolder() + "SHFOLDER.DLL", LCMAP_UPPERCASE),
              MapString(ModulePathOf(shfolder), LCMAP_UPPERCASE));
}

int g_seen = 0;
LRESULT CALLBACK CountingSubclass(HWND w, UINT m, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
    if (m == WM_SETTEXT && id == 7 && data == 9) ++g_seen;
    return syslib::DefSubclassProc(w, m, wp, lp);
}

struct OwnWindow {
    HWND h;
    ~OwnWindow() {
        if (h) DestroyWindow(h);
    }
    HWND get() const { return h; }
};

TEST(SystemLibraries, TheRootWindowAndASubclassWithoutTheNewerFunctions) {
    for (const bool hidden : {false, true}) {
        SCOPED_TRACE(hidden ? "fallback" : "system function");
        std::unique_ptr<syslib::HideNewerEntriesForTest> hide(hidden ? new syslib::HideNewerEntriesForTest : nullptr);
        OwnWindow top{CreateWindowExW(0, L"STATIC", L"top", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr)};
        HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 10, 10, top.get(), nullptr, nullptr, nullptr);
        HWND grandchild = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 5, 5, child, nullptr, nullptr, nullptr);
        OwnWindow owned{CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 5, 5, top.get(), nullptr, nullptr, nullptr)};
        ASSERT_TRUE(grandchild && owned.get());
        EXPECT_EQ(top.get(), syslib::RootWindow(grandchild));
        EXPECT_EQ(owned.get(), syslib::RootWindow(owned.get())) << "an owner is no parent";

        // The subclass sees the message first, and the control's own
        // procedure still does its work.
        g_seen = 0;
        ASSERT_TRUE(syslib::SetWindowSubclass(child, CountingSubclass, 7, 9));
        SetWindowTextW(child, L"label");
        EXPECT_EQ(1, g_seen);
        wchar_t text[16] = {};
        GetWindowTextW(child, text, 16);
        EXPECT_STREQ(L"label", text);
    }
}

}  // namespace
