#pragma once
// A view that writes the run's questions that are no message box (the
// shared-file dialog, the completion page) with their answers and who gave
// them to the /LOG file, and hands everything on to the view it wraps (the
// wizard's windows or the unattended view). Message boxes are logged where
// they are answered: by MsgBox for a person, by the unattended view for /S.
#include <string>

#include "app/RunView.h"

class TLoggingView : public RunView {
public:
    // who: the word for whoever answers through the inner view.
    TLoggingView(RunView& inner, std::string who) : inner_(inner), who_(std::move(who)) {}

    RunOptions Options() override { return inner_.Options(); }
    void DisableOptions() override { inner_.DisableOptions(); }
    void HideWizard() override { inner_.HideWizard(); }
    void ShowProgress() override { inner_.ShowProgress(); }
    void ShowStatus(const std::string& text) override { inner_.ShowStatus(text); }
    void ProcessMessages() override { inner_.ProcessMessages(); }
    void Pause(unsigned long milliseconds) override { inner_.Pause(milliseconds); }
    void SetAbortEnabled(bool enabled) override { inner_.SetAbortEnabled(enabled); }
    bool Aborted() override { return inner_.Aborted(); }
    void ShowGauge(bool shown) override { inner_.ShowGauge(shown); }
    void SetGauge(int percent, const std::string& count) override { inner_.SetGauge(percent, count); }
    int Ask(const Question& question) override { return inner_.Ask(question); }
    std::string AskSharedFile(const std::string& text) override;
    bool ShowDetails(const std::string& pageCaption, const std::string& text) override {
        return inner_.ShowDetails(pageCaption, text);
    }
    bool WaitForNext() override { return inner_.WaitForNext(); }
    Choice ShowCompletion(const CompletionPage& page) override;
    bool MayStartProgram() override { return inner_.MayStartProgram(); }
    void EndRun() override { inner_.EndRun(); }

private:
    RunView& inner_;
    std::string who_;
};
