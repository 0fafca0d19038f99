// The uninstaller copy, the program-ID list and the Add/Remove Programs key.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/SetupState.h"
#include "app/uIniFile.h"
#include "platform/Handles.h"
#include "app/SystemChanges.h"
#include "record/Registration.h"
#include "sysops/Deletion.h"

namespace {

// A local time as a file time.
FILETIME TimeOf(WORD year, WORD month, WORD day) {
    SYSTEMTIME system = {};
    system.wYear = year;
    system.wMonth = month;
    system.wDay = day;
    system.wHour = 12;
    FILETIME local, time;
    SystemTimeToFileTime(&system, &local);
    LocalFileTimeToFileTime(&local, &time);
    return time;
}

bool SetWriteTime(const std::string& path, const FILETIME& time) {
    FileHandle file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    return file && SetFileTime(file.get(), nullptr, nullptr, &time);
}

class CopyUninstallerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteFileBytes(work_ / "SETUPB.EXE", "this run's program"));
        ASSERT_TRUE(SetWriteTime(work_ / "SETUPB.EXE", TimeOf(2024, 5, 1)));
    }
    // An installed uninstaller with its own content and date.
    void Installed(WORD year, WORD month, WORD day) {
        ASSERT_TRUE(WriteFileBytes(uninstaller_, "installed program"));
        ASSERT_TRUE(SetWriteTime(uninstaller_, TimeOf(year, month, day)));
    }
    std::string InstalledBytes() const { return ReadFileBytes(uninstaller_); }
    // The program's own file as start-up holds it (null when it is gone).
    OpenedFilePtr Image() const {
        return MachineChanges().Open(work_ / "SETUPB.EXE", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    }

    ScratchFolder work_;
    ScratchFolder windows_;
    std::string uninstaller_ = windows_ / "UNRAVEL.EXE";
};

TEST_F(CopyUninstallerTest, AMissingUninstallerIsCreated) {
    EXPECT_EQ(0u, CopyUninstaller(Image().get(), windows_.path(), false));
    EXPECT_EQ("this run's program", InstalledBytes());
}

TEST_F(CopyUninstallerTest, AnOlderOneIsReplacedAnEqualOrNewerOneKept) {
    Installed(2024, 4, 30);
    EXPECT_EQ(0u, CopyUninstaller(Image().get(), windows_.path(), false));
    EXPECT_EQ("this run's program", InstalledBytes());

    Installed(2024, 5, 1);
    EXPECT_EQ(0u, CopyUninstaller(Image().get(), windows_.path(), false));
    EXPECT_EQ("installed program", InstalledBytes());

    Installed(2024, 5, 2);
    EXPECT_EQ(0u, CopyUninstaller(Image().get(), windows_.path(), false));
    EXPECT_EQ("installed program", InstalledBytes());
}

TEST_F(CopyUninstallerTest, DatesFromTwoThousandFortyFourOnStillCompareAsLater) {
    // From 2044 on a packed date has its top bit set: read as a signed
    // number it would look older than any date before.
    Installed(2050, 1, 1);
    EXPECT_EQ(0u, CopyUninstaller(Image().get(), windows_.path(), false));
    EXPECT_EQ("installed program", InstalledBytes());

    Installed(2024, 1, 1);
    ASSERT_TRUE(SetWriteTime(work_ / "SETUPB.EXE", TimeOf(2050, 1, 1)));
    EXPECT_EQ(0u, CopyUninstaller(Image().get(), windows_.path(), false));
    EXPECT_EQ("this run's program", InstalledBytes());
}

TEST_F(CopyUninstallerTest, ASetupOnlyPackageCreatesNoneButUpdatesAnOldOne) {
    EXPECT_EQ(0u, CopyUninstaller(Image().get(), windows_.path(), true));
    EXPECT_FALSE(FileExistsAt(uninstaller_));

    Installed(2020, 1, 1);
    EXPECT_EQ(0u, CopyUninstaller(Image().get(), windows_.path(), true));
    EXPECT_EQ("this run's program", InstalledBytes());
}

