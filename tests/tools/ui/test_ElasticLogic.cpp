#include "ToolFixture.h"
#include "engine/DataWord.h"
#include "engine/wavelb32_calc.h"
#include "tools/ElasticLogic.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace velda;
using velda::test::ToolFixture;

namespace {

class ElasticLogicTest : public ToolFixture {
protected:
    ElasticLogicTest() : el(doc, units) {}
    void SetUp() override {
        ToolFixture::SetUp();
        el.onChanged = [this] { ++changes; };
    }
    // Area 100..199 holding the ramp lo..hi (lo at 100, hi at 199), 7 elsewhere.
    void rampArea(int lo, int hi) {
        auto w = engine::bufferWords(doc.CurrentBuf());
        for (int i = 0; i < kN; ++i)
            w[static_cast<size_t>(i)] =
                i < 100 || i >= 200 ? 7 : W_ToWord(lo + (hi - lo) * (i - 100) / 99.0);
        doc.CurArea() = WaveArea{100, 200};
    }
    int16_t lowest() const {
        const auto w = wave();
        return *std::min_element(w.begin() + static_cast<long>(doc.CurArea().StartX),
                                 w.begin() + static_cast<long>(doc.CurArea().EndX));
    }
    int16_t highest() const {
        const auto w = wave();
        return *std::max_element(w.begin() + static_cast<long>(doc.CurArea().StartX),
                                 w.begin() + static_cast<long>(doc.CurArea().EndX));
    }

    ElasticLogic el;
    int changes = 0;
};

} // namespace

TEST_F(ElasticLogicTest, OpeningMeasuresTheAreaAndTakesTheUndoCopy) {
    rampArea(-1000, 3000);
    el.Open();
    EXPECT_EQ(el.NewStartX, 100);
    EXPECT_EQ(el.NewEndX, 200);
    EXPECT_EQ(el.YMin, -1000);
    EXPECT_EQ(el.YMax, 3000);
    EXPECT_EQ(el.YAmp, 4000);
    EXPECT_EQ(el.YOffs, 1000);
    EXPECT_TRUE(doc.UndoEnabled());
    EXPECT_EQ(points(doc.WaveBuf[1 - doc.CurBuf]), wave());
    EXPECT_EQ(el.YText(0).trimmed().toStdString(), "3000.000");
    EXPECT_EQ(el.YText(2).trimmed().toStdString(), "4000.000");
    EXPECT_EQ(el.XText(0).trimmed().toStdString(), "100.0000000");
}

TEST_F(ElasticLogicTest, FitLengthStretchesTheAreaOverTheWholeWaveform) {
    rampArea(-1000, 980);
    el.Open();
    el.Fit_Length();
    EXPECT_EQ(doc.CurArea().StartX, 0);
    EXPECT_EQ(doc.CurArea().EndX, kN);
    const auto w = wave();
    // The 100 points of the ramp spread over 0..999, ends on ends.
    for (int j = 0; j < kN; ++j)
        ASSERT_EQ(w[j], W_ToWord(-1000 + 1980.0 * (j * 99.0 / 999.0) / 99.0)) << j;
    EXPECT_EQ(changes, 1);
}

TEST_F(ElasticLogicTest, FitAmplitudeKeepsTheCentreAndReachesTheNearerLimit) {
    const struct {
        int lo, hi;
        double wantMax, wantMin;
    } rows[] = {{-1000, 3000, 32767, -30767}, {-3000, 1000, 30767, -32767}};
    for (const auto& r : rows) {
        rampArea(r.lo, r.hi);
        el.Open();
        el.Fit_Amplitude();
        EXPECT_EQ(el.YMax, r.wantMax) << r.lo;
        EXPECT_EQ(el.YMin, r.wantMin) << r.lo;
        EXPECT_EQ(el.YAmp, r.wantMax - r.wantMin) << r.lo;
        EXPECT_EQ(el.YOffs, (r.lo + r.hi) / 2.0) << r.lo;
        EXPECT_EQ(el.YRule, 0) << "reset by the recomputation";
        EXPECT_EQ(highest(), r.wantMax) << r.lo;
        EXPECT_EQ(lowest(), r.wantMin) << r.lo;
        el.Cancel();
    }
}

TEST_F(ElasticLogicTest, FitPeakPeakUsesTheFullRange) {
    rampArea(-10, 30);
    el.Open();
    el.Fit_PeakPeak();
    EXPECT_EQ(highest(), 32767);
    EXPECT_EQ(lowest(), -32767);
    EXPECT_EQ(el.YAmp, 65534);
    EXPECT_EQ(el.YOffs, 0);
}

