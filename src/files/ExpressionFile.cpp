#include "files/ExpressionFile.h"

#include "engine/FixedText.h"

#include <QFile>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>
#include <map>

namespace velda {
namespace {

constexpr int kFirstFilePage = 1;
constexpr int kLastFilePage = 200;
constexpr int kPageStoreSize = 203; // pages 0..202
constexpr int kLastFuncType = 5;    // Sin .. Expression
// 200 pages of the longest texts stay far below this.
constexpr qint64 kMaxWfnBytes = 8 * 1024 * 1024;

const char* const kRule = "'+++++++++++++++";
const char* const kPageRule = "'----------------";

// Header labels L0..L8.
const char* const kLabelsEnglish[9] = {"<Unit Setup>", "[X-Axis Unit]", "X-Axis Unit",
                                       "Name",         "Min to Max",    "[Y-Axis Unit]",
                                       "Y-Axis Unit",  "Name",          "Min to Max"};
const char* const kLabelsJapanese[9] = {"<単位設定>",   "[X軸単位]",      "単位",
                                        "ﾕｰｻﾞ単位名称", "最小値～最大値", "[Y軸単位]",
                                        "単位",         "ﾕｰｻﾞ単位名称",   "最小値～最大値"};

const char* const kTypeEnglish[6] = {"Sin",   "Triangle", "Square",
                                     "Noise", "DC Volts", "Expression"};
const char* const kTypeJapanese[6] = {"正弦波", "三角波", "方形波", "ノイズ", "DC", "波形関数"};

const char* const kParamLabels[8] = {"'Offset", "'Size", "'Ampl", "'Cycle",
                                     "'Phase",  "'Symm", "'Duty", "'Transition"};

class Writer {
public:
    void line(const QString& text) {
        out_ += text.toUtf8();
        out_ += "\r\n";
    }
    QByteArray bytes() const { return out_; }

private:
    QByteArray out_;
};

// A text as one line of the file: trimmed, line breaks flattened, "None" for
// an empty text.
QString textLine(const QString& text) {
    QString t = text;
    t.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    t = t.trimmed();
    return t.isEmpty() ? QStringLiteral("None") : t;
}

QString num(double v) {
    return Plain_Number_Text(v);
}

} // namespace

QString Plain_Number_Text(double v) {
    // Only what the reader takes back is written: no infinities, and nothing
    // so near the ends of the double range that 15 digits would step outside.
    if (!std::isfinite(v) || std::fabs(v) < 1e-300)
        return QStringLiteral("0");
    if (std::fabs(v) > 1e300)
        return v > 0 ? QStringLiteral("1E+300") : QStringLiteral("-1E+300");
    char buf[40];
    auto [p, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    if (ec != std::errc())
        return QStringLiteral("0");
    QString s = QString::fromLatin1(buf, p - buf);
    // 1e-05 is written 1E-05, as the general conversion of a double does.
    s.replace(QLatin1Char('e'), QLatin1Char('E'));
    return s;
}

QByteArray Expression_File_Bytes(std::span<const WaveListPage> pages, const ExpressionUnits& u) {
    const char* const* L = u.english ? kLabelsEnglish : kLabelsJapanese;
    const char* const* typeNames = u.english ? kTypeEnglish : kTypeJapanese;
    const QString tab = QStringLiteral("\t");
    const QString q = QStringLiteral("'");
    auto label = [&](int i) { return QString::fromUtf8(L[i]); };

    Writer w;
    w.line(QString::fromLatin1(kRule));
    w.line(q + label(0));
    w.line(q + label(1));
    w.line(q + label(2) + tab + u.xUnitText.trimmed());
    w.line(q + label(3) + tab + u.xUnitName);
    w.line(q + label(4) + tab);
    w.line(q + QStringLiteral("XX") + tab + num(u.pointToX(0)).trimmed() + QLatin1Char(',') +
           num(u.pointToX(u.points)).trimmed());
    w.line(q + label(5));
    w.line(q + label(6) + tab + u.yUnitText.trimmed());
    w.line(q + label(7) + tab + u.yUnitName);
    w.line(q + label(8) + tab);
    w.line(q + QStringLiteral("YY") + tab + num(u.wordToY(-32767)).trimmed() + QLatin1Char(',') +
           num(u.wordToY(32767)).trimmed());
    w.line(QString::fromLatin1(kRule));

    const QString tt = QStringLiteral("\t\t");
    const int last = std::min<int>(kLastFilePage, static_cast<int>(pages.size()) - 1);
    for (int p = kFirstFilePage; p <= last; ++p) {
        const WaveListPage& pg = pages[static_cast<size_t>(p)];
        if (pg.Effect == 0)
            continue;
        w.line(QStringLiteral("StartPage"));
        w.line(QString::number(p) + tt + QStringLiteral("'Page"));
        const QString typeName = pg.FuncType >= 0 && pg.FuncType <= kLastFuncType
                                     ? QString::fromUtf8(typeNames[pg.FuncType])
                                     : QString();
        w.line(QString::number(pg.FuncType) + tt + QStringLiteral("'Type  ") + typeName);
        w.line(num(u.pointToX(pg.AreaStart)) + tt + QStringLiteral("'Start"));
        w.line(num(u.pointToX(pg.AreaEnd)) + tt + QStringLiteral("'End"));
        for (size_t k = 0; k < 8; ++k) {
            double v = pg.Param[k];
            if (k == 1)
                v = u.pointToX(v);
            else if (k == 2)
                v = u.wordSpanToY(v);
            w.line(num(v) + tt + QString::fromLatin1(kParamLabels[k]));
        }
        w.line(tt + QStringLiteral("'Y="));
        w.line(textLine(pg.ExprText));
        w.line(tt + QStringLiteral("'Const"));
        w.line(textLine(pg.ConstText));
        w.line(QStringLiteral("EndPage"));
        w.line(QString::fromLatin1(kPageRule));
    }
    return w.bytes();
}

int32_t Write_Expression_File(const QString& path, std::span<const WaveListPage> pages,
                              const ExpressionUnits& units) {
    try {
        return file32::saveBytes(path, Expression_File_Bytes(pages, units));
    } catch (const std::exception&) {
        return kFileWriteError;
    }
}

ExpressionRead Read_Expression_Data(QIODevice& file, const ExpressionRanges& current) {
    ExpressionRead failed;
    failed.result = kFileReadError;
    const double n = current.points;
    if (!(n > 0))
        return failed;
    double xMin = current.xMin, xMax = current.xMax, yMin = current.yMin, yMax = current.yMax;
    if (ReadWaveListHeader(file, xMin, xMax, yMin, yMax) < 0)
        return failed;
    const double xPerPoint = (xMax - xMin) / n;
    const double yPerWord = (yMax - yMin) / 65534.0;
    if (!(std::isfinite(xPerPoint) && xPerPoint != 0 && std::isfinite(yPerWord) && yPerWord != 0))
        return failed;

    std::map<int, WaveListPage> read; // a later block of the same page wins
    int refused = 0;
    std::array<double, 8> params{};
    std::vector<char> cnst(kConstTextLength), expr(kExprTextLength);
    for (;;) {
        int16_t pageNo = 0, type = 0;
        double start = 0, end = 0;
        params.fill(0);
        const int32_t r = ReadOneWaveList(file, pageNo, type, start, end, params,
                                          std::span<char, kConstTextLength>(cnst),
                                          std::span<char, kExprTextLength>(expr));
        if (r == 0)
            break;
        if (r < 0)
            return failed;
        WaveListPage pg;
        pg.PageNo = pageNo;
        pg.FuncType = type;
        pg.Visited = -1;
        pg.Effect = -1;
        pg.AreaStart = (start - xMin) / xPerPoint;
        pg.AreaEnd = (end - xMin) / xPerPoint;
        pg.Param = params;
        // The size was written like a position (Point_To_X), so it is mapped
        // like one; the amplitude is a span of the Y range.
        pg.Param[1] = (params[1] - xMin) / xPerPoint;
        pg.Param[2] = params[2] / yPerWord;
        const bool finite = std::all_of(pg.Param.begin(), pg.Param.end(),
                                        [](double v) { return std::isfinite(v); }) &&
                            std::isfinite(pg.AreaStart) && std::isfinite(pg.AreaEnd);
        if (pageNo < kFirstFilePage || pageNo >= kPageStoreSize || type < 0 ||
            type > kLastFuncType || !finite) {
            ++refused;
            continue;
        }
        // Keep the page's area inside the waveform (rounding of a rescale can
        // step a hair past N).
        pg.AreaStart = std::clamp(pg.AreaStart, 0.0, n);
        pg.AreaEnd = std::clamp(pg.AreaEnd, pg.AreaStart, n);
        pg.Param[1] = std::clamp(pg.Param[1], 0.0, n);
        pg.ConstText = fromFixed8Bit(cnst.data(), kConstTextLength).trimmed();
        pg.ExprText = fromFixed8Bit(expr.data(), kExprTextLength).trimmed();
        read[pageNo] = pg;
    }
    ExpressionRead ok;
    ok.refused = refused;
    for (auto& [no, pg] : read)
        ok.pages.push_back(std::move(pg));
    return ok;
}

ExpressionRead Read_Expression_File(const QString& path, const ExpressionRanges& current) {
    ExpressionRead failed;
    failed.result = kFileReadError;
    try {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxWfnBytes)
            return failed;
        return Read_Expression_Data(f, current);
    } catch (const std::exception&) {
        return failed;
    }
}

} // namespace velda
