// The package tool as its user meets it: its exit codes and its output
// redirected to a file; and a folder tree taken by its two commands (init,
// then build with compression and disks) to a distribution, installed
// unattended from one folder holding every disk's files: the tree comes
// back byte for byte, and the uninstall leaves nothing of it.
#include <windows.h>

#include <gtest/gtest.h>

#include <shlobj.h>

#include <cstdlib>

#include "Driver.h"
#include "SampleKit.h"
#include "TestSupport.h"
#include "platform/Handles.h"

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

// Runs the tool with its standard output redirected to a file, as a build
// log takes it; the exit code, and the output in out.
DWORD Pack(const std::string& arguments, std::string& out, const std::string& folder) {
    const std::string log = folder + "pack.out";
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    FileHandle file(CreateFileA(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = file.get();
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + BinFolder() + "RVPACK.EXE\" " + arguments;
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &si, &pi)) {
        ADD_FAILURE() << "cannot start RVPACK.EXE";
        return 0xFFFFFFFF;
    }
    KernelObject process(pi.hProcess), thread(pi.hThread);
    DWORD code = 0xFFFFFFFF;
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.get(), 60000));
    GetExitCodeProcess(process.get(), &code);
    file.reset();
    out = ReadFileBytes(log);
    return code;
}

// A command of the Linux machine under Wine, in folder (a Linux path below
// /tmp, which Windows sees on drive Z:); its exit status. Wine does not
// wait for a Linux program it starts: the shell leaves the status in a file.
int RunUnix(const std::string& command, const std::string& folder) {
    std::string status = "Z:" + folder + "/rc";
    for (char& c : status) c = c == '/' ? '\\' : c;
    DeleteFileA(status.c_str());
    const std::string script = "cd " + folder + " && " + command + " >out.txt 2>&1; echo $? >rc.tmp; mv rc.tmp rc";
    SetupProcess process("Z:\\bin\\sh", "-c " + Quoted(script));
    for (int waited = 0; waited < 120000 && !FileExistsAt(status); waited += 100) Sleep(100);
    const std::string rc = ReadFileBytes(status);
    return rc.empty() ? -1 : std::atoi(rc.c_str());
}

}  // namespace

TEST(PackE2E, ExitCodesAndFindingsInCp932WhenRedirected) {
    ScratchFolder work;
    std::string out;
    work.Write("warn\\SETUP.INI", "[Title]\r\nSetpu=x\r\n[DefaultFolder]\r\nFolder=(Prg)\\RvPackCli\r\n");
    EXPECT_EQ(1u, Pack("check warn", out, work.path()));
    EXPECT_NE(std::string::npos, out.find("warn\\SETUP.INI(2): warning RV105: [Title] の Setpu は読まれないキーです。"))
        << ToUtf8(out);
    work.Write("bad\\SETUP.INI", "[CopyFile]\r\nFile1=(App)\\MISSING.TXT\r\n[DefaultFolder]\r\nFolder=(Prg)\\RvPackCli\r\n");
    EXPECT_EQ(2u, Pack("check bad\\SETUP.INI", out, work.path()));
    EXPECT_NE(std::string::npos, out.find("bad\\SETUP.INI(2): error RV301: ")) << ToUtf8(out);
    EXPECT_EQ(2u, Pack("build bad out", out, work.path())) << ToUtf8(out);
    EXPECT_FALSE(FolderExistsAt(work / "out"));
    EXPECT_EQ(4u, Pack("check none\\SETUP.INI", out, work.path()));
    EXPECT_EQ(87u, Pack("build warn out /ZIP", out, work.path()));
    EXPECT_EQ(87u, Pack("build warn out /DISK=1.44M", out, work.path()));
    EXPECT_EQ(2u, Pack("init missing", out, work.path())) << "a folder that is not there";
    EXPECT_EQ(2u, Pack("init warn", out, work.path())) << "an existing script is never overwritten";
    EXPECT_EQ("[Title]\r\nSetpu=x\r\n[DefaultFolder]\r\nFolder=(Prg)\\RvPackCli\r\n", ReadFileBytes(work / "warn\\SETUP.INI"));
}

