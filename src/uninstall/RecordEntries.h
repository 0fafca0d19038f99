#pragma once
// The Add/Remove Programs entries that start the uninstall of one record:
// those below SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall of
// HKEY_LOCAL_MACHINE whose UninstallString names the record. Only such an
// entry is an uninstall's to remove, whatever key name the record or its
// progress file holds and whatever folder the record calls its own.
#include <string>
#include <vector>

// True when the first text in double quotes of the command is the record
// (compared as canonical paths, without regard to case): the form the
// registration writes, 'C:\WINDOWS\UNRAVEL.EXE "C:\App\UNSETUP.INI"'.
bool CommandNamesRecord(const std::string& command, const std::string& recordFile);

// The key paths (relative to HKEY_LOCAL_MACHINE) of the entries whose
// UninstallString names the record.
std::vector<std::string> EntriesOfRecord(const std::string& recordFile);
