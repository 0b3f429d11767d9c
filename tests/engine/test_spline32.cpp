#include "engine/DataWord.h"
#include "engine/spline32.h"
#include "engine/wavelb32.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_interp.h>

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <utility>
#include <vector>

using namespace velda;

namespace {

constexpr int16_t kUntouched = 12345;

// A buffer filled with kUntouched, so writes outside the run are visible.
struct Buf {
    Buf() : h(W_AllocMemory(kBufferPoints)) {
        for (auto& w : engine::bufferWords(h))
            w = kUntouched;
    }
    ~Buf() { W_FreeMemory(h); }
    int16_t operator[](int i) const { return engine::bufferWords(h)[static_cast<size_t>(i)]; }
    WaveHandle h;
};

struct Points {
    std::vector<double> x, y;
    int32_t count() const { return static_cast<int32_t>(x.size()); }
};

int32_t line(const Buf& b, double S, double E, const Points& p, int32_t N) {
    return Spline_Hokan_Line(b.h, S, E, p.x, p.y, p.count(), N, 32767);
}

int32_t spline(int variant, const Buf& b, double S, double E, const Points& p, int32_t N) {
    return Spline_Hokan_Spline(variant, b.h, S, E, p.x, p.y, p.count(), N, 32767);
}

// Forward differences of the first n words, wrapping from n - 1 to 0.
int d1(const Buf& b, int i, int n) {
    return b[(i + 1) % n] - b[i];
}
int d2(const Buf& b, int i, int n) {
    return d1(b, i, n) - d1(b, (i + n - 1) % n, n);
}

} // namespace

TEST(Spline32, LinearRunsStraightBetweenPointsAndHoldsTheEnds) {
    Buf b;
    const Points p{{10, 20, 40}, {0, 1000, -1000}};
    ASSERT_EQ(line(b, 0, 50, p, 50), 0);
    const struct {
        int at;
        int16_t word;
    } rows[] = {{0, 0},  {9, 0},     {10, 0},    {15, 500},   {20, 1000}, {25, 500},
                {30, 0}, {35, -500}, {39, -900}, {40, -1000}, {49, -1000}};
    for (const auto& r : rows)
        EXPECT_EQ(b[r.at], r.word) << "point " << r.at;
    EXPECT_EQ(b[50], kUntouched); // N ends the waveform
}

TEST(Spline32, NaturalSplineReproducesAStraightLineExactly) {
    Buf b;
    // Unevenly spaced points on y = 3x - 500.
    Points p;
    for (double x : {0.0, 7.0, 20.0, 33.0, 50.0, 51.0, 90.0}) {
        p.x.push_back(x);
        p.y.push_back(3 * x - 500);
    }
    ASSERT_EQ(spline(0, b, 0, 91, p, 100), 0);
    for (int i = 0; i <= 90; ++i)
        ASSERT_EQ(b[i], W_ToWord(3.0 * i - 500)) << "point " << i;
}

TEST(Spline32, EveryFormHoldsTheEndLevelsOutsideThePoints) {
    const Points p{{100, 130, 170, 200}, {-2000, 5000, -4000, 3000}};
    for (int form : {-1, 0, 1}) {
        Buf b;
        const int32_t r = form < 0 ? line(b, 0, 300, p, 300) : spline(form, b, 0, 300, p, 300);
        ASSERT_EQ(r, 0) << "form " << form;
        for (int i = 0; i <= 100; ++i)
            ASSERT_EQ(b[i], -2000) << "form " << form << " point " << i;
        for (int i = 200; i < 300; ++i)
            ASSERT_EQ(b[i], 3000) << "form " << form << " point " << i;
        // Inside, every curve passes through the points.
        EXPECT_EQ(b[130], 5000) << "form " << form;
        EXPECT_EQ(b[170], -4000) << "form " << form;
    }
}

