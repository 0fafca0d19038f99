// The sample package installed through the wizard, then removed the way
// Windows removes it (its Add/Remove Programs entry): the prefix must be as
// it was before, apart from the uninstaller and the program-ID list, which
// stay on purpose, and a file the user added, which is reported.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "SampleKit.h"
#include "TestSupport.h"
#include "app/uIniFile.h"
#include "ui/resource.h"

using namespace e2e;

TEST(SampleRoundTripE2E, InstalledThenRemovedByItsEntryTheSystemIsAsBefore) {
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the snapshot is taken with Wine's Unix side";
    Distribution dist;
    CopySample(dist);
    ScratchFolder target;
    const std::string app = target.path() + "Ravelin Sample\\";
    SampleLeftovers leftovers(app);
    // An uninstaller left by an earlier build may be newer than this one and
    // would then be kept: this test is about this build's.
    DeleteFileA((WindowsFolder() + "UNRAVEL.EXE").c_str());
    const std::string before = PrefixSnapshot();
    ASSERT_NE(std::string::npos, before.find("./windows/system32\n")) << "the snapshot lists no files";
    ASSERT_NE(std::string::npos, before.find("HKEY_CURRENT_USER\\Software\\Wine")) << "the snapshot reads no keys:\n"
                                                                          << before.substr(before.size() > 3000 ? before.size() - 3000 : 0);
    {
        SetupProcess setup(dist.exe(), "");
        InstallSample(setup, app);
    }
    ASSERT_TRUE(FileExistsAt(app + "UNSETUP.INI"));
    target.Write("Ravelin Sample\\メモ.txt", "the user's own notes");

    // As the control panel does it: the entry's uninstall string.
    RunShellCommand("wine uninstaller --remove RavelinSample");
    std::unique_ptr<SetupProcess> un = SetupProcess::Attach("UNRAVEL.EXE", 60000);
    ASSERT_TRUE(un);
    UninstallSample(*un, app, true);
    if (HasFatalFailure()) return;

    // Only the user's file is left of the install folder.
    EXPECT_EQ("the user's own notes", ReadFileBytes(app + "メモ.txt"));
    for (const char* gone : {"UNSETUP.INI", "SAMPLE.EXE", "RVSAMPLE.DLL", "MANUAL.TXT", "docs", "データ"})
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((app + gone).c_str())) << ToUtf8(gone);
    const std::string after = PrefixSnapshot();
    EXPECT_EQ(before, after) << "left behind:\n" << Missing(after, before) << "\nremoved:\n" << Missing(before, after);
    EXPECT_EQ(std::string::npos, UnixCommandOutput("wine uninstaller --list").find("Ravelin サンプル"));
    // The two files that stay on purpose.
    EXPECT_TRUE(FileExistsAt(WindowsFolder() + "UNRAVEL.EXE"));
    EXPECT_EQ("", IniRead("RAVELINSAMPLE", "Folder", "", WindowsFolder() + "RVSET98.INI"));
}
