#include "engine/wavelb32.h"
#include "engine/wavelb32_draw.h"

#include <QImage>
#include <QPainter>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using namespace velda;

namespace {

// The colours the main window passes (0xBBGGRR) and what they look like.
constexpr int32_t kTrace = 0xFF0000; // light blue
constexpr int32_t kBackBgr = 0x000000;
constexpr int32_t kSelect = 0xFFFF00; // light cyan
const QColor kBlue(0, 0, 255);
const QColor kBlack(0, 0, 0);
const QColor kCyan(0, 255, 255);

struct Buffer {
    explicit Buffer(int n) : h(W_AllocMemory(n)) {}
    ~Buffer() { W_FreeMemory(h); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    void fill(const std::function<int(int)>& f) const {
        auto w = engine::bufferWords(h);
        for (size_t i = 0; i < w.size(); ++i)
            w[i] = static_cast<int16_t>(f(static_cast<int>(i)));
    }
    WaveHandle h;
};

struct View {
    double first = 0;
    double count = 800;
    int32_t bitCount = 16;
    int32_t selMask = 0;
    double startX = -1; // markers off the view unless set
    double endX = -1;
    int width = 800;
    int height = 490; // 49 units of 10 pixels: traces at 10 + 30 t
};

QImage drawDigital(WaveHandle h, const View& v) {
    QImage img(v.width, v.height, QImage::Format_ARGB32_Premultiplied);
    img.fill(kBlack);
    QPainter p(&img);
    W_DrawDigitalPattern(&p, h, v.first, v.count, v.bitCount, v.selMask, v.startX, v.endX, v.width,
                         v.height, kTrace, kBackBgr, kSelect, 0x8000);
    return img;
}

int highRow(int t) {
    return 10 + 30 * t + 5;
}
int lowRow(int t) {
    return 10 + 30 * t + 24;
}

} // namespace

TEST(DigitalLayout, MatchesTheMouseRowFormula) {
    // The window finds the trace under row y as Int((y - Round_Up(u)) / Int(3u)).
    for (int height : {100, 300, 490, 600, 777, 1000}) {
        const engine::DigitalLayout l = engine::digitalLayout(height);
        ASSERT_TRUE(l.usable);
        const double u = height / 49.0;
        for (int t = 0; t < 16; ++t) {
            for (int dy : {0, l.highOffset, l.lowOffset, l.traceHeight - 1}) {
                const int y = l.traceTop(t) + dy;
                const int k = static_cast<int>(std::floor((y - std::ceil(u)) / std::floor(3 * u)));
                EXPECT_EQ(k, t) << "height " << height << " row " << y;
            }
            EXPECT_LT(l.highOffset, l.lowOffset);
        }
        EXPECT_LE(l.traceTop(16), height);
    }
    EXPECT_FALSE(engine::digitalLayout(40).usable);
    EXPECT_FALSE(engine::digitalLayout(0).usable);
}

TEST(DrawDigitalPattern, TracesFollowTheBitsOfAKnownPattern) {
    Buffer b(800);
    b.fill([](int i) { return i < 400 ? 0x00FF : 0x7F00; });
    const QImage img = drawDigital(b.h, View{});
    for (int t = 0; t < 16; ++t) {
        const int bit = 15 - t; // the top trace is the top bit
        for (int x : {100, 600}) {
            const int word = x < 400 ? 0x00FF : 0x7F00;
            const bool high = (word >> bit) & 1;
            EXPECT_EQ(img.pixelColor(x, highRow(t)), high ? kBlue : kBlack)
                << "trace " << t << " column " << x;
            EXPECT_EQ(img.pixelColor(x, lowRow(t)), high ? kBlack : kBlue)
                << "trace " << t << " column " << x;
        }
        // An edge joins the levels where the bit changes, and only there.
        const bool changes = ((0x00FF ^ 0x7F00) >> bit) & 1;
        EXPECT_EQ(img.pixelColor(400, 10 + 30 * t + 15), changes ? kBlue : kBlack) << "trace " << t;
        EXPECT_EQ(img.pixelColor(300, 10 + 30 * t + 15), kBlack);
    }
    // The first row unit and the gaps between traces stay empty.
    EXPECT_EQ(img.pixelColor(100, 3), kBlack);
    EXPECT_EQ(img.pixelColor(100, 10 + 30 * 3 + 28), kBlack);
}

TEST(DrawDigitalPattern, SelectedBitsUnusedBitsAndMarkedArea) {
    Buffer b(800);
    b.fill([](int) { return 0x0F0F; });
    View v;
    v.selMask = 0x0100; // bit 8: trace 7
    v.bitCount = 12;    // bits 0..3 (traces 12..15) unused by the model
    v.startX = 200;
    v.endX = 300;
    const QImage img = drawDigital(b.h, v);
    // Selected trace (bit 8, high) in the selection colour.
    EXPECT_EQ(img.pixelColor(100, highRow(7)), kCyan);
    EXPECT_EQ(img.pixelColor(100, lowRow(7)), kBlack);
    // Used bits in the trace colour: bit 11 (trace 4) high, bit 4 (trace 11) low.
    EXPECT_EQ(img.pixelColor(100, highRow(4)), kBlue);
    EXPECT_EQ(img.pixelColor(100, lowRow(11)), kBlue);
    // Unused bits still show their level, dimmed.
    for (int t = 12; t < 16; ++t) {
        const QColor c = img.pixelColor(100, highRow(t)); // bits 0..3 are high
        EXPECT_NE(c, kBlue) << t;
        EXPECT_NE(c, kBlack) << t;
        EXPECT_EQ(img.pixelColor(100, lowRow(t)), kBlack) << t;
    }
    // The area between the markers, columns 200..300, is tinted.
    EXPECT_EQ(img.pixelColor(199, 3), kBlack);
    EXPECT_NE(img.pixelColor(200, 3), kBlack);
    EXPECT_NE(img.pixelColor(250, 3), kBlack);
    EXPECT_NE(img.pixelColor(300, 3), kBlack);
    EXPECT_EQ(img.pixelColor(301, 3), kBlack);
    EXPECT_NE(img.pixelColor(250, 486), kBlack); // over the full height
    // Traces are drawn over the tint.
    EXPECT_EQ(img.pixelColor(250, highRow(4)), kBlue);
}

TEST(DrawDigitalPattern, AreaPartlyOutsideTheViewIsCutToIt) {
    Buffer b(800);
    View v;
    v.first = 100;
    v.count = 400;
    v.startX = 0;
    v.endX = 200; // columns 0..200 of 800
    const QImage img = drawDigital(b.h, v);
    EXPECT_NE(img.pixelColor(0, 3), kBlack);
    EXPECT_NE(img.pixelColor(200, 3), kBlack);
    EXPECT_EQ(img.pixelColor(201, 3), kBlack);
    v.startX = 600; // wholly right of the view
    v.endX = 700;
    EXPECT_EQ(drawDigital(b.h, v).pixelColor(799, 3), kBlack);
}

TEST(DrawDigitalPattern, BitsChangingWithinAColumnFillTheTrace) {
    // 65,536 points on 1600 columns: bit 0 toggles every point, bit 15 never.
    Buffer b(65536);
    b.fill([](int i) { return i & 1; });
    View v;
    v.count = 65536;
    v.width = 1600;
    const QImage img = drawDigital(b.h, v);
    for (int x : {0, 777, 1599}) {
        for (int y = highRow(15); y <= lowRow(15); ++y)
            ASSERT_EQ(img.pixelColor(x, y), kBlue) << x << "," << y;
        EXPECT_EQ(img.pixelColor(x, highRow(0) + 5), kBlack);
        EXPECT_EQ(img.pixelColor(x, lowRow(0)), kBlue);
    }
}

TEST(DrawDigitalPattern, FewPointsSpreadOverTheColumns) {
    // 8 points on 800 columns: 100 columns each; bit 15 alternates.
    Buffer b(8);
    b.fill([](int i) { return (i % 2) ? -1 : 0; });
    View v;
    v.count = 8;
    const QImage img = drawDigital(b.h, v);
    EXPECT_EQ(img.pixelColor(50, lowRow(0)), kBlue);
    EXPECT_EQ(img.pixelColor(150, highRow(0)), kBlue);
    EXPECT_EQ(img.pixelColor(150, lowRow(0)), kBlack);
    EXPECT_EQ(img.pixelColor(100, highRow(0) + 10), kBlue); // the edge
    EXPECT_EQ(img.pixelColor(99, highRow(0) + 10), kBlack);
    EXPECT_EQ(img.pixelColor(799, highRow(0)), kBlue);
}

TEST(DrawDigitalPattern, DrawsNothingOutsideTheBufferOrOnATinySurface) {
    Buffer b(100);
    b.fill([](int) { return -1; });
    View v;
    v.first = 50;
    v.count = 100; // points 100..149 do not exist
    const QImage img = drawDigital(b.h, v);
    EXPECT_EQ(img.pixelColor(200, highRow(0)), kBlue);
    EXPECT_EQ(img.pixelColor(600, highRow(0)), kBlack);
    v.height = 40; // traces would be under 3 pixels high
    v.first = 0;
    const QImage tiny = drawDigital(b.h, v);
    for (int y = 0; y < 40; ++y)
        EXPECT_EQ(tiny.pixelColor(10, y), kBlack);
    View none;
    EXPECT_EQ(drawDigital(0, none).pixelColor(100, highRow(0)), kBlack);
}