TEST(PackE2E, NothingComesFromOrGoesToOutsideTheTree) {
    ScratchFolder work;
    std::string out;
    work.Write("a\\sib.txt", "beside the project");
    work.Write("a\\proj\\SETUP.INI", "[EULA]\r\nFile=..\\sib.txt\r\n[DefaultFolder]\r\nFolder=(Prg)\\RvPackOut\r\n");
    EXPECT_EQ(2u, Pack("build a\\proj out", out, work.path())) << ToUtf8(out);
    EXPECT_NE(std::string::npos, out.find("SETUP.INI(2): error RV305: ")) << ToUtf8(out);
    EXPECT_FALSE(FileExistsAt(work / "sib.txt")) << "written beside OUT";

    // A linked folder: init leaves it out, and an entry through it stops the build.
    ScratchFolder elsewhere;
    elsewhere.Write("SECRET.TXT", "not the tree's");
    work.Write("tree\\TOOL.EXE", "MZ");
    const PlantedLink linked(work / "tree\\linked", elsewhere.path());
    ASSERT_TRUE(linked.ok());
    EXPECT_EQ(0u, Pack("init tree", out, work.path()));
    EXPECT_NE(std::string::npos, out.find("「linked」はリンクのため")) << ToUtf8(out);
    EXPECT_EQ(std::string::npos, ReadFileBytes(work / "tree\\SETUP.INI").find("SECRET"));
    work.Write("tree\\SETUP.INI", "[CopyFile]\r\nFile1=(App)\\SECRET.TXT|(From)\\linked\\SECRET.TXT\r\n"
                                 "[DefaultFolder]\r\nFolder=(Prg)\\RvPackOut\r\n");
    EXPECT_EQ(2u, Pack("build tree dist", out, work.path())) << ToUtf8(out);
    EXPECT_NE(std::string::npos, out.find("SETUP.INI(2): error RV306: ")) << ToUtf8(out);
    EXPECT_FALSE(FolderExistsAt(work / "dist"));
}

TEST(PackE2E, TreeToCompressedDisksInstalledFromOneFolderAndRemoved) {
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

// The one-file: a tree to one program, installed unattended from an
// otherwise empty folder, the tree back byte for byte, the uninstaller the
// plain program, and the uninstall as clean as from a medium. A copy cut
// short ends with its own code and nothing written.
TEST(PackE2E, TreeToOneFileInstalledFromItselfAndRemoved) {
    ScratchFolder work;
    const std::string name = std::string(kName) + "One";
    const std::string tree = work / (name + "\\");
    const std::vector<std::pair<std::string, std::string>> files = {
        {"TOOL.EXE", "MZ" + Noise(5000)},          {"LICENSE.TXT", "使用許諾\r\n"},
        {"EMPTY.DAT", ""},                        {"NOISE.BIN", Noise(300 * 1024)},
        {"データ\\表示設定.INI", Text(3000)},       {"データ\\深い\\LOG.TXT", Text(40 * 1024)},
    };
    for (const auto& [file, bytes] : files) work.Write(name + "\\" + file, bytes);
    const std::string pack = BinFolder() + "RVPACK.EXE";
    ASSERT_EQ(0u, RunToEnd(pack, "init " + Quoted(tree)));
    EXPECT_EQ(87u, RunToEnd(pack, "build " + Quoted(tree) + " " + Quoted(work / "x") + " /ONEFILE /DISK=1400K"));
    EXPECT_EQ(87u, RunToEnd(pack, "build " + Quoted(tree) + " " + Quoted(work / "x") + " /ONEFILE /LZ"));
    ASSERT_EQ(0u, RunToEnd(pack, "build " + Quoted(tree) + " " + Quoted(work / "dist") + " /ONEFILE=ONE.EXE"));
    CreateDirectoryA((work / "download").c_str(), nullptr);
    const std::string one = work / "download\\ONE.EXE";
    ASSERT_TRUE(CopyFileA((work / "dist\\ONE.EXE").c_str(), one.c_str(), FALSE));

    const std::string cut = work / "download\\CUT.EXE";
    const std::string whole = ReadFileBytes(one);
    ASSERT_TRUE(WriteFileBytes(cut, whole.substr(0, whole.size() - 4096)));
    const std::string app = work / "インストール先\\";
    EXPECT_EQ(1620u, RunToEnd(cut, "/S " + Quoted("/D=" + app)));
    EXPECT_FALSE(FolderExistsAt(app));

    ASSERT_EQ(0u, RunToEnd(one, "/S " + Quoted("/D=" + app)));
    for (const auto& [file, bytes] : files)
        EXPECT_TRUE(ReadFileBytes(app + file) == bytes) << ToUtf8(file) << " did not come back as it was";
    EXPECT_TRUE(ReadFileBytes(WindowsFolder() + "UNRAVEL.EXE") == ReadFileBytes(BinFolder() + "SETUP.EXE"))
        << "the uninstaller is the plain program, never the one-file";
    EXPECT_EQ(0u, RunToEnd(WindowsFolder() + "UNRAVEL.EXE", Quoted(app + "UNSETUP.INI") + " /S"));
    EXPECT_FALSE(FolderExistsAt(app));
    const std::string key = std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + name;
    RegKey entry;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, entry.put()));
    EXPECT_FALSE(FolderExistsAt(TempFolder() + "RVTMP1\\MEDIUM")) << "the working folder goes at the end";

    // Signed after the build with the platform's tool (Debian's osslsigncode
    // and a test certificate): the signature covers the whole download, it
    // verifies, and the signed file installs the same.
    const std::string unix = "/tmp/rvsign" + std::to_string(GetCurrentProcessId());
    const std::string here = "Z:" + unix + "\\";
    for (char& c : const_cast<std::string&>(here)) c = c == '/' ? '\\' : c;
    CreateDirectoryA(here.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(one.c_str(), (here + "ONE.EXE").c_str(), FALSE));
    if (!FileExistsAt("Z:\\usr\\bin\\osslsigncode") || !FileExistsAt("Z:\\usr\\bin\\openssl"))
        GTEST_SKIP() << "osslsigncode and openssl are installed by scripts/setup-machine.sh";
    ASSERT_EQ(0, RunUnix("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=RavelinTest -addext "
                         "extendedKeyUsage=codeSigning -keyout key.pem -out cert.pem",
                         unix));
    ASSERT_EQ(0, RunUnix("osslsigncode sign -certs cert.pem -key key.pem -n RavelinTest -in ONE.EXE -out SIGNED.EXE", unix));
    EXPECT_EQ(0, RunUnix("osslsigncode verify -CAfile cert.pem -in SIGNED.EXE", unix)) << ReadFileBytes(here + "out.txt");
    ASSERT_GT(ReadFileBytes(here + "SIGNED.EXE").size(), whole.size()) << "the signature follows the payload";
    DeleteFileA((WindowsFolder() + "UNRAVEL.EXE").c_str());
    ASSERT_EQ(0u, RunToEnd(here + "SIGNED.EXE", "/S " + Quoted("/D=" + app)));
    for (const auto& [file, bytes] : files) EXPECT_TRUE(ReadFileBytes(app + file) == bytes) << ToUtf8(file);
    EXPECT_TRUE(ReadFileBytes(WindowsFolder() + "UNRAVEL.EXE") == ReadFileBytes(BinFolder() + "SETUP.EXE"));
    EXPECT_EQ(0u, RunToEnd(WindowsFolder() + "UNRAVEL.EXE", Quoted(app + "UNSETUP.INI") + " /S"));
    EXPECT_FALSE(FolderExistsAt(app));
    for (const char* file : {"ONE.EXE", "SIGNED.EXE", "key.pem", "cert.pem", "out.txt", "rc"}) DeleteFileA((here + file).c_str());
    RemoveDirectoryA(here.c_str());
}

