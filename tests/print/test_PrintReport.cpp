// The report's lines: the set-up section for the model kinds and interfaces,
// and the page section of the Create pages.
#include "PrintFixture.h"

#include "print/PrintReport.h"
#include "tools/CreatePages.h"

#include <gtest/gtest.h>

using namespace velda;

namespace {

// Labels of a section, in print order (value lines and headings alike).
QStringList labels(const std::vector<ReportLine>& lines) {
    QStringList l;
    for (const auto& r : lines)
        l << r.label;
    return l;
}

QString valueOf(const std::vector<ReportLine>& lines, const QString& label, int nth = 0) {
    for (const auto& r : lines)
        if (r.label == label && r.hasValue && nth-- == 0)
            return r.value;
    return QStringLiteral("<missing>");
}

} // namespace

class SetupReportTest : public test::PrintFixture {};

// Every set-up line in order, for the power source and for oscillators with
// and without the offset switch, on each interface kind's address label.
TEST_F(SetupReportTest, LinesInOrderPerModelAndInterface) {
    const QStringList withOffset = {"<System Setup>", "[Basic Setup]",
                                    "Model",          "Interface",
                                    "GPIB Address",   "[Wave Memory Setup]",
                                    "Memory Size",    "Memory Name",
                                    "Memory Number",  "[Oscillator Setup]",
                                    "Channel",        "Output ON/OFF",
                                    "Frequency",      "Period",
                                    "Range",          "Amplitude",
                                    "DC Offset",      "Output ON/OFF",
                                    "<Unit Setup>",   "[X-Axis Unit]",
                                    "X-Axis Unit",    "Name",
                                    "Min to Max",     "[Y-Axis Unit]",
                                    "Y-Axis Unit",    "Name",
                                    "Min to Max"};
    QStringList withoutOffset = withOffset;
    withoutOffset.removeAt(17);
    QStringList usb488 = withOffset;
    usb488[4] = QStringLiteral("USB ID");

    struct Row {
        const char* name;
        int model;
        int16_t kind;
        const char* modelText;
        const char* interfaceText;
        QStringList labels;
    };
    const Row rows[] = {
        {"power source, USB(TMC)", 0, IfUsbTmc, "PS-1000", "USB(TMC)", withOffset},
        {"oscillator with offset, NI GPIB", 2, IfNiGpib, "AWG-1102", "NI GPIB", withOffset},
        {"oscillator without offset, KI GPIB", 3, IfKiGpib, "AWG-2201", "KI GPIB", withoutOffset},
        {"oscillator on USB488", 1, IfUsb488, "AWG-1101", "USB488", usb488},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        selectModel(row.model);
        setKnownValues();
        program->Setup.InterfaceKind = row.kind;
        const auto lines = Setup_Report(program->Setup, true);
        EXPECT_EQ(labels(lines), row.labels);
        EXPECT_EQ(valueOf(lines, "Model"), row.modelText);
        EXPECT_EQ(valueOf(lines, "Interface"), row.interfaceText);
        EXPECT_EQ(valueOf(lines, row.labels[4]), "7");
        EXPECT_EQ(valueOf(lines, "Memory Size"), QString::number(program->Document.N()));
        EXPECT_EQ(valueOf(lines, "Output ON/OFF"), "OFF");
        EXPECT_EQ(valueOf(lines, "Frequency"), "1000 Hz");
        EXPECT_EQ(valueOf(lines, "Period"), "1m sec");
        EXPECT_EQ(valueOf(lines, "Amplitude"), "1.5 Vp-p");
        EXPECT_EQ(valueOf(lines, "DC Offset"), "-2.5 V");
        EXPECT_EQ(valueOf(lines, "Channel"), program->Setup.ChannelNames.value(0).trimmed());
        EXPECT_EQ(valueOf(lines, "Range"),
                  program->Setup.ChannelNames.isEmpty()
                      ? QString()
                      : program->Setup.RangeNames.value(program->Setup.Param.RangeNo).trimmed());
    }
}

TEST_F(SetupReportTest, OutputStateAndOffsetSwitchTexts) {
    selectModel(2);
    struct Row {
        int16_t output;
        int16_t offsetOn;
        const char* outputText;
        const char* offsetText;
    };
    for (const Row& r :
         {Row{0, 1, "ON", "ON"}, Row{1, 0, "OFF", "OFF"}, Row{2, 1, "NO CHANGE", "ON"}}) {
        program->Setup.Param.OutputState = r.output;
        program->Setup.Param.OffsetOn = r.offsetOn;
        const auto lines = Setup_Report(program->Setup, true);
        EXPECT_EQ(valueOf(lines, "Output ON/OFF", 0), r.outputText);
        EXPECT_EQ(valueOf(lines, "Output ON/OFF", 1), r.offsetText);
    }
    // The power source has no switch: its offset counts, as the display shows it.
    selectModel(0);
    program->Setup.Param.OffsetOn = 0;
    EXPECT_EQ(valueOf(Setup_Report(program->Setup, true), "Output ON/OFF", 1), "ON");
}

