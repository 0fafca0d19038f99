// The unattended mode through the real program: SETUP.EXE and UNRAVEL.EXE
// started with /S, their exit codes, their /LOG files and what they leave
// in the prefix. No window may ever show: a visible window of the process
// (a message box included) fails the test, and a box waiting for an answer
// would never let the process end.
#include <windows.h>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "Driver.h"
#include "SampleKit.h"
#include "TestSupport.h"
#include "app/uIniFile.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "record/Digests.h"
#include "ui/resource.h"

using namespace e2e;

namespace {

const std::string kKeyName = "RavelinSilentTest";
const std::string kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + kKeyName;

struct SilentRun {
    DWORD code = 0xFFFFFFFF;
    bool ended = false;
    std::string window;  // class of a visible window of the process, if one showed
    std::string log;     // the /LOG file afterwards
};

struct WindowSearch {
    DWORD pid;
    std::string found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    search->found = name;
    return FALSE;
}

// Starts the command line exactly as given and waits for the end, looking
// for windows all the while.
SilentRun RunCommandLine(std::string commandLine, const std::string& logPath = "") {
    SilentRun run;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << ToUtf8(commandLine) << ": error " << GetLastError();
        return run;
    }
    KernelObject process(pi.hProcess), thread(pi.hThread);
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 60000) {
        WindowSearch search{pi.dwProcessId, {}};
        EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
        if (!search.found.empty() && run.window.empty()) run.window = search.found;
        if (WaitForSingleObject(process.get(), 20) == WAIT_OBJECT_0) {
            run.ended = true;
            break;
        }
    }
    if (!run.ended) {
        ADD_FAILURE() << "still running after 60 s: " << ToUtf8(commandLine);
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 5000);
    }
    GetExitCodeProcess(process.get(), &run.code);
    if (!logPath.empty()) run.log = ReadFileBytes(logPath);
    EXPECT_EQ("", run.window) << "a window showed during " << ToUtf8(commandLine);
    return run;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A package of its own: a script, a few files, its key removed afterwards.
class SilentPackage : public ::testing::Test {
protected:
    void TearDown() override {
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kKey.c_str());
        DropRecordDigest(app_ + "UNSETUP.INI");
    }
    void Script(const std::string& sections) {
        dist_.WriteScript("[Title]\r\nSetup=静かなテスト\r\nUnSetupKey=" + kKeyName + "\r\n" + sections);
    }
    SilentRun Install(const std::string& switches = "") {
        return RunCommandLine(Quoted(dist_.exe()) + " /S " + Quoted("/LOG=" + log_) +
                                  (switches.empty() ? "" : " " + switches) + " " + Quoted("/D=" + app_),
                              log_);
    }
    void AddChecker(const std::string* config) {
        const std::string fixture = BinFolder() + "rvchecker.exe";
        CreateDirectoryA((dist_.path() + "check").c_str(), nullptr);
        ASSERT_TRUE(CopyFileA(fixture.c_str(), (dist_.path() + "check\\rvchecker.exe").c_str(), FALSE));
        if (config) dist_.Write("check\\rvchecker.cfg", *config);
    }
    bool CheckerRan() const { return FileExistsAt(dist_.path() + "check\\rvchecker.log"); }

    Distribution dist_;
    ScratchFolder target_;
    ScratchFolder logs_;
    const std::string app_ = target_.path() + "静かなアプリ\\";
    const std::string log_ = logs_.path() + "install.log";
};

const char kFiles[] = "[CopyFile]\r\nFile1=(App)\\ONE.TXT\r\nFile2=(App)\\TWO.TXT\r\n";

TEST_F(SilentPackage, DoneWithFailuresAndTheLogNamesThem) {
    Script(std::string(kFiles) + "File3=(App)\\MISSING.DAT\r\n");
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    const SilentRun run = Install();
    EXPECT_EQ(1u, run.code);
    EXPECT_TRUE(FileExistsAt(app_ + "ONE.TXT"));
    EXPECT_TRUE(FileExistsAt(app_ + "TWO.TXT"));
    const std::string& log = run.log;
    EXPECT_TRUE(Has(log, "[開始] Ravelin Setup ")) << ToUtf8(log);
    EXPECT_TRUE(Has(log, "[コマンドライン] " + Quoted(dist_.exe()) + " /S")) << ToUtf8(log);
    EXPECT_TRUE(Has(log, "[質問] 「フォルダ作成」 " + app_)) << "the missing folder was created";
    EXPECT_TRUE(Has(log, "→ 回答: はい (サイレント既定)"));
    EXPECT_TRUE(Has(log, "[項目] コピー 元: " + dist_.path() + "ONE.TXT 先: " + app_ + "ONE.TXT 結果: 完了 コード: 0"))
        << ToUtf8(log);
    EXPECT_TRUE(Has(log, "[項目] コピー 元: " + dist_.path() + "MISSING.DAT 先: " + app_ +
                             "MISSING.DAT 結果: コピー元なし コード: 2"))
        << ToUtf8(log);
    EXPECT_TRUE(Has(log, "[状況] ファイルをコピーしています．．．一部失敗"));
    EXPECT_TRUE(Has(log, "[失敗ログ] <File> " + dist_.path() + "MISSING.DAT")) << ToUtf8(log);
    EXPECT_TRUE(Has(log, "[終了コード] 1\r\n")) << ToUtf8(log);
    // Lines of the log end in CR LF only.
    for (size_t p = log.find('\n'); p != std::string::npos; p = log.find('\n', p + 1)) {
        ASSERT_GT(p, 0u);
        ASSERT_EQ('\r', log[p - 1]) << "a bare LF at " << p;
    }

    // The uninstaller removes it all again, without a window.
    const SilentRun un = RunCommandLine(Quoted(WindowsFolder() + "UNRAVEL.EXE") + " " + Quoted(app_ + "UNSETUP.INI") +
                                        " /s /log=" + Quoted(logs_.path() + "un.log"),
                                        logs_.path() + "un.log");
    EXPECT_EQ(0u, un.code) << ToUtf8(un.log);
    EXPECT_FALSE(FolderExistsAt(app_));
}

