#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "platform/Handles.h"
#include "session/WorkFolders.h"

class WorkFolderCleanup : public ::testing::Test {
protected:
    ScratchFolder temp;  // stands for TempFolder
    ScratchFolder elsewhere_;
};

TEST_F(WorkFolderCleanup, RemovesCurrentAndOwnLeftoversKeepsForeignFolders) {
    temp.Write("RVTMP1\\SETUPB.EXE", "exe");
    temp.Write("RVTMP1\\SETUP.INI", "[Title]");  // an earlier start's leftover
    temp.Write("RVTMP2\\UNSETUP.INI", "x");
    temp.Write("RVTMP2\\notes.txt", "someone else's");  // not ours
    temp.Write("RVTMP3\\SETUP.INI", "x");
    temp.Write("RVTMP3\\sub\\SETUP.INI", "x");  // a subfolder is not ours either
    temp.Write("RVTMP4\\SETUPB.EXE", "exe");    // the running start's folder
    temp.Write("RVTMP4\\extra\\deep\\file.bin", "whatever the run left");
    SetFileAttributesA((temp / "RVTMP4\\SETUPB.EXE").c_str(), FILE_ATTRIBUTE_READONLY);
    temp.Write("RVTMP99\\setup.ini", "x");  // case does not matter for our names
    // An install that was cut short: start-up's copies and the merge copy of
    // the earlier record.
    temp.Write("RVTMP5\\SETUPB.EXE", "exe");
    temp.Write("RVTMP5\\SETUP.INI", "[Title]");
    temp.Write("RVTMP5\\UNSETUPB.INI", "[SetupFolder]");

    RemoveWorkFolders(temp.path(), temp / "RVTMP4\\");

    EXPECT_FALSE(temp.Exists("RVTMP1"));
    EXPECT_TRUE(temp.Exists("RVTMP2\\notes.txt"));
    EXPECT_TRUE(temp.Exists("RVTMP2\\UNSETUP.INI"));
    EXPECT_TRUE(temp.Exists("RVTMP3\\sub\\SETUP.INI"));
    EXPECT_FALSE(temp.Exists("RVTMP4"));
    EXPECT_FALSE(temp.Exists("RVTMP99"));
    EXPECT_FALSE(temp.Exists("RVTMP5")) << "an interrupted install's folder is ours too";
}

TEST_F(WorkFolderCleanup, NeverDeletesThroughAPlantedLink) {
    elsewhere_.Write("SETUP.INI", "precious, and looks like ours");
    elsewhere_.Write("Documents\\letter.txt", "precious");
    PlantedLink outer(temp / "RVTMP7", elsewhere_.path());
    ASSERT_TRUE(outer.ok()) << "cannot plant a link here";
    temp.Write("RVTMP8\\SETUP.INI", "x");
    temp.Write("RVTMP8\\run\\data.bin", "x");
    PlantedLink inner(temp / "RVTMP8\\run\\inner", elsewhere_.path());
    ASSERT_TRUE(inner.ok());

    // Also when the link is named as the current folder.
    RemoveWorkFolders(temp.path(), temp / "RVTMP7\\");
    EXPECT_TRUE(elsewhere_.Exists("SETUP.INI"));
    EXPECT_TRUE(elsewhere_.Exists("Documents\\letter.txt"));

    RemoveWorkFolders(temp.path(), temp / "RVTMP8\\");
    EXPECT_FALSE(temp.Exists("RVTMP8\\SETUP.INI"));
    EXPECT_FALSE(temp.Exists("RVTMP8\\run\\data.bin"));
    EXPECT_TRUE(temp.Exists("RVTMP8\\run\\inner")) << "a link inside is left as it is";
    EXPECT_TRUE(elsewhere_.Exists("SETUP.INI"));
    EXPECT_TRUE(elsewhere_.Exists("Documents\\letter.txt"));
}

TEST(WorkFolderNames, OnlyTheFilesThisProgramWrites) {
    EXPECT_TRUE(IsOwnWorkFile("SETUPB.EXE"));
    EXPECT_TRUE(IsOwnWorkFile("unsetup.ini"));
    EXPECT_TRUE(IsOwnWorkFile("UNSETUPB.INI"));
    EXPECT_FALSE(IsOwnWorkFile("UNSETUPB.EXE"));
    EXPECT_FALSE(IsOwnWorkFile("SETUP.EXE"));
    EXPECT_FALSE(IsOwnWorkFile("SETUP.INI.bak"));
}
