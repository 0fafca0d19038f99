// The dry stand-in behind the system's door: what the operations read after
// their own changes is what the machine would show after them, a change the
// machine would refuse is refused, and the machine itself shows none of
// them afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SysopsTestUtil.h"
#include "TestSupport.h"
#include "app/DryChanges.h"
#include "app/uIniFile.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "sysops/Deletion.h"
#include "sysops/FileInfo.h"
#include "sysops/FileOps.h"
#include "sysops/Registry.h"
#include "sysops/SharedDlls.h"

namespace {

class DryChangesTest : public ::testing::Test {
protected:
    DryChangesTest() { UseChanges(&dry_); }
    ~DryChangesTest() override { UseChanges(nullptr); }

    bool Told(const std::string& line) const { return std::find(told_.begin(), told_.end(), line) != told_.end(); }

    ScratchFolder dir_;
    std::vector<std::string> told_;
    DryChanges dry_{[this](const std::string& line) { told_.push_back(line); }};
};

TEST_F(DryChangesTest, FilesAndFoldersAreSeenAsChangedAndNeverWritten) {
    dir_.Write("src\\A.TXT", "alpha");
    dir_.Write("dest\\A.TXT", "old");
    dir_.Write("old\\KEEP.TXT", "keep");
    const std::string made = dir_ / "new\\deeper\\";
    EXPECT_TRUE(ForceFolders(made));
    EXPECT_TRUE(FolderExists(made));
    // A copy into a folder made here, and one over a file that is there.
    EXPECT_EQ(0u, CopyFileReset(dir_ / "src\\A.TXT", made + "A.TXT"));
    EXPECT_EQ(0u, CopyFileReset(dir_ / "src\\A.TXT", dir_ / "dest\\A.TXT"));
    EXPECT_TRUE(Told("コピー(新規) " + dir_ / "src\\A.TXT -> " + made + "A.TXT"));
    EXPECT_TRUE(Told("コピー(置換) " + dir_ / "src\\A.TXT -> " + dir_ / "dest\\A.TXT"));
    unsigned long long size = 0;
    EXPECT_TRUE(FileSizeOf(made + "A.TXT", size));
    EXPECT_EQ(5u, size);
    std::string bytes;
    EXPECT_TRUE(dry_.Contents(dir_ / "dest\\A.TXT", bytes));
    EXPECT_EQ("alpha", bytes);
    EXPECT_EQ(0, CompareFileTimes(dir_ / "src\\A.TXT", made + "A.TXT")) << "the copy keeps the source's time";
    // A copy never makes its folder.
    EXPECT_EQ(static_cast<unsigned long>(ERROR_PATH_NOT_FOUND),
              CopyFileReset(dir_ / "src\\A.TXT", dir_ / "none\\A.TXT"));
    // A folder holding a file goes only once the file has gone.
    EXPECT_EQ(static_cast<unsigned long>(ERROR_DIR_NOT_EMPTY), DeleteFolderPatterns(dir_ / "old", ""));
    EXPECT_EQ(0u, DeleteFolderPatterns(dir_ / "old", "*.TXT"));
    EXPECT_FALSE(FolderExists(dir_ / "old"));
    EXPECT_EQ(static_cast<unsigned long>(ERROR_FILE_NOT_FOUND), DeletePath(dir_ / "old\\KEEP.TXT"));

    UseChanges(nullptr);
    EXPECT_FALSE(FolderExistsAt(dir_ / "new"));
    EXPECT_EQ("old", dir_.Read("dest\\A.TXT"));
    EXPECT_EQ("keep", dir_.Read("old\\KEEP.TXT"));
}

// A volume without short names on a system whose code page is not 932 (the
// entry sysops_english runs this on the English prefix): LZ32 cannot name a
// Japanese folder, and the machine and the preview expand through the
// program's own decoder; on the Japanese prefix LZ32 can and does. A path
// too long for LZ32 goes the same way everywhere.
TEST_F(DryChangesTest, AnExpansionLz32CannotNameIsDoneByTheProgramsOwnDecoder) {
    const win932::NoShortNamesForTest noShortNames;
    std::string compressed = ReadFileBytes(BinFolder() + "lzdata\\sample.txt_");
    ASSERT_GT(compressed.size(), 14u);
    compressed[9] = 'l';
    std::string deep = "deep";
    while ((dir_ / deep).size() < 140) deep += "\\abcdefghij";
    const std::string japanese = "媒体\\設定.dl_", plain = "plain\\setup.dl_", tooLong = deep + "\\setup.dl_";
    for (const std::string& name : {japanese, plain, tooLong}) {
        dir_.Write(name, compressed);
        WriteTimeAgo(dir_ / name, 86400 * 4);
    }
    dir_.Write("展開先\\keep", "");
    std::string ansi;
    EXPECT_EQ(GetACP() == 932, win932::AnsiPathForSystem(dir_ / japanese, ansi));
    // From a folder LZ32 cannot name, into one, and from a path longer than
    // its 127 bytes.
    for (const auto& [source, target] : {std::pair<std::string, std::string>{japanese, "out.dll"},
                                         {plain, "展開先\\設定.dll"}, {tooLong, "deep.dll"}}) {
        SCOPED_TRACE(ToUtf8(source));
        ASSERT_EQ(0u, MachineChanges().Expand(dir_ / source, dir_ / target));
        EXPECT_TRUE(ReadFileBytes(dir_ / target) == ReadFileBytes(BinFolder() + "lzdata\\sample.txt"));
        WIN32_FILE_ATTRIBUTE_DATA from{}, made{};
        ASSERT_TRUE(GetFileAttributesEx932(dir_ / source, &from) && GetFileAttributesEx932(dir_ / target, &made));
        EXPECT_EQ(0, CompareFileTime(&from.ftLastWriteTime, &made.ftLastWriteTime));
    }
    ASSERT_EQ(0u, dry_.Expand(dir_ / japanese, dir_ / "展開先\\dry.dll"));
    EXPECT_TRUE(Told("展開 " + dir_ / japanese + " -> " + dir_ / "展開先\\dry.dll"));
    EXPECT_FALSE(FileExistsAt(dir_ / "展開先\\dry.dll"));
    // An "AUTO.EXT" entry takes its name from the header all the same.
    EXPECT_EQ(ToUtf8(dir_ / "媒体\\設定.dll"), ToUtf8(GetExpandedName932(dir_ / japanese)));
}

TEST_F(DryChangesTest, AFileInUseIsRefusedAsTheMachineWouldRefuseIt) {
    dir_.Write("src\\A.TXT", "alpha");
    dir_.Write("A.TXT", "held");
    FileHandle held(CreateFileA((dir_ / "A.TXT").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(static_cast<unsigned long>(ERROR_SHARING_VIOLATION), CopyFileReset(dir_ / "src\\A.TXT", dir_ / "A.TXT"));
    EXPECT_NE(0u, DeletePath(dir_ / "A.TXT"));
    EXPECT_TRUE(FileExists(dir_ / "A.TXT"));
}

// Replaced and deleted at the restart in the list only: no copy waits in
// the Windows folder, and the system's list of renames is not touched.
TEST_F(DryChangesTest, AReplacementAtTheRestartIsListedAndNeitherCopiedNorScheduled) {
    StateGuard state;
    State().OSKind = "NT";
    State().WindowsFolder = dir_ / "Windows\\";
    dir_.Write("Windows\\SYSTEM.INI", "");  // the folder
    dir_.Write("new.exe", "new");
    dir_.Write("App\\tool.exe", "old");
    const std::string tool = dir_ / "App\\tool.exe", gone = dir_ / "App\\gone.dll";
    dir_.Write("App\\gone.dll", "x");
    const auto pendingSize = [] {
        RegKey key;
        DWORD size = 0;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                          KEY_QUERY_VALUE, key.put()) == ERROR_SUCCESS)
            RegQueryValueExA(key.get(), "PendingFileRenameOperations", nullptr, nullptr, nullptr, &size);
        return size;
    };
    const DWORD sizeBefore = pendingSize();
    EXPECT_TRUE(ReplaceOnRestart(dir_ / "new.exe", tool));
    EXPECT_TRUE(DeleteOnRestart(gone));
    EXPECT_TRUE(Told("再起動時に置換 " + tool + " <- " + dir_ / "Windows\\RVTMP1.TMP"));
    EXPECT_TRUE(Told("再起動時に削除 " + gone));
    UseChanges(nullptr);
    EXPECT_FALSE(FileExistsAt(dir_ / "Windows\\RVTMP1.TMP"));
    EXPECT_EQ(sizeBefore, pendingSize());
}

TEST_F(DryChangesTest, ProfileEntriesReadBackAndTheFileIsNeverMade) {
    const std::string file = dir_ / "APP.INI";
    EXPECT_TRUE(IniWrite("Options", "Path", "C:\\App\\", file));
    EXPECT_TRUE(IniWrite("Options", "Mode", "2", file));
    EXPECT_EQ("C:\\App\\", IniRead("Options", "Path", "", file));
    EXPECT_TRUE(IniDeleteKey("Options", "Mode", file));
    EXPECT_EQ("none", IniRead("Options", "Mode", "none", file));
    EXPECT_TRUE(Told("INI " + file + " [Options] Path=C:\\App\\"));
    UseChanges(nullptr);
    EXPECT_FALSE(FileExistsAt(file));
}

TEST_F(DryChangesTest, KeysValuesAndCountsReadAsChangedAndStayOnTheMachine) {
    const std::string key = "Software\\RavelinDryTest", shared = dir_ / "LIB.DLL";
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    {
        RegKey made;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, (key + "\\Sub\\Deeper").c_str(), 0, nullptr, 0,
                                                 KEY_SET_VALUE, nullptr, made.put(), nullptr));
        RegSetValueExA(made.get(), "Kept", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
    }
    // A value replaced reads the new data and says what it replaces.
    WriteRegistryString(HKEY_CURRENT_USER, key + "\\Sub\\Deeper", "Kept", "y");
    std::string value;
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, key + "\\Sub\\Deeper", "Kept", value));
    EXPECT_EQ("y", value);
    EXPECT_TRUE(Told("レジストリ値 HKEY_CURRENT_USER\\" + key + "\\Sub\\Deeper Kept = REG_SZ \"y\" (置き換える値: \"x\")"));
    WriteRegistryString(HKEY_CURRENT_USER, key + "\\New", "", "z");
    EXPECT_FALSE(RegistryKeyEmpty(HKEY_CURRENT_USER, key + "\\New"));
    EXPECT_TRUE(DeleteRegistryValue(HKEY_CURRENT_USER, key + "\\New", ""));
    EXPECT_TRUE(RegistryKeyEmpty(HKEY_CURRENT_USER, key + "\\New"));
    // A count raised twice reads twice raised.
    EXPECT_EQ(1, AdjustSharedDllCount(shared, true));
    EXPECT_EQ(2, AdjustSharedDllCount(shared, true));
    EXPECT_EQ(2, SharedDllCount(shared));
    // A tree deleted takes what was there and what was made in it.
    DeleteRegistryKey("(Cuser)", key);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, key + "\\Sub\\Deeper"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, key + "\\New"));
    EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, key + "\\Sub\\Deeper", "Kept", value));

    UseChanges(nullptr);
    EXPECT_TRUE(ReadRegistryString(HKEY_CURRENT_USER, key + "\\Sub\\Deeper", "Kept", value));
    EXPECT_EQ("x", value);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, key + "\\New"));
    EXPECT_EQ(0, SharedDllCount(shared));
    RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace
