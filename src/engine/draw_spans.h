#pragma once
// Fast filling for the drawing entry points. A curve is reduced to one run of
// rows per pixel column; the columns are then swept into horizontal runs, one
// per row and stretch of columns, which is the least work a raster surface
// can do for the shape (a row run is one memory fill; QPainter's one-pixel
// lines cost a span per pixel).

#include <QColor>
#include <QLine>
#include <QRect>
#include <algorithm>
#include <cstdint>
#include <cwchar>
#include <optional>
#include <vector>

class QPainter;

namespace velda::engine {

// Rows top[c]..bottom[c] (inclusive) of each column c; empty where top > bottom.
class ColumnSpans {
public:
    ColumnSpans(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    // Widens column c to include rows y0..y1 (either order); rows may lie
    // outside the surface and are cut when filled. Columns outside are ignored.
    void add(int c, int y0, int y1);
    // Adds the line from (xa, ya) to (xb, yb): in every column it crosses, the
    // rows it passes within that column's width, so the curve is connected.
    void addLine(int xa, int ya, int xb, int yb);

    // Row runs of the shape, cut to `height` rows and `width` columns:
    // out(y, x0, x1) with x0 <= x1 inclusive. Returns the number of runs.
    template <typename Sink> int64_t sweep(int width, int height, Sink&& out) const;

    // Rows of column c cut to the surface; false when it has none there.
    bool column(int c, int& top, int& bottom) const;
    // Number of pixels and of row runs (for choosing the cheaper way to draw).
    int64_t pixels() const;
    int64_t runs() const;

private:
    bool clipped(int c, int height, int& t, int& b) const;
    int width_;
    int height_;
    std::vector<int> top_;
    std::vector<int> bottom_;
};

// A 32-bit QImage a painter draws on with nothing in between (no transform,
// clipping, opacity or blending mode), so opaque pixels may be written into
// its memory directly. Empty for every other surface (printers, pixmaps,
// widgets, transformed painters) and for colours that are not opaque.
struct DirectImage {
    uint32_t* bits = nullptr;
    int64_t stride = 0; // in pixels
    int width = 0;
    int height = 0;
    uint32_t pixel = 0;
    void fillRow(int y, int x0, int x1) const {
        uint32_t* p = bits + stride * y + x0;
        const auto n = static_cast<size_t>(x1 - x0 + 1);
        // For long runs the C library's wide-character fill is a vectorised
        // 32-bit fill where wchar_t has 32 bits; a plain loop is not
        // vectorised at -O2, but beats the call for a few pixels.
        if constexpr (sizeof(wchar_t) == sizeof(uint32_t)) {
            if (n >= 32) {
                std::wmemset(reinterpret_cast<wchar_t*>(p), static_cast<wchar_t>(pixel), n);
                return;
            }
        }
        std::fill_n(p, n, pixel);
    }
};
std::optional<DirectImage> directImage(QPainter* painter, const QColor& color);

// Fills the shape in `color` on any painter (the painter's pen and brush are
// changed; callers save and restore around it). Width and height are those of
// the drawing; the direct path is used where it applies.
void fillSpans(QPainter* painter, const ColumnSpans& spans, const QColor& color);

template <typename Sink> int64_t ColumnSpans::sweep(int width, int height, Sink&& out) const {
    width = std::min(width, width_);
    if (width <= 0 || height <= 0)
        return 0;
    std::vector<int> open(static_cast<size_t>(height), -1);
    int64_t runs = 0;
    const auto closeRows = [&](int y0, int y1, int c) {
        for (int y = y0; y <= y1; ++y) {
            out(y, open[static_cast<size_t>(y)], c - 1);
            ++runs;
        }
    };
    const auto openRows = [&](int y0, int y1, int c) {
        for (int y = y0; y <= y1; ++y)
            open[static_cast<size_t>(y)] = c;
    };
    bool prevOn = false;
    int pt = 0, pb = -1;
    for (int c = 0; c <= width; ++c) {
        int t = 0, b = -1;
        const bool on = c < width && clipped(c, height, t, b);
        if (prevOn && !on) {
            closeRows(pt, pb, c);
        } else if (!prevOn && on) {
            openRows(t, b, c);
        } else if (prevOn && on) {
            // Rows that ended and rows that began between the two columns.
            closeRows(pt, std::min(pb, t - 1), c);
            closeRows(std::max(pt, b + 1), pb, c);
            openRows(t, std::min(b, pt - 1), c);
            openRows(std::max(t, pb + 1), b, c);
        }
        prevOn = on;
        pt = t;
        pb = b;
    }
    return runs;
}

} // namespace velda::engine
