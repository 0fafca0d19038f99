// The view of /S: every question takes the answer it carries, and nothing
// waits or starts anything.
#include <windows.h>

#include <gtest/gtest.h>

#include "silent/SilentView.h"

namespace {

TEST(SilentView, TakesEachQuestionsOwnAnswerKeepsSharedFilesNeverRestarts) {
    RunOptions options;
    options.folderText = "C:\\App\\";
    TSilentView view;
    view.SetOptions(options);
    EXPECT_EQ("C:\\App\\", view.Options().folderText);
    EXPECT_EQ(IDYES, view.Ask({"C:\\App\\\r\n\r\nこのフォルダは存在しません。", "フォルダ作成", 36, IDYES}));
    EXPECT_EQ(IDCANCEL, view.Ask({"2枚目のディスクに交換してください。", "ディスク交換", 65, IDCANCEL}));
    EXPECT_EQ("No", view.AskSharedFile("C:\\App\\X.DLL"));
    EXPECT_FALSE(view.Aborted());
    EXPECT_FALSE(view.MayStartProgram());
    CompletionPage restart;
    restart.choice1 = "はい、Windowsを再起動します。(&Y)";
    restart.choice2 = "いいえ、Windowsは再起動せずに、インストーラーを終了します。(&N)";
    EXPECT_EQ(RunView::Choice::Second, view.ShowCompletion(restart)) << "the choice that does not restart";
    CompletionPage done;
    done.choice1 = "インストーラを終了します。(&Y)";
    EXPECT_EQ(RunView::Choice::First, view.ShowCompletion(done));
}

}  // namespace
