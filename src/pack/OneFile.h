#pragma once
// RVPACK build /ONEFILE: the distribution build lays out for one disk,
// packed behind the plain SETUP.EXE into a single program (sysops/Payload.h
// gives the layout), ready to be signed.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "pack/Build.h"
#include "pack/ScriptCheck.h"

struct OneFileReport {
    std::vector<std::string> errors;  // nothing was made when not empty
    std::string path;                 // the program made
    int files = 0;
    std::uint64_t expanded = 0;       // the files' bytes
    std::uint64_t payload = 0;        // the payload's bytes (without the stub)
    std::uint64_t stub = 0;           // the stub's bytes
};

// The program's file name: the [Title] Program value's ASCII letters,
// digits, "-", "_" and "." with ".EXE", else "SETUP.EXE".
std::string DefaultOneFileName(const std::string& scriptPath);

// Builds options.out + "\" + name (options.compress and diskSize must be
// off). progress: a short text for each file as it is packed.
OneFileReport BuildOneFile(const BuildOptions& options, const std::string& name,
                           const std::function<void(const std::string&)>& progress);

// What will not work from a one-file: "(Edr)" (the drive of the working
// folder, not of the download) and "(Dch)" (no disks), and a checker, which
// finds beside itself only what the package holds.
std::vector<Finding> OneFileFindings(const std::string& scriptPath);
