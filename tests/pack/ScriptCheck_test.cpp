// The checker against one broken script per family of findings, each
// finding pinned to its line, and against scripts that must read clean.
#include <windows.h>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "pack/ScriptCheck.h"
#include "pack/Starter.h"

namespace {

const std::string kMagic("SZDD\x88\xF0\x27\x33", 8);

// "line E|W code" per finding, and the findings in full for a failure.
struct Seen {
    std::string codes, full;  // full: UTF-8, for the failure output
    std::string texts;        // CP932
};

Seen CheckIn(const ScratchFolder& medium, const std::string& relative, const std::string& script) {
    medium.Write(relative, script);
    Seen seen;
    for (const Finding& f : CheckScript(medium / relative).findings) {
        seen.codes += std::to_string(f.line) + (f.error ? " E " : " W ") + f.code + "\n";
        seen.full += ToUtf8(FormatFinding(relative, f)) + "\n";
        seen.texts += f.text + "\n";
    }
    return seen;
}

Seen Check(const ScratchFolder& medium, const std::string& script) { return CheckIn(medium, "SETUP.INI", script); }

}  // namespace

TEST(ScriptCheck, StructureAsTheProfileRulesReadIt) {
    ScratchFolder medium;
    medium.Write("A.TXT", "a");
    medium.Write("B.TXT", "b");
    const Seen seen = Check(medium,
                            "; コメント\r\n"                      // 1
                            "Stray=1\r\n"                         // 2 before any section
                            "[Title]\r\n"                         // 3
                            "Setup=テスト\r\n"                    // 4
                            "Setpu=x\r\n"                         // 5 unknown key
                            "[CopyFiles]\r\n"                     // 6 unknown section
                            "File1=(App)\\A.TXT\r\n"              // 7
                            "[CopyFile]\r\n"                      // 8
                            "File1=(App)\\A.TXT\r\n"              // 9
                            "File2=(App)\\B.TXT\r\n"              // 10
                            "File2=(App)\\A.TXT\r\n"              // 11 duplicate, another value
                            "File1=(App)\\A.TXT\r\n"              // 12 duplicate, the same value
                            "File4=(App)\\A.TXT\r\n"              // 13 after the gap at File3
                            "[MakeFolder]\r\n"                    // 14
                            "Folder1\r\n"                         // 15 no "="
                            "Folder1=(App)\\X\r\n"                // 16 hidden by line 15
                            "[Readme\r\n"                         // 17 no "]"
                            "Title=\x82\x20\r\n"                  // 18 not CP932, in [MakeFolder]
                            "[title]\r\n"                         // 19 the second [Title]
                            "Program=x\r\n"                       // 20
                            "[DefaultFolder]\r\nFolder=(Prg)\\RvCheckTest\r\n");
    EXPECT_EQ("2 W RV108\n5 W RV105\n6 W RV104\n11 E RV103\n12 W RV103\n13 E RV101\n15 W RV106\n16 E RV103\n"
              "17 E RV106\n18 E RV107\n18 W RV105\n19 E RV102\n",
              seen.codes)
        << seen.full;
    EXPECT_NE(std::string::npos, seen.texts.find("(File3 がありません)")) << seen.full;
    EXPECT_NE(std::string::npos, seen.texts.find("[CopyFile] のことですか")) << seen.full;
}

