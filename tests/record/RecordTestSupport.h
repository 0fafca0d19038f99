#pragma once
// What the record tests share: a run view that answers only the questions a
// test expects, the state record put back after each test, and a helper
// program that holds a file open.
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "TestSupport.h"
#include "app/RunView.h"
#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "platform/Handles.h"

// Questions are expected in order with caption, text and flags exact; any
// other question, or any other use of the view, fails the test. At its end
// every expected question must have been asked.
class ExpectingRunView : public RunView {
public:
    ~ExpectingRunView() override {
        for (const Expected& q : expected_) ADD_FAILURE() << "question never asked: " << ToUtf8(q.text);
    }
    ExpectingRunView& Expect(const std::string& caption, const std::string& text, unsigned flags, int answer = IDOK) {
        expected_.push_back({caption, text, flags, answer});
        return *this;
    }

    int Ask(const Question& question) override {
        const std::string& text = question.text;
        const std::string& caption = question.caption;
        const unsigned flags = question.flags;
        EXPECT_EQ(ExpectedUnattendedAnswer(caption, flags, false), question.unattended) << ToUtf8(text);
        if (expected_.empty()) {
            ADD_FAILURE() << "unexpected question: " << ToUtf8(caption) << " / " << ToUtf8(text);
            return IDOK;
        }
        const Expected q = expected_.front();
        expected_.pop_front();
        EXPECT_EQ(ToUtf8(q.caption), ToUtf8(caption));
        EXPECT_EQ(ToUtf8(q.text), ToUtf8(text));
        EXPECT_EQ(q.flags, flags);
        return q.answer;
    }

    RunOptions Options() override {
        Unexpected("Options");
        return RunOptions{};
    }
    void DisableOptions() override { Unexpected("DisableOptions"); }
    void HideWizard() override { Unexpected("HideWizard"); }
    void ShowProgress() override { Unexpected("ShowProgress"); }
    void ShowStatus(const std::string&) override { Unexpected("ShowStatus"); }
    void ProcessMessages() override { Unexpected("ProcessMessages"); }
    void Pause(unsigned long) override { Unexpected("Pause"); }
    void SetAbortEnabled(bool) override { Unexpected("SetAbortEnabled"); }
    bool Aborted() override {
        Unexpected("Aborted");
        return false;
    }
    void ShowGauge(bool) override { Unexpected("ShowGauge"); }
    void SetGauge(int, const std::string&) override { Unexpected("SetGauge"); }
    std::string AskSharedFile(const std::string&) override {
        Unexpected("AskSharedFile");
        return std::string();
    }
    bool ShowDetails(const std::string&, const std::string&) override {
        Unexpected("ShowDetails");
        return false;
    }
    bool WaitForNext() override {
        Unexpected("WaitForNext");
        return false;
    }
    Choice ShowCompletion(const CompletionPage&) override {
        Unexpected("ShowCompletion");
        return Choice::Stopped;
    }
    void EndRun() override { Unexpected("EndRun"); }

private:
    struct Expected {
        std::string caption, text;
        unsigned flags;
        int answer;
    };
    static void Unexpected(const char* what) { ADD_FAILURE() << "the record used the view's " << what; }
    std::deque<Expected> expected_;
};


// The folder of the running test program, where the helper programs lie.
inline std::string BinFolder() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return ExtractFilePath(path);
}

// Holds the file open with read and write sharing but without delete
// sharing, as an editor holding the record would.
struct FileHolder : FileLocker {
    explicit FileHolder(const std::string& path) : FileLocker(path, "record_holder.exe") {}
};
