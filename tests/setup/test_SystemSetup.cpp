#include "TestSupport.h"
#include "app/Messages.h"
#include "engine/sysinf32.h"
#include "setup/SystemSetup.h"

#include <gtest/gtest.h>

using namespace velda;
using velda::test::RecordingPrompts;
using velda::test::sourceDataDir;
using velda::test::testDataDir;

namespace {

// Model numbers of the shipped model file.
enum : int {
    PowerSource = 0,
    Awg1101 = 1, // one channel, 3 ranges, 1024/4096/16384
    Awg1102 = 2, // two channels, 2 ranges each, 1024..65536, initial 16384
    Awg2201 = 3, // no offset
    Awg3301 = 5, // 8192/32768/49152/65536, four ranges
    Fg4101 = 7,
};

class SystemSetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        Set_Language(true);
        useModelFile(sourceDataDir() + "/models.toml");
    }
    void TearDown() override { Set_Language(true); }

    static void useModelFile(const QString& path) {
        SysSetModelFile(path.toLocal8Bit().constData());
    }
    // A started set-up on model `model`; without a saved memory size the
    // record holds the model's initial values.
    void startOn(int model, int memoryWidthNo = -1) {
        ASSERT_FALSE(setup.Start_Up(model, 0, memoryWidthNo).has_value());
        if (memoryWidthNo < 0)
            setup.Load_InitialModelInfo(model);
        ASSERT_EQ(setup.Param.ModelNo, model);
    }

    RecordingPrompts prompts;
    SystemSetup setup;
};

QString padded(const char* s, int width) {
    QString t = QString::fromUtf8(s);
    return t + QString(width - t.size(), QLatin1Char(' '));
}

} // namespace

