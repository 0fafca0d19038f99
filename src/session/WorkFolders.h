#pragma once
// The working folder TempFolder + "RVTMP" + n + "\": made new by every
// start, private to it and held while it runs, and removed when it ends.
#include <string>

// The first of tempFolder + "RVTMP1\" ... "RVTMP99\" that can be made now.
// Each candidate is made in one call that fails when the name is taken, so
// a folder that is already there (anyone's, planted or left) is never used;
// the folder admits only SYSTEM and the Administrators, and the user when
// the program runs without their full rights (platform/PrivateFolder.h);
// and it is held open without delete sharing until ReleaseWorkFolder, so
// that it cannot be renamed away and replaced meanwhile. Empty when no
// candidate could be made (the last error says why).
std::string MakeWorkFolder(const std::string& tempFolder);
// Lets the folder MakeWorkFolder holds go (before it is removed).
void ReleaseWorkFolder();

// The names of the files this program puts into a working folder: start-up's
// script or record copy (SETUP.INI, UNSETUP.INI), the expansion's
// EXPAND.RVS, the install run's merge copy UNSETUPB.INI and the program copy
// SETUPB.EXE that earlier versions made; without regard to case.
bool IsOwnWorkFile(const std::string& fileName);

// Removes the current working folder with everything in it, and, unless
// onlyCurrent, every other TempFolder\RVTMP1..99 folder that holds nothing
// but this program's own files (a leftover of a start that was killed). A
// folder that is a reparse point (junction, symbolic link) is never
// entered: its target is not ours. A leftover holding anything else is left
// alone.
void RemoveWorkFolders(const std::string& tempFolder, const std::string& currentWorkFolder,
                       bool onlyCurrent = false);
