#include "TestSupport.h"
#include "app/Messages.h"
#include "engine/eval32.h"
#include "engine/wavelb32.h"
#include "engine/wavelb32_make.h"
#include "tools/CreatePages.h"

#include <gtest/gtest.h>
#include <vector>

using namespace velda;
using namespace velda::tools;

namespace {

constexpr int16_t kSentinel = 2222;

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

ExprUnits seconds(double period, int64_t n) {
    ExprUnits u;
    u.XUnitMode = 1;
    u.N = n;
    u.Period = period;
    return u;
}

CreatePageRecord expressionPage(double start, double end, const QString& expr,
                                const QString& constants = {}) {
    CreatePageRecord p;
    p.FuncType = FuncExpression;
    p.AreaStart = start;
    p.AreaEnd = end;
    p.Size() = end - start;
    p.ExprText = expr;
    p.ConstText = constants;
    return p;
}

} // namespace

TEST(CreatePages, FreshStoreHoldsClearedPages) {
    CreatePages store;
    EXPECT_EQ(store.CurPage, 1);
    for (int n : {0, 1, 100, 200, 201, 202}) {
        const CreatePageRecord& p = store.CreatePage(n);
        EXPECT_EQ(p.PageNo, n);
        EXPECT_EQ(p.Visited, PageFalse);
        EXPECT_EQ(p.Effect, PageFalse);
        EXPECT_EQ(p.FuncType, FuncSin);
        EXPECT_EQ(p.AreaStart, 0);
        EXPECT_EQ(p.AreaEnd, 0);
        EXPECT_EQ(p.Param, (std::array<double, 8>{0, 0, 65534, 1, 0, 50, 50, 0}));
        EXPECT_TRUE(p.ConstText.isEmpty());
        EXPECT_TRUE(p.ExprText.isEmpty());
    }
    EXPECT_EQ(&store.CreatePage(-4), &store.CreatePage(0));
    EXPECT_EQ(&store.CreatePage(999), &store.CreatePage(202));
}

TEST(CreatePages, AllClearResetsEveryRecord) {
    CreatePages store;
    for (int n : {0, 5, 200, 201}) {
        CreatePageRecord& p = store.CreatePage(n);
        p.Visited = p.Effect = PageTrue;
        p.FuncType = FuncSquare;
        p.AreaStart = 10;
        p.AreaEnd = 90;
        p.Param = {1, 80, 2, 3, 4, 5, 6, 7};
        p.ConstText = "a=1";
        p.ExprText = "x";
    }
    store.CurPage = 5;
    store.AllClear();
    EXPECT_EQ(store.CurPage, 1);
    const CreatePageRecord fresh = CreatePages().CreatePage(5);
    for (int n : {0, 5, 200, 201}) {
        const CreatePageRecord& p = store.CreatePage(n);
        EXPECT_EQ(p.PageNo, n);
        EXPECT_EQ(p.Effect, PageFalse) << n;
        EXPECT_EQ(p.FuncType, FuncSin) << n;
        EXPECT_EQ(p.AreaEnd, 0) << n;
        EXPECT_EQ(p.Param, fresh.Param) << n;
        EXPECT_TRUE(p.ExprText.isEmpty()) << n;
    }
}

TEST(CreatePages, PageClearKeepsFunctionAreaAndSize) {
    CreatePageRecord p;
    p.Visited = p.Effect = PageTrue;
    p.FuncType = FuncTriangle;
    p.AreaStart = 100;
    p.AreaEnd = 300;
    p.Param = {5, 200, 7, 8, 9, 10, 11, 12};
    p.ConstText = "a=1";
    p.ExprText = "x*a";
    p.Page_Clear();
    EXPECT_EQ(p.Visited, PageFalse);
    EXPECT_EQ(p.Effect, PageFalse);
    EXPECT_EQ(p.FuncType, FuncTriangle);
    EXPECT_EQ(p.AreaStart, 100);
    EXPECT_EQ(p.AreaEnd, 300);
    EXPECT_EQ(p.Param, (std::array<double, 8>{0, 200, 65534, 1, 0, 50, 50, 0}));
    EXPECT_TRUE(p.ConstText.isEmpty());
    EXPECT_TRUE(p.ExprText.isEmpty());
}

TEST(CreatePages, FirstEditSwitchesAFreshPageOn) {
    CreatePages store;
    EXPECT_TRUE(store.Check_Visit(4));
    EXPECT_EQ(store.CreatePage(4).Visited, PageTrue);
    EXPECT_EQ(store.CreatePage(4).Effect, PageTrue);
    EXPECT_FALSE(store.Check_Visit(4));
    // A page the user switched off after editing stays off.
    store.CreatePage(4).Effect = PageFalse;
    EXPECT_FALSE(store.Check_Visit(4));
    EXPECT_EQ(store.CreatePage(4).Effect, PageFalse);
}

