// Number text: every example of the number rules plus the boundaries around
// them. The tables run once under the default locale and again under a German
// and a Japanese locale, since typed and shown numbers must not change with
// the user's language settings.
#include "QStringPrinter.h"
#include "ScopedLocale.h"
#include "units/NumberText.h"

#include <QLocale>
#include <QRandomGenerator>
#include <clocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace velda;

namespace {

const double kMax = std::numeric_limits<double>::max();
const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

struct FixedCase {
    double value;
    int width;
    const char* text;
};

const FixedCase kFixedCases[] = {
    {1234, 8, "1234.000"},
    {-1.5, 8, "-1.50000"},
    {0.99999999, 8, "0.999999"}, // cut, not rounded
    {0, 8, "0.000000"},
    {0.3, 8, "0.300000"},       // the double below 0.3 still reads 0.3
    {0.1 + 0.2, 8, "0.300000"}, // and so does the one above it
    {123456789, 8, "12345678"}, // the cut may fall inside the whole part
    {-0.5, 11, "-0.50000000"},
    {1234, 11, "1234.000000"},
    {2.5, 3, "2.5"},
    {1e20, 30, "100000000000000000000.00000000"},
    {1e-19, 21, "0.0000000000000000001"},
    {5e-20, 21, "0.0000000000000000001"}, // half of the 19th decimal rounds up
    {4e-20, 21, "0.0000000000000000000"},
    {-1e-25, 8, "0.000000"},                // no "-0" read-out
    {1.0 / 3, 30, "0.3333333333333330000"}, // 15 digits, then zeros
    {7, 0, ""},
    {7, -3, ""},
    {kInf, 8, "Inf"},
    {-kInf, 8, "-Inf"},
    {kNaN, 8, "NaN"},
};

struct EngStrCase {
    double value;
    const char* pattern;
    const char* text;
};

const EngStrCase kEngStrCases[] = {
    // zero: "0." and as many zeros as the pattern has characters after its point
    {0, ".000", "0.000"},
    {0, ".000000", "0.000000"},
    {0, "0.0", "0.0"},
    {0, ".#", "0.0"},
    {0, ".######", "0.000000"},
    {0, "0", "0"},
    {-0.0, ".000", "0.000"},
    // the examples
    {5, ".######", "5"},
    {1500, "0.0", "1.5k"},
    {1000, ".######", "1000"},
    {1e6, ".######", "1000k"},
    {1e9, ".######", "1000M"},
    {0.001, ".######", "1m"},
    {-5e12, ".######", "-5.00E+12"},
    {1e-20, ".000", "1.00E-20"},
    {1.5e12, ".#", "1.50E+12"},
    {-2e-20, ".#", "-2.00E-20"},
    // the range is open at both ends
    {1e12, ".#", "1.00E+12"},
    {-1e12, ".#", "-1.00E+12"},
    {1e-18, ".#", "1.00E-18"},
    {1.1e-18, ".#", "1.1a"},
    {999999999999.0, ".#", "1000G"},
    {9.996e12, ".#", "1.00E+13"}, // the carry reaches the exponent
    {2e-300, ".000", "2.00E-300"},
    // set-up values with their patterns
    {50e6, ".#", "50M"},
    {0.5, ".#", "500m"},
    {10, ".#", "10"},
    {-2.5, ".#", "-2.5"},
    {1, ".000000", "1.000000"},
    {-1, ".000", "-1.000"},
    {1.0 / 3000, ".#############", "333.333333333333u"},
    {1e-6, ".#############", "1u"},
    {-123.456, ".000", "-123.456"},
    {123.4567, ".000", "123.457"},
    {999.9996, ".000", "1000.000"},
    {-0.001, ".000", "-1.000m"},
    {-1e-19, ".000", "-1.00E-19"},
    {2.2e-15, ".######", "2.2f"},
    {4.7e-12, ".######", "4.7p"},
    {33e-9, ".######", "33n"},
    {1.25e-3, "0.0", "1.3m"}, // halves round up
    {2.5, "0", "3"},
    {1.15, ".#", "1.2"}, // on the decimal reading of the double, not its binary value
    {kNaN, ".#", "NaN"},
    {kInf, ".#", "Inf"},
};

struct EngStrNCase {
    double value;
    int digits;
    const char* text;
};

const EngStrNCase kEngStrNCases[] = {
    {1500, 7, "1.50000k"},
    {0.5, 7, "500.000m"},
    {-123.456, 7, "-123.456"},
    {2.5e-6, 7, "2.50000u"},
    {1000, 7, "1000.000"},
    {0.001, 7, "1.00000m"},
    {0, 7, "0.000000"},
    {0, 10, "0.000000000"},
    {0, 1, "0"},
    {1e6, 7, "1000.00k"},
    {-1500, 7, "-1.5000k"},
    {-0.5, 7, "-500.00m"},
    {1234.5678, 10, "1.23456780k"},
    {123456, 10, "123.456000k"},
    {0.99999999, 7, "999.999m"}, // cut, not rounded up to 1
    {0.1 + 0.2, 7, "300.000m"},
    {1e12, 7, "1.00E+12"},
    {1e-18, 7, "1.00E-18"},
    {-1e-18, 10, "-1.00E-18"},
    {1.1e-18, 7, "1.10000a"},
    {999999999999.0, 7, "999.999G"},
};

struct EngValCase {
    const char16_t* text;
    double value;
};

const EngValCase kEngValCases[] = {
    // the examples
    {u"5m", 0.005},
    {u"5 m", 0.005},
    {u"5mV", 5},
    {u"5V", 5},
    {u"1.5k", 1500},
    {u"2M", 2e6},
    {u"1e3k", 1e6},
    {u"", 0},
    {u"3M", 3e6},
    {u"3m", 0.003},
    {u"  12  ", 12},
    {u"abc", 0},
    // every prefix letter, case-sensitive
    {u"1a", 1e-18},
    {u"1f", 1e-15},
    {u"1p", 1e-12},
    {u"1n", 1e-9},
    {u"1u", 1e-6},
    {u"1G", 1e9},
    {u"1T", 1e12},
    {u"1K", 1},
    {u"1g", 1},
    {u"-2.5u", -2.5e-6},
    // blanks anywhere; only the last non-blank character is a prefix
    {u"1 2 3", 123},
    {u"\t1\n2", 12},
    {u"- 5", -5},
    {u"1.5 k", 1500},
    {u"5m \t\n", 0.005},
    {u"k", 0},
    {u"m", 0},
    {u"   ", 0},
    // number shapes
    {u"+7", 7},
    {u"--5", 0},
    {u"1.2.3", 1.2},
    {u".5", 0.5},
    {u"5.", 5},
    {u".", 0},
    {u"-", 0},
    {u"0.1", 0.1},
    {u"12abc", 12},
    {u"abc12", 0},
    {u"1,5", 1}, // the comma never is a decimal point
    {u"1D3", 1000},
    {u"1d-3", 0.001},
    {u"2.5E+2", 250},
    {u"1e", 1},
    {u"1e+", 1},
    {u"1ek", 1000},
    {u"1e3", 1000},
    {u"0.00000000000000000000000000000000000000000000000001", 1e-50},
    {u"12345678901234567890123456789012345678901234567890", 1.2345678901234568e49},
    // hexadecimal and octal whole numbers
    {u"&H1F", 31},
    {u"&HFF", 255},
    {u"&hff", 255e-15}, // the last letter is still a prefix: femto
    {u"&H1Fk", 31000},
    {u"&H10", 16},
    {u"&O17", 15},
    {u"&o777", 511},
    {u"&O8", 0},
    {u"&H", 0},
    {u"&X12", 0},
    {u"-&H10", 0},
    // too large or too small for a double
    {u"1e400", kMax},
    {u"-1e400", -kMax},
    {u"1e-400", 0},
    {u"1e308k", kMax},
    {u"1e-290a", 1e-308},
    {u"1e99999999999999999999", kMax},
    {u"\uff11\uff12", 0}, // full-width digits are not digits
};

struct RoundCase {
    double x;
    int32_t halfUp;
    int32_t up;
};

const RoundCase kRoundCases[] = {
    {0, 0, 0},
    {2.5, 3, 3},
    {-2.5, -2, -2},
    {2.4999, 2, 3},
    {-0.5, 0, 0},
    {-0.6, -1, 0},
    {2.0, 2, 2},
    {2.1, 2, 3},
    {-2.1, -2, -2},
    {-2.0, -2, -2},
    {1e-300, 0, 1},
    {65535.5, 65536, 65536},
    {0.49999999999999994, 1, 1}, // Int(x + 0.5) as written: the sum is exactly 1
    {1e10, INT32_MAX, INT32_MAX},
    {-1e10, INT32_MIN, INT32_MIN},
    {kNaN, 0, 0},
};

void checkAllTables() {
    for (const auto& c : kFixedCases)
        EXPECT_EQ(Fmt_Fixed(c.value, c.width), QLatin1String(c.text))
            << "Fmt_Fixed(" << c.value << ", " << c.width << ")";
    for (const auto& c : kEngStrCases)
        EXPECT_EQ(Eng_Str(c.value, c.pattern), QLatin1String(c.text))
            << "Eng_Str(" << c.value << ", " << c.pattern << ")";
    for (const auto& c : kEngStrNCases)
        EXPECT_EQ(Eng_StrN(c.value, c.digits), QLatin1String(c.text))
            << "Eng_StrN(" << c.value << ", " << c.digits << ")";
    for (const auto& c : kEngValCases) {
        const QString text = QString::fromUtf16(c.text);
        const double v = Eng_Val(text);
        if (c.value == 0) {
            EXPECT_EQ(v, 0.0) << "Eng_Val(\"" << text.toStdString() << "\")";
            EXPECT_FALSE(std::signbit(v)) << "Eng_Val(\"" << text.toStdString() << "\")";
        } else {
            EXPECT_DOUBLE_EQ(v, c.value) << "Eng_Val(\"" << text.toStdString() << "\")";
        }
    }
    for (const auto& c : kRoundCases) {
        EXPECT_EQ(Round_Half_Up(c.x), c.halfUp) << "Round_Half_Up(" << c.x << ")";
        EXPECT_EQ(Round_Up(c.x), c.up) << "Round_Up(" << c.x << ")";
    }
}

} // namespace

