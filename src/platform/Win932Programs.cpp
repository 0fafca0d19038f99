// Programs, libraries and the shell: processes, mutexes,
// ShellExecute and SHFileOperation.
#include "platform/Win932.h"

#include <shellapi.h>

#include <cstring>

#include "platform/StrictWindows.h"
#include "platform/SystemLibraries.h"

using win932::WideSystem;
using win932::Wide;

HMODULE GetModuleHandle932(const std::string& name) {
    return WideSystem() ? GetModuleHandleW(Wide(name).c_str()) : GetModuleHandleA(name.c_str());
}

HMODULE LoadLibraryEx932(const std::string& name, DWORD flags) {
    if (!strict::Allows("LoadLibraryEx", flags)) return nullptr;
    return WideSystem() ? LoadLibraryExW(Wide(name).c_str(), nullptr, flags)
                        : LoadLibraryExA(name.c_str(), nullptr, flags);
}

namespace {

// The search flags of KB2533623 (Windows 8, and 7 and Vista with that
// update): no header of this build names them, and they cannot be asked
// for; the presence of AddDllDirectory tells that the system knows them.
constexpr DWORD kSearchDllLoadDir = 0x00000100;
constexpr DWORD kSearchSystem32 = 0x00000800;

bool SearchFlagsKnown() {
    static const FARPROC add = syslib::LoadedLibraryEntry("KERNEL32.DLL", "AddDllDirectory");
    return add && !syslib::NewerEntriesHidden();
}

}  // namespace

HMODULE LoadLibraryFromItsFolder932(const std::string& path) {
    return LoadLibraryEx932(path, SearchFlagsKnown() ? kSearchDllLoadDir | kSearchSystem32 : LOAD_WITH_ALTERED_SEARCH_PATH);
}

void RestrictLibrarySearch() {
    using SetDefaultFunction = BOOL(WINAPI*)(DWORD);
    static const auto set = syslib::LoadedEntry<SetDefaultFunction>("KERNEL32.DLL", "SetDefaultDllDirectories");
    if (set && !syslib::NewerEntriesHidden()) set(kSearchSystem32);
}

HANDLE CreateMutex932(SECURITY_ATTRIBUTES* security, BOOL initialOwner, const std::string& name) {
    return WideSystem() ? CreateMutexW(security, initialOwner, Wide(name).c_str())
                        : CreateMutexA(security, initialOwner, name.c_str());
}

HANDLE OpenMutex932(DWORD access, BOOL inherit, const std::string& name) {
    return WideSystem() ? OpenMutexW(access, inherit, Wide(name).c_str()) : OpenMutexA(access, inherit, name.c_str());
}

void GetStartupInfo932(STARTUPINFOA* info) {
    if (!WideSystem()) {
        GetStartupInfoA(info);
    } else {
        STARTUPINFOW wide{};
        wide.cb = sizeof wide;
        GetStartupInfoW(&wide);
        *info = STARTUPINFOA{};
        info->dwX = wide.dwX;
        info->dwY = wide.dwY;
        info->dwXSize = wide.dwXSize;
        info->dwYSize = wide.dwYSize;
        info->dwXCountChars = wide.dwXCountChars;
        info->dwYCountChars = wide.dwYCountChars;
        info->dwFillAttribute = wide.dwFillAttribute;
        info->dwFlags = wide.dwFlags;
        info->wShowWindow = wide.wShowWindow;
        info->hStdInput = wide.hStdInput;
        info->hStdOutput = wide.hStdOutput;
        info->hStdError = wide.hStdError;
    }
    info->cb = sizeof *info;
}

