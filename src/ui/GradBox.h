#pragma once
// TGradBox: a control that fills itself with bands of colour from StartColor
// to EndColor; the band arithmetic is a pure function so it can be tested.
#include <windows.h>

#include <functional>
#include <vector>

enum TGradDirection { gdHorizontal, gdVertical };

struct GradBand {
    int offset;      // pixels from the top (vertical) or left (horizontal)
    int size;        // band thickness in pixels
    COLORREF color;
};

// The bands of a gradient over extent pixels with gradStep steps: gradStep+2
// bands of equal size extent/(gradStep+1) (rounded half to even, at least 1),
// channel i = start + (end-start)/(gradStep+1)*i rounded half to even. When
// the bands end short of the extent a last band fills the rest in the last
// colour. Bands lying wholly beyond the extent are left out.
std::vector<GradBand> GradientBands(COLORREF start, COLORREF end, int gradStep, int extent);

// Registers the window class "TGradBox" whose windows a TGradBox attaches to.
bool RegisterGradBoxClass(HINSTANCE instance);

class TGradBox {
public:
    // Attaches to the control window (class "TGradBox") of a dialog.
    void Attach(HWND control);
    HWND Handle() const { return hwnd_; }

    COLORREF StartColor() const { return start_; }
    COLORREF EndColor() const { return end_; }
    int GradStep() const { return step_; }
    TGradDirection Direction() const { return dir_; }
    // Setting a colour or the step repaints and fires OnChange; setting the
    // direction does so only when it changes.
    void SetStartColor(COLORREF c);
    void SetEndColor(COLORREF c);
    void SetGradStep(unsigned char step);
    void SetDirection(TGradDirection d);

    std::function<void()> OnChange;
    // Drawn over the gradient in the same paint (the owner's labels).
    std::function<void(HDC)> OnPaintOver;
    // Number of repaints requested through the properties so far.
    int RepaintCount() const { return repaints_; }

    // Paints gradient and overlay into dc over the given client rectangle.
    void Paint(HDC dc, const RECT& client) const;

private:
    void Changed();
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    friend bool RegisterGradBoxClass(HINSTANCE instance);
    HWND hwnd_ = nullptr;
    COLORREF start_ = RGB(255, 255, 255);
    COLORREF end_ = RGB(0, 0, 0);
    int step_ = 128;
    TGradDirection dir_ = gdVertical;
    int repaints_ = 0;
};
