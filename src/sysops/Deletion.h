#pragma once
// The three operations through which every deletion of the program goes.
// They show nothing; results are Win32 error codes (0 = success).
#include <functional>
#include <string>

#include "sysops/NoFollow.h"

class HeldFile;

// Whether a library about to be deleted may be loaded to undo its
// registration. It is handed the library held open, so nobody can change
// it between the decision and the load.
using UnregisterGate = std::function<bool(const HeldFile& library)>;

// Deletes a file, or every match of a wildcard pattern ("*" or "?" in its
// name; folders too unless rules.filesOnly), never through a link: each
// name is checked and deleted through one handle to the name itself, links
// met are left in place (rules.linkLeft hears of them), and the pattern's
// folder is held while it is walked (NoFollow.h). A path without wildcards
// that names no file (a folder does not count) gives 2 and nothing happens;
// a file whose own name holds ".DLL" or ".OCX" is unregistered first
// (silently, a crash of its entry contained), but only when a gate is given
// and lets it, and never when the name is a link: without a gate nothing is
// ever loaded. 0, or the code of the file (for a pattern, of the first
// match) that could not go; a file still there afterwards is never 0.
unsigned long DeletePath(const std::string& path, const WalkRules& rules = {}, const UnregisterGate& unregister = {});

// Deletes folder + each element of the pattern list ("a|b|", a last element
// without "|" counts too; an empty one names nothing) under the rules, as
// DeletePath does, while the folder is held; then removes the folder itself
// when it has become empty. The result is that of the removal: 0, or e.g.
// 145 when something is left; a folder that is a link stays (kLinkLeft).
unsigned long DeleteFolderPatterns(const std::string& folder, const std::string& patterns,
                                   const WalkRules& rules = {});

// Deletes the key with everything below it, depth first, under the hive of
// the root macro ("(Class)", "(Local)", "(Users)", anything else HKCU). On
// the NT family the tree is walked by its UTF-16 names (any length, any
// character); on "notNT" (OSKind) by the ANSI names, which are exact there.
// A symbolic link is removed itself, never followed. A subkey that cannot be
// deleted is passed over; at most 99 attempts, each of which ends. Failures
// are not reported. Always true.
bool DeleteRegistryKey(const std::string& rootMacro, const std::string& keyPath);
