#include "TestSupport.h"

#include "platform/Win932.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "app/uStrOp.h"
#include "app/uUtils.h"
#include "platform/Handles.h"

std::string ToUtf8(const std::string& cp932) {
    if (cp932.empty()) return {};
    int wn = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(wn), L'\0');
    MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), w.data(), wn);
    int un = WideCharToMultiByte(CP_UTF8, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
    std::string u(static_cast<size_t>(un), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wn, u.data(), un, nullptr, nullptr);
    return u;
}

namespace {

std::string TestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!info) return "outside-test";
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/' || c == '\\' || c == ':') c = '_';
    return name;
}

// By UTF-16 names (a test may make keys no ANSI name reaches), every name
// listed before any is deleted (a key that stays is never met again), links
// neither followed nor deleted by name (that would delete their targets).
void DeleteRegTreeW(HKEY parent, const std::wstring& name) {
    RegKey key;
    if (RegOpenKeyExW(parent, name.c_str(), REG_OPTION_OPEN_LINK, KEY_READ | DELETE, key.put()) != ERROR_SUCCESS)
        return;
    DWORD type = REG_NONE;
    if (RegQueryValueExW(key.get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
        type == REG_LINK) {
        using NtDeleteKeyFunction = LONG(NTAPI*)(HANDLE);
        if (auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFunction>(
                reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey"))))
            ntDeleteKey(key.get());
        return;
    }
    std::vector<std::wstring> children;
    wchar_t child[1024];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof child / sizeof child[0];
        if (RegEnumKeyExW(key.get(), index, child, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(child, length);
    }
    for (const std::wstring& c : children) DeleteRegTreeW(key.get(), c);
    key.reset();
    RegDeleteKeyW(parent, name.c_str());
}

void DeleteRegTree(HKEY root, const std::string& subkey) {
    std::wstring wide(subkey.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, subkey.data(), static_cast<int>(subkey.size()),
                                                        wide.data(), static_cast<int>(wide.size()))));
    DeleteRegTreeW(root, wide);
}

}  // namespace

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    FileHandle f(CreateFile932(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return false;
    DWORD written = 0;
    return WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

std::string ReadFileBytes(const std::string& path) {
    FileHandle f(CreateFile932(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!f) return {};
    std::string out;
    char buf[65536];
    DWORD got = 0;
    while (ReadFile(f.get(), buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
    return out;
}

void WriteTimeAgo(const std::string& path, unsigned seconds) {
    FileHandle file(CreateFile932(path, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file) << path;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{};
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= seconds * 10'000'000ull;
    const FILETIME past{t.LowPart, t.HighPart};
    ASSERT_TRUE(SetFileTime(file.get(), nullptr, nullptr, &past));
}

bool FileExistsAt(const std::string& path) {
    DWORD a = GetFileAttributes932(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExistsAt(const std::string& path) {
    DWORD a = GetFileAttributes932(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// Wide names, so the tests clean up the same way on any locale, even names
// that have no CP932 form.
void RemoveTreeW(const std::wstring& base) {
    DWORD attrs = GetFileAttributesW(base.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES) return;
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY) || (attrs & FILE_ATTRIBUTE_REPARSE_POINT)) {
        SetFileAttributesW(base.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attrs & FILE_ATTRIBUTE_DIRECTORY) RemoveDirectoryW(base.c_str());
        else DeleteFileW(base.c_str());
        return;
    }
    WIN32_FIND_DATAW fd;
    FindHandle find(FindFirstFileW((base + L"\\*").c_str(), &fd));
    if (find) {
        do {
            const std::wstring name = fd.cFileName;
            if (name != L"." && name != L"..") RemoveTreeW(base + L"\\" + name);
        } while (FindNextFileW(find.get(), &fd));
    }
    find.reset();
    SetFileAttributesW(base.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryW(base.c_str());
}

}  // namespace

void RemoveTree(const std::string& path) {
    // A name may end in a double-byte character whose trail byte is "\".
    RemoveTreeW(win932::Wide(RemovePathDelimiter(path, "B")));
}

ScratchFolder::ScratchFolder() {
    char temp[MAX_PATH + 1] = {};
    DWORD n = GetTempPathA(sizeof temp, temp);
    std::string root = (n > 0 && n < sizeof temp) ? std::string(temp, n) : std::string("C:\\");
    if (root.back() != '\\') root += '\\';
    root += "rvtest\\";
    CreateDirectoryA(root.c_str(), nullptr);
    // Several scratch folders in one test each get a folder of their own.
    static std::string lastTest;
    static int instance = 0;
    const std::string test = TestName();
    instance = (test == lastTest) ? instance + 1 : 1;
    lastTest = test;
    path_ = root + test;
    if (instance > 1) {
        path_ += '.';
        path_ += std::to_string(instance);
    }
    path_ += "\\";
    RemoveTree(path_);
    CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder() { RemoveTree(path_); }

void ScratchFolder::Write(const std::string& relative, const std::string& bytes) const {
    std::string full = path_ + relative;
    for (size_t i = path_.size(); i < full.size(); ++i) {
        if (full[i] == '\\') CreateDirectoryW(win932::Wide(full.substr(0, i)).c_str(), nullptr);
    }
    ASSERT_TRUE(WriteFileBytes(full, bytes)) << "cannot write " << ToUtf8(full);
}

std::string ScratchFolder::Read(const std::string& relative) const { return ReadFileBytes(path_ + relative); }

bool ScratchFolder::Exists(const std::string& relative) const {
    return GetFileAttributes932(path_ + relative) != INVALID_FILE_ATTRIBUTES;
}

TestRegKey::TestRegKey() : subkey_("Software\\RavelinTest\\" + TestName()) {
    DeleteRegTree(HKEY_CURRENT_USER, subkey_);
    RegKey key;
    RegCreateKeyExA(HKEY_CURRENT_USER, subkey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
}

TestRegKey::~TestRegKey() { DeleteRegTree(HKEY_CURRENT_USER, subkey_); }

int ExpectedUnattendedAnswer(const std::string& caption, unsigned flags, bool again) {
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: return again ? IDCANCEL : IDOK;
    case MB_YESNO: return caption == "フォルダ作成" || caption == "関連付けの確認" ? IDYES : IDNO;
    default: return IDOK;
    }
}

void InstallStrictMsgBox() {
    SetMsgBoxResponder([](const Question& question) {
        const std::string& text = question.text;
        const std::string& caption = question.caption;
        const unsigned flags = question.flags;
        ADD_FAILURE() << "unexpected message box: caption '" << ToUtf8(caption) << "', flags " << flags
                      << ", text '" << ToUtf8(text) << "'";
        return (flags & 0xF) == MB_YESNO ? IDNO : IDCANCEL;
    });
}

ScriptedMsgBox::ScriptedMsgBox() {
    SetMsgBoxResponder([this](const Question& question) {
        const std::string& text = question.text;
        const std::string& caption = question.caption;
        const unsigned flags = question.flags;
        seen_.push_back({text, caption, flags});
        if (next_ >= expected_.size()) {
            ADD_FAILURE() << "unexpected message box: caption '" << ToUtf8(caption) << "', flags " << flags
                          << ", text '" << ToUtf8(text) << "'";
            return (flags & 0xF) == MB_YESNO ? IDNO : IDCANCEL;
        }
        const Expectation& e = expected_[next_++];
        EXPECT_EQ(ToUtf8(e.caption), ToUtf8(caption)) << "message box #" << next_;
        EXPECT_EQ(e.flags, flags) << "message box #" << next_;
        if (e.exact)
            EXPECT_EQ(ToUtf8(e.text), ToUtf8(text)) << "message box #" << next_;
        else
            EXPECT_NE(text.find(e.text), std::string::npos)
                << "message box #" << next_ << " text '" << ToUtf8(text) << "' lacks '" << ToUtf8(e.text) << "'";
        return e.answer;
    });
}

ScriptedMsgBox::~ScriptedMsgBox() {
    EXPECT_EQ(next_, expected_.size()) << "not every expected message box was shown";
    InstallStrictMsgBox();
}

ScriptedMsgBox& ScriptedMsgBox::Expect(const std::string& caption, const std::string& text, unsigned flags,
                                       int answer) {
    expected_.push_back({caption, text, true, flags, answer});
    return *this;
}

ScriptedMsgBox& ScriptedMsgBox::ExpectContaining(const std::string& caption, const std::string& textPart,
                                                 unsigned flags, int answer) {
    expected_.push_back({caption, textPart, false, flags, answer});
    return *this;
}

namespace {
using ToUnix = char*(CDECL*)(LPCWSTR);

ToUnix WineToUnix() {
    return reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
}

std::string UnixPath(const std::string& path) {
    std::wstring w(path.size() + 1, L'\0');
    w.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, w.data(), static_cast<int>(w.size()))));
    if (!w.empty()) w.pop_back();
    char* u = WineToUnix()(w.c_str());
    std::string s = u ? u : "";
    if (u) HeapFree(GetProcessHeap(), 0, u);
    // The Unix name is UTF-8; commands travel in the ANSI code page like
    // every other text of ours and are turned back into UTF-8 on the way.
    std::wstring wide(s.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, wide.data(), static_cast<int>(wide.size()))));
    if (!wide.empty()) wide.pop_back();
    std::string ansi(wide.size() * 2 + 1, '\0');
    ansi.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, ansi.data(),
                                                         static_cast<int>(ansi.size()), nullptr, nullptr)));
    if (!ansi.empty()) ansi.pop_back();
    return ansi;
}

bool RunUnix(std::string command) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
    KernelObject process(pi.hProcess), thread(pi.hThread);
    // Wine's handle of a Unix process cannot be waited for (the wait fails at
    // once); callers look for the command's effect instead.
    WaitForSingleObject(process.get(), 10000);
    return true;
}
}  // namespace

// Wine shows a Unix symbolic link as a reparse point, and its Win32
// CreateSymbolicLink makes none, so the system's own ln makes it; the link
// is removed the same way, since Win32 calls on it act on its target.
PlantedLink::PlantedLink(const std::string& link, const std::string& target) : link_(link) {
    if (WineToUnix()) {
        RunUnix("/bin/ln -s \"" + UnixPath(target) + "\" \"" + UnixPath(link) + "\"");
        // The started Unix program may still be running when its Wine
        // process handle signals.
        for (int i = 0; i < 100 && !ok(); ++i) Sleep(50);
    } else {
        CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY);
    }
}

