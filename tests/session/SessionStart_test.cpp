#include "session/SessionStart.h"

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

// ---- The temporary folder and the registry read ----

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

TEST(StartupRegistry, ReadsAStringValueOfAnExistingKey) {
    TestRegKey reg;
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, reg.subkey().c_str(), 0, KEY_SET_VALUE, key.put()));
    const char value[] = "C:\\Apps\\テスト";
    RegSetValueExA(key.get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value);
    const DWORD number = 5;
    RegSetValueExA(key.get(), "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    EXPECT_EQ(std::string(value), ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "Path"));
    EXPECT_EQ("", ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "Missing"));
    EXPECT_EQ("", ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "Number"));
}

TEST(StartupRegistry, AStringValueCp932CannotHoldIsNone) {
    TestRegKey reg;
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, reg.subkey().c_str(), 0, KEY_SET_VALUE, key.put()));
    const wchar_t value[] = L"C:\\Jos\u00e9";
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key.get(), L"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(value), sizeof value));
    EXPECT_EQ("", ReadRegistryString(HKEY_CURRENT_USER, reg.subkey(), "Path"));
}

TEST(StartupRegistry, AMissingKeyIsNeverCreatedByReading) {
    TestRegKey reg;
    const std::string missing = reg.subkey() + "\\NotThere";
    EXPECT_EQ("", ReadRegistryString(HKEY_CURRENT_USER, missing, "ProgramFilesDir"));
    RegKey key;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, missing.c_str(), 0, KEY_READ, key.put()));
}

