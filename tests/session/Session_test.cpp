// One session as the wizard and /S both run it: what start-up hands a front
// end, the package author's checker, and the end that takes the working
// folder away again.
#include "session/Session.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/SetupState.h"
#include "platform/Handles.h"

namespace {

std::string WindowsFolder() {
    char path[MAX_PATH] = {};
    GetWindowsDirectoryA(path, MAX_PATH);
    return std::string(path) + "\\";
}

// The checker fixture beside a program, with what it is to write as its
// result (nothing when result is null).
void AddChecker(const ScratchFolder& dist, const std::string* result) {
    ASSERT_TRUE(CopyFileA((TestBinFolder() + "rvchecker.exe").c_str(), (dist / "check\\rvchecker.exe").c_str(), FALSE) ||
                (CreateDirectoryA((dist / "check").c_str(), nullptr) &&
                 CopyFileA((TestBinFolder() + "rvchecker.exe").c_str(), (dist / "check\\rvchecker.exe").c_str(), FALSE)));
    DeleteFileA((dist / "check\\rvchecker.cfg").c_str());
    if (result) dist.Write("check\\rvchecker.cfg", *result);
}

}  // namespace

TEST(SessionStart, AnInstallHandsTheFrontEndTheScriptsSettings) {
    ScratchFolder dist;
    TestRegKey reg;
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, reg.subkey().c_str(), 0, KEY_SET_VALUE, key.put()));
    const char folder[] = "D:\\FromUser\\App";
    RegSetValueExA(key.get(), "InstallPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), sizeof folder);
    dist.Write("SETUP.EXE", "program bytes");
    dist.Write("SETUP.INI", "[Title]\r\nSetup=テストアプリ\r\nCopyRight1=First\r\nCopyRight2=Second\r\n"
                            "[Extend]\r\nSetupString=導入\r\nEnabled=False\r\n"
                            "[DefaultFolder]\r\nFolder=(Prg)\\Vendor\r\nReferRegistry=" + reg.subkey() +
                            ",InstallPath\r\n"
                            "[ShortCut]\r\nMake1=(App)\\A.EXE\r\nName1=(C_Dsk)\\App\r\nMake2=(App)\\A.EXE\r\n"
                            "Name2=(Sen)\\App\r\n[TopMessage]\r\nMessage2=二行目です\r\n");
    SetupState state;
    Session session(state);
    const StartUpResult start = session.Start(dist / "SETUP.EXE", "");
    ASSERT_EQ(StartUpResult::Kind::Install, start.kind) << ToUtf8(start.fatal);
    EXPECT_EQ(ToUtf8("テストアプリ"), ToUtf8(start.title));
    EXPECT_EQ("First\r\nSecond", start.banner);
    EXPECT_EQ("D:\\FromUser\\App\\", start.folder) << "the registry's folder over the script's";
    EXPECT_FALSE(start.optionsChangeable);
    EXPECT_TRUE(start.shortcuts.desktop);
    EXPECT_TRUE(start.shortcuts.sendTo);
    EXPECT_FALSE(start.shortcuts.startMenu || start.shortcuts.startUp);
    EXPECT_EQ(ToUtf8("\r\n二行目です\r\n\r\n\r\n\r\n"), ToUtf8(start.topMessage));
    EXPECT_EQ(start.topMessage, state.ItemText) << "the runs show it before their first stage";
    EXPECT_EQ(ToUtf8("導入"), ToUtf8(state.SetupString));
    ASSERT_TRUE(FolderExistsAt(state.WorkFolder));
    session.End(false);
    EXPECT_FALSE(FolderExistsAt(state.WorkFolder));
}

