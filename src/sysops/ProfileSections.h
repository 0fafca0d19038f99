#pragma once
// Removal of a whole section from an INI file, as the uninstall run takes a
// program's line out of the program-ID list.
#include <string>

// Deletes the section with all its keys and flushes the system's cached
// copy of the file. true when the system accepted the deletion (also when
// the section or the file did not exist).
bool DeleteIniSection(const std::string& file, const std::string& section);
