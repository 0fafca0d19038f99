// Benchmark, not a test: how long leaving the program takes, measured from
// outside as a person would notice it. Run by scripts/bench-exit.sh, which
// prints the figures; nothing here asserts anything about them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "Driver.h"
#include "TestSupport.h"
#include "ui/resource.h"

using namespace e2e;

namespace {

constexpr int kRounds = 5;

// Milliseconds from `since` until the condition holds (polled every 2 ms),
// or until 30 s have passed.
template <typename Condition>
DWORD MsUntil(DWORD since, Condition condition) {
    while (!condition() && GetTickCount() - since < 30000) Sleep(2);
    return GetTickCount() - since;
}

bool WindowGone(HWND window) { return !IsWindow(window) || !IsWindowVisible(window); }

void Print(const char* what, DWORD ms) {
    std::printf("BENCH %-58s %5lu ms\n", what, static_cast<unsigned long>(ms));
    std::fflush(stdout);
}

}  // namespace

TEST(ExitTimingBench, DISABLED_TitlePageCloseQuestionAndFatalState) {
    for (int round = 0; round < kRounds; ++round) {
        Distribution dist;
        dist.WriteScript("[Title]\r\nSetup=テストアプリ\r\nProgram=テストアプリ\r\n");
        SetupProcess setup(dist.exe(), "");
        ASSERT_TRUE(setup.WaitForWizard());
        setup.Press(IDC_btnEnd);
        const MessageBoxView box = setup.WaitForMessageBox("the close question");
        HWND yes = GetDlgItem(box.hwnd, IDYES);
        ASSERT_NE(nullptr, yes);
        const DWORD pressed = GetTickCount();
        PostMessageA(box.hwnd, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), reinterpret_cast<LPARAM>(yes));
        const DWORD boxGone = MsUntil(pressed, [&] { return !IsWindow(box.hwnd); });
        const DWORD wizardGone = MsUntil(pressed, [&] { return WindowGone(setup.Wizard()); });
        const DWORD ended = MsUntil(pressed, [&] { return setup.WaitForExit(0); });
        Print("title page, Yes -> the question box gone (system's own)", boxGone);
        Print("title page, Yes -> wizard gone from the screen", wizardGone);
        Print("title page, Yes -> process ended", ended);
        Print("title page, question box gone -> process ended", ended - boxGone);
    }
    for (int round = 0; round < kRounds; ++round) {
        Distribution dist;  // no script: the fatal state
        SetupProcess setup(dist.exe(), "");
        ASSERT_TRUE(setup.WaitForWizard());
        const DWORD pressed = GetTickCount();
        setup.Press(IDC_btnEnd);
        const DWORD wizardGone = MsUntil(pressed, [&] { return WindowGone(setup.Wizard()); });
        const DWORD ended = MsUntil(pressed, [&] { return setup.WaitForExit(0); });
        Print("fatal state, end button -> wizard gone from the screen", wizardGone);
        Print("fatal state, end button -> process ended", ended);
    }
}

// Benchmark, not a test: from the start of the process to the title page
// with its step button ready, as a person waits for it. Run by
// scripts/bench.sh, which prints the figures.
TEST(StartTimingBench, DISABLED_StartToTitlePage) {
    const std::string s = "インストール";
    for (int round = 0; round < kRounds; ++round) {
        Distribution dist;
        dist.WriteScript("[Title]\r\nSetup=テストアプリ\r\nProgram=テストアプリ\r\n");
        const DWORD started = GetTickCount();
        SetupProcess setup(dist.exe(), "");
        ASSERT_TRUE(setup.WaitForWizard());
        const DWORD ready = MsUntil(started, [&] {
            return setup.Text(IDC_btnEvent) == s + "続行(&C)" && setup.Enabled(IDC_btnEvent) &&
                   IsWindowVisible(setup.Wizard());
        });
        Print("start -> title page ready", ready);
        setup.Press(IDC_btnEnd);
        const MessageBoxView box = setup.WaitForMessageBox("the close question");
        setup.Answer(box, IDYES);
        setup.WaitForExit(20000);
    }
}
