// The record on disk: merge of an earlier record, save with its fallback.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "RecordSigner.h"
#include "RecordTestSupport.h"
#include "TestSupport.h"
#include "platform/Handles.h"
#include "record/UninstallRecord.h"

namespace {

const std::string kCannotDelete =
    "既存の「UNSETUP.INI」が削除できませんでした。\r\nアンインストールが正常に行われない可能性があります。";

std::string FallbackCreated(const std::string& name) {
    return "インストールフォルダに仮ファイル" + name +
           "を作成しました\r\n上記ファイルを「UNSETUP.INI」にリネームしてください。\r\n"
           "リネームを行わないと、正常にアンインストールできません。";
}

// Names of the files in the folder (the program's folder, not its tree).
std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA data;
    FindHandle find(FindFirstFileA((folder + "*").c_str(), &data));
    if (!find) return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(data.cFileName);
    } while (FindNextFileA(find.get(), &data));
    return names;
}

RecordContent SampleContent(const std::string& installFolder) {
    RecordContent c;
    c.unSetupTitle = "表計算ソフト";
    c.installFolder = installFolder;
    c.fresh.folders = installFolder + "データ表\\|";
    c.fresh.files = installFolder + "ソフト.EXE|C:\\WINDOWS\\SYSTEM\\表.DLL,/S/R|" + installFolder + "UNSETUP.INI|";
    c.fresh.shortcuts = "C:\\WINDOWS\\DESKTOP\\ポート.LNK|";
    c.fresh.registry = "(Local)\\SOFTWARE\\表計算|";
    c.fresh.extraFiles = installFolder + "*.LOG,/F|";
    RestoreTableAdd(c.restore, "tbl,TableFile");
    RestoreTableAdd(c.restore, "htm,");
    c.setupString = "インストール";
    c.unSetupString = "アンインストール";
    c.registryKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\表計算ソフト";
    return c;
}

class SaveRecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        State().UnSetupString = "アンインストール";
        State().OSKind = "NT";
    }
    StateGuard state_;
    ScratchFolder dir_;
    std::string record_ = dir_ / "UNSETUP.INI";
    const std::string oldText_ = "[Title]\r\nUnSetup=old\r\n";
    const std::string newText_ = "[Title]\r\nUnSetup=表計算 new\r\n";
};

TEST_F(SaveRecordTest, WritesANewRecordAndLeavesNothingElse) {
    ExpectingRunView view;
    const RecordSaveResult result = SaveRecord(dir_.path(), newText_, view);
    EXPECT_TRUE(result.saved);
    EXPECT_EQ("", result.fallbackPath);
    EXPECT_EQ(0u, result.error);
    EXPECT_TRUE(newText_ == ReadFileBytes(record_));
    EXPECT_EQ((std::set<std::string>{"UNSETUP.INI"}), FilesIn(dir_.path()));
}

TEST_F(SaveRecordTest, ReplacesAnEarlierRecordOnBothFamilies) {
    for (const char* family : {"NT", "notNT"}) {
        State().OSKind = family;
        ASSERT_TRUE(WriteFileBytes(record_, oldText_));
        ExpectingRunView view;
        const RecordSaveResult result = SaveRecord(dir_.path(), newText_ + family, view);
        EXPECT_TRUE(result.saved) << family;
        EXPECT_TRUE(newText_ + family == ReadFileBytes(record_)) << family;
        EXPECT_EQ((std::set<std::string>{"UNSETUP.INI"}), FilesIn(dir_.path())) << family;
    }
}

