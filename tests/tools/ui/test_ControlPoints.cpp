#include "ToolFixture.h"
#include "engine/spline32.h"
#include "tools/ControlPoints.h"

#include <gtest/gtest.h>
#include <utility>
#include <vector>

using namespace velda;
using velda::test::ToolFixture;

namespace {

struct CountingObserver : ControlPointObserver {
    void pointsChanged() override { ++refills; }
    void rowCountChanged() override { ++rowCounts; }
    void selectionChanged() override { ++selections; }
    int refills = 0, rowCounts = 0, selections = 0;
};

class ControlPointsTest : public ToolFixture {
protected:
    ControlPointsTest() : cp(sp) { cp.addObserver(&observer); }

    std::vector<std::pair<double, double>> list() const {
        std::vector<std::pair<double, double>> v;
        for (int i = 0; i < cp.SplineCount(); ++i)
            v.emplace_back(cp.SplineX(i), cp.SplineY(i));
        return v;
    }
    using List = std::vector<std::pair<double, double>>;

    ControlPoints cp;
    CountingObserver observer;
};

} // namespace

TEST_F(ControlPointsTest, PointsStaySortedAndAnExistingXOnlyChangesY) {
    EXPECT_EQ(cp.Spline_Update(500, 10, false), ControlPoints::Update::Added);
    EXPECT_EQ(cp.Spline_Update(100, 20, false), ControlPoints::Update::Added);
    EXPECT_EQ(cp.Spline_Update(300, 30, false), ControlPoints::Update::Added);
    EXPECT_EQ(cp.Spline_Update(100, -7, false), ControlPoints::Update::Changed);
    EXPECT_EQ(list(), (List{{100, -7}, {300, 30}, {500, 10}}));
    EXPECT_EQ(observer.refills, 4);
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(ControlPointsTest, EndPointRuleAsksAndKeepsBothEndsEqual) {
    struct Case {
        Answer answer;
        List want;
    } cases[] = {
        {Answer::Yes, {{0, 200}, {1000, 200}}},
        {Answer::No, {{0, 100}}},
    };
    for (const Case& c : cases) {
        cp.Spline_AllClear();
        prompts.clear();
        cp.Spline_Update(0, 100, false);
        prompts.answers = {c.answer};
        cp.Spline_Update(kN, 200, false);
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].text, GetMessage(21));
        EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("Warning Message"));
        EXPECT_EQ(list(), c.want);
    }
    // Changing the end at 0 now changes the one at N as well.
    prompts.answers = {Answer::Yes, Answer::Yes};
    cp.Spline_Update(kN, 200, false);
    cp.Spline_Update(0, -50, false);
    EXPECT_EQ(list(), (List{{0, -50}, {1000, -50}}));
}

TEST_F(ControlPointsTest, EndPointRuleComparesWithTheOtherEndAndAsksOnlyOnADifference) {
    cp.Spline_Update(kN, 300, false);
    cp.Spline_Update(500, 50, false);
    // The same level as the end at N: no question, even though the first
    // point of the list carries another level.
    EXPECT_EQ(cp.Spline_Update(0, 300, false), ControlPoints::Update::Added);
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_EQ(list(), (List{{0, 300}, {500, 50}, {1000, 300}}));
    // An X that misses N by a rounding step is N.
    prompts.answers = {Answer::Yes};
    EXPECT_EQ(cp.Spline_Update(kN * (1 + 1e-14), 7, false), ControlPoints::Update::Changed);
    EXPECT_EQ(list(), (List{{0, 7}, {500, 50}, {1000, 7}}));
}

