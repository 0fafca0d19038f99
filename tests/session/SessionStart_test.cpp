#include "app/uIniFile.h"
#include "session/SessionStart.h"
#include "session/WorkFolders.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "platform/Handles.h"
#include "platform/Win932.h"

namespace {

// Sets an environment variable of this process for one test.
class EnvOverride {
public:
    EnvOverride(const wchar_t* name, const std::wstring& value) : name_(name) {
        wchar_t buffer[32768];
        const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
        had_ = n > 0 && n < 32768;
        if (had_) old_.assign(buffer, n);
        SetEnvironmentVariableW(name, value.c_str());
    }
    // An ASCII name and value.
    EnvOverride(const char* name, const std::string& value)
        : EnvOverride(std::wstring(name, name + std::char_traits<char>::length(name)).c_str(),
                      std::wstring(value.begin(), value.end())) {}
    ~EnvOverride() { SetEnvironmentVariableW(name_.c_str(), had_ ? old_.c_str() : nullptr); }

private:
    std::wstring name_, old_;
    bool had_ = false;
};

bool IsFolder(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Facts where every lookup answered, each with a recognisable folder.
FolderFacts AllKnownFacts(const ScratchFolder& scratch) {
    FolderFacts facts;
    const int ids[] = {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES, CSIDL_PERSONAL, CSIDL_STARTMENU,
                       CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY, CSIDL_STARTUP, CSIDL_SENDTO,
                       CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY,
                       CSIDL_COMMON_STARTUP, CSIDL_COMMON_DOCUMENTS};
    for (int id : ids) {
        std::string name = "f";
        name += std::to_string(id);
        facts.special[id] = scratch / name;
        CreateDirectoryA(facts.special[id].c_str(), nullptr);
    }
    facts.windowsDirectory = "D:\\WINAPI";
    facts.systemDirectory = "D:\\WINAPI\\SYSTEM";
    facts.programFilesDir = scratch / "regprg";
    return facts;
}

SetupState StateFor(const std::string& osKind, const std::string& sourceFolder = "E:\\DIST\\") {
    SetupState state;
    state.OSKind = osKind;
    state.SourceFolder = sourceFolder;
    return state;
}

}  // namespace

// ---- The temporary folder ----

TEST(StartupTempPath, GivesAnExistingFolderEndingWithDelimiter) {
    const std::string temp = QueryTempPath();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ('\\', temp.back());
    EXPECT_TRUE(IsFolder(temp)) << ToUtf8(temp);
}

TEST(StartupTempPath, PathLongerThanTheBufferIsAFailureNotATruncatedPath) {
    const std::string longPath = "C:\\" + std::string(300, 'x');
    EnvOverride tmp("TMP", longPath), temp("TEMP", longPath), profile("USERPROFILE", longPath);
    EXPECT_EQ("", QueryTempPath());
}

TEST(StartupTempPath, AFolderCp932CannotHoldIsItsShortNameOrStopsStartUp) {
    ScratchFolder dir;
    const std::wstring jose = win932::Wide(dir.path()) + L"Jos\u00e9";
    ASSERT_TRUE(CreateDirectoryW(jose.c_str(), nullptr));
    {
        EnvOverride tmp(L"TMP", jose), temp(L"TEMP", jose);
        const std::string folder = QueryTempPath();
        ASSERT_FALSE(folder.empty());
        EXPECT_EQ(std::string::npos, folder.find('?')) << ToUtf8(folder);
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributes932(folder)) << ToUtf8(folder);
    }
    // A folder that is not there has no short name: start-up stops, saying why.
    const std::wstring missing = win932::Wide(dir.path()) + L"Ren\u00e9e";
    EnvOverride tmp(L"TMP", missing), temp(L"TEMP", missing);
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ("", QueryTempPath());
    EXPECT_EQ(win932::kNoCp932Form, GetLastError());
    dir.Write("dist\\SETUP.EXE", "program bytes");
    dir.Write("dist\\SETUP.INI", "[Extend]\r\n");
    ScriptedMsgBox boxes;
    boxes.ExpectContaining("エラー", "で表せない文字が含まれています。", MB_OK | MB_ICONSTOP, IDOK);
    SetupState state;
    const std::string fatal = StartSession(state, dir / "dist\\SETUP.EXE", "");
    EXPECT_NE(std::string::npos, fatal.find("【致命的エラー → フォルダのパスを日本語(シフトJIS)で表せません】")) << ToUtf8(fatal);
    ASSERT_EQ(1u, boxes.seen().size());
    EXPECT_NE(std::string::npos, boxes.seen()[0].text.find("・一時フォルダ\r\n")) << ToUtf8(boxes.seen()[0].text);
}

