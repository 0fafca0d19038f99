// The uninstall run of the real program, started the way Add/Remove Programs
// starts it: UNRAVEL.EXE in the Windows folder with the path of a record.
// The records are written by hand here, with the files, keys and shortcuts
// they list made first; the test then answers the real windows.
// With RV_SHOT_DIR set (a Unix folder), the screen is saved there at the
// progress window, the details page and the completion page.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "../sysops/SysopsTestUtil.h"
#include "../uninstall/MachineValues.h"
#include "Driver.h"
#include "RecordSigner.h"
#include "TestSupport.h"
#include "record/Digests.h"
#include "sysops/HeldFile.h"
#include "ui/resource.h"

using namespace e2e;
using namespace ukit;

namespace {

const std::string kU = "アンインストール";
const std::string kUninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string Unique(const std::string& stem) { return stem + std::to_string(GetCurrentProcessId()); }

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    return AddPathDelimiter(path, "B");
}

std::string SystemFolder() {
    char path[MAX_PATH] = {};
    GetSystemDirectoryA(path, sizeof path);
    return AddPathDelimiter(path, "B");
}

bool FolderThere(const std::string& path) {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

// The program copied where the install run puts the uninstaller; whatever
// was there before comes back afterwards.
class Uninstaller {
public:
    Uninstaller() : saved_(path()) {
        EXPECT_TRUE(CopyFileA((e2e::BinFolder() + "SETUP.EXE").c_str(), path().c_str(), FALSE));
    }
    static std::string path() { return WindowsFolder() + "UNRAVEL.EXE"; }

private:
    RestoredFile saved_;
};

// Started as the UninstallString of the registration reads: the program
// path, a space, the record path in double quotes.
std::string UninstallString(const std::string& record) { return Uninstaller::path() + " \"" + record + "\""; }

// The whole screen, saved when RV_SHOT_DIR names a folder.
void Shot(const std::string& name) {
    const char* dir = std::getenv("RV_SHOT_DIR");
    if (!dir || !*dir) return;
    Sleep(500);  // let the windows paint
    RunShellCommand("import -window root '" + std::string(dir) + "/" + name + ".png'");
}

HWND WaitShown(SetupProcess& setup, const char* className, const std::string& what) {
    HWND window = nullptr;
    setup.WaitUntil(
        [&] {
            window = setup.FindWindowOfClass(className);
            return window && IsWindowVisible(window);
        },
        what);
    return window;
}

// Presses "次へ(&N)" on the progress window once the run has finished.
void PressNext(SetupProcess& setup, HWND status, const std::string& shot = "") {
    ASSERT_TRUE(setup.WaitUntil(
        [&] { return setup.Text(IDC_btnAbort, status) == "次へ(&N)" && setup.Enabled(IDC_btnAbort, status); },
        "the next button of the progress window"));
    if (!shot.empty()) Shot(shot);
    setup.Press(IDC_btnAbort, status);
}

// Presses the wizard's step button on a page where the run waits for it.
// The wizard takes the press only once the run's wait has begun, which can
// be a moment after the page shows: a press that was not taken is repeated.
void PressStep(SetupProcess& setup, const std::function<bool()>& taken, const std::string& what) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (setup.Enabled(IDC_btnEvent) && IsWindowVisible(setup.Control(IDC_btnEvent))) setup.Press(IDC_btnEvent);
        for (int wait = 0; wait < 10; ++wait) {
            if (taken()) return;
            Sleep(50);
        }
    }
    ADD_FAILURE() << "the step button was never taken: " << what;
}

}  // namespace

