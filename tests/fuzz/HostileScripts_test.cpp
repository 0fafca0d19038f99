// Hostile setup scripts through the real program: hand-written odd scripts
// and mutations of the sample's SETUP.INI, each installed with /S into a
// scratch folder and then uninstalled with /S from the record it left. The
// program must always end by itself with a documented exit code, and the
// uninstall must remove every file, shortcut and key its record names
// (except the files the uninstall keeps on purpose and says so in its log).
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <shlobj.h>

#include "Driver.h"
#include "FuzzKit.h"
#include "SampleKit.h"
#include "TestSupport.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "uninstall/KeyGuards.h"
#include "uninstall/PathGuards.h"

using namespace e2e;
using namespace fuzz;

namespace {

const DWORD kRunBoundMs = 60000;

struct Script {
    std::string name;
    std::string bytes;
};

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string Join(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

bool IsKeyLine(const std::string& line) {
    return !line.empty() && line[0] != '[' && line[0] != ';' && line.find('=') != std::string::npos;
}

// Where the mutated paths point: all inside the case's scratch folder, or
// into the folders a real package writes to (the uninstall must take
// those away again).
struct Places {
    std::string root;  // scratch root, ends with "\"
    std::string app;   // install folder, four levels below the root
};

std::vector<std::string> PathAttacks(const Places& places) {
    return {"(App)..\\..\\FUZZUP.TXT",
            "(App)..\\..\\..\\..\\FUZZTOP.TXT",
            "(App)\\..\\..\\..\\..\\..\\..\\..\\..\\..\\FUZZDEEP.TXT",
            places.root + "abs\\FUZZABS.TXT",
            places.root + "abs\\sub\\",
            places.root + "abs\\..\\abs2\\FUZZ.TXT",
            "(App)*.TXT",
            "(App)?UZZ.TXT",
            "(App)",
            "(App)\\",
            "(App)\\\\\\",
            "",
            "C:",
            "C:FUZZ.TXT",
            "(Win)FUZZWIN.TXT",
            "(Sys)FUZZSYS.TXT",
            "(App)CON",
            "(App)NUL.TXT",
            "(App)a:b.txt",
            "(App)\x83\x5C\x95\x5C\\\x83\x7C.TXT",
            "(App)" + std::string(300, 'L') + ".TXT",
            "\\\\?\\" + places.app + "DEV.TXT",
            "(App)\"quoted\".TXT",
            "(App)FUZZ.TXT|..\\..\\..\\..\\..\\README.TXT",
            "(App)FUZZ2.TXT|" + places.root + "nothing\\here.txt",
            "(App)FUZZ3.TXT|(From)*.TXT",
            "(App)FUZZ4.TXT|(From)..\\..\\..\\..\\..\\..\\windows\\win.ini"};
}

const std::vector<std::string> kOddBytes = {"\x81", "\xFF", "\x80", "\xA0", "\xFD\xFE", "\x83\x5C", "\x95\x5C",
                                           "\x83\x7C", "\x5C", "\x7C", "\x81\x5C\x81", ",", "|", "=", "\""};
const std::vector<std::string> kMacros = {"(Xyz)", "((App))", "(App)(App)", "(Ap(Win)p)", "(", ")", "(App",
                                          "(Str)", "(Cuser)", "(Pdd)", "(Dch)", "(From)(Win)", "()", "(\x83\x5C)"};
const std::vector<std::string> kNumbers = {"-1", "0", "4294967296", "99999999999999999999", "abc", "$FFFFFFFFFF",
                                           "(Dwd)$FFFFFFFFFFFF", "(Int)-99999999999", "(Bin)ZZ", "(Bin)0",
                                           "(Bin)" + std::string(4001, 'F'), "9,9,9,9,9", "DeleteAll", "1"};

// One mutation of a line-split script; describe says what was done.
void Mutate(std::vector<std::string>& lines, Random& random, const Places& places, std::string& describe) {
    if (lines.empty()) {
        lines.push_back("[CopyFile]");
        describe += " +section";
        return;
    }
    const size_t at = random.Below(lines.size());
    std::string& line = lines[at];
    const size_t eq = line.find('=');
    const bool keyLine = IsKeyLine(line);
    const bool registryKey = keyLine && (line.rfind("Key", 0) == 0) && line.find("(Cuser)Software") != std::string::npos;
    switch (random.Below(11)) {
    case 0:  // a value of 64 KiB
        if (keyLine && !registryKey) {
            line = line.substr(0, eq + 1) + (random.Chance(50) ? std::string(65536, 'A')
                                                               : "(App)" + std::string(65536 / 2 - 3, 'X') + "\x83\x5C");
            describe += " huge@" + std::to_string(at);
        }
        break;
    case 1: {  // invalid, cut or 0x5C/0x7C-trailing double-byte bytes
        const std::string& bytes = random.Pick(kOddBytes);
        const size_t pos = random.Chance(50) ? line.size() : random.Below(line.size() + 1);
        if (!registryKey) line.insert(pos, bytes);
        describe += " bytes@" + std::to_string(at);
        break;
    }
    case 2:  // unknown and nested macros
        if (keyLine && !registryKey) {
            line.insert(eq + 1 + random.Below(line.size() - eq), random.Pick(kMacros));
            describe += " macro@" + std::to_string(at);
        }
        break;
    case 3: {  // '..', absolute paths and wildcards in a path field
        if (!keyLine || registryKey) break;
        const std::string attack = random.Pick(PathAttacks(places));
        const std::string value = line.substr(eq + 1);
        const size_t comma = value.find(',');
        line = line.substr(0, eq + 1) + attack + (comma == std::string::npos ? "" : value.substr(comma));
        describe += " path@" + std::to_string(at);
        break;
    }
    case 4:  // numbers out of range
        if (keyLine && !registryKey) {
            const std::string value = line.substr(eq + 1);
            const size_t comma = value.find(',');
            line = line.substr(0, eq + 1) + random.Pick(kNumbers) +
                   (comma == std::string::npos || random.Chance(50) ? "" : value.substr(comma));
            describe += " number@" + std::to_string(at);
        }
        break;
    case 5:  // a gap in a numbered list
        if (keyLine) {
            lines.erase(lines.begin() + at);
            describe += " gap@" + std::to_string(at);
        }
        break;
    case 6: {  // a duplicate, or a number far out
        if (!keyLine) break;
        if (random.Chance(50)) {
            lines.insert(lines.begin() + at, lines[at]);
            describe += " dup@" + std::to_string(at);
        } else {
            size_t digits = eq;
            while (digits > 0 && isdigit(static_cast<unsigned char>(line[digits - 1]))) --digits;
            line = line.substr(0, digits) + random.Pick(std::vector<std::string>{"0", "21", "4294967297", "-1"}) +
                   line.substr(eq);
            describe += " renumber@" + std::to_string(at);
        }
        break;
    }
    case 7: {  // a section missing or repeated
        std::vector<size_t> headers;
        for (size_t i = 0; i < lines.size(); ++i)
            if (!lines[i].empty() && lines[i][0] == '[') headers.push_back(i);
        if (headers.empty()) break;
        const size_t h = random.Pick(headers);
        if (random.Chance(50)) {
            lines.erase(lines.begin() + h);
            describe += " nosection@" + std::to_string(h);
        } else {
            size_t end = h + 1;
            while (end < lines.size() && (lines[end].empty() || lines[end][0] != '[')) ++end;
            std::vector<std::string> copy(lines.begin() + h, lines.begin() + end);
            for (std::string& l : copy)
                if (IsKeyLine(l) && random.Chance(30)) l += "X";
            lines.insert(lines.end(), copy.begin(), copy.end());
            describe += " repeat@" + std::to_string(h);
        }
        break;
    }
    case 8:  // blanks and quotes around a value
        if (keyLine) {
            line = line.substr(0, eq + 1) + random.Pick(std::vector<std::string>{"  ", "\"", "\t", "\"\""}) +
                   line.substr(eq + 1) + random.Pick(std::vector<std::string>{"  ", "\"", ""});
            describe += " blanks@" + std::to_string(at);
        }
        break;
    case 9:  // an empty value in the middle of a list
        if (keyLine) {
            line = line.substr(0, eq + 1);
            describe += " empty@" + std::to_string(at);
        }
        break;
    default:  // a few bytes flipped anywhere but in registry keys
        if (!registryKey && !line.empty()) {
            line[random.Below(line.size())] = static_cast<char>(random.Below(255) + 1);
            describe += " flip@" + std::to_string(at);
        }
        break;
    }
}

std::string SampleScript() { return ReadFileBytes(SampleFolder() + "SETUP.INI"); }

Script MutatedScript(uint32_t seed, int index, const Places& places) {
    Random random(seed * 7919u + static_cast<uint32_t>(index) * 104729u + 1u);
    std::vector<std::string> lines = Lines(SampleScript());
    std::string describe;
    const size_t count = 1 + random.Below(5);
    for (size_t i = 0; i < count; ++i) Mutate(lines, random, places, describe);
    std::string bytes = Join(lines);
    if (random.Chance(5)) {  // cut anywhere, a double-byte character included
        bytes.resize(random.Below(bytes.size()));
        describe += " cut";
    }
    return {"mutation " + std::to_string(index) + ":" + describe, bytes};
}

std::vector<Script> HandWritten(const Places& places) {
    const std::string sample = SampleScript();
    std::vector<Script> scripts;
    scripts.push_back({"empty file", ""});
    std::string binary;
    Random random(42);
    for (int i = 0; i < 8192; ++i) binary += static_cast<char>(random.Below(256));
    scripts.push_back({"binary file", binary});
    scripts.push_back({"sample in UTF-16 with a byte-order mark", [&] {
                           std::string wide = "\xFF\xFE";
                           for (char c : sample) {
                               wide += c;
                               wide += '\0';
                           }
                           return wide;
                       }()});
    scripts.push_back({"64 KiB values everywhere", [&] {
                           std::vector<std::string> lines = Lines(sample);
                           for (std::string& line : lines)
                               if (IsKeyLine(line) && line.find("(Cuser)") == std::string::npos)
                                   line = line.substr(0, line.find('=') + 1) + std::string(65536, '\x83') + "\x5C";
                           return Join(lines);
                       }()});
    scripts.push_back({"every value cut inside a double-byte character", [&] {
                           std::vector<std::string> lines = Lines(sample);
                           for (std::string& line : lines)
                               if (IsKeyLine(line)) line += "\x83";
                           return Join(lines);
                       }()});
    scripts.push_back({"0x5C and 0x7C trail bytes in every value", [&] {
                           std::vector<std::string> lines = Lines(sample);
                           for (std::string& line : lines)
                               if (IsKeyLine(line) && line.find("(Cuser)") == std::string::npos)
                                   line += "\x83\x5C\x83\x7C\x95\x5C";
                           return Join(lines);
                       }()});
    for (const std::string& attack : {std::string("(App)..\\..\\..\\..\\UP"), places.root + "abs\\ABS",
                                      std::string("(App)*.*"), std::string("(XYZ)((App))")}) {
        std::string text = "[Title]\r\nSetup=odd\r\nUnSetupKey=RavelinFuzzOdd\r\n[Extend]\r\nSetupSpeed=1\r\n"
                           "[MakeFolder]\r\nFolder1=" + attack + "DIR\r\n"
                           "[CopyFile]\r\nFile1=" + attack + "1.TXT|README.TXT\r\nFile2=" + attack +
                           "2.TXT|(From)README.TXT,/S/C/R/W\r\n"
                           "[ShortCut]\r\nMake1=" + attack + "1.TXT\r\nName1=" + attack + "LINK\r\n"
                           "[IniFile]\r\nData1=S,K," + attack + "," + attack + "FUZZ.INI\r\n"
                           "[AddDeleteFile]\r\nFile1=" + attack + "*.LOG\r\n"
                           "[Relate]\r\nName1=rvfuzz,x\r\nFile1=open," + attack + "1.TXT,\"%1\",,0\r\n"
                           "[BeforeUnInstall]\r\nReadmeFile=" + attack + "\r\nFile=" + attack + "\r\n"
                           "[ExecuteFile]\r\nFile=" + attack + ",/x,CreateProcess\r\n";
        scripts.push_back({"every path field " + attack, text});
    }
    scripts.push_back({"numbers out of range and gaps",
                       "[Title]\r\nSetup=n\r\nUnSetupKey=RavelinFuzzOdd\r\n[Extend]\r\nSetupSpeed=-99999999999\r\n"
                       "UnSetupOption=9\r\n[CopyFile]\r\nFile0=(App)ZERO.TXT|README.TXT\r\n"
                       "File1=(App)ONE.TXT|README.TXT\r\nFile1=(App)DUP.TXT|README.TXT\r\n"
                       "File3=(App)THREE.TXT|README.TXT\r\n[Relate]\r\nName21=a,b\r\nFile21=open,(App)ONE.TXT\r\n"
                       "Name0=c,d\r\n[Registry]\r\nKey1=(Cuser)Software\\RavelinFuzzOdd\r\nName1=D\r\n"
                       "Value1=(Dwd)$FFFFFFFFFFFFFFFF\r\nKey2=(Cuser)Software\\RavelinFuzzOdd\r\nName2=I\r\n"
                       "Value2=(Int)-99999999999999\r\n[DeleteRegistry]\r\nKey1=(Cuser)Software\\RavelinFuzzOdd\r\n"});
    scripts.push_back({"sections repeated, missing headers",
                       "CopyFile\r\nFile1=(App)X.TXT\r\n[CopyFile]\r\n[CopyFile]\r\nFile1=(App)ONE.TXT|README.TXT\r\n"
                       "[Title]\r\n[Title]\r\nSetup=\r\n[MakeFolder\r\nFolder1=(App)A\r\n]\r\n[]\r\n=\r\n"});
    return scripts;
}

struct Finding {
    std::string what;
};

class HostileScripts : public ::testing::Test {
protected:
    HostileScripts() : leftovers_(app_) { CopySample(dist_); }
    ~HostileScripts() override {
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Ravelin Sample");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\RavelinFuzzOdd");
    }

    // Installs one script and uninstalls what its record names; returns the
    // faults seen, empty when none.
    std::vector<std::string> RunCase(const Script& script) {
        std::vector<std::string> faults;
        ScratchFolder scratch;
        const Places places{scratch.path(), scratch.path() + "p\\q\\r\\App\\"};
        std::string bytes = script.bytes;
        WriteFileBytes(dist_.path() + "SETUP.INI", bytes);
        const std::string log = scratch.path() + "in.log";
        const RunResult install = RunBounded(Quoted(dist_.exe()) + " /S " + Quoted("/LOG=" + log) + " " +
                                                 Quoted("/D=" + places.app),
                                             kRunBoundMs);
        ++runs_;
        ++installCodes_[install.code];
        if (install.hung) {
            ++hangs_;
            const std::string text = ReadFileBytes(log);
            faults.push_back("install did not end within 60 s; its log ends: " +
                             text.substr(text.size() > 600 ? text.size() - 600 : 0));
        } else if (!IsDocumentedExitCode(install.code)) {
            ++crashes_;
            faults.push_back("install ended with undocumented code " + std::to_string(install.code));
        }
        const std::string record = places.app + "UNSETUP.INI";
        if (!FileExistsAt(record)) return faults;

        const std::vector<std::string> files = NumberedValues(record, "DeleteFile", "File");
        const std::vector<std::string> links = NumberedValues(record, "DeleteShortCut", "File");
        const std::vector<std::string> keys = NumberedValues(record, "DeleteRegistry", "Key");
        std::string uninstaller = WindowsFolder() + "UNRAVEL.EXE";
        if (!FileExistsAt(uninstaller)) uninstaller = dist_.exe();
        const std::string ulog = scratch.path() + "un.log";
        const RunResult remove =
            RunBounded(Quoted(uninstaller) + " " + Quoted(record) + " /S " + Quoted("/LOG=" + ulog), kRunBoundMs);
        ++runs_;
        if (remove.hung) {
            ++hangs_;
            faults.push_back("uninstall did not end within 60 s");
        } else if (!IsDocumentedExitCode(remove.code)) {
            ++crashes_;
            faults.push_back("uninstall ended with undocumented code " + std::to_string(remove.code));
        }
        const std::string removeLog = ReadFileBytes(ulog);
        for (const std::string& entry : files) {
            const std::string path = GetField(entry, ',', 1);
            const std::string flags = MapString(GetField(entry, ',', 2), LCMAP_UPPERCASE);
            if (flags.find("/S") != std::string::npos || flags.find("/C") != std::string::npos) continue;
            if (!FileExistsAt(path)) continue;
            const std::string item = "先: " + path + " 結果: ";
            if (removeLog.find(item + "残す") != std::string::npos ||
                removeLog.find(item + "再起動時に削除") != std::string::npos)
                continue;
            faults.push_back("file left: " + path);
        }
        for (const std::string& link : links)
            if (FileExistsAt(link)) faults.push_back("shortcut left: " + link);
        for (const std::string& entry : keys) {
            std::string root = "(Cuser)", path = entry;
            if (entry.size() >= 7 && entry[0] == '(' && entry[6] == ')') {
                root = entry.substr(0, 7);
                path = entry.substr(7);
            }
            if (RefuseRegistryKey(root, TrimKeyPath(path), true, CurrentUserSid()) != KeyRefusal::None) continue;
            HKEY hive = root == "(Local)" ? HKEY_LOCAL_MACHINE
                        : root == "(Class)" ? HKEY_CLASSES_ROOT
                        : root == "(Users)" ? HKEY_USERS
                                            : HKEY_CURRENT_USER;
            HKEY key = nullptr;
            if (RegOpenKeyExA(hive, TrimKeyPath(path).c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
                RegCloseKey(key);
                faults.push_back("key left: " + entry);
            }
        }
        if (FileExistsAt(record)) faults.push_back("record left: " + record);
        return faults;
    }

    void Report(const Script& script, const std::vector<std::string>& faults) {
        if (faults.empty()) return;
        std::string text;
        for (const std::string& fault : faults) text += "  " + ToUtf8(fault.substr(0, 1000)) + "\n";
        ADD_FAILURE() << "seed " << Seed() << ", " << ToUtf8(script.name) << ":\n" << text;
    }

    void Summary(const char* what, int cases) {
        std::string codes;
        for (const auto& [code, count] : installCodes_) codes += " " + std::to_string(code) + ":" + std::to_string(count);
        std::printf("[fuzz] %s: %d cases, %d program runs, %d crashes, %d hangs; install exit codes%s\n", what, cases,
                    runs_, crashes_, hangs_, codes.c_str());
        std::fflush(stdout);
    }

    Distribution dist_;
    ScratchFolder target_;
    const std::string app_ = target_.path() + "App\\";
    SampleLeftovers leftovers_;
    int runs_ = 0, crashes_ = 0, hangs_ = 0;
    std::map<DWORD, int> installCodes_;  // how far the cases got
};

TEST_F(HostileScripts, HandWrittenOddScriptsEndWithADocumentedCodeAndUninstallCleanly) {
    ScratchFolder probe;  // only for the shape of the places the attacks name
    const std::vector<Script> scripts = HandWritten({probe.path(), probe.path() + "p\\q\\r\\App\\"});
    for (const Script& script : scripts) Report(script, RunCase(script));
    Summary("hand-written scripts", static_cast<int>(scripts.size()));
    EXPECT_EQ(0, crashes_);
    EXPECT_EQ(0, hangs_);
}

TEST_F(HostileScripts, MutatedSampleScriptsEndWithADocumentedCodeAndUninstallCleanly) {
    const int cases = CaseCount(24);
    for (int i = FirstCase(); i < FirstCase() + cases; ++i) {
        ScratchFolder probe;
        const Script script = MutatedScript(Seed(), i, {probe.path(), probe.path() + "p\\q\\r\\App\\"});
        Report(script, RunCase(script));
    }
    Summary("mutated scripts", cases);
    EXPECT_EQ(0, crashes_);
    EXPECT_EQ(0, hangs_);
}

// Names planted between an install and the next run as hard links to files
// of someone else's (win.ini, a document): the installed README, the record,
// its temporary file, the desktop shortcut, a copy's temporary name and the
// uninstall's progress file. The re-install and the uninstall replace or
// delete names only, never write through them: every other file keeps its
// bytes and its read-only attribute.
TEST_F(HostileScripts, HardLinksPlantedBeforeAReinstallAndAnUninstallWriteNothingOfOthers) {
    ScratchFolder victims;
    const auto install = [&] {
        const RunResult run = RunBounded(Quoted(dist_.exe()) + " /S " + Quoted("/D=" + app_), kRunBoundMs);
        EXPECT_FALSE(run.hung);
        EXPECT_TRUE(IsDocumentedExitCode(run.code)) << run.code;
    };
    install();
    const std::string record = app_ + "UNSETUP.INI";
    ASSERT_TRUE(FileExistsAt(record));
    std::string desktopLink;
    for (const std::string& link : NumberedValues(record, "DeleteShortCut", "File"))
        if (link.rfind(ShellFolder(CSIDL_DESKTOPDIRECTORY), 0) == 0) desktopLink = link;
    ASSERT_FALSE(desktopLink.empty()) << "the sample makes a desktop shortcut";

    std::map<std::string, std::string> planted;  // name -> victim
    const auto plant = [&](const std::string& name, const std::string& victim, bool readOnly) {
        const std::string path = victims.path() + victim;
        ASSERT_TRUE(WriteFileBytes(path, "victim " + victim));
        if (readOnly) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
        DeleteFileA(name.c_str());
        ASSERT_TRUE(CreateHardLinkA(name.c_str(), path.c_str(), nullptr)) << ToUtf8(name);
        planted[name] = path;
    };
    plant(app_ + "README.TXT", "win.ini", true);
    plant(app_ + "UNSETUP.TMP", "system.ini", false);
    plant(app_ + "SAMPLE.EXE.RVNEW", "notes.txt", false);
    plant(desktopLink, "letter.doc", false);
    install();
    plant(app_ + "UNSETUP.RUN", "diary.txt", false);
    const std::string uninstaller = WindowsFolder() + "UNRAVEL.EXE";
    const RunResult remove = RunBounded(Quoted(uninstaller) + " " + Quoted(record) + " /S", kRunBoundMs);
    EXPECT_FALSE(remove.hung);
    EXPECT_TRUE(IsDocumentedExitCode(remove.code)) << remove.code;

    int touched = 0;
    for (const auto& [name, victim] : planted) {
        const std::string file = victim.substr(victim.rfind('\\') + 1);
        const bool same = ReadFileBytes(victim) == "victim " + file;
        const bool readOnly = (GetFileAttributesA(victim.c_str()) & FILE_ATTRIBUTE_READONLY) != 0;
        if (!same || (file == "win.ini" && !readOnly)) {
            ++touched;
            ADD_FAILURE() << "written through " << ToUtf8(name) << ": " << ToUtf8(victim);
        }
        SetFileAttributesA(victim.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(name.c_str());
    }
    std::printf("[fuzz] planted hard links: %zu names, %d other files touched\n", planted.size(), touched);
    std::fflush(stdout);
}

}  // namespace
