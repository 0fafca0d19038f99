// The wizard's pages, walked through the real program like a person would.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "Driver.h"
#include "TestSupport.h"
#include "ui/resource.h"

using namespace e2e;

namespace {

const std::string kS = "インストール";
const std::string kU = "アンインストール";

std::string Script(const std::string& extra) {
    return "[Title]\r\nSetup=テストアプリ\r\nProgram=テストアプリ\r\n" + extra;
}

// From the title page on: one press of the continue button.
void LeaveTitlePage(SetupProcess& setup) {
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kS + "続行(&C)"));
    EXPECT_TRUE(setup.Shown(IDC_fraTitle));
    setup.Press(IDC_btnEvent);
}

bool OnFolderPage(const SetupProcess& setup) {
    return setup.Shown(IDC_grpMessage) && setup.Shown(IDC_grpSetupFolder) && setup.Shown(IDC_grpOption) &&
           !setup.Shown(IDC_fraTitle) && !setup.Shown(IDC_fraReadme);
}

void SetFolderBox(SetupProcess& setup, const std::string& text) {
    // Typing into the box: the program sees the change as a person's edit.
    setup.SetText(IDC_txtFolder, text);
}

std::string CheckerConfig(const std::string& result, const std::string& message) {
    std::string ini = "[CheckResult]\r\nResult=" + result + "\r\n";
    if (!message.empty()) ini += "Message=" + message + "\r\n";
    return ini;
}

// A distribution with the checker program beside SETUP.EXE.
void AddChecker(Distribution& dist, const std::string* config) {
    const std::string fixture = BinFolder() + "rvchecker.exe";
    ASSERT_TRUE(CopyFileA(fixture.c_str(), (dist.path() + "check\\rvchecker.exe").c_str(), FALSE) ||
                (CreateDirectoryA((dist.path() + "check").c_str(), nullptr) &&
                 CopyFileA(fixture.c_str(), (dist.path() + "check\\rvchecker.exe").c_str(), FALSE)));
    if (config) dist.Write("check\\rvchecker.cfg", *config);
}

int CheckerRuns(const Distribution& dist) {
    const std::string log = ReadFileBytes(dist.path() + "check\\rvchecker.log");
    int runs = 0;
    for (size_t p = log.find("run in"); p != std::string::npos; p = log.find("run in", p + 1)) ++runs;
    return runs;
}

// Presses start with a folder that does not exist: the install run asks
// to create it; declining stops the run before anything is made, and the
// program ends.
void StartIntoMissingFolder(SetupProcess& setup, const std::string& word) {
    ScratchFolder scratch;
    const std::string folder = scratch.path() + "missing\\";
    setup.SetText(IDC_txtFolder, folder);
    setup.Press(IDC_btnEvent);
    MessageBoxView box = setup.WaitForMessageBox("the start press", 60000);
    EXPECT_EQ(ToUtf8("フォルダ作成"), ToUtf8(box.caption));
    EXPECT_EQ(0u, box.text.find(folder)) << ToUtf8(box.text);
    setup.Answer(box, IDNO);
    box = setup.WaitForMessageBox("the stop");
    EXPECT_EQ(ToUtf8(word + "中止"), ToUtf8(box.caption));
    setup.Answer(box, IDOK);
    EXPECT_TRUE(setup.WaitForExit(20000));
    EXPECT_FALSE(FileExistsAt(folder + "UNSETUP.INI"));
}

}  // namespace

// ---- Page sequence ----

