#include "platform/Win932.h"

namespace win932 {

bool IsValidText(std::string_view text) {
    if (text.empty()) return true;
    const int size = static_cast<int>(text.size());
    return MultiByteToWideChar(kCodePage, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0) > 0;
}

}  // namespace win932

namespace {

HANDLE Standard(DWORD standardHandle) {
    const HANDLE handle = GetStdHandle(standardHandle);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

}  // namespace

bool IsConsole932(DWORD standardHandle) {
    const HANDLE handle = Standard(standardHandle);
    DWORD mode = 0;
    return handle && GetConsoleMode(handle, &mode);
}

bool WriteStandard932(DWORD standardHandle, const std::string& text) {
    const HANDLE handle = Standard(standardHandle);
    if (!handle) return false;
    if (text.empty()) return true;
    DWORD written = 0;
    if (IsConsole932(standardHandle)) {
        if (win932::WideSystem()) {
            const std::wstring wide = win932::Wide(text);
            return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) && written > 0;
        }
        return WriteConsoleA(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written > 0;
    }
    return WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
}