TEST(CreatePages, FirstAndLastSwitchedOnPages) {
    CreatePages store;
    EXPECT_EQ(store.First_Effect_Page(), 0);
    EXPECT_EQ(store.Last_Effect_Page(), 0);
    store.CreatePage(0).Effect = PageTrue;   // the operate page does not count
    store.CreatePage(201).Effect = PageTrue; // nor the hidden ones
    EXPECT_EQ(store.First_Effect_Page(), 0);
    store.CreatePage(7).Effect = PageTrue;
    store.CreatePage(3).Effect = PageTrue;
    store.CreatePage(150).Effect = PageTrue;
    EXPECT_EQ(store.First_Effect_Page(), 3);
    EXPECT_EQ(store.Last_Effect_Page(), 150);
}

TEST(CreatePages, ExpressionTextsAreStoredTrimmedAndCut) {
    CreatePageRecord p;
    EXPECT_TRUE(p.Store_ExprText("  sin(x)  "));
    EXPECT_EQ(p.ExprText, "sin(x)");
    EXPECT_FALSE(p.Store_ExprText("sin(x) ")) << "same text without blanks: no change";
    EXPECT_TRUE(p.Store_ConstText(QString(2000, 'a')));
    EXPECT_EQ(p.ConstText.size(), ConstTextLength);
    EXPECT_TRUE(p.Store_ExprText(QString(2000, 'b')));
    EXPECT_EQ(p.ExprText.size(), ExprTextLength);
}

TEST(CreatePages, PlainNumberText) {
    struct Case {
        double v;
        const char* text;
    } cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {1, "1"},
        {0.001, "0.001"},
        {-2.5, "-2.5"},
        {65534, "65534"},
        {1e-5, "1E-05"},
        {1e20, "1E+20"},
        {1.0 / 3, "0.333333333333333"},
        {0.1 + 0.2, "0.3"},
        {123456789012345.0, "123456789012345"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Plain_Number_Text(c.v), QString(c.text)) << c.v;
}

