// A run can end at any instruction: power loss, the task manager, a logoff.
// Each case here ends a silent install or uninstall of the sample package
// after k changes to files and keys (the countdown of the test build,
// SETUP_KILLABLE.EXE), for k spread over the whole run, starts it again the
// way it was started, and compares the prefix with what it was before.
//
// What stays on purpose is named where it is checked: the uninstaller
// UNRAVEL.EXE and the program-ID list RVSET98.INI (left out of every
// snapshot), the shared library RVSAMPLE.DLL in the install folder (/S keeps
// a shared file, counted or not), and the library's SharedDLLs count, which
// every install raises: an install killed after raising it and followed by a
// whole one leaves it exactly one higher. The sample lists every registry
// value and INI entry it makes, so no unlisted one is expected.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "FuzzKit.h"
#include "KillCountdown.h"
#include "SampleKit.h"
#include "TestSupport.h"
#include "platform/Handles.h"

using namespace e2e;

namespace {

const std::string kEntryKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RavelinSample";
const char kSharedDlls[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
constexpr DWORD kRunBoundMs = 120000;

// Kill points of a sweep: RV_KILL_POINTS, or the test's own number.
int KillPoints(int standard) {
    const char* text = std::getenv("RV_KILL_POINTS");
    const int points = text && *text ? std::atoi(text) : 0;
    return points > 0 ? points : standard;
}

// 0 .. total - 1, both ends included, evenly spread, no repeats.
std::vector<long> Spread(long total, int points) {
    std::vector<long> ks;
    if (total <= 0) return ks;
    if (points >= total) points = static_cast<int>(total);
    for (int i = 0; i < points; ++i) {
        const long k = points == 1 ? 0 : static_cast<long>((static_cast<long long>(total - 1) * i) / (points - 1));
        if (ks.empty() || ks.back() != k) ks.push_back(k);
    }
    return ks;
}

// A variable for the programs this test starts, taken away again.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        SetEnvironmentVariableA(name, value.c_str());
    }
    ~ScopedVariable() { SetEnvironmentVariableA(name_, nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* name_;
};

// The library's SharedDLLs count; 0 when there is no value.
long SharedCount(const std::string& path) {
    RegKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return 0;
    DWORD count = 0, size = sizeof count, type = 0;
    if (RegQueryValueExA(key.get(), path.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&count), &size) !=
        ERROR_SUCCESS)
        return 0;
    return static_cast<long>(count);
}

// Sets the count as another program's install would; 0 removes the value.
void SetSharedCount(const std::string& path, long count) {
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSharedDlls, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             key.put(), nullptr));
    if (count == 0) {
        RegDeleteValueA(key.get(), path.c_str());
        return;
    }
    const DWORD value = static_cast<DWORD>(count);
    RegSetValueExA(key.get(), path.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

bool EntryExists() {
    RegKey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEntryKey.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

// The names in a folder, sorted; empty when it is gone.
std::vector<std::string> NamesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(name);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// The lines of a trace file (RV_KILL_TRACE).
std::vector<std::string> TraceLines(const std::string& file) {
    std::vector<std::string> lines;
    const std::string text = ReadFileBytes(file);
    for (size_t start = 0, end; start < text.size(); start = end + 1) {
        end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
    }
    return lines;
}

std::string Tail(const std::string& text, size_t size = 3000) {
    return ToUtf8(text.size() > size ? text.substr(text.size() - size) : text);
}

class KilledRuns : public ::testing::Test {
protected:
    KilledRuns() {
        CopySample(dist_);
        // The test build in place of the shipped program; it also becomes
        // the uninstaller, which an install replaces only when it is missing
        // or older, so none may be there (SampleLeftovers puts it back).
        const std::string killable = BinFolder() + "SETUP_KILLABLE.EXE";
        EXPECT_TRUE(CopyFileA(killable.c_str(), dist_.exe().c_str(), FALSE)) << ToUtf8(killable);
        DeleteFileA((WindowsFolder() + "UNRAVEL.EXE").c_str());
    }

    // One silent run; killAfter >= 0 ends it after that many changes. The
    // log goes before the last switch, which /D= must be.
    DWORD Run(const std::string& commandLine, long killAfter, const std::string& log, const std::string& last = "") {
        const ScopedVariable kill("RV_KILL_AFTER", killAfter >= 0 ? std::to_string(killAfter) : "");
        DeleteFileA(log.c_str());
        const fuzz::RunResult result = fuzz::RunBounded(
            commandLine + " " + fuzz::Quoted("/LOG=" + log) + (last.empty() ? "" : " " + last), kRunBoundMs);
        EXPECT_FALSE(result.hung) << ToUtf8(commandLine) << "\n" << Tail(ReadFileBytes(log));
        return result.code;
    }
    DWORD Install(long killAfter = -1) {
        return Run(fuzz::Quoted(dist_.exe()) + " /S", killAfter, InstallLog(), fuzz::Quoted("/D=" + app_));
    }
    // As a deployment tool removes the package: the entry's quiet command,
    // read once from the first install (every install writes the same).
    DWORD Uninstall(long killAfter = -1) {
        return Run(quiet_, killAfter, UninstallLog());
    }
    std::string InstallLog() const { return logs_.path() + "install.log"; }
    std::string UninstallLog() const { return logs_.path() + "uninstall.log"; }

    // A whole run with the count and the trace of its changes.
    std::vector<std::string> Traced(bool install) {
        const std::string report = logs_.path() + "count.txt", trace = logs_.path() + "trace.txt";
        const ScopedVariable counted("RV_KILL_REPORT", report);
        const ScopedVariable traced("RV_KILL_TRACE", trace);
        EXPECT_EQ(0u, install ? Install() : Uninstall())
            << Tail(ReadFileBytes(install ? InstallLog() : UninstallLog()));
        const std::vector<std::string> lines = TraceLines(trace);
        EXPECT_EQ(std::to_string(lines.size()), ReadFileBytes(report)) << "the count and the trace agree";
        if (install) quiet_ = QuietCommand();
        return lines;
    }

    // A preview of the run Install() or Uninstall() makes, traced as the
    // calls its changes stand for; out gets what it prints.
    std::vector<std::string> Previewed(bool install, const std::string& out, DWORD code = 0) {
        const std::string trace = logs_.path() + "preview-trace.txt", log = logs_.path() + "preview.log";
        const ScopedVariable traced("RV_KILL_TRACE", trace);
        const std::string command = install ? fuzz::Quoted(dist_.exe()) + " /PREVIEW"
                                            : quiet_.substr(0, quiet_.rfind(" /S")) + " /PREVIEW";
        const std::string last = install ? " " + fuzz::Quoted("/D=" + app_) : "";
        const fuzz::RunResult result =
            fuzz::RunBounded(command + " " + fuzz::Quoted("/LOG=" + log) + last, kRunBoundMs, out);
        EXPECT_FALSE(result.hung);
        EXPECT_EQ(code, result.code) << Tail(ReadFileBytes(log));
        return TraceLines(trace);
    }

    std::string QuietCommand() const {
        RegKey key;
        char data[1024] = {};
        DWORD size = sizeof data - 1;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kEntryKey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
            RegQueryValueExA(key.get(), "QuietUninstallString", nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                             &size) != ERROR_SUCCESS)
            return {};
        return data;
    }

    // The end of one case: the library's count as expected, then put back
    // to the count before the case, and the prefix as before; of the install
    // folder only the library is left (kept on purpose by /S); the folder
    // goes for the next case.
    void ExpectAsBefore(const std::string& before, long expectedCount, long countBefore) {
        EXPECT_EQ(expectedCount, SharedCount(dll_)) << "the library's SharedDLLs count";
        SetSharedCount(dll_, countBefore);
        const std::string after = PrefixSnapshot();
        EXPECT_TRUE(before == after) << "left behind:\n" << Missing(after, before) << "\nremoved:\n" << Missing(before, after);
        EXPECT_EQ(std::vector<std::string>{"RVSAMPLE.DLL"}, NamesIn(app_)) << "the install folder";
        RemoveTree(app_);
    }

    // After a whole install: every file the sample installs holds the
    // package's bytes, and the uninstaller the program's own. A copy a kill
    // cut short is never kept as the file, whatever its date says.
    void ExpectWholeFiles() {
        const std::string d = dist_.path();
        const std::pair<std::string, std::string> files[] = {
            {app_ + "SAMPLE.EXE", d + "SAMPLE.EXE"},
            {app_ + "README.TXT", d + "README.TXT"},
            {app_ + "ソフト情報.TXT", d + "ソフト情報.TXT"},
            {app_ + "docs\\ポケットガイド.htm", d + "docs\\guide.htm"},
            {app_ + "データ\\表示設定.INI", d + "SETTINGS.DAT"},
            {app_ + "RVSAMPLE.DLL", d + "RVSAMPLE.DLL"},
            {app_ + "UNREADME.TXT", d + "UNREADME.TXT"},
            {WindowsFolder() + "UNRAVEL.EXE", dist_.exe()},
        };
        for (const auto& [installed, source] : files) {
            const std::string bytes = ReadFileBytes(source);
            ASSERT_FALSE(bytes.empty()) << ToUtf8(source);
            EXPECT_TRUE(bytes == ReadFileBytes(installed)) << "not whole: " << ToUtf8(installed);
        }
    }

    Distribution dist_;
    ScratchFolder target_;
    ScratchFolder logs_;
    const std::string app_ = target_.path() + "Ravelin Sample\\";
    const std::string dll_ = app_ + "RVSAMPLE.DLL";
    const std::string record_ = app_ + "UNSETUP.INI";
    const std::string progress_ = app_ + "UNSETUP.RUN";
    SampleLeftovers leftovers_{app_};
    std::string quiet_;
};

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Upper(std::string text) {
    if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// The first change whose trace line names all the parts (1-based); 0 when
// none does.
long FirstChange(const std::vector<std::string>& trace, std::initializer_list<const char*> parts) {
    for (size_t i = 0; i < trace.size(); ++i) {
        bool all = true;
        for (const char* part : parts) all = all && Has(Upper(trace[i]), Upper(part));
        if (all) return static_cast<long>(i + 1);
    }
    return 0;
}

// The kill points of a sweep: spread over the run, and the given ones.
std::vector<long> KillPointsOf(size_t total, int spread, std::initializer_list<long> chosen) {
    std::vector<long> ks = Spread(static_cast<long>(total), KillPoints(spread));
    for (long k : chosen)
        if (k > 0) ks.push_back(k);
    std::sort(ks.begin(), ks.end());
    ks.erase(std::unique(ks.begin(), ks.end()), ks.end());
    return ks;
}

// The number of changes up to the last one outside the working folder: the
// removal of the working folders after it takes more or fewer changes from
// run to run (a killed run's folder is removed by the next), so a run may
// end by itself before a late kill point.
long ChangesBeforeCleanUp(const std::vector<std::string>& trace) {
    for (size_t i = trace.size(); i > 0; --i)
        if (!Has(Upper(trace[i - 1]), "\\RVTMP")) return static_cast<long>(i);
    return 0;
}

bool KilledOrDone(DWORD code, long k, long cleanUp) {
    return code == kKilledExitCode || (code == 0 && k >= cleanUp);
}

std::string Points(const std::vector<long>& ks) {
    std::string text;
    for (long k : ks) text += std::to_string(k) + " ";
    return text;
}

}  // namespace

// The calls of a trace up to the removal of the working folders (which a
// preview, whose changes to them were dry, has fewer of), without their
// numbers.
std::vector<std::string> CallsOf(const std::vector<std::string>& trace) {
    std::vector<std::string> calls;
    for (long i = 0; i < ChangesBeforeCleanUp(trace); ++i) calls.push_back(trace[i].substr(trace[i].find(' ') + 1));
    return calls;
}

// Where two lists of calls part, for the failure message.
std::string Parting(const std::vector<std::string>& run, const std::vector<std::string>& preview) {
    size_t i = 0;
    while (i < run.size() && i < preview.size() && run[i] == preview[i]) ++i;
    std::string text = "from call " + std::to_string(i + 1) + ":\n";
    for (size_t j = i; j < i + 4; ++j)
        text += "  run:     " + (j < run.size() ? ToUtf8(run[j]) : "-") + "\n  preview: " +
                (j < preview.size() ? ToUtf8(preview[j]) : "-") + "\n";
    return text;
}

// The record a preview prints: the lines after its heading, up to the exit
// code's.
std::string RecordPrinted(const std::string& output) {
    const size_t heading = output.find("【書き込まれる ");
    if (heading == std::string::npos) return {};
    const size_t start = output.find("\r\n", heading) + 2;
    return output.substr(start, output.find("【終了コード】", start) - start);
}

// Killed after k changes, then installed again whole and removed by the
// entry's quiet command: the prefix as before, and the library's count one
// higher when the killed install had raised it.
TEST_F(KilledRuns, AnInstallKilledAnywhereIsMadeWholeByTheNextAndRemovedWithoutTrace) {
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the snapshot is taken with Wine's Unix side";
    SetSharedCount(dll_, 0);
    const std::string before = PrefixSnapshot();
    ASSERT_NE(std::string::npos, before.find("./windows/system32\n")) << "the snapshot lists no files";

    const std::vector<std::string> trace = Traced(true);
    ASSERT_GT(trace.size(), 20u);
    ASSERT_FALSE(quiet_.empty()) << "no QuietUninstallString";
    ASSERT_EQ(0u, Uninstall()) << Tail(ReadFileBytes(UninstallLog()));
    ExpectAsBefore(before, 0, 0);

    // Besides the spread: right after the count is raised, right after the
    // record's digest is added, right after the record's temporary file is
    // made and right after it became the record (the entry is written after
    // them). A first install has no earlier digest to drop. And right after
    // the first file and the uninstaller are created, before a byte is in
    // them: a cut file dated now would win over the package's older one.
    const std::vector<long> ks = KillPointsOf(
        trace.size(), 20,
        {FirstChange(trace, {"RegSetValueEx", "RVSAMPLE.DLL"}), FirstChange(trace, {"RegSetValueEx", "\\UNSETUP.INI"}),
         FirstChange(trace, {"CreateFile", "\\UNSETUP.TMP"}), FirstChange(trace, {"MoveFileEx", "\\UNSETUP.TMP"}),
         FirstChange(trace, {"CreateFile", "\\SAMPLE.EXE"}), FirstChange(trace, {"CreateFile", "\\UNRAVEL.EXE"})});
    const long cleanUp = ChangesBeforeCleanUp(trace);
    std::printf("install: %zu changes; killed after %s\n", trace.size(), Points(ks).c_str());
    for (long k : ks) std::printf("  %ld: %s\n", k, k > 0 ? ToUtf8(trace[k - 1]).c_str() : "(none)");
    for (long k : ks) {
        SCOPED_TRACE("install killed after " + std::to_string(k) + " of " + std::to_string(trace.size()) +
                     " changes: " + (k > 0 ? ToUtf8(trace[k - 1]) : std::string("none")));
        SampleLeftovers thisCase(app_);
        // As in the traced run: an uninstaller already there would spare the
        // copy, and the run would end before the later kill points.
        DeleteFileA((WindowsFolder() + "UNRAVEL.EXE").c_str());
        EXPECT_TRUE(KilledOrDone(Install(k), k, cleanUp)) << Tail(ReadFileBytes(InstallLog()));
        const long countAfterKill = SharedCount(dll_);
        EXPECT_EQ(0u, Install()) << Tail(ReadFileBytes(InstallLog()));
        ExpectWholeFiles();
        EXPECT_EQ(countAfterKill + 1, SharedCount(dll_)) << "every install raises the count once";
        EXPECT_EQ(0u, Uninstall()) << Tail(ReadFileBytes(UninstallLog()));
        EXPECT_FALSE(EntryExists());
        ExpectAsBefore(before, countAfterKill, 0);
    }
}

// A preview makes none of the changes of the run it shows, and lists each
// of them as that run's own call (the link the shell saves and what the
// library's registration does are no calls of the program, in either);
// the record it prints is the one that run writes.
TEST_F(KilledRuns, APreviewListsEveryChangeOfTheRunItShowsAndMakesNone) {
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the snapshot is taken with Wine's Unix side";
    SetSharedCount(dll_, 0);
    const std::string before = PrefixSnapshot(), out = logs_.path() + "preview.txt";
    const std::vector<std::string> install = Previewed(true, out);
    ASSERT_GT(install.size(), 20u) << "the preview's trace lists its changes";
    const std::string printed = ReadFileBytes(out);
    std::string after = PrefixSnapshot();
    EXPECT_TRUE(before == after) << "made:\n" << Missing(after, before) << "\nremoved:\n" << Missing(before, after);
    const std::vector<std::string> run = CallsOf(Traced(true)), shown = CallsOf(install);
    EXPECT_TRUE(run == shown) << Parting(run, shown);
    EXPECT_EQ(ReadFileBytes(record_), RecordPrinted(printed)) << Tail(printed);

    // Over the installed sample (files left as they are, the earlier record
    // merged and replaced, the count raised again), then its uninstall (the
    // library kept, still counted).
    std::string installed = PrefixSnapshot();
    const std::vector<std::string> again = Previewed(true, out);
    const std::string printedAgain = ReadFileBytes(out);
    after = PrefixSnapshot();
    EXPECT_TRUE(installed == after) << "made:\n" << Missing(after, installed) << "\nremoved:\n" << Missing(installed, after);
    const std::vector<std::string> runAgain = CallsOf(Traced(true)), shownAgain = CallsOf(again);
    EXPECT_TRUE(runAgain == shownAgain) << Parting(runAgain, shownAgain);
    EXPECT_EQ(ReadFileBytes(record_), RecordPrinted(printedAgain)) << Tail(printedAgain);
    EXPECT_TRUE(Has(printedAgain, "そのまま(コピー先が同じか新しい) " + app_ + "SAMPLE.EXE")) << Tail(printedAgain);
    installed = PrefixSnapshot();
    const std::vector<std::string> uninstall = Previewed(false, out);
    const std::string printedRemoval = ReadFileBytes(out);
    EXPECT_TRUE(Has(printedRemoval, "記録の確認: " + record_ + " はインストール時のまま")) << Tail(printedRemoval);
    EXPECT_TRUE(Has(printedRemoval, "残す " + dll_ + " (共有カウント 1: ほかのプログラムも使う)")) << Tail(printedRemoval);
    after = PrefixSnapshot();
    EXPECT_TRUE(installed == after) << "made:\n" << Missing(after, installed) << "\nremoved:\n" << Missing(installed, after);
    const std::vector<std::string> removal = CallsOf(Traced(false)), shownRemoval = CallsOf(uninstall);
    EXPECT_TRUE(removal == shownRemoval) << Parting(removal, shownRemoval);
    ExpectAsBefore(before, 1, 0);
}

// Another script: a file expanded under the name its header holds, a "/W"
// copy over a newer file, an INI entry into a file that is there, a
// wildcard to delete, and an association over one another program made
// (restored by the uninstall). Its preview lists its run's calls as well.
TEST_F(KilledRuns, APreviewOfAnotherScriptListsItsRunsChangesToo) {
    std::string packed = ReadFileBytes(BinFolder() + "lzdata\\sample.txt_");
    ASSERT_GT(packed.size(), 10u);
    packed[9] = 't';  // the header's missing last letter
    dist_.Write("SAMPLE.TX_", packed);
    dist_.Write("PLAIN.TXT", "plain");
    dist_.WriteScript("[Title]\r\nSetup=プレビューのテスト\r\nUnSetupKey=RavelinSample\r\n"
                      "[MakeFolder]\r\nFolder1=(App)\\LOG\r\n"
                      "[CopyFile]\r\nFile1=(App)\\SAMPLE.TX_\r\nFile2=(App)\\PLAIN.TXT,/W\r\n"
                      "[IniFile]\r\nData1=Opts,Path,(App),(App)APP.INI\r\n"
                      "[AddDeleteFile]\r\nFile1=(App)LOG\\*.LOG\r\nFile2=(App)APP.INI\r\n"
                      "[Relate]\r\nName1=rvprev,プレビュー文書\r\nFile1=open,(App)PLAIN.TXT,,\"%1\",0\r\n");
    const std::string app = app_;
    CreateDirectoryA(app.c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(app + "PLAIN.TXT", "newer"));
    ASSERT_TRUE(WriteFileBytes(app + "APP.INI", "[Other]\r\nKey=1\r\n"));
    {
        RegKey type;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, ".rvprev", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                                 type.put(), nullptr));
        RegSetValueExA(type.get(), "", 0, REG_SZ, reinterpret_cast<const BYTE*>("rvprev_other"), 13);
    }
    const std::string out = logs_.path() + "preview.txt";
    const std::vector<std::string> install = Previewed(true, out);
    ASSERT_GT(install.size(), 10u);
    const std::vector<std::string> run = CallsOf(Traced(true)), shown = CallsOf(install);
    EXPECT_TRUE(run == shown) << Parting(run, shown);
    EXPECT_EQ(ReadFileBytes(record_), RecordPrinted(ReadFileBytes(out)));
    WriteFileBytes(app + "LOG\\RUN.LOG", "log");
    // A record changed since the install: the verdict, and nothing done.
    const std::string record = ReadFileBytes(record_);
    ASSERT_TRUE(WriteFileBytes(record_, record + "[DeleteFile]\r\nFile99=C:\\x\r\n"));
    for (const std::string& call : CallsOf(Previewed(false, out, 4)))
        EXPECT_TRUE(call == "WriteFile " || call.find("\\RVTMP") != std::string::npos)
            << "no more than the working folder's: " << ToUtf8(call);
    EXPECT_TRUE(Has(ReadFileBytes(out), "記録の確認: " + record_ + " はインストール時の確認用の値と一致しない"));
    ASSERT_TRUE(WriteFileBytes(record_, record));
    const std::vector<std::string> uninstall = Previewed(false, out);
    const std::vector<std::string> removal = CallsOf(Traced(false)), shownRemoval = CallsOf(uninstall);
    EXPECT_TRUE(removal == shownRemoval) << Parting(removal, shownRemoval);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ".rvprev");
    RemoveTree(app);
}

