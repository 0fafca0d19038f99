#include "session/SessionStart.h"

#include <windows.h>
#include <shlobj.h>

#include <climits>
#include <vector>

#include "app/PathMacros.h"
#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/OSVersion.h"
#include "platform/Win932.h"

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

// Removes a copy left by an earlier start, read-only or not.
void DeleteStaleCopy(const std::string& path) {
    if (GetFileAttributes932(path) == INVALID_FILE_ATTRIBUTES) return;
    SetFileAttributes932(path, FILE_ATTRIBUTE_NORMAL);
    DeleteFile932(path);
}

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

std::string ReadRegistryString(HKEY hive, const std::string& subkey, const std::string& valueName) {
    RegKey key;
    if (RegOpenKeyEx932(hive, subkey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return {};
    DWORD type = 0;
    std::string value;
    if (RegQueryValueEx932(key.get(), valueName, &type, value) != ERROR_SUCCESS) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
    while (!value.empty() && value.back() == '\0') value.pop_back();
    return value;
}

FolderFacts GatherFolderFacts() {
    FolderFacts facts;
    for (int id : kFolderIds)
        facts.special[id] =
            AskFolder([&] { return GetSpecialFolder(id); }, "特殊フォルダ(CSIDL " + std::to_string(id) + ")",
                      facts.unusable);
    facts.windowsDirectory = AskFolder(GetWindowsDirectory932, "Windowsフォルダ", facts.unusable);
    facts.systemDirectory = AskFolder(GetSystemDirectory932, "WindowsSystemフォルダ", facts.unusable);
    facts.programFilesDir = ReadRegistryString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                                               "ProgramFilesDir");
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
    return ExtractFileName(firstArgument) == "UNSETUP.INI" ? "UNSETUP" : "SETUP";
}

std::string MakeWorkFolder(const std::string& tempFolder) {
    std::string candidate;
    for (int n = 1; n <= 99; ++n) {
        candidate = tempFolder + "RVTMP" + std::to_string(n) + "\\";
        if (!FolderExists(candidate)) {
            ForceFolders(candidate);
            return candidate;
        }
    }
    return candidate;
}

void CopyProgramAndScript(SetupState& state, const std::string& programPath, const std::string& firstArgument,
                          std::string& fatal) {
    // An old copy of the program left in a reused folder would later be
    // installed as the uninstaller: it goes before the copy, whose result
    // is not looked at.
    DeleteStaleCopy(state.WorkFolder + "SETUPB.EXE");
    CopyFileReset(programPath, state.WorkFolder + "SETUPB.EXE");

    std::string source;
    if (state.Mode == "UNSETUP") {
        state.ScriptFile = state.WorkFolder + "UNSETUP.INI";
        // By its full path: a relative name would not match the record's own
        // entry, nor name the folder it lies in.
        const std::string full = GetFullPathName932(firstArgument);
        state.RecordFile = full.empty() ? firstArgument : full;
        source = state.RecordFile;
    } else {
        state.ScriptFile = state.WorkFolder + "SETUP.INI";
        if (FileExists(state.SourceFolder + "SETUP.INI")) source = state.SourceFolder + "SETUP.INI";
    }
    // RVTMP99 is reused as it stands: what an earlier start left there must
    // never pass for this start's script.
    DeleteStaleCopy(state.ScriptFile);
    const bool copied = !source.empty() && CopyFileReset(source, state.ScriptFile) == 0;
    if (!copied || !FileExists(state.ScriptFile)) fatal += "【致命的エラー → iniファイル読み込み失敗】\r\n";
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
    CopyProgramAndScript(state, programPath, firstArgument, fatal);
    return fatal;
}

std::string FatalMessage(const std::string& fatalLines) {
    return fatalLines + "\r\n" + "処理は続行できません。";
}

void ReadWords(SetupState& state) {
    state.SetupString = IniRead(Script::Extend::kSection, Script::Extend::kSetupString, Script::Extend::kSetupStringDefault, state.ScriptFile);
    state.UnSetupString = IniRead(Script::Extend::kSection, Script::Extend::kUnSetupString, Script::Extend::kUnSetupStringDefault,
                                  state.ScriptFile);
}

std::string BannerText(const std::string& scriptFile) {
    const std::string line1 = IniRead(Script::Title::kSection, Script::Title::kCopyRight1, "", scriptFile);
    const std::string line2 = IniRead(Script::Title::kSection, Script::Title::kCopyRight2, "", scriptFile);
    if (line1.empty() && line2.empty())
        return std::string(kProductName) + "\r\n" + "Copyright (C) 2026 The Ravelin Setup Project";
    return line1 + "\r\n" + line2;
}

long SetupSpeedFrom(const std::string& text) {
    constexpr long kDefault = 350;
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return kDefault;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return kDefault;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return kDefault;
    }
    if (negative) value = -value;
    if (value > INT_MAX) return kDefault;
    return value < 1 ? 1 : static_cast<long>(value);
}