TEST(Spline32, OnePointFillsOnlyTheAreaWithItsLevel) {
    const Points p{{500}, {-777}};
    for (int form : {-1, 0, 1, 2}) {
        Buf b;
        const int32_t r = form < 0 ? line(b, 10, 20, p, 1000) : spline(form, b, 10, 20, p, 1000);
        ASSERT_EQ(r, 0) << "form " << form;
        EXPECT_EQ(b[9], kUntouched) << "form " << form;
        for (int i = 10; i < 20; ++i)
            EXPECT_EQ(b[i], -777) << "form " << form << " point " << i;
        EXPECT_EQ(b[20], kUntouched) << "form " << form;
    }
}

TEST(Spline32, PeriodicWholeWaveformIsSmoothAcrossTheWrap) {
    constexpr int N = 1000;
    const Points p{{50, 300, 520, 800}, {20000, -15000, 10000, -5000}};
    Buf periodic;
    ASSERT_EQ(spline(2, periodic, 0, N, p, N), 0);
    for (size_t k = 0; k < p.x.size(); ++k)
        EXPECT_EQ(periodic[static_cast<int>(p.x[k])], p.y[k]);
    // Slope and curvature at point 0 against those at N - 1: the same up to
    // the rounding of the words (a half step each).
    EXPECT_LE(std::abs(d1(periodic, 0, N) - d1(periodic, N - 1, N)), 2);
    EXPECT_LE(std::abs(d2(periodic, 0, N) - d2(periodic, N - 1, N)), 4);
    // The check can fail: a natural spline through the same points breaks
    // at the wrap.
    Buf natural;
    ASSERT_EQ(spline(0, natural, 0, N, p, N), 0);
    EXPECT_GT(std::abs(d1(natural, 0, N) - d1(natural, N - 1, N)), 100);
}

TEST(Spline32, PeriodicWholeWaveformUsesThePointAtNAsThePointAt0) {
    constexpr int N = 1000;
    const Points withEnd{{0, 250, 500, 750, 1000}, {1000, 20000, 1000, -18000, 1000}};
    const Points without{{0, 250, 500, 750}, {1000, 20000, 1000, -18000}};
    Buf a, b;
    ASSERT_EQ(spline(2, a, 0, N, withEnd, N), 0);
    ASSERT_EQ(spline(2, b, 0, N, without, N), 0);
    for (int i = 0; i < N; ++i)
        ASSERT_EQ(a[i], b[i]) << "point " << i;
    EXPECT_EQ(a[0], 1000);
    EXPECT_LE(std::abs(d2(a, 0, N) - d2(a, N - 1, N)), 4);
}

TEST(Spline32, PeriodicPartMatchesSlopeAndCurvatureAtItsFirstAndLastPoint) {
    const Points p{{100, 150, 200, 260, 300}, {0, 20000, -6000, 9000, 0}};
    // One-sided estimates of the slope (second order) and curvature leaving
    // the first point and arriving at the last.
    const auto slopes = [](const Buf& b) {
        return std::pair{(-3 * b[100] + 4 * b[101] - b[102]) / 2.0,
                         (3 * b[300] - 4 * b[299] + b[298]) / 2.0};
    };
    const auto curvatures = [](const Buf& b) {
        return std::pair{b[102] - 2 * b[101] + b[100], b[300] - 2 * b[299] + b[298]};
    };
    Buf b;
    ASSERT_EQ(spline(1, b, 0, 400, p, 400), 0);
    EXPECT_EQ(b[100], 0);
    EXPECT_EQ(b[300], 0);
    const auto [s0, sn] = slopes(b);
    EXPECT_LE(std::abs(s0 - sn), 5) << s0 << " " << sn;
    const auto [c0, cn] = curvatures(b);
    EXPECT_LE(std::abs(c0 - cn), 6) << c0 << " " << cn;
    // The check can fail: the natural spline's ends differ.
    Buf natural;
    ASSERT_EQ(spline(0, natural, 0, 400, p, 400), 0);
    const auto [n0, nn] = slopes(natural);
    EXPECT_GT(std::abs(n0 - nn), 100) << n0 << " " << nn;
}

