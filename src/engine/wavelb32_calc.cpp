#include "engine/wavelb32_calc.h"

#include "engine/DataWord.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numeric>
#include <span>
#include <vector>

using namespace velda;
using namespace velda::engine;

namespace {

// The linear scale between data words and displayed values:
// value = centre + word * step.
struct Scale {
    double centre = 0;
    double step = 1;

    static Scale from(double yBottom, double yTop) {
        Scale s;
        if (std::isfinite(yBottom) && std::isfinite(yTop) && yBottom != yTop) {
            s.centre = (yBottom + yTop) / 2;
            s.step = (yTop - yBottom) / kFullSpan;
        }
        return s;
    }
};

// Works in blocks: the arithmetic on displayed values runs over a block of
// doubles first (plain arithmetic without tests, so the compiler vectorises
// it, division included), then the block becomes words.
//
// Division by zero is left to the floating-point rules: a displayed value of
// exactly 0 is always +0 here (the centre plus a product, never -0), so x / 0
// is an infinity with the sign of x, which clips to the range limit on that
// side; 0 / 0 is NaN, which becomes the word of the displayed value 0.
template <class Op>
void combine(const int16_t* a, const int16_t* b, int16_t* r, size_t n, Scale s, Op op) {
    constexpr size_t kBlock = 512;
    double y[kBlock];
    const double inv = 1.0 / s.step;
    const int16_t zeroWord = W_ToWord((0.0 - s.centre) * inv);
    for (size_t base = 0; base < n; base += kBlock) {
        const size_t m = std::min(kBlock, n - base);
        for (size_t k = 0; k < m; ++k) {
            const double ya = s.centre + a[base + k] * s.step;
            const double yb = s.centre + b[base + k] * s.step;
            y[k] = (op(ya, yb) - s.centre) * inv;
        }
        for (size_t k = 0; k < m; ++k)
            r[base + k] = std::isnan(y[k]) ? zeroWord : W_ToWord(y[k]);
    }
}

struct Extremes {
    int16_t lo = 0;
    int16_t hi = 0;
};

Extremes extremes(std::span<const int16_t> run) {
    const auto [lo, hi] = std::minmax_element(run.begin(), run.end());
    return {*lo, *hi};
}

void rescale(WaveHandle h, double first, double count, double yMax, double yMin) {
    if (std::isnan(yMax) || std::isnan(yMin))
        return;
    // Far beyond the data range every target clips alike; bounding the ends
    // keeps an infinite one from turning 0 x inf into NaN.
    constexpr double kFar = 1e18;
    yMax = std::clamp(yMax, -kFar, kFar);
    yMin = std::clamp(yMin, -kFar, kFar);
    auto all = bufferWords(h);
    const Run r = clipRun(first, count, static_cast<int64_t>(all.size()));
    if (r.count == 0)
        return;
    auto run = all.subspan(static_cast<size_t>(r.first), static_cast<size_t>(r.count));
    const Extremes e = extremes(run);
    if (e.lo == e.hi) {
        std::fill(run.begin(), run.end(), W_ToWord(std::midpoint(yMin, yMax)));
        return;
    }
    const double span = static_cast<double>(e.hi) - e.lo;
    for (int16_t& w : run)
        w = W_ToWord(std::lerp(yMin, yMax, (w - e.lo) / span));
}

} // namespace

