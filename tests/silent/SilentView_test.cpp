// The fixed answers of /S, one question of each kind as the runs ask it, and
// a view that never waits and never starts anything.
#include <windows.h>

#include <gtest/gtest.h>

#include "silent/SilentView.h"

namespace {

TEST(SilentAnswer, TheTableOneQuestionEach) {
    // Short of space or the size unknown: stop before anything is written.
    EXPECT_EQ(IDNO, SilentAnswer("空き容量チェックエラー", 36, false));
    // The install folder is missing: create it.
    EXPECT_EQ(IDYES, SilentAnswer("フォルダ作成", 36, false));
    // The overwrite question (only without the newer-wins rule): keep.
    EXPECT_EQ(IDNO, SilentAnswer("上書き確認", 36, false));
    // The next disk: its files must be there; asked again, the run stops.
    EXPECT_EQ(IDOK, SilentAnswer("ディスク交換", 65, false));
    EXPECT_EQ(IDCANCEL, SilentAnswer("ディスク交換", 65, true));
    // The association the package asked for.
    EXPECT_EQ(IDYES, SilentAnswer("関連付けの確認", 36, false));
    // "/C" files and system libraries: keep.
    EXPECT_EQ(IDNO, SilentAnswer("確認", 36, false));
    // The failure details are never shown; the log has them.
    EXPECT_EQ(IDNO, SilentAnswer("警告", 52, false));
    EXPECT_EQ(IDNO, SilentAnswer("情報", 52, false));
    // Plain messages are acknowledged.
    EXPECT_EQ(IDOK, SilentAnswer("致命的エラー", 16, false));
    EXPECT_EQ(IDOK, SilentAnswer("警告", 48, false));
}

TEST(SilentView, KeepsSharedFilesNeverRestartsNeverStartsTheProgram) {
    RunOptions options;
    options.folderText = "C:\\App\\";
    TSilentView view(options);
    EXPECT_EQ("C:\\App\\", view.Options().folderText);
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

TEST(SilentView, TheSameDiskQuestionTwiceInARowStops) {
    TSilentView view(RunOptions{});
    EXPECT_EQ(IDOK, view.Ask("2枚目のディスクに交換してください。", "ディスク交換", 65));
    EXPECT_EQ(IDCANCEL, view.Ask("2枚目のディスクに交換してください。", "ディスク交換", 65));
    EXPECT_EQ(IDOK, view.Ask("3枚目のディスクに交換してください。", "ディスク交換", 65));
}

}  // namespace