TEST_F(SystemSetupTest, StartUpFillsListsRecordAndTables) {
    ASSERT_FALSE(setup.Start_Up(0, 0, 0).has_value());
    EXPECT_EQ(setup.ModelNames.size(), 8);
    EXPECT_EQ(setup.ModelNames[1], padded("AWG-1101", 20));
    EXPECT_EQ(setup.Param.ModelNo, 0);
    EXPECT_EQ(setup.Param.ModelName, padded("PS-1000", 16));
    EXPECT_TRUE(setup.IsPowerSource());
    EXPECT_EQ(setup.MemorySizeNames, QStringList{padded("4096", 20)});
    EXPECT_EQ(setup.ChannelNames.size(), 4);
    EXPECT_EQ(setup.ChannelNames[3].trimmed(), QStringLiteral("ACDC-ADD"));
    EXPECT_EQ(setup.RangeNames.size(), 2);
    EXPECT_EQ(setup.Param.MemorySize, 4096);
    EXPECT_EQ(setup.Param.UserXStart, 0.0);
    EXPECT_EQ(setup.Param.UserXEnd, 1.0);
    EXPECT_EQ(setup.Param.UserYMin, -1.0);
    EXPECT_EQ(setup.Param.UserYMax, 1.0);
    EXPECT_EQ(setup.Param.UserXUnitName, QString(8, QLatin1Char(' ')));
    EXPECT_EQ(setup.InterfaceMask, 0x9);
    EXPECT_EQ(setup.DisplayStep, 1);
    EXPECT_EQ(setup.CommandTables[0].rows, 4);
    EXPECT_EQ(setup.CommandTables[3].rows, 1);
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(SystemSetupTest, SavedModelBeyondTheListSelectsModelZero) {
    struct Case {
        int sysNo;
        int model;
    } cases[] = {{0, 0}, {2, 2}, {7, 7}, {8, 0}, {100, 0}, {-1, 0}};
    for (const Case& c : cases) {
        SystemSetup s;
        ASSERT_FALSE(s.Start_Up(c.sysNo, 0, 0).has_value());
        EXPECT_EQ(s.Param.ModelNo, c.model) << c.sysNo;
        EXPECT_EQ(s.Param.ModelName, s.ModelNames[c.model].left(16)) << c.sysNo;
        // The lists follow the selected model.
        EXPECT_EQ(s.ChannelNames.size(), s.Get_ChannelCount());
        EXPECT_EQ(s.MemorySizeNames.size(), s.Get_MemorySizeCount());
    }
}

TEST_F(SystemSetupTest, SavedMemorySizeIsSelectedOnlyWhenInTheListButAlwaysStored) {
    struct Case {
        int memoryWidthNo;
        int selection;
        int memorySizeNo;
        int memorySize;
        int displayStep;
    } cases[] = {
        {3, 3, 3, 65536, 2},
        {0, 0, 0, 1024, 1},
        {4, 2, 4, 16384, 1}, // beyond: selection and size stay, number stored
        {-1, 2, -1, 16384, 1},
    };
    for (const Case& c : cases) {
        SystemSetup s;
        ASSERT_FALSE(s.Start_Up(Awg1102, 0, c.memoryWidthNo).has_value());
        EXPECT_EQ(s.MemorySizeSelection, c.selection) << c.memoryWidthNo;
        EXPECT_EQ(s.Param.MemorySizeNo, c.memorySizeNo) << c.memoryWidthNo;
        EXPECT_EQ(s.Param.MemorySize, c.memorySize) << c.memoryWidthNo;
        EXPECT_EQ(s.DisplayStep, c.displayStep) << c.memoryWidthNo;
    }
}

TEST_F(SystemSetupTest, SavedAddressIsTakenWithinTheModelsLimits) {
    struct Case {
        int saved;
        int expected;
    } cases[] = {{17, 17}, {1, 1}, {30, 30}, {0, 3}, {31, 3}, {-5, 3}, {40000, 3}};
    for (const Case& c : cases) {
        SystemSetup s;
        ASSERT_FALSE(s.Start_Up(Awg1102, c.saved, 0).has_value());
        EXPECT_EQ(s.Param.GpibAddress, c.expected) << c.saved;
    }
}

TEST_F(SystemSetupTest, ModelInformationFailuresShowTheirBoxWithFileAndLine) {
    const QString missing = testDataDir() + "/no-such-models.toml";
    const QString folder = testDataDir();
    const QString syntax = testDataDir() + "/models_syntax.toml";
    const QString bad = testDataDir() + "/models_badvalue.toml";
    const QString empty = testDataDir() + "/models_empty.toml";
    struct Case {
        QString path;
        int code;
        QString text;
    } cases[] = {
        {missing, -30, "No System Setup file.\rSystem Exit.\r"},
        {folder, -20, "System Setup file Read error.\r(" + folder + ")\rSystem Exit.\r"},
        {syntax, -2, "System Setup file Format Error.\r(" + syntax + ") Line[6]\rSystem Exit.\r"},
        {bad, -1, "System Setup file Parameter Error.\r(" + bad + ") Line[14]\rSystem Exit.\r"},
        // A file without models ends start-up as a missing one does.
        {empty, 0, "No System Setup file.\rSystem Exit.\r"},
    };
    for (const Case& c : cases) {
        useModelFile(c.path);
        SystemSetup s;
        const auto failure = s.Start_Up(0, 0, 0);
        ASSERT_TRUE(failure.has_value()) << c.path.toStdString();
        EXPECT_EQ(failure->code, c.code);
        EXPECT_EQ(failure->text, c.text);
        prompts.clear();
        SystemSetup::ShowStartupFailure(*failure);
        ASSERT_EQ(prompts.boxes.size(), 1u);
        EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("Error Message"));
        EXPECT_EQ(prompts.boxes[0].text, c.text);
        EXPECT_EQ(prompts.boxes[0].buttons, BoxButtons::Ok);
    }
}

