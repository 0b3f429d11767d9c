// Speed of the number text that every read-out and entry field goes through.
// The view refreshes several read-outs per scroll step, so each call must stay
// well under a microsecond.
#include "setup/SystemParameter.h"
#include "units/NumberText.h"
#include "units/Units.h"

#include <QString>
#include <benchmark/benchmark.h>
#include <vector>

using namespace velda;

namespace {

const double kValues[] = {1500, 0.5,   -123.456, 2.5e-6,  1000,  0.001,   0,
                          1e12, 1e-20, 3.3e8,    -7.1e-9, 65534, 1.0 / 3, 42};

std::vector<QString> typedTexts() {
    return {QStringLiteral("1.5k"),     QStringLiteral("500.000m"),
            QStringLiteral("-123.456"), QStringLiteral("2.50000u"),
            QStringLiteral("  12  "),   QStringLiteral("1e3k"),
            QStringLiteral("5mV"),      QStringLiteral("&H1F"),
            QStringLiteral("abc"),      QStringLiteral("0.333333333333333"),
            QStringLiteral("1.00E+12"), QString()};
}

void BM_Eng_StrN(benchmark::State& state) {
    const int digits = static_cast<int>(state.range(0));
    size_t i = 0;
    for (auto _ : state) {
        QString s = Eng_StrN(kValues[i], digits);
        benchmark::DoNotOptimize(s);
        i = (i + 1) % std::size(kValues);
    }
}
BENCHMARK(BM_Eng_StrN)->Arg(7)->Arg(10);

void BM_Eng_Val(benchmark::State& state) {
    const std::vector<QString> texts = typedTexts();
    size_t i = 0;
    for (auto _ : state) {
        double v = Eng_Val(texts[i]);
        benchmark::DoNotOptimize(v);
        i = (i + 1) % texts.size();
    }
}
BENCHMARK(BM_Eng_Val);

void BM_Eng_Str(benchmark::State& state) {
    size_t i = 0;
    for (auto _ : state) {
        QString s = Eng_Str(kValues[i], ".#############");
        benchmark::DoNotOptimize(s);
        i = (i + 1) % std::size(kValues);
    }
}
BENCHMARK(BM_Eng_Str);

void BM_Word_To_YText(benchmark::State& state) {
    SystemParameter sp;
    sp.MemorySize = 65536;
    sp.Amplitude = 10;
    sp.Offset = 1;
    sp.YUnitMode = static_cast<int16_t>(state.range(0));
    const UnitContext units(sp);
    double w = -32767;
    for (auto _ : state) {
        QString s = units.Word_To_YText(w);
        benchmark::DoNotOptimize(s);
        w = w >= 32767 ? -32767 : w + 977;
    }
}
BENCHMARK(BM_Word_To_YText)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
