#pragma once
// What the record's writers share: the file names of the record and of the
// uninstaller, and the one rule by which two paths are the same entry.
#include <string>

namespace RecordFiles {
inline constexpr const char* kRecord = "UNSETUP.INI";
inline constexpr const char* kMergeCopy = "UNSETUPB.INI";  // in the working folder
inline constexpr const char* kFallbackStem = "UNTMP";      // UNTMP<n>.INI
inline constexpr const char* kFallbackExt = ".INI";
// The program copy earlier versions made in the working folder (a leftover
// of theirs is still recognised as ours).
inline constexpr const char* kProgramCopy = "SETUPB.EXE";
inline constexpr const char* kExpansion = "EXPAND.RVS";     // in the working folder
inline constexpr const char* kUninstaller = "UNRAVEL.EXE";  // in the Windows folder
inline constexpr const char* kRecordTemporary = "UNSETUP.TMP";  // the save's first step
// Beside the record while an uninstall runs (uninstall/UninstallProgress.h).
inline constexpr const char* kProgress = "UNSETUP.RUN";
}  // namespace RecordFiles

// The text with every letter upper-cased in the system locale (full-width
// letters included; byte lengths stay as they are). Two paths, or two
// extensions, are one when their keys are equal. The record's walk and its
// index both use this key, so they can never disagree about a duplicate.
std::string CaseKey(const std::string& text);
