#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "SysopsTestUtil.h"
#include "TestSupport.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "sysops/FileOps.h"

namespace {

std::string LzData(const std::string& name) { return BinFolder() + "lzdata\\" + name; }

std::string Lower(std::string text) {
    CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// True when every part after the drive fits 8.3 and holds no blank.
bool IsShortForm(const std::string& path) {
    std::string rest = path.size() > 3 && path[1] == ':' ? path.substr(3) : path;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string::npos) end = rest.size();
        const std::string part = rest.substr(start, end - start);
        const size_t dot = part.find('.');
        const std::string name = part.substr(0, dot);
        const std::string ext = dot == std::string::npos ? "" : part.substr(dot + 1);
        if (part.find(' ') != std::string::npos || name.size() > 8 || ext.size() > 3 ||
            ext.find('.') != std::string::npos)
            return false;
        start = end + 1;
    }
    return true;
}

std::string LongPath(const std::string& path) {
    char buffer[MAX_PATH * 2] = {};
    const DWORD n = GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

const wchar_t kSessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";

// The entries of PendingFileRenameOperations, in the ANSI code page.
std::vector<std::string> PendingRenames() {
    std::vector<std::string> entries;
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
        return entries;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS ||
        size == 0)
        return entries;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 2, L'\0');
    if (RegQueryValueExW(key.get(), L"PendingFileRenameOperations", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        return entries;
    const size_t count = size / sizeof(wchar_t);
    for (size_t i = 0; i < count;) {
        const std::wstring wide(data.data() + i);
        char narrow[MAX_PATH * 4] = {};
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
        entries.push_back(narrow);
        i += wide.size() + 1;
    }
    // The value ends with an empty string of its own.
    while (!entries.empty() && entries.back().empty() && entries.size() % 2 == 1) entries.pop_back();
    return entries;
}

// Index of the pair whose source names path (any case), or -1.
int PendingPairFor(const std::vector<std::string>& entries, const std::string& source) {
    for (size_t i = 0; i + 1 < entries.size(); i += 2)
        if (Lower(entries[i]) == Lower("\\??\\" + source)) return static_cast<int>(i);
    return -1;
}

// Drops every pending pair that mentions text, so that a failed test never
// leaves work for a later restart of the prefix.
void ForgetPendingMentioning(const std::string& text) {
    std::vector<std::string> entries = PendingRenames();
    std::wstring kept;
    bool changed = false;
    for (size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (Lower(entries[i]).find(Lower(text)) != std::string::npos ||
            Lower(entries[i + 1]).find(Lower(text)) != std::string::npos) {
            changed = true;
            continue;
        }
        for (size_t j = i; j < i + 2; ++j) {
            wchar_t wide[MAX_PATH * 2] = {};
            MultiByteToWideChar(CP_ACP, 0, entries[j].c_str(), -1, wide, MAX_PATH * 2);
            kept += wide;
            kept += L'\0';
        }
    }
    if (!changed) return;
    RegKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    if (kept.empty()) {
        RegDeleteValueW(key.get(), L"PendingFileRenameOperations");
        return;
    }
    kept += L'\0';
    RegSetValueExW(key.get(), L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                   reinterpret_cast<const BYTE*>(kept.data()), static_cast<DWORD>(kept.size() * sizeof(wchar_t)));
}

// A folder on the Linux root drive (another volume than C: to Windows).
class OtherVolumeFolder {
public:
    OtherVolumeFolder()
        : path_("Z:\\tmp\\rvsysops" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(GetTickCount64()) + "\\") {
        RemoveTree(path_);
        ok_ = CreateDirectoryA(path_.c_str(), nullptr) != FALSE;
    }
    ~OtherVolumeFolder() { RemoveTree(path_); }
    bool ok() const { return ok_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    bool ok_;
};

}  // namespace

// ----------------------------------------------------------------- expansion

TEST(ExpandToTemp, ExpandsCompressedFilesByteForByte) {
    StateGuard guard;
    ScratchFolder dir;
    State().TempFolder = dir.path();
    for (const char* name : {"sample.txt", "child.exe"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(FileExistsAt(LzData(std::string(name) + "_"))) << "compressed test data missing";
        unsigned long error = 99;
        const std::string result = ExpandToTemp(LzData(std::string(name) + "_"), dir / "dest\\file.bin", error);
        EXPECT_EQ(0u, error);
        EXPECT_EQ(ToUtf8(dir / "EXPAND.RVS"), ToUtf8(GetField(result, ',', 1)));
        EXPECT_EQ(ToUtf8(dir / "dest\\file.bin"), ToUtf8(GetField(result, ',', 2)));
        const std::string original = ReadFileBytes(LzData(name));
        ASSERT_FALSE(original.empty());
        EXPECT_NE(original, ReadFileBytes(LzData(std::string(name) + "_")));  // really compressed
        EXPECT_TRUE(ReadFileBytes(dir / "EXPAND.RVS") == original);
    }
}

TEST(ExpandToTemp, ReplacesAnEarlierTemporaryFileAndCopiesPlainFilesUnchanged) {
    StateGuard guard;
    ScratchFolder dir;
    State().TempFolder = dir.path();
    dir.Write("EXPAND.RVS", std::string(100000, 'x'));  // longer than what follows
    SetFileAttributesA((dir / "EXPAND.RVS").c_str(), FILE_ATTRIBUTE_READONLY);
    dir.Write("plain.txt", "not compressed at all\r\n");
    unsigned long error = 99;
    ExpandToTemp(dir / "plain.txt", dir / "out.txt", error);
    EXPECT_EQ(0u, error);
    EXPECT_EQ("not compressed at all\r\n", dir.Read("EXPAND.RVS"));
}

// In the temporary folder every user may write, the expansion could be
// swapped before it is installed: it is made in the run's own folder.
TEST(ExpandToTemp, ExpandsIntoTheWorkingFolderNotTheSharedTemporaryOne) {
    StateGuard guard;
    ScratchFolder dir;
    State().TempFolder = dir.path();
    State().WorkFolder = dir / "RVTMP1\\";
    CreateDirectoryA((dir / "RVTMP1").c_str(), nullptr);
    dir.Write("EXPAND.RVS", "planted");
    dir.Write("plain.txt", "the package's");
    unsigned long error = 99;
    const std::string result = ExpandToTemp(dir / "plain.txt", dir / "out.txt", error);
    EXPECT_EQ(0u, error);
    EXPECT_EQ(ToUtf8(dir / "RVTMP1\\EXPAND.RVS"), ToUtf8(GetField(result, ',', 1)));
    EXPECT_EQ("the package's", dir.Read("RVTMP1\\EXPAND.RVS"));
    EXPECT_EQ("planted", dir.Read("EXPAND.RVS"));
}

TEST(ExpandToTemp, AutoExtTakesTheNameRecordedInTheCompressedFile) {
    StateGuard guard;
    ScratchFolder dir;
    State().TempFolder = dir.path();
    // mscompress leaves the missing last character of the name out (byte 9
    // is 0); put the "l" of "setup.dll" there, as a packager does.
    std::string compressed = ReadFileBytes(LzData("sample.txt_"));
    ASSERT_GT(compressed.size(), 14u);
    compressed[9] = 'l';
    dir.Write("disk1\\setup.dl_", compressed);

    unsigned long error = 99;
    std::string result = ExpandToTemp(dir / "disk1\\setup.dl_", dir / "App\\AUTO.EXT", error);
    EXPECT_EQ(0u, error);
    EXPECT_EQ(ToUtf8(dir / "App\\SETUP.DLL"), ToUtf8(GetField(result, ',', 2)));
    EXPECT_TRUE(ReadFileBytes(dir / "EXPAND.RVS") == ReadFileBytes(LzData("sample.txt")));

    // The marker is compared with case.
    result = ExpandToTemp(dir / "disk1\\setup.dl_", dir / "App\\auto.ext", error);
    EXPECT_EQ(ToUtf8(dir / "App\\auto.ext"), ToUtf8(GetField(result, ',', 2)));
}

TEST(ExpandToTemp, JapaneseNamesReachTheExpanderThatHasNoWideFunctions) {
    StateGuard guard;
    ScratchFolder dir;
    State().TempFolder = dir / "一時ソ\\";
    ASSERT_TRUE(CreateDirectoryA(State().TempFolder.c_str(), nullptr));
    std::string compressed = ReadFileBytes(LzData("sample.txt_"));
    ASSERT_GT(compressed.size(), 14u);
    compressed[9] = 'l';
    dir.Write("表ソ\\長い名前の設定.dl_", compressed);

    unsigned long error = 99;
    const std::string result = ExpandToTemp(dir / "表ソ\\長い名前の設定.dl_", dir / "App\\AUTO.EXT", error);
    EXPECT_EQ(0u, error);
    // The long name, with the last character the file records.
    EXPECT_EQ(ToUtf8(dir / "App\\長い名前の設定.DLL"), ToUtf8(GetField(result, ',', 2)));
    EXPECT_TRUE(ReadFileBytes(State().TempFolder + "EXPAND.RVS") == ReadFileBytes(LzData("sample.txt")));
}

TEST(ExpandToTemp, AFailedExpansionIsReportedAndLeavesNoTemporaryFile) {
    StateGuard guard;
    ScratchFolder dir;
    State().TempFolder = dir.path();
    unsigned long error = 0;
    ExpandToTemp(dir / "missing.tx_", dir / "out.txt", error);
    EXPECT_NE(0u, error);
    EXPECT_FALSE(dir.Exists("EXPAND.RVS"));

    // A compressed file cut short must not pass as its expansion.
    const std::string compressed = ReadFileBytes(LzData("sample.txt_"));
    ASSERT_GT(compressed.size(), 200u);
    dir.Write("cut.tx_", compressed.substr(0, compressed.size() / 2));
    error = 0;
    ExpandToTemp(dir / "cut.tx_", dir / "out.txt", error);
    EXPECT_NE(0u, error);
    EXPECT_FALSE(dir.Exists("EXPAND.RVS"));
}

// ---------------------------------------------------------------- free space

TEST(DiskFree, BothWaysKnowTheFreeSpaceInSixtyFourBits) {
    long long viaEx = 0, viaClusters = 0;
    ASSERT_TRUE(DiskFreeBytesEx("C:", viaEx));
    ASSERT_TRUE(DiskFreeBytes("C:\\", viaClusters));
    EXPECT_GT(viaEx, 0);
    EXPECT_GT(viaClusters, 0);
    // Computed differently, so a value cut to 32 bits on one side shows.
    const long long fourGiB = 4LL << 30;
    if (viaClusters > fourGiB + (1LL << 30)) {
        EXPECT_GT(viaEx, fourGiB);
    }
    if (viaEx > fourGiB + (1LL << 30)) {
        EXPECT_GT(viaClusters, fourGiB);
    }
    std::printf("free on C: %lld (Ex) / %lld (clusters)\n", viaEx, viaClusters);
}

TEST(DiskFree, ADriveThatIsNotThereGivesFalseAndMinusOne) {
    // Find a letter that no drive uses.
    const DWORD used = GetLogicalDrives();
    char letter = 0;
    for (char c = 'Q'; c <= 'Y' && !letter; ++c)
        if (!(used & (1u << (c - 'A')))) letter = c;
    ASSERT_NE(0, letter);
    const std::string drive = std::string(1, letter) + ":";
    long long bytes = 123;
    EXPECT_FALSE(DiskFreeBytesEx(drive, bytes));
    EXPECT_EQ(-1, bytes);
    bytes = 123;
    EXPECT_FALSE(DiskFreeBytes(drive, bytes));
    EXPECT_EQ(-1, bytes);
}

// ---------------------------------------------------------------- short names

TEST(ShortPath, GivesTheShortFormOfAnExistingPathAndNothingOtherwise) {
    ScratchFolder dir;
    dir.Write("Long Folder Name\\A Long File Name.text", "x");
    const std::string shortPath = ShortPath(dir / "Long Folder Name\\A Long File Name.text");
    ASSERT_FALSE(shortPath.empty());
    EXPECT_TRUE(IsShortForm(shortPath)) << ToUtf8(shortPath);
    EXPECT_EQ(Lower(dir / "Long Folder Name\\A Long File Name.text"), Lower(LongPath(shortPath)));
    EXPECT_EQ("", ShortPath(dir / "missing.txt"));
}

TEST(ShortPath, AShortFormLongerThanMaxPathIsAFailure) {
    ScratchFolder dir;
    // Thirty levels of eight characters: the short form itself passes 260.
    std::wstring wide = L"\\\\?\\";
    wchar_t base[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, dir.path().c_str(), -1, base, MAX_PATH);
    wide += base;
    std::string narrow = dir.path();
    for (int i = 0; i < 30; ++i) {
        wide += L"ABCDEFGH\\";
        narrow += "ABCDEFGH\\";
        ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    ASSERT_GT(narrow.size(), static_cast<size_t>(MAX_PATH));
    EXPECT_EQ("", ShortPath(narrow));
    EXPECT_EQ("", ShortPath(RemovePathDelimiter(narrow, "B")));
}

// ------------------------------------------------- restart operations, NT family

TEST(RestartOnNt, ALockedFileIsReplacedAndAnotherDeletedWhenWindowsRestarts) {
    StateGuard guard;
    ScratchFolder dir;
    OtherVolumeFolder other;
    ASSERT_TRUE(other.ok());
    State().OSKind = "NT";
    State().WindowsFolder = dir / "Windows\\";
    dir.Write("Windows\\RVTMP1.TMP", "taken");  // the first free name is RVTMP2.TMP
    dir.Write("new.exe", "new contents");
    dir.Write("App\\tool.exe", "old contents");
    dir.Write("App\\gone.dll", "to be deleted");
    ASSERT_TRUE(WriteFileBytes(other.path() + "far.exe", "old far contents"));
    struct Cleanup {
        std::string a, b;
        ~Cleanup() {
            ForgetPendingMentioning(a);
            ForgetPendingMentioning(b);
        }
    } cleanup{dir.path(), other.path()};

    {
        FileLocker nearLock(dir / "App\\tool.exe");
        FileLocker farLock(other.path() + "far.exe");
        ASSERT_TRUE(nearLock.ok());
        ASSERT_TRUE(farLock.ok());
        EXPECT_EQ(32u, CopyFileReset(dir / "new.exe", dir / "App\\tool.exe"));  // in use

        EXPECT_TRUE(ReplaceOnRestart(dir / "new.exe", dir / "App\\tool.exe"));
        EXPECT_EQ("new contents", dir.Read("Windows\\RVTMP2.TMP"));
        // Another drive than the Windows folder: the copy waits beside it.
        EXPECT_TRUE(ReplaceOnRestart(dir / "new.exe", other.path() + "far.exe"));
        EXPECT_EQ("new contents", ReadFileBytes(other.path() + "RVTMP1.TMP"));
        EXPECT_FALSE(dir.Exists("Windows\\RVTMP3.TMP"));
        EXPECT_TRUE(DeleteOnRestart(dir / "App\\gone.dll"));

        const auto pending = PendingRenames();
        const int nearPair = PendingPairFor(pending, dir / "Windows\\RVTMP2.TMP");
        ASSERT_GE(nearPair, 0);
        EXPECT_EQ(Lower("!\\??\\" + dir / "App\\tool.exe"), Lower(pending[nearPair + 1]));
        const int farPair = PendingPairFor(pending, other.path() + "RVTMP1.TMP");
        ASSERT_GE(farPair, 0);
        EXPECT_EQ(Lower("!\\??\\" + other.path() + "far.exe"), Lower(pending[farPair + 1]));
        const int gone = PendingPairFor(pending, dir / "App\\gone.dll");
        ASSERT_GE(gone, 0);
        EXPECT_EQ("", pending[gone + 1]);

        ASSERT_TRUE(nearLock.Release());
        ASSERT_TRUE(farLock.Release());
    }
    ASSERT_TRUE(RestartPrefix());
    EXPECT_EQ("new contents", dir.Read("App\\tool.exe"));
    EXPECT_EQ("new contents", ReadFileBytes(other.path() + "far.exe"));
    EXPECT_FALSE(dir.Exists("App\\gone.dll"));
    EXPECT_FALSE(dir.Exists("Windows\\RVTMP2.TMP"));
    EXPECT_FALSE(FileExistsAt(other.path() + "RVTMP1.TMP"));
    EXPECT_EQ(-1, PendingPairFor(PendingRenames(), dir / "Windows\\RVTMP2.TMP"));
}

TEST(RestartOnNt, AFailedSchedulingIsShownAndReportedAsFalse) {
    StateGuard guard;
    ScratchFolder dir;
    State().OSKind = "NT";
    State().WindowsFolder = dir / "Windows\\";
    dir.Write("Windows\\keep.txt", "x");
    dir.Write("new.exe", "new contents");
    {
        ScriptedMsgBox boxes;
        boxes.Expect("内部エラー", "MoveFileEx関数が失敗しました。", 48, IDOK);
        boxes.Expect("内部エラー", "MoveFileEx関数が失敗しました。", 48, IDOK);
        EXPECT_FALSE(ReplaceOnRestart(dir / "new.exe", " "));
        EXPECT_FALSE(DeleteOnRestart(""));
    }
    EXPECT_FALSE(dir.Exists("Windows\\RVTMP1.TMP"));  // no copy left behind
    ForgetPendingMentioning(dir.path());
}

TEST(RestartOnNt, ACopyThatFailsIsNotScheduled) {
    StateGuard guard;
    ScratchFolder dir;
    State().OSKind = "NT";
    State().WindowsFolder = dir / "Windows\\";
    dir.Write("Windows\\keep.txt", "x");
    dir.Write("App\\tool.exe", "old");
    EXPECT_FALSE(ReplaceOnRestart(dir / "missing.exe", dir / "App\\tool.exe"));
    EXPECT_FALSE(dir.Exists("Windows\\RVTMP1.TMP"));
    EXPECT_EQ(-1, PendingPairFor(PendingRenames(), dir / "Windows\\RVTMP1.TMP"));
    ForgetPendingMentioning(dir.path());
}

// ---------------------------------------------- restart operations, 95/98/Me

namespace {

// State for the Windows 95/98/Me way, with a scratch Windows folder.
struct NotNtFixture {
    StateGuard guard;
    ScratchFolder dir;
    NotNtFixture() {
        State().OSKind = "notNT";
        State().WindowsFolder = dir / "Windows\\";
        dir.Write("Windows\\keep.txt", "x");
    }
    std::string WinInit() const { return dir.Read("Windows\\WININIT.INI"); }
};

}  // namespace

TEST(RestartOnNotNt, ReplacementsGoToRenameWithShortNames) {
    NotNtFixture f;
    f.dir.Write("Windows\\WININIT.INI", "[Other]\r\nkeep=this\r\n");
    f.dir.Write("Source Files\\New Tool.exe", "new contents");
    f.dir.Write("Program Folder\\Long Tool Name.exe", "old");
    f.dir.Write("Program Folder\\Second Long Name.dll", "old");
    const std::string ini = f.dir / "Windows\\WININIT.INI";
    const std::string first = f.dir / "Program Folder\\Long Tool Name.exe";
    const std::string second = f.dir / "Program Folder\\Second Long Name.dll";

    EXPECT_TRUE(ReplaceOnRestart(f.dir / "Source Files\\New Tool.exe", first));
    EXPECT_TRUE(ReplaceOnRestart(f.dir / "Source Files\\New Tool.exe", second));

    char value[MAX_PATH] = {};
    GetPrivateProfileStringA("Rename", ShortPath(first).c_str(), "", value, sizeof value, ini.c_str());
    const std::string firstTemp = value;
    GetPrivateProfileStringA("Rename", ShortPath(second).c_str(), "", value, sizeof value, ini.c_str());
    const std::string secondTemp = value;
    EXPECT_TRUE(IsShortForm(ShortPath(first))) << ToUtf8(ShortPath(first));
    EXPECT_TRUE(IsShortForm(firstTemp)) << ToUtf8(firstTemp);
    EXPECT_EQ(Lower(f.dir / "Windows\\RVTMP1.TMP"), Lower(LongPath(firstTemp)));
    EXPECT_EQ(Lower(f.dir / "Windows\\RVTMP2.TMP"), Lower(LongPath(secondTemp)));
    EXPECT_EQ("new contents", f.dir.Read("Windows\\RVTMP2.TMP"));
    GetPrivateProfileStringA("Other", "keep", "", value, sizeof value, ini.c_str());
    EXPECT_STREQ("this", value);
    EXPECT_EQ(std::string::npos, f.WinInit().find("Long Tool Name"));  // only short names
}

TEST(RestartOnNotNt, AReplacementWithoutAShortNameIsNotScheduled) {
    NotNtFixture f;
    f.dir.Write("new.exe", "new");
    EXPECT_FALSE(ReplaceOnRestart(f.dir / "new.exe", f.dir / "App\\not there.exe"));
    EXPECT_FALSE(f.dir.Exists("Windows\\RVTMP1.TMP"));
    EXPECT_FALSE(f.dir.Exists("Windows\\WININIT.INI"));
}

TEST(RestartOnNotNt, DeletionsCreateTheFileAndFollowEachOther) {
    NotNtFixture f;
    f.dir.Write("App\\One Library.dll", "1");
    f.dir.Write("App\\two.dll", "2");
    f.dir.Write("App\\Data Folder\\x.txt", "x");
    EXPECT_TRUE(DeleteOnRestart(f.dir / "App\\One Library.dll"));
    const std::string one = ShortPath(f.dir / "App\\One Library.dll");
    EXPECT_TRUE(IsShortForm(one)) << ToUtf8(one);
    EXPECT_EQ(ToUtf8("[Rename]\r\nNul=" + one + "\r\n"), ToUtf8(f.WinInit()));

    EXPECT_TRUE(DeleteOnRestart(f.dir / "App\\two.dll"));
    EXPECT_TRUE(DeleteOnRestart(f.dir / "App\\Data Folder"));
    EXPECT_EQ(ToUtf8("[Rename]\r\nNul=" + one + "\r\nNul=" + ShortPath(f.dir / "App\\two.dll") + "\r\nDirNul=" +
                     ShortPath(f.dir / "App\\Data Folder") + "\r\n"),
              ToUtf8(f.WinInit()));
}

TEST(RestartOnNotNt, TheNewLineEndsTheRenameSectionAndNothingElseChanges) {
    NotNtFixture f;
    f.dir.Write("App\\gone.dll", "1");
    const std::string line = "Nul=" + ShortPath(f.dir / "App\\gone.dll") + "\r\n";

    // The section ends in an empty line: the new line goes just before it.
    const std::string before = "; comment\r\n[Other]\r\nx=1\r\n\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\nC:\\A.EXE=C:\\B.TMP\r\n"
                               "\r\n[Last]\r\ny=2\r\n";
    f.dir.Write("Windows\\WININIT.INI", before);
    EXPECT_TRUE(DeleteOnRestart(f.dir / "App\\gone.dll"));
    EXPECT_EQ(ToUtf8("; comment\r\n[Other]\r\nx=1\r\n\r\n[rename]\r\nNUL=C:\\OLD.TXT\r\nC:\\A.EXE=C:\\B.TMP\r\n" + line +
                     "\r\n[Last]\r\ny=2\r\n"),
              ToUtf8(f.WinInit()));

    // The next section follows at once: the line still stays in [Rename].
    f.dir.Write("Windows\\WININIT.INI", "[Rename]\r\nNUL=C:\\OLD.TXT\r\n[Last]\r\ny=2");
    EXPECT_TRUE(DeleteOnRestart(f.dir / "App\\gone.dll"));
    EXPECT_EQ(ToUtf8("[Rename]\r\nNUL=C:\\OLD.TXT\r\n" + line + "[Last]\r\ny=2\r\n"), ToUtf8(f.WinInit()));

    // No [Rename] at all: one is added at the end, where the line goes.
    f.dir.Write("Windows\\WININIT.INI", "[Other]\nx=1\n");
    EXPECT_TRUE(DeleteOnRestart(f.dir / "App\\gone.dll"));
    EXPECT_EQ(ToUtf8("[Other]\r\nx=1\r\n[Rename]\r\n" + line), ToUtf8(f.WinInit()));
}

TEST(RestartOnNotNt, AFileThatCannotBeReadIsReportedAndKeptIntact) {
    NotNtFixture f;
    f.dir.Write("App\\gone.dll", "1");
    const std::string before = "[Rename]\r\nNUL=C:\\OLD.TXT\r\n";
    f.dir.Write("Windows\\WININIT.INI", before);
    {
        FileLocker lock(f.dir / "Windows\\WININIT.INI");
        ASSERT_TRUE(lock.ok());
        EXPECT_FALSE(DeleteOnRestart(f.dir / "App\\gone.dll"));
    }
    EXPECT_EQ(before, f.WinInit());
    // Only WININIT.INI and what was there before are left in the folder.
    WIN32_FIND_DATAA found;
    FindHandle find(FindFirstFileA((f.dir / "Windows\\*").c_str(), &found));
    ASSERT_TRUE(find);
    int files = 0;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
    } while (FindNextFileA(find.get(), &found));
    EXPECT_EQ(2, files);

    // A path that does not exist has no short name: nothing is written.
    EXPECT_FALSE(DeleteOnRestart(f.dir / "App\\missing.dll"));
    EXPECT_EQ(before, f.WinInit());
}
