// The whole uninstall run on hand-written records, with real files, keys,
// counts and pending deletions of this machine; the view's answers are
// scripted and an unexpected question fails the test.
#include "uninstall/UninstallRun.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "RecordSigner.h"
#include "UninstallTestKit.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "record/Digests.h"
#include "sysops/HeldFile.h"
#include "sysops/PathNames.h"
#include "sysops/Registry.h"
#include "uninstall/KeyGuards.h"
#include "uninstall/PathGuards.h"

using namespace ukit;

namespace {

const std::string kU = "アンインストール";
const std::string kUninstallList = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::string kDetailsQuestion = kU + "の過程で、一部の処理が失敗しました。\r\n詳細を表示しますか？";

std::string Unique(const std::string& stem) { return stem + std::to_string(GetCurrentProcessId()); }

// The progress text of a run, from the stage results in their order.
std::string StatusOf(const std::vector<std::string>& results, bool failures = false) {
    const char* lines[] = {"アンインストール処理前のプログラム実行．．．",
                           "ファイルのアンインストール処理．．．",
                           "ショートカットのアンインストール処理．．．",
                           "フォルダのアンインストール処理．．．",
                           "レジストリのアンインストール処理．．．",
                           "関連付けのアンインストール処理．．．",
                           "「プログラム(アプリケーション)の追加と削除」の処理．．．",
                           "インストールフォルダのアンインストール処理．．．"};
    std::string text = kU + "を行っています。\r\n\r\n【処理状況】\r\n";
    for (size_t i = 0; i < results.size(); ++i) text += std::string(lines[i]) + results[i] + "\r\n";
    if (failures) text += "《情報》" + kU + "の過程で、一部の処理が失敗しました。\r\n";
    return text + "\r\n【処理完了】\r\n　「次へ(N)」をクリックして、" + kU + "を完了してください。\r\n";
}

bool FolderThere(const std::string& path) {
    const DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

class UninstallRunTest : public ::testing::Test {
protected:
    // The record in the install folder and start-up's copy of it, which the
    // run reads.
    void WriteRecord(const std::string& body) {
        const std::string text = "[SetupFolder]\r\nFolder=" + app_ + "\r\n\r\n" + body;
        dir_.Write("app\\UNSETUP.INI", text);
        dir_.Write("work\\UNSETUP.INI", text);
        State().RecordFile = app_ + "UNSETUP.INI";
        signer_.Sign(State().RecordFile, text);
    }
    // Runs with the option page as given (default: nothing checked).
    void Run() {
        if (view_.options.folderText.empty()) view_.options = OptionBoxes(app_, false, false);
        RunUninstall(view_);
    }
    std::string HkcuKey(const std::string& name) const { return reg_.subkey() + "\\" + name; }

    ScratchFolder dir_;
    const std::string app_ = dir_ / "app\\";
    UninstallState state_{dir_ / "work\\UNSETUP.INI"};
    TestRunView view_;
    RestartSeam restart_;
    TestRegKey reg_;
    RecordSigner signer_;
};

}  // namespace

// ---- A clean run ----

TEST_F(UninstallRunTest, RemovesEverythingRecordedAndEndsOnTheCompletionPage) {
    RestoredFile idList(State().WindowsFolder + "RVSET98.INI");
    IniWrite("ThisApp", "Folder", app_, State().WindowsFolder + "RVSET98.INI");
    IniWrite("OtherApp", "Folder", "C:\\Other\\", State().WindowsFolder + "RVSET98.INI");
    const std::string entry = Unique("RvRunClean");
    ScratchKeys cleanup(HKEY_LOCAL_MACHINE, {kUninstallList + entry});
    SetString(HKEY_LOCAL_MACHINE, kUninstallList + entry, "DisplayName", "x");
    SetString(HKEY_LOCAL_MACHINE, kUninstallList + entry, "UninstallString",
              State().WindowsFolder + "UNRAVEL.EXE \"" + app_ + "UNSETUP.INI\"");
    SetString(HKEY_CURRENT_USER, HkcuKey("App\\Sub"), "v", "1");
    SetString(HKEY_CURRENT_USER, HkcuKey("NoMacro"), "v", "1");
    SetString(HKEY_CURRENT_USER, HkcuKey("Kept"), "v", "1");

    // The .RVNEW files: what a killed install's copies left; they go with
    // the package's folders.
    for (const char* f : {"app\\prog.exe", "app\\data\\a.dat", "app\\data\\deep\\b.dat", "app\\logs\\1.tmp",
                          "app\\prog.exe.RVNEW", "app\\data\\deep\\b.dat.RVNEW",
                          "app\\logs\\2.tmp", "app\\settings.cfg", "menu\\App\\Tool.lnk",
                          "menu\\App\\Help.lnk", "menu\\Other.lnk", "shared\\Common.dll"})
        dir_.Write(f, "x");
    SharedCount count(dir_ / "shared\\Common.dll", 3);
    WriteRecord(Section("DeleteFolder", "Folder", {app_ + "data\\", app_ + "data\\deep\\", app_ + "logs\\"}) +
                Section("DeleteFile", "File",
                        {app_ + "prog.exe", app_ + "data\\a.dat,/W", app_ + "data\\deep\\b.dat",
                         dir_ / "shared\\Common.dll,/S", app_ + "UNSETUP.INI"}) +
                Section("DeleteShortCut", "File", {dir_ / "menu\\App\\Tool.lnk", dir_ / "menu\\App\\Help.lnk"}) +
                Section("DeleteRegistry", "Key", {"(Cuser)\\" + HkcuKey("App"), HkcuKey("NoMacro")}) +
                Section("AddDeleteFile", "File", {app_ + "logs\\*.tmp", app_ + "settings.cfg", app_ + "never.ini"}) +
                "[UnSetupRegistryKey]\r\nKey=" + kUninstallList + entry + "\r\n\r\n[ProgramID]\r\nID=ThisApp\r\n");
    Run();

    for (const char* f : {"app\\prog.exe", "app\\data\\a.dat", "app\\logs\\1.tmp", "app\\settings.cfg",
                          "menu\\App\\Tool.lnk", "app\\UNSETUP.INI"})
        EXPECT_FALSE(dir_.Exists(f)) << f;
    EXPECT_FALSE(FolderThere(app_ + "data")) << "removed deepest first though recorded parent first";
    EXPECT_FALSE(FolderThere(dir_ / "menu\\App")) << "an emptied menu folder goes";
    EXPECT_TRUE(dir_.Exists("menu\\Other.lnk"));
    EXPECT_TRUE(dir_.Exists("shared\\Common.dll")) << "still counted by two other programs";
    EXPECT_EQ(2, CountOf(dir_ / "shared\\Common.dll"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, HkcuKey("App")));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, HkcuKey("NoMacro"))) << "a key without root macro is the user's";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, HkcuKey("Kept")));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallList + entry));
    EXPECT_EQ("", IniRead("ThisApp", "Folder", "", State().WindowsFolder + "RVSET98.INI"));
    EXPECT_EQ("C:\\Other\\", IniRead("OtherApp", "Folder", "", State().WindowsFolder + "RVSET98.INI"));
    EXPECT_FALSE(FolderThere(app_));
    EXPECT_EQ(ToUtf8(StatusOf({"なし", "完了", "完了", "完了", "完了", "完了", "完了", "完了"})),
              ToUtf8(view_.LastStatus()));
    const std::vector<std::string> events = {"Options", "DisableOptions", "HideWizard", "ShowProgress",
                                             "WaitForNext", "ShowCompletion", "EndRun"};
    EXPECT_EQ(events, view_.events) << "no question, no details";
    EXPECT_EQ(ToUtf8(kU + "を完了しました。"), ToUtf8(view_.completion.message));
    EXPECT_EQ(ToUtf8("アンインストーラを終了します。(&Y)"), ToUtf8(view_.completion.choice1));
    EXPECT_EQ("", view_.completion.choice2);
    EXPECT_EQ(ToUtf8(kU + "完了(&E)"), ToUtf8(view_.completion.finishCaption));
    EXPECT_TRUE(restart_.calls().empty());
}