TEST(WizardE2E, WithoutLicenceOrReadmeTheTitlePageLeadsToTheFolderPage) {
    Distribution dist;
    dist.WriteScript(Script(""));
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    const std::string welcome = setup.Text(IDC_lblTitleMessage);
    EXPECT_EQ(0u, welcome.find("　テストアプリ インストールプログラムへようこそ。"));
    EXPECT_NE(std::string::npos, welcome.find("【注意】")) << "this prefix is NT: the administrator note belongs";
    EXPECT_EQ(ToUtf8(kS + "終了(&E)"), ToUtf8(setup.Text(IDC_btnEnd)));
    LeaveTitlePage(setup);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kS + "開始(&S)"));
    EXPECT_TRUE(OnFolderPage(setup));
    EXPECT_TRUE(setup.Enabled(IDC_btnEvent));
    EXPECT_EQ(ToUtf8(kS + "終了(&E)"), ToUtf8(setup.Text(IDC_btnEnd)));

    // The start press begins the install run, which first checks the folder.
    StartIntoMissingFolder(setup, kS);
}

TEST(WizardE2E, LicenceNeedsTheCheckBoxAndLeadsToTheReadme) {
    Distribution dist;
    dist.WriteScript(Script("[EULA]\r\nFile=\\docs\\licence.txt\r\n[Readme]\r\nFile=readme.txt\r\nTitle=お読みください\r\n"
                            "ScrollBars=ssBoth\r\n"));
    dist.Write("docs\\licence.txt", "第1条 使用許諾\nこのソフトウェアは表示のとおり。\n");
    dist.Write("readme.txt", "はじめに\r\nよろしく\r\n");
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    LeaveTitlePage(setup);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "同意する(&A)"));
    EXPECT_EQ(ToUtf8("使用許諾契約書"), ToUtf8(setup.Text(IDC_fraReadme)));
    EXPECT_EQ(ToUtf8("第1条 使用許諾\r\nこのソフトウェアは表示のとおり。\r\n"), ToUtf8(setup.Text(IDC_txtReadme)));
    EXPECT_EQ(ToUtf8("同意しない(&N)"), ToUtf8(setup.Text(IDC_btnEnd)));
    EXPECT_TRUE(setup.Shown(IDC_fraReadme));
    EXPECT_TRUE(setup.Shown(IDC_chkEULARead));
    EXPECT_FALSE(setup.Enabled(IDC_btnEvent)) << "only ticking the box allows agreeing";
    const RECT memo = setup.Bounds(IDC_txtReadme);

    setup.Press(IDC_chkEULARead);
    ASSERT_TRUE(setup.WaitUntil([&] { return setup.Enabled(IDC_btnEvent); }, "agree enabled by the box"));
    setup.Press(IDC_chkEULARead);
    ASSERT_TRUE(setup.WaitUntil([&] { return !setup.Enabled(IDC_btnEvent); }, "agree disabled again"));
    setup.Press(IDC_chkEULARead);
    ASSERT_TRUE(setup.WaitUntil([&] { return setup.Enabled(IDC_btnEvent); }, "agree enabled again"));
    setup.Press(IDC_btnEvent);

    ASSERT_TRUE(setup.WaitForText(IDC_fraReadme, "お読みください"));
    EXPECT_EQ(ToUtf8("はじめに\r\nよろしく\r\n"), ToUtf8(setup.Text(IDC_txtReadme)));
    EXPECT_EQ(ToUtf8(kS + "続行(&C)"), ToUtf8(setup.Text(IDC_btnEvent)));
    EXPECT_FALSE(setup.Shown(IDC_chkEULARead));
    EXPECT_EQ(memo.bottom - memo.top + 24, setup.Bounds(IDC_txtReadme).bottom - setup.Bounds(IDC_txtReadme).top)
        << "the memo gets back the room of the check box";
    const LONG style = GetWindowLongA(setup.Control(IDC_txtReadme), GWL_STYLE);
    EXPECT_TRUE((style & WS_VSCROLL) && (style & WS_HSCROLL)) << "ssBoth gives both scroll bars";
    setup.Press(IDC_btnEvent);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kS + "開始(&S)"));
    EXPECT_TRUE(OnFolderPage(setup));
}

