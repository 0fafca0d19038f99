#pragma once
// The unattended view of /S: no window, no pause, and every question of a
// run answered from one fixed table (the README lists it). What a box would
// have said goes to the /LOG file and to the standard error stream.
#include <string>

#include "app/RunView.h"

// The answer of the table for a question: by the question's caption, then by
// its buttons. repeated: the same question came right before (a disk that
// is still missing after the first answer).
int SilentAnswer(const std::string& caption, unsigned flags, bool repeated);

// The shared-file dialog's answer: keep the file ("No": this file only, so
// each kept file is asked, and logged, on its own).
constexpr const char* kSilentSharedAnswer = "No";

// Who answered, in the log.
constexpr const char* kSilentAnswerer = "サイレント既定";

// Writes text to the standard error stream when the program has one.
void WriteStandardError(const std::string& text);

class TSilentView : public RunView {
public:
    explicit TSilentView(RunOptions options) : options_(std::move(options)) {}

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
    int Ask(const std::string& text, const std::string& caption, unsigned flags) override;
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
    std::string lastCaption_;
    std::string lastText_;
};
