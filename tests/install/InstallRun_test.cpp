#include "install/InstallRun.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "InstallTestKit.h"
#include "app/uIniFile.h"
#include "platform/Handles.h"
#include "record/Digests.h"
#include "sysops/Deletion.h"
#include "sysops/HeldFile.h"
#include "sysops/PathNames.h"
#include "sysops/Registry.h"
#include "sysops/SharedDlls.h"
#include "sysops/Shell.h"
#include "uninstall/UninstallRun.h"

namespace {

const std::string kS = "インストール";

std::string Bin(const std::string& name) {
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path(self);
    return path.substr(0, path.rfind('\\') + 1) + name;
}

std::string RecordValue(const std::string& folder, const char* section, const std::string& key) {
    return IniRead(section, key, "<none>", folder + "UNSETUP.INI");
}

void SetWriteTime(const std::string& path, WORD year) {
    SYSTEMTIME st = {};
    st.wYear = year;
    st.wMonth = 6;
    st.wDay = 1;
    st.wHour = 12;
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
}

// Lines of the status text that ended with a result word.
bool HasLine(const std::string& status, const std::string& line) {
    return status.find(line + "\r\n") != std::string::npos;
}

}  // namespace

// ---- A whole run ----

TEST(InstallRunWhole, EveryStageRunsInOrderAndTheRecordListsWhatWasMade) {
    InstallFixture f;
    TestRegKey reg;
    f.Source("README.TXT", "readme");
    f.Source("TOOL.EXE", "tool");
    f.Source("docs\\guide.htm", "guide");
    f.Source("表.DAT", "dbcs");
    f.Script("[CopyFile]\r\nFile1=(App)\\README.TXT\r\nFile2=(App)\\TOOL.EXE,/S\r\n"
             "File3=(App)\\DATA\\guide.htm|(From)\\docs\\guide.htm\r\nFile4=(App)\\DATA\\表.DAT|ポ.DAT\r\n"
             "[MakeFolder]\r\nFolder1=(App)\\DATA\r\nFolder2=(App)\\DATA\\LOG\r\n"
             "[ShortCut]\r\nMake1=(App)\\TOOL.EXE\r\nMake2=(App)\\README.TXT\r\nName2=(Dsk)Read me\r\n"
             "Make3=(App)\\TOOL.EXE,/x\r\nName3=Tools\\Tool,(App)DATA\r\n"
             "[Registry]\r\nKey1=" + reg.subkey() + "\r\nName1=Path\r\nValue1=(Str)(App)(Pdd)\r\n"
             "Key2=(Cuser)\\" + reg.subkey() + "\\Sub\\\r\nName2=Count\r\nValue2=(Dwd)12\r\n"
             "[IniFile]\r\nData1=Options,Path,(App),(Win)App.ini\r\n"
             "[DeleteRegistry]\r\nKey1=(Cuser)" + reg.subkey() + "\r\n"
             "[AddDeleteFile]\r\nFile1=(App)*.LOG\r\n"
             "[ProgramID]\r\nID=RVTEST\r\n[Extend]\r\nUnSetupOption=0,1,0,0\r\n");
    TestView view;
    view.options.folderText = f.App();
    view.options.boxes[1].checked = true;  // start menu; the desktop box stays unchecked
    view.Expect("フォルダ作成", "このフォルダは存在しません。", IDYES);
    RunInstall(view);

    const std::string app = f.App();
    EXPECT_EQ("readme", ReadFileBytes(app + "README.TXT"));
    EXPECT_EQ("guide", ReadFileBytes(app + "DATA\\guide.htm"));
    EXPECT_EQ("dbcs", ReadFileBytes(app + "DATA\\ポ.DAT"));
    EXPECT_TRUE(FileExistsAt(f.s.ProgramsFolder + "TOOL.EXE.lnk"));
    EXPECT_FALSE(FileExistsAt(f.s.DesktopFolder + "Read me.lnk")) << "its box was not checked";
    EXPECT_TRUE(FileExistsAt(f.s.ProgramsFolder + "Tools\\Tool.lnk")) << "no macro: always made";
    std::string value;
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "Path", value));
    EXPECT_EQ(app.substr(0, app.size() - 1), value);
    EXPECT_EQ(app, IniRead("Options", "Path", "", f.s.WindowsFolder + "App.ini"));
    EXPECT_EQ(app, IniRead("RVTEST", "Folder", "", f.s.WindowsFolder + "RVSET98.INI"));
    EXPECT_TRUE(FileExistsAt(f.s.WindowsFolder + "UNRAVEL.EXE"));
    EXPECT_EQ(1, AdjustSharedDllCount(app + "TOOL.EXE", false) + 1) << "counted once by the run";

    // The record: this run's folders, files (the record itself last),
    // shortcuts, the script's lists, options and the registration key.
    EXPECT_EQ(app + "DATA\\", RecordValue(app, "DeleteFolder", "Folder1"));
    EXPECT_EQ(app + "DATA\\LOG\\", RecordValue(app, "DeleteFolder", "Folder2"));
    EXPECT_EQ(app + "README.TXT", RecordValue(app, "DeleteFile", "File1"));
    EXPECT_EQ(app + "TOOL.EXE,/S", RecordValue(app, "DeleteFile", "File2"));
    EXPECT_EQ(app + "DATA\\guide.htm", RecordValue(app, "DeleteFile", "File3"));
    EXPECT_EQ(ToUtf8(app + "DATA\\ポ.DAT"), ToUtf8(RecordValue(app, "DeleteFile", "File4")));
    EXPECT_EQ(app + "UNSETUP.INI", RecordValue(app, "DeleteFile", "File5"));
    EXPECT_EQ(f.s.ProgramsFolder + "TOOL.EXE.lnk", RecordValue(app, "DeleteShortCut", "File1"));
    EXPECT_EQ(f.s.ProgramsFolder + "Tools\\Tool.lnk", RecordValue(app, "DeleteShortCut", "File2"));
    EXPECT_EQ("<none>", RecordValue(app, "DeleteShortCut", "File3"));
    EXPECT_EQ("(Cuser)" + reg.subkey(), RecordValue(app, "DeleteRegistry", "Key1"));
    EXPECT_EQ(app + "*.LOG", RecordValue(app, "AddDeleteFile", "File1"));
    EXPECT_EQ("0,1,0,0", RecordValue(app, "UnSetupOption", "CheckBox"));
    EXPECT_EQ(f.KeyPath(), RecordValue(app, "UnSetupRegistryKey", "Key"));
    EXPECT_EQ("RVTEST", RecordValue(app, "ProgramID", "ID"));
    EXPECT_TRUE(ReadRegistryString(HKEY_LOCAL_MACHINE, f.KeyPath(), "UninstallString", value));
    EXPECT_EQ(f.s.WindowsFolder + "UNRAVEL.EXE \"" + app + "UNSETUP.INI\"", value);

    // One status line per step, each with its result word.
    const std::string status = view.Status();
    for (const std::string& line :
         {kS + "の情報を作成しています．．．完了", kS + "に必要な容量を調べています．．．完了",
          std::string("ディスクの空き容量をチェックしています．．．完了"), kS + "フォルダをチェックしています．．．完了",
          std::string("フォルダを作成しています．．．完了"), std::string("ファイルをコピーしています．．．完了"),
          std::string("ショートカットを作成しています．．．完了"), std::string("レジストリキーを作成しています．．．完了"),
          std::string("INIファイルを設定しています．．．完了"), std::string("関連付けを設定しています．．．なし"),
          std::string("アンインストール情報を更新しています．．．完了")})
        EXPECT_TRUE(HasLine(status, line)) << ToUtf8(line) << "\n" << ToUtf8(status);
    EXPECT_NE(std::string::npos, status.find("【処理完了】"));
    EXPECT_EQ(std::vector<std::string>({"(1/4)", "(2/4)", "(3/4)", "(4/4)"}), view.counts);
    EXPECT_EQ(100, view.percents.back());
    EXPECT_EQ(1, view.nextWaits);
    ASSERT_TRUE(view.completionShown);
    EXPECT_EQ(ToUtf8(kS + "を完了しました。"), ToUtf8(view.page.message));
    EXPECT_EQ(ToUtf8("インストーラを終了します。(&Y)"), ToUtf8(view.page.choice1));
    EXPECT_EQ("", view.page.choice2);
    EXPECT_EQ(1, view.endRuns);
    AdjustSharedDllCount(app + "TOOL.EXE", false);
}