// Killed after k changes, then started again the same way: the second run
// finishes the job, and the library, which another program counts too,
// keeps that program's count (never taken down twice, never left raised).
TEST_F(KilledRuns, AnUninstallKilledAnywhereIsFinishedByTheNextWithoutTakingACountTwice) {
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "the snapshot is taken with Wine's Unix side";
    SetSharedCount(dll_, 1);
    const std::string before = PrefixSnapshot();
    ASSERT_NE(std::string::npos, before.find("./windows/system32\n")) << "the snapshot lists no files";

    ASSERT_EQ(0u, Install()) << Tail(ReadFileBytes(InstallLog()));
    quiet_ = QuietCommand();
    ASSERT_FALSE(quiet_.empty()) << "no QuietUninstallString";
    const std::vector<std::string> trace = Traced(false);
    ASSERT_GT(trace.size(), 10u);
    ExpectAsBefore(before, 1, 1);

    // Besides the spread: right after the count is taken down, right after
    // the record is deleted, right after its digest is dropped, right after
    // the entry is removed.
    const std::vector<long> ks =
        KillPointsOf(trace.size(), 10,
                     {FirstChange(trace, {"RegSetValueEx", "RVSAMPLE.DLL"}),
                      FirstChange(trace, {"CreateFile", "\\UNSETUP.INI"}),
                      FirstChange(trace, {"RegDeleteValue", "\\UNSETUP.INI"}),
                      FirstChange(trace, {"RegDeleteKey", "RavelinSample"})});
    const long cleanUp = ChangesBeforeCleanUp(trace);
    std::printf("uninstall: %zu changes; killed after %s\n", trace.size(), Points(ks).c_str());
    for (long k : ks) std::printf("  %ld: %s\n", k, k > 0 ? ToUtf8(trace[k - 1]).c_str() : "(none)");
    for (long k : ks) {
        SCOPED_TRACE("uninstall killed after " + std::to_string(k) + " of " + std::to_string(trace.size()) +
                     " changes: " + (k > 0 ? ToUtf8(trace[k - 1]) : std::string("none")));
        SampleLeftovers thisCase(app_);
        SetSharedCount(dll_, 1);
        EXPECT_EQ(0u, Install()) << Tail(ReadFileBytes(InstallLog()));
        EXPECT_TRUE(KilledOrDone(Uninstall(k), k, cleanUp)) << Tail(ReadFileBytes(UninstallLog()));
        const bool record = FileExistsAt(record_), progress = FileExistsAt(progress_);
        // While the record is there the entry lists the program, so the
        // uninstall can be started again; an entry left after the record
        // needs the progress file, by which the next start finishes it.
        if (record) {
            EXPECT_TRUE(EntryExists()) << "the record is left but nothing lists the program any more";
        }
        if (EntryExists()) {
            EXPECT_TRUE(record || progress) << "the entry outlives the record and the progress file";
        }
        const DWORD second = Uninstall();
        // With neither left, the killed run had done everything: the second
        // finds no record (4, could not start).
        EXPECT_EQ(record || progress ? 0u : 4u, second) << Tail(ReadFileBytes(UninstallLog()));
        EXPECT_FALSE(FileExistsAt(progress_)) << "the progress file goes with the record";
        EXPECT_FALSE(EntryExists());
        ExpectAsBefore(before, 1, 1);
    }
}

