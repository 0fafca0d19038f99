// RVPACK: the package author's tool. check reads a setup script as the
// program reads it and prints every finding with its line; init writes a
// starter script for a folder tree; build checks, then lays out the
// distribution (compressed, split into disks). Changes nothing on the
// machine but the files it is told to write.
#include <windows.h>

#include <cstdio>

#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "pack/Build.h"
#include "pack/Console.h"
#include "pack/OneFile.h"
#include "pack/ScriptCheck.h"
#include "pack/Starter.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "session/CommandLine.h"
#include "session/SessionStart.h"

namespace {

namespace Code {
constexpr int kClean = 0, kWarnings = 1, kErrors = 2, kNoScript = 4, kBadCommandLine = 87;
}

const char kUsage[] =
    "使い方:\r\n"
    "  RVPACK check [フォルダ\\SETUP.INI]               スクリプトを検査します(既定: 今のフォルダの SETUP.INI)\r\n"
    "  RVPACK init フォルダ                            フォルダの中身を入れる SETUP.INI の雛形を作ります\r\n"
    "  RVPACK build プロジェクト 出力先 [/LZ] [/DISK=大きさ] [/ONEFILE[=名前.EXE]]  配布用のフォルダを作ります\r\n"
    "      /LZ       ファイルを圧縮します(「_」の名前)\r\n"
    "      /DISK=n   n バイト(末尾に K か M も可)ごとのディスク DISK1, DISK2, ... に分けます\r\n"
    "      /ONEFILE  全部を一つのプログラムにまとめます(/LZ・/DISK= とは一緒に使えません)\r\n"
    "終了コード: 0 問題なし、1 警告だけ、2 エラー、4 スクリプトがない、87 コマンドラインの誤り";

int BadCommandLine(const std::string& why) {
    PrintErrorLine(why);
    PrintErrorLine(kUsage);
    return Code::kBadCommandLine;
}

// Prints the findings; the exit code they make.
int Report(const std::string& shownPath, const CheckResult& result) {
    int warnings = 0, errors = 0;
    for (const Finding& f : result.findings) {
        PrintLine(FormatFinding(shownPath, f));
        ++(f.error ? errors : warnings);
    }
    PrintLine(shownPath + ": エラー " + std::to_string(errors) + " 件、警告 " + std::to_string(warnings) + " 件");
    return errors ? Code::kErrors : warnings ? Code::kWarnings : Code::kClean;
}

int Check(const std::vector<std::string>& args) {
    if (args.size() > 2) return BadCommandLine("check に渡せるのはスクリプト 1 つです。");
    std::string path = args.size() == 2 ? args[1] : "SETUP.INI";
    if (args.size() == 2 && FolderExists(path)) path = AddPathDelimiter(path, "B") + "SETUP.INI";
    const CheckResult result = CheckScript(path);
    if (!result.scriptFound) {
        PrintErrorLine(path + ": スクリプトがありません。");
        return Code::kNoScript;
    }
    return Report(path, result);
}

int Init(const std::vector<std::string>& args) {
    if (args.size() != 2) return BadCommandLine("init にはフォルダを 1 つ渡します。");
    if (!FolderExists(args[1])) {
        PrintErrorLine(args[1] + ": フォルダがありません。");
        return Code::kErrors;
    }
    const std::string script = AddPathDelimiter(args[1], "B") + "SETUP.INI";
    if (FileExists(script)) {
        PrintErrorLine(script + ": すでにあります。上書きはしません。");
        return Code::kErrors;
    }
    const StarterScript starter = MakeStarterScript(args[1]);
    for (const std::string& skipped : starter.skipped)
        PrintLine(script + ": 「" + skipped + "」は名前に「,」があるため、[CopyFile] に入れませんでした。");
    for (const std::string& link : starter.links)
        PrintLine(script + ": 「" + link + "」はリンクのため、その先のファイルとともに入れませんでした。");
    FileHandle file(CreateFile932(script, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const bool done = file &&
                      WriteFile(file.get(), starter.text.data(), static_cast<DWORD>(starter.text.size()), &written, nullptr) &&
                      written == starter.text.size();
    file.reset();
    if (!done) {
        PrintErrorLine(script + ": 書けません。");
        return Code::kErrors;
    }
    PrintLine(script + " を作りました。");
    return Code::kClean;
}

std::string Ratio(std::uint64_t after, std::uint64_t before) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", before ? 100.0 * static_cast<double>(after) / static_cast<double>(before) : 100.0);
    return text;
}

// build /ONEFILE: the findings that matter for a one-file only, then the
// program.
int BuildOne(const BuildOptions& options, const std::string& script, std::string name, int checked) {
    const std::vector<Finding> findings = OneFileFindings(script);
    for (const Finding& f : findings) PrintLine(FormatFinding(script, f));
    if (!findings.empty() && checked == Code::kClean) checked = Code::kWarnings;
    if (name.empty()) name = DefaultOneFileName(script);
    if (!FolderExists(options.out) && !ForceFolders(options.out)) {
        PrintErrorLine("エラー: 出力先「" + options.out + "」を作れません。");
        return Code::kErrors;
    }
    if (FileExists(AddPathDelimiter(options.out, "B") + name)) {
        PrintErrorLine("エラー: 「" + AddPathDelimiter(options.out, "B") + name + "」がすでにあります。");
        return Code::kErrors;
    }
    OneFileReport report;
    {
        ProgressLine progress;
        report = BuildOneFile(options, name, [&](const std::string& text) { progress.Show(text); });
    }
    for (const std::string& error : report.errors) PrintErrorLine("エラー: " + error);
    if (!report.errors.empty()) return Code::kErrors;
    PrintLine("ファイル " + std::to_string(report.files) + " 個、" + std::to_string(report.expanded) + " バイト → " +
              std::to_string(report.payload) + " バイト(" + Ratio(report.payload, report.expanded) +
              ")、プログラム " + std::to_string(report.stub) + " バイト: " + report.path);
    return checked;
}

int Build(const std::vector<std::string>& args) {
    BuildOptions options;
    std::vector<std::string> folders;
    bool oneFile = false;
    std::string oneFileName;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string upper = MapString(args[i], LCMAP_UPPERCASE);
        if (upper == "/LZ") {
            options.compress = true;
        } else if (upper.rfind("/DISK=", 0) == 0) {
            if (!ParseDiskSize(args[i].substr(6), options.diskSize))
                return BadCommandLine("/DISK= の大きさ「" + args[i].substr(6) + "」が読めません(例: /DISK=1440K)。");
        } else if (upper == "/ONEFILE" || upper.rfind("/ONEFILE=", 0) == 0) {
            oneFile = true;
            oneFileName = upper.size() > 9 ? args[i].substr(9) : std::string();
            if (upper.size() > 9 && (oneFileName.find_first_of("\\/:") != std::string::npos || IPos(".EXE", oneFileName) == 0))
                return BadCommandLine("/ONEFILE= には「.EXE」で終わるファイル名だけを指定します: " + oneFileName);
        } else if (!args[i].empty() && args[i][0] == '/') {
            return BadCommandLine("知らないスイッチです: " + args[i]);
        } else {
            folders.push_back(args[i]);
        }
    }
    if (folders.size() != 2) return BadCommandLine("build にはプロジェクトと出力先のフォルダを渡します。");
    // One program holds one medium, compressed whole.
    if (oneFile && options.diskSize) return BadCommandLine("/ONEFILE と /DISK= は一緒に使えません。");
    if (oneFile && options.compress)
        return BadCommandLine("/ONEFILE は全体をまとめて圧縮するため、/LZ は使えません。");
    options.project = folders[0];
    options.out = folders[1];
    // The program the tool came with, else one the project holds.
    options.setupExe = ExtractFilePath(ModulePath()) + "SETUP.EXE";
    if (!FileExists(options.setupExe)) options.setupExe = AddPathDelimiter(options.project, "B") + "SETUP.EXE";

    const std::string script = AddPathDelimiter(options.project, "B") + "SETUP.INI";
    const CheckResult check = CheckScript(script);
    if (!check.scriptFound) {
        PrintErrorLine(script + ": スクリプトがありません。");
        return Code::kNoScript;
    }
    const int checked = Report(script, check);
    if (checked == Code::kErrors) {
        PrintErrorLine("エラーがあるため、配布用のフォルダは作りませんでした。");
        return Code::kErrors;
    }
    if (oneFile) return BuildOne(options, script, oneFileName, checked);
    BuildReport report;
    {
        ProgressLine progress;
        report = BuildDistribution(options, [&](const std::string& text) { progress.Show(text); });
    }
    for (const std::string& error : report.errors) PrintErrorLine("エラー: " + error);
    if (!report.errors.empty()) return Code::kErrors;
    PrintLine("ファイル " + std::to_string(report.files) + " 個(圧縮 " + std::to_string(report.compressed) + " 個)、" +
              std::to_string(report.before) + " バイト → " + std::to_string(report.after) + " バイト(" +
              Ratio(report.after, report.before) + ")、ディスク " + std::to_string(report.disks) + " 枚: " + options.out);
    // What was made must read as clean as its project did.
    const CheckResult made = CheckScript(report.script);
    if (made.HasErrors()) {
        Report(report.script, made);
        PrintErrorLine("作った配布用のフォルダのスクリプトにエラーがあります。");
        return Code::kErrors;
    }
    return checked;
}

}  // namespace

int main() {
    std::string commandLine;
    GetCommandLine932(commandLine);
    const std::vector<std::string> args = SplitArguments(commandLine);
    if (args.empty()) return BadCommandLine("コマンドがありません。");
    const std::string command = MapString(args[0], LCMAP_UPPERCASE);
    if (command == "CHECK") return Check(args);
    if (command == "INIT") return Init(args);
    if (command == "BUILD") return Build(args);
    return BadCommandLine("知らないコマンドです: " + args[0]);
}