TEST_F(SetupReportTest, UnitLinesFollowTheUnitModes) {
    setKnownValues();
    SystemParameter& sp = program->Setup.Param;
    sp.UserXUnitName = QStringLiteral("deg     ");
    sp.UserYUnitName = QStringLiteral("kPa     ");
    sp.UserXStart = 0;
    sp.UserXEnd = 360;
    sp.UserYMin = -1.5;
    sp.UserYMax = 2.5;
    struct Row {
        int16_t x, y;
        const char *xText, *xName, *yText, *yName;
    };
    const Row rows[] = {{0, 0, "Address", "Word", "Data", ""},
                        {1, 1, "Time", "sec", "Voltage", "V"},
                        {2, 2, "User Unit", "deg", "User Unit", "kPa"}};
    for (const Row& r : rows) {
        sp.XUnitMode = r.x;
        sp.YUnitMode = r.y;
        const auto lines = Setup_Report(program->Setup, true);
        SCOPED_TRACE(r.xText);
        EXPECT_EQ(valueOf(lines, "X-Axis Unit"), r.xText);
        EXPECT_EQ(valueOf(lines, "Name", 0), UnitContext(sp).X_Unit_Name().trimmed());
        EXPECT_EQ(valueOf(lines, "Y-Axis Unit"), r.yText);
        EXPECT_EQ(valueOf(lines, "Name", 1), UnitContext(sp).Y_Unit_Name().trimmed());
        if (r.x == 2) {
            EXPECT_EQ(valueOf(lines, "Name", 0), r.xName);
        }
        EXPECT_EQ(valueOf(lines, "Min to Max", 0), "0.000000,360");
        EXPECT_EQ(valueOf(lines, "Min to Max", 1), "-1.5,2.5");
    }
}

TEST_F(SetupReportTest, JapaneseLabelsWithTheJapaneseFlag) {
    selectModel(2);
    setKnownValues();
    program->Setup.InterfaceKind = IfUsb488;
    const auto lines = Setup_Report(program->Setup, false);
    const QStringList l = labels(lines);
    ASSERT_GE(l.size(), 27);
    EXPECT_EQ(l[0], QString::fromUtf8("<ｼｽﾃﾑ設定>"));
    EXPECT_EQ(l[2], QString::fromUtf8("機種"));
    EXPECT_EQ(l[3], QString::fromUtf8("ｲﾝﾀﾌｪｰｽ"));
    EXPECT_EQ(l[4], QStringLiteral("USB ID"));
    EXPECT_EQ(l[17], QString::fromUtf8("ｵﾌｾｯﾄON/OFF"));
    EXPECT_EQ(l.last(), QString::fromUtf8("最小値～最大値"));
    EXPECT_EQ(valueOf(lines, QString::fromUtf8("単位"), 0), QString::fromUtf8("ｱﾄﾞﾚｽ"));
    // Text form: a heading alone, a value after one tab.
    const QStringList text = Setup_Report_Lines(program->Setup, false);
    EXPECT_EQ(text[0], QString::fromUtf8("<ｼｽﾃﾑ設定>"));
    EXPECT_EQ(text[2], QString::fromUtf8("機種\tAWG-1102"));
}

