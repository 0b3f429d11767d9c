#include "engine/wavelb32.h"
#include "engine/wavelb32_draw.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <random>
#include <vector>

using namespace velda;

namespace {

const QColor kBack(0, 0, 0);
const QColor kPen(255, 255, 255);

struct Buffer {
    explicit Buffer(int n) : h(W_AllocMemory(n)) {}
    ~Buffer() { W_FreeMemory(h); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    std::span<int16_t> words() const { return engine::bufferWords(h); }
    void fill(const std::function<int(int)>& f) const {
        auto w = words();
        for (size_t i = 0; i < w.size(); ++i)
            w[i] = static_cast<int16_t>(f(static_cast<int>(i)));
    }
    WaveHandle h;
};

QImage blank(int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(kBack);
    return img;
}

QImage drawWave(WaveHandle h, double first, double yStart, double count, double ySpan, int w,
                int ht, bool throughEnd = false) {
    QImage img = blank(w, ht);
    QPainter p(&img);
    p.setPen(kPen);
    W_DrawWave2(&p, h, first, yStart, count, ySpan, w, ht, throughEnd);
    p.end();
    return img;
}

bool lit(const QImage& img, int x, int y) {
    return img.pixelColor(x, y) != kBack;
}

// Rows of column x that are drawn, top to bottom.
std::vector<int> litRows(const QImage& img, int x) {
    std::vector<int> rows;
    for (int y = 0; y < img.height(); ++y)
        if (lit(img, x, y))
            rows.push_back(y);
    return rows;
}

int topmostLitRow(const QImage& img) {
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (lit(img, x, y))
                return y;
    return -1;
}

int bottommostLitRow(const QImage& img) {
    for (int y = img.height() - 1; y >= 0; --y)
        for (int x = 0; x < img.width(); ++x)
            if (lit(img, x, y))
                return y;
    return -1;
}

// The view's own mapping, written out independently of the engine.
int wordRow(int word, double yStart, double ySpan, int h) {
    return static_cast<int>(std::floor((32767.0 - word - yStart) * h / ySpan));
}

} // namespace

// --- analog curve -----------------------------------------------------------

class SpikeAtFullView : public ::testing::TestWithParam<int> {};

TEST_P(SpikeAtFullView, SinglePointSpikeShowsAt1To1On800Pixels) {
    const int at = GetParam();
    Buffer b(65536);
    b.fill([&](int i) { return i == at ? 32767 : (i == (at + 30000) % 65536 ? -32767 : 0); });
    const QImage img = drawWave(b.h, 0, 0, 65536, 65534, 800, 600);
    const int col = static_cast<int>(std::floor(at * 800.0 / 65536));
    EXPECT_TRUE(lit(img, col, 0)) << "positive spike lost at column " << col;
    const int low = (at + 30000) % 65536;
    const int lowCol = static_cast<int>(std::floor(low * 800.0 / 65536));
    EXPECT_TRUE(lit(img, lowCol, 599)) << "negative spike lost at column " << lowCol;
    // The rest is the flat zero level, not smeared over the surface.
    const int far = (col + 400) % 800;
    if (std::abs(far - lowCol) > 2) {
        EXPECT_EQ(litRows(img, far), std::vector<int>{300});
    }
}

INSTANTIATE_TEST_SUITE_P(Positions, SpikeAtFullView,
                         ::testing::Values(0, 1, 81, 12345, 32768, 40961, 65534, 65535));

TEST(DrawWave2, SineExtremesLandOnTheirRows) {
    Buffer b(65536);
    b.fill([](int i) {
        return static_cast<int>(std::lround(30000 * std::sin(2 * std::numbers::pi * i / 65536)));
    });
    const QImage img = drawWave(b.h, 0, 0, 65536, 65534, 1600, 600);
    EXPECT_EQ(topmostLitRow(img), wordRow(30000, 0, 65534, 600));     // 25
    EXPECT_EQ(bottommostLitRow(img), wordRow(-30000, 0, 65534, 600)); // 574
    // The peak is at a quarter of the width, the trough at three quarters.
    EXPECT_TRUE(lit(img, 400, 25));
    EXPECT_TRUE(lit(img, 1200, 574));
    EXPECT_FALSE(lit(img, 1200, 25));
    // Every column is drawn: a curve has no holes.
    for (int x = 0; x < 1600; ++x)
        ASSERT_FALSE(litRows(img, x).empty()) << "column " << x;
}

struct LevelCase {
    int word;
    double yStart;
    double ySpan;
};

class LevelRows : public ::testing::TestWithParam<LevelCase> {};

TEST_P(LevelRows, ConstantLevelLandsOnTheMappedRowAtEveryZoom) {
    const LevelCase c = GetParam();
    Buffer b(65536);
    b.fill([&](int) { return c.word; });
    const int expected = std::min(wordRow(c.word, c.yStart, c.ySpan, 600), 599);
    for (double count : {65536.0, 512.0}) { // min/max columns and polyline
        const QImage img = drawWave(b.h, 1000, c.yStart, count, c.ySpan, 1600, 600);
        EXPECT_EQ(litRows(img, 800), std::vector<int>{expected}) << "count " << count;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Levels, LevelRows,
    ::testing::Values(LevelCase{32767, 0, 65534}, LevelCase{0, 0, 65534},
                      LevelCase{-32767, 0, 65534}, // bottom of the scale on the last row
                      LevelCase{8000, 16384, 32767}, LevelCase{0, 16384, 32767},
                      LevelCase{-16383, 16384, 32767}, LevelCase{100, 32512, 255}));

TEST(DrawWave2, WordsOutsideAZoomedSpanAreNotDrawn) {
    Buffer b(65536);
    b.fill([](int) { return 30000; });
    const QImage img = drawWave(b.h, 0, 16384, 65536, 32767, 800, 600);
    EXPECT_EQ(topmostLitRow(img), -1);
}

TEST(DrawWave2, HighZoomDrawsThePolylineThroughEachPoint) {
    Buffer b(65536);
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> d(-32767, 32767);
    b.fill([&](int) { return d(rng); });
    const double first = 20000;
    const int n = 8;
    const QImage img = drawWave(b.h, first, 0, n, 65534, 800, 600);
    const auto w = b.words();
    for (int j = 0; j < n; ++j) {
        const int x = 100 * j;
        const int y = wordRow(w[static_cast<size_t>(first) + j], 0, 65534, 600);
        EXPECT_TRUE(lit(img, x, std::min(y, 599))) << "point " << j;
    }
    // Between two points the line passes the interpolated row (within a pixel).
    for (int j = 0; j + 1 < n; ++j) {
        const int y0 = wordRow(w[static_cast<size_t>(first) + j], 0, 65534, 600);
        const int y1 = wordRow(w[static_cast<size_t>(first) + j + 1], 0, 65534, 600);
        const int x = 100 * j + 50;
        const double mid = (y0 + y1) / 2.0;
        bool near = false;
        for (int y : litRows(img, x))
            near = near || std::abs(y - mid) <= 1.0;
        EXPECT_TRUE(near) << "segment " << j;
    }
    // Nothing beyond the last point: the view shows exactly n points...
    EXPECT_TRUE(litRows(img, 790).empty());
    // ...unless the caller says the next one exists: the curve then runs on
    // to it at the right edge.
    const QImage closed = drawWave(b.h, first, 0, n, 65534, 800, 600, true);
    const int yLast = wordRow(w[static_cast<size_t>(first) + n - 1], 0, 65534, 600);
    const int yNext = wordRow(w[static_cast<size_t>(first) + n], 0, 65534, 600);
    bool near = false;
    for (int y : litRows(closed, 750))
        near = near || std::abs(y - (yLast + yNext) / 2.0) <= 1.0;
    EXPECT_TRUE(near);
    // At the end of the buffer there is no next point to draw to.
    EXPECT_TRUE(litRows(drawWave(b.h, 65536 - n, 0, n, 65534, 800, 600, true), 790).empty());
}

TEST(DrawWave2, ViewReachingPastTheBufferDrawsOnlyExistingPoints) {
    Buffer b(1000);
    b.fill([](int) { return 32767; });
    const QImage img = drawWave(b.h, 500, 0, 1000, 65534, 1000, 600);
    EXPECT_TRUE(lit(img, 10, 0));
    EXPECT_TRUE(lit(img, 499, 0));
    EXPECT_TRUE(litRows(img, 700).empty());
    // A view starting before the buffer.
    const QImage img2 = drawWave(b.h, -500, 0, 1000, 65534, 1000, 600);
    EXPECT_TRUE(litRows(img2, 100).empty());
    EXPECT_TRUE(lit(img2, 700, 0));
}

TEST(DrawWave2, RefusesBadArgumentsWithoutDrawing) {
    Buffer b(100);
    b.fill([](int) { return 1000; });
    const double nan = std::nan("");
    EXPECT_EQ(topmostLitRow(drawWave(0, 0, 0, 100, 65534, 100, 100)), -1);
    EXPECT_EQ(topmostLitRow(drawWave(b.h, 0, 0, 0, 65534, 100, 100)), -1);
    EXPECT_EQ(topmostLitRow(drawWave(b.h, 0, 0, -5, 65534, 100, 100)), -1);
    EXPECT_EQ(topmostLitRow(drawWave(b.h, 0, 0, 100, 0, 100, 100)), -1);
    EXPECT_EQ(topmostLitRow(drawWave(b.h, nan, 0, 100, 65534, 100, 100)), -1);
    EXPECT_EQ(topmostLitRow(drawWave(b.h, 0, 0, nan, 65534, 100, 100)), -1);
    QImage img = blank(100, 100);
    QPainter p(&img);
    p.setPen(kPen);
    W_DrawWave2(&p, b.h, 0, 0, 100, 65534, 0, 100);
    W_DrawWave2(&p, b.h, 0, 0, 100, 65534, 100, -1);
    W_DrawWave2(&p, b.h, 0, 0, 100, 65534, 1 << 30, 100); // no gigabyte of columns
    p.end();
    EXPECT_EQ(topmostLitRow(img), -1);
    W_DrawWave2(nullptr, b.h, 0, 0, 100, 65534, 100, 100); // no painter: nothing
}

TEST(DrawWave2, LeavesThePainterAsItFoundIt) {
    Buffer b(100);
    QImage img = blank(100, 100);
    QPainter p(&img);
    const QPen pen(QColor(1, 2, 3), 3);
    p.setPen(pen);
    p.setBrush(Qt::red);
    W_DrawWave2(&p, b.h, 0, 0, 100, 65534, 100, 100);
    EXPECT_EQ(p.pen(), pen);
    EXPECT_EQ(p.brush().color(), QColor(Qt::red));
}

// --- other surfaces ----------------------------------------------------------
// A plain image is filled directly; pixmaps, printers and transformed or
// clipped painters go through QPainter. Both must give the same curve.

QImage drawOnPixmap(WaveHandle h, double first, double count, int w, int ht) {
    QPixmap pm(w, ht);
    pm.fill(kBack);
    QPainter p(&pm);
    p.setPen(kPen);
    W_DrawWave2(&p, h, first, 0, count, 65534, w, ht);
    p.end();
    return pm.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

class AnySurface : public ::testing::TestWithParam<int> {};

TEST_P(AnySurface, PixmapShowsTheSameMinMaxColumnsAsAnImage) {
    Buffer b(65536);
    std::mt19937 rng(static_cast<unsigned>(GetParam()));
    std::uniform_int_distribution<int> noise(-32767, 32767);
    switch (GetParam()) {
    case 0: // noise: long columns
        b.fill([&](int) { return noise(rng); });
        break;
    case 1: // a sine with a little noise: short, moving columns
        b.fill([&](int i) {
            return static_cast<int>(20000 * std::sin(i / 3000.0)) + noise(rng) / 200;
        });
        break;
    default: // a square wave with single-point spikes
        b.fill([](int i) { return (i / 5000) % 2 ? 20000 : -20000 + (i % 977 == 0 ? 30000 : 0); });
        break;
    }
    for (double count : {65536.0, 8192.0}) {
        const QImage direct = drawWave(b.h, 0, 0, count, 65534, 800, 300);
        const QImage painted = drawOnPixmap(b.h, 0, count, 800, 300);
        ASSERT_EQ(direct, painted) << "count " << count;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, AnySurface, ::testing::Values(0, 1, 2));

TEST(DrawWave2, PolylineOnAPixmapPassesThroughThePoints) {
    Buffer b(100);
    b.fill([](int i) { return (i * 7919) % 60000 - 30000; });
    const QImage img = drawOnPixmap(b.h, 10, 16, 800, 600);
    const auto w = b.words();
    for (int j = 0; j < 16; ++j)
        EXPECT_TRUE(lit(img, 50 * j, std::min(wordRow(w[10 + j], 0, 65534, 600), 599))) << j;
}

TEST(DrawWave2, HonoursThePaintersTransformAndClip) {
    Buffer b(65536);
    b.fill([](int) { return 0; }); // row 300 of 600
    for (double count : {65536.0, 100.0}) {
        QImage img = blank(800, 600);
        QPainter p(&img);
        p.setPen(kPen);
        p.translate(0, 10);
        W_DrawWave2(&p, b.h, 0, 0, count, 65534, 800, 600);
        p.resetTransform();
        p.setClipRect(0, 0, 400, 600);
        W_DrawWave2(&p, b.h, 0, 0, count, 65534, 800, 600);
        p.end();
        EXPECT_EQ(litRows(img, 200), (std::vector<int>{300, 310})) << count;
        EXPECT_EQ(litRows(img, 600), std::vector<int>{310}) << count;
    }
}

TEST(DrawWave2, TranslucentPenIsBlendedNotWritten) {
    Buffer b(65536);
    QImage img = blank(800, 600);
    QPainter p(&img);
    p.setPen(QColor(255, 255, 255, 128));
    W_DrawWave2(&p, b.h, 0, 0, 65536, 65534, 800, 600);
    p.end();
    const QColor c = img.pixelColor(100, 300);
    EXPECT_GT(c.red(), 100);
    EXPECT_LT(c.red(), 160);
}

// --- zero line and preview grid ---------------------------------------------

struct ZeroCase {
    double yStart;
    double ySpan;
    int row; // -1: not drawn
};

class ZeroLine : public ::testing::TestWithParam<ZeroCase> {};

TEST_P(ZeroLine, DrawnOnTheRowOfAZeroCurve) {
    const ZeroCase c = GetParam();
    QImage img = blank(400, 600);
    QPainter p(&img);
    p.setPen(kPen);
    W_DrawGrid2(&p, c.yStart, c.ySpan, 400, 600);
    p.end();
    if (c.row < 0) {
        EXPECT_EQ(topmostLitRow(img), -1);
        return;
    }
    for (int x : {0, 200, 399})
        EXPECT_EQ(litRows(img, x), std::vector<int>{c.row});
    // The same row as a curve of zeros.
    Buffer b(1000);
    const QImage curve = drawWave(b.h, 0, c.yStart, 1000, c.ySpan, 400, 600);
    EXPECT_EQ(litRows(curve, 200), std::vector<int>{c.row});
}

INSTANTIATE_TEST_SUITE_P(Spans, ZeroLine,
                         ::testing::Values(ZeroCase{0, 65534, 300}, ZeroCase{16384, 32767, 299},
                                           ZeroCase{32767, 32767, 0},
                                           ZeroCase{0, 32767, 599}, // word 0 at the bottom edge
                                           ZeroCase{0, 16383, -1}, ZeroCase{40000, 100, -1}));

TEST(DrawGrid, PreviewGridInTheGivenColour) {
    QImage img = blank(500, 400);
    QPainter p(&img);
    W_DrawGrid(&p, 0x0080FF, 500, 400); // 0xBBGGRR: orange
    p.end();
    const QColor orange(0xFF, 0x80, 0x00);
    for (int i = 1; i < 8; ++i)
        EXPECT_EQ(img.pixelColor(25, 50 * i), orange) << "row " << 50 * i;
    for (int j = 1; j < 10; ++j)
        EXPECT_EQ(img.pixelColor(50 * j, 25), orange) << "column " << 50 * j;
    EXPECT_EQ(img.pixelColor(25, 25), kBack);
    EXPECT_EQ(img.pixelColor(25, 51), kBack);
}

TEST(BgrColor, ConvertsBothWays) {
    EXPECT_EQ(engine::bgrColor(0xFF0000), QColor(0, 0, 255));
    EXPECT_EQ(engine::bgrColor(0x0000FF), QColor(255, 0, 0));
    EXPECT_EQ(engine::bgrColor(0xFFFF00), QColor(0, 255, 255));
    EXPECT_EQ(engine::bgrColor(0x123456), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(engine::toBgr(QColor(0x56, 0x34, 0x12)), 0x123456u);
}

TEST(MarkerColumn, RoundsUpAndKeepsTheLastColumn) {
    EXPECT_EQ(engine::markerColumn(0, 0, 1000, 800), 0);
    EXPECT_EQ(engine::markerColumn(1, 0, 1000, 800), 1);      // 0.8 up to 1
    EXPECT_EQ(engine::markerColumn(500, 0, 1000, 800), 400);  // whole
    EXPECT_EQ(engine::markerColumn(1000, 0, 1000, 800), 799); // view end: last column
    EXPECT_EQ(engine::markerColumn(1001, 0, 1000, 800), -1);  // outside
    EXPECT_EQ(engine::markerColumn(99, 100, 1000, 800), -1);
    EXPECT_EQ(engine::markerColumn(150, 100, 100, 800), 400);
}

// --- bit entry points -------------------------------------------------------

TEST(ReverseBit, Table) {
    const struct {
        int32_t in, out;
    } cases[] = {{0x0000, 0x0000},  {0x0001, 0x8000}, {0x8000, 0x0001},
                 {0x00FF, 0xFF00},  {0x1234, 0x2C48}, {0xFFFF, 0xFFFF},
                 {0x10000, 0x0000}, {-1, 0xFFFF},     {0x0002, 0x4000}};
    for (const auto& c : cases)
        EXPECT_EQ(reverse_bit(c.in), c.out) << std::hex << c.in;
    for (int32_t v = 0; v < 65536; ++v)
        ASSERT_EQ(reverse_bit(reverse_bit(v)), v);
    // Trace k of the digital view is data bit 15 - k.
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(reverse_bit(1 << k), 1 << (15 - k));
}

TEST(CopyBitDigital, CopiesTheSourceBitOverTheAreaOnly) {
    Buffer b(100);
    b.fill([](int i) { return (i % 3 == 0) ? 0x4000 : 0x0000; });
    const int changed = W_CopyBitDigital(b.h, 10, 20, 0x4000, 0x0001);
    const auto w = b.words();
    int expectChanged = 0;
    for (int i = 0; i < 100; ++i) {
        const bool src = i % 3 == 0;
        const bool inArea = i >= 10 && i < 30;
        const int want = (src ? 0x4000 : 0) | (inArea && src ? 1 : 0);
        expectChanged += inArea && src;
        EXPECT_EQ(w[static_cast<size_t>(i)], want) << "point " << i;
    }
    EXPECT_EQ(changed, expectChanged);
}

TEST(CopyBitDigital, ClearsDestinationBitsAndNeverLeavesTheScale) {
    Buffer b(10);
    b.fill([](int) { return 0x7FFF; }); // bit 15 clear, the others set
    W_CopyBitDigital(b.h, 0, 10, 0x8000, 0x0F00);
    for (int16_t w : b.words())
        EXPECT_EQ(w, 0x70FF);
    // 0x8001 (-32767) with bit 0 cleared would be -32768: clipped to the scale.
    b.fill([](int) { return -32767; });
    W_CopyBitDigital(b.h, 0, 10, 0x0002, 0x0001);
    for (int16_t w : b.words())
        EXPECT_EQ(w, -32767);
}

TEST(CopyBitDigital, IgnoresEmptyMasksAndClipsTheRun) {
    Buffer b(10);
    b.fill([](int) { return 0x0001; });
    EXPECT_EQ(W_CopyBitDigital(b.h, 0, 10, 0, 0x0002), 0);
    EXPECT_EQ(W_CopyBitDigital(b.h, 0, 10, 0x0001, 0x10000), 0); // bit 16 is no bit of a word
    EXPECT_EQ(W_CopyBitDigital(b.h, 5, 1000, 0x0001, 0x0002), 5);
    EXPECT_EQ(W_CopyBitDigital(0, 0, 10, 1, 2), 0);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(b.words()[static_cast<size_t>(i)], i < 5 ? 1 : 3);
}
