#pragma once
// The unattended view of /S: no window, no pause, and every question
// answered with the unattended answer it carries (the README lists them);
// the message boxes of the layers below reach it too, through MsgBox's
// responder. What a box would have said goes to the /LOG file and to the
// standard error stream.
#include <functional>
#include <string>

#include "app/RunView.h"

// The shared-file dialog's answer: keep the file ("No": this file only, so
// each kept file is asked, and logged, on its own).
constexpr const char* kSilentSharedAnswer = "No";

// Who answered, in the log.
constexpr const char* kSilentAnswerer = "サイレント既定";

// Writes text to the standard error stream when the program has one.
void WriteStandardError(const std::string& text);

class TSilentView : public RunView {
public:
    // The options a run takes: set before the run starts.
    void SetOptions(RunOptions options) { options_ = std::move(options); }

    RunOptions Options() override { return options_; }
    void DisableOptions() override {}
    void HideWizard() override {}
    void ShowProgress() override {}
    void ShowStatus(const std::string&) override {}
    void ProcessMessages() override {}
    void Pause(unsigned long) override {}
    void SetAbortEnabled(bool) override {}
    bool Aborted() override { return false; }
    void ShowGauge(bool) override {}
    void SetGauge(int, const std::string&) override {}
    int Ask(const Question& question) override;
    // Each question and its answer, told once more (a preview lists them
    // among its changes).
    void SetEcho(std::function<void(const std::string& line)> echo) { echo_ = std::move(echo); }
    std::string AskSharedFile(const std::string&) override { return kSilentSharedAnswer; }
    // The failure log goes to the log file once the run has returned.
    bool ShowDetails(const std::string&, const std::string&) override { return true; }
    bool WaitForNext() override { return true; }
    // The second choice is always "do not restart" when there is one.
    Choice ShowCompletion(const CompletionPage& page) override {
        return page.choice2.empty() ? Choice::First : Choice::Second;
    }
    bool MayStartProgram() override { return false; }
    void EndRun() override {}

private:
    RunOptions options_;
    std::function<void(const std::string& line)> echo_;
};