TEST_F(SilentPackage, RestartNeededGives3010AndNothingRestarts) {
    Script(std::string(kFiles) + "[ExecuteFile]\r\nFile=WINDOWS_REBOOT\r\n");
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    const SilentRun run = Install();
    EXPECT_EQ(3010u, run.code) << ToUtf8(run.log);
    EXPECT_TRUE(Has(run.log, "再起動せずに")) << "the choice that does not restart: " << ToUtf8(run.log);
    EXPECT_TRUE(FileExistsAt(app_ + "UNSETUP.INI"));
}

TEST_F(SilentPackage, TheCheckerRunsAndItsRefusalStopsBeforeAnyChange) {
    Script(std::string(kFiles) + "[Extend]\r\nInstallChecker=check\\rvchecker.exe\r\n");
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    const std::string refuse = "[CheckResult]\r\nResult=Stop\r\nMessage=古い版が動いています\r\n";
    AddChecker(&refuse);
    const SilentRun run = Install();
    EXPECT_EQ(2u, run.code);
    EXPECT_TRUE(CheckerRan());
    EXPECT_TRUE(Has(run.log, "古い版が動いています")) << ToUtf8(run.log);
    EXPECT_FALSE(FolderExistsAt(app_));
}

TEST_F(SilentPackage, TheCheckerAllowsAndTheRunAfterProgramIsNotStarted) {
    Script(std::string(kFiles) + "[Extend]\r\nInstallChecker=check\\rvchecker.exe\r\n");
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    const std::string allow = "[CheckResult]\r\nResult=ContinueInstall\r\n";
    AddChecker(&allow);
    const SilentRun run = Install();
    EXPECT_EQ(0u, run.code) << ToUtf8(run.log);
    EXPECT_TRUE(CheckerRan());
    EXPECT_TRUE(FileExistsAt(app_ + "ONE.TXT"));

    // A second package whose run-after program is the checker: never started.
    ScratchFolder other;
    Distribution second;
    second.WriteScript("[Title]\r\nSetup=後で実行\r\n[CopyFile]\r\nFile1=(App)\\ONE.TXT\r\n[ExecuteFile]\r\nFile=" +
                       dist_.path() + "check\\rvchecker.exe\r\n");
    second.Write("ONE.TXT", "1");
    DeleteFileA((dist_.path() + "check\\rvchecker.log").c_str());
    const SilentRun after = RunCommandLine(Quoted(second.exe()) + " /S " + Quoted("/D=" + other.path() + "app"));
    EXPECT_EQ(0u, after.code);
    // Started before the install ended, the checker would have left its log
    // by now or still be running (it waits before it ends).
    EXPECT_FALSE(CheckerRan() || RunningProcessId("rvchecker.exe")) << "the run-after program was started";
}

TEST_F(SilentPackage, StoppedBeforeAnyChangeGives2) {
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    // The operating system refused by the package (every name it can have).
    Script(std::string(kFiles) +
           "[Extend]\r\nRejectOS=Windows 95,Windows 98,Windows 98<SE>,Windows Me,Windows NT4.0,Windows 2000,"
           "Windows XP,Windows 2003,Windows Vista,Windows NT Technology,Unknown Windows\r\n");
    SilentRun run = Install();
    EXPECT_EQ(2u, run.code) << ToUtf8(run.log);
    EXPECT_TRUE(Has(run.log, "プログラム配布者により認められていません")) << ToUtf8(run.log);
    EXPECT_FALSE(FolderExistsAt(app_));

    // A previous installation found by the strict test.
    Script(std::string(kFiles) + "[Caution]\r\nUnInstallCheckEx=OLD.EXE\r\n");
    target_.Write("静かなアプリ\\OLD.EXE", "old");
    run = Install();
    EXPECT_EQ(2u, run.code) << ToUtf8(run.log);
    EXPECT_FALSE(FileExistsAt(app_ + "ONE.TXT"));
    RemoveTree(app_);

    // The free space of a drive that does not exist is unknown.
    Script(kFiles);
    run = RunCommandLine(Quoted(dist_.exe()) + " /S /LOG=" + Quoted(log_) + " /D=Q:\\nowhere\\app", log_);
    EXPECT_EQ(2u, run.code) << ToUtf8(run.log);
    EXPECT_TRUE(Has(run.log, "「空き容量チェックエラー」")) << ToUtf8(run.log);
    EXPECT_TRUE(Has(run.log, "→ 回答: いいえ (サイレント既定)"));

    // The folder cannot be created: a file stands where a folder must go.
    target_.Write("blocker", "a file");
    run = RunCommandLine(Quoted(dist_.exe()) + " /S /LOG=" + Quoted(log_) + " " +
                             Quoted("/D=" + target_.path() + "blocker\\app"),
                         log_);
    EXPECT_EQ(2u, run.code) << ToUtf8(run.log);
    EXPECT_TRUE(Has(run.log, "フォルダの作成に失敗しました")) << ToUtf8(run.log);
}

