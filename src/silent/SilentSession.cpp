#include "silent/SilentSession.h"

#include <windows.h>

#include "app/RunLog.h"
#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "install/ScriptEntries.h"
#include "platform/Win932.h"
#include "session/CommandLine.h"
#include "session/DisplayAhead.h"
#include "session/Session.h"
#include "session/SessionStart.h"
#include "silent/SilentView.h"

namespace {

// Who answered, in the log, for the licence the caller accepted by /S.
constexpr const char* kCaller = "/S の呼び出し元";

// The install: the folder of /D= (else the script's), every file newer
// wins, the shortcut boxes the script's entries need.
int Install(Session& session, const StartUpResult& start, const LaunchCommand& command, TSilentView& silent,
            const SilentRun& run) {
    // A folder given without its drive is a mistake of the command line, not
    // a refusal of the run.
    if (command.hasFolder && CanonicalInstallFolder(command.folder).empty()) {
        const std::string reason = "/D= にはドライブ名から始まるフォルダを指定してください: " + command.folder;
        LogLine("エラー", reason);
        WriteStandardError(reason);
        return ExitCode::kBadCommandLine;
    }
    RunOptions options;
    options.folderText = command.hasFolder ? AddPathDelimiter(command.folder, "B") : start.folder;
    options.overWrite = true;  // the newer file wins, no question
    const ShortcutBoxes& named = start.shortcuts;
    const bool flags[4] = {named.desktop, named.startMenu, named.startUp, named.sendTo};
    for (int k = 0; k < 4; ++k) options.boxes[k].checked = flags[k];

    if (session.InstallRefused(options.folderText)) return ExitCode::kStoppedUnchanged;
    const std::string checker = session.Checker();
    // A preview starts nothing: the checker is named, and taken as passed.
    if (!checker.empty() && command.preview) {
        WriteStandard932(STD_OUTPUT_HANDLE, "事前チェックプログラムが実行されます(プレビューでは実行せず、続行を認めたものとして進みます): \"" +
                                                checker + "\"\r\n");
        LogLine("プレビュー", "事前チェックプログラムは実行しません: " + checker);
    } else if (!checker.empty() && !session.RunChecker(checker).allows) {
        return ExitCode::kStoppedUnchanged;
    }
    const std::string licence = LicenceFile(State());
    if (!licence.empty()) LogQuestion("使用許諾契約書", licence, "同意する", kCaller);
    LogLine("状況", "インストール先: " + options.folderText);
    silent.SetOptions(std::move(options));
    return run ? run(session, silent) : session.Run(silent, kSilentAnswerer);
}

// The uninstall: the record's folder and its option boxes as they stand.
int Uninstall(Session& session, const StartUpResult& start, TSilentView& silent, const SilentRun& run) {
    RunOptions options;
    options.folderText = start.folder;
    const UninstallOptions& boxes = start.uninstallOptions;
    for (int k = 0; k < 4; ++k) {
        options.boxes[k].checked = boxes.checked[k];
        options.boxes[k].visible = boxes.visible[k];
        options.boxes[k].caption = boxes.visible[k] ? boxes.caption[k] : std::string();
    }
    silent.SetOptions(std::move(options));
    return run ? run(session, silent) : session.Run(silent, kSilentAnswerer);
}

}  // namespace

int RunSilentSession(const LaunchCommand& command, const SilentRun& run) {
    // Neither the system nor Wine may put up a box of its own.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    // The boxes of the layers below (start-up tests, launch and registration
    // warnings) are answered where the run's questions are.
    TSilentView silent;
    SetMsgBoxResponder([&silent](const Question& question) { return silent.Ask(question); });

    // A run that will start COM has the display brought up beside its start
    // rather than in the middle of its work.
    const std::string program = ModulePath();
    if (!command.preview && RunMayStartCom(program, command.recordArgument)) PrepareDisplayAhead();
    Session session(State());
    const StartUpResult start = session.Start(program, command.recordArgument, !command.preview);
    int code = start.exitCode;
    switch (start.kind) {
    case StartUpResult::Kind::Fatal: WriteStandardError(start.fatal); break;
    case StartUpResult::Kind::Finished: break;
    case StartUpResult::Kind::Install: code = Install(session, start, command, silent, run); break;
    case StartUpResult::Kind::Uninstall: code = Uninstall(session, start, silent, run); break;
    }
    // What the wizard's close does.
    const bool ran = start.kind == StartUpResult::Kind::Install || start.kind == StartUpResult::Kind::Uninstall;
    // A preview leaves every other start's working folder as it is.
    session.End(ran && !command.preview, command.preview);
    SetMsgBoxResponder(nullptr);
    return code;
}
