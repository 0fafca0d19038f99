// The logging view: what it writes to the /LOG file, and that it hands
// everything on to the view it wraps.
#include "session/LoggingView.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/RunLog.h"

namespace {

// A view that answers from a script, to see what the logging view passes on.
class AnsweringView : public RunView {
public:
    RunOptions Options() override { return {}; }
    void DisableOptions() override {}
    void HideWizard() override {}
    void ShowProgress() override {}
    void ShowStatus(const std::string& text) override { status = text; }
    void ProcessMessages() override {}
    void Pause(unsigned long) override {}
    void SetAbortEnabled(bool) override {}
    bool Aborted() override { return false; }
    void ShowGauge(bool) override {}
    void SetGauge(int, const std::string&) override {}
    int Ask(const Question& question) override { return question.unattended; }
    std::string AskSharedFile(const std::string&) override { return "Save"; }
    bool ShowDetails(const std::string&, const std::string&) override { return true; }
    bool WaitForNext() override { return true; }
    Choice ShowCompletion(const CompletionPage&) override { return Choice::Second; }
    bool MayStartProgram() override { return false; }
    void EndRun() override {}
    std::string status;
};

TEST(LoggingView, LogsItsDialogsAndPassesEverythingOn) {
    ScratchFolder dir;
    ASSERT_TRUE(OpenRunLog(dir / "実行.log"));
    AnsweringView inner;
    TLoggingView view(inner, "利用者");
    EXPECT_EQ(IDNO, view.Ask({"続けますか？", "確認", MB_YESNO, IDNO}));
    EXPECT_EQ("Save", view.AskSharedFile("C:\\App\\X.DLL"));
    CompletionPage page;
    page.message = "完了しました。";
    page.choice1 = "再起動します";
    page.choice2 = "再起動しません";
    EXPECT_EQ(RunView::Choice::Second, view.ShowCompletion(page));
    EXPECT_FALSE(view.MayStartProgram());
    view.ShowStatus("abc");
    EXPECT_EQ("abc", inner.status);
    CloseRunLog();
    // A message box is logged where it is answered, not here. Each line
    // starts with its "hh:mm:ss.mmm " stamp.
    const std::string log = ReadFileBytes(dir / "実行.log");
    const size_t second = log.find("\r\n") + 2;
    ASSERT_NE(1u, second);
    EXPECT_EQ(ToUtf8("[質問] 「共有ファイル」 C:\\App\\X.DLL → 回答: Save (利用者)"), ToUtf8(log.substr(13, second - 15)));
    EXPECT_EQ(ToUtf8("[質問] 「完了」 完了しました。 → 回答: 再起動しません (利用者)\r\n"), ToUtf8(log.substr(second + 13)));
}

}  // namespace
