// Folders and texts the system gives: the system folders, the program's own
// path, its command line, error messages, case mapping and version texts.
#include "platform/Win932.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <vector>

#include "platform/SystemLibraries.h"
#include "platform/Win932Detail.h"

using win932::WideSystem;
using win932::Wide;
using win932::detail::FromSystem;
using win932::detail::Grown;

std::string GetTempPath932() {
    if (!WideSystem()) return Grown<char>([](char* out, DWORD size) { return GetTempPathA(size, out); });
    return FromSystem(Grown<wchar_t>([](wchar_t* out, DWORD size) { return GetTempPathW(size, out); }));
}

std::string GetWindowsDirectory932() {
    if (!WideSystem()) return Grown<char>([](char* out, DWORD size) { return GetWindowsDirectoryA(out, size); });
    return FromSystem(Grown<wchar_t>([](wchar_t* out, DWORD size) { return GetWindowsDirectoryW(out, size); }));
}

std::string GetSystemDirectory932() {
    if (!WideSystem()) return Grown<char>([](char* out, DWORD size) { return GetSystemDirectoryA(out, size); });
    return FromSystem(Grown<wchar_t>([](wchar_t* out, DWORD size) { return GetSystemDirectoryW(out, size); }));
}

std::string GetModuleFileName932(HMODULE module) {
    // A name that filled the buffer may have been cut: asked again, larger.
    if (!WideSystem())
        return Grown<char>([&](char* out, DWORD size) {
            const DWORD n = GetModuleFileNameA(module, out, size);
            return n >= size ? size : n;
        });
    return FromSystem(Grown<wchar_t>([&](wchar_t* out, DWORD size) {
        const DWORD n = GetModuleFileNameW(module, out, size);
        return n >= size ? size : n;
    }));
}

std::string SHGetPathFromIDList932(PCIDLIST_ABSOLUTE items) {
    if (!WideSystem()) {
        char path[MAX_PATH + 1] = {};
        return syslib::SHGetPathFromIDListA(items, path) ? std::string(path) : std::string();
    }
    wchar_t path[MAX_PATH + 1] = {};
    if (!syslib::SHGetPathFromIDListW(items, path)) return {};
    return FromSystem(path);
}

std::string SHGetFolderPath932(int csidl) {
    if (!WideSystem()) {
        char path[MAX_PATH + 1] = {};
        return syslib::SHGetFolderPathA(nullptr, csidl, nullptr, 0, path) == S_OK ? std::string(path) : std::string();
    }
    wchar_t path[MAX_PATH + 1] = {};
    if (syslib::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path) != S_OK) return {};
    return FromSystem(path);
}

namespace {

// The command line cut into its arguments, each with the blanks before it,
// by the rules programs read it by: blanks outside quotes end an argument.
std::vector<std::wstring> CommandLinePieces(const std::wstring& line) {
    std::vector<std::wstring> pieces;
    size_t i = 0;
    while (i < line.size()) {
        const size_t start = i;
        while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != L' ' && line[i] != L'\t'))) {
            if (line[i] == L'"') quoted = !quoted;
            ++i;
        }
        pieces.push_back(line.substr(start, i - start));
    }
    return pieces;
}

}  // namespace

bool GetCommandLine932(std::string& text) {
    if (!WideSystem()) {
        text = GetCommandLineA();
        return true;
    }
    const std::wstring line = GetCommandLineW();
    if (win932::Narrow(line, text)) return true;
    // An argument CP932 cannot hold can only be a path: its short name.
    std::string result;
    bool ok = true;
    for (const std::wstring& piece : CommandLinePieces(line)) {
        std::string narrow;
        if (win932::Narrow(piece, narrow)) {
            result += narrow;
            continue;
        }
        const size_t first = piece.find_first_not_of(L" \t");
        std::wstring argument = piece.substr(first);
        const bool quoted = argument.size() >= 2 && argument.front() == L'"' && argument.back() == L'"';
        if (quoted) argument = argument.substr(1, argument.size() - 2);
        std::string shortPath;
        const std::wstring shortWide = win932::detail::ShortPath(argument);
        if (shortWide.empty() || !win932::Narrow(shortWide, shortPath)) {
            ok = false;
            result += win932::NarrowForDisplay(piece);
            continue;
        }
        result += win932::NarrowForDisplay(piece.substr(0, first)) + (quoted ? "\"" + shortPath + "\"" : shortPath);
    }
    text = result;
    if (!ok) SetLastError(win932::kNoCp932Form);
    return ok;
}

