#include "engine/wavelb32.h"
#include "engine/wavelb32_make.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numbers>
#include <string>
#include <vector>

using namespace velda;

namespace {

constexpr int16_t kSentinel = 12345; // no generator below can produce it

// A buffer filled with the sentinel, freed at the end of the test.
struct Buffer {
    explicit Buffer(int n) : h(W_AllocMemory(n)) {
        auto w = engine::bufferWords(h);
        std::fill(w.begin(), w.end(), kSentinel);
    }
    ~Buffer() { W_FreeMemory(h); }
    std::vector<int16_t> words() const {
        auto w = engine::bufferWords(h);
        return {w.begin(), w.end()};
    }
    WaveHandle h;
};

// Points [from, from + n) of w, cut to its end. The bound is checked
// before copying, which also keeps GCC's -O3 bounds analysis from seeing a
// copy out of a possibly empty vector.
std::vector<int16_t> slice(const std::vector<int16_t>& w, size_t from, size_t n) {
    std::vector<int16_t> out;
    if (from >= w.size())
        return out;
    n = std::min(n, w.size() - from);
    out.resize(n);
    std::copy_n(w.data() + from, n, out.data());
    return out;
}

} // namespace

TEST(Generators, SineOfOnePeriodCrossesZeroAtTheStartAndHalfway) {
    Buffer b(2000);
    W_MakeSin(b.h, 100, 1000, 0, 65534, 1, 0);
    const auto w = slice(b.words(), 100, 1000);
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(w[500], 0);
    EXPECT_EQ(w[250], 32767);
    EXPECT_EQ(w[750], -32767);
    for (int i = 1; i < 500; ++i)
        ASSERT_GT(w[i], 0) << "point " << i;
    for (int i = 501; i < 1000; ++i)
        ASSERT_LT(w[i], 0) << "point " << i;
    // Symmetric halves: the second half mirrors the first.
    for (int i = 1; i < 500; ++i)
        ASSERT_EQ(w[i], -w[1000 - i]) << "point " << i;
}

TEST(Generators, SineFollowsOffsetAmplitudeCyclesAndPhase) {
    Buffer b(400);
    W_MakeSin(b.h, 0, 400, 1000, 20000, 4, 90); // cosine, four periods
    const auto w = b.words();
    for (int i = 0; i < 400; ++i) {
        const double expected = 1000 + 10000 * std::cos(2 * std::numbers::pi * 4 * i / 400.0);
        ASSERT_NEAR(w[i], expected, 0.5 + 1e-9) << "point " << i;
    }
    EXPECT_EQ(w[0], 11000);
    EXPECT_EQ(w[50], -9000);
}

// Whole periods more, in the phase (360 degrees each) or in the count of
// periods (the length each), place every point where it was.
TEST(Generators, WholePeriodsMoreInPhaseOrCountChangeNoPoint) {
    const double many = std::ldexp(1.0, 40);
    using Make = std::function<void(WaveHandle, double cycle, double phase)>;
    const std::pair<const char*, Make> shapes[] = {
        {"sine", [](WaveHandle h, double c, double p) { W_MakeSin(h, 0, 400, 0, 65534, c, p); }},
        {"triangle",
         [](WaveHandle h, double c, double p) { W_MakeTriangle(h, 0, 400, 0, 65534, c, p, 0.3); }},
        {"square", [](WaveHandle h, double c, double p) {
             W_MakeSquare(h, 0, 400, 0, 65534, c, p, 0.4, 0.2);
         }}};
    for (const auto& [name, make] : shapes) {
        Buffer plain(400), phased(400), counted(400);
        make(plain.h, 3, 100);
        make(phased.h, 3, 100 + 360 * many);
        make(counted.h, 3 + 400 * many, 100);
        EXPECT_EQ(phased.words(), plain.words()) << name;
        EXPECT_EQ(counted.words(), plain.words()) << name;
    }
}

TEST(Generators, SineIsClippedToTheFullScale) {
    Buffer b(100);
    W_MakeSin(b.h, 0, 100, 20000, 65534, 1, 0);
    const auto w = b.words();
    EXPECT_EQ(*std::max_element(w.begin(), w.end()), 32767);
    EXPECT_EQ(w[25], 32767);
    EXPECT_EQ(w[75], 20000 - 32767);
}