TEST(StartupRegistry, ProgramFilesDirOfThisSystemIsRead) {
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

TEST(StartupWorkFolder, TakesAndCreatesTheFirstFreeNumber) {
    ScratchFolder temp;
    EXPECT_EQ(temp / "RVTMP1\\", MakeWorkFolder(temp.path()));
    EXPECT_TRUE(IsFolder(temp / "RVTMP1"));
    CreateDirectoryA((temp / "RVTMP2").c_str(), nullptr);
    EXPECT_EQ(temp / "RVTMP3\\", MakeWorkFolder(temp.path()));
    EXPECT_TRUE(IsFolder(temp / "RVTMP3"));
}

TEST(StartupWorkFolder, AllNinetyNineTakenReusesTheLast) {
    ScratchFolder temp;
    for (int n = 1; n <= 99; ++n) CreateDirectoryA((temp / ("RVTMP" + std::to_string(n))).c_str(), nullptr);
    EXPECT_EQ(temp / "RVTMP99\\", MakeWorkFolder(temp.path()));
    EXPECT_FALSE(temp.Exists("RVTMP100"));
}

TEST(StartupCopies, InstallModeCopiesProgramAndScriptLeavingThemWritable) {
    ScratchFolder scratch;
    scratch.Write("dist\\SETUP.EXE", "program bytes");
    scratch.Write("dist\\SETUP.INI", "[Title]\r\nSetup=テスト\r\n");
    SetFileAttributesA((scratch / "dist\\SETUP.INI").c_str(), FILE_ATTRIBUTE_READONLY);
    CreateDirectoryA((scratch / "work").c_str(), nullptr);
    SetupState state;
    state.Mode = "SETUP";
    state.SourceFolder = scratch / "dist\\";
    state.WorkFolder = scratch / "work\\";
    std::string fatal;
    CopyProgramAndScript(state, scratch / "dist\\SETUP.EXE", "", fatal);
    EXPECT_EQ("", fatal);
    EXPECT_EQ(scratch / "work\\SETUP.INI", state.ScriptFile);
    EXPECT_EQ("program bytes", scratch.Read("work\\SETUPB.EXE"));
    EXPECT_EQ("[Title]\r\nSetup=テスト\r\n", scratch.Read("work\\SETUP.INI"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA(state.ScriptFile.c_str()));
}

TEST(StartupCopies, MissingScriptIsTheFatalIniError) {
    ScratchFolder scratch;
    scratch.Write("dist\\SETUP.EXE", "program bytes");
    CreateDirectoryA((scratch / "work").c_str(), nullptr);
    SetupState state;
    state.Mode = "SETUP";
    state.SourceFolder = scratch / "dist\\";
    state.WorkFolder = scratch / "work\\";
    std::string fatal;
    CopyProgramAndScript(state, scratch / "dist\\SETUP.EXE", "", fatal);
    EXPECT_EQ(ToUtf8("【致命的エラー → iniファイル読み込み失敗】\r\n"), ToUtf8(fatal));
    EXPECT_EQ(ToUtf8("【致命的エラー → iniファイル読み込み失敗】\r\n\r\n処理は続行できません。"),
              ToUtf8(FatalMessage(fatal)));
}

TEST(StartupCopies, AStaleScriptInAReusedFolderIsNeverTakenForThisOne) {
    ScratchFolder scratch;
    scratch.Write("dist\\SETUP.EXE", "program bytes");
    scratch.Write("work\\SETUP.INI", "[Title]\r\nSetup=Stale\r\n");
    scratch.Write("work\\UNSETUP.INI", "[SetupFolder]\r\nFolder=C:\\Stale\r\n");
    SetFileAttributesA((scratch / "work\\SETUP.INI").c_str(), FILE_ATTRIBUTE_READONLY);
    SetupState state;
    state.Mode = "SETUP";
    state.SourceFolder = scratch / "dist\\";
    state.WorkFolder = scratch / "work\\";
    std::string fatal;
    CopyProgramAndScript(state, scratch / "dist\\SETUP.EXE", "", fatal);
    EXPECT_NE("", fatal);
    EXPECT_FALSE(scratch.Exists("work\\SETUP.INI"));

    state.Mode = "UNSETUP";
    fatal.clear();
    CopyProgramAndScript(state, scratch / "dist\\SETUP.EXE", scratch / "gone\\UNSETUP.INI", fatal);
    EXPECT_NE("", fatal);
    EXPECT_FALSE(scratch.Exists("work\\UNSETUP.INI"));

    // Nor may an old program copy pass for this start's uninstaller.
    scratch.Write("work\\SETUPB.EXE", "an older uninstaller");
    SetFileAttributesA((scratch / "work\\SETUPB.EXE").c_str(), FILE_ATTRIBUTE_READONLY);
    CopyProgramAndScript(state, scratch / "dist\\MISSING.EXE", scratch / "gone\\UNSETUP.INI", fatal);
    EXPECT_FALSE(scratch.Exists("work\\SETUPB.EXE"));
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
    CopyProgramAndScript(state, scratch / "dist\\SETUP.EXE", scratch / "app\\UNSETUP.INI", fatal);
    EXPECT_EQ("", fatal);
    EXPECT_EQ(scratch / "work\\UNSETUP.INI", state.ScriptFile);
    EXPECT_EQ("[SetupFolder]\r\nFolder=C:\\App\r\n", scratch.Read("work\\UNSETUP.INI"));
    EXPECT_FALSE(scratch.Exists("work\\SETUP.INI"));

    // Named from its own folder: the run knows it by its full path, the one
    // its own file entry and the folder it lies in are compared with.
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA((scratch / "app").c_str()));
    CopyProgramAndScript(state, scratch / "dist\\SETUP.EXE", "UNSETUP.INI", fatal);
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
    EXPECT_TRUE(temp.Exists("RVTMP1\\SETUPB.EXE"));
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

// ---- General settings ----

namespace {

// A state whose script is a file of the scratch folder.
SetupState ScriptState(const ScratchFolder& scratch, const std::string& script, const std::string& mode = "SETUP") {
    scratch.Write("SETUP.INI", script);
    SetupState state;
    state.Mode = mode;
    state.ScriptFile = scratch / "SETUP.INI";
    state.WindowsFolder = scratch / "win\\";
    state.ProgramFilesFolder = "C:\\Program Files\\";
    state.DesktopFolder = "C:\\Users\\me\\Desktop\\";
    state.InstallFolder = "(App)";
    state.SetupString = "インストール";
    state.UnSetupString = "アンインストール";
    CreateDirectoryA(state.WindowsFolder.c_str(), nullptr);
    return state;
}

}  // namespace

TEST(StartupSettings, SetupSpeedIsADecimalOfAtLeastOneElseTheDefault) {
    EXPECT_EQ(1, SetupSpeedFrom("0"));
    EXPECT_EQ(1, SetupSpeedFrom("-5"));
    EXPECT_EQ(1, SetupSpeedFrom("1"));
    EXPECT_EQ(350, SetupSpeedFrom("350"));
    EXPECT_EQ(20, SetupSpeedFrom("+20"));
    EXPECT_EQ(2147483647L, SetupSpeedFrom("2147483647"));
    EXPECT_EQ(1, SetupSpeedFrom("-2147483648"));
    // Not a decimal integer: the wizard goes on with the default pause.
    EXPECT_EQ(350, SetupSpeedFrom(""));
    EXPECT_EQ(350, SetupSpeedFrom("abc"));
    EXPECT_EQ(350, SetupSpeedFrom("12ms"));
    EXPECT_EQ(350, SetupSpeedFrom("-"));
    EXPECT_EQ(350, SetupSpeedFrom("$1F"));
    EXPECT_EQ(350, SetupSpeedFrom("99999999999"));
    EXPECT_EQ(350, SetupSpeedFrom("2147483648"));
}

TEST(StartupSettings, PacingAndTitlesFromTheScript) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch, "[Extend]\r\nSetupSpeed=0\r\n[Title]\r\nSetup=サンプル\r\n");
    ReadPacingAndTitles(state);
    EXPECT_EQ(1, state.SetupSpeed);
    EXPECT_EQ(ToUtf8("サンプル"), ToUtf8(state.SetupTitle));
    EXPECT_EQ(ToUtf8("サンプル"), ToUtf8(state.UnSetupTitle)) << "UnSetup defaults to Setup";

    state = ScriptState(scratch, "[Extend]\r\nSetupSpeed=\r\n[Title]\r\nUnSetup=消す\r\n");
    ReadPacingAndTitles(state);
    EXPECT_EQ(350, state.SetupSpeed) << "an empty value is no number";
    EXPECT_EQ("Ravelin Setup", state.SetupTitle);
    EXPECT_EQ(ToUtf8("消す"), ToUtf8(state.UnSetupTitle));

    state = ScriptState(scratch, "[Extend]\r\nSetupSpeed=abc\r\n");
    ReadPacingAndTitles(state);
    EXPECT_EQ(350, state.SetupSpeed);

    state = ScriptState(scratch, "[Other]\r\n");
    ReadPacingAndTitles(state);
    EXPECT_EQ(350, state.SetupSpeed);
}