TEST(WizardE2E, HiddenLicenceBoxAllowsAgreeingAtOnce) {
    Distribution dist;
    dist.WriteScript(Script("[EULA]\r\nFile=licence.txt\r\nCheckBox=Hide\r\n"));
    dist.Write("licence.txt", "terms");
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    LeaveTitlePage(setup);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "同意する(&A)"));
    EXPECT_TRUE(setup.Enabled(IDC_btnEvent));
    EXPECT_FALSE(setup.Shown(IDC_chkEULARead));
    setup.Press(IDC_btnEvent);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kS + "開始(&S)"));
    EXPECT_TRUE(OnFolderPage(setup));
}

TEST(WizardE2E, DecliningTheLicenceClosesWithoutAQuestion) {
    Distribution dist;
    dist.WriteScript(Script("[EULA]\r\nFile=licence.txt\r\n"));
    dist.Write("licence.txt", "terms");
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    LeaveTitlePage(setup);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEnd, "同意しない(&N)"));
    setup.Press(IDC_btnEnd);
    EXPECT_TRUE(setup.WaitUntil([&] { return setup.WaitForExit(0); }, "the program to end"));
}

// ---- Pre-install checker ----

TEST(WizardE2E, CheckerAllowingShowsItsMessageOnTwoLinesAndRunsOnce) {
    RestoredFile result(WindowsFolder() + "RVRESULT.INI");
    Distribution dist;
    dist.WriteScript(Script("[Extend]\r\nInstallChecker=\\check\\rvchecker.exe\r\n"));
    const std::string config = CheckerConfig("ContinueInstall", "一行目<改行>二行目");
    AddChecker(dist, &config);
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    LeaveTitlePage(setup);
    MessageBoxView box = setup.WaitForMessageBox("the checker's message");
    EXPECT_EQ(ToUtf8("情報"), ToUtf8(box.caption));
    EXPECT_EQ(ToUtf8("一行目\r\n二行目"), ToUtf8(box.text));
    EXPECT_EQ(static_cast<unsigned>(MB_OK | MB_ICONINFORMATION), box.Flags());
    setup.Answer(box, IDOK);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kS + "開始(&S)"));
    EXPECT_FALSE(FileExistsAt(WindowsFolder() + "RVRESULT.INI")) << "the result file is deleted after reading";
    EXPECT_NE(std::string::npos, ReadFileBytes(dist.path() + "check\\rvchecker.log").find("check"))
        << "the checker runs in its own folder";

    StartIntoMissingFolder(setup, kS);  // the start press passes the checker by
    EXPECT_EQ(1, CheckerRuns(dist));
}

TEST(WizardE2E, ACheckerRefusalLeavesOnlyTheEndButton) {
    RestoredFile result(WindowsFolder() + "RVRESULT.INI");
    Distribution dist;
    dist.WriteScript(Script("[Extend]\r\nInstallChecker=check\\rvchecker.exe\r\n"));
    const std::string config = CheckerConfig("continueinstall", "not shown");
    AddChecker(dist, &config);
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    LeaveTitlePage(setup);
    MessageBoxView box = setup.WaitForMessageBox("the refusal");
    EXPECT_EQ(ToUtf8("警告"), ToUtf8(box.caption));
    EXPECT_EQ(ToUtf8(kS + "チェック機能により、" + kS + "は続行不可能と判断されました。\r\n"
                     "詳細については、プログラム配布者へご確認ください。\r\n" + kS +
                     "を続行することはできません。"),
              ToUtf8(box.text));
    EXPECT_EQ(static_cast<unsigned>(MB_OK | MB_ICONEXCLAMATION), box.Flags());
    setup.Answer(box, IDOK);
    EXPECT_FALSE(setup.Enabled(IDC_btnEvent));
    EXPECT_TRUE(setup.Enabled(IDC_btnEnd));
    // A refused wizard closes without a question.
    setup.Press(IDC_btnEnd);
    EXPECT_TRUE(setup.WaitUntil([&] { return setup.WaitForExit(0); }, "the program to end"));
    EXPECT_EQ(1, CheckerRuns(dist));
}

