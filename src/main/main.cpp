// Program entry: the command line, the log, one instance at a time, COM for
// the shell objects; then either the unattended session of /S, or the four
// windows and the message loop. Everything else starts from there.
#include "app/RunLog.h"
#include "app/RunOutcome.h"
#include "app/ScriptKeys.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/SystemLibraries.h"
#include "platform/Win932.h"
#include "session/CommandLine.h"
#include "session/SessionStart.h"
#include "silent/PreviewSession.h"
#include "silent/SilentSession.h"
#include "silent/SilentView.h"
#include "ui/Form.h"
#include "ui/Forms.h"
#include "ui/frmBack.h"
#include "ui/frmCustomDlg.h"
#include "ui/frmMain.h"
#include "ui/frmStatus.h"

#include <windows.h>
#include <psapi.h>

#include <string>
#include <exception>

#ifdef RV_KILL_COUNTDOWN
#include "KillCountdown.h"
#endif

namespace {

void LogStart(const std::string& commandLine) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string stamp = ZeroPadded(now.wYear, 4) + "/" + ZeroPadded(now.wMonth, 2) + "/" + ZeroPadded(now.wDay, 2) +
                              " " + ZeroPadded(now.wHour, 2) + ":" + ZeroPadded(now.wMinute, 2) + ":" +
                              ZeroPadded(now.wSecond, 2);
    LogLine("開始", std::string(kProductName) + " " + stamp);
    LogLine("コマンドライン", commandLine);
}

int RunWizard(HINSTANCE instance, const LaunchCommand& command) {
    // The taskbar shows the application title, not a window's caption; the
    // program runs on without that button when it cannot be made.
    CreateApplicationWindow(instance, kProductName);
    if (!CreateForms(instance)) {
        DestroyForms();
        return 1;
    }
    SetOwnerWindow(frmMain().Handle());
    frmMain().SetStartArgument(command.recordArgument);
    // Showing the background window starts the wizard (its first resize).
    ShowWindow(frmBack().Handle(), SW_SHOWNORMAL);
    RunMessageLoop();
    SetOwnerWindow(nullptr);
    // The windows stay standing: the end of the process right after takes
    // them all down at once, where destroying them one by one would hide each
    // in turn (seconds under a window system that waits for its window
    // manager, with the program still turning a new start away).
    for (TForm* form : {static_cast<TForm*>(&frmCustomDlg()), static_cast<TForm*>(&frmStatus()),
                        static_cast<TForm*>(&frmMain()), static_cast<TForm*>(&frmBack())})
        form->Abandon();
    return WizardExitCode();
}

// Everything the program holds lives in here and is released on the way out,
// the instance mutex included, except the windows (see RunWizard).
int RunProgram(HINSTANCE instance, const LaunchCommand& command) {
    if (!command.valid) {
        LogLine("エラー", command.error);
        // No box even without /S: a script with a mistyped switch must get
        // its code back, not hang on a box nobody sees.
        WriteStandardError(command.error);
        return ExitCode::kBadCommandLine;
    }
    // A second instance leaves at once and shows nothing; only an unattended
    // caller is told why. A mutex the other instance made under another
    // account may refuse this one: it is there all the same.
    const int refused = command.silent || command.preview ? ExitCode::kAnotherSetup : 0;
    KernelObject other(OpenMutex932(SYNCHRONIZE, FALSE, "RAVSETUP"));
    if (other || GetLastError() == ERROR_ACCESS_DENIED) {
        LogLine("エラー", "別のセットアップが実行中です。");
        return refused;
    }
    KernelObject mutex(CreateMutex932(nullptr, FALSE, "RAVSETUP"));
    // Two programs started at the same moment both pass the first test; the
    // creation tells the later one.
    if (!mutex ? GetLastError() == ERROR_ACCESS_DENIED : GetLastError() == ERROR_ALREADY_EXISTS) {
        LogLine("エラー", "別のセットアップが実行中です。");
        return refused;
    }

    // The wizard's windows need COM from the start (the folder browser); /S
    // and a preview start it when something needs it (NeedComApartment).
    if (command.preview) return RunPreviewSession(command);
    if (command.silent) return RunSilentSession(command);
    ComApartment com;
    return RunWizard(instance, command);
}

// The path as the system resolves it (full, long where the file exists, no
// regard to case), to tell whether two names mean one file.
std::string ResolvedPath(const std::string& path) {
    const std::string full = GetFullPathName932(path);
    if (full.empty()) return {};
    const std::string longForm = GetLongPathName932(full);
    return MapString(longForm.empty() ? full : longForm, LCMAP_UPPERCASE);
}

