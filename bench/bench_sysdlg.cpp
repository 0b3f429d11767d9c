// The System Setup dialog's whole refresh (Show_Record): every list selected,
// every field written and every enable rule applied, for an oscillator and
// for the power source. Also a model change as the user makes it, which
// rebuilds the lists before showing.
#include "app/Messages.h"
#include "app/Program.h"
#include "document/MainWindow.h"
#include "setup/SystemDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace velda;

namespace {

// One program with its main window and the dialog open, built once.
struct Session {
    QTemporaryDir dir;
    std::unique_ptr<Program> program;
    std::unique_ptr<MainWindow> window;
    SystemDialog* dialog = nullptr;

    Session() {
        program =
            std::make_unique<Program>(ProgramOptions{QStringLiteral(VELDA_SOURCE_DIR "/data"),
                                                     dir.filePath(QStringLiteral("VELDA.ini")),
                                                     {}});
        window = std::make_unique<MainWindow>(*program);
        if (!window->Form_Load(QString()))
            return;
        window->Menu_System_Click();
        dialog = &window->systemDialog();
    }
};

// The session must end while the application object still exists.
std::unique_ptr<Session> g_session;

Session& session() {
    if (!g_session)
        g_session = std::make_unique<Session>();
    return *g_session;
}

void BM_ShowRecord(benchmark::State& state) {
    Session& s = session();
    if (!s.dialog) {
        state.SkipWithError("start-up failed");
        return;
    }
    s.dialog->Comb_System->setCurrentIndex(static_cast<int>(state.range(0)));
    for (auto _ : state)
        s.dialog->Show_Record();
}
// 0: the power source; 2: a two-channel oscillator with memory names.
BENCHMARK(BM_ShowRecord)->Arg(0)->Arg(2)->Unit(benchmark::kMicrosecond);

// The refresh as the user sees it: shown, then the whole dialog painted
// (into a picture, which draws every control as the screen would).
void BM_ShowRecordAndPaint(benchmark::State& state) {
    Session& s = session();
    if (!s.dialog) {
        state.SkipWithError("start-up failed");
        return;
    }
    s.dialog->Comb_System->setCurrentIndex(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        s.dialog->Show_Record();
        benchmark::DoNotOptimize(s.dialog->grab());
    }
}
BENCHMARK(BM_ShowRecordAndPaint)->Arg(0)->Arg(2)->Unit(benchmark::kMicrosecond);

void BM_ModelChange(benchmark::State& state) {
    Session& s = session();
    if (!s.dialog) {
        state.SkipWithError("start-up failed");
        return;
    }
    QComboBox* models = s.dialog->Comb_System;
    int m = 0;
    for (auto _ : state) {
        m = (m + 1) % models->count();
        models->setCurrentIndex(m);
    }
}
BENCHMARK(BM_ModelChange)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("VELDA"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_session.reset();
    return 0;
}