TEST_F(UninstallRunTest, TheProgramIdLineOfAPackageInAnotherFolderStays) {
    const std::string list = State().WindowsFolder + "RVSET98.INI";
    RestoredFile idList(list);
    IniWrite("MovedApp", "Folder", dir_ / "elsewhere\\", list);
    WriteRecord(Section("DeleteFile", "File", {app_ + "UNSETUP.INI"}) + "[ProgramID]\r\nID=MovedApp\r\n");
    Run();
    EXPECT_EQ(dir_ / "elsewhere\\", IniRead("MovedApp", "Folder", "", list));
}

TEST_F(UninstallRunTest, ProgramBeforeUninstallingRunsInTheInstallFolderWithItsParameters) {
    const std::string out = dir_ / "before.txt";
    WriteRecord(Section("DeleteFile", "File", {app_ + "child.exe", app_ + "UNSETUP.INI"}) +
                "[BeforeUnInstall]\r\nFile=\\child.exe,cwd " + out + "\r\n");
    ASSERT_TRUE(CopyFileA((BinFolder() + "sysops_child.exe").c_str(), (app_ + "child.exe").c_str(), FALSE));
    ASSERT_TRUE(StoreFileDigest(HeldFile(app_ + "child.exe")));  // as the install keeps it
    Run();
    const std::string seen = ReadFileBytes(out);
    ASSERT_FALSE(seen.empty()) << "the program did not run";
    EXPECT_TRUE(SameFolder(seen.substr(0, seen.find('\n')), app_)) << seen;
    EXPECT_NE(std::string::npos, seen.find("cwd " + out)) << seen;
    EXPECT_EQ(ToUtf8(StatusOf({"完了", "完了", "完了", "完了", "完了", "完了", "完了", "完了"})),
              ToUtf8(view_.LastStatus()));
    EXPECT_FALSE(FolderThere(app_)) << "the program ended before its folder went";
}

// ---- What the install left, and nothing else ----

const unsigned kWarning = MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2;  // "no" is the default

// Changed after the install (the copy the run reads), or never signed: the
// person is warned before anything happens; "no" changes nothing, "yes"
// goes on.
TEST_F(UninstallRunTest, ARecordNotAsTheInstallWroteItIsFollowedOnlyWhenThePersonSaysSo) {
    struct Variant {
        bool changed;
        int answer;
    };
    for (const Variant v : {Variant{true, IDNO}, Variant{false, IDNO}, Variant{false, IDYES}}) {
        SCOPED_TRACE(std::string(v.changed ? "changed" : "never signed") + (v.answer == IDNO ? ", no" : ", yes"));
        dir_.Write("app\\prog.exe", "x");
        WriteRecord(Section("DeleteFile", "File", {app_ + "prog.exe", app_ + "UNSETUP.INI"}));
        if (v.changed)
            dir_.Write("work\\UNSETUP.INI", dir_.Read("work\\UNSETUP.INI") + "[DeleteRegistry]\r\nKey1=Software\r\n");
        else
            DropRecordDigest(app_ + "UNSETUP.INI");
        TestRunView view;
        view.options = OptionBoxes(app_, false, false);
        view.ExpectAsk("警告", app_ + "UNSETUP.INI\r\n\r\nこの" + kU + "情報ファイルは、インストールの後に書き換えられたか、"
                       "このインストーラが作成したものではありません。", kWarning, v.answer);
        const RunOutcome outcome = RunUninstall(view);
        EXPECT_EQ(v.answer == IDNO, dir_.Exists("app\\prog.exe"));
        if (v.answer == IDNO) {
            EXPECT_EQ(RunOutcome::End::RecordRefused, outcome.end);
            EXPECT_EQ((std::vector<std::string>{"Options", "Ask"}), view.events) << "the wizard stays as it was";
        }
    }
}

// A class of the package's own goes only with the record the install
// wrote: gone on past the warning, the run keeps it and says why.
TEST_F(UninstallRunTest, AClassOfThePackagesOwnGoesOnlyWithARecordAsTheInstallWroteIt) {
    const std::string type = Unique("RvTrust") + ".Document";
    ScratchKeys classes(HKEY_CLASSES_ROOT, {type});
    for (const bool trusted : {true, false}) {
        SCOPED_TRACE(trusted ? "signed" : "gone on past the warning");
        SetString(HKEY_CLASSES_ROOT, type + "\\shell", "", "x");
        WriteRecord(Section("DeleteRegistry", "Key", {"(Class)" + type}) +
                    Section("DeleteFile", "File", {app_ + "UNSETUP.INI"}));
        if (!trusted) dir_.Write("work\\UNSETUP.INI", dir_.Read("work\\UNSETUP.INI") + "\r\n");
        TestRunView view;
        view.options = OptionBoxes(app_, false, false);
        if (!trusted)
            view.ExpectAsk("警告", "書き換えられたか", kWarning, IDYES).ExpectAsk("情報", kDetailsQuestion, 52, IDYES);
        RunUninstall(view);
        EXPECT_EQ(!trusted, KeyExists(HKEY_CLASSES_ROOT, type));
        EXPECT_EQ(!trusted, view.detailsText.find("<Registry> (Class)" + type + "\r\n記録(UNSETUP.INI)が"
                                                  "インストール時のものと確かめられないため") == 0)
            << ToUtf8(view.detailsText);
    }
}