TEST_F(SaveRecordTest, ARecordHeldOpenIsKeptAndTheTextGoesToTheFirstFreeFallback) {
    for (const char* family : {"NT", "notNT"}) {
        State().OSKind = family;
        ScratchFolder dir;
        const std::string record = dir / "UNSETUP.INI";
        ASSERT_TRUE(WriteFileBytes(record, oldText_));
        FileHolder holder(record);
        ASSERT_TRUE(holder.ok());
        {
            ExpectingRunView view;
            view.Expect("警告", kCannotDelete, 48).Expect("警告", FallbackCreated("UNTMP1.INI"), 48);
            const RecordSaveResult result = SaveRecord(dir.path(), newText_, view);
            EXPECT_FALSE(result.saved) << family;
            EXPECT_EQ(dir / "UNTMP1.INI", result.fallbackPath) << family;
            EXPECT_EQ(0u, result.error);
        }
        {
            ExpectingRunView view;
            view.Expect("警告", kCannotDelete, 48).Expect("警告", FallbackCreated("UNTMP2.INI"), 48);
            const RecordSaveResult result = SaveRecord(dir.path(), newText_ + "2", view);
            EXPECT_EQ(dir / "UNTMP2.INI", result.fallbackPath) << family;
        }
        ASSERT_TRUE(holder.Release());
        EXPECT_TRUE(oldText_ == ReadFileBytes(record)) << family;
        EXPECT_TRUE(newText_ == ReadFileBytes(dir / "UNTMP1.INI")) << family;
        EXPECT_TRUE(newText_ + "2" == ReadFileBytes(dir / "UNTMP2.INI")) << family;
        EXPECT_EQ((std::set<std::string>{"UNSETUP.INI", "UNTMP1.INI", "UNTMP2.INI"}), FilesIn(dir.path()))
            << family;
    }
}

