#include "ui/VersionText.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::string BinFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\') + 1);
}

}  // namespace

TEST(VersionText, DigitsOfMinorAndReleaseFormOneNumber) {
    EXPECT_EQ(ToUtf8(VersionText("1.5.0.1147")), ToUtf8("1.50β1(Build:1147/D3)"));
    EXPECT_EQ(ToUtf8(VersionText("2.0.3.7")), ToUtf8("2.03β1(Build:0007/D3)"));
    EXPECT_EQ(ToUtf8(VersionText("3.12.5.123456")), ToUtf8("3.125β1(Build:123456/D3)"));
    EXPECT_EQ(ToUtf8(VersionText("1.0.0.1")), ToUtf8("1.00β1(Build:0001/D3)"));
}

TEST(VersionText, MissingPartsCountAsZero) {
    EXPECT_EQ(ToUtf8(VersionText("")), ToUtf8("0.00β1(Build:0000/D3)"));
    EXPECT_EQ(ToUtf8(VersionText("4")), ToUtf8("4.00β1(Build:0000/D3)"));
    EXPECT_EQ(ToUtf8(VersionText("4.2")), ToUtf8("4.20β1(Build:0000/D3)"));
    EXPECT_EQ(ToUtf8(VersionText("x.y")), ToUtf8("0.00β1(Build:0000/D3)"));
    // Only the first four parts count.
    EXPECT_EQ(ToUtf8(VersionText("1.2.3.4.5")), ToUtf8("1.23β1(Build:0004/D3)"));
}

TEST(VersionText, LongNumbersDoNotOverflow) {
    EXPECT_EQ(ToUtf8(VersionText("1.99999999999.99999999999.0")), ToUtf8("1.9999999999999999999999β1(Build:0000/D3)"));
}

TEST(VersionText, CaptionStartsWithTheProductName) {
    EXPECT_EQ(ToUtf8(VersionCaption("1.5.0.1147")), ToUtf8("Ravelin Setup Version1.50β1(Build:1147/D3)"));
}

TEST(ReadFileVersionString, ReadsTheJapaneseStringTableOfTheProgram) {
    // The program and this test carry the same version resource.
    EXPECT_EQ(ReadFileVersionString(BinFolder() + "SETUP.EXE"), "1.0.0.1");
    EXPECT_EQ(ToUtf8(VersionCaption(ReadFileVersionString(BinFolder() + "SETUP.EXE"))),
              ToUtf8("Ravelin Setup Version1.00β1(Build:0001/D3)"));
}

TEST(ReadFileVersionString, EmptyWithoutAVersionResource) {
    ScratchFolder dir;
    dir.Write("plain.exe", "MZ not really a program");
    EXPECT_EQ(ReadFileVersionString(dir / "plain.exe"), "");
    EXPECT_EQ(ReadFileVersionString(dir / "missing.exe"), "");
    EXPECT_EQ(ToUtf8(VersionText(ReadFileVersionString(dir / "missing.exe"))), ToUtf8("0.00β1(Build:0000/D3)"));
}
