#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "record/UninstallRecord.h"

namespace {

// Expected texts are written with "\n"; the record has CR LF. (0x0A is never
// part of a double-byte character.)
std::string CrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// Compares line by line first, so a failure names the line, then as a whole.
void ExpectSameRecord(const std::string& expected, const std::string& actual) {
    EXPECT_EQ(ToUtf8(expected), ToUtf8(actual));
    EXPECT_TRUE(expected == actual) << "bytes differ";
}

// CP932 traps: "表" (95 5C) and "ソ" (83 5C) end in "\", "ポ" (83 7C) in "|",
// "ヂ" (83 61) in "a" and "ア" (83 41) in "A", "ト" (83 67) in "g"; "ＬＯＧ" and
// "ｌｏｇ" are full-width letters that differ only in case.
RecordContent EveryFeatureContent() {
    RecordContent c;
    c.unSetupTitle = "表計算ソフト";
    c.installFolder = R"(C:\Program Files\表計算\)";
    c.fresh.folders = R"(C:\Program Files\表計算\|C:\Program Files\表計算\データ表\||)";
    c.previous.folders = R"(c:\program files\表計算\|C:\Old\|)";
    c.fresh.files = R"(C:\Program Files\表計算\ソフト.EXE|)"
                    R"(C:\WINDOWS\SYSTEM\SHARED.DLL,/S|)"
                    R"(C:\WINDOWS\SYSTEM\COMMON.OCX,/S|)"
                    R"(C:\Program Files\表計算\NOFLAG.DLL|)"
                    R"(C:\Program Files\表計算\ポート.DAT,/R|)"
                    R"(C:\Program Files\表計算\ア.TXT|)"
                    R"(C:\Program Files\表計算\ヂ.TXT|)"
                    R"(C:\Program Files\表計算\UNSETUP.INI|)";
    c.previous.files = R"(c:\windows\system\shared.dll,/S|)"
                       R"(C:\WINDOWS\SYSTEM\COMMON.OCX,/C|)"
                       R"(c:\program files\表計算\noflag.dll,/S|)"
                       R"(C:\Program Files\表計算\ポート.dat|)"
                       R"(C:\Program Files\表計算\OLD.DAT,/L|)"
                       R"(C:\Program Files\表計算\UNSETUP.INI|)";
    c.fresh.shortcuts = R"(C:\WINDOWS\Start Menu\Programs\表計算\表計算.LNK|)";
    c.previous.shortcuts =
        R"(C:\WINDOWS\DESKTOP\表計算.LNK|c:\windows\start menu\programs\表計算\表計算.lnk|)";
    c.fresh.registry = R"((Local)\SOFTWARE\表計算\App|)";
    c.previous.registry = R"((local)\software\表計算\app|(Cuser)\Software\表計算|)";
    c.fresh.extraFiles = R"(C:\Program Files\表計算\ＬＯＧ\*.LOG|C:\Program Files\表計算\*.TMP,/F|)";
    c.previous.extraFiles = R"(C:\Program Files\表計算\ｌｏｇ\*.log|)";
    for (int i = 1; i <= 21; ++i) {
        const std::string value = "r" + std::to_string(i) + "," + (i % 3 == 0 ? "" : "type" + std::to_string(i));
        EXPECT_EQ(i <= 20, RestoreTableAdd(c.restore, value)) << "association " << i;
    }
    c.unSetupOption = "0,1,0,0";
    c.checkBox3 = "*.LOG";
    c.checkBox4 = "*.BAK";
    c.readmeFile = R"(\README.TXT)";
    c.beforeFile = R"(\CLEAN.EXE,/quiet)";
    c.setupString = "インストール";
    c.unSetupString = "アンインストール";
    c.registryKey = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\表計算ソフト)";
    return c;
}

const char* const kEveryFeatureRecord = R"([Information]
Message1=Ravelin Setup UnSetup(UnInstall) Initialize File
Message2=！！！　警告　！！！
Message3=このファイルをエディタなどで書き換えたり、削除しないでください。
Message4=書き換えた場合、アンインストール動作の保証はできません。

[Title]
UnSetup=表計算ソフト

[SetupFolder]
Folder=C:\Program Files\表計算\

[DeleteFolder]
Folder1=C:\Program Files\表計算\
Folder2=C:\Program Files\表計算\データ表\
Folder3=C:\Old\

