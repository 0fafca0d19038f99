#include "session/SessionStart.h"

#include <windows.h>
#include <shlobj.h>

#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "app/SystemChanges.h"
#include "platform/ImageHeaders.h"
#include "sysops/Payload.h"
#include "platform/OSVersion.h"
#include "platform/Win932.h"
#include "record/RecordKeys.h"
#include "app/uIniFile.h"
#include "session/WorkFolders.h"
#include "sysops/Registry.h"

namespace {

// The special folders start-up asks the shell for.
constexpr int kFolderIds[] = {
    CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_PROGRAM_FILES, CSIDL_PERSONAL, CSIDL_STARTMENU,
    CSIDL_PROGRAMS, CSIDL_DESKTOPDIRECTORY, CSIDL_STARTUP, CSIDL_SENDTO, CSIDL_COMMON_STARTMENU,
    CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_STARTUP, CSIDL_COMMON_DOCUMENTS,
};

std::string AsFolder(const std::string& path) { return AddPathDelimiter(path, "B"); }

// "C:\" from "C:\WINDOWS\" and the like: the first two characters and "\".
std::string DriveRoot(const std::string& folder) { return StrLeft(folder, 2) + "\\"; }

// Runs a query of the system's folders, noting (as a line of the message
// below) a folder it gave that has no CP932 form and no short name.
template <typename Query>
std::string AskFolder(Query query, const std::string& what, std::string& unusable) {
    SetLastError(ERROR_SUCCESS);
    std::string folder = query();
    if (folder.empty() && GetLastError() == win932::kNoCp932Form) unusable += "・" + what + "\r\n";
    return folder;
}

// Such a folder must stop the program: working on a look-alike path would
// put files where nobody finds them, or take them from the wrong place.
void StopOnUnusableFolders(const std::string& unusable, std::string& fatal) {
    if (unusable.empty()) return;
    fatal += "【致命的エラー → フォルダのパスを日本語(シフトJIS)で表せません】\r\n";
    MsgBox("Windowsから受け取った次のフォルダのパスに、日本語(シフトJIS)で表せない文字が含まれています。"
           "短い名前(8.3形式)もないため、このフォルダを使うことができません。\r\n\r\n" +
               unusable + "\r\n処理は続行できません。",
           "エラー", MB_OK | MB_ICONSTOP);
}

}  // namespace

std::string ModulePath() {
    return GetModuleFileName932(nullptr);
}

std::string QueryTempPath() {
    const std::string path = GetTempPath932();
    // As the 260-byte buffer it was always read into: a longer path is none.
    if (path.empty() || path.size() >= MAX_PATH) return {};
    return AsFolder(path);
}

FolderFacts GatherFolderFacts() {
    FolderFacts facts;
    for (int id : kFolderIds)
        facts.special[id] =
            AskFolder([&] { return GetSpecialFolder(id); }, "特殊フォルダ(CSIDL " + std::to_string(id) + ")",
                      facts.unusable);
    facts.windowsDirectory = AskFolder(GetWindowsDirectory932, "Windowsフォルダ", facts.unusable);
    facts.systemDirectory = AskFolder(GetSystemDirectory932, "WindowsSystemフォルダ", facts.unusable);
    ReadRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                       facts.programFilesDir);
    return facts;
}

void ApplyFolderRules(const FolderFacts& facts, SetupState& state, std::string& fatal) {
    const auto special = [&](int id) { return AsFolder(facts.special[id]); };
    const bool nt = state.OSKind == "NT";

    state.WindowsFolder = special(CSIDL_WINDOWS);
    if (state.WindowsFolder == "\\") {
        if (!facts.windowsDirectory.empty())
            state.WindowsFolder = AsFolder(facts.windowsDirectory);
        else
            fatal += "【致命的エラー → Windowsフォルダ取得失敗】\r\n";
    }
    state.SystemFolder = special(CSIDL_SYSTEM);
    if (state.SystemFolder == "\\") {
        if (!facts.systemDirectory.empty())
            state.SystemFolder = AsFolder(facts.systemDirectory);
        else
            fatal += "【致命的エラー → WindowsSystemフォルダ取得失敗】\r\n";
    }
    const bool shfolderFound = FileExists(state.SystemFolder + "Shfolder.dll");

    state.ProgramFilesFolder = special(CSIDL_PROGRAM_FILES);
    if (state.ProgramFilesFolder == "\\") state.ProgramFilesFolder = AsFolder(facts.programFilesDir);
    if (state.ProgramFilesFolder == "\\" || !FolderExists(state.ProgramFilesFolder))
        state.ProgramFilesFolder = StrLeft(state.WindowsFolder, 2) + "\\Program Files\\";

    state.DocumentsFolder = special(CSIDL_PERSONAL);
    if (state.DocumentsFolder == "\\") state.DocumentsFolder = StrLeft(state.WindowsFolder, 2) + "\\My Documents\\";
    state.CommonDocumentsFolder = state.DocumentsFolder;

    state.InstallFolder = "(App)";
    state.BootDrive = DriveRoot(state.WindowsFolder);
    state.SourceDrive = DriveRoot(state.SourceFolder);

    state.StartMenuFolder = special(CSIDL_STARTMENU);
    state.ProgramsFolder = special(CSIDL_PROGRAMS);
    state.DesktopFolder = special(CSIDL_DESKTOPDIRECTORY);
    state.StartupFolder = special(CSIDL_STARTUP);
    state.SendToFolder = special(CSIDL_SENDTO);
    state.CommonStartMenuFolder = state.StartMenuFolder;
    state.CommonProgramsFolder = state.ProgramsFolder;
    state.CommonDesktopFolder = state.DesktopFolder;
    state.CommonStartupFolder = state.StartupFolder;
    if (nt) {
        state.CommonStartMenuFolder = special(CSIDL_COMMON_STARTMENU);
        state.CommonProgramsFolder = special(CSIDL_COMMON_PROGRAMS);
        state.CommonDesktopFolder = special(CSIDL_COMMON_DESKTOPDIRECTORY);
        state.CommonStartupFolder = special(CSIDL_COMMON_STARTUP);
    }
    if (nt || shfolderFound) state.CommonDocumentsFolder = special(CSIDL_COMMON_DOCUMENTS);
}