TEST(NumberText, FmtFixed) {
    for (const auto& c : kFixedCases)
        EXPECT_EQ(Fmt_Fixed(c.value, c.width), QLatin1String(c.text))
            << "Fmt_Fixed(" << c.value << ", " << c.width << ")";
}

TEST(NumberText, FmtFixedOfTheLargestDoubleIsComplete) {
    const QString s = Fmt_Fixed(kMax, 1000);
    EXPECT_EQ(s.size(), 309 + 1 + 19);
    EXPECT_TRUE(s.startsWith(QLatin1String("179769313486232000"))) << s.toStdString();
    EXPECT_TRUE(s.endsWith(QLatin1String(".0000000000000000000")));
    EXPECT_EQ(Fmt_Fixed(-kMax, 5), QLatin1String("-1797"));
}

TEST(NumberText, EngStr) {
    for (const auto& c : kEngStrCases)
        EXPECT_EQ(Eng_Str(c.value, c.pattern), QLatin1String(c.text))
            << "Eng_Str(" << c.value << ", " << c.pattern << ")";
}

TEST(NumberText, EngStrTakesPatternsOfEveryStringKind) {
    const QString pattern = QStringLiteral("0.0");
    EXPECT_EQ(Eng_Str(1500, pattern), QLatin1String("1.5k"));
    EXPECT_EQ(Eng_Str(1500, u"0.0"), QLatin1String("1.5k"));
    EXPECT_EQ(Eng_Str(1500, QLatin1String("0.0")), QLatin1String("1.5k"));
    const NumberFormats formats;
    EXPECT_EQ(Eng_Str(1e-3, formats.PeriodFormat), QLatin1String("1m"));
    EXPECT_EQ(Eng_Str(0, formats.UserYFormat), QLatin1String("0.000"));
    EXPECT_EQ(Eng_Str(0, formats.UserXFormat), QLatin1String("0.000000"));
    EXPECT_EQ(Eng_Str(1234.56, formats.FrequencyFormat), QLatin1String("1.2k"));
}

