#include "SampleKit.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <unordered_set>
#include <vector>

#include "TestSupport.h"
#include "platform/Win932.h"
#include "ui/resource.h"

namespace e2e {

namespace {
const std::string kS = "インストール";
const std::string kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
}  // namespace

std::string SampleFolder() { return BinFolder() + "..\\sample\\"; }

void CopySample(const Distribution& dist) {
    for (const char* name : {"SETUP.INI", "LICENSE.TXT", "README.TXT", "UNREADME.TXT", "SETTINGS.DAT",
                             "ソフト情報.TXT", "SAMPLE.EXE", "RVSAMPLE.DLL", "MANUAL.TX_", "docs\\guide.htm"}) {
        const std::string bytes = ReadFileBytes(SampleFolder() + name);
        ASSERT_FALSE(bytes.empty()) << "sample file missing: " << ToUtf8(name);
        dist.Write(name, bytes);
    }
}

StrictProgram::StrictProgram(const Distribution& dist) : log_(logFolder_.path() + "refused.log") {
    EXPECT_TRUE(CopyFileW(win932::Wide(BinFolder() + "SETUP_STRICT.EXE").c_str(), win932::Wide(dist.exe()).c_str(),
                          FALSE));
    SetEnvironmentVariableA("RV_STRICT_RULES", (BinFolder() + "OldWindows.tsv").c_str());
    SetEnvironmentVariableA("RV_STRICT_LOG", log_.c_str());
}

// Every refusal fails the test, also one that stopped it early.
StrictProgram::~StrictProgram() {
    EXPECT_EQ("", ReadFileBytes(log_)) << "what this Windows refuses";
    SetEnvironmentVariableA("RV_STRICT_RULES", nullptr);
    SetEnvironmentVariableA("RV_STRICT_LOG", nullptr);
}

std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, 0, path);
    std::string folder(path);
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

SampleLeftovers::SampleLeftovers(const std::string& installFolder)
    : shared_(installFolder + "RVSAMPLE.DLL"), unravel_(WindowsFolder() + "UNRAVEL.EXE"),
      list_(WindowsFolder() + "RVSET98.INI"), ini_(WindowsFolder() + "RVSAMPLE.INI") {}

SampleLeftovers::~SampleLeftovers() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, (kUninstallKey + "RavelinSample").c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Ravelin Sample");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ".rvsample");
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "rvsample_auto_file");
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs", 0,
                      KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        // Wide: the install folder may be Japanese on a Western system.
        RegDeleteValueW(key, win932::Wide(shared_).c_str());
        RegCloseKey(key);
    }
    RemoveTree(ShellFolder(CSIDL_PROGRAMS) + "Ravelin サンプル");
    DeleteFileW(win932::Wide(ShellFolder(CSIDL_DESKTOPDIRECTORY) + "Ravelin サンプル.lnk").c_str());
}

std::string InstallSample(SetupProcess& setup, const std::string& app) {
    if (!setup.WaitForWizard()) return {};
    if (!setup.WaitForText(IDC_btnEvent, kS + "続行(&C)")) return {};
    setup.Press(IDC_btnEvent);
    // Licence: only after ticking the box.
    if (!setup.WaitForText(IDC_btnEvent, "同意する(&A)")) return {};
    setup.Press(IDC_chkEULARead);
    if (!setup.WaitUntil([&] { return setup.Enabled(IDC_btnEvent); }, "licence accepted")) return {};
    setup.Press(IDC_btnEvent);
    if (!setup.WaitUntil([&] { return setup.Text(IDC_fraReadme) == "はじめにお読みください"; }, "readme")) return {};
    setup.Press(IDC_btnEvent);
    if (!setup.WaitForText(IDC_btnEvent, kS + "開始(&S)")) return {};
    EXPECT_TRUE(setup.Checked(IDC_chkSCutDesktop));
    EXPECT_TRUE(setup.Checked(IDC_chkSCutStartMenu));
    setup.SetText(IDC_txtFolder, app);
    setup.Press(IDC_btnEvent);

    MessageBoxView box = setup.WaitForMessageBox("the folder question");
    EXPECT_EQ(ToUtf8("フォルダ作成"), ToUtf8(box.caption));
    EXPECT_EQ(ToUtf8(app + "\r\n\r\nこのフォルダは存在しません。作成してもよろしいですか？"), ToUtf8(box.text));
    setup.Answer(box, IDYES);
    box = setup.WaitForMessageBox("the association question", 60000);
    EXPECT_EQ(ToUtf8("関連付けの確認"), ToUtf8(box.caption));
    EXPECT_EQ(ToUtf8("拡張子 *.rvsample を\r\n" + app + "SAMPLE.EXE\r\nに関連付けします。よろしいですか？"),
              ToUtf8(box.text));
    EXPECT_EQ(static_cast<unsigned>(MB_YESNO | MB_ICONQUESTION), box.Flags());
    setup.Answer(box, IDYES);

    HWND status = setup.WaitForWindow("TfrmStatus");
    if (!setup.WaitUntil([&] { return setup.Text(IDC_btnAbort, status) == "次へ(&N)"; }, "the summary", 60000))
        return {};
    const std::string summary = setup.Text(IDC_lblMessage, status);
    setup.Press(IDC_btnAbort, status);

    if (!setup.WaitForText(IDC_btnEvent, kS + "完了(&E)")) return summary;
    setup.WaitUntil([&] { return setup.Shown(IDC_fraSelectType); }, "the completion page");
    EXPECT_EQ(ToUtf8("インストーラを終了して、プログラムを実行します。(&Y)"), ToUtf8(setup.Text(IDC_optSelectType1)));
    EXPECT_FALSE(setup.Shown(IDC_optSelectType2));
    EXPECT_NE(std::string::npos, setup.Text(IDC_lblSelectTypeMsg)
                                     .find("(CreateProcess APIを利用します。)\r\n" + app + "SAMPLE.EXE /firstrun"));
    setup.Press(IDC_btnEvent);
    EXPECT_TRUE(setup.WaitForExit(20000));
    return summary;
}

