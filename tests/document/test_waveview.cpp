#include "document/WaveView.h"

#include <gtest/gtest.h>

using namespace velda;

TEST(WaveView, ScrollStepFollowsThePointCount) {
    struct Case {
        int32_t n, step;
    } cases[] = {{1024, 1}, {32768, 1}, {32769, 1}, {49152, 2}, {65536, 2}, {40960, 1}};
    // 49152 / 32768 = 1.5 rounds to the even 2; 40960 / 32768 = 1.25 rounds to 1.
    for (const Case& c : cases)
        EXPECT_EQ(ViewState::XScrollStepFor(c.n), c.step) << c.n;
}

TEST(WaveView, HorizontalZoomSetsPageAndRange) {
    struct Case {
        int32_t n;
        int k, value;
        int max, page, viewStart, viewEnd;
        bool enabled;
    } cases[] = {
        {65536, 1, 0, 16384, 16384, 0, 32768, true},
        {65536, 1, 100, 16384, 16384, 200, 32968, true},
        {32768, 7, 0, 32512, 256, 0, 256, true},
        {32768, 7, 40000, 32512, 256, 32512, 32768, true}, // value beyond the maximum
        {1000, 3, 10, 875, 125, 10, 135, true},
        {65536, 0, 500, 32768, 1, 0, 65536, false},
    };
    for (const Case& c : cases) {
        ViewState v;
        v.reset(c.n);
        const ScrollBarSetting s = v.zoomX(c.k, c.value, c.n);
        EXPECT_EQ(s.enabled, c.enabled) << c.n << " 1:" << (1 << c.k);
        EXPECT_EQ(v.ViewXStart, c.viewStart) << c.n << " 1:" << (1 << c.k);
        EXPECT_EQ(v.ViewXEnd, c.viewEnd) << c.n << " 1:" << (1 << c.k);
        if (c.enabled) {
            EXPECT_EQ(s.maximum, c.max) << c.n << " 1:" << (1 << c.k);
            EXPECT_EQ(s.pageStep, c.page) << c.n << " 1:" << (1 << c.k);
        } else {
            EXPECT_EQ(s.value, 0);
        }
    }
}

TEST(WaveView, HorizontalScrollMovesByTheScrollStep) {
    ViewState v;
    v.reset(65536);
    v.zoomX(1, 0, 65536);
    EXPECT_FALSE(v.scrollX(0, 65536));
    EXPECT_TRUE(v.scrollX(1, 65536));
    EXPECT_EQ(v.ViewXStart, 2);
    EXPECT_EQ(v.ViewXEnd, 2 + 32768);
}

TEST(WaveView, VerticalZoomFromTheFullViewCentresOnTheMiddle) {
    ViewState v;
    v.reset(1000);
    const ScrollBarSetting s = v.zoomY(1, 0);
    EXPECT_EQ(s.value, 8192);
    EXPECT_EQ(v.ViewYStart, 16384);
    EXPECT_EQ(v.ViewYEnd, 49151);
    EXPECT_EQ(v.middleWord(), 0); // -1 is shown as 0
    EXPECT_TRUE(s.enabled);
    EXPECT_EQ(s.maximum, 32767 - 16383);
}

TEST(WaveView, VerticalZoomKeepsTheCentreOfTheOldView) {
    struct Case {
        int fromK, scroll, toK;
        int expectedValue;
    } cases[] = {
        // 1:4 scrolled to the top (value 1 keeps it off the "centre" rule), then 1:8.
        {2, 1, 3, 2049},
        // Scrolled to the bottom of 1:2, then 1:256: stays at the bottom.
        {1, 16384, 8, 24512},
    };
    for (const Case& c : cases) {
        ViewState v;
        v.reset(1000);
        v.zoomY(c.fromK, 0);
        v.scrollY(c.scroll);
        const double centre = (v.ViewYEnd - v.ViewYStart) / 2.0 + v.ViewYStart;
        const ScrollBarSetting s = v.zoomY(c.toK, c.scroll);
        EXPECT_EQ(s.value, c.expectedValue);
        // The new view's centre is within one scroll unit of the old centre.
        const double newCentre = (v.ViewYEnd - v.ViewYStart) / 2.0 + v.ViewYStart;
        if (s.value > 0 && s.value < s.maximum) {
            EXPECT_NEAR(newCentre, centre, 2.0 + 1.0);
        }
    }
}

TEST(WaveView, VerticalZoomBackToOneToOneShowsTheWholeScale) {
    ViewState v;
    v.reset(1000);
    v.zoomY(5, 0);
    const ScrollBarSetting s = v.zoomY(0, 1234);
    EXPECT_FALSE(s.enabled);
    EXPECT_EQ(s.value, 0);
    EXPECT_EQ(v.ViewYStart, 0);
    EXPECT_EQ(v.ViewYEnd, 65534);
}

TEST(WaveView, PixelMappingsAreInverse) {
    ViewState v;
    v.reset(1000);
    const int w = 800, h = 600;
    for (double p : {0.0, 1.0, 250.0, 999.0, 1000.0})
        EXPECT_NEAR(v.PixelToPointX(v.pointToPixelXExact(p, w, 1000), w), p, 1e-9);
    for (double word : {32767.0, 0.0, -32767.0, 1234.0})
        EXPECT_NEAR(v.PixelToWordY(v.wordToPixelYExact(word, h), h), word, 1e-9);
    EXPECT_EQ(v.WordToPixelY(32767, h), 0);
    EXPECT_EQ(v.WordToPixelY(-32767, h), h - 1); // the bottom edge on the last row
    EXPECT_EQ(v.PointToPixelX(-50, w, 1000), 0); // clamped to the waveform
    EXPECT_EQ(v.PointToPixelX(5000, w, 1000), 800);
    EXPECT_EQ(v.zeroRow(h), 300);
}

TEST(WaveView, MarkerColumns) {
    ViewState v;
    v.reset(1000);
    const int w = 800;
    struct Case {
        double x;
        int column;
    } cases[] = {
        {0, 0}, {1000, 799}, {0.4, 1}, {500, 400}, {-1, -1}, {1000.5, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(v.markerColumn(c.x, w), c.column) << c.x;
    v.zoomX(2, 100, 1000); // view 100..350
    EXPECT_EQ(v.markerColumn(50, w), -1);
    EXPECT_EQ(v.markerColumn(350, w), 799); // exactly at the view's end: last column
}
