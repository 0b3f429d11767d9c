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

QSize SurfaceWidget::pictureSize() const {
    return size().expandedTo(QSize(1, 1));
}

bool SurfaceWidget::sizeChanged() const {
    return picture_.size() != pictureSize();
}

void SurfaceWidget::ensureSize() {
    if (sizeChanged()) {
        picture_ = QImage(pictureSize(), QImage::Format_ARGB32_Premultiplied);
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

// The owner's paint handler runs before the picture takes the new size, so it
// can still see that the size changed and draw the picture again.
void SurfaceWidget::paintEvent(QPaintEvent*) {
    if (onPaint)
        onPaint();
    ensureSize();
    QPainter p(this);
    p.drawImage(0, 0, picture_);
}

// A resize only asks for a repaint; the paint redraws at the new size.
void SurfaceWidget::resizeEvent(QResizeEvent*) {
    if (onResize)
        onResize();
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