TEST(UninstallE2E, AddRemoveProgramsStartRemovesThePackageAskingAboutSharedAndSystemFiles) {
    Uninstaller uninstaller;
    ScratchFolder dir;
    const std::string app = dir / "app\\";
    const std::string record = app + "UNSETUP.INI";
    const std::string id = Unique("RvE2E");
    const std::string entry = kUninstallList + id;
    const std::string userKey = "Software\\RavelinTest\\" + id;
    const std::string menu = ShellFolder(CSIDL_PROGRAMS) + id + "\\";
    const std::string ocx = SystemFolder() + Unique("rve2e") + ".OCX";
    const std::string ext = "rve2e" + std::to_string(GetCurrentProcessId() % 10000);
    ScratchKeys keys(HKEY_LOCAL_MACHINE, {entry});
    ScratchKeys userKeys(HKEY_CURRENT_USER, {userKey});
    ScratchKeys classes(HKEY_CLASSES_ROOT, {"." + ext, ext + "_auto_file"});
    RestoredFile idList(WindowsFolder() + "RVSET98.INI");
    WritePrivateProfileStringA(id.c_str(), "Folder", app.c_str(), (WindowsFolder() + "RVSET98.INI").c_str());

    for (const char* f : {"prog.exe", "readme.txt", "data\\a.dat", "Shared1.dll", "Shared2.dll", "ask1.dat",
                          "ask2.dat", "old.LOG", "help.GID", "app.INI", "mine.txt"})
        dir.Write(std::string("app\\") + f, "x");
    dir.Write("common\\Common.dll", "x");
    ASSERT_TRUE(WriteFileBytes(ocx, "x"));
    ASSERT_TRUE(CreateDirectoryA(menu.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(menu + "Tool.lnk", "x"));
    SharedCount three(dir / "common\\Common.dll", 3), one(app + "Shared1.dll", 1), alsoOne(app + "Shared2.dll", 1);
    SetString(HKEY_CURRENT_USER, userKey + "\\Settings", "Color", "blue");
    SetString(HKEY_CLASSES_ROOT, "." + ext, "", ext + "_auto_file");
    SetString(HKEY_CLASSES_ROOT, ext + "_auto_file\\shell\\open\\command", "", app + "prog.exe %1");
    SetString(HKEY_LOCAL_MACHINE, entry, "DisplayName", "E2E App");
    SetString(HKEY_LOCAL_MACHINE, entry, "UninstallString", UninstallString(record));

    const std::string text =
        "[SetupFolder]\r\nFolder=" + app + "\r\n\r\n[DeleteFolder]\r\nFolder1=" + app + "data\\\r\n\r\n" +
        "[DeleteFile]\r\nFile1=" + dir / "common\\Common.dll,/S\r\nFile2=" + app + "Shared1.dll,/S/R\r\nFile3=" + app +
        "Shared2.dll,/S\r\nFile4=" + app + "ask1.dat,/C\r\nFile5=" + app + "ask2.dat,/C\r\nFile6=" + ocx +
        "\r\nFile7=" + app + "prog.exe\r\nFile8=" + app + "readme.txt\r\nFile9=" + app + "data\\a.dat\r\nFile10=" +
        record + "\r\n\r\n[DeleteShortCut]\r\nFile1=" + menu + "Tool.lnk\r\n\r\n[DeleteRegistry]\r\nKey1=(Cuser)" +
        userKey + "\r\n\r\n[AddDeleteFile]\r\n\r\n[RestoreRelate]\r\nKey1=" + ext +
        ",\r\n\r\n[UnSetupOption]\r\nCheckBox=1,0,1,0\r\nCheckBox3=*.LOG\r\n\r\n[Extend]\r\nSetupString=インストール\r\n"
        "UnSetupString=アンインストール\r\n\r\n[UnSetupRegistryKey]\r\nKey=" + entry + "\r\n\r\n[ProgramID]\r\nID=" +
        id + "\r\n";
    RecordSigner signer;
    signer.Write(record, text);
    // The library the install registered ("/R"), as the install left it.
    ASSERT_TRUE(StoreFileDigest(HeldFile(app + "Shared1.dll")));

    // As the list of installed programs starts it.
    SetupProcess setup(Uninstaller::path(), "\"" + record + "\"");
    ASSERT_TRUE(setup.WaitForWizard());
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kU + "開始(&S)"));
    EXPECT_EQ(app, setup.Text(IDC_txtFolder));
    EXPECT_TRUE(setup.Checked(IDC_chkSCutDesktop));   // *.INI
    EXPECT_FALSE(setup.Checked(IDC_chkSCutStartMenu));  // *.GID
    EXPECT_TRUE(setup.Checked(IDC_chkSCutStartUp));   // *.LOG
    setup.Press(IDC_chkSCutStartMenu);
    ASSERT_TRUE(setup.WaitUntil([&] { return setup.Checked(IDC_chkSCutStartMenu); }, "the *.GID box checked"));
    setup.Press(IDC_btnEvent);

    // The last user of a shared library: the four-button dialog.
    HWND dialog = WaitShown(setup, "TfrmCustomDlg", "the shared-file dialog");
    ASSERT_TRUE(dialog);
    EXPECT_EQ(ToUtf8("ファイル削除の確認"), ToUtf8(SetupProcess::WindowText(dialog)));
    EXPECT_EQ(ToUtf8(app + "Shared1.dll\r\n\r\nこの共有ファイルは、現在、他のどのプログラムからも使われていません。\r\n"
                           "しかし、今後、他のプログラムで使われる可能性があります。\r\nこのファイルを削除してもよろしいですか？"),
              ToUtf8(setup.Text(IDC_lblMessage, dialog)));
    HWND status = setup.FindWindowOfClass("TfrmStatus");
    EXPECT_TRUE(status && IsWindowVisible(status)) << "the progress window shows the run";
    EXPECT_FALSE(IsWindowVisible(setup.Wizard())) << "the wizard is hidden during the run";
    Shot("uninstall-shared-dialog");
    setup.Press(IDC_btnSave, dialog);

    // "/C": No, then Yes; then the library in the system folder.
    MessageBoxView box = setup.WaitForMessageBox("the first /C question");
    EXPECT_EQ(ToUtf8("ファイル削除の確認"), ToUtf8(box.caption));
    EXPECT_EQ(0u, box.text.find(app + "ask1.dat\r\n\r\nこのファイルを削除してもよろしいですか？")) << ToUtf8(box.text);
    EXPECT_EQ(static_cast<unsigned>(MB_YESNO | MB_ICONQUESTION), box.Flags());
    EXPECT_FALSE(dialog && IsWindowVisible(dialog)) << "\"Save\" answered Shared2.dll without the dialog";
    setup.Answer(box, IDNO);
    box = setup.WaitForMessageBox("the second /C question");
    EXPECT_EQ(0u, box.text.find(app + "ask2.dat\r\n")) << ToUtf8(box.text);
    setup.Answer(box, IDYES);
    box = setup.WaitForMessageBox("the system library question");
    EXPECT_EQ(ToUtf8(ocx + "\r\n\r\nこのDLL/OCXファイルは、共有登録されていませんが、\r\n"
                           "今後、他のプログラムで使われる可能性があります。\r\nこのファイルを削除してもよろしいですか？"),
              ToUtf8(box.text));
    EXPECT_EQ(static_cast<unsigned>(MB_YESNO | MB_ICONQUESTION), box.Flags());
    setup.Answer(box, IDYES);

    // The files kept on purpose and the user's file leave the install folder.
    box = setup.WaitForMessageBox("the summary question");
    EXPECT_EQ(ToUtf8("情報"), ToUtf8(box.caption));
    EXPECT_EQ(ToUtf8(kU + "の過程で、一部の処理が失敗しました。\r\n詳細を表示しますか？"), ToUtf8(box.text));
    EXPECT_EQ(static_cast<unsigned>(MB_YESNO | MB_ICONEXCLAMATION), box.Flags());
    setup.Answer(box, IDYES);

    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "続行(&C)"));
    EXPECT_EQ(ToUtf8("削除処理失敗　詳細表示"), ToUtf8(setup.Text(IDC_fraReadme)));
    const std::string details = setup.Text(IDC_txtReadme);
    EXPECT_EQ(0u, details.find("<SetupFolder> " + app + "\r\nファイル・フォルダが残っているため、")) << ToUtf8(details);
    for (const char* name : {"Shared1.dll", "Shared2.dll", "ask1.dat", "mine.txt"})
        EXPECT_NE(std::string::npos, details.find("　" + std::string(name) + "\r\n")) << name;
    EXPECT_FALSE(IsWindowVisible(status)) << "the details page replaces the progress window";
    Shot("uninstall-details-page");
    PressStep(setup, [&] { return IsWindowVisible(status) != FALSE; }, "続行(&C)");

    PressNext(setup, status, "uninstall-progress-next");
    const std::string progress = setup.Text(IDC_lblMessage, status);
    EXPECT_NE(std::string::npos, progress.find("インストールフォルダの" + kU + "処理．．．一部失敗\r\n")) << ToUtf8(progress);
    EXPECT_NE(std::string::npos, progress.find("ファイルの" + kU + "処理．．．完了\r\n")) << ToUtf8(progress);

    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kU + "完了(&E)"));
    EXPECT_EQ(ToUtf8(kU + "を完了しました。"), ToUtf8(setup.Text(IDC_lblSelectTypeMsg)));
    EXPECT_EQ(ToUtf8("アンインストーラを終了します。(&Y)"), ToUtf8(setup.Text(IDC_optSelectType1)));
    EXPECT_FALSE(setup.Shown(IDC_optSelectType2));
    Shot("uninstall-completion-page");
    PressStep(setup, [&] { return setup.WaitForExit(0); }, "the finish button");

    for (const char* gone : {"prog.exe", "readme.txt", "ask2.dat", "old.LOG", "help.GID", "app.INI", "UNSETUP.INI"})
        EXPECT_FALSE(FileExistsAt(app + gone)) << gone;
    for (const char* kept : {"Shared1.dll", "Shared2.dll", "ask1.dat", "mine.txt"})
        EXPECT_TRUE(FileExistsAt(app + kept)) << kept;
    EXPECT_FALSE(FolderThere(app + "data"));
    EXPECT_FALSE(FileExistsAt(ocx));
    EXPECT_TRUE(FileExistsAt(dir / "common\\Common.dll"));
    EXPECT_EQ(2, CountOf(dir / "common\\Common.dll"));
    EXPECT_EQ(-1, CountOf(app + "Shared1.dll"));
    EXPECT_EQ(-1, CountOf(app + "Shared2.dll"));
    EXPECT_FALSE(FolderThere(menu)) << "the emptied menu folder goes";
    EXPECT_TRUE(FolderThere(ShellFolder(CSIDL_PROGRAMS))) << "the shell's own folder stays";
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, userKey));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "." + ext));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ext + "_auto_file"));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, entry)) << "the Add/Remove Programs entry is gone";
    char folder[MAX_PATH] = {};
    GetPrivateProfileStringA(id.c_str(), "Folder", "", folder, sizeof folder, (WindowsFolder() + "RVSET98.INI").c_str());
    EXPECT_STREQ("", folder);
    EXPECT_TRUE(FileExistsAt(Uninstaller::path())) << "the uninstaller outlives every uninstall";
}

