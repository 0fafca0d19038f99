// The install run's harder moments through the real program: a destination
// in use, a drive that is too small, and the abort button.
#include <windows.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "TestSupport.h"
#include "app/uIniFile.h"
#include "app/uUtils.h"
#include "ui/resource.h"

using namespace e2e;

namespace {

const std::string kS = "インストール";
const std::string kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RavelinEdgeTest";

std::string Script(const std::string& sections) {
    return "[Title]\r\nSetup=端テスト\r\nUnSetupKey=RavelinEdgeTest\r\n[Extend]\r\nSetupSpeed=1\r\n" + sections;
}

// Title page, then the folder page with the folder typed in, then start.
void StartInstall(SetupProcess& setup, const std::string& folder) {
    ASSERT_TRUE(setup.WaitForWizard());
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kS + "続行(&C)"));
    setup.Press(IDC_btnEvent);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kS + "開始(&S)"));
    setup.SetText(IDC_txtFolder, folder);
    setup.Press(IDC_btnEvent);
}

// From the summary through the completion page; the second choice when
// there is one, so nothing restarts.
std::string FinishInstall(SetupProcess& setup, bool secondChoice) {
    HWND status = setup.WaitForWindow("TfrmStatus");
    EXPECT_TRUE(setup.WaitUntil([&] { return setup.Text(IDC_btnAbort, status) == "次へ(&N)"; }, "the summary", 60000));
    const std::string summary = setup.Text(IDC_lblMessage, status);
    setup.Press(IDC_btnAbort, status);
    EXPECT_TRUE(setup.WaitForText(IDC_btnEvent, kS + "完了(&E)"));
    if (secondChoice) {
        setup.Press(IDC_optSelectType2);
        EXPECT_TRUE(setup.WaitUntil([&] { return setup.Checked(IDC_optSelectType2); }, "choice"));
    }
    setup.Press(IDC_btnEvent);
    EXPECT_TRUE(setup.WaitForExit(20000));
    return summary;
}

void SetOld(const std::string& path) {
    SYSTEMTIME st = {2001, 6, 0, 1, 12, 0, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
}

std::string PendingRenames() {
    return UnixCommandOutput(
        "wine reg query 'HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager' /v PendingFileRenameOperations");
}

}  // namespace

TEST(InstallEdgesE2E, ADestinationInUseIsReplacedAtTheNextStartOnBothFamilies) {
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "restart processing is Wine's";
    for (const bool win98 : {false, true}) {
        SCOPED_TRACE(win98 ? "Windows 98" : "NT");
        std::unique_ptr<WineVersionOverride> version;
        if (win98) version = std::make_unique<WineVersionOverride>("SETUP.EXE", "win98");
        RestoredFile wininit(WindowsFolder() + "WININIT.INI");
        Distribution dist;
        dist.WriteScript(Script("[CopyFile]\r\nFile1=(App)\\TOOL.EXE\r\n"));
        dist.Write("TOOL.EXE", "new tool");
        ScratchFolder target;
        const std::string app = target.path() + "App\\";
        target.Write("App\\TOOL.EXE", "old tool");
        SetOld(app + "TOOL.EXE");
        FileLocker lock(app + "TOOL.EXE");
        ASSERT_TRUE(lock.ok());
        {
            SetupProcess setup(dist.exe(), "");
            StartInstall(setup, app);
            const std::string summary = FinishInstall(setup, true);
            EXPECT_NE(std::string::npos, summary.find("ファイルをコピーしています．．．ロックファイルあり"))
                << ToUtf8(summary);
        }
        EXPECT_EQ(app + "TOOL.EXE", IniRead("DeleteFile", "File1", "", app + "UNSETUP.INI"));
        lock.Release();
        EXPECT_EQ("old tool", ReadFileBytes(app + "TOOL.EXE")) << "replaced only at the next start";
        if (win98) {
            // The 95/98/Me family replaces through WININIT.INI at its start.
            const std::string wininitText = ReadFileBytes(WindowsFolder() + "WININIT.INI");
            EXPECT_NE(std::string::npos, wininitText.find("[Rename]")) << wininitText;
            EXPECT_NE(std::string::npos, wininitText.find("TOOL.EXE=")) << wininitText;
        } else {
            EXPECT_NE(std::string::npos, PendingRenames().find("TOOL.EXE"));
            UnixCommandOutput("wine wineboot -r", 120000);
            EXPECT_EQ("new tool", ReadFileBytes(app + "TOOL.EXE")) << "the restart put the new file in place";
        }
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey.c_str());
    }
}

