#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>

#include "TestSupport.h"
#include "platform/Handles.h"
#include "platform/OSVersion.h"

namespace {

constexpr long kNT = 2, k9x = 1;

TEST(OSNameTable, NTFamilyByMajorAndMinor) {
    EXPECT_EQ("Windows NT4.0", OSNameFor(kNT, 4, 0, 1381));
    EXPECT_EQ("Windows 2000", OSNameFor(kNT, 5, 0, 2195));
    EXPECT_EQ("Windows XP", OSNameFor(kNT, 5, 1, 2600));
    EXPECT_EQ("Windows 2003", OSNameFor(kNT, 5, 2, 3790));
    EXPECT_EQ("Windows NT Technology", OSNameFor(kNT, 5, 3, 0));
    EXPECT_EQ("Windows NT Technology", OSNameFor(kNT, 5, -1, 0));
    EXPECT_EQ("Windows Vista", OSNameFor(kNT, 6, 0, 6000));
    EXPECT_EQ("Windows Vista", OSNameFor(kNT, 6, 1, 7601));  // anything 6.x
    EXPECT_EQ("Unknown Windows", OSNameFor(kNT, 10, 0, 19041));
    EXPECT_EQ("Unknown Windows", OSNameFor(kNT, 3, 51, 1057));
    EXPECT_EQ("Unknown Windows", OSNameFor(kNT, -1, -1, -1));
}

TEST(OSNameTable, WindowsMeByMinorOrBuild) {
    EXPECT_EQ("Windows Me", OSNameFor(k9x, 4, 90, 0));
    EXPECT_EQ("Windows Me", OSNameFor(k9x, 4, 90, 67766446));       // minor decides before the build
    EXPECT_EQ("Windows Me", OSNameFor(k9x, 4, 10, 73010104));       // 4.90.3000 in the build field
    EXPECT_EQ("Windows 98<SE>", OSNameFor(k9x, 4, 10, 73010103));   // one below it
    EXPECT_EQ("Windows Me", OSNameFor(k9x, 4, 0, 3000));            // bare build 3000
    EXPECT_EQ("Windows Me", OSNameFor(k9x, 4, -1, 3000));           // even with a negative minor
    EXPECT_EQ("Windows 95", OSNameFor(k9x, 4, 0, 2999));
    EXPECT_EQ("Windows 95", OSNameFor(k9x, 4, 0, 3001));
    EXPECT_EQ("Windows 98", OSNameFor(k9x, 4, 89, 0));              // 89 is still the 98 range
}

TEST(OSNameTable, Windows95ByMinorBelowTen) {
    EXPECT_EQ("Windows 95", OSNameFor(k9x, 4, 0, 67109781));  // 4.0.950 in the build field
    EXPECT_EQ("Windows 95", OSNameFor(k9x, 4, 9, 0));
    EXPECT_EQ("Windows 98", OSNameFor(k9x, 4, 10, 0));
    EXPECT_EQ("Unknown Windows", OSNameFor(k9x, 4, -1, 950));
    EXPECT_EQ("Unknown Windows", OSNameFor(k9x, -1, -1, -1));
}

TEST(OSNameTable, Windows98AndSecondEditionBuildThresholds) {
    // Bare build numbers.
    EXPECT_EQ("Windows 98", OSNameFor(k9x, 4, 10, 1998));
    EXPECT_EQ("Windows 98<SE>", OSNameFor(k9x, 4, 10, 1999));
    EXPECT_EQ("Windows 98<SE>", OSNameFor(k9x, 4, 10, 2222));
    EXPECT_EQ("Unknown Windows", OSNameFor(k9x, 4, 10, 2223));
    EXPECT_EQ("Windows 98", OSNameFor(k9x, 4, 10, -5));
    // Version in the high word of the build field.
    EXPECT_EQ("Unknown Windows", OSNameFor(k9x, 4, 10, 67766221));
    EXPECT_EQ("Windows 98", OSNameFor(k9x, 4, 10, 67766222));  // 0x040A07CE: 4.10.1998
    EXPECT_EQ("Windows 98", OSNameFor(k9x, 4, 10, 67766445));
    EXPECT_EQ("Windows 98<SE>", OSNameFor(k9x, 4, 10, 67766446));  // 0x040A08AE: 4.10.2222
}

TEST(OSNameTable, OtherPlatformsAreUnknown) {
    EXPECT_EQ("Unknown Windows", OSNameFor(0, 3, 10, 0));  // Win32s
    EXPECT_EQ("Unknown Windows", OSNameFor(3, 5, 1, 0));
    EXPECT_EQ("Unknown Windows", OSNameFor(-1, 5, 1, 2600));  // the call failed
}

// Sets HKCU\Software\Wine\AppDefaults\<exe>\Version for the lifetime of the
// object, so that Wine reports that Windows version to programs started then.
class WineVersionOverride {
public:
    WineVersionOverride(const std::string& exeName, const std::string& version)
        : subkey_("Software\\Wine\\AppDefaults\\" + exeName) {
        RegKey key;
        DWORD disposition = 0;
        ok_ = RegCreateKeyExA(HKEY_CURRENT_USER, subkey_.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                              &disposition) == ERROR_SUCCESS &&
              RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                             static_cast<DWORD>(version.size() + 1)) == ERROR_SUCCESS;
        created_ = disposition == REG_CREATED_NEW_KEY;
    }
    ~WineVersionOverride() {
        RegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, subkey_.c_str(), 0, KEY_WRITE, key.put()) == ERROR_SUCCESS)
            RegDeleteValueA(key.get(), "Version");
        key.reset();
        if (created_) RegDeleteKeyA(HKEY_CURRENT_USER, subkey_.c_str());
    }
    WineVersionOverride(const WineVersionOverride&) = delete;
    WineVersionOverride& operator=(const WineVersionOverride&) = delete;
    bool ok() const { return ok_; }