TEST(StartupSettings, WordsHaveTheirDefaults) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch, "[Extend]\r\nUnSetupString=削除\r\n");
    state.SetupString = state.UnSetupString = "";
    ReadWords(state);
    EXPECT_EQ(ToUtf8("インストール"), ToUtf8(state.SetupString));
    EXPECT_EQ(ToUtf8("削除"), ToUtf8(state.UnSetupString));
}

TEST(StartupSettings, BannerFromTheScriptOrBuiltIn) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch, "[Title]\r\nCopyRight2=(C) 某社\r\n");
    EXPECT_EQ(ToUtf8("\r\n(C) 某社"), ToUtf8(BannerText(state.ScriptFile)));
    state = ScriptState(scratch, "[Title]\r\nCopyRight1=\r\n");
    const std::string builtIn = BannerText(state.ScriptFile);
    EXPECT_EQ(0u, builtIn.find("Ravelin Setup\r\n"));
    EXPECT_NE(std::string::npos, builtIn.find("Copyright"));
}

TEST(StartupSettings, OnlyTheExactFalseLocksTheOptions) {
    ScratchFolder scratch;
    EXPECT_FALSE(OptionsChangeable(ScriptState(scratch, "[Extend]\r\nEnabled=False\r\n").ScriptFile));
    EXPECT_TRUE(OptionsChangeable(ScriptState(scratch, "[Extend]\r\nEnabled=false\r\n").ScriptFile));
    EXPECT_TRUE(OptionsChangeable(ScriptState(scratch, "[Extend]\r\n").ScriptFile));
}

