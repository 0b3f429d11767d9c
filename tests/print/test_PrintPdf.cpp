// The report printed to PDF and read back: its text with pdftotext, its ink
// with pdftoppm.
#include "PrintFixture.h"

#include "engine/wavelb32.h"
#include "print/PrintReport.h"
#include "tools/CreatePages.h"

#include <QFile>
#include <QImage>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <cmath>
#include <gtest/gtest.h>

using namespace velda;

namespace {

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>")
            .arg(program, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfText(const QString& pdf) {
    return run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
}

// True when some line of the text holds the label, blanks, then the value.
bool hasLine(const QString& text, const ReportLine& l) {
    QString pattern = QStringLiteral("^\\s*") + QRegularExpression::escape(l.label);
    if (!l.value.isEmpty())
        pattern += QStringLiteral("\\s+") + QRegularExpression::escape(l.value);
    pattern += QStringLiteral("\\s*$");
    const QRegularExpression re(pattern, QRegularExpression::MultilineOption);
    return re.match(text).hasMatch();
}

// Bounding box of every non-white pixel.
QRect inkBox(const QImage& img) {
    int l = img.width(), t = img.height(), r = -1, b = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qGray(img.pixel(x, y)) < 200) {
                l = std::min(l, x);
                r = std::max(r, x);
                t = std::min(t, y);
                b = std::max(b, y);
            }
    return r < 0 ? QRect() : QRect(QPoint(l, t), QPoint(r, b));
}

constexpr int kDpi = 50;
double px(double mm) {
    return mm * kDpi / 25.4;
}

} // namespace

class PrintPdfTest : public test::PrintFixture {
protected:
    void fillSine() {
        const int32_t n = program->Document.N();
        auto words = engine::bufferWords(program->Document.CurrentBuf());
        for (int32_t i = 0; i < n; ++i)
            words[i] = static_cast<int16_t>(std::lround(30000 * std::sin(2 * M_PI * i / n)));
    }
    void usePages() {
        auto& a = program->Pages.CreatePage(1);
        a.Effect = tools::PageTrue;
        a.FuncType = tools::FuncSin;
        a.AreaEnd = 100;
        auto& b = program->Pages.CreatePage(2);
        b.Effect = tools::PageTrue;
        b.FuncType = tools::FuncExpression;
        b.ExprText = QStringLiteral("x*2");
    }
    // Enough pages for a report of several sheets.
    void useTwelvePages() {
        for (int p = 1; p <= 12; ++p)
            program->Pages.CreatePage(p).Effect = tools::PageTrue;
    }
    QImage renderPage(const QString& pdf, int page, int dpi = kDpi) {
        const QString prefix = path("page");
        run(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-f"),
             QString::number(page), QStringLiteral("-l"), QString::number(page),
             QStringLiteral("-png"), QStringLiteral("-singlefile"), pdf, prefix});
        return QImage(prefix + QStringLiteral(".png"));
    }
    PrintLayout layout(int fontPoints = 10) {
        PrintLayout l;
        l.font = QFont(QStringLiteral("DejaVu Sans"));
        l.font.setPointSize(fontPoints);
        return l;
    }
};

// Every set-up and page line comes back from the PDF as one line of text,
// for the power source and for oscillators with and without the offset.
TEST_F(PrintPdfTest, EveryLineReadsBack) {
    struct Row {
        const char* name;
        int model;
    };
    for (const Row r : {Row{"power source", 0}, Row{"oscillator with offset", 2},
                        Row{"oscillator without offset", 3}}) {
        SCOPED_TRACE(r.name);
        selectModel(r.model);
        setKnownValues();
        usePages();
        fillSine();
        const ReportContent c = Report_Content(*program, true, false);
        const QString pdf = path("report.pdf");
        ReportGeometry g;
        ASSERT_TRUE(Write_Report_Pdf(pdf, c, layout(), &g));
        const QString text = pdfText(pdf);
        int checked = 0;
        for (const ReportLine& l : c.lines) {
            EXPECT_TRUE(hasLine(text, l)) << qPrintable(l.label) << " " << qPrintable(l.value);
            ++checked;
        }
        EXPECT_GT(checked, 50);
        EXPECT_EQ(text.contains(QStringLiteral("DC Offset")), true);
        // The offset switch line is the second "Output ON/OFF".
        EXPECT_EQ(text.count(QStringLiteral("Output ON/OFF")), r.model == 3 ? 1 : 2);
        // The graph's end values.
        EXPECT_TRUE(text.contains(c.yTopText)) << qPrintable(c.yTopText);
        EXPECT_TRUE(text.contains(c.xEndText)) << qPrintable(c.xEndText);
    }
}

