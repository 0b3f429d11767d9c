// The main window's editing: marker fields, marker drags, digital-bit
// commands and the digital view's mouse.
#include "app/Messages.h"
#include "app/Program.h"
#include "document/MainWindow.h"
#include "document/SurfaceWidget.h"
#include "engine/digital_pattern.h"
#include "engine/wavelb32_draw.h"
#include "tools/SplineDialog.h"
#include "units/NumberText.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cmath>
#include <utility>

namespace velda {

namespace {
constexpr int kArmDistance = 10; // pixels from a marker that arm its drag

// Control points are picked on the pixel they are drawn on (Spline_Draw's
// rounding), so a press on the drawn cross's centre finds its point.
PixelMapping drawnPixels(const ViewState& v, int w, int h, int32_t n) {
    return {[&v, w, n](double p) { return static_cast<double>(v.PointToPixelX(p, w, n)); },
            [&v, h](double word) { return static_cast<double>(v.WordToPixelY(word, h)); }};
}
} // namespace

// --- Marker fields ---------------------------------------------------------

void MainWindow::Txt_Start_X_LostFocus() {
    WaveDocument& doc = prog_.Document;
    const UnitContext& u = prog_.Units;
    WaveArea& area = doc.CurArea();
    const double n = doc.N();
    double v = Eng_Val(Txt_Start_X->text());
    if (!u.Clamp_X(v, prog_.Setup.Param.XUnitMode)) {
        Txt_Start_X->setText(u.Point_To_XText(area.StartX));
        return;
    }
    const double a = u.X_To_Point(v);
    if (!TrackScope) {
        if (a > area.EndX) {
            Txt_Start_X->setText(u.Point_To_XText(area.StartX));
            return;
        }
        area.StartX = a;
        ScopeWidth = doc.Area_Width();
    } else {
        if (a + ScopeWidth <= n) {
            area.StartX = a;
            area.EndX = a + ScopeWidth;
        } else {
            area.StartX = n - ScopeWidth;
            area.EndX = n;
        }
        ScopeWidth = doc.Area_Width();
        SetText_MarkB();
    }
    SetText_MarkA();
    Draw_Wave();
}

void MainWindow::Txt_End_X_LostFocus() {
    WaveDocument& doc = prog_.Document;
    const UnitContext& u = prog_.Units;
    WaveArea& area = doc.CurArea();
    double v = Eng_Val(Txt_End_X->text());
    if (!u.Clamp_X(v, prog_.Setup.Param.XUnitMode)) {
        Txt_End_X->setText(u.Point_To_XText(area.EndX));
        return;
    }
    const double b = u.X_To_Point(v);
    if (!TrackScope) {
        if (b < area.StartX) {
            Txt_End_X->setText(u.Point_To_XText(area.EndX));
            return;
        }
        area.EndX = b;
    } else if (b - ScopeWidth < 0) {
        area.StartX = 0;
        area.EndX = ScopeWidth;
    } else {
        area.StartX = b - ScopeWidth;
        area.EndX = b;
    }
    ScopeWidth = doc.Area_Width();
    SetText_MarkA();
    SetText_MarkB();
    Draw_Wave();
}

void MainWindow::Txt_Scope_LostFocus() {
    WaveDocument& doc = prog_.Document;
    WaveArea& area = doc.CurArea();
    const double n = doc.N();
    // A distance, not a position: converted without the X unit's start.
    ScopeWidth = prog_.Units.XSpan_To_Point(Eng_Val(Txt_Scope->text()));
    if (ScopeWidth > n)
        ScopeWidth = n;
    if (area.StartX + ScopeWidth > n)
        ScopeWidth = n - area.StartX;
    area.EndX = area.StartX + ScopeWidth;
    SetText_MarkB();
    Draw_Wave();
}

void MainWindow::Opt_Scope_Click(int index) {
    TrackScope = index != 0;
}

QAction* MainWindow::editCommandFor(const QKeyEvent* key) const {
    if (key->matches(QKeySequence::Cut))
        return Menu_Cut;
    if (key->matches(QKeySequence::Copy))
        return Menu_Copy;
    if (key->matches(QKeySequence::Paste))
        return Menu_Paste;
    if (key->matches(QKeySequence::Undo))
        return Menu_Undo;
    return nullptr;
}

// The clipboard and undo keys typed in a field run the Edit menu's commands,
// which decide by the focus what they act on; a field's own handling would
// put its text on the system clipboard or paste the waveform's numbers as
// text. Tab or Enter in a marker field is swallowed and moves the focus on;
// the field applies its value when it loses the focus.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const bool keyEvent =
        event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress;
    if (keyEvent && qobject_cast<QLineEdit*>(watched)) {
        if (QAction* command = editCommandFor(static_cast<QKeyEvent*>(event))) {
            // Taken as a key press here, so the command runs once and only
            // while the Edit menu could run it.
            event->accept();
            if (event->type() == QEvent::KeyPress && command->isEnabled() && Menu_Edit->isEnabled())
                command->trigger();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        const bool next = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Return ||
                          key->key() == Qt::Key_Enter;
        if (next && key->modifiers() == Qt::NoModifier) {
            QWidget* target = nullptr;
            if (watched == Txt_Scope)
                target = Txt_Start_X;
            else if (watched == Txt_Start_X)
                target = Txt_End_X;
            else if (watched == Txt_End_X)
                target = Frm_Digital->isHidden() ? static_cast<QWidget*>(Comb_YZoom)
                                                 : static_cast<QWidget*>(Btn_Pattern[0]);
            if (target) {
                target->setFocus(Qt::TabFocusReason);
                return true;
            }
        }
    } else if (event->type() == QEvent::FocusIn) {
        // Entering a marker field or the pattern field selects its whole text.
        if (watched == Txt_Start_X || watched == Txt_End_X || watched == Txt_Scope ||
            watched == Txt_Pattern)
            QTimer::singleShot(0, static_cast<QLineEdit*>(watched), &QLineEdit::selectAll);
    } else if (event->type() == QEvent::FocusOut) {
        if (watched == Txt_Start_X)
            Txt_Start_X_LostFocus();
        else if (watched == Txt_End_X)
            Txt_End_X_LostFocus();
        else if (watched == Txt_Scope)
            Txt_Scope_LostFocus();
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- Digital-bit commands --------------------------------------------------

void MainWindow::Btn_Pattern_Click(int index) {
    WaveDocument& doc = prog_.Document;
    if (doc.Area_Width() == 0 || (index < 3 && DigitalMask == 0))
        return;
    QString expression;
    if (index < 3) {
        static const char* const kTails[3] = {" 0L", " 0H", " 0N"};
        expression = QStringLiteral("Mask $") +
                     QString::number(reverse_bit(DigitalMask), 16).toUpper() +
                     QLatin1String(kTails[index]);
    } else {
        expression = Txt_Pattern->text();
        if (expression.isEmpty())
            return;
    }
    doc.Save_Undo();
    int32_t further = 0;
    const QByteArray text = expression.toLocal8Bit();
    int32_t r = DigitalPattern(text.constData(), Round_Even(doc.CurArea().StartX), doc.CurrentBuf(),
                               Round_Even(doc.Area_Width()), further);
    if (r != 0) {
        if (r < 110 || r > 118)
            r = 118;
        ShowError(r);
        return;
    }
    Draw_Wave();
    SetText_MarkA();
    SetText_MarkB();
}

// --- Mouse ------------------------------------------------------------------

void MainWindow::Pict_Wave_MouseDown(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    if (prog_.ActiveTool == ToolSpline) {
        // Pick the control point under the pointer; it may then be dragged.
        splineDrag_ = {};
        const ViewState& v = prog_.View;
        const int w = Pict_Wave->width();
        const int h = Pict_Wave->height();
        const double px = std::floor(e->position().x());
        int found = 0;
        prog_.Spline.Change_Spline_Select(v.PixelToPointX(px, w),
                                          v.PointerWordY(e->position().y(), h),
                                          drawnPixels(v, w, h, prog_.Document.N()), found);
        const int i = prog_.Spline.SelectedIndex();
        if (found && i >= 0)
            splineDrag_ = {i + 1, false, prog_.Spline.SplineX(i), prog_.Spline.SplineY(i)};
        Draw_Wave();
        return;
    }
    dragMarker_ = armedMarker_;
}

void MainWindow::Pict_Wave_MouseMoved(QMouseEvent* e) {
    Pict_Wave_MouseMove(e);
    if (prog_.ActiveTool == ToolSpline) {
        if (splineDrag_.row > 0 && (e->buttons() & Qt::LeftButton)) {
            const ViewState& v = prog_.View;
            splineDrag_.moved = true;
            splineDrag_.x = std::clamp(v.PixelToPointX(e->position().x(), Pict_Wave->width()), 0.0,
                                       static_cast<double>(prog_.Document.N()));
            splineDrag_.y = std::clamp(v.PointerWordY(e->position().y(), Pict_Wave->height()),
                                       -32767.0, 32767.0);
            Draw_Wave();
        }
        return;
    }
    WaveDocument& doc = prog_.Document;
    WaveArea& area = doc.CurArea();
    const ViewState& v = prog_.View;
    const int w = Pict_Wave->width();
    const int32_t n = doc.N();
    const double x = e->position().x();
    if (dragMarker_ == 0) {
        const double colB = static_cast<double>(v.PointToPixelX(area.EndX, w, n));
        const double colA = static_cast<double>(v.PointToPixelX(area.StartX, w, n));
        if (std::abs(x - colB) < kArmDistance)
            armedMarker_ = 2;
        else if (std::abs(x - colA) < kArmDistance)
            armedMarker_ = 1;
        else
            armedMarker_ = 0;
        Pict_Wave->setCursor(armedMarker_ ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    const double p = static_cast<double>(Round_Even(v.PixelToPointX(x, w)));
    const double pn = std::clamp(p, 0.0, static_cast<double>(n));
    if (dragMarker_ == 1) {
        if (pn > area.EndX)
            return;
        area.StartX = pn;
        if (TrackScope) {
            area.EndX = area.StartX + ScopeWidth;
            if (area.EndX >= n) {
                area.EndX = n;
                area.StartX = n - ScopeWidth;
            }
            SetText_MarkB();
        } else {
            ScopeWidth = doc.Area_Width();
        }
        SetText_MarkA();
    } else {
        if (pn < area.StartX)
            return;
        area.EndX = pn;
        if (TrackScope) {
            area.StartX = area.EndX - ScopeWidth;
            if (area.StartX < 0) {
                area.StartX = 0;
                area.EndX = ScopeWidth;
            }
        } else {
            ScopeWidth = doc.Area_Width();
        }
        SetText_MarkA();
        SetText_MarkB();
    }
    Move_Marker();
}

void MainWindow::Pict_Wave_MouseUp(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    dragMarker_ = 0;
    if (prog_.ActiveTool != ToolSpline || splineDrag_.row == 0 || !splineDialog_)
        return;
    const SplineDrag drag = splineDrag_;
    splineDrag_ = {};
    ControlPoints& points = prog_.Spline;
    if (drag.moved) {
        // The dialog takes the new place as if it had been typed.
        splineDialog_->Set_Point_Text(drag.x, drag.y);
        splineDialog_->Move_Point(drag.row);
    } else if (drag.row <= points.SplineCount()) {
        // A press without a move only selects: the point keeps its exact place.
        splineDialog_->Set_Point_Text(points.SplineX(drag.row - 1), points.SplineY(drag.row - 1));
        points.GridRowSelect(drag.row);
    }
    Draw_Wave();
}

int MainWindow::digitalBitAt(int y) const {
    const engine::DigitalLayout layout = engine::digitalLayout(Pict_Digital->height());
    if (!layout.usable || y < layout.traceTop0 || layout.traceHeight <= 0)
        return -1;
    return (y - layout.traceTop0) / layout.traceHeight;
}

void MainWindow::Pict_Digital_MouseDown(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    const WaveArea& area = prog_.Document.CurArea();
    const ViewState& v = prog_.View;
    const int w = Pict_Digital->width();
    const int32_t n = prog_.Document.N();
    const double x = e->position().x();
    const int k = digitalBitAt(static_cast<int>(e->position().y()));
    const bool onBit = k >= 0 && k < 16;
    if (e->modifiers() & Qt::ControlModifier) {
        if (onBit)
            DigitalMask |= 1 << k;
    } else if (!(e->modifiers() & Qt::ShiftModifier)) {
        const double colA = static_cast<double>(v.PointToPixelX(area.StartX, w, n));
        const double colB = static_cast<double>(v.PointToPixelX(area.EndX, w, n));
        if (onBit && x >= colA - kArmDistance && x <= colB + kArmDistance) {
            DigitalMask = 1 << k;
            digitalSource_ = 1 << k;
        } else {
            DigitalMask = 0;
            digitalSource_ = 0;
        }
    }
    KeepPicture = true;
    Draw_Wave();
}

void MainWindow::Pict_Digital_MouseUp(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton)
        return;
    WaveDocument& doc = prog_.Document;
    const WaveArea& area = doc.CurArea();
    const int k = digitalBitAt(static_cast<int>(e->position().y()));
    const double p = static_cast<double>(
        Round_Even(prog_.View.PixelToPointX(e->position().x(), Pict_Digital->width())));
    // A release ends the drag wherever it is: a source left armed would turn
    // a later Ctrl- or Shift-click into a copy of that bit.
    const int source = std::exchange(digitalSource_, 0);
    if (source != 0 && k >= 0 && k < 16 && (1 << k) != source && area.StartX < p && p < area.EndX) {
        doc.Save_Undo();
        KeepPicture = false;
        W_CopyBitDigital(doc.CurrentBuf(), area.StartX, doc.Area_Width(), reverse_bit(source),
                         reverse_bit(1 << k));
        DigitalMask = 1 << k;
        SetText_MarkA();
        SetText_MarkB();
    }
    KeepPicture = false;
    Draw_Wave();
}

void MainWindow::connectEdit() {
    for (QLineEdit* field : findChildren<QLineEdit*>())
        field->installEventFilter(this);
    for (int i = 0; i < 2; ++i)
        connect(Opt_Scope[i], &QRadioButton::clicked, this, [this, i] { Opt_Scope_Click(i); });
    for (int i = 0; i < 4; ++i)
        connect(Btn_Pattern[i], &QPushButton::clicked, this, [this, i] { Btn_Pattern_Click(i); });
    auto* wave = static_cast<SurfaceWidget*>(Pict_Wave);
    connect(wave, &SurfaceWidget::mousePressed, this, &MainWindow::Pict_Wave_MouseDown);
    connect(wave, &SurfaceWidget::mouseMoved, this, &MainWindow::Pict_Wave_MouseMoved);
    connect(wave, &SurfaceWidget::mouseReleased, this, &MainWindow::Pict_Wave_MouseUp);
    // Backspace over the view deletes the selected control point.
    connect(wave, &SurfaceWidget::keyPressed, this, [this](QKeyEvent* e) {
        if (e->key() == Qt::Key_Backspace && prog_.ActiveTool == ToolSpline && splineDialog_ &&
            prog_.Spline.SelectedIndex() >= 0)
            splineDialog_->Btn_Delete_Click();
    });
    auto* digital = static_cast<SurfaceWidget*>(Pict_Digital);
    connect(digital, &SurfaceWidget::mousePressed, this, &MainWindow::Pict_Digital_MouseDown);
    connect(digital, &SurfaceWidget::mouseReleased, this, &MainWindow::Pict_Digital_MouseUp);
    connect(digital, &SurfaceWidget::mouseMoved, this, [this](QMouseEvent* e) {
        Txt_Cur_X[1]->setText(prog_.Units.Point_To_XText(
            prog_.View.PixelToPointX(e->position().x(), Pict_Digital->width())));
    });
}

} // namespace velda