// The boxes the run will look at: its entries walked by Make<n> up to the
// first empty one, each deciding by one box.
TEST(StartupSettings, TopMessageLinesAndDefaults) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch, "[TopMessage]\r\nMessage3=ようこそ\r\n");
    EXPECT_EQ(ToUtf8("\r\n\r\nようこそ\r\n\r\n\r\n"), ToUtf8(TopMessage(state)));

    state = ScriptState(scratch, "[TopMessage]\r\n");
    EXPECT_EQ(ToUtf8("インストールを行います。\r\n"), ToUtf8(TopMessage(state)));

    state = ScriptState(scratch, "[TopMessage]\r\nMessage1=x\r\n", "UNSETUP");
    state.UnSetupString = "削除";
    EXPECT_EQ(ToUtf8("削除を行います。\r\n\r\n開始するには、「削除開始(S)」を選択してください。\r\n"),
              ToUtf8(TopMessage(state)));
}

TEST(StartupSettings, UninstallOptionFlagsAndCaptions) {
    UninstallOptions o = UninstallOptionsFrom("1,0,1,0", "*.LOG", "", "アンインストール");
    EXPECT_FALSE(o.deleteAll);
    EXPECT_EQ("*.INI", o.caption[0]);
    EXPECT_EQ("*.GID", o.caption[1]);
    EXPECT_EQ("*.LOG", o.caption[2]);
    EXPECT_EQ("", o.caption[3]);
    EXPECT_TRUE(o.checked[0]);
    EXPECT_FALSE(o.checked[1]);
    EXPECT_TRUE(o.checked[2]);
    EXPECT_FALSE(o.checked[3]);
    EXPECT_TRUE(o.enabled[0] && o.enabled[1] && o.enabled[2]);
    EXPECT_FALSE(o.enabled[3]) << "a box without caption is disabled";
    EXPECT_TRUE(o.visible[0] && o.visible[1] && o.visible[2] && o.visible[3]);
    EXPECT_EQ(ToUtf8("　アンインストールフォルダの中で、コピーされたファイル以外に追加削除するファイルをチェック(選択)してください。"),
              ToUtf8(o.info));

    o = UninstallOptionsFrom("1", "", "", "アンインストール");
    EXPECT_TRUE(o.checked[0]);
    EXPECT_FALSE(o.checked[1] || o.checked[2] || o.checked[3]) << "missing flags leave boxes unchecked";
    o = UninstallOptionsFrom("0,1,x,1", "a", "b", "アンインストール");
    EXPECT_FALSE(o.checked[0]);
    EXPECT_TRUE(o.checked[1]);
    EXPECT_FALSE(o.checked[2]);
    EXPECT_TRUE(o.checked[3]);
}

TEST(StartupSettings, DeleteAllShowsOnlyTheOneBox) {
    UninstallOptions o = UninstallOptionsFrom("DeleteAll", "*.LOG", "*.TMP", "削除");
    EXPECT_TRUE(o.deleteAll);
    EXPECT_EQ(ToUtf8("削除フォルダ以下の全ファイル・フォルダ"), ToUtf8(o.caption[0]));
    EXPECT_TRUE(o.checked[0] && o.enabled[0] && o.visible[0]);
    for (int k = 1; k < 4; ++k) {
        EXPECT_FALSE(o.checked[k]);
        EXPECT_FALSE(o.visible[k]);
    }
    EXPECT_FALSE(UninstallOptionsFrom("deleteall", "", "", "削除").deleteAll) << "compared with case";
}

// ---- Default install folder ----

TEST(StartupDefaultFolder, ScriptFolderWithMacrosEndsWithDelimiter) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch, "[Extend]\r\n");
    EXPECT_EQ("C:\\Program Files\\", DefaultInstallFolder(state));
    state = ScriptState(scratch, "[DefaultFolder]\r\nFolder=(Prg)\\Vendor\\App\r\n");
    EXPECT_EQ("C:\\Program Files\\Vendor\\App\\", DefaultInstallFolder(state));
    EXPECT_EQ("", state.ProgramID);
}

