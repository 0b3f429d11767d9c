#include "engine/DataWord.h"
#include "engine/wavelb32.h"
#include "engine/wavelb32_calc.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace velda;

namespace {

constexpr int16_t kUntouched = 12345;

struct Buf {
    explicit Buf(int n = kBufferPoints) : h(W_AllocMemory(n)) { fill(kUntouched); }
    ~Buf() { W_FreeMemory(h); }
    void fill(int16_t v) {
        for (auto& w : engine::bufferWords(h))
            w = v;
    }
    int16_t& operator[](int i) { return engine::bufferWords(h)[static_cast<size_t>(i)]; }
    WaveHandle h;
};

constexpr double kRawBottom = -32767, kRawTop = 32767;

struct CalcRow {
    const char* what;
    int32_t op;
    int16_t a, b;
    double yBottom, yTop;
    int16_t want;
};

} // namespace

TEST(CalcWave, EachOperatorOnTheDisplayedValues) {
    const double inf = std::numeric_limits<double>::infinity();
    const CalcRow rows[] = {
        {"add", CalcAdd, 1000, 2000, kRawBottom, kRawTop, 3000},
        {"add clips at the top", CalcAdd, 30000, 10000, kRawBottom, kRawTop, 32767},
        {"sub", CalcSub, 1000, 2500, kRawBottom, kRawTop, -1500},
        {"sub clips at the bottom", CalcSub, -30000, 10000, kRawBottom, kRawTop, -32767},
        {"mul", CalcMul, 100, 200, kRawBottom, kRawTop, 20000},
        {"mul clips", CalcMul, -300, 300, kRawBottom, kRawTop, -32767},
        {"div", CalcDiv, 1000, 10, kRawBottom, kRawTop, 100},
        {"div rounds halves away from zero", CalcDiv, 7, 2, kRawBottom, kRawTop, 4},
        {"div rounds negative halves", CalcDiv, -7, 2, kRawBottom, kRawTop, -4},
        {"positive / 0 gives the top", CalcDiv, 5, 0, kRawBottom, kRawTop, 32767},
        {"negative / 0 gives the bottom", CalcDiv, -5, 0, kRawBottom, kRawTop, -32767},
        {"0 / 0 gives 0", CalcDiv, 0, 0, kRawBottom, kRawTop, 0},
        // One word is 0.01 of the displayed unit: 2.00 x 3.00 = 6.00, not 60000.
        {"mul in volts", CalcMul, 200, 300, -327.67, 327.67, 600},
        {"div in volts", CalcDiv, 100, 400, -327.67, 327.67, 25},
        // A scale whose 0 is the bottom word (displayed value = word + 32767).
        {"add with an offset scale", CalcAdd, -32767, 100, 0, 65534, 100},
        {"/ 0 of an offset scale", CalcDiv, 100, -32767, 0, 65534, 32767},
        {"0 / 0 of an offset scale is the word of 0", CalcDiv, -32767, -32767, 0, 65534, -32767},
        // Upside down: word -100 shows a positive value, the top value is at -32767.
        {"positive / 0 on an inverted scale", CalcDiv, -100, 0, 10, -10, -32767},
        {"equal ends combine the words", CalcMul, 100, 200, 5, 5, 20000},
        {"an infinite end combines the words", CalcSub, 100, 200, -inf, 5, -100},
    };
    for (const CalcRow& r : rows) {
        Buf src, opd, res;
        src[7] = r.a;
        opd[0] = r.b;
        ASSERT_EQ(W_CalcWave(src.h, opd.h, res.h, 7, 1, r.yBottom, r.yTop, r.op), 0) << r.what;
        EXPECT_EQ(res[0], r.want) << r.what;
        EXPECT_EQ(res[1], kUntouched) << r.what;
    }
}

TEST(CalcWave, SourceFromItsStartOperandAndResultFromPointZero) {
    Buf src, opd, res;
    for (int i = 0; i < 10; ++i) {
        src[i] = static_cast<int16_t>(i * 100);
        opd[i] = static_cast<int16_t>(i);
    }
    ASSERT_EQ(W_CalcWave(src.h, opd.h, res.h, 3, 4, kRawBottom, kRawTop, CalcAdd), 0);
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(res[k], (3 + k) * 100 + k);
    EXPECT_EQ(res[4], kUntouched);
}

TEST(CalcWave, RunsAreClippedToTheSmallestBufferAndBadInputWritesNothing) {
    Buf src, opd(5), res(8);
    opd.fill(1);
    src.fill(2);
    ASSERT_EQ(W_CalcWave(src.h, opd.h, res.h, 0, 1e9, kRawBottom, kRawTop, CalcAdd), 0);
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(res[k], 3);
    EXPECT_EQ(res[5], kUntouched);
    EXPECT_EQ(W_CalcWave(src.h, opd.h, res.h, 0, 5, kRawBottom, kRawTop, 4), -1);
    EXPECT_EQ(W_CalcWave(src.h, 0, res.h, 0, 5, kRawBottom, kRawTop, CalcAdd), -1);
    EXPECT_EQ(res[5], kUntouched);
    // A start beyond the source leaves nothing to combine.
    res.fill(kUntouched);
    EXPECT_EQ(W_CalcWave(src.h, opd.h, res.h, 1e12, 5, kRawBottom, kRawTop, CalcAdd), 0);
    EXPECT_EQ(res[0], kUntouched);
}

