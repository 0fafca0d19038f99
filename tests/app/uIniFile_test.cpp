#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "app/ScriptKeys.h"
#include "app/uIniFile.h"

namespace {

// CP932: "表" and "ソ" end in 0x5C, "ポ" in 0x7C.
const std::string kDbcs = "表ソポ";

TEST(IniRead, LongValuesComeBackWhole) {
    ScratchFolder dir;
    const std::string v255(255, 'a');
    const std::string v256(256, 'b');
    const std::string v1000 = std::string(997, 'c') + "end";
    std::string allDbcs;
    for (int i = 0; i < 300; ++i) allDbcs += "表";
    dir.Write("S.INI", "[Sec]\r\nV255=" + v255 + "\r\nV256=" + v256 + "\r\nV1000=" + v1000 +
                           "\r\nDbcs=" + allDbcs + "\r\n");
    const std::string file = dir / "S.INI";
    EXPECT_EQ(v255, IniRead("Sec", "V255", "", file));
    EXPECT_EQ(v256, IniRead("Sec", "V256", "", file));
    EXPECT_EQ(v1000, IniRead("Sec", "V1000", "", file));
    EXPECT_EQ(allDbcs, IniRead("Sec", "Dbcs", "", file)) << ToUtf8(IniRead("Sec", "Dbcs", "", file));
}

TEST(IniRead, ValueCutBeforeADoubleByteCharacterIsReadWhole) {
    // Every alignment of a double-byte character around the first two buffer
    // sizes: a cut there can come back one byte short of a full buffer.
    ScratchFolder dir;
    std::string script = "[Sec]\r\n";
    for (int pad = 250; pad <= 260; ++pad)
        script += std::string("A") + std::to_string(pad) + "=" + std::string(static_cast<size_t>(pad), 'x') + kDbcs + "z\r\n";
    for (int pad = 505; pad <= 515; ++pad)
        script += std::string("B") + std::to_string(pad) + "=" + std::string(static_cast<size_t>(pad), 'y') + kDbcs + "z\r\n";
    dir.Write("S.INI", script);
    const std::string file = dir / "S.INI";
    for (int pad = 250; pad <= 260; ++pad) {
        const std::string expected = std::string(static_cast<size_t>(pad), 'x') + kDbcs + "z";
        EXPECT_EQ(expected, IniRead("Sec", std::string("A") + std::to_string(pad), "", file)) << "pad " << pad;
    }
    for (int pad = 505; pad <= 515; ++pad) {
        const std::string expected = std::string(static_cast<size_t>(pad), 'y') + kDbcs + "z";
        EXPECT_EQ(expected, IniRead("Sec", std::string("B") + std::to_string(pad), "", file)) << "pad " << pad;
    }
}

TEST(IniRead, ProfileSyntax) {
    ScratchFolder dir;
    dir.Write("S.INI",
              "[Extend]\r\n"
              "SetupSpeed=\r\n"
              "Twice=first\r\n"
              "Twice=second\r\n"
              "Quoted=\"  spaced value  \"\r\n"
              "Blanks=   padded   \r\n"
              "Japanese=" + kDbcs + "\\" + "\r\n"
              "[extend]\r\n"
              "Later=in a second section of the same name\r\n");
    const std::string file = dir / "S.INI";
    EXPECT_EQ("", IniRead("Extend", "SetupSpeed", "350", file));  // present but empty: not the default
    EXPECT_EQ("first", IniRead("Extend", "Twice", "", file));
    EXPECT_EQ("  spaced value  ", IniRead("Extend", "Quoted", "", file));
    EXPECT_EQ("padded", IniRead("Extend", "Blanks", "", file));
    EXPECT_EQ(kDbcs + "\\", IniRead("EXTEND", "japanese", "", file));  // names without case
    EXPECT_EQ("default", IniRead("Extend", "Later", "default", file));  // first section counts
}

TEST(IniRead, DefaultOfAnyLengthComesBackForAMissingKey) {
    // A script's 64 KiB title is the default of the key that names its
    // Add/Remove Programs entry; the read once crashed the program.
    ScratchFolder dir;
    dir.Write("S.INI", "[Title]\r\nSetup=x\r\n");
    const std::string huge = "(App)" + std::string(32765, 'X') + "\x83\x5C";
    EXPECT_EQ(huge, IniRead("Title", "UnSetupKey", huge, dir / "S.INI"));
    EXPECT_EQ(std::string(65536, 'A'), IniRead("Title", "UnSetupKey", std::string(65536, 'A'), dir / "S.INI"));
    EXPECT_EQ("x", IniRead("Title", "Setup", huge, dir / "S.INI"));
    EXPECT_EQ("  trailing", IniRead("Title", "None", "  trailing   ", dir / "S.INI"));
}

TEST(IniRead, MissingFileSectionOrKeyGivesTheDefault) {
    ScratchFolder dir;
    dir.Write("S.INI", "[Extend]\r\nSetupString=セットアップ\r\n");
    const std::string file = dir / "S.INI";
    EXPECT_EQ("インストール", IniRead("Extend", "Other", "インストール", file));
    EXPECT_EQ("インストール", IniRead("Title", "SetupString", "インストール", file));
    EXPECT_EQ("x", IniRead("Extend", "SetupString", "x", dir / "NONE.INI"));
    EXPECT_EQ("", IniRead("Extend", "Other", "", file));
    const std::string longDefault(700, 'd');
    EXPECT_EQ(longDefault, IniRead("Extend", "Other", longDefault, file));
    EXPECT_EQ("セットアップ", IniRead("Extend", "SetupString", "インストール", file));
}

TEST(IniWrite, WrittenValueIsOnDiskAtOnce) {
    ScratchFolder dir;
    const std::string file = dir / "RVSET98.INI";
    ASSERT_TRUE(IniWrite("APP01", "Folder", "C:\\" + kDbcs + "\\", file));
    // Another reader of the file itself, not through the profile cache.
    const std::string bytes = ReadFileBytes(file);
    EXPECT_NE(std::string::npos, bytes.find("[APP01]")) << bytes;
    EXPECT_NE(std::string::npos, bytes.find("Folder=C:\\" + kDbcs + "\\")) << ToUtf8(bytes);
    EXPECT_EQ("C:\\" + kDbcs + "\\", IniRead("APP01", "Folder", "", file));

    ASSERT_TRUE(IniWrite("APP01", "Folder", "D:\\new\\", file));
    EXPECT_NE(std::string::npos, ReadFileBytes(file).find("Folder=D:\\new\\"));
    EXPECT_EQ(std::string::npos, ReadFileBytes(file).find("Folder=C:"));
    EXPECT_EQ("D:\\new\\", IniRead("APP01", "Folder", "", file));

    const std::string longValue = std::string(600, 'L') + kDbcs;
    ASSERT_TRUE(IniWrite("Other", "Long", longValue, file));
    EXPECT_EQ(longValue, IniRead("Other", "Long", "", file));
    EXPECT_EQ("D:\\new\\", IniRead("APP01", "Folder", "", file));
}

// As the system's profile functions take it: a name without a folder (a
// double-byte name whose trail byte is "\\" included) is the file in the
// Windows folder, for writing and reading alike, whatever the current folder.
TEST(IniWrite, ANameWithoutAFolderIsTheFileInTheWindowsFolder) {
    ScratchFolder dir;
    char previous[MAX_PATH];
    GetCurrentDirectoryA(sizeof previous, previous);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    char windows[MAX_PATH];
    GetWindowsDirectoryA(windows, sizeof windows);
    for (const std::string& name : {std::string("RVBARE.INI"), std::string("表RV.INI")}) {
        SCOPED_TRACE(ToUtf8(name));
        const std::string inWindows = std::string(windows) + "\\" + name;
        EXPECT_TRUE(IniWrite("Options", "Path", "C:\\App\\", name));
        EXPECT_FALSE(FileExistsAt(dir / name)) << "written into the current folder";
        EXPECT_NE(std::string::npos, ReadFileBytes(inWindows).find("Path=C:\\App\\"));
        dir.Write(name, "[Options]\r\nPath=current folder\r\n");
        EXPECT_EQ("C:\\App\\", IniRead("Options", "Path", "", name));
        DeleteFileA(inWindows.c_str());
    }
    SetCurrentDirectoryA(previous);
}

// A file whose last bytes are a lead byte and CR ends inside a character,
// not with a line end: a new section must not be glued to that line.
TEST(IniWrite, ASectionAddedAfterALeadByteAndCrStandsOnALineOfItsOwn) {
    ScratchFolder dir;
    dir.Write("APP.INI", "[A]\r\nK=v\x81\r");
    ASSERT_TRUE(IniWrite("B", "X", "1", dir / "APP.INI"));
    EXPECT_EQ("1", IniRead("B", "X", "", dir / "APP.INI")) << ReadFileBytes(dir / "APP.INI");
}

TEST(IniWrite, FailureIsReported) {
    ScratchFolder dir;
    EXPECT_FALSE(IniWrite("Sec", "Key", "v", dir / "missing\\folder\\X.INI"));
    EXPECT_FALSE(FileExistsAt(dir / "missing\\folder\\X.INI"));
}

// A script written the way a package author writes one, read through the
// named keys: a misspelt key name or a wrong default shows up here.
TEST(ScriptKeys, AuthorScriptReadsThroughTheNamedKeys) {
    ScratchFolder dir;
    dir.Write("SETUP.INI",
              "[Extend]\r\nSetupString=導入\r\nUnSetupString=削除\r\nSetupSpeed=10\r\nEnabled=False\r\n"
              "RejectOS=Windows 95\r\nInstallChecker=CHECK.EXE\r\nUnSetupOption=1,0,0,0\r\n"
              "UnSetupCheckBox3=*.log\r\nUnSetupCheckBox4=*.dat\r\n"
              "[Title]\r\nCopyRight1=c1\r\nCopyRight2=c2\r\nSetup=S\r\nUnSetup=U\r\nProgram=P\r\n"
              "UnSetupKey=K\r\nUnSetupDisplay=D\r\n"
              "[DefaultFolder]\r\nFolder=(Prg)\\App\\\r\nReferRegistry=r,v\r\nReferIniFile=s,k,f\r\n"
              "[ProgramID]\r\nID=APP01\r\n"
              "[TopMessage]\r\nMessage5=m5\r\n"
              "[Caution]\r\nUnInstallCheckEx=IDCheck:APP01\r\nUnInstallCheck=A.EXE\r\n"
              "[EULA]\r\nFile=EULA.TXT\r\nScrollBars=ssBoth\r\nCheckBox=Hide\r\n"
              "[Readme]\r\nFile=README.TXT\r\nTitle=T\r\nScrollBars=ssHorizontal\r\n"
              "[BeforeUnInstall]\r\nReadmeFile=R.TXT\r\nFile=B.EXE\r\n"
              "[CopyFile]\r\nFile1=a\r\n[ShortCut]\r\nMake1=m\r\nName1=n\r\n"
              "[Registry]\r\nKey1=k\r\nName1=n\r\nValue1=v\r\n[Relate]\r\nName20=x\r\nFile20=y\r\n"
              "[Support]\r\nURLUpdateInfo=u\r\nHelpTelephone=t\r\n[ExecuteFile]\r\nFile=RUN.EXE\r\n");
    const std::string f = dir / "SETUP.INI";
    using namespace Script;
    EXPECT_EQ("導入", IniRead(Extend::kSection, Extend::kSetupString, Extend::kSetupStringDefault, f));
    EXPECT_EQ("削除", IniRead(Extend::kSection, Extend::kUnSetupString, Extend::kUnSetupStringDefault, f));
    EXPECT_EQ("10", IniRead(Extend::kSection, Extend::kSetupSpeed, Extend::kSetupSpeedDefault, f));
    EXPECT_EQ(Values::kFalse, IniRead(Extend::kSection, Extend::kEnabled, "", f));
    EXPECT_EQ("Windows 95", IniRead(Extend::kSection, Extend::kRejectOS, "", f));
    EXPECT_EQ("CHECK.EXE", IniRead(Extend::kSection, Extend::kInstallChecker, "", f));
    EXPECT_EQ("1,0,0,0", IniRead(Extend::kSection, Extend::kUnSetupOption, "", f));
    EXPECT_EQ("*.log", IniRead(Extend::kSection, Extend::kUnSetupCheckBox3, "", f));
    EXPECT_EQ("*.dat", IniRead(Extend::kSection, Extend::kUnSetupCheckBox4, "", f));
    EXPECT_EQ("c1c2SUPKD", IniRead(Title::kSection, Title::kCopyRight1, "", f) +
                               IniRead(Title::kSection, Title::kCopyRight2, "", f) +
                               IniRead(Title::kSection, Title::kSetup, Title::kSetupDefault, f) +
                               IniRead(Title::kSection, Title::kUnSetup, "", f) +
                               IniRead(Title::kSection, Title::kProgram, "", f) +
                               IniRead(Title::kSection, Title::kUnSetupKey, "", f) +
                               IniRead(Title::kSection, Title::kUnSetupDisplay, "", f));
    EXPECT_EQ("(Prg)\\App\\", IniRead(DefaultFolder::kSection, DefaultFolder::kFolder, "", f));
    EXPECT_EQ("r,v", IniRead(DefaultFolder::kSection, DefaultFolder::kReferRegistry, "", f));
    EXPECT_EQ("s,k,f", IniRead(DefaultFolder::kSection, DefaultFolder::kReferIniFile, "", f));
    EXPECT_EQ("APP01", IniRead(ProgramID::kSection, ProgramID::kID, "", f));
    EXPECT_EQ("m5", IniRead(TopMessage::kSection,
                            NumberedKey(TopMessage::kMessagePrefix, TopMessage::kMessageCount), "", f));
    EXPECT_EQ("IDCheck:APP01", IniRead(Caution::kSection, Caution::kUnInstallCheckEx, Caution::kCheckDefault, f));
    EXPECT_EQ("A.EXE", IniRead(Caution::kSection, Caution::kUnInstallCheck, Caution::kCheckDefault, f));
    EXPECT_EQ("EULA.TXT", IniRead(EULA::kSection, EULA::kFile, "", f));
    EXPECT_EQ(Values::kBoth, IniRead(EULA::kSection, EULA::kScrollBars, EULA::kScrollBarsDefault, f));
    EXPECT_EQ(Values::kHide, IniRead(EULA::kSection, EULA::kCheckBox, "", f));
    EXPECT_EQ("README.TXT", IniRead(Readme::kSection, Readme::kFile, "", f));
    EXPECT_EQ("T", IniRead(Readme::kSection, Readme::kTitle, "", f));
    EXPECT_EQ(Values::kHorizontal, IniRead(Readme::kSection, Readme::kScrollBars, Readme::kScrollBarsDefault, f));
    EXPECT_EQ("R.TXT", IniRead(BeforeUnInstall::kSection, BeforeUnInstall::kReadmeFile, "", f));
    EXPECT_EQ("B.EXE", IniRead(BeforeUnInstall::kSection, BeforeUnInstall::kFile, "", f));
    EXPECT_EQ("a", IniRead(CopyFiles::kSection, NumberedKey(CopyFiles::kFilePrefix, 1), "", f));
    EXPECT_EQ("m", IniRead(ShortCut::kSection, NumberedKey(ShortCut::kMakePrefix, 1), "", f));
    EXPECT_EQ("n", IniRead(ShortCut::kSection, NumberedKey(ShortCut::kNamePrefix, 1), ShortCut::kNameDefault, f));
    EXPECT_EQ("knv", IniRead(Registry::kSection, NumberedKey(Registry::kKeyPrefix, 1), "", f) +
                         IniRead(Registry::kSection, NumberedKey(Registry::kNamePrefix, 1), "", f) +
                         IniRead(Registry::kSection, NumberedKey(Registry::kValuePrefix, 1), "", f));
    EXPECT_EQ("xy", IniRead(Relate::kSection, NumberedKey(Relate::kNamePrefix, Relate::kCount), "", f) +
                        IniRead(Relate::kSection, NumberedKey(Relate::kFilePrefix, Relate::kCount), "", f));
    EXPECT_EQ("ut", IniRead(Support::kSection, Support::kURLUpdateInfo, "", f) +
                        IniRead(Support::kSection, Support::kHelpTelephone, "", f));
    EXPECT_EQ("RUN.EXE", IniRead(ExecuteFile::kSection, ExecuteFile::kFile, "", f));
}

TEST(ScriptKeys, EmptyScriptGivesTheDocumentedDefaults) {
    ScratchFolder dir;
    dir.Write("SETUP.INI", "[Extend]\r\n");
    const std::string f = dir / "SETUP.INI";
    using namespace Script;
    EXPECT_EQ("インストール", IniRead(Extend::kSection, Extend::kSetupString, Extend::kSetupStringDefault, f));
    EXPECT_EQ("アンインストール",
              IniRead(Extend::kSection, Extend::kUnSetupString, Extend::kUnSetupStringDefault, f));
    EXPECT_EQ("350", IniRead(Extend::kSection, Extend::kSetupSpeed, Extend::kSetupSpeedDefault, f));
    EXPECT_EQ("Ravelin Setup", IniRead(Title::kSection, Title::kSetup, Title::kSetupDefault, f));
    EXPECT_EQ("(Prg)\\", IniRead(DefaultFolder::kSection, DefaultFolder::kFolder, DefaultFolder::kFolderDefault, f));
    EXPECT_EQ("NoData", IniRead(Caution::kSection, Caution::kUnInstallCheckEx, Caution::kCheckDefault, f));
    EXPECT_EQ("ssVertical", IniRead(EULA::kSection, EULA::kScrollBars, EULA::kScrollBarsDefault, f));
    EXPECT_EQ("0,0,0,0",
              IniRead(UnSetupOption::kSection, UnSetupOption::kCheckBox, UnSetupOption::kCheckBoxDefault, f));
    EXPECT_EQ("Default", IniRead(ShortCut::kSection, "Name1", ShortCut::kNameDefault, f));
    EXPECT_EQ("File12", NumberedKey(CopyFiles::kFilePrefix, 12));
}

}  // namespace

