// The print dialog driven through its controls: margin and font rules,
// settings, printing, preview, PDF, and the menu items that open it.
#include "../PrintFixture.h"

#include "document/MainWindow.h"
#include "print/PrintDialog.h"
#include "print/PrintSettings.h"
#include "setup/SystemDialog.h"
#include "setup/UpDownWidget.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace velda;

namespace {

QString pdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

void type(QLineEdit* box, const QString& text) {
    box->setText(text);
    QTest::keyClick(box, Qt::Key_Return); // applies the box as leaving it does
}

} // namespace

class PrintDialogTest : public test::PrintFixture {
protected:
    std::unique_ptr<PrintDialog> open() {
        auto d = std::make_unique<PrintDialog>(*program, false);
        d->show();
        return d;
    }
};

TEST_F(PrintDialogTest, TypedMarginsKeepTheirRange) {
    struct Row {
        const char* typed;
        int16_t expected; // the stored margin afterwards (20 before)
    };
    const Row rows[] = {{"3", 20},      {"7.9", 7},  {"5", 5},     {"100", 100},
                        {"100.9", 100}, {"101", 20}, {"4.99", 20}, {"abc", 20},
                        {"-7", 20},     {"", 20},    {" 42 ", 42}};
    for (const Row& r : rows) {
        for (int i = 0; i < 3; ++i) {
            auto d = open();
            SCOPED_TRACE(std::string(r.typed) + " in box " + std::to_string(i));
            type(d->Text[static_cast<size_t>(i)], QString::fromLatin1(r.typed));
            EXPECT_EQ(d->layout().margins[static_cast<size_t>(i)], r.expected);
            EXPECT_EQ(d->Text[static_cast<size_t>(i)]->text(), QString::number(r.expected));
            d->Btn_Cancel->click();
            // Cancel keeps the margins for the next time; put the default back.
            PrintLayout l = Load_PrintLayout(*program->Registry);
            EXPECT_EQ(l.margins[static_cast<size_t>(i)], r.expected);
            l.margins[static_cast<size_t>(i)] = MarginDefault;
            Save_PrintLayout(*program->Registry, l);
        }
    }
}

TEST_F(PrintDialogTest, UpDownButtonsStopAtTheLimits) {
    struct Row {
        const char* start;
        int steps;
        int16_t expected;
    };
    const Row rows[] = {{"6", -1, 5},   {"6", -3, 5},    {"5", -1, 5},  {"99", 1, 100},
                        {"99", 4, 100}, {"100", 1, 100}, {"50", 2, 52}, {"50", -2, 48}};
    for (const Row& r : rows) {
        auto d = open();
        type(d->Text[1], QString::fromLatin1(r.start));
        for (int s = 0; s < std::abs(r.steps); ++s)
            d->UD_Margin[1]->stepBy(r.steps > 0 ? 1 : -1);
        EXPECT_EQ(d->layout().margins[1], r.expected) << r.start << " " << r.steps;
        EXPECT_EQ(d->Text[1]->text(), QString::number(r.expected));
    }
}

TEST_F(PrintDialogTest, FontSizesOutsideTheRangeShowMessage30) {
    struct Row {
        double points; // <= 0: a font given in pixels, which has no point size
        bool accepted;
    };
    for (const Row r :
         {Row{12, true}, Row{1, true}, Row{500, true}, Row{0, false}, Row{600, false}}) {
        auto d = open();
        const QFont before = d->layout().font;
        QFont offered;
        d->runFontDialog = [&](const QFont& current) -> std::optional<QFont> {
            offered = current;
            QFont f(QStringLiteral("DejaVu Serif"));
            if (r.points > 0)
                f.setPointSizeF(r.points);
            else
                f.setPixelSize(12);
            f.setBold(true);
            return f;
        };
        prompts.clear();
        d->Btn_Font->click();
        EXPECT_EQ(offered, before);
        if (r.accepted) {
            EXPECT_TRUE(prompts.boxes.empty());
            EXPECT_EQ(d->layout().font.pointSizeF(), r.points);
            EXPECT_TRUE(d->layout().font.bold());
        } else {
            ASSERT_EQ(prompts.boxes.size(), 1u) << r.points;
            EXPECT_EQ(prompts.boxes[0].text, GetMessage(30));
            EXPECT_EQ(d->layout().font, before);
        }
    }
    // Cancel in the font dialog changes nothing and says nothing.
    auto d = open();
    const QFont before = d->layout().font;
    d->runFontDialog = [](const QFont&) { return std::optional<QFont>(); };
    prompts.clear();
    d->Btn_Font->click();
    EXPECT_EQ(d->layout().font, before);
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(PrintDialogTest, MarginsAndFontComeBackNextTime) {
    {
        auto d = open();
        type(d->Text[0], QStringLiteral("33"));
        type(d->Text[2], QStringLiteral("12"));
        d->runFontDialog = [](const QFont&) {
            QFont f(QStringLiteral("DejaVu Sans Mono"));
            f.setPointSize(14);
            f.setItalic(true);
            return std::optional<QFont>(f);
        };
        d->Btn_Font->click();
        d->close();
    }
    auto d = open();
    EXPECT_EQ(d->Text[0]->text(), "33");
    EXPECT_EQ(d->Text[1]->text(), "20");
    EXPECT_EQ(d->Text[2]->text(), "12");
    EXPECT_EQ(d->layout().font.pointSize(), 14);
    EXPECT_TRUE(d->layout().font.italic());
}

TEST_F(PrintDialogTest, OkPrintsAndCloses) {
    auto d = open();
    const QString pdf = path("printed.pdf");
    d->printer().setOutputFormat(QPrinter::PdfFormat);
    d->printer().setOutputFileName(pdf);
    d->Btn_OK->click();
    EXPECT_FALSE(d->isVisible());
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("<System Setup>")));
    EXPECT_TRUE(text.contains(QStringLiteral("Memory Size")));
}