TEST(InstallEdgesE2E, TheAbortButtonEndsTheRunLeavingWhatWasMadeAndNoRecord) {
    Distribution dist;
    std::string files;
    for (int i = 1; i <= 40; ++i) {
        dist.Write("F" + std::to_string(i) + ".TXT", "file " + std::to_string(i));
        files += "File" + std::to_string(i) + "=(App)\\F" + std::to_string(i) + ".TXT\r\n";
    }
    // Slow enough to press the button mid-way.
    dist.WriteScript("[Title]\r\nSetup=端テスト\r\nUnSetupKey=RavelinEdgeTest\r\n[Extend]\r\nSetupSpeed=200\r\n"
                     "[CopyFile]\r\n" + files);
    ScratchFolder target;
    const std::string app = target.path() + "App\\";
    CreateDirectoryA(app.c_str(), nullptr);
    SetupProcess setup(dist.exe(), "");
    StartInstall(setup, app);
    HWND status = setup.WaitForWindow("TfrmStatus");
    ASSERT_TRUE(setup.WaitUntil([&] { return FileExistsAt(app + "F3.TXT"); }, "copying", 60000));
    setup.Press(IDC_btnAbort, status);
    MessageBoxView box = setup.WaitForMessageBox("the abort question");
    EXPECT_EQ(ToUtf8("中断の確認"), ToUtf8(box.caption));
    setup.Answer(box, IDYES);
    box = setup.WaitForMessageBox("the abort notice");
    EXPECT_EQ(ToUtf8("処理を中断しました。"), ToUtf8(box.text));
    setup.Answer(box, IDOK);
    ASSERT_TRUE(setup.WaitForExit(20000));
    EXPECT_TRUE(FileExistsAt(app + "F1.TXT")) << "what was made stays";
    EXPECT_FALSE(FileExistsAt(app + "F40.TXT"));
    EXPECT_FALSE(FileExistsAt(app + "UNSETUP.INI"));
    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, KEY_READ, &key));
}

TEST(InstallEdgesE2E, ADriveTooSmallAsksFirstAndEveryFileThatDidNotFitIsAFailure) {
    SmallDrive drive;
    if (!drive.ok()) GTEST_SKIP() << "mounting a small drive needs root";
    Distribution dist;
    dist.Write("BIG.DAT", std::string(2 * 1024 * 1024, 'b'));
    dist.Write("SMALL.TXT", "small");
    dist.WriteScript(Script("[CopyFile]\r\nFile1=(App)\\SMALL.TXT\r\nFile2=(App)\\BIG.DAT\r\n"));
    {
        // No: nothing is written.
        SetupProcess setup(dist.exe(), "");
        StartInstall(setup, "R:\\App\\");
        MessageBoxView box = setup.WaitForMessageBox("the free-space question", 60000);
        EXPECT_EQ(ToUtf8("空き容量チェックエラー"), ToUtf8(box.caption));
        EXPECT_EQ(ToUtf8("ディスクの空き容量が不足しているため、エラーになる可能性があります。\r\nこのまま" + kS +
                         "を続行しますか？"),
                  ToUtf8(box.text));
        setup.Answer(box, IDNO);
        box = setup.WaitForMessageBox("the stop");
        EXPECT_EQ(ToUtf8(kS + "中止"), ToUtf8(box.caption));
        setup.Answer(box, IDOK);
        ASSERT_TRUE(setup.WaitForExit(20000));
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("R:\\App"));
    }
    // Yes: the big file fails with the system's reason and leaves no file.
    SetupProcess setup(dist.exe(), "");
    StartInstall(setup, "R:\\App\\");
    setup.Answer(setup.WaitForMessageBox("the free-space question", 60000), IDYES);
    setup.Answer(setup.WaitForMessageBox("the folder question"), IDYES);
    MessageBoxView box = setup.WaitForMessageBox("the failure question", 60000);
    EXPECT_EQ(ToUtf8("警告"), ToUtf8(box.caption));
    setup.Answer(box, IDYES);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "続行(&C)"));
    const std::string details = setup.Text(IDC_txtReadme);
    EXPECT_EQ(0u, details.find("<File> R:\\App\\BIG.DAT\r\n")) << ToUtf8(details);
    setup.Press(IDC_btnEvent);
    FinishInstall(setup, false);
    EXPECT_EQ("small", ReadFileBytes("R:\\App\\SMALL.TXT"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("R:\\App\\BIG.DAT")) << "no cut file under its name";
    EXPECT_EQ("R:\\App\\SMALL.TXT", IniRead("DeleteFile", "File1", "", "R:\\App\\UNSETUP.INI"));
    EXPECT_EQ("R:\\App\\UNSETUP.INI", IniRead("DeleteFile", "File2", "", "R:\\App\\UNSETUP.INI"));
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey.c_str());
}

