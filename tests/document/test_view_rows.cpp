// The view's rows on every surface height: the zero line, a curve of zeros,
// the grid's middle line and the pointer's read-out must land on one row,
// whatever height the layout gives the surface.
#include "document/Grid.h"
#include "document/WaveView.h"
#include "engine/wavelb32.h"
#include "engine/wavelb32_draw.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace velda;

namespace {

const QColor kBack(0, 0, 0);
constexpr int kWidth = 3;

std::vector<int> litRows(const QImage& img, int x) {
    std::vector<int> rows;
    for (int y = 0; y < img.height(); ++y)
        if (img.pixelColor(x, y) != kBack)
            rows.push_back(y);
    return rows;
}

template <typename Draw> std::vector<int> drawnRows(int h, Draw&& draw) {
    QImage img(kWidth, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(kBack);
    {
        QPainter p(&img);
        p.setPen(Qt::white);
        draw(p);
    }
    return litRows(img, 1);
}

struct ZeroBuffer {
    explicit ZeroBuffer(int n) : h(W_AllocMemory(n)), n(n) {}
    ~ZeroBuffer() { W_FreeMemory(h); }
    ZeroBuffer(const ZeroBuffer&) = delete;
    ZeroBuffer& operator=(const ZeroBuffer&) = delete;
    WaveHandle h;
    int n;
};

struct NamedView {
    std::string name;
    ViewState view;
};

// Every vertical zoom, centred as the zoom list leaves it, and scrolled to
// the top and to the bottom of the scale (where word 0 leaves the view).
std::vector<NamedView> views() {
    std::vector<NamedView> out;
    for (int k = 0; k <= 8; ++k) {
        ViewState v;
        v.reset(1000);
        const ScrollBarSetting s = v.zoomY(k, 0);
        out.push_back({"zoom " + std::to_string(k) + " centred", v});
        if (k == 0)
            continue;
        v.scrollY(0);
        out.push_back({"zoom " + std::to_string(k) + " top", v});
        v.scrollY(s.maximum);
        out.push_back({"zoom " + std::to_string(k) + " bottom", v});
        // One scroll unit off centre: word 0 falls inside a row, not on an edge.
        v.scrollY(s.value + 1);
        out.push_back({"zoom " + std::to_string(k) + " off centre", v});
    }
    return out;
}

} // namespace

TEST(ViewRows, ZeroLineFlatCurveAndReadOutAgreeOnEveryHeight) {
    const ZeroBuffer sparse(kWidth); // one point per column: the polyline
    const ZeroBuffer dense(1000);    // many points per column: the min..max lines
    for (const NamedView& nv : views()) {
        const ViewState& v = nv.view;
        const double y0 = v.ViewYStart;
        const double span = v.ViewYEnd - v.ViewYStart;
        for (int h = 1; h <= 1200; ++h) {
            SCOPED_TRACE(nv.name + ", height " + std::to_string(h));
            const auto line = drawnRows(h, [&](QPainter& p) {
                if (v.zeroLineShown(h))
                    W_DrawGrid2(&p, y0, span, kWidth, h);
            });
            const auto fewPoints = drawnRows(h, [&](QPainter& p) {
                W_DrawWave2(&p, sparse.h, 0, y0, sparse.n, span, kWidth, h);
            });
            const auto manyPoints = drawnRows(
                h, [&](QPainter& p) { W_DrawWave2(&p, dense.h, 0, y0, dense.n, span, kWidth, h); });
            ASSERT_EQ(line, fewPoints);
            ASSERT_EQ(line, manyPoints);
            ASSERT_LE(line.size(), 1u);
            if (line.empty()) {
                EXPECT_FALSE(v.rows(h).onSurface(static_cast<int>(v.zeroRow(h))));
                continue;
            }
            const int r = line.front();
            ASSERT_EQ(v.zeroRow(h), r);
            // Anywhere on that row the pointer reads a word drawn on that row,
            // the nearest to 0 a row of span / h words can show.
            for (double f : {0.0, 0.5, 0.999}) {
                const double word = v.PointerWordY(r + f, h);
                ASSERT_EQ(v.WordToPixelY(word, h), r) << f;
                ASSERT_LE(std::abs(word), span / h / 2 + 1e-9) << f;
            }
            if (v.YZoom == 1) {
                // The grid's middle line of the whole scale is word 0's row.
                Grid g;
                g.setYCount(2);
                g.setXCount(0);
                ASSERT_EQ(drawnRows(h, [&](QPainter& p) { g.Drow(&p, kWidth, h); }),
                          std::vector<int>{r});
            }
        }
    }
}

TEST(ViewRows, EveryRowReadsAWordDrawnOnThatRow) {
    for (const NamedView& nv : views()) {
        const ViewState& v = nv.view;
        for (int h : {1, 2, 3, 7, 599, 600, 601, 1023, 1200}) {
            for (int r = 0; r < h; ++r) {
                const double word = v.PointerWordY(r + 0.25, h);
                ASSERT_EQ(v.WordToPixelY(word, h), r) << nv.name << ", height " << h;
            }
        }
    }
}

TEST(ViewRows, TheBottomEdgeOfTheSpanIsTheLastRow) {
    struct Case {
        double word;
        int row;
    } cases[] = {{32767, 0}, {-32767, 599}, {0, 300}, {32768, -1}, {-32768, 600}};
    ViewState v;
    v.reset(1000);
    for (const Case& c : cases)
        EXPECT_EQ(v.WordToPixelY(c.word, 600), c.row) << c.word;
    // A pointer below the last row still reads the bottom word's row.
    EXPECT_EQ(v.WordToPixelY(v.PointerWordY(600, 600), 600), 599);
}
