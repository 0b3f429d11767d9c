// Unit conversions, range checks, unit names and read-outs against a set-up
// record, and round trips point -> unit -> point and word -> unit -> word.
#include "QStringPrinter.h"
#include "units/NumberText.h"
#include "units/Units.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace velda;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A set-up record with the values the conversions read.
struct Rig {
    int32_t n = 2000;
    double period = 1;
    double frequency = 1;
    double amplitude = 10;
    double offset = 0;
    int16_t offsetSettable = 0;
    int16_t offsetOn = 0;
    int16_t model = 1; // an oscillator
    double userXStart = 0, userXEnd = 1;
    double userYMin = -1, userYMax = 1;
    double amplitudeMin = 0.01, amplitudeMax = 20;
    int16_t xMode = 0, yMode = 0;

    SystemParameter record() const {
        SystemParameter sp;
        sp.MemorySize = n;
        sp.Period = period;
        sp.Frequency = frequency;
        sp.Amplitude = amplitude;
        sp.AmplitudeMin = amplitudeMin;
        sp.AmplitudeMax = amplitudeMax;
        sp.Offset = offset;
        sp.OffsetSettable = offsetSettable;
        sp.OffsetOn = offsetOn;
        sp.ModelNo = model;
        sp.UserXStart = userXStart;
        sp.UserXEnd = userXEnd;
        sp.UserYMin = userYMin;
        sp.UserYMax = userYMax;
        sp.XUnitMode = xMode;
        sp.YUnitMode = yMode;
        return sp;
    }
};

Rig volts(double amplitude, double offset, int16_t settable = 0, int16_t on = 0) {
    Rig s;
    s.amplitude = amplitude;
    s.offset = offset;
    s.offsetSettable = settable;
    s.offsetOn = on;
    s.yMode = 1;
    return s;
}

Rig powerSource(Rig s) {
    s.model = 0;
    return s;
}

Rig userX(double start, double end, int32_t n = 1000) {
    Rig s;
    s.userXStart = start;
    s.userXEnd = end;
    s.n = n;
    s.xMode = 2;
    return s;
}

Rig userY(double min, double max) {
    Rig s;
    s.userYMin = min;
    s.userYMax = max;
    s.yMode = 2;
    return s;
}

Rig seconds(double period, int32_t n = 2000, double frequency = 0) {
    Rig s;
    s.period = period;
    s.frequency = frequency != 0 ? frequency : 1 / period;
    s.n = n;
    s.xMode = 1;
    return s;
}

Rig modes(int16_t x, int16_t y) {
    Rig s;
    s.xMode = x;
    s.yMode = y;
    return s;
}

using Conversion = double (UnitContext::*)(double) const;

struct ConversionCase {
    const char* name;
    Rig setup;
    Conversion fn;
    double in;
    double out;
};

const double kVoltsPerWord10 = 10.0 / 65534;

