#include "ui/frmStatus.h"

#include "app/uUtils.h"
#include "ui/Forms.h"
#include "ui/Gauge.h"
#include "ui/frmBack.h"
#include "ui/frmMain.h"
#include "ui/resource.h"

void TfrmStatus::OnInit() {
    // No closing from the title bar: only the runs end this window.
    EnableMenuItem(GetSystemMenu(Handle(), FALSE), SC_CLOSE, MF_BYCOMMAND | MF_DISABLED | MF_GRAYED);
    SetContainers({
        {IDC_lblMessage, IDC_grpMessage},
        {IDC_fraStatus, IDC_grpMessage},
        {IDC_GaugeStatus, IDC_fraStatus},
        {IDC_lblStatus, IDC_fraStatus},
    });
    Show(IDC_GaugeStatus, true);
    Show(IDC_lblStatus, true);
    SetClientSize(497, 298);
    // Exact pixel places, whatever the dialog font's units come to.
    SetDesignBounds(IDC_grpMessage, 8, 8, 481, 249);
    SetDesignBounds(IDC_lblMessage, 16, 24, 457, 225);
    SetDesignBounds(IDC_fraStatus, 16, 208, 465, 41);
    SetDesignBounds(IDC_GaugeStatus, 24, 224, 369, 17);
    SetDesignBounds(IDC_lblStatus, 400, 224, 72, 17);
    SetDesignBounds(IDC_btnAbort, 168, 264, 161, 25);
    CenterOnScreen();
}

void TfrmStatus::SetProgress(int percent) { SetGaugeProgress(Item(IDC_GaugeStatus), percent); }

int TfrmStatus::Progress() const { return GaugeProgress(Item(IDC_GaugeStatus)); }

void TfrmStatus::OnCommand(int id, int code) {
    if (id == IDC_btnAbort && code == BN_CLICKED) btnAbortClick();
}

void TfrmStatus::CloseRequested() {}

void TfrmStatus::btnAbortClick() {
    std::string caption = GetText(IDC_btnAbort);
    if (caption == "中断(&A)") {
        if (MsgBox({"ここで処理を中断すると、すでにコピー済みのファイルなどは削除されません。\r\n"
                    "一度、処理を完了してから、アンインストールすることをおすすめします。\r\n\r\n"
                    "本当にここで処理を中断しますか？",
                    "中断の確認", 36, IDNO}) != IDYES)
            return;
        // The install run sees the disabled wizard at its next check and
        // returns; the modal result then ends the program.
        frmMain().SetEnabled(false);
        frmBack().SetEnabled(true);
        SetVisible(false);
        MsgBox("処理を中断しました。", "中断", 48);
        frmMain().SetModalResult(IDOK);
    } else if (caption == "次へ(&N)") {
        // The runs wait for exactly this at their end.
        Enable(IDC_btnAbort, false);
    }
}