[DeleteFile]
File1=C:\Program Files\表計算\ソフト.EXE
File2=C:\WINDOWS\SYSTEM\SHARED.DLL,/S/S
File3=C:\WINDOWS\SYSTEM\COMMON.OCX,/S
File4=C:\Program Files\表計算\NOFLAG.DLL,/S
File5=C:\Program Files\表計算\ポート.DAT,/R
File6=C:\Program Files\表計算\ア.TXT
File7=C:\Program Files\表計算\ヂ.TXT
File8=C:\Program Files\表計算\UNSETUP.INI
File9=C:\Program Files\表計算\OLD.DAT,/L

[DeleteShortCut]
File1=C:\WINDOWS\Start Menu\Programs\表計算\表計算.LNK
File2=C:\WINDOWS\DESKTOP\表計算.LNK

[DeleteRegistry]
Key1=(Local)\SOFTWARE\表計算\App
Key2=(Cuser)\Software\表計算

[AddDeleteFile]
File1=C:\Program Files\表計算\ＬＯＧ\*.LOG
File2=C:\Program Files\表計算\*.TMP,/F

[RestoreRelate]
Key1=r1,type1
Key2=r2,type2
Key3=r3,
Key4=r4,type4
Key5=r5,type5
Key6=r6,
Key7=r7,type7
Key8=r8,type8
Key9=r9,
Key10=r10,type10
Key11=r11,type11
Key12=r12,
Key13=r13,type13
Key14=r14,type14
Key15=r15,
Key16=r16,type16
Key17=r17,type17
Key18=r18,
Key19=r19,type19
Key20=r20,type20

[UnSetupOption]
CheckBox=0,1,0,0
CheckBox3=*.LOG
CheckBox4=*.BAK

[BeforeUnInstall]
ReadmeFile=\README.TXT
File=\CLEAN.EXE,/quiet

[Extend]
SetupString=インストール
UnSetupString=アンインストール

[UnSetupRegistryKey]
Key=SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\表計算ソフト

[ProgramID]
ID=
)";

TEST(BuildRecordText, EverySectionOfAPackageByteForByte) {
    ExpectSameRecord(CrLf(kEveryFeatureRecord), BuildRecordText(EveryFeatureContent()));
}

TEST(BuildRecordText, EmptyListsAndOptionsStillGiveEveryHeaderAndAnEmptyKey) {
    RecordContent c;
    c.programID = "TABLE-01";
    c.unSetupTitle = "My App";
    c.installFolder = R"(C:\APP\)";
    c.setupString = "インストール";
    c.unSetupString = "削除";
    c.fresh.files = "||";  // empty entries only
    const std::string expected = CrLf(R"([Information]
Message1=Ravelin Setup UnSetup(UnInstall) Initialize File
Message2=！！！　警告　！！！
Message3=このファイルをエディタなどで書き換えたり、削除しないでください。
Message4=書き換えた場合、削除動作の保証はできません。

[Title]
UnSetup=My App

[SetupFolder]
Folder=C:\APP\

[DeleteFolder]

[DeleteFile]

[DeleteShortCut]

[DeleteRegistry]

[AddDeleteFile]

[RestoreRelate]

[UnSetupOption]

[BeforeUnInstall]

[Extend]
SetupString=インストール
UnSetupString=削除

[UnSetupRegistryKey]
Key=

[ProgramID]
ID=TABLE-01
)");
    ExpectSameRecord(expected, BuildRecordText(c));
}

TEST(BuildRecordText, ProgressCountsEightDotsInOrder) {
    std::vector<int> dots;
    BuildRecordText(EveryFeatureContent(), [&](int n) { dots.push_back(n); });
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}), dots);
}

TEST(BuildRecordText, SharedMarkIsReadFromTheFlagsOnly) {
    // A path written with "/" is not a shared-file flag: the earlier entry
    // keeps its form, nothing is appended.
    RecordContent c;
    c.fresh.files = "C:/sys/a.dll|";
    c.previous.files = "c:/SYS/A.DLL|C:/Sub/b.dll,/s|c:/sub/B.DLL,/C/s|";
    const std::string text = BuildRecordText(c);
    EXPECT_NE(std::string::npos, text.find(CrLf("[DeleteFile]\nFile1=C:/sys/a.dll\nFile2=C:/Sub/b.dll,/s/S\n\n")))
        << text;
}

