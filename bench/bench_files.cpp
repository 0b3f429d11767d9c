// Saving and loading a full 65,536-point waveform as .wdb and .txt, and
// reading a 200-page expression file. Targets: .wdb < 2 ms, .txt < 15 ms,
// .wfn < 10 ms per operation.
#include "engine/DataWord.h"
#include "engine/file32.h"
#include "files/ExpressionFile.h"
#include "files/PackedRecord.h"

#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <random>
#include <vector>

using namespace velda;

namespace {

struct Fixture {
    Fixture() : h(W_AllocMemory(kBufferPoints)) {
        std::mt19937 rng(42);
        std::uniform_int_distribution<int> d(kWordMin, kWordMax);
        for (int16_t& w : engine::bufferWords(h))
            w = static_cast<int16_t>(d(rng));
        SystemParameter sp;
        sp.MemorySize = kBufferPoints;
        record = Pack_System_Record(sp, IfUsbTmc);
        wdb = dir.filePath(QStringLiteral("bench.wdb"));
        txt = dir.filePath(QStringLiteral("bench.txt"));
        wfn = dir.filePath(QStringLiteral("bench.wfn"));
        Save7731File(wdb, record, h);
        SaveWaveData(txt, h, 0, kBufferPoints);

        ExpressionUnits u;
        u.points = kBufferPoints;
        u.xUnitText = u.xUnitName = QStringLiteral("Word");
        u.pointToX = [](double p) { return std::clamp(p, 0.0, double(kBufferPoints)); };
        u.wordToY = u.wordSpanToY = [](double w) { return w; };
        std::vector<WaveListPage> pages(203);
        for (int p = 1; p <= 200; ++p) {
            WaveListPage& pg = pages[static_cast<size_t>(p)];
            pg.Effect = -1;
            pg.FuncType = static_cast<int16_t>(p % 6);
            pg.AreaStart = (p - 1) * 300.5;
            pg.AreaEnd = p * 300.5;
            pg.Param = {100, 300.5, 65534, 2, 45, 50, 25, 1.5};
            pg.ExprText = QStringLiteral("sin(2*pi*x/1000)*a+b*cos(x/7)");
            pg.ConstText = QStringLiteral("a=0.5;b=0.25");
        }
        Write_Expression_File(wfn, pages, u);
    }
    ~Fixture() { W_FreeMemory(h); }

    QTemporaryDir dir;
    WaveHandle h;
    PackedRecord record;
    QString wdb, txt, wfn;
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

void BM_SaveWdb(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(Save7731File(f.wdb, f.record, f.h));
}

void BM_LoadWdb(benchmark::State& state) {
    Fixture& f = fixture();
    PackedRecord rec{};
    for (auto _ : state)
        benchmark::DoNotOptimize(Read7731File(f.wdb, rec, f.h));
}

void BM_SaveTxt(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(SaveWaveData(f.txt, f.h, 0, kBufferPoints));
}

void BM_LoadTxt(benchmark::State& state) {
    Fixture& f = fixture();
    for (auto _ : state)
        benchmark::DoNotOptimize(LoadWaveData(f.txt, f.h, 0, kBufferPoints));
}

void BM_ReadWfn200Pages(benchmark::State& state) {
    Fixture& f = fixture();
    const ExpressionRanges current{kBufferPoints, 0, kBufferPoints, -32767, 32767};
    for (auto _ : state) {
        const ExpressionRead r = Read_Expression_File(f.wfn, current);
        if (r.pages.size() != 200)
            state.SkipWithError("pages missing");
        benchmark::DoNotOptimize(r.pages.data());
    }
}

} // namespace

BENCHMARK(BM_SaveWdb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadWdb)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveTxt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadTxt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWfn200Pages)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