TEST_F(ControlPointsTest, ABatchSortsOnlyAtItsLastPoint) {
    cp.Spline_Update(30, 3, true);
    cp.Spline_Update(10, 1, true);
    EXPECT_EQ(list(), (List{{30, 3}, {10, 1}}));
    EXPECT_EQ(observer.rowCounts, 2);
    EXPECT_EQ(observer.refills, 0);
    cp.Spline_Update(20, 2, false);
    EXPECT_EQ(list(), (List{{10, 1}, {20, 2}, {30, 3}}));
    EXPECT_EQ(observer.refills, 1);
    // A last point the user declines (the other end at another level) still
    // ends the batch sorted and shown.
    cp.Spline_AllClear();
    cp.Spline_Update(500, 0, true);
    cp.Spline_Update(0, 100, true);
    prompts.answers = {Answer::No, Answer::No};
    cp.Spline_Update(kN, 200, true);
    EXPECT_EQ(cp.Spline_Update(kN, 200, false), ControlPoints::Update::Declined);
    EXPECT_EQ(list(), (List{{0, 100}, {500, 0}}));
    EXPECT_EQ(observer.refills, 3);
}

TEST_F(ControlPointsTest, The2005thPointIsRefusedWithAMessage) {
    sp.MemorySize = 65536;
    for (int i = 0; i < kSplineCapacity - 1; ++i)
        cp.Spline_Update(i * 10 + 5, i, true);
    // Unsorted batch end: the refusal still leaves a sorted list.
    cp.Spline_Update(1, -1, true);
    ASSERT_TRUE(cp.full());
    EXPECT_EQ(cp.Spline_Update(2, -2, true), ControlPoints::Update::Full);
    EXPECT_EQ(cp.SplineCount(), kSplineCapacity);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, SplineFullText());
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("Error Message"));
    EXPECT_EQ(cp.SplineX(0), 1);
    EXPECT_EQ(cp.SplineX(1), 5);
    EXPECT_EQ(observer.refills, 1);
    // A full list still takes changes of its points; the grid shows 2000.
    EXPECT_EQ(cp.Spline_Update(5, 99, false), ControlPoints::Update::Changed);
    EXPECT_EQ(cp.SplineY(1), 99);
    EXPECT_EQ(cp.GridPointRows(), kSplineGridRows);
}

TEST_F(ControlPointsTest, DeleteTakesTheSelectedRowsPointOrNothing) {
    for (double x : {10.0, 20.0, 30.0})
        cp.Spline_Update(x, x, false);
    for (int row : {0, 4, -1})
        EXPECT_FALSE(cp.Delete_Point(row)) << row;
    EXPECT_EQ(cp.SplineCount(), 3);
    EXPECT_TRUE(cp.Delete_Point(2));
    EXPECT_EQ(list(), (List{{10, 10}, {30, 30}}));
    EXPECT_EQ(cp.SelectedRow(), 2);
    EXPECT_EQ(cp.SelectedIndex(), 1);
    cp.Spline_AllClear();
    EXPECT_EQ(cp.SplineCount(), 0);
    EXPECT_EQ(cp.SelectedRow(), 1);
    EXPECT_EQ(cp.SelectedIndex(), -1);
}

TEST_F(ControlPointsTest, UpdatePointReadsTheBoxesAndSelectsTheNewRow) {
    EXPECT_EQ(cp.Update_Point(u"", u"5", units), ControlPoints::Update::Invalid);
    EXPECT_EQ(cp.Update_Point(u"300", u" ", units), ControlPoints::Update::Invalid);
    EXPECT_EQ(cp.SplineCount(), 0);
    cp.Update_Point(u"300", u"1k", units);
    cp.Update_Point(u"100", u"-2k", units);
    EXPECT_EQ(list(), (List{{100, -2000}, {300, 1000}}));
    EXPECT_EQ(cp.SelectedRow(), 1);
    EXPECT_EQ(cp.GridXText(1, units).trimmed().toStdString(), "300.0000000");
    EXPECT_EQ(cp.GridYText(0, units).trimmed().toStdString(), "-2000.00");
    EXPECT_TRUE(cp.GridXText(2, units).isEmpty());
    EXPECT_TRUE(ControlPoints::X_Text_Valid(u"1000", units));
    EXPECT_FALSE(ControlPoints::X_Text_Valid(u"1001", units));
    EXPECT_FALSE(ControlPoints::Y_Text_Valid(u"40000", units));
    EXPECT_TRUE(ControlPoints::Y_Text_Valid(u"-32767", units));
}

