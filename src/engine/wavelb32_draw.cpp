#include "engine/wavelb32_draw.h"

#include "engine/DataWord.h"
#include "engine/draw_spans.h"

#include <QPainter>
#include <QPen>
#include <QPoint>
#include <QRect>
#include <algorithm>
#include <cmath>
#include <vector>

namespace velda::engine {

int roundPixel(double v) {
    if (!std::isfinite(v))
        return 0;
    v = std::clamp(v, -1.0e9, 1.0e9);
    return static_cast<int>(std::nearbyint(v));
}

bool WordRows::valid() const {
    return ySpan_ > 0 && height_ > 0 && std::isfinite(yStart_) && std::isfinite(ySpan_);
}

double WordRows::position(double word) const {
    return valid() ? (32767.0 - word - yStart_) * height_ / ySpan_ : 0.0;
}

int WordRows::rowAt(double position, int height) {
    if (std::isnan(position))
        return 0;
    if (position == height)
        return height - 1;
    return static_cast<int>(std::floor(std::clamp(position, -1.0e8, 1.0e8)));
}

double WordRows::wordAt(double y) const {
    return valid() ? 32767.0 - y * ySpan_ / height_ - yStart_ : 32767.0 - yStart_;
}

void drawGridLines(QPainter& painter, const GridStyle& style, int width, int height) {
    if (width <= 0 || height <= 0)
        return;
    // One-pixel rectangles: the same pixels as lines, filled a row at a time.
    const auto hline = [&](int y, const QColor& c) { painter.fillRect(0, y, width, 1, c); };
    const auto vline = [&](int x, const QColor& c) { painter.fillRect(x, 0, 1, height, c); };
    if (style.yCount >= 2) {
        for (int i = 1; i < style.yCount; ++i)
            hline(WordRows::rowAt(static_cast<double>(height) / style.yCount * i, height),
                  style.yLineColor);
        if (style.yCount % 2 == 0)
            hline(WordRows::rowAt(height / 2.0, height), style.yCenterColor);
    }
    if (style.xCount >= 2) {
        for (int j = 1; j < style.xCount; ++j)
            vline(roundPixel(static_cast<double>(width) / style.xCount * j), style.xLineColor);
        if (style.xCount % 2 == 0)
            vline(roundPixel(width / 2.0), style.xCenterColor);
    }
}

DigitalLayout digitalLayout(int height) {
    DigitalLayout l;
    if (height <= 0)
        return l;
    const double unit = height / 49.0;
    l.traceTop0 = static_cast<int>(std::ceil(unit));
    l.traceHeight = static_cast<int>(3.0 * unit);
    // High level a sixth into the trace, low level a sixth above its end:
    // the gap between traces keeps neighbouring bits apart.
    l.highOffset = l.traceHeight / 6;
    l.lowOffset = l.traceHeight - 1 - l.traceHeight / 6;
    l.usable = l.traceHeight >= 3;
    return l;
}

int markerColumn(double x, double first, double count, int width) {
    if (!(count > 0) || width <= 0 || !std::isfinite(x) || x < first || x > first + count)
        return -1;
    const int c = static_cast<int>(std::ceil((x - first) * width / count));
    return std::min(std::max(c, 0), width - 1);
}

} // namespace velda::engine

using namespace velda::engine;

