#include "silent/SilentSession.h"

#include <windows.h>
#include <shlobj.h>

#include "app/PathMacros.h"
#include "app/RunLog.h"
#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "install/InstallRun.h"
#include "install/ScriptEntries.h"
#include "install/ShortcutBoxes.h"
#include "platform/SystemLibraries.h"
#include "session/CommandLine.h"
#include "session/LoggingView.h"
#include "session/SessionStart.h"
#include "session/WizardText.h"
#include "session/WorkFolders.h"
#include "silent/SilentView.h"
#include "sysops/Deletion.h"
#include "sysops/Shell.h"
#include "uninstall/UninstallRun.h"

namespace {

std::string Relative(const std::string& folder, const std::string& name) {
    return folder + RemovePathDelimiter(name, "T");
}

// The package author's checker, as the wizard runs it; false when it
// refused (its message is in the log).
bool CheckerAllows(const SetupState& s) {
    const std::string name = IniRead(Script::Extend::kSection, Script::Extend::kInstallChecker, "", s.ScriptFile);
    const std::string checker = Relative(s.SourceFolder, name);
    if (name.empty() || !FileExists(checker)) return true;
    const std::string resultFile = s.WindowsFolder + Script::CheckResult::kFileName;
    DeletePath(resultFile);
    LogLine("状況", "事前チェックプログラムを実行します: " + checker);
    RunAndWait(checker, "");
    const std::string result = IniRead(Script::CheckResult::kSection, Script::CheckResult::kResult, "", resultFile);
    const std::string message = ReplaceToken(
        IniRead(Script::CheckResult::kSection, Script::CheckResult::kMessage, "", resultFile), "<改行>", "\r\n");
    DeletePath(resultFile);
    if (!message.empty()) LogLine("チェック", message);
    if (result != Script::Values::kContinueInstall) {
        MsgBox(CheckerRefusal(s.SetupString), "警告", 48);
        return false;
    }
    return true;
}

RunOptions InstallOptions(SetupState& s, const LaunchCommand& command) {
    RunOptions o;
    o.folderText = command.hasFolder ? AddPathDelimiter(command.folder, "B") : DefaultInstallFolder(s);
    o.overWrite = true;  // the newer file wins, no question
    const ShortcutBoxes named = ShortcutBoxesFrom(s.ScriptFile);
    const bool flags[4] = {named.desktop, named.startMenu, named.startUp, named.sendTo};
    for (int k = 0; k < 4; ++k) o.boxes[k].checked = flags[k];
    return o;
}

RunOptions UninstallOptionsOf(SetupState& s) {
    RunOptions o;
    o.folderText = DefaultInstallFolder(s);
    s.UnSetupOption = IniRead(Script::UnSetupOption::kSection, Script::UnSetupOption::kCheckBox,
                              Script::UnSetupOption::kCheckBoxDefault, s.ScriptFile);
    const UninstallOptions options = UninstallOptionsFrom(
        s.UnSetupOption, IniRead(Script::UnSetupOption::kSection, Script::UnSetupOption::kCheckBox3, "", s.ScriptFile),
        IniRead(Script::UnSetupOption::kSection, Script::UnSetupOption::kCheckBox4, "", s.ScriptFile),
        s.UnSetupString);
    for (int k = 0; k < 4; ++k) {
        o.boxes[k].checked = options.checked[k];
        o.boxes[k].visible = options.visible[k];
        o.boxes[k].caption = options.visible[k] ? options.caption[k] : std::string();
    }
    return o;
}

int Install(SetupState& s, const LaunchCommand& command, TSilentView& silent) {
    // A folder given without its drive is a mistake of the command line, not
    // a refusal of the run.
    if (command.hasFolder && CanonicalInstallFolder(command.folder).empty()) {
        const std::string reason = "/D= にはドライブ名から始まるフォルダを指定してください: " + command.folder;
        LogLine("エラー", reason);
        WriteStandardError(reason);
        return ExitCode::kBadCommandLine;
    }
    RunOptions options = InstallOptions(s, command);
    if (RejectOperatingSystem(s) || CheckPreviousInstallation(s, options.folderText)) return ExitCode::kStoppedUnchanged;
    if (!CheckerAllows(s)) return ExitCode::kStoppedUnchanged;
    const std::string eula = IniRead(Script::EULA::kSection, Script::EULA::kFile, "", s.ScriptFile);
    if (!eula.empty() && FileExists(Relative(s.SourceFolder, eula)))
        LogQuestion("使用許諾契約書", Relative(s.SourceFolder, eula), "同意する", "/S の呼び出し元");
    LogLine("状況", "インストール先: " + options.folderText);
    silent.SetOptions(std::move(options));
    TLoggingView view(silent, kSilentAnswerer);
    const RunOutcome outcome = RunInstall(view);
    LogBlock("失敗ログ", outcome.failureLog);
    return ExitCodeFor(outcome);
}

int Uninstall(SetupState& s, TSilentView& silent) {
    silent.SetOptions(UninstallOptionsOf(s));
    TLoggingView view(silent, kSilentAnswerer);
    const RunOutcome outcome = RunUninstall(view);
    LogBlock("失敗ログ", outcome.failureLog);
    return ExitCodeFor(outcome);
}

}  // namespace

int RunSilentSession(const LaunchCommand& command) {
    // Neither the system nor Wine may put up a box of its own.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    // The boxes of the layers below (start-up tests, launch and registration
    // warnings) are answered where the run's questions are.
    TSilentView silent;
    SetMsgBoxResponder([&silent](const Question& question) { return silent.Ask(question); });

    SetupState& s = State();
    const std::string fatal = StartSession(s, ModulePath(), command.recordArgument);
    int code = ExitCode::kCannotStart;
    const std::optional<RunOutcome> finished =
        !fatal.empty() && s.Mode == "UNSETUP" ? FinishCutShortUninstall(s.RecordFile) : std::nullopt;
    if (finished) {
        LogBlock("失敗ログ", finished->failureLog);
        code = ExitCodeFor(*finished);
    } else if (!fatal.empty()) {
        LogBlock("致命的エラー", fatal);
        WriteStandardError(fatal);
    } else {
        ReadWords(s);
        ReadPacingAndTitles(s);
        s.ItemText = TopMessage(s);
        code = s.Mode == "UNSETUP" ? Uninstall(s, silent) : Install(s, command, silent);
        // What the wizard's close does: the shell hears of the changes.
        syslib::SHChangeNotify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr);
        syslib::SHChangeNotify(SHCNE_UPDATEDIR, 0, nullptr, nullptr);
    }
    if (!s.TempFolder.empty()) RemoveWorkFolders(s.TempFolder, s.WorkFolder);
    SetMsgBoxResponder(nullptr);
    return code;
}
