#include "units/NumberText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <type_traits>

namespace velda {

namespace {

// Doubles carry about 15 reliable decimal digits; text beyond them is padded
// with zeros. Reading the binary value exactly instead would show 0.3 as
// 0.2999999999999999889 and, once cut to a field, as "0.299999".
constexpr int kSigDigits = 15;

// Exact powers of ten (every one up to 1e22 is exact in a double).
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8, 1e9,
                             1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18};

// The divisor for the decimal exponent. It is a little larger than ln 10, which
// keeps exact powers of 1000 in the lower prefix group: 1000 shows as "1000",
// 1e6 as "1000k". Saved texts and read-outs depend on it, so it stays.
constexpr double kLn10Engineering = 2.302585093;

// Limits of a pattern we are willing to honour; longer ones are cut.
constexpr int kMaxPatternDigits = 40;
// Room for the widest plain decimal text of a double: sign, 309 integer
// digits, the point and 19 decimals.
constexpr int kFixedBufferSize = 352;
constexpr int kFixedDecimals = 19;

// A decimal number of at most kSigDigits digits: d[0] sits at the place 10^exp.
// n == 0 means zero.
struct Decimal {
    bool neg = false;
    int n = 0;
    int exp = 0;
    char d[kSigDigits + 1] = {};
};

void stripTrailingZeros(Decimal& x) {
    while (x.n > 0 && x.d[x.n - 1] == '0')
        --x.n;
}

// A finite value as its first 15 significant digits (correctly rounded).
Decimal toDecimal(double v) {
    Decimal x;
    x.neg = std::signbit(v);
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(v),
                                   std::chars_format::scientific, kSigDigits - 1);
    const char* p = buf;
    while (p < res.ptr && *p != 'e') {
        if (*p != '.')
            x.d[x.n++] = *p;
        ++p;
    }
    int e = 0;
    bool eneg = false;
    if (p < res.ptr)
        ++p; // 'e'
    if (p < res.ptr && (*p == '+' || *p == '-'))
        eneg = *p++ == '-';
    for (; p < res.ptr; ++p)
        e = e * 10 + (*p - '0');
    x.exp = eneg ? -e : e;
    stripTrailingZeros(x);
    if (x.n == 0)
        x.exp = 0;
    return x;
}

// Rounds half up (on the decimal digits) so that no digit below 10^place remains.
void roundAtPlace(Decimal& x, int place) {
    const int keep = x.exp - place + 1; // digits at places >= 10^place
    if (keep >= x.n)
        return;
    if (keep < 0) {
        x.n = 0;
        x.exp = 0;
        return;
    }
    const bool up = x.d[keep] >= '5';
    x.n = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && x.d[i] == '9')
            --i;
        if (i < 0) {
            // All nines (or nothing kept): the carry opens a new leading place.
            x.exp += 1;
            x.d[0] = '1';
            x.n = 1;
        } else {
            ++x.d[i];
            x.n = i + 1;
        }
    }
    stripTrailingZeros(x);
    if (x.n == 0)
        x.exp = 0;
}

char digitAt(const Decimal& x, int place) {
    const int i = x.exp - place;
    return (i >= 0 && i < x.n) ? x.d[i] : '0';
}

// A numeric pattern reduced to what the engineering text needs.
struct Pattern {
    bool hasPoint = false;
    int pointPos = 0;  // 1-based position of the point
    int length = 0;    // characters of the pattern
    int minInt = 0;    // "0" placeholders before the point
    int decimals = 0;  // placeholders after the point
    int mandatory = 0; // decimals up to the last "0" after the point
};

template <typename Char> char16_t codeOf(Char c) {
    if constexpr (std::is_same_v<Char, QChar>)
        return c.unicode();
    else if constexpr (std::is_same_v<Char, QLatin1Char>)
        return static_cast<unsigned char>(c.toLatin1());
    else
        return static_cast<unsigned char>(c);
}