namespace {

// The points of a buffer that a view shows: view index j (0..n-1) is buffer
// point first + j; only j in [j0, j1) exist in the buffer.
struct ViewRun {
    const int16_t* buffer = nullptr;
    int64_t first = 0;
    int64_t n = 0;
    int64_t j0 = 0;
    int64_t j1 = 0;
    int64_t size = 0; // of the buffer
    // Only for j0 <= j < j1 (and a closing point inside the buffer).
    const int16_t* at(int64_t j) const { return buffer + (first + j); }
    int word(int64_t j) const { return *at(j); }
};

bool viewRun(WaveHandle h, double first, double count, ViewRun& run) {
    const auto buf = bufferWords(h);
    if (buf.empty() || !std::isfinite(first) || !std::isfinite(count))
        return false;
    const double limit = 1.0e12;
    const int64_t f = std::llround(std::clamp(first, -limit, limit));
    const int64_t n = std::llround(std::clamp(count, 0.0, limit));
    if (n <= 0)
        return false;
    const int64_t size = static_cast<int64_t>(buf.size());
    run.n = n;
    run.j0 = std::clamp<int64_t>(-f, 0, n);
    run.j1 = std::clamp<int64_t>(size - f, run.j0, n);
    run.buffer = buf.data();
    run.first = f;
    run.size = size;
    return run.j1 > run.j0;
}

// Surfaces larger than any screen or printed page are refused rather than
// given working memory in proportion to their size.
constexpr int kMaxSurface = 1 << 16;

bool drawable(QPainter* p, int width, int height) {
    return p && p->isActive() && width > 0 && height > 0 && width <= kMaxSurface &&
           height <= kMaxSurface;
}

// Uses the painter's pen colour as a plain one-pixel aliased pen.
struct PenScope {
    QPainter* p;
    explicit PenScope(QPainter* painter) : p(painter) {
        p->save();
        p->setRenderHint(QPainter::Antialiasing, false);
        p->setPen(QPen(p->pen().color(), 0));
        p->setBrush(Qt::NoBrush);
    }
    ~PenScope() { p->restore(); }
    PenScope(const PenScope&) = delete;
    PenScope& operator=(const PenScope&) = delete;
};

QColor blend(const QColor& back, const QColor& fore, double amount) {
    const auto mix = [&](int b, int f) {
        return static_cast<int>(std::lround(b + (f - b) * amount));
    };
    return QColor(mix(back.red(), fore.red()), mix(back.green(), fore.green()),
                  mix(back.blue(), fore.blue()));
}

} // namespace

void W_DrawWave2(QPainter* surface, WaveHandle h, double first, double yStart, double count,
                 double ySpan, int32_t width, int32_t height, bool throughEnd) {
    ViewRun run;
    if (!drawable(surface, width, height) || !(ySpan > 0) || !std::isfinite(yStart) ||
        !viewRun(h, first, count, run))
        return;
    const WordRows map{yStart, ySpan, height};
    const double pointsPerColumn = static_cast<double>(run.n) / width;
    PenScope pen(surface);
    const QColor color = surface->pen().color();
    ColumnSpans spans(width, height);

    if (pointsPerColumn <= 2.0) {
        // Few points: the polyline through each of them.
        std::vector<QPoint> pts;
        pts.reserve(static_cast<size_t>(run.j1 - run.j0));
        const double xScale = static_cast<double>(width) / static_cast<double>(run.n);
        // The closing point, when there is one, lands on column `width`:
        // the segment to it fills the last point's columns.
        const int64_t end =
            throughEnd && run.j1 == run.n && run.first + run.n < run.size ? run.n + 1 : run.j1;
        for (int64_t j = run.j0; j < end; ++j)
            pts.emplace_back(roundPixel(static_cast<double>(j) * xScale), map.row(run.word(j)));
        if (directImage(surface, color)) {
            spans.add(pts.front().x(), pts.front().y(), pts.front().y());
            for (size_t i = 1; i < pts.size(); ++i)
                spans.addLine(pts[i - 1].x(), pts[i - 1].y(), pts[i].x(), pts[i].y());
            fillSpans(surface, spans, color);
        } else if (pts.size() == 1) {
            surface->drawPoint(pts.front());
        } else {
            surface->drawPolyline(pts.data(), static_cast<int>(pts.size()));
        }
        return;
    }

    // Many points: one min..max line per column, each joined to the last
    // point of the column before, so peaks of a single point still show.
    // Column c holds view indices [ceil(c * n / w), ceil((c + 1) * n / w)).
    const double n = static_cast<double>(run.n);
    const auto columnStart = [&](int64_t c) {
        return static_cast<int64_t>(std::ceil(static_cast<double>(c) * n / width));
    };
    const int64_t c0 = static_cast<int64_t>(std::floor(static_cast<double>(run.j0) * width / n));
    const int64_t c1 = std::min<int64_t>(
        width, static_cast<int64_t>(std::ceil(static_cast<double>(run.j1) * width / n)));
    bool havePrev = false;
    int prevWord = 0;
    for (int64_t c = c0; c < c1; ++c) {
        const int64_t a = std::max(columnStart(c), run.j0);
        const int64_t b = std::min(columnStart(c + 1), run.j1);
        if (a >= b)
            continue;
        const auto [lo, hi] = std::minmax_element(run.at(a), run.at(b));
        int wmin = *lo;
        int wmax = *hi;
        if (havePrev) {
            wmin = std::min(wmin, prevWord);
            wmax = std::max(wmax, prevWord);
        }
        prevWord = run.word(b - 1);
        havePrev = true;
        spans.add(static_cast<int>(c), map.row(wmax), map.row(wmin));
    }
    fillSpans(surface, spans, color);
}

