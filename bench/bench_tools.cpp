// The three tools' heavy steps on the largest waveform: a cubic spline through
// 2,000 control points, one operation of the Operate tool, and one
// recomputation of the Compress/Decompress tool.
#include "document/WaveDocument.h"
#include "engine/DataWord.h"
#include "engine/spline32.h"
#include "engine/wavelb32.h"
#include "engine/wavelb32_calc.h"
#include "setup/SystemParameter.h"
#include "tools/ElasticLogic.h"
#include "units/Units.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

namespace {

constexpr int kN = velda::kBufferPoints;

void fillSine(WaveHandle h, double periods) {
    auto w = velda::engine::bufferWords(h);
    for (size_t i = 0; i < w.size(); ++i)
        w[i] = velda::W_ToWord(30000 * std::sin(2 * M_PI * periods * static_cast<double>(i) / kN));
}

void BM_CubicSpline2000Points(benchmark::State& state) {
    const auto variant = static_cast<int32_t>(state.range(0));
    std::vector<double> x, y;
    for (int i = 0; i < 2000; ++i) {
        x.push_back(i * (kN / 2000.0) + 3);
        y.push_back(20000 * std::sin(i * 0.05));
    }
    const WaveHandle h = W_AllocMemory(kN);
    for (auto _ : state) {
        const int32_t r = Spline_Hokan_Spline(variant, h, 0, kN, x, y, 2000, kN, 32767);
        benchmark::DoNotOptimize(r);
        benchmark::ClobberMemory();
    }
    W_FreeMemory(h);
}
BENCHMARK(BM_CubicSpline2000Points)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_W_CalcWave(benchmark::State& state) {
    const WaveHandle a = W_AllocMemory(kN);
    const WaveHandle b = W_AllocMemory(kN);
    const WaveHandle r = W_AllocMemory(kN);
    fillSine(a, 3);
    fillSine(b, 7);
    const auto op = static_cast<int32_t>(state.range(0));
    for (auto _ : state) {
        W_CalcWave(a, b, r, 0, kN, -10.0, 10.0, op);
        benchmark::ClobberMemory();
    }
    W_FreeMemory(a);
    W_FreeMemory(b);
    W_FreeMemory(r);
}
BENCHMARK(BM_W_CalcWave)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

void BM_ApplyElastic(benchmark::State& state) {
    velda::SystemParameter sp;
    sp.MemorySize = kN;
    velda::WaveDocument doc(sp);
    velda::UnitContext units(sp);
    if (!doc.Alloc_WaveMemory()) {
        state.SkipWithError("allocation failed");
        return;
    }
    fillSine(doc.CurrentBuf(), 5);
    doc.CurArea() = velda::WaveArea{1000, 40000};
    velda::ElasticLogic el(doc, units);
    el.Open();
    // Stretch the area over the whole waveform with a new amplitude.
    el.NewStartX = 0;
    el.NewEndX = kN;
    el.YAmp = 40000;
    el.YOffs = 100;
    for (auto _ : state) {
        el.Apply_Elastic();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ApplyElastic)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