// The files fit and the record does not: the person is told plainly, the
// details name the record, no file is announced as created, and the
// summary no longer points to an uninstall that cannot work.
TEST(InstallEdgesE2E, ARecordThatDoesNotFitIsToldPlainlyAndNothingClaimsItWasMade) {
    SmallDrive drive;
    if (!drive.ok()) GTEST_SKIP() << "mounting a small drive needs root";
    const unsigned long long free = SmallDrive::FreeBytes();
    ASSERT_GE(free, 64u * 1024) << "the drive's free space";
    Distribution dist;
    // Fewer bytes than are free, so no question, but every page of the drive.
    dist.Write("FILL.DAT", std::string(static_cast<size_t>(free - 4095), 'f'));
    dist.WriteScript(Script("[CopyFile]\r\nFile1=(App)\\FILL.DAT\r\n"));
    SetupProcess setup(dist.exe(), "");
    StartInstall(setup, "R:\\App\\");
    setup.Answer(setup.WaitForMessageBox("the folder question", 60000), IDYES);
    MessageBoxView box = setup.WaitForMessageBox("the record's failure", 60000);
    EXPECT_EQ(ToUtf8("警告"), ToUtf8(box.caption));
    EXPECT_EQ(ToUtf8("インストールフォルダに「UNSETUP.INI」を保存できませんでした。\r\n" + SysErrorText(ERROR_DISK_FULL) +
                     "このままでは正常にアンインストールできません。"),
              ToUtf8(box.text));
    EXPECT_EQ(static_cast<unsigned>(MB_OK | MB_ICONEXCLAMATION), box.Flags());
    setup.Answer(box, IDOK);
    box = setup.WaitForMessageBox("the failure question");
    EXPECT_EQ(ToUtf8("警告"), ToUtf8(box.caption));
    setup.Answer(box, IDYES);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "続行(&C)"));
    const std::string details = setup.Text(IDC_txtReadme);
    EXPECT_EQ(0u, details.find("<SetupFile> R:\\App\\UNSETUP.INI\r\nインストールフォルダに「UNSETUP.INI」を保存"))
        << ToUtf8(details);
    setup.Press(IDC_btnEvent);
    const std::string summary = FinishInstall(setup, false);
    EXPECT_NE(std::string::npos, summary.find("アンインストール情報を更新しています．．．失敗\r\n")) << ToUtf8(summary);
    EXPECT_EQ(std::string::npos, summary.find("「プログラム(アプリケーション)の追加と削除」から")) << ToUtf8(summary);
    EXPECT_EQ(ReadFileBytes(dist.path() + "FILL.DAT"), ReadFileBytes("R:\\App\\FILL.DAT"));
    // Nothing else on the drive: no record, no fallback, no temporary file.
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA("R:\\App\\*", &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    std::string names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names += std::string(data.cFileName) + " ";
    } while (FindNextFileA(find, &data));
    FindClose(find);
    EXPECT_EQ("FILL.DAT ", names);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kKey.c_str());
}
