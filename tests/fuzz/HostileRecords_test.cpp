// Hostile uninstall records through the real program: records whose
// entries climb out with "..\", name drive roots, put wildcards where the
// system's and other programs' files lie, name first-level and shared
// registry keys, are run with /S while canary files and keys sit in every
// protected place. No canary may ever be touched, and the program must
// always end by itself with a documented exit code.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <functional>

#include "Driver.h"
#include "FuzzKit.h"
#include "RecordSigner.h"
#include "SampleKit.h"
#include "TestSupport.h"

using namespace e2e;
using namespace fuzz;

namespace {

const DWORD kRunBoundMs = 60000;
const char kOtherProgram[] = "RvCanaryProgram";
const char kOtherKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RvCanaryProgram";
const char kUninstallList[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// An entry of this installer's own form for a record in the other program's
// folder: only an uninstall started with that record may remove it.
const char kOtherRavelinKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RvCanaryRavelin";
const char kSharedDlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

struct CanaryValue {
    HKEY hive;
    std::string key, name, value;
};

std::string ReadValue(HKEY hive, const std::string& key, const std::string& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(hive, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return "(no key)";
    char data[512] = {};
    DWORD size = sizeof data - 1, type = 0;
    const LONG code = RegQueryValueExA(opened, name.empty() ? nullptr : name.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(opened);
    return code == ERROR_SUCCESS ? std::string(data) : "(no value)";
}

void WriteValue(const CanaryValue& canary) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(canary.hive, canary.key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot plant the canary key " << canary.key;
        return;
    }
    RegSetValueExA(key, canary.name.empty() ? nullptr : canary.name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(canary.value.c_str()), static_cast<DWORD>(canary.value.size() + 1));
    RegCloseKey(key);
}

std::string Folder(int csidl) { return ShellFolder(csidl); }

// Canary files and keys in every place an uninstall must never reach,
// planted for the test's life and removed afterwards.
class Canaries {
public:
    explicit Canaries(const std::string& besideInstall) {
        const std::string programs = Folder(CSIDL_PROGRAM_FILES);
        other_ = programs + kOtherProgram + "\\";
        const std::vector<std::string> folders = {"C:\\",
                                                  programs,
                                                  other_,
                                                  other_ + "data\\",
                                                  WindowsFolder(),
                                                  Folder(CSIDL_SYSTEM),
                                                  Folder(CSIDL_PROFILE),
                                                  Folder(CSIDL_DESKTOPDIRECTORY),
                                                  Folder(CSIDL_APPDATA),
                                                  Folder(CSIDL_PROGRAMS),
                                                  Folder(CSIDL_PERSONAL),
                                                  besideInstall};
        for (const std::string& folder : folders) {
            if (folder.size() < 3) continue;
            CreateDirectoryA(folder.c_str(), nullptr);
            for (const char* name : {"RVCANARY.TXT", "RVCANARY.DLL", "RVCANARY.LOG", "RvCanary.lnk"}) {
                const std::string path = folder + name;
                const std::string bytes = "canary " + path;
                if (FileExistsAt(path)) continue;  // one folder listed twice
                EXPECT_TRUE(WriteFileBytes(path, bytes)) << ToUtf8(path);
                files_.push_back({path, bytes});
            }
        }
        values_ = {
            {HKEY_CURRENT_USER, "RvCanaryTop", "V", "top"},
            {HKEY_CURRENT_USER, "Software\\RvCanary", "V", "user"},
            {HKEY_LOCAL_MACHINE, "Software\\RvCanary", "V", "machine"},
            {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\RvCanary", "V", "microsoft"},
            {HKEY_CLASSES_ROOT, "rvcanaryurl", "URL Protocol", ""},
            {HKEY_CLASSES_ROOT, ".rvcanary", "", "rvcanary_file"},
            {HKEY_CLASSES_ROOT, "rvcanary_file\\shell\\open\\command", "", "canary.exe \"%1\""},
            {HKEY_USERS, ".DEFAULT\\Software\\RvCanary", "V", "users"},
            {HKEY_LOCAL_MACHINE, kOtherKey, "DisplayName", "Canary Program"},
            {HKEY_LOCAL_MACHINE, kOtherKey, "UninstallString", other_ + "uninst.exe"},
            {HKEY_LOCAL_MACHINE, kOtherKey, "InstallLocation", other_},
            {HKEY_LOCAL_MACHINE, kOtherRavelinKey, "UninstallString",
             WindowsFolder() + "UNRAVEL.EXE \"" + other_ + "UNSETUP.INI\""},
        };
        for (const CanaryValue& value : values_) WriteValue(value);
        // Files every package shares: checked like canaries, kept as found.
        for (const std::string& path : {WindowsFolder() + "UNRAVEL.EXE", WindowsFolder() + "RVSET98.INI"}) {
            if (!FileExistsAt(path)) {
                const std::string bytes = "canary " + path;
                EXPECT_TRUE(WriteFileBytes(path, bytes));
                files_.push_back({path, bytes});
            } else {
                kept_.push_back({path, ReadFileBytes(path)});
            }
        }
    }
    ~Canaries() {
        for (const auto& file : files_) DeleteFileA(file.first.c_str());
        RemoveDirectoryA((other_ + "data\\").c_str());
        RemoveDirectoryA(other_.c_str());
        RegDeleteTreeA(HKEY_CURRENT_USER, "RvCanaryTop");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\RvCanary");
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\RvCanary");
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\RvCanary");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "rvcanaryurl");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ".rvcanary");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "rvcanary_file");
        RegDeleteTreeA(HKEY_USERS, ".DEFAULT\\Software\\RvCanary");
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kOtherKey);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, kOtherRavelinKey);
    }
    Canaries(const Canaries&) = delete;
    Canaries& operator=(const Canaries&) = delete;

    // Every canary that is gone or changed; each is put back.
    std::vector<std::string> Touched() {
        std::vector<std::string> touched;
        for (const auto& file : kept_) {
            if (ReadFileBytes(file.first) == file.second) continue;
            touched.push_back("file " + file.first);
            WriteFileBytes(file.first, file.second);
        }
        for (const auto& file : files_) {
            if (ReadFileBytes(file.first) == file.second) continue;
            touched.push_back("file " + file.first);
            CreateDirectoryA(file.first.substr(0, file.first.rfind('\\') + 1).c_str(), nullptr);
            WriteFileBytes(file.first, file.second);
        }
        for (const CanaryValue& value : values_) {
            if (ReadValue(value.hive, value.key, value.name) == value.value) continue;
            touched.push_back("key " + value.key + " value " + value.name);
            WriteValue(value);
        }
        return touched;
    }
    const std::string& other() const { return other_; }

private:
    std::vector<std::pair<std::string, std::string>> files_, kept_;
    std::vector<CanaryValue> values_;
    std::string other_;
};

// The places a record entry is built from; each ends with "\".
struct Places {
    std::string app, root, windows, system, programs, other, profile, desktop, appData, temp;
};

std::vector<std::string> FilePatterns(const Places& p) {
    return {"C:\\*.*", "C:\\*", "\\*.*", "*.*", "C:*.*", p.windows + "*.*", p.windows + "*.TXT",
            p.system + "*.DLL", p.system + "*", p.programs + "*.*", p.other + "*.*", p.other + "data\\*.LOG",
            p.app + "..\\*.*", p.app + "..\\..\\..\\..\\..\\..\\..\\..\\*.*", p.app + "..\\..\\..\\..\\..\\*.TXT",
            p.app + "*\\*.*", p.app + "..\\*", p.app + ".\\..\\*.*", p.app + "\\..\\..\\*.*",
            p.windows + "..\\*.*", p.windows + "system32\\..\\*.TXT", p.profile + "*.*", p.desktop + "*.lnk",
            p.desktop + "*.*", p.appData + "*.*", p.temp + "*.*", "\\\\?\\C:\\*.*", "\\\\.\\C:\\*.*",
            p.app + "..\\\x83\x5C*.*", p.app + "*.*\\..\\..\\*.*", p.app + "..\\..\\..\\..\\..\\..\\..\\..\\" +
            p.other.substr(3) + "*.*", p.root + "*.*", p.root + "..\\*.TXT"};
}

std::vector<std::string> FolderEntries(const Places& p) {
    return {"C:\\", "\\", "C:", p.windows, p.system, p.programs, p.other, p.other + "data\\", p.profile,
            p.desktop, p.appData, p.temp, p.app + "..\\", p.app + "..\\..\\..\\..\\..\\..\\..\\..\\", p.root,
            p.windows + "..\\", p.app + "..\\..\\..\\..\\..\\..\\..\\..\\" + p.other.substr(3), "relative\\",
            "\\\\?\\C:\\", p.app + "*\\", p.app + "sub\\..\\..\\"};
}

// A whole first-level class may go from a record the install wrote (a
// package's own file type); a part of one never goes.
std::vector<std::string> KeyEntries() {
    return {"(Cuser)Software", "(Cuser)RvCanaryTop", "(Cuser)", "(Local)SOFTWARE", "(Local)",
            std::string("(Local)") + kUninstallList, std::string("(Local)") + kUninstallList + "\\",
            "(Class).rvcanary", "(Class)rvcanary_file\\shell", "(Users).DEFAULT", "(Users).DEFAULT\\Software", "Software",
            "\\Software\\", "(Cuser)\\Software\\\\", "(Cuser)Software\\..", "(Local)SOFTWARE\\Classes",
            "(XXXXX)Software", "(Cuser)Software\\RvCanary\\..\\..", "", "(Class)", "(Class)\\", "(Users)"};
}

std::vector<std::string> RegistrationKeys() {
    return {kUninstallList, std::string(kUninstallList) + "\\", kOtherKey, std::string(kUninstallList) + "\\..\\",
            "SOFTWARE", "\\", std::string(kUninstallList) + "\\*", std::string(kUninstallList) + "\\\\",
            std::string(kUninstallList) + "\\" + kOtherProgram + "\\"};
}

std::string Flags(Random& random) {
    return random.Pick(std::vector<std::string>{"", "", ",/S", ",/C", ",/F/L", ",/S/S", ","});
}

std::string Section(const std::string& name, const std::string& prefix, const std::vector<std::string>& values) {
    std::string text = "[" + name + "]\r\n";
    for (size_t i = 0; i < values.size(); ++i) text += prefix + std::to_string(i + 1) + "=" + values[i] + "\r\n";
    return text + "\r\n";
}

std::string HostileRecord(uint32_t seed, int index, const Places& p, std::string& describe) {
    Random random(seed * 31337u + static_cast<uint32_t>(index) * 2654435761u + 7u);
    std::vector<std::string> files = {p.app + "A.TXT", p.app + "sub\\C.TXT"};
    std::vector<std::string> extra = {p.app + "*.LOG"};
    std::vector<std::string> folders = {p.app + "sub\\"};
    std::vector<std::string> links, keys = {"(Cuser)Software\\RavelinFuzzRecord"};
    std::string setupFolder = p.app, checkBox = "0,0,0,0", box3 = "*.LOG", box4 = "*.BAK";
    std::string registration = std::string(kUninstallList) + "\\RavelinFuzzRecord";
    std::vector<std::string> relate;
    const size_t attacks = 1 + random.Below(6);
    for (size_t i = 0; i < attacks; ++i) {
        switch (random.Below(9)) {
        case 0:
            files.insert(files.begin() + random.Below(files.size() + 1), random.Pick(FilePatterns(p)) + Flags(random));
            describe += " file";
            break;
        case 1:
            extra.insert(extra.begin() + random.Below(extra.size() + 1), random.Pick(FilePatterns(p)) + Flags(random));
            describe += " extra";
            break;
        case 2:
            folders.insert(folders.begin() + random.Below(folders.size() + 1), random.Pick(FolderEntries(p)));
            describe += " folder";
            break;
        case 3:
            links.push_back(random.Chance(50) ? random.Pick(FilePatterns(p)) : random.Pick(FolderEntries(p)));
            describe += " link";
            break;
        case 4:
            keys.insert(keys.begin() + random.Below(keys.size() + 1), random.Pick(KeyEntries()));
            describe += " key";
            break;
        case 5:
            registration = random.Pick(RegistrationKeys());
            describe += " registration";
            break;
        case 6:
            setupFolder = random.Pick(FolderEntries(p));
            describe += " setupfolder";
            break;
        case 7:
            checkBox = random.Pick(std::vector<std::string>{"DeleteAll", "1,1,1,1", "DeleteAll", "0,0,1,1"});
            box3 = random.Pick(std::vector<std::string>{"*.*", "..\\*.*", "C:\\*.*", "*", "\\*.*", "*.TXT",
                                                         p.windows + "*.*", "..\\..\\..\\..\\*.TXT", "*\\*.*"});
            box4 = random.Pick(std::vector<std::string>{"*.DLL", "", "*.lnk", "..\\*"});
            describe += " options " + checkBox;
            break;
        default:
            relate.push_back(random.Pick(std::vector<std::string>{",", "*,", "\\,x", "..\\rvcanary,", " ,", ",,",
                                                                   "\x83\x5C,", "rvcanary\\..\\..,"}));
            describe += " relate";
            break;
        }
    }
    if (random.Chance(20)) {  // a gap: the entries after it are never read
        files.insert(files.begin() + random.Below(files.size() + 1), "");
        describe += " gap";
    }
    std::string text = "[Information]\r\nMessage1=Ravelin Setup UnSetup(UnInstall) Initialize File\r\n\r\n";
    text += "[Title]\r\nUnSetup=Fuzz Record\r\n\r\n[SetupFolder]\r\nFolder=" + setupFolder + "\r\n\r\n";
    text += Section("DeleteFolder", "Folder", folders);
    text += Section("DeleteFile", "File", files);
    text += Section("DeleteShortCut", "File", links);
    text += Section("DeleteRegistry", "Key", keys);
    text += Section("AddDeleteFile", "File", extra);
    text += Section("RestoreRelate", "Key", relate);
    text += "[UnSetupOption]\r\nCheckBox=" + checkBox + "\r\nCheckBox3=" + box3 + "\r\nCheckBox4=" + box4 + "\r\n\r\n";
    text += "[BeforeUnInstall]\r\n\r\n[Extend]\r\nSetupString=インストール\r\nUnSetupString=アンインストール\r\n\r\n";
    text += "[UnSetupRegistryKey]\r\nKey=" + registration + "\r\n\r\n[ProgramID]\r\nID=\r\n";
    return text;
}

class HostileRecords : public ::testing::Test {
protected:
    HostileRecords() : leftovers_(scratch_.path() + "App\\"), canaries_(scratch_.path() + "nest\\") {
        const std::string programs = Folder(CSIDL_PROGRAM_FILES);
        places_ = {scratch_.path() + "nest\\p\\q\\App\\",
                   scratch_.path() + "nest\\",
                   WindowsFolder(),
                   Folder(CSIDL_SYSTEM),
                   programs,
                   canaries_.other(),
                   Folder(CSIDL_PROFILE),
                   Folder(CSIDL_DESKTOPDIRECTORY),
                   Folder(CSIDL_APPDATA),
                   [] {
                       char temp[MAX_PATH + 1] = {};
                       GetTempPathA(sizeof temp, temp);
                       return std::string(temp);
                   }()};
    }
    ~HostileRecords() override {
        RemoveTree(places_.app);
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kUninstallList) + "\\RavelinFuzzRecord").c_str());
    }

    // The record in a real install folder with a few real files, run with
    // /S (prepare runs just before); returns the faults seen.
    std::vector<std::string> RunCase(const std::string& record, const std::function<void()>& prepare = {}) {
        std::vector<std::string> faults;
        RemoveTree(places_.app);
        const std::string app = places_.app;
        for (const char* name : {"A.TXT", "B.LOG", "sub\\C.TXT"}) {
            const std::string path = app + name;
            SHCreateDirectoryExA(nullptr, path.substr(0, path.rfind('\\')).c_str(), nullptr);
            WriteFileBytes(path, "package file");
        }
        // An honest record with a careless author's entries: signed as the
        // install signs what it writes, so the guards behind the check are
        // what the case tries.
        signer_.Write(app + "UNSETUP.INI", record);
        WriteValue({HKEY_CURRENT_USER, "Software\\RavelinFuzzRecord", "V", "package"});
        if (prepare) prepare();
        const RunResult run = RunBounded(Quoted(dist_.exe()) + " " + Quoted(app + "UNSETUP.INI") + " /S " +
                                             Quoted("/LOG=" + scratch_.path() + "un.log"),
                                         kRunBoundMs);
        ++runs_;
        if (run.hung) {
            ++hangs_;
            faults.push_back("uninstall did not end within 60 s");
        } else if (!IsDocumentedExitCode(run.code)) {
            ++crashes_;
            faults.push_back("uninstall ended with undocumented code " + std::to_string(run.code));
        }
        for (const std::string& touched : canaries_.Touched()) {
            ++touched_;
            faults.push_back("canary touched: " + touched);
        }
        return faults;
    }

    ScratchFolder scratch_;
    SampleLeftovers leftovers_;
    Canaries canaries_;
    Distribution dist_;
    RecordSigner signer_;
    Places places_;
    int runs_ = 0, crashes_ = 0, hangs_ = 0, touched_ = 0;
};