// The wizard from a one-file: the pages read the licence and readme out of
// the program's own file, the files are extracted after the space check
// (the progress window shows it), and the install is the sample's.
TEST(PackE2E, TheSampleAsOneFileThroughTheWizard) {
    Distribution dist;
    CopySample(dist);
    ScratchFolder work;
    ASSERT_EQ(0u, RunToEnd(BinFolder() + "RVPACK.EXE",
                           "build " + Quoted(dist.path()) + " " + Quoted(work / "out") + " /ONEFILE=SAMPLE1.EXE"));
    const std::string app = work / "Ravelin Sample\\";
    SampleLeftovers leftovers(app);
    DeleteFileA((WindowsFolder() + "UNRAVEL.EXE").c_str());
    {
        SetupProcess setup(work / "out\\SAMPLE1.EXE", "");
        const std::string summary = InstallSample(setup, app);
        EXPECT_NE(std::string::npos, summary.find("ファイルを展開しています．．．完了")) << ToUtf8(summary);
    }
    for (const char* name : {"SAMPLE.EXE", "RVSAMPLE.DLL", "README.TXT"})
        EXPECT_TRUE(ReadFileBytes(app + name) == ReadFileBytes(dist.path() + name)) << name;
    EXPECT_TRUE(ReadFileBytes(WindowsFolder() + "UNRAVEL.EXE") == ReadFileBytes(BinFolder() + "SETUP.EXE"));
    EXPECT_EQ(0u, RunToEnd(WindowsFolder() + "UNRAVEL.EXE", Quoted(app + "UNSETUP.INI") + " /S"));
}