TEST(StartupDefaultFolder, ProgramIdListReplacesTheScriptFolder) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch, "[DefaultFolder]\r\nFolder=(Prg)\\App\r\n[ProgramID]\r\nID=MYAPP\r\n");
    scratch.Write("win\\RVSET98.INI", "[OTHER]\r\nFolder=D:\\Other\r\n[MYAPP]\r\nFolder=D:\\Earlier\\App\r\n");
    EXPECT_EQ("D:\\Earlier\\App\\", DefaultInstallFolder(state));
    EXPECT_EQ("MYAPP", state.ProgramID);

    state = ScriptState(scratch, "[DefaultFolder]\r\nFolder=(Prg)\\App\r\n[ProgramID]\r\nID=NEWAPP\r\n");
    EXPECT_EQ("C:\\Program Files\\App\\", DefaultInstallFolder(state)) << "an unknown ID keeps the folder";
}

TEST(StartupDefaultFolder, ReferRegistryUnderTheCurrentUser) {
    ScratchFolder scratch;
    TestRegKey reg;
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, reg.subkey().c_str(), 0, KEY_SET_VALUE, key.put()));
    const char path[] = "E:\\Reg\\App";
    RegSetValueExA(key.get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
    const char empty[] = "";
    RegSetValueExA(key.get(), "Empty", 0, REG_SZ, reinterpret_cast<const BYTE*>(empty), sizeof empty);

    SetupState state = ScriptState(scratch, "[DefaultFolder]\r\nReferRegistry=" + reg.subkey() + ",Path\r\n");
    EXPECT_EQ("E:\\Reg\\App\\", DefaultInstallFolder(state));
    state = ScriptState(scratch, "[DefaultFolder]\r\nReferRegistry=(Cuser)\\" + reg.subkey() + "\\,Path\r\n");
    EXPECT_EQ("E:\\Reg\\App\\", DefaultInstallFolder(state)) << "leading and trailing delimiters trimmed";
    state = ScriptState(scratch, "[DefaultFolder]\r\nReferRegistry=" + reg.subkey() + ",Empty\r\n");
    EXPECT_EQ("C:\\Program Files\\", DefaultInstallFolder(state));
    state = ScriptState(scratch, "[DefaultFolder]\r\nReferRegistry=" + reg.subkey() + "\\Missing,Path\r\n");
    EXPECT_EQ("C:\\Program Files\\", DefaultInstallFolder(state));
    RegKey created;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, (reg.subkey() + "\\Missing").c_str(), 0, KEY_READ,
                                           created.put()));
}

TEST(StartupDefaultFolder, ReferRegistryUnderTheLocalMachine) {
    ScratchFolder scratch;
    const std::string subkey = "Software\\RavelinTest\\StartupLocal";
    {
        RegKey key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, key.put(), nullptr));
        const char path[] = "F:\\Local\\App";
        RegSetValueExA(key.get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
    }
    SetupState state = ScriptState(scratch, "[DefaultFolder]\r\nReferRegistry=(Local)" + subkey + ",Path\r\n");
    const std::string local = DefaultInstallFolder(state);
    state = ScriptState(scratch, "[DefaultFolder]\r\nReferRegistry=(local)" + subkey + ",Path\r\n");
    const std::string lowerCase = DefaultInstallFolder(state);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, subkey.c_str());
    EXPECT_EQ("F:\\Local\\App\\", local);
    EXPECT_EQ("C:\\Program Files\\", lowerCase) << "'(local)' selects the current user, where the key is not";
}