TEST(NumberText, EngStrN) {
    for (const auto& c : kEngStrNCases)
        EXPECT_EQ(Eng_StrN(c.value, c.digits), QLatin1String(c.text))
            << "Eng_StrN(" << c.value << ", " << c.digits << ")";
}

TEST(NumberText, EngVal) {
    for (const auto& c : kEngValCases) {
        const QString text = QString::fromUtf16(c.text);
        const double v = Eng_Val(text);
        if (c.value == 0) {
            EXPECT_EQ(v, 0.0) << "Eng_Val(\"" << text.toStdString() << "\")";
            EXPECT_FALSE(std::signbit(v)) << "Eng_Val(\"" << text.toStdString() << "\")";
        } else {
            EXPECT_DOUBLE_EQ(v, c.value) << "Eng_Val(\"" << text.toStdString() << "\")";
        }
    }
}

TEST(NumberText, EngValNeverFailsOnGarbage) {
    // Random texts over an alphabet rich in number characters, prefix letters
    // and things that are neither: the result is always a finite double.
    const QString alphabet = QStringLiteral("0123456789.+-eEdD&HhOoafpnumkMGT \t\n,xZ\u00e9\u3042");
    QRandomGenerator rng(12345);
    for (int i = 0; i < 20000; ++i) {
        QString text;
        const int len = rng.bounded(0, 24);
        for (int k = 0; k < len; ++k)
            text += alphabet[rng.bounded(static_cast<int>(alphabet.size()))];
        const double v = Eng_Val(text);
        ASSERT_TRUE(std::isfinite(v)) << text.toStdString();
    }
}

