// The tests before an install: the refused operating system and the strict
// and advisory previous-installation tests, with their boxes.
#include "session/InstallationTests.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "SessionTestKit.h"
#include "TestSupport.h"
#include "app/SetupState.h"

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
