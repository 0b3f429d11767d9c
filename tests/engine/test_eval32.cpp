#include "engine/DataWord.h"
#include "engine/eval32.h"
#include "engine/wavelb32.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <string>
#include <vector>

using namespace velda;

namespace {

constexpr int16_t kSentinel = 4321;

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

// Every test starts from a forgetful evaluator with a known seed.
class Eval32 : public ::testing::Test {
protected:
    void SetUp() override {
        ClearConstant();
        EvalInitRandom(0);
    }
    void TearDown() override { ClearConstant(); }

    static int32_t one(const std::string& text, double& value) {
        int32_t position = 0;
        return EvalOne(text.c_str(), value, position);
    }
    static int32_t one(const std::string& text) {
        double value = 0;
        return one(text, value);
    }
    static int32_t array(const Buffer& b, double first, double count, const std::string& text) {
        int32_t position = 0;
        return EvalArray1(first, count, b.h, position, text.c_str());
    }
};

} // namespace

TEST_F(Eval32, FunctionsAndOperators) {
    const double pi = std::numbers::pi;
    struct Case {
        const char* text;
        double value;
    } cases[] = {
        {"1+2*3", 7},
        {"(1+2)*3", 9},
        {"7/2", 3.5},
        {"2^10", 1024},
        {"2^3^2", 512},
        {"-2^2", -4},
        {"10--10", 20},
        {"(5+-5)", 0},
        {"1E-05*1e5", 1},
        {" 2 * pi ", 2 * pi},
        {"sin(pi/2)", 1},
        {"cos(0)", 1},
        {"tan(pi/4)", 1},
        {"asin(1)", pi / 2},
        {"acos(1)", 0},
        {"atan(1)", pi / 4},
        {"sinh(1)", std::sinh(1.0)},
        {"cosh(0)", 1},
        {"tanh(0)", 0},
        {"exp(1)", std::exp(1.0)},
        {"log(exp(2))", 2},
        {"ln(exp(3))", 3},
        {"log10(1000)", 3},
        {"sqrt(16)", 4},
        {"abs(-3)", 3},
        {"sign(-2)", -1},
        {"sign(0)", 0},
        {"sign(7)", 1},
        {"int(-2.5)", -3},
        {"int(2.5)", 2},
        {"floor(2.7)", 2},
        {"ceil(2.1)", 3},
        {"min(3,1,2)", 1},
        {"max(3,1,2)", 3},
        {"max(pow(2, 3), 1) ", 8},
        {"max(4)", 4},
        {"pow(2,10)", 1024},
        {"sqrt(2)^2", 2},
        // A name may stand apart from its parenthesis.
        {"sin (pi/2)", 1},
        {"max \t(pow (2, 3),1)", 8},
        {"[k = sqrt (4)] k*2", 4},
    };
    for (const Case& c : cases) {
        double v = -999;
        EXPECT_EQ(one(c.text, v), 0) << c.text;
        EXPECT_NEAR(v, c.value, 1e-12) << c.text;
    }
}

TEST_F(Eval32, ErrorNumbers) {
    struct Case {
        std::string text;
        int32_t code;
    } cases[] = {
        {"1+", 100},
        {"1 2", 100},
        {"foo(1)", 100},
        {"SIN(1)", 100},
        {"pi(2)", 100},
        {"1<2", 100},
        {"a=1", 100},
        {"2;3", 100},
        {"x", 100}, // no point variable outside EvalArray1
        {"1[a=1]2", 100},
        {"sin 1", 101},
        {"2*cos", 101},
        {"exp + 1", 101},
        {"2*(3+4", 102},
        {"2*3)", 102},
        {")(", 102},
        {"sin(1,2)", 103},
        {"pow(2)", 103},
        {"max()", 103},
        {"rnd()", 103},
        {"rnd(1,2,3)", 103},
        {"1/0", 104},
        {"1/(2-2)", 104},
        {"0/0", 104},
        {"0^-1", 104},
        {"pow(0,-2)", 104},
        {"", 108},
        {"   ", 108},
        {"[a=1]", 108},
        {std::string(engine::kMaxTextLength + 1, '1'), 110},
        {"[a=1", 111},
        {"a]", 111},
        {"[a=[1]]2", 111},
        {"[a=1][b=2", 111},
        // A comma outside a function's arguments is no list of results.
        {"1,2", 100},
        {"(1,2)", 100},
        {"max(1,(2,3))", 100},
        {"[a=1,2]a", 18},
        {"sin (1)+*2", 100},
    };
    for (const Case& c : cases)
        EXPECT_EQ(one(c.text), c.code) << c.text.substr(0, 40);
}