TEST(StartupFolders, ProgramFilesDirOfThisSystemIsRead) {
    const FolderFacts facts = GatherFolderFacts();
    EXPECT_FALSE(facts.programFilesDir.empty());
    EXPECT_FALSE(facts.special[CSIDL_WINDOWS].empty());
    char windows[MAX_PATH];
    const UINT n = GetWindowsDirectoryA(windows, sizeof windows);
    EXPECT_EQ(std::string(windows, n), facts.windowsDirectory);
}

// ---- Folder rules ----

TEST(StartupFolders, NtTakesTheAllUsersFoldersFromTheirOwnLookups) {
    ScratchFolder scratch;
    const FolderFacts facts = AllKnownFacts(scratch);
    SetupState state = StateFor("NT");
    std::string fatal;
    ApplyFolderRules(facts, state, fatal);
    EXPECT_EQ("", fatal);
    EXPECT_EQ(facts.special[CSIDL_WINDOWS] + "\\", state.WindowsFolder);
    EXPECT_EQ(facts.special[CSIDL_SYSTEM] + "\\", state.SystemFolder);
    EXPECT_EQ(facts.special[CSIDL_PROGRAM_FILES] + "\\", state.ProgramFilesFolder);
    EXPECT_EQ(facts.special[CSIDL_PERSONAL] + "\\", state.DocumentsFolder);
    EXPECT_EQ(facts.special[CSIDL_DESKTOPDIRECTORY] + "\\", state.DesktopFolder);
    EXPECT_EQ(facts.special[CSIDL_SENDTO] + "\\", state.SendToFolder);
    EXPECT_EQ(facts.special[CSIDL_COMMON_STARTMENU] + "\\", state.CommonStartMenuFolder);
    EXPECT_EQ(facts.special[CSIDL_COMMON_PROGRAMS] + "\\", state.CommonProgramsFolder);
    EXPECT_EQ(facts.special[CSIDL_COMMON_DESKTOPDIRECTORY] + "\\", state.CommonDesktopFolder);
    EXPECT_EQ(facts.special[CSIDL_COMMON_STARTUP] + "\\", state.CommonStartupFolder);
    EXPECT_EQ(facts.special[CSIDL_COMMON_DOCUMENTS] + "\\", state.CommonDocumentsFolder);
    EXPECT_EQ("(App)", state.InstallFolder);
    EXPECT_EQ(state.WindowsFolder.substr(0, 2) + "\\", state.BootDrive);
    EXPECT_EQ("E:\\", state.SourceDrive);
}

TEST(StartupFolders, NonNtUsesThePerUserFoldersForAllUsers) {
    ScratchFolder scratch;
    const FolderFacts facts = AllKnownFacts(scratch);  // its system folder holds no Shfolder.dll
    SetupState state = StateFor("notNT");
    std::string fatal;
    ApplyFolderRules(facts, state, fatal);
    EXPECT_EQ(state.StartMenuFolder, state.CommonStartMenuFolder);
    EXPECT_EQ(state.ProgramsFolder, state.CommonProgramsFolder);
    EXPECT_EQ(state.DesktopFolder, state.CommonDesktopFolder);
    EXPECT_EQ(state.StartupFolder, state.CommonStartupFolder);
    EXPECT_EQ(state.DocumentsFolder, state.CommonDocumentsFolder);
    EXPECT_NE(state.DesktopFolder, facts.special[CSIDL_COMMON_DESKTOPDIRECTORY] + "\\");
}

TEST(StartupFolders, NonNtWithShfolderTakesTheCommonDocumentsLookup) {
    ScratchFolder scratch;
    const FolderFacts facts = AllKnownFacts(scratch);
    scratch.Write(facts.special[CSIDL_SYSTEM].substr(scratch.path().size()) + "\\Shfolder.dll", "MZ");
    SetupState state = StateFor("notNT");
    std::string fatal;
    ApplyFolderRules(facts, state, fatal);
    EXPECT_EQ(facts.special[CSIDL_COMMON_DOCUMENTS] + "\\", state.CommonDocumentsFolder);
    EXPECT_EQ(state.DesktopFolder, state.CommonDesktopFolder);
}