TEST_F(SilentPackage, AMissingNextDiskStopsAfterChangesAndTheLogListsWhatWasMade) {
    Script("[CopyFile]\r\nFile1=(App)\\ONE.TXT\r\nFile2=(Dch)(App)\\DISK2.DAT\r\n");
    dist_.Write("ONE.TXT", "1");
    const SilentRun run = Install();
    EXPECT_EQ(3u, run.code) << ToUtf8(run.log);
    EXPECT_TRUE(FileExistsAt(app_ + "ONE.TXT")) << "what was made stays";
    EXPECT_TRUE(Has(run.log, "[項目] コピー 元: " + dist_.path() + "ONE.TXT")) << ToUtf8(run.log);
    EXPECT_TRUE(Has(run.log, "「ディスク交換」 2枚目のディスクに交換してください。 → 回答: キャンセル")) << ToUtf8(run.log);
    RemoveTree(app_);
}

TEST_F(SilentPackage, NewerFilesWinAndWEntriesAlwaysCopy) {
    Script("[CopyFile]\r\nFile1=(App)\\ONE.TXT\r\nFile2=(App)\\TWO.TXT,/W\r\n");
    dist_.Write("ONE.TXT", "package");
    dist_.Write("TWO.TXT", "package");
    target_.Write("静かなアプリ\\ONE.TXT", "newer");
    target_.Write("静かなアプリ\\TWO.TXT", "newer");
    // Both installed copies are newer than the package's.
    SYSTEMTIME later;
    GetSystemTime(&later);
    later.wYear += 1;
    FILETIME time;
    SystemTimeToFileTime(&later, &time);
    for (const char* name : {"ONE.TXT", "TWO.TXT"}) {
        FileHandle file(CreateFileA((app_ + name).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(file && SetFileTime(file.get(), nullptr, nullptr, &time));
    }
    const SilentRun run = Install();
    EXPECT_EQ(0u, run.code) << ToUtf8(run.log);
    EXPECT_EQ("newer", ReadFileBytes(app_ + "ONE.TXT"));
    EXPECT_EQ("package", ReadFileBytes(app_ + "TWO.TXT"));
    EXPECT_TRUE(Has(run.log, app_ + "ONE.TXT 結果: 既存のファイルを残す")) << ToUtf8(run.log);
    RemoveTree(app_);
}

TEST_F(SilentPackage, CannotStartBadCommandLineAndAnotherSetup) {
    // No script beside the program.
    SilentRun run = Install();
    EXPECT_EQ(4u, run.code);
    EXPECT_TRUE(Has(run.log, "iniファイル読み込み失敗")) << ToUtf8(run.log);
    // No record where the uninstaller is told to look.
    run = RunCommandLine(Quoted(dist_.exe()) + " " + Quoted(target_.path() + "gone\\UNSETUP.INI") + " /S");
    EXPECT_EQ(4u, run.code);

    Script(kFiles);
    for (const std::string& bad : {std::string("/S /X"), std::string("/S /D="), std::string("/Q"), std::string("/S /D=MyApp"),
                                   Quoted(target_.path() + "UNSETUP.INI") + " /S /D=C:\\x"}) {
        run = RunCommandLine(Quoted(dist_.exe()) + " /LOG=" + Quoted(log_) + " " + bad, log_);
        EXPECT_EQ(87u, run.code) << bad;
        EXPECT_TRUE(Has(run.log, "[終了コード] 87")) << bad << ": " << ToUtf8(run.log);
    }
    EXPECT_FALSE(FolderExistsAt(app_));

    // Another setup holds the single-instance mutex.
    {
        KernelObject other(CreateMutexA(nullptr, FALSE, "RAVSETUP"));
        ASSERT_TRUE(other);
        run = Install();
        EXPECT_EQ(1618u, run.code);
        EXPECT_TRUE(Has(run.log, "[終了コード] 1618")) << ToUtf8(run.log);
        EXPECT_FALSE(FolderExistsAt(app_));
    }
    // Its mutex grants this program nothing (made under another account):
    // it is there all the same.
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    alignas(DWORD) BYTE aclBytes[64];
    ACL* acl = reinterpret_cast<ACL*>(aclBytes);
    InitializeAcl(acl, sizeof aclBytes, ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
    KernelObject other(CreateMutexA(&attributes, FALSE, "RAVSETUP"));
    ASSERT_TRUE(other);
    run = Install();
    EXPECT_EQ(1618u, run.code) << ToUtf8(run.log);
    EXPECT_FALSE(FolderExistsAt(app_));
}

// The value as RegQueryValueExA gives it, without its terminating zero.
std::string LocalMachineString(const std::string& key, const char* name) {
    RegKey handle;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, handle.put()) != ERROR_SUCCESS) return {};
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(handle.get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return {};
    return data;
}

unsigned long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The sample package installed by /S and removed by its QuietUninstallString
// started as written: the prefix as before, apart from what stays on
// purpose: the uninstaller and the program-ID list (as after the wizard),
// and the shared library RVSAMPLE.DLL with the install folder holding it,
// which /S keeps where the wizard would ask.
TEST(SilentSampleE2E, InstalledAndRemovedWithoutAWindowTheSystemIsAsBefore) {
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the snapshot is taken with Wine's Unix side";
    Distribution dist;
    CopySample(dist);
    ScratchFolder target;
    ScratchFolder logs;
    const std::string app = target.path() + "Ravelin Sample\\";
    SampleLeftovers leftovers(app);
    DeleteFileA((WindowsFolder() + "UNRAVEL.EXE").c_str());
    const std::string key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RavelinSample";
    const std::string before = PrefixSnapshot();
    ASSERT_NE(std::string::npos, before.find("./windows/system32\n")) << "the snapshot lists no files";

    const SilentRun install = RunCommandLine(Quoted(dist.exe()) + " /S /LOG=" + Quoted(logs.path() + "in.log") +
                                                 " " + Quoted("/D=" + app),
                                             logs.path() + "in.log");
    ASSERT_EQ(0u, install.code) << ToUtf8(install.log);
    // The licence is accepted by whoever started /S; the association asked
    // for is made; the run-after program of the sample is not started.
    EXPECT_TRUE(Has(install.log, "「使用許諾契約書」 " + dist.path() + "LICENSE.TXT → 回答: 同意する (/S の呼び出し元)"))
        << ToUtf8(install.log);
    EXPECT_TRUE(Has(install.log, "「関連付けの確認」 拡張子 *.rvsample")) << ToUtf8(install.log);
    EXPECT_TRUE(Has(UnixCommandOutput("wine reg query 'HKCR\\.rvsample'"), "rvsample_auto_file"));
    // Every item is in the log, and what was not done is not told as done.
    EXPECT_TRUE(Has(install.log, "[項目] INIファイル 先: " + WindowsFolder() + "RVSAMPLE.INI [Settings] Language 結果: 完了"))
        << ToUtf8(install.log);
    EXPECT_TRUE(Has(install.log, "[項目] 関連付け 元: ")) << ToUtf8(install.log);
    EXPECT_TRUE(Has(install.log, "[状況] 終了後のプログラムは実行しません: " + app + "SAMPLE.EXE")) << ToUtf8(install.log);
    EXPECT_TRUE(FileExistsAt(app + "SAMPLE.EXE"));
    // Shortcut boxes take their states from the script: all three made.
    EXPECT_EQ(3, [&] {
        int n = 0;
        for (size_t p = install.log.find("[項目] ショートカット 元:"); p != std::string::npos;
             p = install.log.find("[項目] ショートカット 元:", p + 1))
            ++n;
        return n;
    }());

    // The new values as the system's own tool reads them.
    const std::string query = UnixCommandOutput("wine reg query 'HKLM\\" + key + "'");
    const std::string quiet = WindowsFolder() + "UNRAVEL.EXE \"" + app + "UNSETUP.INI\" /S";
    EXPECT_TRUE(Has(query, "QuietUninstallString    REG_EXPAND_SZ    ")) << query;
    EXPECT_TRUE(Has(query, "InstallLocation    REG_SZ    ")) << query;
    EXPECT_TRUE(Has(query, "NoModify    REG_DWORD    0x1")) << query;
    EXPECT_TRUE(Has(query, "NoRepair    REG_DWORD    0x1")) << query;
    SYSTEMTIME today;
    GetLocalTime(&today);
    char date[16];
    wsprintfA(date, "%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
    EXPECT_TRUE(Has(query, std::string("InstallDate    REG_SZ    ") + date)) << query;
    unsigned long long bytes = 0;
    for (const char* file : {"SAMPLE.EXE", "README.TXT", "MANUAL.TXT", "ソフト情報.TXT", "docs\\ポケットガイド.htm",
                             "データ\\表示設定.INI", "RVSAMPLE.DLL", "UNREADME.TXT"})
        bytes += FileSize(app + file);
    char size[32];
    wsprintfA(size, "EstimatedSize    REG_DWORD    0x%x", static_cast<unsigned>((bytes + 1023) / 1024));
    EXPECT_TRUE(Has(query, size)) << size << "\n" << query;
    EXPECT_EQ(quiet, LocalMachineString(key, "QuietUninstallString"));
    EXPECT_EQ(app, LocalMachineString(key, "InstallLocation"));

    // Started exactly as a deployment tool starts it.
    const SilentRun remove = RunCommandLine(LocalMachineString(key, "QuietUninstallString"));
    EXPECT_EQ(0u, remove.code);
    EXPECT_FALSE(FileExistsAt(app + "SAMPLE.EXE"));
    EXPECT_FALSE(FileExistsAt(app + "UNSETUP.INI"));
    // Kept on purpose: the library no other program counts any more.
    EXPECT_TRUE(FileExistsAt(app + "RVSAMPLE.DLL"));
    EXPECT_EQ("", LocalMachineString(key, "DisplayName")) << "the entry is gone with all its values";
    EXPECT_EQ("", LocalMachineString(key, "QuietUninstallString"));

    const std::string after = PrefixSnapshot();
    EXPECT_EQ(before, after) << "left behind:\n" << Missing(after, before) << "\nremoved:\n" << Missing(before, after);
    EXPECT_TRUE(FileExistsAt(WindowsFolder() + "UNRAVEL.EXE"));
}

// A record changed after its install (a line added where any user may
// write): /S does nothing, ends with 4 and says why in the log. Put back as
// the install wrote it, the record is followed again, under any spelling.
TEST_F(SilentPackage, AChangedRecordIsRefusedWithFourAndNothingDone) {
    Script(kFiles);
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    ASSERT_EQ(0u, Install().code);
    const std::string record = app_ + "UNSETUP.INI", unLog = logs_.path() + "un.log";
    const std::string original = ReadFileBytes(record);
    ASSERT_TRUE(WriteFileBytes(record, original + "[BeforeUnInstall]\r\nFile=..\\..\\x.exe\r\n"));
    const std::string uninstaller = Quoted(WindowsFolder() + "UNRAVEL.EXE") + " ";
    SilentRun un = RunCommandLine(uninstaller + Quoted(record) + " /S /LOG=" + Quoted(unLog), unLog);
    EXPECT_EQ(4u, un.code) << ToUtf8(un.log);
    EXPECT_TRUE(FileExistsAt(app_ + "ONE.TXT"));
    EXPECT_TRUE(Has(un.log, record + ": インストール時に保存された確認用の値と内容が一致しません。")) << ToUtf8(un.log);

    ASSERT_TRUE(WriteFileBytes(record, original));
    // Another case wherever it does not decide the mode (the file name does).
    std::string spelling = "c" + app_.substr(1) + "UNSETUP.INI";
    spelling.replace(spelling.find("\\rvtest\\"), 8, "\\RvTest\\");
    un = RunCommandLine(uninstaller + Quoted(spelling) + " /S /LOG=" + Quoted(unLog), unLog);
    EXPECT_EQ(0u, un.code) << ToUtf8(un.log);
    EXPECT_FALSE(FolderExistsAt(app_));
}

// What a standard user may do while the elevated uninstall runs the
// package's own program first: write the run's working copy of the record.
// The run reads the record once, at its start: the forged entries are never
// seen.
TEST_F(SilentPackage, AWorkingCopyRewrittenWhileTheRunWaitsIsNeverRead) {
    const std::string forged = logs_.path() + "forged.ini";
    Script(std::string(kFiles) + "File3=(App)\\FORGE.EXE\r\n[BeforeUnInstall]\r\nFile=FORGE.EXE,forge " + forged + "\r\n");
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    ASSERT_TRUE(CopyFileA((BinFolder() + "sysops_child.exe").c_str(), (dist_.path() + "FORGE.EXE").c_str(), FALSE));
    ASSERT_EQ(0u, Install().code);
    ScratchFolder victim;
    victim.Write("VICTIM.TXT", "someone else's");
    std::string record = ReadFileBytes(app_ + "UNSETUP.INI");
    const size_t section = record.find("[DeleteFile]\r\n");
    ASSERT_NE(std::string::npos, section) << ToUtf8(record);
    record.insert(section + 14, "File1=" + victim.path() + "VICTIM.TXT\r\n");
    ASSERT_TRUE(WriteFileBytes(forged, record));

    const std::string unLog = logs_.path() + "un.log";
    const SilentRun un = RunCommandLine(Quoted(WindowsFolder() + "UNRAVEL.EXE") + " " + Quoted(app_ + "UNSETUP.INI") +
                                            " /S /LOG=" + Quoted(unLog),
                                        unLog);
    ASSERT_NE("0", ReadFileBytes(forged + ".done")) << "the copy was rewritten: " << ToUtf8(un.log);
    EXPECT_EQ("someone else's", victim.Read("VICTIM.TXT")) << ToUtf8(un.log);
    EXPECT_FALSE(FileExistsAt(app_ + "ONE.TXT"));
}

// A preview starts nothing and deletes nothing it did not make: not the
// author's checker, not a result file that was there, not another start's
// working folder.
TEST_F(SilentPackage, APreviewStartsNoCheckerAndLeavesWhatItDidNotMake) {
    Script(std::string(kFiles) + "[Extend]\r\nInstallChecker=check\\rvchecker.exe\r\n");
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    const std::string allow = "[CheckResult]\r\nResult=ContinueInstall\r\n";
    AddChecker(&allow);
    const std::string result = WindowsFolder() + "RVRESULT.INI", leftover = TempFolder() + "RVTMP77\\";
    ASSERT_TRUE(WriteFileBytes(result, "[CheckResult]\r\nResult=Someone else's\r\n"));
    CreateDirectoryA(leftover.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(leftover + "SETUP.INI", "[Title]\r\n"));
    const SilentRun run =
        RunCommandLine(Quoted(dist_.exe()) + " /PREVIEW /LOG=" + Quoted(log_) + " " + Quoted("/D=" + app_), log_);
    EXPECT_EQ(0u, run.code) << ToUtf8(run.log);
    EXPECT_FALSE(CheckerRan());
    EXPECT_TRUE(Has(run.log, "事前チェックプログラムは実行しません: " + dist_.path() + "check\\rvchecker.exe")) << ToUtf8(run.log);
    EXPECT_EQ("[CheckResult]\r\nResult=Someone else's\r\n", ReadFileBytes(result));
    EXPECT_TRUE(FileExistsAt(leftover + "SETUP.INI"));
    EXPECT_FALSE(FolderExistsAt(app_));
    DeleteFileA(result.c_str());
    DeleteFileA((leftover + "SETUP.INI").c_str());
    RemoveDirectoryA(leftover.c_str());
}

// /LOG without /S: the wizard as before, and the log has the box the person
// answered and the exit code.
TEST_F(SilentPackage, TheWizardWritesTheLogToo) {
    Script(std::string(kFiles) +
           "[Extend]\r\nRejectOS=Windows 95,Windows 98,Windows 98<SE>,Windows Me,Windows NT4.0,Windows 2000,"
           "Windows XP,Windows 2003,Windows Vista,Windows NT Technology,Unknown Windows\r\n");
    {
        SetupProcess setup(dist_.exe(), Quoted("/LOG=" + log_));
        MessageBoxView box = setup.WaitForMessageBox("the refusal of the operating system", 60000);
        EXPECT_EQ(ToUtf8("警告"), ToUtf8(box.caption));
        setup.Answer(box, IDOK);
        ASSERT_TRUE(setup.WaitForWizard());
        ASSERT_TRUE(setup.WaitUntil([&] { return setup.Enabled(IDC_btnEnd) && !setup.Enabled(IDC_btnEvent); },
                                    "only the end button"));
        setup.Press(IDC_btnEnd);
        ASSERT_TRUE(setup.WaitForExit(20000));
        EXPECT_EQ(2u, setup.ExitCode()) << "stopped before any change, as /S says it";
    }
    const std::string log = ReadFileBytes(log_);
    EXPECT_TRUE(Has(log, "「警告」 このオペレーティングシステムへの")) << ToUtf8(log);
    EXPECT_TRUE(Has(log, "→ 回答: OK (利用者)")) << ToUtf8(log);
    EXPECT_TRUE(Has(log, "[終了コード] 2\r\n")) << ToUtf8(log);
}

// ---- A full disk (a small memory drive R:) ----

// The lines of the log of one kind, in order, without their time stamps.
std::vector<std::string> LogLines(const std::string& log, const std::string& kind) {
    std::vector<std::string> lines;
    const std::string tag = "[" + kind + "] ";
    for (size_t at = log.find(tag); at != std::string::npos; at = log.find(tag, at + 1)) {
        const size_t start = at + tag.size();
        lines.push_back(log.substr(start, log.find("\r\n", start) - start));
    }
    return lines;
}

// Names of the files directly in the folder.
std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA((folder + "*").c_str(), &data));
    if (!find) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
    } while (FindNextFileA(find.get(), &data));
    return names;
}