TEST(StartupDefaultFolder, ReferIniFileWithMacrosComesLast) {
    ScratchFolder scratch;
    TestRegKey reg;
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, reg.subkey().c_str(), 0, KEY_SET_VALUE, key.put()));
    const char path[] = "E:\\Reg\\App";
    RegSetValueExA(key.get(), "Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(path), sizeof path);
    scratch.Write("win\\APP.INI", "[Install]\r\nDir=G:\\Ini\\アプリ\r\nNone=\r\n");

    SetupState state = ScriptState(scratch, "[DefaultFolder]\r\nReferRegistry=" + reg.subkey() +
                                                ",Path\r\nReferIniFile=Install,Dir,(Win)APP.INI\r\n");
    EXPECT_EQ(ToUtf8("G:\\Ini\\アプリ\\"), ToUtf8(DefaultInstallFolder(state)));
    state = ScriptState(scratch, "[DefaultFolder]\r\nReferRegistry=" + reg.subkey() +
                                     ",Path\r\nReferIniFile=Install,None,(Win)APP.INI\r\n");
    EXPECT_EQ("E:\\Reg\\App\\", DefaultInstallFolder(state)) << "an empty INI value keeps the folder";
    state = ScriptState(scratch, "[DefaultFolder]\r\nReferIniFile=Install,Dir,(Win)MISSING.INI\r\n");
    EXPECT_EQ("C:\\Program Files\\", DefaultInstallFolder(state));
    state = ScriptState(scratch, "[DefaultFolder]\r\nReferIniFile=Install,Dir\r\n");
    EXPECT_EQ("C:\\Program Files\\", DefaultInstallFolder(state)) << "no file named: nothing is read";
}

TEST(StartupDefaultFolder, UninstallModeTakesTheRecordedFolder) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch,
                                   "[SetupFolder]\r\nFolder=C:\\Apps\\Recorded\r\n[DefaultFolder]\r\nFolder=D:\\No\r\n"
                                   "[ProgramID]\r\nID=MYAPP\r\n",
                                   "UNSETUP");
    EXPECT_EQ("C:\\Apps\\Recorded\\", DefaultInstallFolder(state));
}

// ---- Installation tests ----

TEST(StartupRejectOS, ANameInsideTheListRefuses) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch, "[Extend]\r\nRejectOS=Windows 95,Windows 98<SE>\r\n");
    state.OSName = "Windows 98";
    {
        ScriptedMsgBox boxes;
        boxes.Expect("警告",
                     "このオペレーティングシステムへのインストールは、プログラム配布者により認められていません。\r\n"
                     "詳細については、プログラム配布者へご確認ください。\r\nインストールを続行することはできません。",
                     48, IDOK);
        EXPECT_TRUE(RejectOperatingSystem(state));
    }
    state.OSName = "Windows XP";
    EXPECT_FALSE(RejectOperatingSystem(state));
    state = ScriptState(scratch, "[Extend]\r\n");
    state.OSName = "Windows Vista";
    EXPECT_FALSE(RejectOperatingSystem(state));
}

TEST(StartupCheckValue, FileValuesLieInTheShownFolder) {
    const CheckTarget t = ResolveCheckValue("\\bin\\app.exe", "C:\\Apps\\", "C:\\WINDOWS\\");
    EXPECT_FALSE(t.installedById);
    EXPECT_EQ("C:\\Apps\\bin\\app.exe", t.path);
}

TEST(StartupCheckValue, IdCheckFindsTheInstalledTitle) {
    ScratchFolder scratch;
    scratch.Write("win\\RVSET98.INI", "[MYAPP]\r\nFolder=" + scratch.path() + "app\\\r\n[BARE]\r\nFolder=" +
                                          scratch.path() + "bare\r\n");
    scratch.Write("app\\UNSETUP.INI", "[Title]\r\nUnSetup=マイアプリ\r\n");
    CheckTarget t = ResolveCheckValue("IDCheck:MYAPP", "C:\\Apps\\", scratch / "win\\");
    EXPECT_TRUE(t.installedById);
    EXPECT_EQ(ToUtf8("マイアプリ"), ToUtf8(t.title));
    t = ResolveCheckValue("idcheck:BARE", "C:\\Apps\\", scratch / "win\\");
    EXPECT_TRUE(t.installedById);
    EXPECT_EQ(ToUtf8("不明なタイトル"), ToUtf8(t.title));
    t = ResolveCheckValue("IDCheck:OTHER", "C:\\Apps\\", scratch / "win\\");
    EXPECT_FALSE(t.installedById);
    EXPECT_EQ("", t.path) << "an ID that is not installed names nothing to find";
}

