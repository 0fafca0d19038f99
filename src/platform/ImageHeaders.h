#pragma once
// Whether a file is the image this process runs: the uninstaller the
// install places is written from the program's own file, held from start-up
// on, and that file must be the one the system loaded, not one put in its
// place under its name before it was opened.
#include <string>

// True when bytes (the start of a file, at least its headers) hold the PE
// headers of the image the process was started from: the file header, the
// optional header (all but the load address, which the system may change
// in memory) and the section table.
bool HeadersOfThisImage(const std::string& bytes);