void ReadPacingAndTitles(SetupState& state) {
    state.SetupSpeed = SetupSpeedFrom(IniRead(Script::Extend::kSection, Script::Extend::kSetupSpeed, Script::Extend::kSetupSpeedDefault,
                                               state.ScriptFile));
    state.SetupTitle = IniRead(Script::Title::kSection, Script::Title::kSetup, Script::Title::kSetupDefault, state.ScriptFile);
    state.UnSetupTitle = IniRead(Script::Title::kSection, Script::Title::kUnSetup, state.SetupTitle, state.ScriptFile);
}

std::string DefaultInstallFolder(SetupState& state) {
    const std::string& script = state.ScriptFile;
    std::string folder;
    if (state.Mode == "UNSETUP") {
        folder = IniRead(Script::SetupFolder::kSection, Script::SetupFolder::kFolder, "", script);
    } else {
        folder = IniRead(Script::DefaultFolder::kSection, Script::DefaultFolder::kFolder,
                         Script::DefaultFolder::kFolderDefault, script);

        state.ProgramID = IniRead(Script::ProgramID::kSection, Script::ProgramID::kID, "", script);
        if (!state.ProgramID.empty())
            folder = IniRead(state.ProgramID, Script::ProgramIDList::kFolder, folder,
                             state.WindowsFolder + Script::ProgramIDList::kFileName);

        const std::string referRegistry = IniRead(Script::DefaultFolder::kSection, Script::DefaultFolder::kReferRegistry, "", script);
        if (!referRegistry.empty()) {
            const RegistryRoot root = SplitRegistryRoot(GetField(referRegistry, ',', 1));
            const std::string subkey = RemovePathDelimiter(RemovePathDelimiter(root.subkey, "T"), "B");
            const std::string value = ReadRegistryString(root.hive, subkey, GetField(referRegistry, ',', 2));
            if (!value.empty()) folder = value;
        }

        const std::string referIni = IniRead(Script::DefaultFolder::kSection, Script::DefaultFolder::kReferIniFile, "", script);
        if (!referIni.empty()) {
            const std::string expanded = ExpandPathMacros(referIni, state);
            const std::string file = GetField(expanded, ',', 3);
            // Without a file name the profile functions would read WIN.INI.
            if (!file.empty()) {
                const std::string value = IniRead(GetField(expanded, ',', 1), GetField(expanded, ',', 2), "", file);
                if (!value.empty()) folder = value;
            }
        }
    }
    return AsFolder(ExpandPathMacros(folder, state));
}

bool OptionsChangeable(const std::string& scriptFile) {
    return IniRead(Script::Extend::kSection, Script::Extend::kEnabled, "", scriptFile) != Script::Values::kFalse;
}

std::string TopMessage(const SetupState& state) {
    if (state.Mode == "UNSETUP") {
        const std::string& u = state.UnSetupString;
        return u + "を行います。" + "\r\n\r\n" + "開始するには、「" + u + "開始(S)」を選択してください。" + "\r\n";
    }
    std::string text;
    bool any = false;
    for (int i = 1; i <= Script::TopMessage::kMessageCount; ++i) {
        const std::string line = IniRead(Script::TopMessage::kSection,
                                        Script::NumberedKey(Script::TopMessage::kMessagePrefix, i), "", state.ScriptFile);
        any = any || !line.empty();
        text += line + "\r\n";
    }
    return any ? text : state.SetupString + "を行います。" + "\r\n";
}

