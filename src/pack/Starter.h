#pragma once
// A starter setup script for a folder tree: everything in the tree
// installed into a folder under Program Files in the same shape, a start
// menu shortcut for the first program, the Add/Remove Programs values and
// the uninstall sections, with comments saying what each section does.
#include <string>
#include <vector>

struct StarterScript {
    std::string text;                  // CP932, CR LF
    std::vector<std::string> skipped;  // files an entry cannot name (a "," in the name)
    std::vector<std::string> links;    // links in the tree, left out with what they point at
};

// The script for the tree (the files of the tree's own root are installed
// into the install folder, those of a sub-folder into the same sub-folder).
// The tree's SETUP.INI, SETUP.EXE and RVPACK.EXE are left out.
StarterScript MakeStarterScript(const std::string& tree);
