#include "engine/digital_pattern.h"
#include "engine/wavelb32.h"
#include "engine/wavelb32_draw.h"

#include <QString>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace velda;
using namespace velda::engine;

namespace {

constexpr int kSize = 64;
constexpr int kFirst = 10;
constexpr int kCount = 20;

struct Buffer {
    explicit Buffer(int n, int16_t init) : h(W_AllocMemory(n)) {
        for (int16_t& w : engine::bufferWords(h))
            w = init;
    }
    ~Buffer() { W_FreeMemory(h); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    std::vector<int16_t> words() const {
        auto w = engine::bufferWords(h);
        return {w.begin(), w.end()};
    }
    WaveHandle h;
};

// The text the Low / High / Invert buttons build from the selected traces.
std::string buttonPattern(int32_t digitalMask, char op) {
    return "Mask $" + QString::number(reverse_bit(digitalMask), 16).toUpper().toStdString() + " 0" +
           op;
}

struct Case {
    const char* pattern;
    int16_t init;
    std::vector<int> written; // the first points of the area after the pattern
};

class PatternWrites : public ::testing::TestWithParam<Case> {};

} // namespace

TEST_P(PatternWrites, WritesTheAreaFromItsFirstPoint) {
    const Case& c = GetParam();
    Buffer b(kSize, c.init);
    int32_t result2 = -1;
    ASSERT_EQ(DigitalPattern(c.pattern, kFirst, b.h, kCount, result2), 0) << c.pattern;
    const auto w = b.words();
    EXPECT_EQ(result2, static_cast<int>(c.written.size())) << c.pattern;
    for (int i = 0; i < kSize; ++i) {
        const int j = i - kFirst;
        const int want = (j >= 0 && j < static_cast<int>(c.written.size()))
                             ? c.written[static_cast<size_t>(j)]
                             : c.init;
        ASSERT_EQ(w[static_cast<size_t>(i)], want) << c.pattern << " point " << i;
    }
}

std::vector<int> repeat(std::vector<int> period, int n) {
    std::vector<int> out;
    for (size_t i = 0; out.size() < static_cast<size_t>(n); ++i)
        out.push_back(period[i % period.size()]);
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    MaskForms, PatternWrites,
    ::testing::Values(
        // Low, High, Invert of the selected bits over the whole area.
        Case{"Mask $8000 0L", -1, repeat({0x7FFF}, kCount)},
        Case{"Mask $1 0H", 0x1234, repeat({0x1235}, kCount)},
        Case{"Mask $3 0N", 0x0001, repeat({0x0002}, kCount)},
        Case{"Mask $F0F0 0N", 0x1234, repeat({(0x1234 ^ 0xF0F0) - 0x10000}, kCount)},
        Case{"Mask $FF00 0L", 0x1234, repeat({0x0034}, kCount)},
        // Only the top bit set would be -32768: clipped to the bottom of the scale.
        Case{"Mask $8000 0H", 0, repeat({-32767}, kCount)},
        Case{"Mask $7FFF 0L", -32767, repeat({-32767}, kCount)},
        Case{"mask $00ff 0h", 0, repeat({0x00FF}, kCount)}));

INSTANTIATE_TEST_SUITE_P(
    Grammar, PatternWrites,
    ::testing::Values(Case{"H", 0x1000, {-1}}, Case{"L", 0x1000, {0}}, Case{"N", 0x00FF, {-256}},
                      Case{"H L H", 5, {-1, 0, -1}}, Case{"H,L,,H", 5, {-1, 0, -1}},
                      Case{"3H 2L", 5, {-1, -1, -1, 0, 0}},
                      Case{"3 H\n2\tL", 5, {-1, -1, -1, 0, 0}}, Case{"$00FF", 0, {0x00FF}},
                      Case{"0x1234 0X00ab", 0, {0x1234, 0xAB}},
                      Case{"%1010 %1111_0000", 0, {10, 0xF0}}, Case{"2$7F", 0, {0x7F, 0x7F}},
                      Case{"$FFL", 0x100, {0xFF, 0}}, // a level letter right after a word
                      Case{"{3}[H L]", 5, {-1, 0, -1, 0, -1, 0}}, Case{"{ 2 }H", 5, {-1, -1}},
                      Case{"{2}{3}H", 5, repeat({-1}, 6)},
                      Case{"[H [L 2H]] L", 5, {-1, 0, -1, -1, 0}},
                      Case{"{2}[H {2}[L]]", 5, {-1, 0, 0, -1, 0, 0}},
                      Case{"{0}[2H L]", 5, repeat({-1, -1, 0}, kCount)}, // until the area is full
                      Case{"{0}H 5L", 5, repeat({-1}, kCount)},          // nothing left for 5L
                      Case{"25H", 5, repeat({-1}, kCount)}, // longer than the area: cut at its end
                      Case{"Mask $00F0 {0}[$0050 $00A0]", 0x1234, repeat({0x1254, 0x12A4}, kCount)},
                      Case{"Mask %1 {0}[5H 5L]", 0, repeat({1, 1, 1, 1, 1, 0, 0, 0, 0, 0}, kCount)},
                      Case{"Mask $0 0H", 0x1234, repeat({0x1234}, kCount)}));

TEST(DigitalPattern, ALengthOfZeroFillsTheRestOfTheArea) {
    Buffer b(kSize, 5);
    int32_t r2 = 0;
    ASSERT_EQ(DigitalPattern("2H 0L", kFirst, b.h, kCount, r2), 0);
    EXPECT_EQ(r2, kCount);
    const auto w = b.words();
    EXPECT_EQ(w[kFirst - 1], 5);
    EXPECT_EQ(w[kFirst], -1);
    EXPECT_EQ(w[kFirst + 1], -1);
    for (int i = kFirst + 2; i < kFirst + kCount; ++i)
        EXPECT_EQ(w[static_cast<size_t>(i)], 0);
    EXPECT_EQ(w[kFirst + kCount], 5);
}

TEST(DigitalPattern, ButtonPatternsActOnTheSelectedTraces) {
    // Trace 0 (top) is bit 15; traces 14 and 15 are bits 1 and 0.
    EXPECT_EQ(buttonPattern(0x0001, 'L'), "Mask $8000 0L");
    EXPECT_EQ(buttonPattern(0x8000, 'H'), "Mask $1 0H");
    EXPECT_EQ(buttonPattern(0xC000, 'N'), "Mask $3 0N");
    const struct {
        int32_t traces;
        char op;
        int16_t before, after;
    } cases[] = {{0x0001, 'L', 0x7FFF, 0x7FFF}, {0x0002, 'L', 0x7FFF, 0x3FFF},
                 {0x8000, 'H', 0x0010, 0x0011}, {0xC000, 'N', 0x0001, 0x0002},
                 {0x00FF, 'H', 0x0000, -256},   {0x0100, 'N', 0x00FF, 0x007F}};
    for (const auto& c : cases) {
        Buffer b(kSize, c.before);
        int32_t r2 = 0;
        const std::string p = buttonPattern(c.traces, c.op);
        ASSERT_EQ(DigitalPattern(p.c_str(), kFirst, b.h, kCount, r2), 0) << p;
        const auto w = b.words();
        EXPECT_EQ(w[kFirst], c.after) << p;
        EXPECT_EQ(w[kFirst + kCount - 1], c.after) << p;
        EXPECT_EQ(w[kFirst - 1], c.before) << p;
        EXPECT_EQ(w[kFirst + kCount], c.before) << p;
    }
}

TEST(DigitalPattern, AreaIsClippedToTheBuffer) {
    Buffer b(kSize, 0);
    int32_t r2 = 0;
    ASSERT_EQ(DigitalPattern("0H", kSize - 4, b.h, 100, r2), 0);
    EXPECT_EQ(r2, 4);
    const auto w = b.words();
    EXPECT_EQ(w[kSize - 5], 0);
    EXPECT_EQ(w[kSize - 1], -1);
    // Beyond the buffer, an empty area or no buffer: nothing, and no error.
    for (auto [first, count] :
         {std::pair{kSize, 10}, std::pair{kSize + 100, 10}, std::pair{0, 0}, std::pair{0, -5}}) {
        Buffer c(kSize, 7);
        EXPECT_EQ(DigitalPattern("0H", first, c.h, count, r2), 0);
        EXPECT_EQ(r2, 0);
        for (int16_t x : c.words())
            ASSERT_EQ(x, 7);
    }
    EXPECT_EQ(DigitalPattern("0H", 0, 0, 10, r2), 0);
    // A negative first point starts at point 0.
    Buffer d(kSize, 0);
    ASSERT_EQ(DigitalPattern("0H", -5, d.h, 3, r2), 0);
    EXPECT_EQ(d.words()[0], -1);
    EXPECT_EQ(d.words()[2], -1);
    EXPECT_EQ(d.words()[3], 0);
}

// --- errors -----------------------------------------------------------------

struct ErrorCase {
    std::string pattern;
    int32_t error;
    int32_t at; // where result2 points; -1: not checked
};

class PatternErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(PatternErrors, ReportsTheErrorAndWritesNothing) {
    const ErrorCase& c = GetParam();
    Buffer b(kSize, 0x1234);
    int32_t r2 = -1;
    EXPECT_EQ(DigitalPattern(c.pattern.c_str(), kFirst, b.h, kCount, r2), c.error) << c.pattern;
    if (c.at >= 0) {
        EXPECT_EQ(r2, c.at) << c.pattern;
    }
    for (int16_t w : b.words())
        ASSERT_EQ(w, 0x1234) << c.pattern;
}

std::string nested(int depth, const std::string& open, const std::string& inner,
                   const std::string& close) {
    std::string s;
    for (int i = 0; i < depth; ++i)
        s += open;
    s += inner;
    for (int i = 0; i < depth; ++i)
        s += close;
    return s;
}

INSTANTIATE_TEST_SUITE_P(
    Numbers, PatternErrors,
    ::testing::Values(
        // 110: too long
        ErrorCase{std::string(1025, 'H'), 110, 1024},
        ErrorCase{"H " + std::string(2000, ' '), 110, -1},
        // 111: unbalanced []
        ErrorCase{"[H L", 111, 0}, ErrorCase{"H L]", 111, 3}, ErrorCase{"[[H] L", 111, 0},
        // 112: nesting too deep
        ErrorCase{nested(17, "[", "H", "]"), 112, 16},
        ErrorCase{nested(17, "{2}", "H", ""), 112, 48},
        ErrorCase{nested(9, "{2}[", "H", "]"), 112, -1},
        // 113: counts too large
        ErrorCase{"{65537}H", 113, 1}, ErrorCase{"65537H", 113, 0},
        ErrorCase{"{99999999999999999999999}H", 113, 1}, ErrorCase{"H 123456789012L", 113, 2},
        // 114: unbalanced {}
        ErrorCase{"{3H", 114, 0}, ErrorCase{"H}", 114, 1}, ErrorCase{"{3[H]", 114, 0},
        ErrorCase{"[H}", 114, 2}, ErrorCase{"{3", 114, 0},
        // 115: not a count inside {}
        ErrorCase{"{}H", 115, 0}, ErrorCase{"{ }H", 115, 0}, ErrorCase{"{x}H", 115, 1},
        ErrorCase{"{-1}H", 115, 1}, ErrorCase{"{1.5}H", 115, 2}, ErrorCase{"{$10}H", 115, 1},
        ErrorCase{"{2 3}H", 115, 2},
        // 116: unknown text
        ErrorCase{"X", 116, 0}, ErrorCase{"H # L", 116, 2}, ErrorCase{"H L X", 116, 4},
        ErrorCase{"Maskx $1 H", 116, 0}, ErrorCase{"HL", 116, 0}, ErrorCase{"H\x80", 116, 1},
        ErrorCase{"-3H", 116, 0},
        // 117: malformed data words
        ErrorCase{"$", 117, 0}, ErrorCase{"0x", 117, 0}, ErrorCase{"%", 117, 0},
        ErrorCase{"$10000", 117, 0}, ErrorCase{"%1_0000_0000_0000_0000", 117, 0},
        ErrorCase{"%012", 117, 0}, ErrorCase{"$1_", 117, 0}, ErrorCase{"$_1", 117, 0},
        ErrorCase{"Mask $1FFFF 0L", 117, 5}, ErrorCase{"0xG", 117, 0},
        // 118: misplaced or missing elements
        ErrorCase{"", 118, 0}, ErrorCase{"  ,  ", 118, 5}, ErrorCase{"Mask", 118, 4},
        ErrorCase{"Mask $1", 118, 7}, ErrorCase{"Mask H", 118, 5}, ErrorCase{"H Mask $1 L", 118, 2},
        ErrorCase{"10", 118, 0}, ErrorCase{"{3}", 118, 0}, ErrorCase{"10 [H]", 118, 0},
        ErrorCase{"[{2}]", 118, 1}, ErrorCase{"[]", 118, 0}, ErrorCase{"H [ ]", 118, 2},
        ErrorCase{"10 20H", 118, 0}));

TEST(DigitalPattern, ErrorsLateInALongPatternStillWriteNothing) {
    Buffer b(kSize, 3);
    int32_t r2 = 0;
    EXPECT_EQ(DigitalPattern("{0}[H L] 5H 5L $FF ]", kFirst, b.h, kCount, r2), 111);
    EXPECT_EQ(DigitalPattern("Mask $1 {0}[2H 2L] {99999}H", kFirst, b.h, kCount, r2), 113);
    for (int16_t w : b.words())
        ASSERT_EQ(w, 3);
    EXPECT_EQ(DigitalPattern(nullptr, kFirst, b.h, kCount, r2), 118);
}

TEST(DigitalPattern, LimitsAreInclusive) {
    Buffer b(65536, 0);
    int32_t r2 = 0;
    std::string longest;
    for (int i = 0; i < 512; ++i)
        longest += "H ";
    EXPECT_EQ(DigitalPattern(longest.c_str(), 0, b.h, 65536, r2), 0);
    EXPECT_EQ(r2, 512);
    EXPECT_EQ(DigitalPattern((longest + "H").c_str(), 0, b.h, 65536, r2), 110);
    EXPECT_EQ(DigitalPattern(nested(16, "[", "L", "]").c_str(), 0, b.h, 1, r2), 0);
    EXPECT_EQ(DigitalPattern("{65536}N", 0, b.h, 65536, r2), 0);
    EXPECT_EQ(r2, 65536);
    EXPECT_EQ(b.words()[65535], -1);
    EXPECT_EQ(b.words()[512], -1);
    EXPECT_EQ(DigitalPattern("65536L", 0, b.h, 65536, r2), 0);
    EXPECT_EQ(b.words()[65535], 0);
}

TEST(DigitalPattern, HugeRepeatsEndWithTheArea) {
    // 65536^8 repetitions in the text, but every repetition writes a point,
    // so the work ends when the 65,536 points are written.
    Buffer b(65536, 0);
    int32_t r2 = 0;
    const std::string deep = nested(8, "{65536}[", "H L", "]");
    ASSERT_EQ(DigitalPattern(deep.c_str(), 0, b.h, 65536, r2), 0);
    EXPECT_EQ(r2, 65536);
    EXPECT_EQ(b.words()[65534], -1);
    EXPECT_EQ(b.words()[65535], 0);
    ASSERT_EQ(DigitalPattern(nested(15, "{0}", "{0}N", "").c_str(), 0, b.h, 65536, r2), 0);
    EXPECT_EQ(b.words()[65535], -1);
}
