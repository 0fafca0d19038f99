#pragma once
// The shared-library counts under HKLM\...\CurrentVersion\SharedDLLs: how
// many installed programs use a file. The install run raises a count, the
// uninstall's shared-file policy decides from it and lowers it.
#include <string>

// The SharedDLLs count of a file (value name = path as given); 0 when the
// value is missing, not a DWORD, or unreadable. Opens the key read-only, so
// a count is still seen where the key cannot be written.
long SharedDllCount(const std::string& path);

// Counts one user more (increase) or one less. An existing file without a
// count counts as one user already. A count that falls to 0 or below has its
// value deleted. Returns the new count (0 or -1 after a deletion). Throws
// RegistryWriteError when the key cannot be opened for writing or the value
// cannot be written.
long AdjustSharedDllCount(const std::string& path, bool increase);
