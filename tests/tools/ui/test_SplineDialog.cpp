// The Interpolate dialog beside a real main window: its grid and boxes, the
// interpolation buttons, the point-list files, and picking and dragging
// control points with the mouse on the main view. Boxes and file dialogs are
// answered and recorded by the test.
#include "ProgramWindowFixture.h"
#include "TestSupport.h"

#include "app/CaptionsWidget.h"
#include "app/Help.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "app/Twips.h"
#include "document/MainWindow.h"
#include "document/SurfaceWidget.h"
#include "engine/spline32.h"
#include "engine/wavelb32.h"
#include "files/PointList.h"
#include "tools/SplineDialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

using namespace velda;
using namespace velda::tools;
using velda::test::RecordingPrompts;

namespace {

constexpr int16_t kSentinel = 1234;

class SplineDialogTest : public test::ProgramWindowTest {
protected:
    void SetUp() override {
        ProgramWindowTest::SetUp();
        if (HasFatalFailure())
            return;
        window->resize(900, 640);
        n = doc().N();
        ASSERT_GE(n, 4000);
    }

    ControlPoints& points() { return program->Spline; }
    const UnitContext& units() { return program->Units; }

    SplineDialog& open() {
        window->Menu_Spline->trigger();
        SplineDialog* d = window->splineDialog();
        EXPECT_NE(d, nullptr);
        EXPECT_TRUE(d && d->isVisible());
        return *d;
    }
    SplineDialog& dlg() { return *window->splineDialog(); }

    // Types a point into the boxes (each box left as the user leaves it)
    // and presses Add.
    void add(const QString& x, const QString& y) {
        for (int i = 0; i < 2; ++i) {
            QLineEdit* box = dlg().Text[static_cast<size_t>(i)];
            box->setText(i == 0 ? x : y);
            QTest::keyClick(box, Qt::Key_Return);
        }
        dlg().Btn_Add->click();
    }
    void addPoint(double x, double y) {
        add(units().Point_To_XTextLong(x), units().Word_To_YText(y));
    }

    void fillDocument(int16_t value) {
        auto w = engine::bufferWords(doc().CurrentBuf());
        std::fill(w.begin(), w.end(), value);
    }
    std::vector<int16_t> words(WaveHandle h) {
        auto w = engine::bufferWords(h);
        return {w.begin(), w.begin() + n};
    }
    std::vector<double> xs() { return {points().xs().begin(), points().xs().end()}; }
    std::vector<double> ys() { return {points().ys().begin(), points().ys().end()}; }

    // Pixel of a control point as the view draws it.
    QPoint pixelOf(double x, double y) {
        QWidget* pict = window->Pict_Wave;
        return {static_cast<int>(program->View.PointToPixelX(x, pict->width(), n)),
                static_cast<int>(program->View.WordToPixelY(y, pict->height()))};
    }
    // A drag on the main view with the left button held throughout.
    void drag(QPoint from, QPoint to) {
        QWidget* pict = window->Pict_Wave;
        QTest::mousePress(pict, Qt::LeftButton, {}, from);
        const QPoint mid = (from + to) / 2;
        for (QPoint p : {mid, to}) {
            QMouseEvent move(QEvent::MouseMove, p, pict->mapToGlobal(p), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(pict, &move);
        }
        QTest::mouseRelease(pict, Qt::LeftButton, {}, to);
    }

    int32_t n = 0;
};

bool menuEnabled(QMenu* m) {
    return m->isEnabled() && m->menuAction()->isEnabled();
}

TEST_F(SplineDialogTest, OpeningLocksTheMainMenusAndClosingGivesThemBack) {
    SplineDialog& d = open();
    EXPECT_EQ(program->ActiveTool, ToolSpline);
    EXPECT_TRUE(window->Opt_DlgSel[2]->isChecked());
    for (QMenu* m : {window->Menu_File, window->Menu_Edit, window->Menu_Tools, window->Menu_Set})
        EXPECT_FALSE(menuEnabled(m)) << m->objectName().toStdString();
    EXPECT_TRUE(menuEnabled(window->Menu_MHelp));
    EXPECT_FALSE(window->Opt_DspSel[0]->isEnabled());
    EXPECT_FALSE(window->Opt_DspSel[1]->isEnabled());
    EXPECT_FALSE(window->Panel_Dlg->isEnabled());
    EXPECT_EQ(window->Pict_Wave->cursor().shape(), Qt::CrossCursor);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("VELDA - Interpolate"));