// The system's reason for a full disk as the failure log words it (one
// line, without its line end).
std::string DiskFullReason(unsigned long code) {
    std::string text = SysErrorText(code);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
    return text;
}

// Short of space by the byte count, /S stops before anything is written.
// Files that pass that count but still do not fit (each takes whole pages
// of the drive) are failures each, with the system's reason, and leave no
// cut file behind; the record lists exactly the whole files, and the
// uninstall that the entry starts removes them all, and the entry.
TEST_F(SilentPackage, OnAFullDriveWhatDidNotFitIsAFailureAndWhatFitIsUninstalled) {
    SmallDrive drive;
    if (!drive.ok()) GTEST_SKIP() << "mounting a small drive needs root";
    const unsigned long long free = SmallDrive::FreeBytes();
    ASSERT_GE(free, 512u * 1024) << "the drive's free space";
    const std::string app = std::string(SmallDrive::kRoot) + "静かなアプリ\\";
    const std::string command = Quoted(dist_.exe()) + " /S /LOG=" + Quoted(log_) + " " + Quoted("/D=" + app);

    dist_.Write("BIG.DAT", std::string(static_cast<size_t>(free), 'b'));
    Script("[CopyFile]\r\nFile1=(App)\\BIG.DAT\r\n");
    SilentRun run = RunCommandLine(command, log_);
    EXPECT_EQ(2u, run.code) << ToUtf8(run.log);
    EXPECT_TRUE(Has(run.log, "[質問] 「空き容量チェックエラー」 ディスクの空き容量が不足しているため、エラーになる可能性が"
                             "あります。 / このままインストールを続行しますか？ → 回答: いいえ (サイレント既定)"))
        << ToUtf8(run.log);
    EXPECT_FALSE(Has(run.log, "「フォルダ作成」")) << "asked before the folder";
    EXPECT_FALSE(FolderExistsAt(app));
    // Its preview answers the same and shows the same end.
    run = RunCommandLine(Quoted(dist_.exe()) + " /PREVIEW /LOG=" + Quoted(log_) + " " + Quoted("/D=" + app), log_);
    EXPECT_EQ(2u, run.code) << ToUtf8(run.log);
    EXPECT_TRUE(Has(run.log, "「空き容量チェックエラー」")) << ToUtf8(run.log);
    EXPECT_TRUE(Has(run.log, "続行しますか？ → 回答: いいえ")) << ToUtf8(run.log);
    EXPECT_FALSE(FolderExistsAt(app));

    // A first file of one byte, then files of three pages and a byte: a cut
    // file of three pages comes before the empty ones.
    const size_t pageFiles = static_cast<size_t>(free / 4096 / 4 + 6);
    const std::string whole(3 * 4096 + 1, 'w');
    ASSERT_LT(1 + pageFiles * whole.size(), free) << "the byte count must pass the check";
    std::string entries = "[CopyFile]\r\nFile1=(App)\\FIRST.TXT\r\n";
    dist_.Write("FIRST.TXT", "1");
    std::vector<std::string> names;
    for (size_t i = 1; i <= pageFiles; ++i) {
        const std::string name = "F" + std::to_string(100 + i) + ".DAT";
        dist_.Write(name, whole);
        names.push_back(name);
        entries += "File" + std::to_string(i + 1) + "=(App)\\" + name + "\r\n";
    }
    Script(entries);
    run = RunCommandLine(command, log_);
    EXPECT_EQ(1u, run.code) << ToUtf8(run.log);
    EXPECT_EQ("1", ReadFileBytes(app + "FIRST.TXT"));
    ASSERT_TRUE(FileExistsAt(app + "UNSETUP.INI")) << ToUtf8(run.log);
    std::vector<std::string> recorded;
    for (int n = 1;; ++n) {
        const std::string value = IniRead("DeleteFile", "File" + std::to_string(n), "", app + "UNSETUP.INI");
        if (value.empty()) break;
        recorded.push_back(value);
    }
    const std::vector<std::string> failures = LogLines(run.log, "失敗ログ");
    const std::string reason = DiskFullReason(ERROR_DISK_FULL);
    int fit = 0, failed = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string path = app + name;
        const bool listed = std::find(recorded.begin(), recorded.end(), path) != recorded.end();
        const auto failure = std::find(failures.begin(), failures.end(), "<File> " + path);
        if (FileExistsAt(path)) {
            ++fit;
            EXPECT_TRUE(ReadFileBytes(path) == whole) << "a cut file under the name of a whole one";
            EXPECT_TRUE(listed);
            EXPECT_TRUE(failure == failures.end());
        } else {
            ++failed;
            EXPECT_FALSE(listed) << "recorded, but not there";
            ASSERT_TRUE(failure != failures.end()) << ToUtf8(run.log);
            ASSERT_TRUE(failure + 1 != failures.end());
            EXPECT_EQ(ToUtf8(reason), ToUtf8(failure[1])) << "the system's reason";
        }
    }
    EXPECT_GT(fit, 0);
    EXPECT_GT(failed, 1);
    EXPECT_EQ(static_cast<size_t>(fit) + 2, recorded.size()) << "FIRST.TXT, the whole files and the record";
    EXPECT_TRUE(Has(run.log, "[状況] ファイルをコピーしています．．．一部失敗")) << ToUtf8(run.log);

    const std::string quiet = LocalMachineString(kKey, "QuietUninstallString");
    ASSERT_EQ(WindowsFolder() + "UNRAVEL.EXE \"" + app + "UNSETUP.INI\" /S", quiet);
    const SilentRun un = RunCommandLine(quiet + " /LOG=" + Quoted(logs_.path() + "un.log"), logs_.path() + "un.log");
    EXPECT_EQ(0u, un.code) << ToUtf8(un.log);
    EXPECT_FALSE(FolderExistsAt(app)) << ToUtf8(un.log);
    EXPECT_EQ("", LocalMachineString(kKey, "DisplayName")) << "the entry is gone";
    RegKey gone;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, KEY_READ, gone.put()));
}