TEST(UninstallE2E, DeleteAllTakesTheUsersFilesWithoutAQuestion) {
    Uninstaller uninstaller;
    ScratchFolder dir;
    const std::string app = dir / "app\\";
    for (const char* f : {"prog.exe", "mine.txt", "sub\\notes.txt"}) dir.Write(std::string("app\\") + f, "x");
    RecordSigner signer;
    signer.Write(app + "UNSETUP.INI", "[SetupFolder]\r\nFolder=" + app + "\r\n\r\n[DeleteFile]\r\nFile1=" + app +
                                          "prog.exe\r\nFile2=" + app + "UNSETUP.INI\r\n\r\n[UnSetupOption]\r\nCheckBox=DeleteAll\r\n");
    SetupProcess setup(Uninstaller::path(), "\"" + app + "UNSETUP.INI\"");
    ASSERT_TRUE(setup.WaitForWizard());
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kU + "開始(&S)"));
    EXPECT_EQ(ToUtf8(kU + "フォルダ以下の全ファイル・フォルダ"), ToUtf8(setup.Text(IDC_chkSCutDesktop)));
    EXPECT_TRUE(setup.Checked(IDC_chkSCutDesktop));
    setup.Press(IDC_btnEvent);
    HWND status = WaitShown(setup, "TfrmStatus", "the progress window");
    ASSERT_TRUE(status);
    PressNext(setup, status);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kU + "完了(&E)"));
    PressStep(setup, [&] { return setup.WaitForExit(0); }, "the finish button");
    EXPECT_FALSE(FolderThere(app));
}

