#include "sysops/Shell.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstddef>

#include "app/SetupState.h"
#include "app/SystemChanges.h"
#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/SystemLibraries.h"
#include "platform/Win932.h"
#include "sysops/Registry.h"

namespace {

void ShowLaunchWarning(const std::string& path, const std::string& parameters, unsigned long code) {
    MsgBox("プログラム実行失敗\r\n" + path + " " + parameters + "\r\n\r\n" + SysErrorText(code), "警告", 48);
}

// The folder a started program runs in: the given one when it exists.
std::string RunFolder(const std::string& folder) { return FolderExists(folder) ? folder : State().TempFolder; }

TWinReboot::ExitWindowsFunction& ExitWindowsSeam() {
    static TWinReboot::ExitWindowsFunction function;
    return function;
}

using EntryPoint = HRESULT(__stdcall*)();

// An exception frame of our own, put at the head of the thread's frame chain
// around a call into a package library, so that a crash in there ends only
// that call. The system hands the handler the record's address, which is the
// frame's: the record comes first.
struct GuardFrame {
    EXCEPTION_REGISTRATION_RECORD record;
    void* resume[5];  // where the guarded call is left after a crash
};

// Reached only by an exception that no frame inside the library handled,
// which would otherwise end the program.
EXCEPTION_DISPOSITION NTAPI GuardHandler(EXCEPTION_RECORD* exception, void* establisher, CONTEXT*, void*) {
    // Called again while the frames are unwound: nothing to do then.
    if (exception->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    // Read back from memory after the unwind, which need not keep registers.
    GuardFrame* volatile frame = static_cast<GuardFrame*>(establisher);
    // The library's frames above ours clean up and leave the chain, as the
    // system's own frame for this dispatch does; ours is the head again.
    RtlUnwind(establisher, nullptr, exception, nullptr);
    __builtin_longjmp(frame->resume, 1);
}

// The running thread's information block, which holds the head of its frame
// chain; its own address is kept in it at fs:[Self] on every 32-bit Windows.
NT_TIB* ThreadInfoBlock() {
    // Read with an offset the compiler cannot see: as a constant it takes the
    // fs-relative read for one through a null pointer (-Warray-bounds).
    volatile unsigned long self = offsetof(NT_TIB, Self);
    return reinterpret_cast<NT_TIB*>(__readfsdword(self));
}

// Calls entry with the guard frame below it. False when the call crashed;
// result is then left as it was.
__attribute__((noinline)) bool CallGuarded(EntryPoint entry, HRESULT& result) {
    GuardFrame frame;
    frame.record.Handler = GuardHandler;
    frame.record.Next = ThreadInfoBlock()->ExceptionList;
    if (__builtin_setjmp(frame.resume)) {
        // Back from the handler, on this function's frame: ours leaves the chain.
        ThreadInfoBlock()->ExceptionList = frame.record.Next;
        return false;
    }
    ThreadInfoBlock()->ExceptionList = &frame.record;
    const HRESULT returned = entry();
    ThreadInfoBlock()->ExceptionList = frame.record.Next;
    result = returned;
    return true;
}

// The input kinds that wake the wait for a started program. Not QS_ALLINPUT:
// this compiler's headers put QS_RAWINPUT into it, a bit that Windows before
// XP rejects, failing the wait at once.
constexpr DWORD kWakeMask = QS_KEY | QS_MOUSEMOVE | QS_MOUSEBUTTON | QS_POSTMESSAGE | QS_TIMER | QS_PAINT |
                            QS_SENDMESSAGE | QS_HOTKEY;
static_assert((kWakeMask & QS_RAWINPUT) == 0 && kWakeMask == 0xFF, "the input mask of every supported Windows");

}  // namespace

void CreateShortcut(const std::string& target, const std::string& linkName, const std::string& workFolder,
                    const std::string& arguments, std::string& result) {
    result.clear();
    std::string linkPath = IPos(".lnk", linkName) ? linkName : linkName + ".lnk";

    std::string folder = workFolder;
    if (folder.empty() || !FolderExists(folder)) folder = ExtractFilePath(target);
    folder = AddPathDelimiter(folder, "B");

    const std::string linkFolder = ExtractFilePath(linkPath);
    if (!linkFolder.empty() && !FolderExists(linkFolder)) ForceFolders(linkFolder);

    if (IPos(".LNK", target)) {
        if (CopyFileReset(target, linkPath) == 0 && FileExists(linkPath)) result = linkPath;
        return;
    }

    NeedComApartment();
    ComPtr<IUnknown> object;
    const HRESULT hr = syslib::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                        IID_IUnknown, object.put_void());
    if (FAILED(hr)) {
        std::string text = SysErrorText(static_cast<unsigned long>(hr));
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        throw ShellLinkError(text, hr);
    }
    ComPtr<IPersistFile> file;
    if (FAILED(object->QueryInterface(IID_IPersistFile, file.put_void())) || !file) return;
    // On 95/98/Me the wide link interface is missing: the ANSI one is the
    // system's own there.
    if (win932::WideSystem()) {
        ComPtr<IShellLinkW> link;
        if (FAILED(object->QueryInterface(IID_IShellLinkW, link.put_void())) || !link) return;
        link->SetPath(win932::Wide(target).c_str());
        link->SetWorkingDirectory(win932::Wide(folder).c_str());
        if (!arguments.empty()) link->SetArguments(win932::Wide(arguments).c_str());
    } else {
        ComPtr<IShellLinkA> link;
        if (FAILED(object->QueryInterface(IID_IShellLinkA, link.put_void())) || !link) return;
        link->SetPath(target.c_str());
        link->SetWorkingDirectory(folder.c_str());
        if (!arguments.empty()) link->SetArguments(arguments.c_str());
    }
    // The shell saves by name, through whatever the name is: a link there,
    // or a hard link to someone else's file, is left alone (no shortcut,
    // a failure of the entry), and a plain file there loses its name first
    // so the save makes a file of its own.
    if (win932::WideSystem() && Changes().Attributes(linkPath) != INVALID_FILE_ATTRIBUTES) {
        unsigned long refused = 0;
        if (!OpenOwnFile(linkPath, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         refused) ||
            !Changes().DeleteFile(linkPath))
            return;
    }
    // A link that was not saved must not be recorded for removal.
    const std::string what = "リンク " + linkPath + " -> " + target + (arguments.empty() ? "" : " " + arguments);
    if (win932::WideSystem()) {
        // The shell opens the name it saves to: it saves into a new file of
        // ours, held so that nobody can put a link in its place (no delete
        // sharing), which then takes the shortcut's name.
        const std::string saving = CopyTemporaryName(linkPath);
        Changes().DeleteFile(saving);  // a killed run's, or nothing
        OpenedFilePtr hold =
            Changes().Open(saving, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
        if (!hold) return;
        const bool saved =
            Changes().Outside(what, saving, [&] { return SUCCEEDED(file->Save(win932::Wide(saving).c_str(), FALSE)); });
        hold.reset();
        if (!saved || PutInPlace(saving, linkPath) != 0) {
            Changes().DeleteFile(saving);
            return;
        }
    } else if (!Changes().Outside(what, linkPath,
                                  [&] { return SUCCEEDED(file->Save(win932::Wide(linkPath).c_str(), FALSE)); })) {
        return;
    }

    if (!FileExists(linkPath)) {
        // Windows 95/98/Me saves links to MS-DOS programs as ".pif" files.
        if (State().OSKind != "notNT") return;
        linkPath = ChangeFileExt(linkPath, ".pif");
        if (!FileExists(linkPath)) return;
    }
    result = linkPath;
}

bool IsRegistrable(const std::string& path) { return IPos(".OCX", path) > 0 || IPos(".DLL", path) > 0; }

namespace {

bool CallRegistration(const std::string& path, bool doRegister) {
    // Only by its full path: a bare or relative name would be looked for
    // beside the program first, where anything may lie. Its own imports
    // come from its folder and the system folder, nowhere else.
    const bool full = path.size() > 2 && ((path[1] == ':' && path[2] == '\\') || (path[0] == '\\' && path[1] == '\\'));
    // As a registering tool calls them: with COM started.
    if (full) NeedComApartment();
    Library library(full ? LoadLibraryFromItsFolder932(path) : nullptr);
    if (library) NoteClassesChanged();
    if (!library) {
        // Unregistering is silent whatever happens (it also runs inside
        // every deletion of a library).
        if (doRegister && State().Mode == "SETUP")
            MsgBox(path + "の読み込みに失敗しました。", "OCX/DLL登録エラー(LoadLibrary)", 48);
        return false;
    }
    if (!doRegister) {
        auto entry = reinterpret_cast<EntryPoint>(
            reinterpret_cast<void*>(GetProcAddress(library.get(), "DllUnregisterServer")));
        HRESULT ignored = S_OK;
        if (entry) CallGuarded(entry, ignored);
        return false;
    }
    auto entry =
        reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(library.get(), "DllRegisterServer")));
    if (!entry) {
        MsgBox(path + "のDllRegisterServerエントリが見つかりません。", "OCX/DLL登録エラー(GetProcAddress)", 48);
        return false;
    }
    // A crash in the entry counts as a failed registration.
    HRESULT result = E_FAIL;
    if (CallGuarded(entry, result) && result == S_OK) return true;
    MsgBox(path + "のDllRegisterServer関数が失敗しました。", "OCX/DLL登録エラー(Procedure)", 48);
    return false;
}

}  // namespace