// The files fit and the record does not: the log says so plainly, lists
// what was installed and everything the record would have held, and never
// calls a file created that is not there.
TEST_F(SilentPackage, ARecordThatDoesNotFitIsReportedAndNeverAnnouncedAsCreated) {
    SmallDrive drive;
    if (!drive.ok()) GTEST_SKIP() << "mounting a small drive needs root";
    const unsigned long long free = SmallDrive::FreeBytes();
    ASSERT_GE(free, 64u * 1024) << "the drive's free space";
    const std::string app = std::string(SmallDrive::kRoot) + "静かなアプリ\\";
    // Fewer bytes than are free, but every page of the drive.
    dist_.Write("FILL.DAT", std::string(static_cast<size_t>(free - 4095), 'f'));
    Script("[CopyFile]\r\nFile1=(App)\\FILL.DAT\r\n");
    const SilentRun run =
        RunCommandLine(Quoted(dist_.exe()) + " /S /LOG=" + Quoted(log_) + " " + Quoted("/D=" + app), log_);
    EXPECT_EQ(1u, run.code) << ToUtf8(run.log);
    EXPECT_EQ(free - 4095, FileSize(app + "FILL.DAT"));
    EXPECT_EQ(std::vector<std::string>{"FILL.DAT"}, FilesIn(app)) << "no record, no fallback, no temporary file";

    const std::string& log = run.log;
    const std::string told = "インストールフォルダに「UNSETUP.INI」を保存できませんでした。 / " + DiskFullReason(ERROR_DISK_FULL) +
                             " / このままでは正常にアンインストールできません。";
    EXPECT_TRUE(Has(log, "[質問] 「警告」 " + told + " → 回答: OK (サイレント既定)")) << ToUtf8(log);
    EXPECT_TRUE(Has(log, "[失敗ログ] <SetupFile> " + app + "UNSETUP.INI\r\n")) << ToUtf8(log);
    EXPECT_TRUE(Has(log, "[項目] コピー 元: " + dist_.path() + "FILL.DAT 先: " + app + "FILL.DAT 結果: 完了 コード: 0"))
        << ToUtf8(log);
    const std::vector<std::string> unsaved = LogLines(log, "保存できなかった記録");
    const std::vector<std::string> expected = {"[DeleteFile]", "File1=" + app + "FILL.DAT",
                                               "File2=" + app + "UNSETUP.INI", "Key=" + kKey};
    for (const std::string& line : expected)
        EXPECT_TRUE(std::find(unsaved.begin(), unsaved.end(), std::string(line)) != unsaved.end())
            << ToUtf8(line) << "\n" << ToUtf8(log);
    EXPECT_FALSE(Has(log, "を作成しました")) << ToUtf8(log);
    EXPECT_FALSE(Has(log, "UNTMP")) << ToUtf8(log);
    EXPECT_TRUE(Has(log, "[状況] アンインストール情報を更新しています．．．失敗")) << ToUtf8(log);
    RemoveTree(app);
}