// The list read in one go gives exactly what IniRead gives key by key, for
// the spellings package authors use.
TEST(IniReadList, SameValuesAsReadingKeyByKey) {
    ScratchFolder dir;
    const std::string file = dir / "LIST.INI";
    ASSERT_TRUE(WriteFileBytes(file,
                               "[Other]\r\nFile1=wrong section\r\n"
                               "[CopyFile]\r\n; a comment\r\n"
                               "File1=(App)\\表.TXT\r\n"
                               "file2 =  spaced value  \r\n"
                               "FILE3=\"C:\\quoted path\\\"\r\n"
                               "File4='single'\r\n"
                               "File5=\"only one quote\r\n"
                               "File6=first\r\nFile6=second\r\n"
                               "File7=a=b,/S\r\n"
                               "File9=after the gap\r\n"
                               "[copyfile]\r\nFile8=a later section of the same name\r\n"));
    std::vector<std::string> oneByOne;
    for (int n = 1;; ++n) {
        const std::string value = IniRead("CopyFile", "File" + std::to_string(n), "", file);
        if (value.empty()) break;
        oneByOne.push_back(value);
    }
    EXPECT_EQ(oneByOne, IniReadList("CopyFile", "File", file));
    EXPECT_EQ(7u, IniReadList("copyfile", "FILE", file).size());
    EXPECT_EQ("(App)\\表.TXT", IniReadList("CopyFile", "File", file).at(0));
}