TEST(Generators, SquareOfQuarterDutyIsHighForAQuarterOfThePoints) {
    for (double cycles : {1.0, 5.0, 10.0}) {
        Buffer b(1000);
        W_MakeSquare(b.h, 0, 1000, 0, 20000, cycles, 0, 25, 0);
        const auto w = b.words();
        EXPECT_EQ(std::count(w.begin(), w.end(), 10000), 250) << cycles << " cycles";
        EXPECT_EQ(std::count(w.begin(), w.end(), -10000), 750) << cycles << " cycles";
        EXPECT_EQ(w[0], 10000) << "a square starts high, as the sine starts rising";
    }
}

TEST(Generators, SquareTransitionMakesEdgesOfThatLength) {
    Buffer b(1000);
    W_MakeSquare(b.h, 0, 1000, 0, 20000, 1, 0, 50, 10); // edges of 100 points
    const auto w = b.words();
    const auto levels =
        std::count_if(w.begin(), w.end(), [](int16_t v) { return v == 10000 || v == -10000; });
    EXPECT_NEAR(static_cast<double>(1000 - levels), 200, 4); // two edges of 100
    EXPECT_EQ(w[0], 0);                                      // edge centred on the start
    EXPECT_EQ(w[500], 0);                                    // and on the switch
    EXPECT_EQ(w[25], 5000);
    EXPECT_EQ(w[525], -5000);
    // Too long an edge is cut to the shorter part: duty 50 gives a triangle.
    W_MakeSquare(b.h, 0, 1000, 0, 20000, 1, 0, 50, 90);
    const auto t = b.words();
    EXPECT_EQ(t[250], 10000);
    EXPECT_EQ(t[750], -10000);
    EXPECT_EQ(t[125], 5000);
}

TEST(Generators, SquareWithDutyAtTheEndsIsConstant) {
    Buffer b(100);
    W_MakeSquare(b.h, 0, 100, 0, 2000, 3, 0, 0, 20);
    for (int16_t v : b.words())
        ASSERT_EQ(v, -1000);
    W_MakeSquare(b.h, 0, 100, 0, 2000, 3, 0, 100, 20);
    for (int16_t v : b.words())
        ASSERT_EQ(v, 1000);
}

TEST(Generators, TriangleSymmetryPlacesTopAndBottom) {
    struct Case {
        double symmetry;
        int top, bottom; // points of the extremes over 1000 points
    } cases[] = {{50, 250, 750}, {25, 125, 875}, {80, 400, 600}};
    for (const Case& c : cases) {
        Buffer b(1000);
        W_MakeTriangle(b.h, 0, 1000, 0, 20000, 1, 0, c.symmetry);
        const auto w = b.words();
        const auto top = std::max_element(w.begin(), w.end()) - w.begin();
        const auto bottom = std::min_element(w.begin(), w.end()) - w.begin();
        EXPECT_EQ(top, c.top) << "symmetry " << c.symmetry;
        EXPECT_EQ(bottom, c.bottom) << "symmetry " << c.symmetry;
        EXPECT_EQ(w[top], 10000);
        EXPECT_EQ(w[bottom], -10000);
        EXPECT_EQ(w[0], 0) << "starts at the centre, rising";
        // Rising between bottom and top (through the start), falling between.
        for (int i = c.top + 1; i <= c.bottom; ++i)
            ASSERT_LT(w[i], w[i - 1]) << "symmetry " << c.symmetry << " point " << i;
        for (int i = 1; i <= c.top; ++i)
            ASSERT_GT(w[i], w[i - 1]) << "symmetry " << c.symmetry << " point " << i;
    }
}

TEST(Generators, TriangleAtFullSymmetryIsASawtooth) {
    for (double symmetry : {0.0, 100.0, -5.0, 130.0}) {
        Buffer b(100);
        W_MakeTriangle(b.h, 0, 100, 0, 20000, 1, 0, symmetry);
        const auto w = b.words();
        int rising = 0, falling = 0, jumps = 0;
        for (int i = 1; i < 100; ++i) {
            const int step = w[i] - w[i - 1];
            if (std::abs(step) > 1000)
                ++jumps;
            else
                ++(step > 0 ? rising : falling);
        }
        EXPECT_LE(jumps, 1) << symmetry;
        EXPECT_EQ(symmetry >= 100 ? falling : rising, 0) << "one ramp only, " << symmetry;
    }
}

TEST(Generators, DcWritesTheRoundedAndClippedLevel) {
    struct Case {
        double offset;
        int16_t word;
    } cases[] = {{0, 0}, {2.5, 3}, {-2.5, -3}, {1234.4, 1234}, {40000, 32767}, {-1e12, -32767}};
    for (const Case& c : cases) {
        Buffer b(10);
        W_MakeDC(b.h, 2, 5, c.offset);
        const auto w = b.words();
        for (int i = 0; i < 10; ++i)
            ASSERT_EQ(w[i], i >= 2 && i < 7 ? c.word : kSentinel) << c.offset << " point " << i;
    }
}