TEST(AddRecordEntry, NumbersAfterTheLastEntryOfTheSection) {
    const std::string text = CrLf("[Title]\nUnSetup=x\n\n[DeleteFolder]\nFolder1=C:\\A\\\nFolder2=C:\\表\\\n");
    EXPECT_EQ(CrLf("Folder3=C:\\B\\\n"), AddRecordEntry("C:\\B\\", "DeleteFolder", "Folder", false, text));
    EXPECT_EQ(CrLf("Folder1=C:\\B\\\n"), AddRecordEntry("C:\\B\\", "DeleteShortCut", "Folder", false, text));
}

TEST(AddRecordEntry, DuplicatesByPathWithoutRegardToCase) {
    const std::string text = CrLf("[DeleteFile]\nFile1=C:\\APP\\A.DLL,/C\nFile2=C:\\APP\\ア.TXT\n");
    EXPECT_EQ("", AddRecordEntry("c:\\app\\a.dll", "DeleteFile", "File", false, text));
    EXPECT_EQ("", AddRecordEntry("c:\\app\\a.dll,/S", "DeleteFile", "File", false, text));
    EXPECT_EQ("[!!]File1=C:\\APP\\A.DLL,/C", AddRecordEntry("c:\\App\\A.dll,/S", "DeleteFile", "File", true, text));
    // "ヂ" differs from "ア" only in a trail byte that looks like a lower-case
    // letter: a byte-wise fold would take them for one file.
    EXPECT_EQ(CrLf("File3=C:\\APP\\ヂ.TXT\n"), AddRecordEntry("C:\\APP\\ヂ.TXT", "DeleteFile", "File", false, text));
}

TEST(AddRecordEntry, TheSectionIsItsHeaderLineNotAValueThatNamesIt) {
    const std::string text =
        CrLf("[Title]\nUnSetup=My [DeleteFolder] App\n\n[DeleteFolder]\nFolder1=C:\\A\\\n");
    EXPECT_EQ("", AddRecordEntry("c:\\a\\", "DeleteFolder", "Folder", false, text));
    EXPECT_EQ(CrLf("Folder2=C:\\B\\\n"), AddRecordEntry("C:\\B\\", "DeleteFolder", "Folder", false, text));
}

TEST(RestoreTable, ExtensionsCompareAsWholeFieldsWithoutCase) {
    RestoreTable table;
    EXPECT_FALSE(RestoreTableHas(table, "htm"));
    ASSERT_TRUE(RestoreTableAdd(table, "html,htmlfile"));
    ASSERT_TRUE(RestoreTableAdd(table, "TXT,"));
    ASSERT_TRUE(RestoreTableAdd(table, "ｄｏｃ,Word.Document"));
    EXPECT_TRUE(RestoreTableHas(table, "HTML"));
    EXPECT_FALSE(RestoreTableHas(table, "htm"));
    EXPECT_FALSE(RestoreTableHas(table, "tml"));
    EXPECT_TRUE(RestoreTableHas(table, "txt"));
    EXPECT_FALSE(RestoreTableHas(table, "t"));
    EXPECT_TRUE(RestoreTableHas(table, "ＤＯＣ"));
    EXPECT_FALSE(RestoreTableHas(table, "htmlfile"));
}

TEST(RestoreTable, FillsFromTheFrontAndRefusesTheTwentyFirst) {
    RestoreTable table;
    EXPECT_FALSE(RestoreTableAdd(table, ""));
    EXPECT_EQ("", table[0]);
    for (int i = 1; i <= 20; ++i) ASSERT_TRUE(RestoreTableAdd(table, "e" + std::to_string(i) + ",")) << i;
    EXPECT_FALSE(RestoreTableAdd(table, "e21,"));
    EXPECT_EQ("e1,", table[0]);
    EXPECT_EQ("e20,", table[19]);
    EXPECT_FALSE(RestoreTableHas(table, "e21"));
}

TEST(IsSetupOnlyTitle, MarkerAnywhereWithoutCase) {
    EXPECT_TRUE(IsSetupOnlyTitle("Viewer Setup Only."));
    EXPECT_TRUE(IsSetupOnlyTitle("表示 setup only. 版"));
    EXPECT_FALSE(IsSetupOnlyTitle("Viewer Setup Only"));
    EXPECT_FALSE(IsSetupOnlyTitle(""));
}

}  // namespace
