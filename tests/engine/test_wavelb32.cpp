#include "engine/DataWord.h"
#include "engine/wavelb32.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace velda;

namespace {

// A buffer filled with 1, 2, 3, ... so moves are visible.
struct Ramp {
    explicit Ramp(int n) : h(W_AllocMemory(n)) {
        auto w = engine::bufferWords(h);
        for (size_t i = 0; i < w.size(); ++i)
            w[i] = static_cast<int16_t>(i + 1);
    }
    ~Ramp() { W_FreeMemory(h); }
    std::vector<int16_t> words() const {
        auto w = engine::bufferWords(h);
        return {w.begin(), w.end()};
    }
    WaveHandle h;
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

} // namespace

TEST(Wavelb32, AllocReturnsDistinctNonZeroHandlesAndReusesFreedSlots) {
    const int before = engine::liveBuffers();
    WaveHandle a = W_AllocMemory(65536);
    WaveHandle b = W_AllocMemory(65536);
    ASSERT_NE(a, 0);
    ASSERT_NE(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(engine::bufferWords(a).size(), 65536u);
    EXPECT_EQ(engine::liveBuffers(), before + 2);
    W_FreeMemory(a);
    EXPECT_TRUE(engine::bufferWords(a).empty());
    WaveHandle c = W_AllocMemory(10);
    EXPECT_EQ(c, a);
    W_FreeMemory(b);
    W_FreeMemory(c);
    W_FreeMemory(c); // freeing twice is harmless
    EXPECT_EQ(engine::liveBuffers(), before);
}

TEST(Wavelb32, AllocRefusesNonPositiveCounts) {
    EXPECT_EQ(W_AllocMemory(0), 0);
    EXPECT_EQ(W_AllocMemory(-5), 0);
}

TEST(Wavelb32, NewBufferIsCleared) {
    WaveHandle h = W_AllocMemory(1000);
    for (int16_t w : engine::bufferWords(h))
        ASSERT_EQ(w, 0);
    W_FreeMemory(h);
}

TEST(Wavelb32, ClearMemoryClipsItsRun) {
    struct Case {
        double first, count;
        int clearedFrom, clearedTo; // half-open
    } cases[] = {
        {2, 3, 2, 5},    {0, 10, 0, 10},  {8, 100, 8, 10},  {-4, 3, 0, 3},    {12, 5, 10, 10},
        {kNaN, 4, 0, 4}, {3, kNaN, 3, 3}, {5, kInf, 5, 10}, {2.6, 1.4, 3, 4},
    };
    for (const Case& c : cases) {
        Ramp r(10);
        W_ClearMemory(r.h, c.first, c.count);
        auto w = r.words();
        for (int i = 0; i < 10; ++i) {
            const bool cleared = i >= c.clearedFrom && i < c.clearedTo;
            EXPECT_EQ(w[i], cleared ? 0 : i + 1)
                << "first " << c.first << " count " << c.count << " point " << i;
        }
    }
}

TEST(Wavelb32, CopyMemoryClipsToBothBuffers) {
    struct Case {
        double srcFirst, dstFirst, count;
        std::vector<int16_t> expected;
    } cases[] = {
        {0, 0, 3, {1, 2, 3, 0, 0}},  {2, 1, 2, {0, 3, 4, 0, 0}},
        {3, 3, 10, {0, 0, 0, 4, 5}}, // source runs out first
        {0, 4, 3, {0, 0, 0, 0, 1}},  // destination runs out first
        {9, 0, 3, {0, 0, 0, 0, 0}},  // source start beyond the end
        {0, -2, 2, {1, 2, 0, 0, 0}}, // negative destination reads as 0
    };
    for (const Case& c : cases) {
        Ramp src(5);
        WaveHandle dst = W_AllocMemory(5);
        W_CopyMemory(src.h, dst, c.srcFirst, c.dstFirst, c.count);
        auto w = engine::bufferWords(dst);
        EXPECT_EQ(std::vector<int16_t>(w.begin(), w.end()), c.expected)
            << c.srcFirst << "," << c.dstFirst << "," << c.count;
        W_FreeMemory(dst);
    }
}

TEST(Wavelb32, CopyWithinOneBufferHandlesOverlap) {
    Ramp r(6);
    W_CopyMemory(r.h, r.h, 0, 2, 4);
    EXPECT_EQ(r.words(), (std::vector<int16_t>{1, 2, 1, 2, 3, 4}));
}

TEST(Wavelb32, InvalidHandlesAreIgnored) {
    W_ClearMemory(0, 0, 10);
    W_ClearMemory(12345, 0, 10);
    W_CopyMemory(0, 99999, 0, 0, 10);
    W_DeleteWave(-3, 0, 1, 10);
    EXPECT_EQ(W_GetWaveData(0, 0, 10), 0);
}

TEST(Wavelb32, DeleteWaveShiftsAndClearsTheEndOfThePointsInUse) {
    struct Case {
        double first, count;
        int32_t inUse;
        std::vector<int16_t> expected;
    } cases[] = {
        {1, 2, 6, {1, 4, 5, 6, 0, 0, 7, 8}},
        {0, 0, 6, {1, 2, 3, 4, 5, 6, 7, 8}},
        {4, 5, 6, {1, 2, 3, 4, 0, 0, 7, 8}}, // run longer than what is left
        {0, 6, 6, {0, 0, 0, 0, 0, 0, 7, 8}},
        {2, 2, 100, {1, 2, 5, 6, 7, 8, 0, 0}}, // points in use beyond the buffer
        {7, 3, 6, {1, 2, 3, 4, 5, 6, 7, 8}},   // start beyond the points in use
        {1, 1, -1, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const Case& c : cases) {
        Ramp r(8);
        W_DeleteWave(r.h, c.first, c.count, c.inUse);
        EXPECT_EQ(r.words(), c.expected) << c.first << "," << c.count << "," << c.inUse;
    }
}

TEST(Wavelb32, GetWaveDataReadsNearestPointWithinThePointsInUse) {
    Ramp r(10);
    struct Case {
        double point, inUse;
        int32_t expected;
    } cases[] = {
        {0, 10, 1},  {9, 10, 10}, {10, 10, 10},  {2.5, 10, 4}, {2.4, 10, 3},
        {-1, 10, 1}, {50, 5, 5},  {kNaN, 10, 1}, {3, 0, 0},    {3, 1e9, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(W_GetWaveData(r.h, c.point, c.inUse), c.expected) << c.point << "/" << c.inUse;
}

TEST(DataWord, RoundsAndClipsToTheFullScale) {
    struct Case {
        double in;
        int16_t out;
    } cases[] = {
        {0.4, 0},         {0.5, 1},       {-0.5, -1},         {-0.4, 0},
        {32766.6, 32767}, {40000, 32767}, {-32767.2, -32767}, {-40000, -32767},
        {kNaN, 0},        {kInf, 32767},  {-kInf, -32767},
    };
    for (const Case& c : cases)
        EXPECT_EQ(W_ToWord(c.in), c.out) << c.in;
}
