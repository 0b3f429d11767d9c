#include "engine/spline32.h"

#include "engine/DataWord.h"

#include <gsl/gsl_errno.h>
#include <gsl/gsl_interp.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <mutex>
#include <new>
#include <numeric>
#include <vector>

namespace velda::engine {
namespace {

thread_local int t_lastGslError = 0;

// GSL's default handler aborts the process; ours only remembers the error,
// and the status each GSL call returns travels on as our result.
void recordGslError(const char* /*reason*/, const char* /*file*/, int /*line*/, int gslErrno) {
    t_lastGslError = gslErrno;
}

void ensureGslHandler() {
    static std::once_flag once;
    std::call_once(once, [] { gsl_set_error_handler(&recordGslError); });
}

struct InterpDeleter {
    void operator()(gsl_interp* p) const { gsl_interp_free(p); }
};
struct AccelDeleter {
    void operator()(gsl_interp_accel* p) const { gsl_interp_accel_free(p); }
};

// Usable control points in ascending X, one per X.
struct Knots {
    std::vector<double> x;
    std::vector<double> y;
    size_t size() const { return x.size(); }
};

Knots usableKnots(std::span<const double> xs, std::span<const double> ys, int32_t count) {
    const size_t n =
        std::min<size_t>({count > 0 ? static_cast<size_t>(count) : 0u, xs.size(), ys.size()});
    std::vector<size_t> order;
    order.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        if (std::isfinite(xs[i]) && std::isfinite(ys[i]))
            order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return xs[a] < xs[b]; });
    Knots k;
    k.x.reserve(order.size() + 1);
    k.y.reserve(order.size() + 1);
    for (size_t i : order) {
        // Stable order puts the point given last at the end of its group.
        if (!k.x.empty() && k.x.back() == xs[i]) {
            k.y.back() = ys[i];
            continue;
        }
        k.x.push_back(xs[i]);
        k.y.push_back(ys[i]);
    }
    return k;
}

// Where the curve is written, and how its values become words.
struct Target {
    std::span<int16_t> words; // the run [first, first + words.size())
    int64_t first = 0;
    double limit = kWordMax;

    void put(int64_t i, double v) const {
        words[static_cast<size_t>(i)] = W_ToWord(std::clamp(v, -limit, limit));
    }
};

bool makeTarget(WaveHandle h, double S, double E, int32_t N, int32_t maxWord, Target& t) {
    auto all = bufferWords(h);
    if (all.empty() || N <= 0)
        return false;
    const int64_t size = std::min<int64_t>(N, static_cast<int64_t>(all.size()));
    const Run r = clipRun(S, E - S, size);
    t.words = all.subspan(static_cast<size_t>(r.first), static_cast<size_t>(r.count));
    t.first = r.first;
    t.limit = std::clamp(maxWord, 0, kWordMax);
    return true;
}

void fillLevel(const Target& t, double level) {
    for (size_t i = 0; i < t.words.size(); ++i)
        t.put(static_cast<int64_t>(i), level);
}

// The curve of `type` through the knots over the target run; before the first
// and after the last knot the ends' levels are held. `wrap` > 0 makes point p
// below the first knot read the curve at p + wrap (the periodic whole
// waveform, whose knots then span exactly `wrap`).
int32_t fillCurve(const gsl_interp_type* type, const Knots& k, const Target& t, double wrap) {
    std::unique_ptr<gsl_interp, InterpDeleter> interp(gsl_interp_alloc(type, k.size()));
    std::unique_ptr<gsl_interp_accel, AccelDeleter> acc(gsl_interp_accel_alloc());
    if (!interp || !acc)
        return GSL_ENOMEM;
    if (const int status = gsl_interp_init(interp.get(), k.x.data(), k.y.data(), k.size()))
        return status;
    const double x0 = k.x.front();
    const double xn = k.x.back();
    for (size_t i = 0; i < t.words.size(); ++i) {
        double p = static_cast<double>(t.first) + static_cast<double>(i);
        if (wrap > 0 && p < x0)
            p += wrap;
        double v;
        if (p <= x0) {
            v = k.y.front();
        } else if (p >= xn) {
            v = k.y.back();
        } else if (const int status =
                       gsl_interp_eval_e(interp.get(), k.x.data(), k.y.data(), p, acc.get(), &v)) {
            return status;
        }
        t.put(static_cast<int64_t>(i), v);
    }
    return 0;
}