// The ink of every page lies inside the margins; the first page has the
// curve inside the graph's frame.
TEST_F(PrintPdfTest, InkStaysInsideTheMargins) {
    struct Row {
        const char* name;
        Margins margins;
        int font;
        bool digital;
    };
    const Row rows[] = {
        {"defaults", {20, 20, 20, 20, 20}, 10, false},
        {"wide left and top, large font", {40, 10, 60, 15, 5}, 18, false},
        {"smallest margins, digital view", {5, 5, 5, 5, 5}, 9, true},
        // The graph keeps a frame to draw in where the labels would take it.
        {"narrowest column", {20, 20, 100, 100, 20}, 10, false},
        {"very large font", {20, 20, 20, 20, 20}, 40, false},
    };
    usePages();
    fillSine();
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        PrintLayout l = layout(r.font);
        l.margins = r.margins;
        const ReportContent c = Report_Content(*program, true, r.digital);
        const QString pdf = path("ink.pdf");
        ReportGeometry g;
        ASSERT_TRUE(Write_Report_Pdf(pdf, c, l, &g));
        ASSERT_GE(g.pages, 1);
        for (int page = 1; page <= g.pages; ++page) {
            const QImage img = renderPage(pdf, page);
            ASSERT_FALSE(img.isNull());
            const QRect ink = inkBox(img);
            ASSERT_FALSE(ink.isNull()) << page;
            EXPECT_GE(ink.left(), std::floor(px(r.margins[2])) - 1) << page;
            EXPECT_GE(ink.top(), std::floor(px(r.margins[0])) - 1) << page;
            EXPECT_LE(ink.right(), std::ceil(img.width() - px(r.margins[3])) + 1) << page;
            EXPECT_LE(ink.bottom(), std::ceil(img.height() - px(r.margins[1])) + 1) << page;
        }
        // Inside the frame (2 pixels in from it) the curve leaves ink.
        const QImage first = renderPage(pdf, 1);
        const double scale = kDpi / 600.0;
        const QRect inner(
            QPoint(std::lround(g.graphLeft * scale) + 2, std::lround(g.graphTop * scale) + 2),
            QPoint(std::lround(g.graphRight * scale) - 2, std::lround(g.graphBottom * scale) - 2));
        EXPECT_FALSE(inkBox(first.copy(inner)).isNull());
    }
}

// A waveform at either end of the scale shows inside the frame, not on its lines.
TEST_F(PrintPdfTest, FullScaleCurvesShowInsideTheFrame) {
    for (const int16_t level : {int16_t(32767), int16_t(-32767)}) {
        SCOPED_TRACE(level);
        auto words = engine::bufferWords(program->Document.CurrentBuf());
        std::fill(words.begin(), words.begin() + program->Document.N(), level);
        const QString pdf = path("full.pdf");
        ReportGeometry g;
        ASSERT_TRUE(Write_Report_Pdf(pdf, Report_Content(*program, true, false), layout(10), &g));
        // Fine enough to tell the frame's line (2-3 pixels) from the curve.
        constexpr int dpi = 300;
        const QImage first = renderPage(pdf, 1, dpi);
        const double scale = dpi / 600.0;
        const QRect inside(
            QPoint(std::lround(g.graphLeft * scale) + 4, std::lround(g.graphTop * scale) + 4),
            QPoint(std::lround(g.graphRight * scale) - 4, std::lround(g.graphBottom * scale) - 4));
        EXPECT_FALSE(inkBox(first.copy(inside)).isNull());
    }
}

// A report longer than one page continues on the next one, every line once.
TEST_F(PrintPdfTest, LongReportBreaksIntoPages) {
    useTwelvePages();
    const ReportContent c = Report_Content(*program, true, false);
    const QString pdf = path("long.pdf");
    ReportGeometry g;
    ASSERT_TRUE(Write_Report_Pdf(pdf, c, layout(12), &g));
    EXPECT_GE(g.pages, 3);
    const QString text = pdfText(pdf);
    // pdftotext ends each page with a form feed.
    EXPECT_EQ(text.count(QLatin1Char('\f')), g.pages);
    for (int p = 1; p <= 12; ++p) {
        const QRegularExpression re(QStringLiteral("^Page\\s+%1\\s*$").arg(p),
                                    QRegularExpression::MultilineOption);
        EXPECT_EQ(text.count(re), 1) << p;
    }
}

