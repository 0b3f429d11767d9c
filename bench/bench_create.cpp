// "All Page OK" of the Create dialog: 200 sine pages that together cover
// 65,536 points, generated and written into the waveform through the
// dialog's own handler (undo copy, clearing, generation, copies).
#include "app/Program.h"
#include "document/MainWindow.h"
#include "tools/CreateDialog.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>

using namespace velda;
using namespace velda::tools;

static void BM_AllPageOk200SinePages(benchmark::State& state) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("VELDA.ini"));
    {
        // The shipped model with 65,536 points: model 2, memory size 3.
        QSettings s(ini, QSettings::IniFormat);
        s.setValue(QStringLiteral("Sysinfo/sys_no"), 2);
        s.setValue(QStringLiteral("Sysinfo/memory_width_no"), 3);
    }
    ProgramOptions o;
    o.dataDir = QStringLiteral(VELDA_SOURCE_DIR "/data");
    o.iniPath = ini;
    Program program(o);
    MainWindow window(program);
    if (!window.Form_Load(QString())) {
        state.SkipWithError("start-up failed");
        return;
    }
    const int32_t n = program.Document.N();
    if (n != 65536) {
        state.SkipWithError("the model with 65,536 points is not selected");
        return;
    }
    for (int page = 1; page <= 200; ++page) {
        CreatePageRecord& p = program.Pages.CreatePage(page);
        p.FuncType = FuncSin;
        p.AreaStart = std::round((page - 1) * n / 200.0);
        p.AreaEnd = std::round(page * n / 200.0);
        p.Size() = p.AreaEnd - p.AreaStart;
        p.Ampl() = 20000;
        p.Cycle() = 3;
        p.Effect = PageTrue;
        p.Visited = PageTrue;
    }
    CreateDialog dialog(program, {}, &window);
    dialog.Prepare(true);
    for (auto _ : state) {
        dialog.Btn_Confirm_Click();
        benchmark::DoNotOptimize(program.Document.CurrentBuf());
    }
    if (dialog.result() != QDialog::Accepted)
        state.SkipWithError("All Page OK did not finish");
}
BENCHMARK(BM_AllPageOk200SinePages)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
