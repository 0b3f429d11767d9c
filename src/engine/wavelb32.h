#pragma once
// Waveform buffers of the engine. A handle is an index into the buffer table
// plus one; 0 is never a valid handle. Every position and count an entry point
// receives is clipped to the buffer, so no argument can reach outside it.

#include <cstdint>
#include <span>

using WaveHandle = int32_t;

// Buffers: handle, or 0 when the count is not positive or memory is short.
WaveHandle W_AllocMemory(int32_t points);
void W_FreeMemory(WaveHandle h);
// Resets a run of points to the cleared level (data word 0).
void W_ClearMemory(WaveHandle h, double first, double count);
// Copies a run between two buffers (or within one; overlapping runs are safe).
void W_CopyMemory(WaveHandle src, WaveHandle dst, double srcFirst, double dstFirst, double count);
// Removes the run [first, first + count) from the first inUse points: the
// points behind it move up and the freed end of the points in use is cleared.
void W_DeleteWave(WaveHandle h, double first, double count, int32_t inUse);
// The data word at a position: a fractional position reads its nearest point
// (halves upwards), a position at or beyond inUse reads the last point in use.
int32_t W_GetWaveData(WaveHandle h, double point, double inUse);

namespace velda::engine {

// The words of a buffer, or an empty span for an invalid handle. For the
// program's own modules (generators, files, drawing); the span stays valid
// until the buffer is freed.
std::span<int16_t> bufferWords(WaveHandle h);

// A run [first, first + count) of a buffer of `size` points, clipped: NaN and
// negative values become 0; both ends (not the count) are rounded to the
// nearest whole point, so a fractional run covers the points of its area.
struct Run {
    int64_t first = 0;
    int64_t count = 0;
};
Run clipRun(double first, double count, int64_t size);

// Number of live buffers (for leak checks in tests).
int liveBuffers();

} // namespace velda::engine
