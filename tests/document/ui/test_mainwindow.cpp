// The main window's view and editing on a real window: zoom lists, scroll
// bars, marker fields, marker drags, digital-bit commands and the rendered
// picture.
#include "ProgramWindowFixture.h"
#include "TestSupport.h"

#include "app/CaptionsWidget.h"
#include "app/Help.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "document/MainWindow.h"
#include "engine/wavelb32.h"
#include "engine/wavelb32_draw.h"
#include "engine/wavelb32_make.h"
#include "units/NumberText.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

using namespace velda;
using velda::test::RecordingPrompts;

namespace {

// A started main window on the shipped models: model `model` with memory
// size entry `size`.
class MainWindowTest : public test::ProgramWindowTest {
protected:
    // Each test starts the program itself, with the model and size it needs.
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void start(int model, int size) {
        {
            QSettings s(iniPath(), QSettings::IniFormat);
            s.setValue(QStringLiteral("Sysinfo/sys_no"), model);
            s.setValue(QStringLiteral("Sysinfo/memory_width_no"), size);
        }
        startProgram();
        window->resize(1000, 700);
    }
    int n() { return doc().N(); }
    void type(QLineEdit* field, const QString& text) {
        field->setText(text);
        window->Txt_Start_X->removeEventFilter(nullptr);
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(field, &out);
    }
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
    // The distance is the one the markers have after a command moved them.
    window->Menu_Delete->trigger();
    type(window->Txt_Start_X, program->Units.Point_To_XText(200));
    EXPECT_EQ(doc().CurArea().EndX, 200);
    window->Menu_Undo->trigger();
    ASSERT_EQ(doc().Area_Width(), 300);
    type(window->Txt_Start_X, program->Units.Point_To_XText(100));
    EXPECT_EQ(doc().CurArea().EndX, 400);
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
    EXPECT_NE(img.pixel(w / 3, zeroRow - 1), qRgb(255, 255, 255));
    EXPECT_NE(img.pixel(w / 3, zeroRow + 1), qRgb(255, 255, 255));
    // The pointer on the zero line reads a word of that row.
    QTest::mouseMove(window->Pict_Wave, QPoint(w / 3, zeroRow));
    const double readOut = program->Units.Y_To_Word(Eng_Val(window->Txt_Cur_Y->text()));
    EXPECT_EQ(program->View.WordToPixelY(readOut, h), zeroRow)
        << window->Txt_Cur_Y->text().toStdString();
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
        // The deepest zoom: a few points over the width, the curve drawn on
        // to the next point at the right edge.
        window->Comb_XZoom[0]->setCurrentIndex(window->Comb_XZoom[0]->count() - 1);
        QApplication::processEvents();
        window->grab().save(shots + "/main_noise_deepest.png");
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

    // A release on a marker's own point is not between the markers: no copy.
    for (const int marker : {100, 200}) {
        int column = -1;
        for (int x = 0; x < w && column < 0; ++x)
            if (Round_Even(program->View.PixelToPointX(x, w)) == marker)
                column = x;
        ASSERT_GE(column, 0) << marker;
        QTest::mousePress(pict, Qt::LeftButton, {}, QPoint(middle, traceRow(15)));
        QTest::mouseRelease(pict, Qt::LeftButton, {}, QPoint(column, traceRow(14)));
        EXPECT_EQ(engine::bufferWords(doc().CurrentBuf())[101], 0x0001) << marker;
    }

    // A press outside the markers clears the selection.
    const int outside = static_cast<int>(program->View.PointToPixelX(600, w, n()));
    QTest::mousePress(pict, Qt::LeftButton, {}, QPoint(outside, traceRow(3)));
    EXPECT_EQ(window->DigitalMask, 0);
    QTest::mouseRelease(pict, Qt::LeftButton, {}, QPoint(outside, traceRow(3)));
    // Ctrl adds a bit to the selection, also after a plain click (a drag
    // that ended where it began): the data stay as they are.
    QTest::mouseClick(pict, Qt::LeftButton, {}, QPoint(middle, traceRow(15)));
    for (int t : {2, 5})
        QTest::mouseClick(pict, Qt::LeftButton, Qt::ControlModifier, QPoint(middle, traceRow(t)));
    EXPECT_EQ(window->DigitalMask, (1 << 15) | (1 << 2) | (1 << 5));
    EXPECT_EQ(engine::bufferWords(doc().CurrentBuf())[101], 0x0001);
    EXPECT_EQ(engine::bufferWords(doc().CurrentBuf())[102], 0x0000);
}

namespace {
// What a rendered view shows: pixels of the curve colour and whether the
// zero line's row (give or take the one-row rounding) is white somewhere.
struct ViewContent {
    int curvePixels = 0;
    bool zeroLine = false;
};

ViewContent viewContent(QWidget* pict, int64_t zeroRow) {
    const QImage img = pict->grab().toImage();
    ViewContent c;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb p = img.pixel(x, y);
            c.curvePixels += p == qRgb(0, 0, 255);
            if (std::abs(y - zeroRow) <= 1 && p == qRgb(255, 255, 255))
                c.zeroLine = true;
        }
    return c;
}

// Lets the layout move the surfaces after a resize of the window.
void settle(QWidget* surface, QSize before) {
    for (int i = 0; i < 50 && surface->size() == before; ++i)
        QTest::qWait(10);
    QApplication::processEvents();
}
} // namespace

