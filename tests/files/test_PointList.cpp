#include "files/FileNames.h"
#include "files/PointList.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace velda;

namespace {

// Stand-in for the program's number reader: blanks and line feeds anywhere
// are skipped and a last letter of "afpnum kMGT" scales the number.
double engVal(const QString& text) {
    QString t = text;
    t.remove(QLatin1Char(' ')).remove(QLatin1Char('\t')).remove(QLatin1Char('\n'));
    if (t.isEmpty())
        return 0;
    const QString prefixes = QStringLiteral("afpnum kMGT");
    const qsizetype k = prefixes.indexOf(t.back());
    double scale = 1;
    if (k >= 0) {
        scale = std::pow(10.0, (k - 6) * 3);
        t.chop(1);
    }
    bool ok = false;
    const double v = t.toDouble(&ok);
    return ok ? v * scale : 0;
}

struct Recorder {
    std::vector<QString> runs;
    NumberReader reader() {
        return [this](const QString& s) {
            runs.push_back(s);
            return engVal(s);
        };
    }
};

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Units where X is shown in tenths of a point within 0..100 and Y in words
// within -1000..1000.
PointListUnits testUnits() {
    PointListUnits u;
    u.engVal = engVal;
    u.clampX = [](double& x) {
        const double c = std::clamp(x, 0.0, 100.0);
        const bool inside = c == x;
        x = c;
        return inside;
    };
    u.clampY = [](double& y) {
        const double c = std::clamp(y, -1000.0, 1000.0);
        const bool inside = c == y;
        y = c;
        return inside;
    };
    u.xToPoint = [](double x) { return x * 10; };
    u.yToWord = [](double y) { return y * 2; };
    u.pointToXTextLong = [](double p) { return QString::number(p / 10, 'f', 3); };
    u.wordToYText = [](double w) { return QString::number(w / 2, 'f', 1); };
    return u;
}

} // namespace

TEST(PointList, NextNumberFollowsItsSeparatorRules) {
    struct Case {
        const char* what;
        const char* text;
        std::vector<double> values; // numbers read until Next_Number says False
        std::vector<QString> runs;  // the texts handed to the number reader
        const char* rest;           // text left afterwards
    };
    const Case cases[] = {
        {"comma", "1.5m,200", {0.0015, 200}, {"1.5m", "200"}, ""},
        {"tab", "1.5m\t200", {0.0015, 200}, {"1.5m", "200"}, ""},
        {"space", "1.5m 200", {0.0015, 200}, {"1.5m", "200"}, ""},
        {"blanks around the comma", "  1 \t ,\t 2\r\n", {1, 2}, {"1", "2"}, ""},
        {"CR LF lines", "1,2\r\n3,4\r\n", {1, 2, 3, 4}, {"1", "2", "3", "4"}, ""},
        {"last line without end", "1,2\r\n3,4", {1, 2, 3, 4}, {"1", "2", "3", "4"}, ""},
        {"empty line ends", "1,2\r\n\r\n3,4\r\n", {1, 2}, {"1", "2"}, "\r\n3,4\r\n"},
        {"empty field ends", "1,,2", {1}, {"1"}, ",2"},
        {"leading comma", ",5", {}, {}, ",5"},
        {"only blanks", "   ", {}, {}, "   "},
        {"empty", "", {}, {}, ""},
        // An LF without CR does not end a number: it stays inside the run.
        {"LF alone", "1 2\n3 4\n", {1, 23, 4}, {"1", "2\n3", "4\n"}, ""},
        {"CR alone", "1 2\r3 4", {1, 2, 3, 4}, {"1", "2", "3", "4"}, ""},
        {"one comma only is skipped", "1,,", {1}, {"1"}, ","},
        {"words read as 0", "abc def\r\n", {0, 0}, {"abc", "def"}, ""},
    };
    for (const Case& c : cases) {
        Recorder rec;
        QString text = QString::fromLatin1(c.text);
        std::vector<double> values;
        double v = 0;
        while (Next_Number(v, text, rec.reader()))
            values.push_back(v);
        ASSERT_EQ(values.size(), c.values.size()) << c.what;
        for (size_t i = 0; i < values.size(); ++i)
            EXPECT_DOUBLE_EQ(values[i], c.values[i]) << c.what << " #" << i;
        EXPECT_EQ(rec.runs, c.runs) << c.what;
        EXPECT_EQ(text, QString::fromLatin1(c.rest)) << c.what;
    }
}

