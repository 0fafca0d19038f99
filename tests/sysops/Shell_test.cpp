#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "SysopsTestUtil.h"
#include "TestSupport.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/Win932.h"
#include "sysops/Shell.h"

namespace {

struct LinkFields {
    bool loaded = false;
    std::string path, folder, arguments;
};

// Reads a link file back through the shell's own link object.
LinkFields ReadLink(const std::string& linkPath) {
    LinkFields fields;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.put_void())))
        return fields;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void()))) return fields;
    wchar_t wide[MAX_PATH * 2] = {};
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH * 2);
    if (FAILED(file->Load(wide, STGM_READ))) return fields;
    char text[MAX_PATH * 2] = {};
    link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH);
    fields.path = text;
    text[0] = 0;
    link->GetWorkingDirectory(text, sizeof text);
    fields.folder = text;
    text[0] = 0;
    link->GetArguments(text, sizeof text);
    fields.arguments = text;
    fields.loaded = true;
    return fields;
}

}  // namespace

// ---------------------------------------------------------------- shortcuts

TEST(CreateShortcut, MakesARealLinkWithTargetFolderAndArguments) {
    ScratchFolder dir;
    dir.Write("app\\tool.exe", "MZ");
    dir.Write("work\\keep.txt", "x");
    const std::string linkName = dir / "Menu\\Programs\\App\\Tool";  // App does not exist yet
    std::string made = "stale";
    CreateShortcut(dir / "app\\tool.exe", linkName, dir / "work", "/a \"b c\"", made);

    EXPECT_EQ(ToUtf8(linkName + ".lnk"), ToUtf8(made));
    ASSERT_TRUE(FileExistsAt(linkName + ".lnk"));
    const LinkFields link = ReadLink(made);
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(ToUtf8(dir / "app\\tool.exe"), ToUtf8(link.path));
    EXPECT_TRUE(SameFolder(dir / "work\\", link.folder)) << ToUtf8(link.folder);
    EXPECT_EQ("/a \"b c\"", link.arguments);
}

TEST(CreateShortcut, AnIndependentLinkParserReadsTheSameFields) {
    if (UnixPathOf("C:\\").empty()) GTEST_SKIP() << "lnkinfo is read through Wine's Unix side";
    ScratchFolder dir;
    dir.Write("app\\tool.exe", "MZ");
    dir.Write("work\\keep.txt", "x");
    std::string made;
    CreateShortcut(dir / "app\\tool.exe", dir / "Tool", dir / "work", "-q --mode=fast", made);
    ASSERT_FALSE(made.empty());
    const std::string out = dir / "lnkinfo.txt";
    ASSERT_TRUE(RunShellCommand("/usr/bin/lnkinfo '" + UnixPathOf(made) + "' > '" + UnixPathOf(out) + "' 2>&1"));
    std::string report;
    for (int i = 0; i < 100 && (report = ReadFileBytes(out)).find("Working directory") == std::string::npos; ++i)
        Sleep(50);
    // lnkinfo prints "\t<field>\t\t: <value>" lines.
    auto field = [&](const std::string& name) {
        const size_t at = report.find("\t" + name + "\t");
        if (at == std::string::npos) return std::string("(missing)");
        const size_t start = report.find(": ", at) + 2;
        return report.substr(start, report.find('\n', start) - start);
    };
    EXPECT_EQ(ToUtf8(dir / "app\\tool.exe"), field("Local path")) << report;
    EXPECT_EQ(ToUtf8(dir / "work\\"), field("Working directory")) << report;
    EXPECT_EQ("-q --mode=fast", field("Command line arguments")) << report;
}

TEST(CreateShortcut, MissingWorkingFolderFallsBackToTheTargetsFolder) {
    ScratchFolder dir;
    dir.Write("app\\tool.exe", "MZ");
    std::string made;
    CreateShortcut(dir / "app\\tool.exe", dir / "Tool", dir / "no such folder", "", made);
    ASSERT_EQ(ToUtf8(dir / "Tool.lnk"), ToUtf8(made));
    const LinkFields link = ReadLink(made);
    ASSERT_TRUE(link.loaded);
    EXPECT_TRUE(SameFolder(dir / "app\\", link.folder)) << ToUtf8(link.folder);
    EXPECT_EQ("", link.arguments);

    std::string second;
    CreateShortcut(dir / "app\\tool.exe", dir / "Tool2", "", "", second);
    ASSERT_EQ(ToUtf8(dir / "Tool2.lnk"), ToUtf8(second));
    EXPECT_TRUE(SameFolder(dir / "app\\", ReadLink(second).folder));
}

