#pragma once
// What the uninstall tests share: a view whose answers are scripted (an
// unexpected question fails the test), the state record of a started
// uninstaller on this machine, hand-written records, and owners for the
// machine-wide values a test sets (SharedDLLs counts, pending deletions,
// classes).
#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "../sysops/SysopsTestUtil.h"
#include "MachineValues.h"
#include "TestSupport.h"
#include "app/RunView.h"
#include "app/SetupState.h"
#include "platform/Handles.h"
#include "session/SessionStart.h"
#include "sysops/SharedDlls.h"
#include "sysops/Shell.h"

namespace ukit {

// ---- The view ----

class TestRunView : public RunView {
public:
    // Scripted answers, used in order. Each question must match the caption
    // and flags exactly and contain textPart.
    TestRunView& ExpectAsk(const std::string& caption, const std::string& textPart, unsigned flags, int answer) {
        asks_.push_back({caption, textPart, flags, answer});
        return *this;
    }
    TestRunView& ExpectShared(const std::string& answer) {
        sharedAnswers_.push_back(answer);
        return *this;
    }
    ~TestRunView() override {
        EXPECT_TRUE(asks_.empty()) << asks_.size() << " expected question(s) never asked, first: "
                                   << (asks_.empty() ? "" : ToUtf8(asks_.front().textPart));
        EXPECT_TRUE(sharedAnswers_.empty()) << sharedAnswers_.size() << " shared-file answer(s) never used";
    }

    RunOptions options;
    bool choosesSecond = false;  // the completion page's answer

    // What the run did with the view.
    std::vector<std::string> events;  // calls in order, by name
    std::vector<std::string> asked;   // texts of Ask
    std::vector<std::string> sharedTexts;
    std::vector<std::string> statuses;
    std::string detailsCaption, detailsText;
    CompletionPage completion;

    RunOptions Options() override {
        events.push_back("Options");
        return options;
    }
    void DisableOptions() override { events.push_back("DisableOptions"); }
    void HideWizard() override { events.push_back("HideWizard"); }
    void ShowProgress() override { events.push_back("ShowProgress"); }
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
    void ProcessMessages() override {}
    void Pause(unsigned long) override {}
    void SetAbortEnabled(bool) override { ADD_FAILURE() << "the uninstall run has no abort"; }
    bool Aborted() override { return false; }
    void ShowGauge(bool) override { ADD_FAILURE() << "the uninstall run shows no gauge"; }
    void SetGauge(int, const std::string&) override { ADD_FAILURE() << "the uninstall run shows no gauge"; }

    int Ask(const Question& question) override {
        const std::string& text = question.text;
        const std::string& caption = question.caption;
        const unsigned flags = question.flags;
        EXPECT_EQ(ExpectedUnattendedAnswer(caption, flags, false), question.unattended) << ToUtf8(text);
        events.push_back("Ask");
        asked.push_back(text);
        if (asks_.empty()) {
            ADD_FAILURE() << "unexpected question [" << ToUtf8(caption) << "] " << ToUtf8(text);
            return (flags & 0xF) == MB_YESNO ? IDNO : IDOK;  // the answer that changes nothing
        }
        const Expected q = asks_.front();
        asks_.pop_front();
        EXPECT_EQ(ToUtf8(q.caption), ToUtf8(caption)) << ToUtf8(text);
        EXPECT_EQ(q.flags, flags) << ToUtf8(text);
        EXPECT_NE(std::string::npos, text.find(q.textPart)) << "expected within: " << ToUtf8(q.textPart)
                                                            << "\nasked: " << ToUtf8(text);
        return q.answer;
    }
    std::string AskSharedFile(const std::string& text) override {
        events.push_back("AskSharedFile");
        sharedTexts.push_back(text);
        if (sharedAnswers_.empty()) {
            ADD_FAILURE() << "unexpected shared-file question " << ToUtf8(text);
            return "No";
        }
        const std::string answer = sharedAnswers_.front();
        sharedAnswers_.pop_front();
        return answer;
    }
    bool ShowDetails(const std::string& caption, const std::string& text) override {
        events.push_back("ShowDetails");
        detailsCaption = caption;
        detailsText = text;
        return true;
    }
    bool WaitForNext() override {
        events.push_back("WaitForNext");
        return true;
    }
    Choice ShowCompletion(const CompletionPage& page) override {
        events.push_back("ShowCompletion");
        completion = page;
        return choosesSecond ? Choice::Second : Choice::First;
    }
    void EndRun() override { events.push_back("EndRun"); }

