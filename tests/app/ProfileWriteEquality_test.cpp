// Our profile writer against the system's WritePrivateProfileStringA on this
// Japanese (code page 932) prefix: the same resulting bytes on files in the
// form the system writes them, and nothing but the line concerned changed
// on any other file.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/uIniFile.h"

namespace {

// A null key deletes the section, a null value the key.
struct WriteCase {
    const char* what;
    std::string before;  // "<none>": no file
    const char* section;
    const char* key;
    const char* value;
};

const std::string kNoFile = "<none>";

// A file's bytes for a failure message, a long run of one byte shortened.
std::string Shown(const std::string& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size();) {
        size_t run = 1;
        while (i + run < bytes.size() && bytes[i + run] == bytes[i]) ++run;
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        char piece[32];
        if (c >= 0x20 && c < 0x7F) std::snprintf(piece, sizeof piece, "%c", c);
        else std::snprintf(piece, sizeof piece, "\\x%02X", c);
        out += piece;
        if (run > 8) {
            out += "{x" + std::to_string(run) + "}";
            i += run;
        } else {
            ++i;
        }
    }
    return out;
}

std::vector<WriteCase> WriteCases() {
    // The form the system writes: CR LF, no empty lines, no blanks at '='.
    const std::string twoSections = "[First]\r\nA=1\r\nKey=old\r\nB=2\r\n[Second]\r\nKey=second\r\n";
    const std::string dups = "Top=t\r\n[Main]\r\nKey=first\r\nKey=second\r\n[Other]\r\nX=x\r\n[main]\r\nKey=third\r\n"
                             "Only=only in the second Main\r\n";
    const std::string dbcs = "[表]\r\nソ=C:\\ソフト\\\r\nポ=|ポ|\r\n[ソフト]\r\nフォルダ=C:\\表計算\\\r\n";
    return {
        {"replace a value", twoSections, "First", "Key", "new"},
        {"replace, names in other case", twoSections, "FIRST", "kEY", "new"},
        {"same value: no write", twoSections, "First", "Key", "old"},
        {"add a key at the section's end", twoSections, "First", "C", "3"},
        {"add a key to the last section", twoSections, "Second", "New", "n"},
        {"add a section", twoSections, "Third", "K", "v"},
        {"create the file", kNoFile, "APP01", "Folder", "C:\\Program Files\\表\\"},
        {"empty value", twoSections, "First", "Key", ""},
        {"value with blanks around", twoSections, "First", "Key", "  spaced  "},
        {"names with blanks around", twoSections, " First ", " Key ", "v"},
        {"new names with blanks around", twoSections, " Third ", " K ", "v"},
        {"quoted value", twoSections, "First", "Key", "\"quoted\""},
        {"first of two keys", dups, "Main", "Key", "changed"},
        {"first of two sections", dups, "MAIN", "Only", "added to the first"},
        {"keys before any section", dups, "", "Top", "top"},
        {"new key before any section", dups, "", "New", "n"},
        {"delete a key", twoSections, "First", "Key", nullptr},
        {"delete a missing key", twoSections, "First", "None", nullptr},
        {"delete a key of the second section of a name", dups, "main", "Only", nullptr},
        {"delete a key in a missing file", kNoFile, "S", "K", nullptr},
        {"delete a section", twoSections, "First", nullptr, nullptr},
        {"delete the last section", twoSections, "second", nullptr, nullptr},
        {"delete the first of two sections", dups, "Main", nullptr, nullptr},
        {"delete a missing section", twoSections, "None", nullptr, nullptr},
        {"delete a section in a missing file", kNoFile, "S", nullptr, nullptr},
        {"replace a double-byte value", dbcs, "表", "ソ", "D:\\表\\ポ|"},
        {"add under a double-byte section", dbcs, "ソフト", "ポ", "表"},
        {"delete a double-byte section", dbcs, "表", nullptr, nullptr},
        {"add after a last line without line end", "[S]\r\nA=1", "S", "B", "2"},
        {"add to an empty file", "", "S", "K", "v"},
        {"long value", twoSections, "First", "Key", nullptr},  // value set below
        {"program-ID list", "[APP01]\r\nFolder=C:\\Old\\\r\n[APP02]\r\nFolder=D:\\\r\n", "APP01", "Folder",
         "C:\\Program Files\\ソフト\\"},
    };
}

