#pragma once
// The runs' one door to the person in front of the screen. The install and
// uninstall runs, and the record writing inside the install run, show their
// progress, ask their questions and wait for presses only through this
// interface; the wizard's windows implement it, a test implements it, and an
// unattended mode implements it without any window. Every question of a run
// goes through Ask (or AskSharedFile), so each has exactly one place where it
// is answered; the message boxes of the layers below the runs (MsgBox) reach
// the same view while a run's front end is unattended.
//
// Implemented by TWizardView (ui/), TSilentView (silent/), the decorator
// TLoggingView (session/) and the test views.
#include <string>

#include "app/Question.h"

// The wizard's folder box and option boxes as the person left them when the
// run started.
struct RunOptions {
    std::string folderText;   // txtFolder as typed
    bool overWrite = true;    // chkOverWrite
    bool hiSpeed = false;     // chkHiSpeed
    // The four option boxes in their order: desktop, start menu, start-up,
    // send-to in an install; "*.INI" (or delete-all), "*.GID" and the two
    // captions of the record in an uninstall.
    struct Box {
        bool checked = false;
        bool visible = true;
        std::string caption;
    };
    Box boxes[4];
    // An uninstall: the record is the one the install wrote, unchanged
    // since; only such a record may have classes deleted. The uninstall sets
    // it from the record's digest; no record is trusted before that.
    bool recordTrusted = false;
};

// What the completion page shows: the message, one or two choices and the
// caption of the finish button. An empty second choice is hidden.
struct CompletionPage {
    std::string message;
    std::string choice1;
    std::string choice2;
    std::string finishCaption;
};

class RunView {
public:
    virtual ~RunView() = default;

    // The options at the start of the run.
    virtual RunOptions Options() = 0;
    // Uninstall only: the option boxes stop taking input.
    virtual void DisableOptions() = 0;
    // The wizard leaves the screen; its button is prepared for the closing
    // pages (end button hidden, step button centred).
    virtual void HideWizard() = 0;
    virtual void ShowProgress() = 0;

    // The status label gets the text; pending window messages are handled.
    virtual void ShowStatus(const std::string& text) = 0;
    // Lets pending window messages run.
    virtual void ProcessMessages() = 0;
    // Pacing for a person to watch; an unattended view does not wait.
    virtual void Pause(unsigned long milliseconds) = 0;

    // The abort button of the install run.
    virtual void SetAbortEnabled(bool enabled) = 0;
    // True once the person has confirmed an abort; the run then returns at
    // once (the abort has already told the person and ends the program).
    virtual bool Aborted() = 0;

    // The copy stage's gauge group: shown or hidden, percent (0 to 100) and
    // the count text "(n/m)".
    virtual void ShowGauge(bool shown) = 0;
    virtual void SetGauge(int percent, const std::string& count) = 0;

    // A message box of the run; the pressed button's id (the question's own
    // unattended answer when nobody is there).
    virtual int Ask(const Question& question) = 0;
    // The four-button shared-file question; "Yes", "No", "Delete" or "Save".
    virtual std::string AskSharedFile(const std::string& text) = 0;

    // Every wait below ends also when the run was stopped meanwhile (an
    // abort, the wizard closing): it then says so, and no choice counts.

    // The wizard's text page with the failure details and "続行(&C)";
    // returns once the person pressed it and the progress window is back;
    // false when the run was stopped instead.
    virtual bool ShowDetails(const std::string& pageCaption, const std::string& text) = 0;
    // The progress window's button becomes "次へ(&N)"; returns once pressed;
    // false when the run was stopped instead.
    virtual bool WaitForNext() = 0;
    // The completion page; returns once the finish button was pressed, with
    // the choice selected. Both windows are hidden then.
    enum class Choice { First, Second, Stopped };
    virtual Choice ShowCompletion(const CompletionPage& page) = 0;
    // Whether the install's run-after program may be started once the
    // completion page is left; an unattended view never starts it.
    virtual bool MayStartProgram() { return true; }

    // Ends the run's windows: background enabled, progress window closed,
    // the wizard's modal result set (which ends the program).
    virtual void EndRun() = 0;
};
