// Start-up of the real program, driven from outside like a person would.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "TestSupport.h"
#include "ui/resource.h"

using namespace e2e;

namespace {

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    std::string p = path;
    if (!p.empty() && p.back() != '\\') p += '\\';
    return p;
}

DWORD ThreadOf(HWND window) { return GetWindowThreadProcessId(window, nullptr); }

HWND FocusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(ThreadOf(window), &info) ? info.hwndFocus : nullptr;
}

// Checks that need the wizard's page flow (its step handler) run only once
// that is in place; start-up itself is checked before.
#define SKIP_WITHOUT_PAGE_FLOW(inPlace) \
    if (!(inPlace)) GTEST_SKIP() << "the wizard's page flow (btnEventClick) is not in place yet"

const char kPlainScript[] = "[Title]\r\nSetup=テストアプリ\r\nProgram=テストアプリ\r\n";

}  // namespace

// ---- Entry, mode, working folder ----

TEST(StartUpE2E, SecondInstanceEndsQuicklyWithoutAWindow) {
    Distribution dist;
    dist.WriteScript(kPlainScript);
    SetupProcess first(dist.exe(), "");
    ASSERT_TRUE(first.WaitForWizard());
    SetupProcess second(dist.exe(), "");
    const DWORD start = GetTickCount();
    bool windowSeen = false;
    while (!second.WaitForExit(50) && GetTickCount() - start < 10000)
        windowSeen = windowSeen || second.FindWindowOfClass("TfrmMain") || second.FindWindowOfClass("TfrmBack");
    EXPECT_TRUE(second.WaitForExit(0)) << "the second instance is still running after 10 s";
    EXPECT_FALSE(windowSeen) << "the second instance showed a window";
    EXPECT_TRUE(first.FindWindowOfClass("TfrmMain")) << "the first instance must go on";
}

TEST(StartUpE2E, WithoutScriptOnlyTheEndButtonWorks) {
    Distribution dist;
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    EXPECT_EQ(ToUtf8("【致命的エラー → iniファイル読み込み失敗】\r\n\r\n処理は続行できません。"),
              ToUtf8(setup.Text(IDC_lblMessage)));
    EXPECT_EQ(ToUtf8("処理開始(&S)"), ToUtf8(setup.Text(IDC_btnEvent)));
    EXPECT_FALSE(setup.Enabled(IDC_btnEvent));
    EXPECT_EQ(ToUtf8("終了(&E)"), ToUtf8(setup.Text(IDC_btnEnd)));
    EXPECT_TRUE(setup.Enabled(IDC_btnEnd));
    EXPECT_TRUE(setup.Shown(IDC_grpMessage));
    EXPECT_TRUE(setup.Shown(IDC_grpSetupFolder));
    EXPECT_TRUE(setup.Shown(IDC_grpOption));
    EXPECT_FALSE(setup.Shown(IDC_fraTitle));
    setup.Press(IDC_btnEnd);
    EXPECT_TRUE(setup.WaitForExit(kWaitMs)) << "the end button must close the program without a question";
}

TEST(StartUpE2E, TheFatalStateLocksEveryControlButTheEndButton) {
    Distribution dist;  // no script: fatal
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    ASSERT_EQ(ToUtf8("終了(&E)"), ToUtf8(setup.Text(IDC_btnEnd)));
    const struct {
        int id;
        const char* name;
    } locked[] = {{IDC_btnEvent, "btnEvent"},          {IDC_txtFolder, "txtFolder"},
                  {IDC_btnRefer, "btnRefer"},          {IDC_chkOverWrite, "chkOverWrite"},
                  {IDC_chkHiSpeed, "chkHiSpeed"},      {IDC_chkSCutDesktop, "chkSCutDesktop"},
                  {IDC_chkSCutStartMenu, "chkSCutStartMenu"}, {IDC_chkSCutStartUp, "chkSCutStartUp"},
                  {IDC_chkSCutSendTo, "chkSCutSendTo"}};
    for (const auto& control : locked) EXPECT_FALSE(setup.Enabled(control.id)) << control.name << " is usable";
    EXPECT_TRUE(setup.Enabled(IDC_btnEnd));
    setup.Press(IDC_btnEnd);
    EXPECT_TRUE(setup.WaitForExit(kWaitMs));
}

