#include "ui/StartUp.h"

#include <windows.h>

#include "app/RunOutcome.h"
#include "app/ScriptKeys.h"
#include "app/SetupState.h"
#include "app/uUtils.h"
#include "platform/Win932.h"
#include "session/Session.h"
#include "session/SessionStart.h"
#include "ui/Forms.h"
#include "ui/frmBack.h"
#include "ui/frmMain.h"
#include "ui/resource.h"

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
void PlaceBanner(TfrmBack& back, const std::string& text, const std::string& osName) {
    back.SetText(IDC_lblPrgTitle1, text);
    back.SetText(IDC_lblPrgTitle2, text);
    const SIZE size = back.MeasureText(IDC_lblPrgTitle1);
    const int width = size.cx + TForm::Scaled(8);
    const int height = size.cy;
    const int left = back.ClientWidth() - width - TForm::Scaled(24);
    int top = back.ClientHeight() - height - TForm::Scaled(48);
    if (IPos("Vista", osName)) top -= TForm::Scaled(12);
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

void PrepareShortcutBoxes(TfrmMain& form, const ShortcutBoxes& named, bool changeable) {
    const bool flags[4] = {named.desktop, named.startMenu, named.startUp, named.sendTo};
    for (int k = 0; k < 4; ++k) {
        form.Check(kShortcutBoxes[k], flags[k]);
        form.Enable(kShortcutBoxes[k], flags[k] && changeable);
    }
}

// The option group becomes the page of deletion options of the uninstaller.
void PrepareUninstallOptions(TfrmMain& form, const std::string& u, const UninstallOptions& options) {
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

void StartUp(TfrmMain& form, Session& session, const std::string& firstArgument) {
    SetupState& state = State();
    EnableMenuItem(GetSystemMenu(form.Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_DISABLED | MF_GRAYED);

    const StartUpResult start = session.Start(ModulePath(), firstArgument);
    form.SetText(IDC_lblTitleA2, std::string(kProductName) + "(on " + state.OSName + ")");
    if (start.kind == StartUpResult::Kind::Fatal || start.kind == StartUpResult::Kind::Finished) {
        SetWizardExitCode(start.exitCode);
        ShowEndState(form, start.kind == StartUpResult::Kind::Finished ? FinishedMessage(start.finished)
                                                                       : FatalMessage(start.fatal));
        return;
    }

    const bool install = start.kind == StartUpResult::Kind::Install;
    TfrmBack& back = frmBack();
    PlaceBanner(back, start.banner, state.OSName);
    WidenTitles(back);

    form.SetText(IDC_txtFolder, start.folder);
    if (install) PrepareShortcutBoxes(form, start.shortcuts, start.optionsChangeable);
    form.SetText(IDC_lblMessage, start.topMessage);

    if (install) {
        for (int id : {IDC_txtFolder, IDC_btnRefer, IDC_chkOverWrite, IDC_chkHiSpeed})
            form.Enable(id, start.optionsChangeable);
    }

    SetTitles(form, back, start.title);
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
        if (session.InstallRefused(form.GetText(IDC_txtFolder))) LeaveOnlyTheEndButton(form);
        return;
    }

    PrepareUninstallOptions(form, state.UnSetupString, start.uninstallOptions);
    state.ShowReadmePage = true;
    form.Show(IDC_fraTitle, true);
    form.Show(IDC_fraTitle, false);
    form.btnEventClick();
}
