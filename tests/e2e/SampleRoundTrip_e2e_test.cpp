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

namespace {

const std::string kU = "アンインストール";

}  // namespace

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
    ASSERT_TRUE(un->WaitForWizard(60000));
    ASSERT_TRUE(un->WaitForText(IDC_btnEvent, kU + "続行(&C)"));
    EXPECT_EQ(ToUtf8(kU + "の前にお読みください。"), ToUtf8(un->Text(IDC_fraReadme)));
    un->Press(IDC_btnEvent);
    ASSERT_TRUE(un->WaitForText(IDC_btnEvent, kU + "開始(&S)"));
    EXPECT_TRUE(un->Checked(IDC_chkSCutStartUp)) << "*.LOG is checked by the package";
    un->Press(IDC_btnEvent);

    // The library was counted once: this was its last user.
    HWND dialog = nullptr;
    ASSERT_TRUE(un->WaitUntil(
        [&] { return (dialog = un->FindWindowOfClass("TfrmCustomDlg")) != nullptr && IsWindowVisible(dialog); },
        "the shared-file dialog", 60000));
    EXPECT_EQ(0u, un->Text(IDC_lblMessage, dialog).find(app + "RVSAMPLE.DLL\r\n\r\n"));
    un->Press(IDC_btnDelete, dialog);

    MessageBoxView box = un->WaitForMessageBox("the failure question", 60000);
    EXPECT_EQ(ToUtf8(kU + "の過程で、一部の処理が失敗しました。\r\n詳細を表示しますか？"), ToUtf8(box.text));
    un->Answer(box, IDYES);
    ASSERT_TRUE(un->WaitForText(IDC_btnEvent, "続行(&C)"));
    const std::string details = un->Text(IDC_txtReadme);
    EXPECT_EQ(0u, details.find("<SetupFolder> " + app)) << ToUtf8(details);
    EXPECT_NE(std::string::npos, details.find("メモ.txt")) << "the user's file is named: " << ToUtf8(details);
    un->Press(IDC_btnEvent);
    HWND status = un->WaitForWindow("TfrmStatus");
    ASSERT_TRUE(un->WaitUntil([&] { return un->Text(IDC_btnAbort, status) == "次へ(&N)"; }, "the summary", 60000));
    un->Press(IDC_btnAbort, status);
    ASSERT_TRUE(un->WaitForText(IDC_btnEvent, kU + "完了(&E)"));
    un->WaitUntil([&] { return un->Shown(IDC_fraSelectType); }, "the completion page");
    EXPECT_EQ(ToUtf8(kU + "を完了しました。"), ToUtf8(un->Text(IDC_lblSelectTypeMsg)));
    un->Press(IDC_btnEvent);
    ASSERT_TRUE(un->WaitForExit(20000));

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