TEST(StartUpE2E, RecordNamedUNSETUPINISelectsUninstallMode) {
    Distribution dist;
    dist.WriteScript(kPlainScript);
    dist.Write("app\\UNSETUP.INI", "[Title]\r\nUnSetup=テストアプリ\r\n[SetupFolder]\r\nFolder=" + dist.path() +
                                       "app\r\n[UnSetupOption]\r\nCheckBox=1,0,1,0\r\nCheckBox3=*.LOG\r\n");
    SetupProcess setup(dist.exe(), "\"" + dist.path() + "app\\UNSETUP.INI\"");
    ASSERT_TRUE(setup.WaitForWizard());
    EXPECT_EQ(ToUtf8("テストアプリ"), ToUtf8(SetupProcess::WindowText(setup.Wizard())));
    EXPECT_EQ(ToUtf8("アンインストール終了(&E)"), ToUtf8(setup.Text(IDC_btnEnd)));
    EXPECT_EQ(ToUtf8("アンインストールフォルダ"), ToUtf8(setup.Text(IDC_grpSetupFolder)));
    EXPECT_EQ(ToUtf8("アンインストールオプション"), ToUtf8(setup.Text(IDC_grpOption)));
    EXPECT_EQ(ToUtf8(dist.path() + "app\\"), ToUtf8(setup.Text(IDC_txtFolder)));
    EXPECT_TRUE(setup.ReadOnly(IDC_txtFolder));
    EXPECT_TRUE(setup.Enabled(IDC_txtFolder));
    EXPECT_EQ(ToUtf8("アンインストールを行います。\r\n\r\n開始するには、「アンインストール開始(S)」を選択してください。\r\n"),
              ToUtf8(setup.Text(IDC_lblMessage)));
    EXPECT_EQ(ToUtf8("ファイルの追加削除"), ToUtf8(setup.Text(IDC_fraShortCut)));
    EXPECT_EQ(setup.Bounds(IDC_chkOverWrite).top, setup.Bounds(IDC_fraShortCut).top);

    EXPECT_EQ("*.INI", setup.Text(IDC_chkSCutDesktop));
    EXPECT_EQ("*.GID", setup.Text(IDC_chkSCutStartMenu));
    EXPECT_EQ("*.LOG", setup.Text(IDC_chkSCutStartUp));
    EXPECT_TRUE(setup.Checked(IDC_chkSCutDesktop));
    EXPECT_FALSE(setup.Checked(IDC_chkSCutStartMenu));
    EXPECT_TRUE(setup.Checked(IDC_chkSCutStartUp));
    EXPECT_FALSE(setup.Checked(IDC_chkSCutSendTo));
    EXPECT_TRUE(setup.Enabled(IDC_chkSCutStartMenu));
    EXPECT_TRUE(setup.Enabled(IDC_chkSCutStartUp));
    EXPECT_FALSE(setup.Enabled(IDC_chkSCutSendTo)) << "no CheckBox4 caption";
    EXPECT_EQ(setup.Bounds(IDC_chkSCutDesktop).bottom + 2, setup.Bounds(IDC_lblUnSetupInfo).top);
    EXPECT_EQ(ToUtf8("　アンインストールフォルダの中で、コピーされたファイル以外に追加削除するファイルをチェック(選択)してください。"),
              ToUtf8(setup.Text(IDC_lblUnSetupInfo)));
    EXPECT_TRUE(setup.Enabled(IDC_btnEvent));

    // Start-up's one click leads (without a readme) to the option page.
    SKIP_WITHOUT_PAGE_FLOW(setup.Text(IDC_btnEvent) != "アンインストール続行(&C)");
    EXPECT_EQ(ToUtf8("アンインストール開始(&S)"), ToUtf8(setup.Text(IDC_btnEvent)));
    EXPECT_TRUE(setup.Shown(IDC_grpOption));
    EXPECT_FALSE(setup.Shown(IDC_fraTitle));
    EXPECT_FALSE(setup.Shown(IDC_chkOverWrite));
    EXPECT_FALSE(setup.Shown(IDC_chkHiSpeed));
    for (int id : {IDC_chkSCutDesktop, IDC_chkSCutStartMenu, IDC_chkSCutStartUp, IDC_chkSCutSendTo, IDC_lblUnSetupInfo})
        EXPECT_TRUE(setup.Shown(id)) << id;
}

