// Start-up from the program object to the shown main window (offscreen),
// on the shipped data with a fresh settings file each time.
#include "app/Program.h"
#include "document/MainWindow.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace velda;

static void BM_StartupToShownWindow(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir dir;
        ProgramOptions o;
        o.dataDir = QStringLiteral(VELDA_SOURCE_DIR "/data");
        o.iniPath = dir.filePath(QStringLiteral("VELDA.ini"));
        state.ResumeTiming();
        {
            Program p(o);
            MainWindow w(p);
            if (!w.Form_Load(QString()))
                state.SkipWithError("start-up failed");
            w.show();
            QApplication::processEvents();
            state.PauseTiming();
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartupToShownWindow)->Unit(benchmark::kMillisecond)->Iterations(10);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
