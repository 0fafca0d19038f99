#include "Driver.h"

#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "platform/Win932.h"

#include <cstdlib>

namespace e2e {

namespace {

std::string WithDelimiter(std::string path) {
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
}

bool IsFolder(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::set<std::string> ExistingWorkFolders() {
    std::set<std::string> folders;
    for (int n = 1; n <= 99; ++n) {
        const std::string folder = TempFolder() + "RVTMP" + std::to_string(n);
        if (IsFolder(folder)) folders.insert(folder);
    }
    return folders;
}

std::string ClassOf(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// WM_GETTEXT through the system, which copies the text across processes
// (GetWindowText would not ask another process's edit box). Read as UTF-16
// and made CP932 with code page 932 itself, so the expectations hold
// whatever the system's code page is.
std::string SentText(HWND window) {
    if (!window) return {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return {};
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return {};
    text.resize(copied);
    return win932::NarrowForDisplay(text);
}

struct Pixels {
    int width = 0, height = 0;
    std::vector<DWORD> data;  // 0x00RRGGBB, top-down
};

// Pixels of a top-down 32-bit bitmap that draw() fills (given the bitmap's
// device context, the screen's, and the bits).
template <typename Draw>
Pixels DrawPixels(int width, int height, Draw draw) {
    Pixels pixels;
    WindowDC screen(nullptr);
    MemoryDC memory(CreateCompatibleDC(screen.get()));
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    GdiObject bitmap(CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!screen || !memory || !bitmap || !bits) return pixels;
    HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
    DWORD* p = static_cast<DWORD*>(bits);
    draw(memory.get(), screen.get(), p);
    GdiFlush();
    pixels.width = width;
    pixels.height = height;
    pixels.data.assign(p, p + static_cast<size_t>(width) * height);
    SelectObject(memory.get(), old);
    return pixels;
}

Pixels CaptureScreen(int x, int y, int width, int height) {
    return DrawPixels(width, height, [&](HDC memory, HDC screen, DWORD*) {
        BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY);
    });
}

Pixels RenderIcon(HICON icon, DWORD background, int size) {
    return DrawPixels(size, size, [&](HDC memory, HDC, DWORD* p) {
        for (int i = 0; i < size * size; ++i) p[i] = background;
        DrawIconEx(memory, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    });
}

bool Near(DWORD a, DWORD b) {
    for (int shift = 0; shift < 24; shift += 8) {
        const int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
        if (std::abs(ca - cb) > 24) return false;
    }
    return true;
}

// Another process's icon handle means nothing here, so the icon is told by
// what the screen shows: the captured control against each standard icon
// drawn here, on the pixels that the icon covers fully.
void IdentifyIcon(HWND iconControl, MessageBoxView& view) {
    RECT r;
    GetWindowRect(iconControl, &r);
    const int size = GetSystemMetrics(SM_CXICON);
    const Pixels shown = CaptureScreen(r.left, r.top, size, size);
    if (shown.data.empty()) return;
    const struct {
        LPCSTR id;
        unsigned flag;
    } candidates[] = {{IDI_HAND, MB_ICONHAND},
                      {IDI_QUESTION, MB_ICONQUESTION},
                      {IDI_EXCLAMATION, MB_ICONEXCLAMATION},
                      {IDI_ASTERISK, MB_ICONASTERISK}};
    double best = 0;
    for (const auto& c : candidates) {
        HICON icon = LoadIconA(nullptr, c.id);
        const Pixels onBlack = RenderIcon(icon, 0x000000, size);
        const Pixels onWhite = RenderIcon(icon, 0xFFFFFF, size);
        if (onBlack.data.empty() || onWhite.data.empty()) continue;
        int opaque = 0, matching = 0;
        for (size_t i = 0; i < onBlack.data.size(); ++i) {
            if ((onBlack.data[i] & 0xFFFFFF) != (onWhite.data[i] & 0xFFFFFF)) continue;
            ++opaque;
            if (Near(onBlack.data[i], shown.data[i])) ++matching;
        }
        const double score = opaque ? static_cast<double>(matching) / opaque : 0;
        if (score > best) {
            best = score;
            view.icon = c.flag;
        }
    }
    view.iconKnown = best >= 0.9;
    if (!view.iconKnown) view.icon = 0;
}

struct FindState {
    DWORD pid;
    const char* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM lp) {
    auto* s = reinterpret_cast<FindState*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != s->pid) return TRUE;
    if (s->visibleOnly && !IsWindowVisible(window)) return TRUE;
    if (ClassOf(window) != s->className) return TRUE;
    s->found = window;
    return FALSE;
}

std::string EnvironmentBlock(const SetupProcess::Environment& overrides) {
    std::vector<std::string> entries;
    char* block = GetEnvironmentStringsA();
    for (const char* p = block; *p; p += strlen(p) + 1) entries.emplace_back(p);
    FreeEnvironmentStringsA(block);
    std::string result;
    auto nameOf = [](const std::string& entry) {
        std::string name = entry.substr(0, entry.find('=', 1));
        for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        return name;
    };
    for (const auto& entry : entries) {
        bool replaced = false;
        for (const auto& o : overrides) {
            std::string name = o.first;
            for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
            if (nameOf(entry) == name) replaced = true;
        }
        if (!replaced) result.append(entry).push_back('\0');
    }
    for (const auto& o : overrides) result.append(o.first + "=" + o.second).push_back('\0');
    result.push_back('\0');
    return result;
}

}  // namespace

std::string BinFolder() {
    char path[MAX_PATH * 2] = {};
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\') + 1);
}

std::string TempFolder() {
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathA(sizeof path, path);
    return WithDelimiter(n > 0 && n < sizeof path ? std::string(path, n) : std::string("C:\\"));
}

std::string WindowsFolder() {
    char path[MAX_PATH + 1] = {};
    const UINT n = GetWindowsDirectoryA(path, sizeof path);
    return WithDelimiter(std::string(path, n));
}

DWORD RunningProcessId(const std::string& exeName) {
    UniqueHandle<KernelHandleTraits> snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot && Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry))
        if (lstrcmpiA(entry.szExeFile, exeName.c_str()) == 0) return entry.th32ProcessID;
    return 0;
}

Distribution::Distribution(const std::string& subfolder)
    : subfolder_(subfolder), path_(folder_.path() + subfolder) {
    if (!subfolder.empty()) CreateDirectoryW(win932::Wide(path_).c_str(), nullptr);
    const std::string program = BinFolder() + "SETUP.EXE";
    EXPECT_TRUE(CopyFileW(win932::Wide(program).c_str(), win932::Wide(exe()).c_str(), FALSE))
        << "SETUP.EXE not beside the test: " << program;
}

void Distribution::WriteScript(const std::string& cp932) const { Write("SETUP.INI", cp932); }

unsigned MessageBoxView::Flags() const {
    const std::set<int> set(buttons.begin(), buttons.end());
    unsigned kind = MB_OK;
    if (set == std::set<int>{IDOK, IDCANCEL}) kind = MB_OKCANCEL;
    else if (set == std::set<int>{IDABORT, IDRETRY, IDIGNORE}) kind = MB_ABORTRETRYIGNORE;
    else if (set == std::set<int>{IDYES, IDNO, IDCANCEL}) kind = MB_YESNOCANCEL;
    else if (set == std::set<int>{IDYES, IDNO}) kind = MB_YESNO;
    else if (set == std::set<int>{IDRETRY, IDCANCEL}) kind = MB_RETRYCANCEL;
    return kind | icon;
}

std::string MessageBoxView::Describe() const {
    std::string buttonList;
    for (int id : buttons) buttonList += std::to_string(id) + " ";
    return "message box '" + ToUtf8(caption) + "' text '" + ToUtf8(text) + "' buttons [" + buttonList +
           "] icon " + (iconKnown ? std::to_string(icon) : std::string("unknown"));
}

SetupProcess::SetupProcess(const std::string& exe, const std::string& arguments, const Environment& environment)
    : workFoldersBefore_(ExistingWorkFolders()) {
    std::string commandLine = "\"" + exe + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    const std::string folder = exe.substr(0, exe.find_last_of('\\') + 1);
    std::string env = environment.empty() ? std::string() : EnvironmentBlock(environment);
    // Wide, converted from code page 932: on a Western system the ANSI call
    // would read a Japanese folder in the command line as code page 1252.
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::wstring wideLine = win932::Wide(commandLine);
    if (!CreateProcessW(win932::Wide(exe).c_str(), wideLine.data(), nullptr, nullptr, FALSE, 0,
                        env.empty() ? nullptr : env.data(), win932::Wide(folder).c_str(), &si, &pi)) {
        ADD_FAILURE() << "cannot start " << ToUtf8(commandLine) << ": error " << GetLastError();
        return;
    }
    CloseHandle(pi.hThread);
    process_.reset(pi.hProcess);
    pid_ = pi.dwProcessId;
}

std::unique_ptr<SetupProcess> SetupProcess::Attach(const std::string& exeName, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    do {
        const DWORD id = RunningProcessId(exeName);
        if (HANDLE process = id ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, id)
                                : nullptr) {
            std::unique_ptr<SetupProcess> attached(new SetupProcess());
            attached->workFoldersBefore_ = ExistingWorkFolders();
            attached->process_.reset(process);
            attached->pid_ = id;
            return attached;
        }
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    ADD_FAILURE() << "no process " << exeName << " appeared";
    return nullptr;
}

SetupProcess::~SetupProcess() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT)
        FailOnOpenMessageBox("at the end of the test");
    Terminate();
    RemoveNewWorkFolders();
}

