#pragma once
// Path macros such as "(Win)" and the registry root macros such as "(Local)".
#include <windows.h>
#include <span>
#include <string>

#include "app/SetupState.h"

// Every occurrence of token (found with IPos) replaced; the inserted text is
// never searched again. When the replacement ends with "\" and the text after
// an occurrence starts with one, that one "\" is dropped.
std::string ReplaceToken(const std::string& text, const std::string& token,
                         const std::string& replacement);

// The path macros, in the order the expansion tries them, each with the
// folder of the state record it stands for.
struct PathMacro {
    const char* token;
    std::string SetupState::*folder;
};
std::span<const PathMacro> PathMacroList();

// Every path macro replaced by its folder from the state record.
std::string ExpandPathMacros(const std::string& text, const SetupState& state);
std::string ExpandPathMacros(const std::string& text);  // uses State()

// Root-macro rule: '(Local)SOFTWARE\X' -> HKEY_LOCAL_MACHINE, 'SOFTWARE\X'.
// Without a root macro the hive is HKEY_CURRENT_USER and the whole text is
// the subkey. The subkey is returned as cut; callers trim "\" as they need.
struct RegistryRoot {
    HKEY hive;
    std::string rootMacro;  // the 7 characters cut off, or "(Cuser)"
    std::string subkey;
};
RegistryRoot SplitRegistryRoot(const std::string& keyText);
// Hive selected by a root macro, compared exactly: "(Class)", "(Local)",
// "(Users)"; anything else is HKEY_CURRENT_USER.
HKEY HiveFromRootMacro(const std::string& rootMacro);