const ConversionCase kConversionCases[] = {
    // one unit
    {"Point_To_Time", seconds(1), &UnitContext::Point_To_Time, 1000, 0.5},
    {"Point_To_Time beyond N", seconds(2), &UnitContext::Point_To_Time, 3000, 3},
    {"Time_To_Point", seconds(1), &UnitContext::Time_To_Point, 0.5, 1000},
    {"Time_To_Point negative", seconds(1), &UnitContext::Time_To_Point, -0.5, -1000},
    {"Point_To_UserX", userX(10, 20), &UnitContext::Point_To_UserX, 500, 15},
    {"UserX_To_Point", userX(10, 20), &UnitContext::UserX_To_Point, 15, 500},
    {"Word_To_Volt top", volts(10, 1), &UnitContext::Word_To_Volt, 32767, 6},
    {"Word_To_Volt bottom", volts(10, 1), &UnitContext::Word_To_Volt, -32767, -4},
    {"Volt_To_Word offset", volts(10, 1), &UnitContext::Volt_To_Word, 1, 0},
    {"WordSpan_To_Volt", volts(10, 1), &UnitContext::WordSpan_To_Volt, 65534, 10},
    {"Word_To_Volt offset off", volts(10, 1, 1, 0), &UnitContext::Word_To_Volt, 32767, 5},
    {"Word_To_Volt offset on", volts(10, 1, 1, 1), &UnitContext::Word_To_Volt, 32767, 6},
    {"Volt_To_Word offset off", volts(10, 1, 1, 0), &UnitContext::Volt_To_Word, 1, 6553.4},
    {"Word_To_Volt power source, no switch", powerSource(volts(10, 1, 1, 0)),
     &UnitContext::Word_To_Volt, 32767, 6},
    {"VoltSpan_To_Word ignores offset", volts(10, 1), &UnitContext::VoltSpan_To_Word, 5, 32767},
    {"Volt_To_Word amplitude 0", volts(0, 1), &UnitContext::Volt_To_Word, 3, 65534},
    {"VoltSpan_To_Word amplitude 0", volts(0, 1), &UnitContext::VoltSpan_To_Word, 3, 65534},
    {"Word_To_UserY top", userY(0, 100), &UnitContext::Word_To_UserY, 32767, 100},
    {"Word_To_UserY bottom", userY(0, 100), &UnitContext::Word_To_UserY, -32767, 0},
    {"Word_To_UserY centre", userY(0, 100), &UnitContext::Word_To_UserY, 0, 50},
    {"UserY_To_Word", userY(0, 100), &UnitContext::UserY_To_Word, 75, 16383.5},
    {"WordSpan_To_UserY", userY(0, 100), &UnitContext::WordSpan_To_UserY, 65534, 100},
    {"UserYSpan_To_Word", userY(0, 100), &UnitContext::UserYSpan_To_Word, 50, 32767},
    // current unit: X clamps the point to [0, N] first
    {"Point_To_X word", modes(0, 0), &UnitContext::Point_To_X, 1234.5, 1234.5},
    {"Point_To_X word above N", modes(0, 0), &UnitContext::Point_To_X, 2500, 2000},
    {"Point_To_X word below 0", modes(0, 0), &UnitContext::Point_To_X, -5, 0},
    {"Point_To_X sec", seconds(1), &UnitContext::Point_To_X, 1000, 0.5},
    {"Point_To_X sec above N", seconds(1), &UnitContext::Point_To_X, 2500, 1},
    {"Point_To_X user", userX(-1, 1, 2000), &UnitContext::Point_To_X, 0, -1},
    {"Point_To_X user above N", userX(-1, 1, 2000), &UnitContext::Point_To_X, 3000, 1},
    {"Point_To_X unknown mode", modes(7, 0), &UnitContext::Point_To_X, 2500, 2000},
    {"X_To_Point word", modes(0, 0), &UnitContext::X_To_Point, 2500, 2000},
    {"X_To_Point word below 0", modes(0, 0), &UnitContext::X_To_Point, -1, 0},
    {"X_To_Point sec", seconds(1), &UnitContext::X_To_Point, 0.5, 1000},
    {"X_To_Point sec above period", seconds(1), &UnitContext::X_To_Point, 2, 2000},
    {"X_To_Point sec negative", seconds(1), &UnitContext::X_To_Point, -0.1, 0},
    // the time bound is 1 / Frequency, not Period
    {"X_To_Point sec bound", seconds(1, 2000, 2), &UnitContext::X_To_Point, 0.9, 1000},
    {"X_To_Point user", userX(-1, 1, 2000), &UnitContext::X_To_Point, 0, 1000},
    {"X_To_Point user above", userX(-1, 1, 2000), &UnitContext::X_To_Point, 5, 2000},
    {"X_To_Point user below", userX(-1, 1, 2000), &UnitContext::X_To_Point, -5, 0},
    // current unit: Y clamps the word to [-32768, 32767] first
    {"Word_To_Y raw", modes(0, 0), &UnitContext::Word_To_Y, 123, 123},
    {"Word_To_Y raw above", modes(0, 0), &UnitContext::Word_To_Y, 40000, 32767},
    {"Word_To_Y raw below", modes(0, 0), &UnitContext::Word_To_Y, -40000, -32768},
    {"Word_To_Y volt", volts(10, 0), &UnitContext::Word_To_Y, 32767, 5},
    {"Word_To_Y volt above", volts(10, 0), &UnitContext::Word_To_Y, 40000, 5},
    {"Word_To_Y volt below", volts(10, 0), &UnitContext::Word_To_Y, -40000,
     -32768 * kVoltsPerWord10},
    {"Word_To_Y user", userY(0, 100), &UnitContext::Word_To_Y, 0, 50},
    {"Word_To_Y unknown mode", modes(0, 9), &UnitContext::Word_To_Y, 5, 5},
    {"Word_To_Y_Raw volt", volts(10, 0), &UnitContext::Word_To_Y_Raw, 40000,
     40000 * kVoltsPerWord10},
    {"Word_To_Y_Raw raw", modes(0, 0), &UnitContext::Word_To_Y_Raw, 40000, 40000},
    {"Y_To_Word raw above", modes(0, 0), &UnitContext::Y_To_Word, 40000, 32767},
    {"Y_To_Word raw below", modes(0, 0), &UnitContext::Y_To_Word, -40000, -32768},
    {"Y_To_Word volt", volts(10, 1), &UnitContext::Y_To_Word, 6, 32767},
    {"Y_To_Word volt above", volts(10, 1), &UnitContext::Y_To_Word, 100, 32767},
    {"Y_To_Word volt below", volts(10, 1), &UnitContext::Y_To_Word, -100, -32767},
    {"Y_To_Word volt offset", volts(10, 1), &UnitContext::Y_To_Word, 1, 0},
    {"Y_To_Word user above", userY(0, 100), &UnitContext::Y_To_Word, 150, 32767},
    {"Y_To_Word user below", userY(0, 100), &UnitContext::Y_To_Word, -1, -32767},
    {"Y_To_Word user centre", userY(0, 100), &UnitContext::Y_To_Word, 50, 0},
    {"Y_To_Word_Raw volt", volts(10, 1), &UnitContext::Y_To_Word_Raw, 100, 99 * 6553.4},
    {"WordSpan_To_Y raw", modes(0, 0), &UnitContext::WordSpan_To_Y, 70000, 70000},
    {"WordSpan_To_Y volt", volts(10, 1), &UnitContext::WordSpan_To_Y, 65534, 10},
    {"WordSpan_To_Y user", userY(0, 100), &UnitContext::WordSpan_To_Y, 65534, 100},
    {"YSpan_To_Word raw", modes(0, 0), &UnitContext::YSpan_To_Word, 5, 5},
    {"YSpan_To_Word volt", volts(10, 1), &UnitContext::YSpan_To_Word, 10, 65534},
    {"YSpan_To_Word user", userY(-1, 1), &UnitContext::YSpan_To_Word, 2, 65534},
    // widths along X: scaled like positions, but never shifted by the unit's start
    {"PointSpan_To_X word", modes(0, 0), &UnitContext::PointSpan_To_X, 300, 300},
    {"PointSpan_To_X word above N", modes(0, 0), &UnitContext::PointSpan_To_X, 3000, 2000},
    {"PointSpan_To_X sec", seconds(1), &UnitContext::PointSpan_To_X, 1000, 0.5},
    {"PointSpan_To_X user", userX(-180, 180, 1000), &UnitContext::PointSpan_To_X, 250, 90},
    {"PointSpan_To_X user off zero", userX(10, 20), &UnitContext::PointSpan_To_X, 500, 5},
    {"XSpan_To_Point word", modes(0, 0), &UnitContext::XSpan_To_Point, 300, 300},
    {"XSpan_To_Point sec", seconds(1), &UnitContext::XSpan_To_Point, 0.5, 1000},
    {"XSpan_To_Point user", userX(-180, 180, 1000), &UnitContext::XSpan_To_Point, 90, 250},
    {"XSpan_To_Point user off zero", userX(10, 20), &UnitContext::XSpan_To_Point, 5, 500},
    {"XSpan_To_Point user negative", userX(-180, 180, 1000), &UnitContext::XSpan_To_Point, -90, 0},
    {"XSpan_To_Point user above", userX(-180, 180, 1000), &UnitContext::XSpan_To_Point, 400, 1000},
};