TEST(CompWaveX, StretchesARunOntoALongerOne) {
    Buf b;
    for (int i = 0; i < 1000; ++i)
        b[i] = static_cast<int16_t>(i < 100 || i >= 200 ? 7 : (i - 100) * 20 - 1000);
    W_CompWaveX(b.h, 100, 100, 1000, 0, 1000);
    // First and last land on first and last; in between the straight line.
    for (int j = 0; j < 1000; ++j)
        ASSERT_EQ(b[j], W_ToWord(-1000 + j * 99.0 / 999.0 * 20)) << "point " << j;
    EXPECT_EQ(b[1000], kUntouched);
}

TEST(CompWaveX, CompressesMovesAndKeepsTheRest) {
    Buf b;
    for (int i = 0; i < 1000; ++i)
        b[i] = static_cast<int16_t>(i * 3);
    W_CompWaveX(b.h, 0, 1000, 1000, 500, 100);
    for (int j = 0; j < 100; ++j)
        ASSERT_EQ(b[500 + j], W_ToWord(3 * (j * 999.0 / 99.0))) << "point " << j;
    EXPECT_EQ(b[499], 499 * 3); // outside the target: the initial points
    EXPECT_EQ(b[600], 600 * 3);
}

TEST(CompWaveX, SameLengthCopiesAndNegativeLengthReverses) {
    Buf b;
    for (int i = 0; i < 20; ++i)
        b[i] = static_cast<int16_t>(i);
    W_CompWaveX(b.h, 0, 5, 20, 10, 5);
    for (int j = 0; j < 5; ++j)
        EXPECT_EQ(b[10 + j], j);
    // Start 15, end 10: the run lies on 10..14, last point first.
    W_CompWaveX(b.h, 0, 5, 20, 15, -5);
    for (int j = 0; j < 5; ++j)
        EXPECT_EQ(b[10 + j], 4 - j);
    // An area that starts on a half point onto itself: nothing moves.
    for (int i = 0; i < 20; ++i)
        b[i] = static_cast<int16_t>(100 * i);
    W_CompWaveX(b.h, 0.5, 19.5, 20, 0.5, 19.5);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(b[i], 100 * i) << i;
}

TEST(CompWaveX, TargetBeyondThePointsInUseLosesOnlyThatPart) {
    Buf b;
    for (int i = 0; i < 100; ++i)
        b[i] = static_cast<int16_t>(i * 10);
    // 10 points onto 90..109 of a 100-point waveform: the scale is that of
    // the whole target, points 100 on are dropped.
    W_CompWaveX(b.h, 0, 10, 100, 90, 20);
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(b[90 + j], W_ToWord(10 * (j * 9.0 / 19.0)));
    EXPECT_EQ(b[100], kUntouched);
    // Nonsense targets change nothing.
    W_CompWaveX(b.h, 0, 10, 100, std::numeric_limits<double>::quiet_NaN(), 5);
    W_CompWaveX(b.h, 0, 10, 100, -50, 20);
    W_CompWaveX(b.h, 0, 0, 100, 0, 20);
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[1], 10);
}

TEST(CompY, ExtremesLandOnTheTargets) {
    Buf b;
    const int16_t data[] = {-100, 300, 100, 0};
    for (int i = 0; i < 4; ++i)
        b[10 + i] = data[i];
    W_CompYMaxMin(b.h, 10, 4, 1000, -1000);
    EXPECT_EQ(b[10], -1000);
    EXPECT_EQ(b[11], 1000);
    EXPECT_EQ(b[12], 0);
    EXPECT_EQ(b[13], -500);
    EXPECT_EQ(b[9], kUntouched);
    EXPECT_EQ(b[14], kUntouched);
    // The same target as amplitude and offset, then upside down.
    for (int i = 0; i < 4; ++i)
        b[10 + i] = data[i];
    W_CompYAmpOff(b.h, 10, 4, 2000, 0);
    EXPECT_EQ(b[11], 1000);
    EXPECT_EQ(b[13], -500);
    W_CompYMaxMin(b.h, 10, 4, -1000, 1000);
    EXPECT_EQ(b[11], -1000);
    EXPECT_EQ(b[10], 1000);
}

TEST(CompY, FlatRunTakesTheMiddleAndHugeTargetsClip) {
    Buf b;
    b.fill(5);
    W_CompYAmpOff(b.h, 0, 10, 4000, 1234);
    EXPECT_EQ(b[0], 1234);
    EXPECT_EQ(b[9], 1234);
    EXPECT_EQ(b[10], 5);
    b[0] = 0;
    b[1] = 10;
    const double inf = std::numeric_limits<double>::infinity();
    W_CompYMaxMin(b.h, 0, 2, inf, -inf);
    EXPECT_EQ(b[0], -32767);
    EXPECT_EQ(b[1], 32767);
}

TEST(GetMaxMin, SelectorsEmptyRunsAndBadHandles) {
    Buf b;
    b.fill(0);
    b[3] = -40;
    b[5] = 90;
    b[8] = 1000; // outside the run
    EXPECT_EQ(W_GetMaxMin(b.h, 2, 5, 0), -40);
    EXPECT_EQ(W_GetMaxMin(b.h, 2, 5, 1), 90);
    EXPECT_EQ(W_GetMaxMin(b.h, 2, 5, 2), 0);
    EXPECT_EQ(W_GetMaxMin(b.h, 5, 0, 0), 90);
    EXPECT_EQ(W_GetMaxMin(b.h, 1e12, 0, 1), b[kBufferPoints - 1]);
    EXPECT_EQ(W_GetMaxMin(0, 0, 5, 1), 0);
}
