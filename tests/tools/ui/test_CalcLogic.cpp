#include "ToolFixture.h"
#include "engine/file32_clipboard.h"
#include "tools/CalcLogic.h"

#include <QClipboard>
#include <QGuiApplication>
#include <cmath>
#include <gtest/gtest.h>

using namespace velda;
using velda::test::ToolFixture;

namespace {

class CalcLogicTest : public ToolFixture {
protected:
    CalcLogicTest() : calc(doc, units) {}
    void SetUp() override {
        ToolFixture::SetUp();
        fillWave([](int i) { return i * 10; });
        doc.CurArea() = WaveArea{100, 110};
    }
    void setOperand(int16_t v) {
        for (auto& w : engine::bufferWords(calc.OperandBuf()))
            w = v;
    }
    CalcLogic calc;
};

} // namespace

TEST_F(CalcLogicTest, OpenTakesTwoClearedAreaSizedBuffersAndCloseGivesThemBack) {
    const int before = engine::liveBuffers();
    calc.Open();
    EXPECT_EQ(engine::liveBuffers(), before + 2);
    EXPECT_EQ(calc.W(), 10);
    EXPECT_EQ(calc.Comb_Comp, 0);
    for (WaveHandle h : calc.CalcBuf) {
        auto w = engine::bufferWords(h);
        ASSERT_EQ(w.size(), 10u);
        EXPECT_EQ(std::count(w.begin(), w.end(), 0), 10);
    }
    calc.Close();
    EXPECT_EQ(engine::liveBuffers(), before);
    EXPECT_EQ(calc.CalcBuf[0], 0);
}

TEST_F(CalcLogicTest, OkRightAfterOpeningWritesZerosIntoTheAreaOnly) {
    const auto initial = wave();
    calc.Open();
    calc.OK();
    const auto after = wave();
    for (int i = 0; i < kN; ++i) {
        if (i >= 100 && i < 110)
            EXPECT_EQ(after[i], 0) << i;
        else
            EXPECT_EQ(after[i], initial[i]) << i;
    }
    doc.Swap_Undo();
    EXPECT_EQ(wave(), initial);
}

TEST_F(CalcLogicTest, ResultCombinesTheAreaWithTheOperandFromPointZero) {
    const struct {
        int op;
        int first, last; // result at the area's first and last point
    } rows[] = {{0, 1005, 1095}, {1, 995, 1085}, {2, 5000, 5450}, {3, 200, 218}};
    for (const auto& r : rows) {
        fillWave([](int i) { return i * 10; });
        calc.Open();
        setOperand(5);
        calc.Comb_Comp = r.op;
        calc.Result();
        EXPECT_EQ(wave()[100], 1000) << "the source is untouched before OK";
        calc.OK();
        EXPECT_EQ(wave()[100], r.first) << r.op;
        EXPECT_EQ(wave()[109], r.last) << r.op;
        EXPECT_EQ(wave()[110], 1100) << r.op;
        calc.Close();
    }
}

TEST_F(CalcLogicTest, ResultWorksOnTheDisplayedValuesOfTheCurrentUnit) {
    // 655.34 V peak-to-peak: one word is 10 mV.
    sp.YUnitMode = YUnitVolt;
    sp.Amplitude = 655.34;
    fillWave([](int i) { return i < 100 ? 0 : 200; }); // 2 V
    calc.Open();
    setOperand(300); // 3 V
    calc.Comb_Comp = 2;
    calc.Result();
    calc.OK();
    EXPECT_EQ(wave()[100], 600); // 6 V
}

// The result goes back to the points it was made from, also when the area
// starts between two points: adding zero changes nothing.
TEST_F(CalcLogicTest, AddingZeroLeavesAnAreaStartingBetweenPointsAsItWas) {
    // Start, and the point it rounds to (halves to the even one).
    const std::pair<double, size_t> starts[] = {{100.5, 100}, {101.5, 102}, {100.25, 100}};
    for (const auto& [start, point] : starts) {
        fillWave([](int i) { return i * 10; });
        const auto initial = wave();
        doc.CurArea() = WaveArea{start, start + 4};
        calc.Open();
        setOperand(0);
        calc.Result();
        // The source preview shows the points the result was made from.
        EXPECT_EQ(calc.SourceStart(), double(point)) << start;
        EXPECT_EQ(engine::bufferWords(calc.ResultBuf())[0], initial[point]) << start;
        calc.OK();
        EXPECT_EQ(wave(), initial) << start;
        calc.Close();
    }
}

TEST_F(CalcLogicTest, ClipBoardFillsTheOperandFromPointZero) {
    QGuiApplication::clipboard()->setText(QStringLiteral("7\n8\n9\n"));
    calc.Open();
    calc.Clip_Board();
    auto w = engine::bufferWords(calc.OperandBuf());
    EXPECT_EQ(w[0], 7);
    EXPECT_EQ(w[2], 9);
    EXPECT_EQ(w[3], 0);
}

TEST_F(CalcLogicTest, AnEmptyAreaGetsNoBuffersAndOkChangesNothing) {
    doc.CurArea() = WaveArea{100, 100};
    const auto initial = wave();
    calc.Open();
    EXPECT_EQ(calc.W(), 0);
    calc.Result();
    calc.OK();
    EXPECT_EQ(wave(), initial);
}

TEST_F(CalcLogicTest, OkNeverWritesPastTheEnd) {
    // 999 points, area 1.5..999: the start rounds to 2 and the width 997.5
    // to 998, one more than there is room for before N.
    sp.MemorySize = 999;
    doc.CurArea() = WaveArea{1.5, 999};
    calc.Open();
    EXPECT_EQ(calc.W(), 998);
    calc.OK();
    const auto after = wave();
    EXPECT_EQ(after[1], 10);
    EXPECT_EQ(after[2], 0);
    EXPECT_EQ(after[998], 0);
    EXPECT_EQ(after[999], 9990); // past N: untouched
}