struct ClampCase {
    const char* name;
    Rig setup;
    bool isX;
    int mode;
    bool isSpan;
    double in;
    double out;
    bool inside;
};

const ClampCase kClampCases[] = {
    {"Y raw span above", {}, false, 0, true, 70000, 65534, false},
    {"Y raw span below", {}, false, 0, true, -1, 0, false},
    {"Y raw span edge", {}, false, 0, true, 0, 0, true},
    {"Y raw below", {}, false, 0, false, -40000, -32768, false},
    {"Y raw lower edge", {}, false, 0, false, -32768, -32768, true},
    {"Y raw upper edge", {}, false, 0, false, 32767, 32767, true},
    {"Y raw above", {}, false, 0, false, 32768, 32767, false},
    {"Y volt edge", volts(10, 1), false, 1, false, 6, 6, true},
    {"Y volt above", volts(10, 1), false, 1, false, 6.5, 6, false},
    {"Y volt below", volts(10, 1), false, 1, false, -4.5, -4, false},
    {"Y volt offset off", volts(10, 1, 1, 0), false, 1, false, 5.5, 5, false},
    {"Y volt span above", volts(10, 1), false, 1, true, 30, 20, false},
    {"Y volt span below", volts(10, 1), false, 1, true, 0.001, 0.01, false},
    {"Y volt span inside", volts(10, 1), false, 1, true, 10, 10, true},
    {"Y user above", userY(0, 100), false, 2, false, 150, 100, false},
    {"Y user span below", userY(0, 100), false, 2, true, -1, 0, false},
    {"Y user span inside", userY(0, 100), false, 2, true, 100, 100, true},
    {"Y unknown mode", {}, false, 5, false, 1e9, 1e9, true},
    {"Y NaN", {}, false, 0, false, kNaN, -32768, false},
    {"X word at N", {}, true, 0, false, 2000, 2000, true},
    {"X word above N", {}, true, 0, false, 2001, 2000, false},
    {"X word below 0", {}, true, 0, false, -0.5, 0, false},
    {"X sec inside", seconds(0.02), true, 1, false, 0.02, 0.02, true},
    {"X sec above", seconds(0.02), true, 1, false, 0.03, 0.02, false},
    {"X sec below", seconds(0.02), true, 1, false, -1e-9, 0, false},
    {"X user below", userX(10, 20), true, 2, false, 5, 10, false},
    {"X user above", userX(10, 20), true, 2, false, 25, 20, false},
    {"X unknown mode", {}, true, 9, false, -7, -7, true},
    {"X NaN", {}, true, 0, false, kNaN, 0, false},
};