TEST(StartUpE2E, DeleteAllShowsOnlyTheDeleteAllBox) {
    Distribution dist;
    dist.Write("app\\UNSETUP.INI", "[Extend]\r\nUnSetupString=削除\r\n[SetupFolder]\r\nFolder=" + dist.path() +
                                       "app\r\n[UnSetupOption]\r\nCheckBox=DeleteAll\r\nCheckBox3=*.LOG\r\n");
    SetupProcess setup(dist.exe(), dist.path() + "app\\UNSETUP.INI");
    ASSERT_TRUE(setup.WaitForWizard());
    EXPECT_EQ(ToUtf8("削除フォルダ以下の全ファイル・フォルダ"), ToUtf8(setup.Text(IDC_chkSCutDesktop)));
    EXPECT_TRUE(setup.Checked(IDC_chkSCutDesktop));
    EXPECT_TRUE(setup.Enabled(IDC_chkSCutDesktop));
    for (int id : {IDC_chkSCutStartMenu, IDC_chkSCutStartUp, IDC_chkSCutSendTo}) EXPECT_FALSE(setup.Checked(id)) << id;
    const RECT frame = setup.Bounds(IDC_fraShortCut);
    const RECT box = setup.Bounds(IDC_chkSCutDesktop);
    EXPECT_EQ(frame.right - frame.left - 16, box.right - box.left);
    SKIP_WITHOUT_PAGE_FLOW(setup.Text(IDC_btnEvent) != "削除続行(&C)");
    EXPECT_EQ(ToUtf8("削除開始(&S)"), ToUtf8(setup.Text(IDC_btnEvent)));
    EXPECT_TRUE(setup.Shown(IDC_chkSCutDesktop));
    for (int id : {IDC_chkSCutStartMenu, IDC_chkSCutStartUp, IDC_chkSCutSendTo}) EXPECT_FALSE(setup.Shown(id)) << id;
}

// Only "UNSETUP.INI" exactly names a record; any other word is no argument
// of an install: the program ends at once with 87 (a wizard would wait),
// where an install would have worked on a script nobody meant.
TEST(StartUpE2E, ALowerCaseRecordNameIsNoRecordAndIsRefused) {
    Distribution dist;
    dist.WriteScript(kPlainScript);
    dist.Write("app\\unsetup.ini", "[SetupFolder]\r\nFolder=C:\\Nowhere\r\n");
    SetupProcess setup(dist.exe(), dist.path() + "app\\unsetup.ini");
    ASSERT_TRUE(setup.WaitForExit(kWaitMs));
    EXPECT_EQ(87u, setup.ExitCode());
}

TEST(StartUpE2E, TakesTheFirstFreeWorkingFolder) {
    const std::string temp = TempFolder();
    RemoveTree(temp + "RVTMP3");
    const bool had1 = CreateDirectoryA((temp + "RVTMP1").c_str(), nullptr) == FALSE;
    const bool had2 = CreateDirectoryA((temp + "RVTMP2").c_str(), nullptr) == FALSE;
    {
        Distribution dist;
        dist.WriteScript(kPlainScript);
        SetupProcess setup(dist.exe(), "");
        ASSERT_TRUE(setup.WaitForWizard());
        EXPECT_EQ(kPlainScript, ReadFileBytes(temp + "RVTMP3\\SETUP.INI"));
        // The uninstaller is written from the program's own file: no copy
        // of it lies where it could be swapped.
        EXPECT_FALSE(FileExistsAt(temp + "RVTMP3\\SETUPB.EXE"));
    }
    EXPECT_FALSE(FileExistsAt(temp + "RVTMP3\\SETUP.INI")) << "the kit removes the folders the program made";
    if (!had1) RemoveTree(temp + "RVTMP1");
    if (!had2) RemoveTree(temp + "RVTMP2");
}

