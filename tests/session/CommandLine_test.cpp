// The command line: arguments split as paths need them, the switches, the
// record argument, and the exit code of a run's outcome.
#include <gtest/gtest.h>

#include <cctype>

#include "app/RunOutcome.h"
#include "session/CommandLine.h"

namespace {

using Args = std::vector<std::string>;

bool IPosAscii(std::string text, const std::string& word) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text.find(word) != std::string::npos;
}

TEST(SplitArguments, ProgramNameDroppedQuotesGroupBackslashesStayLiteral) {
    EXPECT_EQ(Args{}, SplitArguments("SETUP.EXE"));
    EXPECT_EQ(Args{}, SplitArguments("\"C:\\Media Files\\SETUP.EXE\"   "));
    EXPECT_EQ((Args{"/S", "/D=C:\\My App\\"}), SplitArguments("\"C:\\a b\\SETUP.EXE\" /S /D=\"C:\\My App\\\""));
    EXPECT_EQ((Args{"/D=C:\\My App\\", "/LOG=x.log"}), SplitArguments("SETUP.EXE \"/D=C:\\My App\\\" /LOG=x.log"));
    EXPECT_EQ((Args{"C:\\App\\UNSETUP.INI", "/S"}), SplitArguments("UNRAVEL.EXE\t\"C:\\App\\UNSETUP.INI\"  /S"));
}

TEST(SplitArguments, DoubleByteCharactersStayWhole) {
    // "表" is 0x95 0x5C in CP932: its second byte is a backslash.
    EXPECT_EQ((Args{"/D=C:\\表\\", "/S"}), SplitArguments("SETUP.EXE \"/D=C:\\表\\\" /S"));
}

// A plain start: the first argument as the C runtime splits it.

TEST(FirstArgument, NoneGivesEmpty) {
    EXPECT_EQ(FirstArgument(""), "");
    EXPECT_EQ(FirstArgument("SETUP.EXE"), "");
    EXPECT_EQ(FirstArgument("\"C:\\Media Files\\SETUP.EXE\"   "), "");
}

TEST(FirstArgument, QuotedPathsWithSpacesStayWhole) {
    EXPECT_EQ(FirstArgument("\"C:\\WINDOWS\\UNRAVEL.EXE\" \"C:\\Program Files\\App\\UNSETUP.INI\""),
              "C:\\Program Files\\App\\UNSETUP.INI");
    EXPECT_EQ(FirstArgument("C:\\WINDOWS\\UNRAVEL.EXE C:\\App\\UNSETUP.INI second"), "C:\\App\\UNSETUP.INI");
    EXPECT_EQ(FirstArgument("setup \"a b\"c d"), "a bc");
    // The program name ends at its closing quote; text attached to it starts
    // the first argument.
    EXPECT_EQ(FirstArgument("\"C:\\my dir\\SETUP.EXE\"x y"), "x");
}

TEST(FirstArgument, BackslashesBeforeQuotes) {
    EXPECT_EQ(FirstArgument("p a\\\\b"), "a\\\\b");  // not before a quote: kept
    EXPECT_EQ(FirstArgument("p \"C:\\dir\\\\\""), "C:\\dir\\");  // 2n -> n, quote ends
    EXPECT_EQ(FirstArgument("p a\\\"b"), "a\"b");                // 2n+1 -> literal quote
    EXPECT_EQ(FirstArgument("p \"a\"\"b\""), "a\"b");
}

TEST(FirstArgument, DoubleByteCharactersEndingIn5CAreNotBackslashes) {
    // "表" is 0x95 0x5C in CP932; a quote after it still ends the quoting.
    std::string arg = "C:\\表\\UNSETUP.INI";
    EXPECT_EQ(FirstArgument("p \"" + arg + "\" next"), arg);
    std::string table = "表";
    EXPECT_EQ(FirstArgument("p \"C:\\" + table + "\" next"), "C:\\" + table);
}

