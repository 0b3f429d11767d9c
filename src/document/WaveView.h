#pragma once
// What part of the waveform the main window shows, and how pixels map to
// points and data words. Pure arithmetic: the window applies the results to
// its scroll bars and labels.

#include "engine/wavelb32_draw.h"

#include <cstdint>

namespace velda {

struct ScrollBarSetting {
    int minimum = 0;
    int maximum = 0;
    int value = 0;
    int pageStep = 1;
    bool enabled = false;
};

struct ViewState {
    int32_t ViewXStart = 0;
    int32_t ViewXEnd = 0;
    int32_t ViewYStart = 0;
    int32_t ViewYEnd = 65534;
    int32_t XZoom = 1;
    int32_t YZoom = 1;
    int32_t XScrollStep = 1;

    // Points per horizontal scroll unit for N points.
    static int32_t XScrollStepFor(int32_t n);

    // The whole waveform of n points at the full vertical span.
    void reset(int32_t n);

    // Horizontal zoom to 2^k with the scroll bar at `value`; returns the
    // setting both horizontal scroll bars take.
    ScrollBarSetting zoomX(int k, int value, int32_t n);
    // Scroll bar moved to v; false when the view did not change.
    bool scrollX(int v, int32_t n);
    // The horizontal scroll bars' setting at 1:1 for n points (start-up).
    static ScrollBarSetting initialHScroll(int32_t n);

    // Vertical zoom to 2^k with the vertical scroll bar at `value`.
    ScrollBarSetting zoomY(int k, int value);
    void scrollY(int value);
    // The middle row's offset from the top of the full scale.
    int32_t middleOffset() const;
    // Data word shown in the middle read-out (-1 shows as 0).
    int32_t middleWord() const;

    // Pixel mapping on a surface of w x h pixels.
    double pointToPixelXExact(double p, int w, int32_t n) const;
    int64_t PointToPixelX(double p, int w, int32_t n) const;
    double PixelToPointX(double px, int w) const;
    // Rows are the engine's mapping of the shown word span (rows(h)); every
    // vertical position below goes through it.
    engine::WordRows rows(int h) const;
    double PixelToWordY(double py, int h) const;
    double wordToPixelYExact(double word, int h) const;
    // The row a word is drawn on (the bottom edge of the span on the last row).
    int64_t WordToPixelY(double word, int h) const;
    // The word read out and picked under a pointer at py: the word at the
    // centre of the pointer's row, so it maps back to that row.
    double PointerWordY(double py, int h) const;
    // Column at which a marker at x is drawn, or -1 when outside the view.
    int markerColumn(double x, int w) const;
    // Row of data word 0: where the zero line and a curve of zeros are drawn.
    int64_t zeroRow(int h) const;
    // Whether the zero line is drawn: its row, to the nearest, lies in 0..h.
    bool zeroLineShown(int h) const;
};

} // namespace velda
