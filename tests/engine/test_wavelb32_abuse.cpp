// Arguments no caller should pass, but that a slip elsewhere could: infinite
// and huge positions, NaN counts, extreme handles. Each must stay inside the
// buffer (the sanitizer build checks the "inside") and give a sane result.
#include "engine/wavelb32.h"

#include <climits>
#include <gtest/gtest.h>
#include <limits>
#include <vector>

using namespace velda;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();
const double kHuge = 1e300;

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

} // namespace

TEST(Wavelb32Abuse, ClearMemoryWithExtremeRuns) {
    struct Case {
        double first, count;
        int clearedFrom, clearedTo;
    } cases[] = {
        {-kInf, 3, 0, 3},       {kHuge, 5, 0, 0},   {2, kHuge, 2, 10},   {2, -kInf, 0, 0},
        {-kHuge, -kHuge, 0, 0}, {kInf, kInf, 0, 0}, {kNaN, kNaN, 0, 0},  {9.6, 1, 0, 0},
        {-0.4, 0.4, 0, 0},      {1e15, 1e15, 0, 0}, {9.4, kHuge, 9, 10}, {0, 10.4, 0, 10},
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

TEST(Wavelb32Abuse, CopyMemoryWithExtremeRunsAndOverlapBackwards) {
    struct Case {
        double srcFirst, dstFirst, count;
        std::vector<int16_t> expected;
    } cases[] = {
        {0, 0, kNaN, {0, 0, 0, 0, 0}},    {0, 0, kInf, {1, 2, 3, 4, 5}},
        {-kInf, 2, 2, {0, 0, 1, 2, 0}},   {0, kHuge, 5, {0, 0, 0, 0, 0}},
        {kHuge, 0, 5, {0, 0, 0, 0, 0}},   {3, -kInf, kHuge, {4, 5, 0, 0, 0}},
        {kNaN, kNaN, 2, {1, 2, 0, 0, 0}},
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
    Ramp r(6);
    W_CopyMemory(r.h, r.h, 2, 0, kInf);
    EXPECT_EQ(r.words(), (std::vector<int16_t>{3, 4, 5, 6, 5, 6}));
}

TEST(Wavelb32Abuse, CopyBetweenBuffersOfDifferentSizes) {
    Ramp big(100);
    Ramp small(3);
    W_CopyMemory(big.h, small.h, 50, 0, 100);
    EXPECT_EQ(small.words(), (std::vector<int16_t>{51, 52, 53}));
    W_CopyMemory(small.h, big.h, 0, 98, 100);
    EXPECT_EQ(big.words()[97], 98);
    EXPECT_EQ(big.words()[98], 51);
    EXPECT_EQ(big.words()[99], 52);
}

TEST(Wavelb32Abuse, DeleteWaveWithExtremeArguments) {
    struct Case {
        double first, count;
        int32_t inUse;
        std::vector<int16_t> expected;
    } cases[] = {
        {kNaN, 2, 6, {3, 4, 5, 6, 0, 0, 7, 8}},      {1, kNaN, 6, {1, 2, 3, 4, 5, 6, 7, 8}},
        {2, kInf, 6, {1, 2, 0, 0, 0, 0, 7, 8}},      {-kInf, 1, 6, {2, 3, 4, 5, 6, 0, 7, 8}},
        {kHuge, kHuge, 6, {1, 2, 3, 4, 5, 6, 7, 8}}, {0, 1, INT32_MIN, {1, 2, 3, 4, 5, 6, 7, 8}},
        {6, 1, INT32_MAX, {1, 2, 3, 4, 5, 6, 8, 0}}, {0, -kInf, 8, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const Case& c : cases) {
        Ramp r(8);
        W_DeleteWave(r.h, c.first, c.count, c.inUse);
        EXPECT_EQ(r.words(), c.expected) << c.first << "," << c.count << "," << c.inUse;
    }
}

TEST(Wavelb32Abuse, GetWaveDataWithExtremePositionsAndPointsInUse) {
    Ramp r(10);
    struct Case {
        double point, inUse;
        int32_t expected;
    } cases[] = {
        {3, kNaN, 0},   {3, -kInf, 0},   {3, kInf, 4},    {9, 5.7, 5},    {kInf, 10, 10},
        {-kInf, 10, 1}, {kHuge, 10, 10}, {-kHuge, 10, 1}, {0.49, 0.9, 0}, {4, -3, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(W_GetWaveData(r.h, c.point, c.inUse), c.expected) << c.point << "/" << c.inUse;
}

TEST(Wavelb32Abuse, ExtremeAndFreedHandlesAreIgnored) {
    Ramp keep(4);
    WaveHandle freed = W_AllocMemory(4);
    W_FreeMemory(freed);
    for (WaveHandle h : {INT32_MIN, -1, INT32_MAX, freed}) {
        W_ClearMemory(h, 0, 4);
        W_CopyMemory(keep.h, h, 0, 0, 4);
        W_CopyMemory(h, keep.h, 0, 0, 4);
        W_DeleteWave(h, 0, 2, 4);
        W_FreeMemory(h);
        EXPECT_EQ(W_GetWaveData(h, 0, 4), 0) << h;
        EXPECT_TRUE(engine::bufferWords(h).empty()) << h;
    }
    EXPECT_EQ(keep.words(), (std::vector<int16_t>{1, 2, 3, 4}));
}

TEST(Wavelb32Abuse, ClipRunNeverLeavesTheBuffer) {
    struct Case {
        double first, count;
        int64_t size;
        int64_t outFirst, outCount;
    } cases[] = {
        {0, 5, 0, 0, 0},
        {3, 5, 0, 0, 0},
        {10, 5, 10, 10, 0},
        {9.5, 5, 10, 10, 0},
        {kHuge, kHuge, 65536, 65536, 0},
        {-kHuge, kHuge, 7, 0, 7},
        {2, kNaN, 7, 2, 0},
        {kInf, 1, 7, 7, 0},
        // An area from a half point to a whole one holds the points between.
        {100.5, 99.5, 1000, 101, 99},
        {0.5, 999.5, 1000, 1, 999},
        {2.4, 3.2, 1000, 2, 4},
    };
    for (const Case& c : cases) {
        const engine::Run r = engine::clipRun(c.first, c.count, c.size);
        EXPECT_EQ(r.first, c.outFirst) << c.first << "," << c.count << "," << c.size;
        EXPECT_EQ(r.count, c.outCount) << c.first << "," << c.count << "," << c.size;
        EXPECT_LE(r.first + r.count, c.size);
    }
}