void W_DrawGrid2(QPainter* surface, double yStart, double ySpan, int32_t width, int32_t height) {
    if (!drawable(surface, width, height) || !(ySpan > 0) || !std::isfinite(yStart))
        return;
    const WordRows rows{yStart, ySpan, height};
    const double v = rows.position(0);
    if (v < 0 || v > height)
        return;
    const int y = rows.row(0);
    if (!rows.onSurface(y))
        return;
    surface->fillRect(0, y, width, 1, surface->pen().color());
}

void W_DrawGrid(QPainter* surface, int32_t color, int32_t width, int32_t height) {
    if (!drawable(surface, width, height))
        return;
    surface->save();
    surface->setRenderHint(QPainter::Antialiasing, false);
    const QColor c = bgrColor(static_cast<uint32_t>(color));
    GridStyle style;
    style.xLineColor = style.yLineColor = style.xCenterColor = style.yCenterColor = c;
    drawGridLines(*surface, style, width, height);
    surface->restore();
}

namespace {

// One bit's state over one column.
enum class Level : uint8_t { Low, High, Both };

// Everything of one colour, as rectangles: one-pixel lines are filled a row
// at a time this way, much faster than QPainter's pixel-by-pixel lines.
struct TraceSink {
    std::vector<QRect> rects;
    void hline(int x0, int x1, int y) { rects.emplace_back(x0, y, x1 - x0 + 1, 1); }
    void vline(int x, int y0, int y1) { rects.emplace_back(x, y0, 1, y1 - y0 + 1); }
};

// Adds one trace to `sink`: runs of equal level become one horizontal line,
// level changes a vertical line, runs of mixed columns one filled block.
void traceBit(const std::vector<uint16_t>& orv, const std::vector<uint16_t>& andv,
              const std::vector<uint8_t>& has, uint16_t bit, int top, int yHigh, int yLow,
              TraceSink& sink) {
    const int width = static_cast<int>(orv.size());
    yHigh += top;
    yLow += top;
    int runStart = -1;
    Level runLevel = Level::Low;
    const auto flush = [&](int endExclusive) {
        if (runStart < 0)
            return;
        if (runLevel == Level::Both) {
            sink.rects.emplace_back(runStart, yHigh, endExclusive - runStart, yLow - yHigh + 1);
        } else {
            sink.hline(runStart, endExclusive - 1, runLevel == Level::High ? yHigh : yLow);
        }
        runStart = -1;
    };
    for (int c = 0; c < width; ++c) {
        if (!has[static_cast<size_t>(c)]) {
            flush(c);
            continue;
        }
        const bool any = orv[static_cast<size_t>(c)] & bit;
        const bool all = andv[static_cast<size_t>(c)] & bit;
        const Level lv = all ? Level::High : (any ? Level::Both : Level::Low);
        if (runStart >= 0 && lv == runLevel)
            continue;
        if (runStart >= 0 && runLevel != Level::Both && lv != Level::Both)
            sink.vline(c, yHigh, yLow); // the edge between two levels
        flush(c);
        runStart = c;
        runLevel = lv;
    }
    flush(width);
}

} // namespace

