#pragma once
// The wizard window: pages as frames and groups shown in place, the step
// button btnEvent (its caption carries the wizard's state) and the end button.
#include "ui/Form.h"

class TfrmMain : public TForm {
public:
    // Pages: fraTitle; fraReadme; the three groups grpMessage,
    // grpSetupFolder and grpOption together. Lets pending messages run.
    void ShowPages(bool title, bool readme, bool groups);

    // Handlers, named after control and event.
    void FormCreate();
    void FormActivate();
    void btnEventClick();
    void btnEndClick();
    void btnReferClick();
    void txtFolderChange();
    void chkEULAReadClick();
    void FormCloseQuery(bool& canClose) override;
    void FormClose() override;

protected:
    void OnInit() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    bool activating_ = false;
};

// The first command-line argument by the Windows rules (quotes group, "\""
// escapes), in the ANSI code page; empty when there is none.
std::string FirstArgument(const std::string& commandLine);
