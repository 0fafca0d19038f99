#pragma once
// The wizard window: pages as frames and groups shown in place, the step
// button btnEvent (its caption carries the wizard's state) and the end button.
#include <string>

#include "app/SetupState.h"
#include "session/Session.h"
#include "ui/FolderDialog.h"
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

    // The folder browser of the folder page.
    TFolderDialog dlgFolder;

    // The argument start-up takes (LaunchCommand::recordArgument), given by
    // the entry before the wizard first activates.
    void SetStartArgument(const std::string& argument) { startArgument_ = argument; }

    // A run waits for a press of btnEvent on one of its own pages; only then
    // do the bare "続行(&C)" and the finish captions belong to a run.
    void SetRunWaiting(bool waiting) { runWaiting_ = waiting; }
    bool RunWaiting() const { return runWaiting_; }
    // The memo with a run's failure details, vertical scroll bar.
    void SetDetailsText(const std::string& text);

protected:
    void OnInit() override;
    void OnCommand(int id, int code) override;
    bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) override;

private:
    // The package author's checker: true when the wizard may go on.
    bool RunPreInstallChecker();
    void StartRun();
    // The memo of the licence and readme pages.
    void SetMemoText(const std::string& text);
    void SetMemoWhite(bool white);
    void SetMemoScrollBars(const std::string& value);

    Session session_{State()};
    std::string startArgument_;
    bool activating_ = false;
    bool memoWhite_ = false;
    bool runWaiting_ = false;
};