TEST_F(SystemSetupTest, FailureTextsInBothLanguagesAndUnlistedCodes) {
    EXPECT_EQ(SystemSetup::InitFailureText(-10, "m.toml", 0),
              QStringLiteral("Memory Allocation Failed.\rSystem Exit.\r"));
    EXPECT_EQ(SystemSetup::InitFailureText(-5, "m.toml", 3), QString());
    EXPECT_EQ(SystemSetup::InitFailureText(-3, "m.toml", 3), QString());
    Set_Language(false);
    EXPECT_EQ(SystemSetup::InitFailureText(-1, "m.toml", 12),
              QStringLiteral(u"機種ファイルの値に誤りがあります。\r(m.toml) Line[12]\r"
                             u"システムを終了します。\r"));
    EXPECT_EQ(SystemSetup::InitFailureText(-20, "m.toml", 0),
              QStringLiteral(u"機種ファイルのオープンまたは、読み込みに失敗しました。\r(m.toml)\r"
                             u"システムを終了します。\r"));
    // An unlisted code shows nothing: no box at all.
    prompts.clear();
    SystemSetup::ShowStartupFailure({-5, QString()});
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(SystemSetupTest, ModelChangeKeepsSelectionsWhereTheNewModelHasThem) {
    startOn(Awg1102, 3); // 65536 points
    ASSERT_EQ(setup.Change_Channel(1), -1);
    ASSERT_EQ(setup.Change_Range(1), -1);
    setup.Param.OutputState = 2;
    setup.Param.OffsetOn = -1;

    const SizeChange change = setup.Change_Model(Awg1101); // one channel, three sizes
    EXPECT_EQ(setup.Param.ModelNo, Awg1101);
    EXPECT_EQ(setup.Param.ModelName, padded("AWG-1101", 16));
    EXPECT_EQ(setup.ChannelNames.size(), 1);
    EXPECT_EQ(setup.Param.ChannelNo, 0) << "fewer channels: the last one";
    EXPECT_EQ(setup.Param.RangeNo, 1) << "the range exists: kept";
    EXPECT_EQ(setup.RangeNames.size(), 3);
    EXPECT_EQ(setup.Param.MemorySizeNo, 2) << "beyond the list: the last entry";
    EXPECT_EQ(setup.MemorySizeSelection, 2);
    EXPECT_EQ(setup.Param.MemorySize, 16384);
    EXPECT_TRUE(change.changed);
    EXPECT_EQ(change.oldSize, 65536);
    EXPECT_EQ(change.newSize, 16384);
    EXPECT_EQ(setup.DisplayStep, 1);
    EXPECT_EQ(setup.Param.OutputState, 2);
    EXPECT_EQ(setup.Param.OffsetOn, -1);
    EXPECT_EQ(setup.InterfaceMask, 0x8);
    EXPECT_EQ(setup.CommandTables[2].rows, 6);
    EXPECT_EQ(setup.Param.AmplitudeMax, 1.0) << "limits of AWG-1101's range 1";
}

TEST_F(SystemSetupTest, ModelChangeToFewerRangesSelectsTheLastRange) {
    startOn(Awg3301);
    ASSERT_EQ(setup.Change_Range(3), -1);
    ASSERT_EQ(setup.Param.RangeNo, 3);
    setup.Change_Model(Awg1102);
    EXPECT_EQ(setup.Param.RangeNo, 1);
    EXPECT_EQ(setup.Param.AmplitudeMax, 0.5);
    EXPECT_LE(setup.Param.Amplitude, 0.5);
    // Same model again (Cancel re-selects it): nothing moves.
    const SystemParameter before = setup.Param;
    const SizeChange again = setup.Change_Model(Awg1102);
    EXPECT_FALSE(again.changed);
    EXPECT_EQ(setup.Param.RangeNo, before.RangeNo);
    EXPECT_EQ(setup.Param.Frequency, before.Frequency);
    // A model number outside the list changes nothing.
    EXPECT_FALSE(setup.Change_Model(99).changed);
    EXPECT_EQ(setup.Param.ModelNo, Awg1102);
}

TEST_F(SystemSetupTest, MemorySizeChangeReportsOnlyARealResize) {
    startOn(Awg1102); // 16384 points, entry 2
    SizeChange same = setup.Select_MemorySize(2);
    EXPECT_FALSE(same.changed);
    EXPECT_EQ(same.newSize, 16384);

    SizeChange grow = setup.Select_MemorySize(3);
    EXPECT_TRUE(grow.changed);
    EXPECT_EQ(grow.oldSize, 16384);
    EXPECT_EQ(grow.newSize, 65536);
    EXPECT_EQ(setup.Param.MemorySize, 65536);
    EXPECT_EQ(setup.Param.MemorySizeNo, 3);
    EXPECT_EQ(setup.MemorySizeSelection, 3);
    EXPECT_EQ(setup.DisplayStep, 2);

    SizeChange shrink = setup.Select_MemorySize(0);
    EXPECT_TRUE(shrink.changed);
    EXPECT_EQ(shrink.oldSize, 65536);
    EXPECT_EQ(setup.DisplayStep, 1);
}

TEST_F(SystemSetupTest, DisplayStepRoundsHalvesToEven) {
    struct Case {
        int32_t size;
        int32_t step;
    } cases[] = {{0, 1},     {1024, 1},  {32768, 1}, {32769, 1}, {49151, 1},  {49152, 2},
                 {49153, 2}, {65536, 2}, {81920, 2}, {81921, 3}, {114688, 4}, {98304, 3}};
    for (const Case& c : cases)
        EXPECT_EQ(SystemSetup::Display_Step(c.size), c.step) << c.size;
    startOn(Awg3301); // 32768 points
    EXPECT_EQ(setup.DisplayStep, 1);
    setup.Select_MemorySize(2); // 49152
    EXPECT_EQ(setup.DisplayStep, 2);
}

TEST_F(SystemSetupTest, TypedValuesAreAppliedOnlyWithinLimitsAndWhenNew) {
    struct Case {
        int index;
        double value;
        bool applied;
        double frequency; // expected afterwards (0: unchanged)
    } cases[] = {
        {0, 2000.0, true, 2000.0}, {0, 1000.0, false, 0}, // equal to the previous text
        {0, 0.0, false, 0},                               // below FrequencyMin
        {0, 6e6, false, 0},                               // above FrequencyMax
        {0, 0.01, true, 0.01},                            // exactly FrequencyMin
        {1, 2e-3, true, 500.0},    {1, 1.0 / 0.01, true, 0.01},
        {1, 101.0, false, 0},      // longer than 1 / FrequencyMin
        {1, 1e-7, false, 0},       // shorter than 1 / FrequencyMax
        {1, 1.0 / 1000, false, 0}, // equal to the previous period
    };
    for (const Case& c : cases) {
        startOn(Awg1102);
        const SystemParameter before = setup.Param;
        const OscilOutcome out = setup.Check_Txt_Oscil(c.index, c.value, 1000.0, 1.0 / 1000);
        EXPECT_EQ(out.applied, c.applied) << c.index << " " << c.value;
        EXPECT_TRUE(out.showFrequency && out.showPeriod);
        EXPECT_FALSE(out.showAmplitude || out.showOffset);
        EXPECT_EQ(setup.Param.Frequency, c.applied ? c.frequency : before.Frequency)
            << c.index << " " << c.value;
        EXPECT_DOUBLE_EQ(setup.Param.Period, 1.0 / setup.Param.Frequency);
    }
}

TEST_F(SystemSetupTest, PeriodOfExactlyTheHighestFrequencyIsAccepted) {
    startOn(Awg1101); // up to 1 MHz, 4096 points: warns above 24.4 kHz
    prompts.answers = {Answer::Yes};
    const OscilOutcome out =
        setup.Check_Txt_Oscil(1, 1.0 / setup.Param.FrequencyMax, 1000.0, 1.0 / 1000);
    EXPECT_TRUE(out.applied);
    EXPECT_EQ(out.result, -1);
    EXPECT_EQ(setup.Param.Frequency, 1e6);
    EXPECT_EQ(setup.Param.Period, 1e-6);
    // A period that prints as 1 / FrequencyMax but was rounded on the way.
    startOn(Awg1101);
    prompts.answers = {Answer::Yes};
    EXPECT_TRUE(setup.Check_Txt_Oscil(1, 1e-6 * (1 - 1e-15), 1000.0, 1e-3).applied);
    EXPECT_EQ(setup.Param.Frequency, 1e6);
    EXPECT_EQ(setup.Param.Period, 1e-6); // the frequency taken, not the text typed
}

TEST_F(SystemSetupTest, AmplitudeAndOffsetFollowTheirLimits) {
    struct Case {
        int index;
        double value;
        bool applied;
        double expected;
    } cases[] = {
        {2, 2.5, true, 2.5},   {2, 1.0, false, 1.0}, // equal to the current amplitude
        {2, 5.0, true, 5.0},   {2, 5.01, false, 1.0}, {2, 0.004, false, 1.0},
        {3, -2.5, true, -2.5}, {3, 0.0, false, 0.0},  {3, 2.6, false, 0.0},
    };
    for (const Case& c : cases) {
        startOn(Awg1102); // range 0: 0.005..5 Vp-p, offset -2.5..2.5
        const OscilOutcome out = setup.Check_Txt_Oscil(c.index, c.value, 1000.0, 1e-3);
        EXPECT_EQ(out.applied, c.applied) << c.index << " " << c.value;
        const double now = c.index == 2 ? setup.Param.Amplitude : setup.Param.Offset;
        EXPECT_EQ(now, c.expected) << c.index << " " << c.value;
        EXPECT_EQ(out.showAmplitude, c.index == 2);
        EXPECT_EQ(out.showOffset, c.index == 3);
    }
    // A model without an offset offers no offset limits: nothing is applied.
    startOn(Awg2201);
    EXPECT_FALSE(setup.Check_Txt_Oscil(3, 0.5, 100.0, 1e-2).applied);
    EXPECT_EQ(setup.Param.Offset, 0.0);
}

TEST_F(SystemSetupTest, FrequencyEqualToThePreviousOneDoesNotReachTheModule) {
    startOn(Awg1102);           // 16384 points at 250 MSa/s: 1 MHz would warn
    setup.Param.Period = 123.0; // left alone unless the value is applied
    const OscilOutcome out = setup.Check_Txt_Oscil(0, 1e6, 1e6, 1e-6);
    EXPECT_FALSE(out.applied);
    EXPECT_TRUE(prompts.boxes.empty()) << "the module's frequency check would have warned";
    EXPECT_EQ(setup.Param.Period, 123.0);
    EXPECT_EQ(setup.Param.Frequency, 1000.0);
    // The same value against another previous text does reach it.
    setup.Check_Txt_Oscil(0, 1e6, 1000.0, 1e-3);
    EXPECT_EQ(prompts.boxes.size(), 1u);
}

TEST_F(SystemSetupTest, FrequencyWarningAsksInBothLanguagesAndNoChangesNothing) {
    struct Case {
        bool english;
        Answer answer;
        const char16_t* needle;
    } cases[] = {
        {true, Answer::No, u"Set this frequency?"},
        {false, Answer::No, u"この周波数を設定しますか？"},
        {true, Answer::Yes, u"250 MSa/s"},
        {false, Answer::Yes, u"250 MSa/s"},
    };
    for (const Case& c : cases) {
        Set_Language(true);
        startOn(Awg1102);
        Set_Language(c.english);
        prompts.clear();
        prompts.answers = {c.answer};
        const SystemParameter before = setup.Param;
        const int16_t result = setup.Change_Frequency(1e6);
        ASSERT_EQ(prompts.boxes.size(), 1u);
        const BoxRequest& box = prompts.boxes[0];
        EXPECT_EQ(box.title, QStringLiteral("Warning Message"));
        EXPECT_EQ(box.buttons, BoxButtons::YesNo);
        EXPECT_EQ(box.icon, BoxIcon::Stop);
        EXPECT_TRUE(box.text.contains(QString::fromUtf16(c.needle))) << box.text.toStdString();
        if (c.answer == Answer::No) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(setup.Param.Frequency, before.Frequency);
            EXPECT_EQ(setup.Param.Period, before.Period);
        } else {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(setup.Param.Frequency, 1e6);
            EXPECT_EQ(setup.Param.Period, 1e-6);
        }
    }
    // Below the sample rate there is no question at all.
    Set_Language(true);
    prompts.clear();
    EXPECT_EQ(setup.Change_Frequency(5000.0), -1);
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(SystemSetupTest, InterfaceListFollowsTheMask) {
    const InterfaceEntry usb{QStringLiteral("USB(TMC)"), 3};
    const InterfaceEntry ni{QStringLiteral("NI GPIB"), 0};
    const InterfaceEntry ki{QStringLiteral("KI GPIB"), 1};
    // The simulated bus ends every list: a whole transfer runs without an instrument.
    const InterfaceEntry sim{QStringLiteral("Simulated"), 4};
    struct Case {
        int32_t mask;
        std::vector<InterfaceEntry> list;
    } cases[] = {
        {0x0, {sim}},     {0x8, {usb, sim}},         {0x1, {ni, sim}},
        {0x4, {ni, sim}}, {0x2, {ki, sim}},          {0x9, {usb, ni, sim}},
        {0x5, {ni, sim}}, {0xB, {usb, ni, ki, sim}}, {0xF, {usb, ni, ki, sim}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SystemSetup::Interface_List(c.mask), c.list) << c.mask;

    startOn(Fg4101); // all three
    setup.InterfaceKind = IfKiGpib;
    EXPECT_EQ(setup.Interface_ListIndex(), 2);
    setup.InterfaceKind = IfSimulated;
    EXPECT_EQ(setup.Interface_ListIndex(), 3);
    setup.InterfaceKind = IfUsb488; // not offered by any model
    EXPECT_EQ(setup.Interface_ListIndex(), 0);
    EXPECT_EQ(setup.Change_Interface(IfKiGpib), -1);
    setup.Change_Model(Awg1101); // USB(TMC) only
    EXPECT_EQ(setup.Change_Interface(IfNiGpib), 0);
    EXPECT_EQ(setup.Change_Interface(IfUsbTmc), -1);
}

TEST_F(SystemSetupTest, CommandTablesAreKeptAtFullWidth) {
    startOn(Awg1101);
    const CommandTable& steps = setup.CommandTables[2];
    EXPECT_EQ(steps.rows, 6);
    ASSERT_EQ(steps.keys.size(), 50);
    ASSERT_EQ(steps.texts.size(), 50);
    EXPECT_EQ(steps.keys[0], padded("freq", 8));
    EXPECT_EQ(steps.texts[0], padded(":FREQ,0.000", 64));
    EXPECT_EQ(steps.keys[6], QString(8, QLatin1Char(' ')));
    EXPECT_EQ(setup.CommandTables[1].rows, 2);
    setup.Change_Model(PowerSource);
    EXPECT_EQ(setup.CommandTables[2].rows, 0);
    EXPECT_EQ(setup.CommandTables[2].keys[0], QString(8, QLatin1Char(' ')));
}

TEST_F(SystemSetupTest, ChannelChangeRebuildsRangesAndFollowsChannelLimits) {
    startOn(Awg1102);
    ASSERT_EQ(setup.Change_Frequency(1e4), -1);
    ASSERT_EQ(setup.Change_Channel(1), -1); // CH2: up to 1 MHz
    setup.Load_RangeList();
    EXPECT_EQ(setup.RangeNames.size(), 2);
    EXPECT_EQ(setup.Param.FrequencyMax, 1e6);
    EXPECT_EQ(setup.Change_Channel(2), 0);
    EXPECT_EQ(setup.Param.ChannelNo, 1);
}

TEST_F(SystemSetupTest, MemorySizeOfNameReadsTheLeadingNumber) {
    struct Case {
        const char* name;
        int32_t points;
    } cases[] = {{"1024", 1024}, {"  65536          ", 65536}, {"4096 words", 4096}, {"big", 0},
                 {"", 0},        {"99999999999999", 0}};
    for (const Case& c : cases)
        EXPECT_EQ(SystemSetup::MemorySizeOfName(QString::fromUtf8(c.name)), c.points) << c.name;
}