// A resize of the window draws both views again at their new size (the
// surface used to show black until another command redrew it).
TEST_F(MainWindowTest, ResizedWindowRedrawsBothViews) {
    start(1, 0);
    W_MakeSin(doc().CurrentBuf(), 0, n(), 0, 60000, 3, 0);
    window->Draw_Wave();
    QApplication::processEvents();
    const QSize base = window->minimumSize();
    const QSize sizes[] = {base + QSize(300, 200), base + QSize(40, 20), base + QSize(500, 350),
                           base};
    for (int view = 0; view < 2; ++view) {
        window->Opt_DspSel[view]->click();
        QWidget* pict = view == 0 ? window->Pict_Wave : window->Pict_Digital;
        QApplication::processEvents();
        for (const QSize& s : sizes) {
            SCOPED_TRACE(QStringLiteral("view %1 at %2x%3")
                             .arg(view)
                             .arg(s.width())
                             .arg(s.height())
                             .toStdString());
            const QSize before = pict->size();
            window->resize(s);
            settle(pict, before);
            ASSERT_NE(pict->size(), before) << "the surface did not change size";
            const ViewContent c = viewContent(pict, program->View.zeroRow(pict->height()));
            EXPECT_GT(c.curvePixels, pict->width() / 2) << "no curve after the resize";
            if (view == 0) {
                EXPECT_TRUE(c.zeroLine) << "no zero line after the resize";
            }
        }
    }
}

// The Y read-outs at the markers follow every change of the waveform or the
// markers, Undo and Redo included: each step names what A(Y) and B(Y) must
// show afterwards (the ramp holds word i at point i).
TEST_F(MainWindowTest, MarkerValuesFollowUndoAndRedo) {
    start(1, 0);
    auto words = engine::bufferWords(doc().CurrentBuf());
    for (int i = 0; i < n(); ++i)
        words[i] = static_cast<int16_t>(i);
    doc().CurArea() = {10, 30};
    window->SetText_MarkA();
    window->SetText_MarkB();
    window->Pict_Wave->setFocus();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 30000));

    auto pressOnView = [&](Qt::Key key, Qt::KeyboardModifiers mods) {
        window->Pict_Wave->setFocus();
        QTest::keyClick(window->Pict_Wave, key, mods);
    };
    auto typeEndX = [&](const QString& text) {
        window->Txt_End_X->setFocus();
        window->Txt_End_X->selectAll();
        QTest::keyClicks(window->Txt_End_X, text);
        QTest::keyClick(window->Txt_End_X, Qt::Key_Return);
    };
    struct Step {
        const char* what;
        std::function<void()> act;
        int a, b; // words shown at marker A and marker B
    };
    const Step steps[] = {
        {"delete the area", [&] { pressOnView(Qt::Key_Delete, Qt::NoModifier); }, 30, 30},
        {"move marker B", [&] { typeEndX(program->Units.Point_To_XText(50)); }, 30, 70},
        {"undo", [&] { pressOnView(Qt::Key_Z, Qt::ControlModifier); }, 10, 30},
        {"redo", [&] { pressOnView(Qt::Key_Z, Qt::ControlModifier); }, 30, 70},
        {"undo from the menu", [&] { window->Menu_Undo->trigger(); }, 10, 30},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(window->Txt_Start_Y->text().toStdString(),
                  program->Units.Word_To_YText(s.a).toStdString());
        EXPECT_EQ(window->Txt_End_Y->text().toStdString(),
                  program->Units.Word_To_YText(s.b).toStdString());
    }
}

