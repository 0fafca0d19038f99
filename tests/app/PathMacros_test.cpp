#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <utility>

#include "TestSupport.h"
#include "app/PathMacros.h"
#include "app/SetupState.h"

namespace {

// A state as start-up leaves it before the install run: "(App)" stands for
// itself and "(Set)" is still empty.
SetupState StartupState() {
    SetupState s;
    s.InstallFolder = "(App)";
    s.WindowsFolder = "C:\\WINDOWS\\";
    s.SystemFolder = "C:\\WINDOWS\\SYSTEM32\\";
    s.ProgramFilesFolder = "C:\\Program Files\\";
    s.TempFolder = "C:\\TEMP\\";
    s.BootDrive = "C:\\";
    s.SourceDrive = "D:\\";
    s.DesktopFolder = "C:\\Users\\u\\Desktop\\";
    s.CommonDesktopFolder = "C:\\Users\\Public\\Desktop\\";
    return s;
}

TEST(ExpandPathMacros, MatchedWithoutCaseAndJoinedWithOneDelimiter) {
    const SetupState s = StartupState();
    EXPECT_EQ("C:\\WINDOWS\\Fonts", ExpandPathMacros("(Win)\\Fonts", s));
    EXPECT_EQ("C:\\WINDOWS\\Fonts", ExpandPathMacros("(win)Fonts", s));
    EXPECT_EQ("C:\\WINDOWS\\Fonts", ExpandPathMacros("(WIN)\\Fonts", s));
    EXPECT_EQ("C:\\WINDOWS\\\\Fonts", ExpandPathMacros("(Win)\\\\Fonts", s));  // only one is dropped
    EXPECT_EQ("x=C:\\WINDOWS\\", ExpandPathMacros("x=(Win)", s));
}

TEST(ExpandPathMacros, EveryOccurrenceOfEveryMacro) {
    const SetupState s = StartupState();
    EXPECT_EQ("C:\\Users\\u\\Desktop\\App.lnk;C:\\Users\\u\\Desktop\\App2.lnk",
              ExpandPathMacros("(Dsk)\\App.lnk;(Dsk)\\App2.lnk", s));
    EXPECT_EQ("C:\\Users\\Public\\Desktop\\x|C:\\Users\\u\\Desktop\\x",
              ExpandPathMacros("(C_Dsk)\\x|(dsk)\\x", s));
    EXPECT_EQ("C:\\TEMP\\a;C:\\WINDOWS\\SYSTEM32\\b;C:\\TEMP\\c",
              ExpandPathMacros("(Tmp)a;(Sys)b;(TMP)\\c", s));
}

TEST(ExpandPathMacros, EachTokenNamesItsOwnFolder) {
    // Written from the macro table; a swapped or missing field shows here.
    const std::pair<const char*, std::string SetupState::*> table[] = {
        {"(App)", &SetupState::InstallFolder},
        {"(Prg)", &SetupState::ProgramFilesFolder},
        {"(Win)", &SetupState::WindowsFolder},
        {"(Sys)", &SetupState::SystemFolder},
        {"(Tmp)", &SetupState::TempFolder},
        {"(Boo)", &SetupState::BootDrive},
        {"(Set)", &SetupState::InstallDrive},
        {"(Edr)", &SetupState::SourceDrive},
        {"(Smn)", &SetupState::StartMenuFolder},
        {"(Sta)", &SetupState::ProgramsFolder},
        {"(Dsk)", &SetupState::DesktopFolder},
        {"(Sup)", &SetupState::StartupFolder},
        {"(Sen)", &SetupState::SendToFolder},
        {"(Myd)", &SetupState::DocumentsFolder},
        {"(C_Smn)", &SetupState::CommonStartMenuFolder},
        {"(C_Sta)", &SetupState::CommonProgramsFolder},
        {"(C_Dsk)", &SetupState::CommonDesktopFolder},
        {"(C_Sup)", &SetupState::CommonStartupFolder},
        {"(C_Myd)", &SetupState::CommonDocumentsFolder},
    };
    SetupState s;
    int n = 0;
    for (const auto& [token, field] : table) s.*field = std::string("F") + std::to_string(++n) + "\\";
    std::string all, expected;
    n = 0;
    for (const auto& [token, field] : table) {
        const std::string folder = std::string("F") + std::to_string(++n) + "\\";
        EXPECT_EQ(folder + "x", ExpandPathMacros(std::string(token) + "\\x", s)) << token;
        all += std::string(token) + "|";
        expected += folder + "|";
    }
    EXPECT_EQ(expected, ExpandPathMacros(all, s));
}

TEST(ExpandPathMacros, PlaceholdersAndUnknownTokens) {
    const SetupState s = StartupState();
    EXPECT_EQ("(App)\\bin\\a.exe", ExpandPathMacros("(App)\\bin\\a.exe", s));  // stands for itself
    EXPECT_EQ("abc", ExpandPathMacros("(Set)abc", s));                         // empty before the run
    EXPECT_EQ("\\abc", ExpandPathMacros("(Set)\\abc", s));
    EXPECT_EQ("(Abc)\\x", ExpandPathMacros("(Abc)\\x", s));
    EXPECT_EQ("(Pdd)", ExpandPathMacros("(Pdd)", s));
    EXPECT_EQ("(Win", ExpandPathMacros("(Win", s));
    EXPECT_EQ("Win)", ExpandPathMacros("Win)", s));
    EXPECT_EQ("", ExpandPathMacros("", s));
}

TEST(ExpandPathMacros, FolderTextIsNeverSearchedAgain) {
    SetupState s = StartupState();
    s.InstallFolder = "D:\\Tools(Win)\\";  // a folder name that holds a token
    s.InstallDrive = "D:\\";
    EXPECT_EQ("D:\\Tools(Win)\\a;C:\\WINDOWS\\b", ExpandPathMacros("(App)a;(Win)b", s));
    s.TempFolder = "C:\\(Tmp)\\";
    EXPECT_EQ("C:\\(Tmp)\\x", ExpandPathMacros("(Tmp)x", s));
}

TEST(ExpandPathMacros, DoubleByteText) {
    SetupState s = StartupState();
    EXPECT_EQ("ソフトC:\\WINDOWS\\表\\ポ", ExpandPathMacros("ソフト(Win)表\\ポ", s));
    // A folder ending in the trail byte 0x5C of "表" has no delimiter at its
    // end, so the "\" after the macro stays.
    s.WindowsFolder = "C:\\表";
    EXPECT_EQ("C:\\表\\Fonts", ExpandPathMacros("(Win)\\Fonts", s));
}

TEST(ExpandPathMacros, DefaultStateRecord) {
    SetupState& state = State();
    const std::string saved = state.WindowsFolder;
    state.WindowsFolder = "E:\\W\\";
    EXPECT_EQ("E:\\W\\x", ExpandPathMacros("(win)x"));
    state.WindowsFolder = saved;
}

TEST(ReplaceToken, RepeatsWithoutSearchingTheInsertedText) {
    EXPECT_EQ("(a)(a)(a)(a)", ReplaceToken("(a)(a)", "(a)", "(a)(a)"));
    EXPECT_EQ("X(Win)\\Fonts", ReplaceToken("(Win)Fonts", "(win)", "X(Win)\\"));
    EXPECT_EQ("a\r\nb\r\nc", ReplaceToken("a<br>b<BR>c", "<br>", "\r\n"));
    EXPECT_EQ("a\r\n\\b", ReplaceToken("a<br>\\b", "<br>", "\r\n"));  // no delimiter at its end
    EXPECT_EQ("unchanged", ReplaceToken("unchanged", "", "x"));
    EXPECT_EQ("unchanged", ReplaceToken("unchanged", "(Win)", "x"));
    EXPECT_EQ("", ReplaceToken("(Set)", "(Set)", ""));
}

TEST(ReplaceToken, NeverMatchesInsideADoubleByteCharacter) {
    // "表" is 0x95 0x5C and "ポ" is 0x83 0x7C.
    EXPECT_EQ("表/x", ReplaceToken("表\\x", "\\", "/"));
    EXPECT_EQ("ポ;", ReplaceToken("ポ|", "|", ";"));
    EXPECT_EQ("ソ", ReplaceToken("ソ", "\\", "/"));
}

TEST(RegistryRoot, RootCutOffByPosition) {
    RegistryRoot r = SplitRegistryRoot("(Local)SOFTWARE\\Vendor\\App");
    EXPECT_EQ(HKEY_LOCAL_MACHINE, r.hive);
    EXPECT_EQ("(Local)", r.rootMacro);
    EXPECT_EQ("SOFTWARE\\Vendor\\App", r.subkey);

    r = SplitRegistryRoot("(local)SOFTWARE\\Vendor");  // compared with case
    EXPECT_EQ(HKEY_CURRENT_USER, r.hive);
    EXPECT_EQ("SOFTWARE\\Vendor", r.subkey);

    r = SplitRegistryRoot("(Class).txt");
    EXPECT_EQ(HKEY_CLASSES_ROOT, r.hive);
    EXPECT_EQ(".txt", r.subkey);

    r = SplitRegistryRoot("(Users).DEFAULT\\Software");
    EXPECT_EQ(HKEY_USERS, r.hive);
    EXPECT_EQ(".DEFAULT\\Software", r.subkey);

    r = SplitRegistryRoot("(Cuser)Software\\X");
    EXPECT_EQ(HKEY_CURRENT_USER, r.hive);
    EXPECT_EQ("Software\\X", r.subkey);

    r = SplitRegistryRoot("(Local)\\SOFTWARE\\");  // the caller trims
    EXPECT_EQ(HKEY_LOCAL_MACHINE, r.hive);
    EXPECT_EQ("\\SOFTWARE\\", r.subkey);
}

TEST(RegistryRoot, WithoutRootMacro) {
    RegistryRoot r = SplitRegistryRoot("SOFTWARE\\Vendor");
    EXPECT_EQ(HKEY_CURRENT_USER, r.hive);
    EXPECT_EQ("(Cuser)", r.rootMacro);
    EXPECT_EQ("SOFTWARE\\Vendor", r.subkey);

    r = SplitRegistryRoot("ソフトウェア\\表");
    EXPECT_EQ(HKEY_CURRENT_USER, r.hive);
    EXPECT_EQ("ソフトウェア\\表", r.subkey);

    r = SplitRegistryRoot("");
    EXPECT_EQ(HKEY_CURRENT_USER, r.hive);
    EXPECT_EQ("", r.subkey);

    // Either marker alone counts as a root: the first 7 bytes go.
    r = SplitRegistryRoot("Softwa)Vendor");
    EXPECT_EQ(HKEY_CURRENT_USER, r.hive);
    EXPECT_EQ("Vendor", r.subkey);
    r = SplitRegistryRoot("(Loc");
    EXPECT_EQ(HKEY_CURRENT_USER, r.hive);
    EXPECT_EQ("", r.subkey);
}

TEST(RegistryRoot, HiveFromRootMacroIsExact) {
    EXPECT_EQ(HKEY_CLASSES_ROOT, HiveFromRootMacro("(Class)"));
    EXPECT_EQ(HKEY_LOCAL_MACHINE, HiveFromRootMacro("(Local)"));
    EXPECT_EQ(HKEY_USERS, HiveFromRootMacro("(Users)"));
    EXPECT_EQ(HKEY_CURRENT_USER, HiveFromRootMacro("(Cuser)"));
    EXPECT_EQ(HKEY_CURRENT_USER, HiveFromRootMacro("(CLASS)"));
    EXPECT_EQ(HKEY_CURRENT_USER, HiveFromRootMacro("(Local"));
    EXPECT_EQ(HKEY_CURRENT_USER, HiveFromRootMacro(""));
}

}  // namespace
