// The Create dialog's rules that need no window: page buttons, typed page
// numbers, drag zones, parameter and area reading, visible parameters.
#include "TestSupport.h"
#include "setup/SystemParameter.h"
#include "tools/CreateCaptions.h"
#include "tools/CreateEdits.h"
#include "units/Units.h"

#include <gtest/gtest.h>

using namespace velda;
using namespace velda::tools;

namespace {

SystemParameter pointsSetup(int32_t n) {
    SystemParameter sp;
    sp.MemorySize = n;
    sp.Frequency = 1000;
    sp.Period = 0.001;
    sp.Amplitude = 10;
    sp.AmplitudeMax = 20;
    return sp;
}

} // namespace

TEST(CreateEdits, PageButtonsFollowTheSwitchedOnPages) {
    struct Case {
        int cur;
        std::vector<int> on;
        int button;
        int expected;
    };
    const Case cases[] = {
        {1, {5}, 0, 1},        // first does nothing on page 1, even with page 1 off
        {9, {5, 7}, 0, 5},     // first: lowest page switched on
        {9, {}, 0, 1},         // none on: page 1
        {1, {}, 1, 1},         // previous does nothing on page 1
        {9, {}, 1, 8},         //
        {200, {}, 2, 200},     // next does nothing on page 200
        {9, {}, 2, 10},        //
        {200, {3}, 3, 200},    // last does nothing on page 200
        {9, {3, 150}, 3, 150}, // last: highest page switched on
        {9, {}, 3, 200},       // none on: page 200
        {150, {3}, 3, 3},      // last may go backwards to the last page on
    };
    for (const Case& c : cases) {
        CreatePages pages;
        for (int n : c.on)
            pages.CreatePage(n).Effect = PageTrue;
        pages.CurPage = static_cast<int16_t>(c.cur);
        EXPECT_EQ(Page_Button_Target(pages, c.button), c.expected)
            << "page " << c.cur << " button " << c.button;
    }
}

TEST(CreateEdits, TypedPageNumbersAreRoundedAndBroughtIntoRange) {
    const std::pair<const char*, int> cases[] = {
        {"", 1},    {"  ", 1},  {"0", 1}, {"-4", 1},  {"250", 200}, {"200", 200},
        {"3.6", 4}, {"3.4", 3}, {"7", 7}, {"abc", 1}, {"1e9", 200},
    };
    for (const auto& [text, page] : cases)
        EXPECT_EQ(Typed_Page(QString::fromLatin1(text)), page) << text;
}

TEST(CreateEdits, DragZonesAndFactors) {
    // 400 x 200 picture: quarters at 50 and 150, halves at 200.
    struct Case {
        double x, y;
        int func;
        int kind;
    };
    const Case cases[] = {
        {10, 10, FuncSin, 1},        {390, 50, FuncSquare, 1},  {10, 150, FuncTriangle, 1},
        {10, 100, FuncSin, 2},       {390, 100, FuncSin, 2},    {390, 100, FuncNoise, 2},
        {390, 100, FuncTriangle, 3}, {201, 100, FuncSquare, 3}, {200, 100, FuncSquare, 2},
    };
    for (const Case& c : cases) {
        const DragZone z = Drag_Zone(c.x, c.y, 400, 200, c.func);
        EXPECT_EQ(z.kind, c.kind) << c.x << "," << c.y << " func " << c.func;
        EXPECT_DOUBLE_EQ(z.vFactor, 65534.0 / 200 / 4);
        EXPECT_DOUBLE_EQ(z.hFactor, c.kind == 1 ? 0.02 : 360.0 / 400 / 4);
    }
}

TEST(CreateEdits, DragMovesChangeTheirParameters) {
    CreatePageRecord p;
    p.FuncType = FuncSquare;
    const double v = 65534.0 / 200 / 4;
    Drag_Move(p, {1, 0.02, v}, 10, 4);
    EXPECT_DOUBLE_EQ(p.Cycle(), 1 - 0.2);
    EXPECT_DOUBLE_EQ(p.Ampl(), 65534 + 4 * v);
    Drag_Move(p, {2, 0.45, v}, -20, -2);
    EXPECT_DOUBLE_EQ(p.Phase(), 9);
    EXPECT_DOUBLE_EQ(p.Offset(), -2 * v);
    Drag_Move(p, {3, 0.45, v}, 20, 0);
    EXPECT_DOUBLE_EQ(p.Duty(), 59);
    EXPECT_DOUBLE_EQ(p.Transition(), 9);
    EXPECT_DOUBLE_EQ(p.Symm(), 50);
    p.FuncType = FuncTriangle;
    Drag_Move(p, {3, 0.45, v}, -20, 0);
    EXPECT_DOUBLE_EQ(p.Symm(), 41);
    // Dragging the period below zero stops at zero periods.
    Drag_Move(p, {1, 0.02, v}, 1000, 0);
    EXPECT_DOUBLE_EQ(p.Cycle(), 0);
}

TEST(CreateEdits, ParametersShownPerFunction) {
    const std::pair<int, std::vector<int>> cases[] = {
        {FuncSin, {0, 1, 2, 3, 4}},
        {FuncTriangle, {0, 1, 2, 3, 4, 5}},
        {FuncSquare, {0, 1, 2, 3, 4, 6, 7}},
        {FuncNoise, {0, 1, 2}},
        {FuncDC, {0, 1}},
        {FuncExpression, {}},
    };
    for (const auto& [func, shown] : cases)
        for (int i = 0; i < ParamCount; ++i)
            EXPECT_EQ(Param_Visible(func, i),
                      std::find(shown.begin(), shown.end(), i) != shown.end())
                << "func " << func << " param " << i;
}