bool RegisterServer(const std::string& path, bool doRegister) {
    const std::string what = (doRegister ? "登録 " : "登録解除 ") + path;
    const bool registered = Changes().Outside(what, {}, [&] { return CallRegistration(path, doRegister); });
    return doRegister && registered;
}

namespace {

long StartAndWait(const std::string& path, const std::string& parameters) {
    // By its full path, never through the shell: the shell picks the
    // program that opens a file by its class, which every user may name in
    // HKEY_CURRENT_USER. It runs in its own folder, where programs expect
    // to find their files.
    const std::string folder = ExtractFilePath(path);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    const std::string commandLine = "\"" + path + "\"" + (parameters.empty() ? std::string() : " " + parameters);
    PROCESS_INFORMATION info = {};
    if (!CreateProcess932(path, commandLine, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, folder, &startup,
                          &info)) {
        const DWORD error = GetLastError();
        return error ? static_cast<long>(error) : ERROR_GEN_FAILURE;
    }
    KernelObject thread(info.hThread);
    KernelObject process(info.hProcess);

    // Sleep until the program ends or a message arrives, so the wizard keeps
    // painting without the wait costing processor time.
    for (;;) {
        HANDLE handle = process.get();
        const DWORD woke = MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, kWakeMask);
        if (woke == WAIT_OBJECT_0) break;  // ended
        if (woke != WAIT_OBJECT_0 + 1) {
            // The wait itself failed: the program may still be running.
            const DWORD error = GetLastError();
            return static_cast<long>(error ? error : ERROR_GEN_FAILURE);
        }
        ProcessMessages();
        MSG quit;
        if (PeekMessage932(quit, PM_NOREMOVE, WM_QUIT, WM_QUIT)) {
            // The application is closing: the quit stays queued for the main
            // loop, which would wake this wait forever; wait for the program.
            WaitForSingleObject(process.get(), INFINITE);
            break;
        }
    }
    return -1;
}

