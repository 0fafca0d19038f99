#pragma once
// The markers of a file entry's flag field ('/S/R'), read in one place. Each
// marker is found as it always was: a case-insensitive search (IPos) of the
// whole field, never inside a double-byte character, so markers stand in any
// order, a repeated one counts once, and "/SR" still holds "/S". The field
// itself stays text wherever it is stored: a record keeps it as written.
#include <string>
#include <vector>

struct EntryFlags {
    bool shared = false;      // "/S": counted under SharedDLLs by the install
    bool confirm = false;     // "/C": ask before the uninstall deletes it
    bool leave = false;       // "/L": the uninstall leaves it in place
    bool force = false;       // "/F": a file that survives goes at the restart
    bool overwrite = false;   // "/W": copied whatever the overwrite policy says
    bool registered = false;  // "/R": self-registered after the copy

    // What the field holds besides the markers, for the package checker:
    // lead is the text before the first "/" (empty when the field starts
    // with it), unknown every part after a "/" that is not one letter of
    // known (any case), as written ("" for a "/" with nothing after it).
    std::string lead;
    std::vector<std::string> unknown;

    // The flag field alone, with or without the "," before it. known: the
    // marker letters the entry's list takes ("SCFL" for [AddDeleteFile]).
    static EntryFlags Read(const std::string& field, const char* known = kAllMarkers);
    static constexpr const char* kAllMarkers = "SCFLWR";
};