std::string ModeFromArgument(const std::string& firstArgument) {
    return ExtractFileName(firstArgument) == RecordFiles::kRecord ? "UNSETUP" : "SETUP";
}

std::string HoldProgramImage(SetupState& state) {
    state.ProgramImage.reset();
    const std::string path = ModulePath();
    OpenedFilePtr image =
        path.empty() ? nullptr : Changes().Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    std::string start(64 * 1024, '\0');
    DWORD got = 0;
    if (!image || !image->Read(start.data(), static_cast<DWORD>(start.size()), got) || !image->Rewind())
        return "【致命的エラー → プログラムファイルを読み込めません】\r\n";
    start.resize(got);
    if (!HeadersOfThisImage(start)) return "【致命的エラー → プログラムファイルが実行中のものと異なります】\r\n";
    state.ProgramImage = std::move(image);
    return {};
}

void OpenOneFile(SetupState& state, std::string& fatal) {
    unsigned long error = 0;
    std::unique_ptr<Payload> payload = Payload::Find(state.ProgramImage, error);
    if (!payload) {
        if (error) fatal += kDamagedDownload;
        return;
    }
    const std::string medium = state.WorkFolder + "MEDIUM\\";
    const std::string plain = state.WorkFolder + RecordFiles::kProgramCopy;
    unsigned long code = CreateDirectory932(medium, nullptr) ? 0 : GetLastError();
    if (code == 0) code = payload->Extract(1, medium);
    if (code == 0) code = payload->WritePlainProgram(plain);
    if (code == ERROR_INVALID_DATA) {
        fatal += kDamagedDownload;
        return;
    }
    if (code != 0) {
        fatal += "【致命的エラー → 作業フォルダに展開できません】\r\n";
        return;
    }
    // The uninstaller is the plain program, held as the one-file was.
    state.ProgramImage = MachineChanges().Open(plain, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    state.SourceFolder = medium;
    state.SourceDrive = DriveRoot(medium);
    state.OneFile = std::move(payload);
}

void CopyScript(SetupState& state, const std::string& firstArgument, std::string& fatal) {
    std::string source;
    if (state.Mode == "UNSETUP") {
        state.ScriptFile = state.WorkFolder + RecordFiles::kRecord;
        // By its full path: a relative name would not match the record's own
        // entry, nor name the folder it lies in.
        const std::string full = GetFullPathName932(firstArgument);
        state.RecordFile = full.empty() ? firstArgument : full;
        source = state.RecordFile;
    } else {
        state.ScriptFile = state.WorkFolder + Script::kFileName;
        source = state.SourceFolder + Script::kFileName;
    }
    // Read once: the record's check and every later read see these bytes,
    // whatever is written to the file, or to its copy, afterwards.
    std::string bytes;
    if (!ReadHeldFile(source, bytes) || state.WorkFolder.empty() || WriteNewFile(state.ScriptFile, bytes) != 0) {
        fatal += "【致命的エラー → iniファイル読み込み失敗】\r\n";
        return;
    }
    IniKeep(state.ScriptFile, bytes);
}

std::string StartSession(SetupState& state, const std::string& programPath, const std::string& firstArgument) {
    std::string fatal;
    state.ShowTitlePage = state.ShowFolderPage = state.ShowEULAPage = state.ShowReadmePage = false;
    state.CheckerDone = false;
    state.OSKind = GetOSKind();
    state.OSName = GetOSName();
    state.SourceFolder = ExtractFilePath(programPath);
    std::string unusable;
    if (programPath.empty()) unusable += "・プログラムのフォルダ\r\n";
    state.TempFolder = AskFolder(QueryTempPath, "一時フォルダ", unusable);
    if (state.TempFolder.empty()) state.TempFolder = state.SourceFolder;
    const FolderFacts facts = GatherFolderFacts();
    ApplyFolderRules(facts, state, fatal);
    StopOnUnusableFolders(unusable + facts.unusable, fatal);
    state.Mode = ModeFromArgument(firstArgument);
    state.WorkFolder = MakeWorkFolder(state.TempFolder);
    if (state.WorkFolder.empty()) fatal += "【致命的エラー → 作業フォルダを作成できません】\r\n";
    // A one-file download carries its medium inside: an install reads it
    // from there (a record's uninstall needs none of it).
    if (!state.WorkFolder.empty() && state.Mode == "SETUP" && state.ProgramImage) OpenOneFile(state, fatal);
    CopyScript(state, firstArgument, fatal);
    return fatal;
}

std::string FatalMessage(const std::string& fatalLines) {
    return fatalLines + "\r\n" + "処理は続行できません。";
}
