// Speed of the expression evaluator and the sine generator over a full
// 65,536-point buffer. Run with --benchmark_repetitions for medians.

#include "engine/eval32.h"
#include "engine/wavelb32.h"
#include "engine/wavelb32_make.h"
#include "tools/CreatePages.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

constexpr int kPoints = 65536;

struct Buffer {
    Buffer() : h(W_AllocMemory(kPoints)) {}
    ~Buffer() { W_FreeMemory(h); }
    WaveHandle h;
};

void BM_EvalArray1_SineWithNoise(benchmark::State& state) {
    Buffer b;
    EvalInitRandom(1);
    int32_t position = 0;
    for (auto _ : state) {
        const int32_t r =
            EvalArray1(0, kPoints, b.h, position, "sin(2*pi*x/65536)*20000 + rnd(x, 1000)");
        if (r != 0)
            state.SkipWithError("evaluation failed");
        benchmark::DoNotOptimize(velda::engine::bufferWords(b.h).data());
    }
}
BENCHMARK(BM_EvalArray1_SineWithNoise)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same text through each way of evaluating: 0 point by point, else
// blocks on that many threads.
void BM_Evaluator_SineWithNoise(benchmark::State& state) {
    Buffer b;
    velda::engine::Evaluator e;
    e.setBlockEvaluation(state.range(0) > 0, static_cast<int>(state.range(0)));
    int32_t position = 0;
    for (auto _ : state) {
        if (e.evalArray(0, kPoints, b.h, position, "sin(2*pi*x/65536)*20000 + rnd(x, 1000)"))
            state.SkipWithError("evaluation failed");
        benchmark::DoNotOptimize(velda::engine::bufferWords(b.h).data());
    }
}
BENCHMARK(BM_Evaluator_SineWithNoise)
    ->Arg(0)
    ->Arg(1)
    ->Arg(2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The texts that bench/compare_numpy.py computes with numpy beside us: one
// with noise, one with several functions and a constant block, one with a
// division. Keep the two tables in step.
constexpr const char* kCompared[] = {
    "sin(2*pi*x/65536)*20000 + rnd(x, 1000)",
    "[a=8000; f=3] a*sin(2*pi*f*x/65536)*sqrt(x/65536) + a/4*sign(x-32768)",
    "30000*(x-32768)/(abs(x-32768)+1000)",
    // Three transcendental functions a point: the libm calls bound us here.
    "[a=8000; f=3] a*sin(2*pi*f*x/65536)*exp(-x/30000) + a/2*cos(2*pi*x/4096)",
};

void BM_Compare(benchmark::State& state) {
    Buffer b;
    EvalInitRandom(1);
    int32_t position = 0;
    const char* text = kCompared[state.range(0)];
    for (auto _ : state) {
        if (EvalArray1(0, kPoints, b.h, position, text))
            state.SkipWithError("evaluation failed");
        benchmark::DoNotOptimize(velda::engine::bufferWords(b.h).data());
    }
}
BENCHMARK(BM_Compare)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same with a division by zero guard run: log(x) at point 0 raises the
// flags, so the checking parser runs over every point as well.
void BM_EvalArray1_WithCheckingRun(benchmark::State& state) {
    Buffer b;
    int32_t position = 0;
    for (auto _ : state) {
        const int32_t r = EvalArray1(0, kPoints, b.h, position, "log(x)*1000");
        if (r != 0)
            state.SkipWithError("evaluation failed");
    }
}
BENCHMARK(BM_EvalArray1_WithCheckingRun)->Unit(benchmark::kMillisecond);

void BM_W_MakeSin(benchmark::State& state) {
    Buffer b;
    for (auto _ : state) {
        W_MakeSin(b.h, 0, kPoints, 0, 65534, 3, 30);
        benchmark::DoNotOptimize(velda::engine::bufferWords(b.h).data());
    }
}
BENCHMARK(BM_W_MakeSin)->Unit(benchmark::kMicrosecond);

void BM_W_MakeSquare(benchmark::State& state) {
    Buffer b;
    for (auto _ : state) {
        W_MakeSquare(b.h, 0, kPoints, 0, 65534, 3, 30, 25, 5);
        benchmark::DoNotOptimize(velda::engine::bufferWords(b.h).data());
    }
}
BENCHMARK(BM_W_MakeSquare)->Unit(benchmark::kMicrosecond);

// The core of "All Page OK": 200 sine pages side by side over 65,536 points,
// each generated into the work buffer and copied into the waveform.
void BM_MakeWave_200SinePages(benchmark::State& state) {
    using namespace velda::tools;
    Buffer work, wave;
    CreatePages store;
    const double width = kPoints / 200.0;
    for (int n = CreatePages::FirstPage; n <= CreatePages::LastPage; ++n) {
        CreatePageRecord& p = store.CreatePage(n);
        p.Effect = PageTrue;
        p.AreaStart = std::round((n - 1) * width);
        p.AreaEnd = std::round(n * width);
        p.Size() = p.AreaEnd - p.AreaStart;
        p.Cycle() = n % 7 + 1;
    }
    const ExprUnits units;
    for (auto _ : state) {
        W_ClearMemory(work.h, 0, kPoints);
        for (int n = CreatePages::FirstPage; n <= CreatePages::LastPage; ++n) {
            const CreatePageRecord& p = store.CreatePage(n);
            if (!p.Effect)
                continue;
            Make_Wave(p, {work.h, true, true}, units);
            W_CopyMemory(work.h, wave.h, p.AreaStart, p.AreaStart, p.AreaEnd - p.AreaStart);
        }
        benchmark::DoNotOptimize(velda::engine::bufferWords(wave.h).data());
    }
}
BENCHMARK(BM_MakeWave_200SinePages)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
