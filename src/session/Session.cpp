#include "session/Session.h"

#include <windows.h>
#include <shlobj.h>

#include <optional>

#include "app/RunLog.h"
#include "app/SetupState.h"
#include "install/InstallRun.h"
#include "platform/SystemLibraries.h"
#include "session/InstallationTests.h"
#include "session/LoggingView.h"
#include "session/SessionStart.h"
#include "session/WorkFolders.h"
#include "sysops/Registry.h"
#include "uninstall/UninstallRun.h"

StartUpResult Session::Start(const std::string& programPath, const std::string& firstArgument, bool finishCutShort) {
    using Kind = StartUpResult::Kind;
    StartUpResult result;
    // Before anything else: the uninstaller is written from this file.
    result.fatal = HoldProgramImage(s_);
    result.fatal += StartSession(s_, programPath, firstArgument);
    const bool uninstall = s_.Mode == "UNSETUP";
    if (!result.fatal.empty()) {
        // The record is gone because an uninstall deleted it and was cut
        // short: its last steps are finished now, whoever started it.
        const std::optional<RunOutcome> finished = uninstall && finishCutShort ? FinishCutShortUninstall(s_.RecordFile) : std::nullopt;
        if (finished) {
            result.kind = Kind::Finished;
            result.finished = *finished;
            result.exitCode = ExitCodeFor(*finished);
            LogBlock("失敗ログ", finished->failureLog);
        } else {
            LogBlock("致命的エラー", result.fatal);
            if (result.fatal.find(kDamagedDownload) != std::string::npos) result.exitCode = ExitCode::kPackageDamaged;
        }
        return result;
    }
    result.kind = uninstall ? Kind::Uninstall : Kind::Install;
    ReadWords(s_);
    result.banner = BannerText(s_.ScriptFile);
    ReadPacingAndTitles(s_);
    result.title = uninstall ? s_.UnSetupTitle : s_.SetupTitle;
    result.folder = DefaultInstallFolder(s_);
    result.optionsChangeable = OptionsChangeable(s_.ScriptFile);
    result.topMessage = s_.ItemText = TopMessage(s_);
    if (uninstall)
        result.uninstallOptions = ReadUninstallOptions(s_);
    else
        result.shortcuts = ShortcutBoxesFrom(s_.ScriptFile);
    return result;
}

bool Session::InstallRefused(const std::string& folderShown) {
    return RejectOperatingSystem(s_) || CheckPreviousInstallation(s_, folderShown);
}

std::string Session::Checker() const { return PreInstallChecker(s_); }

CheckerVerdict Session::RunChecker(const std::string& checker, const std::function<void()>& ended) {
    return RunPreInstallChecker(s_, checker, ended);
}

int Session::Run(RunView& view, const std::string& who) {
    TLoggingView logging(view, who);
    const RunOutcome outcome = s_.Mode == "UNSETUP" ? RunUninstall(logging) : RunInstall(logging);
    LogBlock("失敗ログ", outcome.failureLog);
    return ExitCodeFor(outcome);
}

void Session::End(bool changed, bool onlyOwnFolder) {
    // A one-file's plain program lies in the working folder: let it go.
    s_.ProgramImage.reset();
    s_.OneFile.reset();
    if (!s_.TempFolder.empty()) RemoveWorkFolders(s_.TempFolder, s_.WorkFolder, onlyOwnFolder);
    if (!changed) return;
    if (ClassesMayHaveChanged()) syslib::SHChangeNotify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr);
    syslib::SHChangeNotify(SHCNE_UPDATEITEM, 0, nullptr, nullptr);
    syslib::SHChangeNotify(SHCNE_UPDATEDIR, 0, nullptr, nullptr);
}