TEST(ScriptCheck, ValuesAsTheInstallWouldUseThem) {
    ScratchFolder medium;
    medium.Write("A.TXT", "a");
    medium.Write("(Dch)B.TXT", "b");
    const Seen seen = Check(medium,
                            "[Title]\r\n"                                      // 1
                            "UnSetupKey=\\\r\n"                                // 2 no Add/Remove Programs entry
                            "[Extend]\r\n"                                     // 3
                            "SetupSpeed=12ms\r\n"                              // 4
                            "Enabled=false\r\n"                                // 5
                            "[DefaultFolder]\r\n"                              // 6
                            "Folder=Programs\\Tool\r\n"                        // 7 not a full path
                            "[ShortCut]\r\n"                                   // 8
                            "Make1=(Wim)\\A.EXE\r\n"                           // 9 unknown macro
                            "[CopyFile]\r\n"                                   // 10
                            "File1=(App)\\A.TXT,/S/X\r\n"                      // 11 a flag of no meaning
                            "File2=(App)\\(Dch)B.TXT\r\n"                      // 12 not at the start
                            "[Registry]\r\n"                                   // 13
                            "Key1=(local)Software\\RvTest\r\n"                 // 14 root macros are exact
                            "Name1=A\r\n"                                      // 15
                            "Value1=(str)abc\r\n"                              // 16 tags are exact
                            "Key2=(Cuser)Software\\RvTest (Beta)\r\n"          // 17 a word in parentheses is fine
                            "Name2=B\r\n"                                      // 18
                            "Value2=(Dwd)12x\r\n"                              // 19 no number
                            "[IniFile]\r\n"                                    // 20
                            "Data1=Options,Path,(App),RVTEST.INI\r\n"          // 21 a bare name
                            "[Relate]\r\n"                                     // 22
                            "Name1=rvt\r\n");                                  // 23 no File1
    EXPECT_EQ("2 W RV206\n4 E RV204\n5 W RV210\n7 E RV205\n9 E RV201\n11 W RV203\n12 W RV209\n14 E RV201\n"
              "16 E RV202\n19 E RV204\n21 W RV208\n23 E RV207\n",
              seen.codes)
        << seen.full;
    EXPECT_NE(std::string::npos, seen.texts.find("(Win) のことですか")) << seen.full;
}

TEST(ScriptCheck, TheMediumAsTheInstallFindsIt) {
    ScratchFolder medium;
    medium.Write("A.TXT", "a");
    medium.Write("BAD.DA_", kMagic + "B");
    medium.Write("PLAIN.DA_", "plain");
    // As mscompress writes it: no last character of the name in the header.
    medium.Write("NOCHAR.DA_", kMagic + "A" + std::string(5, '\0'));
    const Seen seen = Check(medium,
                            "[EULA]\r\n"                                  // 1
                            "File=LICENSE.TXT\r\n"                        // 2 missing
                            "[MakeFolder]\r\n"                            // 3
                            "Folder1=(App)\\a\\b\r\n"                     // 4 its parent is not made
                            "Folder2=(App)\\c\r\n"                        // 5
                            "[CopyFile]\r\n"                              // 6
                            "File1=(App)\\MISSING.TXT\r\n"                // 7
                            "File2=(App)\\BAD.DA_\r\n"                    // 8 a broken header
                            "File3=(App)\\PLAIN.DA_\r\n"                  // 9 not compressed
                            "File4=(App)\\sub\\A.TXT\r\n"                 // 10 no such folder
                            "File5=(App)\\c\\A.TXT\r\n"                   // 11
                            "File6=(App)\\A.TXT|(From)\\..\\A.TXT\r\n"    // 12 outside the medium
                            "File7=(Win)\\Fonts\\A.TXT\r\n"              // 13 left to the target machine
                            "File8=(App)\\NOCHAR.DA_\r\n"                 // 14 named from the header
                            "File9=(App)\\NOCHAR.DA_|NOCHAR.DAT\r\n"      // 15
                            "[DefaultFolder]\r\nFolder=(Prg)\\RvCheckTest\r\n");
    EXPECT_EQ("2 E RV303\n4 E RV304\n7 E RV301\n8 E RV302\n9 W RV302\n10 E RV304\n12 E RV305\n13 W RV304\n14 W RV302\n",
              seen.codes)
        << seen.full;

    // Disks in folders of their own: an entry's source is looked for on its disk.
    ScratchFolder split;
    split.Write("DISK1\\A.TXT", "a");
    split.Write("DISK2\\B.TXT", "b");
    const Seen disks = CheckIn(split, "DISK1\\SETUP.INI",
                               "[CopyFile]\r\n"                      // 1
                               "File1=(App)\\A.TXT\r\n"              // 2
                               "File2=(App)\\B.TXT\r\n"              // 3 on disk 2, asked for on disk 1
                               "File3=(Dch)(App)\\C.TXT\r\n"         // 4 on no disk
                               "[DefaultFolder]\r\nFolder=(Prg)\\RvCheckTest\r\n");
    EXPECT_EQ("3 E RV305\n4 E RV301\n", disks.codes) << disks.full;

    // The wizard's files stay inside the medium too, and no source comes
    // through a link in it (each file is there: only where it lies is wrong).
    ScratchFolder outside;
    outside.Write("A.TXT", "a");
    ScratchFolder tree;
    tree.Write("medium\\B.TXT", "b");
    tree.Write("SIB.TXT", "beside the medium");
    const PlantedLink linked(tree / "medium\\linked", outside.path());
    ASSERT_TRUE(linked.ok());
    const Seen walled = CheckIn(tree, "medium\\SETUP.INI",
                                "[EULA]\r\n"                                  // 1
                                "File=..\\SIB.TXT\r\n"                        // 2 beside the medium
                                "[Readme]\r\n"                                // 3
                                "File=linked\\A.TXT\r\n"                      // 4 through the link
                                "[CopyFile]\r\n"                              // 5
                                "File1=(App)\\B.TXT\r\n"                      // 6
                                "File2=(App)\\A.TXT|(From)\\linked\\A.TXT\r\n"  // 7 through the link
                                "[DefaultFolder]\r\nFolder=(Prg)\\RvCheckTest\r\n");
    EXPECT_EQ("2 E RV305\n4 E RV306\n7 E RV306\n", walled.codes) << walled.full;
}