// ---- Files ----

TEST(InstallRunFiles, TheOverwriteQuestionAndTheNewerWinsRule) {
    InstallFixture f;
    f.Source("A.TXT", "new a");
    f.Source("B.TXT", "new b");
    f.Source("C.TXT", "new c");
    f.Source("D.TXT", "new d");
    CreateDirectoryA(f.App().c_str(), nullptr);
    for (const char* name : {"A.TXT", "B.TXT", "C.TXT", "D.TXT"}) WriteFileBytes(f.App() + name, "old");
    f.Script("[CopyFile]\r\nFile1=(App)\\A.TXT\r\nFile2=(App)\\B.TXT,/W\r\nFile3=(App)\\C.TXT\r\n"
             "File4=(App)\\D.TXT\r\n");
    {
        // Asked for every existing file; "/W" overrules a No.
        TestView view;
        view.options.folderText = f.App();
        view.options.overWrite = false;
        view.Expect("上書き確認", "A.TXT", IDNO).Expect("上書き確認", "B.TXT", IDNO);
        view.Expect("上書き確認", "C.TXT", IDYES).Expect("上書き確認", "D.TXT", IDNO);
        RunInstall(view);
        EXPECT_EQ("old", ReadFileBytes(f.App() + "A.TXT"));
        EXPECT_EQ("new b", ReadFileBytes(f.App() + "B.TXT"));
        EXPECT_EQ("new c", ReadFileBytes(f.App() + "C.TXT"));
        // A file left alone is still the package's: it is recorded.
        EXPECT_EQ(f.App() + "A.TXT", RecordValue(f.App(), "DeleteFile", "File1"));
    }
    // Automatic: the newer file wins, by real times (a date from 2050 is
    // later than today, not "negative").
    for (const char* name : {"A.TXT", "B.TXT", "C.TXT", "D.TXT"}) WriteFileBytes(f.App() + name, "old");
    SetWriteTime(f.App() + "A.TXT", 2050);
    SetWriteTime(f.App() + "B.TXT", 2050);
    SetWriteTime(f.App() + "C.TXT", 1999);
    SetWriteTime(f.s.SourceFolder + "D.TXT", 2001);
    SetWriteTime(f.App() + "D.TXT", 2001);
    TestView view;
    view.options.folderText = f.App();
    RunInstall(view);
    EXPECT_EQ("old", ReadFileBytes(f.App() + "A.TXT")) << "newer destination kept";
    EXPECT_EQ("new b", ReadFileBytes(f.App() + "B.TXT")) << "/W always copies";
    EXPECT_EQ("new c", ReadFileBytes(f.App() + "C.TXT")) << "older destination replaced";
    EXPECT_EQ("old", ReadFileBytes(f.App() + "D.TXT")) << "same date kept";
}