Pattern parsePattern(QAnyStringView pattern) {
    Pattern p;
    pattern.visit([&p](auto view) {
        int pos = 0;
        for (auto ch : view) {
            ++pos;
            const char16_t c = codeOf(ch);
            if (!p.hasPoint) {
                if (c == u'.') {
                    p.hasPoint = true;
                    p.pointPos = pos;
                } else if (c == u'0') {
                    ++p.minInt;
                }
            } else if (c == u'0' || c == u'#') {
                ++p.decimals;
                if (c == u'0')
                    p.mandatory = p.decimals;
            }
        }
        p.length = pos;
    });
    p.minInt = std::min(p.minInt, kMaxPatternDigits);
    p.decimals = std::min(p.decimals, kMaxPatternDigits);
    p.mandatory = std::min(p.mandatory, p.decimals);
    return p;
}

int writeNonFinite(double v, char* out) {
    const char* t = std::isnan(v) ? "NaN" : (v < 0 ? "-Inf" : "Inf");
    int n = 0;
    while (t[n]) {
        out[n] = t[n];
        ++n;
    }
    return n;
}

// Plain decimal text of a finite value: at least minInt integer digits, a
// point when decimals > 0, then the decimals up to the last non-zero one but
// at least `mandatory` of them. The value is rounded to `decimals` first.
int writeFixed(double v, int minInt, int decimals, int mandatory, char* out) {
    Decimal x = toDecimal(v);
    roundAtPlace(x, -decimals);
    int len = 0;
    if (x.neg && x.n > 0)
        out[len++] = '-';
    const int top = std::max(x.exp, minInt - 1);
    for (int place = top; place >= 0; --place)
        out[len++] = digitAt(x, place);
    if (decimals > 0) {
        int last = mandatory;
        for (int k = decimals; k > mandatory; --k) {
            if (digitAt(x, -k) != '0') {
                last = k;
                break;
            }
        }
        out[len++] = '.';
        for (int k = 1; k <= last; ++k)
            out[len++] = digitAt(x, -k);
    }
    return len;
}

// Fmt_Fixed into a buffer of kFixedBufferSize; returns the length after the cut.
int writeFmtFixed(double v, int width, char* out) {
    if (width <= 0)
        return 0;
    const int len = std::isfinite(v) ? writeFixed(v, 1, kFixedDecimals, kFixedDecimals, out)
                                     : writeNonFinite(v, out);
    return std::min(len, width);
}

// "1.50E+12": three significant digits, rounded half up, exponent of at least two digits.
int writeScientific(double v, char* out) {
    if (!std::isfinite(v))
        return writeNonFinite(v, out);
    Decimal x = toDecimal(v);
    roundAtPlace(x, x.exp - 2);
    int len = 0;
    if (x.neg && x.n > 0)
        out[len++] = '-';
    out[len++] = digitAt(x, x.exp);
    out[len++] = '.';
    out[len++] = digitAt(x, x.exp - 1);
    out[len++] = digitAt(x, x.exp - 2);
    out[len++] = 'E';
    out[len++] = x.exp < 0 ? '-' : '+';
    char e[8];
    const auto r = std::to_chars(e, e + sizeof e, std::abs(x.exp));
    if (r.ptr - e < 2)
        out[len++] = '0';
    for (const char* p = e; p < r.ptr; ++p)
        out[len++] = *p;
    return len;
}

// The mantissa and prefix letter of a value with 1e-18 < |value| < 1e12;
// false when the value lies outside that range (or is not a number).
bool engSplit(double value, double& mantissa, char& letter) {
    const double a = std::fabs(value);
    if (!(a > 1e-18 && a < 1e12))
        return false;
    const int e = static_cast<int>(std::floor(std::log(a) / kLn10Engineering));
    int q = static_cast<int>(std::floor(e / 3.0));
    q = std::clamp(q, -6, 4);
    // Dividing by an exact power keeps 1500 -> 1.5 exact, where multiplying
    // by the inexact 1e-3 need not.
    if (q > 0)
        mantissa = value / kPow10[3 * q];
    else
        mantissa = value * kPow10[-3 * q];
    letter = kPrefixLetters[q + 6];
    return true;
}

