#pragma once
// Small helpers shared by the system-operation tests.
#include <windows.h>

#include <string>

#include "app/SetupState.h"
#include "app/uStrOp.h"
#include "TestSupport.h"

// The folder of the running test program, where the helper programs and
// libraries lie; ends with "\".
inline std::string BinFolder() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    return ExtractFilePath(path);
}


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
