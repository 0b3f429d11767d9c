#include "engine/wavelb32_make.h"

#include "engine/DataWord.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace velda::engine {

RandomSource& noiseSource() {
    static RandomSource source;
    return source;
}

namespace {

double clampFraction(double percent) {
    if (!(percent > 0)) // NaN and negatives
        return 0;
    return std::min(percent, 100.0) / 100.0;
}

double frac(double t) {
    return t - std::floor(t);
}

// The run a generator writes, and the span of words it lands in. `length`
// is the requested count (for the period), the span may be shorter.
struct Target {
    std::span<int16_t> words;
    double length = 0;
    bool valid = false;
};

Target target(WaveHandle h, double first, double count) {
    Target t;
    std::span<int16_t> all = bufferWords(h);
    if (all.empty())
        return t;
    t.valid = true;
    const Run r = clipRun(first, count, static_cast<int64_t>(all.size()));
    t.words = all.subspan(static_cast<size_t>(r.first), static_cast<size_t>(r.count));
    t.length = static_cast<double>(clipRun(0, count, INT64_C(9000000000000000)).count);
    return t;
}

// Position in the period of point i: the phase (degrees) shifts the start.
// cycle * i / length keeps whole fractions of a period exact.
struct Phase {
    double cycle;
    double length;
    double start; // periods at point 0
    double at(size_t i) const {
        return length > 0 ? frac(cycle * static_cast<double>(i) / length + start) : frac(start);
    }
    double perPoint() const { return length > 0 ? cycle / length : 0.0; }
};

// Whole periods are taken off first, exactly (fmod is exact): a huge phase
// or count of periods otherwise loses the fraction that places each point.
// Whole multiples of the length in `cycle` add whole periods at every point.
Phase phaseOf(double length, double cycle, double phaseDegrees) {
    if (length > 0 && std::isfinite(cycle))
        cycle = std::fmod(cycle, length);
    return {cycle, length, std::fmod(phaseDegrees, 360.0) / 360.0};
}

template <typename Shape>
int32_t fillPeriodic(const Target& t, double offset, double amplitude, const Phase& ph,
                     Shape shape) {
    const double half = amplitude / 2;
    for (size_t i = 0; i < t.words.size(); ++i)
        t.words[i] = W_ToWord(offset + half * shape(ph.at(i)));
    return 0;
}

} // namespace

double triangleLevel(double t, double symmetry) {
    // Rising from the bottom to the top over `s` of the period, falling over
    // the rest; placed so that phase 0 starts at the centre, rising, as the
    // sine does.
    const double s = clampFraction(symmetry);
    const double u = frac(t + s / 2); // distance from the bottom
    if (u < s)
        return -1 + 2 * u / s;
    return 1 - 2 * (u - s) / (1 - s);
}

double squareLevel(double t, double duty, double transition) {
    // High from 0 to d, low from d to 1; each edge is centred on its switching
    // point and takes `tr` of the period, at most the shorter of the two parts.
    const double d = clampFraction(duty);
    const double tr = std::min({clampFraction(transition), d, 1 - d});
    if (tr <= 0)
        return t < d ? 1 : -1;
    const double h = tr / 2;
    if (t < h)
        return t / h; // rising edge, second half
    if (t >= 1 - h)
        return (t - 1) / h; // rising edge, first half
    if (t < d - h)
        return 1;
    if (t < d + h)
        return -(t - d) / h;
    return -1;
}

} // namespace velda::engine

using namespace velda::engine;
using velda::W_ToWord;

int32_t W_MakeSin(WaveHandle h, double first, double count, double offset, double amplitude,
                  double cycle, double phase) {
    const Target t = target(h, first, count);
    if (!t.valid)
        return -1;
    // The sine of each block start is computed afresh and the points within
    // the block by the angle-sum rule with a table of the step's sines, so
    // there is no drift and only one sine call per block.
    constexpr size_t kBlock = 64;
    const double twoPi = 2 * std::numbers::pi;
    const Phase ph = phaseOf(t.length, cycle, phase);
    std::array<double, kBlock> stepSin{}, stepCos{};
    for (size_t k = 0; k < kBlock; ++k) {
        const double a = twoPi * ph.perPoint() * static_cast<double>(k);
        stepSin[k] = std::sin(a);
        stepCos[k] = std::cos(a);
    }
    const double half = amplitude / 2;
    for (size_t b = 0; b < t.words.size(); b += kBlock) {
        const double a = twoPi * ph.at(b);
        const double sb = std::sin(a), cb = std::cos(a);
        const size_t end = std::min(t.words.size(), b + kBlock);
        for (size_t i = b; i < end; ++i) {
            const size_t k = i - b;
            t.words[i] = W_ToWord(offset + half * (sb * stepCos[k] + cb * stepSin[k]));
        }
    }
    return 0;
}

int32_t W_MakeTriangle(WaveHandle h, double first, double count, double offset, double amplitude,
                       double cycle, double phase, double symmetry) {
    const Target t = target(h, first, count);
    if (!t.valid)
        return -1;
    return fillPeriodic(t, offset, amplitude, phaseOf(t.length, cycle, phase),
                        [symmetry](double p) { return triangleLevel(p, symmetry); });
}

int32_t W_MakeSquare(WaveHandle h, double first, double count, double offset, double amplitude,
                     double cycle, double phase, double duty, double transition) {
    const Target t = target(h, first, count);
    if (!t.valid)
        return -1;
    return fillPeriodic(t, offset, amplitude, phaseOf(t.length, cycle, phase),
                        [duty, transition](double p) { return squareLevel(p, duty, transition); });
}

int32_t W_MakeNoise(WaveHandle h, double first, double count, double offset, double amplitude) {
    const Target t = target(h, first, count);
    if (!t.valid)
        return -1;
    RandomSource& source = noiseSource();
    for (int16_t& w : t.words)
        w = W_ToWord(offset + amplitude * (source.next() - 0.5));
    return 0;
}

int32_t W_MakeDC(WaveHandle h, double first, double count, double offset) {
    const Target t = target(h, first, count);
    if (!t.valid)
        return -1;
    std::fill(t.words.begin(), t.words.end(), W_ToWord(offset));
    return 0;
}

void W_InitRand(int32_t seed) {
    noiseSource().reseed(seed);
}