TEST(StartupFolders, FailedLookupsFallBackOrLeaveADelimiter) {
    ScratchFolder scratch;
    FolderFacts facts = AllKnownFacts(scratch);
    facts.special[CSIDL_WINDOWS] = "";
    facts.special[CSIDL_SYSTEM] = "";
    facts.special[CSIDL_PERSONAL] = "";
    facts.special[CSIDL_DESKTOPDIRECTORY] = "";
    facts.special[CSIDL_COMMON_DESKTOPDIRECTORY] = "";
    SetupState state = StateFor("NT");
    std::string fatal;
    ApplyFolderRules(facts, state, fatal);
    EXPECT_EQ("", fatal);
    EXPECT_EQ("D:\\WINAPI\\", state.WindowsFolder);
    EXPECT_EQ("D:\\WINAPI\\SYSTEM\\", state.SystemFolder);
    EXPECT_EQ("D:\\My Documents\\", state.DocumentsFolder);
    EXPECT_EQ("D:\\", state.BootDrive);
    EXPECT_EQ("\\", state.DesktopFolder);
    EXPECT_EQ("\\", state.CommonDesktopFolder) << "NT never falls back to the per-user folder";
}

TEST(StartupFolders, WindowsAndSystemFolderUnknownAreFatal) {
    ScratchFolder scratch;
    FolderFacts facts = AllKnownFacts(scratch);
    facts.special[CSIDL_WINDOWS] = facts.windowsDirectory = "";
    facts.special[CSIDL_SYSTEM] = facts.systemDirectory = "";
    SetupState state = StateFor("NT");
    std::string fatal;
    ApplyFolderRules(facts, state, fatal);
    EXPECT_EQ(ToUtf8("【致命的エラー → Windowsフォルダ取得失敗】\r\n【致命的エラー → WindowsSystemフォルダ取得失敗】\r\n"),
              ToUtf8(fatal));
}

TEST(StartupFolders, ProgramFilesFallsBackToRegistryThenToTheWindowsDrive) {
    ScratchFolder scratch;
    FolderFacts facts = AllKnownFacts(scratch);
    facts.special[CSIDL_PROGRAM_FILES] = "";
    CreateDirectoryA(facts.programFilesDir.c_str(), nullptr);
    SetupState state = StateFor("NT");
    std::string fatal;
    ApplyFolderRules(facts, state, fatal);
    EXPECT_EQ(facts.programFilesDir + "\\", state.ProgramFilesFolder);

    facts.programFilesDir = scratch / "not-there";
    facts.special[CSIDL_WINDOWS] = "Q:\\WINDOWS";
    ApplyFolderRules(facts, state, fatal);
    EXPECT_EQ("Q:\\Program Files\\", state.ProgramFilesFolder);

    facts.programFilesDir = "";
    ApplyFolderRules(facts, state, fatal);
    EXPECT_EQ("Q:\\Program Files\\", state.ProgramFilesFolder);
}

TEST(StartupFolders, ThisSystemResolvesEveryFolder) {
    SetupState state = StateFor("NT");
    std::string fatal;
    ApplyFolderRules(GatherFolderFacts(), state, fatal);
    EXPECT_EQ("", fatal);
    for (const std::string* folder : {&state.WindowsFolder, &state.SystemFolder, &state.ProgramFilesFolder,
                                      &state.DesktopFolder, &state.CommonDesktopFolder, &state.DocumentsFolder}) {
        EXPECT_NE("\\", *folder);
        EXPECT_TRUE(IsFolder(*folder)) << ToUtf8(*folder);
    }
}

// ---- Mode, working folder, copies ----