TEST(CreateShortcut, ALinkNameWithLnkStaysAsItIsAndJapaneseNamesSurvive) {
    ScratchFolder dir;
    dir.Write("表示\\ツール.exe", "MZ");
    std::string made;
    CreateShortcut(dir / "表示\\ツール.exe", dir / "メニュー\\表示.LNK", "", "", made);
    EXPECT_EQ(ToUtf8(dir / "メニュー\\表示.LNK"), ToUtf8(made));
    const LinkFields link = ReadLink(made);
    ASSERT_TRUE(link.loaded);
    EXPECT_EQ(ToUtf8(dir / "表示\\ツール.exe"), ToUtf8(link.path));
    EXPECT_TRUE(SameFolder(dir / "表示\\", link.folder)) << ToUtf8(link.folder);
}

TEST(CreateShortcut, TheWideLinkHoldsTheUnicodeOfTheCp932TextsOnAnyLocale) {
    ScratchFolder dir;
    dir.Write("表ソ\\ツール.exe", "MZ");
    dir.Write("作業ソ\\keep.txt", "x");
    std::string made;
    CreateShortcut(dir / "表ソ\\ツール.exe", dir / "メニュー\\表示ソ", dir / "作業ソ", "/名前=表", made);
    ASSERT_EQ(ToUtf8(dir / "メニュー\\表示ソ.lnk"), ToUtf8(made));

    ComPtr<IShellLinkW> link;
    ASSERT_TRUE(SUCCEEDED(
        CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.put_void())));
    ComPtr<IPersistFile> file;
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void())));
    ASSERT_TRUE(SUCCEEDED(file->Load(win932::Wide(made).c_str(), STGM_READ)));
    wchar_t text[MAX_PATH * 2] = {};
    link->GetPath(text, MAX_PATH * 2, nullptr, SLGP_RAWPATH);
    EXPECT_EQ(win932::Wide(dir.path()) + L"\u8868\u30bd\\\u30c4\u30fc\u30eb.exe", std::wstring(text));
    text[0] = 0;
    link->GetArguments(text, MAX_PATH * 2);
    EXPECT_EQ(L"/\u540d\u524d=\u8868", std::wstring(text));
    text[0] = 0;
    link->GetWorkingDirectory(text, MAX_PATH * 2);
    std::wstring folder = text;
    if (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    EXPECT_EQ(win932::Wide(dir.path()) + L"\u4f5c\u696d\u30bd", folder);
}

TEST(CreateShortcut, ALnkTargetIsCopiedNotLinked) {
    ScratchFolder dir;
    dir.Write("app\\tool.exe", "MZ");
    std::string original;
    CreateShortcut(dir / "app\\tool.exe", dir / "Setup\\Readme", "", "/x", original);
    ASSERT_FALSE(original.empty());
    std::string copy;
    CreateShortcut(dir / "Setup\\Readme.LNK", dir / "Menu\\Readme", "", "", copy);
    EXPECT_EQ(ToUtf8(dir / "Menu\\Readme.lnk"), ToUtf8(copy));
    EXPECT_EQ(ReadFileBytes(original), ReadFileBytes(copy));
    EXPECT_EQ("/x", ReadLink(copy).arguments);
}

TEST(CreateShortcut, NothingMadeMeansAnEmptyResult) {
    ScratchFolder dir;
    dir.Write("app\\tool.exe", "MZ");
    // A folder where the link file should go: the save cannot succeed.
    ASSERT_TRUE(CreateDirectoryA((dir / "Blocked.lnk").c_str(), nullptr));
    std::string made = "stale";
    CreateShortcut(dir / "app\\tool.exe", dir / "Blocked", "", "", made);
    EXPECT_EQ("", made);

    // A link file to copy that is not there.
    made = "stale";
    CreateShortcut(dir / "Missing.lnk", dir / "Copy", "", "", made);
    EXPECT_EQ("", made);
    EXPECT_FALSE(dir.Exists("Copy.lnk"));
}

