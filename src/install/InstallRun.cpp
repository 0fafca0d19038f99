#include "install/InstallRun.h"

#include <windows.h>

#include "app/RunLog.h"
#include "app/RunView.h"
#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "install/InstallContext.h"
#include "install/ScriptEntries.h"
#include "record/UninstallRecord.h"
#include "sysops/Shell.h"

namespace {

// A record changed since its install is not carried into the new one: its
// entries would be signed as this install's own.
void RefusePreviousRecord(InstallContext& run) {
    const SetupState& s = run.s;
    const std::string record = s.InstallFolder + "UNSETUP.INI";
    LogLine("警告", record + ": インストール時の確認用の値と一致しないため、以前の記録を引き継ぎません。");
    run.view.Ask({record + "\r\n\r\n既存の" + s.UnSetupString +
                      "情報ファイルは、インストールの後に書き換えられたか、このインストーラが作成したものでは"
                      "ないため、その内容を引き継ぎません。\r\n以前の" + s.SetupString + "で作られ、今回の" +
                      s.SetupString + "に含まれないものは、" + s.UnSetupString + "で削除されません。",
                  "警告", MB_OK | MB_ICONEXCLAMATION, IDOK});
}

// Every stage in its order; false as soon as one has ended the run.
// changed: whether the run got past its opening, the first point where it
// writes anything that stays.
bool RunStages(InstallContext& run, bool& changed) {
    SetupState& s = run.s;
    if (!PrepareInstall(run)) return false;
    changed = true;
    if (!MergePreviousRecord(s.InstallFolder, s.WorkFolder, run.previous, run.restore)) RefusePreviousRecord(run);
    if (!MakeFolders(run) || !CopyFiles(run)) return false;
    if (!MakeShortcuts(run) || !WriteRegistryValues(run) || !WriteIniEntries(run)) return false;
    CollectUninstallLists(run);
    if (!MakeAssociations(run)) return false;
    // A press on the abort button may be handled after the stages' last
    // check (at a status line): once confirmed, nothing more is written and
    // no choice of the completion page is acted on.
    if (run.Aborted() || !WriteUninstallRecord(run) || run.Aborted()) return false;
    return CompleteInstall(run);
}

}  // namespace

RunOutcome RunInstall(RunView& view) {
    SetupState& s = State();
    InstallContext run(view, s);
    run.options = view.Options();
    // Only a folder with a drive letter names the same place for the
    // uninstaller later: anything else stays on the folder page.
    run.installFolder = CanonicalInstallFolder(run.options.folderText);
    if (run.installFolder.empty()) {
        view.Ask({s.SetupString + "フォルダの指定が正しくありません。\r\n\r\n"
                  "ドライブ名から始まるフォルダ(例：C:\\Program Files\\App\\)を指定してください。",
                  s.SetupString + "フォルダ", MB_OK | MB_ICONEXCLAMATION, IDOK});
        RunOutcome outcome;
        outcome.end = RunOutcome::End::StoppedUnchanged;
        return outcome;
    }
    bool changed = false;
    bool completed = false;
    try {
        completed = RunStages(run, changed);
    } catch (const RegistryWriteError& e) {
        // A registry entry or a link object that cannot be made ends the run
        // where it happened; what was made stays.
        view.Ask({e.what(), kProductName, MB_OK | MB_ICONHAND, IDOK});
        view.EndRun();
    } catch (const ShellLinkError& e) {
        view.Ask({e.what(), kProductName, MB_OK | MB_ICONHAND, IDOK});
        view.EndRun();
    }
    RunOutcome outcome;
    outcome.failures = run.failures;
    outcome.failureLog = run.failureLog;
    outcome.restartNeeded = run.restartNeeded;
    if (!completed) {
        if (run.packageDamaged) outcome.end = RunOutcome::End::PackageDamaged;
        else if (view.Aborted()) outcome.end = RunOutcome::End::Aborted;
        else outcome.end = changed ? RunOutcome::End::StoppedChanged : RunOutcome::End::StoppedUnchanged;
    }
    return outcome;
}
