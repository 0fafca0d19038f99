// The program on each Windows version Wine can report to it (the per-program
// AppDefaults override, set for SETUP.EXE and for its copy UNRAVEL.EXE): the
// system's name on the title page, then the sample installed without a
// window over a file in use, which each family replaces at the next start
// its own way (WININIT.INI on 95/98/Me, the pending renames on NT), and
// uninstalled the same way. The program is the strict test build
// SETUP_STRICT.EXE, which refuses what each old Windows refuses
// (OldWindows.tsv): any refusal fails the case, under the personality the
// environment names too (RV_STRICT_PERSONALITY). The test command runs
// RV_VERSIONS' default slice; scripts/versions.sh runs all nine
// (RV_VERSIONS=all).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <vector>

#include "Driver.h"
#include "SampleKit.h"
#include "TestSupport.h"
#include "platform/Handles.h"
#include "ui/resource.h"

using namespace e2e;

namespace {

struct Version {
    const char* wine;  // the override's value
    const char* name;  // what the title page says
    bool nt;
};

const Version kVersions[] = {
    {"win95", "Windows 95", false},      {"win98", "Windows 98<SE>", false}, {"winme", "Windows Me", false},
    {"nt40", "Windows NT4.0", true},     {"win2k", "Windows 2000", true},    {"winxp", "Windows XP", true},
    // 6.0, 6.1, and 6.2 for 10: the manifest names neither 8.1 nor 10.
    {"vista", "Windows Vista", true},    {"win7", "Windows Vista", true},    {"win10", "Windows Vista", true},
};

// One of each family, the oldest NT, and today's Windows.
const char kDefaultSlice[] = "win98,nt40,winxp,win10";

std::vector<Version> Selected() {
    const char* chosen = std::getenv("RV_VERSIONS");
    const std::string list = "," + std::string(chosen && *chosen ? chosen : kDefaultSlice) + ",";
    std::vector<Version> versions;
    for (const Version& v : kVersions)
        if (list == ",all," || list.find("," + std::string(v.wine) + ",") != std::string::npos) versions.push_back(v);
    return versions;
}

const std::string kKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RavelinSample";
const char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// Runs a command line to its end; its exit code, or -1.
long RunToEnd(const std::string& commandLine) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    KernelObject process(pi.hProcess), thread(pi.hThread);
    if (WaitForSingleObject(process.get(), 90000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<long>(code);
}

std::string PendingRenames() {
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return {};
    char data[65536] = {};
    DWORD size = sizeof data - 2;
    if (RegQueryValueExA(key.get(), "PendingFileRenameOperations", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return {};
    std::string text(data, size);
    for (char& c : text)
        if (c == '\0') c = '|';
    return text;
}

// The pending renames put back as they were when the test ends, so that no
// later restart of the prefix replaces a file of a folder long gone.
class RestoredPendingRenames {
public:
    RestoredPendingRenames() {
        RegKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return;
        DWORD size = 0;
        existed_ = RegQueryValueExA(key.get(), kValue, nullptr, &type_, nullptr, &size) == ERROR_SUCCESS;
        saved_.resize(size);
        if (existed_ && size)
            RegQueryValueExA(key.get(), kValue, nullptr, &type_, reinterpret_cast<BYTE*>(saved_.data()), &size);
    }
    ~RestoredPendingRenames() {
        RegKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
        if (existed_)
            RegSetValueExA(key.get(), kValue, 0, type_, reinterpret_cast<const BYTE*>(saved_.data()),
                           static_cast<DWORD>(saved_.size()));
        else
            RegDeleteValueA(key.get(), kValue);
    }
    RestoredPendingRenames(const RestoredPendingRenames&) = delete;
    RestoredPendingRenames& operator=(const RestoredPendingRenames&) = delete;

private:
    static constexpr const char* kValue = "PendingFileRenameOperations";
    bool existed_ = false;
    DWORD type_ = REG_MULTI_SZ;
    std::string saved_;
};

void SetOld(const std::string& path) {
    SYSTEMTIME st = {2001, 6, 0, 1, 12, 0, 0, 0};
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    FileHandle file(CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    SetFileTime(file.get(), nullptr, nullptr, &ft);
}

class VersionsE2E : public ::testing::TestWithParam<Version> {};

TEST_P(VersionsE2E, TitleNamesTheSystemAndEachFamilyReplacesAFileInUseItsOwnWay) {
    const Version& v = GetParam();
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the version override is Wine's";
    // 95/98/Me know one code page, the system's: the sample's Japanese
    // names need a Japanese one.
    if (!v.nt && GetACP() != 932) GTEST_SKIP() << "95/98/Me run on the Japanese prefix only";
    WineVersionOverride setupVersion("SETUP.EXE", v.wine), unravelVersion("UNRAVEL.EXE", v.wine);
    Distribution dist;
    CopySample(dist);
    // Refused as that Windows refuses, and every refusal a failure here.
    StrictProgram strict(dist);
    // An NT system without code page 932 (RV_STRICT_PERSONALITY=no932): the
    // program says so and ends with code 4 before anything is installed,
    // on every NT version alike; 95/98/Me have their one code page and go on.
    const char* personality = std::getenv("RV_STRICT_PERSONALITY");
    if (v.nt && personality && std::string(personality) == "no932") {
        ScratchFolder target;
        EXPECT_EQ(4, RunToEnd(Quoted(dist.exe()) + " /S " + Quoted("/D=" + target.path() + "Sample\\")));
        EXPECT_FALSE(FileExistsAt(target.path() + "Sample\\UNSETUP.INI"));
        return;
    }
    {
        SetupProcess setup(dist.exe(), "");
        ASSERT_TRUE(setup.WaitForWizard());
        EXPECT_EQ(std::string("Ravelin Setup(on ") + v.name + ")", setup.Text(IDC_lblTitleA2));
    }

    ScratchFolder target;
    const std::string app = target.path() + "Sample\\";
    SampleLeftovers leftovers(app);
    RestoredFile wininit(WindowsFolder() + "WININIT.INI");
    RestoredPendingRenames pending;
    DeleteFileA(wininit.path().c_str());
    // An older README.TXT in use by another program when the install comes.
    target.Write("Sample\\README.TXT", "old readme");
    SetOld(app + "README.TXT");
    FileHandle lock(CreateFileA((app + "README.TXT").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(static_cast<bool>(lock));

    EXPECT_EQ(3010, RunToEnd(Quoted(dist.exe()) + " /S " + Quoted("/D=" + app))) << "the replacement waits for a restart";
    ASSERT_TRUE(FileExistsAt(app + "UNSETUP.INI"));
    if (v.nt) {
        EXPECT_NE(std::string::npos, PendingRenames().find(app + "README.TXT")) << PendingRenames();
        EXPECT_FALSE(FileExistsAt(wininit.path()));
    } else {
        const std::string text = ReadFileBytes(wininit.path());
        EXPECT_EQ(0u, text.find("[Rename]")) << text;
        // The 95 family's restart reads short names only.
        char shortPath[MAX_PATH] = {};
        GetShortPathNameA((app + "README.TXT").c_str(), shortPath, MAX_PATH);
        EXPECT_NE(std::string::npos, text.find(std::string(shortPath) + "=")) << text;
        EXPECT_EQ(std::string::npos, PendingRenames().find(app + "README.TXT")) << PendingRenames();
    }
    lock.reset();
    EXPECT_EQ("old readme", ReadFileBytes(app + "README.TXT")) << "replaced only at the next start";

    // Removed the way a deployment tool does it, by UNRAVEL.EXE.
    EXPECT_EQ(0, RunToEnd(WindowsFolder() + "UNRAVEL.EXE " + Quoted(app + "UNSETUP.INI") + " /S"));
    EXPECT_FALSE(FileExistsAt(app + "SAMPLE.EXE"));
    EXPECT_FALSE(FileExistsAt(app + "README.TXT"));
    EXPECT_FALSE(FileExistsAt(app + "UNSETUP.INI"));
    RegKey entry;
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey.c_str(), 0, KEY_READ, entry.put()));
    // The copy waiting to replace README.TXT at the next start.
    for (int n = 1; n < 100; ++n) DeleteFileA((WindowsFolder() + "RVTMP" + std::to_string(n) + ".TMP").c_str());
}

INSTANTIATE_TEST_SUITE_P(Selected, VersionsE2E, ::testing::ValuesIn(Selected()),
                         [](const ::testing::TestParamInfo<Version>& info) { return std::string(info.param.wine); });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(VersionsE2E);

}  // namespace