TEST(Spline32, DuplicateAndUnsortedPointsNeedNoCallerSort) {
    engine::clearGslError();
    // Two points at X = 10: the one given last counts.
    const Points p{{20, 10, 0, 10}, {1000, 100, 0, 500}};
    for (int form : {-1, 0, 1}) {
        Buf b;
        const int32_t r = form < 0 ? line(b, 0, 30, p, 30) : spline(form, b, 0, 30, p, 30);
        EXPECT_EQ(r, 0) << "form " << form;
        EXPECT_EQ(b[10], 500) << "form " << form;
        EXPECT_EQ(b[20], 1000) << "form " << form;
    }
    EXPECT_EQ(engine::lastGslError(), 0);
}

TEST(Spline32, ValuesAreClippedToTheLargestWordGiven) {
    const Points p{{0, 10}, {40000, -50000}};
    Buf b;
    ASSERT_EQ(line(b, 0, 11, p, 11), 0);
    EXPECT_EQ(b[0], 32767);
    EXPECT_EQ(b[10], -32767);
    Buf c;
    ASSERT_EQ(Spline_Hokan_Line(c.h, 0, 11, p.x, p.y, 2, 11, 1000), 0);
    EXPECT_EQ(c[0], 1000);
    EXPECT_EQ(c[10], -1000);
}

TEST(Spline32, BadArgumentsAreResultsNotCrashes) {
    Buf b;
    const Points p{{0, 10, 20}, {1, 2, 3}};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(Spline_Hokan_Line(0, 0, 10, p.x, p.y, 3, 10, 32767), kSplineBadArgument);
    EXPECT_EQ(Spline_Hokan_Spline(3, b.h, 0, 10, p.x, p.y, 3, 10, 32767), kSplineBadArgument);
    EXPECT_EQ(Spline_Hokan_Spline(0, b.h, 0, 10, p.x, p.y, 3, 0, 32767), kSplineBadArgument);
    EXPECT_EQ(Spline_Hokan_Spline(0, b.h, 0, 10, p.x, p.y, 0, 10, 32767), kSplineNoPoints);
    const Points bad{{nan, 5}, {1, nan}};
    EXPECT_EQ(Spline_Hokan_Spline(2, b.h, 0, 10, bad.x, bad.y, 2, 10, 32767), kSplineNoPoints);
    EXPECT_EQ(b[0], kUntouched);
    // A count beyond the arrays and a run beyond N are clipped.
    EXPECT_EQ(Spline_Hokan_Spline(1, b.h, -50, 1e12, p.x, p.y, 100000, 30, 32767), 0);
    EXPECT_EQ(b[29], 3);
    EXPECT_EQ(b[30], kUntouched);
}

TEST(Spline32, GslErrorsReturnInsteadOfAborting) {
    engine::clearGslError();
    (void)engine::lastGslError(); // installs the handler
    const double x[] = {0, 1, 1};
    const double y[] = {0, 1, 2};
    gsl_interp* interp = gsl_interp_alloc(gsl_interp_linear, 3);
    ASSERT_NE(interp, nullptr);
    EXPECT_EQ(gsl_interp_init(interp, x, y, 3), GSL_EINVAL);
    EXPECT_EQ(engine::lastGslError(), GSL_EINVAL);
    gsl_interp_free(interp);
}

TEST(QSort, SortsBothListsTogetherWithinTheRange) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> x{9, 5, 3, nan, 1, 3, 0};
    std::vector<double> y{90, 50, 30, -1, 10, 31, 0};
    Q_Sort(x, y, 1, 5);
    EXPECT_EQ(x[0], 9); // outside the range
    EXPECT_EQ(x[6], 0);
    const std::vector<double> wantX{1, 3, 3, 5};
    const std::vector<double> wantY{10, 30, 31, 50}; // equal X keep their order
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(x[i + 1], wantX[i]);
        EXPECT_EQ(y[i + 1], wantY[i]);
    }
    EXPECT_TRUE(std::isnan(x[5]));
    EXPECT_EQ(y[5], -1);
    // Indices beyond the lists are clipped; a reversed range does nothing.
    Q_Sort(x, y, -10, 100);
    EXPECT_EQ(x[0], 0);
    EXPECT_EQ(y[0], 0);
    Q_Sort(x, y, 4, 2);
}
