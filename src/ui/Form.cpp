#include "ui/Form.h"

#include <exception>

#include "app/RunLog.h"
#include "app/RunOutcome.h"
#include "app/ScriptKeys.h"
#include "app/uUtils.h"
#include "platform/Handles.h"
#include "platform/Win932.h"

#include "ui/Forms.h"
#include "ui/Gauge.h"
#include "ui/GradBox.h"
#include "ui/resource.h"

#include <vector>

TForm::~TForm() { Destroy(); }

bool TForm::Create(HINSTANCE instance, int templateId, HWND owner) {
    Destroy();
    if (!owner) owner = ApplicationWindow();
    HWND h = CreateDialogParam932(instance, templateId, owner, &TForm::DialogProc, reinterpret_cast<LPARAM>(this));
    return h != nullptr && h == handle_;
}

void TForm::Destroy() {
    if (handle_) {
        HWND h = handle_;
        DestroyWindow(h);  // WM_NCDESTROY clears handle_
        handle_ = nullptr;
    }
    modalResult_ = 0;
    inModal_ = false;
    containerOf_.clear();
    ownVisible_.clear();
}

void TForm::Abandon() {
    if (handle_) SetWindowLongPtr932(handle_, DWLP_USER, 0);
    handle_ = nullptr;
    modalResult_ = 0;
    inModal_ = false;
    containerOf_.clear();
    ownVisible_.clear();
}

HWND TForm::Item(int id) const { return handle_ ? GetDlgItem(handle_, id) : nullptr; }

void TForm::SetText(int id, const std::string& text) {
    if (HWND h = Item(id)) SetWindowText932(h, text);
}

std::string TForm::GetText(int id) const { return GetWindowText932(Item(id)); }

void TForm::Enable(int id, bool enabled) {
    if (HWND h = Item(id)) EnableWindow(h, enabled ? TRUE : FALSE);
}

bool TForm::IsEnabled(int id) const {
    HWND h = Item(id);
    return h && IsWindowEnabled(h);
}

bool TForm::OwnVisible(int id) const {
    auto it = ownVisible_.find(id);
    if (it != ownVisible_.end()) return it->second;
    HWND h = Item(id);
    return h && (GetWindowLongPtr932(h, GWL_STYLE) & WS_VISIBLE) != 0;
}

bool TForm::ContainerShown(int id) const {
    // Depth-limited so that a mistaken cycle cannot hang the window.
    for (int depth = 0; depth < 16; ++depth) {
        auto it = containerOf_.find(id);
        if (it == containerOf_.end()) return true;
        id = it->second;
        if (!OwnVisible(id)) return false;
    }
    return true;
}

void TForm::ApplyVisibility(int id) {
    HWND h = Item(id);
    if (!h) return;
    bool onScreen = OwnVisible(id) && ContainerShown(id);
    bool now = (GetWindowLongPtr932(h, GWL_STYLE) & WS_VISIBLE) != 0;
    if (onScreen != now) ShowWindow(h, onScreen ? SW_SHOWNA : SW_HIDE);
    for (const auto& [child, container] : containerOf_)
        if (container == id && child != id) ApplyVisibility(child);
}

void TForm::Show(int id, bool shown) {
    if (!Item(id)) return;
    ownVisible_[id] = shown;
    ApplyVisibility(id);
}

bool TForm::IsShown(int id) const { return Item(id) && OwnVisible(id); }

