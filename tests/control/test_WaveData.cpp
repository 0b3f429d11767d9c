#include "control/WaveData.h"

#include <cfenv>
#include <cmath>
#include <gtest/gtest.h>
#include <vector>

using namespace velda::control;

namespace {

// The rule written out independently: divide as a real number and round to
// nearest with ties to even (the default floating-point rounding).
int32_t reference(int16_t w, int16_t d) {
    return static_cast<int32_t>(std::nearbyint(static_cast<double>(w) / static_cast<double>(d)));
}

std::vector<uint8_t> convert(const std::vector<int16_t>& words, int64_t mask, bool swap) {
    std::vector<uint8_t> out(2 * words.size(), 0xEE);
    EXPECT_TRUE(
        Convert_WaveData(words, static_cast<int32_t>(words.size()), mask, swap, std::span(out)));
    return out;
}

} // namespace

TEST(WaveData, ConvertsWordsToBytesByMaskAndOrder) {
    struct Case {
        const char* what;
        std::vector<int16_t> words;
        int64_t mask;
        bool swap;
        std::vector<uint8_t> expected;
    } cases[] = {
        {"full scale, high byte first",
         {0x1234, -1, 32767},
         0xFFFF,
         false,
         {0x12, 0x34, 0xFF, 0xFF, 0x7F, 0xFF}},
        {"full scale, low byte first", {0x1234, -1}, 0xFFFF, true, {0x34, 0x12, 0xFF, 0xFF}},
        {"bottom of the scale with d = 4", {-32767}, 0xFFFC, false, {0xE0, 0x00}},
        {"top of the scale with d = 4", {32767}, 0xFFFC, false, {0x20, 0x00}},
        // 6 / 4 = 1.5 -> 2, 10 / 4 = 2.5 -> 2, -6 / 4 -> -2, -10 / 4 -> -2.
        {"ties go to the even neighbour",
         {6, 10, -6, -10},
         0xFFFC,
         false,
         {0, 2, 0, 2, 0xFF, 0xFE, 0xFF, 0xFE}},
        {"just past half rounds away", {7, -7}, 0xFFFC, false, {0, 2, 0xFF, 0xFE}},
        {"hexadecimal and decimal masks agree", {100}, 65532, false, {0, 25}},
        // 65536 - 0x8000 is 32768, which as a 16-bit number is -32768.
        {"the top mask bit alone divides by -32768",
         {16384, 16385, -32767},
         0x8000,
         false,
         {0, 0, 0xFF, 0xFF, 0, 1}},
        // Not a power of two: 65536 - 0xFFFD = 3, 5 / 3 -> 2, 3 / 3 = 1.
        {"any other divisor divides", {5, 3, -5}, 0xFFFD, true, {2, 0, 1, 0, 0xFE, 0xFF}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(convert(c.words, c.mask, c.swap), c.expected) << c.what;
}

TEST(WaveData, MemoryOf1024PointsIs2048BytesHighByteFirst) {
    std::vector<int16_t> words(1024);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<int16_t>(i * 61 - 30000);
    const auto bytes = convert(words, 0xFFFF, false);
    ASSERT_EQ(bytes.size(), 2048u);
    for (size_t i = 0; i < words.size(); ++i) {
        const auto u = static_cast<uint16_t>(words[i]);
        ASSERT_EQ(bytes[2 * i], u >> 8) << i;
        ASSERT_EQ(bytes[2 * i + 1], u & 0xFF) << i;
    }
}

TEST(WaveData, EveryMaskStepMatchesTheDivisionOverAllWords) {
    ASSERT_EQ(std::fegetround(), FE_TONEAREST);
    std::vector<int16_t> words(65536);
    for (int i = 0; i < 65536; ++i)
        words[static_cast<size_t>(i)] = static_cast<int16_t>(i - 32768);
    std::vector<uint8_t> out(2 * words.size());
    for (int step = 1; step <= 32768; ++step) {
        // Every third step, and some powers of two, divide by minus the step
        // (a mask below 32768).
        const bool negative = step % 3 == 0 || step == 2 || step == 64 || step == 16384;
        const int64_t mask = negative ? step : 65536 - step;
        const int16_t d = Mask_Divisor(mask);
        ASSERT_TRUE(Convert_WaveData(words, 65536, mask, step % 2 == 0, std::span(out)));
        for (size_t i = 0; i < words.size(); ++i) {
            const auto expected = static_cast<uint16_t>(reference(words[i], d) & 0xFFFF);
            const uint16_t got = step % 2 == 0
                                     ? static_cast<uint16_t>(out[2 * i] | out[2 * i + 1] << 8)
                                     : static_cast<uint16_t>(out[2 * i] << 8 | out[2 * i + 1]);
            if (got != expected) {
                ADD_FAILURE() << "step " << step << " word " << words[i] << " gave " << got
                              << " expected " << expected;
                return;
            }
        }
    }
}

// The words are done several at a time: any count converts its words as
// the whole block does and writes nothing past them.
TEST(WaveData, AnyCountConvertsItsOwnWordsOnly) {
    std::vector<int16_t> words(40);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<int16_t>(static_cast<int>(i) * 1637 - 32768);
    for (const int64_t mask : {0xFFFF, 1, 0xFFFC, 4, 0xFFFD, 0x8000}) {
        for (const bool swap : {false, true}) {
            const auto whole = convert(words, mask, swap);
            for (int32_t count = 0; count <= 40; ++count) {
                std::vector<uint8_t> out(2 * words.size(), 0xEE);
                ASSERT_TRUE(Convert_WaveData(words, count, mask, swap, std::span(out)));
                std::vector<uint8_t> expected(whole.begin(), whole.begin() + 2 * count);
                expected.resize(out.size(), 0xEE);
                ASSERT_EQ(out, expected) << "mask " << mask << " count " << count;
            }
        }
    }
}

TEST(WaveData, UnusableMasksAndShortBuffersAreRefusedWithoutWriting) {
    const std::vector<int16_t> words{1, 2};
    struct Case {
        const char* what;
        int64_t mask;
        int32_t count;
        size_t outSize;
    } cases[] = {
        {"no mask (script without arbmask)", 0, 2, 4},
        {"mask 65536 also divides by zero", 65536, 2, 4},
        {"more points than words", 0xFFFF, 3, 6},
        {"byte block too small", 0xFFFF, 2, 3},
        {"negative count", 0xFFFF, -1, 4},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> out(c.outSize, 0xEE);
        EXPECT_FALSE(Convert_WaveData(words, c.count, c.mask, false, std::span(out))) << c.what;
        EXPECT_EQ(out, std::vector<uint8_t>(c.outSize, 0xEE)) << c.what;
    }
}

TEST(WaveData, BlockHeadersAndTheirToken) {
    struct Case {
        QString line;
        int64_t bytes;
        QString expected;
        bool hadToken;
    } cases[] = {
        {QStringLiteral("DATA:ARB WAVE1,_$Block"), 8192, QStringLiteral("DATA:ARB WAVE1,#48192"),
         true},
        {QStringLiteral("_$Block"), 2, QStringLiteral("#12"), true},
        {QStringLiteral("X _$Block"), 131072, QStringLiteral("X #6131072"), true},
        {QStringLiteral("X _$Block"), 0, QStringLiteral("X #10"), true},
        {QStringLiteral(":TRAC:DATA"), 2048, QStringLiteral(":TRAC:DATA"), false},
    };
    for (const Case& c : cases) {
        bool had = !c.hadToken;
        EXPECT_EQ(Replace_BlockToken(c.line, c.bytes, &had), c.expected) << c.line.toStdString();
        EXPECT_EQ(had, c.hadToken) << c.line.toStdString();
    }
    // The power source's fixed line announces 4,096 points as 8192 bytes.
    EXPECT_EQ(PowerSource_SendLine(3, 8192), QStringLiteral(":TRAC Arb3,#48192"));
}

TEST(WaveData, FunctionCommandByModelNumber) {
    struct Case {
        int16_t model;
        int16_t memory;
        QString expected;
        bool output;
    } cases[] = {
        {0, 1, QStringLiteral(":FUNC ARB1"), false}, {0, 16, QStringLiteral(":FUNC ARB16"), false},
        {1, 3, QStringLiteral("FNC 6"), false},      {20, 3, QStringLiteral("FNC 6"), false},
        {21, 0, QStringLiteral("FUNC 2"), false},    {21, 3, QStringLiteral("FUNC 5"), false},
        {22, 0, QStringLiteral("FNC 5"), false},     {22, 4, QStringLiteral("FNC 9"), false},
        {23, 0, QStringLiteral("Wave 1"), true},     {40, 7, QStringLiteral("Wave 8"), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Function_Command(c.model, c.memory), c.expected) << c.model;
        EXPECT_EQ(Needs_OutputAfterFunction(c.model), c.output) << c.model;
    }
    EXPECT_EQ(Output_Command(0), QStringLiteral("Outp 1"));
    EXPECT_EQ(Output_Command(1), QStringLiteral("Outp 0"));
    EXPECT_EQ(Output_Command(2), QStringLiteral("Outp 0"));
}

TEST(WaveData, NumbersInShortestPlainDecimalForm) {
    struct Case {
        double value;
        const char* expected;
    } cases[] = {
        {50, "50"},       {0.001, "0.001"},     {-12.5, "-12.5"},
        {1e6, "1000000"}, {0.1, "0.1"},         {1e-7, "0.0000001"},
        {-0.0, "0"},      {123.456, "123.456"}, {2.0 / 3, "0.6666666666666666"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Plain_Decimal(c.value), QString::fromLatin1(c.expected)) << c.expected;
}

TEST(WaveData, MemoryNamesLoseTheirUnprintableEnds) {
    struct Case {
        QString in;
        QString out;
    } cases[] = {
        {QStringLiteral("WAVE1           "), QStringLiteral("WAVE1")},
        {QStringLiteral("\t`A B`\x7f"), QStringLiteral("A B")},
        {QStringLiteral("    "), QString()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Printable_Name(c.in), c.out) << c.in.toStdString();
}
