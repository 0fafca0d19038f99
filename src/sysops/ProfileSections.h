#pragma once
// Removal of a whole section from an INI file, as the uninstall run takes a
// program's line out of the program-ID list.
#include <string>

// Deletes the first section of the name with all its lines, leaving every
// other byte of the file as it was. true when it is gone (also when the
// section or the file did not exist).
bool DeleteIniSection(const std::string& file, const std::string& section);