// ---- Uninstall mode ----

TEST(WizardE2E, UninstallShowsTheRecordedReadmeThenTheOptionPage) {
    Distribution dist;
    dist.WriteScript(Script(""));
    const std::string app = dist.path() + "app";
    dist.Write("app\\before.txt", "消す前に\r\n");
    dist.Write("app\\UNSETUP.INI", "[Title]\r\nUnSetup=テストアプリ\r\n[SetupFolder]\r\nFolder=" + app +
                                       "\r\n[BeforeUnInstall]\r\nReadmeFile=\\before.txt\r\n");
    SetupProcess setup(dist.exe(), "\"" + app + "\\UNSETUP.INI\"");
    ASSERT_TRUE(setup.WaitForWizard());
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kU + "続行(&C)"));
    EXPECT_TRUE(setup.Shown(IDC_fraReadme));
    EXPECT_EQ(ToUtf8(kU + "の前にお読みください。"), ToUtf8(setup.Text(IDC_fraReadme)));
    EXPECT_EQ(ToUtf8("消す前に\r\n"), ToUtf8(setup.Text(IDC_txtReadme)));
    EXPECT_EQ(ToUtf8(kU + "終了(&E)"), ToUtf8(setup.Text(IDC_btnEnd)));
    setup.Press(IDC_btnEvent);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kU + "開始(&S)"));
    EXPECT_TRUE(OnFolderPage(setup));
}

TEST(WizardE2E, UninstallWithoutReadmeGoesStraightToTheOptionPage) {
    Distribution dist;
    dist.WriteScript(Script(""));
    const std::string app = dist.path() + "app";
    dist.Write("app\\UNSETUP.INI", "[Title]\r\nUnSetup=テストアプリ\r\n[SetupFolder]\r\nFolder=" + app +
                                       "\r\n[BeforeUnInstall]\r\nReadmeFile=missing.txt\r\n");
    SetupProcess setup(dist.exe(), "\"" + app + "\\UNSETUP.INI\"");
    ASSERT_TRUE(setup.WaitForWizard());
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kU + "開始(&S)"));
    EXPECT_TRUE(OnFolderPage(setup));
}

TEST(WizardE2E, InstallAndUninstallWordsAlikeStillDispatchByMode) {
    Distribution dist;
    dist.WriteScript(Script("[Extend]\r\nSetupString=処理\r\nUnSetupString=処理\r\n"));
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "処理続行(&C)"));
    setup.Press(IDC_btnEvent);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, "処理開始(&S)"));
    // An install must start the install run (its folder question), not the
    // uninstall run.
    StartIntoMissingFolder(setup, "処理");
}

// ---- Folder page ----

TEST(WizardE2E, FreeSpaceCaptionFollowsTheFolderBox) {
    Distribution dist;
    dist.WriteScript(Script("[DefaultFolder]\r\nFolder=C:\\Apps\\Test\r\n"));
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    LeaveTitlePage(setup);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kS + "開始(&S)"));

    const std::string caption = setup.Text(IDC_grpSetupFolder);
    const std::string head = "インストールフォルダ(空き容量：";
    ASSERT_EQ(0u, caption.find(head)) << ToUtf8(caption);
    ASSERT_EQ("Byte)", caption.substr(caption.size() - 5)) << ToUtf8(caption);
    std::string digits;
    for (char c : caption.substr(head.size(), caption.size() - head.size() - 5)) {
        if (c != ',') digits += c;
    }
    ULARGE_INTEGER available{}, total{}, free{};
    ASSERT_TRUE(GetDiskFreeSpaceExA("C:\\", &available, &total, &free));
    const std::int64_t shown = std::strtoll(digits.c_str(), nullptr, 10);
    const std::int64_t actual = static_cast<std::int64_t>(available.QuadPart);
    EXPECT_LT(std::llabs(shown - actual), 256LL * 1024 * 1024) << "shown " << shown << ", drive has " << actual;

    SetFolderBox(setup, "Q:\\Apps\\");
    ASSERT_TRUE(setup.WaitForText(IDC_grpSetupFolder, "インストールフォルダ(空き容量：不明)"));
}