TEST(UninstallE2E, FileInUseIsScheduledTheRestartIsOfferedAndARestartRemovesIt) {
    Uninstaller uninstaller;
    ScratchFolder dir;
    const std::string app = dir / "app\\";
    const std::string busy = app + "busy.exe";
    dir.Write("app\\busy.exe", "running");
    RecordSigner signer;
    signer.Write(app + "UNSETUP.INI", "[SetupFolder]\r\nFolder=" + app + "\r\n\r\n[DeleteFile]\r\nFile1=" + busy +
                                          ",/F\r\nFile2=" + app + "UNSETUP.INI\r\n");
    FileLocker lock(busy);
    ASSERT_TRUE(lock.ok());
    {
        SetupProcess setup(Uninstaller::path(), "\"" + app + "UNSETUP.INI\"");
        ASSERT_TRUE(setup.WaitForWizard());
        ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kU + "開始(&S)"));
        setup.Press(IDC_btnEvent);
        MessageBoxView box = setup.WaitForMessageBox("the summary question");
        setup.Answer(box, IDYES);
        ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "続行(&C)"));
        const std::string details = setup.Text(IDC_txtReadme);
        EXPECT_EQ(0u, details.find("<File> " + busy + "\r\n")) << ToUtf8(details);
        EXPECT_NE(std::string::npos,
                  details.find("(追加情報)このファイルはWindowsの再起動後に削除が試行されます。\r\n\r\n"));
        HWND status = setup.FindWindowOfClass("TfrmStatus");
        PressStep(setup, [&] { return status && IsWindowVisible(status); }, "続行(&C)");
        PressNext(setup, status);

        ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kU + "完了(&E)"));
        EXPECT_EQ(0u, setup.Text(IDC_lblSelectTypeMsg).find("　" + kU + "を完了するには、Windowsを再起動する必要があります。"));
        EXPECT_EQ(ToUtf8("はい、Windowsを再起動します。(&Y)"), ToUtf8(setup.Text(IDC_optSelectType1)));
        EXPECT_EQ(ToUtf8("いいえ、Windowsは再起動せずに、アンインストーラーを終了します。(&N)"),
                  ToUtf8(setup.Text(IDC_optSelectType2)));
        EXPECT_TRUE(setup.Checked(IDC_optSelectType1));
        Shot("uninstall-completion-restart");
        // A real restart would end this test too: the person declines it.
        setup.Press(IDC_optSelectType2);
        ASSERT_TRUE(setup.WaitUntil([&] { return setup.Checked(IDC_optSelectType2); }, "the second choice"));
        PressStep(setup, [&] { return setup.WaitForExit(0); }, "the finish button");
    }
    EXPECT_TRUE(PendingRenamesGuard::DeletionPending(busy));
    ASSERT_TRUE(lock.Release());
    EXPECT_TRUE(FileExistsAt(busy)) << "nothing happens before the restart";
    ASSERT_TRUE(RestartPrefix());
    EXPECT_FALSE(FileExistsAt(busy)) << "the restart carried out the deletion";
}