TEST(CreateEdits, ParameterEditsConvertOrRefuse) {
    const SystemParameter sp = pointsSetup(1000);
    const UnitContext u(sp);
    CreatePageRecord page;
    page.AreaStart = 100;
    page.AreaEnd = 300;
    page.Size() = 200;
    page.Cycle() = 2;
    struct Case {
        int i;
        const char* typed;
        bool accepted;
        double value;
    };
    const Case cases[] = {
        {ParamSize, "900", true, 900},     // 100 + 900 = N: still inside
        {ParamSize, "901", false, 200},    // beyond N from the start
        {ParamSize, "2k", false, 200},     // outside the X range
        {ParamSize, "0", true, 0},         //
        {ParamCycle, "-1", false, 2},      // negative period refused
        {ParamCycle, "0", true, 0},        //
        {ParamCycle, "2.5", true, 2.5},    //
        {ParamPhase, "-90", true, -90},    // phase as typed
        {ParamDuty, "1k", true, 1000},     // prefix letters are read
        {ParamOffset, "1000", true, 1000}, // raw data words
        {ParamAmpl, "30000", true, 30000}, //
    };
    for (const Case& c : cases) {
        const BoxEdit e = Param_Edit(c.i, QString::fromLatin1(c.typed), page, u, 1000);
        EXPECT_EQ(e.accepted, c.accepted) << c.i << " " << c.typed;
        EXPECT_DOUBLE_EQ(e.value, c.value) << c.i << " " << c.typed;
        EXPECT_FALSE(e.text.isEmpty());
    }
    // A refused Size shows the stored size again.
    EXPECT_EQ(Param_Edit(ParamSize, QStringLiteral("901"), page, u, 1000).text,
              u.Point_To_XText(200));
    EXPECT_EQ(Param_Edit(ParamCycle, QStringLiteral("-1"), page, u, 1000).text,
              QStringLiteral("2"));
}

TEST(CreateEdits, AreaEditsKeepStartBeforeEnd) {
    const SystemParameter sp = pointsSetup(1000);
    const UnitContext u(sp);
    CreatePageRecord page;
    page.AreaStart = 100;
    page.AreaEnd = 300;
    const QString s = u.Point_To_XTextLong(100);
    const QString e = u.Point_To_XTextLong(300);
    struct Case {
        int box;
        QString start, end;
        bool accepted;
        double newStart, newEnd;
    };
    const Case cases[] = {
        {0, QStringLiteral("200"), e, true, 200, 300},
        {0, QStringLiteral("500"), e, true, 500, 500}, // end raised to the start
        {0, s, e, false, 100, 300},                    // unchanged start refused
        {1, s, QStringLiteral("50"), true, 50, 50},    // start lowered to the end
        {1, s, QStringLiteral("1000"), true, 100, 1000},
        {1, s, e, false, 100, 300},
    };
    for (const Case& c : cases) {
        const AreaEdit a = Area_Edit(c.box, c.start, c.end, page, u, 1000);
        EXPECT_EQ(a.accepted, c.accepted)
            << c.box << " " << c.start.toStdString() << " " << c.end.toStdString();
        if (a.accepted) {
            EXPECT_DOUBLE_EQ(a.start, c.newStart);
            EXPECT_DOUBLE_EQ(a.end, c.newEnd);
        }
    }
}

TEST(CreateEdits, AreaTextOfTheOtherBoxDoesNotDriftInSeconds) {
    // 7 points in 1 ms: the end's text is rounded, reading it back must not
    // move the end.
    SystemParameter sp = pointsSetup(7);
    sp.XUnitMode = XUnitSec;
    const UnitContext u(sp);
    CreatePageRecord page;
    page.AreaStart = 1;
    page.AreaEnd = 5;
    const AreaEdit a = Area_Edit(0, u.Point_To_XTextLong(2), u.Point_To_XTextLong(5), page, u, 7);
    ASSERT_TRUE(a.accepted);
    EXPECT_EQ(a.end, 5.0);
    EXPECT_NEAR(a.start, 2.0, 1e-6);
}

TEST(CreateEdits, ExpressionUnitsFollowTheSetup) {
    SystemParameter sp = pointsSetup(1000);
    sp.XUnitMode = XUnitUser;
    sp.UserXStart = -5;
    sp.UserXEnd = 5;
    sp.YUnitMode = YUnitVolt;
    const UnitContext u(sp);
    const ExprUnits e = Expr_Units(u, 1000);
    EXPECT_EQ(e.XUnitMode, 2);
    EXPECT_EQ(e.N, 1000);
    EXPECT_DOUBLE_EQ(e.XAtStart, -5);
    EXPECT_DOUBLE_EQ(e.XAtEnd, 5);
    EXPECT_DOUBLE_EQ(e.UserXStart, -5);
    EXPECT_EQ(e.YUnitMode, 1);
    EXPECT_DOUBLE_EQ(e.YTop, u.Word_To_Y(32767));
    EXPECT_DOUBLE_EQ(e.YBottom, u.Word_To_Y(-32767));
    EXPECT_GT(e.YTop, e.YBottom);
}

TEST(CreateEdits, UnitTextsInBothLanguages) {
    EXPECT_EQ(UnitTextItem(0, true), QStringLiteral("<Unit Setup>"));
    EXPECT_EQ(UnitTextItem(8, true), QStringLiteral("Min to Max"));
    EXPECT_EQ(UnitTextItem(3, false), QString::fromUtf8("ﾕｰｻﾞ単位名称"));
    EXPECT_TRUE(UnitTextItem(9, true).isEmpty());
    EXPECT_EQ(CreateWaveItems(true).size(), 6);
    EXPECT_EQ(CreateWaveItems(false).at(5), QString::fromUtf8("波形関数"));
}