bool SetupProcess::WaitForExit(DWORD timeoutMs) {
    return !process_ || WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
}

DWORD SetupProcess::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (process_) GetExitCodeProcess(process_.get(), &code);
    return code;
}

void SetupProcess::Terminate() {
    if (!process_) return;
    if (WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 10000);
    }
}

void SetupProcess::RemoveNewWorkFolders() {
    for (const std::string& folder : ExistingWorkFolders())
        if (!workFoldersBefore_.count(folder)) RemoveTree(folder);
}

HWND SetupProcess::FindWindowOfClass(const char* className) const {
    FindState s{pid_, className, false, nullptr};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

HWND SetupProcess::WaitForWindow(const char* className, DWORD timeoutMs) {
    HWND found = nullptr;
    const DWORD start = GetTickCount();
    while (!(found = FindWindowOfClass(className))) {
        if (GetTickCount() - start > timeoutMs) {
            ADD_FAILURE() << "timed out waiting for a window of class " << className;
            return nullptr;
        }
        if (WaitForExit(0)) {
            ADD_FAILURE() << "the program ended (code " << ExitCode() << ") while waiting for a window of class "
                          << className;
            return nullptr;
        }
        Sleep(50);
    }
    return found;
}

HWND SetupProcess::WaitForWizard(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        HWND wizard = FindWindowOfClass("TfrmMain");
        if (wizard && !SentText(GetDlgItem(wizard, 1060 /* btnEvent */)).empty()) {
            // Start-up may still be finishing between two message pumps.
            WaitForInputIdle(process_.get(), 5000);
            Sleep(200);
            wizard_ = wizard;
            return wizard;
        }
        if (GetTickCount() - start > timeoutMs) {
            ADD_FAILURE() << "timed out waiting for the wizard window to finish start-up";
            return nullptr;
        }
        if (WaitForExit(0)) {
            ADD_FAILURE() << "the program ended (code " << ExitCode() << ") before its wizard finished start-up";
            return nullptr;
        }
        Sleep(50);
    }
}