TEST_F(ControlPointsTest, PickingFindsTheFirstPointWithinHalfAPixel) {
    cp.Spline_Update(100, 1000, false);
    cp.Spline_Update(102, 1000, false);
    // 4 points per pixel, 100 words per pixel.
    const PixelMapping map{[](double p) { return p / 4; },
                           [](double w) { return (32767 - w) / 100; }};
    EXPECT_EQ(cp.Find_Spline_Point(101, 1040, map), 0); // both in reach: the first
    EXPECT_EQ(cp.Find_Spline_Point(103.9, 1000, map), 1);
    EXPECT_EQ(cp.Find_Spline_Point(104.1, 1000, map), -1);
    EXPECT_EQ(cp.Find_Spline_Point(100, 1051, map), -1);
    int found = 0;
    cp.Change_Spline_Select(104.1, 1000, map, found);
    EXPECT_EQ(found, 0);
    cp.Change_Spline_Select(103, 960, map, found);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(cp.SelectedRow(), 2);
}

TEST(SplineVariant, ContSplineIsPeriodicOverTheWholeWaveformOnly) {
    const struct {
        int button;
        double S, E;
        int want;
    } rows[] = {
        {0, 0, 1000, -1}, {1, 0, 1000, 0}, {2, 0, 1000, 2},
        {2, 0, 999, 1},   {2, 1, 1000, 1}, {2, 0.5, 1000, 1},
    };
    for (const auto& r : rows)
        EXPECT_EQ(ControlPoints::SplineVariant(r.button, r.S, r.E, 1000), r.want)
            << r.button << " " << r.S << ".." << r.E;
}

TEST_F(ControlPointsTest, InterpolateWithoutPointsShowsMessage20AndChangesNothing) {
    setWave({1, 2, 3});
    const auto before = wave();
    EXPECT_FALSE(cp.Interpolate(1, doc));
    EXPECT_EQ(prompts.boxTexts(), QStringList{GetMessage(20)});
    EXPECT_EQ(wave(), before);
    EXPECT_FALSE(doc.UndoEnabled());
}

TEST_F(ControlPointsTest, InterpolateWritesTheAreaAfterTheUndoCopy) {
    setWave({});
    for (auto [x, y] : {std::pair{0.0, 0.0}, {250, 20000}, {500, 0}, {750, -20000}})
        cp.Spline_Update(x, y, false);
    const auto initial = wave();
    doc.CurArea() = WaveArea{200, 300};
    ASSERT_TRUE(cp.Interpolate(0, doc));
    const auto after = wave();
    EXPECT_EQ(after[199], 0);
    EXPECT_EQ(after[200], 16000);
    EXPECT_EQ(after[299], 16080);
    EXPECT_EQ(after[300], 0);
    doc.Swap_Undo();
    EXPECT_EQ(wave(), initial);
}

TEST_F(ControlPointsTest, ContSplineOverTheWholeWaveformWrapsAndOverAPartDoesNot) {
    for (auto [x, y] : {std::pair{100.0, 5000.0}, {400, -20000}, {700, 15000}})
        cp.Spline_Update(x, y, false);
    // Whole waveform: the same words as the periodic library form.
    setWave({});
    ASSERT_TRUE(cp.Interpolate(2, doc));
    const auto whole = wave();
    const WaveHandle ref = W_AllocMemory(kN);
    Spline_Hokan_Spline(2, ref, 0, kN, cp.xs(), cp.ys(), cp.SplineCount(), kN, 32767);
    auto refWords = engine::bufferWords(ref);
    EXPECT_TRUE(std::equal(whole.begin(), whole.end(), refWords.begin()));
    EXPECT_NE(whole[0], 5000); // the curve comes across the wrap
    // A part: ends held, nothing wraps.
    setWave({});
    doc.CurArea() = WaveArea{0, kN - 1};
    ASSERT_TRUE(cp.Interpolate(2, doc));
    const auto part = wave();
    EXPECT_EQ(part[0], 5000);
    EXPECT_EQ(part[998], 15000);
    EXPECT_EQ(part[999], 0);
    W_FreeMemory(ref);
}
