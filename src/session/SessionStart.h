#pragma once
// The first steps of every start, up to the script copy: Windows
// identification, the system folders, the mode, the working folder and the
// script, read once and kept for the whole run.
// Nothing here throws; message boxes go through MsgBox.
#include <string>

struct SetupState;

// Full path of the running executable (no length limit), in CP932; empty when
// neither it nor its short name has a CP932 form (start-up then stops).
std::string ModulePath();

// The temporary folder, as a folder ending in "\", in CP932 (its short name
// when CP932 cannot hold it). Empty when the call fails or the path does not
// fit 260 bytes; the last error is then kNoCp932Form when the folder has no
// CP932 form at all.
std::string QueryTempPath();

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

// Opens the running program's own file (ModulePath) so that nobody may
// write, rename or delete it while the process runs, and keeps it in the
// state when its headers are those of the image that runs. Empty, or the
// fatal line when it cannot be held or is another file.
std::string HoldProgramImage(SetupState& state);

// The fatal line of a one-file download that is cut short or damaged (the
// program's exit code is then ExitCode::kPackageDamaged).
inline constexpr const char* kDamagedDownload =
    "【致命的エラー → このプログラムのファイルが壊れているか、途中までしかありません。もう一度ダウンロードしてください】\r\n";

// A one-file download (the held program carries a payload): its script,
// licence, readme and checker are extracted into WorkFolder + "MEDIUM\",
// which becomes SourceFolder, and the plain program (the uninstaller) into
// WorkFolder + "SETUPB.EXE", held as ProgramImage in place of the one-file.
// Appends kDamagedDownload when the payload is not whole and sound, another
// fatal line when it cannot be extracted.
void OpenOneFile(SetupState& state, std::string& fatal);

// Reads the script (the record named by the argument in uninstall mode,
// else SourceFolder + "SETUP.INI") once, through a handle nobody may write
// while it is read, keeps those bytes as the script's one content for the
// whole run (IniKeep), and writes them to ScriptFile in the working folder,
// a new file there. Appends the fatal ini error when the script cannot be
// read or its copy cannot be made.
void CopyScript(SetupState& state, const std::string& firstArgument, std::string& fatal);

// Steps up to the script copy: OS, folders, mode, working folder, copy.
// Returns the collected fatal error lines (empty: start-up may go on). A
// folder the system gives that CP932 cannot hold and that has no short name
// is fatal, and told in a message box.
std::string StartSession(SetupState& state, const std::string& programPath,
                         const std::string& firstArgument);

// The text of the message label in the fatal state.
std::string FatalMessage(const std::string& fatalLines);
