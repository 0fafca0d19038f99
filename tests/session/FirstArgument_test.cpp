#include "ui/frmMain.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(FirstArgument, NoneGivesEmpty) {
    EXPECT_EQ(FirstArgument(""), "");
    EXPECT_EQ(FirstArgument("SETUP.EXE"), "");
    EXPECT_EQ(FirstArgument("\"C:\\Media Files\\SETUP.EXE\"   "), "");
}

TEST(FirstArgument, QuotedPathsWithSpacesStayWhole) {
    EXPECT_EQ(FirstArgument("\"C:\\WINDOWS\\UNRAVEL.EXE\" \"C:\\Program Files\\App\\UNSETUP.INI\""),
              "C:\\Program Files\\App\\UNSETUP.INI");
    EXPECT_EQ(FirstArgument("C:\\WINDOWS\\UNRAVEL.EXE C:\\App\\UNSETUP.INI second"), "C:\\App\\UNSETUP.INI");
    EXPECT_EQ(FirstArgument("setup \"a b\"c d"), "a bc");
    // The program name ends at its closing quote; text attached to it starts
    // the first argument.
    EXPECT_EQ(FirstArgument("\"C:\\my dir\\SETUP.EXE\"x y"), "x");
}

TEST(FirstArgument, BackslashesBeforeQuotes) {
    EXPECT_EQ(FirstArgument("p a\\\\b"), "a\\\\b");  // not before a quote: kept
    EXPECT_EQ(FirstArgument("p \"C:\\dir\\\\\""), "C:\\dir\\");  // 2n -> n, quote ends
    EXPECT_EQ(FirstArgument("p a\\\"b"), "a\"b");                // 2n+1 -> literal quote
    EXPECT_EQ(FirstArgument("p \"a\"\"b\""), "a\"b");
}

TEST(FirstArgument, DoubleByteCharactersEndingIn5CAreNotBackslashes) {
    // "表" is 0x95 0x5C in CP932; a quote after it still ends the quoting.
    std::string arg = "C:\\表\\UNSETUP.INI";
    EXPECT_EQ(FirstArgument("p \"" + arg + "\" next"), arg);
    std::string table = "表";
    EXPECT_EQ(FirstArgument("p \"C:\\" + table + "\" next"), "C:\\" + table);
}
