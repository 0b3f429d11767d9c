#include "files/ExpressionFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

using namespace velda;

namespace {

// Units of a waveform of n points: "Word" on X, raw data or volts on Y.
ExpressionUnits wordUnits(int32_t n, double volts = 0) {
    ExpressionUnits u;
    u.points = n;
    u.xUnitText = QStringLiteral("Word  ");
    u.xUnitName = QStringLiteral("Word");
    u.yUnitText = volts ? QStringLiteral("V") : QStringLiteral("Data");
    u.yUnitName = volts ? QStringLiteral("V") : QString();
    u.pointToX = [n](double p) { return std::clamp(p, 0.0, double(n)); };
    const double perWord = volts ? volts / 65534 : 1.0;
    u.wordToY = [perWord](double w) { return w * perWord; };
    u.wordSpanToY = [perWord](double d) { return d * perWord; };
    return u;
}

ExpressionRanges rangesOf(const ExpressionUnits& u) {
    return {u.points, u.pointToX(0), u.pointToX(u.points), u.wordToY(-32767), u.wordToY(32767)};
}

std::vector<WaveListPage> store() {
    return std::vector<WaveListPage>(203);
}

WaveListPage page(int16_t type, double start, double end) {
    WaveListPage p;
    p.Effect = -1;
    p.Visited = -1;
    p.FuncType = type;
    p.AreaStart = start;
    p.AreaEnd = end;
    p.Param = {100, end - start, 65534, 2, 45, 50, 25, 1.5};
    return p;
}

ExpressionRead readBytes(const QByteArray& bytes, const ExpressionRanges& r) {
    QByteArray copy = bytes;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    return Read_Expression_Data(buf, r);
}

const char* kHeader = "'+++++++++++++++\r\n"
                      "'<Unit Setup>\r\n"
                      "'[X-Axis Unit]\r\n"
                      "'X-Axis Unit\tWord\r\n"
                      "'Name\tWord\r\n"
                      "'Min to Max\t\r\n"
                      "'XX\t0,1024\r\n"
                      "'[Y-Axis Unit]\r\n"
                      "'Y-Axis Unit\tData\r\n"
                      "'Name\t\r\n"
                      "'Min to Max\t\r\n"
                      "'YY\t-32767,32767\r\n"
                      "'+++++++++++++++\r\n";

const char* kPage7 = "StartPage\r\n"
                     "7\t\t'Page\r\n"
                     "5\t\t'Type  Expression\r\n"
                     "10.5\t\t'Start\r\n"
                     "20\t\t'End\r\n"
                     "100\t\t'Offset\r\n"
                     "9.5\t\t'Size\r\n"
                     "65534\t\t'Ampl\r\n"
                     "2\t\t'Cycle\r\n"
                     "45\t\t'Phase\r\n"
                     "50\t\t'Symm\r\n"
                     "25\t\t'Duty\r\n"
                     "1.5\t\t'Transition\r\n"
                     "\t\t'Y=\r\n"
                     "sin(x/a)\r\n"
                     "\t\t'Const\r\n"
                     "None\r\n"
                     "EndPage\r\n"
                     "'----------------\r\n";

} // namespace

TEST(ExpressionFile, WritesTheLayoutExactly) {
    auto pages = store();
    pages[7] = page(5, 10.5, 20);
    pages[7].ExprText = QStringLiteral("  sin(x/a)   ");
    pages[3].Effect = 0; // switched off: not written
    const QByteArray bytes = Expression_File_Bytes(pages, wordUnits(1024));
    EXPECT_EQ(bytes, QByteArray(kHeader) + kPage7);
}

