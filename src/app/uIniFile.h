#pragma once
// The two primitives through which every INI file is read and written.
#include <string>

// The value, or the default when file, section or key is missing. No length
// limit: the buffer grows until the value fits.
std::string IniRead(const std::string& section, const std::string& key,
                    const std::string& defaultValue, const std::string& file);
// Writes the value and flushes the system's cached copy to disk; true when
// the value was written.
bool IniWrite(const std::string& section, const std::string& key,
              const std::string& value, const std::string& file);
