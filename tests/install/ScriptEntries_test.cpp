#include "install/ScriptEntries.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "install/ShortcutBoxes.h"

namespace {

const std::string kSrc = "E:\\DIST\\";

}  // namespace

// ---- Copy entries ----

TEST(CopyEntryGrammar, PlainCompressedRenamedAndSubFolderEntries) {
    CopyEntry e = ParseCopyEntry("C:\\APP\\README.TXT", kSrc);
    EXPECT_FALSE(e.diskChange);
    EXPECT_EQ("", e.flags);
    EXPECT_EQ("E:\\DIST\\README.TXT", e.source);
    EXPECT_EQ("C:\\APP\\README.TXT", e.destination);

    // A compressed name without a rename takes the name from its header.
    e = ParseCopyEntry("C:\\WIN\\SYSTEM\\COMMON.DL_,/S/R", kSrc);
    EXPECT_EQ(",/S/R", e.flags);
    EXPECT_EQ("E:\\DIST\\COMMON.DL_", e.source);
    EXPECT_EQ("C:\\WIN\\SYSTEM\\AUTO.EXT", e.destination);

    e = ParseCopyEntry("C:\\APP\\DATA.DA_|DATA.DAT", kSrc);
    EXPECT_EQ("E:\\DIST\\DATA.DA_", e.source);
    EXPECT_EQ("C:\\APP\\DATA.DAT", e.destination);

    e = ParseCopyEntry("C:\\APP\\help\\guide.htm|(From)\\docs\\guide.htm,/W", kSrc);
    EXPECT_EQ("E:\\DIST\\docs\\guide.htm", e.source);
    EXPECT_EQ("C:\\APP\\help\\guide.htm", e.destination);
    EXPECT_EQ(",/W", e.flags);

    // Only the second field is the flag part; a third is ignored.
    e = ParseCopyEntry("(Dch)C:\\APP\\PART2.CAB,/s,extra", kSrc);
    EXPECT_TRUE(e.diskChange);
    EXPECT_EQ(",/s", e.flags);
    EXPECT_EQ("E:\\DIST\\PART2.CAB", e.source);
    EXPECT_EQ("C:\\APP\\PART2.CAB", e.destination);

    // The disk marker counts only at the very start and with its case.
    EXPECT_FALSE(ParseCopyEntry("(dch)C:\\APP\\X", kSrc).diskChange);
}

TEST(CopyEntryGrammar, DoubleByteNamesAreNeverSplitInsideACharacter) {
    // "表" ends in 0x5C and "ポ" in 0x7C: neither is a path delimiter or a
    // rename bar.
    CopyEntry e = ParseCopyEntry("C:\\APP\\表示\\ポスト.TXT", kSrc);
    EXPECT_EQ(ToUtf8("E:\\DIST\\ポスト.TXT"), ToUtf8(e.source));
    EXPECT_EQ(ToUtf8("C:\\APP\\表示\\ポスト.TXT"), ToUtf8(e.destination));

    e = ParseCopyEntry("C:\\APP\\ポ.DA_|表.DAT", kSrc);
    EXPECT_EQ(ToUtf8("E:\\DIST\\ポ.DA_"), ToUtf8(e.source));
    EXPECT_EQ(ToUtf8("C:\\APP\\表.DAT"), ToUtf8(e.destination));

    // A name ending in a double-byte character whose trail byte is 0x5F is
    // no compressed name.
    const std::string trail5F = "C:\\APP\\\x83\x5F";  // "ダ"
    EXPECT_FALSE(IsCompressedName(trail5F));
    EXPECT_EQ(trail5F, ParseCopyEntry(trail5F, kSrc).destination);
    EXPECT_TRUE(IsCompressedName("C:\\APP\\\x83\x5F_"));
}

// ---- Registry values ----

TEST(RegistryValueTags, NumbersFollowTheTagRules) {
    std::int32_t n = 0;
    EXPECT_TRUE(ParseTagNumber("12", n));
    EXPECT_EQ(12, n);
    EXPECT_TRUE(ParseTagNumber("  -7", n));
    EXPECT_EQ(-7, n);
    EXPECT_TRUE(ParseTagNumber("$0C", n));
    EXPECT_EQ(12, n);
    EXPECT_TRUE(ParseTagNumber("$FFFFFFFF", n));
    EXPECT_EQ(-1, n);
    EXPECT_TRUE(ParseTagNumber("-2147483648", n));
    EXPECT_EQ(INT32_MIN, n);
    for (const char* bad : {"", "abc", "12ms", "$", "$123456789", "2147483648", "1 2", "+", "$0G"})
        EXPECT_FALSE(ParseTagNumber(bad, n)) << bad;
}