    // The edit shortcuts cannot reach the document meanwhile.
    fillDocument(kSentinel);
    doc().CurArea() = {10, 20};
    window->activateWindow();
    QTest::keyClick(window.get(), Qt::Key_Delete);
    EXPECT_EQ(doc().CurArea().EndX, 20);
    EXPECT_EQ(words(doc().CurrentBuf())[15], kSentinel);

    d.Btn_Exit->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(program->ActiveTool, ToolNone);
    EXPECT_FALSE(window->Opt_DlgSel[2]->isChecked());
    for (QMenu* m : {window->Menu_File, window->Menu_Edit, window->Menu_Tools, window->Menu_Set})
        EXPECT_TRUE(menuEnabled(m)) << m->objectName().toStdString();
    EXPECT_TRUE(window->Opt_DspSel[1]->isEnabled());
    EXPECT_TRUE(window->Panel_Dlg->isEnabled());
    EXPECT_NE(window->Pict_Wave->cursor().shape(), Qt::CrossCursor);
    // ... and reach it again once the dialog is closed.
    window->activateWindow();
    QTest::keyClick(window.get(), Qt::Key_Delete);
    EXPECT_EQ(doc().CurArea().EndX, 10);

    // The tool selector opens it again; Escape closes it the same way.
    window->Opt_DlgSel[2]->click();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(program->ActiveTool, ToolSpline);
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(program->ActiveTool, ToolNone);
    EXPECT_TRUE(menuEnabled(window->Menu_File));
}

TEST_F(SplineDialogTest, CannotBeOpenedFromTheDigitalView) {
    window->Opt_DspSel[1]->click();
    EXPECT_FALSE(window->Menu_Spline->isEnabled());
    EXPECT_FALSE(window->Opt_DlgSel[2]->isEnabled());
    // Even when asked directly, the selection is undone and nothing opens.
    window->Opt_DlgSel[2]->setChecked(true);
    window->Open_Spline();
    EXPECT_TRUE(window->splineDialog() == nullptr || !window->splineDialog()->isVisible());
    EXPECT_FALSE(window->Opt_DlgSel[2]->isChecked());
    EXPECT_TRUE(window->Panel_Dlg->isEnabled());
    EXPECT_EQ(program->ActiveTool, ToolNone);
    EXPECT_TRUE(menuEnabled(window->Menu_File));
}

TEST_F(SplineDialogTest, PointsTypedIntoTheBoxesShowSortedInTheGrid) {
    SplineDialog& d = open();
    EXPECT_EQ(d.flxSpread->horizontalHeaderItem(1)->text(), QStringLiteral("X"));
    EXPECT_EQ(d.flxSpread->horizontalHeaderItem(2)->text(), QStringLiteral("Y"));
    struct Step {
        double x, y;
        std::vector<double> xs, ys; // the list after the step
        int selected;               // row of the point just added
    };
    const std::vector<Step> steps = {
        {300, 100, {300}, {100}, 1},
        {100, -2000, {100, 300}, {-2000, 100}, 1},
        {200, 50, {100, 200, 300}, {-2000, 50, 100}, 2},
        {300, 7000, {100, 200, 300}, {-2000, 50, 7000}, 3}, // same X: only its Y changes
    };
    for (const Step& s : steps) {
        addPoint(s.x, s.y);
        EXPECT_EQ(xs(), s.xs);
        EXPECT_EQ(ys(), s.ys);
        ASSERT_EQ(d.gridRowCount(), static_cast<int>(s.xs.size()));
        for (size_t r = 0; r < s.xs.size(); ++r) {
            const int row = static_cast<int>(r) + 1;
            EXPECT_EQ(d.gridText(row, 0), QString::number(row));
            EXPECT_EQ(d.gridText(row, 1), units().Point_To_XTextLong(s.xs[r]));
            EXPECT_EQ(d.gridText(row, 2), units().Word_To_YText(s.ys[r]));
        }
        EXPECT_EQ(d.gridSelectedRow(), s.selected);
        EXPECT_EQ(points().SelectedRow(), s.selected);
    }
    EXPECT_TRUE(prompts.boxes.empty());

    // A click on a row copies its texts into the boxes and selects it.
    const QRect cell = d.flxSpread->visualItemRect(d.flxSpread->item(0, 1));
    QTest::mouseClick(d.flxSpread->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(points().SelectedRow(), 1);
    EXPECT_EQ(d.Text[0]->text(), units().Point_To_XTextLong(100));
    EXPECT_EQ(d.Text[1]->text(), units().Word_To_YText(-2000));

    // Moving down with the keys picks the next row the same way.
    d.flxSpread->setFocus();
    QTest::keyClick(d.flxSpread, Qt::Key_Down);
    EXPECT_EQ(points().SelectedRow(), 2);
    EXPECT_EQ(d.Text[0]->text(), units().Point_To_XTextLong(200));
    EXPECT_EQ(d.Text[1]->text(), units().Word_To_YText(50));

    // The list outlives the dialog: reopened, the grid shows it again.
    d.Btn_Exit->click();
    open();
    EXPECT_EQ(d.gridRowCount(), 3);
    EXPECT_EQ(d.gridText(3, 1), units().Point_To_XTextLong(300));
    EXPECT_TRUE(d.Text[0]->text().isEmpty());
}

TEST_F(SplineDialogTest, BoxesRefuseValuesOutsideTheRangeAndAddThenDoesNothing) {
    SplineDialog& d = open();
    struct Case {
        QString x, y;
        bool xKept, yKept;
    };
    const std::vector<Case> cases = {
        {QStringLiteral("99999999"), QStringLiteral("0"), false, true},
        {QStringLiteral("10"), QStringLiteral("40000"), true, false},
        {QStringLiteral("-1"), QStringLiteral("-40000"), false, false},
    };
    for (const Case& c : cases) {
        add(c.x, c.y);
        EXPECT_EQ(d.Text[0]->text().isEmpty(), !c.xKept) << c.x.toStdString();
        EXPECT_EQ(d.Text[1]->text().isEmpty(), !c.yKept) << c.y.toStdString();
        EXPECT_EQ(points().SplineCount(), 0);
    }
    // Only one box filled: nothing is added.
    d.Text[0]->setText(QStringLiteral("10"));
    d.Text[1]->clear();
    d.Btn_Add->click();
    EXPECT_EQ(points().SplineCount(), 0);
}

TEST_F(SplineDialogTest, EndPointsAreOnePointAndChangingOneAsksFirst) {
    SplineDialog& d = open();
    addPoint(0, 100);
    addPoint(n / 2, 0);
    // No: nothing changes.
    prompts.answers = {Answer::No};
    addPoint(n, 200);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].text, GetMessage(21));
    EXPECT_EQ(xs(), (std::vector<double>{0, static_cast<double>(n) / 2}));
    // Yes: both ends take the new level.
    prompts.answers = {Answer::Yes};
    addPoint(n, 200);
    EXPECT_EQ(xs(), (std::vector<double>{0, static_cast<double>(n) / 2, static_cast<double>(n)}));
    EXPECT_EQ(ys(), (std::vector<double>{200, 0, 200}));
    EXPECT_EQ(d.gridText(1, 2), units().Word_To_YText(200));
}