int32_t guarded(auto&& work) {
    ensureGslHandler();
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return GSL_ENOMEM;
    }
}

} // namespace

int lastGslError() {
    ensureGslHandler();
    return t_lastGslError;
}

void clearGslError() {
    t_lastGslError = 0;
}

} // namespace velda::engine

using namespace velda::engine;

int32_t Spline_Hokan_Line(WaveHandle h, double S, double E, std::span<const double> x,
                          std::span<const double> y, int32_t count, int32_t N, int32_t maxWord) {
    return guarded([&]() -> int32_t {
        Target t;
        if (!makeTarget(h, S, E, N, maxWord, t))
            return kSplineBadArgument;
        const Knots k = usableKnots(x, y, count);
        if (k.size() == 0)
            return kSplineNoPoints;
        if (k.size() == 1) {
            fillLevel(t, k.y.front());
            return 0;
        }
        return fillCurve(gsl_interp_linear, k, t, 0);
    });
}

int32_t Spline_Hokan_Spline(int32_t variant, WaveHandle h, double S, double E,
                            std::span<const double> x, std::span<const double> y, int32_t count,
                            int32_t N, int32_t maxWord) {
    return guarded([&]() -> int32_t {
        if (variant < 0 || variant > 2)
            return kSplineBadArgument;
        Target t;
        if (!makeTarget(h, S, E, N, maxWord, t))
            return kSplineBadArgument;
        Knots k;
        if (variant == 2) {
            // Positions beyond the waveform's ends are brought back onto them.
            std::vector<double> xc(x.begin(), x.begin() + std::min(x.size(), y.size()));
            for (double& v : xc) {
                if (std::isfinite(v))
                    v = std::clamp(v, 0.0, static_cast<double>(N));
            }
            k = usableKnots(xc, y, count);
            // The point at N is the point at 0 of the next period.
            if (k.size() > 1 && k.x.back() - k.x.front() >= N) {
                k.x.pop_back();
                k.y.pop_back();
            }
        } else {
            k = usableKnots(x, y, count);
        }
        if (k.size() == 0)
            return kSplineNoPoints;
        if (k.size() == 1) {
            fillLevel(t, k.y.front());
            return 0;
        }
        if (variant == 2) {
            k.x.push_back(k.x.front() + N);
            k.y.push_back(k.y.front());
            return fillCurve(gsl_interp_cspline_periodic, k, t, N);
        }
        if (k.size() == 2)
            return fillCurve(gsl_interp_linear, k, t, 0);
        return fillCurve(variant == 0 ? gsl_interp_cspline : gsl_interp_cspline_periodic, k, t, 0);
    });
}

void Q_Sort(std::span<double> x, std::span<double> y, int32_t low, int32_t high) {
    const int64_t size = static_cast<int64_t>(std::min(x.size(), y.size()));
    const int64_t lo = std::max<int64_t>(low, 0);
    const int64_t hi = std::min<int64_t>(high, size - 1);
    if (hi <= lo)
        return;
    const auto n = static_cast<size_t>(hi - lo + 1);
    const auto base = static_cast<size_t>(lo);
    std::vector<size_t> order;
    std::vector<double> xs, ys;
    try {
        order.resize(n);
        xs.resize(n);
        ys.resize(n);
    } catch (const std::bad_alloc&) {
        return; // unsorted is better than a half-moved list
    }
    std::iota(order.begin(), order.end(), base);
    // NaN sorts behind every number, so the order stays a strict weak one.
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return !std::isnan(x[a]) && (std::isnan(x[b]) || x[a] < x[b]);
    });
    for (size_t i = 0; i < n; ++i) {
        xs[i] = x[order[i]];
        ys[i] = y[order[i]];
    }
    std::copy(xs.begin(), xs.end(), x.begin() + static_cast<std::ptrdiff_t>(base));
    std::copy(ys.begin(), ys.end(), y.begin() + static_cast<std::ptrdiff_t>(base));
}
