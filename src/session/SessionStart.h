#pragma once
// Start-up logic that needs no window: system folders, mode, working folder,
// copies, general settings, default install folder, the installation tests
// and the texts they show. The wizard's StartUp applies these to its controls.
// Nothing here throws; message boxes go through MsgBox.
#include <windows.h>

#include <string>

struct SetupState;

// ---- First half: session ----

// Full path of the running executable (no length limit), in CP932; empty when
// neither it nor its short name has a CP932 form (start-up then stops).
std::string ModulePath();

// The temporary folder, as a folder ending in "\", in CP932 (its short name
// when CP932 cannot hold it). Empty when the call fails or the path does not
// fit 260 bytes; the last error is then kNoCp932Form when the folder has no
// CP932 form at all.
std::string QueryTempPath();

// String value of an existing key, opened read-only so that it never creates
// the key and works without write access to the hive. Empty when key or value
// is missing or the value is not a string.
std::string ReadRegistryString(HKEY hive, const std::string& subkey, const std::string& valueName);

// Raw results of the system's folder lookups, each as the call returned it
// (empty on failure). Gathered once; the folder rules below decide on them.
struct FolderFacts {
    std::string special[64];         // GetSpecialFolder by CSIDL number
    std::string windowsDirectory;    // GetWindowsDirectory
    std::string systemDirectory;     // GetSystemDirectory
    std::string programFilesDir;     // HKLM ...\CurrentVersion ProgramFilesDir
    // The folders the system gave that CP932 cannot hold and that have no
    // short name either, one "・" line each (start-up stops on them).
    std::string unusable;
};
FolderFacts GatherFolderFacts();

// Fills every system folder of the state from the facts, with the fallbacks
// and the NT / non-NT rules; OSKind must be set. Appends a fatal error line
// (ending "\r\n") to fatal when the Windows or system folder is unknown.
void ApplyFolderRules(const FolderFacts& facts, SetupState& state, std::string& fatal);

// "UNSETUP" when the file-name part of the argument is exactly "UNSETUP.INI"
// (case-sensitive), else "SETUP".
std::string ModeFromArgument(const std::string& firstArgument);

// The first of tempFolder + "RVTMP1\" ... "RVTMP99\" that does not exist,
// created; when all exist, RVTMP99 as it is.
std::string MakeWorkFolder(const std::string& tempFolder);

// Copies the program to WorkFolder + "SETUPB.EXE" and the script (the record
// named by the argument in uninstall mode, else SourceFolder + "SETUP.INI")
// to ScriptFile. A copy left there by an earlier start is deleted first, so
// that a failed copy never leaves a stale script to be read. Appends the
// fatal ini error when ScriptFile is missing afterwards.
void CopyProgramAndScript(SetupState& state, const std::string& programPath,
                          const std::string& firstArgument, std::string& fatal);

// Steps up to the script copy: OS, folders, mode, working folder, copies.
// Returns the collected fatal error lines (empty: start-up may go on). A
// folder the system gives that CP932 cannot hold and that has no short name
// is fatal, and told in a message box.
std::string StartSession(SetupState& state, const std::string& programPath,
                         const std::string& firstArgument);

// The text of the message label in the fatal state.
std::string FatalMessage(const std::string& fatalLines);

// ---- Second half: settings ----

// SetupString / UnSetupString from the script, with their defaults.
void ReadWords(SetupState& state);

// [Title] CopyRight1 + "\r\n" + CopyRight2, or the built-in banner.
std::string BannerText(const std::string& scriptFile);

// Pause from an [Extend] SetupSpeed text: a decimal integer (optional sign),
// at least 1. Anything else (empty, "abc", "12ms", out of range) gives the
// default 350, so a faulty script still leaves a usable wizard.
long SetupSpeedFrom(const std::string& text);

// SetupSpeed, SetupTitle and UnSetupTitle from the script.
void ReadPacingAndTitles(SetupState& state);

// The default install folder, path macros expanded, ending in "\". Install
// mode: [DefaultFolder] Folder, the program-ID list, ReferRegistry,
// ReferIniFile (also sets ProgramID); uninstall mode: [SetupFolder] Folder.
std::string DefaultInstallFolder(SetupState& state);

// False only when [Extend] Enabled is exactly "False".
bool OptionsChangeable(const std::string& scriptFile);

// The top message of the folder page for the state's mode.
std::string TopMessage(const SetupState& state);

// The four option boxes of the uninstall page, from the record.
struct UninstallOptions {
    bool deleteAll = false;
    std::string caption[4];
    bool checked[4] = {};
    bool enabled[4] = {};
    bool visible[4] = {};
    std::string info;  // text of lblUnSetupInfo
};
UninstallOptions UninstallOptionsFrom(const std::string& checkBox, const std::string& caption3,
                                      const std::string& caption4, const std::string& unSetupString);

// ---- Installation tests (install mode) ----

// True when [Extend] RejectOS names OSName; then the refusal box has been
// shown and the caller must leave only the end button usable.
bool RejectOperatingSystem(const SetupState& state);

// A check value of [Caution], resolved against the folder in the folder box.
struct CheckTarget {
    bool installedById = false;  // "IDCheck:<id>" found in the program-ID list
    std::string path;            // file to look for (when not installedById)
    std::string title;           // installed program's title (installedById)
};
CheckTarget ResolveCheckValue(const std::string& value, const std::string& folderShown,
                              const std::string& windowsFolder);

// The strict and then the advisory previous-installation test, showing their
// boxes. True when the strict test hit: only the end button may stay usable.
bool CheckPreviousInstallation(const SetupState& state, const std::string& folderShown);