// Ctrl+X/C/V/Z typed in any field of the window run the Edit menu's commands:
// on the waveform, except that the pattern field cuts, copies and pastes
// through the program's own text clipboard and leaves the system clipboard
// (which holds a copied waveform) alone.
TEST_F(MainWindowTest, ClipboardKeysInFieldsRunTheEditCommands) {
    start(1, 0);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get(), 30000));
    const QString copied = QStringLiteral("7\n8\n9\n");
    struct Row {
        const char* field;
        Qt::Key key;
        int word10;            // point 10 afterwards (ramp: 10 unchanged)
        const char* system;    // system clipboard text starts with this
        const char* text;      // the field's text afterwards (null: not checked)
        const char* own;       // the program's text clipboard afterwards
        bool undoFirst;        // an edit that Ctrl+Z must take back is made first
        bool fromMenu = false; // the field's own menu instead of the key
    };
    const Row rows[] = {
        {"Txt_Start_X", Qt::Key_V, 7, "7\n8\n9", nullptr, "own", false},
        {"Txt_End_X", Qt::Key_X, 20, "10\n11\n", nullptr, "own", false},
        {"Txt_Scope", Qt::Key_C, 10, "10\n11\n", nullptr, "own", false},
        {"Txt_Start_X", Qt::Key_Z, 10, "7\n8\n9", nullptr, "own", true},
        {"Txt_Pattern", Qt::Key_X, 10, "7\n8\n9", "cd", "ab", false},
        {"Txt_Pattern", Qt::Key_C, 10, "7\n8\n9", "abcd", "ab", false},
        {"Txt_Pattern", Qt::Key_V, 10, "7\n8\n9", "ownabcd", "own", false},
        {"Txt_Pattern", Qt::Key_X, 10, "7\n8\n9", "cd", "ab", false, true},
        {"Txt_Pattern", Qt::Key_V, 10, "7\n8\n9", "ownabcd", "own", false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.field) + (r.fromMenu ? " menu " : " Ctrl+") +
                     QKeySequence(r.key).toString().toStdString());
        auto words = engine::bufferWords(doc().CurrentBuf());
        for (int i = 0; i < n(); ++i)
            words[i] = static_cast<int16_t>(i);
        doc().CurArea() = {10, 20};
        window->SetText_MarkA();
        window->SetText_MarkB();
        if (r.undoFirst) {
            window->Menu_Delete->trigger();
            ASSERT_EQ(engine::bufferWords(doc().CurrentBuf())[10], 20);
        }
        QGuiApplication::clipboard()->setText(copied);
        program->TextClipboard = QStringLiteral("own");
        const bool pattern = QLatin1String(r.field) == QLatin1String("Txt_Pattern");
        window->Opt_DspSel[pattern ? 1 : 0]->click();
        auto* field = window->findChild<QLineEdit*>(QLatin1String(r.field));
        ASSERT_NE(field, nullptr);
        field->setFocus();
        QTest::qWait(1); // entering the field selects its text
        if (pattern) {
            field->setText(QStringLiteral("abcd"));
            if (r.key == Qt::Key_V)
                field->setCursorPosition(0);
            else
                field->setSelection(0, 2);
        }
        if (r.fromMenu) {
            const QString item =
                r.key == Qt::Key_X ? QStringLiteral("Menu_Cut") : QStringLiteral("Menu_Paste");
            QTimer::singleShot(0, field, [item] {
                auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                if (!popup)
                    return;
                for (QAction* a : popup->actions())
                    if (a->objectName() == item)
                        a->trigger();
                popup->close();
            });
            QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(2, 2),
                                      field->mapToGlobal(QPoint(2, 2)));
            QApplication::sendEvent(field, &menuKey);
        } else {
            QTest::keyClick(field, r.key, Qt::ControlModifier);
        }
        EXPECT_EQ(engine::bufferWords(doc().CurrentBuf())[10], r.word10);
        EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith(QLatin1String(r.system)))
            << QGuiApplication::clipboard()->text().left(20).toStdString();
        // A marker field shows its marker, never the clipboard's text.
        const WaveArea& a = doc().CurArea();
        const double shown = field == window->Txt_Start_X ? a.StartX
                             : field == window->Txt_End_X ? a.EndX
                                                          : a.EndX - a.StartX;
        EXPECT_EQ(field->text().toStdString(),
                  r.text ? std::string(r.text)
                         : program->Units.Point_To_XText(shown).toStdString());
        EXPECT_EQ(program->TextClipboard.toStdString(), r.own);
        window->Pict_Wave->setFocus();
    }
}

