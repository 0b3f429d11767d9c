// Bus layer speed: packing a full waveform (65,536 words) in each binary
// format with and without the byte exchange, and a 128 KiB binary send
// through the GPIB back end and the fake board library.
#include "bus/BinaryPacking.h"
#include "bus/GP_common.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <vector>

using namespace velda::bus;

static void BM_Pack(benchmark::State& state) {
    const auto format = int16_t(state.range(0));
    const auto swap = int16_t(state.range(1));
    constexpr int32_t Words = 65536;
    std::vector<uint8_t> bytes(size_t(Words) * 2);
    std::vector<int16_t> words(Words);
    std::vector<int32_t> longs(Words / 2);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 7);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = int16_t(i * 13);
    for (size_t i = 0; i < longs.size(); ++i)
        longs[i] = int32_t(i * 1000003);
    BusArray data;
    int32_t count;
    if (format == FormatByte) {
        data = std::span<const uint8_t>(bytes);
        count = Words * 2;
    } else if (format == FormatInteger) {
        data = std::span<const int16_t>(words);
        count = Words;
    } else {
        data = std::span<const int32_t>(longs);
        count = Words / 2;
    }
    std::vector<uint8_t> out;
    for (auto _ : state) {
        Pack_Binary_Into(out, data, count, format, swap);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * Words * 2);
}
BENCHMARK(BM_Pack)
    ->ArgsProduct({{0, 1, 2}, {0, 1}})
    ->ArgNames({"format", "swap"})
    ->Unit(benchmark::kMicrosecond);

static void BM_SendBinary128KiB(benchmark::State& state) {
    const QString fake = QStringLiteral(VELDA_BINARY_DIR "/fakes/libfake_gpib.so");
    void* control = dlopen(fake.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    if (!control) {
        state.SkipWithError("fake GPIB library not built");
        return;
    }
    auto reset = reinterpret_cast<void (*)(const char*)>(dlsym(control, "fake_gpib_reset"));
    reset("gpib0");
    BusContext context;
    context.libraryNames = [&](const QString&) { return QStringList{fake}; };
    GP_common bus(context);
    bus.Set_Interface_Kind(KindNiGpib);
    bus.GP_Init(QStringLiteral("MYADRS = 0, BOARD_NAME = gpib0"));
    std::vector<uint8_t> bytes(128 * 1024, 0x5A);
    for (auto _ : state) {
        reset("gpib0"); // the fake keeps what it was sent; start empty each time
        benchmark::DoNotOptimize(bus.GP_Send_Binary_Data(std::span<const uint8_t>(bytes), 5,
                                                         int32_t(bytes.size()), FormatByte, 0, 0));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes.size()));
    dlclose(control);
}
BENCHMARK(BM_SendBinary128KiB)->Unit(benchmark::kMicrosecond);

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