// An uninstaller running now is never cut or written through: the whole
// new one waits beside it and replaces it at the restart.
TEST_F(CopyUninstallerTest, OneInUseIsReplacedAtTheRestartByTheWholeCopyBesideIt) {
    const SetupState saved = State();
    State().OSKind = "NT";
    State().WindowsFolder = windows_.path();
    Installed(2020, 1, 1);
    {
        FileHandle running(CreateFileA(uninstaller_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                       nullptr));
        ASSERT_TRUE(running);
        EXPECT_EQ(static_cast<unsigned long>(ERROR_SUCCESS_REBOOT_REQUIRED),
                  CopyUninstaller(Image().get(), windows_.path(), false));
    }
    EXPECT_EQ("installed program", InstalledBytes());
    EXPECT_EQ("this run's program", ReadFileBytes(uninstaller_ + ".RVNEW"));
    State() = saved;
}

TEST_F(CopyUninstallerTest, AMissingProgramCopyIsFileNotFound) {
    ASSERT_TRUE(DeleteFileA((work_ / "SETUPB.EXE").c_str()));
    EXPECT_EQ(2u, CopyUninstaller(Image().get(), windows_.path(), false));
    EXPECT_FALSE(FileExistsAt(uninstaller_));

    Installed(2020, 1, 1);
    EXPECT_EQ(2u, CopyUninstaller(Image().get(), windows_.path(), false));
    EXPECT_EQ("installed program", InstalledBytes());
}

TEST(WriteProgramID, OneSectionPerIdentifier) {
    ScratchFolder windows;
    WriteProgramID("A", "C:\\Program Files\\表計算\\", windows.path());
    WriteProgramID("B", "D:\\ポート\\", windows.path());
    WriteProgramID("", "E:\\NONE\\", windows.path());
    const std::string list = windows / "RVSET98.INI";
    EXPECT_EQ("C:\\Program Files\\表計算\\", IniRead("A", "Folder", "", list));
    EXPECT_EQ("D:\\ポート\\", IniRead("B", "Folder", "", list));
    EXPECT_EQ(std::string::npos, ReadFileBytes(list).find("NONE"));

    // A later installation with the same identifier replaces its folder.
    WriteProgramID("A", "F:\\新\\", windows.path());
    EXPECT_EQ("F:\\新\\", IniRead("A", "Folder", "", list));
    EXPECT_EQ("D:\\ポート\\", IniRead("B", "Folder", "", list));
}

TEST(UninstallKeyPath, UnderTheUninstallList) {
    EXPECT_EQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\My App", UninstallKeyPath("My App"));
    EXPECT_EQ("", UninstallKeyPath(""));
    // A name of separators alone would write onto the list itself.
    EXPECT_EQ("", UninstallKeyPath("\\"));
    EXPECT_EQ("", UninstallKeyPath("\\\\"));
    EXPECT_EQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\My App", UninstallKeyPath("\\My App\\"));
    EXPECT_EQ(ToUtf8("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\表"), ToUtf8(UninstallKeyPath("表")))
        << "a trail byte 0x5C is no separator";
}

struct RegValue {
    std::string name;
    DWORD type;
    std::string data;
    bool operator==(const RegValue& o) const { return name == o.name && type == o.type && data == o.data; }
};

std::vector<RegValue> Sorted(std::vector<RegValue> values) {
    std::sort(values.begin(), values.end(), [](const RegValue& a, const RegValue& b) { return a.name < b.name; });
    return values;
}

std::ostream& operator<<(std::ostream& out, const RegValue& v) {
    return out << ToUtf8(v.name) << " (" << v.type << ") = " << ToUtf8(v.data);
}