// Only a program of the install folder, as the install left it, runs
// before uninstalling: one outside is refused without a question, a
// replaced one is asked about ("no" is also the answer of /S).
TEST_F(UninstallRunTest, AProgramBeforeUninstallingRunsOnlyFromTheInstallFolderAsInstalled) {
    const std::string out = dir_ / "before.txt";
    CreateDirectoryA(app_.c_str(), nullptr);
    for (const std::string& where : {dir_.path(), app_}) {
        ASSERT_TRUE(CopyFileA((BinFolder() + "sysops_child.exe").c_str(), (where + "child.exe").c_str(), FALSE));
        ASSERT_TRUE(StoreFileDigest(HeldFile(where + "child.exe")));
    }
    ASSERT_TRUE(WriteFileBytes(app_ + "child.exe", ReadFileBytes(app_ + "child.exe") + "planted"));
    for (const char* value : {"..\\child.exe", "../child.exe", "\\sub\\..\\..\\child.exe", "child.exe"}) {
        SCOPED_TRACE(value);
        const bool inside = std::string(value) == "child.exe";
        WriteRecord(Section("DeleteFile", "File", {app_ + "UNSETUP.INI"}) + "[BeforeUnInstall]\r\nFile=" + value +
                    ",cwd " + out + "\r\n");
        TestRunView view;
        view.options = OptionBoxes(app_, false, false);
        if (inside) view.ExpectAsk("警告", app_ + "child.exe\r\n\r\nこのファイルは、インストールの後に書き換えられたか", kWarning, IDNO);
        view.ExpectAsk("情報", kDetailsQuestion, 52, IDYES);
        RunUninstall(view);
        EXPECT_FALSE(FileExistsAt(out)) << "the program ran";
        const std::string refused = inside ? "<BeforeUnInstall> " + app_ + "child.exe\r\nインストールの後に書き換えられたか"
                                           : "<BeforeUnInstall> " + dir_ / "child.exe\r\nインストールフォルダの外の";
        EXPECT_EQ(0u, view.detailsText.find(refused)) << ToUtf8(view.detailsText);
    }
    ForgetFileDigest(dir_ / "child.exe");
}

// A library is loaded to undo its registration only when the install
// registered it ("/R") and it is still what the install registered, and
// never from the shortcut section.
TEST_F(UninstallRunTest, ALibraryIsLoadedOnlyWhenTheInstallRegisteredItAsItIs) {
    SetEnvironmentVariableA("RV_SELFREG_KEY", reg_.subkey().c_str());
    const std::string lib = app_ + "Lib.dll", record = app_ + "UNSETUP.INI";
    struct Case {
        const char* what;
        std::string section;
        bool digest, replaced, loaded;
    };
    for (const Case& c : std::vector<Case>{
             {"registered, unchanged", Section("DeleteFile", "File", {lib + ",/R", record}), true, false, true},
             {"never registered", Section("DeleteFile", "File", {lib, record}), true, false, false},
             {"replaced", Section("DeleteFile", "File", {lib + ",/R", record}), true, true, false},
             {"no digest", Section("DeleteFile", "File", {lib + ",/R", record}), false, false, false},
             {"a shortcut", Section("DeleteFile", "File", {record}) + Section("DeleteShortCut", "File", {lib}), true,
              false, false}}) {
        SCOPED_TRACE(c.what);
        RegDeleteKeyA(HKEY_CURRENT_USER, reg_.subkey().c_str());
        WriteRecord(c.section);
        ASSERT_TRUE(CopyFileA((BinFolder() + "sysops_selfreg_crash.dll").c_str(), lib.c_str(), FALSE));
        if (c.digest) StoreFileDigest(HeldFile(lib));
        if (c.replaced) WriteFileBytes(lib, ReadFileBytes(lib) + "planted");
        TestRunView view;
        view.options = OptionBoxes(app_, false, false);
        const bool warned = IPos("/R", c.section) > 0 && !c.loaded;
        const bool shortcut = IPos("DeleteShortCut", c.section) > 0;
        if (warned) view.ExpectAsk("警告", lib + "\r\n\r\nこのファイルは、インストールの後に書き換えられたか", kWarning, IDNO);
        if (warned || shortcut) view.ExpectAsk("情報", kDetailsQuestion, 52, IDYES);
        RunUninstall(view);
        EXPECT_EQ(c.loaded, KeyExists(HKEY_CURRENT_USER, reg_.subkey())) << "DllUnregisterServer called";
        EXPECT_EQ(warned, view.detailsText.find("<File> " + lib + "\r\nインストールの後に") == 0) << ToUtf8(view.detailsText);
        // Named as a shortcut, a library is not even deleted.
        EXPECT_EQ(shortcut, FileExistsAt(lib));
        EXPECT_EQ(shortcut, view.detailsText.find("<ShortCut> " + lib + "\r\nショートカット(.LNK") == 0);
        ForgetFileDigest(lib);
    }
    SetEnvironmentVariableA("RV_SELFREG_KEY", nullptr);
}

// ---- Failures and their details ----

TEST_F(UninstallRunTest, FailuresAreListedAndTheUsersFileIsNamed) {
    dir_.Write("app\\prog.exe", "x");
    dir_.Write("app\\mine.txt", "the user's letter");
    WriteRecord(Section("DeleteFile", "File", {app_ + "prog.exe", app_ + "gone.exe", app_ + "UNSETUP.INI"}));
    view_.ExpectAsk("情報", kDetailsQuestion, 52, IDYES);
    Run();

    EXPECT_TRUE(dir_.Exists("app\\mine.txt")) << "never deleted without delete-all";
    EXPECT_EQ(ToUtf8(StatusOf({"なし", "一部失敗", "完了", "完了", "完了", "完了", "完了", "一部失敗"}, true)),
              ToUtf8(view_.LastStatus()));
    EXPECT_EQ(ToUtf8("削除処理失敗　詳細表示"), ToUtf8(view_.detailsCaption));
    const std::string expected =
        "<File> " + app_ + "gone.exe\r\n" + SysErrorText(ERROR_FILE_NOT_FOUND) + "\r\n" + "<SetupFolder> " + app_ +
        "\r\nファイル・フォルダが残っているため、インストールフォルダを削除できませんでした。"
        "エクスプローラなどから、直接削除してください。\r\n残っているファイル・フォルダ：\r\n　mine.txt\r\n\r\n";
    EXPECT_EQ(ToUtf8(expected), ToUtf8(view_.detailsText));
    const std::vector<std::string> tail = {"Ask", "ShowDetails", "WaitForNext", "ShowCompletion", "EndRun"};
    EXPECT_EQ(tail, std::vector<std::string>(view_.events.end() - 5, view_.events.end()));
}

TEST_F(UninstallRunTest, DetailsDeclinedAreNotShown) {
    WriteRecord(Section("DeleteFile", "File", {app_ + "gone.exe"}));
    view_.ExpectAsk("情報", kDetailsQuestion, 52, IDNO);
    Run();
    EXPECT_TRUE(view_.detailsText.empty());
    EXPECT_EQ(ToUtf8(kU + "を完了しました。"), ToUtf8(view_.completion.message)) << "no restart for a failure";
}

// ---- Files in use and the restart ----