void TForm::SetContainers(std::initializer_list<std::pair<int, int>> pairs) {
    if (!handle_) return;
    // Own flags first, from the template, before anything is hidden.
    for (HWND c = GetWindow(handle_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        int id = GetDlgCtrlID(c);
        if (!ownVisible_.count(id)) ownVisible_[id] = (GetWindowLongPtr932(c, GWL_STYLE) & WS_VISIBLE) != 0;
    }
    for (const auto& [child, container] : pairs) containerOf_[child] = container;
    for (const auto& entry : ownVisible_) ApplyVisibility(entry.first);
}

void TForm::Check(int id, bool checked) {
    if (HWND h = Item(id)) SendMessage932(h, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TForm::IsChecked(int id) const {
    HWND h = Item(id);
    return h && SendMessage932(h, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TForm::SetBounds(int id, int x, int y, int w, int h) {
    HWND c = Item(id);
    if (!c) return;
    RECT old = Bounds(id);
    MoveWindow(c, x, y, w, h, TRUE);
    int dx = x - old.left, dy = y - old.top;
    if (dx == 0 && dy == 0) return;
    // Contents travel with their frame, as children of a designer frame do.
    for (const auto& [child, container] : containerOf_) {
        if (container != id || child == id) continue;
        RECT r = Bounds(child);
        SetBounds(child, r.left + dx, r.top + dy, r.right - r.left, r.bottom - r.top);
    }
}

RECT TForm::Bounds(int id) const {
    RECT r{0, 0, 0, 0};
    HWND c = Item(id);
    if (!c) return r;
    GetWindowRect(c, &r);
    MapWindowPoints(HWND_DESKTOP, handle_, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

void TForm::Focus(int id) {
    HWND c = Item(id);
    if (!c) return;
    // Through the dialog manager, so the default-button look follows.
    SendMessage932(handle_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(c), TRUE);
}

void TForm::SetCaption(const std::string& caption) {
    if (handle_) SetWindowText932(handle_, caption);
}

std::string TForm::Caption() const { return GetWindowText932(handle_); }

int TForm::ClientWidth() const {
    RECT r{0, 0, 0, 0};
    if (handle_) GetClientRect(handle_, &r);
    return r.right - r.left;
}

int TForm::ClientHeight() const {
    RECT r{0, 0, 0, 0};
    if (handle_) GetClientRect(handle_, &r);
    return r.bottom - r.top;
}

void TForm::SetVisible(bool visible) {
    if (handle_) ShowWindow(handle_, visible ? SW_SHOW : SW_HIDE);
}

bool TForm::Visible() const { return handle_ && IsWindowVisible(handle_); }

void TForm::SetEnabled(bool enabled) {
    if (handle_) EnableWindow(handle_, enabled ? TRUE : FALSE);
}

bool TForm::Enabled() const { return handle_ && IsWindowEnabled(handle_); }

SIZE TForm::MeasureText(int id) const {
    SIZE size{0, 0};
    HWND c = Item(id);
    if (!c) return size;
    std::string text = GetWindowText932(c);
    WindowDC windowDC(c);
    if (!windowDC) return size;
    HDC dc = windowDC.get();
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessage932(c, WM_GETFONT, 0, 0)));
    RECT r{0, 0, 0, 0};
    if (text.empty()) {
        TEXTMETRICW tm{};
        GetTextMetrics932(dc, tm);
        r.bottom = tm.tmHeight;
    } else {
        UINT prefix = (GetWindowLongPtr932(c, GWL_STYLE) & SS_NOPREFIX) ? DT_NOPREFIX : 0;
        DrawText932(dc, text, r, DT_CALCRECT | DT_LEFT | DT_EXPANDTABS | prefix);
    }
    SelectObject(dc, old);
    size.cx = r.right - r.left;
    size.cy = r.bottom - r.top;
    return size;
}

int TForm::Scaled(int designPixels) {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int pixels = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen) ReleaseDC(nullptr, screen);
        return pixels > 0 ? pixels : 96;
    }();
    return MulDiv(designPixels, dpi, 96);
}

void TForm::SetClientSize(int w, int h) {
    if (!handle_) return;
    RECT r{0, 0, Scaled(w), Scaled(h)};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtr932(handle_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtr932(handle_, GWL_EXSTYLE)));
    SetWindowPos(handle_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::CenterOnScreen() {
    if (!handle_) return;
    RECT r;
    GetWindowRect(handle_, &r);
    int w = r.right - r.left, h = r.bottom - r.top;
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(handle_, nullptr, (sw - w) / 2, (sh - h) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::SetModalResult(int result) {
    modalResult_ = result;
    // Wakes a modal loop waiting in GetMessage so it sees the result.
    if (inModal_ && handle_) PostMessage932(handle_, WM_NULL, 0, 0);
}

void TForm::CloseRequested() {
    if (inModal_) {
        SetModalResult(IDCANCEL);
        return;
    }
    SetVisible(false);
}

bool FormDialogKeys(MSG& m) {
    HWND active = GetActiveWindow();
    return active && (m.hwnd == active || IsChild(active, m.hwnd)) && IsDialogMessage932(active, m);
}

namespace {
struct ModalContext {
    HWND modal;
    std::vector<HWND>* disabled;
};
BOOL CALLBACK DisableOther(HWND w, LPARAM lp) {
    auto* context = reinterpret_cast<ModalContext*>(lp);
    // The application window takes no input of its own: it stays enabled so
    // that the taskbar can always bring the modal window back.
    if (w != context->modal && w != ApplicationWindow() && IsWindowVisible(w) && IsWindowEnabled(w)) {
        EnableWindow(w, FALSE);
        context->disabled->push_back(w);
    }
    return TRUE;
}
}  // namespace

int TForm::ShowModal(ModalEnd end) {
    if (!handle_ || inModal_) return 0;
    // Every other window of ours stops taking input while this one is modal:
    // the owner always, and any other visible one.
    std::vector<HWND> disabled;
    HWND owner = GetWindow(handle_, GW_OWNER);
    if (owner && IsWindowEnabled(owner)) {
        EnableWindow(owner, FALSE);
        disabled.push_back(owner);
    }
    ModalContext context{handle_, &disabled};
    EnumThreadWindows(GetCurrentThreadId(), DisableOther, reinterpret_cast<LPARAM>(&context));
    modalResult_ = 0;
    inModal_ = true;
    ShowWindow(handle_, SW_SHOW);
    SetForegroundWindow(handle_);
    SetActiveWindow(handle_);
    for (;;) {
        if (modalResult_ != 0) {
            bool canClose = true;
            FormCloseQuery(canClose);
            if (canClose) break;
            modalResult_ = 0;
        }
        MSG m;
        BOOL got = GetMessage932(m);
        if (got == 0) {
            // Quit while modal: hand the quit on to the outer loop.
            PostQuitMessage(static_cast<int>(m.wParam));
            if (modalResult_ == 0) modalResult_ = IDCANCEL;
            break;
        }
        if (got == -1) {
            if (modalResult_ == 0) modalResult_ = IDCANCEL;
            break;
        }
        if (!FormDialogKeys(m)) {
            TranslateMessage(&m);
            DispatchMessage932(m);
        }
        if (!handle_) break;  // destroyed under us
    }
    inModal_ = false;
    int result = modalResult_;
    if (handle_) {
        FormClose();
        if (handle_ && end == ModalEnd::Hide) ShowWindow(handle_, SW_HIDE);
    }
    // Re-enabled only if nothing decided otherwise meanwhile.
    for (HWND w : disabled)
        if (IsWindow(w) && !IsWindowEnabled(w)) EnableWindow(w, TRUE);
    return result;
}

INT_PTR CALLBACK TForm::DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    // The program's general error handler: an error that a handler raises
    // (a registry key that cannot be written, a link object that cannot be
    // made) ends that handler's work and is shown; nothing is ever thrown
    // through the system's window procedure.
    try {
        return Dispatch(hwnd, msg, wp, lp);
    } catch (const std::exception& e) {
        LogLine("エラー", e.what());
        SetWizardExitCode(ExitCode::kInternalError);
        MsgBox(e.what(), kProductName, MB_OK | MB_ICONHAND);
    } catch (...) {
        LogLine("エラー", "内部エラーが発生しました。");
        SetWizardExitCode(ExitCode::kInternalError);
        MsgBox("内部エラーが発生しました。", kProductName, MB_OK | MB_ICONHAND);
    }
    return msg == WM_COMMAND ? TRUE : FALSE;
}

INT_PTR TForm::Dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_INITDIALOG) {
        auto* self = reinterpret_cast<TForm*>(lp);
        SetWindowLongPtr932(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        self->handle_ = hwnd;
        self->OnInit();
        return FALSE;  // focus is placed by the form itself
    }
    auto* self = reinterpret_cast<TForm*>(GetWindowLongPtr932(hwnd, DWLP_USER));
    if (!self) return FALSE;
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtr932(hwnd, DWLP_USER, 0);
        self->handle_ = nullptr;
        return FALSE;
    }
    LRESULT result = 0;
    if (self->OnMessage(msg, wp, lp, result)) {
        switch (msg) {
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
            return static_cast<INT_PTR>(result);
        default:
            SetWindowLongPtr932(hwnd, DWLP_MSGRESULT, result);
            return TRUE;
        }
    }
    switch (msg) {
    case WM_COMMAND:
        // Esc and Enter arrive as IDCANCEL / IDOK; our windows are left only
        // through their own buttons.
        if (LOWORD(wp) == IDCANCEL || LOWORD(wp) == IDOK) return TRUE;
        self->OnCommand(LOWORD(wp), HIWORD(wp));
        return TRUE;
    case WM_CLOSE:
        self->CloseRequested();
        return TRUE;
    }
    return FALSE;
}

namespace {

HWND g_application = nullptr;
constexpr UINT WM_RV_HANDON = WM_APP + 40;

LRESULT CALLBACK ApplicationProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_ACTIVATE:
        // Activated from the taskbar: once activation is over, the window
        // the user last worked in takes over.
        if (LOWORD(wp) != WA_INACTIVE) PostMessage932(hwnd, WM_RV_HANDON, 0, 0);
        return 0;
    case WM_RV_HANDON:
        // The uppermost of our windows that takes input: a message box over
        // the wizard, else the wizard or the progress window.
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            if (w == hwnd || GetWindowThreadProcessId(w, nullptr) != GetCurrentThreadId()) continue;
            if (IsWindowVisible(w) && IsWindowEnabled(w)) {
                SetForegroundWindow(w);
                break;
            }
        }
        return 0;
    case WM_CLOSE:
        // The program is left through the wizard's own buttons only.
        return 0;
    case WM_NCDESTROY:
        if (hwnd == g_application) g_application = nullptr;
        break;
    }
    return DefWindowProc932(hwnd, msg, wp, lp);
}

}  // namespace

