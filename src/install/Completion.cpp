// The last stretch: the failure details, the summary, the completion page,
// and a restart or the run-after program.
#include <windows.h>

#include "app/PathMacros.h"
#include "app/RunLog.h"
#include "app/ScriptKeys.h"
#include "app/uIniFile.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "install/InstallContext.h"
#include "sysops/Shell.h"

namespace {

constexpr const char* kRebootWord = "WINDOWS_REBOOT";

// False when the run was stopped while the details were shown.
bool OfferDetails(InstallContext& run) {
    SetupState& s = run.s;
    if (run.failures == 0) return true;
    s.LastAnswer = run.view.Ask({"フォルダの作成・ファイルのコピーで、一部の処理が失敗しました。\r\n詳細を表示しますか？",
                                 "警告", 52, IDNO});
    return s.LastAnswer != IDYES || run.view.ShowDetails("作成・コピー処理失敗　詳細表示", run.failureLog);
}

}  // namespace

bool CompleteInstall(InstallContext& run) {
    SetupState& s = run.s;
    const std::string& S = s.SetupString;
    if (!OfferDetails(run)) return false;

    s.StatusText += "\r\n【処理完了】\r\n";
    // Only an entry that was made is pointed to; a key name left empty is
    // told here, where the person reads it.
    if (run.registered)
        s.StatusText += "　プログラムの" + s.UnSetupString +
                        "は、「プログラム(アプリケーション)の追加と削除」から行うことができます。\r\n";
    else if (!run.registrationNote.empty())
        s.StatusText += "　" + run.registrationNote + "\r\n";
    s.StatusText += "　「次へ(N)」をクリックして、" + S + "を完了してください。\r\n";
    run.Show();
    if (!run.view.WaitForNext()) return false;

    std::string file = IniRead(Script::ExecuteFile::kSection, Script::ExecuteFile::kFile, "", s.ScriptFile);
    const bool restart = file == kRebootWord || s.LockedFileFound;
    s.RebootRequired = restart;
    run.restartNeeded = restart;
    if (restart) {
        s.ItemText = RestartNeededText(S);
    } else {
        s.ItemText = S + "を完了しました。";
    }

    if (file == kRebootWord) file.clear();
    file = ExpandPathMacros(file);
    std::string program = file;
    std::string parameters;
    std::string method;
    if (IPos(",", file)) {
        method = GetField(file, ',', 3);
        parameters = GetField(file, ',', 2);
        program = GetField(file, ',', 1);
    }
    const bool createProcess = method == "CreateProcess";
    if (!program.empty()) {
        s.ItemText += "\r\n\r\n【インストーラ終了後、以下のプログラムが実行されます。】\r\n\r\n";
        s.ItemText += createProcess ? "(CreateProcess APIを利用します。)" : "(ShellExecute APIを利用します。)";
        s.ItemText += "\r\n" + program + " " + parameters;
    }

    CompletionPage page;
    page.message = s.ItemText;
    page.finishCaption = S + "完了(&E)";
    if (restart) {
        page.choice1 = kRestartChoice;
        page.choice2 = program.empty() ? "いいえ、Windowsは再起動せずに、インストーラーを終了します。(&N)"
                                       : "いいえ、Windowsは再起動せずに、プログラムを実行します。(&N)";
    } else {
        page.choice1 = program.empty() ? "インストーラを終了します。(&Y)" : "インストーラを終了して、プログラムを実行します。(&Y)";
    }
    const RunView::Choice choice = run.view.ShowCompletion(page);
    if (choice == RunView::Choice::Stopped) {
        s.RebootRequired = false;
        return false;
    }
    if (s.RebootRequired && choice == RunView::Choice::Second) s.RebootRequired = false;

    if (s.RebootRequired) {
        s.RebootRequired = TWinReboot().RebootWindows(EWX_REBOOT);
    } else if (!program.empty() && !run.view.MayStartProgram()) {
        LogLine("状況", "終了後のプログラムは実行しません: " + program);
    } else if (!program.empty()) {
        const std::string folder = AddPathDelimiter(ExtractFilePath(program), "B");
        s.LastAnswer = createProcess ? ProcessRun(program, parameters, folder) : ShellRun(program, parameters, folder);
        if (s.LastAnswer >= 1)
            run.view.Ask({"終了後プログラムの起動に失敗しました。\r\niniファイルの記述ミスの可能性があります。\r\n"
                          "プログラム提供者へご報告ください。",
                          "警告", 48, IDOK});
    }
    run.view.EndRun();
    return true;
}
