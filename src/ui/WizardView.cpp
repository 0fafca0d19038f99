#include "ui/WizardView.h"

#include <windows.h>

#include <cmath>

#include "app/uUtils.h"
#include "ui/Forms.h"
#include "ui/frmBack.h"
#include "ui/frmCustomDlg.h"
#include "ui/frmMain.h"
#include "ui/frmStatus.h"
#include "ui/resource.h"

namespace {

constexpr int kBoxIds[4] = {IDC_chkSCutDesktop, IDC_chkSCutStartMenu, IDC_chkSCutStartUp, IDC_chkSCutSendTo};

// A wait for a press also ends when the wizard is being closed some other
// way (its modal result set), so a run can never wait on a dead window.
bool WizardClosing() { return frmMain().Handle() == nullptr || frmMain().ModalResult() != 0; }

// The run was stopped: an abort (it disables the wizard) or a close.
bool RunStopped() { return WizardClosing() || !frmMain().Enabled(); }

// Polls until the control is disabled (its press disables it); false when
// the run was stopped instead, whatever the page shows. The wizard must
// already know that a run waits (SetRunWaiting) before the button is
// offered: a press that arrives while the page is still being shown would
// otherwise be taken for a wizard step and lost.
bool WaitWhileEnabled(TForm& form, int id, unsigned long step) {
    while (form.IsEnabled(id) && !RunStopped()) {
        Sleep(step);
        ::ProcessMessages();
    }
    frmMain().SetRunWaiting(false);
    return !RunStopped();
}

}  // namespace

RunOptions TWizardView::Options() {
    TfrmMain& w = frmMain();
    RunOptions o;
    o.folderText = w.GetText(IDC_txtFolder);
    o.overWrite = w.IsChecked(IDC_chkOverWrite);
    o.hiSpeed = w.IsChecked(IDC_chkHiSpeed);
    for (int i = 0; i < 4; ++i) {
        o.boxes[i].checked = w.IsChecked(kBoxIds[i]);
        o.boxes[i].visible = w.IsShown(kBoxIds[i]);
        o.boxes[i].caption = w.GetText(kBoxIds[i]);
    }
    return o;
}

void TWizardView::DisableOptions() {
    for (int id : kBoxIds) frmMain().Enable(id, false);
}

void TWizardView::HideWizard() {
    TfrmMain& w = frmMain();
    w.SetVisible(false);
    // The closing pages have one button, in the middle.
    w.Show(IDC_btnEnd, false);
    const RECT r = w.Bounds(IDC_btnEvent);
    const int width = r.right - r.left;
    // Rounded half to even, as the toolkit's Round does.
    const int left = static_cast<int>(std::nearbyint((w.ClientWidth() - width) / 2.0));
    w.SetBounds(IDC_btnEvent, left, r.top, width, r.bottom - r.top);
    ::ProcessMessages();
}

void TWizardView::ShowProgress() {
    frmStatus().SetVisible(true);
    ::ProcessMessages();
}

void TWizardView::ShowStatus(const std::string& text) {
    frmStatus().SetText(IDC_lblMessage, text);
    ::ProcessMessages();
}

void TWizardView::ProcessMessages() { ::ProcessMessages(); }

void TWizardView::Pause(unsigned long milliseconds) { Sleep(milliseconds); }

void TWizardView::SetAbortEnabled(bool enabled) { frmStatus().Enable(IDC_btnAbort, enabled); }

// The abort handler tells the run only by disabling the wizard.
bool TWizardView::Aborted() { return !frmMain().Enabled(); }

void TWizardView::ShowGauge(bool shown) {
    frmStatus().Show(IDC_fraStatus, shown);
    ::ProcessMessages();
}

void TWizardView::SetGauge(int percent, const std::string& count) {
    frmStatus().SetProgress(percent);
    frmStatus().SetText(IDC_lblStatus, count);
}

int TWizardView::Ask(const Question& question) { return MsgBox(question); }

std::string TWizardView::AskSharedFile(const std::string& text) {
    frmCustomDlg().SetText(IDC_lblMessage, text);
    frmMain().SetText(IDC_lblFormShare, "");
    frmCustomDlg().ShowModal();
    return frmMain().GetText(IDC_lblFormShare);
}

bool TWizardView::ShowDetails(const std::string& pageCaption, const std::string& text) {
    if (RunStopped()) return false;
    TfrmMain& w = frmMain();
    w.SetRunWaiting(true);
    w.SetDetailsText(text);
    w.SetText(IDC_btnEvent, "続行(&C)");
    w.Enable(IDC_btnEvent, true);
    w.SetText(IDC_fraReadme, pageCaption);
    w.ShowPages(false, true, false);
    w.SetVisible(true);
    frmStatus().SetVisible(false);
    ::ProcessMessages();
    if (!WaitWhileEnabled(w, IDC_btnEvent, 150)) return false;
    w.ShowPages(false, false, false);
    frmStatus().SetVisible(true);
    w.SetVisible(false);
    ::ProcessMessages();
    Sleep(500);
    return true;
}

bool TWizardView::WaitForNext() {
    if (RunStopped()) return false;
    MessageBeep(0);
    TfrmStatus& st = frmStatus();
    st.SetText(IDC_btnAbort, "次へ(&N)");
    st.Enable(IDC_btnAbort, true);
    st.Focus(IDC_btnAbort);
    return WaitWhileEnabled(st, IDC_btnAbort, 100);
}

RunView::Choice TWizardView::ShowCompletion(const CompletionPage& page) {
    if (RunStopped()) return Choice::Stopped;
    TfrmMain& w = frmMain();
    w.SetRunWaiting(true);
    w.SetText(IDC_optSelectType1, page.choice1);
    w.Check(IDC_optSelectType1, true);
    w.Check(IDC_optSelectType2, false);
    w.SetText(IDC_optSelectType2, page.choice2);
    w.Enable(IDC_optSelectType2, !page.choice2.empty());
    w.Show(IDC_optSelectType2, !page.choice2.empty());
    w.SetText(IDC_lblSelectTypeMsg, page.message);
    w.SetText(IDC_btnEvent, page.finishCaption);
    w.Enable(IDC_btnEvent, true);
    w.ShowPages(false, false, false);
    w.Show(IDC_fraSelectType, true);
    w.SetVisible(true);
    frmStatus().SetVisible(false);
    ::ProcessMessages();
    w.Focus(IDC_btnEvent);
    const bool pressed = WaitWhileEnabled(w, IDC_btnEvent, 150);
    const bool second = w.IsChecked(IDC_optSelectType2);
    frmStatus().SetVisible(false);
    w.SetVisible(false);
    ::ProcessMessages();
    if (!pressed) return Choice::Stopped;
    return second ? Choice::Second : Choice::First;
}

void TWizardView::EndRun() {
    frmBack().SetEnabled(true);
    frmStatus().SetVisible(false);
    frmMain().SetModalResult(IDOK);
}
