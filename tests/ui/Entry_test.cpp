// The program itself, started as a separate process.
#include "TestSupport.h"
#include "platform/Handles.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

std::string ProgramPath() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    return p.substr(0, p.find_last_of('\\') + 1) + "SETUP.EXE";
}

BOOL CALLBACK FindProcessWindow(HWND w, LPARAM lp) {
    auto* found = reinterpret_cast<std::pair<DWORD, bool>*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == found->first && IsWindowVisible(w)) found->second = true;
    return TRUE;
}

}  // namespace

TEST(Entry, SecondInstanceLeavesSilently) {
    // This test holds the instance mutex, as a running program would.
    KernelObject mutex(CreateMutexA(nullptr, FALSE, "RAVSETUP"));
    ASSERT_TRUE(mutex);
    std::string cmd = ProgramPath();
    cmd.insert(cmd.begin(), '"');
    cmd.push_back('"');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    KernelObject process(pi.hProcess), thread(pi.hThread);
    DWORD waited = WaitForSingleObject(process.get(), 15000);
    if (waited != WAIT_OBJECT_0) {
        std::pair<DWORD, bool> found{pi.dwProcessId, false};
        EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&found));
        TerminateProcess(process.get(), 1);
        FAIL() << "the second instance did not end (window shown: " << found.second << ")";
    }
    DWORD code = 1;
    GetExitCodeProcess(process.get(), &code);
    EXPECT_EQ(code, 0u);
}