// Add/Remove Programs starts the wizard on an entry whose uninstall was cut
// short after its record went: the wizard finishes it as /S does, and says so.
TEST(UninstallE2E, AWizardStartFinishesARunCutShortAfterItsRecordAndSaysSo) {
    Uninstaller uninstaller;
    ScratchFolder dir;
    const std::string app = dir / "app\\";
    const std::string entry = Unique("RvCutShortWizard");
    ScratchKeys cleanup(HKEY_LOCAL_MACHINE, {kUninstallList + entry});
    SetString(HKEY_LOCAL_MACHINE, kUninstallList + entry, "UninstallString", UninstallString(app + "UNSETUP.INI"));
    dir.Write("app\\UNSETUP.RUN", "[UnSetupRegistryKey]\r\nKey=" + kUninstallList + entry + "\r\n");
    SetupProcess setup(Uninstaller::path(), "\"" + app + "UNSETUP.INI\"");
    ASSERT_TRUE(setup.WaitForWizard());
    ASSERT_TRUE(setup.WaitForText(IDC_lblMessage, "前回中断された" + kU + "の残りの処理を完了しました。"))
        << ToUtf8(setup.Text(IDC_lblMessage));
    Shot("uninstall-cut-short-finished");
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallList + entry));
    EXPECT_FALSE(FolderThere(app));
    EXPECT_FALSE(setup.Enabled(IDC_btnEvent));
    setup.Press(IDC_btnEnd);
    EXPECT_TRUE(setup.WaitForExit(kWaitMs));
}
