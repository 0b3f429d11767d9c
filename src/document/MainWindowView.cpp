// The main window's views: drawing, zoom, scroll and read-outs.
#include "app/Captions.h"
#include "app/Program.h"
#include "document/MainWindow.h"
#include "document/SurfaceWidget.h"
#include "engine/wavelb32_draw.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>

namespace velda {

namespace {
constexpr uint32_t kCurveColor = 0xFF0000;    // light blue (0xBBGGRR)
constexpr uint32_t kZeroLineColor = 0xFFFFFF; // white
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kLightCyan = 0xFFFF00;
constexpr uint32_t kLightRed = 0x0000FF;

SurfaceWidget* surface(QWidget* w) {
    return static_cast<SurfaceWidget*>(w);
}
} // namespace

void MainWindow::Draw_Wave() {
    if (!DrawEnabled) {
        DrawEnabled = true;
        return;
    }
    // The picture is rendered by the paint handler; requests made in one
    // command are joined into one redraw.
    if (Frm_Digital->isHidden()) {
        analogDirty_ = true;
        Pict_Wave->update();
    } else {
        digitalDirty_ = true;
        Pict_Digital->update();
    }
}

void MainWindow::Render_Analog() {
    analogDirty_ = false;
    if (!prog_.Document.CurrentBuf())
        return;
    SurfaceWidget* pict = surface(Pict_Wave);
    QImage& picture = pict->picture();
    if (!KeepPicture)
        pict->clearPicture();
    const int w = picture.width();
    const int h = picture.height();
    const ViewState& v = prog_.View;
    {
        QPainter painter(&picture);
        Draw_Grid_Wave(painter, w, h);
        painter.setPen(engine::bgrColor(kCurveColor));
        // A view that ends before the waveform draws on to its next point.
        W_DrawWave2(&painter, prog_.Document.CurrentBuf(), v.ViewXStart, v.ViewYStart,
                    v.ViewXEnd - v.ViewXStart, v.ViewYEnd - v.ViewYStart, w, h,
                    v.ViewXEnd < prog_.Document.N());
        Spline_Draw(painter, w, h);
    }
    markColumnA_ = markColumnB_ = -1;
    Draw_Marker(picture);
}

void MainWindow::Render_Digital() {
    digitalDirty_ = false;
    if (!prog_.Document.CurrentBuf())
        return;
    SurfaceWidget* pict = surface(Pict_Digital);
    QImage& picture = pict->picture();
    pict->clearPicture();
    const ViewState& v = prog_.View;
    const WaveArea& area = prog_.Document.CurArea();
    {
        QPainter painter(&picture);
        W_DrawDigitalPattern(&painter, prog_.Document.CurrentBuf(), v.ViewXStart,
                             v.ViewXEnd - v.ViewXStart, prog_.Setup.Param.ModelWord116,
                             reverse_bit(DigitalMask), area.StartX, area.EndX, picture.width(),
                             picture.height(), kCurveColor, kBlack, kLightCyan, 0x8000);
    }
    markColumnA_ = markColumnB_ = -1;
    if (!KeepPicture)
        Draw_Marker(picture);
}

void MainWindow::Draw_Grid_Wave(QPainter& painter, int width, int height) {
    if (Menu_Grid->isChecked() && grid_)
        grid_->Drow(&painter, width, height);
    const ViewState& v = prog_.View;
    if (v.zeroLineShown(height)) {
        painter.setPen(engine::bgrColor(kZeroLineColor));
        W_DrawGrid2(&painter, v.ViewYStart, v.ViewYEnd - v.ViewYStart, width, height);
    }
}

// Markers are vertical lines in invert mode: drawing one again at the same
// column erases it. They are inverted against magenta rather than white, so
// a marker shows magenta on the background and never takes the colour of
// what it crosses: over the grey grid it turns green, over the white zero
// line bright green, over the blue curve red. Inverted against white it
// looked like a grid or zero line.
constexpr uint32_t kMarkerXor = 0xFF00FF; // magenta (0xBBGGRR)

static void invertColumn(QImage& picture, int column) {
    if (column < 0 || column >= picture.width())
        return;
    QPainter p(&picture);
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(engine::bgrColor(kMarkerXor));
    p.drawLine(column, 0, column, picture.height() - 1);
}

void MainWindow::Draw_Marker(QImage& picture) {
    const WaveArea& area = prog_.Document.CurArea();
    const int w = picture.width();
    markColumnA_ = prog_.View.markerColumn(area.StartX, w);
    markColumnB_ = prog_.View.markerColumn(area.EndX, w);
    invertColumn(picture, markColumnA_);
    if (markColumnB_ != markColumnA_)
        invertColumn(picture, markColumnB_);
}

void MainWindow::Move_Marker() {
    SurfaceWidget* pict = surface(Frm_Digital->isHidden() ? Pict_Wave : Pict_Digital);
    QImage& picture = pict->picture();
    invertColumn(picture, markColumnA_);
    if (markColumnB_ != markColumnA_)
        invertColumn(picture, markColumnB_);
    Draw_Marker(picture);
    pict->update();
}

void MainWindow::Spline_Draw(QPainter& painter, int width, int height) {
    const ControlPoints& cp = prog_.Spline;
    const int selected = cp.SelectedIndex();
    const ViewState& v = prog_.View;
    const int32_t n = prog_.Document.N();
    for (int i = 0; i < cp.SplineCount(); ++i) {
        // A point being dragged is drawn where the pointer has taken it.
        const bool dragged = splineDrag_.moved && i == splineDrag_.row - 1;
        const double x = dragged ? splineDrag_.x : cp.SplineX(i);
        const double y = dragged ? splineDrag_.y : cp.SplineY(i);
        if (x < v.ViewXStart || x > v.ViewXEnd || 32767 - y < v.ViewYStart ||
            32767 - y > v.ViewYEnd + 1)
            continue;
        const int c = static_cast<int>(v.PointToPixelX(x, width, n));
        const int r = static_cast<int>(v.WordToPixelY(y, height));
        painter.setPen(engine::bgrColor(i == selected ? kLightRed : kLightCyan));
        painter.drawLine(c - 3, r, c + 4, r);
        painter.drawLine(c, r - 3, c, r + 4);
    }
}

void MainWindow::applyScrollSetting(QScrollBar* bar, const ScrollBarSetting& s) {
    const QSignalBlocker block(bar);
    bar->setRange(s.minimum, s.maximum);
    bar->setPageStep(s.pageStep);
    bar->setValue(s.value);
    bar->setEnabled(s.enabled);
}

void MainWindow::Set_XLabels() {
    const UnitContext& u = prog_.Units;
    const QString unit = u.X_Unit_Name();
    for (int i = 0; i < 2; ++i) {
        Label_Start[i]->setText(u.Point_To_XText(prog_.View.ViewXStart) + unit);
        Label_End[i]->setText(u.Point_To_XText(prog_.View.ViewXEnd) + unit);
    }
}

void MainWindow::Set_YLabels() {
    const UnitContext& u = prog_.Units;
    const ViewState& v = prog_.View;
    const QString unit = u.Y_Unit_Name();
    Label_W_Max->setText(u.Word_To_YText(32767 - v.ViewYStart) + unit);
    Label_W_Min->setText(u.Word_To_YText(32767 - v.ViewYEnd) + unit);
    Label_W_Offs->setText(u.Word_To_YText(v.middleWord()) + unit);
}

void MainWindow::Comb_XZoom_Click(int index) {
    if (ListFilling())
        return;
    const int k = std::max(0, Comb_XZoom[index]->currentIndex());
    {
        const QSignalBlocker block(Comb_XZoom[1 - index]);
        Comb_XZoom[1 - index]->setCurrentIndex(k);
    }
    // The scroll bars are set without their own notifications, so the zoom
    // ends in exactly one redraw.
    const ScrollBarSetting s = prog_.View.zoomX(k, HScroll[index]->value(), prog_.Document.N());
    for (QScrollBar* bar : HScroll)
        applyScrollSetting(bar, s);
    Set_XLabels();
    Draw_Wave();
}

void MainWindow::Hrizontal_Scroll(int index) {
    const int v = HScroll[index]->value();
    if (!prog_.View.scrollX(v, prog_.Document.N()))
        return;
    {
        const QSignalBlocker block(HScroll[1 - index]);
        HScroll[1 - index]->setValue(v);
    }
    Set_XLabels();
    Draw_Wave();
}

void MainWindow::Comb_YZoom_Click() {
    if (ListFilling())
        return;
    const int k = std::max(0, Comb_YZoom->currentIndex());
    applyScrollSetting(VScroll, prog_.View.zoomY(k, VScroll->value()));
    Set_YLabels();
    Draw_Wave();
}

void MainWindow::Vertical_Scroll() {
    prog_.View.scrollY(VScroll->value());
    Set_YLabels();
    Draw_Wave();
}

void MainWindow::Opt_DspSel_Click(int index) {
    const bool digital = index != 0;
    Frm_Digital->setVisible(digital);
    Frm_Wave->setVisible(!digital);
    Opt_DlgSel[2]->setEnabled(!digital);
    Menu_Spline->setEnabled(!digital);
    for (QRadioButton* r : Opt_DlgSel)
        r->setFocusPolicy(Qt::NoFocus);
    Draw_Wave();
}

void MainWindow::Pict_Wave_MouseMove(QMouseEvent* e) {
    const ViewState& v = prog_.View;
    const UnitContext& u = prog_.Units;
    const QPointF pos = e->position();
    Txt_Cur_X[0]->setText(u.Point_To_XText(v.PixelToPointX(pos.x(), Pict_Wave->width())));
    Txt_Cur_Y->setText(u.Word_To_YText(v.PointerWordY(pos.y(), Pict_Wave->height())));
}

void MainWindow::connectView() {
    surface(Pict_Wave)->onPaint = [this] {
        if (analogDirty_ || surface(Pict_Wave)->sizeChanged())
            Render_Analog();
    };
    surface(Pict_Digital)->onPaint = [this] {
        if (digitalDirty_ || surface(Pict_Digital)->sizeChanged())
            Render_Digital();
    };
    // A resized surface is drawn again at its new size.
    surface(Pict_Wave)->onResize = [this] { analogDirty_ = true; };
    surface(Pict_Digital)->onResize = [this] { digitalDirty_ = true; };
    for (int i = 0; i < 2; ++i) {
        connect(Comb_XZoom[i], &QComboBox::currentIndexChanged, this,
                [this, i] { Comb_XZoom_Click(i); });
        connect(HScroll[i], &QScrollBar::valueChanged, this, [this, i] { Hrizontal_Scroll(i); });
        connect(Opt_DspSel[i], &QRadioButton::clicked, this, [this, i] { Opt_DspSel_Click(i); });
    }
    connect(Comb_YZoom, &QComboBox::currentIndexChanged, this, &MainWindow::Comb_YZoom_Click);
    connect(VScroll, &QScrollBar::valueChanged, this, &MainWindow::Vertical_Scroll);
}

} // namespace velda
