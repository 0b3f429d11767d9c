// Cost of the undo copy every editing command takes, and of the engine's
// buffer copy against a plain memcpy of the same bytes.
#include "document/WaveDocument.h"
#include "engine/DataWord.h"
#include "engine/wavelb32.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

namespace {

void BM_SaveUndo(benchmark::State& state) {
    velda::SystemParameter sp;
    sp.MemorySize = velda::kBufferPoints;
    velda::WaveDocument doc(sp);
    if (!doc.Alloc_WaveMemory()) {
        state.SkipWithError("allocation failed");
        return;
    }
    auto w = velda::engine::bufferWords(doc.CurrentBuf());
    for (size_t i = 0; i < w.size(); ++i)
        w[i] = static_cast<int16_t>(i * 7);
    for (auto _ : state) {
        doc.Save_Undo();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * velda::kBufferPoints * 2);
}
BENCHMARK(BM_SaveUndo);

void BM_W_CopyMemory(benchmark::State& state) {
    const WaveHandle a = W_AllocMemory(velda::kBufferPoints);
    const WaveHandle b = W_AllocMemory(velda::kBufferPoints);
    for (auto _ : state) {
        W_CopyMemory(a, b, 0, 0, velda::kBufferPoints);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * velda::kBufferPoints * 2);
    W_FreeMemory(a);
    W_FreeMemory(b);
}
BENCHMARK(BM_W_CopyMemory);

void BM_memcpy(benchmark::State& state) {
    std::vector<int16_t> a(velda::kBufferPoints, 1), b(velda::kBufferPoints);
    for (auto _ : state) {
        std::memcpy(b.data(), a.data(), a.size() * sizeof(int16_t));
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * velda::kBufferPoints * 2);
}
BENCHMARK(BM_memcpy);

} // namespace

BENCHMARK_MAIN();
