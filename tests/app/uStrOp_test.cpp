#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/MBUtils.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"

// "表" is 0x95 0x5C: its trail byte is the path delimiter.
static const std::string kHyo = "表";

TEST(PathDelimiter, TrailByteBackslashIsNotADelimiter) {
    ASSERT_EQ(std::string("\x95\x5C"), kHyo);
    EXPECT_EQ("C:\\" + kHyo + "\\", AddPathDelimiter("C:\\" + kHyo, "B"));
    EXPECT_EQ("C:\\" + kHyo, RemovePathDelimiter("C:\\" + kHyo, "B"));
    EXPECT_EQ("C:\\Program Files\\", AddPathDelimiter("C:\\Program Files", "B"));
    EXPECT_EQ("\\C:\\Program Files", AddPathDelimiter("C:\\Program Files", "T"));
    EXPECT_EQ("C:\\Program Files", AddPathDelimiter("C:\\Program Files", "X"));
    EXPECT_EQ("C:\\", RemovePathDelimiter("C:\\\\", "B"));
}

TEST(FileNamePart, SplitsOnlyOnCharacterBoundaries) {
    EXPECT_EQ(kHyo + "示.TXT", ExtractFileName("(App)\\" + kHyo + "示.TXT"));
    EXPECT_EQ("(App)\\", ExtractFilePath("(App)\\" + kHyo + "示.TXT"));
    EXPECT_EQ("x.txt", ExtractFileName("C:x.txt"));
}

TEST(Search, MBPosNeverMatchesAtATrailByte) {
    EXPECT_EQ(0, MBPos("\\", kHyo));
    EXPECT_EQ(3, MBPos("\\", kHyo + "\\"));
    EXPECT_EQ(4, IPos("(app)", "C:\\(APP)\\x"));
    EXPECT_EQ(0, IPos("", "abc"));
}

// "ソ" is 0x83 0x5C, "ポ" is 0x83 0x7C (trail byte "|"); the full-width "＼"
// is 0x81 0x5F and holds no "\" byte at all.
static const std::string kSo = "ソ";
static const std::string kPo = "ポ";

TEST(PathDelimiter, EndFlagsAndDoubleByteEnds) {
    ASSERT_EQ(std::string("\x83\x5C"), kSo);
    ASSERT_EQ(std::string("\x83\x7C"), kPo);
    ASSERT_EQ(std::string("\x81\x5F"), std::string("＼"));
    EXPECT_EQ("\\", AddPathDelimiter("", "B"));
    EXPECT_EQ("\\", AddPathDelimiter("", "T"));
    EXPECT_EQ("", AddPathDelimiter("", "X"));
    EXPECT_EQ("", RemovePathDelimiter("", "B"));
    EXPECT_EQ("\\a\\", AddPathDelimiter("a\\", "TB"));  // only the first character counts
    EXPECT_EQ("a\\", AddPathDelimiter("a\\", ""));
    EXPECT_EQ("readme.txt", RemovePathDelimiter("\\readme.txt", "T"));
    EXPECT_EQ("readme.txt", RemovePathDelimiter("readme.txt", "T"));
    EXPECT_EQ("a\\", RemovePathDelimiter("\\a\\", "T"));
    EXPECT_EQ("\\a", RemovePathDelimiter("\\a\\", "B"));
    EXPECT_EQ("", RemovePathDelimiter("\\", "B"));
    EXPECT_EQ("x" + kSo + "\\", AddPathDelimiter("x" + kSo, "B"));
    EXPECT_EQ("x" + kSo, RemovePathDelimiter("x" + kSo, "B"));
    EXPECT_EQ("x" + kSo, RemovePathDelimiter("x" + kSo + "\\", "B"));
    EXPECT_EQ("x＼\\", AddPathDelimiter("x＼", "B"));
    EXPECT_EQ(kSo + "\\" + kSo, RemovePathDelimiter(kSo + "\\" + kSo, "T"));
    EXPECT_FALSE(IsPathDelimiterAt(kSo + kHyo, 2));
    EXPECT_FALSE(IsPathDelimiterAt(kSo + kHyo, 4));
    EXPECT_TRUE(IsPathDelimiterAt(kSo + "\\" + kHyo, 3));
    EXPECT_FALSE(IsPathDelimiterAt("a\\", 0));
    EXPECT_FALSE(IsPathDelimiterAt("a\\", 3));
}

TEST(FileNamePart, TrailBytesAndEnds) {
    EXPECT_EQ(kSo + "フト.exe", ExtractFileName("C:\\" + kSo + "フト\\" + kSo + "フト.exe"));
    EXPECT_EQ("C:\\" + kSo + "フト\\", ExtractFilePath("C:\\" + kSo + "フト\\" + kSo + "フト.exe"));
    EXPECT_EQ(kHyo, ExtractFileName("C:\\" + kHyo));
    EXPECT_EQ(kSo + kHyo, ExtractFileName(kSo + kHyo));
    EXPECT_EQ("", ExtractFilePath(kSo + kHyo));
    EXPECT_EQ("", ExtractFileName("C:\\dir\\"));
    EXPECT_EQ("C:\\dir\\", ExtractFilePath("C:\\dir\\"));
    EXPECT_EQ("UNSETUP.INI", ExtractFileName("C:\\Program Files\\App\\UNSETUP.INI"));
    EXPECT_EQ(kPo + "|x", ExtractFileName("a\\" + kPo + "|x"));
    EXPECT_EQ("", ExtractFileName(""));
    // A lone lead byte at the very end must not read past the text.
    EXPECT_EQ("a\x95", ExtractFileName("d\\a\x95"));
}

