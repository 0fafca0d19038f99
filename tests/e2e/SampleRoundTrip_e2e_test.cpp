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

// What an install may touch outside its own folder, as the system's own
// tools list it: every file of the prefix's drive C (the temporary folders,
// where the tests' scratch folders live, and the two files that stay on
// purpose left out), the Add/Remove Programs list, the shared-library
// counts, the user's top-level software keys and the association keys.
std::string PrefixSnapshot() {
    const std::string c = UnixPathOf("C:\\");
    std::string snapshot = UnixCommandOutput(
        "cd '" + c + "' && find . -path './users/*/Temp' -prune -o -path ./windows/temp -prune -o "
        "! -iname UNRAVEL.EXE ! -iname RVSET98.INI -print | LC_ALL=C sort");
    const struct {
        const char* key;
        const char* switches;
    } keys[] = {{"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", " /s"},
                {"HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", ""},
                {"HKCU\\Software", ""},
                {"HKCR\\.rvsample", " /s"},
                {"HKCR\\rvsample_auto_file", " /s"}};
    for (const auto& k : keys) snapshot += UnixCommandOutput(std::string("wine reg query '") + k.key + "'" + k.switches);
    return snapshot;
}

// The lines of a that b lacks, for a readable failure.
std::string Missing(const std::string& a, const std::string& b) {
    std::string out;
    size_t start = 0;
    while (start < a.size()) {
        const size_t end = a.find('\n', start);
        const std::string line = a.substr(start, end == std::string::npos ? std::string::npos : end - start + 1);
        if (b.find(line) == std::string::npos) out += line;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

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