void W_DrawDigitalPattern(QPainter* surface, WaveHandle h, double first, double count,
                          int32_t bitCount, int32_t selMask, double startX, double endX,
                          int32_t width, int32_t height, int32_t traceColor, int32_t backColor,
                          int32_t selectColor, int32_t topBit) {
    if (!drawable(surface, width, height))
        return;
    const DigitalLayout layout = digitalLayout(height);
    const QColor trace = bgrColor(static_cast<uint32_t>(traceColor));
    const QColor back = bgrColor(static_cast<uint32_t>(backColor));
    const QColor select = bgrColor(static_cast<uint32_t>(selectColor));
    surface->save();
    surface->setRenderHint(QPainter::Antialiasing, false);

    // The marked area first, so the traces are drawn over it.
    if (count > 0 && std::isfinite(startX) && std::isfinite(endX) && endX >= startX &&
        endX >= first && startX <= first + count) {
        const int a = markerColumn(std::max(startX, first), first, count, width);
        const int b = markerColumn(std::min(endX, first + count), first, count, width);
        if (a >= 0 && b >= a)
            surface->fillRect(QRect(a, 0, b - a + 1, height), blend(back, select, 0.22));
    }

    ViewRun run;
    if (!layout.usable || !viewRun(h, first, count, run)) {
        surface->restore();
        return;
    }

    // One pass over the points: per column, the OR and the AND of its words
    // tell for every bit whether it is low, high or both within the column.
    std::vector<uint16_t> orv(static_cast<size_t>(width), 0);
    std::vector<uint16_t> andv(static_cast<size_t>(width), 0xFFFF);
    std::vector<uint8_t> has(static_cast<size_t>(width), 0);
    const double n = static_cast<double>(run.n);
    if (run.n >= width) {
        for (int c = 0; c < width; ++c) {
            const int64_t a = std::max(static_cast<int64_t>(std::ceil(c * n / width)), run.j0);
            const int64_t b =
                std::min(static_cast<int64_t>(std::ceil((c + 1) * n / width)), run.j1);
            uint16_t o = 0;
            uint16_t d = 0xFFFF;
            for (int64_t j = a; j < b; ++j) {
                const auto w = static_cast<uint16_t>(run.word(j));
                o |= w;
                d &= w;
            }
            orv[static_cast<size_t>(c)] = o;
            andv[static_cast<size_t>(c)] = d;
            has[static_cast<size_t>(c)] = a < b;
        }
    } else {
        // Fewer points than columns: each point covers the columns from its
        // own position up to the next point's.
        for (int64_t j = run.j0; j < run.j1; ++j) {
            const int xa = static_cast<int>(std::floor(static_cast<double>(j) * width / n));
            const int xb = std::max(
                xa + 1, static_cast<int>(std::floor(static_cast<double>(j + 1) * width / n)));
            const auto w = static_cast<uint16_t>(run.word(j));
            for (int x = std::max(xa, 0); x < std::min(xb, width); ++x) {
                const auto i = static_cast<size_t>(x);
                orv[i] = has[i] ? static_cast<uint16_t>(orv[i] | w) : w;
                andv[i] = has[i] ? static_cast<uint16_t>(andv[i] & w) : w;
                has[i] = 1;
            }
        }
    }

    const int used = (bitCount >= 1 && bitCount <= 16) ? bitCount : 16;
    const uint16_t usedMask = static_cast<uint16_t>(0xFFFF0000u >> used);
    const auto top = static_cast<uint32_t>(topBit) & 0xFFFFu;
    TraceSink normal, dimmed, selected;
    for (int t = 0; t < 16; ++t) {
        const auto bit = static_cast<uint16_t>(top >> t);
        TraceSink& sink = (bit & static_cast<uint32_t>(selMask)) ? selected
                          : (bit & usedMask)                     ? normal
                                                                 : dimmed;
        traceBit(orv, andv, has, bit, layout.traceTop(t), layout.highOffset, layout.lowOffset,
                 sink);
    }
    surface->setPen(Qt::NoPen);
    const auto paint = [&](const TraceSink& s, const QColor& c) {
        surface->setBrush(c);
        surface->drawRects(s.rects.data(), static_cast<int>(s.rects.size()));
    };
    paint(dimmed, blend(back, trace, 0.4));
    paint(normal, trace);
    paint(selected, select);
    surface->restore();
}

int32_t reverse_bit(int32_t word) {
    auto v = static_cast<uint32_t>(word) & 0xFFFFu;
    uint32_t r = 0;
    for (int i = 0; i < 16; ++i) {
        r = (r << 1) | (v & 1u);
        v >>= 1;
    }
    return static_cast<int32_t>(r);
}

int32_t W_CopyBitDigital(WaveHandle h, double first, double count, int32_t srcMask,
                         int32_t dstMask) {
    const auto src = static_cast<uint16_t>(static_cast<uint32_t>(srcMask) & 0xFFFFu);
    const auto dst = static_cast<uint16_t>(static_cast<uint32_t>(dstMask) & 0xFFFFu);
    auto words = bufferWords(h);
    if (src == 0 || dst == 0 || words.empty())
        return 0;
    const Run r = clipRun(first, count, static_cast<int64_t>(words.size()));
    int32_t changed = 0;
    for (int64_t i = r.first; i < r.first + r.count; ++i) {
        int16_t& w = words[static_cast<size_t>(i)];
        const auto u = static_cast<uint16_t>(w);
        const auto v = static_cast<uint16_t>((u & src) ? (u | dst) : (u & ~dst));
        const int16_t nw = velda::W_ToWord(static_cast<int16_t>(v));
        if (nw != w) {
            w = nw;
            ++changed;
        }
    }
    return changed;
}