// A log opened over the script, the record or the program itself would
// empty it before it is read; such a /LOG= is refused, and never opened.
void RefuseLogOverOwnFiles(LaunchCommand& command, const std::string& programPath) {
    if (!command.valid || command.logFile.empty()) return;
    const std::string log = ResolvedPath(command.logFile);
    if (log.empty()) return;
    const std::string script = programPath.empty() ? std::string() : ExtractFilePath(programPath) + Script::kFileName;
    const std::string own[] = {programPath, script, command.recordArgument};
    for (const std::string& file : own) {
        if (file.empty() || ResolvedPath(file) != log) continue;
        command.valid = false;
        command.error = "/LOG= にプログラム自身・セットアップスクリプト・アンインストール記録は指定できません: " +
                        command.logFile;
        command.logFile.clear();
        return;
    }
}

// No log, no run: whoever asked for one must be able to read what happened.
// Only a command line refused anyway goes on without it (its code says why).
bool OpenLog(const LaunchCommand& command, const std::string& commandLine) {
    if (command.logFile.empty()) return true;
    if (OpenRunLog(command.logFile)) {
        LogStart(commandLine);
        return true;
    }
    const DWORD error = GetLastError();
    const std::string reason = "ログファイル(/LOG=)を作成できません。\r\n" + command.logFile + "\r\n" +
                               SysErrorText(error) + "処理は続行できません。";
    WriteStandardError(reason);
    if (command.valid && !command.silent && !command.preview) MsgBox(reason, "エラー", MB_OK | MB_ICONSTOP);
    return !command.valid;
}

// Everything after the command line, with an error nobody foresaw caught
// here: logged with its text and ended with its own code, never with the
// runtime's box, which would hold an unattended caller for good.
int RunGuarded(HINSTANCE instance, const LaunchCommand& command) {
    try {
        return RunProgram(instance, command);
    } catch (const std::exception& e) {
        LogLine("エラー", std::string("予期しないエラーが発生しました: ") + e.what());
        WriteStandardError(std::string("予期しないエラーが発生しました: ") + e.what());
    } catch (...) {
        LogLine("エラー", "予期しないエラーが発生しました。");
        WriteStandardError("予期しないエラーが発生しました。");
    }
    return ExitCode::kInternalError;
}

// Where no catch applies (an error thrown through a destructor): the same
// end as RunGuarded's, without the runtime's box. A plain function, not a
// lambda: the link-time optimiser of this compiler fails on a lambda's
// conversion to a handler here.
void EndOnUncaught() {
    LogLine("エラー", "予期しないエラーが発生しました。");
    CloseRunLog();
    ExitProcess(ExitCode::kInternalError);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything loads a library on the program's behalf: never from
    // the folder it was started from (a download folder), where it can.
    RestrictLibrarySearch();
    std::set_terminate(EndOnUncaught);
    // Without code page 932 every text would convert to nothing: said once,
    // in words the system can show, and nothing else is done.
    if (win932::CodePage932Missing()) {
        win932::TellCodePage932Missing(GetCommandLineW(), ExitCode::kCannotStart);
        return ExitCode::kCannotStart;
    }
    std::string commandLine;
    const bool readable = GetCommandLine932(commandLine);
    LaunchCommand command = ParseCommandLine(commandLine);
    // Neither the system nor Wine may put up a box of its own under /S, not
    // even for a log on a drive without its medium.
    if (command.silent || command.preview) SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    const std::string programPath = ModulePath();
    if (!readable && programPath.empty()) {
        // The program's own folder has no CP932 form: start-up stops on it
        // with its message, as for any folder of that kind. The arguments
        // are not worked on under a wrong name.
        command.recordArgument.clear();
    } else if (!readable) {
        // An argument CP932 cannot hold and without a short name: never
        // worked on under a wrong name.
        command.valid = false;
        command.error = "コマンドラインに日本語(シフトJIS)で表せない文字があります: " + commandLine;
    }
    RefuseLogOverOwnFiles(command, programPath);
    if (!OpenLog(command, commandLine)) {
        CloseRunLog();
        return ExitCode::kLogNotWritable;
    }
#ifdef RV_KILL_COUNTDOWN
    // Only the test build of tests/kill has it; the log above stays uncounted.
    StartKillCountdown();
#endif
    const int code = RunGuarded(instance, command);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (RunLogOpen() && syslib::GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
        LogLine("メモリ", "最大ワーキングセット " + std::to_string(memory.PeakWorkingSetSize / 1024) + " KiB");
    LogLine("終了コード", std::to_string(code));
    CloseRunLog();
    return code;
}
