#include "ui/StartUp.h"

#include <windows.h>

#include <optional>

#include "app/RunLog.h"
#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "app/uIniFile.h"
#include "app/uUtils.h"
#include "install/ShortcutBoxes.h"
#include "platform/Win932.h"
#include "session/CommandLine.h"
#include "session/SessionStart.h"
#include "ui/Forms.h"
#include "ui/frmBack.h"
#include "ui/frmMain.h"
#include "ui/resource.h"
#include "uninstall/UninstallRun.h"

namespace {

constexpr int kShortcutBoxes[4] = {IDC_chkSCutDesktop, IDC_chkSCutStartMenu, IDC_chkSCutStartUp,
                                   IDC_chkSCutSendTo};

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

// Only the end button works: the groups are shown for the message, but the
// folder box, the browser, the option boxes and the shortcut boxes are all
// locked (nothing they could change will ever be used).
void ShowEndState(TfrmMain& form, const std::string& message) {
    form.SetText(IDC_lblMessage, message);
    form.SetText(IDC_btnEvent, "処理開始(&S)");
    form.Enable(IDC_btnEvent, false);
    for (int id : {IDC_txtFolder, IDC_btnRefer, IDC_chkOverWrite, IDC_chkHiSpeed, IDC_chkSCutDesktop,
                   IDC_chkSCutStartMenu, IDC_chkSCutStartUp, IDC_chkSCutSendTo})
        form.Enable(id, false);
    form.SetText(IDC_btnEnd, "終了(&E)");
    form.Enable(IDC_btnEnd, true);
    form.ShowPages(false, false, true);
    form.Focus(IDC_btnEnd);
}

// Banner at the bottom right of the background window, its shadow 2 pixels
// right and below; 12 pixels higher on Vista. Margins are design pixels, as
// the banner's font is.
void PlaceBanner(TfrmBack& back, const SetupState& state) {
    const std::string text = BannerText(state.ScriptFile);
    back.SetText(IDC_lblPrgTitle1, text);
    back.SetText(IDC_lblPrgTitle2, text);
    const SIZE size = back.MeasureText(IDC_lblPrgTitle1);
    const int width = size.cx + TForm::Scaled(8);
    const int height = size.cy;
    const int left = back.ClientWidth() - width - TForm::Scaled(24);
    int top = back.ClientHeight() - height - TForm::Scaled(48);
    if (IPos("Vista", state.OSName)) top -= TForm::Scaled(12);
    const int shadow = TForm::Scaled(2);
    back.SetBounds(IDC_lblPrgTitle1, left, top, width, height);
    back.SetBounds(IDC_lblPrgTitle2, left + shadow, top + shadow, width, height);
    back.Show(IDC_lblPrgTitle1, true);
    back.Show(IDC_lblPrgTitle2, true);
}

void WidenTitles(TfrmBack& back) {
    for (int id : {IDC_lblBackTitle1, IDC_lblBackTitle2}) {
        const RECT r = back.Bounds(id);
        back.SetBounds(id, r.left, r.top, back.ClientWidth() - TForm::Scaled(24), Height(r));
    }
}

void SetTitles(TfrmMain& form, TfrmBack& back, const std::string& title) {
    form.SetCaption(title);
    back.SetText(IDC_lblBackTitle1, title);
    back.SetText(IDC_lblBackTitle2, title);
}

void PrepareShortcutBoxes(TfrmMain& form, const SetupState& state, bool changeable) {
    const ShortcutBoxes named = ShortcutBoxesFrom(state.ScriptFile);
    const bool flags[4] = {named.desktop, named.startMenu, named.startUp, named.sendTo};
    for (int k = 0; k < 4; ++k) {
        form.Check(kShortcutBoxes[k], flags[k]);
        form.Enable(kShortcutBoxes[k], flags[k] && changeable);
    }
}

// The option group becomes the page of deletion options of the uninstaller.
void PrepareUninstallOptions(TfrmMain& form, SetupState& state) {
    const std::string& u = state.UnSetupString;
    form.SetText(IDC_grpSetupFolder, u + "フォルダ");
    SendMessage932(form.Item(IDC_txtFolder), EM_SETREADONLY, TRUE, 0);
    form.Enable(IDC_txtFolder, true);
    form.SetText(IDC_btnEvent, u + "続行(&C)");
    form.Enable(IDC_btnEvent, true);
    form.SetText(IDC_btnEnd, u + "終了(&E)");
    form.Enable(IDC_btnEnd, true);
    form.SetText(IDC_grpOption, u + "オプション");

    form.Show(IDC_chkOverWrite, false);
    form.Show(IDC_chkHiSpeed, false);
    // The frame takes the place of the hidden overwrite box (its boxes move
    // with it).
    const RECT frame = form.Bounds(IDC_fraShortCut);
    form.SetText(IDC_fraShortCut, "ファイルの追加削除");
    form.SetBounds(IDC_fraShortCut, frame.left, form.Bounds(IDC_chkOverWrite).top, Width(frame),
                   Height(form.Bounds(IDC_grpOption)) - TForm::Scaled(24));

    state.UnSetupOption = IniRead(Script::UnSetupOption::kSection, Script::UnSetupOption::kCheckBox,
                                  Script::UnSetupOption::kCheckBoxDefault, state.ScriptFile);
    const UninstallOptions options = UninstallOptionsFrom(
        state.UnSetupOption,
        IniRead(Script::UnSetupOption::kSection, Script::UnSetupOption::kCheckBox3, "", state.ScriptFile),
        IniRead(Script::UnSetupOption::kSection, Script::UnSetupOption::kCheckBox4, "", state.ScriptFile), u);
    for (int k = 0; k < 4; ++k) {
        const int id = kShortcutBoxes[k];
        if (options.visible[k]) form.SetText(id, options.caption[k]);
        form.Check(id, options.checked[k]);
        form.Enable(id, options.enabled[k]);
        form.Show(id, options.visible[k]);
    }
    if (options.deleteAll) {
        const RECT r = form.Bounds(IDC_chkSCutDesktop);
        form.SetBounds(IDC_chkSCutDesktop, r.left, r.top, Width(form.Bounds(IDC_fraShortCut)) - TForm::Scaled(16), Height(r));
    }

    // The text runs to two lines: the label takes the rest of the frame.
    const RECT box = form.Bounds(IDC_chkSCutDesktop);
    const RECT info = form.Bounds(IDC_lblUnSetupInfo);
    const RECT newFrame = form.Bounds(IDC_fraShortCut);
    const int top = box.bottom + TForm::Scaled(2);
    const int height = newFrame.bottom - TForm::Scaled(4) - top;
    form.SetBounds(IDC_lblUnSetupInfo, info.left, top, Width(info), height > Height(info) ? height : Height(info));
    form.SetText(IDC_lblUnSetupInfo, options.info);
    form.Show(IDC_lblUnSetupInfo, true);
}

std::string FinishedMessage(const RunOutcome& outcome) {
    const std::string u = State().UnSetupString.empty() ? "アンインストール" : State().UnSetupString;
    std::string text = "前回中断された" + u + "の残りの処理を完了しました。";
    if (outcome.failures > 0) text += "\r\n一部の処理が失敗しました。\r\n\r\n" + outcome.failureLog;
    return text;
}

// Refused: only the end button leads on.
void LeaveOnlyTheEndButton(TfrmMain& form) {
    form.Focus(IDC_btnEnd);
    form.Enable(IDC_btnEvent, false);
}

}  // namespace

