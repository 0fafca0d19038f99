// A folder tree taken by the package tool's two commands (init, then build
// with compression and disks) to a distribution, installed unattended from
// one folder holding every disk's files: the tree comes back byte for byte,
// and the uninstall leaves nothing of it.
#include <windows.h>

#include <gtest/gtest.h>

#include <shlobj.h>

#include "Driver.h"
#include "SampleKit.h"
#include "TestSupport.h"
#include "app/Handles.h"

using namespace e2e;

namespace {

const char kName[] = "RvPackRound";

DWORD RunToEnd(const std::string& exe, const std::string& arguments) {
    SetupProcess process(exe, arguments);
    EXPECT_TRUE(process.WaitForExit(120000)) << ToUtf8(exe + " " + arguments);
    return process.ExitCode();
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::string Noise(size_t size) {
    std::string bytes(size, '\0');
    unsigned seed = 7;
    for (char& c : bytes) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
    return bytes;
}

std::string Text(size_t size) {
    std::string text;
    while (text.size() < size) text += "設定 " + std::to_string(text.size() % 101) + " = 値\r\n";
    return text;
}

// Copies the files below from into to, as a person copies every disk onto
// one folder.
void CopyTree(const std::string& from, const std::string& to) {
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA((from + "*").c_str(), &data));
    for (bool more = static_cast<bool>(find); more; more = FindNextFileA(find.get(), &data)) {
        const std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + name + "\\", to + name + "\\");
        else
            EXPECT_TRUE(CopyFileA((from + name).c_str(), (to + name).c_str(), FALSE)) << ToUtf8(from + name);
    }
}

}  // namespace

TEST(PackRoundTripE2E, TreeToCompressedDisksInstalledFromOneFolderAndRemoved) {
    ScratchFolder work;
    const std::string tree = work / (std::string(kName) + "\\");
    const std::vector<std::pair<std::string, std::string>> files = {
        {"TOOL.EXE", "MZ" + Noise(5000)},
        {"README.TXT", Text(2000)},
        {"LICENSE.TXT", "使用許諾\r\n"},
        {"EMPTY.DAT", ""},
        {"ONE.DAT", "1"},
        {"TEXT.TXT", Text(200 * 1024)},
        {"NOISE.BIN", Noise(700 * 1024)},
        {"データ\\表示設定.INI", Text(3000)},
        {"データ\\深い\\LOG.TXT", Text(40 * 1024)},
    };
    for (const auto& [name, bytes] : files) work.Write(std::string(kName) + "\\" + name, bytes);

    const std::string pack = BinFolder() + "RVPACK.EXE";
    ASSERT_EQ(0u, RunToEnd(pack, "init " + Quoted(tree)));
    const std::string setup = BinFolder() + "SETUP.EXE";
    const size_t disk = ReadFileBytes(setup).size() + 300 * 1024;
    ASSERT_EQ(0u, RunToEnd(pack, "build " + Quoted(tree) + " " + Quoted(work / "dist") + " /LZ /DISK=" + std::to_string(disk)));
    ASSERT_TRUE(FileExistsAt(work / "dist\\DISK1\\SETUP.EXE"));
    ASSERT_TRUE(FolderExistsAt(work / "dist\\DISK2")) << "the program and 1 MB of files on one disk of 2.3 MB";
    for (int disk = 1; FolderExistsAt(work / ("dist\\DISK" + std::to_string(disk))); ++disk)
        CopyTree(work / ("dist\\DISK" + std::to_string(disk) + "\\"), work / "all\\");
    EXPECT_TRUE(FileExistsAt(work / "all\\TEXT.TX_"));
    const std::string app = work / "インストール先\\";
    ASSERT_EQ(0u, RunToEnd(work / "all\\SETUP.EXE", "/S " + Quoted("/D=" + app)));
    for (const auto& [name, bytes] : files)
        EXPECT_TRUE(ReadFileBytes(app + name) == bytes) << ToUtf8(name) << " did not come back as it was";

    const std::string menu = ShellFolder(CSIDL_PROGRAMS) + kName;
    EXPECT_TRUE(FileExistsAt(menu + "\\TOOL.lnk")) << "the starter script's shortcut";
    const std::string key = std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kName;
    RegKey entry;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, entry.put()));
    entry.reset();
    EXPECT_EQ(0u, RunToEnd(WindowsFolder() + "UNRAVEL.EXE", Quoted(app + "UNSETUP.INI") + " /S"));
    EXPECT_FALSE(FolderExistsAt(app));
    EXPECT_FALSE(FolderExistsAt(menu));
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, entry.put()));
}