TEST_F(SetupReportTest, PageSectionListsEveryPageThatTakesPart) {
    setKnownValues();
    tools::CreatePages& pages = program->Pages;
    auto& p3 = pages.CreatePage(3);
    p3.Effect = tools::PageTrue;
    p3.FuncType = tools::FuncSquare;
    p3.AreaStart = 10;
    p3.AreaEnd = 20;
    p3.Offset() = 100;
    p3.Size() = 10;
    p3.Ampl() = 2000;
    p3.Cycle() = 2;
    p3.Phase() = 90;
    p3.Symm() = 25;
    p3.Duty() = 75;
    p3.Transition() = 5;
    auto& p7 = pages.CreatePage(7);
    p7.Effect = tools::PageTrue;
    p7.FuncType = tools::FuncExpression;
    p7.ConstText = QStringLiteral("a=2");
    p7.ExprText = QStringLiteral("sin(x)*a");
    pages.CreatePage(5).Visited = tools::PageTrue; // edited but switched off

    const auto lines = Page_Report(pages, program->Units, true);
    const QStringList l = labels(lines);
    EXPECT_EQ(l.count("+++++++++++++++"), 2);
    EXPECT_EQ(l.count("---------------"), 2);
    const QStringList pageLabels = {"Page",       "Function",   "Start X",  "End X", "Offset",
                                    "Size",       "Amplitude",  "Period",   "Phase", "Symmetry",
                                    "Duty Ratio", "Transition", "Constant", "Y="};
    const int first = l.indexOf("---------------");
    EXPECT_EQ(l.mid(first + 1, 14), pageLabels);
    const int second = l.indexOf("---------------", first + 1);
    EXPECT_EQ(l.mid(second + 1, 14), pageLabels);
    EXPECT_EQ(valueOf(lines, "Page", 0), "3");
    EXPECT_EQ(valueOf(lines, "Page", 1), "7");
    EXPECT_EQ(valueOf(lines, "Function", 0), "Square");
    EXPECT_EQ(valueOf(lines, "Function", 1), "Expression");
    EXPECT_EQ(valueOf(lines, "Start X", 0), "10.00000000");
    EXPECT_EQ(valueOf(lines, "End X", 0), "20.00000000");
    // Raw units: the fixed-width read-out texts, trimmed.
    EXPECT_EQ(valueOf(lines, "Offset", 0), "100.0000");
    EXPECT_EQ(valueOf(lines, "Size", 0), "10.00000000");
    EXPECT_EQ(valueOf(lines, "Amplitude", 0), "2000.000");
    EXPECT_EQ(valueOf(lines, "Phase", 0), "90");
    EXPECT_EQ(valueOf(lines, "Duty Ratio", 0), "75");
    EXPECT_EQ(valueOf(lines, "Transition", 0), "5");
    EXPECT_EQ(valueOf(lines, "Constant", 1), "a=2");
    EXPECT_EQ(valueOf(lines, "Y=", 1), "sin(x)*a");
    // The unit lines of the whole waveform.
    EXPECT_EQ(valueOf(lines, "Min to Max", 0),
              QStringLiteral("0.000000000,%1.000000").arg(program->Document.N()));
    EXPECT_EQ(valueOf(lines, "Min to Max", 1), "-32768.0,32767.00");
    // A size is an extent: in a user unit starting below 0 it is not shifted
    // by the start (10 of 4096 points over -1..1).
    SystemParameter& sp = program->Setup.Param;
    ASSERT_EQ(program->Document.N(), 4096);
    sp.XUnitMode = 2;
    sp.UserXStart = -1;
    sp.UserXEnd = 1;
    EXPECT_EQ(valueOf(Page_Report(pages, UnitContext(sp), true), "Size", 0), "4.88281250m");
}

// The graph's end labels in the current units, and the bits the model's
// converter uses for the digital view.
TEST_F(SetupReportTest, GraphLabelsAndBitsFollowTheModelAndUnits) {
    struct Row {
        int model;
        int16_t xMode, yMode;
        const char *xStart, *xEnd, *yTop, *yBottom;
        int bits;
    };
    const Row rows[] = {
        // AWG-1101, 1024 points; AWG-1102 at 1 kHz and 1.5 Vp-p; AWG-2201 on
        // the user units set below.
        {1, 0, 0, "0.000000 Word", "1024.000 Word", "32767.00", "-32767.0", 14},
        {2, 1, 1, "0.000000 sec", "1.00000m sec", "750.000m V", "-750.00m V", 16},
        {3, 2, 2, "-90.0000 deg", "270.0000 deg", "2.500000 kPa", "-1.50000 kPa", 12},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.model);
        selectModel(r.model);
        setKnownValues();
        SystemParameter& sp = program->Setup.Param;
        sp.UserXUnitName = QStringLiteral("deg     ");
        sp.UserYUnitName = QStringLiteral("kPa     ");
        sp.UserXStart = -90;
        sp.UserXEnd = 270;
        sp.UserYMin = -1.5;
        sp.UserYMax = 2.5;
        sp.XUnitMode = r.xMode;
        sp.YUnitMode = r.yMode;
        const ReportContent c = Report_Content(*program, true, true);
        EXPECT_EQ(c.xStartText.toStdString(), r.xStart);
        EXPECT_EQ(c.xEndText.toStdString(), r.xEnd);
        EXPECT_EQ(c.yTopText.toStdString(), r.yTop);
        EXPECT_EQ(c.yBottomText.toStdString(), r.yBottom);
        EXPECT_EQ(c.bitCount, r.bits);
    }
}