TEST(InstallRunFiles, TheNextDiskIsAskedForUntilItsFileIsThereAndCancelStops) {
    InstallFixture f;
    f.Source("ONE.TXT", "1");
    f.Script("[CopyFile]\r\nFile1=(App)\\ONE.TXT\r\nFile2=(Dch)(App)\\TWO.TXT\r\n");
    CreateDirectoryA(f.App().c_str(), nullptr);
    {
        TestView view;
        view.options.folderText = f.App();
        view.Expect("ディスク交換", "2枚目のディスクに交換してください。", IDOK);
        view.Expect("ディスク交換", "2枚目", IDOK, [&] { f.Source("TWO.TXT", "2"); });
        RunInstall(view);
        EXPECT_EQ("2", ReadFileBytes(f.App() + "TWO.TXT"));
        EXPECT_EQ(1, view.endRuns);
    }
    DeleteFileA((f.s.SourceFolder + "TWO.TXT").c_str());
    DeleteFileA((f.App() + "TWO.TXT").c_str());
    DeleteFileA((f.App() + "UNSETUP.INI").c_str());
    TestView view;
    view.options.folderText = f.App();
    view.Expect("ディスク交換", "2枚目", IDCANCEL).Expect("致命的エラー", kS + "を続行できませんでした。", IDOK);
    RunInstall(view);
    EXPECT_EQ(1, view.endRuns);
    EXPECT_FALSE(view.completionShown);
    EXPECT_FALSE(FileExistsAt(f.App() + "UNSETUP.INI")) << "a stopped run writes no record";
}

TEST(InstallRunFiles, AMissingSourceIsAFailureTheCounterAndDetailsShow) {
    InstallFixture f;
    f.Source("A.TXT", "a");
    f.Source("C.TXT", "c");
    f.Script("[CopyFile]\r\nFile1=(App)\\A.TXT\r\nFile2=(App)\\B.TXT\r\nFile3=(App)\\C.TXT\r\n");
    CreateDirectoryA(f.App().c_str(), nullptr);
    TestView view;
    view.options.folderText = f.App();
    view.Expect("警告", "詳細を表示しますか？", IDYES);
    RunInstall(view);
    EXPECT_EQ(std::vector<std::string>({"(1/3)", "(2/3)", "(3/3)"}), view.counts);
    // A missing source turns the gauge to counting entries.
    EXPECT_EQ(std::vector<int>({33, 66, 100}), view.percents);
    EXPECT_TRUE(HasLine(view.Status(), "ファイルをコピーしています．．．一部失敗")) << ToUtf8(view.Status());
    EXPECT_EQ(ToUtf8("作成・コピー処理失敗　詳細表示"), ToUtf8(view.detailsCaption));
    EXPECT_EQ(ToUtf8("<File> " + f.s.SourceFolder + "B.TXT\r\nコピー元のファイルが見つかりません。\r\n\r\n"),
              ToUtf8(view.detailsText));
    EXPECT_EQ(f.App() + "C.TXT", RecordValue(f.App(), "DeleteFile", "File2"));
}

TEST(InstallRunFiles, FolderFailuresAndCompressedFilesWithTheirHeaderName) {
    InstallFixture f;
    // The compressed sample names "sample.txt" in its header once the byte
    // the compressor leaves empty holds the last letter.
    std::string packed = ReadFileBytes(Bin("lzdata\\sample.txt_"));
    ASSERT_GT(packed.size(), 10u);
    packed[9] = 't';
    f.Source("SAMPLE.TX_", packed);
    f.Script("[MakeFolder]\r\nFolder1=(App)\\X\\Y\r\nFolder2=(App)\\X\r\n"
             "[CopyFile]\r\nFile1=(App)\\SAMPLE.TX_\r\nFile2=(App)\\X\\SAMPLE.TX_|COPY.TXT\r\n");
    CreateDirectoryA(f.App().c_str(), nullptr);
    TestView view;
    view.options.folderText = f.App();
    view.Expect("警告", "詳細を表示しますか？", IDYES);
    RunInstall(view);
    const std::string original = ReadFileBytes(Bin("lzdata\\sample.txt"));
    EXPECT_EQ(original, ReadFileBytes(f.App() + "SAMPLE.TXT"));
    EXPECT_EQ(original, ReadFileBytes(f.App() + "X\\COPY.TXT"));
    EXPECT_EQ(f.App() + "SAMPLE.TXT", RecordValue(f.App(), "DeleteFile", "File1"));
    // Parents must come first: the child fails with the system's reason,
    // the parent is still made.
    EXPECT_EQ(0u, view.detailsText.find("<Folder> " + f.App() + "X\\Y\\\r\n")) << ToUtf8(view.detailsText);
    EXPECT_EQ(f.App() + "X\\", RecordValue(f.App(), "DeleteFolder", "Folder1"));
    EXPECT_TRUE(HasLine(view.Status(), "フォルダを作成しています．．．一部失敗"));
    EXPECT_FALSE(FileExistsAt(f.s.TempFolder + "EXPAND.RVS")) << "the expansion's temporary file is removed";
}

// ---- What the run writes through, loads and signs ----

