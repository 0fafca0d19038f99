#pragma once
// The runs' view on the program's own windows: the wizard, the progress
// window and the four-button dialog.
#include "app/RunView.h"

class TWizardView : public RunView {
public:
    RunOptions Options() override;
    void DisableOptions() override;
    void HideWizard() override;
    void ShowProgress() override;
    void ShowStatus(const std::string& text) override;
    void ProcessMessages() override;
    void Pause(unsigned long milliseconds) override;
    void SetAbortEnabled(bool enabled) override;
    bool Aborted() override;
    void ShowGauge(bool shown) override;
    void SetGauge(int percent, const std::string& count) override;
    int Ask(const Question& question) override;
    std::string AskSharedFile(const std::string& text) override;
    bool ShowDetails(const std::string& pageCaption, const std::string& text) override;
    bool WaitForNext() override;
    Choice ShowCompletion(const CompletionPage& page) override;
    void EndRun() override;
};