std::string LinkField(const std::string& report, const std::string& name) {
    const size_t at = report.find("\t" + name + "\t");
    if (at == std::string::npos) return "(missing)";
    const size_t start = report.find(": ", at) + 2;
    return report.substr(start, report.find('\n', start) - start);
}

std::string PrefixSnapshot() {
    const std::string c = UnixPathOf("C:\\");
    std::string snapshot = UnixCommandOutput(
        "cd '" + c + "' && find . -path './users/*/Temp' -prune -o -path ./windows/temp -prune -o "
        "! -iname UNRAVEL.EXE ! -iname RVSET98.INI -print | LC_ALL=C sort");
    // Each key in single quotes: the shell would take its backslashes away.
    for (const char* key : {"'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall' /s",
                            "'HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs'", "'HKCU\\Software'",
                            "'HKLM\\SOFTWARE\\Ravelin\\Setup\\RecordDigests'",
                            "'HKCR\\.rvsample' /s", "'HKCR\\rvsample_auto_file' /s"})
        snapshot += UnixCommandOutput(std::string("wine reg query ") + key);
    return snapshot;
}

// The lines of a that b lacks, for a readable failure. By whole lines from
// a set: a snapshot can run to megabytes, and searching the whole of b for
// each line of a never ended on those.
std::string Missing(const std::string& a, const std::string& b) {
    auto lines = [](const std::string& text) {
        std::vector<std::string> out;
        for (size_t start = 0; start < text.size();) {
            const size_t end = text.find('\n', start);
            out.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start + 1));
            if (end == std::string::npos) break;
            start = end + 1;
        }
        return out;
    };
    const std::vector<std::string> inB = lines(b);
    const std::unordered_set<std::string> known(inB.begin(), inB.end());
    std::string out;
    for (const std::string& line : lines(a))
        if (!known.count(line)) out += line;
    return out;
}

