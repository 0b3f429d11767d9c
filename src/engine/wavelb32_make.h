#pragma once
// Standard waveform generators of the engine. Each fills the run
// [first, first + count) of a buffer (clipped to it) and writes nothing else;
// values become data words through W_ToWord.
//
// Shape parameters, all as typed in the Create dialog:
//   offset      centre level, data word
//   amplitude   peak-to-peak span, data words
//   cycle       number of periods over the run
//   phase       degrees; the shape starts that far into its period
//   symmetry    percent of the period spent rising (triangle)
//   duty        percent of the period spent high (square)
//   transition  percent of the period each edge takes (square)
// The period is measured over the requested count, so clipping the run at the
// end of the buffer cuts the shape instead of squeezing it.
// Every generator returns 0, or -1 when the handle is not a buffer.

#include "engine/RandomSource.h"
#include "engine/wavelb32.h"

#include <cstdint>

int32_t W_MakeSin(WaveHandle h, double first, double count, double offset, double amplitude,
                  double cycle, double phase);
int32_t W_MakeTriangle(WaveHandle h, double first, double count, double offset, double amplitude,
                       double cycle, double phase, double symmetry);
int32_t W_MakeSquare(WaveHandle h, double first, double count, double offset, double amplitude,
                     double cycle, double phase, double duty, double transition);
// Uniform noise between offset - amplitude/2 and offset + amplitude/2.
int32_t W_MakeNoise(WaveHandle h, double first, double count, double offset, double amplitude);
int32_t W_MakeDC(WaveHandle h, double first, double count, double offset);
// Seeds the noise of W_MakeNoise: the same seed gives the same noise again.
void W_InitRand(int32_t seed);

namespace velda::engine {

// The generator behind W_MakeNoise and W_InitRand. The engine owns one, as
// the library's own state would be.
RandomSource& noiseSource();

// Shape of one period at phase t (0 <= t < 1), between -1 and +1. Exposed
// for the preview and the tests.
double triangleLevel(double t, double symmetry);
double squareLevel(double t, double duty, double transition);

} // namespace velda::engine
