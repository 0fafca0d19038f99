#pragma once
// The tests before an install may start: the operating system the package
// refuses, and an earlier installation that must (strict) or should
// (advisory) be removed first. Each shows its box through MsgBox.
#include <string>

struct SetupState;

// True when [Extend] RejectOS names OSName; then the refusal box has been
// shown and the caller must leave only the end button usable.
bool RejectOperatingSystem(const SetupState& state);

// A check value of [Caution], resolved against the folder in the folder box.
struct CheckTarget {
    bool installedById = false;  // "IDCheck:<id>" found in the program-ID list
    std::string path;            // file to look for (when not installedById)
    std::string title;           // installed program's title (installedById)
};
CheckTarget ResolveCheckValue(const std::string& value, const std::string& folderShown,
                              const std::string& windowsFolder);

// The strict and then the advisory previous-installation test, showing their
// boxes. True when the strict test hit: only the end button may stay usable.
bool CheckPreviousInstallation(const SetupState& state, const std::string& folderShown);
