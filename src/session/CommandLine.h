#pragma once
// The program's command line: SETUP.EXE [/S | /PREVIEW] [/LOG=file]
// [/D=folder], and UNRAVEL.EXE "X:\App\UNSETUP.INI" [/S | /PREVIEW]
// [/LOG=file]; parsed once, at the
// entry, and handed on. Pure text work, no system calls, so every rule is
// tested without starting the program.
#include <string>
#include <vector>

// The arguments after the program name. Quotes group and are dropped;
// backslashes are always literal (a folder may end in "\" right before its
// closing quote); a double-byte character is kept whole.
std::vector<std::string> SplitArguments(const std::string& commandLine);

// The first command-line argument by the Windows rules (quotes group, "\""
// escapes), empty when there is none.
std::string FirstArgument(const std::string& commandLine);

struct LaunchCommand {
    bool valid = true;           // false: an unknown or malformed switch or word
    std::string error;           // why not valid, for the log and stderr
    bool silent = false;         // /S
    bool preview = false;        // /PREVIEW: the run as /S would make it, changing nothing
    bool hasFolder = false;      // /D= given
    std::string folder;          // /D= value, quotes removed
    std::string logFile;         // /LOG= value, quotes removed; empty: no log
    bool hasSwitches = false;    // any argument starting with "/"
    // The argument start-up takes (a record names an uninstall): with
    // switches the first argument that is not one; without any, the first
    // argument as a plain start has always read it (FirstArgument).
    std::string recordArgument;
};

// Switches are case-insensitive; "/D=" is the last one and takes the rest of
// the line, blanks included, quotes dropped, trailing blanks trimmed. Invalid:
// a "/..." word in that rest, "/D=" with an uninstall record, an empty "/D="
// or "/LOG=", /S with /PREVIEW, any other "/..." argument, a word that is not a switch in
// install mode, and a second such word in uninstall mode (the first word's
// file name "UNSETUP.INI" makes the uninstall).
LaunchCommand ParseCommandLine(const std::string& commandLine);