TEST(StartupPreviousInstall, StrictFileHitLocksWithTheError) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch, "[Caution]\r\nUnInstallCheckEx=\\old.exe\r\nUnInstallCheck=old.exe\r\n");
    scratch.Write("app\\old.exe", "x");
    ScriptedMsgBox boxes;
    boxes.Expect("エラー",
                 "インストーラはチェック対象プログラムを検出しました。\r\nインストールを続行するためには、前バージョンの"
                 "アンインストールを行う必要があります。",
                 48, IDOK);
    EXPECT_TRUE(CheckPreviousInstallation(state, scratch / "app\\"));
}

TEST(StartupPreviousInstall, StrictIdHitNamesTheTitle) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch, "[Caution]\r\nUnInstallCheckEx=IDCheck:MYAPP\r\n");
    scratch.Write("win\\RVSET98.INI", "[MYAPP]\r\nFolder=" + scratch.path() + "old\\\r\n");
    scratch.Write("old\\UNSETUP.INI", "[Title]\r\nUnSetup=旧アプリ\r\n");
    ScriptedMsgBox boxes;
    boxes.Expect("エラー",
                 "インストーラはチェック対象プログラム識別子を検出しました。\r\n【旧アプリ】\r\nインストールを続行する"
                 "ためには、上記プログラムのアンインストールを行う必要があります。",
                 48, IDOK);
    EXPECT_TRUE(CheckPreviousInstallation(state, scratch / "app\\"));
}

TEST(StartupPreviousInstall, AdvisoryHitsOnlyWarn) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch, "[Caution]\r\nUnInstallCheckEx=IDCheck:NOTHERE\r\nUnInstallCheck=old.dll\r\n");
    scratch.Write("app\\old.dll", "x");
    {
        ScriptedMsgBox boxes;
        boxes.Expect("警告",
                     "インストーラはチェック対象プログラムを検出しました。\r\nパッケージ配布者は、前バージョンのプログラムの"
                     "アンインストールを推奨しています。\r\nインストールはこのまま続行できますが、予期せぬ結果を招く可能性"
                     "があります。\r\nできる限り中断して、前バージョンのアンインストールを行うことをお勧めします。",
                     48, IDOK);
        EXPECT_FALSE(CheckPreviousInstallation(state, scratch / "app\\"));
    }
    state = ScriptState(scratch, "[Caution]\r\nUnInstallCheck=IDCheck:MYAPP\r\n");
    scratch.Write("win\\RVSET98.INI", "[MYAPP]\r\nFolder=" + scratch.path() + "nothing\r\n");
    {
        ScriptedMsgBox boxes;
        boxes.Expect("警告",
                     "インストーラはチェック対象プログラム識別子を検出しました。\r\n【不明なタイトル】\r\nパッケージ配布者は、"
                     "上記プログラムのアンインストールを推奨しています。\r\nインストールはこのまま続行できますが、予期せぬ"
                     "結果を招く可能性があります。\r\nできる限り中断して、前バージョンのアンインストールを行うことをお勧めします。",
                     48, IDOK);
        EXPECT_FALSE(CheckPreviousInstallation(state, scratch / "app\\"));
    }
}

TEST(StartupPreviousInstall, NothingFoundShowsNothing) {
    ScratchFolder scratch;
    SetupState state = ScriptState(scratch, "[Extend]\r\n");
    EXPECT_FALSE(CheckPreviousInstallation(state, scratch / "app\\")) << "NoData names no file there";
    state = ScriptState(scratch, "[Caution]\r\nUnInstallCheckEx=missing.exe\r\nUnInstallCheck=app\r\n");
    scratch.Write("app\\app\\x", "a folder is no file");
    EXPECT_FALSE(CheckPreviousInstallation(state, scratch / "app\\"));
}