HWND SetupProcess::Control(int id, HWND window) const {
    HWND parent = window ? window : wizard_;
    return parent ? GetDlgItem(parent, id) : nullptr;
}

std::string SetupProcess::Text(int id, HWND window) const { return SentText(Control(id, window)); }

bool SetupProcess::Enabled(int id, HWND window) const {
    HWND c = Control(id, window);
    return c && IsWindowEnabled(c);
}

bool SetupProcess::Shown(int id, HWND window) const {
    HWND c = Control(id, window);
    return c && (GetWindowLongA(c, GWL_STYLE) & WS_VISIBLE);
}

bool SetupProcess::Checked(int id, HWND window) const {
    HWND c = Control(id, window);
    DWORD_PTR state = 0;
    return c && SendMessageTimeoutA(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 5000, &state) && state == BST_CHECKED;
}

bool SetupProcess::ReadOnly(int id, HWND window) const {
    HWND c = Control(id, window);
    return c && (GetWindowLongA(c, GWL_STYLE) & ES_READONLY);
}

RECT SetupProcess::Bounds(int id, HWND window) const {
    RECT r = {};
    HWND c = Control(id, window);
    if (!c) return r;
    GetWindowRect(c, &r);
    MapWindowPoints(nullptr, GetParent(c), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string SetupProcess::WindowText(HWND window) { return SentText(window); }

void SetupProcess::SetText(int id, const std::string& text, HWND window) const {
    HWND control = Control(id, window);
    ASSERT_NE(control, nullptr) << "no control " << id << " to type into";
    const std::wstring wide = win932::Wide(text);
    DWORD_PTR ignored = 0;
    EXPECT_TRUE(SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG,
                                    5000, &ignored))
        << "control " << id << " took no text";
}

void SetupProcess::Press(int id, HWND window) {
    HWND parent = window ? window : wizard_;
    HWND button = Control(id, parent);
    if (!button) {
        ADD_FAILURE() << "no control " << id << " to press";
        return;
    }
    // A person presses what they can see: a page is filled before the wizard
    // is shown again, and on a loaded machine a page's texts can be there
    // while its buttons are still hidden.
    const DWORD start = GetTickCount();
    while ((!IsWindowEnabled(button) || !IsWindowVisible(button)) && GetTickCount() - start < 5000) Sleep(20);
    if (!IsWindowEnabled(button) || !IsWindowVisible(button)) {
        ADD_FAILURE() << "button " << id << " ('" << ToUtf8(SentText(button)) << "') cannot be pressed: "
                      << (IsWindowEnabled(button) ? "hidden" : "disabled");
        return;
    }
    // Posted, as a click arrives: the handler may open a modal box and this
    // side must stay free to answer it. A check box or radio button is
    // clicked itself, so that its state changes as under a person's click.
    const LONG type = GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK;
    if (type == BS_AUTOCHECKBOX || type == BS_AUTORADIOBUTTON || type == BS_AUTO3STATE)
        PostMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(parent, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

bool SetupProcess::FindMessageBox(MessageBoxView& view) const {
    FindState s{pid_, "#32770", true, nullptr};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&s));
    if (!s.found) return false;
    view = MessageBoxView{};
    view.hwnd = s.found;
    view.caption = SentText(s.found);
    HWND iconControl = nullptr;
    for (HWND child = GetWindow(s.found, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (!IsWindowVisible(child)) continue;
        const std::string cls = ClassOf(child);
        const LONG style = GetWindowLongA(child, GWL_STYLE);
        if (_stricmp(cls.c_str(), "Button") == 0) {
            view.buttons.push_back(GetDlgCtrlID(child));
        } else if (_stricmp(cls.c_str(), "Static") == 0) {
            if ((style & SS_TYPEMASK) == SS_ICON)
                iconControl = child;
            else if (view.text.empty())
                view.text = SentText(child);
        }
    }
    if (iconControl)
        IdentifyIcon(iconControl, view);
    else
        view.iconKnown = true;
    return true;
}

MessageBoxView SetupProcess::WaitForMessageBox(const std::string& what, DWORD timeoutMs) {
    MessageBoxView view;
    const DWORD start = GetTickCount();
    while (!FindMessageBox(view)) {
        if (GetTickCount() - start > timeoutMs) {
            ADD_FAILURE() << "timed out waiting for the message box: " << what;
            return {};
        }
        if (WaitForExit(0)) {
            ADD_FAILURE() << "the program ended while waiting for the message box: " << what;
            return {};
        }
        Sleep(50);
    }
    // The icon is read from the screen: a box found before it was drawn is
    // looked at again until its icon shows (a box whose icon is none of the
    // system's four is given three seconds).
    const DWORD found = GetTickCount();
    while (!view.iconKnown && GetTickCount() - found < 3000) {
        Sleep(20);
        MessageBoxView again;
        if (!FindMessageBox(again)) break;
        view = again;
    }
    return view;
}

void SetupProcess::Answer(const MessageBoxView& box, int buttonId) {
    if (!box.hwnd) return;
    HWND button = GetDlgItem(box.hwnd, buttonId);
    if (!button || !IsWindowVisible(button)) {
        ADD_FAILURE() << "the " << box.Describe() << " has no button " << buttonId;
        return;
    }
    PostMessageA(box.hwnd, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
    const DWORD start = GetTickCount();
    while (IsWindow(box.hwnd)) {
        if (GetTickCount() - start > kWaitMs) {
            ADD_FAILURE() << "the " << box.Describe() << " did not close after pressing " << buttonId;
            return;
        }
        Sleep(50);
    }
}

void SetupProcess::FailOnOpenMessageBox(const std::string& during) {
    MessageBoxView box;
    if (!FindMessageBox(box)) return;
    ADD_FAILURE() << "unexpected " << box.Describe() << " " << during;
    int answer = IDOK;
    for (int id : box.buttons)
        if (id == IDNO || id == IDCANCEL) answer = id;
    Answer(box, answer);
}

bool SetupProcess::WaitUntil(const std::function<bool()>& condition, const std::string& what, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        FailOnOpenMessageBox("while waiting for: " + what);
        if (GetTickCount() - start > timeoutMs) {
            ADD_FAILURE() << "timed out waiting for: " << what;
            return false;
        }
        if (WaitForExit(0)) {
            // It may have ended just after the condition was looked at.
            if (condition()) return true;
            ADD_FAILURE() << "the program ended while waiting for: " << what;
            return false;
        }
        Sleep(50);
    }
}

bool SetupProcess::WaitForText(int id, const std::string& text, DWORD timeoutMs) {
    return WaitUntil([&] { return Text(id) == text; },
                     "control " + std::to_string(id) + " to read '" + ToUtf8(text) + "' (it reads '" +
                         ToUtf8(Text(id)) + "')",
                     timeoutMs);
}

WineVersionOverride::WineVersionOverride(const std::string& exeName, const std::string& version)
    : key_("Software\\Wine\\AppDefaults\\" + exeName) {
    RegKey probe;
    keyExisted_ = RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_READ, probe.put()) == ERROR_SUCCESS;
    RegKey key;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             key.put(), nullptr));
    RegSetValueExA(key.get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                   static_cast<DWORD>(version.size() + 1));
}