struct TextCase {
    const char* name;
    Rig setup;
    QString (UnitContext::*fn)(double) const;
    double in;
    const char* text;
};

const TextCase kTextCases[] = {
    {"XText word", modes(0, 0), &UnitContext::Point_To_XText, 1234, "1234.000"},
    {"XText sec", seconds(1), &UnitContext::Point_To_XText, 1000, "500.000m"},
    {"XText sec clamped", seconds(1), &UnitContext::Point_To_XText, 2500, "1.000000"},
    {"XText word clamped", modes(0, 0), &UnitContext::Point_To_XText, 2500, "2000.000"},
    {"XText user", userX(0, 1, 2000), &UnitContext::Point_To_XText, 1000, "500.000m"},
    {"XTextLong word", modes(0, 0), &UnitContext::Point_To_XTextLong, 1234, "1234.000000"},
    {"XTextLong sec", seconds(1), &UnitContext::Point_To_XTextLong, 1000, "500.000000m"},
    {"XTextLong user", userX(-5, 5, 1000), &UnitContext::Point_To_XTextLong, 0, "-5.00000000"},
    {"SpanXText word", modes(0, 0), &UnitContext::PointSpan_To_XText, 1234, "1234.000"},
    {"SpanXText user", userX(-180, 180, 1000), &UnitContext::PointSpan_To_XText, 250, "90.00000"},
    {"SpanXText user zero", userX(-180, 180, 1000), &UnitContext::PointSpan_To_XText, 0,
     "0.000000"},
    {"YText raw", modes(0, 0), &UnitContext::Word_To_YText, 32767, "32767.00"},
    {"YText raw bottom", modes(0, 0), &UnitContext::Word_To_YText, -32768, "-32768.0"},
    {"YText raw clamped", modes(0, 0), &UnitContext::Word_To_YText, 40000, "32767.00"},
    {"YText volt", volts(10, 0), &UnitContext::Word_To_YText, 32767, "5.000000"},
    {"YText volt bottom", volts(10, 0), &UnitContext::Word_To_YText, -32767, "-5.00000"},
    {"YText volt zero", volts(10, 0), &UnitContext::Word_To_YText, 0, "0.000000"},
    {"YText volt one word", volts(10, 0), &UnitContext::Word_To_YText, 1, "152.592u"},
    {"YText user", userY(0, 100), &UnitContext::Word_To_YText, 0, "50.00000"},
    {"YText_Raw raw", modes(0, 0), &UnitContext::Word_To_YText_Raw, 40000, "40000.00"},
    {"YText_Raw volt", volts(10, 0), &UnitContext::Word_To_YText_Raw, 65534, "10.00000"},
    {"SpanText raw", modes(0, 0), &UnitContext::WordSpan_To_YText, 100, "100.0000"},
    {"SpanText volt", volts(10, 1), &UnitContext::WordSpan_To_YText, 32767, "5.000000"},
    // 6553.4 x 10 / 65534 is the double just below 1: it stays in the milli
    // group, like 1000 stays without a letter
    {"SpanText volt below 1", volts(10, 1), &UnitContext::WordSpan_To_YText, 6553.4, "1000.00m"},
    {"SpanText user", userY(0, 100), &UnitContext::WordSpan_To_YText, 655.34, "1.000000"},
};

} // namespace

