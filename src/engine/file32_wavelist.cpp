// Reading the expression file (.wfn): the header with the X and Y ranges the
// pages were made in, then one StartPage..EndPage block per page. Each page
// line carries its value before the first tab; everything after a "'" is a
// comment for the reader.

#include "engine/file32.h"

#include "engine/FixedText.h"

#include <QIODevice>
#include <QString>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

// Lines longer than this are not ones the writer makes (the longest is an
// expression of 1024 bytes); they mark a foreign or damaged file.
constexpr qint64 kMaxLine = 64 * 1024;
// The header holds 13 lines; allow some slack for hand-edited files.
constexpr int kMaxHeaderLines = 64;

enum class Line { Ok, End, Bad };

// Reads one line without its CR LF (or LF) end, in small pieces so that no
// large buffer is taken for every line.
Line nextLine(QIODevice& file, QByteArray& line) {
    line.clear();
    char piece[1024];
    for (;;) {
        const qint64 n = file.readLine(piece, sizeof piece);
        if (n <= 0) {
            if (line.isEmpty())
                return Line::End;
            break; // the data ended without a line end
        }
        line.append(piece, static_cast<qsizetype>(n));
        if (line.endsWith('\n')) {
            line.chop(1);
            break;
        }
        if (n < static_cast<qint64>(sizeof piece) - 1)
            break; // the data ended without a line end
        if (line.size() > kMaxLine)
            return Line::Bad; // longer than any line we write
    }
    if (line.size() > kMaxLine)
        return Line::Bad;
    if (line.endsWith('\r'))
        line.chop(1);
    return Line::Ok;
}

QByteArrayView trimmed(QByteArrayView v) {
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v = v.sliced(1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t'))
        v.chop(1);
    return v;
}

std::optional<double> number(QByteArrayView v) {
    v = trimmed(v);
    const char* first = v.data();
    const char* last = first + v.size();
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return std::nullopt;
    }
    double d = 0;
    auto [ptr, ec] = std::from_chars(first, last, d, std::chars_format::general);
    if (first == last || ec != std::errc() || ptr != last || !std::isfinite(d))
        return std::nullopt;
    return d;
}

// The value of a page line: the text before its first tab.
std::optional<double> lineValue(const QByteArray& line) {
    const qsizetype tab = line.indexOf('\t');
    return number(QByteArrayView(line).first(tab < 0 ? line.size() : tab));
}

int16_t wholeOrMinusOne(double v) {
    if (v != std::floor(v) || v < -32768.0 || v > 32767.0)
        return -1;
    return static_cast<int16_t>(v);
}

bool isRuleLine(QByteArrayView v) {
    v = trimmed(v);
    if (v.size() < 2 || v.front() != '\'')
        return false;
    for (char c : v.sliced(1))
        if (c != '+')
            return false;
    return true;
}

// "min,max" after the XX or YY tag.
bool rangeOf(QByteArrayView rest, double& lo, double& hi) {
    const qsizetype comma = rest.indexOf(',');
    if (comma < 0)
        return false;
    const auto a = number(rest.first(comma));
    const auto b = number(rest.sliced(comma + 1));
    if (!a || !b || *a == *b || !std::isfinite(*b - *a))
        return false;
    lo = *a;
    hi = *b;
    return true;
}

void fillText(const QByteArray& line, std::span<char> out) {
    QString text = QString::fromUtf8(line).trimmed();
    if (text == QLatin1String("None")) // what the writer puts for an empty text
        text.clear();
    const QByteArray bytes = velda::toFixed8Bit(text, static_cast<int>(out.size()));
    if (!out.empty())
        std::memcpy(out.data(), bytes.constData(), out.size());
}

} // namespace

int32_t ReadWaveListHeader(QIODevice& file, double& xMin, double& xMax, double& yMin,
                           double& yMax) {
    QByteArray line;
    if (nextLine(file, line) != Line::Ok)
        return -1;
    if (line.startsWith("\xEF\xBB\xBF"))
        line.remove(0, 3);
    if (!isRuleLine(line))
        return -1;
    double x0 = xMin, x1 = xMax, y0 = yMin, y1 = yMax;
    for (int i = 0; i < kMaxHeaderLines; ++i) {
        if (nextLine(file, line) != Line::Ok)
            return -1;
        const QByteArrayView v = trimmed(line);
        if (isRuleLine(v)) {
            xMin = x0;
            xMax = x1;
            yMin = y0;
            yMax = y1;
            return 0;
        }
        if (v.startsWith("'XX") && !rangeOf(v.sliced(3), x0, x1))
            return -1;
        if (v.startsWith("'YY") && !rangeOf(v.sliced(3), y0, y1))
            return -1;
    }
    return -1;
}

int32_t ReadOneWaveList(QIODevice& file, int16_t& pageNo, int16_t& type, double& start, double& end,
                        std::span<double, 8> params,
                        std::span<char, velda::kConstTextLength> constText,
                        std::span<char, velda::kExprTextLength> exprText) {
    QByteArray line;
    // Blank and comment lines may separate the pages.
    for (;;) {
        const Line r = nextLine(file, line);
        if (r == Line::End)
            return 0;
        if (r == Line::Bad)
            return -1;
        const QByteArrayView v = trimmed(line);
        if (v == "StartPage")
            break;
        if (!v.isEmpty() && v.front() != '\'')
            return -1;
    }
    double values[12];
    for (double& value : values) {
        if (nextLine(file, line) != Line::Ok)
            return -1;
        const auto v = lineValue(line);
        if (!v)
            return -1;
        value = *v;
    }
    QByteArray expr, cnst;
    if (nextLine(file, line) != Line::Ok || !line.contains("'Y=") ||
        nextLine(file, expr) != Line::Ok || nextLine(file, line) != Line::Ok ||
        !line.contains("'Const") || nextLine(file, cnst) != Line::Ok ||
        nextLine(file, line) != Line::Ok || trimmed(line) != "EndPage")
        return -1;

    pageNo = wholeOrMinusOne(values[0]);
    type = wholeOrMinusOne(values[1]);
    start = values[2];
    end = values[3];
    for (size_t k = 0; k < 8; ++k)
        params[k] = values[4 + k];
    fillText(cnst, constText);
    fillText(expr, exprText);
    return 1;
}
