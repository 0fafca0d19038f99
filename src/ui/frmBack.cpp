#include "ui/frmBack.h"

#include "platform/SystemLibraries.h"
#include "platform/Win932.h"
#include "session/SessionStart.h"
#include "ui/Fonts.h"
#include "ui/Forms.h"
#include "ui/VersionText.h"
#include "ui/frmMain.h"
#include "ui/resource.h"

#include <commctrl.h>

namespace {

constexpr UINT WM_RV_SHOWWIZARD = WM_APP + 1;
constexpr UINT WM_RV_RESIZE = WM_APP + 2;

struct TitleLabel {
    int id;
    COLORREF color;
    bool banner;
};
// Painting order: each shadow before the text it sits behind.
constexpr TitleLabel kLabels[] = {
    {IDC_lblBackTitle2, RGB(0, 128, 0), false},
    {IDC_lblBackTitle1, RGB(255, 255, 255), false},
    {IDC_lblPrgTitle2, RGB(0, 0, 255), true},
    {IDC_lblPrgTitle1, RGB(255, 255, 255), true},
};

// The labels are windows only so that they can be found, moved and read;
// the gradient box paints them. Any change to one repaints the box under it.
LRESULT CALLBACK LabelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_SETTEXT:
    case WM_SETFONT:
    case WM_WINDOWPOSCHANGED:
    case WM_SHOWWINDOW: {
        LRESULT r = syslib::DefSubclassProc(hwnd, msg, wp, lp);
        if (HWND box = GetDlgItem(GetParent(hwnd), IDC_GradBox)) InvalidateRect(box, nullptr, FALSE);
        return r;
    }
    }
    return syslib::DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

std::string TfrmBack::ProgramFileVersion() {
    const std::string path = ModulePath();
    return path.empty() ? std::string() : ReadFileVersionString(path);
}

void TfrmBack::OnInit() {
    showingWizard_ = false;  // a window made anew shows the wizard anew
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtr932(Handle(), GWLP_HINSTANCE));
    // The application's icon on the class, so the taskbar shows it.
    SetClassLongPtr932(Handle(), GCLP_HICON, reinterpret_cast<LONG_PTR>(LoadIcon932(instance, IDI_APP)));

    titleFont_.reset(CreateGothicFont(32, true));
    bannerFont_.reset(CreateMinchoFont(16, true));
    for (const TitleLabel& l : kLabels) {
        HWND h = Item(l.id);
        if (!h) continue;
        SendMessage932(h, WM_SETFONT, reinterpret_cast<WPARAM>(l.banner ? bannerFont_.get() : titleFont_.get()), FALSE);
        syslib::SetWindowSubclass(h, LabelProc, 1, 0);
    }
    SetBounds(IDC_lblBackTitle1, Scaled(16), Scaled(16), ClientWidth() - Scaled(24), MeasureText(IDC_lblBackTitle1).cy);
    SetBounds(IDC_lblBackTitle2, Scaled(18), Scaled(18), ClientWidth() - Scaled(24), MeasureText(IDC_lblBackTitle2).cy);

    // Design values, set before the change event is wired so that creating
    // the window does not already start the wizard.
    grad_.Attach(Item(IDC_GradBox));
    grad_.SetStartColor(RGB(0, 0, 255));
    grad_.SetEndColor(RGB(0, 0, 0));
    grad_.SetGradStep(128);
    grad_.SetDirection(gdVertical);
    grad_.OnPaintOver = [this](HDC dc) { PaintLabels(dc); };
    grad_.OnChange = [this] { FormResize(); };
}

void TfrmBack::PaintLabels(HDC dc) const {
    SetBkMode(dc, TRANSPARENT);
    for (const TitleLabel& l : kLabels) {
        HWND h = Item(l.id);
        if (!h || !IsShown(l.id)) continue;
        std::string text = GetText(l.id);
        if (text.empty()) continue;
        RECT r = Bounds(l.id);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessage932(h, WM_GETFONT, 0, 0)));
        SetTextColor(dc, l.color);
        DrawText932(dc, text, r, DT_LEFT | DT_NOPREFIX | DT_EXPANDTABS);
        SelectObject(dc, old);
    }
}

void TfrmBack::FormResize() {
    HWND h = Handle();
    // Only a shown window in the normal state: creating it, maximising it
    // and the wizard's own lifetime all leave this alone.
    if (!h || !IsWindowVisible(h) || IsZoomed(h) || IsIconic(h) || showingWizard_) return;
    SetCaption(VersionCaption(ProgramFileVersion()));
    RECT t = Bounds(IDC_lblBackTitle1);
    SetBounds(IDC_lblBackTitle2, t.left + Scaled(2), t.top + Scaled(2), t.right - t.left, t.bottom - t.top);
    showingWizard_ = true;
    ShowWindow(h, SW_MAXIMIZE);
    // The wizard's modal loop runs from a message of its own, not nested in
    // the size message that brought us here.
    PostMessage932(h, WM_RV_SHOWWIZARD, 0, 0);
}

// The wizard's end is the program's end. Its windows are not hidden or
// destroyed one by one: where the window system waits for a window manager
// to confirm each of them (Wine without one waits 2 s a window), that kept a
// frozen window on screen for seconds while a second start was still turned
// away. The process ends right after, and takes every window with it at once.
void TfrmBack::ShowWizard() {
    frmMain().ShowModal(ModalEnd::StayShown);
    PostQuitMessage(0);
}

void TfrmBack::CloseRequested() { PostQuitMessage(0); }

bool TfrmBack::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
    switch (msg) {
    case WM_SIZE:
        // The gradient box fills the client area whatever the state.
        if (HWND box = Item(IDC_GradBox)) MoveWindow(box, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        if (wp == SIZE_RESTORED) FormResize();
        result = 0;
        return true;
    case WM_SHOWWINDOW:
        // A window shown at its created size gets no size message of its own.
        if (wp) PostMessage932(Handle(), WM_RV_RESIZE, 0, 0);
        return false;
    case WM_RV_RESIZE:
        FormResize();
        result = 0;
        return true;
    case WM_RV_SHOWWIZARD:
        ShowWizard();
        result = 0;
        return true;
    case WM_CTLCOLORDLG:
        // The form's own colour is black: it shows wherever the gradient box
        // has not caught up yet (while the window is being resized).
        result = reinterpret_cast<LRESULT>(GetStockObject(BLACK_BRUSH));
        return true;
    }
    return false;
}