TEST_F(HostileRecords, NoCanaryIsEverTouchedAndEveryRunEndsWithADocumentedCode) {
    ASSERT_TRUE(canaries_.Touched().empty()) << "the canaries were not planted";
    const int cases = CaseCount(24);
    for (int i = FirstCase(); i < FirstCase() + cases; ++i) {
        std::string describe;
        const std::string record = HostileRecord(Seed(), i, places_, describe);
        const std::vector<std::string> faults = RunCase(record);
        if (faults.empty()) continue;
        std::string text;
        for (const std::string& fault : faults) text += "  " + ToUtf8(fault) + "\n";
        ADD_FAILURE() << "seed " << Seed() << ", record " << i << ":" << describe << "\n"
                      << text << "record:\n"
                      << ToUtf8(record);
    }
    std::printf("[fuzz] hostile records: %d cases, %d program runs, %d crashes, %d hangs, %d canaries touched\n",
                cases, runs_, crashes_, hangs_, touched_);
    std::fflush(stdout);
    EXPECT_EQ(0, crashes_);
    EXPECT_EQ(0, hangs_);
    EXPECT_EQ(0, touched_);
}

// ---- The escapes a reading of the uninstall found, by hand

std::string Slashed(std::string path) {
    for (char& c : path)
        if (c == '\\') c = '/';
    return path;
}