TEST_F(Eval32, ErrorPositionPointsIntoTheText) {
    double v = 0;
    int32_t position = -5;
    EXPECT_EQ(EvalOne("[a=1]2+*3", v, position), 100);
    EXPECT_GE(position, 6);
    EXPECT_LE(position, 7);
    EXPECT_EQ(EvalOne("2*(3", v, position), 102);
    EXPECT_EQ(position, 4);
    EXPECT_EQ(EvalOne("1+sin", v, position), 101);
    EXPECT_EQ(position, 2);
    // Blanks between a name and its parenthesis move no position.
    EXPECT_EQ(EvalOne("sin  (1)+*3", v, position), 100);
    EXPECT_GE(position, 8);
    EXPECT_LE(position, 9);
    EXPECT_EQ(EvalOne("2*2", v, position), 0);
    EXPECT_EQ(position, -1);
}

TEST_F(Eval32, ArrayUsesThePointNumberAsX) {
    Buffer b(20);
    EXPECT_EQ(array(b, 10, 5, "x*2-1"), 0);
    const auto w = b.words();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(w[i], i >= 10 && i < 15 ? 2 * i - 1 : kSentinel) << i;
}

TEST_F(Eval32, ArrayRoundsAndClipsThroughTheDataWord) {
    Buffer b(8);
    EXPECT_EQ(array(b, 0, 8, "(x-4)*20000+0.5"), 0);
    EXPECT_EQ(b.words(),
              (std::vector<int16_t>{-32767, -32767, -32767, -20000, 1, 20001, 32767, 32767}));
}

TEST_F(Eval32, ArrayMatchesDirectComputation) {
    Buffer b(65536);
    EXPECT_EQ(array(b, 0, 65536, "sin(2*pi*x/65536)*20000"), 0);
    const auto w = b.words();
    for (int i = 0; i < 65536; i += 7)
        ASSERT_EQ(w[i], W_ToWord(std::sin(2 * std::numbers::pi * i / 65536) * 20000)) << i;
}

TEST_F(Eval32, DivisionByZeroAtOnePointFailsTheWholeRun) {
    const char* texts[] = {
        "x/(x-500)",      // one point of a thousand
        "sin(x)/x",       // 0/0 at the first point
        "atan(1/(x-5))",  // hidden: the result is finite
        "1000/(x-999)",   // the last point
        "exp(-1/(x-10))", // infinity turned back into a number
        "rnd(x,100)/(x-7)",
        "x/0", // folded into the bytecode
        "x+0*(1/(2-2))",
    };
    for (const char* text : texts) {
        Buffer b(1000);
        EXPECT_EQ(array(b, 0, 1000, text), 104) << text;
        EXPECT_EQ(b.words(), Buffer(1000).words()) << text << ": nothing written";
    }
}

TEST_F(Eval32, NonNumbersAndInfinitiesAreNotDivisions) {
    Buffer b(10);
    EXPECT_EQ(array(b, 0, 10, "log(x)*1000"), 0);
    EXPECT_EQ(b.words()[0], -32767); // -infinity at the bottom
    EXPECT_EQ(b.words()[1], 0);
    EXPECT_EQ(array(b, 0, 10, "sqrt(x-5)*100"), 0);
    EXPECT_EQ(b.words()[0], 0); // not a number: the centre level
    EXPECT_EQ(b.words()[9], 200);
    EXPECT_EQ(array(b, 0, 10, "exp(x*100)"), 0);
    EXPECT_EQ(b.words()[9], 32767);
}

TEST_F(Eval32, FailedArrayWritesNothing) {
    const char* texts[] = {"x+", "[a=b;b=1]x", "x/(x-99)", "sin(x,1)", "rnd(x,1,2)", "(x"};
    for (const char* text : texts) {
        Buffer b(100);
        int32_t position = 0;
        EXPECT_NE(EvalArray1(0, 100, b.h, position, text), 0) << text;
        for (int16_t w : b.words())
            ASSERT_EQ(w, kSentinel) << text;
    }
}

TEST_F(Eval32, EmptyRunStillChecksTheText) {
    Buffer b(10);
    EXPECT_EQ(array(b, 5, 0, "x+"), 100);
    EXPECT_EQ(array(b, 5, 0, "x+1"), 0);
    EXPECT_EQ(array(b, 50, 10, "sin(x)"), 0); // beyond the buffer: nothing to fill
    EXPECT_EQ(b.words(), Buffer(10).words());
}

TEST_F(Eval32, NoBufferIsReported) {
    int32_t position = 0;
    EXPECT_EQ(EvalArray1(0, 10, 0, position, "x"), 105);
    EXPECT_EQ(EvalArray1(0, 10, 99999, position, "x"), 105);
}

TEST_F(Eval32, ConstantBlockDefinesConstantsForTheExpression) {
    Buffer b(5);
    EXPECT_EQ(array(b, 0, 5, "[a = 2; b = a*3 + 1]x*b"), 0);
    EXPECT_EQ(b.words(), (std::vector<int16_t>{0, 7, 14, 21, 28}));
    double v = 0;
    EXPECT_EQ(one("[k=2\nm=k*5\r\n;;n = m+k ]n", v), 0) << "line ends separate items";
    EXPECT_EQ(v, 12);
    EXPECT_EQ(one("n*2[q=1]", v), 0) << "a block may also follow the expression";
    EXPECT_EQ(v, 24);
}