TEST(ProfileWriteEquality, SameBytesAsTheSystemOnFilesInItsForm) {
    ScratchFolder dir;
    // Values of 32 K characters or more the system cuts (its UTF-16 form does
    // not fit its counted strings); ours writes them whole, see below.
    const std::string longValue = std::string(30000, 'L') + "表";
    int n = 0;
    for (WriteCase c : WriteCases()) {
        if (std::string(c.what) == "long value") c.value = longValue.c_str();
        ++n;
        const std::string system = dir / ("SYS" + std::to_string(n) + ".INI");
        const std::string ours = dir / ("OURS" + std::to_string(n) + ".INI");
        if (c.before != kNoFile) {
            ASSERT_TRUE(WriteFileBytes(system, c.before));
            ASSERT_TRUE(WriteFileBytes(ours, c.before));
        }
        const BOOL systemResult = WritePrivateProfileStringA(c.section, c.key, c.value, system.c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, system.c_str());
        bool oursResult;
        if (!c.key) oursResult = IniDeleteSection(c.section, ours);
        else if (!c.value) oursResult = IniDeleteKey(c.section, c.key, ours);
        else oursResult = IniWrite(c.section, c.key, c.value, ours);
        EXPECT_EQ(systemResult != FALSE, oursResult) << c.what;
        EXPECT_EQ(FileExistsAt(system), FileExistsAt(ours)) << c.what;
        const std::string systemBytes = ReadFileBytes(system), oursBytes = ReadFileBytes(ours);
        EXPECT_TRUE(systemBytes == oursBytes)
            << c.what << "\nsystem: " << Shown(systemBytes) << "\nours:   " << Shown(oursBytes);
    }
    const std::string longer = std::string(70000, 'L') + "表";
    ASSERT_TRUE(IniWrite("First", "Key", longer, dir / "OURS1.INI"));
    EXPECT_EQ(longer, IniRead("First", "Key", "", dir / "OURS1.INI"));
}

// Any other file keeps every byte but those of the line concerned: blank
// lines, comments, blanks, LF line ends, and characters that a trip through
// UTF-16 would change (NEC's and IBM's codes of one character: ED 40 and
// FA 5C both stand for U+7E8A).
TEST(ProfileWrite, TouchesOnlyTheLineConcerned) {
    ScratchFolder dir;
    const std::string file = dir / "ODD.INI";
    const std::string head = "; settings\r\n\r\n[Opt]  \r\n  Path = C:\\Old\\  ; note\r\n";
    const std::string tail = "\tIndented = \xED\x40\r\n\r\n[Next]\nLf=only\n\n";
    ASSERT_TRUE(WriteFileBytes(file, head + tail));

    ASSERT_TRUE(IniWrite("opt", "PATH", "D:\\\xED\x40\\", file));
    EXPECT_EQ("; settings\r\n\r\n[Opt]  \r\n  Path=D:\\\xED\x40\\\r\n" + tail, ReadFileBytes(file));
    EXPECT_EQ("D:\\\xED\x40\\", IniRead("Opt", "Path", "", file));

    ASSERT_TRUE(IniWrite("Opt", "Added", "a", file));
    EXPECT_EQ("; settings\r\n\r\n[Opt]  \r\n  Path=D:\\\xED\x40\\\r\n\tIndented = \xED\x40\r\nAdded=a\r\n"
              "\r\n[Next]\nLf=only\n\n",
              ReadFileBytes(file));

    ASSERT_TRUE(IniDeleteKey("Opt", "Indented", file));
    ASSERT_TRUE(IniDeleteSection("Next", file));
    EXPECT_EQ("; settings\r\n\r\n[Opt]  \r\n  Path=D:\\\xED\x40\\\r\nAdded=a\r\n\r\n", ReadFileBytes(file));

    ASSERT_TRUE(IniWrite("New", "K", "\xED\x40", file));
    EXPECT_EQ("; settings\r\n\r\n[Opt]  \r\n  Path=D:\\\xED\x40\\\r\nAdded=a\r\n\r\n[New]\r\nK=\xED\x40\r\n",
              ReadFileBytes(file));
}