std::string ShortForm(const std::string& path) {
    char buffer[MAX_PATH] = {};
    const DWORD n = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer) : path;
}

long CountOf(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    DWORD count = 0, size = sizeof count;
    const LONG read = RegQueryValueExA(key, path.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS ? static_cast<long>(count) : 0;
}

void SetCount(const std::string& path, DWORD count) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (count)
        RegSetValueExA(key, path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count), sizeof count);
    else
        RegDeleteValueA(key, path.c_str());
    RegCloseKey(key);
}

struct Escape {
    std::string what = {}, sections = {};
    std::string checkBox = "0,0,0,0", box3 = {}, box4 = {};
    bool link = false;  // <app>link planted, pointing at the other program's data folder
    std::string setupFolder = {}, registration = {};
    std::string linkAt = {};  // the link planted elsewhere than <app>link
};

std::string EscapeRecord(const Escape& e, const Places& p) {
    return "[SetupFolder]\r\nFolder=" + (e.setupFolder.empty() ? p.app : e.setupFolder) + "\r\n\r\n" + e.sections +
           "[UnSetupOption]\r\nCheckBox=" + e.checkBox + "\r\nCheckBox3=" + e.box3 + "\r\nCheckBox4=" + e.box4 +
           "\r\n\r\n[Extend]\r\nSetupString=インストール\r\nUnSetupString=アンインストール\r\n\r\n"
           "[UnSetupRegistryKey]\r\nKey=" +
           (e.registration.empty() ? std::string(kUninstallList) + "\\RavelinFuzzRecord" : e.registration) +
           "\r\n\r\n[ProgramID]\r\nID=\r\n";
}