TEST(SessionStart, AnUninstallHandsTheFrontEndTheRecordsOptionsAndAFatalStartItsCode) {
    ScratchFolder dist;
    dist.Write("UNRAVEL.EXE", "program bytes");
    dist.Write("app\\UNSETUP.INI", "[Title]\r\nUnSetup=旧アプリ\r\n[SetupFolder]\r\nFolder=" + dist.path() +
                                       "app\r\n[UnSetupOption]\r\nCheckBox=1,0,1,0\r\nCheckBox3=*.LOG\r\n");
    SetupState state;
    Session session(state);
    StartUpResult start = session.Start(dist / "UNRAVEL.EXE", dist / "app\\UNSETUP.INI");
    ASSERT_EQ(StartUpResult::Kind::Uninstall, start.kind) << ToUtf8(start.fatal);
    EXPECT_EQ(ToUtf8("旧アプリ"), ToUtf8(start.title));
    EXPECT_EQ(dist / "app\\", start.folder);
    EXPECT_EQ("1,0,1,0", state.UnSetupOption) << "the run deletes by the flags";
    EXPECT_TRUE(start.uninstallOptions.checked[0]);
    EXPECT_FALSE(start.uninstallOptions.checked[1]);
    EXPECT_TRUE(start.uninstallOptions.checked[2]);
    EXPECT_EQ("*.LOG", start.uninstallOptions.caption[2]);
    EXPECT_FALSE(start.uninstallOptions.enabled[3]) << "no CheckBox4 caption";
    session.End(false);

    // No script beside the program: only the end is left, with its code.
    start = session.Start(dist / "UNRAVEL.EXE", "");
    EXPECT_EQ(StartUpResult::Kind::Fatal, start.kind);
    EXPECT_EQ(ExitCode::kCannotStart, start.exitCode);
    EXPECT_NE(std::string::npos, start.fatal.find("iniファイル読み込み失敗")) << ToUtf8(start.fatal);
    session.End(false);
}

TEST(SessionChecker, OnlyExactlyContinueInstallAllowsAndNoResultOutlivesItsRun) {
    ScratchFolder dist;
    SetupState state;
    state.SourceFolder = dist.path();
    state.WindowsFolder = WindowsFolder();
    state.SetupString = "インストール";
    const std::string resultFile = state.WindowsFolder + "RVRESULT.INI";
    Session session(state);

    dist.Write("SETUP.INI", "[Extend]\r\nInstallChecker=\\check\\missing.exe\r\n");
    state.ScriptFile = dist / "SETUP.INI";
    EXPECT_EQ("", session.Checker()) << "a checker that is not there is none";
    dist.Write("SETUP.INI", "[Extend]\r\nInstallChecker=\\check\\rvchecker.exe\r\n");
    const std::string refusal = "インストールチェック機能により、インストールは続行不可能と判断されました。";

    const std::string lowerCase = "[CheckResult]\r\nResult=continueinstall\r\nMessage=古い版<改行>です\r\n";
    AddChecker(dist, &lowerCase);
    ASSERT_EQ(dist / "check\\rvchecker.exe", session.Checker());
    {
        ScriptedMsgBox boxes;
        boxes.ExpectContaining("警告", refusal, MB_OK | MB_ICONEXCLAMATION, IDOK);
        const CheckerVerdict verdict = session.RunChecker(session.Checker());
        EXPECT_FALSE(verdict.allows);
        EXPECT_EQ(ToUtf8("古い版\r\nです"), ToUtf8(verdict.message));
    }
    // A result an earlier run left never counts for this one.
    WriteFileBytes(resultFile, "[CheckResult]\r\nResult=ContinueInstall\r\n");
    AddChecker(dist, nullptr);
    {
        ScriptedMsgBox boxes;
        boxes.ExpectContaining("警告", refusal, MB_OK | MB_ICONEXCLAMATION, IDOK);
        EXPECT_FALSE(session.RunChecker(session.Checker()).allows);
    }
    const std::string allow = "[CheckResult]\r\nResult=ContinueInstall\r\n";
    AddChecker(dist, &allow);
    EXPECT_TRUE(session.RunChecker(session.Checker()).allows);
    EXPECT_FALSE(FileExistsAt(resultFile)) << "the result is deleted once read";
}
