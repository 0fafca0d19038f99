#pragma once
// What every test program shares: a scratch folder and a registry key of its
// own per test, and scripted answers for message boxes. Outside a
// ScriptedMsgBox every message box fails the running test instead of blocking.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/SetupState.h"
#include "platform/Handles.h"

// Test-local strings are written in UTF-8 sources but compiled to CP932, like
// the program's own; this turns a CP932 text into UTF-8 for failure output.
std::string ToUtf8(const std::string& cp932);

// A fresh, empty folder for the running test under %TEMP%\rvtest\, removed
// with its contents when the object dies. path() ends with "\".
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& relative) const { return path_ + relative; }
    // Writes bytes to a file below the folder, creating missing folders.
    void Write(const std::string& relative, const std::string& bytes) const;
    std::string Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;

private:
    std::string path_;
};

// Whole-file helpers for any path.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
// Sets the file's last write time to the given number of seconds ago.
void WriteTimeAgo(const std::string& path, unsigned seconds);
bool FileExistsAt(const std::string& path);
bool FolderExistsAt(const std::string& path);
// Removes a folder tree (files first); never follows reparse points.
void RemoveTree(const std::string& path);

// HKEY_CURRENT_USER\Software\RavelinTest\<suite>.<test>, removed with all its
// subkeys when the object dies. subkey() has no leading or trailing "\".
class TestRegKey {
public:
    TestRegKey();
    ~TestRegKey();
    TestRegKey(const TestRegKey&) = delete;
    TestRegKey& operator=(const TestRegKey&) = delete;
    const std::string& subkey() const { return subkey_; }

private:
    std::string subkey_;
};

// Answers the message boxes a test expects, in order. Each expectation checks
// caption and flags exactly and the text either exactly or as a substring.
// A box that was not expected, or a mismatch, fails the test. At destruction
// every expectation must have been used.
class ScriptedMsgBox {
public:
    struct Seen {
        std::string text, caption;
        unsigned flags;
    };
    ScriptedMsgBox();
    ~ScriptedMsgBox();
    ScriptedMsgBox(const ScriptedMsgBox&) = delete;
    ScriptedMsgBox& operator=(const ScriptedMsgBox&) = delete;

    ScriptedMsgBox& Expect(const std::string& caption, const std::string& text, unsigned flags, int answer);
    ScriptedMsgBox& ExpectContaining(const std::string& caption, const std::string& textPart, unsigned flags,
                                     int answer);
    const std::vector<Seen>& seen() const { return seen_; }

private:
    struct Expectation {
        std::string caption, text;
        bool exact;
        unsigned flags;
        int answer;
    };
    std::vector<Expectation> expected_;
    std::vector<Seen> seen_;
    size_t next_ = 0;
};

// A directory link planted the way a user of the machine would (a symbolic
// link), removed again when the object dies. ok() tells whether it exists
// and shows as a reparse point.
class PlantedLink {
public:
    PlantedLink(const std::string& link, const std::string& target);
    ~PlantedLink();
    PlantedLink(const PlantedLink&) = delete;
    PlantedLink& operator=(const PlantedLink&) = delete;
    bool ok() const;

private:
    std::string link_;
};

// Under Wine: the Unix path of a Windows path, and a command run by the
// system's /bin/sh (to let an independent Unix tool look at what the program
// made). Both fail (empty / false) outside Wine.
std::string UnixPathOf(const std::string& windowsPath);
bool RunShellCommand(const std::string& command);

// The answer an unattended run (/S) must give to a question, as the README
// lists them: yes only to creating the install folder and to the package's
// own association, no to every other yes/no question, OK to the next disk
// and cancel when the same disk is asked for again right after (again), OK to
// a plain message. The test views hold every question's own unattended
// answer to it.
int ExpectedUnattendedAnswer(const std::string& caption, unsigned flags, bool again);

// Installs the strict responder (any message box fails the test). Called by
// the shared test main and by ScriptedMsgBox's destructor.
void InstallStrictMsgBox();

// Runs a command through /bin/sh on Wine's Unix side and returns what it
// printed (standard output and error together); "(timed out)" when it had
// not finished within the time. Empty outside Wine.
std::string UnixCommandOutput(const std::string& command, unsigned long timeoutMs = 60000);

// The folder of the running test program (ends with "\"), where the helper
// programs and libraries lie.
std::string TestBinFolder();

// Runs a helper program that holds a file open until this object dies:
// sysops_locker.exe (no sharing at all) unless another is named, such as
// record_holder.exe (read and write sharing, no delete sharing). ok() is
// false when the file could not be held in time.
class FileLocker {
public:
    explicit FileLocker(const std::string& path, const char* helper = "sysops_locker.exe") {
        const std::string id = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount64());
        const std::string readyName = "RvSysopsReady" + id, quitName = "RvSysopsQuit" + id;
        ready_.reset(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
        quit_.reset(CreateEventA(nullptr, TRUE, FALSE, quitName.c_str()));
        std::string command =
            "\"" + TestBinFolder() + helper + "\" \"" + path + "\" " + readyName + " " + quitName;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
            return;
        CloseHandle(info.hThread);
        process_.reset(info.hProcess);
        HANDLE both[2] = {ready_.get(), process_.get()};
        ok_ = WaitForMultipleObjects(2, both, FALSE, 30000) == WAIT_OBJECT_0;
    }
    ~FileLocker() { Release(); }
    FileLocker(const FileLocker&) = delete;
    FileLocker& operator=(const FileLocker&) = delete;
    bool ok() const { return ok_; }
    // Lets the file go; true when the helper ended in time.
    bool Release() {
        if (!process_) return true;
        SetEvent(quit_.get());
        const bool ended = WaitForSingleObject(process_.get(), 30000) == WAIT_OBJECT_0;
        if (!ended) TerminateProcess(process_.get(), 1);
        process_.reset();
        return ended;
    }

private:
    KernelObject ready_, quit_, process_;
    bool ok_ = false;
};

// Performs the pending renames and deletions the way a restart of Windows
// does (wineboot -r); true when it finished in time.
bool RestartPrefix();

// Saves the whole state record and puts it back when the test ends, so a
// test may set Mode, OSKind and the folders freely.
class StateGuard {
public:
    StateGuard() : saved_(State()) {}
    ~StateGuard() { State() = saved_; }
    StateGuard(const StateGuard&) = delete;
    StateGuard& operator=(const StateGuard&) = delete;

private:
    SetupState saved_;
};

// A thread of the test's own (the program's toolchain has no std::thread):
// runs the call at once; join() waits for it, detach() leaves it to the
// process's end. One not joined or detached is joined by the destructor.
class TestThread {
public:
    explicit TestThread(std::function<void()> call);
    ~TestThread();
    TestThread(const TestThread&) = delete;
    TestThread& operator=(const TestThread&) = delete;
    void join();
    void detach();

private:
    std::unique_ptr<std::function<void()>> call_;
    HANDLE handle_ = nullptr;
};
