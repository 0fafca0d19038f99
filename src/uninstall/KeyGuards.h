#pragma once
// The registry keys the uninstall run refuses to delete however the record
// reads: keys whose tree holds other programs' or the system's data.
// Decisions only.
#include <string>

// The key path without "\" at either end (as the registry functions take it).
std::string TrimKeyPath(const std::string& keyPath);

// True when deleting the key with everything below it would take data that
// is not the package's own: an empty path, a key on the first level of its
// hive (below a user's key for "(Users)"), or a key that is or contains one
// of the well-known keys Windows and every program share (such as
// SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall or SOFTWARE\Classes).
bool IsSharedRegistryKey(const std::string& rootMacro, const std::string& keyPath);

// True when the path names one entry strictly below
// SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\ (any case), with a
// name that is not empty: the only kind of key the registration stage
// deletes.
bool IsUninstallEntryKey(const std::string& keyPath);