QString zeroText(int zeros) {
    if (zeros < 1)
        return QStringLiteral("0");
    QString s(zeros + 2, QLatin1Char('0'));
    s[1] = QLatin1Char('.');
    return s;
}

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

// Reads characters of a text while skipping blanks anywhere.
class BlankSkippingReader {
public:
    explicit BlankSkippingReader(QStringView s) : s_(s) {}
    char16_t peek() {
        while (i_ < s_.size() && isBlank(s_[i_].unicode()))
            ++i_;
        return i_ < s_.size() ? s_[i_].unicode() : u'\0';
    }
    void next() { ++i_; }
    qsizetype pos() const { return i_; }
    void seek(qsizetype i) { i_ = i; }

private:
    QStringView s_;
    qsizetype i_ = 0;
};

double saturate(double v) {
    constexpr double kMax = std::numeric_limits<double>::max();
    if (std::isnan(v))
        return 0;
    return std::clamp(v, -kMax, kMax);
}

double readRadix(BlankSkippingReader& r, int radix) {
    double v = 0;
    for (;;) {
        const char16_t c = r.peek();
        int d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (c >= u'a' && c <= u'f')
            d = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            d = c - u'A' + 10;
        else
            break;
        if (d >= radix)
            break;
        v = v * radix + d;
        r.next();
    }
    return saturate(v);
}

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// The numeric value of a typed text: sign, digits with at most one point, an
// exponent with E or D, "&H"/"&O" whole numbers; blanks anywhere are skipped
// and the first character that does not fit ends the number.
double numericValue(QStringView text) {
    BlankSkippingReader r(text);
    char16_t c = r.peek();
    if (c == u'&') {
        r.next();
        c = r.peek();
        if (c == u'H' || c == u'h') {
            r.next();
            return readRadix(r, 16);
        }
        if (c == u'O' || c == u'o') {
            r.next();
            return readRadix(r, 8);
        }
        return 0;
    }
    bool neg = false;
    if (c == u'+' || c == u'-') {
        neg = c == u'-';
        r.next();
    }

    // Significant digits (leading zeros dropped) go into buf; adj counts how
    // far the point must move so that value = digits x 10^(adj + exponent).
    constexpr int kMaxSig = 40;
    char buf[kMaxSig + 16];
    int sig = 0;
    long adj = 0;
    bool anyDigit = false;
    bool point = false;
    for (;;) {
        c = r.peek();
        if (isDigit(c)) {
            anyDigit = true;
            if (sig == 0 && c == u'0') {
                if (point)
                    --adj;
            } else if (sig < kMaxSig) {
                buf[sig++] = static_cast<char>(c);
                if (point)
                    --adj;
            } else if (!point) {
                ++adj; // integer digits beyond what we keep still count
            }
            r.next();
        } else if (c == u'.' && !point) {
            point = true;
            r.next();
        } else {
            break;
        }
    }
    if (!anyDigit || sig == 0)
        return 0;

    long exponent = 0;
    if (c == u'E' || c == u'e' || c == u'D' || c == u'd') {
        const qsizetype mark = r.pos();
        r.next();
        bool eneg = false;
        c = r.peek();
        if (c == u'+' || c == u'-') {
            eneg = c == u'-';
            r.next();
        }
        if (isDigit(r.peek())) {
            while (isDigit(c = r.peek())) {
                if (exponent < 1000000)
                    exponent = exponent * 10 + (c - u'0');
                r.next();
            }
            if (eneg)
                exponent = -exponent;
        } else {
            r.seek(mark); // "1e" or "1e+" without digits: the number ends before the letter
        }
    }

    const long total = std::clamp(adj + exponent, -2000000L, 2000000L);
    int len = sig;
    buf[len++] = 'e';
    const auto er = std::to_chars(buf + len, buf + sizeof buf, total);
    len = static_cast<int>(er.ptr - buf);

    double v = 0;
    const auto res = std::from_chars(buf, buf + len, v);
    if (res.ec == std::errc::result_out_of_range || (res.ec == std::errc() && std::isinf(v))) {
        // Decimal magnitude of the number: digits x 10^total < 10^(sig + total).
        v = (sig + total > 0) ? std::numeric_limits<double>::max() : 0.0;
    } else if (res.ec != std::errc()) {
        v = 0;
    }
    return neg ? -v : v;
}

