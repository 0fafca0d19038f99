#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "TestSupport.h"
#include "app/MBUtils.h"
#include "app/uIniFile.h"
#include "app/uUtils.h"
#include "platform/Handles.h"

namespace {

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

TEST(CopyFileReset, OverwritesAProtectedDestinationAndLeavesArchiveOnly) {
    ScratchFolder dir;
    dir.Write("src.dat", "new contents");
    dir.Write("dst.dat", "old");
    ASSERT_TRUE(SetFileAttributesA((dir / "src.dat").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(SetFileAttributesA((dir / "dst.dat").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));

    EXPECT_EQ(0u, CopyFileReset(dir / "src.dat", dir / "dst.dat"));
    EXPECT_EQ("new contents", dir.Read("dst.dat"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), Attributes(dir / "dst.dat"));
    // A fresh copy of a read-only source (a CD-ROM) is left writable too.
    EXPECT_EQ(0u, CopyFileReset(dir / "src.dat", dir / "fresh.dat"));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), Attributes(dir / "fresh.dat"));
    SetFileAttributesA((dir / "src.dat").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(CopyFileReset, ReportsTheWin32Error) {
    ScratchFolder dir;
    dir.Write("src.dat", "new");
    dir.Write("held.dat", "old");
    {
        FileHandle held(CreateFileA((dir / "held.dat").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(held);
        EXPECT_EQ(static_cast<unsigned long>(ERROR_SHARING_VIOLATION), CopyFileReset(dir / "src.dat", dir / "held.dat"));
    }
    EXPECT_EQ("old", dir.Read("held.dat"));
    EXPECT_EQ(static_cast<unsigned long>(ERROR_FILE_NOT_FOUND), CopyFileReset(dir / "none.dat", dir / "x.dat"));
    EXPECT_FALSE(dir.Exists("x.dat"));
    EXPECT_NE(0u, CopyFileReset(dir / "src.dat", dir / "no\\such\\folder\\x.dat"));
}

// The overwrite rule compares the copy's date with the package's: the copy
// keeps the source's time of last write, and a file of several pieces
// arrives whole.
TEST(CopyFileReset, KeepsTheTimeOfLastWriteAndEveryByte) {
    ScratchFolder dir;
    std::string big(3 * 1024 * 1024 + 7, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131) ^ (i >> 13));
    dir.Write("big.dat", big);
    FILETIME old = {};
    old.dwHighDateTime = 0x01C00000;  // 1997
    {
        FileHandle source(CreateFileA((dir / "big.dat").c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(source);
        ASSERT_TRUE(SetFileTime(source.get(), nullptr, nullptr, &old));
    }
    unsigned long long copied = 0;
    EXPECT_EQ(0u, CopyFileReset(dir / "big.dat", dir / "copy.dat", false, &copied));
    EXPECT_EQ(big.size(), copied);
    EXPECT_TRUE(dir.Read("copy.dat") == big) << "the copy differs";
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    ASSERT_TRUE(GetFileAttributesExA((dir / "copy.dat").c_str(), GetFileExInfoStandard, &data));
    EXPECT_EQ(old.dwHighDateTime, data.ftLastWriteTime.dwHighDateTime);
    EXPECT_EQ(old.dwLowDateTime, data.ftLastWriteTime.dwLowDateTime);
}

// A destination that is the source under another name is never emptied.
TEST(CopyFileReset, OntoItselfIsRefusedAndLeavesTheFile) {
    ScratchFolder dir;
    dir.Write("same.dat", "contents");
    EXPECT_EQ(static_cast<unsigned long>(ERROR_SHARING_VIOLATION), CopyFileReset(dir / "same.dat", dir / "SAME.DAT"));
    EXPECT_EQ("contents", dir.Read("same.dat"));
}

TEST(CopyFileReset, DoubleByteNames) {
    ScratchFolder dir;
    dir.Write("表示.txt", "ソ");
    EXPECT_EQ(0u, CopyFileReset(dir / "表示.txt", dir / "ポ.txt"));
    EXPECT_EQ("ソ", dir.Read("ポ.txt"));
}

TEST(FolderExists, FoldersWithOrWithoutDelimiterButNotFiles) {
    ScratchFolder dir;
    dir.Write("sub\\file.txt", "x");
    ASSERT_TRUE(CreateDirectoryA((dir / "empty").c_str(), nullptr));
    EXPECT_TRUE(FolderExists(dir / "sub"));
    EXPECT_TRUE(FolderExists(dir / "sub\\"));
    EXPECT_TRUE(FolderExists(dir / "empty"));  // "." and ".." are there
    EXPECT_FALSE(FolderExists(dir / "sub\\file.txt"));
    EXPECT_FALSE(FolderExists(dir / "missing"));
    EXPECT_FALSE(FolderExists(dir / "missing\\"));
    char windows[MAX_PATH] = {};
    ASSERT_NE(0u, GetWindowsDirectoryA(windows, MAX_PATH));
    EXPECT_TRUE(FolderExists(windows));
    EXPECT_TRUE(FolderExists(std::string(windows) + "\\"));
}

TEST(FolderExists, DoubleByteFolderEndingInTrailByte) {
    ScratchFolder dir;
    ASSERT_TRUE(CreateDirectoryA((dir / "表").c_str(), nullptr));
    // 'x\表' has no delimiter at its end; 'x\表\' has one.
    EXPECT_TRUE(FolderExists(dir / "表"));
    EXPECT_TRUE(FolderExists(dir / "表\\"));
    EXPECT_FALSE(FolderExists(dir / "ソ"));
}

TEST(ForceFolders, CreatesEveryMissingLevel) {
    ScratchFolder dir;
    EXPECT_TRUE(ForceFolders(dir / "A\\B\\C\\D"));
    EXPECT_TRUE(FolderExists(dir / "A\\B\\C\\D"));
    EXPECT_TRUE(ForceFolders(dir / "A\\B\\C\\D\\"));  // nothing to create
    EXPECT_TRUE(ForceFolders(dir / "A\\X\\"));
    EXPECT_TRUE(FolderExists(dir / "A\\X"));
}

TEST(ForceFolders, FileInTheWayGivesFalse) {
    ScratchFolder dir;
    dir.Write("A\\B", "a file where a folder should be");
    EXPECT_FALSE(ForceFolders(dir / "A\\B\\C"));
    EXPECT_FALSE(FolderExists(dir / "A\\B\\C"));
    EXPECT_TRUE(FolderExists(dir / "A"));  // what was made before stays
}

TEST(ForceFolders, NeverSplitsADoubleByteCharacter) {
    ScratchFolder dir;
    EXPECT_TRUE(ForceFolders(dir / "表\\ソ\\能"));
    EXPECT_TRUE(FolderExists(dir / "表\\ソ\\能"));
    // Only the one folder "表" below the scratch folder: no folder named by
    // its lead byte alone.
    WIN32_FIND_DATAA fd;
    FindHandle find(FindFirstFileA((dir / "*").c_str(), &fd));
    ASSERT_TRUE(find);
    int entries = 0;
    std::string names;
    do {
        const std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        ++entries;
        names += ToUtf8(name) + " ";
    } while (FindNextFileA(find.get(), &fd));
    EXPECT_EQ(1, entries) << names;
    EXPECT_TRUE(FolderExists(dir / "表"));
}

TEST(CopyFileReset, ANewOnlyCopyLeavesAFileThatIsThereAlone) {
    ScratchFolder dir;
    dir.Write("src.dat", "new contents");
    dir.Write("there.dat", "kept");
    EXPECT_EQ(static_cast<unsigned long>(ERROR_FILE_EXISTS), CopyFileReset(dir / "src.dat", dir / "there.dat", false));
    EXPECT_EQ("kept", dir.Read("there.dat"));
    unsigned long long copied = 0;
    EXPECT_EQ(0u, CopyFileReset(dir / "src.dat", dir / "new.dat", false, &copied));
    EXPECT_EQ("new contents", dir.Read("new.dat"));
    EXPECT_EQ(12u, copied);
}

// A name planted as a hard link to someone else's file: neither a copy nor
// an INI edit writes through it, and the other file keeps its bytes and its
// attribute. A temporary name a killed copy left (even a hard link) is
// taken over by the next copy and does not stay.
TEST(CopyFileReset, NeverWritesThroughAnotherNameOfAFileAndTakesOverALeftover) {
    ScratchFolder dir;
    dir.Write("src.dat", "package");
    const std::string victimText = "[Victim]\r\nKey=1\r\n";
    dir.Write("win.ini", victimText);
    ASSERT_TRUE(SetFileAttributesA((dir / "win.ini").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateHardLinkA((dir / "README.TXT").c_str(), (dir / "win.ini").c_str(), nullptr));
    EXPECT_EQ(kLinkedTarget, CopyFileReset(dir / "src.dat", dir / "README.TXT"));
    EXPECT_FALSE(IniWrite("Victim", "Key", "2", dir / "README.TXT"));
    EXPECT_EQ(victimText, dir.Read("win.ini"));
    EXPECT_TRUE(FILE_ATTRIBUTE_READONLY & Attributes(dir / "win.ini")) << "the other name's attribute";
    EXPECT_FALSE(dir.Exists("README.TXT.RVNEW"));
    SetFileAttributesA((dir / "win.ini").c_str(), FILE_ATTRIBUTE_NORMAL);

    dir.Write("victim.dat", "theirs");
    ASSERT_TRUE(CreateHardLinkA((dir / "new.dat.RVNEW").c_str(), (dir / "victim.dat").c_str(), nullptr));
    EXPECT_EQ(0u, CopyFileReset(dir / "src.dat", dir / "new.dat", false));
    EXPECT_EQ("package", dir.Read("new.dat"));
    EXPECT_EQ("theirs", dir.Read("victim.dat"));
    EXPECT_FALSE(dir.Exists("new.dat.RVNEW"));
}

// Over a file in use the copy still arrives whole, beside it, when the
// caller will schedule it for the restart; the sink hears exactly the bytes
// written. Without that wish nothing is left.
TEST(CopyFileReset, OverAFileInUseTheWholeCopyWaitsBesideItWhenAsked) {
    ScratchFolder dir;
    dir.Write("src.dat", "new bytes");
    dir.Write("held.dat", "old");
    FileHandle held(CreateFileA((dir / "held.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(static_cast<unsigned long>(ERROR_SHARING_VIOLATION), CopyFileReset(dir / "src.dat", dir / "held.dat"));
    EXPECT_FALSE(dir.Exists("held.dat.RVNEW"));

    std::string heard, waiting;
    CopyRequest request;
    request.sink = [&heard](const char* bytes, unsigned long size) { heard.append(bytes, size); };
    request.inUseTemporary = &waiting;
    EXPECT_EQ(static_cast<unsigned long>(ERROR_SHARING_VIOLATION), CopyFileTo(dir / "src.dat", dir / "held.dat", request));
    EXPECT_EQ(dir / "held.dat.RVNEW", waiting);
    EXPECT_EQ("new bytes", dir.Read("held.dat.RVNEW"));
    EXPECT_EQ("new bytes", heard);
    EXPECT_EQ("old", dir.Read("held.dat"));
}

TEST(GetSpecialFolder, RealAndBogusNumbers) {
    char windows[MAX_PATH] = {};
    ASSERT_NE(0u, GetWindowsDirectoryA(windows, MAX_PATH));
    const std::string folder = GetSpecialFolder(CSIDL_WINDOWS);
    EXPECT_EQ(0, lstrcmpiA(windows, folder.c_str())) << folder;
    EXPECT_FALSE(IsPathDelimiterAt(folder, static_cast<int>(folder.size())));
    const std::string documents = GetSpecialFolder(CSIDL_PERSONAL);
    EXPECT_FALSE(documents.empty());
    EXPECT_TRUE(FolderExists(documents)) << documents;
    EXPECT_EQ("", GetSpecialFolder(0x7777));
    EXPECT_EQ("", GetSpecialFolder(-1));
}

// The path the shell's item list gives, as start-up took every folder.
std::string ByItemList(int csidl) {
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &items)) || !items) return {};
    char path[MAX_PATH] = {};
    const BOOL found = SHGetPathFromIDListA(items, path);
    CoTaskMemFree(items);
    // Wine's item list ends the documents folder with "\"; start-up adds
    // one to every folder anyway.
    std::string text = found ? path : "";
    if (text.size() > 3 && text.back() == '\\') text.pop_back();
    return text;
}

TEST(GetSpecialFolder, GivesWhatTheItemListGivesAlsoForAFolderRegisteredByItsShortName) {
    for (int id : {CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES, CSIDL_PERSONAL, CSIDL_STARTMENU, CSIDL_PROGRAMS,
                   CSIDL_DESKTOPDIRECTORY, CSIDL_STARTUP, CSIDL_SENDTO, CSIDL_COMMON_STARTMENU, CSIDL_COMMON_PROGRAMS,
                   CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_STARTUP, CSIDL_COMMON_DOCUMENTS})
        EXPECT_EQ(ByItemList(id), GetSpecialFolder(id)) << "CSIDL " << id;

    ScratchFolder dir;
    const std::string folder = dir / "A Long Folder Name";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    char shortForm[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameA(folder.c_str(), shortForm, MAX_PATH));
    ASSERT_NE(nullptr, strchr(shortForm, '~')) << shortForm;
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER,
                                           "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders", 0,
                                           KEY_QUERY_VALUE | KEY_SET_VALUE, key.put()));
    char kept[MAX_PATH] = {};
    DWORD size = sizeof kept, type = REG_EXPAND_SZ;
    const bool had = RegQueryValueExA(key.get(), "SendTo", nullptr, &type, reinterpret_cast<BYTE*>(kept), &size) == 0;
    RegSetValueExA(key.get(), "SendTo", 0, REG_SZ, reinterpret_cast<const BYTE*>(shortForm), lstrlenA(shortForm) + 1);
    EXPECT_EQ(folder, GetSpecialFolder(CSIDL_SENDTO));
    EXPECT_EQ(ByItemList(CSIDL_SENDTO), GetSpecialFolder(CSIDL_SENDTO));
    if (had)
        RegSetValueExA(key.get(), "SendTo", 0, type, reinterpret_cast<const BYTE*>(kept), size);
    else
        RegDeleteValueA(key.get(), "SendTo");
}

TEST(SysErrorText, FullWidthSystemTextEndingWithCrLf) {
    EXPECT_EQ("", SysErrorText(0));
    const std::string text = SysErrorText(ERROR_FILE_NOT_FOUND);
    ASSERT_GT(text.size(), 2u);
    EXPECT_EQ("\r\n", text.substr(text.size() - 2));
    // Every character before the CR LF is a double-byte one.
    const std::string body = text.substr(0, text.size() - 2);
    for (size_t i = 0; i < body.size(); ++i) {
        ASSERT_TRUE(IsLeadByte(static_cast<unsigned char>(body[i])))
            << "single-byte character at " << i << " in " << ToUtf8(text);
        ++i;
    }
    EXPECT_NE(text, SysErrorText(ERROR_ACCESS_DENIED));
}

}  // namespace
