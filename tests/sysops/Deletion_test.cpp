#include <windows.h>

#include <gtest/gtest.h>

#include "SysopsTestUtil.h"
#include "TestSupport.h"
#include "app/Handles.h"
#include "sysops/Deletion.h"
#include "sysops/Shell.h"

// ---------------------------------------------------------------- DeletePath

TEST(DeletePath, AMissingPathWithoutWildcardGivesTwoAndDoesNothingElse) {
    StateGuard guard;
    State().Mode = "SETUP";  // a library path would show a loading error if tried
    ScratchFolder dir;
    EXPECT_EQ(2u, DeletePath(dir / "missing.txt"));
    EXPECT_EQ(2u, DeletePath(dir / "missing.dll"));
}

TEST(DeletePath, AFolderWithoutWildcardIsNeverDeleted) {
    ScratchFolder dir;
    dir.Write("Sub\\keep.txt", "x");
    EXPECT_EQ(2u, DeletePath(dir / "Sub"));
    EXPECT_EQ(2u, DeletePath(dir / "Sub\\"));
    EXPECT_TRUE(dir.Exists("Sub\\keep.txt"));
}

TEST(DeletePath, DeletesAFileEvenWhenReadOnly) {
    ScratchFolder dir;
    dir.Write("a.txt", "x");
    dir.Write("b.txt", "y");
    ASSERT_TRUE(SetFileAttributesA((dir / "b.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(0u, DeletePath(dir / "a.txt"));
    EXPECT_FALSE(dir.Exists("a.txt"));
    EXPECT_EQ(0u, DeletePath(dir / "b.txt"));
    EXPECT_FALSE(dir.Exists("b.txt"));
}

TEST(DeletePath, AWildcardRemovesMatchingFilesAndFoldersOnly) {
    ScratchFolder dir;
    dir.Write("App\\one.tmp", "1");
    dir.Write("App\\two.TMP", "2");
    dir.Write("App\\keep.txt", "k");
    dir.Write("App\\cache.tmp\\inner\\deep.txt", "d");  // a folder that matches
    dir.Write("App\\other\\three.tmp", "3");             // below a folder that does not
    EXPECT_EQ(0u, DeletePath(dir / "App\\*.tmp"));
    EXPECT_FALSE(dir.Exists("App\\one.tmp"));
    EXPECT_FALSE(dir.Exists("App\\two.TMP"));
    EXPECT_FALSE(dir.Exists("App\\cache.tmp"));
    EXPECT_TRUE(dir.Exists("App\\keep.txt"));
    EXPECT_TRUE(dir.Exists("App\\other\\three.tmp"));

    dir.Write("App\\a1.log", "1");
    dir.Write("App\\a22.log", "2");
    EXPECT_EQ(0u, DeletePath(dir / "App\\a?.log"));
    EXPECT_FALSE(dir.Exists("App\\a1.log"));
    EXPECT_TRUE(dir.Exists("App\\a22.log"));
}

TEST(DeletePath, AWildcardWithoutMatchesGivesZero) {
    ScratchFolder dir;
    dir.Write("App\\keep.txt", "k");
    EXPECT_EQ(0u, DeletePath(dir / "App\\*.tmp"));
    EXPECT_TRUE(dir.Exists("App\\keep.txt"));
}

TEST(DeletePath, AFileInUseIsReportedNotClaimedDeleted) {
    ScratchFolder dir;
    dir.Write("busy.txt", "in use");
    FileLocker locker(dir / "busy.txt");
    ASSERT_TRUE(locker.ok());
    EXPECT_NE(0u, DeletePath(dir / "busy.txt"));
    EXPECT_TRUE(dir.Exists("busy.txt"));
    ASSERT_TRUE(locker.Release());
    EXPECT_EQ(0u, DeletePath(dir / "busy.txt"));
    EXPECT_FALSE(dir.Exists("busy.txt"));
}

TEST(DeletePath, ALibraryIsUnregisteredBeforeItIsDeleted) {
    StateGuard guard;
    State().Mode = "UNSETUP";
    ScratchFolder dir;
    TestRegKey reg;
    SetEnvironmentVariableA("RV_SELFREG_KEY", reg.subkey().c_str());
    const std::string dll = dir / "Lib.Dll";
    ASSERT_TRUE(CopyFileA((BinFolder() + "sysops_selfreg_ok.dll").c_str(), dll.c_str(), FALSE));
    ASSERT_TRUE(RegisterServer(dll, true));
    auto registered = [&] {
        RegKey key;
        return RegOpenKeyExA(HKEY_CURRENT_USER, reg.subkey().c_str(), 0, KEY_QUERY_VALUE, key.put()) ==
                   ERROR_SUCCESS &&
               RegQueryValueExA(key.get(), "Registered", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    };
    ASSERT_TRUE(registered());
    EXPECT_EQ(0u, DeletePath(dll));
    SetEnvironmentVariableA("RV_SELFREG_KEY", nullptr);
    EXPECT_FALSE(registered());
    EXPECT_FALSE(FileExistsAt(dll));
}

TEST(DeletePath, OnlyAFileNamedAsALibraryIsUnregisteredAndNothingIsShown) {
    StateGuard guard;
    State().Mode = "SETUP";  // an install: strict boxes, none may appear
    ScratchFolder dir;
    // The temporary expansion file inside a folder whose name holds ".dll".
    dir.Write("zlib.dll 1.2\\EXPAND.RVS", "expanded bytes");
    EXPECT_EQ(0u, DeletePath(dir / "zlib.dll 1.2\\EXPAND.RVS"));
    EXPECT_FALSE(dir.Exists("zlib.dll 1.2\\EXPAND.RVS"));
    // A library name whose file cannot be loaded goes silently as well.
    dir.Write("OCX.OCX\\broken.ocx", "not a library");
    EXPECT_EQ(0u, DeletePath(dir / "OCX.OCX\\broken.ocx"));
    EXPECT_FALSE(dir.Exists("OCX.OCX\\broken.ocx"));
}

TEST(DeletePath, ALibraryThatCrashesWhenUnregisteredIsStillDeleted) {
    StateGuard guard;
    State().Mode = "UNSETUP";
    ScratchFolder dir;
    TestRegKey reg;
    SetEnvironmentVariableA("RV_SELFREG_KEY", reg.subkey().c_str());
    const std::string dll = dir / "Crash.dll";
    ASSERT_TRUE(CopyFileA((BinFolder() + "sysops_selfreg_crash.dll").c_str(), dll.c_str(), FALSE));
    EXPECT_EQ(0u, DeletePath(dll));
    SetEnvironmentVariableA("RV_SELFREG_KEY", nullptr);
    EXPECT_FALSE(FileExistsAt(dll));
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, reg.subkey().c_str(), 0, KEY_QUERY_VALUE, key.put()));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key.get(), "Unregistered", nullptr, nullptr, nullptr, nullptr))
        << "the library was unregistered first";
}