// ---- Closing ----

TEST(WizardE2E, CloseQuestionOnlyWhileTheWizardIsInProgress) {
    Distribution dist;
    dist.WriteScript(Script(""));
    SetupProcess setup(dist.exe(), "");
    ASSERT_TRUE(setup.WaitForWizard());
    LeaveTitlePage(setup);
    ASSERT_TRUE(setup.WaitForText(IDC_btnEvent, kS + "開始(&S)"));
    setup.Press(IDC_btnEnd);
    MessageBoxView box = setup.WaitForMessageBox("the close question");
    EXPECT_EQ(ToUtf8("終了確認"), ToUtf8(box.caption));
    EXPECT_EQ(ToUtf8(kS + "/" + kU + "は終了していません。\r\n終了してもよろしいですか？"), ToUtf8(box.text));
    EXPECT_EQ(static_cast<unsigned>(MB_YESNO | MB_ICONQUESTION), box.Flags());
    setup.Answer(box, IDNO);
    EXPECT_FALSE(setup.WaitForExit(500)) << "No keeps the wizard open";
    EXPECT_TRUE(OnFolderPage(setup));
    setup.Press(IDC_btnEnd);
    box = setup.WaitForMessageBox("the close question again");
    setup.Answer(box, IDYES);
    EXPECT_TRUE(setup.WaitUntil([&] { return setup.WaitForExit(0); }, "the program to end"));
}

TEST(WizardE2E, ClosingRemovesWorkingFoldersButNoForeignOnes) {
    const std::string temp = TempFolder();
    ScratchFolder elsewhere;
    elsewhere.Write("SETUP.INI", "looks like ours, is not");
    elsewhere.Write("letter.txt", "precious");
    // An earlier start's leftover, a folder someone else uses.
    const std::string leftover = temp + "RVTMP1\\", foreign = temp + "RVTMP2\\";
    ASSERT_TRUE(CreateDirectoryA(leftover.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    ASSERT_TRUE(CreateDirectoryA(foreign.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    WriteFileBytes(leftover + "SETUP.INI", "[Title]");
    WriteFileBytes(leftover + "SETUPB.EXE", "old");
    WriteFileBytes(foreign + "notes.txt", "mine");
    // A link planted where a working folder would go.
    PlantedLink link(temp + "RVTMP3", elsewhere.path());
    ASSERT_TRUE(link.ok());

    Distribution dist;
    dist.WriteScript(Script(""));
    {
        SetupProcess setup(dist.exe(), "");
        ASSERT_TRUE(setup.WaitForWizard());
        ASSERT_TRUE(FileExistsAt(temp + "RVTMP4\\SETUP.INI")) << "start-up takes the first free number";
        setup.Press(IDC_btnEnd);
        MessageBoxView box = setup.WaitForMessageBox("the close question");
        setup.Answer(box, IDYES);
        ASSERT_TRUE(setup.WaitUntil([&] { return setup.WaitForExit(0); }, "the program to end"));
    }
    EXPECT_FALSE(FileExistsAt(temp + "RVTMP4\\SETUP.INI"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((temp + "RVTMP4").c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA((temp + "RVTMP1").c_str())) << "our leftover goes";
    EXPECT_TRUE(FileExistsAt(foreign + "notes.txt")) << "a folder holding other files stays";
    RemoveTree(foreign);
    EXPECT_TRUE(elsewhere.Exists("letter.txt")) << "nothing is deleted through a link";
    EXPECT_TRUE(elsewhere.Exists("SETUP.INI"));
    EXPECT_TRUE(link.ok());
}