TEST_F(SplineDialogTest, DeleteRemovesTheSelectedRowOnlyWhenItHoldsAPoint) {
    SplineDialog& d = open();
    for (double x : {100.0, 200.0, 300.0})
        addPoint(x, x);
    // A row beyond the last point: nothing.
    points().GridRowSelect(5);
    d.Btn_Delete->click();
    EXPECT_EQ(points().SplineCount(), 3);
    // No row: nothing.
    points().GridRowSelect(0);
    d.Btn_Delete->click();
    EXPECT_EQ(points().SplineCount(), 3);

    points().GridRowSelect(2);
    d.Text[0]->setText(QStringLiteral("5"));
    d.Btn_Delete->click();
    EXPECT_EQ(xs(), (std::vector<double>{100, 300}));
    EXPECT_TRUE(d.Text[0]->text().isEmpty());
    EXPECT_EQ(d.gridSelectedRow(), 2);
    EXPECT_EQ(d.gridRowCount(), 2);

    d.Btn_AllClear->click();
    EXPECT_EQ(points().SplineCount(), 0);
    EXPECT_EQ(d.gridText(1, 1), QString());
    EXPECT_EQ(d.gridSelectedRow(), 1);
}

TEST_F(SplineDialogTest, InterpolationWithoutPointsShowsMessage20AndChangesNothing) {
    SplineDialog& d = open();
    fillDocument(kSentinel);
    for (int i = 0; i < 3; ++i) {
        prompts.clear();
        d.Btn_Spline[static_cast<size_t>(i)]->click();
        EXPECT_EQ(prompts.boxTexts(), QStringList{GetMessage(20)}) << i;
        EXPECT_EQ(words(doc().CurrentBuf())[n / 2], kSentinel);
        EXPECT_FALSE(window->Menu_Undo->isEnabled()) << "no undo copy";
    }
}