// The record the sample package must leave, byte for byte.
std::string ExpectedSampleRecord(const std::string& f, const std::string& programs, const std::string& desktop) {
    return "[Information]\r\n"
           "Message1=Ravelin Setup UnSetup(UnInstall) Initialize File\r\n"
           "Message2=！！！　警告　！！！\r\n"
           "Message3=このファイルをエディタなどで書き換えたり、削除しないでください。\r\n"
           "Message4=書き換えた場合、アンインストール動作の保証はできません。\r\n\r\n"
           "[Title]\r\nUnSetup=Ravelin サンプル\r\n\r\n"
           "[SetupFolder]\r\nFolder=" + f + "\r\n\r\n"
           "[DeleteFolder]\r\nFolder1=" + f + "データ\\\r\nFolder2=" + f + "データ\\ログ\\\r\nFolder3=" + f +
           "docs\\\r\n\r\n"
           "[DeleteFile]\r\nFile1=" + f + "SAMPLE.EXE\r\nFile2=" + f + "README.TXT\r\nFile3=" + f +
           "MANUAL.TXT\r\nFile4=" + f + "ソフト情報.TXT\r\nFile5=" + f + "docs\\ポケットガイド.htm\r\nFile6=" + f +
           "データ\\表示設定.INI\r\nFile7=" + f + "RVSAMPLE.DLL,/S/R\r\nFile8=" + f + "UNREADME.TXT\r\nFile9=" + f +
           "UNSETUP.INI\r\n\r\n"
           "[DeleteShortCut]\r\nFile1=" + programs + "Ravelin サンプル\\Ravelin サンプル.lnk\r\nFile2=" + programs +
           "Ravelin サンプル\\お読みください.lnk\r\nFile3=" + desktop + "Ravelin サンプル.lnk\r\n\r\n"
           "[DeleteRegistry]\r\nKey1=(Cuser)Software\\Ravelin Sample\r\n\r\n"
           "[AddDeleteFile]\r\nFile1=" + WindowsFolder() + "RVSAMPLE.INI\r\nFile2=" + f + "データ\\ログ\\*.LOG\r\n\r\n"
           "[RestoreRelate]\r\nKey1=rvsample,\r\n\r\n"
           "[UnSetupOption]\r\nCheckBox=0,0,1,0\r\nCheckBox3=*.LOG\r\nCheckBox4=*.BAK\r\n\r\n"
           "[BeforeUnInstall]\r\nReadmeFile=\\UNREADME.TXT\r\n\r\n"
           "[Extend]\r\nSetupString=インストール\r\nUnSetupString=アンインストール\r\n\r\n"
           "[UnSetupRegistryKey]\r\nKey=SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RavelinSample\r\n\r\n"
           "[ProgramID]\r\nID=RAVELINSAMPLE\r\n";
}

void UninstallSample(SetupProcess& un, const std::string& app, bool userFileLeft) {
    const std::string kU = "アンインストール";
    ASSERT_TRUE(un.WaitForWizard(60000));
    ASSERT_TRUE(un.WaitForText(IDC_btnEvent, kU + "続行(&C)"));
    EXPECT_EQ(ToUtf8(kU + "の前にお読みください。"), ToUtf8(un.Text(IDC_fraReadme)));
    un.Press(IDC_btnEvent);
    ASSERT_TRUE(un.WaitForText(IDC_btnEvent, kU + "開始(&S)"));
    EXPECT_TRUE(un.Checked(IDC_chkSCutStartUp)) << "*.LOG is checked by the package";
    un.Press(IDC_btnEvent);

    // The library was counted once: this was its last user.
    HWND dialog = nullptr;
    ASSERT_TRUE(un.WaitUntil(
        [&] { return (dialog = un.FindWindowOfClass("TfrmCustomDlg")) != nullptr && IsWindowVisible(dialog); },
        "the shared-file dialog", 60000));
    EXPECT_EQ(0u, un.Text(IDC_lblMessage, dialog).find(app + "RVSAMPLE.DLL\r\n\r\n"));
    un.Press(IDC_btnDelete, dialog);

    if (userFileLeft) {
        MessageBoxView box = un.WaitForMessageBox("the failure question", 60000);
        EXPECT_EQ(ToUtf8(kU + "の過程で、一部の処理が失敗しました。\r\n詳細を表示しますか？"), ToUtf8(box.text));
        un.Answer(box, IDYES);
        ASSERT_TRUE(un.WaitForText(IDC_btnEvent, "続行(&C)"));
        const std::string details = un.Text(IDC_txtReadme);
        EXPECT_EQ(0u, details.find("<SetupFolder> " + app)) << ToUtf8(details);
        EXPECT_NE(std::string::npos, details.find("メモ.txt")) << "the user's file is named: " << ToUtf8(details);
        un.Press(IDC_btnEvent);
    }
    HWND status = un.WaitForWindow("TfrmStatus");
    ASSERT_TRUE(un.WaitUntil([&] { return un.Text(IDC_btnAbort, status) == "次へ(&N)"; }, "the summary", 60000));
    un.Press(IDC_btnAbort, status);
    ASSERT_TRUE(un.WaitForText(IDC_btnEvent, kU + "完了(&E)"));
    un.WaitUntil([&] { return un.Shown(IDC_fraSelectType); }, "the completion page");
    EXPECT_EQ(ToUtf8(kU + "を完了しました。"), ToUtf8(un.Text(IDC_lblSelectTypeMsg)));
    un.Press(IDC_btnEvent);
    ASSERT_TRUE(un.WaitForExit(20000));
}

}  // namespace e2e
