#pragma once
// The distribution a checked script asks for: SETUP.EXE, the script, the
// licence, the readme and the checker on the first disk, every copy source
// where the install looks for it; optionally compressed ("_" names, the
// script's entries rewritten to name the installed file) and split into
// disks of a size (DISK1\, DISK2\, ... with "(Dch)" at each disk's first
// entry).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct BuildOptions {
    std::string project;    // the folder of SETUP.INI and the files
    std::string out;        // made, or empty
    std::string setupExe;   // the program put beside the script
    bool compress = false;
    std::uint64_t diskSize = 0;  // 0: the script's own disks
};

struct BuildReport {
    std::vector<std::string> errors;  // nothing usable was made when not empty
    int files = 0;                    // copy sources laid out (once per disk they are on)
    int compressed = 0;
    std::uint64_t before = 0, after = 0;  // their bytes, as found and as laid out
    int disks = 1;
    std::string script;               // the script made
};

// progress: a short text for each file as it is laid out.
BuildReport BuildDistribution(const BuildOptions& options, const std::function<void(const std::string&)>& progress);

// "/DISK=" sizes: bytes, or with a K or M suffix (1024, 1024 * 1024); false
// for anything else or 0.
bool ParseDiskSize(const std::string& text, std::uint64_t& size);

// A [CopyFile] value with its source's file name (as the expanded entry has
// it) replaced by the compressed one, so that the installed file keeps its
// name: "(App)\DATA.DAT" gives "(App)\DATA.DA_|DATA.DAT", a "(From)" entry
// changes only its source part. Empty when the value does not end its
// source part with that name.
std::string RewriteCopyValue(const std::string& value, const std::string& sourceName, const std::string& compressedName);