// Every item of every menu of the window carries a caption in both languages
// (the first Help item showed only its shortcut).
TEST_F(MainWindowTest, EveryMenuItemHasACaptionInBothLanguages) {
    start(1, 0);
    for (const bool english : {true, false}) {
        SCOPED_TRACE(english ? "English" : "Japanese");
        Set_Language(english);
        Set_MainMenus(window.get());
        for (QAction* top : window->menuBar()->actions()) {
            QMenu* menu = top->menu();
            ASSERT_NE(menu, nullptr);
            EXPECT_FALSE(menu->title().isEmpty()) << menu->objectName().toStdString();
            for (QAction* item : menu->actions()) {
                const bool captioned = item->isSeparator() || !item->text().trimmed().isEmpty();
                EXPECT_TRUE(captioned) << item->objectName().toStdString();
            }
        }
    }
    Set_Language(true);
    Set_MainMenus(window.get());
    EXPECT_EQ(window->Menu_Help->text().toStdString(), "&Contents");
}

namespace {
QWidget* helpWindow() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("HelpWindow"))
            return w;
    return nullptr;
}

// Where the link to `href` is drawn in the help window, scrolled into view.
std::optional<QPoint> linkPoint(QWidget* help, QTextBrowser* browser, const QString& href) {
    for (QTextBlock b = browser->document()->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.charFormat().anchorHref() != href)
                continue;
            QTextCursor c(browser->document());
            c.setPosition(f.position() + 1);
            browser->setTextCursor(c);
            browser->ensureCursorVisible();
            const QRect r = browser->cursorRect(c);
            return browser->viewport()->mapTo(help, r.center());
        }
    return std::nullopt;
}
} // namespace

// A help window opened from a modal tool dialog takes the mouse while the
// dialog is open, and its title follows the page it shows.
TEST_F(MainWindowTest, HelpFromAModalDialogIsUsableBesideIt) {
    start(1, 0);
    struct Row {
        const char* tool;
        QAction* MainWindow::*item;
        int helpIndex;
        const char* title;       // the window's title on the dialog's page
        const char* link;        // a link followed by a click (null: none)
        const char* linkedTitle; // the title after following it
    };
    const Row rows[] = {
        {"Operate", &MainWindow::Menu_Compute, 3, "VELDA Help - Operate", "7731CRTE.hlp",
         "VELDA Help - Waveform Create"},
        {"Compress", &MainWindow::Menu_Compress, 1, "VELDA Help - Compress/Decompress", nullptr,
         nullptr},
        {"Create", &MainWindow::Menu_Create, 0, "VELDA Help - Waveform Create", "7731E.hlp",
         "VELDA Help"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.tool);
        bool ran = false;
        QTimer::singleShot(0, window.get(), [&] {
            ran = true;
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal) {
                ADD_FAILURE() << "no modal dialog";
                return;
            }
            QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("Btn_Help")),
                              Qt::LeftButton);
            QWidget* help = helpWindow();
            auto* browser = help ? help->findChild<QTextBrowser*>() : nullptr;
            if (browser && QTest::qWaitForWindowExposed(help, 30000)) {
                EXPECT_EQ(browser->source().fileName(), HelpFiles::fileName(r.helpIndex, true));
                EXPECT_EQ(help->windowTitle().toStdString(), r.title);
                // A click on the page's text reaches the browser.
                browser->moveCursor(QTextCursor::Start);
                const QPoint middle =
                    browser->viewport()->mapTo(help, browser->viewport()->rect().center());
                QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {}, middle);
                EXPECT_GT(browser->textCursor().position(), 0)
                    << "the click did not reach the help";
                if (r.link) {
                    const std::optional<QPoint> at =
                        linkPoint(help, browser, QLatin1String(r.link));
                    EXPECT_TRUE(at.has_value()) << "no link " << r.link;
                    if (at)
                        QTest::mouseClick(help->windowHandle(), Qt::LeftButton, {}, *at);
                    EXPECT_EQ(browser->source().fileName().toStdString(), r.link);
                    EXPECT_EQ(help->windowTitle().toStdString(), r.linkedTitle);
                }
                EXPECT_EQ(QApplication::activeModalWidget(), modal) << "the dialog stays open";
            } else {
                ADD_FAILURE() << "no help window";
            }
            modal->close();
        });
        (window.get()->*r.item)->trigger();
        EXPECT_TRUE(ran);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(' ').toStdString();
        if (QWidget* help = helpWindow())
            help->hide();
    }
}

