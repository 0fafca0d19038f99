#pragma once
// Removal of the working folders TempFolder + "RVTMP" + n + "\" when the
// program closes.
#include <string>

// The names of the files this program puts into a working folder: start-up's
// copies SETUPB.EXE, SETUP.INI, UNSETUP.INI and the install run's merge copy
// UNSETUPB.INI; without regard to case.
bool IsOwnWorkFile(const std::string& fileName);

// Removes the current working folder with everything in it, and every other
// TempFolder\RVTMP1..99 folder that holds nothing but this program's own
// files (a leftover of an earlier start). A folder that is a reparse point
// (junction, symbolic link) is never entered: its target is not ours. A
// leftover holding anything else is left alone.
void RemoveWorkFolders(const std::string& tempFolder, const std::string& currentWorkFolder);
