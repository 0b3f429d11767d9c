#include "document/SurfaceWidget.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace velda {

namespace {
const QColor kBackground(Qt::black);
}

SurfaceWidget::SurfaceWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
}

void SurfaceWidget::ensureSize() {
    const QSize s = size().expandedTo(QSize(1, 1));
    if (picture_.size() != s) {
        picture_ = QImage(s, QImage::Format_ARGB32_Premultiplied);
        picture_.fill(kBackground);
    }
}

QImage& SurfaceWidget::picture() {
    ensureSize();
    return picture_;
}

void SurfaceWidget::clearPicture() {
    picture().fill(kBackground);
}

void SurfaceWidget::paintEvent(QPaintEvent*) {
    ensureSize();
    if (onPaint)
        onPaint();
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

// A resize only asks for a repaint; the paint redraws at the new size.
void SurfaceWidget::resizeEvent(QResizeEvent*) {
    update();
}

void SurfaceWidget::mousePressEvent(QMouseEvent* e) {
    emit mousePressed(e);
}
void SurfaceWidget::mouseMoveEvent(QMouseEvent* e) {
    emit mouseMoved(e);
}
void SurfaceWidget::mouseReleaseEvent(QMouseEvent* e) {
    emit mouseReleased(e);
}
void SurfaceWidget::keyPressEvent(QKeyEvent* e) {
    emit keyPressed(e);
    if (!e->isAccepted())
        QWidget::keyPressEvent(e);
}

} // namespace velda