bool CreateApplicationWindow(HINSTANCE instance, const std::string& title) {
    if (g_application) return true;
    WindowClass932 wc;
    wc.name = "TApplication";
    wc.proc = ApplicationProc;
    wc.instance = instance;
    wc.icon = LoadIcon932(instance, IDI_APP);
    wc.cursor = LoadCursor932(nullptr, IDC_ARROW);
    if (!RegisterClass932(wc)) return false;
    // Shown but without size: a taskbar button and nothing on the screen.
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2, y = GetSystemMetrics(SM_CYSCREEN) / 2;
    g_application = CreateWindowEx932(0, "TApplication", title, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                      x, y, 0, 0, nullptr, nullptr, instance);
    if (!g_application) return false;
    ShowWindow(g_application, SW_SHOWNOACTIVATE);
    return true;
}

HWND ApplicationWindow() { return g_application; }

static bool RegisterDialogClass(HINSTANCE instance, const char* name, HICON icon) {
    WindowClass932 wc;  // no procedure: the dialog manager's
    wc.name = name;
    wc.style = CS_DBLCLKS | CS_SAVEBITS;
    wc.instance = instance;
    wc.icon = icon;
    wc.cursor = LoadCursor932(nullptr, IDC_ARROW);
    wc.background = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    return RegisterClass932(wc);
}

bool RegisterFormClasses(HINSTANCE instance) {
    HICON icon = LoadIcon932(instance, IDI_APP);
    bool ok = RegisterDialogClass(instance, "TfrmBack", icon);
    ok = RegisterDialogClass(instance, "TfrmMain", icon) && ok;
    ok = RegisterDialogClass(instance, "TfrmStatus", icon) && ok;
    ok = RegisterDialogClass(instance, "TfrmCustomDlg", icon) && ok;
    ok = RegisterGaugeClass(instance) && ok;
    ok = RegisterGradBoxClass(instance) && ok;
    return ok;
}
