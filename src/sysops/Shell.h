#pragma once
// How both runs touch the shell and the system outside the file system:
// shortcut files, self-registration, starting other programs, and restarting
// Windows (the shared-library counts are in SharedDlls.h). Everything runs on the user-interface
// thread and reads Mode, OSKind and TempFolder from State().
#include <windows.h>

#include <exception>
#include <functional>
#include <string>
#include <utility>

// What the runs raise, with its message. Not std::runtime_error: that one
// keeps its text in the library's old reference-counted string, which would
// link a second string implementation into the program for these two.
class SystemOperationError : public std::exception {
public:
    explicit SystemOperationError(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// Raised when the shell link object itself cannot be created; the install
// run does not catch it, the program's general error handler shows it.
class ShellLinkError : public SystemOperationError {
public:
    ShellLinkError(const std::string& message, HRESULT hr) : SystemOperationError(message), hr_(hr) {}
    HRESULT hr() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

// Raised when a shared-library count cannot be written; not caught by the
// runs, like every other registry write failure.
class RegistryWriteError : public SystemOperationError {
public:
    RegistryWriteError(const std::string& message, LONG code) : SystemOperationError(message), code_(code) {}
    LONG code() const noexcept { return code_; }

private:
    LONG code_;
};

// Makes a shell link at linkName (".lnk" added unless the name already holds
// it), creating its folder. A target that is itself a ".LNK" file is copied
// instead. result is the path of the file made, and empty whenever no file
// exists there afterwards (so a caller never records a link that is not
// there). On "notNT" a save that left a ".pif" instead names the ".pif".
// Throws ShellLinkError when the link object cannot be created.
void CreateShortcut(const std::string& target, const std::string& linkName, const std::string& workFolder,
                    const std::string& arguments, std::string& result);

// True when the path contains ".OCX" or ".DLL" anywhere, without case.
bool IsRegistrable(const std::string& path);

// Loads the library and calls DllRegisterServer (register) or
// DllUnregisterServer. True only when DllRegisterServer ran and returned 0.
// Registering reports each failure in a message box: a library that cannot
// be loaded only in an install (Mode "SETUP"), an entry that crashes as a
// failed entry. Unregistering shows nothing at all, calls the entry without
// looking at its result and returns false. A crash inside either entry ends
// only that call; the library is released on every path.
bool RegisterServer(const std::string& path, bool doRegister);

// Starts the program (a full path; never through the shell's choice of
// handler) in its own folder and waits for it to end while the window
// messages of this thread are handled. -1 when it was started and has
// ended; otherwise the Win32 error code of the start, or of the wait when
// waiting failed (the program may then still be running).
long RunAndWait(const std::string& path, const std::string& parameters);

// Starts the program through the shell without waiting, in folder (or
// TempFolder when that does not exist). A failure is shown as a warning.
// Always 0.
long ShellRun(const std::string& path, const std::string& parameters, const std::string& folder);

// Starts the program with CreateProcess without waiting, in folder (or
// TempFolder when that does not exist). 0, or the Win32 error code after the
// warning has been shown.
long ProcessRun(const std::string& path, const std::string& parameters, const std::string& folder);

// Restart of Windows. The one call that would restart the machine goes
// through a replaceable function so tests never restart anything.
class TWinReboot {
public:
    using ExitWindowsFunction = std::function<BOOL(UINT flags, DWORD reason)>;

    // Enables or disables a privilege of this process's token; the result is
    // that of AdjustTokenPrivileges (false on 95/98/Me, which need none).
    bool EnablePrivilege(const std::string& name, bool enable);
    // Enables "SeShutdownPrivilege", calls ExitWindowsEx(flags, 0), disables
    // the privilege again; true when ExitWindowsEx succeeded. The restart is
    // tried even when the privilege could not be enabled.
    bool RebootWindows(UINT flags);

    // Test seam: while set, called instead of ExitWindowsEx; an empty
    // function restores the real call.
    static void SetExitWindowsFunction(ExitWindowsFunction function);
};
