#include "ui/frmMain.h"

#include "app/SetupState.h"
#include "app/uUtils.h"
#include "platform/Win932.h"
#include "session/WizardText.h"
#include "ui/Forms.h"
#include "ui/StartUp.h"
#include "ui/frmBack.h"
#include "ui/resource.h"

#include <shlobj.h>

namespace {

constexpr UINT WM_RV_ACTIVATE = WM_APP + 1;

}  // namespace

void TfrmMain::OnInit() {
    // Frames and groups with what they contain, as laid out in the template.
    SetContainers({
        {IDC_lblTitleA1, IDC_fraTitle},        {IDC_lblTitleA2, IDC_fraTitle},
        {IDC_imgTitle1, IDC_fraTitle},         {IDC_lblTitleMessage, IDC_fraTitle},
        {IDC_txtReadme, IDC_fraReadme},        {IDC_chkEULARead, IDC_fraReadme},
        {IDC_lblMessage, IDC_grpMessage},      {IDC_txtFolder, IDC_grpSetupFolder},
        {IDC_btnRefer, IDC_grpSetupFolder},    {IDC_chkOverWrite, IDC_grpOption},
        {IDC_chkHiSpeed, IDC_grpOption},       {IDC_fraShortCut, IDC_grpOption},
        {IDC_chkSCutDesktop, IDC_fraShortCut}, {IDC_chkSCutStartMenu, IDC_fraShortCut},
        {IDC_chkSCutStartUp, IDC_fraShortCut}, {IDC_chkSCutSendTo, IDC_fraShortCut},
        {IDC_lblUnSetupInfo, IDC_fraShortCut}, {IDC_optSelectType1, IDC_fraSelectType},
        {IDC_optSelectType2, IDC_fraSelectType}, {IDC_lblSelectTypeMsg, IDC_fraSelectType},
    });
    // Components visible inside their (hidden) pages from the start.
    for (int id : {IDC_lblTitleA1, IDC_lblTitleA2, IDC_imgTitle1, IDC_lblTitleMessage, IDC_txtReadme, IDC_lblMessage,
                   IDC_txtFolder, IDC_btnRefer, IDC_chkOverWrite, IDC_chkHiSpeed, IDC_fraShortCut, IDC_chkSCutDesktop,
                   IDC_chkSCutStartMenu, IDC_chkSCutStartUp, IDC_chkSCutSendTo, IDC_optSelectType1,
                   IDC_optSelectType2, IDC_lblSelectTypeMsg})
        Show(id, true);
    Check(IDC_chkOverWrite, true);
    SetClientSize(489, 298);
    CenterOnScreen();
    FormCreate();
}

void TfrmMain::ShowPages(bool title, bool readme, bool groups) {
    Show(IDC_fraTitle, title);
    Show(IDC_fraReadme, readme);
    Show(IDC_grpMessage, groups);
    Show(IDC_grpSetupFolder, groups);
    Show(IDC_grpOption, groups);
    ProcessMessages();
}

void TfrmMain::OnCommand(int id, int code) {
    switch (id) {
    case IDC_btnEvent:
        if (code == BN_CLICKED) btnEventClick();
        break;
    case IDC_btnEnd:
        if (code == BN_CLICKED) btnEndClick();
        break;
    case IDC_btnRefer:
        if (code == BN_CLICKED) btnReferClick();
        break;
    case IDC_chkEULARead:
        if (code == BN_CLICKED) chkEULAReadClick();
        break;
    case IDC_txtFolder:
        if (code == EN_CHANGE) txtFolderChange();
        break;
    }
}

bool TfrmMain::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_ACTIVATE:
        // Start-up shows message boxes; it runs after activation has
        // finished, not inside it.
        if (LOWORD(wp) != WA_INACTIVE) PostMessage932(Handle(), WM_RV_ACTIVATE, 0, 0);
        return false;
    case WM_RV_ACTIVATE:
        FormActivate();
        result = 0;
        return true;
    case WM_CTLCOLORSTATIC:
        // The memo is read-only, which the system would paint in the dialog's
        // grey: it has the window colour, and white while it shows the licence.
        if (reinterpret_cast<HWND>(lp) == Item(IDC_txtReadme)) {
            const HDC dc = reinterpret_cast<HDC>(wp);
            SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
            if (memoWhite_) {
                SetBkColor(dc, RGB(255, 255, 255));
                result = reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
            } else {
                SetBkColor(dc, GetSysColor(COLOR_WINDOW));
                result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
            }
            return true;
        }
        return false;
    }
    return false;
}

void TfrmMain::FormCreate() { ProcessMessages(); }

void TfrmMain::FormActivate() {
    // Start-up only while btnEvent has no caption: it sets one on every path,
    // so later activations (after a message box, after a run) do nothing.
    if (activating_ || !GetText(IDC_btnEvent).empty()) return;
    activating_ = true;
    StartUp(*this, session_, startArgument_);
    activating_ = false;
}


void TfrmMain::btnEndClick() { SetModalResult(IDOK); }

void TfrmMain::chkEULAReadClick() { Enable(IDC_btnEvent, IsChecked(IDC_chkEULARead)); }

void TfrmMain::FormCloseQuery(bool& canClose) {
    // Only a wizard still in progress asks: not after declining the licence
    // or from the fatal state, not while the background takes input again
    // (an abort), and not when the step button is locked.
    std::string end = GetText(IDC_btnEnd);
    if (end == "同意しない(&N)" || end == "終了(&E)") return;
    if (frmBack().Enabled() || !IsEnabled(IDC_btnEvent)) return;
    const SetupState& s = State();
    if (MsgBox({CloseQuestion(s.SetupString, s.UnSetupString), "終了確認", 36, IDNO}) == IDNO) {
        canClose = false;
        return;
    }
    frmBack().SetEnabled(true);
    SetModalResult(IDOK);
}