// ------------------------------------------------------- DeleteFolderPatterns

TEST(DeleteFolderPatterns, AnEmptyListOnlyRemovesAnEmptyFolder) {
    ScratchFolder dir;
    dir.Write("App\\keep.txt", "k");
    EXPECT_EQ(145u, DeleteFolderPatterns(dir / "App", ""));
    EXPECT_TRUE(dir.Exists("App\\keep.txt"));
    ASSERT_TRUE(CreateDirectoryA((dir / "Empty").c_str(), nullptr));
    EXPECT_EQ(0u, DeleteFolderPatterns(dir / "Empty\\", ""));
    EXPECT_FALSE(dir.Exists("Empty"));
}

TEST(DeleteFolderPatterns, RemovesOnlyTheListedPatternsThenTheFolderIfEmpty) {
    ScratchFolder dir;
    dir.Write("App\\a.INI", "1");
    dir.Write("App\\b.ini", "2");
    dir.Write("App\\help.GID", "3");
    dir.Write("App\\tool.exe", "4");
    EXPECT_EQ(145u, DeleteFolderPatterns(dir / "App\\", "*.INI|*.GID|"));
    EXPECT_FALSE(dir.Exists("App\\a.INI"));
    EXPECT_FALSE(dir.Exists("App\\b.ini"));
    EXPECT_FALSE(dir.Exists("App\\help.GID"));
    EXPECT_TRUE(dir.Exists("App\\tool.exe"));

    // A last element without "|" counts too; now nothing is left.
    EXPECT_EQ(0u, DeleteFolderPatterns(dir / "App", "*.INI|tool.exe"));
    EXPECT_FALSE(dir.Exists("App"));
}

TEST(DeleteFolderPatterns, AnEmptyElementDeletesNothingMore) {
    ScratchFolder dir;
    dir.Write("App\\a.INI", "1");
    dir.Write("App\\keep.txt", "k");
    dir.Write("App\\Sub\\x.txt", "x");
    EXPECT_EQ(145u, DeleteFolderPatterns(dir / "App", "*.INI||"));
    EXPECT_FALSE(dir.Exists("App\\a.INI"));
    EXPECT_TRUE(dir.Exists("App\\keep.txt"));
    EXPECT_TRUE(dir.Exists("App\\Sub\\x.txt"));
}

TEST(DeleteFolderPatterns, StarDotStarEmptiesAndRemovesTheWholeFolder) {
    ScratchFolder dir;
    dir.Write("RVTMP1\\SETUPB.EXE", "MZ");
    dir.Write("RVTMP1\\SETUP.INI", "[x]");
    dir.Write("RVTMP1\\Sub\\Deeper\\f.txt", "f");
    EXPECT_EQ(0u, DeleteFolderPatterns(dir / "RVTMP1\\", "*.*"));
    EXPECT_FALSE(dir.Exists("RVTMP1"));
}