// The upper-cased PendingFileRenameOperations, every entry.
std::string PendingRenames() {
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_QUERY_VALUE,
                      key.put()) != ERROR_SUCCESS)
        return {};
    std::string data(65536, '\0');
    DWORD size = static_cast<DWORD>(data.size());
    if (RegQueryValueExA(key.get(), "PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS)
        return {};
    data.resize(size);
    CharUpperBuffA(data.data(), static_cast<DWORD>(data.size()));
    return data;
}

// Only bytes this run wrote, or the package's own, are loaded to register
// and signed for the uninstall: a newer library and a newer program to run
// before uninstalling, planted in the folder before a re-install, are kept
// by the newer-wins rule but neither registered nor signed; a repair over
// equal dates registers and signs the package's bytes.
TEST(InstallRunSigning, OnlyBytesThisRunWroteOrThePackagesOwnAreRegisteredAndSigned) {
    InstallFixture f;
    TestRegKey reg;
    SetEnvironmentVariableA("RV_SELFREG_KEY", reg.subkey().c_str());
    const std::string library = ReadFileBytes(Bin("sysops_selfreg_ok.dll"));
    ASSERT_FALSE(library.empty());
    f.Source("RVLIB.DLL", library);
    f.Source("BEFORE.EXE", "the package's program");
    f.Script("[CopyFile]\r\nFile1=(App)\\RVLIB.DLL,/R\r\nFile2=(App)\\BEFORE.EXE\r\n"
             "[BeforeUnInstall]\r\nFile=BEFORE.EXE\r\n");
    const std::string app = f.App();
    CreateDirectoryA(app.c_str(), nullptr);
    WriteFileBytes(app + "RVLIB.DLL", library + "planted");  // loads as well as the package's
    WriteFileBytes(app + "BEFORE.EXE", "planted program");
    SetWriteTime(app + "RVLIB.DLL", 2050);
    SetWriteTime(app + "BEFORE.EXE", 2050);
    std::string value;
    {
        TestView view;
        view.options.folderText = app;
        view.Expect("警告", "詳細を表示しますか？", IDYES);
        RunInstall(view);
        EXPECT_EQ(library + "planted", ReadFileBytes(app + "RVLIB.DLL")) << "newer wins";
        EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "Registered", value)) << "never loaded";
        EXPECT_FALSE(FileDigestMatches(HeldFile(app + "RVLIB.DLL")));
        EXPECT_FALSE(FileDigestMatches(HeldFile(app + "BEFORE.EXE")));
        EXPECT_NE(std::string::npos, view.detailsText.find("<File> " + app + "RVLIB.DLL\r\n")) << ToUtf8(view.detailsText);
    }
    // A repair: the package's own bytes, dated as the package.
    WriteFileBytes(app + "RVLIB.DLL", library);
    WriteFileBytes(app + "BEFORE.EXE", "the package's program");
    for (const char* name : {"RVLIB.DLL", "BEFORE.EXE"}) {
        SetWriteTime(f.s.SourceFolder + name, 2001);
        SetWriteTime(app + name, 2001);
    }
    TestView view;
    view.options.folderText = app;
    RunInstall(view);
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "Registered", value)) << "registered";
    EXPECT_TRUE(FileDigestMatches(HeldFile(app + "RVLIB.DLL")));
    EXPECT_TRUE(FileDigestMatches(HeldFile(app + "BEFORE.EXE")));
    EXPECT_EQ("", ToUtf8(view.detailsText));
    ForgetFileDigest(app + "RVLIB.DLL");
    ForgetFileDigest(app + "BEFORE.EXE");

    // A first install over an older file of the name: the copy found the
    // name taken and was made again, and what is signed is still exactly
    // the bytes written.
    const std::string fresh = f.root / "fresh\\";
    CreateDirectoryA(fresh.c_str(), nullptr);
    WriteFileBytes(fresh + "RVLIB.DLL", library + "older");
    SetWriteTime(fresh + "RVLIB.DLL", 1999);
    f.Script("[CopyFile]\r\nFile1=(App)\\RVLIB.DLL,/R\r\n");
    TestView first;
    first.options.folderText = fresh;
    RunInstall(first);
    EXPECT_EQ(library, ReadFileBytes(fresh + "RVLIB.DLL"));
    EXPECT_TRUE(FileDigestMatches(HeldFile(fresh + "RVLIB.DLL")));
    EXPECT_EQ("", ToUtf8(first.detailsText));
    ForgetFileDigest(fresh + "RVLIB.DLL");
    SetEnvironmentVariableA("RV_SELFREG_KEY", nullptr);
}

// An install folder that is a link, or lies under one, stops the run before
// anything is made; a sub-folder of the package's that is a link is written
// into by nothing and recorded by nothing.
TEST(InstallRunLinks, ALinkedInstallFolderStopsTheRunAndALinkedSubFolderIsAFailure) {
    InstallFixture f;
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "links are planted from Wine's Unix side";
    f.Source("A.TXT", "a");
    f.Source("B.TXT", "b");
    f.Script("[MakeFolder]\r\nFolder1=(App)\\DATA\r\n[CopyFile]\r\nFile1=(App)\\A.TXT\r\nFile2=(App)\\DATA\\B.TXT\r\n");
    const std::string elsewhere = f.root / "elsewhere\\";
    CreateDirectoryA(elsewhere.c_str(), nullptr);
    {
        PlantedLink link(f.App().substr(0, f.App().size() - 1), elsewhere);
        ASSERT_TRUE(link.ok());
        TestView view;
        view.options.folderText = f.App();
        view.Expect("致命的エラー", "リンク", IDOK).Expect(kS + "中止", kS + "を続行できませんでした。", IDOK);
        RunInstall(view);
        EXPECT_EQ(1, view.endRuns);
        EXPECT_FALSE(FileExistsAt(elsewhere + "A.TXT")) << "nothing written through the link";
        EXPECT_FALSE(FileExistsAt(elsewhere + "UNSETUP.INI"));
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, f.KeyPath()));
    }
    {
        // Under a link: the folder below it does not exist yet, and would be
        // made through it.
        PlantedLink link(f.root / "linked", elsewhere);
        ASSERT_TRUE(link.ok());
        TestView view;
        view.options.folderText = f.root / "linked\\App\\";
        view.Expect("致命的エラー", "リンク", IDOK).Expect(kS + "中止", kS + "を続行できませんでした。", IDOK);
        RunInstall(view);
        EXPECT_FALSE(FolderExistsAt(elsewhere + "App"));
    }
    CreateDirectoryA(f.App().c_str(), nullptr);
    PlantedLink data(f.App() + "DATA", elsewhere);
    ASSERT_TRUE(data.ok());
    TestView view;
    view.options.folderText = f.App();
    view.Expect("警告", "詳細を表示しますか？", IDYES);
    RunInstall(view);
    EXPECT_EQ("a", ReadFileBytes(f.App() + "A.TXT"));
    EXPECT_FALSE(FileExistsAt(elsewhere + "B.TXT"));
    EXPECT_NE(std::string::npos, view.detailsText.find("<Folder> " + f.App() + "DATA\\\r\n")) << ToUtf8(view.detailsText);
    EXPECT_NE(std::string::npos, view.detailsText.find("<File> " + f.App() + "DATA\\B.TXT\r\n")) << ToUtf8(view.detailsText);
    EXPECT_EQ("<none>", RecordValue(f.App(), "DeleteFolder", "Folder1"));
    EXPECT_EQ(f.App() + "A.TXT", RecordValue(f.App(), "DeleteFile", "File1"));
    EXPECT_EQ(f.App() + "UNSETUP.INI", RecordValue(f.App(), "DeleteFile", "File2"));
}

