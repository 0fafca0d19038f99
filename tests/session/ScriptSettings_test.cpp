// The settings read from the script copy: words, pacing and titles, the
// banner, the option lock, the folder page's message, the uninstall options
// and the default install folder.
#include "session/ScriptSettings.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "SessionTestKit.h"
#include "TestSupport.h"
#include "app/SetupState.h"
#include "platform/Handles.h"

// ---- General settings ----

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
