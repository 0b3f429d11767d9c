#pragma once
// Number text: the fixed decimal field, engineering notation with an SI prefix
// letter, reading typed numbers and the two small roundings. Pure functions:
// nothing here reads or changes program state, and nothing depends on the C
// locale or on QLocale: the decimal point is always ".".

#include <QAnyStringView>
#include <QString>
#include <QStringView>
#include <cstdint>

namespace velda {

// The prefix letters; the letter at 1-based position k stands for 10^((k - 7) * 3),
// the blank at position 7 for 1.
inline constexpr char kPrefixLetters[] = "afpnum kMGT";

// Plain decimal text with 19 decimals (at least one integer digit), cut to the
// first `width` characters; the cut does not round. A negative width gives "".
QString Fmt_Fixed(double value, int width);

// Engineering notation: the mantissa (normally 1 <= |m| < 1000) written with a
// numeric pattern such as ".#", ".######", ".000" or "0.0", followed by the
// prefix letter. Magnitudes up to 1e-18 or from 1e12 on are written as
// scientific text with two decimals ("1.50E+12").
QString Eng_Str(double value, QAnyStringView pattern);

// Plain decimal text written with a numeric pattern ("0.000", "0.##", "0"):
// rounded to the pattern's decimals, "0" decimals always shown, "#" decimals
// up to the last non-zero digit, a "0" before the point forcing an integer
// digit. A whole value under a "#"-only pattern keeps its point ("5.").
QString Fmt_Pattern(double value, QAnyStringView pattern);

// Engineering notation in a field of digits + 1 characters (digits is 7 or 10):
// the mantissa as Fmt_Fixed(m, digits + 1), its last character giving way to
// the prefix letter.
QString Eng_StrN(double value, int digits);

// Reads a typed number; its very last non-blank character may be a prefix
// letter. Never fails: text that is no number reads as 0, a number too large
// for a double reads as the largest double of its sign, so the callers' range
// checks reject it instead of seeing an infinity.
double Eng_Val(QStringView text);
// True when a value read by Eng_Val was too large for a double (it reads as
// the largest one) or is not a number: no field can hold it.
bool Eng_Overflow(double v);

// Int(x + 0.5). Results beyond the 32-bit range saturate; NaN gives 0.
int32_t Round_Half_Up(double x);
// The smallest whole number not below x. Saturates like Round_Half_Up.
int32_t Round_Up(double x);
// To the nearest whole number, halves to the even neighbour (the conversion
// of a position or count to a whole number). Saturates like Round_Half_Up.
int32_t Round_Even(double x);

// The patterns with which the set-up values are shown in the set-up dialog
// and read back through Eng_Val. Start-up takes these defaults.
struct NumberFormats {
    QString FrequencyFormat = QStringLiteral(".#");
    QString PeriodFormat = QStringLiteral(".#############");
    QString AmplitudeFormat = QStringLiteral(".#");
    QString OffsetFormat = QStringLiteral(".#");
    QString UserXFormat = QStringLiteral(".000000");
    QString UserYFormat = QStringLiteral(".000");
};

} // namespace velda
