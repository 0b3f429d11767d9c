#pragma once
// Arithmetic on runs of points: combining two waveforms, stretching a run
// along X, refitting it in Y, and measuring its extremes.
//
// Argument lists (32-bit words of the original calling convention: a handle
// or an integer takes one, a double two): W_CalcWave 3 + 4 x 2 + 1 = 12,
// W_CompWaveX 1 + 2 + 2 + 1 + 2 + 2 = 10, W_CompYMaxMin and W_CompYAmpOff
// 1 + 4 x 2 = 9, W_GetMaxMin 1 + 2 + 2 + 1 = 6.
//
// Positions and counts are whole numbers held in doubles; they are rounded to
// the nearest point and every run is clipped to its buffer (and to the points
// in use where that number is passed), so no argument reaches outside a
// buffer. Every value written becomes a data word through W_ToWord (rounded,
// clipped to -32767..32767).

#include "engine/wavelb32.h"

#include <cstdint>

// Operators of W_CalcWave, in the order of the Operate tool's list.
enum CalcOperator : int32_t { CalcAdd = 0, CalcSub = 1, CalcMul = 2, CalcDiv = 3 };

// result[k] = source[first + k] (op) operand[k] for k in [0, count), clipped
// to all three buffers. The words are first turned into the displayed values
// of the current unit - yBottom is the value of data word -32767 and yTop
// that of +32767, the scale in between is linear - so that products and
// quotients are those of the values the user sees; the result is turned back
// into a word on the same scale. When yBottom equals yTop (or either is not
// finite) the words themselves are combined.
//
// Division by zero (a displayed operand value of exactly 0) gives the limit
// of the data range on the side of the dividend's sign: a positive dividend
// the end with the highest displayed value (the top word on an upright
// scale), a negative one the other end; 0 / 0 gives the word of the
// displayed value 0. Any result beyond the data range is clipped.
//
// Returns 0, or -1 when a handle is invalid or the operator is not 0..3
// (nothing is written then).
int32_t W_CalcWave(WaveHandle source, WaveHandle operand, WaveHandle result, double first,
                   double count, double yBottom, double yTop, int32_t op);

// Resamples the run [srcFirst, srcFirst + srcCount) of the first `inUse`
// points onto the run that starts at dstFirst and is |dstCount| points long,
// by straight lines between neighbouring points: the source's first point
// lands on the target's first point and its last on the target's last. A
// negative dstCount places the run on [dstFirst + dstCount, dstFirst) in
// reverse order (the target's end was typed below its start). Points outside
// the target run are not changed; target points outside 0..inUse are dropped.
void W_CompWaveX(WaveHandle h, double srcFirst, double srcCount, int32_t inUse, double dstFirst,
                 double dstCount);

// Rescales the run linearly so that its lowest word lands on yMin and its
// highest on yMax (yMax below yMin turns the run upside down). A flat run
// takes the middle level (yMax + yMin) / 2.
void W_CompYMaxMin(WaveHandle h, double first, double count, double yMax, double yMin);

// The same with the target given as peak-to-peak span and centre:
// yMax = offset + amplitude / 2, yMin = offset - amplitude / 2.
void W_CompYAmpOff(WaveHandle h, double first, double count, double amplitude, double offset);

// selector 0: the lowest data word of the run; 1: the highest. An empty run
// gives the word at `first` (clipped to the buffer); an invalid handle or
// another selector gives 0.
int32_t W_GetMaxMin(WaveHandle h, double first, double count, int32_t selector);