private:
    std::string subkey_;
    bool ok_ = false;
    bool created_ = false;
};

std::string BinFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\') + 1);
}

// Runs a console program beside the test and returns its standard output;
// a program still running after 30 seconds is ended and fails the test.
std::string RunAndCapture(const std::string& exe) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE readRaw = nullptr, writeRaw = nullptr;
    if (!CreatePipe(&readRaw, &writeRaw, &sa, 0)) {
        ADD_FAILURE() << "CreatePipe failed";
        return {};
    }
    KernelObject readEnd(readRaw), writeEnd(writeRaw);
    SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd.get();
    si.hStdError = writeEnd.get();
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi{};
    std::string command = "\"" + exe + "\"";
    if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << exe << ", error " << GetLastError();
        return {};
    }
    KernelObject process(pi.hProcess), thread(pi.hThread);
    writeEnd.reset();  // so the read ends when the child exits
    if (WaitForSingleObject(process.get(), 30000) != WAIT_OBJECT_0) {
        TerminateProcess(process.get(), 1);
        ADD_FAILURE() << exe << " did not finish within 30 s";
        return {};
    }
    std::string out;
    char buf[512];
    DWORD n = 0;
    while (ReadFile(readEnd.get(), buf, sizeof buf, &n, nullptr) && n > 0) out.append(buf, n);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

std::string Field(const std::string& line, int index) {
    size_t start = 0;
    for (int i = 0; i < index; ++i) {
        start = line.find('|', start);
        if (start == std::string::npos) return {};
        ++start;
    }
    return line.substr(start, line.find('|', start) - start);
}

TEST(OSIdentification, TheTestPrefixIsNT) {
    EXPECT_EQ("NT", GetOSKind());
    EXPECT_NE("Unknown Windows", GetOSName());
}

TEST(OSIdentification, Windows98FamilyUnderWineOverride) {
    WineVersionOverride override("osinfo.exe", "win98");
    ASSERT_TRUE(override.ok());
    const std::string line = RunAndCapture(BinFolder() + "osinfo.exe");
    std::printf("osinfo under win98: %s\n", line.c_str());
    EXPECT_EQ("notNT", Field(line, 0)) << line;
    EXPECT_EQ(0u, Field(line, 1).rfind("Windows 98", 0)) << line;
    EXPECT_EQ("1", Field(line, 2)) << line;
    EXPECT_EQ("4", Field(line, 3)) << line;
    EXPECT_EQ("10", Field(line, 4)) << line;
}

TEST(OSIdentification, WindowsXPUnderWineOverride) {
    WineVersionOverride override("osinfo.exe", "winxp");
    ASSERT_TRUE(override.ok());
    const std::string line = RunAndCapture(BinFolder() + "osinfo.exe");
    std::printf("osinfo under winxp: %s\n", line.c_str());
    EXPECT_EQ("NT", Field(line, 0)) << line;
    EXPECT_EQ("Windows XP", Field(line, 1)) << line;
    EXPECT_EQ("2", Field(line, 2)) << line;
    EXPECT_EQ("5", Field(line, 3)) << line;
    EXPECT_EQ("1", Field(line, 4)) << line;
}

}  // namespace
