#include "ui/GradBox.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// Every pixel of the extent lies in exactly one band, in order.
void ExpectTiles(const std::vector<GradBand>& bands, int extent) {
    int next = 0;
    for (const GradBand& b : bands) {
        EXPECT_EQ(b.offset, next);
        EXPECT_GT(b.size, 0);
        next = b.offset + b.size;
    }
    EXPECT_EQ(next, extent);
}

}  // namespace

TEST(GradientBands, BackgroundWindowShows130StripsFromBlueToBlack) {
    // 260 pixels / 129 = 2.02 -> bands of 2: exactly 130 strips.
    auto bands = GradientBands(kBlue, kBlack, 128, 260);
    ASSERT_EQ(bands.size(), 130u);
    ExpectTiles(bands, 260);
    EXPECT_EQ(bands.front().color, kBlue);
    EXPECT_EQ(bands.back().color, kBlack);
    for (const GradBand& b : bands) EXPECT_EQ(b.size, 2);
    // Strictly darker downwards in the first steps: 255 - round(255/129*i).
    EXPECT_EQ(bands[1].color, RGB(0, 0, 253));   // 1.977 -> 2
    EXPECT_EQ(bands[64].color, RGB(0, 0, 128));  // 126.51 -> 127
    EXPECT_EQ(bands[128].color, RGB(0, 0, 2));   // 252.98 -> 253
}

TEST(GradientBands, TenPixelsShowOnlyTheFirstTenColoursInOnePixelBands) {
    auto bands = GradientBands(kBlue, kBlack, 128, 10);
    ASSERT_EQ(bands.size(), 10u);
    ExpectTiles(bands, 10);
    for (size_t i = 0; i < bands.size(); ++i) {
        EXPECT_EQ(bands[i].size, 1);
        int expected = 255 - static_cast<int>(std::nearbyint(255.0 / 129 * static_cast<double>(i)));
        EXPECT_EQ(bands[i].color, RGB(0, 0, expected)) << i;
    }
}

TEST(GradientBands, ShortBandsLeaveTheRestInTheLastColour) {
    // 300 / 129 = 2.33 -> 2: 130 bands cover 260, 40 pixels of end colour follow.
    auto bands = GradientBands(kBlue, kBlack, 128, 300);
    ExpectTiles(bands, 300);
    ASSERT_EQ(bands.size(), 131u);
    EXPECT_EQ(bands.back().offset, 260);
    EXPECT_EQ(bands.back().size, 40);
    EXPECT_EQ(bands.back().color, kBlack);
}

TEST(GradientBands, LongBandsAreCutAtTheEdge) {
    // 1000 / 129 = 7.75 -> 8: the bands would reach 1040.
    auto bands = GradientBands(kBlue, kBlack, 128, 1000);
    ExpectTiles(bands, 1000);
    EXPECT_EQ(bands[0].size, 8);
    EXPECT_EQ(bands.size(), 125u);  // 124 whole bands and 8 pixels of the 125th
    EXPECT_EQ(bands.back().size, 8);
}

TEST(GradientBands, HalvesRoundToEven) {
    // Band size: 5 / 2 = 2.5 -> 2; 3 / 2 = 1.5 -> 2; 7 / 2 = 3.5 -> 4.
    EXPECT_EQ(GradientBands(kBlack, kBlack, 1, 5)[0].size, 2);
    EXPECT_EQ(GradientBands(kBlack, kBlack, 1, 3)[0].size, 2);
    EXPECT_EQ(GradientBands(kBlack, kBlack, 1, 7)[0].size, 4);
    // Channel: 0 + 5 / 2 * 1 = 2.5 -> 2; 0 + 7 / 2 * 1 = 3.5 -> 4.
    auto five = GradientBands(RGB(0, 0, 0), RGB(5, 7, 3), 1, 45);  // bands of 22
    ASSERT_GE(five.size(), 3u);
    EXPECT_EQ(five[1].color, RGB(2, 4, 2));  // 1.5 -> 2 for blue too
    EXPECT_EQ(five[2].color, RGB(5, 7, 3));
}