TEST(StartUpE2E, OverlongTemporaryPathPutsTheWorkingFolderBesideTheProgram) {
    Distribution dist;
    dist.WriteScript(kPlainScript);
    const std::string longPath = "C:\\" + std::string(300, 'z');
    SetupProcess setup(dist.exe(), "", {{"TMP", longPath}, {"TEMP", longPath}, {"USERPROFILE", longPath}});
    ASSERT_TRUE(setup.WaitForWizard());
    EXPECT_EQ(ToUtf8("インストール続行(&C)"), ToUtf8(setup.Text(IDC_btnEvent)));
    EXPECT_EQ(kPlainScript, ReadFileBytes(dist.path() + "RVTMP1\\SETUP.INI"));
}

// ---- Refusal and previous installations ----

TEST(StartUpE2E, RejectedSystemLeavesOnlyTheEndButton) {
    Distribution dist;
    dist.WriteScript(std::string(kPlainScript) + "[Extend]\r\nRejectOS=Windows 95,Windows Vista\r\n"
                                                 "[Caution]\r\nUnInstallCheckEx=SETUP.EXE\r\n[DefaultFolder]\r\nFolder=" +
                     dist.path() + "\r\n");
    SetupProcess setup(dist.exe(), "");
    MessageBoxView box = setup.WaitForMessageBox("the operating-system refusal");
    EXPECT_EQ(ToUtf8("警告"), ToUtf8(box.caption));
    EXPECT_EQ(ToUtf8("このオペレーティングシステムへのインストールは、プログラム配布者により認められていません。\r\n"
                     "詳細については、プログラム配布者へご確認ください。\r\nインストールを続行することはできません。"),
              ToUtf8(box.text));
    EXPECT_EQ(48u, box.Flags()) << box.Describe();
    setup.Answer(box, IDOK);
    ASSERT_TRUE(setup.WaitForWizard());
    EXPECT_TRUE(setup.WaitUntil([&] { return !setup.Enabled(IDC_btnEvent); }, "btnEvent disabled"));
    EXPECT_TRUE(setup.Enabled(IDC_btnEnd));
    EXPECT_EQ(setup.Control(IDC_btnEnd), FocusOf(setup.Wizard()));
    // The previous-installation tests are skipped: SETUP.EXE lies in the
    // folder and would have hit.
    Sleep(500);
    MessageBoxView more;
    EXPECT_FALSE(setup.FindMessageBox(more)) << more.Describe();
}

TEST(StartUpE2E, StrictFileTestBlocksInstallation) {
    Distribution dist;
    dist.Write("app\\old.exe", "x");
    dist.WriteScript(std::string(kPlainScript) + "[DefaultFolder]\r\nFolder=" + dist.path() +
                     "app\r\n[Caution]\r\nUnInstallCheckEx=\\old.exe\r\nUnInstallCheck=old.exe\r\n");
    SetupProcess setup(dist.exe(), "");
    MessageBoxView box = setup.WaitForMessageBox("the strict previous-installation error");
    EXPECT_EQ(ToUtf8("エラー"), ToUtf8(box.caption));
    EXPECT_EQ(ToUtf8("インストーラはチェック対象プログラムを検出しました。\r\nインストールを続行するためには、前バージョンの"
                     "アンインストールを行う必要があります。"),
              ToUtf8(box.text));
    EXPECT_EQ(48u, box.Flags()) << box.Describe();
    setup.Answer(box, IDOK);
    ASSERT_TRUE(setup.WaitForWizard());
    EXPECT_TRUE(setup.WaitUntil([&] { return !setup.Enabled(IDC_btnEvent); }, "btnEvent disabled"));
    EXPECT_TRUE(setup.Enabled(IDC_btnEnd));
}

TEST(StartUpE2E, AnAdvisoryTestOnlyWarns) {
    Distribution dist;
    dist.Write("app\\old.dll", "x");
    dist.WriteScript(std::string(kPlainScript) + "[DefaultFolder]\r\nFolder=" + dist.path() +
                     "app\\\r\n[Caution]\r\nUnInstallCheck=old.dll\r\n");
    SetupProcess setup(dist.exe(), "");
    MessageBoxView box = setup.WaitForMessageBox("the advisory warning");
    EXPECT_EQ(ToUtf8("警告"), ToUtf8(box.caption));
    EXPECT_EQ(ToUtf8("インストーラはチェック対象プログラムを検出しました。\r\nパッケージ配布者は、前バージョンのプログラムの"
                     "アンインストールを推奨しています。\r\nインストールはこのまま続行できますが、予期せぬ結果を招く可能性"
                     "があります。\r\nできる限り中断して、前バージョンのアンインストールを行うことをお勧めします。"),
              ToUtf8(box.text));
    EXPECT_EQ(48u, box.Flags()) << box.Describe();
    setup.Answer(box, IDOK);
    ASSERT_TRUE(setup.WaitForWizard());
    EXPECT_TRUE(setup.Enabled(IDC_btnEvent));
    EXPECT_EQ(ToUtf8("インストール続行(&C)"), ToUtf8(setup.Text(IDC_btnEvent)));
}