TEST(CreateShortcut, ALinkObjectThatCannotBeCreatedIsRaised) {
    ScratchFolder dir;
    bool raised = false;
    HRESULT hr = S_OK;
    // A thread without COM cannot create the link object.
    TestThread worker([&] {
        std::string made;
        try {
            CreateShortcut(dir / "tool.exe", dir / "Tool", "", "", made);
        } catch (const ShellLinkError& e) {
            raised = true;
            hr = e.hr();
        }
    });
    worker.join();
    EXPECT_TRUE(raised);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_FALSE(dir.Exists("Tool.lnk"));
}

// ---------------------------------------------------------- self-registration

TEST(IsRegistrable, LooksForOcxOrDllAnywhereWithoutCase) {
    EXPECT_TRUE(IsRegistrable("C:\\X\\A.ocx"));
    EXPECT_TRUE(IsRegistrable("C:\\X\\B.Dll"));
    EXPECT_TRUE(IsRegistrable("C:\\X.DLL\\readme.txt"));
    EXPECT_FALSE(IsRegistrable("C:\\X\\C.EXE"));
    EXPECT_FALSE(IsRegistrable("C:\\X\\dll.txt"));
}

namespace {

// Points the test libraries at the running test's registry key.
class SelfRegKey {
public:
    SelfRegKey() { SetEnvironmentVariableA("RV_SELFREG_KEY", key_.subkey().c_str()); }
    ~SelfRegKey() { SetEnvironmentVariableA("RV_SELFREG_KEY", nullptr); }
    bool Has(const char* value) const {
        RegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.subkey().c_str(), 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS)
            return false;
        return RegQueryValueExA(key.get(), value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }

private:
    TestRegKey key_;
};

}  // namespace

TEST(RegisterServer, CallsTheLibrarysOwnEntryPoints) {
    StateGuard guard;
    State().Mode = "SETUP";
    SelfRegKey reg;
    const std::string dll = BinFolder() + "sysops_selfreg_ok.dll";
    EXPECT_TRUE(RegisterServer(dll, true));
    EXPECT_TRUE(reg.Has("Registered"));
    EXPECT_FALSE(RegisterServer(dll, false));  // unregistering never reports success
    EXPECT_FALSE(reg.Has("Registered"));
    // The library is released again after each call.
    EXPECT_EQ(nullptr, GetModuleHandleA(dll.c_str()));
}

TEST(RegisterServer, ALibraryIsLoadedOnlyByItsFullPath) {
    StateGuard guard;
    State().Mode = "SETUP";
    SelfRegKey reg;
    // Both would be found beside the test program, as a planted library
    // beside SETUP.EXE would.
    for (const std::string& name : {std::string("sysops_selfreg_ok.dll"), std::string(".\\sysops_selfreg_ok.dll")}) {
        SCOPED_TRACE(name);
        ScriptedMsgBox boxes;
        boxes.Expect("OCX/DLL登録エラー(LoadLibrary)", name + "の読み込みに失敗しました。", 48, IDOK);
        EXPECT_FALSE(RegisterServer(name, true));
        EXPECT_FALSE(reg.Has("Registered"));
    }
}

TEST(RegisterServer, AMissingEntryPointIsReportedOnlyWhenRegistering) {
    StateGuard guard;
    State().Mode = "SETUP";
    const std::string dll = BinFolder() + "sysops_selfreg_none.dll";
    {
        ScriptedMsgBox boxes;
        boxes.Expect("OCX/DLL登録エラー(GetProcAddress)", dll + "のDllRegisterServerエントリが見つかりません。", 48,
                     IDOK);
        EXPECT_FALSE(RegisterServer(dll, true));
    }
    EXPECT_FALSE(RegisterServer(dll, false));  // strict boxes: none may appear
    EXPECT_EQ(nullptr, GetModuleHandleA(dll.c_str()));
}

TEST(RegisterServer, AFailingEntryPointIsReportedAndUnregisteringIgnoresTheResult) {
    StateGuard guard;
    State().Mode = "UNSETUP";
    SelfRegKey reg;
    const std::string dll = BinFolder() + "sysops_selfreg_fail.dll";
    {
        ScriptedMsgBox boxes;
        boxes.Expect("OCX/DLL登録エラー(Procedure)", dll + "のDllRegisterServer関数が失敗しました。", 48, IDOK);
        EXPECT_FALSE(RegisterServer(dll, true));
    }
    EXPECT_FALSE(RegisterServer(dll, false));
    EXPECT_TRUE(reg.Has("Unregistered"));
}