// Every value of the key with type and data (the terminating zero dropped),
// sorted by name: Wine's registry lists values by name, whatever order they
// were written in.
std::vector<RegValue> ValuesOf(HKEY hive, const std::string& subkey) {
    std::vector<RegValue> values;
    RegKey key;
    if (RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameLength = sizeof name;
        BYTE data[2048];
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(key.get(), index, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS)
            break;
        std::string text(reinterpret_cast<char*>(data), dataLength);
        while (!text.empty() && text.back() == '\0') text.pop_back();
        values.push_back({name, type, text});
    }
    return Sorted(values);
}

class UninstallKeyTest : public ::testing::Test {
protected:
    void TearDown() override { DeleteRegistryKey("(Local)", keyPath_); }
    ScratchFolder dir_;
    const std::string keyPath_ = UninstallKeyPath(
        "RavelinTest " + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    const std::string windows_ = "C:\\WINDOWS\\";
    const std::string install_ = "C:\\Program Files\\表計算\\";
};

TEST_F(UninstallKeyTest, EveryValueWithItsType) {
    dir_.Write("SETUP.INI",
               "[Support]\r\nPublisher=表計算工房\r\nURLInfoAbout=http://example.jp/\r\nDisplayVersion=1.2\r\n"
               "Contact=ポート係\r\nHelpLink=%WINDIR%\\HELP.HTM\r\nHelpTelephone=03-0000-0000\r\n"
               "Readme=(App)README.TXT\r\nURLUpdateInfo=http://example.jp/up\r\nComments=表 comments\r\n");
    WriteUninstallKey(keyPath_, "表計算ソフト 1.2", windows_, install_, dir_ / "SETUP.INI");
    const std::vector<RegValue> expected = {
        {"DisplayName", REG_SZ, "表計算ソフト 1.2"},
        {"UninstallString", REG_EXPAND_SZ, "C:\\WINDOWS\\UNRAVEL.EXE \"C:\\Program Files\\表計算\\UNSETUP.INI\""},
        {"DisplayIcon", REG_SZ, "C:\\WINDOWS\\UNRAVEL.EXE"},
        {"Publisher", REG_SZ, "表計算工房"},
        {"URLInfoAbout", REG_SZ, "http://example.jp/"},
        {"DisplayVersion", REG_SZ, "1.2"},
        {"Contact", REG_SZ, "ポート係"},
        {"HelpLink", REG_EXPAND_SZ, "%WINDIR%\\HELP.HTM"},
        {"HelpTelephone", REG_SZ, "03-0000-0000"},
        {"Readme", REG_EXPAND_SZ, "(App)README.TXT"},
        {"URLUpdateInfo", REG_SZ, "http://example.jp/up"},
        {"Comments", REG_SZ, "表 comments"},
    };
    EXPECT_EQ(Sorted(expected), ValuesOf(HKEY_LOCAL_MACHINE, keyPath_));
}

// An empty [Support] value is skipped: what an earlier installation under
// the same key (or another package of that key name) wrote stays.
TEST_F(UninstallKeyTest, OnlyPublisherAndHelpLinkAreWrittenOverAnEarlierEntry) {
    dir_.Write("FULL.INI", "[Support]\r\nPublisher=old\r\nDisplayVersion=0.9\r\nComments=old\r\n");
    WriteUninstallKey(keyPath_, "old name", windows_, install_, dir_ / "FULL.INI");
    dir_.Write("SETUP.INI", "[Support]\r\nPublisher=表計算工房\r\nHelpLink=http://example.jp/help\r\n");
    WriteUninstallKey(keyPath_, "My App", windows_, install_, dir_ / "SETUP.INI");
    const std::vector<RegValue> expected = {
        {"DisplayName", REG_SZ, "My App"},
        {"UninstallString", REG_EXPAND_SZ, "C:\\WINDOWS\\UNRAVEL.EXE \"C:\\Program Files\\表計算\\UNSETUP.INI\""},
        {"DisplayIcon", REG_SZ, "C:\\WINDOWS\\UNRAVEL.EXE"},
        {"Publisher", REG_SZ, "表計算工房"},
        {"HelpLink", REG_EXPAND_SZ, "http://example.jp/help"},
        {"DisplayVersion", REG_SZ, "0.9"},
        {"Comments", REG_SZ, "old"},
    };
    EXPECT_EQ(Sorted(expected), ValuesOf(HKEY_LOCAL_MACHINE, keyPath_));
}

TEST_F(UninstallKeyTest, AnEmptyKeyPathWritesNothing) {
    const auto before = ValuesOf(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    const auto rootBefore = ValuesOf(HKEY_LOCAL_MACHINE, "");
    WriteUninstallKey("", "My App", windows_, install_, dir_ / "SETUP.INI");
    EXPECT_EQ(before, ValuesOf(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
    EXPECT_EQ(rootBefore, ValuesOf(HKEY_LOCAL_MACHINE, ""));
}

// The values deployment tools read, after the existing ones, with their
// types; the date and size rules on their own.
TEST_F(UninstallKeyTest, ExtrasForDeploymentToolsWithTheirTypes) {
    dir_.Write("SETUP.INI", "[Support]\r\nPublisher=表計算工房\r\n");
    WriteUninstallKey(keyPath_, "My App", windows_, install_, dir_ / "SETUP.INI");
    WriteUninstallExtras(keyPath_, windows_, install_, 3 * 1024 * 1024 + 1);
    SYSTEMTIME today;
    GetLocalTime(&today);
    const std::string date = InstallDateText(today.wYear, today.wMonth, today.wDay);
    // As ValuesOf reads data: the trailing zero bytes dropped.
    auto dword = [](DWORD value) {
        std::string data(reinterpret_cast<const char*>(&value), 4);
        while (!data.empty() && data.back() == '\0') data.pop_back();
        return data;
    };
    const std::vector<RegValue> expected = {
        {"DisplayName", REG_SZ, "My App"},
        {"UninstallString", REG_EXPAND_SZ, "C:\\WINDOWS\\UNRAVEL.EXE \"C:\\Program Files\\表計算\\UNSETUP.INI\""},
        {"DisplayIcon", REG_SZ, "C:\\WINDOWS\\UNRAVEL.EXE"},
        {"Publisher", REG_SZ, "表計算工房"},
        {"QuietUninstallString", REG_EXPAND_SZ,
         "C:\\WINDOWS\\UNRAVEL.EXE \"C:\\Program Files\\表計算\\UNSETUP.INI\" /S"},
        {"InstallLocation", REG_SZ, "C:\\Program Files\\表計算\\"},
        {"InstallDate", REG_SZ, date},
        {"EstimatedSize", REG_DWORD, dword(3 * 1024 + 1)},
        {"NoModify", REG_DWORD, dword(1)},
        {"NoRepair", REG_DWORD, dword(1)},
    };
    EXPECT_EQ(Sorted(expected), ValuesOf(HKEY_LOCAL_MACHINE, keyPath_));
}

TEST(UninstallExtras, DateAndSizeRules) {
    EXPECT_EQ("20260307", InstallDateText(2026, 3, 7));
    EXPECT_EQ("19991231", InstallDateText(1999, 12, 31));
    EXPECT_EQ(0ul, EstimatedSizeKiB(0));
    EXPECT_EQ(1ul, EstimatedSizeKiB(1));
    EXPECT_EQ(1ul, EstimatedSizeKiB(1024));
    EXPECT_EQ(2ul, EstimatedSizeKiB(1025));
    EXPECT_EQ(0xFFFFFFFFul, EstimatedSizeKiB(0xFFFFFFFFFFFFull));
}

TEST_F(UninstallKeyTest, ExtrasNeedAKeyPath) {
    const auto before = ValuesOf(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall");
    WriteUninstallExtras("", windows_, install_, 100);
    EXPECT_EQ(before, ValuesOf(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"));
}

}  // namespace
