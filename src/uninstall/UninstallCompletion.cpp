// The end of the run: the install folder, the failure summary and the
// completion page.
#include "uninstall/UninstallContext.h"

namespace uninstall_run {

void TUninstallRun::DeleteInstallFolder() {
    const std::string& u = s.UnSetupString;
    const std::string& i = s.SetupString;
    BeginStage(i + "フォルダの" + u + "処理．．．");
    const std::string tag = "<SetupFolder> ";
    const std::string& shown = installFolderText_;
    if (!IsFullyQualified(installFolder_)) return Log(tag, shown, kNotQualified);
    // Already gone (it was one of the recorded folders): nothing failed.
    if (!FolderExists(installFolder_)) return;
    if (protected_.IsProtected(installFolder_)) return Log(tag, shown, kProtectedFolder);
    if (!installFolderDeletable_) return Log(tag, shown, kNotTheRecordsFolder);

    const unsigned long code = RemoveFolder(installFolder_, deleteAll_ ? "*.*|" : patterns_ + CopyLeftovers());
    if (code == 0) return;
    if (code == kLinkLeft) return Log(tag, shown, kIsLink);
    if (code != ERROR_DIR_NOT_EMPTY && code != ERROR_ACCESS_DENIED) return Log(tag, shown, SysErrorText(code));
    std::string lines = std::string(deleteAll_ ? "全ファイル・フォルダの削除を試みましたが、エラーが発生したため、"
                                               : "ファイル・フォルダが残っているため、") +
                        i + "フォルダを削除できませんでした。エクスプローラなどから、直接削除してください。" + kCrLf;
    // Name what is left, so nothing of the user's goes unnoticed.
    const std::vector<std::string> left = FolderContents(installFolder_);
    folderHeldByKeptFiles_ = !left.empty();
    for (const std::string& name : left) {
        const std::string full = MapString(installFolder_ + name, LCMAP_UPPERCASE);
        if (std::find(keptFiles_.begin(), keptFiles_.end(), full) == keptFiles_.end()) folderHeldByKeptFiles_ = false;
    }
    if (!left.empty()) {
        lines += "残っているファイル・フォルダ：" + std::string(kCrLf);
        for (size_t k = 0; k < left.size() && k < kListedLeftovers; ++k) lines += "　" + left[k] + kCrLf;
        if (left.size() > kListedLeftovers) lines += "　ほか" + std::to_string(left.size() - kListedLeftovers) + "件" + kCrLf;
    }
    Log(tag, shown, lines);
}

void TUninstallRun::Summarize() {
    const std::string& u = s.UnSetupString;
    LogLine("状況", stageLine_ + s.StepResult);
    s.StatusText += s.StepResult + kCrLf;
    if (failures == 0) return Show();
    s.StatusText += "《情報》" + u + "の過程で、一部の処理が失敗しました。" + kCrLf;
    Show();
    const std::string question = u + "の過程で、一部の処理が失敗しました。" + kCrLf + "詳細を表示しますか？";
    if (view.Ask({question, "情報", 52, IDNO}) == IDYES) view.ShowDetails("削除処理失敗　詳細表示", failureLog);
}

void TUninstallRun::Complete() {
    const std::string& u = s.UnSetupString;
    s.StatusText += std::string(kCrLf) + "【処理完了】" + kCrLf + "　「次へ(N)」をクリックして、" + u + "を完了してください。" + kCrLf;
    Show();
    view.WaitForNext();

    s.RebootRequired = restart_;
    CompletionPage page;
    if (restart_) {
        page.message = RestartNeededText(u);
        page.choice1 = kRestartChoice;
        page.choice2 = "いいえ、Windowsは再起動せずに、アンインストーラーを終了します。(&N)";
    } else {
        page.message = u + "を完了しました。";
        page.choice1 = "アンインストーラを終了します。(&Y)";
    }
    page.finishCaption = u + "完了(&E)";
    const RunView::Choice choice = view.ShowCompletion(page);
    if (restart_ && choice == RunView::Choice::First) TWinReboot().RebootWindows(EWX_REBOOT);
    view.EndRun();
}
}  // namespace uninstall_run