TEST(ScriptCheck, EntriesTheUninstallWillRefuse) {
    ScratchFolder medium;
    medium.Write("A.EXE", "a");
    const Seen seen = Check(medium,
                            "[DefaultFolder]\r\n"                         // 1
                            "Folder=(Prg)\\RvCheckTest\r\n"               // 2
                            "[MakeFolder]\r\n"                            // 3
                            "Folder1=(Win)\r\n"                           // 4 a system folder
                            "[CopyFile]\r\n"                              // 5
                            "File1=(App)\\A.EXE\r\n"                      // 6
                            "[ShortCut]\r\n"                              // 7
                            "Make1=(App)\\A.EXE\r\n"                      // 8
                            "Name1=Tools\\A\r\n"                          // 9 no box governs it
                            "[AddDeleteFile]\r\n"                         // 10
                            "File1=(Win)\\*.INI\r\n"                      // 11 a pattern in a protected folder
                            "File2=(Prg)\\Other\\*.LOG\r\n"               // 12 "*" outside the install folder
                            "File3=(App)\\*.LOG\r\n"                      // 13
                            "[DeleteRegistry]\r\n"                        // 14
                            "Key1=(Local)SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other\r\n"  // 15
                            "Key2=(Cuser)Software\\RvCheckTest\r\n"       // 16
                            "[BeforeUnInstall]\r\n"                       // 17
                            "File=..\\UNINST.EXE,/quiet\r\n");            // 18 outside the install folder
    EXPECT_EQ("4 E RV402\n9 W RV401\n11 E RV403\n12 E RV403\n15 E RV404\n18 E RV405\n", seen.codes) << seen.full;

    const Seen root = Check(medium, "[DefaultFolder]\r\nFolder=(Prg)\\\r\n");
    EXPECT_EQ("2 E RV406\n", root.codes) << root.full;
}

TEST(ScriptCheck, TheSampleAndAStarterScriptReadClean) {
    const std::string sample = TestBinFolder() + "..\\sample\\SETUP.INI";
    const CheckResult result = CheckScript(sample);
    ASSERT_TRUE(result.scriptFound);
    for (const Finding& f : result.findings) ADD_FAILURE() << ToUtf8(FormatFinding("sample", f));

    ScratchFolder tree;
    tree.Write("TOOL.EXE", "MZ");
    tree.Write("LICENSE.TXT", "licence");
    tree.Write("データ\\設定.INI", "[x]");
    tree.Write("データ\\ログ\\空.LOG", "");
    tree.Write("a,b.txt", "no entry can name it");
    const StarterScript starter = MakeStarterScript(tree.path());
    EXPECT_EQ(std::vector<std::string>{"a,b.txt"}, starter.skipped);
    for (const char* line : {"File=LICENSE.TXT", "Folder2=(App)\\データ\\ログ", "(App)\\データ\\設定.INI|(From)\\データ\\設定.INI",
                             "Make1=(App)\\TOOL.EXE"})
        EXPECT_NE(std::string::npos, starter.text.find(line)) << ToUtf8(line);
    tree.Write("SETUP.INI", starter.text);
    for (const Finding& f : CheckScript(tree / "SETUP.INI").findings) ADD_FAILURE() << ToUtf8(FormatFinding("starter", f));
}