// dX is a distance: shown and typed as a width of the X unit, never as a
// position (which would add the unit's start to it).
TEST_F(MainWindowTest, MarkerDistanceIsAWidthInEveryXUnit) {
    start(1, 0);
    ASSERT_EQ(n(), 1024);
    SystemParameter& sp = program->Setup.Param;
    struct Row {
        const char* unit;
        int mode;
        double start, end, period;
        const char* shown; // dX for markers at 512 and 768
        const char* typed; // a width typed into dX
        double endX;       // where marker B then stands
    };
    const Row rows[] = {
        {"word", 0, 0, 1, 1, "256.0000", "128", 640},
        {"user -180..180", 2, -180, 180, 1, "90.00000", "45", 640},
        {"user 10..20", 2, 10, 20, 1, "2.500000", "1.25", 640},
        {"sec", 1, 0, 1, 0.001024, "256.000u", "128u", 640},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.unit);
        sp.XUnitMode = static_cast<int16_t>(r.mode);
        sp.UserXStart = r.start;
        sp.UserXEnd = r.end;
        sp.Period = r.period;
        sp.Frequency = 1 / r.period;
        doc().CurArea() = {512, 768};
        window->SetText_MarkA();
        window->SetText_MarkB();
        EXPECT_EQ(window->Txt_Scope->text().toStdString(), r.shown);
        type(window->Txt_Scope, QLatin1String(r.typed));
        EXPECT_DOUBLE_EQ(doc().CurArea().StartX, 512);
        EXPECT_NEAR(doc().CurArea().EndX, r.endX, 1e-6);
    }
}

// With the grid shown, a marker stands out from the grid lines, the zero line
// and the curve wherever it crosses them, also when it lies on a grid line;
// it stays an invert-mode line: moved away, it leaves the picture exactly as
// a drawing without it.
TEST_F(MainWindowTest, MarkersStandOutFromGridZeroLineAndCurve) {
    start(1, 0);
    W_MakeSin(doc().CurrentBuf(), 0, n(), 0, 60000, 2, 0);
    window->Menu_Grid->setChecked(true);
    QWidget* pict = window->Pict_Wave;
    const int w = pict->width();
    // A point whose marker column is c.
    auto atColumn = [&](int c) { return (c - 0.5) * n() / w; };
    const QRgb background = qRgb(0, 0, 0);
    const QRgb grid = qRgb(0xD0, 0xD0, 0xD0);
    const QRgb zeroLine = qRgb(255, 255, 255);
    const QRgb curve = qRgb(0, 0, 255);
    struct Row {
        const char* where;
        int column;
    };
    const Row rows[] = {
        {"on the vertical centre line", static_cast<int>(std::lround(w / 2.0))},
        {"on the first vertical line", static_cast<int>(std::lround(w / 10.0))},
        {"between grid lines", static_cast<int>(std::lround(w * 0.37))},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.where);
        doc().CurArea() = {atColumn(r.column), atColumn(w - 3)};
        window->Draw_Wave();
        const QImage img = pict->grab().toImage();
        int clashes = 0;
        for (int y = 0; y < img.height(); ++y) {
            const QRgb p = img.pixel(r.column, y);
            clashes += p == background || p == grid || p == zeroLine || p == curve;
        }
        EXPECT_EQ(clashes, 0) << "marker pixels that look like the view under them";

        // Drag marker A away: its old column is as a drawing without it.
        const int away = static_cast<int>(std::lround(w * 0.8));
        QTest::mouseMove(pict, QPoint(r.column, 30));
        QTest::mousePress(pict, Qt::LeftButton, {}, QPoint(r.column, 30));
        QTest::mouseMove(pict, QPoint(away, 30));
        QTest::mouseRelease(pict, Qt::LeftButton, {}, QPoint(away, 30));
        const QImage moved = pict->grab().toImage();
        window->Draw_Wave(); // drawn afresh with the markers where they are now
        const QImage fresh = pict->grab().toImage();
        for (int y = 0; y < img.height(); ++y)
            ASSERT_EQ(moved.pixel(r.column, y), fresh.pixel(r.column, y)) << "row " << y;
    }
}
