#include "platform/Win932.h"


#include "platform/Handles.h"
#include "platform/StrictWindows.h"

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

namespace {

// The texts of the one message shown where code page 932 is missing, in
// UTF-16 written here directly: nothing can be converted. English first, as
// such a system shows Japanese as boxes.
constexpr wchar_t kNoCp932English[] =
    L"This setup needs the Japanese code page (932), which this Windows does not have. "
    L"Install the support for East Asian languages (Control Panel, Regional and Language Options, "
    L"Languages) and start the setup again.";
constexpr wchar_t kNoCp932Japanese[] =
    L"このWindowsには日本語のコードページ(932)がありません。"
    L"東アジア言語のサポートをインストールしてから、もう一度セットアップを起動してください。";
// The same Japanese for the log, whose lines are CP932 bytes: the compiler
// made these, not the system.
constexpr char kNoCp932JapaneseBytes[] =
    "このWindowsには日本語のコードページ(932)がありません。"
    "東アジア言語のサポートをインストールしてから、もう一度セットアップを起動してください。";

// The switches of the command line that decide where the message goes:
// unattended (/S, /PREVIEW) and the /LOG= file. Switch names are ASCII.
struct UnattendedSwitches {
    bool unattended = false;
    std::wstring logFile;
};

UnattendedSwitches ReadSwitches(const std::wstring& line) {
    UnattendedSwitches found;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
        std::wstring argument;
        bool quoted = false;
        for (; i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t')); ++i) {
            if (line[i] == L'"')
                quoted = !quoted;
            else
                argument += line[i];
        }
        std::wstring upper = argument;
        for (wchar_t& c : upper)
            if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        if (upper == L"/S" || upper == L"/PREVIEW") found.unattended = true;
        if (upper.rfind(L"/LOG=", 0) == 0) found.logFile = argument.substr(5);
    }
    // Never a log over the script or a record (the one check the program
    // can make here): either is named by its file name.
    std::wstring name = found.logFile.substr(found.logFile.find_last_of(L"\\/:") + 1);
    for (wchar_t& c : name)
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (name == L"SETUP.INI" || name == L"UNSETUP.INI") found.logFile.clear();
    return found;
}

void WriteBytes(HANDLE handle, const std::string& bytes) {
    DWORD written = 0;
    if (handle) WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

}  // namespace

namespace win932 {

bool CodePage932Missing() {
    return WideSystem() && (!IsValidCodePage(kCodePage) || strict::Personality("no932"));
}

void TellCodePage932Missing(const std::wstring& commandLine, int exitCode) {
    const UnattendedSwitches switches = ReadSwitches(commandLine);
    std::string english;
    for (const wchar_t* c = kNoCp932English; *c; ++c) english += static_cast<char>(*c);
    const std::string bytes = english + " / " + kNoCp932JapaneseBytes;
    if (!switches.logFile.empty()) {
        const FileHandle log(CreateFileW(switches.logFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (log) {
            SYSTEMTIME now;
            GetLocalTime(&now);
            // By hand: a printf would bring the C runtime's whole formatter in.
            const auto padded = [](unsigned value, size_t width) {
                std::string text = std::to_string(value);
                return std::string(text.size() < width ? width - text.size() : 0, '0') + text;
            };
            const std::string stamp = padded(now.wHour, 2) + ":" + padded(now.wMinute, 2) + ":" + padded(now.wSecond, 2) +
                                      "." + padded(now.wMilliseconds, 3) + " ";
            WriteBytes(log.get(), stamp + "[エラー] " + bytes + "\r\n" + stamp + "[終了コード] " +
                                      std::to_string(exitCode) + "\r\n");
        }
    }
    if (!switches.unattended) {
        const std::wstring text = std::wstring(kNoCp932English) + L"\r\n\r\n" + kNoCp932Japanese;
        MessageBoxW(nullptr, text.c_str(), L"Ravelin Setup", MB_OK | MB_ICONSTOP);
        return;
    }
    const HANDLE error = Standard(STD_ERROR_HANDLE);
    DWORD mode = 0, written = 0;
    if (error && GetConsoleMode(error, &mode)) {
        const std::wstring text = std::wstring(kNoCp932English) + L"\r\n" + kNoCp932Japanese + L"\r\n";
        WriteConsoleW(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    } else {
        WriteBytes(error, bytes + "\r\n");
    }
}

}  // namespace win932