TEST(PointList, PairsDropALoneX) {
    const auto pairs = Read_Point_Pairs(u"1,2\r\n3,4\r\n5\r\n", engVal);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[1].x, 3);
    EXPECT_EQ(pairs[1].y, 4);
}

TEST(PointList, SeparatorByExtension) {
    struct Case {
        const char* path;
        char sep;
    };
    const Case cases[] = {{"a.prn", ' '}, {"a.PRN", ' '}, {"a.tsv", '\t'}, {"dir.x/a.TSV", '\t'},
                          {"a.csv", ','}, {"a.txt", ','}, {"prn", ','},    {"a.b.prn", ' '}};
    for (const Case& c : cases)
        EXPECT_EQ(Point_List_Separator(QString::fromLatin1(c.path)), QLatin1Char(c.sep)) << c.path;
}

TEST(PointList, ExportWritesOneCrLfLinePerPoint) {
    QTemporaryDir dir;
    const std::vector<ControlPoint> pts = {{0, -200}, {255, 0}, {1000, 2000}};
    struct Case {
        const char* name;
        const char* expected;
    };
    const Case cases[] = {
        {"p.prn", "0.000 -100.0\r\n25.500 0.0\r\n100.000 1000.0\r\n"},
        {"p.TSV", "0.000\t-100.0\r\n25.500\t0.0\r\n100.000\t1000.0\r\n"},
        {"p.csv", "0.000,-100.0\r\n25.500,0.0\r\n100.000,1000.0\r\n"},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        ASSERT_EQ(Export_Point_List(path, pts, testUnits()), 0) << c.name;
        EXPECT_EQ(readFile(path), QByteArray(c.expected)) << c.name;
    }
}

TEST(PointList, EmptyTableWritesNoFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("none.csv"));
    EXPECT_EQ(Export_Point_List(path, {}, testUnits()), 0);
    EXPECT_FALSE(QFile::exists(path));
}

TEST(PointList, FailedExportKeepsThePreviousFile) {
    QTemporaryDir dir;
    const std::vector<ControlPoint> pts = {{1, 1}};
    const QString sub = dir.filePath(QStringLiteral("sub.csv"));
    QDir().mkdir(sub);
    EXPECT_EQ(Export_Point_List(sub, pts, testUnits()), 72);
    EXPECT_EQ(Export_Point_List(dir.filePath(QStringLiteral("no/x.csv")), pts, testUnits()), 72);
    EXPECT_TRUE(QFileInfo(sub).isDir());
}

TEST(PointList, ImportClampsAndConvertsEachPair) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.csv"));
    writeFile(path, "1.5,10\r\n200,-5000\r\n-3\t7\r\n50m 1k\r\n9");
    const PointListRead r = Import_Point_List(path, testUnits());
    ASSERT_EQ(r.result, 0);
    const std::vector<std::pair<double, double>> expected = {
        {15, 20}, {1000, -2000}, {0, 14}, {0.5, 2000}};
    ASSERT_EQ(r.points.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_DOUBLE_EQ(r.points[i].x, expected[i].first) << i;
        EXPECT_DOUBLE_EQ(r.points[i].y, expected[i].second) << i;
    }
}