UninstallOptions UninstallOptionsFrom(const std::string& checkBox, const std::string& caption3,
                                      const std::string& caption4, const std::string& unSetupString) {
    UninstallOptions options;
    if (checkBox == Script::Values::kDeleteAll) {
        options.deleteAll = true;
        options.caption[0] = unSetupString + "フォルダ以下の全ファイル・フォルダ";
        options.checked[0] = options.enabled[0] = options.visible[0] = true;
    } else {
        options.caption[0] = "*.INI";
        options.caption[1] = "*.GID";
        options.caption[2] = caption3;
        options.caption[3] = caption4;
        for (int k = 0; k < 4; ++k) {
            options.visible[k] = true;
            options.enabled[k] = !options.caption[k].empty();
            const size_t flag = static_cast<size_t>(2 * k);
            options.checked[k] = flag < checkBox.size() && checkBox[flag] == '1';
        }
    }
    options.info = "　" + unSetupString +
                   "フォルダの中で、コピーされたファイル以外に追加削除するファイルをチェック(選択)してください。";
    return options;
}

bool RejectOperatingSystem(const SetupState& state) {
    const std::string rejected = IniRead(Script::Extend::kSection, Script::Extend::kRejectOS, "", state.ScriptFile);
    if (rejected.empty() || state.OSName.empty() || IPos(state.OSName, rejected) == 0) return false;
    const std::string& s = state.SetupString;
    MsgBox("このオペレーティングシステムへの" + s + "は、プログラム配布者により認められていません。" + "\r\n" +
               "詳細については、プログラム配布者へご確認ください。" + "\r\n" + s + "を続行することはできません。",
           "警告", MB_OK | MB_ICONEXCLAMATION);
    return true;
}

CheckTarget ResolveCheckValue(const std::string& value, const std::string& folderShown,
                              const std::string& windowsFolder) {
    CheckTarget target;
    if (IPos(Script::Values::kIDCheck, value)) {
        const std::string id = GetField(value, ':', 2);
        if (id.empty()) return target;
        const std::string folder = IniRead(id, Script::ProgramIDList::kFolder, "", windowsFolder + Script::ProgramIDList::kFileName);
        if (folder.empty()) return target;  // nothing installed under that id: nothing to find
        target.installedById = true;
        target.title = IniRead(Script::Title::kSection, Script::Title::kUnSetup, "不明なタイトル",
                           RemovePathDelimiter(folder, "B") + "\\UNSETUP.INI");
        return target;
    }
    target.path = folderShown + RemovePathDelimiter(value, "T");
    return target;
}

bool CheckPreviousInstallation(const SetupState& state, const std::string& folderShown) {
    const std::string& s = state.SetupString;
    const std::string& u = state.UnSetupString;
    const UINT flags = MB_OK | MB_ICONEXCLAMATION;

    const CheckTarget strict = ResolveCheckValue(IniRead(Script::Caution::kSection, Script::Caution::kUnInstallCheckEx,
                                                         Script::Caution::kCheckDefault, state.ScriptFile),
                                                 folderShown, state.WindowsFolder);
    if (strict.installedById) {
        MsgBox("インストーラはチェック対象プログラム識別子を検出しました。\r\n【" + strict.title + "】" + "\r\n" + s +
                   "を続行するためには、上記プログラムの" + u + "を行う必要があります。",
               "エラー", flags);
        return true;
    }
    if (FileExists(strict.path)) {
        MsgBox("インストーラはチェック対象プログラムを検出しました。\r\n" + s + "を続行するためには、前バージョンの" +
                   u + "を行う必要があります。",
               "エラー", flags);
        return true;
    }

    const CheckTarget advisory = ResolveCheckValue(IniRead(Script::Caution::kSection, Script::Caution::kUnInstallCheck,
                                                           Script::Caution::kCheckDefault, state.ScriptFile),
                                                   folderShown, state.WindowsFolder);
    const std::string tail = s + "はこのまま続行できますが、予期せぬ結果を招く可能性があります。" + "\r\n" +
                             "できる限り中断して、前バージョンの" + u + "を行うことをお勧めします。";
    if (advisory.installedById) {
        MsgBox("インストーラはチェック対象プログラム識別子を検出しました。\r\n【" + advisory.title + "】" + "\r\n" +
                   "パッケージ配布者は、上記プログラムの" + u + "を推奨しています。" + "\r\n" + tail,
               "警告", flags);
    } else if (FileExists(advisory.path)) {
        MsgBox("インストーラはチェック対象プログラムを検出しました。\r\nパッケージ配布者は、前バージョンのプログラムの" + u +
                   "を推奨しています。" + "\r\n" + tail,
               "警告", flags);
    }
    return false;
}