TEST(Search, DoubleByteBoundariesInEverySearch) {
    EXPECT_EQ(0, MBPos("|", kPo));
    EXPECT_EQ(3, MBPos("|", kPo + "|"));
    EXPECT_EQ(0, MBPos("\\", kSo + kHyo));
    EXPECT_EQ(5, MBPos("\\", kSo + kHyo + "\\"));
    EXPECT_EQ(3, MBPos(kHyo, kSo + kHyo));
    EXPECT_EQ(0, MBPos("\\x", kHyo + "x"));  // would start at a trail byte
    EXPECT_EQ(0, MBPos("a", "\x95"));        // lone lead byte at the end
    EXPECT_EQ(0, MBPos("", "abc"));
    EXPECT_EQ(0, MBPos("abcd", "abc"));
    EXPECT_EQ(0, IPos("|", kPo));
    EXPECT_EQ(3, IPos("|", kPo + "|"));
    EXPECT_EQ(3, IPos("(win)", kHyo + "(WIN)"));
    EXPECT_EQ(5, IPos("/s", kSo + kPo + "/S"));
    EXPECT_EQ(2, IPos("abc", "xABC"));
}

TEST(Pieces, LeftRightMidAndFields) {
    EXPECT_EQ("ef", StrRight("abcdef", 2));
    EXPECT_EQ("", StrRight("abcdef", 0));
    EXPECT_EQ("abcdef", StrRight("abcdef", 10));
    EXPECT_EQ("cdef", StrMid("abcdef", 3));
    EXPECT_EQ("f", StrMid("abcdef", 6));
    EXPECT_EQ("", StrMid("abcdef", 7));
    EXPECT_EQ("ab", StrLeft("abcdef", 2));
    EXPECT_EQ("", StrLeft("abcdef", 0));
    EXPECT_EQ("", StrLeft("abcdef", -1));
    EXPECT_EQ("abcdef", StrLeft("abcdef", 10));
    EXPECT_EQ("a", GetField("a,b,,c", ',', 1));
    EXPECT_EQ("", GetField("a,b,,c", ',', 3));
    EXPECT_EQ("c", GetField("a,b,,c", ',', 4));
    EXPECT_EQ("", GetField("a,b,,c", ',', 5));
    EXPECT_EQ("Value", GetField("HKEY,Value", ',', 2));
    EXPECT_EQ("", GetField("abc", ',', 2));
    EXPECT_EQ("abc", GetField("abc", ',', 1));
    EXPECT_EQ(kSo + kPo, GetField(kHyo + "," + kSo + kPo + ",x", ',', 2));
    EXPECT_EQ("IDCheck", GetField("IDCheck:APP01", ':', 1));
}

TEST(MapString, UpperCaseAndFullWidth) {
    EXPECT_EQ("", MapString("", LCMAP_UPPERCASE));
    EXPECT_EQ("ABC" + kHyo + kSo, MapString("abc" + kHyo + kSo, LCMAP_UPPERCASE));
    EXPECT_EQ("ａｂ１", MapString("ab1", LCMAP_FULLWIDTH));
    EXPECT_EQ("ア", MapString("\xB1", LCMAP_FULLWIDTH));  // half-width katakana ｱ
}

TEST(ChangeFileExt, ReplacesOnlyTheNamesOwnExtension) {
    EXPECT_EQ("C:\\Menu\\Tool.pif", ChangeFileExt("C:\\Menu\\Tool.lnk", ".pif"));
    // A name that holds ".lnk" without ending in it keeps its whole stem.
    EXPECT_EQ("C:\\Menu\\Tool.lnk.pif", ChangeFileExt("C:\\Menu\\Tool.lnk.old", ".pif"));
    EXPECT_EQ("C:\\v1.2\\Tool.pif", ChangeFileExt("C:\\v1.2\\Tool", ".pif"));
    EXPECT_EQ("C:\\表\\Tool.pif", ChangeFileExt("C:\\表\\Tool.LNK", ".pif"));
}

TEST(DrivePart, LetterOrServerAndShare) {
    EXPECT_EQ("D:", DrivePart("D:\\Apps\\"));
    EXPECT_EQ("c:", DrivePart("c:"));
    EXPECT_EQ("\\\\srv\\share", DrivePart("\\\\srv\\share\\Apps\\"));
    EXPECT_EQ("\\\\srv\\share", DrivePart("\\\\srv\\share"));
    EXPECT_EQ("", DrivePart("\\\\srv"));
    EXPECT_EQ("", DrivePart("Apps\\"));
    EXPECT_EQ("", DrivePart(""));
    // A share name whose double-byte character ends in 0x5C is not cut there.
    EXPECT_EQ("\\\\srv\\表", DrivePart("\\\\srv\\表\\x"));
}

TEST(ZeroPadded, FillsToTheWidthAndNeverCuts) {
    EXPECT_EQ("07", ZeroPadded(7, 2));
    EXPECT_EQ("000", ZeroPadded(0, 3));
    EXPECT_EQ("2026", ZeroPadded(2026, 4));
    // A value wider than its field keeps every digit, as the date and time
    // fields of the log and the registration need.
    EXPECT_EQ("12345", ZeroPadded(12345, 2));
    EXPECT_EQ("4294967295", ZeroPadded(4294967295ul, 0));
}