int32_t saturateToLong(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

} // namespace

QString Fmt_Fixed(double value, int width) {
    char buf[kFixedBufferSize];
    const int len = writeFmtFixed(value, width, buf);
    return QString::fromLatin1(buf, len);
}

QString Eng_Str(double value, QAnyStringView pattern) {
    const Pattern p = parsePattern(pattern);
    if (value == 0)
        return p.hasPoint ? zeroText(p.length - p.pointPos) : QStringLiteral("0");

    char buf[2 * kMaxPatternDigits + 40];
    double m;
    char letter;
    if (!engSplit(value, m, letter))
        return QString::fromLatin1(buf, writeScientific(value, buf));
    // |m| < 1001 after rounding, so the integer part needs at most 4 digits.
    int len = writeFixed(m, p.minInt, p.decimals, p.mandatory, buf);
    if (len > 0 && buf[len - 1] == '.')
        --len;
    if (letter != ' ')
        buf[len++] = letter;
    return QString::fromLatin1(buf, len);
}

QString Fmt_Pattern(double value, QAnyStringView pattern) {
    const Pattern p = parsePattern(pattern);
    // Up to 309 integer digits, a sign, a point and the decimals.
    char buf[kFixedBufferSize + kMaxPatternDigits];
    const int len = std::isfinite(value) ? writeFixed(value, p.minInt, p.decimals, p.mandatory, buf)
                                         : writeNonFinite(value, buf);
    return QString::fromLatin1(buf, len);
}

QString Eng_StrN(double value, int digits) {
    if (value == 0)
        return zeroText(digits - 1);
    char buf[kFixedBufferSize];
    double m;
    char letter;
    if (!engSplit(value, m, letter))
        return QString::fromLatin1(buf, writeScientific(value, buf));
    int len = writeFmtFixed(m, digits + 1, buf);
    if (letter != ' ') {
        if (len > 0)
            --len;
        buf[len++] = letter;
    }
    return QString::fromLatin1(buf, len);
}

double Eng_Val(QStringView text) {
    qsizetype end = text.size();
    while (end > 0 && isBlank(text[end - 1].unicode()))
        --end;
    if (end == 0)
        return 0;
    const char16_t last = text[end - 1].unicode();
    int k = -1;
    if (last < 128) {
        for (int i = 0; kPrefixLetters[i]; ++i) {
            if (kPrefixLetters[i] == static_cast<char>(last)) {
                k = i;
                break;
            }
        }
    }
    double v = numericValue(text.first(end));
    if (k < 0 || v == 0)
        return v;
    // Dividing by the exact power keeps "3m" equal to the literal 0.003.
    if (k < 6)
        v /= kPow10[(6 - k) * 3];
    else
        v *= kPow10[(k - 6) * 3];
    return saturate(v);
}

bool Eng_Overflow(double v) {
    return !(std::abs(v) < std::numeric_limits<double>::max());
}

int32_t Round_Half_Up(double x) {
    return saturateToLong(std::floor(x + 0.5));
}

int32_t Round_Up(double x) {
    return saturateToLong(std::ceil(x));
}

int32_t Round_Even(double x) {
    return saturateToLong(std::nearbyint(x));
}

} // namespace velda