TEST_F(HostileRecords, KnownEscapesTouchNoCanary) {
    ASSERT_TRUE(canaries_.Touched().empty()) << "the canaries were not planted";
    const Places& p = places_;
    const std::string& win = p.windows;
    const std::string data = p.other + "data\\", link = p.app + "link\\";
    const std::string uninstall = std::string("(Local)") + kUninstallList + "\\";
    auto files = [](const std::vector<std::string>& v) { return Section("DeleteFile", "File", v); };
    auto extra = [](const std::vector<std::string>& v) { return Section("AddDeleteFile", "File", v); };
    const std::vector<Escape> escapes = {
        {"a '/' in a pattern", extra({win + "x/../*CANARY.TXT", win + "x/../RV*", Slashed(win) + "*CANARY.*"})},
        {"fixed stems in protected folders",
         extra({win + "RV*", p.system + "RV*", p.programs + "RvCanary*", p.profile + "RV*", p.desktop + "RV*",
                p.appData + "RV*", "C:\\RV*", Folder(CSIDL_PROGRAMS) + "RV*", Folder(CSIDL_PERSONAL) + "RV*"})},
        {"a fixed stem outside the install folder takes no folder", extra({p.other + "d*"})},
        {"patterns and files through a link", extra({link + "*.TXT", link + "RVCANARY.*"}) +
                                                  files({link + "RVCANARY.DLL"}) +
                                                  Section("DeleteShortCut", "File", {link + "RvCanary.lnk"}),
         "0,0,0,0", "", "", true},
        {"option patterns on a linked folder", Section("DeleteFolder", "Folder", {link}), "1,1,1,1", "*.LOG", "*.*",
         true},
        {"delete-all over a link", "", "DeleteAll", "", "", true},
        {"a pattern matching the link itself", extra({p.app + "li*"}), "0,0,0,0", "", "", true},
        {"keys of others",
         Section("DeleteRegistry", "Key",
                 {uninstall + kOtherProgram, "(Class)rvcanary_file\\shell", "(Local)SOFTWARE\\Classes\\rvcanary_file\\shell",
                  "(Users).DEFAULT\\Software\\RvCanary", uninstall + "RvCanaryRavelin"})},
        {"keys of a vendor, of Microsoft, and classes of another file type or a URL scheme",
         Section("DeleteRegistry", "Key",
                 {"(Local)SOFTWARE\\RvCanary", "(Local)SOFTWARE\\Microsoft\\RvCanary", "(Class)rvcanary_file",
                  "(Local)SOFTWARE\\Classes\\rvcanary_file", "(Class)rvcanaryurl"})},
        {"short stems, and stems in a folder the record does not list, outside the install folder",
         extra({p.other + "R*", data + "RV*", p.other + "RVCANARY.*", data + "RVC?NARY.TXT"})},
        {"a menu folder replaced by a link to another program's folder",
         Section("DeleteShortCut", "File", {Folder(CSIDL_PROGRAMS) + "RvLinked\\RvCanary.lnk"}) +
             files({Folder(CSIDL_PROGRAMS) + "RvLinked\\RVCANARY.TXT"}) +
             extra({Folder(CSIDL_PROGRAMS) + "RvLinked\\RVCANARY.*"}) +
             Section("DeleteFolder", "Folder", {Folder(CSIDL_PROGRAMS) + "RvLinked\\"}),
         "0,0,0,0", "", "", true, {}, {}, Folder(CSIDL_PROGRAMS) + "RvLinked"},
        {"another folder's entry through [SetupFolder]", "", "0,0,0,0", "", "", false, p.other,
         std::string(kUninstallList) + "\\RvCanaryRavelin"},
        {"the files every package shares",
         files({win + "UNRAVEL.EXE,/F", win + "RVSET98.INI", ShortForm(win) + "UNRAVEL.EXE"}) +
             Section("DeleteShortCut", "File", {win + "UNRAVEL.EXE", Slashed(win) + "RVSET98.INI"})},
        {"libraries named as shortcuts, or listed without their registration",
         Section("DeleteShortCut", "File", {win + "RVCANARY.DLL", p.system + "RVCANARY.DLL", p.other + "RVCANARY.DLL"}) +
             files({win + "RVCANARY.DLL", p.system + "RVCANARY.DLL"})},
        {"other spellings and repeats of shared files",
         files({Slashed(win) + "RVCANARY.DLL", ShortForm(p.other) + "RVCANARY.DLL", p.other + "RVCANARY.LOG,/S",
                p.other + "RVCANARY.LOG,/S", ShortForm(p.other) + "RVCANARY.LOG,/S"})},
    };
    // Counts of other programs' users: the long name's counts two users,
    // the log three, of which one is this record's.
    const std::string dll = p.other + "RVCANARY.DLL", log = p.other + "RVCANARY.LOG";
    int touched = 0;
    for (const Escape& escape : escapes) {
        SetCount(dll, 2);
        SetCount(log, 3);
        std::unique_ptr<PlantedLink> planted;
        const std::vector<std::string> faults = RunCase(EscapeRecord(escape, p), [&] {
            if (escape.link)
                planted = std::make_unique<PlantedLink>(escape.linkAt.empty() ? p.app + "link" : escape.linkAt, data);
        });
        EXPECT_TRUE(!escape.link || (planted && planted->ok())) << "no link planted for: " << escape.what;
        std::vector<std::string> all = faults;
        if (CountOf(dll) != 2) all.push_back("count of " + dll + ": " + std::to_string(CountOf(dll)));
        if (CountOf(log) != 2 && escape.what.find("shared files") != std::string::npos)
            all.push_back("count of " + log + " lowered more than once: " + std::to_string(CountOf(log)));
        planted.reset();
        touched += static_cast<int>(faults.size());
        std::string text;
        for (const std::string& fault : all) text += "  " + ToUtf8(fault) + "\n";
        EXPECT_TRUE(all.empty()) << escape.what << ":\n" << text;
    }
    SetCount(dll, 0);
    SetCount(log, 0);
    std::printf("[fuzz] known escapes: %zu cases, %d canaries touched\n", escapes.size(), touched);
    std::fflush(stdout);
}

}  // namespace