TEST(StartupMode, OnlyTheExactRecordNameSelectsUninstall) {
    EXPECT_EQ("UNSETUP", ModeFromArgument("C:\\Program Files\\App\\UNSETUP.INI"));
    EXPECT_EQ("UNSETUP", ModeFromArgument("UNSETUP.INI"));
    EXPECT_EQ("SETUP", ModeFromArgument("C:\\Program Files\\App\\unsetup.ini"));
    EXPECT_EQ("SETUP", ModeFromArgument("C:\\UNSETUP.INI\\other.ini"));
    EXPECT_EQ("SETUP", ModeFromArgument("C:\\X\\UNSETUP.INI.bak"));
    EXPECT_EQ("SETUP", ModeFromArgument(""));
    // The trail byte 0x5C of a double-byte character is no delimiter.
    EXPECT_EQ("SETUP", ModeFromArgument("C:\\\x95\\UNSETUP.INI.x"));
    EXPECT_EQ("UNSETUP", ModeFromArgument("C:\\\x95\\\\UNSETUP.INI"));
}

TEST(StartupWorkFolder, MakesANewFolderNeverOneThatIsThere) {
    ScratchFolder temp;
    EXPECT_EQ(temp / "RVTMP1\\", MakeWorkFolder(temp.path()));
    EXPECT_TRUE(IsFolder(temp / "RVTMP1"));
    ReleaseWorkFolder();
    // Planted by someone else, with what they want a run to take.
    temp.Write("RVTMP2\\SETUP.INI", "[CopyFile]\r\nFile1=C:\\evil.dll,(Win)\r\n");
    temp.Write("RVTMP3\\SETUPB.EXE", "planted");
    EXPECT_EQ(temp / "RVTMP4\\", MakeWorkFolder(temp.path()));
    ReleaseWorkFolder();
    EXPECT_EQ("planted", temp.Read("RVTMP3\\SETUPB.EXE"));

    for (int n = 5; n <= 99; ++n) CreateDirectoryA((temp / ("RVTMP" + std::to_string(n))).c_str(), nullptr);
    EXPECT_EQ("", MakeWorkFolder(temp.path())) << "99 folders taken: none is used";
    EXPECT_FALSE(temp.Exists("RVTMP100"));
}

TEST(StartupWorkFolder, IsHeldSoThatItCannotBeSwappedForAnother) {
    ScratchFolder temp;
    const std::string folder = MakeWorkFolder(temp.path());
    ASSERT_EQ(temp / "RVTMP1\\", folder);
    EXPECT_FALSE(MoveFileA((temp / "RVTMP1").c_str(), (temp / "moved").c_str()));
    ReleaseWorkFolder();
    EXPECT_TRUE(MoveFileA((temp / "RVTMP1").c_str(), (temp / "moved").c_str()));
}