TEST(RegistryValueTags, EachTagWritesItsTypeAndOddDataNeverRaises) {
    RegistryData d = ParseRegistryValue("(Str)C:\\App\\", true);
    EXPECT_EQ(RegistryData::String, d.kind);
    EXPECT_EQ("C:\\App", d.text);

    d = ParseRegistryValue("(Dwd)12", false);
    EXPECT_EQ(RegistryData::Dword, d.kind);
    EXPECT_EQ(12u, d.number);
    d = ParseRegistryValue("(Int)$0C", false);
    EXPECT_EQ(12u, d.number);
    d = ParseRegistryValue("(Int)abc", false);
    EXPECT_EQ(RegistryData::Dword, d.kind);
    EXPECT_EQ(0u, d.number);
    d = ParseRegistryValue("(Int)", false);
    EXPECT_EQ(RegistryData::Dword, d.kind);
    EXPECT_EQ(0u, d.number);

    d = ParseRegistryValue("(Bin)0A0B0C0D", false);
    EXPECT_EQ(RegistryData::Binary, d.kind);
    EXPECT_EQ(std::string("\x0D\x0C\x0B\x0A", 4), d.text);
    EXPECT_EQ(RegistryData::None, ParseRegistryValue("(Bin)xyz", false).kind);

    d = ParseRegistryValue("(Exp)%SystemRoot%\\x", false);
    EXPECT_EQ(RegistryData::ExpandString, d.kind);
    EXPECT_EQ("%SystemRoot%\\x", d.text);

    // Tags are compared with case; no tag writes the whole value.
    d = ParseRegistryValue("(str)x", false);
    EXPECT_EQ(RegistryData::String, d.kind);
    EXPECT_EQ("(str)x", d.text);
    d = ParseRegistryValue("C:\\Data", false);
    EXPECT_EQ("C:\\Data", d.text);
    EXPECT_EQ(RegistryData::None, ParseRegistryValue("", false).kind);
}

// ---- The install folder ----

TEST(InstallFolderText, OnlyFullyQualifiedDrivePathsAreTakenAndMadeCanonical) {
    EXPECT_EQ("C:\\Apps\\Tool\\", CanonicalInstallFolder("C:\\Apps\\Tool"));
    EXPECT_EQ("C:\\Apps\\Tool\\", CanonicalInstallFolder("C:\\Apps\\x\\..\\.\\Tool\\"));
    EXPECT_EQ("C:\\Apps\\Tool\\", CanonicalInstallFolder("C:/Apps/Tool"));
    EXPECT_EQ("D:\\", CanonicalInstallFolder("D:\\"));
    EXPECT_EQ("D:\\Tools(Win)\\", CanonicalInstallFolder("D:\\Tools(Win)\\"));
    EXPECT_EQ(ToUtf8("C:\\表示\\ポ\\"), ToUtf8(CanonicalInstallFolder("C:\\表示\\ポ")));
    for (const char* bad : {"", "App", "..\\x", "\\App", "C:", "C:App", "\\\\server\\share\\x", "C:\\a*b",
                            "C:\\a?b", "C:\\a|b", "C:\\a:b", "1:\\x"})
        EXPECT_EQ("", CanonicalInstallFolder(bad)) << bad;
}

// ---- Shortcut boxes ----

TEST(ShortcutBoxes, FollowTheEntriesAsTheRunWalksThem) {
    ScratchFolder scratch;
    const std::string script = scratch / "SETUP.INI";
    scratch.Write("SETUP.INI",
                  "[ShortCut]\r\nMake1=(App)\\A.EXE\r\nName1=(C_Dsk)\\App\r\n"
                  "Make2=(App)\\B.EXE\r\nMake4=(App)\\A.EXE\r\nName4=(Sen)\\App\r\n");
    ShortcutBoxes boxes = ShortcutBoxesFrom(script);
    EXPECT_TRUE(boxes.desktop);
    EXPECT_TRUE(boxes.startMenu) << "Make2 without Name2 goes into the programs menu";
    EXPECT_FALSE(boxes.startUp);
    EXPECT_FALSE(boxes.sendTo) << "Make4 lies after the gap at Make3";

    scratch.Write("SETUP.INI", "[ShortCut]\r\nName1=(Sup)\\a\r\nName2=(sta)\\App\\App\r\n");
    boxes = ShortcutBoxesFrom(script);
    EXPECT_FALSE(boxes.startUp || boxes.startMenu) << "a Name without its Make makes nothing";

    scratch.Write("SETUP.INI", "[ShortCut]\r\nMake1=(App)\\A.EXE\r\nName1=Tools\\A\r\n"
                  "Make2=(App)\\A.EXE\r\nName2=(Sup)\\a;(Sen)\\b\r\n");
    boxes = ShortcutBoxesFrom(script);
    EXPECT_TRUE(boxes.startUp);
    EXPECT_FALSE(boxes.sendTo) << "the run decides that entry by the start-up box alone";
    EXPECT_FALSE(boxes.startMenu) << "a name without a macro is always made";
}