PlantedLink::~PlantedLink() {
    if (WineToUnix()) {
        RunUnix("/bin/rm -f \"" + UnixPath(link_) + "\"");
        for (int i = 0; i < 100 && GetFileAttributesA(link_.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) Sleep(50);
    } else {
        RemoveDirectoryA(link_.c_str());
    }
}

bool PlantedLink::ok() const {
    const DWORD a = GetFileAttributesA(link_.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string UnixPathOf(const std::string& windowsPath) {
    if (!WineToUnix()) return {};
    return UnixPath(windowsPath);
}

bool RunShellCommand(const std::string& command) {
    if (!WineToUnix()) return false;
    // One argument by the Windows rules, which Wine applies to build the
    // Unix program's arguments: backslashes count only before a quote.
    std::string quoted;
    size_t backslashes = 0;
    for (size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        if (IsDBCSLeadByte(static_cast<BYTE>(c)) && i + 1 < command.size()) {
            quoted.append(backslashes, '\\');
            backslashes = 0;
            quoted += c;
            quoted += command[++i];
            continue;
        }
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            quoted.append(backslashes * 2 + 1, '\\');
        } else {
            quoted.append(backslashes, '\\');
        }
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return RunUnix("/bin/sh -c \"" + quoted + "\"");
}

std::string UnixCommandOutput(const std::string& command, unsigned long timeoutMs) {
    if (!WineToUnix()) return {};
    static int serial = 0;
    char temp[MAX_PATH + 1] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string base = std::string(temp) + "rvcmd" + std::to_string(GetCurrentProcessId()) + "_" +
                             std::to_string(++serial);
    const std::string out = base + ".out", done = base + ".done";
    DeleteFileA(out.c_str());
    DeleteFileA(done.c_str());
    RunShellCommand("(" + command + ") > '" + UnixPath(out) + "' 2>&1; echo end > '" + UnixPath(done) + "'");
    // Wine cannot wait for a Unix process: its effect is polled for.
    for (unsigned long waited = 0; GetFileAttributesA(done.c_str()) == INVALID_FILE_ATTRIBUTES; waited += 50) {
        if (waited >= timeoutMs) return "(timed out)";
        Sleep(50);
    }
    std::string text = ReadFileBytes(out);
    DeleteFileA(out.c_str());
    DeleteFileA(done.c_str());
    return text;
}

std::string TestBinFolder() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string folder(path);
    return folder.substr(0, folder.rfind('\\') + 1);
}

bool RestartPrefix() {
    std::string command = "wineboot.exe -r";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    CloseHandle(info.hThread);
    KernelObject process(info.hProcess);
    return WaitForSingleObject(process.get(), 120000) == WAIT_OBJECT_0;
}

namespace {
DWORD WINAPI RunTestThread(void* call) {
    (*static_cast<std::function<void()>*>(call))();
    return 0;
}
}  // namespace

TestThread::TestThread(std::function<void()> call)
    : call_(std::make_unique<std::function<void()>>(std::move(call))) {
    handle_ = CreateThread(nullptr, 0, RunTestThread, call_.get(), 0, nullptr);
    if (!handle_) ADD_FAILURE() << "CreateThread failed: " << GetLastError();
}

TestThread::~TestThread() { join(); }

void TestThread::join() {
    if (!handle_) return;
    WaitForSingleObject(handle_, INFINITE);
    CloseHandle(handle_);
    handle_ = nullptr;
}

void TestThread::detach() {
    if (!handle_) return;
    CloseHandle(handle_);
    handle_ = nullptr;
    // The thread may still run the call: it is left to it.
    call_.release();
}