TEST_F(UninstallRunTest, FileInUseWithFIsNotedScheduledAndTheRestartIsOffered) {
    for (const bool declined : {false, true}) {
        SCOPED_TRACE(declined ? "restart declined" : "restart chosen");
        PendingRenamesGuard pending;
        TestRunView view;
        dir_.Write("app\\busy.exe", "running");
        const std::string busy = app_ + "busy.exe";
        FileLocker lock(busy);
        ASSERT_TRUE(lock.ok());
        WriteRecord(Section("DeleteFile", "File", {busy + ",/F", app_ + "UNSETUP.INI"}));
        view.options = OptionBoxes(app_, false, false);
        view.choosesSecond = declined;
        view.ExpectAsk("情報", kDetailsQuestion, 52, IDYES);
        const size_t restartsBefore = restart_.calls().size();
        RunUninstall(view);

        EXPECT_TRUE(PendingRenamesGuard::DeletionPending(busy));
        EXPECT_EQ(0u, view.detailsText.find("<File> " + busy + "\r\n")) << ToUtf8(view.detailsText);
        EXPECT_NE(std::string::npos,
                  view.detailsText.find("(追加情報)このファイルはWindowsの再起動後に削除が試行されます。\r\n\r\n"));
        EXPECT_EQ(ToUtf8("　" + kU + "を完了するには、Windowsを再起動する必要があります。\r\n\r\n"
                         "　Windowsの再起動を選択した場合、現在稼動している他のプログラムは強制的に終了され、"
                         "かつ、終了後プログラムは実行されませんので、十分にご注意ください。"),
                  ToUtf8(view.completion.message));
        EXPECT_EQ(ToUtf8("はい、Windowsを再起動します。(&Y)"), ToUtf8(view.completion.choice1));
        EXPECT_EQ(ToUtf8("いいえ、Windowsは再起動せずに、アンインストーラーを終了します。(&N)"),
                  ToUtf8(view.completion.choice2));
        const std::vector<UINT> expected = declined ? std::vector<UINT>{} : std::vector<UINT>{EWX_REBOOT};
        EXPECT_EQ(expected, std::vector<UINT>(restart_.calls().begin() + restartsBefore, restart_.calls().end()));
        EXPECT_EQ("EndRun", view.events.back()) << "the restart request comes before the end";
        ASSERT_TRUE(lock.Release());
        DeleteFileA(busy.c_str());
    }
}

// ---- Option patterns and delete-all ----

TEST_F(UninstallRunTest, OptionPatternsApplyInTheInstallFolderAndItsRecordedFoldersOnly) {
    for (const char* f : {"app\\a.ini", "app\\b.log", "app\\c.gid", "app\\sub\\d.ini", "app\\sub\\e.LOG",
                          "elsewhere\\x.ini"})
        dir_.Write(f, "x");
    WriteRecord(Section("DeleteFolder", "Folder", {app_ + "sub\\", dir_ / "elsewhere\\"}) +
                Section("DeleteFile", "File", {app_ + "UNSETUP.INI"}));
    view_.options = OptionBoxes(app_, true, false, "*.LOG", true, "*.TXT", false);
    view_.ExpectAsk("情報", kDetailsQuestion, 52, IDNO);
    Run();
    EXPECT_FALSE(FolderThere(app_ + "sub")) << "its *.INI and *.LOG went, then the folder";
    EXPECT_FALSE(dir_.Exists("app\\a.ini"));
    EXPECT_FALSE(dir_.Exists("app\\b.log"));
    EXPECT_TRUE(dir_.Exists("app\\c.gid")) << "an unchecked box";
    EXPECT_TRUE(dir_.Exists("elsewhere\\x.ini")) << "outside the install folder no pattern applies";
    EXPECT_EQ(ToUtf8(StatusOf({"なし", "完了", "完了", "一部失敗", "完了", "完了", "完了", "一部失敗"}, true)),
              ToUtf8(view_.LastStatus()));
}

TEST_F(UninstallRunTest, DeleteAllTakesTheUsersFilesAndIgnoresFoldersInside) {
    for (const char* f : {"app\\prog.exe", "app\\mine.doc", "app\\sub\\notes.txt", "app\\sub\\deeper\\x.bin"})
        dir_.Write(f, "x");
    WriteRecord(Section("DeleteFolder", "Folder", {app_ + "sub\\"}) +
                Section("DeleteFile", "File", {app_ + "prog.exe", app_ + "UNSETUP.INI"}));
    view_.options = DeleteAllBoxes(app_);
    Run();
    EXPECT_FALSE(FolderThere(app_));
    EXPECT_EQ(ToUtf8(StatusOf({"なし", "完了", "完了", "完了", "完了", "完了", "完了", "完了"})),
              ToUtf8(view_.LastStatus()));
}

// ---- Nothing that is not ours ----

TEST_F(UninstallRunTest, DeleteAllOnAProtectedInstallFolderDeletesOnlyWhatTheRecordLists) {
    const SetupState& s = State();
    const std::string profile = AddPathDelimiter(GetSpecialFolder(CSIDL_PROFILE), "B");
    char shortForm[MAX_PATH] = {};
    GetShortPathNameA(s.ProgramFilesFolder.c_str(), shortForm, sizeof shortForm);
    const ProtectedFolders guard = ProtectedFolders::ForThisMachine(s);
    for (const std::string& folder : {s.ProgramFilesFolder, profile, std::string("C:\\"),
                                      std::string("C:\\rvnothere\\..\\"), std::string(shortForm), s.WindowsFolder}) {
        SCOPED_TRACE(ToUtf8(folder));
        // Never run a delete-all here unless the guard holds.
        ASSERT_FALSE(folder.empty());
        ASSERT_TRUE(guard.IsProtected(folder));
        const std::string ours = folder + Unique("rvours") + ".txt";
        const std::string canary = folder + Unique("rvcanary") + ".txt";
        ASSERT_TRUE(WriteFileBytes(ours, "ours"));
        ASSERT_TRUE(WriteFileBytes(canary, "not ours"));
        const std::string record = "[SetupFolder]\r\nFolder=" + folder + "\r\n\r\n" +
                                   Section("DeleteFolder", "Folder", {folder}) +
                                   Section("DeleteFile", "File", {ours});
        dir_.Write("work\\UNSETUP.INI", record);
        State().RecordFile = app_ + "UNSETUP.INI";
        signer_.Sign(State().RecordFile, record);
        TestRunView view;
        view.options = DeleteAllBoxes(folder);
        view.ExpectAsk("情報", kDetailsQuestion, 52, IDYES);
        RunUninstall(view);

        EXPECT_FALSE(FileExistsAt(ours));
        EXPECT_TRUE(FileExistsAt(canary));
        EXPECT_TRUE(FolderThere(RemovePathDelimiter(folder, "B")));
        const std::string why = "ドライブやネットワーク共有のルート、またはシステムのフォルダ(Windows・Program Files・"
                                "ユーザーのフォルダなど)か、それを含むフォルダのため、削除しませんでした。\r\n\r\n";
        EXPECT_EQ(ToUtf8("<Folder> " + folder + "\r\n" + why + "<SetupFolder> " + folder + "\r\n" + why),
                  ToUtf8(view.detailsText));
        EXPECT_EQ(ToUtf8(StatusOf({"なし", "完了", "完了", "一部失敗", "完了", "完了", "完了", "一部失敗"}, true)),
                  ToUtf8(view.LastStatus()));
        DeleteFileA(canary.c_str());
        DeleteFileA(ours.c_str());
    }
}