TEST_F(SplineDialogTest, LinearWritesTheRampBetweenTwoPointsIntoTheArea) {
    SplineDialog& d = open();
    fillDocument(kSentinel);
    doc().CurArea() = {100, 200};
    addPoint(100, -1000);
    addPoint(200, 1000);
    d.Btn_Spline[0]->click();
    EXPECT_TRUE(prompts.boxes.empty());
    const std::vector<int16_t> w = words(doc().CurrentBuf());
    EXPECT_EQ(w[99], kSentinel);
    for (int i = 100; i < 200; ++i)
        EXPECT_EQ(w[static_cast<size_t>(i)], -1000 + 20 * (i - 100)) << i;
    EXPECT_EQ(w[200], kSentinel);
    // The old waveform is the undo copy; the marker read-out shows the new level.
    EXPECT_TRUE(window->Menu_Undo->isEnabled());
    EXPECT_EQ(window->Txt_Start_Y->text(), units().Word_To_YText(-1000));
    window->Menu_Undo_Click();
    EXPECT_EQ(words(doc().CurrentBuf())[150], kSentinel);
}

TEST_F(SplineDialogTest, ContSplineIsPeriodicOverTheWholeWaveOnlyWhenTheAreaIsAllOfIt) {
    SplineDialog& d = open();
    // No point at either end: the periodic curve over the whole waveform
    // runs across N, the other one only spans the points.
    const std::vector<std::pair<double, double>> knots = {
        {n / 8.0, 0}, {n / 4.0, 12000}, {n / 2.0, -3000}, {n * 0.8, -15000}};
    for (auto [x, y] : knots)
        addPoint(x, y);
    ASSERT_EQ(points().SplineCount(), 4);

    // What each spline variant writes over an area, as reference.
    auto reference = [&](int variant, double S, double E) {
        const WaveHandle h = W_AllocMemory(n);
        auto w = engine::bufferWords(h);
        std::fill(w.begin(), w.end(), kSentinel);
        Spline_Hokan_Spline(variant, h, S, E, points().xs(), points().ys(), points().SplineCount(),
                            n, 32767);
        std::vector<int16_t> r(w.begin(), w.begin() + n);
        W_FreeMemory(h);
        return r;
    };
    struct Case {
        double S, E;
        int variant;
    };
    for (const Case c : {Case{0, static_cast<double>(n), 2}, Case{0, n / 2.0, 1},
                         Case{n / 4.0, static_cast<double>(n), 1}}) {
        fillDocument(kSentinel);
        doc().CurArea() = {c.S, c.E};
        d.Btn_Spline[2]->click();
        const auto expected = reference(c.variant, c.S, c.E);
        const auto other = reference(c.variant == 2 ? 1 : 2, c.S, c.E);
        ASSERT_NE(expected, other) << "the two variants must be told apart";
        EXPECT_EQ(words(doc().CurrentBuf()), expected) << c.S << ".." << c.E;
    }
    // Over the whole waveform the curve meets the points and joins smoothly
    // across the end.
    doc().CurArea() = {0, static_cast<double>(n)};
    d.Btn_Spline[2]->click();
    const auto w = words(doc().CurrentBuf());
    EXPECT_NEAR(w[static_cast<size_t>(n / 4)], 12000, 1);
    EXPECT_NEAR(w[1] - w[0], w[0] - w[static_cast<size_t>(n - 1)], 2);
}

