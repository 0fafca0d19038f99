// What the uninstall run refuses to touch, decided on this machine's real
// folders and on the key paths a record can hold.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "UninstallTestKit.h"
#include "app/uUtils.h"
#include "sysops/PathNames.h"
#include "uninstall/KeyGuards.h"
#include "uninstall/PathGuards.h"

using namespace ukit;

namespace {

std::string ShortForm(const std::string& path) {
    char buffer[MAX_PATH] = {};
    const DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return (n > 0 && n < sizeof buffer) ? std::string(buffer) : std::string();
}

class ProtectedFoldersTest : public ::testing::Test {
protected:
    ScratchFolder dir_;
    UninstallState state_{dir_ / "UNSETUP.INI"};
    ProtectedFolders guard_ = ProtectedFolders::ForThisMachine(State());
};

}  // namespace

TEST(PathForms, OnlyDriveAndSharePathsAreFullyQualified) {
    for (const char* path : {"C:\\App\\a.txt", "c:/App/", "\\\\server\\share\\a.txt", "\\\\server\\share"})
        EXPECT_TRUE(IsFullyQualified(path)) << path;
    for (const char* path : {"", "a.txt", "App\\a.txt", "\\App\\a.txt", "C:App\\a.txt", "C:", "\\\\server",
                             "\\\\server\\", "\\\\?\\C:\\App\\", "\\\\.\\C:\\App\\", "..\\App\\"})
        EXPECT_FALSE(IsFullyQualified(path)) << path;
}

TEST(PathForms, AnExtraDeletePatternMustBeABareName) {
    for (const char* pattern : {"*.INI", "*.GID", "*.LOG", "ログ*.TXT", "a.b.c"})
        EXPECT_TRUE(IsBareNamePattern(pattern)) << pattern;
    for (const char* pattern : {"", "..\\*.*", "..", "sub\\*.*", "C:*.*", "C:\\*.*", "sub/*.txt", "x..y"})
        EXPECT_FALSE(IsBareNamePattern(pattern)) << pattern;
}

TEST(PathForms, CanonicalPathResolvesDotsAndShortNamesAndKeepsTheEnding) {
    ScratchFolder dir;
    dir.Write("Long Folder Name\\file.txt", "x");
    const std::string longFolder = dir / "Long Folder Name\\";
    const std::string shortFolder = ShortForm(longFolder);
    ASSERT_FALSE(shortFolder.empty());
    ASSERT_NE(longFolder, shortFolder) << "the system gave no short name to compare";
    EXPECT_TRUE(lstrcmpiA(longFolder.c_str(), CanonicalPath(shortFolder).c_str()) == 0) << CanonicalPath(shortFolder);
    EXPECT_TRUE(lstrcmpiA(longFolder.c_str(), CanonicalPath(longFolder + "sub\\..\\.\\").c_str()) == 0);
    EXPECT_TRUE(lstrcmpiA((longFolder + "file.txt").c_str(), CanonicalPath(shortFolder + "file.txt").c_str()) == 0);
    // Parts that do not exist stay as written behind the resolved ones.
    EXPECT_TRUE(lstrcmpiA((longFolder + "new\\x.txt").c_str(), CanonicalPath(shortFolder + "new\\x.txt").c_str()) ==
                0);
    EXPECT_EQ("C:\\", CanonicalPath("C:\\Windows\\..\\"));
    EXPECT_EQ("C:\\", CanonicalPath("C:\\Windows\\..\\..\\..")) << "a root keeps its \\";
}

