#include "files/PointList.h"

#include <QFile>
#include <exception>

namespace velda {
namespace {

// A control-point table holds a few thousand rows; a list far larger than
// this is not one.
constexpr qint64 kMaxListBytes = 16 * 1024 * 1024;

bool isBlank(QChar c) {
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

void skipBlanks(QStringView& t) {
    while (!t.isEmpty() && isBlank(t.front()))
        t = t.sliced(1);
}

} // namespace

bool Next_Number(double& value, QStringView& text, const NumberReader& engVal) {
    if (text.isEmpty())
        return false;
    QStringView t = text;
    skipBlanks(t);
    qsizetype len = 0;
    while (len < t.size()) {
        const QChar c = t[len];
        if (c == QLatin1Char('\r') || c == QLatin1Char(',') || isBlank(c))
            break;
        ++len;
    }
    if (len == 0)
        return false;
    value = engVal(t.first(len).toString());
    t = t.sliced(len);
    skipBlanks(t);
    if (!t.isEmpty() && t.front() == QLatin1Char(','))
        t = t.sliced(1);
    skipBlanks(t);
    if (!t.isEmpty() && t.front() == QLatin1Char('\r')) {
        t = t.sliced(1);
        if (!t.isEmpty() && t.front() == QLatin1Char('\n'))
            t = t.sliced(1);
    }
    text = t;
    return true;
}

bool Next_Number(double& value, QString& text, const NumberReader& engVal) {
    QStringView view(text);
    const bool ok = Next_Number(value, view, engVal);
    if (ok)
        text = view.toString();
    return ok;
}

std::vector<XYPair> Read_Point_Pairs(QStringView text, const NumberReader& engVal) {
    std::vector<XYPair> pairs;
    XYPair p;
    while (Next_Number(p.x, text, engVal) && Next_Number(p.y, text, engVal))
        pairs.push_back(p);
    return pairs;
}

PointListRead Import_Point_List(const QString& path, const PointListUnits& units) {
    PointListRead failed;
    failed.result = kFileReadError;
    try {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return failed;
        const QByteArray bytes = f.read(kMaxListBytes + 1);
        if (bytes.size() > kMaxListBytes || f.error() != QFileDevice::NoError)
            return failed;
        const QString text = QString::fromUtf8(bytes);
        PointListRead ok;
        for (XYPair p : Read_Point_Pairs(text, units.engVal)) {
            units.clampX(p.x);
            units.clampY(p.y);
            ok.points.push_back({units.xToPoint(p.x), units.yToWord(p.y)});
        }
        return ok;
    } catch (const std::exception&) {
        return failed;
    }
}

void Apply_Point_List(const std::vector<ControlPoint>& points,
                      const std::function<void()>& clearAll,
                      const std::function<void(double, double, bool)>& addPoint) {
    clearAll();
    for (const ControlPoint& p : points)
        addPoint(p.x, p.y, true);
    if (!points.empty())
        addPoint(points.back().x, points.back().y, false);
}

QChar Point_List_Separator(const QString& path) {
    const QString tail = path.right(4).toLower();
    if (tail == QLatin1String(".prn"))
        return QLatin1Char(' ');
    if (tail == QLatin1String(".tsv"))
        return QLatin1Char('\t');
    return QLatin1Char(',');
}

int32_t Export_Point_List(const QString& path, std::span<const ControlPoint> points,
                          const PointListUnits& units) {
    if (points.empty())
        return kFileOk; // an empty table makes no file
    try {
        const QChar sep = Point_List_Separator(path);
        QString text;
        for (const ControlPoint& p : points) {
            text += units.pointToXTextLong(p.x);
            text += sep;
            text += units.wordToYText(p.y);
            text += QLatin1String("\r\n");
        }
        return file32::saveBytes(path, text.toUtf8());
    } catch (const std::exception&) {
        return kFileWriteError;
    }
}

} // namespace velda