int32_t W_CalcWave(WaveHandle source, WaveHandle operand, WaveHandle result, double first,
                   double count, double yBottom, double yTop, int32_t op) {
    auto src = bufferWords(source);
    auto opd = bufferWords(operand);
    auto res = bufferWords(result);
    if (src.empty() || opd.empty() || res.empty() || op < CalcAdd || op > CalcDiv)
        return -1;
    const Run s = clipRun(first, count, static_cast<int64_t>(src.size()));
    const auto n = static_cast<size_t>(std::min<int64_t>(
        {s.count, static_cast<int64_t>(opd.size()), static_cast<int64_t>(res.size())}));
    const int16_t* a = src.data() + s.first;
    const Scale sc = Scale::from(yBottom, yTop);
    // The result may be the source or the operand buffer itself: each point
    // is read before it is written, so that is safe.
    switch (op) {
    case CalcAdd:
        combine(a, opd.data(), res.data(), n, sc, [](double x, double y) { return x + y; });
        break;
    case CalcSub:
        combine(a, opd.data(), res.data(), n, sc, [](double x, double y) { return x - y; });
        break;
    case CalcMul:
        combine(a, opd.data(), res.data(), n, sc, [](double x, double y) { return x * y; });
        break;
    default:
        combine(a, opd.data(), res.data(), n, sc, [](double x, double y) { return x / y; });
        break;
    }
    return 0;
}

void W_CompWaveX(WaveHandle h, double srcFirst, double srcCount, int32_t inUse, double dstFirst,
                 double dstCount) {
    auto all = bufferWords(h);
    const int64_t size = std::clamp<int64_t>(inUse, 0, static_cast<int64_t>(all.size()));
    const Run s = clipRun(srcFirst, srcCount, size);
    if (s.count == 0 || std::isnan(dstFirst) || std::isnan(dstCount))
        return;
    const bool reversed = dstCount < 0;
    const double lowEnd = reversed ? dstFirst + dstCount : dstFirst;
    // The target as asked for, before clipping, so that a run reaching past
    // either end of the waveform keeps its scale and only loses the part
    // outside. Both ends are rounded, as the source run's are.
    const double t0d = std::round(lowEnd);
    const double md = std::round(lowEnd + std::fabs(dstCount)) - t0d;
    if (!(md >= 1) || !std::isfinite(t0d) || t0d >= size || t0d + md <= 0)
        return;
    const auto t0 = static_cast<int64_t>(t0d);
    // Lengths beyond 2^40 points say nothing more and would overflow below.
    const auto m = static_cast<int64_t>(std::min(md, 0x1p40));
    std::vector<int16_t> from;
    try {
        from.assign(all.begin() + s.first, all.begin() + s.first + s.count);
    } catch (const std::bad_alloc&) {
        return;
    }
    const int64_t l = s.count;
    const int64_t jBegin = std::max<int64_t>(0, -t0);
    const int64_t jEnd = std::min<int64_t>(m, size - t0);
    for (int64_t j = jBegin; j < jEnd; ++j) {
        const int64_t jj = reversed ? m - 1 - j : j;
        // Source position jj * (l - 1) / (m - 1), kept exact as a whole part
        // and a remainder so that equal lengths copy the run unchanged.
        int64_t i = 0;
        double frac = 0;
        if (m > 1) {
            const int64_t num = jj * (l - 1);
            i = num / (m - 1);
            frac = static_cast<double>(num % (m - 1)) / static_cast<double>(m - 1);
        }
        double v = from[static_cast<size_t>(i)];
        if (frac > 0)
            v += (from[static_cast<size_t>(i + 1)] - v) * frac;
        all[static_cast<size_t>(t0 + j)] = W_ToWord(v);
    }
}

void W_CompYMaxMin(WaveHandle h, double first, double count, double yMax, double yMin) {
    rescale(h, first, count, yMax, yMin);
}

void W_CompYAmpOff(WaveHandle h, double first, double count, double amplitude, double offset) {
    rescale(h, first, count, offset + amplitude / 2, offset - amplitude / 2);
}

int32_t W_GetMaxMin(WaveHandle h, double first, double count, int32_t selector) {
    auto all = bufferWords(h);
    if (all.empty() || (selector != 0 && selector != 1))
        return 0;
    const Run r = clipRun(first, count, static_cast<int64_t>(all.size()));
    if (r.count == 0)
        return all[static_cast<size_t>(std::min<int64_t>(r.first, all.size() - 1))];
    const Extremes e =
        extremes(all.subspan(static_cast<size_t>(r.first), static_cast<size_t>(r.count)));
    return selector == 0 ? e.lo : e.hi;
}