long ShellStart(const std::string& path, const std::string& parameters, const std::string& folder);
long ProcessStart(const std::string& path, const std::string& parameters, const std::string& folder);

}  // namespace

long RunAndWait(const std::string& path, const std::string& parameters) {
    // Ended as started when it is not run (-1).
    long result = -1;
    Changes().Outside("実行 " + path + (parameters.empty() ? "" : " " + parameters), {}, [&] {
        result = StartAndWait(path, parameters);
        return result == -1;
    });
    return result;
}

long ShellRun(const std::string& path, const std::string& parameters, const std::string& folder) {
    long result = 0;
    Changes().Outside("実行 " + path + (parameters.empty() ? "" : " " + parameters), {}, [&] {
        result = ShellStart(path, parameters, folder);
        return true;
    });
    return result;
}

long ProcessRun(const std::string& path, const std::string& parameters, const std::string& folder) {
    long result = 0;
    Changes().Outside("実行 " + path + (parameters.empty() ? "" : " " + parameters), {}, [&] {
        result = ProcessStart(path, parameters, folder);
        return result == 0;
    });
    return result;
}

namespace {

long ShellStart(const std::string& path, const std::string& parameters, const std::string& folder) {
    const std::string runFolder = RunFolder(folder);
    NeedComApartment();
    const auto started = reinterpret_cast<INT_PTR>(
        ShellExecute932(GetDesktopWindow(), "open", path, parameters, runFolder, SW_SHOWNORMAL));
    if (started <= 32) ShowLaunchWarning(path, parameters, static_cast<unsigned long>(started));
    return 0;
}

long ProcessStart(const std::string& path, const std::string& parameters, const std::string& folder) {
    const std::string runFolder = RunFolder(folder);
    std::string commandLine = parameters.empty() ? std::string() : " " + parameters;

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfo932(&startup);
    // Fields that must be empty when handed to CreateProcess.
    startup.lpReserved = nullptr;
    startup.cbReserved2 = 0;
    startup.lpReserved2 = nullptr;
    startup.wShowWindow = SW_SHOWNORMAL;

    PROCESS_INFORMATION info = {};
    if (!CreateProcess932(path, commandLine, nullptr, nullptr, FALSE, CREATE_DEFAULT_ERROR_MODE, runFolder, &startup,
                          &info)) {
        DWORD error = GetLastError();
        if (error == 0) error = ERROR_GEN_FAILURE;
        ShowLaunchWarning(path, parameters, error);
        return static_cast<long>(error);
    }
    // Not waited for: the handles go at once.
    KernelObject process(info.hProcess), thread(info.hThread);
    return 0;
}

}  // namespace

bool TWinReboot::EnablePrivilege(const std::string& name, bool enable) {
    return EnableProcessPrivilege932(name, enable);
}

bool TWinReboot::RebootWindows(UINT flags) {
    return Changes().Outside("Windows の再起動", {}, [&] {
        EnablePrivilege("SeShutdownPrivilege", true);
        const ExitWindowsFunction& seam = ExitWindowsSeam();
        const bool restarted = (seam ? seam(flags, 0) : ExitWindowsEx(flags, 0)) != FALSE;
        EnablePrivilege("SeShutdownPrivilege", false);
        return restarted;
    });
}

void TWinReboot::SetExitWindowsFunction(ExitWindowsFunction function) { ExitWindowsSeam() = std::move(function); }