TEST(PointList, ExportedListImportsBack) {
    QTemporaryDir dir;
    const std::vector<ControlPoint> pts = {{0, -2000}, {125, 300}, {1000, 2000}};
    for (const char* name : {"r.prn", "r.tsv", "r.csv"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        ASSERT_EQ(Export_Point_List(path, pts, testUnits()), 0);
        const PointListRead r = Import_Point_List(path, testUnits());
        ASSERT_EQ(r.result, 0) << name;
        ASSERT_EQ(r.points.size(), pts.size()) << name;
        for (size_t i = 0; i < pts.size(); ++i) {
            EXPECT_DOUBLE_EQ(r.points[i].x, pts[i].x) << name;
            EXPECT_DOUBLE_EQ(r.points[i].y, pts[i].y) << name;
        }
    }
}

TEST(PointList, UnreadableListFails) {
    QTemporaryDir dir;
    EXPECT_EQ(Import_Point_List(dir.filePath(QStringLiteral("missing.csv")), testUnits()).result,
              71);
    EXPECT_EQ(Import_Point_List(dir.path(), testUnits()).result, 71);
}

TEST(PointList, ApplyAddsEachPointThenTheLastOnceMore) {
    std::vector<std::tuple<double, double, bool>> calls;
    int clears = 0;
    auto add = [&](double x, double y, bool more) { calls.emplace_back(x, y, more); };
    Apply_Point_List(
        {{1, 2}, {3, 4}}, [&] { ++clears; }, add);
    EXPECT_EQ(clears, 1);
    const std::vector<std::tuple<double, double, bool>> expected = {
        {1, 2, true}, {3, 4, true}, {3, 4, false}};
    EXPECT_EQ(calls, expected);
    calls.clear();
    Apply_Point_List(
        {}, [&] { ++clears; }, add);
    EXPECT_EQ(clears, 2);
    EXPECT_TRUE(calls.empty());
}

// ---------------------------------------------------------------------------
// Dialog name rules

TEST(FileNames, HasExtensionUsesTheFirstDotLowerCased) {
    struct Case {
        const char* path;
        const char* ext;
        bool result;
    };
    const Case cases[] = {
        {"/home/u/wave.wdb", "wdb", true},
        {"/home/u/x.WDB", "wdb", true},
        {"/home/u/x.v2.wdb", "wdb", false},
        {"/home/u/noext", "wdb", false},
        {"/home/u.d/wave", "wdb", false},
        {"C:\\a.b\\wave.txt", "txt", true},
        {"wave.wdb", "txt", false},
        {"/a/.wdb", "wdb", true},
        {"/a/wave.", "", true},
        {"/a/wave.wdbx", "wdb", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Has_Extension(QString::fromLatin1(c.path), QString::fromLatin1(c.ext)), c.result)
            << c.path << " " << c.ext;
}

// One file under two names: through a link, a relative name, or a name of
// a file still to be made; two files are never one.
TEST(FileNames, SameFile) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString a = dir.filePath(QStringLiteral("a.wdb")),
                  b = dir.filePath(QStringLiteral("b.wdb"));
    for (const QString& f : {a, b}) {
        QFile file(f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(a, dir.filePath(QStringLiteral("link.wdb"))));
    const QString relative = QDir::current().relativeFilePath(a);
    struct Case {
        QString x, y;
        bool same;
    } cases[] = {
        {a, dir.filePath(QStringLiteral("link.wdb")), true},
        {a, relative, true},
        {dir.filePath(QStringLiteral("new.log")), dir.filePath(QStringLiteral("./new.log")), true},
        {a, b, false},
        {a, dir.filePath(QStringLiteral("new.log")), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(file32::sameFile(c.x, c.y), c.same)
            << c.x.toStdString() << " " << c.y.toStdString();
}

TEST(FileNames, StartNames) {
    const QString docs = QStringLiteral("/home/u/Documents");
    struct Case {
        const char* what;
        StartName got;
        const char* name;
        const char* ext;
    };
    const Case cases[] = {
        {"open, remembered with extension", Dialog_Start_Name("/a/wave.wdb", "wdb", docs),
         "/a/wave", "wdb"},
        {"open, remembered txt", Dialog_Start_Name("/a/wave.txt", "wdb", docs), "/a/wave", "txt"},
        {"open, base name", Dialog_Start_Name("/a/wave", "prn", docs), "/a/wave", "prn"},
        {"open, untitled", Dialog_Start_Name("Untitled", "ocb", docs), "/home/u/Documents/Untitled",
         "ocb"},
        {"save, untitled", Save_Start_Name("Untitled", "wfn", docs), "/home/u/Documents/Untitled",
         "wfn"},
        {"save, remembered", Save_Start_Name("/a/p.wfn", "wfn", docs), "/a/p.wfn", "wfn"},
        {"wave as text", Wave_Save_Start_Name("/a/wave.wdb", true, docs), "/a/wave.txt", "txt"},
        {"wave as binary", Wave_Save_Start_Name("/a/wave.txt", false, docs), "/a/wave.wdb", "wdb"},
        {"wave untitled", Wave_Save_Start_Name("Untitled", true, docs),
         "/home/u/Documents/Untitled", "txt"},
        {"wave base name", Wave_Save_Start_Name("/a/wave", false, docs), "/a/wave", "wdb"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got.fileName, QString::fromLatin1(c.name)) << c.what;
        EXPECT_EQ(c.got.defaultExtension, QString::fromLatin1(c.ext)) << c.what;
    }
}
