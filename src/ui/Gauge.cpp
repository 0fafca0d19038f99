#include "ui/Gauge.h"

#include "platform/Handles.h"
#include "platform/Win932.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace {

constexpr COLORREF kForeColor = RGB(0, 0, 128);  // navy
constexpr COLORREF kBackColor = RGB(255, 255, 255);

int Clamp(int percent) { return std::clamp(percent, 0, 100); }

void PaintGauge(HWND hwnd, HDC dc) {
    RECT rc;
    GetClientRect(hwnd, &rc);
    int percent = static_cast<int>(GetWindowLongPtr932(hwnd, GWLP_USERDATA));
    RECT bar = rc;
    bar.right = rc.left + GaugeBarWidth(rc.right - rc.left, percent);
    RECT rest = rc;
    rest.left = bar.right;

    GdiObject fore(CreateSolidBrush(kForeColor));
    GdiObject back(CreateSolidBrush(kBackColor));
    FillRect(dc, &bar, static_cast<HBRUSH>(fore.get()));
    FillRect(dc, &rest, static_cast<HBRUSH>(back.get()));

    // The text shows white where the bar lies under it, navy elsewhere.
    std::string text = GaugeText(percent);
    HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessage932(GetParent(hwnd), WM_GETFONT, 0, 0)));
    SetBkMode(dc, TRANSPARENT);
    const UINT fmt = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    int saved = SaveDC(dc);
    IntersectClipRect(dc, bar.left, bar.top, bar.right, bar.bottom);
    SetTextColor(dc, kBackColor);
    RECT r1 = rc;
    DrawText932(dc, text, r1, fmt);
    RestoreDC(dc, saved);
    saved = SaveDC(dc);
    IntersectClipRect(dc, rest.left, rest.top, rest.right, rest.bottom);
    SetTextColor(dc, kForeColor);
    RECT r2 = rc;
    DrawText932(dc, text, r2, fmt);
    RestoreDC(dc, saved);
    SelectObject(dc, oldFont);
}

LRESULT CALLBACK GaugeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case PBM_SETPOS: {
        LRESULT old = GetWindowLongPtr932(hwnd, GWLP_USERDATA);
        int value = Clamp(static_cast<int>(wp));
        if (value != old) {
            SetWindowLongPtr932(hwnd, GWLP_USERDATA, value);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return old;
    }
    case PBM_GETPOS:
        return GetWindowLongPtr932(hwnd, GWLP_USERDATA);
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        PaintGauge(hwnd, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        PaintGauge(hwnd, reinterpret_cast<HDC>(wp));
        return 0;
    case WM_GETDLGCODE:
        return DLGC_STATIC;
    }
    return DefWindowProc932(hwnd, msg, wp, lp);
}

}  // namespace

std::string GaugeText(int percent) {
    return std::to_string(Clamp(percent)) + "%";
}

int GaugeBarWidth(int clientWidth, int percent) {
    if (clientWidth <= 0) return 0;
    return static_cast<int>(static_cast<long long>(clientWidth) * Clamp(percent) / 100);
}

bool RegisterGaugeClass(HINSTANCE instance) {
    WindowClass932 wc;
    wc.name = "TGauge";
    wc.proc = GaugeProc;
    wc.instance = instance;
    wc.cursor = LoadCursor932(nullptr, IDC_ARROW);
    return RegisterClass932(wc);
}

void SetGaugeProgress(HWND gauge, int percent) {
    if (gauge) SendMessage932(gauge, PBM_SETPOS, static_cast<WPARAM>(Clamp(percent)), 0);
}

int GaugeProgress(HWND gauge) { return gauge ? static_cast<int>(SendMessage932(gauge, PBM_GETPOS, 0, 0)) : 0; }
