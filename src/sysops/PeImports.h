#pragma once
// The libraries a program or library names in its import table, read
// through a file already held open (so that what is read is what the
// system will map). Loading a library loads these too, from the folders the
// load searches: those that lie beside it must be what the install left.
#include <string>
#include <vector>

#include "app/SystemChanges.h"

// The names (as written, e.g. "HELPER.DLL") of the import table of the PE
// file; empty when it has none or the file is no PE image it can read. A
// damaged or hostile file gives what could be read of it, never more than a
// bounded number of names.
std::vector<std::string> ImportedLibraries(OpenedFile& file);