TEST(Generators, NoiseIsReproducibleForASeedAndBounded) {
    Buffer a(5000), b(5000);
    W_InitRand(42);
    W_MakeNoise(a.h, 0, 5000, 1000, 8000);
    W_InitRand(42);
    W_MakeNoise(b.h, 0, 5000, 1000, 8000);
    EXPECT_EQ(a.words(), b.words());

    W_InitRand(43);
    W_MakeNoise(b.h, 0, 5000, 1000, 8000);
    EXPECT_NE(a.words(), b.words());

    const auto w = a.words();
    const auto [lo, hi] = std::minmax_element(w.begin(), w.end());
    EXPECT_GE(*lo, 1000 - 4000);
    EXPECT_LE(*hi, 1000 + 4000);
    EXPECT_LT(*lo, 1000 - 3900) << "the whole span is used";
    EXPECT_GT(*hi, 1000 + 3900);
    double mean = 0;
    for (int16_t v : w)
        mean += v;
    EXPECT_NEAR(mean / 5000, 1000, 150);
}

TEST(Generators, NoiseContinuesItsSequenceWithoutReseeding) {
    Buffer a(100);
    W_InitRand(1);
    W_MakeNoise(a.h, 0, 100, 0, 60000);
    const auto first = a.words();
    W_MakeNoise(a.h, 0, 100, 0, 60000);
    EXPECT_NE(a.words(), first);
}

// Every generator writes exactly its clipped run and nothing beside it.
TEST(Generators, EachWritesExactlyItsRun) {
    using Make = std::function<int32_t(WaveHandle, double, double)>;
    const std::pair<std::string, Make> generators[] = {
        {"sin",
         [](WaveHandle h, double f, double n) { return W_MakeSin(h, f, n, 0, 20000, 3, 10); }},
        {"triangle", [](WaveHandle h, double f,
                        double n) { return W_MakeTriangle(h, f, n, 0, 20000, 2, 0, 30); }},
        {"square", [](WaveHandle h, double f,
                      double n) { return W_MakeSquare(h, f, n, 0, 20000, 2, 0, 40, 5); }},
        {"noise", [](WaveHandle h, double f, double n) { return W_MakeNoise(h, f, n, 0, 20000); }},
        {"dc", [](WaveHandle h, double f, double n) { return W_MakeDC(h, f, n, -777); }},
    };
    struct Case {
        double first, count;
        int from, to; // written points, half-open
    } cases[] = {
        {10, 50, 10, 60},   {0, 1000, 0, 1000},    {990, 100, 990, 1000}, {10.4, 5.6, 10, 16},
        {500, 0, 500, 500}, {1000, 5, 1000, 1000}, {-3, 4, 0, 4},         {20, -5, 20, 20},
    };
    for (const auto& [name, make] : generators) {
        for (const Case& c : cases) {
            Buffer b(1000);
            EXPECT_EQ(make(b.h, c.first, c.count), 0);
            const auto w = b.words();
            for (int i = 0; i < 1000; ++i) {
                const bool inside = i >= c.from && i < c.to;
                ASSERT_EQ(w[i] != kSentinel, inside)
                    << name << " first " << c.first << " count " << c.count << " point " << i;
            }
        }
        EXPECT_EQ(make(0, 0, 10), -1) << name;
        EXPECT_EQ(make(987654, 0, 10), -1) << name;
    }
}

TEST(Generators, ClippedRunKeepsThePeriodOfTheRequestedLength) {
    Buffer whole(200), cut(1000);
    W_MakeSin(whole.h, 0, 200, 0, 60000, 1, 0);
    W_MakeSin(cut.h, 900, 200, 0, 60000, 1, 0); // only 100 points fit
    EXPECT_EQ(slice(cut.words(), 900, 100), slice(whole.words(), 0, 100));
}

TEST(Generators, LevelFunctionsStayWithinTheUnitSpan) {
    for (double t = 0; t < 1; t += 0.001) {
        for (double s : {0.0, 1.0, 33.0, 50.0, 99.0, 100.0}) {
            const double v = engine::triangleLevel(t, s);
            ASSERT_TRUE(v >= -1 && v <= 1) << t << " " << s;
        }
        for (double d : {0.0, 10.0, 50.0, 100.0}) {
            for (double tr : {0.0, 5.0, 50.0, 100.0}) {
                const double v = engine::squareLevel(t, d, tr);
                ASSERT_TRUE(v >= -1 && v <= 1) << t << " " << d << " " << tr;
            }
        }
    }
}
