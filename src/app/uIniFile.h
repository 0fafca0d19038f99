#pragma once
// The primitives through which every profile (INI) file is read and written.
//
// The files are read and written by the program itself, as code page 932
// bytes, so a script or record reads the same on any system code page (the
// system's profile functions convert with the system's code page). The rules
// are those of the system's profile functions on a Japanese system (see
// app/ProfileText.h); as there, a file named without any folder is the one
// in the Windows folder. A file the system maps into the registry (WIN.INI and
// the like on the NT family) is left to the system's functions.
//
// Each file is read once and kept: a later read looks at the file's size and
// time of last write (its attributes: no open, no read) and reads the file
// again only when one of them changed, or when the kept copy was read so
// soon after the file's last write that a change within the same tick of
// the file time would not show. A write by these functions drops the kept
// copy of the file.
#include <string>
#include <vector>

// Keeps bytes (the whole file as read) as the one content of the file for
// every later read through these functions, whatever the file on the disk
// holds or comes to hold: the script and the record are read once, through
// a handle nobody could write while it read, and the run uses those bytes
// and nothing else. A write by these functions to the file drops them.
void IniKeep(const std::string& file, const std::string& bytes);
// The bytes kept for the file by IniKeep; false when none are.
bool IniKeptBytes(const std::string& file, std::string& bytes);

// The value, or the default (without its trailing blanks) when file,
// section, key or value is missing. No length limit on value or default.
std::string IniRead(const std::string& section, const std::string& key,
                    const std::string& defaultValue, const std::string& file);
// The values of prefix + "1", prefix + "2", ... up to the first missing or
// empty one, exactly as IniRead would give them one by one, from one look at
// the file.
std::vector<std::string> IniReadList(const std::string& section, const std::string& prefix,
                                     const std::string& file);

// Writes the value into the file on disk (replacing the first key of the
// name in the first section of the name, or adding key, section or file),
// touching no other line, and flushes it; true when the value is in the
// file and on the disk.
bool IniWrite(const std::string& section, const std::string& key,
              const std::string& value, const std::string& file);
// Removes the key's line; true also when there was no such key or file.
bool IniDeleteKey(const std::string& section, const std::string& key, const std::string& file);
// Removes the first section of the name with all its lines; true also when
// there was no such section or file.
bool IniDeleteSection(const std::string& section, const std::string& file);
