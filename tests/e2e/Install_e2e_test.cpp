// The install run through the real program: the sample package walked
// through the wizard like a person would, then everything it made read back
// with the system's own tools.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "Driver.h"
#include "SampleKit.h"
#include "TestSupport.h"
#include "app/uIniFile.h"
#include "ui/resource.h"

using namespace e2e;

namespace {

const std::string kS = "インストール";
const std::string kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

}  // namespace

TEST(InstallE2E, TheSamplePackageThroughTheWizardLeavesEverythingItRecords) {
    Distribution dist;
    CopySample(dist);
    ScratchFolder target;
    const std::string app = target.path() + "Ravelin Sample\\";
    SampleLeftovers leftovers(app);
    DeleteFileA((WindowsFolder() + "UNRAVEL.EXE").c_str());

    SetupProcess setup(dist.exe(), "");
    const std::string summary = InstallSample(setup, app);
    for (const std::string& line :
         {kS + "に必要な容量を調べています．．．完了", std::string("ディスクの空き容量をチェックしています．．．完了"),
          std::string("ファイルをコピーしています．．．完了"), std::string("ショートカットを作成しています．．．完了"),
          std::string("関連付けを設定しています．．．完了"), std::string("アンインストール情報を更新しています．．．完了"),
          std::string("【処理完了】")})
        EXPECT_NE(std::string::npos, summary.find(line)) << ToUtf8(line) << "\n" << ToUtf8(summary);

    // Files, with the compressed manual under its header name and the
    // run-after program started in the install folder.
    EXPECT_EQ(ReadFileBytes(SampleFolder() + "..\\sample-build\\lz\\MANUAL.TXT"), ReadFileBytes(app + "MANUAL.TXT"));
    EXPECT_EQ(ReadFileBytes(SampleFolder() + "docs\\guide.htm"), ReadFileBytes(app + "docs\\ポケットガイド.htm"));
    EXPECT_EQ(ReadFileBytes(SampleFolder() + "SETTINGS.DAT"), ReadFileBytes(app + "データ\\表示設定.INI"));
    EXPECT_TRUE(FileExistsAt(app + "ソフト情報.TXT"));
    for (int i = 0; i < 100 && !FileExistsAt(app + "データ\\ログ\\firstrun.log"); ++i) Sleep(50);
    EXPECT_TRUE(FileExistsAt(app + "データ\\ログ\\firstrun.log")) << "the run-after program did not run";
    EXPECT_TRUE(FileExistsAt(WindowsFolder() + "UNRAVEL.EXE"));
    EXPECT_EQ(app, IniRead("RAVELINSAMPLE", "Folder", "", WindowsFolder() + "RVSET98.INI"));

    const std::string programs = ShellFolder(CSIDL_PROGRAMS), desktop = ShellFolder(CSIDL_DESKTOPDIRECTORY);
    EXPECT_EQ(ToUtf8(ExpectedSampleRecord(app, programs, desktop)), ToUtf8(ReadFileBytes(app + "UNSETUP.INI")));

    if (UnixPathOf("C:\\").empty()) return;
    // The registry as the system's own tool reads it (its output is in the
    // console's code page, like our own texts).
    const std::string uninstall =
        UnixCommandOutput("wine reg query 'HKLM\\" + kUninstallKey + "RavelinSample'");
    EXPECT_NE(std::string::npos, uninstall.find("DisplayName    REG_SZ    Ravelin サンプル 1.0")) << uninstall;
    EXPECT_NE(std::string::npos, uninstall.find("UninstallString    REG_EXPAND_SZ    " + WindowsFolder() +
                                                "UNRAVEL.EXE \"" + app + "UNSETUP.INI\""))
        << uninstall;
    EXPECT_NE(std::string::npos, uninstall.find("Publisher    REG_SZ    The Ravelin Setup Project")) << uninstall;
    EXPECT_NE(std::string::npos, uninstall.find("HelpLink    REG_EXPAND_SZ    https://example.invalid/ravelin/help"))
        << uninstall;
    const std::string values = UnixCommandOutput("wine reg query 'HKCU\\Software\\Ravelin Sample' /s");
    for (const std::string& line :
         {"InstallFolder    REG_SZ    " + app.substr(0, app.size() - 1), std::string("RunCount    REG_DWORD    0x0"),
          std::string("Flags    REG_DWORD    0xc"), std::string("Signature    REG_BINARY    0D0C0B0A"),
          std::string("LogFolder    REG_EXPAND_SZ    %USERPROFILE%\\Ravelin"),
          std::string("Registered    REG_SZ    yes")})
        EXPECT_NE(std::string::npos, values.find(line)) << line << "\n" << values;
    // The program path holds a blank, so it is quoted; the blank after the
    // first argument stays even though the second is empty.
    const std::string relate = UnixCommandOutput("wine reg query 'HKCR\\rvsample_auto_file\\shell\\open\\command'");
    EXPECT_NE(std::string::npos, relate.find("REG_SZ    \"" + app + "SAMPLE.EXE\" \"%1\" \r\n")) << relate;
    const std::string shared = UnixCommandOutput(
        "wine reg query 'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs' /v '" + app +
        "RVSAMPLE.DLL'");
    EXPECT_NE(std::string::npos, shared.find("REG_DWORD    0x1")) << shared;

    // The desktop shortcut as an independent link parser reads it.
    const std::string link = UnixCommandOutput("/usr/bin/lnkinfo '" + UnixPathOf(desktop + "Ravelin サンプル.lnk") + "'");
    EXPECT_EQ(ToUtf8(app + "SAMPLE.EXE"), LinkField(link, "Local path")) << link;
    EXPECT_EQ(ToUtf8(app + "データ"), LinkField(link, "Working directory").substr(0, ToUtf8(app + "データ").size()))
        << link;
    EXPECT_EQ("/desktop", LinkField(link, "Command line arguments")) << link;

    const std::string list = UnixCommandOutput("wine uninstaller --list");
    EXPECT_NE(std::string::npos, list.find("Ravelin サンプル 1.0")) << list;
}