TEST(Units, Conversions) {
    for (const auto& c : kConversionCases) {
        const SystemParameter sp = c.setup.record();
        const UnitContext u(sp);
        EXPECT_DOUBLE_EQ((u.*c.fn)(c.in), c.out) << c.name;
    }
}

// The ends of a typed X range are the waveform's ends exactly: a point a
// rounding step behind N would put a marker behind the waveform.
TEST(Units, XRangeEndsAreTheFirstAndLastPointExactly) {
    for (const Rig& rig : {userX(0, 0.001), userX(10, 20.1, 65536), userX(-0.3, 0.7, 3000),
                           seconds(0.001, 1000), seconds(0.3, 65536)}) {
        const SystemParameter sp = rig.record();
        const UnitContext u(sp);
        double top = 1e300, bottom = -1e300;
        u.Clamp_X(top, sp.XUnitMode);
        u.Clamp_X(bottom, sp.XUnitMode);
        EXPECT_EQ(u.X_To_Point(top), sp.MemorySize) << top;
        EXPECT_EQ(u.X_To_Point(bottom), 0) << bottom;
    }
}

TEST(Units, Clamps) {
    for (const auto& c : kClampCases) {
        const SystemParameter sp = c.setup.record();
        const UnitContext u(sp);
        double v = c.in;
        const bool inside = c.isX ? u.Clamp_X(v, c.mode) : u.Clamp_Y(v, c.mode, c.isSpan);
        EXPECT_EQ(inside, c.inside) << c.name;
        EXPECT_DOUBLE_EQ(v, c.out) << c.name;
    }
}

TEST(Units, UnitNames) {
    SystemParameter sp;
    sp.UserXUnitName = QStringLiteral("mm      ");
    sp.UserYUnitName = QStringLiteral("  degC  ");
    const UnitContext u(sp);
    const struct {
        int16_t mode;
        const char* x;
        const char* y;
    } cases[] = {{0, "Word", ""}, {1, "sec", "V"}, {2, "mm", "degC"}, {3, "", ""}};
    for (const auto& c : cases) {
        sp.XUnitMode = c.mode;
        sp.YUnitMode = c.mode;
        EXPECT_EQ(u.X_Unit_Name(), QLatin1String(c.x)) << c.mode;
        EXPECT_EQ(u.Y_Unit_Name(), QLatin1String(c.y)) << c.mode;
    }
    sp.UserXUnitName = QString(8, QLatin1Char(' '));
    sp.XUnitMode = 2;
    EXPECT_EQ(u.X_Unit_Name(), QString());
}

TEST(Units, ReadOuts) {
    for (const auto& c : kTextCases) {
        const SystemParameter sp = c.setup.record();
        const UnitContext u(sp);
        EXPECT_EQ((u.*c.fn)(c.in), QLatin1String(c.text)) << c.name;
    }
}

TEST(Units, ContextReadsTheRecordAtEveryCall) {
    SystemParameter sp = volts(10, 0).record();
    const UnitContext u(sp);
    EXPECT_DOUBLE_EQ(u.Word_To_Y(32767), 5);
    sp.Amplitude = 2;
    sp.Offset = 1;
    EXPECT_DOUBLE_EQ(u.Word_To_Y(32767), 2);
    sp.YUnitMode = 0;
    EXPECT_DOUBLE_EQ(u.Word_To_Y(32767), 32767);
    EXPECT_EQ(u.Y_Unit_Name(), QString());
}

TEST(Units, EmptyRangesGiveNumbersNotInfinities) {
    // The set-up never leaves N at 0 or a user range empty, but a conversion
    // must not hand inf or NaN to the callers that round the result.
    Rig s = userX(3, 3, 0);
    s.userYMin = s.userYMax = 2;
    s.period = 0;
    const SystemParameter sp = s.record();
    const UnitContext u(sp);
    for (double v : {u.Time_To_Point(1), u.Point_To_Time(5), u.UserX_To_Point(4),
                     u.Point_To_UserX(5), u.UserY_To_Word(1), u.UserYSpan_To_Word(1)})
        EXPECT_TRUE(std::isfinite(v));
}