TEST(GradientBands, StepOf255CountsTo256InsteadOfWrapping) {
    // In byte arithmetic 255 + 1 is 0: a division by zero. 256 steps here.
    auto bands = GradientBands(RGB(255, 255, 255), kBlack, 255, 514);
    ExpectTiles(bands, 514);
    ASSERT_EQ(bands.size(), 257u);
    EXPECT_EQ(bands[0].size, 2);  // 514 / 256 = 2.007
    EXPECT_EQ(bands[0].color, RGB(255, 255, 255));
    EXPECT_EQ(bands[256].color, kBlack);
    std::set<COLORREF> distinct;
    for (const GradBand& b : bands) distinct.insert(b.color);
    EXPECT_EQ(distinct.size(), 256u);  // steps of 255/256 collide only once
}

TEST(GradientBands, NothingForAnEmptyControl) {
    EXPECT_TRUE(GradientBands(kBlue, kBlack, 128, 0).empty());
    EXPECT_TRUE(GradientBands(kBlue, kBlack, 128, -5).empty());
}

TEST(TGradBox, DefaultsAndChangeEvents) {
    TGradBox box;
    EXPECT_EQ(box.StartColor(), RGB(255, 255, 255));
    EXPECT_EQ(box.EndColor(), kBlack);
    EXPECT_EQ(box.GradStep(), 128);
    EXPECT_EQ(box.Direction(), gdVertical);

    int changes = 0;
    box.OnChange = [&] { ++changes; };
    box.SetStartColor(kBlue);
    box.SetEndColor(kBlack);  // same value still repaints
    box.SetGradStep(64);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(box.RepaintCount(), 3);

    box.SetDirection(gdVertical);  // unchanged: no repaint, no event
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(box.RepaintCount(), 3);
    box.SetDirection(gdHorizontal);
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(box.Direction(), gdHorizontal);
}

namespace {

// Paints the box into a 32-bit memory bitmap and reads pixels back.
class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h) {
        HDC screen = GetDC(nullptr);
        dc_ = CreateCompatibleDC(screen);
        bitmap_ = CreateCompatibleBitmap(screen, w, h);
        ReleaseDC(nullptr, screen);
        old_ = SelectObject(dc_, bitmap_);
    }
    ~Canvas() {
        SelectObject(dc_, old_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    RECT rect() const { return RECT{0, 0, w_, h_}; }
    COLORREF at(int x, int y) const { return GetPixel(dc_, x, y); }

private:
    int w_, h_;
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

}  // namespace

TEST(TGradBox, PaintsVerticalAndHorizontalBands) {
    TGradBox box;
    box.SetStartColor(kBlue);
    box.SetEndColor(kBlack);
    Canvas canvas(40, 260);
    box.Paint(canvas.dc(), canvas.rect());
    EXPECT_EQ(canvas.at(0, 0), kBlue);
    EXPECT_EQ(canvas.at(39, 1), kBlue);
    EXPECT_EQ(canvas.at(20, 2), RGB(0, 0, 253));
    EXPECT_EQ(canvas.at(20, 259), kBlack);

    box.SetDirection(gdHorizontal);
    Canvas wide(260, 10);
    box.Paint(wide.dc(), wide.rect());
    EXPECT_EQ(wide.at(0, 9), kBlue);
    EXPECT_EQ(wide.at(2, 5), RGB(0, 0, 253));
    EXPECT_EQ(wide.at(259, 0), kBlack);
}

TEST(TGradBox, OverlayIsDrawnAfterTheBands) {
    TGradBox box;
    box.SetStartColor(kBlue);
    box.OnPaintOver = [](HDC dc) { SetPixel(dc, 5, 5, RGB(255, 0, 0)); };
    Canvas canvas(20, 20);
    box.Paint(canvas.dc(), canvas.rect());
    EXPECT_EQ(canvas.at(5, 5), RGB(255, 0, 0));
    EXPECT_EQ(canvas.at(0, 0), kBlue);
}