WineVersionOverride::~WineVersionOverride() {
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
        RegDeleteValueA(key.get(), "Version");
    key.reset();
    if (!keyExisted_) RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
}

RestoredFile::RestoredFile(const std::string& path) : path_(path) {
    existed_ = FileExistsAt(path);
    if (!existed_) return;
    saved_ = ReadFileBytes(path);
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) written_ = data.ftLastWriteTime;
}

RestoredFile::~RestoredFile() {
    SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!existed_) {
        DeleteFileA(path_.c_str());
        return;
    }
    WriteFileBytes(path_, saved_);
    // The time comes back too: a program file put back with today's time
    // would count as newer than the next build's and never be replaced.
    HANDLE file = CreateFileA(path_.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    SetFileTime(file, nullptr, nullptr, &written_);
    CloseHandle(file);
}

LocalMachineKey::LocalMachineKey(const std::string& subkey) : subkey_(subkey) {
    RegKey key;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, subkey_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, key.put(), nullptr));
}

LocalMachineKey::~LocalMachineKey() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, subkey_.c_str()); }

void LocalMachineKey::SetString(const std::string& name, const std::string& value) const {
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, subkey_.c_str(), 0, KEY_SET_VALUE, key.put()));
    RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

void SetUserString(const std::string& subkey, const std::string& name, const std::string& value) {
    RegKey key;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, subkey.c_str(), 0, KEY_SET_VALUE, key.put()));
    RegSetValueExA(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
}