TEST_F(UninstallRunTest, TamperedRecordDeletesNothingItShouldNot) {
    const SetupState& s = State();
    const std::string tempCanary = s.TempFolder + Unique("rv") + ".rvcanary";
    const std::string winCanary = s.WindowsFolder + Unique("rv") + ".rvcanary";
    ASSERT_TRUE(WriteFileBytes(tempCanary, "x"));
    ASSERT_TRUE(WriteFileBytes(winCanary, "x"));
    for (const char* f : {"sibling.txt", "outside\\keep.txt", "outside\\b.lnk", "app\\prog.exe"}) dir_.Write(f, "x");
    ASSERT_TRUE(CreateDirectoryA((dir_ / "outside\\sub").c_str(), nullptr));
    SetString(HKEY_CURRENT_USER, HkcuKey("Canary"), "v", "1");
    const std::vector<std::string> keys = {"(Local)\\", "(Local)\\SOFTWARE", "(Cuser)\\Software", "Software",
                                           "(Local)SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", "(Class)CLSID"};
    for (const std::string& key : keys) {
        std::string root = "(Cuser)", path = key;
        if (key[0] == '(') {
            root = key.substr(0, 7);
            path = key.substr(7);
        }
        ASSERT_NE(KeyRefusal::None, RefuseRegistryKey(root, path, true, CurrentUserSid())) << key;  // never run unless the guard holds
    }
    const std::vector<std::string> added = {s.TempFolder + "*.rvcanary", s.WindowsFolder + "*.rvcanary",
                                            s.TempFolder + "rvnothere\\..\\?.rvcanary", dir_ / "out*\\keep.txt",
                                            "outside\\keep.txt"};
    const std::vector<std::string> files = {dir_ / "outside\\*.txt", "outside\\keep.txt", app_ + "prog.exe",
                                            app_ + "UNSETUP.INI"};
    const std::vector<std::string> shortcuts = {dir_ / "outside\\*.lnk"};
    const std::vector<std::string> folders = {s.TempFolder, dir_ / "outside\\sub\\"};
    WriteRecord(Section("DeleteFolder", "Folder", folders) + Section("DeleteFile", "File", files) +
                Section("DeleteShortCut", "File", shortcuts) + Section("DeleteRegistry", "Key", keys) +
                Section("AddDeleteFile", "File", added) + "[UnSetupOption]\r\nCheckBox3=..\\*.txt\r\n\r\n" +
                "[UnSetupRegistryKey]\r\nKey=" + kUninstallList + "\r\n");
    view_.options = OptionBoxes(app_, false, false, "..\\*.txt", true, "C:*.txt", true);
    view_.ExpectAsk("情報", kDetailsQuestion, 52, IDYES);
    Run();

    EXPECT_TRUE(FileExistsAt(tempCanary));
    EXPECT_TRUE(FileExistsAt(winCanary));
    for (const char* f : {"sibling.txt", "outside\\keep.txt", "outside\\b.lnk"}) EXPECT_TRUE(dir_.Exists(f)) << f;
    EXPECT_FALSE(dir_.Exists("app\\prog.exe")) << "the record's own entries still go";
    EXPECT_FALSE(FolderThere(dir_ / "outside\\sub")) << "an unprotected recorded folder is handled as always";
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, HkcuKey("Canary")));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, TrimKeyPath(kUninstallList)));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));

    const std::string& log = view_.detailsText;
    auto listed = [&](const std::string& entry, const std::string& why) {
        EXPECT_NE(std::string::npos, log.find(entry + "\r\n" + why)) << ToUtf8(entry) << "\n" << ToUtf8(log);
    };
    const std::string wildcard = "ワイルドカード(*・?)を含むため、処理しませんでした。";
    const std::string unqualified = "ドライブ名(C:\\など)かネットワーク共有(\\\\サーバー名\\共有名)から始まる";
    const std::string inProtected = "システムや他のプログラムのファイルがあるフォルダのため、";
    listed("<File> " + dir_ / "outside\\*.txt", wildcard);
    listed("<File> outside\\keep.txt", unqualified);
    listed("<ShortCut> " + dir_ / "outside\\*.lnk", wildcard);
    listed("<File> " + s.TempFolder + "*.rvcanary", inProtected);
    listed("<File> " + s.WindowsFolder + "*.rvcanary", inProtected);
    listed("<File> " + s.TempFolder + "rvnothere\\..\\?.rvcanary", inProtected);
    listed("<File> " + dir_ / "out*\\keep.txt", "フォルダ名の部分にワイルドカード");
    listed("<Folder> " + s.TempFolder, "ドライブやネットワーク共有のルート");
    listed("<Option> ..\\*.txt", "ファイル名だけのパターンではない");
    listed("<Option> C:*.txt", "ファイル名だけのパターンではない");
    for (size_t k = 0; k + 2 < keys.size(); ++k) listed("<Registry> " + keys[k], "レジストリの最上位のキー");
    listed("<Registry> " + keys[keys.size() - 2], "「プログラム(アプリケーション)の追加と削除」の登録は、この項目では削除しません");
    listed("<Registry> " + keys.back(), "Windowsが使うファイルの種類・クラスの登録のため");
    listed("<Registry> HKEY_LOCAL_MACHINE\\" + kUninstallList.substr(0, kUninstallList.size() - 1),
           "「プログラム(アプリケーション)の追加と削除」の登録キーではないため");
    EXPECT_EQ(ToUtf8(StatusOf({"なし", "一部失敗", "一部失敗", "一部失敗", "一部失敗", "完了", "失敗", "完了"}, true)),
              ToUtf8(view_.LastStatus()));
    DeleteFileA(tempCanary.c_str());
    DeleteFileA(winCanary.c_str());
}