TEST_F(SplineDialogTest, APointPickedOnTheViewIsDraggedToANewPlace) {
    SplineDialog& d = open();
    addPoint(n / 4.0, 0);
    addPoint(n / 2.0, 8000);
    points().GridRowSelect(0);
    QWidget* pict = window->Pict_Wave;
    const QPoint at = pixelOf(n / 2.0, 8000);

    // A press beside the point picks nothing; a drag from there moves nothing.
    drag(at + QPoint(6, 6), at + QPoint(60, 60));
    EXPECT_EQ(points().SelectedRow(), 0);
    EXPECT_EQ(xs(), (std::vector<double>{n / 4.0, n / 2.0}));

    // A click on the point selects it without moving it.
    QTest::mouseClick(pict, Qt::LeftButton, {}, at);
    EXPECT_EQ(points().SelectedRow(), 2);
    EXPECT_EQ(d.gridSelectedRow(), 2);
    EXPECT_EQ(xs(), (std::vector<double>{n / 4.0, n / 2.0}));
    EXPECT_EQ(d.Text[0]->text(), units().Point_To_XTextLong(n / 2.0));

    // Dragged to the right and up.
    const QPoint to = at + QPoint(80, -40);
    drag(at, to);
    const ViewState& v = program->View;
    const double nx = v.PixelToPointX(to.x(), pict->width());
    // The word the pointer reads on its row, which is drawn on that row.
    const double ny = v.PointerWordY(to.y(), pict->height());
    EXPECT_EQ(d.Text[0]->text(), units().Point_To_XTextLong(nx));
    EXPECT_EQ(d.Text[1]->text(), units().Word_To_YText(ny));
    ASSERT_EQ(points().SplineCount(), 2);
    EXPECT_EQ(points().SplineX(0), n / 4.0);
    EXPECT_NEAR(points().SplineX(1), nx, 1.0);
    EXPECT_NEAR(points().SplineY(1), ny, 1.0);
    EXPECT_EQ(v.WordToPixelY(points().SplineY(1), pict->height()), to.y());
    EXPECT_EQ(points().SelectedRow(), 2);
    EXPECT_EQ(d.gridText(2, 1), d.Text[0]->text());

    // Dragged past the other point: the list stays sorted and the moved
    // point's row is selected.
    const QPoint back = pixelOf(points().SplineX(1), points().SplineY(1));
    drag(back, QPoint(2, back.y()));
    ASSERT_EQ(points().SplineCount(), 2);
    EXPECT_LT(points().SplineX(0), n / 4.0);
    EXPECT_EQ(points().SplineX(1), n / 4.0);
    EXPECT_EQ(points().SelectedRow(), 1);

    // Backspace over the view deletes the selected point.
    pict->setFocus();
    QTest::keyClick(pict, Qt::Key_Backspace);
    EXPECT_EQ(xs(), (std::vector<double>{n / 4.0}));
    EXPECT_EQ(d.gridRowCount(), 1);
    // With no point selected it does nothing.
    points().GridRowSelect(0);
    QTest::keyClick(pict, Qt::Key_Backspace);
    EXPECT_EQ(points().SplineCount(), 1);
}