// A file in use is replaced at the restart by the whole copy made beside
// it: no second copy in the Windows folder, and the real name keeps the old
// bytes until then.
TEST(InstallRunFiles, AFileInUseIsReplacedAtTheRestartByTheCopyBesideIt) {
    InstallFixture f;
    f.Source("TOOL.EXE", "new tool");
    f.Script("[CopyFile]\r\nFile1=(App)\\TOOL.EXE\r\n");
    CreateDirectoryA(f.App().c_str(), nullptr);
    WriteFileBytes(f.App() + "TOOL.EXE", "old tool");
    SetWriteTime(f.App() + "TOOL.EXE", 1999);
    int restarts = 0;
    TWinReboot::SetExitWindowsFunction([&](UINT, DWORD) {
        ++restarts;
        return TRUE;
    });
    {
        FileHandle running(CreateFileA((f.App() + "TOOL.EXE").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(running);
        TestView view;
        view.options.folderText = f.App();
        RunInstall(view);
        EXPECT_TRUE(HasLine(view.Status(), "ファイルをコピーしています．．．ロックファイルあり")) << ToUtf8(view.Status());
    }
    EXPECT_EQ("old tool", ReadFileBytes(f.App() + "TOOL.EXE"));
    EXPECT_EQ("new tool", ReadFileBytes(f.App() + "TOOL.EXE.RVNEW"));
    std::string upper = f.App() + "TOOL.EXE.RVNEW";
    CharUpperBuffA(upper.data(), static_cast<DWORD>(upper.size()));
    EXPECT_NE(std::string::npos, PendingRenames().find(upper.substr(2))) << "scheduled from beside the file";
    EXPECT_EQ(f.App() + "TOOL.EXE", RecordValue(f.App(), "DeleteFile", "File1"));
    TWinReboot::SetExitWindowsFunction({});
}

// ---- Stops and aborts ----

// ---- Shortcuts ----

// A Name given as a full path is made exactly there, with or without "(" in
// it, and recorded so the uninstall removes it with its folder; a name that
// would put a drive inside the menu folder, or one the uninstall refuses (a
// wildcard), is a failure that makes nothing and records nothing.
TEST(InstallRunShortcuts, AFullPathNameIsTakenAsItStandsAndTheUninstallRemovesIt) {
    InstallFixture f;
    f.Source("TOOL.EXE", "tool");
    const std::string links = f.root / "links\\";
    const std::string parens = f.root / "links (old)\\";
    const std::string programs = f.s.ProgramsFolder;
    f.Script("[CopyFile]\r\nFile1=(App)\\TOOL.EXE\r\n[ShortCut]\r\n"
             "Make1=(App)\\TOOL.EXE\r\nName1=" + links + "Tool,(App)\r\n"
             "Make2=(App)\\TOOL.EXE\r\nName2=" + parens + "Tool\r\n"
             "Make3=(App)\\TOOL.EXE\r\nName3=Tools\\Tool\r\n"
             "Make4=(App)\\TOOL.EXE\r\nName4=(Sta)" + links + "Menu\r\n"
             "Make5=(App)\\TOOL.EXE\r\nName5=C:Tool\r\n"
             "Make6=(App)\\TOOL.EXE\r\nName6=Tools\\T*\r\n");
    TestView view;
    view.options.folderText = f.App();
    view.options.boxes[1].checked = true;
    view.Expect("フォルダ作成", "", IDYES).Expect("警告", "一部の処理が失敗しました", IDYES);
    RunInstall(view);

    const std::string app = f.App();
    EXPECT_TRUE(FileExistsAt(links + "Tool.lnk"));
    EXPECT_TRUE(FileExistsAt(parens + "Tool.lnk"));
    EXPECT_TRUE(FileExistsAt(programs + "Tools\\Tool.lnk")) << "a bare name still goes into the menu";
    EXPECT_EQ(links + "Tool.lnk", RecordValue(app, "DeleteShortCut", "File1"));
    EXPECT_EQ(parens + "Tool.lnk", RecordValue(app, "DeleteShortCut", "File2"));
    EXPECT_EQ(programs + "Tools\\Tool.lnk", RecordValue(app, "DeleteShortCut", "File3"));
    EXPECT_EQ("<none>", RecordValue(app, "DeleteShortCut", "File4"));
    // Nothing of the refused names in the menu: no drive folder, no link.
    std::vector<std::string> inMenu = FolderContents(programs);
    std::sort(inMenu.begin(), inMenu.end());
    EXPECT_EQ((std::vector<std::string>{"Tools", "startup"}), inMenu);
    EXPECT_EQ((std::vector<std::string>{"Tool.lnk"}), FolderContents(programs + "Tools"));
    for (const std::string& refused : {programs + links + "Menu", programs + "C:Tool", programs + "Tools\\T*"})
        EXPECT_NE(std::string::npos, view.detailsText.find("<ShortCut> " + refused + "\r\n作成先が、"))
            << ToUtf8(refused) << "\n" << ToUtf8(view.detailsText);
    EXPECT_TRUE(HasLine(view.Status(), "ショートカットを作成しています．．．一部失敗")) << ToUtf8(view.Status());

    f.s.Mode = "UNSETUP";
    CopyFileA((app + "UNSETUP.INI").c_str(), (f.s.WorkFolder + "UNSETUP.INI").c_str(), FALSE);
    f.s.ScriptFile = f.s.WorkFolder + "UNSETUP.INI";
    f.s.RecordFile = app + "UNSETUP.INI";
    TestView un;
    un.options.folderText = app;
    const RunOutcome outcome = RunUninstall(un);
    EXPECT_EQ(0, outcome.failures) << ToUtf8(outcome.failureLog);
    EXPECT_FALSE(FolderExistsAt(links)) << "the link and its folder are gone";
    EXPECT_FALSE(FolderExistsAt(parens));
    EXPECT_FALSE(FolderExistsAt(programs + "Tools"));
    EXPECT_TRUE(FolderExistsAt(programs));
    EXPECT_FALSE(FolderExistsAt(app));
}

TEST(InstallRunStops, DecliningTheFolderLeavesNothingAndABadFolderTextStaysOnThePage) {
    InstallFixture f;
    f.Source("A.TXT", "a");
    f.Script("[CopyFile]\r\nFile1=(App)\\A.TXT\r\n");
    {
        TestView view;
        view.options.folderText = f.App();
        view.Expect("フォルダ作成", "このフォルダは存在しません。", IDNO)
            .Expect(kS + "中止", kS + "を続行できませんでした。", IDOK);
        RunInstall(view);
        EXPECT_EQ(1, view.endRuns);
        EXPECT_FALSE(FolderExistsAt(f.App())) << "nothing made";
        EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, f.KeyPath()));
    }
    for (const std::string text : {"relative\\App", "..\\x", "\\\\server\\share\\", "C:"}) {
        TestView view;
        view.options.folderText = text;
        view.Expect(kS + "フォルダ", "ドライブ名から始まるフォルダ", IDOK);
        RunInstall(view);
        EXPECT_FALSE(view.wizardHidden) << text << ": the wizard stays on the folder page";
        EXPECT_EQ(0, view.endRuns);
    }
}

