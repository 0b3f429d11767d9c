// Redraw times of the main window's two views on a 1600 x 600 surface:
// the analog view (clear, grid, zero line, curve) at 1:1 (65,536 points) and
// at 1:128 (512 points), and the digital view at 1:1.
#include "document/Grid.h"
#include "engine/wavelb32.h"
#include "engine/wavelb32_draw.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <benchmark/benchmark.h>
#include <cmath>
#include <numbers>
#include <random>

namespace {

constexpr int kWidth = 1600;
constexpr int kHeight = 600;
constexpr int kPoints = 65536;

enum Shape { Sine = 0, Noise = 1 };

// A buffer of 65,536 points: one sine period with a little noise (the usual
// case), or full-scale noise (the longest min-to-max lines).
WaveHandle makeWave(Shape shape) {
    const WaveHandle h = W_AllocMemory(kPoints);
    auto w = velda::engine::bufferWords(h);
    std::mt19937 rng(1);
    std::uniform_int_distribution<int> full(-32767, 32767);
    std::uniform_int_distribution<int> small(-300, 300);
    for (int i = 0; i < kPoints; ++i) {
        const double s = 30000 * std::sin(2 * std::numbers::pi * i / kPoints);
        w[static_cast<size_t>(i)] =
            static_cast<int16_t>(shape == Sine ? std::lround(s) + small(rng) : full(rng));
    }
    return h;
}

// The view's picture: a plain image (filled directly) or a pixmap (drawn
// through QPainter, as on a printer or straight on a widget).
template <typename Picture> void analogRedraw(benchmark::State& state, double count) {
    const WaveHandle h = makeWave(static_cast<Shape>(state.range(0)));
    Picture img(kWidth, kHeight);
    const velda::Grid grid;
    for (auto _ : state) {
        img.fill(Qt::black);
        QPainter p(&img);
        grid.Drow(&p, kWidth, kHeight);
        p.setPen(velda::engine::bgrColor(0xFFFFFF));
        W_DrawGrid2(&p, 0, 65534, kWidth, kHeight);
        p.setPen(velda::engine::bgrColor(0xFF0000));
        W_DrawWave2(&p, h, 1000, 0, count, 65534, kWidth, kHeight);
        p.end();
        benchmark::ClobberMemory();
    }
    W_FreeMemory(h);
}

struct Image : QImage {
    Image(int w, int h) : QImage(w, h, QImage::Format_ARGB32_Premultiplied) {}
};

void BM_AnalogRedraw_1to1(benchmark::State& state) {
    analogRedraw<Image>(state, kPoints);
}
void BM_AnalogRedraw_1to128(benchmark::State& state) {
    analogRedraw<Image>(state, kPoints / 128);
}
void BM_AnalogRedraw_1to1_Pixmap(benchmark::State& state) {
    analogRedraw<QPixmap>(state, kPoints);
}
void BM_AnalogRedraw_1to128_Pixmap(benchmark::State& state) {
    analogRedraw<QPixmap>(state, kPoints / 128);
}

void BM_DigitalRedraw_1to1(benchmark::State& state) {
    const WaveHandle h = makeWave(static_cast<Shape>(state.range(0)));
    QImage img(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        img.fill(Qt::black);
        QPainter p(&img);
        W_DrawDigitalPattern(&p, h, 0, kPoints, 14, 0x0100, 20000, 30000, kWidth, kHeight, 0xFF0000,
                             0x000000, 0xFFFF00, 0x8000);
        p.end();
        benchmark::DoNotOptimize(img.constBits());
    }
    W_FreeMemory(h);
}

BENCHMARK(BM_AnalogRedraw_1to1)->Arg(Sine)->Arg(Noise)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalogRedraw_1to128)->Arg(Sine)->Arg(Noise)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalogRedraw_1to1_Pixmap)->Arg(Sine)->Arg(Noise)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AnalogRedraw_1to128_Pixmap)->Arg(Sine)->Arg(Noise)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DigitalRedraw_1to1)->Arg(Sine)->Arg(Noise)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