// Japanese labels: the same lines in the Japanese table; the numbers and the
// ASCII labels read back (no Japanese font is assumed on the machine).
TEST_F(PrintPdfTest, JapaneseReportKeepsTheValues) {
    selectModel(2);
    setKnownValues();
    const ReportContent c = Report_Content(*program, false, false);
    EXPECT_EQ(c.lines.front().label, QString::fromUtf8("<ｼｽﾃﾑ設定>"));
    const QString pdf = path("ja.pdf");
    ASSERT_TRUE(Write_Report_Pdf(pdf, c, layout()));
    const QString text = pdfText(pdf);
    for (const char* v : {"1000 Hz", "1m sec", "1.5 Vp-p", "-2.5 V", "AWG-1102", "USB(TMC)"})
        EXPECT_TRUE(text.contains(QLatin1String(v))) << v;
}

// A PDF that cannot be written is reported; no file is left behind.
TEST_F(PrintPdfTest, FailedWriteIsReported) {
    const QString pdf = path("missing/folder/out.pdf");
    EXPECT_FALSE(Write_Report_Pdf(pdf, Report_Content(*program, true, false), layout()));
    EXPECT_FALSE(QFile::exists(pdf));
}

// The largest margins still leave a page to print on.
TEST_F(PrintPdfTest, LargestMarginsStillPrint) {
    PrintLayout l = layout();
    l.margins = {100, 100, 100, 100, 100};
    ReportGeometry g;
    EXPECT_TRUE(Write_Report_Pdf(path("narrow.pdf"), Report_Content(*program, true, false), l, &g));
    EXPECT_GE(g.pages, 1);
}

// A value longer than its column, or of several lines, is printed whole,
// wrapped within the margins.
TEST_F(PrintPdfTest, LongAndMultiLineValuesArePrintedWhole) {
    auto& p = program->Pages.CreatePage(1);
    p.Effect = tools::PageTrue;
    p.FuncType = tools::FuncExpression;
    QString expr;
    for (int i = 1; i <= 12; ++i)
        expr += QStringLiteral("sin(2*pi*x*%1/1000)*%2 + ").arg(i).arg(1000 + i);
    expr += QStringLiteral("cos(x/7)*123456789012345678901234567890123456789012345678901234567890");
    p.ExprText = expr;
    p.ConstText = QStringLiteral("a = 1\r\nb = 2");
    const QString pdf = path("wrap.pdf");
    ASSERT_TRUE(Write_Report_Pdf(pdf, Report_Content(*program, true, false), layout()));
    QString text = pdfText(pdf);
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    EXPECT_TRUE(text.contains(QString(expr).remove(QLatin1Char(' ')))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("a=1b=2")));
}

// Only the pages asked for are painted, the first of them on the first sheet;
// a layout without room is refused before the file is touched.
TEST_F(PrintPdfTest, PageSpanAndNoRoomLeaveTheRestAlone) {
    useTwelvePages();
    const ReportContent c = Report_Content(*program, true, false);
    const QString pdf = path("span.pdf");
    ReportGeometry g;
    {
        QPdfWriter writer(pdf);
        writer.setResolution(300);
        ASSERT_TRUE(Paint_Report(writer, c, layout(12), &g, PageSpan{2, 2}));
    }
    ASSERT_GE(g.pages, 3);
    const QString text = pdfText(pdf);
    EXPECT_EQ(text.count(QLatin1Char('\f')), 1);
    EXPECT_FALSE(text.contains(c.xEndText)) << "the graph is on page 1";

    QFile kept(path("kept.pdf"));
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly));
    kept.write("kept");
    kept.close();
    PrintLayout wide = layout();
    wide.margins = {100, 100, 100, 100, 100};
    {
        QPdfWriter writer(kept.fileName());
        writer.setPageSize(QPageSize(QPageSize::A6));
        EXPECT_FALSE(Paint_Report(writer, c, wide));
    }
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("kept"));
}
