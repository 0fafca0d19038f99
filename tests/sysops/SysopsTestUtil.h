#pragma once
// Small helpers shared by the system-operation tests.
#include <windows.h>

#include <string>

#include "app/SetupState.h"
#include "app/uStrOp.h"

// The folder of the running test program, where the helper programs and
// libraries lie; ends with "\".
inline std::string BinFolder() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return ExtractFilePath(path);
}

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

// Polls (with messages handled) until a file exists; false after timeoutMs.
inline bool WaitForFileAt(const std::string& path, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end) {
        if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(50);
    }
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Same folder, whatever the case and a trailing "\".
inline bool SameFolder(const std::string& a, const std::string& b) {
    return lstrcmpiA(RemovePathDelimiter(a, "B").c_str(), RemovePathDelimiter(b, "B").c_str()) == 0;
}

#include "app/Handles.h"

// Runs sysops_locker.exe, which holds a file open without any sharing until
// this object dies. ok() is false when the file could not be locked in time.
class FileLocker {
public:
    explicit FileLocker(const std::string& path) {
        const std::string id = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount64());
        const std::string readyName = "RvSysopsReady" + id, quitName = "RvSysopsQuit" + id;
        ready_.reset(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
        quit_.reset(CreateEventA(nullptr, TRUE, FALSE, quitName.c_str()));
        std::string command =
            "\"" + BinFolder() + "sysops_locker.exe\" \"" + path + "\" " + readyName + " " + quitName;
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