// ---- Exit codes that tell the truth ----

// The record could not take its place as UNSETUP.INI: the uninstall cannot
// read it, so the install failed, and no Add/Remove Programs entry points to
// a record that is not there.
TEST_F(SilentPackage, ARecordSavedOnlyUnderAnotherNameIsAFailureAndRegistersNothing) {
    Script(kFiles);
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    target_.Write("静かなアプリ\\UNSETUP.INI", "[Title]\r\nUnSetup=他の記録\r\n");
    ASSERT_TRUE(SetFileAttributesA((app_ + "UNSETUP.INI").c_str(), FILE_ATTRIBUTE_READONLY));
    const SilentRun run = Install();
    EXPECT_EQ(1u, run.code) << ToUtf8(run.log);
    EXPECT_TRUE(FileExistsAt(app_ + "UNTMP1.INI"));
    EXPECT_TRUE(Has(run.log, "[失敗ログ] <SetupFile> " + app_ + "UNSETUP.INI")) << ToUtf8(run.log);
    EXPECT_EQ("", LocalMachineString(kKey, "UninstallString")) << "an entry for a record that is not there";
    SetFileAttributesA((app_ + "UNSETUP.INI").c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveTree(app_);
}

// A library that does not register is installed but does not work.
TEST_F(SilentPackage, AFailedSelfRegistrationIsAFailure) {
    Script("[CopyFile]\r\nFile1=(App)\\ONE.TXT\r\nFile2=(App)\\REG.DLL,/R\r\n");
    dist_.Write("ONE.TXT", "1");
    ASSERT_TRUE(CopyFileA((BinFolder() + "sysops_selfreg_fail.dll").c_str(), (dist_.path() + "REG.DLL").c_str(), FALSE));
    const SilentRun run = Install();
    EXPECT_EQ(1u, run.code) << ToUtf8(run.log);
    EXPECT_TRUE(Has(run.log, "[失敗ログ] <File> " + app_ + "REG.DLL")) << ToUtf8(run.log);
    RemoveTree(app_);
}

// A registry key that cannot be made (a name longer than the system takes)
// ends the run where it happened, through the exception the registry
// writer raises and the run catches by its type: so the shipped program,
// optimised as a whole and with the library's error hooks replaced, still
// throws and catches as the test programs do. What was made stays.
TEST_F(SilentPackage, ARegistryKeyThatCannotBeMadeEndsTheRunWithItsMessage) {
    const std::string tooLong(300, 'k');
    Script(std::string(kFiles) + "[Registry]\r\nKey1=(Cuser)Software\\" + tooLong + "\r\nName1=x\r\nValue1=(Str)y\r\n");
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    const SilentRun run = Install();
    EXPECT_EQ(3u, run.code) << ToUtf8(run.log);
    EXPECT_TRUE(Has(run.log, "[質問] 「Ravelin Setup」 ｷｰ Software\\" + tooLong + " の作成に失敗しました"))
        << ToUtf8(run.log);
    EXPECT_FALSE(Has(run.log, "予期しないエラー")) << ToUtf8(run.log);
    EXPECT_TRUE(FileExistsAt(app_ + "ONE.TXT"));
    RemoveTree(app_);
}

// A file in use whose deletion waits for the restart is the only work left:
// 3010, and the restart does it.
TEST_F(SilentPackage, AnUninstallWhoseOnlyOpenWorkWaitsForTheRestartGives3010) {
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "restart processing is Wine's";
    const std::string held = target_.path() + "held\\";
    CreateDirectoryA(held.c_str(), nullptr);
    Script(std::string(kFiles) + "File3=" + held + "RVLOCK.TXT,/F\r\n");
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    dist_.Write("RVLOCK.TXT", "held");
    ASSERT_EQ(0u, Install().code);
    FileLocker lock(held + "RVLOCK.TXT");
    ASSERT_TRUE(lock.ok());
    const std::string quiet = LocalMachineString(kKey, "QuietUninstallString");
    const SilentRun un = RunCommandLine(quiet + " /LOG=" + Quoted(logs_.path() + "un.log"), logs_.path() + "un.log");
    EXPECT_EQ(3010u, un.code) << ToUtf8(un.log);
    EXPECT_TRUE(Has(un.log, held + "RVLOCK.TXT 結果: 再起動時に削除")) << ToUtf8(un.log);
    EXPECT_FALSE(FolderExistsAt(app_));
    lock.Release();
    EXPECT_TRUE(FileExistsAt(held + "RVLOCK.TXT")) << "deleted before the restart";
    UnixCommandOutput("wine wineboot -r", 120000);
    EXPECT_FALSE(FileExistsAt(held + "RVLOCK.TXT")) << "the restart completes the uninstall";
}

// No log, no run: a /LOG= that cannot be made stops everything before any
// change, with the system installer's code for it and, for a person, a box.
TEST_F(SilentPackage, ALogThatCannotBeMadeStopsBeforeAnyChange) {
    Script(kFiles);
    dist_.Write("ONE.TXT", "1");
    dist_.Write("TWO.TXT", "2");
    const std::string badLog = logs_.path() + "missing\\install.log";
    SilentRun run = RunCommandLine(Quoted(dist_.exe()) + " /S /LOG=" + Quoted(badLog) + " " + Quoted("/D=" + app_));
    EXPECT_EQ(1622u, run.code);
    EXPECT_FALSE(FolderExistsAt(app_));
    {
        SetupProcess setup(dist_.exe(), Quoted("/LOG=" + badLog));
        const MessageBoxView box = setup.WaitForMessageBox("the log that cannot be made");
        EXPECT_EQ(ToUtf8("エラー"), ToUtf8(box.caption));
        EXPECT_TRUE(Has(box.text, badLog)) << ToUtf8(box.text);
        setup.Answer(box, IDOK);
        ASSERT_TRUE(setup.WaitForExit(kWaitMs));
        EXPECT_EQ(1622u, setup.ExitCode());
    }
    // A log over the script would empty it before it is read.
    const std::string script = ReadFileBytes(dist_.path() + "SETUP.INI");
    run = RunCommandLine(Quoted(dist_.exe()) + " /S /LOG=" + Quoted(dist_.path() + "setup.ini") + " " +
                         Quoted("/D=" + app_));
    EXPECT_EQ(87u, run.code);
    EXPECT_EQ(script, ReadFileBytes(dist_.path() + "SETUP.INI"));
    EXPECT_FALSE(FolderExistsAt(app_));
}

}  // namespace