TEST_F(UninstallRunTest, DeleteAllAndPatternsStayOutOfAFolderTheRecordWasNotFoundIn) {
    // A record in app\ that names another program's folder as its own.
    dir_.Write("other\\theirs.txt", "not ours");
    dir_.Write("other\\theirs.log", "not ours");
    dir_.Write("other\\listed.txt", "ours");
    const std::string other = dir_ / "other\\";
    const std::string record = "[SetupFolder]\r\nFolder=" + other + "\r\n\r\n" +
                               Section("DeleteFolder", "Folder", {other}) +
                               Section("DeleteFile", "File", {other + "listed.txt"});
    for (bool deleteAll : {true, false}) {
        SCOPED_TRACE(deleteAll ? "delete-all" : "patterns");
        dir_.Write("work\\UNSETUP.INI", record);
        dir_.Write("app\\UNSETUP.INI", record);
        State().RecordFile = app_ + "UNSETUP.INI";
        signer_.Sign(State().RecordFile, record);
        TestRunView view;
        view.options = deleteAll ? DeleteAllBoxes(other) : OptionBoxes(other, false, false, "*.txt", true, "*.log", true);
        view.ExpectAsk("情報", kDetailsQuestion, 52, IDYES);
        RunUninstall(view);

        EXPECT_FALSE(dir_.Exists("other\\listed.txt")) << "the record's own entries still go";
        EXPECT_TRUE(dir_.Exists("other\\theirs.txt"));
        EXPECT_TRUE(dir_.Exists("other\\theirs.log"));
        EXPECT_NE(std::string::npos,
                  view.detailsText.find("<SetupFolder> " + other + "\r\n起動時に指定された「UNSETUP.INI」のあるフォルダではない"))
            << ToUtf8(view.detailsText);
        dir_.Write("other\\listed.txt", "ours");
    }
}

TEST_F(UninstallRunTest, OutsideTheInstallFolderAPatternNeedsAFolderOfTheRecordsOwnAndAStemOfThree) {
    for (const char* f : {"other\\data\\theirs.log", "other\\RVOURS.INI", "other\\SERVER.EXE", "other\\RVX.DAT",
                          "third\\RVOURS.INI", "app\\logs\\1.log"})
        dir_.Write(f, "x");
    const std::vector<std::string> refused = {dir_ / "other\\data\\*.log", dir_ / "other\\data\\..\\?*.*",
                                              dir_ / "other\\S*", dir_ / "other\\RV?.DAT", dir_ / "third\\RVOURS.*"};
    std::vector<std::string> patterns = refused;
    patterns.insert(patterns.end(), {dir_ / "other\\RVOURS.*", app_ + "logs\\*.log", app_ + "UNSETUP.INI"});
    WriteRecord(Section("DeleteFolder", "Folder", {dir_ / "other\\"}) + Section("AddDeleteFile", "File", patterns));
    view_.ExpectAsk("情報", kDetailsQuestion, 52, IDYES);
    Run();

    EXPECT_TRUE(dir_.Exists("other\\data\\theirs.log")) << "a folder the record does not list";
    EXPECT_TRUE(dir_.Exists("other\\SERVER.EXE")) << "a one-letter stem";
    EXPECT_TRUE(dir_.Exists("other\\RVX.DAT")) << "a two-letter stem";
    EXPECT_TRUE(dir_.Exists("third\\RVOURS.INI")) << "a stem of its own, but not in a folder of the record's";
    EXPECT_FALSE(dir_.Exists("other\\RVOURS.INI")) << "a stem of its own in a folder of the record's still goes";
    EXPECT_FALSE(dir_.Exists("app\\logs\\1.log"));
    for (const std::string& each : refused)
        EXPECT_NE(std::string::npos,
                  view_.detailsText.find("<File> " + each + "\r\nインストールフォルダの外のため、ワイルドカードによる削除"))
            << each << ToUtf8(view_.detailsText);
}

TEST_F(UninstallRunTest, AnotherProgramsEntryNamedByTheRecordIsKept) {
    // Two entries the record could name: another program's, whose command
    // starts another uninstaller, and one whose command names a record of
    // another folder that merely begins like this one.
    const std::string other = Unique("RvOtherProgram"), prefix = Unique("RvPrefixProgram");
    ScratchKeys cleanup(HKEY_LOCAL_MACHINE, {kUninstallList + other, kUninstallList + prefix});
    SetString(HKEY_LOCAL_MACHINE, kUninstallList + other, "UninstallString", "C:\\Other\\uninst.exe");
    SetString(HKEY_LOCAL_MACHINE, kUninstallList + prefix, "UninstallString",
              State().WindowsFolder + "UNRAVEL.EXE \"" + dir_ / "app2\\UNSETUP.INI\"");
    for (const std::string& entry : {other, prefix}) {
        WriteRecord(Section("DeleteFile", "File", {app_ + "UNSETUP.INI"}) + "[UnSetupRegistryKey]\r\nKey=" +
                    kUninstallList + entry + "\r\n");
        view_.ExpectAsk("情報", kDetailsQuestion, 52, IDYES);
        Run();
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallList + entry)) << entry;
        EXPECT_NE(std::string::npos,
                  view_.detailsText.find("<Registry> HKEY_LOCAL_MACHINE\\" + kUninstallList + entry +
                                         "\r\nこの登録は他のプログラムのもの"))
            << ToUtf8(view_.detailsText);
    }
    // The same entry once its command names this folder's record goes.
    SetString(HKEY_LOCAL_MACHINE, kUninstallList + other, "UninstallString",
              State().WindowsFolder + "UNRAVEL.EXE \"" + app_ + "unsetup.ini\"");
    WriteRecord(Section("DeleteFile", "File", {app_ + "UNSETUP.INI"}) + "[UnSetupRegistryKey]\r\nKey=" +
                kUninstallList + other + "\r\n");
    Run();
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallList + other));
}

TEST_F(UninstallRunTest, UnknownFolderStopsBeforeAnything) {
    for (const std::string& folder : {std::string(""), std::string("\\")}) {
        dir_.Write("app\\prog.exe", "x");
        WriteRecord(Section("DeleteFile", "File", {app_ + "prog.exe"}));
        TestRunView view;
        view.options = OptionBoxes(folder, true, true);
        view.ExpectAsk("致命的エラー", kU + "フォルダが不明です。\r\n" + kU + "は続行できません。", 16, IDOK);
        RunUninstall(view);
        EXPECT_TRUE(dir_.Exists("app\\prog.exe"));
        const std::vector<std::string> events = {"Options", "Ask"};
        EXPECT_EQ(events, view.events) << "the wizard stays as it was";
    }
}

// ---- Associations ----

