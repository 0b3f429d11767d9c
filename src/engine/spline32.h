#pragma once
// Interpolation through control points and the sort of the control-point
// lists. The curves come from GSL (linear, natural cubic and periodic cubic
// interpolation); this module only prepares the knots and writes the words.
//
// Argument lists: in the original 32-bit calling convention a handle, a count
// and each array reference take one word and each double two, which gives the
// ten words of Spline_Hokan_Line, the eleven of Spline_Hokan_Spline and the
// four of Q_Sort. Here each array is a span, so a count larger than the arrays
// can never read or write beyond them.
//
// Results: 0 success; kSplineBadArgument when the handle is invalid or N is
// not positive; kSplineNoPoints when no control point is usable (none given,
// or none with finite X and Y); otherwise the GSL error number (for example
// GSL_ENOMEM). GSL never aborts the program: its error handler is replaced by
// one that only records the failure (see lastGslError()).
//
// What is written: the run of points [S, E) - the marked area, E being the
// first point behind it - clipped to [0, N) and to the buffer. Each value is
// clipped to -maxWord..maxWord (maxWord itself is clipped to 0..32767) and
// becomes a data word through W_ToWord.
//
// Knots: points with a non-finite X or Y are left out; the rest are used in
// order of X whether or not the caller sorted them; several points at the
// same X count as the one given last. One usable point fills the run with
// its level.
//
// Outside the control points' span (variants 0 and 1 and the linear form)
// the curve is held at the first point's level before it and at the last
// point's level after it: a cubic carried past its last knot runs away
// quickly, and the user sees the area's ends follow the nearest point.

#include "engine/wavelb32.h"

#include <cstdint>
#include <span>

inline constexpr int32_t kSplineBadArgument = -1;
inline constexpr int32_t kSplineNoPoints = -2;

// Straight lines between the control points. `count` is how many of the
// points in x and y are in use (clipped to both spans).
int32_t Spline_Hokan_Line(WaveHandle h, double S, double E, std::span<const double> x,
                          std::span<const double> y, int32_t count, int32_t N, int32_t maxWord);

// Cubic spline through the control points. variant:
//   0  natural cubic spline (zero curvature at the first and last point);
//   1  periodic cubic spline over the points' own span: slope and curvature
//      at the last point equal those at the first, so a run from the first to
//      the last point repeats seamlessly when their levels match;
//   2  periodic over the whole waveform: point N is point 0 again, so the
//      curve runs from the last control point across N back to the first one
//      and is smooth everywhere, the wrap included. X values are taken within
//      0..N (others are brought to the nearer end); a point at N stands for
//      the point at 0 and is used only when there is none at 0.
// Two points (in variants 0 and 1) give the straight line through them, which
// is what both cubic forms reduce to. Any other variant: kSplineBadArgument.
int32_t Spline_Hokan_Spline(int32_t variant, WaveHandle h, double S, double E,
                            std::span<const double> x, std::span<const double> y, int32_t count,
                            int32_t N, int32_t maxWord);

// Sorts x[low..high] (both inclusive) into ascending order and moves y along
// with x. Equal X values keep their order. Indices are clipped to the spans;
// nothing happens when high < low. NaN X values end up last.
void Q_Sort(std::span<double> x, std::span<double> y, int32_t low, int32_t high);

namespace velda::engine {

// The GSL error number of the last failure GSL reported on this thread (0
// when none since the last clear), and its clearing. GSL's handler is
// replaced on the first call to any entry point above or to this function.
int lastGslError();
void clearGslError();

} // namespace velda::engine
