#pragma once
// Drives the real SETUP.EXE under Wine like a person: a distribution folder
// with the program and a script, the process started with arguments, its
// windows found by class, their controls read by id, buttons pressed without
// waiting for the handler, real message boxes read and answered. Every wait
// is bounded and fails the test with what it waited for.
#include <windows.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "platform/Handles.h"

namespace e2e {

constexpr DWORD kWaitMs = 20000;

// Folder of the running test program (ends with "\"); SETUP.EXE lies there.
std::string BinFolder();
// The session's temporary folder (ends with "\").
std::string TempFolder();
// Windows folder of the prefix (ends with "\").
std::string WindowsFolder();
// The id of a running process of that file name ("UNRAVEL.EXE"), 0 when none.
DWORD RunningProcessId(const std::string& exeName);

// A distribution medium: SETUP.EXE beside an optional SETUP.INI (CP932 bytes).
class Distribution {
public:
    Distribution() : Distribution("") {}
    // The medium in a folder of that name ("配布\") inside the scratch folder.
    explicit Distribution(const std::string& subfolder);
    void WriteScript(const std::string& cp932) const;
    void Write(const std::string& relative, const std::string& bytes) const {
        folder_.Write(subfolder_ + relative, bytes);
    }
    const std::string& path() const { return path_; }
    std::string exe() const { return path_ + "SETUP.EXE"; }

private:
    ScratchFolder folder_;
    std::string subfolder_, path_;
};

// A real message box of the program, as a person sees it.
struct MessageBoxView {
    HWND hwnd = nullptr;
    std::string caption;
    std::string text;
    std::vector<int> buttons;  // ids of the visible buttons (IDOK, IDYES, ...)
    unsigned icon = 0;         // MB_ICONHAND / QUESTION / EXCLAMATION / ASTERISK, 0 when none
    bool iconKnown = false;    // false when the icon could not be told apart
    // Button set plus icon as MessageBox flags (MB_OK = 0, MB_YESNO = 4, ...).
    unsigned Flags() const;
    std::string Describe() const;
};

// The program, started with a command line. Ending the object ends the
// process (if still running), removes the working folders RVTMPn it made in
// the temporary folder, and fails the test when a message box is still open.
class SetupProcess {
public:
    using Environment = std::vector<std::pair<std::string, std::string>>;
    SetupProcess(const std::string& exe, const std::string& arguments, const Environment& environment = {});
    ~SetupProcess();
    // A program another program started (found by its file name, such as
    // "UNRAVEL.EXE"), driven from then on like one this side started; null
    // (and a failed test) when none appeared in time.
    static std::unique_ptr<SetupProcess> Attach(const std::string& exeName, DWORD timeoutMs = kWaitMs);
    SetupProcess(const SetupProcess&) = delete;
    SetupProcess& operator=(const SetupProcess&) = delete;

    DWORD pid() const { return pid_; }
    bool started() const { return static_cast<bool>(process_); }
    // True when the process ended within the time.
    bool WaitForExit(DWORD timeoutMs);
    DWORD ExitCode() const;
    void Terminate();

    // A visible top-level window of this process by class; null when none.
    HWND FindWindowOfClass(const char* className) const;
    // Waits for the wizard window and for start-up to finish (btnEvent has
    // a caption). Fails the test and returns null on timeout.
    HWND WaitForWizard(DWORD timeoutMs = kWaitMs);
    HWND Wizard() const { return wizard_; }
    HWND WaitForWindow(const char* className, DWORD timeoutMs = kWaitMs);

    // Controls of a window of this process (the wizard by default).
    HWND Control(int id, HWND window = nullptr) const;
    std::string Text(int id, HWND window = nullptr) const;
    bool Enabled(int id, HWND window = nullptr) const;
    bool Shown(int id, HWND window = nullptr) const;  // visible style: its own and its page's
    bool Checked(int id, HWND window = nullptr) const;
    bool ReadOnly(int id, HWND window = nullptr) const;
    RECT Bounds(int id, HWND window = nullptr) const;  // in the window's client coordinates
    // Caption of a top-level window.
    static std::string WindowText(HWND window);
    // Puts a CP932 text into a control as typing would (WM_SETTEXT, so the
    // control's change notification follows).
    void SetText(int id, const std::string& text, HWND window = nullptr) const;