// An error nobody foresaw, thrown where the run holds a temporary expansion
// file (the shared count of a packed library is raised): logged with its
// text, the program ends with its own code and no box, and the temporary
// file does not stay.
TEST(UnforeseenError, IsLoggedAndEndsWithItsCodeLeavingNoTemporaryFile) {
    Distribution dist;
    ScratchFolder target, logs;
    // The test build becomes the uninstaller; the one there now comes back.
    RestoredFile unravel(WindowsFolder() + "UNRAVEL.EXE");
    const std::string killable = BinFolder() + "SETUP_KILLABLE.EXE";
    ASSERT_TRUE(CopyFileA(killable.c_str(), dist.exe().c_str(), FALSE));
    std::string packed = ReadFileBytes(BinFolder() + "lzdata\\sample.txt_");
    ASSERT_GT(packed.size(), 10u);
    packed[9] = 't';  // the header's missing last letter
    dist.Write("SAMPLE.TX_", packed);
    dist.WriteScript("[Title]\r\nSetup=例外のテスト\r\nUnSetupKey=RavelinThrowTest\r\n"
                     "[CopyFile]\r\nFile1=(App)\\SAMPLE.TX_,/S\r\n");
    const std::string app = target.path() + "App\\";
    const std::string log = logs.path() + "install.log", trace = logs.path() + "trace.txt";
    const std::string command = fuzz::Quoted(dist.exe()) + " /S " + fuzz::Quoted("/LOG=" + log) + " " +
                                fuzz::Quoted("/D=" + app);
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    {
        const ScopedVariable traced("RV_KILL_TRACE", trace);
        ASSERT_EQ(0u, fuzz::RunBounded(command, kRunBoundMs).code) << Tail(ReadFileBytes(log));
    }
    const std::vector<std::string> lines = TraceLines(trace);
    const long expanded = FirstChange(lines, {"EXPAND.RVS"}), count = FirstChange(lines, {"RegCreateKeyEx", "SharedDLLs"});
    ASSERT_TRUE(expanded > 0 && count > expanded) << "the count is raised after the expansion";
    RemoveTree(app);
    SetSharedCount(app + "sample.txt", 0);
    const ScopedVariable after("RV_KILL_AFTER", std::to_string(count - 1));
    const ScopedVariable thrown("RV_KILL_THROW", "1");
    const fuzz::RunResult result = fuzz::RunBounded(command, kRunBoundMs);
    EXPECT_FALSE(result.hung) << "a box held the program";
    EXPECT_EQ(1603u, result.code);
    const std::string text = ReadFileBytes(log);
    EXPECT_TRUE(Has(text, "[エラー] 予期しないエラーが発生しました: RV_KILL_THROW: RegCreateKeyEx")) << Tail(text);
    EXPECT_TRUE(Has(text, "[終了コード] 1603")) << Tail(text);
    EXPECT_FALSE(FileExistsAt(std::string(temp) + "EXPAND.RVS")) << "the temporary expansion file stayed";
    SetSharedCount(app + "sample.txt", 0);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RavelinThrowTest");
}

// The countdown is the test build's alone: the shipped program does not even
// hold the names of its variables.
TEST(KillCountdown, OnlyTheTestBuildHasIt) {
    const std::string shipped = ReadFileBytes(BinFolder() + "SETUP.EXE");
    const std::string killable = ReadFileBytes(BinFolder() + "SETUP_KILLABLE.EXE");
    ASSERT_FALSE(shipped.empty());
    ASSERT_FALSE(killable.empty());
    for (const char* name : {"RV_KILL_AFTER", "RV_KILL_REPORT", "RV_KILL_TRACE", "RV_KILL_THROW"}) {
        EXPECT_FALSE(Has(shipped, name)) << name;
        EXPECT_TRUE(Has(killable, name)) << name;
    }
}
