// The main window's view and editing on a real window: zoom lists, scroll
// bars, marker fields, marker drags, digital-bit commands and the rendered
// picture.
#include "TestSupport.h"

#include "app/Program.h"
#include "document/MainWindow.h"
#include "engine/wavelb32.h"
#include "engine/wavelb32_draw.h"
#include "engine/wavelb32_make.h"

#include <QAction>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace velda;
using velda::test::RecordingPrompts;

namespace {

// A started main window on the shipped models: model `model` with memory
// size entry `size`.
class MainWindowTest : public ::testing::Test {
protected:
    void start(int model, int size) {
        {
            QSettings s(dir.filePath(QStringLiteral("VELDA.ini")), QSettings::IniFormat);
            s.setValue(QStringLiteral("Sysinfo/sys_no"), model);
            s.setValue(QStringLiteral("Sysinfo/memory_width_no"), size);
        }
        ProgramOptions o;
        o.dataDir = test::sourceDataDir();
        o.iniPath = dir.filePath(QStringLiteral("VELDA.ini"));
        program = std::make_unique<Program>(o);
        window = std::make_unique<MainWindow>(*program);
        ASSERT_TRUE(window->Form_Load(QString()));
        window->resize(1000, 700);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    void TearDown() override {
        window.reset();
        program.reset();
    }
    WaveDocument& doc() { return program->Document; }
    int n() { return doc().N(); }
    void type(QLineEdit* field, const QString& text) {
        field->setText(text);
        window->Txt_Start_X->removeEventFilter(nullptr);
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(field, &out);
    }

    QTemporaryDir dir;
    RecordingPrompts prompts;
    std::unique_ptr<Program> program;
    std::unique_ptr<MainWindow> window;
};

int countColour(const QImage& img, QRgb colour, int column) {
    int count = 0;
    for (int y = 0; y < img.height(); ++y)
        count += img.pixel(column, y) == colour;
    return count;
}

} // namespace

TEST_F(MainWindowTest, HorizontalZoomKeepsBothListsInStepAndSetsTheScrollBars) {
    start(2, 3);
    ASSERT_EQ(n(), 65536);
    window->Comb_XZoom[0]->setCurrentIndex(1);
    EXPECT_EQ(window->Comb_XZoom[1]->currentIndex(), 1);
    EXPECT_EQ(program->View.XZoom, 2);
    for (QScrollBar* bar : window->HScroll) {
        EXPECT_TRUE(bar->isEnabled());
        EXPECT_EQ(bar->maximum(), 16384);
        EXPECT_EQ(bar->pageStep(), 16384);
    }
    EXPECT_EQ(program->View.ViewXEnd, 32768);
    window->HScroll[0]->setValue(100);
    EXPECT_EQ(program->View.ViewXStart, 200);
    EXPECT_EQ(window->HScroll[1]->value(), 100);
    EXPECT_EQ(window->Label_Start[1]->text(), window->Label_Start[0]->text());
    EXPECT_TRUE(window->Label_Start[0]->text().startsWith(program->Units.Point_To_XText(200)));

    window->Comb_XZoom[1]->setCurrentIndex(0);
    EXPECT_EQ(window->Comb_XZoom[0]->currentIndex(), 0);
    EXPECT_FALSE(window->HScroll[0]->isEnabled());
    EXPECT_EQ(program->View.ViewXStart, 0);
    EXPECT_EQ(program->View.ViewXEnd, 65536);
}

TEST_F(MainWindowTest, VerticalZoomCentresAndShowsZeroInTheMiddle) {
    start(1, 0);
    window->Comb_YZoom->setCurrentIndex(1);
    EXPECT_EQ(window->VScroll->value(), 8192);
    EXPECT_TRUE(window->VScroll->isEnabled());
    EXPECT_EQ(program->View.ViewYStart, 16384);
    EXPECT_EQ(program->View.ViewYEnd, 49151);
    EXPECT_TRUE(window->Label_W_Offs->text().startsWith(program->Units.Word_To_YText(0)))
        << window->Label_W_Offs->text().toStdString();
    window->VScroll->setValue(0);
    EXPECT_EQ(program->View.ViewYStart, 0);
}

TEST_F(MainWindowTest, TrackingMarkersKeepTheirDistance) {
    start(1, 0);
    const double N = n();
    window->Opt_Scope[1]->click();
    ASSERT_TRUE(window->TrackScope);
    type(window->Txt_Scope, program->Units.Point_To_XText(300));
    EXPECT_EQ(doc().CurArea().EndX, 300);
    type(window->Txt_Start_X, program->Units.Point_To_XText(N - 200));
    EXPECT_EQ(doc().CurArea().StartX, N - 300);
    EXPECT_EQ(doc().CurArea().EndX, N);
    type(window->Txt_End_X, program->Units.Point_To_XText(100));
    EXPECT_EQ(doc().CurArea().StartX, 0);
    EXPECT_EQ(doc().CurArea().EndX, 300);
}

TEST_F(MainWindowTest, IndependentMarkersRefuseCrossingByRestoringTheText) {
    start(1, 0);
    doc().CurArea() = {100, 200};
    window->SetText_MarkA();
    window->SetText_MarkB();
    const QString before = window->Txt_Start_X->text();
    type(window->Txt_Start_X, program->Units.Point_To_XText(300));
    EXPECT_EQ(doc().CurArea().StartX, 100);
    EXPECT_EQ(window->Txt_Start_X->text(), before);
    type(window->Txt_Start_X, program->Units.Point_To_XText(200)); // A = B is accepted
    EXPECT_EQ(doc().CurArea().StartX, 200);
    type(window->Txt_End_X, QStringLiteral("99999999")); // outside the X range
    EXPECT_EQ(doc().CurArea().EndX, 200);
    type(window->Txt_Scope, program->Units.Point_To_XText(5000)); // cut so that B = N
    EXPECT_EQ(doc().CurArea().EndX, n());
}

TEST_F(MainWindowTest, MarkerDragWithTheMouse) {
    start(1, 0);
    QWidget* pict = window->Pict_Wave;
    const int w = pict->width();
    const int colB = static_cast<int>(program->View.PointToPixelX(n(), w, n()));
    // Arm B (within 10 pixels of its column), drag it to the middle.
    QTest::mouseMove(pict, QPoint(colB - 4, 20));
    QTest::mousePress(pict, Qt::LeftButton, {}, QPoint(colB - 4, 20));
    QTest::mouseMove(pict, QPoint(w / 2, 20));
    QTest::mouseRelease(pict, Qt::LeftButton, {}, QPoint(w / 2, 20));
    const double expected = std::nearbyint(program->View.PixelToPointX(w / 2, w));
    EXPECT_EQ(doc().CurArea().EndX, expected);
    EXPECT_EQ(window->Txt_End_X->text(), program->Units.Point_To_XText(expected));
    // Far from both markers nothing is armed: a press and drag changes nothing.
    QTest::mouseMove(pict, QPoint(w / 4, 20));
    QTest::mousePress(pict, Qt::LeftButton, {}, QPoint(w / 4, 20));
    QTest::mouseMove(pict, QPoint(w / 4 + 30, 20));
    QTest::mouseRelease(pict, Qt::LeftButton, {}, QPoint(w / 4 + 30, 20));
    EXPECT_EQ(doc().CurArea().StartX, 0);
    EXPECT_EQ(doc().CurArea().EndX, expected);
}

TEST_F(MainWindowTest, DigitalBitButtonsEditTheSelectedBitOverTheArea) {
    start(1, 0);
    auto words = engine::bufferWords(doc().CurrentBuf());
    for (int i = 0; i < n(); ++i)
        words[i] = 0x0F0F;
    doc().CurArea() = {10, 20};
    window->Opt_DspSel[1]->click();
    EXPECT_FALSE(window->Frm_Digital->isHidden());
    EXPECT_FALSE(window->Menu_Spline->isEnabled());

    // No bit selected: Low does nothing (not even an undo copy).
    window->Btn_Pattern[0]->click();
    EXPECT_FALSE(window->Menu_Undo->isEnabled());

    window->DigitalMask = 1 << 15;   // bottom trace = data bit 0
    window->Btn_Pattern[0]->click(); // Low
    EXPECT_EQ(words[9], 0x0F0F);
    EXPECT_EQ(words[10], 0x0F0E);
    EXPECT_EQ(words[19], 0x0F0E);
    EXPECT_EQ(words[20], 0x0F0F);
    EXPECT_TRUE(window->Menu_Undo->isEnabled());

    window->Txt_Pattern->setText(QStringLiteral("{ 3"));
    window->Btn_Pattern[3]->click();
    ASSERT_FALSE(prompts.boxes.empty());
    EXPECT_EQ(prompts.boxes.back().text, QStringLiteral("Unbalance of parenthesis.\r"));
    EXPECT_EQ(words[10], 0x0F0E); // a failed pattern writes nothing
}

TEST_F(MainWindowTest, RenderedViewShowsTheCurveTheZeroLineAndTheMarkers) {
    start(2, 3);
    ASSERT_EQ(n(), 65536);
    // One single-point spike in a flat waveform must show at 1:1.
    auto words = engine::bufferWords(doc().CurrentBuf());
    std::fill(words.begin(), words.begin() + n(), int16_t{-20000});
    words[40001] = 30000;
    doc().CurArea() = {0, 65536};
    window->Draw_Wave();
    const QImage img = window->Pict_Wave->grab().toImage();
    const int w = img.width();
    const int h = img.height();
    const QRgb blue = qRgb(0, 0, 255);
    const int spikeColumn = static_cast<int>(40001.0 * w / 65536);
    int columnWithSpike = -1;
    for (int c = std::max(0, spikeColumn - 1); c <= std::min(w - 1, spikeColumn + 1); ++c) {
        const int topRow = static_cast<int>(program->View.WordToPixelY(30000, h));
        if (img.pixel(c, topRow + 1) == blue || img.pixel(c, topRow) == blue)
            columnWithSpike = c;
    }
    EXPECT_NE(columnWithSpike, -1) << "the spike is lost at 1:1";
    // The zero line is white, apart from the marker columns.
    const int zeroRow = static_cast<int>(program->View.zeroRow(h));
    EXPECT_EQ(img.pixel(w / 3, zeroRow), qRgb(255, 255, 255));
    // Marker A at column 0 and B in the last column are drawn inverted.
    EXPECT_NE(countColour(img, qRgb(0, 0, 0), 0), h);
    EXPECT_NE(countColour(img, qRgb(0, 0, 0), w - 1), h);

    if (qEnvironmentVariableIsSet("VELDA_SHOT_DIR")) {
        W_MakeSin(doc().CurrentBuf(), 0, n(), 0, 60000, 3, 0);
        window->Menu_Grid->trigger();
        window->Menu_Grid->setChecked(true);
        window->Draw_Wave();
        const QString shots = qEnvironmentVariable("VELDA_SHOT_DIR");
        QApplication::processEvents();
        window->grab().save(shots + "/main_sine.png");
        W_MakeSquare(doc().CurrentBuf(), 0, n(), 0, 50000, 4, 0, 30, 2);
        window->Draw_Wave();
        QApplication::processEvents();
        window->grab().save(shots + "/main_square.png");
        W_InitRand(7);
        W_MakeNoise(doc().CurrentBuf(), 0, n(), 0, 40000);
        window->Draw_Wave();
        QApplication::processEvents();
        window->grab().save(shots + "/main_noise_1to1.png");
        window->Comb_XZoom[0]->setCurrentIndex(3);
        window->Comb_YZoom->setCurrentIndex(2);
        QApplication::processEvents();
        window->grab().save(shots + "/main_noise_zoomed.png");
        W_MakeSin(doc().CurrentBuf(), 0, n(), 0, 60000, 3, 0);
        doc().CurArea() = {4000, 6000};
        window->Opt_DspSel[1]->click();
        window->DigitalMask = 1 << 3;
        window->Draw_Wave();
        QApplication::processEvents();
        window->grab().save(shots + "/main_digital.png");
    }
}

TEST_F(MainWindowTest, DigitalViewMouseSelectsABitAndDragCopiesIt) {
    start(1, 0);
    auto words = engine::bufferWords(doc().CurrentBuf());
    for (int i = 0; i < n(); ++i)
        words[i] = static_cast<int16_t>(i % 2 ? 0x0001 : 0x0000); // bit 0 toggles
    doc().CurArea() = {100, 200};
    window->Opt_DspSel[1]->click();
    QApplication::processEvents();
    QWidget* pict = window->Pict_Digital;
    const engine::DigitalLayout layout = engine::digitalLayout(pict->height());
    ASSERT_TRUE(layout.usable);
    auto traceRow = [&](int t) { return layout.traceTop(t) + layout.traceHeight / 2; };
    const int w = pict->width();
    const int middle = static_cast<int>(program->View.PointToPixelX(150, w, n()));

    // A press on trace 15 (data bit 0) between the markers selects it.
    QTest::mousePress(pict, Qt::LeftButton, {}, QPoint(middle, traceRow(15)));
    EXPECT_EQ(window->DigitalMask, 1 << 15);
    // Releasing on trace 14 (data bit 1) copies bit 0 into bit 1 over the area.
    QTest::mouseRelease(pict, Qt::LeftButton, {}, QPoint(middle, traceRow(14)));
    EXPECT_EQ(words[101], 0x0003);
    EXPECT_EQ(words[100], 0x0000);
    EXPECT_EQ(words[99], 0x0001); // outside the area: untouched
    EXPECT_EQ(words[201], 0x0001);
    EXPECT_EQ(window->DigitalMask, 1 << 14);
    window->Menu_Undo->trigger();
    EXPECT_EQ(engine::bufferWords(doc().CurrentBuf())[101], 0x0001);

    // A press outside the markers clears the selection.
    const int outside = static_cast<int>(program->View.PointToPixelX(600, w, n()));
    QTest::mousePress(pict, Qt::LeftButton, {}, QPoint(outside, traceRow(3)));
    EXPECT_EQ(window->DigitalMask, 0);
    QTest::mouseRelease(pict, Qt::LeftButton, {}, QPoint(outside, traceRow(3)));
    // Ctrl adds a bit to the selection.
    QTest::mousePress(pict, Qt::LeftButton, Qt::ControlModifier, QPoint(middle, traceRow(2)));
    QTest::mousePress(pict, Qt::LeftButton, Qt::ControlModifier, QPoint(middle, traceRow(5)));
    EXPECT_EQ(window->DigitalMask, (1 << 2) | (1 << 5));
}