TEST(RegisterServer, ALibraryThatCannotBeLoadedIsReportedOnlyInAnInstall) {
    StateGuard guard;
    ScratchFolder dir;
    const std::string dll = dir / "missing.dll";
    State().Mode = "SETUP";
    {
        ScriptedMsgBox boxes;
        boxes.Expect("OCX/DLL登録エラー(LoadLibrary)", dll + "の読み込みに失敗しました。", 48, IDOK);
        EXPECT_FALSE(RegisterServer(dll, true));
    }
    State().Mode = "UNSETUP";
    EXPECT_FALSE(RegisterServer(dll, true));
    EXPECT_FALSE(RegisterServer(dll, false));
}

TEST(RegisterServer, UnregisteringNeverShowsTheLoadingError) {
    StateGuard guard;
    ScratchFolder dir;
    dir.Write("broken.dll", "not a library");
    State().Mode = "SETUP";  // strict boxes: none may appear
    EXPECT_FALSE(RegisterServer(dir / "broken.dll", false));
    EXPECT_FALSE(RegisterServer(dir / "missing.dll", false));
}

TEST(RegisterServer, ALibraryThatCrashesIsReportedAsFailedAndTheProgramGoesOn) {
    StateGuard guard;
    State().Mode = "SETUP";
    SelfRegKey reg;
    const std::string dll = BinFolder() + "sysops_selfreg_crash.dll";
    for (int round = 0; round < 2; ++round) {
        {
            ScriptedMsgBox boxes;
            boxes.Expect("OCX/DLL登録エラー(Procedure)", dll + "のDllRegisterServer関数が失敗しました。", 48, IDOK);
            EXPECT_FALSE(RegisterServer(dll, true));
        }
        // Unregistering stays silent (strict boxes) whatever happens.
        EXPECT_FALSE(RegisterServer(dll, false));
        EXPECT_TRUE(reg.Has("Unregistered")) << "the entry did run";
        EXPECT_EQ(nullptr, GetModuleHandleA(dll.c_str())) << "the library is released after the crash";
    }
    // The thread's own exception handling still works afterwards: the
    // system's probe faults inside and answers.
    EXPECT_TRUE(IsBadWritePtr(nullptr, 4));
}

TEST(RegisterServer, AnExceptionTheLibraryHandlesItselfIsNoFailure) {
    StateGuard guard;
    State().Mode = "SETUP";
    SelfRegKey reg;
    const std::string dll = BinFolder() + "sysops_selfreg_handled.dll";
    EXPECT_TRUE(RegisterServer(dll, true));
    EXPECT_TRUE(reg.Has("Registered"));
}

// ------------------------------------------------------------ starting programs

namespace {

std::atomic<bool> g_pinged{false};
HANDLE g_pingEvent = nullptr;

LRESULT CALLBACK PingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_APP + 7) {
        g_pinged = true;
        if (g_pingEvent) SetEvent(g_pingEvent);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A hidden window of this thread that answers WM_APP + 7 by signalling an event.
class PingWindow {
public:
    PingWindow() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PingWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "RvSysopsPing";
        RegisterClassA(&wc);
        window_ = CreateWindowA("RvSysopsPing", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    }
    ~PingWindow() { DestroyWindow(window_); }
    HWND get() const { return window_; }

private:
    HWND window_;
};

std::string UniqueName(const char* stem) {
    return std::string(stem) + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    return lines;
}

}  // namespace

TEST(RunAndWait, HandlesWindowMessagesWhileTheProgramRuns) {
    // The child ends only once the event is set, and the event is set only
    // by a window message posted to this thread during the wait.
    const std::string eventName = UniqueName("RvSysopsPing");
    KernelObject event(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    ASSERT_TRUE(event);
    g_pingEvent = event.get();
    g_pinged = false;
    PingWindow window;
    ASSERT_NE(nullptr, window.get());
    TestThread poster([hwnd = window.get()] {
        Sleep(300);
        PostMessageA(hwnd, WM_APP + 7, 0, 0);
    });
    const long result = RunAndWait(BinFolder() + "sysops_child.exe", "wait " + eventName + " 30000");
    const bool pingedDuringWait = g_pinged;
    poster.join();
    g_pingEvent = nullptr;
    EXPECT_EQ(-1, result);
    EXPECT_TRUE(pingedDuringWait);
}

TEST(RunAndWait, SleepsInsteadOfSpinningWhileItWaits) {
    FILETIME created, exited, kernel0, user0, kernel1, user1;
    ASSERT_TRUE(GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel0, &user0));
    const ULONGLONG start = GetTickCount64();
    // Nobody sets this event: the child ends by its own timeout.
    EXPECT_EQ(-1, RunAndWait(BinFolder() + "sysops_child.exe", "wait " + UniqueName("RvSysopsNobody") + " 2000"));
    const ULONGLONG wallMs = GetTickCount64() - start;
    ASSERT_TRUE(GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel1, &user1));
    auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    const ULONGLONG cpuMs = (ticks(kernel1) - ticks(kernel0) + ticks(user1) - ticks(user0)) / 10000;
    EXPECT_GE(wallMs, 1500u) << "the child did not run its course";
    EXPECT_LT(cpuMs, wallMs / 2) << "the wait used the processor for " << cpuMs << " of " << wallMs << " ms";
}