TEST_F(Eval32, BadConstantBlocksGive18) {
    const char* texts[] = {
        "[a=b*2; b=1]1", // forward reference
        "[a]1",          "[=1]1",   "[1a=2]1", "[A=1]1",   "[a b=1]1",
        "[sin=2]1",      "[x=2]1",  "[pi=3]1", "[a=x]1",   "[a=1/0]1",
        "[a=log(0)]1",   "[a=1+]1", "[a=]1",   "[a=1=2]1", "[a=sin 1]1",
    };
    for (const char* text : texts)
        EXPECT_EQ(one(text), 18) << text;
    Buffer b(10);
    int32_t position = 0;
    EXPECT_EQ(EvalArray1(0, 10, b.h, position, "[a=b*2; b=1]x*a"), 18);
    EXPECT_EQ(b.words(), Buffer(10).words());
}

TEST_F(Eval32, ConstantsLastUntilClearConstant) {
    double v = 0;
    EXPECT_EQ(one("[k=5]0", v), 0);
    EXPECT_EQ(one("k*2", v), 0);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(one("[k=k+1]k", v), 0) << "a later block may redefine";
    EXPECT_EQ(v, 6);
    ClearConstant();
    EXPECT_EQ(one("k*2", v), 100);
    EXPECT_FALSE(engine::defaultEvaluator().constant("k"));
}

TEST_F(Eval32, FailedCallDefinesNoConstant) {
    Buffer b(10);
    EXPECT_EQ(array(b, 0, 10, "[m=3]1/(x-4)"), 104);
    EXPECT_EQ(one("m"), 100);
    EXPECT_EQ(one("[m=3; n=1/0]1"), 18);
    EXPECT_EQ(one("m"), 100);
}

TEST_F(Eval32, RandomIsReproducibleForASeedAndBounded) {
    Buffer a(2000), b(2000);
    EvalInitRandom(9);
    EXPECT_EQ(array(a, 0, 2000, "rnd(x, 1000)"), 0);
    EvalInitRandom(9);
    EXPECT_EQ(array(b, 0, 2000, "rnd(x, 1000)"), 0);
    EXPECT_EQ(a.words(), b.words());

    const auto w = a.words();
    const auto [lo, hi] = std::minmax_element(w.begin(), w.end());
    EXPECT_GE(*lo, -1000);
    EXPECT_LE(*hi, 1000);
    EXPECT_LT(*lo, -950);
    EXPECT_GT(*hi, 950);

    EXPECT_EQ(array(b, 0, 2000, "rnd(x, 1000)"), 0);
    EXPECT_NE(a.words(), b.words()) << "the sequence goes on without a new seed";
    EvalInitRandom(10);
    EXPECT_EQ(array(b, 0, 2000, "rnd(x, 1000)"), 0);
    EXPECT_NE(a.words(), b.words()) << "another seed, other noise";
}

TEST_F(Eval32, RandomWithoutAmplitudeStaysWithinOne) {
    Buffer b(500);
    EXPECT_EQ(array(b, 0, 500, "rnd(x)*1000"), 0);
    const auto w = b.words();
    EXPECT_LE(*std::max_element(w.begin(), w.end()), 1000);
    EXPECT_GE(*std::min_element(w.begin(), w.end()), -1000);
    EXPECT_GT(std::count_if(w.begin(), w.end(), [&w](int16_t v) { return v != w[0]; }), 400)
        << "a new draw at every point";
}

TEST_F(Eval32, FailedCallTakesItsRandomDrawsBack) {
    Buffer a(50), b(50);
    EvalInitRandom(3);
    EXPECT_EQ(array(a, 0, 50, "rnd(x,30000)"), 0);
    EvalInitRandom(3);
    EXPECT_EQ(array(b, 0, 50, "rnd(x,30000)+1/(x-40)"), 104);
    EXPECT_EQ(array(b, 0, 50, "rnd(x,30000)"), 0);
    EXPECT_EQ(a.words(), b.words());
}

TEST_F(Eval32, RandomSurvivesTheDivisionCheck) {
    // log(0) raises the floating-point flags that make the evaluator look
    // for a division by zero in a second run; the draws that follow must be
    // those that follow a run without the look.
    Buffer a(100), b(100);
    EvalInitRandom(4);
    EXPECT_EQ(array(a, 0, 100, "rnd(x,5000)+log(x)"), 0);
    EXPECT_EQ(array(a, 0, 100, "rnd(x,5000)"), 0);
    EvalInitRandom(4);
    EXPECT_EQ(array(b, 0, 100, "rnd(x,5000)+log(x+1)"), 0);
    EXPECT_EQ(array(b, 0, 100, "rnd(x,5000)"), 0);
    EXPECT_EQ(a.words(), b.words());
}

TEST_F(Eval32, EvaluatorsAreIndependent) {
    engine::Evaluator mine;
    double v = 0;
    int32_t position = 0;
    EXPECT_EQ(mine.evalOne("[z=4]z", v, position), 0);
    EXPECT_EQ(one("z"), 100) << "the engine's evaluator did not learn z";
    EXPECT_EQ(mine.constant("z").value_or(0), 4.0);
}