TEST_F(PrintDialogTest, CancelClosesWithoutPrinting) {
    auto d = open();
    const QString pdf = path("not.pdf");
    d->printer().setOutputFormat(QPrinter::PdfFormat);
    d->printer().setOutputFileName(pdf);
    d->Btn_Cancel->click();
    EXPECT_FALSE(d->isVisible());
    EXPECT_FALSE(QFile::exists(pdf));
}

TEST_F(PrintDialogTest, SaveAsPdfAsksBeforeOverwriting) {
    auto d = open();
    const QString pdf = path("saved.pdf");
    prompts.fileNames = {path("saved")}; // the default extension is added
    d->Btn_Pdf->click();
    ASSERT_TRUE(QFile::exists(pdf));
    EXPECT_TRUE(pdfText(pdf).contains(QStringLiteral("Frequency")));
    EXPECT_TRUE(d->isVisible());

    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("mine");
    f.close();
    prompts.clear();
    prompts.fileNames = {pdf, path("other.pdf")};
    prompts.answers = {Answer::No};
    d->Btn_Pdf->click();
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, GetMessage(5));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("mine"));
    // No went back to the dialog, on the name chosen, and the next name took it.
    ASSERT_EQ(prompts.fileRequests.size(), 2u);
    EXPECT_EQ(prompts.fileRequests[1].fileName, pdf);
    EXPECT_TRUE(QFile::exists(path("other.pdf")));
}

TEST_F(PrintDialogTest, PreviewShowsTheReportPages) {
    for (int p = 1; p <= 12; ++p)
        program->Pages.CreatePage(p).Effect = tools::PageTrue;
    auto d = open();
    int pages = -1;
    d->runPreview = [&](QDialog& preview) {
        preview.show();
        auto* w = preview.findChild<QPrintPreviewWidget*>();
        ASSERT_NE(w, nullptr);
        w->updatePreview();
        pages = w->pageCount();
        if (qEnvironmentVariableIsSet("VELDA_SHOT_DIR")) {
            preview.resize(900, 1000);
            QTest::qWait(300);
            preview.grab().save(qEnvironmentVariable("VELDA_SHOT_DIR") +
                                QStringLiteral("/preview.png"));
        }
        preview.close();
    };
    d->Btn_Preview->click();
    EXPECT_GE(pages, 2);
}

TEST_F(PrintDialogTest, CaptionsInBothLanguages) {
    struct Row {
        bool english;
        const char *title, *top, *printer;
    };
    for (const Row r : {Row{true, "VELDA - Print", "&Top Margin", "&Printer Setup..."},
                        Row{false, "VELDA - 印刷", "上ﾏｰｼﾞﾝ(&T)", "ﾌﾟﾘﾝﾀの設定(&P)..."}}) {
        Set_Language(r.english);
        auto d = open();
        EXPECT_EQ(d->windowTitle(), QString::fromUtf8(r.title));
        EXPECT_EQ(d->Label[0]->text(), QString::fromUtf8(r.top));
        EXPECT_EQ(d->Btn_Printer->text(), QString::fromUtf8(r.printer));
        EXPECT_EQ(d->Label[0]->buddy(), d->Text[0]);
        // VELDA_SHOT_DIR=folder: a picture of the dialog, to look at.
        if (qEnvironmentVariableIsSet("VELDA_SHOT_DIR")) {
            QTest::qWait(200);
            d->grab().save(
                qEnvironmentVariable("VELDA_SHOT_DIR") +
                (r.english ? QStringLiteral("/print_en.png") : QStringLiteral("/print_ja.png")));
        }
    }
}

// File > Print, the set-up dialog's print item and Help > About each open
// their dialog.
TEST_F(PrintDialogTest, MenuItemsOpenTheirDialogs) {
    program.reset();
    ProgramOptions o;
    o.dataDir = test::sourceDataDir();
    o.iniPath = dir.filePath(QStringLiteral("VELDA2.ini"));
    program = std::make_unique<Program>(o);
    MainWindow w(*program);
    ASSERT_TRUE(w.Form_Load(QString()));
    w.show();
    struct Row {
        const char* name;
        QAction* item;
        const char* dialog;
    };
    const Row rows[] = {
        {"File > Print", w.Menu_Print, "PrintDialog"},
        {"Help > About", w.Menu_Version, "VersionDialog"},
        {"System Setup File > Print", w.systemDialog().Menu_FilePrint, "PrintDialog"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ASSERT_TRUE(r.item->isEnabled());
        QString seen;
        QTimer::singleShot(0, [&] {
            if (QWidget* m = QApplication::activeModalWidget()) {
                seen = m->objectName();
                m->close();
            }
        });
        r.item->trigger();
        EXPECT_EQ(seen, QLatin1String(r.dialog));
    }
}
