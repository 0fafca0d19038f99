#pragma once
// The script checker: what in a setup script, and on the medium beside it,
// would make an install or a later uninstall do other than its author
// meant, told before either runs, each finding on the line it is about.
// Reads only; shows nothing.
#include <string>
#include <vector>

struct Finding {
    size_t line = 0;     // from 1
    bool error = false;  // else a warning
    std::string code;    // "RV101": its family and kind, listed in the README
    std::string text;    // CP932
};

struct CheckResult {
    bool scriptFound = false;
    std::vector<Finding> findings;  // in line order
    bool HasErrors() const;
};

// The script at the path, with its medium: the folder it lies in (or the
// DISK<n> folders beside it).
CheckResult CheckScript(const std::string& scriptPath);

// "path(LINE): error CODE: text", the form editors and build logs jump from.
std::string FormatFinding(const std::string& shownPath, const Finding& finding);