// A value read, written by the program, and read again is the new one at
// once; a file changed behind the reader's back is read again.
TEST(ProfileWrite, ReaderSeesEveryChange) {
    ScratchFolder dir;
    const std::string file = dir / "SEEN.INI";
    ASSERT_TRUE(WriteFileBytes(file, "[S]\r\nK=1\r\n"));
    EXPECT_EQ("1", IniRead("S", "K", "", file));
    ASSERT_TRUE(IniWrite("S", "K", "2", file));
    EXPECT_EQ("2", IniRead("S", "K", "", file));
    ASSERT_TRUE(IniDeleteKey("S", "K", file));
    EXPECT_EQ("gone", IniRead("S", "K", "gone", file));
    // Same size and the same write time (a file system that keeps the time
    // in steps of seconds): only reading again a file that was new when it
    // was read catches this.
    ASSERT_TRUE(WriteFileBytes(file, "[S]\r\nK=3\r\n"));
    WriteTimeAgo(file, 1);
    FILETIME first{};
    {
        FileHandle h(CreateFileA(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                                 nullptr));
        ASSERT_TRUE(GetFileTime(h.get(), nullptr, nullptr, &first));
    }
    EXPECT_EQ("3", IniRead("S", "K", "", file));
    ASSERT_TRUE(WriteFileBytes(file, "[S]\r\nK=4\r\n"));
    {
        FileHandle h(CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(SetFileTime(h.get(), nullptr, nullptr, &first));
    }
    EXPECT_EQ("4", IniRead("S", "K", "", file));
    ASSERT_TRUE(DeleteFileA(file.c_str()));
    EXPECT_EQ("none", IniRead("S", "K", "none", file));

    // A file written long ago is kept; another old version of it, of the
    // same size, is still told apart by its time.
    ASSERT_TRUE(WriteFileBytes(file, "[S]\r\nK1=a\r\nK2=b\r\n"));
    WriteTimeAgo(file, 7200);
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), IniReadList("S", "K", file));
    ASSERT_TRUE(IniWrite("S", "K3", "c", file));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c"}), IniReadList("S", "K", file));
    ASSERT_TRUE(WriteFileBytes(file, "[S]\r\nK1=x\r\nK2=y\r\n"));
    WriteTimeAgo(file, 3600);
    EXPECT_EQ("y", IniRead("S", "K2", "", file));
    EXPECT_EQ((std::vector<std::string>{"x", "y"}), IniReadList("S", "K", file));
}

}  // namespace

namespace {

// WIN.INI's [Extensions] lives in the registry on the NT family: our reader
// and writer must leave such a file to the system.
TEST(ProfileWrite, FilesTheSystemMapsToTheRegistryStayWithTheSystem) {
    char windows[MAX_PATH] = {};
    ASSERT_NE(0u, GetWindowsDirectoryA(windows, MAX_PATH));
    const std::string winIni = std::string(windows) + "\\win.ini";
    const char* const kKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Extensions";
    const char* const kName = "rvtest表";
    ASSERT_TRUE(IniWrite("Extensions", kName, "C:\\ソフト\\TOOL.EXE ^.rvt", winIni));
    std::string stored(MAX_PATH, '\0');
    DWORD size = MAX_PATH;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueA(HKEY_CURRENT_USER, kKey, kName, RRF_RT_REG_SZ, nullptr, stored.data(), &size));
    stored.resize(size ? size - 1 : 0);
    EXPECT_EQ("C:\\ソフト\\TOOL.EXE ^.rvt", stored);
    EXPECT_EQ("C:\\ソフト\\TOOL.EXE ^.rvt", IniRead("extensions", kName, "", winIni));
    EXPECT_EQ(std::string::npos, ReadFileBytes(winIni).find("rvtest"));
    EXPECT_TRUE(IniDeleteKey("Extensions", kName, winIni));
    EXPECT_EQ("gone", IniRead("Extensions", kName, "gone", winIni));
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
        RegDeleteValueA(key.get(), kName);
}

}  // namespace
