// The progress file of an uninstall and the shared-file decision of a run
// that follows one cut short: a count is taken down once over both runs.
#include "uninstall/UninstallProgress.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "UninstallTestKit.h"
#include "uninstall/SharedFilePolicy.h"

using namespace ukit;

namespace {

class UninstallProgressTest : public ::testing::Test {
protected:
    UninstallProgressTest() : state_(dir_ / "UNSETUP.INI") {}

    std::string File(const std::string& name) {
        dir_.Write(name, "data of " + name);
        return dir_ / name;
    }

    // The guard a run gives the policy for one entry.
    DecrementGuard GuardOf(UninstallProgress& progress, const std::string& entry, const std::string& path,
                           bool resumed) {
        DecrementGuard guard;
        if (resumed)
            guard.alreadyDone = [&progress, entry, path](long now) {
                return progress.AlreadyDecremented(entry, path, now);
            };
        guard.before = [&progress, entry, path](long before) { return progress.NoteDecrement(entry, path, before); };
        return guard;
    }

    ScratchFolder dir_;
    UninstallState state_;
    TestRunView view_;
};

}  // namespace

TEST_F(UninstallProgressTest, LiesBesideTheRecordKeepsTheFirstEntryKeyAndGoes) {
    UninstallProgress progress(dir_ / "UNSETUP.INI");
    EXPECT_EQ(ToUtf8(dir_ / "UNSETUP.RUN"), ToUtf8(progress.path()));
    EXPECT_FALSE(progress.Exists());
    progress.Begin("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\First");
    ASSERT_TRUE(progress.Exists());
    // A run started again must not lose what the cut-short one noted.
    progress.Begin("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Second");
    EXPECT_EQ("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\First", progress.RegistryKey());
    EXPECT_EQ(0u, progress.Remove());
    EXPECT_FALSE(progress.Exists());
    EXPECT_FALSE(UninstallProgress("").Exists()) << "no record, no progress";
}

TEST_F(UninstallProgressTest, ACountTakenDownByTheCutShortRunIsNotTakenDownAgain) {
    const std::string path = File("Shared.dll");
    SharedCount count(path, 3);
    UninstallProgress progress(dir_ / "UNSETUP.INI");
    progress.Begin("");
    {
        SharedFilePolicy cutShort(view_);
        EXPECT_TRUE(cutShort.Decide(path, "/S", GuardOf(progress, "DeleteFile2", path, false)).kept);
    }
    EXPECT_EQ(2, CountOf(path));
    SharedFilePolicy again(view_);
    const FileOutcome outcome = again.Decide(path, "/S", GuardOf(progress, "DeleteFile2", path, true));
    EXPECT_TRUE(outcome.kept);
    EXPECT_EQ(2, CountOf(path)) << "another program still holds it";
    EXPECT_TRUE(FileExistsAt(path));
}

TEST_F(UninstallProgressTest, ANoteWhoseDecrementNeverHappenedIsDecrementedOnce) {
    const std::string path = File("Shared.dll");
    SharedCount count(path, 3);
    UninstallProgress progress(dir_ / "UNSETUP.INI");
    // Cut short between the note and the decrement.
    progress.NoteDecrement("DeleteFile1", path, 3);
    SharedFilePolicy again(view_);
    EXPECT_TRUE(again.Decide(path, "/S", GuardOf(progress, "DeleteFile1", path, true)).kept);
    EXPECT_EQ(2, CountOf(path));
}

TEST_F(UninstallProgressTest, TheLastCountTakenDownStillMakesTheFileASharedOneToAskAbout) {
    const std::string path = File("Last.dll");
    SharedCount count(path, 1);
    UninstallProgress progress(dir_ / "UNSETUP.INI");
    progress.NoteDecrement("DeleteFile4", path, 1);
    AdjustSharedDllCount(path, false);  // the cut-short run got this far
    ASSERT_EQ(-1, CountOf(path));
    // Without the note, a library with no count would go without a question.
    view_.ExpectShared("No");
    SharedFilePolicy again(view_);
    const FileOutcome outcome = again.Decide(path, "/S", GuardOf(progress, "DeleteFile4", path, true));
    EXPECT_TRUE(outcome.kept);
    EXPECT_TRUE(FileExistsAt(path));
}

TEST_F(UninstallProgressTest, ANoteOfAnotherFileOrEntrySaysNothing) {
    const std::string path = File("Shared.dll"), other = File("Other.dll");
    SharedCount count(path, 3);
    UninstallProgress progress(dir_ / "UNSETUP.INI");
    progress.NoteDecrement("DeleteFile1", other, 5);
    EXPECT_FALSE(progress.AlreadyDecremented("DeleteFile1", path, 3));
    EXPECT_FALSE(progress.AlreadyDecremented("DeleteFile2", path, 3));
    EXPECT_TRUE(progress.AlreadyDecremented("DeleteFile1", other, 4));
    EXPECT_FALSE(progress.AlreadyDecremented("DeleteFile1", other, 5));
}
