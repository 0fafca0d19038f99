// Which unattended runs have the display brought up ahead: a wrong guess
// makes every shortcut-making install pay it in the middle of its work.
#include "session/DisplayAhead.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

TEST(DisplayAhead, OnlyARunThatMakesAShortcutRegistersOrStartsAProgramNeedsCom) {
    ScratchFolder dir;
    const std::string program = dir / "SETUP.EXE";
    const struct {
        const char* script;
        bool needs;
    } installs[] = {
        {"[CopyFile]\r\nFile1=(App)\\A.EXE\r\n", false},
        {"[CopyFile]\r\nFile1=(App)\\A.DLL,/S\r\n[ShortCut]\r\nName1=(Sta)A\r\n", false},  // no Make1: none made
        {"[CopyFile]\r\nFile1=(App)\\A.EXE\r\nFile2=(App)\\B.DLL,/S/R\r\n", true},
        {"[ShortCut]\r\nMake1=(App)A.EXE\r\nName1=(Dsk)A\r\n", true},
    };
    for (const auto& c : installs) {
        dir.Write("SETUP.INI", c.script);
        EXPECT_EQ(c.needs, RunMayStartCom(program, "")) << c.script;
    }
    const struct {
        const char* record;
        bool needs;
    } uninstalls[] = {
        {"[DeleteFile]\r\nFile1=C:\\App\\A.EXE\r\nFile2=C:\\App\\B.DLL,/S\r\n", false},
        {"[DeleteFile]\r\nFile1=C:\\App\\B.DLL,/S/R\r\n", true},
        {"[BeforeUnInstall]\r\nFile=\\CLEAN.EXE\r\n", true},
    };
    for (const auto& c : uninstalls) {
        dir.Write("UNSETUP.INI", c.record);
        EXPECT_EQ(c.needs, RunMayStartCom(program, dir / "UNSETUP.INI")) << c.record;
    }
}