TEST(StartupCopies, TheScriptIsReadOnceAndThoseBytesAreTheRun) {
    ScratchFolder scratch;
    scratch.Write("dist\\SETUP.INI", "[Title]\r\nSetup=テスト\r\n");
    SetFileAttributesA((scratch / "dist\\SETUP.INI").c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryA((scratch / "work").c_str(), nullptr);
    SetupState state;
    state.Mode = "SETUP";
    state.SourceFolder = scratch / "dist\\";
    state.WorkFolder = scratch / "work\\";
    std::string fatal;
    CopyScript(state, "", fatal);
    EXPECT_EQ("", fatal);
    EXPECT_EQ(scratch / "work\\SETUP.INI", state.ScriptFile);
    EXPECT_EQ("[Title]\r\nSetup=テスト\r\n", scratch.Read("work\\SETUP.INI"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA(state.ScriptFile.c_str()));
    // Whatever the copy or the original hold afterwards, the run reads
    // what was read at the start.
    scratch.Write("work\\SETUP.INI", "[Title]\r\nSetup=Forged\r\n");
    SetFileAttributesA((scratch / "dist\\SETUP.INI").c_str(), FILE_ATTRIBUTE_NORMAL);
    scratch.Write("dist\\SETUP.INI", "[Title]\r\nSetup=Forged\r\n");
    EXPECT_EQ("テスト", IniRead("Title", "Setup", "", state.ScriptFile));
}

TEST(StartupCopies, AMissingScriptOrAFileAlreadyThereIsTheFatalIniError) {
    ScratchFolder scratch;
    CreateDirectoryA((scratch / "work").c_str(), nullptr);
    SetupState state;
    state.Mode = "SETUP";
    state.SourceFolder = scratch / "dist\\";
    state.WorkFolder = scratch / "work\\";
    std::string fatal;
    CopyScript(state, "", fatal);
    EXPECT_EQ(ToUtf8("【致命的エラー → iniファイル読み込み失敗】\r\n"), ToUtf8(fatal));
    EXPECT_EQ(ToUtf8("【致命的エラー → iniファイル読み込み失敗】\r\n\r\n処理は続行できません。"),
              ToUtf8(FatalMessage(fatal)));

    // A copy that is there already was not made by this start: never taken.
    scratch.Write("dist\\SETUP.INI", "[Title]\r\nSetup=This\r\n");
    scratch.Write("work\\SETUP.INI", "[Title]\r\nSetup=Stale\r\n");
    fatal.clear();
    CopyScript(state, "", fatal);
    EXPECT_EQ(ToUtf8("【致命的エラー → iniファイル読み込み失敗】\r\n"), ToUtf8(fatal));
}

TEST(StartupCopies, UninstallModeCopiesTheRecordNamedByTheArgument) {
    ScratchFolder scratch;
    scratch.Write("dist\\SETUP.EXE", "program bytes");
    scratch.Write("dist\\SETUP.INI", "not this one");
    scratch.Write("app\\UNSETUP.INI", "[SetupFolder]\r\nFolder=C:\\App\r\n");
    CreateDirectoryA((scratch / "work").c_str(), nullptr);
    SetupState state;
    state.Mode = "UNSETUP";
    state.SourceFolder = scratch / "dist\\";
    state.WorkFolder = scratch / "work\\";
    std::string fatal;
    CopyScript(state, scratch / "app\\UNSETUP.INI", fatal);
    EXPECT_EQ("", fatal);
    EXPECT_EQ(scratch / "work\\UNSETUP.INI", state.ScriptFile);
    EXPECT_EQ("[SetupFolder]\r\nFolder=C:\\App\r\n", scratch.Read("work\\UNSETUP.INI"));
    EXPECT_FALSE(scratch.Exists("work\\SETUP.INI"));

    // Named from its own folder: the run knows it by its full path, the one
    // its own file entry and the folder it lies in are compared with.
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA((scratch / "app").c_str()));
    DeleteFileA((scratch / "work\\UNSETUP.INI").c_str());
    CopyScript(state, "UNSETUP.INI", fatal);
    SetCurrentDirectoryA(previous);
    EXPECT_EQ("", fatal);
    EXPECT_EQ(scratch / "app\\UNSETUP.INI", state.RecordFile);
}

TEST(StartupSession, RunsThroughToTheScriptCopyInTheTemporaryFolder) {
    ScratchFolder temp;
    ScratchFolder dist;
    dist.Write("SETUP.EXE", "program bytes");
    dist.Write("SETUP.INI", "[Extend]\r\n");
    EnvOverride tmp("TMP", RemovePathDelimiter(temp.path(), "B"));
    SetupState state;
    state.ShowTitlePage = state.CheckerDone = true;
    const std::string fatal = StartSession(state, dist / "SETUP.EXE", "");
    EXPECT_EQ("", fatal);
    EXPECT_FALSE(state.ShowTitlePage);
    EXPECT_FALSE(state.CheckerDone);
    EXPECT_EQ("NT", state.OSKind);
    EXPECT_FALSE(state.OSName.empty());
    EXPECT_EQ(dist.path(), state.SourceFolder);
    EXPECT_EQ(temp.path(), state.TempFolder);
    EXPECT_EQ(temp / "RVTMP1\\", state.WorkFolder);
    EXPECT_EQ("SETUP", state.Mode);
    EXPECT_TRUE(temp.Exists("RVTMP1\\SETUP.INI"));
}

TEST(StartupSession, AnOverlongTemporaryPathFallsBackToTheProgramFolder) {
    ScratchFolder dist;
    dist.Write("SETUP.EXE", "program bytes");
    dist.Write("SETUP.INI", "[Extend]\r\n");
    const std::string longPath = "C:\\" + std::string(300, 'y');
    EnvOverride tmp("TMP", longPath), temp("TEMP", longPath), profile("USERPROFILE", longPath);
    SetupState state;
    EXPECT_EQ("", StartSession(state, dist / "SETUP.EXE", ""));
    EXPECT_EQ(dist.path(), state.TempFolder);
    EXPECT_EQ(dist / "RVTMP1\\", state.WorkFolder);
    EXPECT_TRUE(dist.Exists("RVTMP1\\SETUP.INI"));
}