TEST_F(ProtectedFoldersTest, SystemFoldersTheirParentsAndRootsAreProtectedInAnyForm) {
    const SetupState& s = State();
    const std::string profile = AddPathDelimiter(GetSpecialFolder(CSIDL_PROFILE), "B");
    ASSERT_FALSE(profile.empty());
    std::vector<std::string> protectedForms = {
        s.ProgramFilesFolder, s.WindowsFolder, s.SystemFolder, profile, ExtractFilePath(RemovePathDelimiter(profile, "B")),
        s.DesktopFolder, s.ProgramsFolder, s.TempFolder, "C:\\", "c:\\", "D:\\", "Z:\\", "\\\\server\\share\\",
        "\\\\server\\share", "C:\\rvnothere\\..\\", s.ProgramFilesFolder + "rvnothere\\..\\",
        MapString(s.WindowsFolder, LCMAP_LOWERCASE), RemovePathDelimiter(s.ProgramFilesFolder, "B"),
        AddPathDelimiter(GetSpecialFolder(CSIDL_APPDATA), "B"), "relative\\folder\\", "\\App\\"};
    const std::string shortProgramFiles = ShortForm(s.ProgramFilesFolder);
    ASSERT_FALSE(shortProgramFiles.empty());
    protectedForms.push_back(shortProgramFiles);
    for (const std::string& folder : protectedForms) EXPECT_TRUE(guard_.IsProtected(folder)) << ToUtf8(folder);
}

TEST_F(ProtectedFoldersTest, AProgramsOwnFolderIsNot) {
    const SetupState& s = State();
    for (const std::string& folder :
         {s.ProgramFilesFolder + "Vendor\\App\\", dir_.path(), dir_ / "sub\\..\\other\\", s.ProgramsFolder + "App\\",
          std::string("\\\\server\\share\\App\\")}) {
        EXPECT_FALSE(guard_.IsProtected(folder)) << ToUtf8(folder);
    }
}

TEST_F(ProtectedFoldersTest, InsideComparesResolvedFolders) {
    dir_.Write("App\\Sub\\x.txt", "x");
    const std::string app = dir_ / "App\\";
    EXPECT_TRUE(ProtectedFolders::IsInside(app + "Sub\\", app));
    EXPECT_TRUE(ProtectedFolders::IsInside(app, app));
    EXPECT_TRUE(ProtectedFolders::IsInside(ShortForm(app + "Sub\\"), app));
    EXPECT_FALSE(ProtectedFolders::IsInside(app + "..\\Other\\", app)) << "a '..' path that leaves the folder";
    EXPECT_FALSE(ProtectedFolders::IsInside(dir_ / "AppX\\", app)) << "a longer name is not inside";
    EXPECT_FALSE(ProtectedFolders::IsInside("Sub\\", app));
}

TEST(KeyGuards, TopLevelAndSharedKeysAreRefusedAPackagesOwnKeyIsNot) {
    for (const char* key : {"", "\\", "SOFTWARE", "\\SOFTWARE\\", "Software", "Software\\Microsoft",
                            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\",
                            "software\\classes", "SYSTEM\\CurrentControlSet", "CLSID", ".txt"})
        EXPECT_TRUE(IsSharedRegistryKey("(Local)", key)) << key;
    EXPECT_TRUE(IsSharedRegistryKey("(Users)", ".DEFAULT\\Software")) << "a user's key is a hive of its own";
    EXPECT_TRUE(IsSharedRegistryKey("(Users)", "S-1-5-21-1"));
    for (const char* key : {"SOFTWARE\\Vendor", "Software\\Vendor\\App\\", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App",
                            "CLSID\\{12345678-1234-1234-1234-123456789012}"})
        EXPECT_FALSE(IsSharedRegistryKey("(Local)", key)) << key;
    EXPECT_FALSE(IsSharedRegistryKey("(Users)", ".DEFAULT\\Software\\Vendor"));
}

TEST(KeyGuards, OnlyANamedEntryBelowTheUninstallListIsARegistration) {
    const std::string list = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    EXPECT_TRUE(IsUninstallEntryKey(list + "My App"));
    EXPECT_TRUE(IsUninstallEntryKey("\\software\\microsoft\\windows\\currentversion\\uninstall\\テスト"));
    for (const std::string& key : {list, list + "\\", list.substr(0, list.size() - 1), std::string("SOFTWARE\\Vendor\\App"),
                                   std::string("SOFTWARE"), std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UninstallX\\A")})
        EXPECT_FALSE(IsUninstallEntryKey(key)) << key;
}
