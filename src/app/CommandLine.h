#pragma once
// The program's command line: SETUP.EXE [/S] [/D=folder] [/LOG=file], and
// UNRAVEL.EXE "X:\App\UNSETUP.INI" [/S] [/LOG=file]. Pure text work, no
// system calls, so every rule is tested without starting the program.
#include <string>
#include <vector>

// The arguments after the program name. Quotes group and are dropped;
// backslashes are always literal (a folder may end in "\" right before its
// closing quote); a double-byte character is kept whole.
std::vector<std::string> SplitArguments(const std::string& commandLine);

struct LaunchCommand {
    bool valid = true;           // false: an unknown or malformed switch
    std::string error;           // why not valid, for the log and stderr
    bool silent = false;         // /S
    bool hasFolder = false;      // /D= given
    std::string folder;          // /D= value, quotes removed
    std::string logFile;         // /LOG= value, quotes removed; empty: no log
    bool hasSwitches = false;    // any argument starting with "/"
    std::string recordArgument;  // the first argument that is not a switch
};

// Switches are case-insensitive and may come in any order; "/D=" takes the
// rest of its argument. "/D=" with an uninstall record, an empty "/D=" or
// "/LOG=", and any other "/..." argument make the command invalid.
LaunchCommand ParseCommandLine(const std::string& commandLine);

// The exit codes of the program.
namespace ExitCode {
constexpr int kDone = 0;
constexpr int kDoneWithFailures = 1;
constexpr int kStoppedUnchanged = 2;
constexpr int kStoppedChanged = 3;
constexpr int kCannotStart = 4;
constexpr int kBadCommandLine = 87;     // ERROR_INVALID_PARAMETER
constexpr int kAnotherSetup = 1618;     // ERROR_INSTALL_ALREADY_RUNNING
constexpr int kRestartNeeded = 3010;    // ERROR_SUCCESS_REBOOT_REQUIRED
}  // namespace ExitCode