TEST(InstallRunStops, AnAbortAtAnyStageMakesNothingMoreAndNoRecord) {
    // Each marker is a status the run shows right before an abort check, or
    // (the last ones) where a press is handled after the stages' last check.
    const struct {
        const char* status;
        bool folderMade, fileCopied, linkMade, valueWritten, iniWritten, recorded;
    } points[] = {
        {"に必要な容量を調べています", false, false, false, false, false, false},
        {"【作成中】", false, false, false, false, false, false},
        {"【作成元】", true, true, false, false, false, false},
        {"レジストリキーを作成しています", true, true, true, false, false, false},
        {"INIファイルを設定しています", true, true, true, true, false, false},
        {"関連付けを設定しています．．．なし", true, true, true, true, true, false},
        // During the record's own stage, which then ends.
        {"情報を更新しています．", true, true, true, true, true, true},
    };
    int restarts = 0;
    TWinReboot::SetExitWindowsFunction([&](UINT, DWORD) {
        ++restarts;
        return TRUE;
    });
    for (const auto& point : points) {
        SCOPED_TRACE(ToUtf8(point.status));
        InstallFixture f;
        TestRegKey reg;
        f.Source("A.TXT", "a");
        f.Script("[MakeFolder]\r\nFolder1=(App)\\DATA\r\n[CopyFile]\r\nFile1=(App)\\A.TXT\r\n"
                 "[ShortCut]\r\nMake1=(App)\\A.TXT\r\nName1=Tools\\A\r\n"
                 "[Registry]\r\nKey1=" + reg.subkey() + "\r\nName1=V\r\nValue1=x\r\n"
                 "[IniFile]\r\nData1=S,K,V,(App)\\A.INI\r\n[ExecuteFile]\r\nFile=WINDOWS_REBOOT\r\n");
        CreateDirectoryA(f.App().c_str(), nullptr);
        TestView view;
        view.options.folderText = f.App();
        view.abortWhenStatusHas = point.status;
        const RunOutcome outcome = RunInstall(view);
        std::string value;
        EXPECT_EQ(point.folderMade, FolderExistsAt(f.App() + "DATA"));
        EXPECT_EQ(point.fileCopied, FileExistsAt(f.App() + "A.TXT"));
        EXPECT_EQ(point.linkMade, FileExistsAt(f.s.ProgramsFolder + "Tools\\A.lnk"));
        EXPECT_EQ(point.valueWritten, ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "V", value));
        EXPECT_EQ(point.iniWritten, FileExistsAt(f.App() + "A.INI"));
        EXPECT_EQ(point.recorded, FileExistsAt(f.App() + "UNSETUP.INI"));
        EXPECT_EQ(point.recorded, RegistryKeyExists(HKEY_LOCAL_MACHINE, f.KeyPath()));
        EXPECT_FALSE(view.completionShown);
        EXPECT_EQ(0, restarts) << "the completion page's first choice was acted on";
        EXPECT_EQ(RunOutcome::End::Aborted, outcome.end);
        EXPECT_EQ(0, view.endRuns) << "the abort has ended the windows itself";
    }
    TWinReboot::SetExitWindowsFunction({});
}

TEST(InstallRunStops, AnAbortEndsTheRunWhereItIsWithoutARecord) {
    InstallFixture f;
    f.Source("A.TXT", "a");
    f.Source("B.TXT", "b");
    f.Script("[MakeFolder]\r\nFolder1=(App)\\DATA\r\n[CopyFile]\r\nFile1=(App)\\A.TXT\r\nFile2=(App)\\B.TXT\r\n");
    CreateDirectoryA(f.App().c_str(), nullptr);
    TestView view;
    view.options.folderText = f.App();
    view.abortWhenStatusHas = "B.TXT";
    RunInstall(view);
    EXPECT_TRUE(FolderExistsAt(f.App() + "DATA"));
    EXPECT_EQ("a", ReadFileBytes(f.App() + "A.TXT"));
    EXPECT_FALSE(FileExistsAt(f.App() + "B.TXT"));
    EXPECT_FALSE(FileExistsAt(f.App() + "UNSETUP.INI"));
    EXPECT_EQ(0, view.endRuns) << "the abort has ended the windows itself";
    EXPECT_FALSE(view.completionShown);
}