// ---- Settings ----

TEST(StartUpE2E, UnreadableSetupSpeedStillLeavesAUsableWizard) {
    Distribution dist;
    dist.WriteScript(std::string(kPlainScript) + "[Extend]\r\nSetupSpeed=abc\r\n");
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    EXPECT_EQ(ToUtf8("インストール続行(&C)"), ToUtf8(setup.Text(IDC_btnEvent)));
    EXPECT_TRUE(setup.Enabled(IDC_btnEvent));
    EXPECT_EQ(ToUtf8("インストール終了(&E)"), ToUtf8(setup.Text(IDC_btnEnd)));
    EXPECT_EQ(ToUtf8("インストールを行います。\r\n"), ToUtf8(setup.Text(IDC_lblMessage)));
    EXPECT_EQ(ToUtf8("テストアプリ"), ToUtf8(SetupProcess::WindowText(setup.Wizard())));
    EXPECT_FALSE(setup.Text(IDC_txtFolder).empty());
    // On to the folder page, as a person would go.
    SKIP_WITHOUT_PAGE_FLOW(setup.Shown(IDC_fraTitle));
    setup.Press(IDC_btnEvent);
    EXPECT_TRUE(setup.WaitForText(IDC_btnEvent, "インストール開始(&S)"));
    EXPECT_TRUE(setup.Shown(IDC_grpSetupFolder));
}

TEST(StartUpE2E, EnabledFalseLocksOptionsAndShortcutBoxesFollowTheScript) {
    Distribution dist;
    dist.WriteScript(std::string(kPlainScript) +
                     "[Extend]\r\nEnabled=False\r\n[ShortCut]\r\nMake1=(App)\\A.EXE\r\nName1=(C_Dsk)\\App\r\n"
                     "Make2=(App)\\A.EXE\r\nName2=(Sen)\\App\r\n");
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    for (int id : {IDC_txtFolder, IDC_btnRefer, IDC_chkOverWrite, IDC_chkHiSpeed, IDC_chkSCutDesktop,
                   IDC_chkSCutSendTo, IDC_chkSCutStartMenu})
        EXPECT_FALSE(setup.Enabled(id)) << id;
    EXPECT_TRUE(setup.Checked(IDC_chkSCutDesktop));
    EXPECT_TRUE(setup.Checked(IDC_chkSCutSendTo));
    EXPECT_FALSE(setup.Checked(IDC_chkSCutStartMenu));
    EXPECT_FALSE(setup.Checked(IDC_chkSCutStartUp));
    EXPECT_EQ(ToUtf8("インストールオプション"), ToUtf8(setup.Text(IDC_grpOption)));
}

TEST(StartUpE2E, ShortcutBoxesAreChangeableWithoutTheLock) {
    Distribution dist;
    dist.WriteScript(std::string(kPlainScript) + "[Extend]\r\nEnabled=false\r\n[ShortCut]\r\nMake1=(App)\\A.EXE\r\nName1=(Sup)\\App\r\n");
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    EXPECT_TRUE(setup.Enabled(IDC_txtFolder));
    EXPECT_TRUE(setup.Enabled(IDC_chkOverWrite));
    EXPECT_TRUE(setup.Enabled(IDC_chkSCutStartUp));
    EXPECT_TRUE(setup.Checked(IDC_chkSCutStartUp));
    EXPECT_FALSE(setup.Enabled(IDC_chkSCutDesktop)) << "a box that no entry names stays disabled";
}

// ---- Windows kinds ----

