// Start-up cost of the model information: reading and checking the shipped
// model file, and the whole set-up start (lists, records, command tables).
#include "engine/sysinf32.h"
#include "setup/SystemSetup.h"

#include <benchmark/benchmark.h>
#include <string>

namespace {

const std::string kShipped = VELDA_SOURCE_DIR "/data/models.toml";
const std::string kMany = VELDA_SOURCE_DIR "/tests/data/models_many.toml";

void BM_InitDeviceInfo(benchmark::State& state, const std::string& path) {
    SysSetModelFile(path.c_str());
    for (auto _ : state)
        benchmark::DoNotOptimize(SysInitDeviceInfo());
}
BENCHMARK_CAPTURE(BM_InitDeviceInfo, shipped, kShipped)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_InitDeviceInfo, many, kMany)->Unit(benchmark::kMicrosecond);

void BM_StartUp(benchmark::State& state) {
    SysSetModelFile(kShipped.c_str());
    for (auto _ : state) {
        velda::SystemSetup setup;
        benchmark::DoNotOptimize(setup.Start_Up(2, 3, 1));
    }
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMicrosecond);

void BM_ChangeModel(benchmark::State& state) {
    SysSetModelFile(kShipped.c_str());
    velda::SystemSetup setup;
    setup.Start_Up(0, 0, 0);
    int m = 0;
    for (auto _ : state) {
        m = (m + 1) % int(setup.ModelNames.size());
        benchmark::DoNotOptimize(setup.Change_Model(m));
    }
}
BENCHMARK(BM_ChangeModel)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