namespace {

BOOL CALLBACK CloseShellDialog(HWND window, LPARAM counter) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[32] = {};
    GetClassNameA(window, cls, sizeof cls);
    if (pid == GetCurrentProcessId() && IsWindowVisible(window) && std::string(cls) == "#32770") {
        PostMessageA(window, WM_COMMAND, IDOK, 0);
        ++*reinterpret_cast<std::atomic<int>*>(counter);
    }
    return TRUE;
}

// The shell shows its own error dialog when it cannot open a file; this
// presses its button the way a user would, until stopped.
class ShellDialogCloser {
public:
    ShellDialogCloser()
        : thread_([this] {
              while (!stop_) {
                  EnumWindows(CloseShellDialog, reinterpret_cast<LPARAM>(&closed_));
                  Sleep(100);
              }
          }) {}
    ~ShellDialogCloser() {
        stop_ = true;
        thread_.join();
    }
    int closed() const { return closed_; }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> closed_{0};
    TestThread thread_;
};

}  // namespace

TEST(RunAndWait, AProgramThatCannotBeStartedGivesItsErrorCode) {
    ScratchFolder dir;
    ShellDialogCloser closer;
    const long result = RunAndWait(dir / "no such program.exe", "");
    EXPECT_EQ(static_cast<long>(ERROR_FILE_NOT_FOUND), result);
    std::printf("shell error dialogs pressed: %d\n", closer.closed());
}

TEST(ShellRun, StartsTheProgramInTheGivenFolderOrElseTheTemporaryFolder) {
    StateGuard guard;
    ScratchFolder dir;
    dir.Write("temp\\keep.txt", "x");
    dir.Write("run\\keep.txt", "x");
    State().TempFolder = dir / "temp\\";
    const std::string child = BinFolder() + "sysops_child.exe";

    EXPECT_EQ(0, ShellRun(child, "cwd \"" + dir / "out1.txt" + "\"", dir / "run"));
    ASSERT_TRUE(WaitForFileAt(dir / "out1.txt", 30000));
    EXPECT_TRUE(SameFolder(dir / "run", Lines(dir.Read("out1.txt")).at(0))) << ToUtf8(dir.Read("out1.txt"));

    EXPECT_EQ(0, ShellRun(child, "cwd \"" + dir / "out2.txt" + "\"", dir / "missing"));
    ASSERT_TRUE(WaitForFileAt(dir / "out2.txt", 30000));
    EXPECT_TRUE(SameFolder(dir / "temp", Lines(dir.Read("out2.txt")).at(0))) << ToUtf8(dir.Read("out2.txt"));
}

TEST(ShellRun, AFailedStartIsShownAsAWarningAndStillGivesZero) {
    StateGuard guard;
    ScratchFolder dir;
    State().TempFolder = dir.path();
    const std::string program = dir / "missing.exe";
    ScriptedMsgBox boxes;
    boxes.Expect("警告", "プログラム実行失敗\r\n" + program + " /q\r\n\r\n" + SysErrorText(SE_ERR_FNF), 48, IDOK);
    EXPECT_EQ(0, ShellRun(program, "/q", dir.path()));
}