    // Presses an enabled, visible button as a click would, without waiting
    // for the handler (it may show a modal box). A button not yet shown or
    // enabled is waited for a few seconds; then the test fails.
    void Press(int id, HWND window = nullptr);

    // The open message box of this process, if any.
    bool FindMessageBox(MessageBoxView& view) const;
    // Waits for a message box; fails the test with `what` on timeout.
    MessageBoxView WaitForMessageBox(const std::string& what, DWORD timeoutMs = kWaitMs);
    // Presses a button of the box and waits until the box is gone.
    void Answer(const MessageBoxView& box, int buttonId);

    // Waits until the condition holds. A message box that appears meanwhile
    // fails the test (and is answered so the program can go on).
    bool WaitUntil(const std::function<bool()>& condition, const std::string& what, DWORD timeoutMs = kWaitMs);
    bool WaitForText(int id, const std::string& text, DWORD timeoutMs = kWaitMs);

private:
    SetupProcess() = default;
    void FailOnOpenMessageBox(const std::string& during);
    void RemoveNewWorkFolders();

    KernelObject process_;
    DWORD pid_ = 0;
    HWND wizard_ = nullptr;
    std::set<std::string> workFoldersBefore_;
};

// HKCU\Software\Wine\AppDefaults\<exe>\Version for one test (removed after).
class WineVersionOverride {
public:
    WineVersionOverride(const std::string& exeName, const std::string& version);
    ~WineVersionOverride();
    WineVersionOverride(const WineVersionOverride&) = delete;
    WineVersionOverride& operator=(const WineVersionOverride&) = delete;

private:
    std::string key_;
    bool keyExisted_ = false;
};

// A file of the prefix put back as it was, with its time (or removed), when
// the test ends.
class RestoredFile {
public:
    explicit RestoredFile(const std::string& path);
    ~RestoredFile();
    RestoredFile(const RestoredFile&) = delete;
    RestoredFile& operator=(const RestoredFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_, saved_;
    FILETIME written_ = {};
    bool existed_ = false;
};

// A registry key under HKEY_LOCAL_MACHINE created for one test and removed
// with its values after it.
class LocalMachineKey {
public:
    explicit LocalMachineKey(const std::string& subkey);
    ~LocalMachineKey();
    LocalMachineKey(const LocalMachineKey&) = delete;
    LocalMachineKey& operator=(const LocalMachineKey&) = delete;
    void SetString(const std::string& name, const std::string& value) const;
    const std::string& subkey() const { return subkey_; }

private:
    std::string subkey_;
};

// Sets a string value under HKEY_CURRENT_USER (the key must exist).
void SetUserString(const std::string& subkey, const std::string& name, const std::string& value);

// A real full disk: a small memory file system of the machine (tmpfs, in
// pages of 4 KiB) mounted for one test and mapped as drive R: of the
// prefix. Mounting needs root: ok() is false without it (the caller skips).
// The drive link goes and the file system is unmounted when the object
// dies, whatever the test did.
class SmallDrive {
public:
    explicit SmallDrive(unsigned kilobytes = 1024);
    ~SmallDrive();
    SmallDrive(const SmallDrive&) = delete;
    SmallDrive& operator=(const SmallDrive&) = delete;
    bool ok() const { return ok_; }
    static constexpr const char* kRoot = "R:\\";
    // Bytes free on the drive as the system reports them; 0 when unknown.
    static unsigned long long FreeBytes();

private:
    std::string mount_, dosdevices_;
    bool ok_ = false;
};

}  // namespace e2e