TEST(IniReadList, EmptyValueMissingSectionAndMissingFileEndTheList) {
    ScratchFolder dir;
    const std::string file = dir / "LIST.INI";
    ASSERT_TRUE(WriteFileBytes(file, "[Folders]\r\nFolder1=C:\\A\r\nFolder2=\r\nFolder3=C:\\C\r\n"));
    EXPECT_EQ(std::vector<std::string>{"C:\\A"}, IniReadList("Folders", "Folder", file));
    EXPECT_TRUE(IniReadList("None", "Folder", file).empty());
    EXPECT_TRUE(IniReadList("Folders", "Folder", dir / "MISSING.INI").empty());
}

TEST(IniReadList, ALongListBeyondTheFirstBufferStaysWhole) {
    ScratchFolder dir;
    const std::string file = dir / "LONG.INI";
    std::string text = "[DeleteFile]\r\n";
    for (int n = 1; n <= 3000; ++n)
        text += "File" + std::to_string(n) + "=C:\\Program Files\\表計算\\データ\\file" + std::to_string(n) + ".dat\r\n";
    ASSERT_TRUE(WriteFileBytes(file, text));
    const std::vector<std::string> list = IniReadList("DeleteFile", "File", file);
    ASSERT_EQ(3000u, list.size());
    EXPECT_EQ("C:\\Program Files\\表計算\\データ\\file3000.dat", list.back());
    EXPECT_EQ(IniRead("DeleteFile", "File2999", "", file), list[2998]);
}