// Point -> X -> point and word -> Y -> word, directly and through the text
// that the read-outs show and a user could type back.
TEST(Units, RoundTrips) {
    const int32_t sizes[] = {1000, 2000, 16384, 65536};
    const double periods[] = {1, 1e-3, 3.7e-5, 250};
    for (int32_t n : sizes) {
        for (double period : periods) {
            for (int16_t mode = 0; mode <= 2; ++mode) {
                Rig s = seconds(period, n);
                s.xMode = mode;
                s.userXStart = -period * 3;
                s.userXEnd = period * 7;
                const SystemParameter sp = s.record();
                const UnitContext u(sp);
                for (double p : {0.0, 1.0, n / 3.0, n / 2.0, n - 1.0, double(n)}) {
                    const auto ctx = ::testing::Message() << "N " << n << " period " << period
                                                          << " mode " << mode << " point " << p;
                    EXPECT_NEAR(u.X_To_Point(u.Point_To_X(p)), p, n * 1e-12) << ctx;
                    const double whole = std::floor(p);
                    EXPECT_EQ(Round_Half_Up(u.X_To_Point(Eng_Val(u.Point_To_XTextLong(whole)))),
                              whole)
                        << ctx << " text " << u.Point_To_XTextLong(whole).toStdString();
                }
            }
        }
    }
    const Rig ySetups[] = {modes(0, 0),         volts(10, 0),      volts(10, 1),
                           volts(0.02, -0.005), volts(3, 2, 1, 0), userY(0, 100),
                           userY(-1e-3, 5e-3),  userY(-250, 250)};
    for (const Rig& s : ySetups) {
        const SystemParameter sp = s.record();
        const UnitContext u(sp);
        for (double w : {-32767.0, -1.0, 0.0, 1.0, 12345.0, 32767.0}) {
            const auto ctx = ::testing::Message()
                             << "Y mode " << s.yMode << " amplitude " << s.amplitude << " offset "
                             << s.offset << " user " << s.userYMin << ".." << s.userYMax << " word "
                             << w;
            EXPECT_NEAR(u.Y_To_Word(u.Word_To_Y(w)), w, 1e-9) << ctx;
            EXPECT_NEAR(u.YSpan_To_Word(u.WordSpan_To_Y(w + 32767)), w + 32767, 1e-9) << ctx;
            EXPECT_EQ(Round_Half_Up(u.Y_To_Word(Eng_Val(u.Word_To_YText(w)))), w)
                << ctx << " text " << u.Word_To_YText(w).toStdString();
        }
    }
}

// Typed Y values against the scale they describe: levels inside the Y range
// of the unit, peak-to-peak sizes within the full span (a rounding hair over
// it reads as the full span); numbers too large for a double never pass.
TEST(Units, TypedYValuesInsideTheScale) {
    struct Case {
        const char* name;
        Rig setup;
        bool span;
        double typed;
        bool inside;
        double words; // span only
    };
    const Case cases[] = {
        {"raw level top", modes(0, 0), false, 32767, true, 0},
        {"raw level above", modes(0, 0), false, 32768, false, 0},
        {"raw level overflow", modes(0, 0), false, 1.7976931348623157e308, false, 0},
        {"volt level top", volts(10, 1), false, 6, true, 0},
        {"volt level above", volts(10, 1), false, 6.01, false, 0},
        {"user level below", userY(0, 100), false, -1, false, 0},
        {"raw span full", modes(0, 0), true, 65534, true, 65534},
        {"raw span above", modes(0, 0), true, 65535, false, 0},
        {"raw span negative", modes(0, 0), true, -1, false, 0},
        {"volt span full", volts(10, 1), true, 10, true, 65534},
        {"volt span above", volts(10, 1), true, 10.1, false, 0},
        {"user span half", userY(-1, 1), true, 1, true, 32767},
        {"span overflow", volts(10, 1), true, -1.7976931348623157e308, false, 0},
    };
    for (const Case& c : cases) {
        const SystemParameter sp = c.setup.record();
        const UnitContext u(sp);
        double words = 0;
        const bool inside =
            c.span ? u.YSpan_To_Word_Inside(c.typed, words) : u.YLevel_Inside(c.typed);
        EXPECT_EQ(inside, c.inside) << c.name;
        if (c.span && c.inside) {
            EXPECT_NEAR(words, c.words, 1e-6) << c.name;
        }
    }
}
