#include "ui/Gauge.h"

#include <gtest/gtest.h>

#include <commctrl.h>

TEST(GaugeText, PercentOfTheClampedValue) {
    EXPECT_EQ(GaugeText(0), "0%");
    EXPECT_EQ(GaugeText(42), "42%");
    EXPECT_EQ(GaugeText(100), "100%");
    EXPECT_EQ(GaugeText(150), "100%");
    EXPECT_EQ(GaugeText(-3), "0%");
}

TEST(GaugeBarWidth, ProportionalToTheValue) {
    EXPECT_EQ(GaugeBarWidth(369, 0), 0);
    EXPECT_EQ(GaugeBarWidth(369, 50), 184);
    EXPECT_EQ(GaugeBarWidth(369, 100), 369);
    EXPECT_EQ(GaugeBarWidth(369, 250), 369);
    EXPECT_EQ(GaugeBarWidth(0, 50), 0);
}

TEST(TGauge, WindowKeepsAClampedValueAndDrawsANavyBar) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    ASSERT_TRUE(RegisterGaugeClass(instance));
    HWND gauge = CreateWindowExA(0, "TGauge", "", WS_POPUP, 0, 0, 100, 17, nullptr, nullptr, instance, nullptr);
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(GaugeProgress(gauge), 0);
    SetGaugeProgress(gauge, 40);
    EXPECT_EQ(GaugeProgress(gauge), 40);
    EXPECT_EQ(SendMessageA(gauge, PBM_SETPOS, 500, 0), 40);  // returns the old value
    EXPECT_EQ(GaugeProgress(gauge), 100);
    SetGaugeProgress(gauge, -7);
    EXPECT_EQ(GaugeProgress(gauge), 0);

    SetGaugeProgress(gauge, 40);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateCompatibleBitmap(screen, 100, 17);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bmp);
    SendMessageA(gauge, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
    EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 0, 128));    // bar, left of the text
    EXPECT_EQ(GetPixel(dc, 39, 1), RGB(0, 0, 128));   // last bar column
    EXPECT_EQ(GetPixel(dc, 40, 1), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(dc, 98, 15), RGB(255, 255, 255));
    // The centred text leaves navy pixels in the white part.
    bool textFound = false;
    for (int x = 41; x < 70 && !textFound; ++x)
        for (int y = 2; y < 15 && !textFound; ++y) textFound = GetPixel(dc, x, y) == RGB(0, 0, 128);
    EXPECT_TRUE(textFound);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    DestroyWindow(gauge);
}