TEST_F(UninstallRunTest, AssociationsAreRestoredAndOtherProgramsDataIsKept) {
    ScratchKeys classes(HKEY_CLASSES_ROOT, {".rvta", "rvta_auto_file", ".rvtb", "rvtb_auto_file", ".rvtc",
                                            "rvtc_auto_file", ".rvtd", "rvtd_auto_file", ".rvte", "rvte_auto_file",
                                            "OldType", "OtherApp.File"});
    // a: had "OldType"; another program keeps its list of openers there.
    SetString(HKEY_CLASSES_ROOT, ".rvta", "", "rvta_auto_file");
    SetString(HKEY_CLASSES_ROOT, ".rvta\\OpenWithProgids", "OldType", "");
    SetString(HKEY_CLASSES_ROOT, "rvta_auto_file\\shell\\open\\command", "", "app.exe %1");
    // b: had no value; another program's ShellNew lives there.
    SetString(HKEY_CLASSES_ROOT, ".rvtb", "", "rvtb_auto_file");
    SetString(HKEY_CLASSES_ROOT, ".rvtb\\ShellNew", "NullFile", "");
    SetString(HKEY_CLASSES_ROOT, "rvtb_auto_file", "", "ours");
    // c: had nothing; only our value is there.
    SetString(HKEY_CLASSES_ROOT, ".rvtc", "", "rvtc_auto_file");
    SetString(HKEY_CLASSES_ROOT, "rvtc_auto_file", "", "ours");
    // d: another program took the extension after our installation.
    SetString(HKEY_CLASSES_ROOT, ".rvtd", "", "OtherApp.File");
    SetString(HKEY_CLASSES_ROOT, "rvtd_auto_file", "", "ours, not named any more");
    // e: recorded before our installation as our own class already.
    SetString(HKEY_CLASSES_ROOT, ".rvte", "", "rvte_auto_file");
    SetString(HKEY_CLASSES_ROOT, "rvte_auto_file", "", "from the first installation");
    WriteRecord(Section("DeleteFile", "File", {app_ + "UNSETUP.INI"}) +
                Section("RestoreRelate", "Key", {"rvta,OldType", "rvtb,", "rvtc,", "rvtd,Foreign", "RVTE,rvte_auto_file"}));
    Run();

    EXPECT_EQ("OldType", GetString(HKEY_CLASSES_ROOT, ".rvta", ""));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ".rvta\\OpenWithProgids"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "rvta_auto_file"));
    EXPECT_EQ("<none>", GetString(HKEY_CLASSES_ROOT, ".rvtb", ""));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, ".rvtb\\ShellNew"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "rvtb_auto_file"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, ".rvtc"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "rvtc_auto_file"));
    EXPECT_EQ("OtherApp.File", GetString(HKEY_CLASSES_ROOT, ".rvtd", ""));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "rvtd_auto_file")) << "the extension no longer named it";
    EXPECT_EQ("rvte_auto_file", GetString(HKEY_CLASSES_ROOT, ".rvte", ""));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "rvte_auto_file"));
    EXPECT_EQ(ToUtf8(StatusOf({"なし", "完了", "完了", "完了", "完了", "完了", "完了", "完了"})),
              ToUtf8(view_.LastStatus()));
}


// ---- After a run that was cut short ----

// The progress file beside the record says an earlier run on it was cut
// short: what that run removed is no failure now. Anyone may have written
// that file, so it enables nothing: a class the extension does not name
// stays (no run of ours leaves one behind: it goes before the extension).
TEST_F(UninstallRunTest, AfterARunCutShortWhatIsGoneIsNoFailureAndTheProgressFileEnablesNothing) {
    ScratchKeys classes(HKEY_CLASSES_ROOT, {".rvtf", "rvtf_auto_file", ".rvtg", "rvtg_auto_file"});
    SetString(HKEY_CLASSES_ROOT, "rvtf_auto_file", "", "ours");  // ".rvtf" already gone
    SetString(HKEY_CLASSES_ROOT, ".rvtg", "", "OldType");        // already put back
    SetString(HKEY_CLASSES_ROOT, "rvtg_auto_file", "", "ours");
    WriteRecord(Section("DeleteFile", "File", {app_ + "GONE.TXT", app_ + "UNSETUP.INI"}) +
                Section("DeleteShortCut", "File", {app_ + "Gone.lnk"}) +
                Section("DeleteFolder", "Folder", {app_ + "gone\\"}) +
                Section("RestoreRelate", "Key", {"rvtf,", "rvtg,OldType"}));
    dir_.Write("app\\UNSETUP.RUN", "[UnSetupRegistryKey]\r\nKey=\r\n");
    Run();

    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "rvtf_auto_file"));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "rvtg_auto_file"));
    EXPECT_EQ("OldType", GetString(HKEY_CLASSES_ROOT, ".rvtg", ""));
    EXPECT_FALSE(FileExistsAt(app_ + "UNSETUP.INI"));
    EXPECT_FALSE(FileExistsAt(app_ + "UNSETUP.RUN")) << "the progress file goes with the record";
    EXPECT_FALSE(FolderExistsAt(app_));
    EXPECT_EQ(ToUtf8(StatusOf({"なし", "完了", "完了", "完了", "完了", "完了", "完了", "完了"})),
              ToUtf8(view_.LastStatus()));
}

// Without the progress file the same record is a first run: the missing
// file is a failure and a class the extension does not name stays.
TEST_F(UninstallRunTest, WithoutTheProgressFileAMissingFileFailsAndAnUnnamedClassStays) {
    ScratchKeys classes(HKEY_CLASSES_ROOT, {".rvtf", "rvtf_auto_file"});
    SetString(HKEY_CLASSES_ROOT, "rvtf_auto_file", "", "ours");
    WriteRecord(Section("DeleteFile", "File", {app_ + "GONE.TXT", app_ + "UNSETUP.INI"}) +
                Section("RestoreRelate", "Key", {"rvtf,"}));
    view_.ExpectAsk("情報", "一部の処理が失敗しました。", 52, IDNO);
    Run();

    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "rvtf_auto_file"));
    EXPECT_FALSE(FileExistsAt(app_ + "UNSETUP.INI"));
    EXPECT_FALSE(FileExistsAt(app_ + "UNSETUP.RUN")) << "made for the run, gone with the record";
    EXPECT_EQ(ToUtf8(StatusOf({"なし", "一部失敗", "完了", "完了", "完了", "完了", "完了", "完了"}, true)),
              ToUtf8(view_.LastStatus()));
}

// ---- Consistency after a failure

namespace {

// The SharedDLLs key closed to writing while the object lives, as a limited
// user finds it on the NT family; its own list of rights comes back after.
class SharedCountsClosed {
public:
    SharedCountsClosed() {
        RegKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, SharedDllsKey(), 0, READ_CONTROL | WRITE_DAC, key.put()) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, nullptr, &size);
        saved_.resize(size);
        if (!size || RegGetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS)
            return;
        PSECURITY_DESCRIPTOR closed = nullptr;  // no value set, no key made, by anyone
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(D;;0x6;;;WD)(A;;KA;;;WD)", SDDL_REVISION_1,
                                                                  &closed, nullptr))
            return;
        set_ = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, closed) == ERROR_SUCCESS;
        LocalFree(closed);
    }
    ~SharedCountsClosed() {
        RegKey key;
        if (set_ && RegOpenKeyExA(HKEY_LOCAL_MACHINE, SharedDllsKey(), 0, WRITE_DAC, key.put()) == ERROR_SUCCESS)
            RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, saved_.data());
    }
    SharedCountsClosed(const SharedCountsClosed&) = delete;
    SharedCountsClosed& operator=(const SharedCountsClosed&) = delete;
    bool enforced() const {
        RegKey probe;
        return set_ && RegOpenKeyExA(HKEY_LOCAL_MACHINE, SharedDllsKey(), 0, KEY_SET_VALUE, probe.put()) != ERROR_SUCCESS;
    }