TEST_F(SplineDialogTest, AnEndPointDraggedOntoTheOtherEndIsPutBackWhenTheUserSaysNo) {
    open();
    addPoint(0, 0);
    addPoint(n / 2.0, 5000);
    prompts.answers = {Answer::Yes};
    addPoint(n, 0);
    ASSERT_EQ(points().SplineCount(), 3);
    // Drag the middle point onto X = N at another level: message 21, No.
    prompts.clear();
    prompts.answers = {Answer::No};
    QWidget* pict = window->Pict_Wave;
    drag(pixelOf(n / 2.0, 5000), QPoint(pict->width() + 50, pict->height() / 4));
    EXPECT_EQ(prompts.boxTexts(), QStringList{GetMessage(21)});
    EXPECT_EQ(xs(), (std::vector<double>{0, n / 2.0, static_cast<double>(n)}));
    EXPECT_EQ(ys(), (std::vector<double>{0, 5000, 0}));
    EXPECT_EQ(points().SelectedRow(), 2);
}

TEST_F(SplineDialogTest, PointListsRoundTripThroughTheFileMenu) {
    SplineDialog& d = open();
    const std::vector<std::pair<double, double>> pts = {
        {10, -32767}, {400, 123}, {n / 2.0, 32767}, {static_cast<double>(n - 1), 0}};
    for (auto [x, y] : pts)
        addPoint(x, y);
    for (const char* name : {"points.csv", "points.prn", "points.tsv"}) {
        const QString path = dir.filePath(QLatin1String(name));
        prompts.clear();
        prompts.fileNames = {path};
        d.Menu_FileSave->trigger();
        ASSERT_TRUE(QFile::exists(path)) << name;
        EXPECT_TRUE(prompts.boxes.empty());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        EXPECT_EQ(text.count(QStringLiteral("\r\n")), 4);
        EXPECT_TRUE(text.startsWith(units().Point_To_XTextLong(10) + Point_List_Separator(path) +
                                    units().Word_To_YText(-32767)))
            << text.toStdString();

        d.Btn_AllClear->click();
        ASSERT_EQ(points().SplineCount(), 0);
        prompts.fileNames = {path};
        d.Menu_FileOpen->trigger();
        EXPECT_TRUE(prompts.boxes.empty());
        ASSERT_EQ(points().SplineCount(), 4) << name;
        for (size_t i = 0; i < pts.size(); ++i) {
            EXPECT_EQ(points().SplineX(static_cast<int>(i)), pts[i].first);
            EXPECT_EQ(points().SplineY(static_cast<int>(i)), pts[i].second);
        }
        EXPECT_EQ(d.gridRowCount(), 4);
        EXPECT_EQ(d.gridText(4, 1), units().Point_To_XTextLong(n - 1));
        EXPECT_EQ(doc().TextFileName, path);
    }

    // A name typed without an extension takes the chosen file type's.
    for (const auto& [chosen, written] : {std::pair{2, "typed.csv"}, {1, "typed.tsv"}}) {
        prompts.clear();
        prompts.fileNames = {dir.filePath(QStringLiteral("typed"))};
        prompts.chosenFilters = {chosen};
        d.Menu_FileSave->trigger();
        EXPECT_TRUE(QFile::exists(dir.filePath(QLatin1String(written)))) << written;
    }

    // A file that is not there: message 71 and the points stay.
    prompts.clear();
    prompts.fileNames = {dir.filePath(QStringLiteral("missing.csv"))};
    d.Menu_FileOpen->trigger();
    EXPECT_EQ(prompts.boxTexts(), QStringList{GetMessage(71)});
    EXPECT_EQ(points().SplineCount(), 4);

    // An empty table writes no file.
    d.Btn_AllClear->click();
    const QString none = dir.filePath(QStringLiteral("none.csv"));
    prompts.fileNames = {none};
    d.Menu_FileSave->trigger();
    EXPECT_FALSE(QFile::exists(none));
}

