#include "engine/draw_spans.h"

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <utility>

using velda::engine::ColumnSpans;

namespace {

using Pixels = std::set<std::pair<int, int>>; // (x, y)

Pixels columnPixels(const ColumnSpans& s) {
    Pixels p;
    for (int c = 0; c < s.width(); ++c) {
        int t = 0, b = 0;
        if (s.column(c, t, b))
            for (int y = t; y <= b; ++y)
                p.insert({c, y});
    }
    return p;
}

Pixels sweptPixels(const ColumnSpans& s, int64_t& runs) {
    Pixels p;
    runs = s.sweep(s.width(), s.height(), [&](int y, int x0, int x1) {
        EXPECT_LE(x0, x1);
        for (int x = x0; x <= x1; ++x)
            EXPECT_TRUE(p.insert({x, y}).second) << "pixel filled twice";
    });
    return p;
}

ColumnSpans randomSpans(unsigned seed, int maxLen) {
    std::mt19937 rng(seed);
    ColumnSpans s(60, 40);
    for (int c = 0; c < 60; ++c) {
        if (rng() % 7 == 0)
            continue;                                    // an empty column
        const int t = static_cast<int>(rng() % 60) - 10; // partly above and below
        s.add(c, t, t + static_cast<int>(rng() % static_cast<unsigned>(maxLen)));
    }
    return s;
}

void paint(QPaintDevice& device, const ColumnSpans& s) {
    QPainter p(&device);
    velda::engine::fillSpans(&p, s, QColor(10, 200, 30));
}

// Nearly full-height columns, like noise at 1:1: long row runs.
ColumnSpans tallSpans(unsigned seed) {
    std::mt19937 rng(seed);
    ColumnSpans s(60, 40);
    for (int c = 0; c < 60; ++c)
        s.add(c, static_cast<int>(rng() % 6) - 2, 34 + static_cast<int>(rng() % 9));
    return s;
}

QImage onImage(const ColumnSpans& s) {
    QImage img(s.width(), s.height(), QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::black);
    paint(img, s);
    return img;
}

QImage onPixmap(const ColumnSpans& s) {
    QPixmap pm(s.width(), s.height());
    pm.fill(Qt::black);
    paint(pm, s);
    return pm.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

Pixels lit(const QImage& img) {
    Pixels p;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) != QColor(Qt::black))
                p.insert({x, y});
    return p;
}

} // namespace

TEST(ColumnSpans, SweepFillsExactlyTheColumnsCutToTheSurface) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        const ColumnSpans s =
            seed % 4 ? randomSpans(seed, 1 + static_cast<int>(seed % 50)) : tallSpans(seed);
        int64_t runs = 0;
        const Pixels expected = columnPixels(s);
        EXPECT_EQ(sweptPixels(s, runs), expected) << "seed " << seed;
        EXPECT_EQ(runs, s.runs()) << "seed " << seed;
        EXPECT_EQ(static_cast<int64_t>(expected.size()), s.pixels());
        for (const auto& [x, y] : expected) {
            ASSERT_GE(y, 0);
            ASSERT_LT(y, 40);
        }
    }
}

TEST(ColumnSpans, AddWidensAColumnAndIgnoresColumnsOutside) {
    ColumnSpans s(4, 100);
    s.add(1, 50, 40);
    s.add(1, 60, 60);
    s.add(-1, 0, 99);
    s.add(4, 0, 99);
    int t = 0, b = 0;
    ASSERT_TRUE(s.column(1, t, b));
    EXPECT_EQ(t, 40);
    EXPECT_EQ(b, 60);
    EXPECT_FALSE(s.column(0, t, b));
    EXPECT_FALSE(s.column(4, t, b));
    s.add(2, -500, -1); // wholly above the surface
    EXPECT_FALSE(s.column(2, t, b));
    EXPECT_EQ(s.pixels(), 21);
}

TEST(ColumnSpans, LinesAreConnectedAndEndOnTheirPoints) {
    const struct {
        int xa, ya, xb, yb;
    } lines[] = {{0, 0, 10, 0}, {0, 0, 10, 50}, {2, 40, 5, 3},  {0, 10, 1, 90},
                 {7, 7, 7, 30}, {10, 90, 0, 5}, {-5, 0, 20, 99}};
    for (const auto& l : lines) {
        ColumnSpans s(12, 100);
        s.addLine(l.xa, l.ya, l.xb, l.yb);
        int t = 0, b = 0;
        for (const auto& [x, y] : {std::pair{l.xa, l.ya}, std::pair{l.xb, l.yb}}) {
            if (x < 0 || x >= 12)
                continue;
            ASSERT_TRUE(s.column(x, t, b));
            EXPECT_TRUE(t <= y && y <= b) << x << "," << y;
        }
        // Neighbouring columns share or touch rows: no gaps in the line.
        const int from = std::max(std::min(l.xa, l.xb), 0);
        const int to = std::min(std::max(l.xa, l.xb), 11);
        for (int x = from; x < to; ++x) {
            int t2 = 0, b2 = 0;
            ASSERT_TRUE(s.column(x, t, b));
            ASSERT_TRUE(s.column(x + 1, t2, b2));
            EXPECT_TRUE(t2 <= b + 1 && t <= b2 + 1) << "gap between columns " << x;
        }
    }
}

TEST(FillSpans, ImageAndPixmapGiveTheSamePixelsEitherWay) {
    // Short spans (filled column by column) and long ones (row by row).
    for (int maxLen : {2, 3, 40, 0}) {
        for (unsigned seed = 1; seed <= 5; ++seed) {
            const ColumnSpans s = maxLen ? randomSpans(seed * 97, maxLen) : tallSpans(seed);
            const Pixels expected = columnPixels(s);
            EXPECT_EQ(lit(onImage(s)), expected) << maxLen << "/" << seed;
            EXPECT_EQ(lit(onPixmap(s)), expected) << maxLen << "/" << seed;
        }
    }
    // Make sure both ways were taken above.
    const ColumnSpans thin = randomSpans(97, 2);
    const ColumnSpans tall = tallSpans(1);
    EXPECT_GT(thin.runs() * 4, thin.pixels());
    EXPECT_LE(tall.runs() * 4, tall.pixels());
}

TEST(FillSpans, ImageSmallerThanTheSpansIsNotOverrun) {
    ColumnSpans rows(100, 100), columns(100, 100);
    for (int c = 0; c < 100; ++c) {
        rows.add(c, 0, 99);
        columns.add(c, c % 2 ? 0 : 50, c % 2 ? 49 : 99); // no row runs longer than 1
    }
    ASSERT_GT(columns.runs() * 4, columns.pixels());
    for (const ColumnSpans* s : {&rows, &columns}) {
        QImage img(50, 30, QImage::Format_ARGB32_Premultiplied);
        img.fill(Qt::black);
        paint(img, *s);
        for (const auto& [x, y] : lit(img))
            EXPECT_TRUE(x < 50 && y < 30);
        EXPECT_EQ(lit(img).size(), s == &rows ? 50u * 30u : 25u * 30u);
    }
}