std::string FormatMessage932(DWORD code) {
    constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    std::string message;
    if (!WideSystem()) {
        char* text = nullptr;
        const DWORD n = FormatMessageA(kFlags, nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
        if (n && text) message.assign(text, n);
        if (text) LocalFree(text);
        return message;
    }
    wchar_t* text = nullptr;
    const DWORD n = FormatMessageW(kFlags, nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (n && text) message = win932::NarrowForDisplay(std::wstring_view(text, n));
    if (text) LocalFree(text);
    return message;
}

std::string LCMapString932(const std::string& text, DWORD flags) {
    if (text.empty()) return text;
    const int size = static_cast<int>(text.size());
    if (!WideSystem()) {
        const int n = LCMapStringA(LOCALE_SYSTEM_DEFAULT, flags, text.data(), size, nullptr, 0);
        if (n <= 0) return text;
        std::vector<char> buffer(static_cast<size_t>(n) + 1, '\0');
        if (LCMapStringA(LOCALE_SYSTEM_DEFAULT, flags, text.data(), size, buffer.data(), n) == 0) return text;
        return std::string(buffer.data());
    }
    const std::wstring wide = Wide(text);
    const int wideSize = static_cast<int>(wide.size());
    const int n = LCMapStringW(win932::kJapanese, flags, wide.data(), wideSize, nullptr, 0);
    if (n <= 0) return text;
    std::wstring mapped(static_cast<size_t>(n), L'\0');
    if (LCMapStringW(win932::kJapanese, flags, wide.data(), wideSize, mapped.data(), n) == 0) return text;
    // Stops at a null as the ANSI call's result was read.
    mapped.resize(std::wcslen(mapped.c_str()));
    std::string out;
    return win932::Narrow(mapped, out) ? out : text;
}

BOOL GetVersionEx932(OSVERSIONINFOA* info) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!WideSystem()) return GetVersionExA(info);
    OSVERSIONINFOW wide{};
    wide.dwOSVersionInfoSize = sizeof wide;
    if (!GetVersionExW(&wide)) return FALSE;
#pragma GCC diagnostic pop
    info->dwMajorVersion = wide.dwMajorVersion;
    info->dwMinorVersion = wide.dwMinorVersion;
    info->dwBuildNumber = wide.dwBuildNumber;
    info->dwPlatformId = wide.dwPlatformId;
    const std::string servicePack = win932::NarrowForDisplay(wide.szCSDVersion);
    std::fill(std::begin(info->szCSDVersion), std::end(info->szCSDVersion), '\0');
    servicePack.copy(info->szCSDVersion, std::min(servicePack.size(), sizeof info->szCSDVersion - 1));
    return TRUE;
}

bool GetFileVersionInfo932(const std::string& file, std::vector<BYTE>& block) {
    block.clear();
    DWORD ignored = 0;
    const std::wstring wide = Wide(file);
    const DWORD size = WideSystem() ? syslib::GetFileVersionInfoSizeW(wide.c_str(), &ignored)
                                    : syslib::GetFileVersionInfoSizeA(file.c_str(), &ignored);
    if (size == 0) return false;
    block.assign(size, 0);
    const BOOL got = WideSystem() ? syslib::GetFileVersionInfoW(wide.c_str(), 0, size, block.data())
                                  : syslib::GetFileVersionInfoA(file.c_str(), 0, size, block.data());
    if (!got) block.clear();
    return got != FALSE;
}

bool VerQueryString932(const std::vector<BYTE>& block, const std::string& subBlock, std::string& value) {
    value.clear();
    if (block.empty()) return false;
    void* found = nullptr;
    UINT length = 0;
    if (!WideSystem()) {
        if (!syslib::VerQueryValueA(block.data(), subBlock.c_str(), &found, &length) || !found) return false;
        value.assign(static_cast<const char*>(found), strnlen(static_cast<const char*>(found), length));
        return true;
    }
    if (!syslib::VerQueryValueW(block.data(), Wide(subBlock).c_str(), &found, &length) || !found) return false;
    const auto* text = static_cast<const wchar_t*>(found);
    return win932::Narrow(std::wstring_view(text, wcsnlen(text, length)), value);
}
