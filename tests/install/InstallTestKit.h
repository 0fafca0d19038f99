#pragma once
// A view that stands in for the person during an in-process install run,
// and a state record pointed at scratch folders, so the run's stages can be
// tried against the real file system and registry without any window.
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "app/RunView.h"
#include "app/SetupState.h"

class TestView : public RunView {
public:
    struct Answer {
        std::string caption;
        std::string textPart;  // empty: any text
        int answer;
        std::function<void()> before;  // runs just before the answer is given
    };
    ~TestView() override;

    // Questions are answered in order; an unexpected one fails the test.
    TestView& Expect(const std::string& caption, const std::string& textPart, int answer,
                     std::function<void()> before = {});

    RunOptions options;
    std::deque<std::string> sharedAnswers;  // the four-button dialog's answers, in order
    std::string abortWhenStatusHas;  // the person aborts when a status shows this
    bool chooseSecond = false;       // the completion page's second choice

    // What the run did.
    std::vector<std::string> statuses;
    std::vector<std::string> asked;  // caption + ": " + text
    std::vector<std::string> sharedAsked;
    std::vector<std::string> counts;
    std::vector<int> percents;
    std::string detailsCaption, detailsText;
    int nextWaits = 0;
    bool completionShown = false;
    CompletionPage page;
    int endRuns = 0;
    bool aborted = false;
    bool wizardHidden = false;

    RunOptions Options() override { return options; }
    void DisableOptions() override {}
    void HideWizard() override { wizardHidden = true; }
    void ShowProgress() override {}
    void ShowStatus(const std::string& text) override;
    void ProcessMessages() override {}
    void Pause(unsigned long) override {}
    void SetAbortEnabled(bool) override {}
    bool Aborted() override { return aborted; }
    void ShowGauge(bool) override {}
    void SetGauge(int percent, const std::string& count) override {
        percents.push_back(percent);
        counts.push_back(count);
    }
    int Ask(const Question& question) override;
    std::string AskSharedFile(const std::string& text) override;
    // Like the wizard's, every wait ends as stopped once the person aborted.
    bool ShowDetails(const std::string& caption, const std::string& text) override {
        detailsCaption = caption;
        detailsText = text;
        return !aborted;
    }
    bool WaitForNext() override {
        ++nextWaits;
        return !aborted;
    }
    Choice ShowCompletion(const CompletionPage& p) override {
        completionShown = true;
        page = p;
        if (aborted) return Choice::Stopped;
        return chooseSecond ? Choice::Second : Choice::First;
    }
    void EndRun() override { ++endRuns; }

    // The last status shown.
    std::string Status() const { return statuses.empty() ? std::string() : statuses.back(); }

private:
    std::deque<Answer> answers_;
};

// State() pointed at folders of a scratch folder: a distribution (source),
// a working folder with SETUPB.EXE, a Windows folder, and shell folders; the
// script is written into the working folder. Restores the state and removes
// the Add/Remove Programs key and program-ID lines it may have caused.
class InstallFixture {
public:
    InstallFixture();
    ~InstallFixture();
    InstallFixture(const InstallFixture&) = delete;
    InstallFixture& operator=(const InstallFixture&) = delete;

    // Writes the script (CP932) as the run's script copy; "[Title]" with
    // the uninstall key name of this test is added in front.
    void Script(const std::string& body) const;
    void Source(const std::string& relative, const std::string& bytes) const { root.Write("dist\\" + relative, bytes); }
    std::string App() const { return root / "app\\"; }
    std::string KeyName() const { return key_; }
    std::string KeyPath() const;

    ScratchFolder root;
    SetupState& s;

private:
    SetupState saved_;
    std::string key_;
};
