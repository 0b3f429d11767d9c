// Speed of the waveform conversion before a transfer: 65,536 points must take
// well under 100 us. The shift used for power-of-two masks runs beside the
// general division (a mask whose step is 3) and the plain floating-point
// formula, on the same words.
#include "control/WaveData.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <vector>

using namespace velda::control;

namespace {

std::vector<int16_t> ramp() {
    std::vector<int16_t> words(65536);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<int16_t>(-32767 + static_cast<int>((i * 4099) % 65535));
    return words;
}

void BM_Convert(benchmark::State& state) {
    const auto words = ramp();
    std::vector<uint8_t> out(2 * words.size());
    const int64_t mask = state.range(0);
    for (auto _ : state) {
        Convert_WaveData(words, 65536, mask, false, std::span(out));
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 65536);
}
// 0xFFFF (step 1), 0xFFFC (step 4, the usual 14-bit instrument), 0xFFFD (step 3).
BENCHMARK(BM_Convert)->Arg(0xFFFF)->Arg(0xFFFC)->Arg(0xFFFD)->Unit(benchmark::kMicrosecond);

// The peer: the plain formula with a floating-point division per point.
void BM_ConvertByDivision(benchmark::State& state) {
    const auto words = ramp();
    std::vector<uint8_t> out(2 * words.size());
    const double d = 4;
    for (auto _ : state) {
        for (size_t i = 0; i < words.size(); ++i) {
            const auto v = static_cast<uint16_t>(static_cast<int>(std::nearbyint(words[i] / d)));
            out[2 * i] = static_cast<uint8_t>(v >> 8);
            out[2 * i + 1] = static_cast<uint8_t>(v);
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 65536);
}
BENCHMARK(BM_ConvertByDivision)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
