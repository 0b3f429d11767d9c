// The block evaluation (over any number of threads) against the point-by-
// point one: the same words, the same failures, the same noise.

#include "engine/eval32.h"
#include "engine/wavelb32.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace velda;

namespace {

constexpr int16_t kUntouched = 4321;

struct Outcome {
    int32_t result;
    int32_t position;
    std::vector<int16_t> words;
    std::optional<double> constantK;
};

// One evaluation of `text` over [first, first + count) of a 65,536-point
// buffer by a fresh evaluator; threads -1: point by point.
Outcome evaluate(const std::string& text, double first, double count, int threads) {
    engine::Evaluator e;
    e.initRandom(7);
    e.setBlockEvaluation(threads >= 0, threads);
    const WaveHandle h = W_AllocMemory(65536);
    auto w = engine::bufferWords(h);
    std::fill(w.begin(), w.end(), kUntouched);
    Outcome r;
    r.result = e.evalArray(first, count, h, r.position, text);
    // A second text shows the noise sequence went on from the same place.
    int32_t position = 0;
    e.evalArray(0, 3, h, position, "rnd(x, 30000)");
    r.words.assign(w.begin(), w.end());
    r.constantK = e.constant("k");
    W_FreeMemory(h);
    return r;
}

// frac(v * 1e14) spread over the scale: a difference in the last bit of v
// moves the word by hundreds.
std::string lastBits(const std::string& v) {
    return "((" + v + ")*1e14 - floor((" + v + ")*1e14))*60000 - 30000";
}

TEST(EvalBlock, SameWordsFailuresAndNoiseAsPointByPoint) {
    const std::vector<std::string> texts = {
        "sin(2*pi*x/65536)*20000 + rnd(x, 1000)",
        "[k=8000; f=3] k*sin(2*pi*f*x/65536)*sqrt(x/65536) + k/4*sign(x-32768)",
        "30000*(x-32768)/(abs(x-32768)+1000)",
        lastBits("sin(x/3)"),
        lastBits("exp(-x/30000)*cos(x)"),
        lastBits("x/7"),
        lastBits("x^0.37 - pow(x, 0.21)"),
        lastBits("-x*x + x^2 + x^3/1e9 - x^4/1e15"),
        lastBits("tanh(x/9000) + atan(x) + log10(x+1) + ln(x+2) + log(x+3)"),
        "min(x, 100, 40000 - x, 3*x) + max(x/2, 7)",
        "int(x/100)*100 + floor(-x/3) + ceil(x/7)",
        "rnd(x) * 1000 + rnd(x, 5) * x / 10 + rnd(x, x)",
        "log(x)*1000",           // infinity at point 0, no division
        "sqrt(x-30000)*100",     // not a number below 30000
        "1/(x-40000)",           // division by zero at one point
        "rnd(x, 100)/(x-65535)", // at the last point, noise drawn before
        "x/0",                   // folded when compiled
        "x+0*(1/(2-2))",
        "rnd(x, 1, 2)", // too many arguments
        "asin(2) + x",  // not a number everywhere
        "[k=2*pi] k*x",
        "7",
        "x",
    };
    struct Range {
        double first, count;
    };
    const Range ranges[] = {{0, 65536}, {5, 1000}, {100.4, 9000.6}, {65530, 100}, {0, 0}};
    for (const std::string& text : texts) {
        for (const Range& range : ranges) {
            const Outcome reference = evaluate(text, range.first, range.count, -1);
            for (int threads : {1, 2, 3, 0}) {
                const Outcome r = evaluate(text, range.first, range.count, threads);
                const std::string where = text + " over " + std::to_string(range.first) + "+" +
                                          std::to_string(range.count) + " on " +
                                          std::to_string(threads) + " threads";
                EXPECT_EQ(r.result, reference.result) << where;
                EXPECT_EQ(r.position, reference.position) << where;
                EXPECT_EQ(r.constantK, reference.constantK) << where;
                EXPECT_TRUE(r.words == reference.words) << where;
            }
        }
    }
}

TEST(EvalBlock, FailuresWriteNothingOnEveryThreadCount) {
    for (int threads : {-1, 1, 2, 4}) {
        const Outcome r = evaluate("1/(x-40000)", 0, 65536, threads);
        EXPECT_EQ(r.result, 104) << threads;
        // Only the three points of the second text were written.
        EXPECT_TRUE(std::all_of(r.words.begin() + 3, r.words.end(), [](int16_t w) {
            return w == kUntouched;
        })) << threads;
    }
}

} // namespace