TEST(ExpressionFile, JapaneseLabelsAndTypeNamesAreUtf8) {
    auto pages = store();
    pages[1] = page(2, 0, 10);
    ExpressionUnits u = wordUnits(100);
    u.english = false;
    const QString text = QString::fromUtf8(Expression_File_Bytes(pages, u));
    EXPECT_TRUE(text.contains(QStringLiteral("'<単位設定>\r\n'[X軸単位]\r\n'単位\tWord\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("'最小値～最大値\t\r\n'XX\t0,100\r\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("2\t\t'Type  方形波\r\n")));
}

TEST(ExpressionFile, OnlyPagesSwitchedOnAreWrittenAndReadBack) {
    auto pages = store();
    pages[3] = page(0, 0, 100);
    pages[7] = page(5, 200, 1024);
    pages[7].ExprText = QStringLiteral("sin(2*pi*x/1024)");
    pages[7].ConstText = QStringLiteral("a=1;b=2");
    pages[201] = page(1, 0, 5); // beyond the file's pages: never written
    pages[0] = page(1, 0, 5);
    const QByteArray bytes = Expression_File_Bytes(pages, wordUnits(1024));
    EXPECT_EQ(bytes.count("StartPage"), 2);

    const ExpressionRead r = readBytes(bytes, rangesOf(wordUnits(1024)));
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(r.pages.size(), 2u);
    for (const WaveListPage& got : r.pages) {
        const WaveListPage& want = pages[static_cast<size_t>(got.PageNo)];
        EXPECT_EQ(got.Visited, -1);
        EXPECT_EQ(got.Effect, -1);
        EXPECT_EQ(got.FuncType, want.FuncType);
        EXPECT_DOUBLE_EQ(got.AreaStart, want.AreaStart);
        EXPECT_DOUBLE_EQ(got.AreaEnd, want.AreaEnd);
        for (size_t k = 0; k < 8; ++k)
            EXPECT_DOUBLE_EQ(got.Param[k], want.Param[k]) << got.PageNo << " param " << k;
        EXPECT_EQ(got.ExprText, want.ExprText);
        EXPECT_EQ(got.ConstText, want.ConstText);
    }
    EXPECT_EQ(r.pages[0].PageNo, 3);
    EXPECT_EQ(r.pages[1].PageNo, 7);
}

TEST(ExpressionFile, RescalesToTheCurrentSizeAndYRange) {
    struct Case {
        const char* what;
        ExpressionUnits written;
        ExpressionUnits read;
        double xFactor;
        double amplFactor;
    };
    const Case cases[] = {
        {"1024 to 4096 words", wordUnits(1024), wordUnits(4096), 4, 1},
        {"4096 to 1024 words", wordUnits(4096), wordUnits(1024), 0.25, 1},
        {"same size", wordUnits(2000), wordUnits(2000), 1, 1},
        // Amplitude written in volts, read in data words: same word span.
        {"volts to words", wordUnits(1024, 10), wordUnits(1024), 1, 1},
        // The amplitude is a share of the file's own Y range, whatever the
        // current range.
        {"10 V to 5 V", wordUnits(1024, 10), wordUnits(1024, 5), 1, 1},
    };
    for (const Case& c : cases) {
        auto pages = store();
        pages[2] = page(0, 100, 600);
        pages[2].Param[2] = 30000;
        const QByteArray bytes = Expression_File_Bytes(pages, c.written);
        const ExpressionRead r = readBytes(bytes, rangesOf(c.read));
        ASSERT_EQ(r.result, 0) << c.what;
        ASSERT_EQ(r.pages.size(), 1u) << c.what;
        const WaveListPage& p = r.pages[0];
        EXPECT_NEAR(p.AreaStart, 100 * c.xFactor, 1e-9) << c.what;
        EXPECT_NEAR(p.AreaEnd, 600 * c.xFactor, 1e-9) << c.what;
        EXPECT_NEAR(p.Param[1], 500 * c.xFactor, 1e-9) << c.what;
        EXPECT_NEAR(p.Param[2], 30000 * c.amplFactor, 1e-6) << c.what;
        EXPECT_DOUBLE_EQ(p.Param[0], 100) << c.what; // offset is stored as it is
    }
}

TEST(ExpressionFile, AmplitudeIsMappedThroughTheFilesYRange) {
    QByteArray bytes = QByteArray(kHeader) + kPage7;
    bytes.replace("'YY\t-32767,32767", "'YY\t-1,1");
    bytes.replace("65534\t\t'Ampl", "0.5\t\t'Ampl");
    bytes.replace("100\t\t'Offset", "-0.25\t\t'Offset");
    const ExpressionRead r = readBytes(bytes, rangesOf(wordUnits(1024, 10)));
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(r.pages.size(), 1u);
    EXPECT_DOUBLE_EQ(r.pages[0].Param[2], 16383.5);
    EXPECT_DOUBLE_EQ(r.pages[0].Param[0], -0.25); // stored as it is
}

TEST(ExpressionFile, RefusesPagesOutsideTheStoreAndKeepsTheOthers) {
    auto pageBlock = [](const char* no, const char* type) {
        return QByteArray("StartPage\r\n") + no + "\t\t'Page\r\n" + type +
               "\t\t'Type\r\n"
               "0\r\n10\r\n0\r\n10\r\n65534\r\n1\r\n0\r\n50\r\n50\r\n0\r\n"
               "\t\t'Y=\r\nNone\r\n\t\t'Const\r\nNone\r\nEndPage\r\n";
    };
    const QByteArray bytes = QByteArray(kHeader) + pageBlock("4", "1") + pageBlock("203", "0") +
                             pageBlock("40000", "0") + pageBlock("-3", "0") + pageBlock("0", "0") +
                             pageBlock("2.5", "0") + pageBlock("9", "6") + pageBlock("10", "-1") +
                             pageBlock("202", "3") +
                             pageBlock("4", "2"); // the later block of page 4 wins
    const ExpressionRead r = readBytes(bytes, rangesOf(wordUnits(1024)));
    ASSERT_EQ(r.result, 0);
    EXPECT_EQ(r.refused, 7);
    ASSERT_EQ(r.pages.size(), 2u);
    EXPECT_EQ(r.pages[0].PageNo, 4);
    EXPECT_EQ(r.pages[0].FuncType, 2);
    EXPECT_EQ(r.pages[1].PageNo, 202);
    EXPECT_TRUE(r.pages[0].ExprText.isEmpty());
}

TEST(ExpressionFile, AreaIsKeptInsideTheWaveform) {
    const QByteArray bytes =
        QByteArray(kHeader) +
        "StartPage\r\n1\r\n0\r\n-50\r\n5000\r\n0\r\n5000\r\n0\r\n0\r\n0\r\n0\r\n"
        "0\r\n0\r\n\t\t'Y=\r\nx\r\n\t\t'Const\r\n\r\nEndPage\r\n"
        "StartPage\r\n2\r\n0\r\n800\r\n300\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"
        "0\r\n0\r\n\t\t'Y=\r\nx\r\n\t\t'Const\r\n\r\nEndPage\r\n";
    const ExpressionRead r = readBytes(bytes, rangesOf(wordUnits(1024)));
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(r.pages.size(), 2u);
    EXPECT_EQ(r.pages[0].AreaStart, 0);
    EXPECT_EQ(r.pages[0].AreaEnd, 1024);
    EXPECT_EQ(r.pages[0].Param[1], 1024);
    EXPECT_EQ(r.pages[1].AreaStart, 800);
    EXPECT_EQ(r.pages[1].AreaEnd, 800);
}

TEST(ExpressionFile, DamagedFilesFailWithNothingTaken) {
    const QByteArray header(kHeader);
    const QByteArray page7(kPage7);
    auto without = [](QByteArray b, const char* line) { return b.replace(line, ""); };
    auto with = [](QByteArray b, const char* from, const char* to) { return b.replace(from, to); };
    struct Case {
        const char* what;
        QByteArray bytes;
    };
    const Case cases[] = {
        {"empty", QByteArray()},
        {"no header", page7},
        {"header without its end", header.left(header.lastIndexOf("'+++"))},
        {"foreign first line", "Hello\r\n" + header + page7},
        {"XX without comma", with(header, "'XX\t0,1024", "'XX\t0 1024") + page7},
        {"XX empty range", with(header, "'XX\t0,1024", "'XX\t5,5") + page7},
        {"XX not numbers", with(header, "'XX\t0,1024", "'XX\ta,b") + page7},
        {"YY empty range", with(header, "'YY\t-32767,32767", "'YY\t1,1") + page7},
        {"page cut short", header + page7.left(page7.indexOf("45\t"))},
        {"missing EndPage", header + without(page7, "EndPage\r\n")},
        {"missing Y marker", header + without(page7, "\t\t'Y=\r\n")},
        {"missing Const marker", header + without(page7, "\t\t'Const\r\n")},
        {"value not a number", header + with(page7, "10.5\t", "ten\t")},
        {"value infinite", header + with(page7, "10.5\t", "inf\t")},
        {"value empty", header + with(page7, "10.5\t", "\t")},
        {"stray text between pages", header + page7 + "garbage\r\n" + page7},
        {"overlong line", header + QByteArray(70000, 'x') + "\r\n"},
    };
    for (const Case& c : cases) {
        const ExpressionRead r = readBytes(c.bytes, rangesOf(wordUnits(1024)));
        EXPECT_EQ(r.result, 71) << c.what;
        EXPECT_TRUE(r.pages.empty()) << c.what;
    }
    // A zero-point waveform cannot take any page.
    ExpressionRanges none = rangesOf(wordUnits(1024));
    none.points = 0;
    EXPECT_EQ(readBytes(header + page7, none).result, 71);
}

TEST(ExpressionFile, ToleratesLfEndsBlankLinesAndAMissingFinalLineEnd) {
    QByteArray bytes = QByteArray(kHeader) + kPage7 + "\r\n\r\n" + kPage7;
    bytes.replace("\r\n", "\n");
    bytes.chop(1);
    bytes.prepend("\xEF\xBB\xBF");
    const ExpressionRead r = readBytes(bytes, rangesOf(wordUnits(1024)));
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(r.pages[0].ExprText, QStringLiteral("sin(x/a)"));
    EXPECT_EQ(r.pages[0].AreaStart, 10.5);
}

TEST(ExpressionFile, HeaderKeepsCurrentRangesItDoesNotName) {
    QByteArray header(kHeader);
    header.replace("'XX\t0,1024\r\n", "");
    QBuffer buf(&header);
    buf.open(QIODevice::ReadOnly);
    double x0 = 1, x1 = 2, y0 = 3, y1 = 4;
    ASSERT_EQ(ReadWaveListHeader(buf, x0, x1, y0, y1), 0);
    EXPECT_EQ(x0, 1);
    EXPECT_EQ(x1, 2);
    EXPECT_EQ(y0, -32767);
    EXPECT_EQ(y1, 32767);
}

TEST(ExpressionFile, LongTextsAreCutToTheirFields) {
    auto pages = store();
    pages[1] = page(5, 0, 10);
    pages[1].ExprText = QString(1500, QLatin1Char('x'));
    pages[1].ConstText = QString(1000, QChar(0x00E9)); // 2 bytes each in the file
    const ExpressionRead r =
        readBytes(Expression_File_Bytes(pages, wordUnits(100)), rangesOf(wordUnits(100)));
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(r.pages[0].ExprText, QString(1024, QLatin1Char('x')));
    EXPECT_EQ(r.pages[0].ConstText, QString(472, QChar(0x00E9)));
}

TEST(ExpressionFile, LineBreaksInsideATextDoNotBreakTheFile) {
    auto pages = store();
    pages[1] = page(5, 0, 10);
    pages[1].ExprText = QStringLiteral("sin(x)\r\n+1");
    const ExpressionRead r =
        readBytes(Expression_File_Bytes(pages, wordUnits(100)), rangesOf(wordUnits(100)));
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(r.pages[0].ExprText, QStringLiteral("sin(x)  +1"));
}

TEST(ExpressionFile, FileRoundTripAndFailures) {
    QTemporaryDir dir;
    auto pages = store();
    pages[5] = page(3, 1, 9);
    const QString path = dir.filePath(QStringLiteral("p.wfn"));
    ASSERT_EQ(Write_Expression_File(path, pages, wordUnits(100)), 0);
    const ExpressionRead r = Read_Expression_File(path, rangesOf(wordUnits(400)));
    ASSERT_EQ(r.result, 0);
    ASSERT_EQ(r.pages.size(), 1u);
    EXPECT_EQ(r.pages[0].AreaEnd, 36);

    EXPECT_EQ(
        Read_Expression_File(dir.filePath(QStringLiteral("none.wfn")), rangesOf(wordUnits(100)))
            .result,
        71);
    EXPECT_EQ(Read_Expression_File(dir.path(), rangesOf(wordUnits(100))).result, 71);
    // A failed write leaves the previous file.
    QDir().mkdir(dir.filePath(QStringLiteral("d.wfn")));
    EXPECT_EQ(Write_Expression_File(dir.filePath(QStringLiteral("d.wfn")), pages, wordUnits(100)),
              72);
    EXPECT_EQ(
        Write_Expression_File(dir.filePath(QStringLiteral("no/x.wfn")), pages, wordUnits(100)), 72);
}

TEST(ExpressionFile, PlainNumberText) {
    struct Case {
        double v;
        const char* text;
    };
    const Case cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {1024, "1024"},
        {-2.5, "-2.5"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {1.5e-7, "1.5E-07"},
        {1e15, "1E+15"},
        {123456789012345, "123456789012345"},
        {1.0 / 3, "0.333333333333333"},
        {0.1 + 0.2, "0.3"},
        {65534, "65534"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Plain_Number_Text(c.v), QString::fromLatin1(c.text)) << c.v;
}
