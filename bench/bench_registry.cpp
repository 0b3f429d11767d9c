// Cost of the settings object's creation and destruction (part of start-up
// and exit) and of one setting read, on a store in a temporary folder.
#include "app/Registry.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace velda;

static void BM_RegistryCreateDestroy(benchmark::State& state) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("VELDA/VELDA.ini"));
    for (auto _ : state) {
        clsRegistry r(ini);
        r.setScreenTwips({});
        benchmark::DoNotOptimize(r.WinH());
    }
}
BENCHMARK(BM_RegistryCreateDestroy)->Unit(benchmark::kMillisecond);

static void BM_RegistryReadSetting(benchmark::State& state) {
    QTemporaryDir dir;
    clsRegistry r(dir.filePath(QStringLiteral("VELDA/VELDA.ini")));
    r.setGpibBoard(1);
    for (auto _ : state)
        benchmark::DoNotOptimize(r.GpibBoard());
}
BENCHMARK(BM_RegistryReadSetting)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