private:
    std::vector<BYTE> saved_;
    bool set_ = false;
};

}  // namespace

// The record held open by another program: the entry stays to start the
// uninstall again, and so does the progress file, so that the next run does
// not take the shared count down a second time.
TEST_F(UninstallRunTest, ARecordThatCannotBeDeletedKeepsItsEntryAndItsProgressFile) {
    const std::string entry = Unique("RvRecordHeld");
    ScratchKeys cleanup(HKEY_LOCAL_MACHINE, {kUninstallList + entry});
    SetString(HKEY_LOCAL_MACHINE, kUninstallList + entry, "UninstallString",
              State().WindowsFolder + "UNRAVEL.EXE \"" + app_ + "UNSETUP.INI\"");
    dir_.Write("app\\LIB.DLL", "x");
    SharedCount count(app_ + "LIB.DLL", 2);
    WriteRecord(Section("DeleteFile", "File", {app_ + "LIB.DLL,/S", app_ + "UNSETUP.INI"}) +
                "[UnSetupRegistryKey]\r\nKey=" + kUninstallList + entry + "\r\n");
    {
        FileLocker lock(app_ + "UNSETUP.INI");
        ASSERT_TRUE(lock.ok());
        view_.ExpectAsk("情報", kDetailsQuestion, 52, IDNO);
        Run();
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallList + entry));
        EXPECT_TRUE(FileExistsAt(app_ + "UNSETUP.RUN")) << "the progress file went while the record stayed";
    }
    EXPECT_EQ(1, CountOf(app_ + "LIB.DLL"));
    TestRunView again;  // from the entry once more: no shared-file question
    again.options = OptionBoxes(app_, false, false);
    again.ExpectAsk("情報", kDetailsQuestion, 52, IDYES);  // the kept library holds the folder
    RunUninstall(again);
    EXPECT_EQ(0u, again.detailsText.find("<SetupFolder> ")) << ToUtf8(again.detailsText);
    EXPECT_EQ(1, CountOf(app_ + "LIB.DLL")) << "taken down a second time";
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallList + entry));
    EXPECT_FALSE(FileExistsAt(app_ + "UNSETUP.RUN"));
}

// (App)*.* and option patterns on the install folder itself take neither
// the record nor the progress file before their own stage: no failure.
TEST_F(UninstallRunTest, PatternsOnTheInstallFolderNeverTakeTheRecordOrTheProgressFile) {
    for (const char* f : {"app\\a.ini", "app\\b.txt", "app\\sub\\c.txt"}) dir_.Write(f, "x");
    WriteRecord(Section("DeleteFolder", "Folder", {app_}) + Section("DeleteFile", "File", {app_ + "UNSETUP.INI"}) +
                Section("AddDeleteFile", "File", {app_ + "*.*"}));
    view_.options = OptionBoxes(app_, true, false, "UNSETUP.*", true);
    Run();
    EXPECT_FALSE(FolderThere(app_));
    EXPECT_EQ(ToUtf8(StatusOf({"なし", "完了", "完了", "完了", "完了", "完了", "完了", "完了"})),
              ToUtf8(view_.LastStatus()));
}

// Where the counts may not be written: the file stays, its count too, and
// the run goes on to its end with a failure entry in either section.
TEST_F(UninstallRunTest, ACountThatCannotBeLoweredIsAFailureEntryAndTheFileStays) {
    dir_.Write("app\\LIB.DLL", "x");
    dir_.Write("app\\EXTRA.DLL", "x");
    SharedCount lib(app_ + "LIB.DLL", 2), extra(app_ + "EXTRA.DLL", 1);
    WriteRecord(Section("DeleteFile", "File", {app_ + "LIB.DLL,/S", app_ + "UNSETUP.INI"}) +
                Section("AddDeleteFile", "File", {app_ + "EXTRA.DLL,/S"}));
    SharedCountsClosed closed;
    if (!closed.enforced()) GTEST_SKIP() << "the registry here does not enforce key security";
    view_.ExpectAsk("情報", kDetailsQuestion, 52, IDYES);
    Run();
    EXPECT_TRUE(dir_.Exists("app\\LIB.DLL"));
    EXPECT_TRUE(dir_.Exists("app\\EXTRA.DLL"));
    EXPECT_EQ(2, CountOf(app_ + "LIB.DLL"));
    const std::string why = SysErrorText(ERROR_ACCESS_DENIED) + "(追加情報)共有ファイルの参照カウントを減らせなかったため";
    for (const char* name : {"LIB.DLL", "EXTRA.DLL"})
        EXPECT_NE(std::string::npos, view_.detailsText.find("<File> " + app_ + name + "\r\n" + why))
            << ToUtf8(view_.detailsText);
    EXPECT_EQ("EndRun", view_.events.back());
}

// A run cut short after its record: finishing it takes the entries that
// start this record and no other, whatever key the progress file (anyone's
// to write) names, and counts what it could not remove.
TEST_F(UninstallRunTest, FinishingARunCutShortTakesOnlyItsRecordsEntriesAndCountsWhatStays) {
    const std::string ours = Unique("RvCutOurs"), theirs = Unique("RvCutTheirs");
    ScratchKeys cleanup(HKEY_LOCAL_MACHINE, {kUninstallList + ours, kUninstallList + theirs});
    SetString(HKEY_LOCAL_MACHINE, kUninstallList + ours, "UninstallString",
              State().WindowsFolder + "UNRAVEL.EXE \"" + app_ + "UNSETUP.INI\"");
    SetString(HKEY_LOCAL_MACHINE, kUninstallList + theirs, "UninstallString", "C:\\Other\\uninst.exe");
    dir_.Write("app\\UNSETUP.RUN", "[UnSetupRegistryKey]\r\nKey=" + kUninstallList + theirs + "\r\n");
    {
        FileLocker lock(app_ + "UNSETUP.RUN");
        ASSERT_TRUE(lock.ok());
        const std::optional<RunOutcome> held = FinishCutShortUninstall(app_ + "UNSETUP.INI");
        ASSERT_TRUE(held.has_value());
        EXPECT_EQ(1, held->failures) << ToUtf8(held->failureLog);
        EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallList + ours));
        EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kUninstallList + theirs));
    }
    const std::optional<RunOutcome> done = FinishCutShortUninstall(app_ + "UNSETUP.INI");
    ASSERT_TRUE(done.has_value());
    EXPECT_EQ(0, done->failures) << ToUtf8(done->failureLog);
    EXPECT_FALSE(FolderThere(app_));
    EXPECT_FALSE(FinishCutShortUninstall(app_ + "UNSETUP.INI").has_value()) << "nothing left to finish";
}
