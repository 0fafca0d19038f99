#pragma once
// The four-button confirmation dialog: each button leaves its answer word
// ("Yes", "No", "Delete", "Save") in the wizard's hidden label lblFormShare
// and ends the dialog's modal state.
#include "ui/Form.h"

class TfrmCustomDlg : public TForm {
public:
    void btnYesClick();
    void btnNoClick();
    void btnDeleteClick();
    void btnSaveClick();

protected:
    void OnInit() override;
    void OnCommand(int id, int code) override;
    // Alt+F4 and the like: ignored, the answer must come from a button.
    void CloseRequested() override {}

private:
    void Answer(const char* word);
};