TEST_F(ElasticLogicTest, TheLaterYEditWins) {
    rampArea(-1000, 3000);
    el.Open();
    ASSERT_TRUE(el.Set_Y(0, u"5000")); // maximum: max/min form
    EXPECT_EQ(highest(), 5000);
    EXPECT_EQ(lowest(), -1000);
    EXPECT_EQ(el.YAmp, 6000);
    EXPECT_EQ(el.YOffs, 2000);
    ASSERT_TRUE(el.Set_Y(2, u"1000")); // amplitude around the kept offset
    EXPECT_EQ(el.YMax, 2500);
    EXPECT_EQ(el.YMin, 1500);
    EXPECT_EQ(highest(), 2500);
    EXPECT_EQ(lowest(), 1500);
    ASSERT_TRUE(el.Set_Y(3, u"-100")); // offset
    EXPECT_EQ(highest(), 400);
    EXPECT_EQ(lowest(), -600);
    ASSERT_TRUE(el.Set_Y(1, u"-2k")); // minimum
    EXPECT_EQ(highest(), 400);
    EXPECT_EQ(lowest(), -2000);
    // The box's own text read back is no change.
    EXPECT_FALSE(el.Set_Y(1, el.YText(1)));
    EXPECT_FALSE(el.Set_Y(0, u"400"));
}

TEST_F(ElasticLogicTest, XEditsOutsideTheWaveformOrUnchangedAreRefused) {
    rampArea(0, 990);
    el.Open();
    const auto initial = wave();
    EXPECT_FALSE(el.Set_X(1, u"1001"));
    EXPECT_FALSE(el.Set_X(0, u"-1"));
    EXPECT_FALSE(el.Set_X(0, u"100"));
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(wave(), initial);
    ASSERT_TRUE(el.Set_X(1, u"150"));
    EXPECT_EQ(doc.CurArea().EndX, 150);
    EXPECT_EQ(wave()[149], 990);
    // Behind the new area the initial words stay (the ramp's 500 at 150).
    EXPECT_EQ(wave()[150], 500);
    EXPECT_EQ(el.XText(2).trimmed().toStdString(), "0.000000"); // the word at 100
    EXPECT_EQ(el.XText(3).trimmed().toStdString(), "500.0000"); // and at 150
}

TEST_F(ElasticLogicTest, EndBelowStartMirrorsAndMarksLowerFirst) {
    rampArea(0, 990);
    el.Open();
    ASSERT_TRUE(el.Set_X(1, u"0"));
    EXPECT_EQ(doc.CurArea().StartX, 0);
    EXPECT_EQ(doc.CurArea().EndX, 100);
    EXPECT_EQ(wave()[0], 990);
    EXPECT_EQ(wave()[99], 0);
}

TEST_F(ElasticLogicTest, AZeroWidthTargetGivesTheInitialWaveform) {
    rampArea(0, 990);
    el.Open();
    const auto initial = wave();
    el.Set_X(1, u"300");
    ASSERT_TRUE(el.Set_X(0, u"300"));
    EXPECT_EQ(wave(), initial);
    EXPECT_EQ(doc.CurArea().StartX, 100);
    EXPECT_EQ(doc.CurArea().EndX, 200);
}

TEST_F(ElasticLogicTest, CancelAfterSeveralEditsRestoresEverything) {
    rampArea(-500, 700);
    doc.CurArea() = WaveArea{100.5, 199.5};
    const auto initial = wave();
    el.Open();
    el.Fit_Length();
    el.Set_Y(0, u"20000");
    el.Set_X(0, u"333");
    el.Fit_Amplitude();
    el.Set_Y(2, u"100");
    ASSERT_NE(wave(), initial);
    el.Cancel();
    EXPECT_EQ(wave(), initial);
    EXPECT_EQ(doc.CurArea().StartX, 100.5);
    EXPECT_EQ(doc.CurArea().EndX, 199.5);
    EXPECT_FALSE(doc.UndoEnabled());
    // Closing afterwards changes nothing more.
    const int before = changes;
    el.Close();
    EXPECT_EQ(changes, before);
}

TEST_F(ElasticLogicTest, CloseWithoutOkRestoresAndOkKeepsTheResultWithTheUndoCopy) {
    rampArea(-500, 700);
    const auto initial = wave();
    {
        ElasticLogic closing(doc, units);
        closing.Open();
        closing.Fit_PeakPeak();
    } // the window closed by its close box
    EXPECT_EQ(wave(), initial);

    el.Open();
    el.Fit_PeakPeak();
    const auto result = wave();
    el.OK();
    el.Close();
    EXPECT_EQ(wave(), result);
    doc.Swap_Undo();
    EXPECT_EQ(wave(), initial);
}

TEST_F(ElasticLogicTest, EditsDoNotAccumulate) {
    rampArea(-500, 700);
    el.Open();
    el.Set_X(1, u"700");
    el.Set_X(1, u"150");
    const auto viaDetour = wave();
    el.Cancel();
    rampArea(-500, 700);
    el.Open();
    el.Set_X(1, u"150");
    EXPECT_EQ(wave(), viaDetour);
}
