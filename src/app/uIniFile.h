#pragma once
// The two primitives through which every INI file is read and written.
#include <string>
#include <vector>

// The value, or the default when file, section or key is missing. No length
// limit: the buffer grows until the value fits.
std::string IniRead(const std::string& section, const std::string& key,
                    const std::string& defaultValue, const std::string& file);
// The values of prefix + "1", prefix + "2", ... up to the first missing or
// empty one, exactly as IniRead would give them one by one (keys without
// regard to case, the first of equal keys, blanks around the value and a
// pair of enclosing quotes dropped), but from one read of the section: a
// list of thousands stays linear instead of one profile call per key.
std::vector<std::string> IniReadList(const std::string& section, const std::string& prefix,
                                     const std::string& file);

// Writes the value and flushes the system's cached copy to disk; true when
// the value was written.
bool IniWrite(const std::string& section, const std::string& key,
              const std::string& value, const std::string& file);
