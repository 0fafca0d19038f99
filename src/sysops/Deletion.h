#pragma once
// The three operations through which every deletion of the program goes.
// They show nothing; results are Win32 error codes (0 = success).
#include <functional>
#include <string>

class HeldFile;

// Whether a library about to be deleted may be loaded to undo its
// registration. It is handed the library held open, so nobody can change
// it between the decision and the load.
using UnregisterGate = std::function<bool(const HeldFile& library)>;

// Deletes a file, or every file and folder that matches a wildcard pattern
// ("*" or "?" in the path), permanently through the shell. A path without
// wildcards that names no file (a folder does not count) gives 2 and nothing
// happens. A file whose own name holds ".DLL" or ".OCX" is unregistered
// first (silently, a crash of its entry contained), but only when a gate is
// given and lets it: without one nothing is ever loaded. A path without
// wildcards that still exists afterwards always gives a non-zero code (the
// shell's, else the last error, else 5). For a pattern, the shell's code
// counts only when the system also set a last error; otherwise 0.
unsigned long DeletePath(const std::string& path, const UnregisterGate& unregister = {});

// Deletes folder + each element of the pattern list ("a|b|", a last element
// without "|" counts too; results ignored), then removes the folder itself.
// The result is that of the removal: 0, or e.g. 145 when something is left.
unsigned long DeleteFolderPatterns(const std::string& folder, const std::string& patterns);

// Deletes the key with everything below it, depth first, under the hive of
// the root macro ("(Class)", "(Local)", "(Users)", anything else HKCU). On
// the NT family the tree is walked by its UTF-16 names (any length, any
// character); on "notNT" (OSKind) by the ANSI names, which are exact there.
// A symbolic link is removed itself, never followed. A subkey that cannot be
// deleted is passed over; at most 99 attempts, each of which ends. Failures
// are not reported. Always true.
bool DeleteRegistryKey(const std::string& rootMacro, const std::string& keyPath);