TEST(ProcessRun, PassesOnlyTheParametersAndRunsInTheGivenFolder) {
    StateGuard guard;
    ScratchFolder dir;
    dir.Write("temp\\keep.txt", "x");
    dir.Write("run\\keep.txt", "x");
    State().TempFolder = dir / "temp\\";
    const std::string child = BinFolder() + "sysops_child.exe";

    const std::string parameters = "cwd \"" + dir / "out1.txt" + "\"";
    EXPECT_EQ(0, ProcessRun(child, parameters, dir / "run\\"));
    ASSERT_TRUE(WaitForFileAt(dir / "out1.txt", 30000));
    const auto lines = Lines(dir.Read("out1.txt"));
    ASSERT_EQ(2u, lines.size());
    EXPECT_TRUE(SameFolder(dir / "run", lines[0])) << ToUtf8(lines[0]);
    EXPECT_EQ(ToUtf8(" " + parameters), ToUtf8(lines[1]));

    EXPECT_EQ(0, ProcessRun(child, "cwd \"" + dir / "out2.txt" + "\"", dir / "missing"));
    ASSERT_TRUE(WaitForFileAt(dir / "out2.txt", 30000));
    EXPECT_TRUE(SameFolder(dir / "temp", Lines(dir.Read("out2.txt")).at(0)));
}

TEST(ProcessRun, AFailedStartIsShownAndItsCodeReturned) {
    StateGuard guard;
    ScratchFolder dir;
    State().TempFolder = dir.path();
    const std::string program = dir / "missing.exe";
    ScriptedMsgBox boxes;
    boxes.Expect("警告", "プログラム実行失敗\r\n" + program + " \r\n\r\n" + SysErrorText(ERROR_FILE_NOT_FOUND), 48,
                 IDOK);
    EXPECT_EQ(static_cast<long>(ERROR_FILE_NOT_FOUND), ProcessRun(program, "", dir.path()));
}

// ------------------------------------------------------------------ restart

namespace {

// Attributes of a privilege in this process's token; -1 when it is absent.
long PrivilegeAttributes(const char* name) {
    LUID luid;
    if (!LookupPrivilegeValueA(nullptr, name, &luid)) return -1;
    KernelObject token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return -1;
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.get(), TokenPrivileges, buffer.data(), size, &size)) return -1;
    const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
    for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
        const LUID& l = privileges->Privileges[i].Luid;
        if (l.LowPart == luid.LowPart && l.HighPart == luid.HighPart)
            return static_cast<long>(privileges->Privileges[i].Attributes);
    }
    return -1;
}

class ExitWindowsSeam {
public:
    explicit ExitWindowsSeam(BOOL answer) {
        TWinReboot::SetExitWindowsFunction([this, answer](UINT flags, DWORD reason) {
            calls.push_back({flags, reason, PrivilegeAttributes("SeShutdownPrivilege")});
            return answer;
        });
    }
    ~ExitWindowsSeam() { TWinReboot::SetExitWindowsFunction(nullptr); }
    struct Call {
        UINT flags;
        DWORD reason;
        long privilege;
    };
    std::vector<Call> calls;
};

}  // namespace

TEST(TWinReboot, RestartsWithTheShutdownPrivilegeEnabledOnlyForTheCall) {
    TWinReboot reboot;
    {
        ExitWindowsSeam seam(TRUE);
        EXPECT_TRUE(reboot.RebootWindows(EWX_REBOOT));
        ASSERT_EQ(1u, seam.calls.size());
        EXPECT_EQ(static_cast<UINT>(EWX_REBOOT), seam.calls[0].flags);  // no force flag added
        EXPECT_EQ(0u, seam.calls[0].reason);
        ASSERT_NE(-1, seam.calls[0].privilege) << "the token has no shutdown privilege";
        EXPECT_TRUE(seam.calls[0].privilege & SE_PRIVILEGE_ENABLED);
    }
    const long after = PrivilegeAttributes("SeShutdownPrivilege");
    EXPECT_FALSE(after & SE_PRIVILEGE_ENABLED);
    {
        ExitWindowsSeam seam(FALSE);
        EXPECT_FALSE(reboot.RebootWindows(EWX_REBOOT));
        EXPECT_EQ(1u, seam.calls.size());
    }
}

TEST(TWinReboot, EnablePrivilegeFailsForAnUnknownPrivilege) {
    TWinReboot reboot;
    EXPECT_FALSE(reboot.EnablePrivilege("SeNoSuchPrivilegeAtAll", true));
    EXPECT_TRUE(reboot.EnablePrivilege("SeShutdownPrivilege", true));
    EXPECT_TRUE(PrivilegeAttributes("SeShutdownPrivilege") & SE_PRIVILEGE_ENABLED);
    EXPECT_TRUE(reboot.EnablePrivilege("SeShutdownPrivilege", false));
    EXPECT_FALSE(PrivilegeAttributes("SeShutdownPrivilege") & SE_PRIVILEGE_ENABLED);
}