void StartUp(TfrmMain& form, const std::string& firstArgument) {
    SetupState& state = State();
    EnableMenuItem(GetSystemMenu(form.Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_DISABLED | MF_GRAYED);

    const std::string fatal = StartSession(state, ModulePath(), firstArgument);
    form.SetText(IDC_lblTitleA2, std::string(kProductName) + "(on " + state.OSName + ")");
    if (!fatal.empty()) {
        // An uninstall cut short after its record went: finished here as the
        // unattended start finishes it, and the person is told so.
        const std::optional<RunOutcome> finished =
            state.Mode == "UNSETUP" ? FinishCutShortUninstall(state.RecordFile) : std::nullopt;
        if (finished) {
            LogBlock("失敗ログ", finished->failureLog);
            SetWizardExitCode(ExitCodeFor(*finished));
            ShowEndState(form, FinishedMessage(*finished));
        } else {
            LogBlock("致命的エラー", fatal);
            SetWizardExitCode(ExitCode::kCannotStart);
            ShowEndState(form, FatalMessage(fatal));
        }
        return;
    }

    const bool install = state.Mode != "UNSETUP";
    TfrmBack& back = frmBack();
    ReadWords(state);
    PlaceBanner(back, state);
    ReadPacingAndTitles(state);
    WidenTitles(back);

    form.SetText(IDC_txtFolder, DefaultInstallFolder(state));
    const bool changeable = OptionsChangeable(state.ScriptFile);
    if (install) PrepareShortcutBoxes(form, state, changeable);

    state.ItemText = TopMessage(state);
    form.SetText(IDC_lblMessage, state.ItemText);

    if (install) {
        for (int id : {IDC_txtFolder, IDC_btnRefer, IDC_chkOverWrite, IDC_chkHiSpeed}) form.Enable(id, changeable);
    }

    SetTitles(form, back, install ? state.SetupTitle : state.UnSetupTitle);
    form.SetText(IDC_grpSetupFolder, state.SetupString + "フォルダ");
    form.SetText(IDC_grpOption, state.SetupString + "オプション");
    form.SetText(IDC_btnEnd, state.SetupString + "終了(&E)");
    form.txtFolderChange();

    if (install) {
        state.ShowTitlePage = state.ShowFolderPage = state.ShowEULAPage = state.ShowReadmePage = true;
        // The title page's buttons, as the step handler sets them too: so
        // start-up can never run twice, and a refusal below always leaves a
        // usable end button.
        form.SetText(IDC_btnEvent, state.SetupString + "続行(&C)");
        form.Enable(IDC_btnEvent, true);
        form.Enable(IDC_btnEnd, true);
        form.btnEventClick();
        if (RejectOperatingSystem(state) || CheckPreviousInstallation(state, form.GetText(IDC_txtFolder)))
            LeaveOnlyTheEndButton(form);
        return;
    }

    PrepareUninstallOptions(form, state);
    state.ShowReadmePage = true;
    form.Show(IDC_fraTitle, true);
    form.Show(IDC_fraTitle, false);
    form.btnEventClick();
}