TEST_F(SplineDialogTest, AListLongerThanTheTableStopsAtTheFirstPointRefused) {
    SplineDialog& d = open();
    const QString path = dir.filePath(QStringLiteral("long.csv"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (int i = 0; i < kSplineCapacity + 10; ++i)
            f.write(QStringLiteral("%1,%2\r\n").arg(i).arg(i % 100).toUtf8());
    }
    prompts.fileNames = {path};
    d.Menu_FileOpen->trigger();
    EXPECT_EQ(prompts.boxTexts(), QStringList{SplineFullText()});
    EXPECT_EQ(points().SplineCount(), kSplineCapacity);
    EXPECT_EQ(d.gridRowCount(), kSplineGridRows);
    EXPECT_EQ(d.gridText(kSplineGridRows, 1), units().Point_To_XTextLong(kSplineGridRows - 1));
}

TEST_F(SplineDialogTest, CaptionsPositionAndHelp) {
    SplineDialog& d = open();
    EXPECT_TRUE(applyCaptions(&d, SplineCaptions()).isEmpty());
    EXPECT_EQ(d.Btn_Spline[2]->text(), QStringLiteral("&Cont Spline"));
    EXPECT_EQ(d.Frame_Spline->title(), QStringLiteral("Interpolation"));
    // Not placed before: beside the main window, or at the right edge of a
    // screen too narrow for that.
    const QRect avail = d.screen()->availableGeometry();
    const int beside = window->frameGeometry().right() + 1;
    if (beside + d.frameGeometry().width() <= avail.right() + 1)
        EXPECT_EQ(d.x(), beside);
    else
        EXPECT_EQ(d.frameGeometry().right(), avail.right());

    // Help: file 2 of the current language.
    QStringList opened;
    window->helpFiles().setOpener([&](const QString& path) {
        opened << path;
        return true;
    });
    d.Btn_Help->click();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].endsWith(QStringLiteral("7731SPNE.hlp")));

    // The position is kept in twips and used at the next opening.
    d.move(140, 90);
    QTest::qWait(0);
    const QPoint placed = d.pos();
    d.Btn_Exit->click();
    EXPECT_EQ(program->Registry->FormLeft(QStringLiteral("SplineDialog")),
              pixelsToTwips(placed.x(), screenDpiX()));
    EXPECT_EQ(program->Registry->FormTop(QStringLiteral("SplineDialog")),
              pixelsToTwips(placed.y(), screenDpiY()));
    d.move(500, 400);

    Set_Language(false);
    open();
    EXPECT_EQ(d.pos(), placed);
    EXPECT_EQ(d.windowTitle(), QString::fromUtf8("VELDA - 補間編集"));
    EXPECT_EQ(d.Btn_Add->text(), QString::fromUtf8("追加(&A)"));
    EXPECT_EQ(d.Menu_FileOpen->text(), QString::fromUtf8("開く(&O)..."));
    EXPECT_EQ(d.Label_Point->text(), QString::fromUtf8("ﾎﾟｲﾝﾄ"));
}

TEST_F(SplineDialogTest, ExitingTheProgramClosesTheDialog) {
    SplineDialog& d = open();
    prompts.answers = {Answer::Yes};
    ASSERT_TRUE(window->Form_QueryUnload(UnloadMode::User));
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(program->ActiveTool, ToolNone);
}

// With VELDA_SHOT_DIR set, a picture of the main window and the dialog with
// a few points and the curve through them is written there.
TEST_F(SplineDialogTest, Screenshot) {
    const QString shots = qEnvironmentVariable("VELDA_SHOT_DIR");
    if (shots.isEmpty())
        GTEST_SKIP() << "VELDA_SHOT_DIR not set";
    window->move(0, 0);
    SplineDialog& d = open();
    const std::vector<std::pair<double, double>> pts = {{0, 0},
                                                        {n * 0.2, 20000},
                                                        {n * 0.45, -6000},
                                                        {n * 0.7, -22000},
                                                        {static_cast<double>(n), 0}};
    for (auto [x, y] : pts)
        addPoint(x, y);
    d.Btn_Spline[2]->click();
    points().GridRowSelect(3);
    QTest::qWait(300);
    QScreen* screen = QGuiApplication::primaryScreen();
    QPixmap all = screen ? screen->grabWindow(0) : QPixmap();
    QDir().mkpath(shots);
    if (!all.isNull())
        all.save(QDir(shots).filePath(QStringLiteral("spline_screen.png")));
    window->grab().save(QDir(shots).filePath(QStringLiteral("spline_main.png")));
    d.grab().save(QDir(shots).filePath(QStringLiteral("spline_dialog.png")));
}

} // namespace
