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