    // The final progress text.
    std::string LastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }

private:
    struct Expected {
        std::string caption, textPart;
        unsigned flags;
        int answer;
    };
    std::deque<Expected> asks_;
    std::deque<std::string> sharedAnswers_;
};

// The option page as start-up sets it up from a record: the four boxes with
// the given captions (empty: disabled), checked as given.
inline RunOptions OptionBoxes(const std::string& folder, bool ini, bool gid, const std::string& caption3 = "",
                              bool box3 = false, const std::string& caption4 = "", bool box4 = false) {
    RunOptions o;
    o.folderText = folder;
    const std::string captions[4] = {"*.INI", "*.GID", caption3, caption4};
    const bool checked[4] = {ini, gid, box3, box4};
    for (int i = 0; i < 4; ++i) o.boxes[i] = {checked[i], true, captions[i]};
    return o;
}

// The delete-all page: one checked box, the other three hidden.
inline RunOptions DeleteAllBoxes(const std::string& folder) {
    RunOptions o;
    o.folderText = folder;
    o.boxes[0] = {true, true, "アンインストールフォルダ以下の全ファイル・フォルダ"};
    for (int i = 1; i < 4; ++i) o.boxes[i] = {false, false, ""};
    return o;
}

// ---- The state of a started uninstaller ----

// The state record as start-up leaves it in uninstall mode on this machine
// (the real system folders), put back after the test.
class UninstallState {
public:
    explicit UninstallState(const std::string& scriptFile) {
        SetupState& s = State();
        s.OSKind = "NT";
        std::string fatal;
        ApplyFolderRules(GatherFolderFacts(), s, fatal);
        s.TempFolder = QueryTempPath();
        EXPECT_TRUE(fatal.empty()) << ToUtf8(fatal);
        s.Mode = "UNSETUP";
        s.SetupString = "インストール";
        s.UnSetupString = "アンインストール";
        s.ScriptFile = scriptFile;
    }

private:
    StateGuard guard_;
};

// Restart requests of the run, caught before they reach the system.
class RestartSeam {
public:
    RestartSeam() {
        TWinReboot::SetExitWindowsFunction([this](UINT flags, DWORD) {
            flags_.push_back(flags);
            return TRUE;
        });
    }
    ~RestartSeam() { TWinReboot::SetExitWindowsFunction(nullptr); }
    RestartSeam(const RestartSeam&) = delete;
    RestartSeam& operator=(const RestartSeam&) = delete;
    const std::vector<UINT>& calls() const { return flags_; }

private:
    std::vector<UINT> flags_;
};

}  // namespace ukit

namespace ukit {

// A file of the machine put back as it was (or removed) when the test ends.
class RestoredFile {
public:
    explicit RestoredFile(const std::string& path) : path_(path), existed_(FileExistsAt(path)) {
        if (existed_) saved_ = ReadFileBytes(path);
    }
    ~RestoredFile() {
        if (existed_)
            WriteFileBytes(path_, saved_);
        else
            DeleteFileA(path_.c_str());
    }
    RestoredFile(const RestoredFile&) = delete;
    RestoredFile& operator=(const RestoredFile&) = delete;

private:
    std::string path_, saved_;
    bool existed_;
};

// One numbered section of a record: "[name]", prefix1=..., prefix2=..., and
// the empty line that ends every section.
inline std::string Section(const std::string& name, const std::string& prefix, const std::vector<std::string>& values) {
    std::string text = "[" + name + "]\r\n";
    for (size_t i = 0; i < values.size(); ++i) text += prefix + std::to_string(i + 1) + "=" + values[i] + "\r\n";
    return text + "\r\n";
}

}  // namespace ukit