TEST(CreatePages, InsertXReplacesOnlyFreeStandingX) {
    const ExprUnits sec = seconds(0.001, 1000);
    const QString t = "(x*(0.001/1000))";
    struct Case {
        QString in, out;
    } cases[] = {
        {"sin(2*pi*x/0.001)", "sin(2*pi*" + t + "/0.001)"},
        {"exp(x)+max(x,1)", "exp(" + t + ")+max(" + t + ",1)"},
        {"x", t},
        {"x+x", t + "+" + t},
        {"2x+x2+xx+ax", "2x+x2+xx+ax"},
        {"(x)", "(" + t + ")"},
        {"X", "X"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Insert_x(c.in, sec), c.out) << c.in.toStdString();

    ExprUnits user;
    user.XUnitMode = 2;
    user.N = 4096;
    user.XAtStart = -5;
    user.XAtEnd = 5;
    user.UserXStart = -5;
    EXPECT_EQ(Insert_x("x^2", user), "(x*((5--5)/4096)+(-5))^2");

    ExprUnits points;
    points.N = 1000;
    EXPECT_EQ(Insert_x("sin(x)", points), "sin(x)");
}

TEST(CreatePages, InsertRndGivesEveryRndThePosition) {
    struct Case {
        QString in, out;
    } cases[] = {
        {"rnd(5)", "rnd(x,5)"},
        {"rnd()", "rnd(x)"},
        {"rnd ( 5)", "rnd ( x,5)"},
        {"rnd( )", "rnd( x)"},
        {"2*rnd", "2*rnd"},
        {"sin(x)", "sin(x)"},
        {"rnd(1)+rnd(2)", "rnd(x,1)+rnd(x,2)"},
        {"rnd(", "rnd(x,"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Insert_Rnd(c.in), c.out) << c.in.toStdString();
}

TEST(CreatePages, BuildExpressionConvertsRndArgumentAndUnits) {
    CreatePageRecord p = expressionPage(0, 1000, "rnd()  ", "a=1  ");
    EXPECT_EQ(Build_Expression(p, seconds(0.001, 1000)), "[a=1]rnd((x*(0.001/1000)))");

    ExprUnits volts;
    volts.YUnitMode = 1;
    volts.YTop = 10;
    volts.YBottom = -10;
    p.ExprText = "1";
    EXPECT_EQ(Build_Expression(p, volts), "[a=1]((1)-((10+-10)/2))*(65534/(10--10))");
}

TEST(CreatePages, ExpressionInVoltsGivesTheWordOfThatVoltage) {
    ClearConstant();
    ExprUnits volts;
    volts.YUnitMode = 1;
    volts.YTop = 10;
    volts.YBottom = -10;
    Buffer b(100);
    const CreatePageRecord p = expressionPage(10, 20, "1");
    EXPECT_EQ(Make_Wave(p, {b.h, true, true}, volts), 0);
    const auto w = b.words();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(w[i], i >= 10 && i < 20 ? 3277 : kSentinel) << i; // 1 V of +-10 V
}

TEST(CreatePages, ExpressionInSecondsSpansThePeriod) {
    ClearConstant();
    Buffer b(1000);
    const CreatePageRecord p = expressionPage(0, 1000, "sin(2*pi*x/0.001)*10000");
    EXPECT_EQ(Make_Wave(p, {b.h, true, true}, seconds(0.001, 1000)), 0);
    const auto w = b.words();
    EXPECT_EQ(w[0], 0);
    EXPECT_EQ(w[250], 10000);
    EXPECT_EQ(w[500], 0);
    EXPECT_EQ(w[750], -10000);
}

TEST(CreatePages, MakeWaveWritesThePageArea) {
    struct Case {
        int16_t func;
        bool toWave;
        int from, to;
    } cases[] = {
        {FuncSin, true, 30, 70},   {FuncTriangle, true, 30, 70},   {FuncSquare, true, 30, 70},
        {FuncNoise, true, 30, 70}, {FuncDC, true, 30, 70},         {FuncSin, false, 0, 40},
        {FuncDC, false, 0, 40},    {FuncExpression, true, 30, 70}, {FuncExpression, false, 0, 40},
    };
    for (const Case& c : cases) {
        ClearConstant();
        CreatePageRecord p = expressionPage(30, 70, "x+100");
        p.FuncType = c.func;
        p.Offset() = 500;
        p.Ampl() = 2000;
        Buffer b(100);
        EXPECT_EQ(Make_Wave(p, {b.h, c.toWave, true}, ExprUnits{}), 0);
        const auto w = b.words();
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(w[i] != kSentinel, i >= c.from && i < c.to)
                << "function " << c.func << " to wave " << c.toWave << " point " << i;
    }
}

TEST(CreatePages, ExpressionPageIsClearedUntilEvaluated) {
    Buffer b(100);
    const CreatePageRecord p = expressionPage(30, 70, "x+100");
    EXPECT_EQ(Make_Wave(p, {b.h, true, false}, ExprUnits{}), 0);
    const auto w = b.words();
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(w[i], i >= 30 && i < 70 ? 0 : kSentinel) << i;
}

TEST(CreatePages, FailingExpressionReturnsItsMessageAndWritesNothing) {
    struct Case {
        QString expr, constants;
        int code;
    } cases[] = {
        {"x+", "", 100},       {"sin x", "", 101},      {"(x", "", 102},
        {"x/(x-50)", "", 104}, {"x*a", "a=b; b=1", 18}, {"", "", 108},
    };
    for (const Case& c : cases) {
        ClearConstant();
        Buffer b(100);
        EXPECT_EQ(
            Make_Wave(expressionPage(30, 70, c.expr, c.constants), {b.h, true, true}, ExprUnits{}),
            c.code)
            << c.expr.toStdString();
        EXPECT_EQ(b.words(), Buffer(100).words()) << c.expr.toStdString();
    }
}

TEST(CreatePages, LaterPagesUseConstantsOfEarlierOnes) {
    ClearConstant();
    Buffer b(100);
    EXPECT_EQ(Make_Wave(expressionPage(0, 10, "f", "f=7"), {b.h, true, true}, ExprUnits{}), 0);
    EXPECT_EQ(Make_Wave(expressionPage(10, 20, "f*2"), {b.h, true, true}, ExprUnits{}), 0);
    EXPECT_EQ(b.words()[15], 14);
    ClearConstant();
    EXPECT_EQ(Make_Wave(expressionPage(20, 30, "f*2"), {b.h, true, true}, ExprUnits{}), 100);
}

TEST(CreatePages, CheckConstLowersAndChecksTheConstants) {
    test::RecordingPrompts prompts;
    ClearConstant();
    CreatePageRecord p = expressionPage(0, 1000, "x*amp", "Amp = 3; W = Amp*2");
    EXPECT_TRUE(Check_Const(p));
    EXPECT_EQ(p.ConstText, "amp = 3; w = amp*2");
    EXPECT_TRUE(prompts.boxes.empty());

    p.ConstText = "a = b*2; b = 1";
    EXPECT_FALSE(Check_Const(p));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].title, "Error Message");
    EXPECT_EQ(prompts.boxes[0].text.trimmed(), MessageText(18, English()));
    ClearConstant();
}