TEST(StartUpE2E, NtTakesTheAllUsersDesktop) {
    Distribution dist;
    dist.WriteScript(std::string(kPlainScript) + "[DefaultFolder]\r\nFolder=(C_Dsk)\\App\r\n");
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    EXPECT_EQ(ToUtf8(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + "App\\"), ToUtf8(setup.Text(IDC_txtFolder)));
    EXPECT_EQ("Ravelin Setup(on Windows Vista)", setup.Text(IDC_lblTitleA2));
}

TEST(StartUpE2E, NonNtUsesThePerUserDesktopForAllUsers) {
    WineVersionOverride win98("SETUP.EXE", "win98");
    Distribution dist;
    dist.WriteScript(std::string(kPlainScript) + "[DefaultFolder]\r\nFolder=(C_Dsk)\\App\r\n");
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    EXPECT_EQ(ToUtf8(ShellFolder(CSIDL_DESKTOPDIRECTORY) + "App\\"), ToUtf8(setup.Text(IDC_txtFolder)));
    EXPECT_EQ(0u, setup.Text(IDC_lblTitleA2).find("Ravelin Setup(on Windows 98")) << setup.Text(IDC_lblTitleA2);
}

// ---- Background window ----

namespace {

struct TaskbarButtons {
    DWORD pid;
    std::vector<HWND> windows;
};

// A taskbar button goes to a visible top-level window that is unowned or
// asks for one, unless it is a tool window.
BOOL CALLBACK CollectTaskbarButtons(HWND w, LPARAM lp) {
    auto* buttons = reinterpret_cast<TaskbarButtons*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid != buttons->pid || !IsWindowVisible(w)) return TRUE;
    const LONG ex = GetWindowLongA(w, GWL_EXSTYLE);
    if (!(ex & WS_EX_TOOLWINDOW) && ((ex & WS_EX_APPWINDOW) || !GetWindow(w, GW_OWNER)))
        buttons->windows.push_back(w);
    return TRUE;
}

}  // namespace

TEST(StartUpE2E, TheTaskbarShowsTheApplicationTitle) {
    Distribution dist;
    dist.WriteScript(kPlainScript);
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    TaskbarButtons buttons{setup.pid(), {}};
    EnumWindows(CollectTaskbarButtons, reinterpret_cast<LPARAM>(&buttons));
    ASSERT_EQ(1u, buttons.windows.size()) << "one taskbar button for the program";
    EXPECT_EQ("Ravelin Setup", SetupProcess::WindowText(buttons.windows[0]));
    // The background window keeps its version caption.
    HWND back = setup.FindWindowOfClass("TfrmBack");
    ASSERT_TRUE(back);
    EXPECT_EQ(0u, SetupProcess::WindowText(back).find("Ravelin Setup Version"));
}

TEST(StartUpE2E, BackgroundCarriesVersionTitlesAndBanner) {
    Distribution dist;
    dist.WriteScript("[Title]\r\nSetup=テストアプリ\r\nCopyRight1=First line\r\nCopyRight2=(C) 某社\r\n");
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    HWND back = setup.FindWindowOfClass("TfrmBack");
    ASSERT_TRUE(back);
    EXPECT_EQ(ToUtf8("Ravelin Setup Version1.00β1(Build:0001/D3)"), ToUtf8(SetupProcess::WindowText(back)));
    EXPECT_EQ(ToUtf8("テストアプリ"), ToUtf8(setup.Text(IDC_lblBackTitle1, back)));
    EXPECT_EQ(ToUtf8("First line\r\n(C) 某社"), ToUtf8(setup.Text(IDC_lblPrgTitle1, back)));
    EXPECT_TRUE(setup.Shown(IDC_lblPrgTitle1, back));
    EXPECT_TRUE(setup.Shown(IDC_lblPrgTitle2, back));
    RECT client;
    GetClientRect(back, &client);
    const RECT banner = setup.Bounds(IDC_lblPrgTitle1, back);
    const RECT shadow = setup.Bounds(IDC_lblPrgTitle2, back);
    EXPECT_EQ(client.right - 24, banner.right);
    EXPECT_EQ(client.bottom - 48 - 12, banner.bottom) << "Wine reports Windows Vista: 12 pixels higher";
    EXPECT_EQ(banner.left + 2, shadow.left);
    EXPECT_EQ(banner.top + 2, shadow.top);
    const RECT title = setup.Bounds(IDC_lblBackTitle1, back);
    EXPECT_EQ(client.right - 24, title.right - title.left);
}
