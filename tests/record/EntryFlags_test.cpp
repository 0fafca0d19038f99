// The flag field of a file entry: which markers it holds, found as the whole
// program finds them, and what the package checker is told it does not know.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record/EntryFlags.h"

namespace {

struct Row {
    const char* field;
    const char* markers;  // the markers found, in the order S C L F W R
    const char* lead;
    std::vector<std::string> unknown;
};

std::string Markers(const EntryFlags& f) {
    std::string found;
    if (f.shared) found += 'S';
    if (f.confirm) found += 'C';
    if (f.leave) found += 'L';
    if (f.force) found += 'F';
    if (f.overwrite) found += 'W';
    if (f.registered) found += 'R';
    return found;
}

TEST(EntryFlagsTest, FindsEachMarkerAsARecordOrScriptWritesIt) {
    const std::vector<Row> table = {
        {"", "", "", {}},
        {"/S/R", "SR", "", {}},
        {",/S/R", "SR", "", {}},                   // the install's form keeps the comma
        {"/r/s", "SR", "", {}},                    // any order, any case
        {"/S/C/L/F/W/R", "SCLFWR", "", {}},
        {"/S/S", "S", "", {}},                     // a merged record repeats "/S"
        {"/SR", "S", "", {"SR"}},                  // a search, not a parse: "/S" is there, "/R" is not
        {"/S/", "S", "", {""}},
        {"/S/X/Ab", "S", "", {"X", "Ab"}},
        {"S/R", "R", "S", {}},                     // text before the first "/"
        {"SR", "", "SR", {}},
        {"/\x83\x5c/S", "S", "", {"\x83\x5c"}},    // "ソ" stays whole
        {"/\x82\x72", "", "", {"\x82\x72"}},       // full-width "Ｓ" is no marker
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.field);
        const EntryFlags flags = EntryFlags::Read(row.field);
        EXPECT_EQ(row.markers, Markers(flags));
        EXPECT_EQ(row.lead, flags.lead);
        EXPECT_EQ(row.unknown, flags.unknown);
    }
}

// [AddDeleteFile] takes only the uninstall's markers: "/W" and "/R" are
// reported there, and still read.
TEST(EntryFlagsTest, ReportsMarkersTheListDoesNotTake) {
    const EntryFlags flags = EntryFlags::Read("/s/W/c/R/f/l", "SCFL");
    EXPECT_EQ("SCLFWR", Markers(flags));
    EXPECT_EQ((std::vector<std::string>{"W", "R"}), flags.unknown);
}

}  // namespace