// ---- Associations and the second install ----

TEST(InstallRunRecord, AssociationsRecordWholeExtensionsAndASecondInstallMerges) {
    InstallFixture f;
    const std::string html = "rvtsthtml", htm = "rvtsthtm";
    WriteRegistryString(HKEY_CLASSES_ROOT, "." + htm, "", "oldhtmfile");
    f.Source("V.EXE", "viewer");
    f.Source("S.DLL", "shared");
    const std::string script = "[CopyFile]\r\nFile1=(App)\\V.EXE\r\nFile2=(App)\\S.DLL,/S\r\n"
                               "[Relate]\r\nName1=" + html + ",Test page\r\nFile1=open,(App)\\V.EXE,\"%1\",,0\r\n"
                               "Name3=" + htm + "\r\nFile3=open,C:\\Program Files\\V.EXE,/v,\"%1\",1\r\n";
    f.Script(script);
    CreateDirectoryA(f.App().c_str(), nullptr);
    for (int round = 1; round <= 2; ++round) {
        TestView view;
        view.options.folderText = f.App();
        view.Expect("関連付けの確認", "拡張子 *." + html + " を\r\n" + f.App() + "V.EXE\r\nに関連付け", IDYES);
        view.Expect("関連付けの確認", "*." + htm, IDYES);
        RunInstall(view);
    }
    const std::string app = f.App();
    EXPECT_EQ(html + ",", RecordValue(app, "RestoreRelate", "Key1"));
    EXPECT_EQ(htm + ",oldhtmfile", RecordValue(app, "RestoreRelate", "Key2")) << "from before the first install";
    EXPECT_EQ("<none>", RecordValue(app, "RestoreRelate", "Key3"));
    std::string value;
    ReadRegistryString(HKEY_CLASSES_ROOT, htm + "_auto_file\\shell\\open\\command", "", value);
    EXPECT_EQ("\"C:\\Program Files\\V.EXE\" /v \"%1\"", value);
    ReadRegistryString(HKEY_CLASSES_ROOT, htm + "_auto_file", "", value);
    EXPECT_EQ(htm + " File", value);
    ReadRegistryString(HKEY_CLASSES_ROOT, html + "_auto_file\\DefaultIcon", "", value);
    EXPECT_EQ(app + "V.EXE,0", value);
    // Each file once, "/S" carried from both installs.
    EXPECT_EQ(app + "V.EXE", RecordValue(app, "DeleteFile", "File1"));
    EXPECT_EQ(app + "S.DLL,/S/S", RecordValue(app, "DeleteFile", "File2"));
    EXPECT_EQ(app + "UNSETUP.INI", RecordValue(app, "DeleteFile", "File3"));
    EXPECT_EQ("<none>", RecordValue(app, "DeleteFile", "File4"));
    EXPECT_EQ(2, SharedDllCount(app + "S.DLL")) << "one count for each install";
    while (SharedDllCount(app + "S.DLL") > 0) AdjustSharedDllCount(app + "S.DLL", false);
    for (const std::string& ext : {html, htm}) {
        DeleteRegistryKey("(Class)", "." + ext);
        DeleteRegistryKey("(Class)", ext + "_auto_file");
    }
}

// Changed after its install, an earlier record is not carried into the new
// one, whose digest would vouch for its entries; the person is told.
TEST(InstallRunRecord, AChangedEarlierRecordIsNotMergedAndThePersonIsTold) {
    InstallFixture f;
    f.Source("A.TXT", "a");
    f.Source("B.TXT", "b");
    CreateDirectoryA(f.App().c_str(), nullptr);
    const std::string app = f.App(), record = app + "UNSETUP.INI";
    f.Script("[CopyFile]\r\nFile1=(App)\\A.TXT\r\n");
    {
        TestView view;
        view.options.folderText = app;
        RunInstall(view);
    }
    // Where any user may write: the first entry now names another file.
    std::string text = ReadFileBytes(record);
    const size_t entry = text.find(app + "A.TXT\r\n");
    ASSERT_NE(std::string::npos, entry);
    WriteFileBytes(record, text.replace(entry, app.size() + 5, "C:\\planted.txt"));

    f.Script("[CopyFile]\r\nFile1=(App)\\B.TXT\r\n");
    TestView view;
    view.options.folderText = app;
    view.Expect("警告", record + "\r\n\r\n既存のアンインストール情報ファイルは、インストールの後に書き換えられたか", IDOK);
    RunInstall(view);
    EXPECT_EQ(app + "B.TXT", RecordValue(app, "DeleteFile", "File1"));
    EXPECT_EQ(app + "UNSETUP.INI", RecordValue(app, "DeleteFile", "File2"));
    EXPECT_EQ("<none>", RecordValue(app, "DeleteFile", "File3")) << "nothing of the changed record";
    EXPECT_EQ(RecordCheck::Matches, CheckRecordDigest(record, record)) << "the new record is the install's own";
}

