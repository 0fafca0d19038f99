// The command line: arguments split as paths need them, the switches, the
// record argument, and the exit code of a run's outcome.
#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/RunOutcome.h"

namespace {

using Args = std::vector<std::string>;

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

TEST(ParseCommandLine, APlainStartHasNoSwitches) {
    const LaunchCommand none = ParseCommandLine("SETUP.EXE");
    EXPECT_TRUE(none.valid);
    EXPECT_FALSE(none.silent);
    EXPECT_FALSE(none.hasSwitches);
    EXPECT_EQ("", none.recordArgument);

    const LaunchCommand record = ParseCommandLine("UNRAVEL.EXE \"C:\\Program Files\\App\\UNSETUP.INI\"");
    EXPECT_TRUE(record.valid);
    EXPECT_FALSE(record.hasSwitches);
    EXPECT_EQ("C:\\Program Files\\App\\UNSETUP.INI", record.recordArgument);
}

TEST(ParseCommandLine, SwitchesInAnyOrderAndCase) {
    for (const char* line : {"SETUP.EXE /S /D=C:\\App /LOG=C:\\l.log", "SETUP.EXE /log=C:\\l.log /d=C:\\App /s",
                             "SETUP.EXE /Log=\"C:\\l.log\" /s \"/D=C:\\App\""}) {
        const LaunchCommand c = ParseCommandLine(line);
        EXPECT_TRUE(c.valid) << line << ": " << c.error;
        EXPECT_TRUE(c.silent) << line;
        EXPECT_TRUE(c.hasFolder) << line;
        EXPECT_EQ("C:\\App", c.folder) << line;
        EXPECT_EQ("C:\\l.log", c.logFile) << line;
        EXPECT_EQ("", c.recordArgument) << line;
    }
}

TEST(ParseCommandLine, DTakesTheRestOfItsArgumentWithBlanksAndEquals) {
    const LaunchCommand c = ParseCommandLine("SETUP.EXE /S \"/D=C:\\A=B C\\x y\"");
    EXPECT_TRUE(c.valid);
    EXPECT_EQ("C:\\A=B C\\x y", c.folder);
}

TEST(ParseCommandLine, TheRecordIsTheFirstArgumentThatIsNoSwitch) {
    const LaunchCommand before = ParseCommandLine("UNRAVEL.EXE /S \"C:\\App\\UNSETUP.INI\" other /LOG=u.log");
    EXPECT_TRUE(before.valid);
    EXPECT_TRUE(before.silent);
    EXPECT_EQ("C:\\App\\UNSETUP.INI", before.recordArgument);
    EXPECT_EQ("u.log", before.logFile);
    // The uninstall string Windows stores, with " /S" added.
    const LaunchCommand quiet = ParseCommandLine("C:\\windows\\UNRAVEL.EXE \"C:\\My App\\UNSETUP.INI\" /S");
    EXPECT_TRUE(quiet.valid);
    EXPECT_TRUE(quiet.silent);
    EXPECT_EQ("C:\\My App\\UNSETUP.INI", quiet.recordArgument);
}

TEST(ParseCommandLine, UnknownOrMalformedSwitchesAreInvalid) {
    for (const char* line : {"SETUP.EXE /X", "SETUP.EXE /S /Q", "SETUP.EXE /SILENT", "SETUP.EXE /S /D=",
                             "SETUP.EXE /S /LOG=", "SETUP.EXE /S /LOG", "SETUP.EXE /", "SETUP.EXE /D C:\\App",
                             "UNRAVEL.EXE C:\\App\\UNSETUP.INI /S /D=C:\\Other"}) {
        const LaunchCommand c = ParseCommandLine(line);
        EXPECT_FALSE(c.valid) << line;
        EXPECT_FALSE(c.error.empty()) << line;
    }
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
