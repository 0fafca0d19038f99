// The decision every file entry of a record passes through, on real files,
// real SharedDLLs counts and real pending deletions.
#include "uninstall/SharedFilePolicy.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "UninstallTestKit.h"

using namespace ukit;

namespace {

const std::string kCaption = "ファイル削除の確認";
const std::string kSharedQuestion = "この共有ファイルは、現在、他のどのプログラムからも使われていません。\r\n"
                                    "しかし、今後、他のプログラムで使われる可能性があります。\r\n"
                                    "このファイルを削除してもよろしいですか？";

class SharedFilePolicyTest : public ::testing::Test {
protected:
    SharedFilePolicyTest() : state_(dir_ / "UNSETUP.INI") {}

    std::string File(const std::string& name) {
        dir_.Write(name, "data of " + name);
        return dir_ / name;
    }

    ScratchFolder dir_;
    UninstallState state_;
    TestRunView view_;
};

// A file in the system folder, named so no other test or program has it.
class SystemFolderFile {
public:
    explicit SystemFolderFile(const std::string& extension)
        : path_(State().SystemFolder + "rvpolicy" + std::to_string(GetCurrentProcessId()) + extension) {
        EXPECT_TRUE(WriteFileBytes(path_, "not really a library"));
    }
    ~SystemFolderFile() { DeleteFileA(path_.c_str()); }
    SystemFolderFile(const SystemFolderFile&) = delete;
    SystemFolderFile& operator=(const SystemFolderFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace

// ---- Shared counts ----

TEST_F(SharedFilePolicyTest, ASharedFileStillCountedElsewhereStaysWithItsCountLowered) {
    const std::string path = File("Shared.dll");
    SharedCount count(path, 3);
    SharedFilePolicy policy(view_);
    const FileOutcome outcome = policy.Decide(path, "/S/S/R");
    EXPECT_EQ(0u, outcome.code);
    EXPECT_TRUE(outcome.kept);
    EXPECT_EQ(2, CountOf(path)) << "decremented once, however many markers";
    EXPECT_TRUE(FileExistsAt(path));
    EXPECT_TRUE(view_.events.empty()) << "nothing to ask";
}

TEST_F(SharedFilePolicyTest, LastUserAsksAndSaveKeepsThisAndEveryLaterSharedFile) {
    const std::string first = File("First.dll"), second = File("Second.ocx");
    SharedCount c1(first, 1), c2(second, 1);
    view_.ExpectShared("Save");
    SharedFilePolicy policy(view_);

    FileOutcome outcome = policy.Decide(first, "/S");
    EXPECT_EQ(0u, outcome.code);
    EXPECT_TRUE(outcome.kept);
    EXPECT_EQ(-1, CountOf(first)) << "the count of 1 is removed before the question";
    ASSERT_EQ(1u, view_.sharedTexts.size());
    EXPECT_EQ(ToUtf8(first + "\r\n\r\n" + kSharedQuestion), ToUtf8(view_.sharedTexts[0]));
    EXPECT_EQ("Save", policy.PersistentAnswer());

    outcome = policy.Decide(second, "/S");
    EXPECT_TRUE(outcome.kept);
    EXPECT_EQ(1u, view_.sharedTexts.size()) << "\"Save\" answers without another dialog";
    EXPECT_EQ(-1, CountOf(second));
    EXPECT_TRUE(FileExistsAt(first));
    EXPECT_TRUE(FileExistsAt(second));
}

TEST_F(SharedFilePolicyTest, DeleteHoldsForTheRunWhileYesAndNoHoldForOneFile) {
    const std::string a = File("A.dll"), b = File("B.dll"), c = File("C.dll"), d = File("D.dll");
    SharedCount ca(a, 1), cb(b, 1), cc(c, 1), cd(d, 1);
    view_.ExpectShared("No").ExpectShared("Yes").ExpectShared("Delete");
    SharedFilePolicy policy(view_);
    EXPECT_TRUE(policy.Decide(a, "/S").kept);
    EXPECT_TRUE(FileExistsAt(a));
    EXPECT_EQ(0u, policy.Decide(b, "/S").code);
    EXPECT_FALSE(FileExistsAt(b)) << "Yes deletes";
    EXPECT_EQ(0u, policy.Decide(c, "/S").code);
    EXPECT_FALSE(FileExistsAt(c));
    EXPECT_EQ(0u, policy.Decide(d, "/S").code);
    EXPECT_FALSE(FileExistsAt(d)) << "\"Delete\" answers the next file without a dialog";
    EXPECT_EQ(3u, view_.sharedTexts.size());
}

TEST_F(SharedFilePolicyTest, CountedByAnotherInstallerOrFlaggedToLeaveStaysUntouched) {
    const std::string other = File("Other.dll"), left = File("Data.dll");
    SharedCount count(other, 2);
    SharedFilePolicy policy(view_);
    const FileOutcome outcome = policy.Decide(other, "/F");
    EXPECT_TRUE(outcome.kept);
    EXPECT_EQ(0u, outcome.code);
    EXPECT_EQ(2, CountOf(other)) << "this installer never counted it";
    EXPECT_TRUE(FileExistsAt(other));
    EXPECT_FALSE(outcome.scheduled) << "a file kept on purpose is never scheduled";
    EXPECT_TRUE(policy.Decide(left, "/L").kept);
    EXPECT_TRUE(FileExistsAt(left));
    EXPECT_TRUE(view_.events.empty()) << "nothing to ask";
}

// ---- Questions and flags ----

TEST_F(SharedFilePolicyTest, ConfirmFlagAsksAndFollowsTheAnswer) {
    const std::string kept = File("Keep.txt"), gone = File("Gone.txt");
    const std::string question = "\r\n\r\nこのファイルを削除してもよろしいですか？\r\n\r\n<<　注意　>>\r\n"
                                 "DLL/OCXなどは他のプログラムでも使用される可能性があります。\r\n"
                                 "確実に使用されないことがわかっている場合のみ削除してください。";
    view_.ExpectAsk(kCaption, kept + question, 36, IDNO).ExpectAsk(kCaption, gone + question, 36, IDYES);
    SharedFilePolicy policy(view_);
    const FileOutcome no = policy.Decide(kept, "/C/F");
    EXPECT_TRUE(no.kept);
    EXPECT_EQ(0u, no.code);
    EXPECT_TRUE(FileExistsAt(kept));
    const FileOutcome yes = policy.Decide(gone, "/c");
    EXPECT_FALSE(yes.kept);
    EXPECT_EQ(0u, yes.code);
    EXPECT_FALSE(FileExistsAt(gone));
    EXPECT_EQ(ToUtf8(kept + question), ToUtf8(view_.asked[0])) << "the whole text";
}

TEST_F(SharedFilePolicyTest, LibraryInTheSystemFolderIsAskedAboutElsewhereDeleted) {
    SystemFolderFile ocx(".OCX"), dll(".dll");
    const std::string question = "\r\n\r\nこのDLL/OCXファイルは、共有登録されていませんが、\r\n"
                                 "今後、他のプログラムで使われる可能性があります。\r\n"
                                 "このファイルを削除してもよろしいですか？";
    // The same library reached through "..": the path no longer spells the
    // Windows folder, the file is still in the system folder.
    const std::string detour = StrLeft(dll.path(), 3) + "rvnothere\\..\\" + StrMid(dll.path(), 4);
    view_.ExpectAsk(kCaption, ocx.path() + question, 36, IDNO).ExpectAsk(kCaption, detour + question, 36, IDYES);
    SharedFilePolicy policy(view_);
    EXPECT_TRUE(policy.Decide(ocx.path(), "").kept);
    EXPECT_TRUE(FileExistsAt(ocx.path()));
    EXPECT_EQ(0u, policy.Decide(detour, "").code);
    EXPECT_FALSE(FileExistsAt(dll.path()));

    const std::string local = File("Local.OCX");
    EXPECT_EQ(0u, policy.Decide(local, "").code);
    EXPECT_FALSE(FileExistsAt(local)) << "outside the system folders a library goes without a question";
    EXPECT_EQ(2u, view_.asked.size());
}

// ---- Files in use ----

TEST_F(SharedFilePolicyTest, FileInUseWithFIsScheduledAndNoted) {
    PendingRenamesGuard pending;
    const std::string busy = File("Busy.exe"), plain = File("Plain.exe");
    FileLocker lockBusy(busy), lockPlain(plain);
    ASSERT_TRUE(lockBusy.ok());
    ASSERT_TRUE(lockPlain.ok());
    SharedFilePolicy policy(view_);

    const FileOutcome scheduled = policy.Decide(busy, "/F");
    EXPECT_NE(0u, scheduled.code);
    EXPECT_TRUE(scheduled.scheduled);
    EXPECT_EQ(ToUtf8("(追加情報)このファイルはWindowsの再起動後に削除が試行されます。\r\n"), ToUtf8(scheduled.note));
    EXPECT_TRUE(PendingRenamesGuard::DeletionPending(busy));

    const FileOutcome reported = policy.Decide(plain, "");
    EXPECT_NE(0u, reported.code) << "a file that survives is never reported as deleted";
    EXPECT_FALSE(reported.scheduled);
    EXPECT_TRUE(reported.note.empty());
    EXPECT_FALSE(PendingRenamesGuard::DeletionPending(plain));
}

TEST_F(SharedFilePolicyTest, FileKeptByAnswerIsNeitherReportedNorScheduled) {
    PendingRenamesGuard pending;
    const std::string busy = File("Asked.exe");
    FileLocker lock(busy);
    ASSERT_TRUE(lock.ok());
    view_.ExpectAsk(kCaption, busy, 36, IDNO);
    SharedFilePolicy policy(view_);
    const FileOutcome outcome = policy.Decide(busy, "/C/F");
    EXPECT_EQ(0u, outcome.code);
    EXPECT_FALSE(outcome.scheduled);
    EXPECT_FALSE(PendingRenamesGuard::DeletionPending(busy));
}