TEST(NumberText, ShownValuesReadBackAsTheValue) {
    // What the set-up dialog shows is read back with Eng_Val when the field
    // loses the focus; an unchanged field must not change the value.
    const double values[] = {1,      1.5,    999.5,  1000,    1234.5678, 1e6,
                             50e6,   2.5e-6, 0.001,  0.3,     1.0 / 3,   7.77e-9,
                             42e-15, -3.25,  -1e-17, 9.87e11, 1.0 / 7,   65534.0};
    for (double v : values) {
        const double back = Eng_Val(Eng_Str(v, ".#############"));
        EXPECT_NEAR(back, v, std::fabs(v) * 1e-12) << v;
        const double backN = Eng_Val(Eng_StrN(v, 10));
        EXPECT_NEAR(backN, v, std::fabs(v) * 1e-8) << v;
        const double backSci = Eng_Val(Eng_Str(v * 1e13, ".#"));
        EXPECT_NEAR(backSci, v * 1e13, std::fabs(v) * 1e13 * 5e-3) << v;
    }
}

TEST(NumberText, RoundHalfUpAndRoundUp) {
    for (const auto& c : kRoundCases) {
        EXPECT_EQ(Round_Half_Up(c.x), c.halfUp) << "Round_Half_Up(" << c.x << ")";
        EXPECT_EQ(Round_Up(c.x), c.up) << "Round_Up(" << c.x << ")";
    }
}

class NumberTextLocale : public ::testing::TestWithParam<const char*> {};

TEST_P(NumberTextLocale, EveryTableHoldsUnderTheLocale) {
    const QString name = QString::fromLatin1(GetParam());
    const QLocale qt(name.section(QLatin1Char('.'), 0, 0));
    test::ScopedLocale scoped(GetParam(), qt);
    if (name.startsWith(QLatin1String("de"))) {
        // Make sure the test has teeth: Qt and (when the system can provide
        // it) the C library now write a decimal comma.
        EXPECT_EQ(QLocale().decimalPoint(), QLatin1String(","));
        if (scoped.cLocaleActive())
            EXPECT_STREQ(localeconv()->decimal_point, ",");
        else
            std::fprintf(stderr, "note: locale %s not available to the C library\n", GetParam());
    }
    checkAllTables();
}

INSTANTIATE_TEST_SUITE_P(Foreign, NumberTextLocale,
                         ::testing::Values("de_DE.UTF-8", "ja_JP.UTF-8"));

TEST(NumberText, RoundEvenTakesHalvesToTheEvenNeighbourAndSaturates) {
    const struct {
        double x;
        int32_t even;
    } cases[] = {
        {0.5, 0}, {1.5, 2},   {2.5, 2},          {-0.5, 0},          {-1.5, -2},        {2.4999, 2},
        {2.6, 3}, {-2.6, -3}, {1e10, INT32_MAX}, {-1e10, INT32_MIN}, {std::nan(""), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Round_Even(c.x), c.even) << "Round_Even(" << c.x << ")";
}