// Every form of the line, valid or not: what a plain start, the wizard with
// a log, an unattended install or uninstall and a deployment tool write.
TEST(ParseCommandLine, EveryFormOfTheLine) {
    const struct {
        const char* line;
        bool valid, silent, switches;
        const char* folder;  // nullptr: no /D=
        const char* log;
        const char* record;
    } rows[] = {
        {"SETUP.EXE", true, false, false, nullptr, "", ""},
        {"UNRAVEL.EXE \"C:\\Program Files\\App\\UNSETUP.INI\"", true, false, false, nullptr, "",
         "C:\\Program Files\\App\\UNSETUP.INI"},
        // Any order and case, /D= last.
        {"SETUP.EXE /S /LOG=C:\\l.log /D=C:\\App", true, true, true, "C:\\App", "C:\\l.log", ""},
        {"SETUP.EXE /log=C:\\l.log /s /d=C:\\App", true, true, true, "C:\\App", "C:\\l.log", ""},
        {"SETUP.EXE /Log=\"C:\\l.log\" /s \"/D=C:\\App\"", true, true, true, "C:\\App", "C:\\l.log", ""},
        // /D= takes the rest of the line: blanks and "=" kept, quotes
        // dropped, trailing blanks trimmed.
        {"SETUP.EXE /S /D=C:\\Program Files\\My App  \t", true, true, true, "C:\\Program Files\\My App", "", ""},
        {"SETUP.EXE /S \"/D=C:\\A=B C\\x y\"", true, true, true, "C:\\A=B C\\x y", "", ""},
        {"SETUP.EXE /S /D=\"C:\\My App\\\"", true, true, true, "C:\\My App\\", "", ""},
        {"SETUP.EXE /S /D=C:\\表 ソフト\\", true, true, true, "C:\\表 ソフト\\", "", ""},
        // A switch after /D= is in its rest: refused, never part of a folder.
        {"SETUP.EXE /S /D=C:\\Program Files\\My App /LOG=C:\\t\\l.log", false, true, true, "", "", ""},
        {"SETUP.EXE \"/D=C:\\My App\" /S", false, false, true, "", "", ""},
        // The record, and the stored uninstall string with " /S" added.
        {"UNRAVEL.EXE /S \"C:\\App\\UNSETUP.INI\" /LOG=u.log", true, true, true, nullptr, "u.log",
         "C:\\App\\UNSETUP.INI"},
        {"C:\\windows\\UNRAVEL.EXE \"C:\\My App\\UNSETUP.INI\" /S", true, true, true, nullptr, "",
         "C:\\My App\\UNSETUP.INI"},
        // A word that is not a switch: only an uninstall takes one.
        {"UNRAVEL.EXE /S \"C:\\App\\UNSETUP.INI\" other /LOG=u.log", false, true, true, nullptr, "", ""},
        {"UNRAVEL.EXE C:\\Program Files\\App\\UNSETUP.INI /S", false, true, true, nullptr, "", ""},
        {"SETUP.EXE -S", false, false, false, nullptr, "", ""},
        {"SETUP.EXE /S C:\\App", false, true, true, nullptr, "", ""},
        {"SETUP.EXE C:\\App\\unsetup.ini", false, false, false, nullptr, "", ""},
        // Unknown or malformed switches.
        {"SETUP.EXE /X", false, false, true, nullptr, "", ""},
        {"SETUP.EXE /S /Q", false, true, true, nullptr, "", ""},
        {"SETUP.EXE /SILENT", false, false, true, nullptr, "", ""},
        {"SETUP.EXE /S /D=", false, true, true, "", "", ""},
        {"SETUP.EXE /S /LOG=", false, true, true, nullptr, "", ""},
        {"SETUP.EXE /S /LOG", false, true, true, nullptr, "", ""},
        {"SETUP.EXE /", false, false, true, nullptr, "", ""},
        {"SETUP.EXE /D C:\\App", false, false, true, nullptr, "", ""},
        {"UNRAVEL.EXE C:\\App\\UNSETUP.INI /S /D=C:\\Other", false, true, true, "C:\\Other", "", ""},
        // A preview: with /LOG= and /D= as /S takes them, never with /S.
        {"SETUP.EXE /preview /LOG=p.log /D=C:\\App", true, false, true, "C:\\App", "p.log", ""},
        {"UNRAVEL.EXE \"C:\\App\\UNSETUP.INI\" /PREVIEW", true, false, true, nullptr, "", "C:\\App\\UNSETUP.INI"},
        {"SETUP.EXE /PREVIEW /S", false, true, true, nullptr, "", ""},
        {"UNRAVEL.EXE C:\\App\\UNSETUP.INI /PREVIEW /D=C:\\Other", false, false, true, "C:\\Other", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.line);
        const LaunchCommand c = ParseCommandLine(row.line);
        EXPECT_EQ(row.valid, c.valid) << c.error;
        EXPECT_EQ(row.valid, c.error.empty()) << c.error;
        EXPECT_EQ(row.silent, c.silent);
        EXPECT_EQ(IPosAscii(row.line, "/PREVIEW"), c.preview);
        EXPECT_EQ(row.switches, c.hasSwitches);
        if (!row.valid) continue;
        EXPECT_EQ(row.folder != nullptr, c.hasFolder);
        if (row.folder) {
            EXPECT_EQ(row.folder, c.folder);
        }
        EXPECT_EQ(row.log, c.logFile);
        EXPECT_EQ(row.record, c.recordArgument);
    }
    // Without switches the record is the first argument as a plain start has
    // always read it (a backslash before a quote escapes it there).
    EXPECT_EQ("C:\\A\"B\\UNSETUP.INI", ParseCommandLine("UNRAVEL.EXE C:\\A\\\"B\\UNSETUP.INI").recordArgument);
}

TEST(ExitCodeFor, EveryEndAndTheFailureAndRestartRules) {
    RunOutcome o;
    EXPECT_EQ(0, ExitCodeFor(o));
    o.restartNeeded = true;
    EXPECT_EQ(3010, ExitCodeFor(o));
    o.failures = 1;
    EXPECT_EQ(1, ExitCodeFor(o)) << "a failure the restart does not complete";
    o.restartNeeded = false;
    EXPECT_EQ(1, ExitCodeFor(o));
    o.failuresFromKeptFiles = 1;
    EXPECT_EQ(0, ExitCodeFor(o)) << "a folder held only by kept files";
    o.failures = 2;
    EXPECT_EQ(1, ExitCodeFor(o));
    o.failuresTheRestartCompletes = 1;
    o.restartNeeded = true;
    EXPECT_EQ(3010, ExitCodeFor(o)) << "only the restart is missing";
    o.failures = 3;
    EXPECT_EQ(1, ExitCodeFor(o));

    RunOutcome stopped;
    stopped.end = RunOutcome::End::StoppedUnchanged;
    stopped.failures = 3;
    EXPECT_EQ(2, ExitCodeFor(stopped));
    stopped.end = RunOutcome::End::StoppedChanged;
    EXPECT_EQ(3, ExitCodeFor(stopped));
    stopped.end = RunOutcome::End::Aborted;
    EXPECT_EQ(3, ExitCodeFor(stopped));
}

}  // namespace
