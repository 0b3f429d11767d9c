#pragma once
// Drawing and bit entry points of the waveform engine. The drawing surface is
// a QPainter; the caller owns it and has set its pen colour where an entry
// point draws "in the current colour". Colours crossing these entry points are
// 0xBBGGRR values (red in the low byte).
//
// A surface wider or higher than 65,536 pixels, a painter that is not active
// and a run outside the buffer draw nothing.
//
// Vertical positions are offsets in words counted downwards from the top of
// the full scale: offset 0 is data word +32767, offset 65534 is -32767.

#include "engine/wavelb32.h"

#include <QColor>
#include <cstdint>

class QPainter;

// Draws points [first, first + count) of a buffer so that the word span
// [yStart, yStart + ySpan] fills a width x height surface, in the painter's
// pen colour. Point first + j lies at column j * width / count (to the
// nearest); a word w at row floor((32767 - w - yStart) * height / ySpan), the
// bottom edge of the span on the last row. When more than two points fall
// into one column, each column is drawn as one vertical line from its lowest
// to its highest point, joined to the last point of the column before, so no
// peak is ever lost; otherwise the polyline through the points is drawn.
// With `throughEnd` the point first + count, which the caller knows to be a
// point of the waveform, closes the polyline at the right edge (a view
// that ends before the waveform does).
void W_DrawWave2(QPainter* surface, WaveHandle h, double first, double yStart, double count,
                 double ySpan, int32_t width, int32_t height, bool throughEnd = false);

// The zero line (data word 0) across the full width, in the painter's pen
// colour, on the same row a curve of zeros is drawn; nothing when word 0 lies
// outside the span.
void W_DrawGrid2(QPainter* surface, double yStart, double ySpan, int32_t width, int32_t height);

// The grid of the tool previews: 10 x 8 divisions over the full scale in the
// given colour (0xBBGGRR), with the zero line as the middle horizontal line.
void W_DrawGrid(QPainter* surface, int32_t color, int32_t width, int32_t height);

// The digital-bit view. The surface is cut into 49 row units of
// u = height / 49; after the first unit come 16 traces, each Int(3u) pixels
// high starting at row Round_Up(u) + t * Int(3u). Trace t shows the bit
// topBit >> t of points [first, first + count) (topBit is 0x8000 for a 16-bit
// word, so the top trace is the most significant bit). Only the upper
// `bitCount` bits of the 16 are used by the instrument; the traces of the
// others are dimmed (a count outside 1..16 means all 16 are used). Traces of
// the bits in `selMask` are drawn in `selectColor`; the columns between
// marker A (startX) and marker B (endX) are tinted with it. `backColor` is the
// surface's background, used to blend the dimmed and tinted colours. Where a
// bit changes within one column the column is filled between the high and the
// low level, so dense data shows as a block, never as an alias.
void W_DrawDigitalPattern(QPainter* surface, WaveHandle h, double first, double count,
                          int32_t bitCount, int32_t selMask, double startX, double endX,
                          int32_t width, int32_t height, int32_t traceColor, int32_t backColor,
                          int32_t selectColor, int32_t topBit);

// Reverses the order of the 16 bits of a word (bit 0 <-> bit 15); bits above
// the word are dropped. The digital view counts traces from the top, so
// reverse_bit turns a trace mask into a data-word mask and back.
int32_t reverse_bit(int32_t word);

// Copies one bit into others over points [first, first + count) (seven
// 32-bit words on the call: handle, two 64-bit positions, two masks): in every
// point the bits of dstMask are all set when any bit of srcMask is set, else
// all cleared. A word that would become -32768 (only the top bit set) is
// clipped to the full scale (-32767). Nothing happens when either mask has no
// bit in the 16-bit word. Returns the number of points changed.
int32_t W_CopyBitDigital(WaveHandle h, double first, double count, int32_t srcMask,
                         int32_t dstMask);

namespace velda::engine {

// 0xBBGGRR (as the entry points take colours) to QColor and back.
inline QColor bgrColor(uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}
inline uint32_t toBgr(const QColor& c) {
    return static_cast<uint32_t>(c.red()) | (static_cast<uint32_t>(c.green()) << 8) |
           (static_cast<uint32_t>(c.blue()) << 16);
}

// Whole-number pixel of a coordinate: to the nearest, halves to even.
int roundPixel(double v);

// The vertical mapping of every surface that shows data words: the offsets
// [yStart, yStart + ySpan] (counted down from +32767) fill rows 0..height-1.
// The curve, the zero line, the grid's horizontal lines, the control points,
// the pointer's read-out and the picking all use it, so a word drawn on a row
// and the word the pointer reads on that row can never be a row apart.
class WordRows {
public:
    WordRows(double yStart, double ySpan, int height)
        : yStart_(yStart), ySpan_(ySpan), height_(height) {}

    // False for an empty span, an empty surface or a span that is not finite.
    bool valid() const;
    int height() const { return height_; }

    // Unrounded row coordinate of a word: (32767 - word - yStart) * height / ySpan.
    double position(double word) const;
    // The row an unrounded coordinate lies on: the largest whole number not
    // above it, except that the bottom edge (= height) is the last row, so a
    // full-scale minimum stays visible. Far-off values are clamped.
    static int rowAt(double position, int height);
    // The row a word is drawn on.
    int row(double word) const { return rowAt(position(word), height_); }
    // Word at an unrounded row coordinate (the inverse of position).
    double wordAt(double y) const;
    // Word the pointer reads on row r: the word at the row's centre, which
    // row() maps back to r.
    double rowWord(int r) const { return wordAt(r + 0.5); }
    bool onSurface(int r) const { return r >= 0 && r < height_; }

private:
    double yStart_;
    double ySpan_;
    int height_;
};

// Grid lines shared by the Grid class and W_DrawGrid: yCount - 1 horizontal
// lines on the rows of height / yCount * i (WordRows::rowAt, so the middle
// line of a full-scale view is the row of data word 0) and xCount - 1
// vertical lines at width / xCount * j (to the nearest), then, for an even
// count, the middle line again in its centre colour. Counts below 2 give no
// lines.
struct GridStyle {
    int xCount = 10;
    int yCount = 8;
    QColor xLineColor;   // vertical lines
    QColor yLineColor;   // horizontal lines
    QColor xCenterColor; // the vertical middle line
    QColor yCenterColor; // the horizontal middle line
};
void drawGridLines(QPainter& painter, const GridStyle& style, int width, int height);

// Geometry of the digital view, shared with the window's mouse handling.
struct DigitalLayout {
    int traceTop0 = 0;   // first row of trace 0: Round_Up(height / 49)
    int traceHeight = 0; // Int(3 * height / 49)
    int highOffset = 0;  // row of the high level within a trace
    int lowOffset = 0;   // row of the low level within a trace
    bool usable = false; // false when the surface is too small to draw traces
    int traceTop(int t) const { return traceTop0 + t * traceHeight; }
};
DigitalLayout digitalLayout(int height);

// Column of a marker at position x in a view of count points from first:
// Round_Up((x - first) * width / count), the last column for the right edge;
// -1 when x lies outside the view.
int markerColumn(double x, double first, double count, int width);

} // namespace velda::engine
