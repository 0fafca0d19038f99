#include "ui/GradBox.h"

#include "platform/Handles.h"
#include "platform/Win932.h"

#include <algorithm>
#include <cmath>

std::vector<GradBand> GradientBands(COLORREF start, COLORREF end, int gradStep, int extent) {
    std::vector<GradBand> bands;
    if (extent <= 0) return bands;
    // In int: with a step of 255 the count must be 256, not a wrapped 0.
    const int steps = std::max(gradStep, 0) + 1;
    int band = static_cast<int>(std::nearbyint(static_cast<double>(extent) / steps));  // halves to even
    if (band == 0) band = 1;

    auto channel = [steps](int from, int to, int i) {
        double delta = static_cast<double>(to - from) / steps * i;
        return std::clamp(from + static_cast<int>(std::nearbyint(delta)), 0, 255);
    };
    auto colorAt = [&](int i) {
        return RGB(channel(GetRValue(start), GetRValue(end), i), channel(GetGValue(start), GetGValue(end), i),
                   channel(GetBValue(start), GetBValue(end), i));
    };

    int covered = 0;
    for (int i = 0; i <= steps; ++i) {
        long long offset = static_cast<long long>(i) * band;
        if (offset >= extent) break;
        int size = static_cast<int>(std::min<long long>(band, extent - offset));
        bands.push_back({static_cast<int>(offset), size, colorAt(i)});
        covered = static_cast<int>(offset) + size;
    }
    if (covered < extent) bands.push_back({covered, extent - covered, colorAt(steps)});
    return bands;
}

void TGradBox::Attach(HWND control) {
    hwnd_ = control;
    if (hwnd_) {
        SetWindowLongPtr932(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        InvalidateRect(hwnd_, nullptr, FALSE);
    }
}

void TGradBox::SetStartColor(COLORREF c) {
    start_ = c;
    Changed();
}

void TGradBox::SetEndColor(COLORREF c) {
    end_ = c;
    Changed();
}

void TGradBox::SetGradStep(unsigned char step) {
    step_ = step;
    Changed();
}

void TGradBox::SetDirection(TGradDirection d) {
    if (d == dir_) return;
    dir_ = d;
    Changed();
}

void TGradBox::Changed() {
    ++repaints_;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
    if (OnChange) OnChange();
}

void TGradBox::Paint(HDC dc, const RECT& client) const {
    const int width = client.right - client.left, height = client.bottom - client.top;
    // Colours the surface cannot show exactly are replaced by its nearest.
    COLORREF start = GetNearestColor(dc, start_);
    COLORREF end = GetNearestColor(dc, end_);
    const bool vertical = dir_ == gdVertical;
    for (const GradBand& b : GradientBands(start, end, step_, vertical ? height : width)) {
        RECT r = client;
        if (vertical) {
            r.top = client.top + b.offset;
            r.bottom = r.top + b.size;
        } else {
            r.left = client.left + b.offset;
            r.right = r.left + b.size;
        }
        GdiObject brush(CreateSolidBrush(b.color));
        FillRect(dc, &r, static_cast<HBRUSH>(brush.get()));
    }
    if (OnPaintOver) OnPaintOver(dc);
}

LRESULT CALLBACK TGradBox::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<TGradBox*>(GetWindowLongPtr932(hwnd, GWLP_USERDATA));
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT rc;
        GetClientRect(hwnd, &rc);
        // Drawn off screen first, so labels over the bands never flicker.
        MemoryDC memory(CreateCompatibleDC(dc));
        HDC mem = memory.get();
        GdiObject bitmap(CreateCompatibleBitmap(dc, std::max<LONG>(rc.right, 1), std::max<LONG>(rc.bottom, 1)));
        if (mem && bitmap) {
            HGDIOBJ old = SelectObject(mem, bitmap.get());
            if (self) {
                self->Paint(mem, rc);
            } else {
                FillRect(mem, &rc, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
            }
            BitBlt(dc, 0, 0, rc.right, rc.bottom, mem, 0, 0, SRCCOPY);
            SelectObject(mem, old);
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_NCDESTROY:
        if (self && self->hwnd_ == hwnd) self->hwnd_ = nullptr;
        break;
    }
    return DefWindowProc932(hwnd, msg, wp, lp);
}

bool RegisterGradBoxClass(HINSTANCE instance) {
    WindowClass932 wc;
    wc.name = "TGradBox";
    wc.proc = &TGradBox::WndProc;
    wc.instance = instance;
    wc.cursor = LoadCursor932(nullptr, IDC_ARROW);
    return RegisterClass932(wc);
}
