#include "sysops/FileInfo.h"

#include <windows.h>

#include "platform/Handles.h"
#include "app/SystemChanges.h"

namespace {

bool LastWriteTime(const std::string& path, ULARGE_INTEGER& time) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!Changes().AttributesEx(path, data)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    time.LowPart = data.ftLastWriteTime.dwLowDateTime;
    time.HighPart = data.ftLastWriteTime.dwHighDateTime;
    // Some media report no time at all.
    return time.QuadPart != 0;
}

}  // namespace

bool FileSizeOf(const std::string& path, unsigned long long& size) {
    size = 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !Changes().AttributesEx(path, data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

int CompareFileTimes(const std::string& first, const std::string& second) {
    ULARGE_INTEGER a, b;
    if (!LastWriteTime(first, a) || !LastWriteTime(second, b)) return 2;
    if (a.QuadPart > b.QuadPart) return 1;
    return a.QuadPart == b.QuadPart ? 0 : -1;
}

unsigned long MakeFolder(const std::string& path) {
    if (Changes().CreateFolder(path)) return 0;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS) {
        // A file of that name is no folder of ours.
        const DWORD attributes = Changes().Attributes(path);
        return (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) ? 0 : error;
    }
    return error ? error : ERROR_GEN_FAILURE;
}
