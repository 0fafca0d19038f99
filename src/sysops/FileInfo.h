#pragma once
// What the install run asks about files and folders, and the one folder
// operation it makes itself. Nothing here shows a message.
#include <string>

// The size of a file (any attributes), in 64 bits; false when there is no
// file of the name (nothing, or a folder). One look at the name, no folder
// opened.
bool FileSizeOf(const std::string& path, unsigned long long& size);

// Compares the last-write times of two files: 1 when first is later, 0 when
// equal, -1 when earlier; 2 when either time is unknown (missing file or a
// time the system cannot give).
int CompareFileTimes(const std::string& first, const std::string& second);

// Creates the last level of the folder path (the parent must exist). 0 when
// the folder was made or already existed, else the Win32 code (183 when a
// file, not a folder, has that name).
unsigned long MakeFolder(const std::string& path);
