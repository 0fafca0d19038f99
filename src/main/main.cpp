// Program entry: the command line, the log, one instance at a time, COM for
// the shell objects; then either the unattended session of /S, or the four
// windows and the message loop. Everything else starts from there.
#include "app/CommandLine.h"
#include "app/Handles.h"
#include "app/RunLog.h"
#include "app/Startup.h"
#include "app/SystemLibraries.h"
#include "app/Win932.h"
#include "app/uUtils.h"
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

#include <cstdio>

#ifdef RV_KILL_COUNTDOWN
#include "KillCountdown.h"
#endif

namespace {

void LogStart(const std::string& commandLine) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u/%02u/%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    LogLine("開始", std::string(kProductName) + " " + stamp);
    LogLine("コマンドライン", commandLine);
}

int RunWizard(HINSTANCE instance) {
    // The taskbar shows the application title, not a window's caption; the
    // program runs on without that button when it cannot be made.
    CreateApplicationWindow(instance, kProductName);
    if (!CreateForms(instance)) {
        DestroyForms();
        return 1;
    }
    SetOwnerWindow(frmMain().Handle());
    // Showing the background window starts the wizard (its first resize).
    ShowWindow(frmBack().Handle(), SW_SHOWNORMAL);
    const int code = RunMessageLoop();
    SetOwnerWindow(nullptr);
    // The windows stay standing: the end of the process right after takes
    // them all down at once, where destroying them one by one would hide each
    // in turn (seconds under a window system that waits for its window
    // manager, with the program still turning a new start away).
    for (TForm* form : {static_cast<TForm*>(&frmCustomDlg()), static_cast<TForm*>(&frmStatus()),
                        static_cast<TForm*>(&frmMain()), static_cast<TForm*>(&frmBack())})
        form->Abandon();
    return code;
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
    // caller is told why.
    const int refused = command.silent ? ExitCode::kAnotherSetup : 0;
    if (KernelObject other(OpenMutex932(MUTEX_ALL_ACCESS, FALSE, "RAVSETUP")); other) {
        LogLine("エラー", "別のセットアップが実行中です。");
        PostQuitMessage(0);
        return refused;
    }
    KernelObject mutex(CreateMutex932(nullptr, FALSE, "RAVSETUP"));
    // Two programs started at the same moment both pass the first test; the
    // creation tells the later one.
    if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        LogLine("エラー", "別のセットアップが実行中です。");
        return refused;
    }

    ComApartment com;
    return command.silent ? RunSilentSession(command) : RunWizard(instance);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    std::string commandLine;
    const bool readable = GetCommandLine932(commandLine);
    LaunchCommand command = ParseCommandLine(commandLine);
    if (!readable) {
        // An argument CP932 cannot hold and without a short name: never
        // worked on under a wrong name.
        command.valid = false;
        command.error = "コマンドラインに日本語(シフトJIS)で表せない文字があります: " + commandLine;
    }
    if (!command.logFile.empty()) {
        // The run goes on without its log; whoever reads stderr hears why.
        if (OpenRunLog(command.logFile)) LogStart(commandLine);
        else WriteStandardError("/LOG のファイルを作成できません: " + command.logFile);
    }
#ifdef RV_KILL_COUNTDOWN
    // Only the test build of tests/kill has it; the log above stays uncounted.
    StartKillCountdown();
#endif
    const int code = RunProgram(instance, command);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    if (RunLogOpen() && syslib::GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory))
        LogLine("メモリ", "最大ワーキングセット " + std::to_string(memory.PeakWorkingSetSize / 1024) + " KiB");
    LogLine("終了コード", std::to_string(code));
    CloseRunLog();
    return code;
}
