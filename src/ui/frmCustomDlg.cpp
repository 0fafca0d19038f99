#include "ui/frmCustomDlg.h"

#include "ui/Forms.h"
#include "ui/frmMain.h"
#include "ui/resource.h"

void TfrmCustomDlg::OnInit() {
    SetClientSize(426, 121);
    SetDesignBounds(IDC_lblMessage, 8, 8, 409, 73);
    SetDesignBounds(IDC_btnYes, 8, 88, 97, 25);
    SetDesignBounds(IDC_btnNo, 112, 88, 97, 25);
    SetDesignBounds(IDC_btnDelete, 216, 88, 97, 25);
    SetDesignBounds(IDC_btnSave, 320, 88, 97, 25);
    CenterOnScreen();
}

void TfrmCustomDlg::OnCommand(int id, int code) {
    if (code != BN_CLICKED) return;
    switch (id) {
    case IDC_btnYes: btnYesClick(); break;
    case IDC_btnNo: btnNoClick(); break;
    case IDC_btnDelete: btnDeleteClick(); break;
    case IDC_btnSave: btnSaveClick(); break;
    }
}

void TfrmCustomDlg::Answer(const char* word) {
    // The answer outlives the dialog in the wizard's hidden label.
    frmMain().SetText(IDC_lblFormShare, word);
    SetModalResult(IDOK);
}

void TfrmCustomDlg::btnYesClick() { Answer("Yes"); }
void TfrmCustomDlg::btnNoClick() { Answer("No"); }
void TfrmCustomDlg::btnDeleteClick() { Answer("Delete"); }
void TfrmCustomDlg::btnSaveClick() { Answer("Save"); }
