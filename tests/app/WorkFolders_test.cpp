#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/Handles.h"
#include "app/WorkFolders.h"

namespace {

using ToUnix = char*(CDECL*)(LPCWSTR);

ToUnix WineToUnix() {
    return reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
}

std::string UnixPath(const std::string& path) {
    std::wstring w(path.begin(), path.end());
    char* u = WineToUnix()(w.c_str());
    std::string s = u ? u : "";
    if (u) HeapFree(GetProcessHeap(), 0, u);
    return s;
}

bool RunUnix(std::string command) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    KernelObject process(pi.hProcess), thread(pi.hThread);
    return WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0;
}

// A directory symbolic link planted the way a user of the machine would.
// Wine shows a Unix symbolic link as a reparse point, and its Win32
// CreateSymbolicLink makes none, so the system's own ln makes it; the link
// is removed the same way, since Win32 calls on it act on its target.
class PlantedLink {
public:
    PlantedLink(const std::string& link, const std::string& target) : link_(link) {
        if (WineToUnix()) {
            RunUnix("/bin/ln -s \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"");
            // The started Unix program may still be running when its Wine
            // process handle signals.
            for (int i = 0; i < 100 && !ok(); ++i) Sleep(50);
        } else {
            CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
        }
    }
    ~PlantedLink() {
        if (WineToUnix()) {
            RunUnix("/bin/rm -f \"" + UnixPath(link_) + "\"");
            for (int i = 0; i < 100 && GetFileAttributesA(link_.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
        } else {
            RemoveDirectoryA(link_.c_str());
        }
    }
    bool ok() const {
        DWORD a = GetFileAttributesA(link_.c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
    }

private:
    std::string link_;
};

}  // namespace

class WorkFolderCleanup : public ::testing::Test {
protected:
    ScratchFolder temp;  // stands for TempFolder
    ScratchFolder elsewhere_;
};

TEST_F(WorkFolderCleanup, RemovesCurrentAndOwnLeftoversKeepsForeignFolders) {
    temp.Write("RVTMP1\\SETUPB.EXE", "exe");
    temp.Write("RVTMP1\\SETUP.INI", "[Title]");  // an earlier start's leftover
    temp.Write("RVTMP2\\UNSETUP.INI", "x");
    temp.Write("RVTMP2\\notes.txt", "someone else's");  // not ours
    temp.Write("RVTMP3\\SETUP.INI", "x");
    temp.Write("RVTMP3\\sub\\SETUP.INI", "x");  // a subfolder is not ours either
    temp.Write("RVTMP4\\SETUPB.EXE", "exe");    // the running start's folder
    temp.Write("RVTMP4\\extra\\deep\\file.bin", "whatever the run left");
    SetFileAttributesA((temp / "RVTMP4\\SETUPB.EXE").c_str(), FILE_ATTRIBUTE_READONLY);
    temp.Write("RVTMP99\\setup.ini", "x");  // case does not matter for our names

    RemoveWorkFolders(temp.path(), temp / "RVTMP4\\");

    EXPECT_FALSE(temp.Exists("RVTMP1"));
    EXPECT_TRUE(temp.Exists("RVTMP2\\notes.txt"));
    EXPECT_TRUE(temp.Exists("RVTMP2\\UNSETUP.INI"));
    EXPECT_TRUE(temp.Exists("RVTMP3\\sub\\SETUP.INI"));
    EXPECT_FALSE(temp.Exists("RVTMP4"));
    EXPECT_FALSE(temp.Exists("RVTMP99"));
}

TEST_F(WorkFolderCleanup, NeverDeletesThroughAPlantedLink) {
    elsewhere_.Write("SETUP.INI", "precious, and looks like ours");
    elsewhere_.Write("Documents\\letter.txt", "precious");
    PlantedLink outer(temp / "RVTMP7", elsewhere_.path());
    ASSERT_TRUE(outer.ok()) << "cannot plant a link here";
    temp.Write("RVTMP8\\SETUP.INI", "x");
    temp.Write("RVTMP8\\run\\data.bin", "x");
    PlantedLink inner(temp / "RVTMP8\\run\\inner", elsewhere_.path());
    ASSERT_TRUE(inner.ok());

    // Also when the link is named as the current folder.
    RemoveWorkFolders(temp.path(), temp / "RVTMP7\\");
    EXPECT_TRUE(elsewhere_.Exists("SETUP.INI"));
    EXPECT_TRUE(elsewhere_.Exists("Documents\\letter.txt"));

    RemoveWorkFolders(temp.path(), temp / "RVTMP8\\");
    EXPECT_FALSE(temp.Exists("RVTMP8\\SETUP.INI"));
    EXPECT_FALSE(temp.Exists("RVTMP8\\run\\data.bin"));
    EXPECT_TRUE(temp.Exists("RVTMP8\\run\\inner")) << "a link inside is left as it is";
    EXPECT_TRUE(elsewhere_.Exists("SETUP.INI"));
    EXPECT_TRUE(elsewhere_.Exists("Documents\\letter.txt"));
}

TEST(WorkFolderNames, OnlyTheFilesStartUpWrites) {
    EXPECT_TRUE(IsOwnWorkFile("SETUPB.EXE"));
    EXPECT_TRUE(IsOwnWorkFile("unsetup.ini"));
    EXPECT_FALSE(IsOwnWorkFile("SETUP.EXE"));
    EXPECT_FALSE(IsOwnWorkFile("SETUP.INI.bak"));
}
