#pragma once
// A drawing surface measured in pixels. Drawing goes into a backing picture
// that persists between paints, so markers can be drawn and erased in invert
// mode as on a retained surface; paint events only show the picture.

#include <QImage>
#include <QWidget>
#include <functional>

class QPainter;

namespace velda {

class SurfaceWidget : public QWidget {
    Q_OBJECT
public:
    explicit SurfaceWidget(QWidget* parent = nullptr);

    // The backing picture, sized to the widget.
    QImage& picture();
    // Clears the picture to the background colour.
    void clearPicture();
    // True while the picture has not yet followed a change of the widget's
    // size (the owner must draw it again).
    bool sizeChanged() const;

    // Called from paintEvent before the picture is shown (the owner redraws);
    // sizeChanged() still tells whether the size changed since the last draw.
    std::function<void()> onPaint;
    // Called when the surface changes size (the owner marks it for redraw).
    std::function<void()> onResize;

signals:
    void mousePressed(QMouseEvent* e);
    void mouseMoved(QMouseEvent* e);
    void mouseReleased(QMouseEvent* e);
    void keyPressed(QKeyEvent* e);

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;

private:
    QSize pictureSize() const;
    void ensureSize();
    QImage picture_;
};

} // namespace velda
