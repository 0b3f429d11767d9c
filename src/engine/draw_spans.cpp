#include "engine/draw_spans.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <climits>
#include <cmath>

namespace velda::engine {

ColumnSpans::ColumnSpans(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      top_(static_cast<size_t>(width_), INT_MAX), bottom_(static_cast<size_t>(width_), INT_MIN) {}

void ColumnSpans::add(int c, int y0, int y1) {
    if (c < 0 || c >= width_)
        return;
    if (y0 > y1)
        std::swap(y0, y1);
    const auto i = static_cast<size_t>(c);
    top_[i] = std::min(top_[i], y0);
    bottom_[i] = std::max(bottom_[i], y1);
}

void ColumnSpans::addLine(int xa, int ya, int xb, int yb) {
    if (xa > xb) {
        std::swap(xa, xb);
        std::swap(ya, yb);
    }
    if (xa == xb || xb < 0 || xa >= width_) {
        add(xa, ya, yb);
        return;
    }
    // Row of the line at a given x, rounded to the nearest row.
    const double slope = static_cast<double>(yb - ya) / (xb - xa);
    const auto rowAt = [&](double x) {
        return static_cast<int>(std::floor(ya + slope * (x - xa) + 0.5));
    };
    const int from = std::max(xa, 0);
    const int to = std::min(xb, width_ - 1);
    for (int x = from; x <= to; ++x) {
        const double left = std::max(x - 0.5, static_cast<double>(xa));
        const double right = std::min(x + 0.5, static_cast<double>(xb));
        add(x, x == xa ? ya : rowAt(left), x == xb ? yb : rowAt(right));
    }
}

bool ColumnSpans::clipped(int c, int height, int& t, int& b) const {
    const auto i = static_cast<size_t>(c);
    t = std::max(top_[i], 0);
    b = std::min(bottom_[i], height - 1);
    return t <= b;
}

bool ColumnSpans::column(int c, int& top, int& bottom) const {
    return c >= 0 && c < width_ && clipped(c, height_, top, bottom);
}

int64_t ColumnSpans::pixels() const {
    int64_t n = 0;
    for (int c = 0; c < width_; ++c) {
        int t = 0, b = 0;
        if (column(c, t, b))
            n += b - t + 1;
    }
    return n;
}

std::optional<DirectImage> directImage(QPainter* painter, const QColor& color) {
    if (!painter || !painter->isActive() || color.alpha() != 255)
        return std::nullopt;
    QPaintDevice* device = painter->device();
    if (!device || device->devType() != QInternal::Image || !painter->paintEngine() ||
        painter->paintEngine()->type() != QPaintEngine::Raster)
        return std::nullopt;
    if (painter->deviceTransform().type() != QTransform::TxNone || painter->hasClipping() ||
        painter->opacity() != 1.0 ||
        painter->compositionMode() != QPainter::CompositionMode_SourceOver)
        return std::nullopt;
    auto* image = static_cast<QImage*>(device);
    const QImage::Format f = image->format();
    if (f != QImage::Format_ARGB32_Premultiplied && f != QImage::Format_ARGB32 &&
        f != QImage::Format_RGB32)
        return std::nullopt;
    // A shared image would be copied by bits(), leaving the painter drawing
    // into the old copy; only an image of its own is written directly.
    if (!image->isDetached() || image->bytesPerLine() % 4 != 0)
        return std::nullopt;
    DirectImage d;
    d.bits = reinterpret_cast<uint32_t*>(image->bits());
    d.stride = image->bytesPerLine() / 4;
    d.width = image->width();
    d.height = image->height();
    d.pixel = color.rgba(); // opaque: premultiplied and plain are the same
    return d;
}

int64_t ColumnSpans::runs() const {
    int64_t n = 0;
    bool prevOn = false;
    int pt = 0, pb = -1;
    for (int c = 0; c < width_; ++c) {
        int t = 0, b = -1;
        const bool on = column(c, t, b);
        if (on) {
            // Rows of this column that the column before did not have start a run.
            const int overlap = prevOn ? std::max(0, std::min(b, pb) - std::max(t, pt) + 1) : 0;
            n += (b - t + 1) - overlap;
        }
        prevOn = on;
        pt = t;
        pb = b;
    }
    return n;
}

void fillSpans(QPainter* painter, const ColumnSpans& spans, const QColor& color) {
    // Long row runs (dense, tall columns) are filled a row at a time; short
    // ones (thin or steep curves) a column at a time.
    const bool byRows = spans.runs() * 4 <= spans.pixels();
    if (const auto direct = directImage(painter, color)) {
        const int w = std::min(spans.width(), direct->width);
        const int h = std::min(spans.height(), direct->height);
        if (byRows) {
            spans.sweep(w, h, [&](int y, int x0, int x1) { direct->fillRow(y, x0, x1); });
            return;
        }
        for (int c = 0; c < w; ++c) {
            int t = 0, b = 0;
            if (!spans.column(c, t, b) || t >= h)
                continue;
            b = std::min(b, h - 1);
            uint32_t* p = direct->bits + direct->stride * t + c;
            for (int y = t; y <= b; ++y, p += direct->stride)
                *p = direct->pixel;
        }
        return;
    }
    // Through the painter: row runs as rectangles in one call, or one line
    // per column in one call.
    painter->setRenderHint(QPainter::Antialiasing, false);
    if (byRows) {
        std::vector<QRect> rects;
        spans.sweep(spans.width(), spans.height(),
                    [&](int y, int x0, int x1) { rects.emplace_back(x0, y, x1 - x0 + 1, 1); });
        painter->setPen(Qt::NoPen);
        painter->setBrush(color);
        painter->drawRects(rects.data(), static_cast<int>(rects.size()));
        return;
    }
    std::vector<QLine> lines;
    lines.reserve(static_cast<size_t>(spans.width()));
    for (int c = 0; c < spans.width(); ++c) {
        int t = 0, b = 0;
        if (spans.column(c, t, b))
            lines.emplace_back(c, t, c, b);
    }
    painter->setPen(QPen(color, 0));
    painter->setBrush(Qt::NoBrush);
    painter->drawLines(lines.data(), static_cast<int>(lines.size()));
}

} // namespace velda::engine
