// Instrument replies as the transfer reads them: the set-up and the waveform
// of an oscillator model sent over the simulated bus, each query answered
// with the next line of the input (through the bus's reply box). The first
// byte picks the model. Afterwards the bus must be free whatever was said.
#include "app/Program.h"
#include "app/Prompts.h"
#include "app/Registry.h"
#include "control/Transfer.h"
#include "control/TransferProgress.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

using namespace velda;

// The reply box answers from the input; other boxes are acknowledged.
class Replies final : public PromptHandler {
public:
    Answer showBox(const BoxRequest&) override { return Answer::Ok; }
    QString openFileName(const FileRequest&) override { return {}; }
    QString saveFileName(const FileRequest&) override { return {}; }
    std::optional<QString> inputText(const QString&, const QString&, const QString&) override {
        if (next >= lines.size())
            return std::nullopt; // cancelled: an empty reply
        return lines[next++];
    }
    QStringList lines;
    qsizetype next = 0;
};

struct Rig {
    QTemporaryDir dir;
    Replies replies;
    std::unique_ptr<Program> program;
    control::SilentProgress progress;
    // Oscillators that need no fixed pauses (the power source waits for the
    // instrument, and the last model kinds pause a second after each block).
    std::vector<int> models;
};

Rig* rig = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static QCoreApplication app(*argc, *argv);
    QStandardPaths::setTestModeEnabled(true);
    rig = new Rig;
    setPromptHandler(&rig->replies);
    rig->program =
        std::make_unique<Program>(ProgramOptions{QStringLiteral(VELDA_SOURCE_DIR "/data"),
                                                 rig->dir.filePath(QStringLiteral("VELDA.ini")),
                                                 {}});
    if (!rig->program->Start_Up())
        std::abort();
    SystemSetup& setup = rig->program->Setup;
    for (int m = 1; m < int(setup.ModelNames.size()) && m < 23; ++m)
        rig->models.push_back(m);
    if (rig->models.empty())
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 4096)
        return 0;
    Program& program = *rig->program;
    const int model = rig->models[data[0] % rig->models.size()];
    program.Apply_SizeChange(program.Setup.Change_Model(static_cast<int16_t>(model)));
    program.Setup.InterfaceKind = IfSimulated;
    rig->replies.lines =
        QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1))
            .split(QLatin1Char('\n'));
    rig->replies.next = 0;
    control::Transfer transfer(program, rig->progress);
    transfer.Send_Settings();
    transfer.Send_Wave();
    if (program.Registry->GpibBusy())
        std::abort();
    return 0;
}