TEST_F(SaveRecordTest, AWriteProtectedRecordIsKeptOnBothFamilies) {
    for (const char* family : {"NT", "notNT"}) {
        State().OSKind = family;
        ScratchFolder dir;
        const std::string record = dir / "UNSETUP.INI";
        ASSERT_TRUE(WriteFileBytes(record, oldText_));
        ASSERT_TRUE(SetFileAttributesA(record.c_str(), FILE_ATTRIBUTE_READONLY));
        ExpectingRunView view;
        view.Expect("警告", kCannotDelete, 48).Expect("警告", FallbackCreated("UNTMP1.INI"), 48);
        const RecordSaveResult result = SaveRecord(dir.path(), newText_, view);
        EXPECT_FALSE(result.saved);
        EXPECT_EQ(dir / "UNTMP1.INI", result.fallbackPath);
        EXPECT_TRUE(oldText_ == ReadFileBytes(record)) << family;
        EXPECT_NE(0u, GetFileAttributesA(record.c_str()) & FILE_ATTRIBUTE_READONLY);
        EXPECT_TRUE(newText_ == ReadFileBytes(dir / "UNTMP1.INI"));
        SetFileAttributesA(record.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(SaveRecordTest, NothingWrittenIsNeverAnnouncedAsCreated) {
    // No folder to write into: no question at all (the view fails the test
    // on any), and the result carries the system's code.
    ExpectingRunView view;
    const RecordSaveResult result = SaveRecord(dir_ / "missing\\", newText_, view);
    EXPECT_FALSE(result.saved);
    EXPECT_EQ("", result.fallbackPath);
    EXPECT_NE(0u, result.error);
    EXPECT_FALSE(FileExistsAt(dir_ / "missing\\UNTMP1.INI"));
    EXPECT_NE(std::string::npos, RecordSaveFailureText(result.error, "アンインストール").find("「UNSETUP.INI」"));
}

class MergeTest : public ::testing::Test {
protected:
    ScratchFolder install_;
    ScratchFolder work_;
    RecordSigner signer_;
};

TEST_F(MergeTest, ASavedRecordComesBackAsThePreviousEntries) {
    StateGuard state;
    State().OSKind = "NT";
    const RecordContent first = SampleContent(install_.path());
    ExpectingRunView view;
    ASSERT_TRUE(SaveRecord(install_.path(), BuildRecordText(first), view).saved);
    signer_.Sign(install_ / "UNSETUP.INI", BuildRecordText(first));

    RecordLists previous;
    RestoreTable table;
    MergePreviousRecord(install_.path(), work_.path(), previous, table);
    EXPECT_EQ(ToUtf8(first.fresh.folders), ToUtf8(previous.folders));
    EXPECT_EQ(ToUtf8(first.fresh.files), ToUtf8(previous.files));
    EXPECT_EQ(ToUtf8(first.fresh.shortcuts), ToUtf8(previous.shortcuts));
    EXPECT_EQ(ToUtf8(first.fresh.registry), ToUtf8(previous.registry));
    EXPECT_EQ(ToUtf8(first.fresh.extraFiles), ToUtf8(previous.extraFiles));
    EXPECT_TRUE(first.restore == table);
    EXPECT_TRUE(work_.Exists("UNSETUPB.INI"));

    // The second installation: its own entries first, the first one's after
    // them; the shared library keeps this run's form and gains a second
    // "/S" (the earlier "/R" is not carried); the restore slots unchanged.
    RecordContent second = SampleContent(install_.path());
    second.fresh.files = install_.path() + "新版.EXE|c:\\windows\\system\\表.dll,/S|";
    second.fresh.shortcuts = "";
    second.previous = previous;
    second.restore = table;
    const std::string text = BuildRecordText(second);
    EXPECT_NE(std::string::npos, text.find("[DeleteFile]\r\nFile1=" + install_.path() + "新版.EXE\r\n" +
                                           "File2=c:\\windows\\system\\表.dll,/S/S\r\n" + "File3=" +
                                           install_.path() + "ソフト.EXE\r\n" + "File4=" + install_.path() +
                                           "UNSETUP.INI\r\n\r\n"))
        << ToUtf8(text);
    EXPECT_NE(std::string::npos, text.find("[DeleteShortCut]\r\nFile1=C:\\WINDOWS\\DESKTOP\\ポート.LNK\r\n\r\n"));
    EXPECT_NE(std::string::npos, text.find("[RestoreRelate]\r\nKey1=tbl,TableFile\r\nKey2=htm,\r\n\r\n"));
}

TEST_F(MergeTest, RestoreSlotsAreReadAllTwentyAndComparedByWholeExtension) {
    signer_.Write(install_ / "UNSETUP.INI",
                  "[RestoreRelate]\r\nKey1=shtm,\r\nKey2=HTM,old\r\nKey4=htm,again\r\nKey5=html,htmlfile\r\n"
                  "Key20=txt,txtfile\r\n[DeleteFile]\r\nFile1=C:\\A\r\nFile3=C:\\C\r\n");
    RecordLists previous;
    RestoreTable table;
    RestoreTableAdd(table, "TXT,fromThisRun");
    MergePreviousRecord(install_.path(), work_.path(), previous, table);
    EXPECT_EQ("TXT,fromThisRun", table[0]);
    EXPECT_EQ("shtm,", table[1]);
    EXPECT_EQ("HTM,old", table[2]);
    EXPECT_EQ("html,htmlfile", table[3]);
    EXPECT_EQ("", table[4]);
    // The reader's list ends at the first gap.
    EXPECT_EQ("C:\\A|", previous.files);
}

// The record is read once through a handle nobody can write meanwhile: what
// was checked is merged whole, whether a copy can be made or not.
TEST_F(MergeTest, TheRecordReadOnceIsMergedEvenWithoutACopy) {
    signer_.Write(install_ / "UNSETUP.INI", "[RestoreRelate]\r\nKey1=txt,txtfile\r\n[DeleteFile]\r\nFile1=C:\\A\r\n");
    RecordLists previous;
    RestoreTable table;
    EXPECT_TRUE(MergePreviousRecord(install_.path(), work_ / "missing\\", previous, table));
    EXPECT_EQ("txt,txtfile", table[0]);
    EXPECT_EQ("C:\\A|", previous.files);
    previous = {};

    install_.Write("UNSETUP.INI", "[RestoreRelate]\r\nKey1=txt,planted\r\n");
    RestoreTable changed;
    EXPECT_FALSE(MergePreviousRecord(install_.path(), work_ / "missing\\", previous, changed));
    EXPECT_EQ("", changed[0]);
}

TEST_F(MergeTest, NoRecordReadsNothingNotEvenAnOldCopy) {
    work_.Write("UNSETUPB.INI", "[DeleteFile]\r\nFile1=C:\\STALE\r\n[RestoreRelate]\r\nKey1=old,\r\n");
    RecordLists previous;
    RestoreTable table;
    MergePreviousRecord(install_.path(), work_.path(), previous, table);
    EXPECT_EQ("", previous.files);
    EXPECT_EQ("", table[0]);
}

}  // namespace