SmallDrive::SmallDrive(unsigned kilobytes) {
    // A fresh place for every drive: Wine may still know an earlier one, and
    // tests in other prefixes (whose process ids repeat ours) mount theirs
    // side by side.
    mount_ = UnixCommandOutput("mktemp -d /tmp/rvsmallXXXXXX");
    while (!mount_.empty() && (mount_.back() == '\n' || mount_.back() == '\r')) mount_.pop_back();
    if (mount_.rfind("/tmp/rvsmall", 0) != 0) return;
    const std::string prefix = UnixPathOf("C:\\");
    if (prefix.empty()) return;
    // Wine names C: through the prefix's drive links.
    const size_t at = prefix.find("/dosdevices/");
    if (at == std::string::npos) return;
    dosdevices_ = prefix.substr(0, at) + "/dosdevices/r:";
    UnixCommandOutput("mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k tmpfs " +
                      mount_ + " && ln -sfn " + mount_ + " '" + dosdevices_ + "'");
    ok_ = UnixCommandOutput("mountpoint -q " + mount_ + " && echo yes").find("yes") == 0;
}

SmallDrive::~SmallDrive() {
    if (mount_.rfind("/tmp/rvsmall", 0) != 0) return;
    // A program of the test that still holds a file open must not keep the
    // mount: detached lazily then.
    const std::string unlink = dosdevices_.empty() ? "" : "rm -f '" + dosdevices_ + "'; ";
    UnixCommandOutput(unlink + "if mountpoint -q " + mount_ + "; then umount " + mount_ + " || umount -l " + mount_ +
                      "; fi; rmdir " + mount_);
}

unsigned long long SmallDrive::FreeBytes() {
    ULARGE_INTEGER free = {};
    if (!GetDiskFreeSpaceExA(kRoot, &free, nullptr, nullptr)) return 0;
    return free.QuadPart;
}

}  // namespace e2e
