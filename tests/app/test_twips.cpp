#include "app/Twips.h"

#include <gtest/gtest.h>

using namespace velda;

TEST(Twips, PixelsAndTwipsConvertAtTheScreensDensity) {
    struct Case {
        int pixels;
        double dpi;
        int twips;
    };
    const Case cases[] = {
        {1, 96.0, 15},     {1024, 96.0, 15360}, {100, 144.0, 1000},
        {-20, 96.0, -300}, {0, 72.0, 0},        {3, 0.0, 45}, // no density known: 96 dpi
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pixelsToTwips(c.pixels, c.dpi), c.twips) << c.pixels << "@" << c.dpi;
        EXPECT_EQ(twipsToPixels(c.twips, c.dpi), c.pixels) << c.twips << "@" << c.dpi;
    }
    EXPECT_EQ(twipsToPixels(1000, 96.0), 67); // rounded, not truncated
}

TEST(Twips, PrimaryScreenSizeIsGivenInTwips) {
    const auto size = primaryScreenTwips();
    ASSERT_TRUE(size.has_value());
    const QScreen* s = QGuiApplication::primaryScreen();
    EXPECT_EQ(size->width(), pixelsToTwips(s->size().width(), s->logicalDotsPerInchX()));
    EXPECT_EQ(size->height(), pixelsToTwips(s->size().height(), s->logicalDotsPerInchY()));
    EXPECT_GT(size->height(), 0);
}
