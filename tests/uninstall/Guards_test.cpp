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
    // The kept forms give what CanonicalPath gives, a short file name too.
    dir.Write("Long Folder Name\\A Long File Name.text", "y");
    CanonicalPaths forms;
    for (const std::string& path : {shortFolder + "file.txt", ShortForm(longFolder + "A Long File Name.text"),
                                    longFolder + "A Long File Name.text", shortFolder + "missing.txt",
                                    shortFolder + "*.LOG"})
        EXPECT_TRUE(lstrcmpiA(CanonicalPath(path).c_str(), forms.Of(path).c_str()) == 0) << path << " " << forms.Of(path);
    EXPECT_TRUE(lstrcmpiA((longFolder + "A Long File Name.text").c_str(),
                          forms.Of(ShortForm(longFolder + "A Long File Name.text")).c_str()) == 0);
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
        AddPathDelimiter(GetSpecialFolder(CSIDL_APPDATA), "B"), "relative\\folder\\", "\\App\\",
        "\\\\localhost\\C$\\rvnothere\\Startup\\"};
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

TEST(KeyGuards, OnlyAPackagesOwnKeysGoAndItsClassesOnlyFromATrustedRecord) {
    const std::string me = "S-1-5-21-7-8-9-1000";
    using R = KeyRefusal;
    struct Case {
        const char* root;
        std::string key;
        R trusted, untrusted;
    };
    const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const std::vector<Case> cases = {
        {"(Local)", "", R::Shared, R::Shared},
        {"(Local)", "\\SOFTWARE\\", R::Shared, R::Shared},
        {"(Local)", "Software\\Microsoft", R::Shared, R::Shared},
        {"(Local)", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", R::Shared, R::Shared},
        {"(Local)", "SYSTEM\\ControlSet001\\Services", R::Shared, R::Shared},
        {"(Local)", "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", R::Shared, R::Shared},
        {"(Local)", "SOFTWARE\\Classes", R::Shared, R::Shared},
        {"(Local)", uninstall, R::UninstallEntry, R::UninstallEntry},
        {"(Cuser)", uninstall + "\\OtherApp\\", R::UninstallEntry, R::UninstallEntry},
        {"(Class)", "exefile\\shell", R::WindowsClass, R::WindowsClass},
        {"(Local)", "SOFTWARE\\Classes\\Exefile", R::WindowsClass, R::WindowsClass},
        {"(Cuser)", "Software\\Classes\\lnkfile", R::WindowsClass, R::WindowsClass},
        {"(Class)", "*\\shellex", R::WindowsClass, R::WindowsClass},
        {"(Class)", "CLSID", R::WindowsClass, R::WindowsClass},
        {"(Class)", ".txt", R::Shared, R::Shared},
        {"(Class)", "MyApp.Document", R::None, R::NotTrusted},
        {"(Local)", "SOFTWARE\\Classes\\MyApp.Document", R::None, R::NotTrusted},
        {"(Class)", "CLSID\\{12345678-1234-1234-1234-123456789012}", R::None, R::NotTrusted},
        {"(Class)", "TypeLib\\{12345678-1234-1234-1234-123456789012}\\1.0", R::None, R::NotTrusted},
        {"(Users)", "S-1-5-21-7-8-9-1001\\Software\\Vendor", R::OtherUser, R::OtherUser},
        {"(Users)", me + "\\Software\\Vendor", R::None, R::None},
        {"(Users)", me + "\\Software", R::Shared, R::Shared},
        {"(Users)", me + "_Classes\\MyApp.Document", R::None, R::NotTrusted},
        {"(Local)", "SOFTWARE\\Vendor\\App", R::None, R::None},
        {"(Local)", "SOFTWARE\\Vendor", R::Shared, R::Shared},
        {"(Local)", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\RvApp.exe", R::Shared, R::Shared},
        {"(Local)", "SOFTWARE\\Microsoft\\SystemCertificates", R::Shared, R::Shared},
        {"(Local)", "SOFTWARE\\Microsoft\\Cryptography", R::Shared, R::Shared},
        {"(Cuser)", "Software\\Microsoft\\Office\\Addins\\Rv", R::Shared, R::Shared},
        {"(Users)", me + "\\Software\\Microsoft\\Notepad", R::Shared, R::Shared},
        {"(Cuser)", "Software\\Vendor", R::None, R::None},
        {"(XXXXX)", "Software\\Vendor", R::None, R::None},
        {"(Cuser)", "Software\\\\Vendor", R::Shared, R::Shared},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.trusted, RefuseRegistryKey(c.root, c.key, true, me)) << c.root << c.key;
        EXPECT_EQ(c.untrusted, RefuseRegistryKey(c.root, c.key, false, me)) << c.root << c.key << " (untrusted)";
    }
    EXPECT_EQ(R::OtherUser, RefuseRegistryKey("(Users)", me + "\\Software\\Vendor", true, ""))
        << "no user known: no user's key is ours";
    EXPECT_EQ(0u, CurrentUserSid().find("S-1-")) << CurrentUserSid();
}

TEST(KeyGuards, AClassAnotherFileTypeNamesOrAUrlProtocolStaysEvenFromATrustedRecord) {
    const std::string me = "S-1-5-21-7-8-9-1000";
    using R = KeyRefusal;
    const auto set = [](const char* key, const char* name, const char* value) {
        HKEY made = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &made,
                                                 nullptr));
        RegSetValueExA(made, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), static_cast<DWORD>(strlen(value) + 1));
        RegCloseKey(made);
    };
    set(".rvguard", "", "rvguard_file");
    set("rvguard_file", "", "Guard");
    set("rvguardurl", "URL Protocol", "");
    set("rvguard_own", "", "Own");

    EXPECT_EQ(R::OtherClass, RefuseRegistryKey("(Class)", "rvguard_file", true, me)) << "txtfile's case";
    EXPECT_EQ(R::OtherClass, RefuseRegistryKey("(Local)", "SOFTWARE\\Classes\\RVGUARD_FILE", true, me));
    EXPECT_EQ(R::None, RefuseRegistryKey("(Class)", "rvguard_file", true, me, {"RVGUARD"}))
        << "the record made that file type";
    EXPECT_EQ(R::OtherClass, RefuseRegistryKey("(Class)", "rvguardurl", true, me)) << "http's case";
    EXPECT_EQ(R::OtherClass, RefuseRegistryKey("(Class)", "rvguardurl", true, me, {"rvguard"}));
    EXPECT_EQ(R::None, RefuseRegistryKey("(Class)", "rvguard_own", true, me)) << "named by nobody";
    EXPECT_EQ(R::NotTrusted, RefuseRegistryKey("(Class)", "rvguard_file", false, me));
    for (const char* key : {".rvguard", "rvguard_file", "rvguardurl", "rvguard_own"}) RegDeleteKeyA(HKEY_CLASSES_ROOT, key);
}

TEST(KeyGuards, OnlyANamedEntryBelowTheUninstallListIsARegistration) {
    const std::string list = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
    EXPECT_TRUE(IsUninstallEntryKey(list + "My App"));
    EXPECT_TRUE(IsUninstallEntryKey("\\software\\microsoft\\windows\\currentversion\\uninstall\\テスト"));
    for (const std::string& key : {list, list + "\\", list.substr(0, list.size() - 1), std::string("SOFTWARE\\Vendor\\App"),
                                   std::string("SOFTWARE"), std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\UninstallX\\A")})
        EXPECT_FALSE(IsUninstallEntryKey(key)) << key;
}