TEST(DeleteFolderPatterns, DoubleByteNamesAreSplitOnlyAtRealBars) {
    // "ポ" is 0x83 0x7C: its trail byte is "|".
    ScratchFolder dir;
    ASSERT_EQ(std::string("\x83\x7C"), std::string("ポ"));
    dir.Write("App\\ポート.txt", "1");
    dir.Write("App\\keep.txt", "k");
    EXPECT_EQ(145u, DeleteFolderPatterns(dir / "App", "ポート.txt|"));
    EXPECT_FALSE(dir.Exists("App\\ポート.txt"));
    EXPECT_TRUE(dir.Exists("App\\keep.txt"));
}

// ---------------------------------------------------------- DeleteRegistryKey

namespace {

void MakeKey(HKEY hive, const std::string& subkey) {
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExA(hive, subkey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr));
    const char data[] = "v";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key.get(), "Value", 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                            sizeof data));
}

bool HasKey(HKEY hive, const std::string& subkey) {
    RegKey key;
    return RegOpenKeyExA(hive, subkey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// A key of this test under HKLM, removed at the end whatever happened.
class MachineKey {
public:
    MachineKey() : subkey_("SOFTWARE\\RavelinTest\\sysops" + std::to_string(GetCurrentProcessId())) {}
    ~MachineKey() { DeleteRegistryKey("(Local)", subkey_); }
    const std::string& subkey() const { return subkey_; }

private:
    std::string subkey_;
};

}  // namespace

TEST(DeleteRegistryKey, RemovesATreeSeveralLevelsDeepUnderTheMacrosHive) {
    MachineKey machine;
    const std::string root = machine.subkey() + "\\Vendor\\App";
    MakeKey(HKEY_LOCAL_MACHINE, root);
    MakeKey(HKEY_LOCAL_MACHINE, root + "\\A\\B\\C\\D");
    MakeKey(HKEY_LOCAL_MACHINE, root + "\\A\\B2");
    MakeKey(HKEY_LOCAL_MACHINE, root + "\\Z");
    MakeKey(HKEY_LOCAL_MACHINE, machine.subkey() + "\\Vendor\\Other");
    EXPECT_TRUE(DeleteRegistryKey("(Local)", root + "\\"));
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, root));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, machine.subkey() + "\\Vendor"));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, machine.subkey() + "\\Vendor\\Other"));
}

TEST(DeleteRegistryKey, AnUnknownMacroMeansTheCurrentUser) {
    TestRegKey test;
    MachineKey machine;
    // The same relative path under both hives.
    const std::string path = test.subkey() + "\\App";
    MakeKey(HKEY_CURRENT_USER, path + "\\Sub");
    MakeKey(HKEY_LOCAL_MACHINE, path + "\\Sub");
    EXPECT_TRUE(DeleteRegistryKey("(Abcde)", path));
    EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, path));
    EXPECT_TRUE(HasKey(HKEY_LOCAL_MACHINE, path + "\\Sub"));
    EXPECT_TRUE(DeleteRegistryKey("(Local)", path));
    EXPECT_FALSE(HasKey(HKEY_LOCAL_MACHINE, path));
    // Tidy the HKLM copy's parents made above.
    DeleteRegistryKey("(Local)", "Software\\RavelinTest\\" +
                                     test.subkey().substr(std::string("Software\\RavelinTest\\").size()));

    MakeKey(HKEY_CURRENT_USER, test.subkey() + "\\Cuser");
    EXPECT_TRUE(DeleteRegistryKey("(Cuser)", test.subkey() + "\\Cuser"));
    EXPECT_FALSE(HasKey(HKEY_CURRENT_USER, test.subkey() + "\\Cuser"));
}

TEST(DeleteRegistryKey, AnEmptyPathOrABareDelimiterDeletesNothing) {
    TestRegKey test;
    EXPECT_TRUE(DeleteRegistryKey("(Cuser)", ""));
    EXPECT_TRUE(DeleteRegistryKey("(Cuser)", "\\"));
    EXPECT_TRUE(HasKey(HKEY_CURRENT_USER, test.subkey()));
    EXPECT_TRUE(HasKey(HKEY_CURRENT_USER, "Software"));
}

TEST(DeleteRegistryKey, AMissingKeyIsNotAnError) {
    TestRegKey test;
    EXPECT_TRUE(DeleteRegistryKey("(Cuser)", test.subkey() + "\\Nothing\\Here"));
    EXPECT_TRUE(HasKey(HKEY_CURRENT_USER, test.subkey()));
}