BOOL CreateProcess932(const std::string& application, const std::string& commandLine, SECURITY_ATTRIBUTES* process,
                      SECURITY_ATTRIBUTES* thread, BOOL inherit, DWORD flags, const std::string& folder,
                      STARTUPINFOA* startup, PROCESS_INFORMATION* info) {
    if (!WideSystem()) {
        std::string line = commandLine;  // the function may write into it
        return CreateProcessA(application.c_str(), line.empty() ? nullptr : line.data(), process, thread, inherit,
                              flags, nullptr, folder.empty() ? nullptr : folder.c_str(), startup, info);
    }
    std::wstring line = Wide(commandLine);
    const std::wstring wideFolder = Wide(folder);
    const std::wstring desktop = startup->lpDesktop ? Wide(startup->lpDesktop) : std::wstring();
    const std::wstring title = startup->lpTitle ? Wide(startup->lpTitle) : std::wstring();
    STARTUPINFOW wide{};
    static_assert(sizeof wide == sizeof *startup, "the two start-up records differ only in their text types");
    std::memcpy(&wide, startup, sizeof wide);
    wide.cb = sizeof wide;
    wide.lpReserved = nullptr;
    wide.lpDesktop = startup->lpDesktop ? const_cast<wchar_t*>(desktop.c_str()) : nullptr;
    wide.lpTitle = startup->lpTitle ? const_cast<wchar_t*>(title.c_str()) : nullptr;
    return CreateProcessW(Wide(application).c_str(), line.empty() ? nullptr : line.data(), process, thread, inherit,
                          flags, nullptr, folder.empty() ? nullptr : wideFolder.c_str(), &wide, info);
}

HINSTANCE ShellExecute932(HWND window, const std::string& verb, const std::string& file,
                          const std::string& parameters, const std::string& folder, INT show) {
    if (!WideSystem())
        return syslib::ShellExecuteA(window, verb.empty() ? nullptr : verb.c_str(), file.c_str(),
                                     parameters.empty() ? nullptr : parameters.c_str(),
                                     folder.empty() ? nullptr : folder.c_str(), show);
    const std::wstring wideVerb = Wide(verb), wideParameters = Wide(parameters), wideFolder = Wide(folder);
    return syslib::ShellExecuteW(window, verb.empty() ? nullptr : wideVerb.c_str(), Wide(file).c_str(),
                                 parameters.empty() ? nullptr : wideParameters.c_str(),
                                 folder.empty() ? nullptr : wideFolder.c_str(), show);
}

BOOL ShellExecuteEx932(SHELLEXECUTEINFOA* info) {
    if (!WideSystem()) return syslib::ShellExecuteExA(info);
    auto widened = [](const char* text) { return text ? Wide(text) : std::wstring(); };
    auto pointer = [](const char* original, const std::wstring& wide) { return original ? wide.c_str() : nullptr; };
    const std::wstring verb = widened(info->lpVerb), file = widened(info->lpFile),
                       parameters = widened(info->lpParameters), folder = widened(info->lpDirectory);
    SHELLEXECUTEINFOW wide{};
    wide.cbSize = sizeof wide;
    wide.fMask = info->fMask;
    wide.hwnd = info->hwnd;
    wide.lpVerb = pointer(info->lpVerb, verb);
    wide.lpFile = pointer(info->lpFile, file);
    wide.lpParameters = pointer(info->lpParameters, parameters);
    wide.lpDirectory = pointer(info->lpDirectory, folder);
    wide.nShow = info->nShow;
    const BOOL ok = syslib::ShellExecuteExW(&wide);
    const DWORD error = GetLastError();
    info->hInstApp = wide.hInstApp;
    info->hProcess = wide.hProcess;
    SetLastError(error);
    return ok;
}

int SHFileOperation932(SHFILEOPSTRUCTA* operation) {
    if (!WideSystem()) return syslib::SHFileOperationA(operation);
    // Each list runs to its double null; the nulls go across with it.
    auto list = [](const char* names) {
        if (!names) return std::wstring();
        const char* end = names;
        while (end[0] || end[1]) ++end;
        return Wide(std::string_view(names, static_cast<size_t>(end - names) + 2));
    };
    const std::wstring from = list(operation->pFrom), to = list(operation->pTo);
    const std::wstring title = operation->lpszProgressTitle ? Wide(operation->lpszProgressTitle) : std::wstring();
    SHFILEOPSTRUCTW wide{};
    wide.hwnd = operation->hwnd;
    wide.wFunc = operation->wFunc;
    wide.pFrom = operation->pFrom ? from.c_str() : nullptr;
    wide.pTo = operation->pTo ? to.c_str() : nullptr;
    wide.fFlags = operation->fFlags;
    wide.lpszProgressTitle = operation->lpszProgressTitle ? title.c_str() : nullptr;
    const int result = syslib::SHFileOperationW(&wide);
    const DWORD error = GetLastError();
    operation->fAnyOperationsAborted = wide.fAnyOperationsAborted;
    SetLastError(error);
    return result;
}
