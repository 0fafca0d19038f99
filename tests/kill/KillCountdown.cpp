#include "KillCountdown.h"

#include "app/DryChanges.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <stdexcept>
#include <string>

namespace {

long limit = -1;  // no kill
long count = 0;
bool throwing = false;  // an exception of the program's own kind instead of the kill
bool reporting = false;
std::string reportFile;
// Handles a counted call opened for writing: their writes count too (the
// log's own handle, opened earlier, never is one of them).
std::set<HANDLE> writable;

std::string traceFile;
std::string trace;  // "n name detail" per counted operation, with RV_KILL_TRACE

void WriteOut(const std::string& path, const std::string& text) {
    if (path.empty()) return;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Detail(LPCSTR text) { return text ? text : ""; }
std::string Detail(LPCWSTR text) {
    if (!text) return {};
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string narrow(size - 1, '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

void Step(const char* name, const std::string& detail) {
    if (reporting) return;
    ++count;
    if (limit >= 0 && count > limit && throwing) {
        // Once: what the program does while the error passes (clean-up on
        // its way out) goes on uncounted.
        limit = -1;
        throw std::runtime_error("RV_KILL_THROW: " + std::string(name) + " " + detail);
    }
    if (limit >= 0 && count > limit) {
        // The trace is the test's, not the program's: written, the process
        // ends as if the power had gone.
        reporting = true;
        WriteOut(traceFile, trace);
        TerminateProcess(GetCurrentProcess(), kKilledExitCode);
    }
    if (!traceFile.empty()) trace += std::to_string(count) + " " + name + " " + detail + "\n";
}

bool Writes(DWORD access, DWORD disposition) {
    return (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE)) != 0 ||
           disposition != OPEN_EXISTING;
}

// One counted stand-in per import: the real entry is kept, Step() runs
// first, then the call goes on unchanged.
#define RV_COUNTED(ret, name, params, args, detail) \
    using name##Type = ret(WINAPI*) params;         \
    name##Type real##name = nullptr;                \
    ret WINAPI Counted##name params {               \
        Step(#name, Detail(detail));                \
        return real##name args;                     \
    }

RV_COUNTED(BOOL, CopyFileA, (LPCSTR a, LPCSTR b, BOOL c), (a, b, c), a)
RV_COUNTED(BOOL, CopyFileW, (LPCWSTR a, LPCWSTR b, BOOL c), (a, b, c), a)
RV_COUNTED(BOOL, MoveFileA, (LPCSTR a, LPCSTR b), (a, b), a)
RV_COUNTED(BOOL, MoveFileW, (LPCWSTR a, LPCWSTR b), (a, b), a)
RV_COUNTED(BOOL, MoveFileExA, (LPCSTR a, LPCSTR b, DWORD c), (a, b, c), a)
RV_COUNTED(BOOL, MoveFileExW, (LPCWSTR a, LPCWSTR b, DWORD c), (a, b, c), a)
RV_COUNTED(BOOL, DeleteFileA, (LPCSTR a), (a), a)
RV_COUNTED(BOOL, DeleteFileW, (LPCWSTR a), (a), a)
RV_COUNTED(BOOL, CreateDirectoryA, (LPCSTR a, LPSECURITY_ATTRIBUTES b), (a, b), a)
RV_COUNTED(BOOL, CreateDirectoryW, (LPCWSTR a, LPSECURITY_ATTRIBUTES b), (a, b), a)
RV_COUNTED(BOOL, RemoveDirectoryA, (LPCSTR a), (a), a)
RV_COUNTED(BOOL, RemoveDirectoryW, (LPCWSTR a), (a), a)
RV_COUNTED(BOOL, SetFileAttributesA, (LPCSTR a, DWORD b), (a, b), a)
RV_COUNTED(BOOL, SetFileAttributesW, (LPCWSTR a, DWORD b), (a, b), a)
RV_COUNTED(BOOL, WritePrivateProfileStringA, (LPCSTR a, LPCSTR b, LPCSTR c, LPCSTR d), (a, b, c, d), a)
RV_COUNTED(BOOL, WritePrivateProfileStringW, (LPCWSTR a, LPCWSTR b, LPCWSTR c, LPCWSTR d), (a, b, c, d), a)
RV_COUNTED(LONG, RegCreateKeyExA,
           (HKEY a, LPCSTR b, DWORD c, LPSTR d, DWORD e, REGSAM f, LPSECURITY_ATTRIBUTES g, PHKEY h, LPDWORD i),
           (a, b, c, d, e, f, g, h, i), b)
RV_COUNTED(LONG, RegCreateKeyExW,
           (HKEY a, LPCWSTR b, DWORD c, LPWSTR d, DWORD e, REGSAM f, LPSECURITY_ATTRIBUTES g, PHKEY h, LPDWORD i),
           (a, b, c, d, e, f, g, h, i), b)
RV_COUNTED(LONG, RegSetValueExA, (HKEY a, LPCSTR b, DWORD c, DWORD d, const BYTE* e, DWORD f), (a, b, c, d, e, f), b)
RV_COUNTED(LONG, RegSetValueExW, (HKEY a, LPCWSTR b, DWORD c, DWORD d, const BYTE* e, DWORD f), (a, b, c, d, e, f), b)
RV_COUNTED(LONG, RegDeleteKeyA, (HKEY a, LPCSTR b), (a, b), b)
RV_COUNTED(LONG, RegDeleteKeyW, (HKEY a, LPCWSTR b), (a, b), b)
RV_COUNTED(LONG, RegDeleteValueA, (HKEY a, LPCSTR b), (a, b), b)
RV_COUNTED(LONG, RegDeleteValueW, (HKEY a, LPCWSTR b), (a, b), b)
RV_COUNTED(LONG, RegDeleteTreeA, (HKEY a, LPCSTR b), (a, b), b)
RV_COUNTED(LONG, RegDeleteTreeW, (HKEY a, LPCWSTR b), (a, b), b)
// Looked up at run time by the program (SystemLibraries), not imported.
RV_COUNTED(int, SHFileOperationA, (LPSHFILEOPSTRUCTA a), (a), a->pFrom)
RV_COUNTED(int, SHFileOperationW, (LPSHFILEOPSTRUCTW a), (a), a->pFrom)
RV_COUNTED(LONG, LZCopy, (INT a, INT b), (a, b), static_cast<LPCSTR>(nullptr))

#undef RV_COUNTED

using CreateFileAType = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
using CreateFileWType = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
using WriteFileType = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
using GetProcAddressType = FARPROC(WINAPI*)(HMODULE, LPCSTR);
CreateFileAType realCreateFileA = nullptr;
CreateFileWType realCreateFileW = nullptr;
WriteFileType realWriteFile = nullptr;
GetProcAddressType realGetProcAddress = nullptr;

template <typename Char, typename Real>
HANDLE OpenCounted(Real real, const Char* name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags, HANDLE templateFile) {
    const bool writes = Writes(access, disposition);
    if (writes) Step(sizeof(Char) == 1 ? "CreateFileA" : "CreateFileW", Detail(name));
    HANDLE file = real(name, access, share, security, disposition, flags, templateFile);
    if (writes && file != INVALID_HANDLE_VALUE) writable.insert(file);
    return file;
}

HANDLE WINAPI CountedCreateFileA(LPCSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g) {
    return OpenCounted(realCreateFileA, a, b, c, d, e, f, g);
}
HANDLE WINAPI CountedCreateFileW(LPCWSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g) {
    return OpenCounted(realCreateFileW, a, b, c, d, e, f, g);
}
BOOL WINAPI CountedWriteFile(HANDLE a, LPCVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e) {
    if (writable.count(a)) Step("WriteFile", "");
    return realWriteFile(a, b, c, d, e);
}

// Through a plain function pointer, as the program's own lookups do: the
// types of the two ends differ on purpose.
template <typename To, typename From>
To FunctionCast(From from) {
    return reinterpret_cast<To>(reinterpret_cast<void (*)()>(from));
}

FARPROC WINAPI CountedGetProcAddress(HMODULE module, LPCSTR name) {
    FARPROC entry = realGetProcAddress(module, name);
    // An ordinal is no name to compare.
    if (!entry || reinterpret_cast<ULONG_PTR>(name) <= 0xFFFF) return entry;
    if (std::strcmp(name, "SHFileOperationA") == 0) {
        realSHFileOperationA = FunctionCast<SHFileOperationAType>(entry);
        return FunctionCast<FARPROC>(CountedSHFileOperationA);
    }
    if (std::strcmp(name, "SHFileOperationW") == 0) {
        realSHFileOperationW = FunctionCast<SHFileOperationWType>(entry);
        return FunctionCast<FARPROC>(CountedSHFileOperationW);
    }
    if (std::strcmp(name, "LZCopy") == 0) {
        realLZCopy = FunctionCast<LZCopyType>(entry);
        return FunctionCast<FARPROC>(CountedLZCopy);
    }
    return entry;
}

struct Import {
    const char* name;
    void* counted;
    void** real;
};

#define RV_IMPORT(name) {#name, reinterpret_cast<void*>(Counted##name), reinterpret_cast<void**>(&real##name)}
const Import kImports[] = {
    RV_IMPORT(CreateFileA),        RV_IMPORT(CreateFileW),        RV_IMPORT(WriteFile),
    RV_IMPORT(CopyFileA),          RV_IMPORT(CopyFileW),          RV_IMPORT(MoveFileA),
    RV_IMPORT(MoveFileW),          RV_IMPORT(MoveFileExA),        RV_IMPORT(MoveFileExW),
    RV_IMPORT(DeleteFileA),        RV_IMPORT(DeleteFileW),        RV_IMPORT(CreateDirectoryA),
    RV_IMPORT(CreateDirectoryW),   RV_IMPORT(RemoveDirectoryA),   RV_IMPORT(RemoveDirectoryW),
    RV_IMPORT(SetFileAttributesA), RV_IMPORT(SetFileAttributesW), RV_IMPORT(WritePrivateProfileStringA),
    RV_IMPORT(WritePrivateProfileStringW), RV_IMPORT(RegCreateKeyExA), RV_IMPORT(RegCreateKeyExW),
    RV_IMPORT(RegSetValueExA),     RV_IMPORT(RegSetValueExW),     RV_IMPORT(RegDeleteKeyA),
    RV_IMPORT(RegDeleteKeyW),      RV_IMPORT(RegDeleteValueA),    RV_IMPORT(RegDeleteValueW),
    RV_IMPORT(RegDeleteTreeA),     RV_IMPORT(RegDeleteTreeW),     RV_IMPORT(GetProcAddress),
};
#undef RV_IMPORT

// Points the program's own import slots of the listed functions at their
// counted stand-ins.
void PatchImports() {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!directory.VirtualAddress) return;
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         library->Name; ++library) {
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (library->OriginalFirstThunk ? library->OriginalFirstThunk : library->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const char* name = reinterpret_cast<const char*>(
                reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name);
            for (const Import& import : kImports) {
                if (std::strcmp(name, import.name) != 0) continue;
                DWORD old = 0;
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
                *import.real = reinterpret_cast<void*>(slots->u1.Function);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(import.counted);
                VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            }
        }
    }
}

void Report() {
    reporting = true;
    WriteOut(reportFile, std::to_string(count));
    WriteOut(traceFile, trace);
}

}  // namespace

void StartKillCountdown() {
    const char* after = std::getenv("RV_KILL_AFTER");
    if (after && *after) limit = std::strtol(after, nullptr, 10);
    const char* report = std::getenv("RV_KILL_REPORT");
    if (report && *report) reportFile = report;
    const char* traced = std::getenv("RV_KILL_TRACE");
    if (traced && *traced) traceFile = traced;
    const char* thrown = std::getenv("RV_KILL_THROW");
    throwing = thrown && *thrown;
    PatchImports();
    // A preview's changes, each as the call it stands for, in their place
    // among the program's own.
    SetDryTraceHook([](const char* call, const std::string& detail) { Step(call, detail); });
    std::atexit(Report);
}
