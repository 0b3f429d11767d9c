#include "document/Grid.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>
#include <set>

using velda::Grid;

namespace {

const QColor kBack(0, 0, 0);

QImage drow(const Grid& g, int w, int h) {
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(kBack);
    QPainter p(&img);
    g.Drow(&p, w, h);
    return img;
}

// Rows drawn in column x and columns drawn in row y.
std::set<int> rowsAt(const QImage& img, int x) {
    std::set<int> s;
    for (int y = 0; y < img.height(); ++y)
        if (img.pixelColor(x, y) != kBack)
            s.insert(y);
    return s;
}
std::set<int> columnsAt(const QImage& img, int y) {
    std::set<int> s;
    for (int x = 0; x < img.width(); ++x)
        if (img.pixelColor(x, y) != kBack)
            s.insert(x);
    return s;
}

// A grid with four distinct colours (0xBBGGRR) so each line's role shows.
Grid coloured() {
    Grid g;
    g.setYLineColor(0x0000FF);   // red
    g.setYCenterColor(0x00FF00); // green
    g.setXLineColor(0xFF0000);   // blue
    g.setXCenterColor(0x00FFFF); // yellow
    return g;
}
const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kYellow(255, 255, 0);

} // namespace

TEST(Grid, Defaults) {
    const Grid g;
    EXPECT_EQ(g.XCount(), 10);
    EXPECT_EQ(g.YCount(), 8);
    EXPECT_EQ(g.XCenterColor(), 0xD0D0D0);
    EXPECT_EQ(g.YCenterColor(), 0xD0D0D0);
    EXPECT_EQ(g.XLineColor(), 0xD0D0D0);
    EXPECT_EQ(g.YLineColor(), 0xD0D0D0);
    const QImage img = drow(g, 800, 600);
    EXPECT_EQ(img.pixelColor(40, 75), QColor(0xD0, 0xD0, 0xD0));
}

TEST(Grid, LinesAtTheDivisionsWithCentreColours) {
    const QImage img = drow(coloured(), 800, 600);
    EXPECT_EQ(rowsAt(img, 40), (std::set<int>{75, 150, 225, 300, 375, 450, 525}));
    EXPECT_EQ(columnsAt(img, 40), (std::set<int>{80, 160, 240, 320, 400, 480, 560, 640, 720}));
    for (int y : {75, 150, 225, 375, 450, 525}) {
        EXPECT_EQ(img.pixelColor(40, y), kRed) << y;
        EXPECT_EQ(img.pixelColor(0, y), kRed) << "full width";
        EXPECT_EQ(img.pixelColor(799, y), kRed) << "full width";
    }
    EXPECT_EQ(img.pixelColor(40, 300), kGreen);
    EXPECT_EQ(img.pixelColor(799, 300), kGreen);
    for (int x : {80, 160, 240, 320, 480, 560, 640, 720}) {
        EXPECT_EQ(img.pixelColor(x, 40), kBlue) << x;
        EXPECT_EQ(img.pixelColor(x, 0), kBlue) << "full height";
        EXPECT_EQ(img.pixelColor(x, 599), kBlue) << "full height";
    }
    EXPECT_EQ(img.pixelColor(400, 40), kYellow);
    // Vertical lines are drawn after the horizontal ones.
    EXPECT_EQ(img.pixelColor(400, 300), kYellow);
    EXPECT_EQ(img.pixelColor(80, 75), kBlue);
}

TEST(Grid, OddCountsHaveNoCentreLine) {
    Grid g = coloured();
    g.setXCount(5);
    g.setYCount(3);
    const QImage img = drow(g, 500, 300);
    EXPECT_EQ(rowsAt(img, 50), (std::set<int>{100, 200}));
    EXPECT_EQ(columnsAt(img, 50), (std::set<int>{100, 200, 300, 400}));
    EXPECT_EQ(img.pixelColor(50, 100), kRed);
    EXPECT_EQ(img.pixelColor(200, 50), kBlue);
    EXPECT_EQ(img.pixelColor(250, 50), kBack); // no middle line at 250
}

TEST(Grid, RowsAreTheViewsRowsColumnsRoundToTheNearestHalvesToEven) {
    Grid g = coloured();
    g.setYCount(8);
    g.setXCount(4);
    const QImage img = drow(g, 90, 100); // 12.5 steps down, 22.5 across
    // Rows as a data word is drawn (the row a position lies on), so the
    // middle line is the row of word 0 at full scale.
    EXPECT_EQ(rowsAt(img, 5), (std::set<int>{12, 25, 37, 50, 62, 75, 87}));
    EXPECT_EQ(columnsAt(img, 5), (std::set<int>{22, 45, 68}));
    EXPECT_EQ(img.pixelColor(45, 5), kYellow); // 90 / 2 = 45
}

TEST(Grid, CountsBelowTwoDrawNoLines) {
    for (int16_t n : {int16_t{1}, int16_t{0}, int16_t{-4}}) {
        Grid g;
        g.setXCount(n);
        g.setYCount(n);
        const QImage img = drow(g, 200, 100);
        EXPECT_TRUE(rowsAt(img, 10).empty()) << n;
        EXPECT_TRUE(columnsAt(img, 10).empty()) << n;
    }
    Grid g;
    g.setXCount(2);
    g.setYCount(1);
    const QImage img = drow(g, 200, 100);
    EXPECT_EQ(columnsAt(img, 10), std::set<int>{100});
    EXPECT_TRUE(rowsAt(img, 10).empty());
}

TEST(Grid, LeavesThePainterAsItFoundIt) {
    QImage img(10, 10, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    p.setPen(QColor(1, 2, 3));
    Grid().Drow(&p, 10, 10);
    EXPECT_EQ(p.pen().color(), QColor(1, 2, 3));
    Grid().Drow(nullptr, 10, 10);
}