TEST(InstallRunRecord, AnEmptyKeyNameRegistersNothingAndAFailedEntryStillSavesTheRecord) {
    InstallFixture f;
    f.Source("A.TXT", "a");
    CreateDirectoryA(f.App().c_str(), nullptr);
    {
        WriteFileBytes(f.s.ScriptFile, "[Title]\r\nUnSetupKey=\r\n[CopyFile]\r\nFile1=(App)\\A.TXT\r\n");
        TestView view;
        view.options.folderText = f.App();
        RunInstall(view);
        EXPECT_EQ("", RecordValue(f.App(), "UnSetupRegistryKey", "Key"));
        EXPECT_EQ(1, view.endRuns);
        // Told where the person reads it, not pointed to a list without it.
        EXPECT_NE(std::string::npos, view.Status().find("　アンインストールキー名が空のため、"
                                                        "「プログラム(アプリケーション)の追加と削除」への登録を行いませんでした。"))
            << ToUtf8(view.Status());
        EXPECT_EQ(std::string::npos, view.Status().find("から行うことができます。"));
    }
    // A key name the registry cannot take: the record is saved first, then
    // the error is shown and the run ends.
    DeleteFileA((f.App() + "UNSETUP.INI").c_str());
    WriteFileBytes(f.s.ScriptFile,
                   "[Title]\r\nUnSetupKey=" + std::string(300, 'k') + "\r\n[CopyFile]\r\nFile1=(App)\\A.TXT\r\n");
    TestView view;
    view.options.folderText = f.App();
    view.Expect("Ravelin Setup", "", IDOK);
    RunInstall(view);
    EXPECT_EQ(f.App() + "A.TXT", RecordValue(f.App(), "DeleteFile", "File1"));
    EXPECT_EQ(1, view.endRuns);
    EXPECT_FALSE(view.completionShown);
}

// ---- Completion ----

TEST(InstallRunCompletion, RestartAndRunAfterProgramPages) {
    InstallFixture f;
    f.Source("A.TXT", "a");
    CreateDirectoryA(f.App().c_str(), nullptr);
    int restarts = 0;
    TWinReboot::SetExitWindowsFunction([&](UINT, DWORD) {
        ++restarts;
        return TRUE;
    });
    {
        f.Script("[CopyFile]\r\nFile1=(App)\\A.TXT\r\n[ExecuteFile]\r\nFile=WINDOWS_REBOOT\r\n");
        TestView view;
        view.options.folderText = f.App();
        RunInstall(view);
        EXPECT_EQ(0u, view.page.message.find("　" + kS + "を完了するには、Windowsを再起動する必要があります。"));
        EXPECT_EQ(ToUtf8("いいえ、Windowsは再起動せずに、インストーラーを終了します。(&N)"), ToUtf8(view.page.choice2));
        EXPECT_EQ(1, restarts) << "the first choice restarts";
    }
    {
        // Without a restart the one choice ends the installer and starts the
        // program, in its own folder.
        CopyFileA(Bin("sysops_child.exe").c_str(), (f.App() + "child.exe").c_str(), FALSE);
        const std::string out = f.root / "cwd.txt";
        f.Script("[CopyFile]\r\nFile1=(App)\\A.TXT\r\n[ExecuteFile]\r\nFile=(App)child.exe,cwd " + out +
                 ",CreateProcess\r\n");
        TestView view;
        view.options.folderText = f.App();
        RunInstall(view);
        EXPECT_EQ(ToUtf8("インストーラを終了して、プログラムを実行します。(&Y)"), ToUtf8(view.page.choice1));
        EXPECT_EQ("", view.page.choice2);
        for (int i = 0; i < 100 && !FileExistsAt(out); ++i) Sleep(50);
        EXPECT_EQ(0u, ReadFileBytes(out).find(f.App().substr(0, f.App().size() - 1))) << ReadFileBytes(out);
        EXPECT_NE(std::string::npos, view.page.message.find("(CreateProcess APIを利用します。)\r\n" + f.App() +
                                                            "child.exe cwd " + out));
        EXPECT_EQ(1, restarts);
    }
    TWinReboot::SetExitWindowsFunction({});
}

// ---- Install and uninstall together ----

TEST(InstallThenUninstall, TwoProgramsSharingOneLibraryAreRemovedInEitherOrder) {
    for (const bool aFirst : {true, false}) {
        SCOPED_TRACE(aFirst ? "A first" : "B first");
        InstallFixture f;
        const std::string common = f.root / "common\\";
        CreateDirectoryA(common.c_str(), nullptr);
        f.Source("SHARED.DLL", "shared code");
        f.Source("A.TXT", "a");
        f.Source("B.TXT", "b");
        const std::string apps[2] = {f.root / "a\\", f.root / "b\\"};
        const std::string keys[2] = {f.KeyName() + " A", f.KeyName() + " B"};
        for (int i = 0; i < 2; ++i) {
            WriteFileBytes(f.s.ScriptFile, "[Title]\r\nUnSetupKey=" + keys[i] + "\r\n[CopyFile]\r\nFile1=" + common +
                                               "SHARED.DLL,/S\r\nFile2=(App)\\" + (i ? "B" : "A") + ".TXT\r\n");
            TestView view;
            view.options.folderText = apps[i];
            view.Expect("フォルダ作成", "", IDYES);
            RunInstall(view);
        }
        ASSERT_EQ(2, SharedDllCount(common + "SHARED.DLL"));

        const int order[2] = {aFirst ? 0 : 1, aFirst ? 1 : 0};
        for (int step = 0; step < 2; ++step) {
            const int i = order[step];
            f.s.Mode = "UNSETUP";
            CopyFileA((apps[i] + "UNSETUP.INI").c_str(), (f.s.WorkFolder + "UNSETUP.INI").c_str(), FALSE);
            f.s.ScriptFile = f.s.WorkFolder + "UNSETUP.INI";
            f.s.RecordFile = apps[i] + "UNSETUP.INI";
            TestView view;
            view.options.folderText = apps[i];
            // The last user of the library is asked about it; the first is not.
            if (step == 1) view.sharedAnswers.push_back("Yes");
            RunUninstall(view);
            EXPECT_EQ(step == 0 ? 1 : 0, SharedDllCount(common + "SHARED.DLL"));
            EXPECT_EQ(step == 0, FileExistsAt(common + "SHARED.DLL"));
            EXPECT_FALSE(FolderExistsAt(apps[i])) << "its own folder is gone";
            EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE,
                                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + keys[i]));
            EXPECT_TRUE(view.completionShown);
        }
    }
}
