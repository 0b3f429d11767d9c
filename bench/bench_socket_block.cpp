// A 128 KiB waveform block to the test instrument on 127.0.0.1: through the
// program's bus (GP_Send_AsciiBinary_Data on interface kind 3, our own VISA
// layer, a SOCKET resource) and as a plain blocking socket write of the same
// bytes to the same kind of instrument, side by side in one run. Each
// iteration waits until the instrument has the whole block, so both sides
// measure delivery. A whole waveform transfer of 65,536 points (the send
// line, the block, the function command and the status check after it, as
// the System Setup button runs it) goes beside them, with the cross-copy
// bus interlock it takes and gives back measured alone. The ratios to the
// plain write are printed at the end.
#include "SocketBus.h"
#include "TestInstrument.h"
#include "app/Program.h"
#include "app/TerminalPrompts.h"
#include "bus/GP_common.h"
#include "control/Transfer.h"
#include "control/TransferProgress.h"
#include "engine/wavelb32.h"

#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <map>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <span>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

using namespace velda;

namespace {

constexpr std::size_t Block = 128 * 1024;
const std::string Header = ":TRAC:DATA #6131072";

std::vector<uint8_t> block() {
    std::vector<uint8_t> b(Block);
    for (std::size_t i = 0; i < Block; ++i)
        b[i] = static_cast<uint8_t>(i * 31);
    return b;
}

std::unique_ptr<test::TestInstrument> instrument() {
    return test::TestInstrument::For_Model("AWG-1101");
}

void BM_BusBlock(benchmark::State& state) {
    auto inst = instrument();
    const auto data = block();
    const auto owned = test::SocketBus(*inst);
    bus::GP_common& gp = *owned;
    if (gp.GP_Init(QString()) != bus::StatusOk) {
        state.SkipWithError("GP_Init failed");
        return;
    }
    const QString header = QString::fromStdString(Header);
    for (auto _ : state) {
        // Swap on: the bytes go out in array order, as the plain write sends them.
        if (gp.GP_Send_AsciiBinary_Data(header, std::span<const uint8_t>(data), 0,
                                        static_cast<int32_t>(Block), bus::FormatByte, 1,
                                        0) != bus::StatusOk ||
            !inst->Wait_For_Blocks(1, 10000)) {
            state.SkipWithError("block not delivered");
            return;
        }
        inst->Clear_Record();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Block));
}

void BM_PlainBlock(benchmark::State& state) {
    auto inst = instrument();
    auto data = block();
    std::vector<uint8_t> message(Header.begin(), Header.end());
    message.insert(message.end(), data.begin(), data.end());
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(inst->Port());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        state.SkipWithError("connect failed");
        return;
    }
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    for (auto _ : state) {
        std::size_t sent = 0;
        while (sent < message.size()) {
            ssize_t n = ::send(fd, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        if (sent != message.size() || !inst->Wait_For_Blocks(1, 10000)) {
            state.SkipWithError("block not delivered");
            break;
        }
        inst->Clear_Record();
    }
    ::close(fd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Block));
}

// A started program whose current model is BENCH-GEN on a LAN socket to
// the test instrument.
struct WaveRig {
    QTemporaryDir dir;
    TerminalPrompts prompts{TerminalPolicy{Answer::No, false, false}};
    std::unique_ptr<Program> program;
    std::unique_ptr<test::TestInstrument> inst;
    control::SilentProgress progress;
    std::unique_ptr<control::Transfer> transfer;
    std::string error;

    WaveRig() {
        setPromptHandler(&prompts);
        // A generator of 65,536 points taking a definite-length block, added
        // through a user model file as a user adds one.
        const QString models = dir.filePath(QStringLiteral("models.toml"));
        if (!test::WriteModelFileWith(models.toStdString(),
                                      test::BlockGeneratorModel("BENCH-GEN", 65536, "0xFFFF"))) {
            error = "no model file";
            return;
        }
        program =
            std::make_unique<Program>(ProgramOptions{QStringLiteral(VELDA_SOURCE_DIR "/data"),
                                                     dir.filePath(QStringLiteral("VELDA.ini")),
                                                     {}});
        if (!program->Start_Up()) {
            error = "start-up failed";
            return;
        }
        SystemSetup& setup = program->Setup;
        const int model = int(setup.ModelNames.size()) - 1;
        program->Apply_SizeChange(setup.Change_Model(model));
        if (setup.Param.MemorySize != 65536) {
            error = "BENCH-GEN not taken";
            return;
        }
        auto words = engine::bufferWords(program->Document.CurrentBuf());
        for (std::size_t i = 0; i < words.size(); ++i)
            words[i] = static_cast<int16_t>(i * 31);
        setup.InterfaceKind = IfUsbTmc;
        test::Use_Own_Visa(*program->Bus);
        inst = test::TestInstrument::For_Model("BENCH-GEN", models.toStdString());
        transfer = std::make_unique<control::Transfer>(*program, progress);
        if (transfer->Select_Instrument(QString::fromStdString(inst->Resource_Name())) !=
            control::TransferResult::Done)
            error = "no instrument";
    }
    ~WaveRig() { setPromptHandler(nullptr); }
    bool Send() {
        const bool ok = transfer->Send_Wave() == control::TransferResult::Done &&
                        inst->Block_Sizes() == std::vector<std::size_t>{Block};
        inst->Clear_Record();
        return ok;
    }
};

void BM_SendWave(benchmark::State& state) {
    WaveRig rig;
    if (!rig.error.empty()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    for (auto _ : state) {
        if (!rig.Send()) {
            state.SkipWithError("transfer failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Block));
}

// The cross-copy bus interlock alone, as every transfer takes and gives it
// back: a locked rewrite of the settings file each way.
void BM_BusInterlock(benchmark::State& state) {
    WaveRig rig;
    if (!rig.error.empty()) {
        state.SkipWithError(rig.error.c_str());
        return;
    }
    clsRegistry& registry = *rig.program->Registry;
    for (auto _ : state) {
        if (!registry.TryTakeGpibBus()) {
            state.SkipWithError("bus not taken");
            break;
        }
        registry.ReleaseGpibBus();
    }
}

// The same conversation by a plain socket client, a connection per
// transfer as the program opens one, each query's answer awaited. Two
// ways of cutting the bytes one Send_Wave sent: after each query, each
// piece sent whole (the fewest writes a client can make: argument 0), or
// as the program writes them, a command line or the block per write
// (argument 1), which leaves the program's own work as the difference.
void BM_PlainConversation(benchmark::State& state) {
    WaveRig rig;
    if (!rig.error.empty() || !rig.transfer ||
        rig.transfer->Send_Wave() != control::TransferResult::Done) {
        state.SkipWithError(rig.error.empty() ? "transfer failed" : rig.error.c_str());
        return;
    }
    const bool perCommand = state.range(0) != 0;
    const std::string bytes = rig.inst->Bytes();
    const std::size_t header = bytes.find("DATA:ARB");
    const std::size_t mark = bytes.find('#', header);
    const std::size_t blockEnd = mark + 2 + std::size_t(bytes[mark + 1] - '0') + Block;
    std::vector<std::size_t> ends;
    for (std::size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1))
        if ((at < header || at >= blockEnd) && (perCommand || (at > 0 && bytes[at - 1] == '?')))
            ends.push_back(at + 1);
    if (perCommand)
        ends.push_back(blockEnd); // the block's line feed goes by itself
    std::sort(ends.begin(), ends.end());
    if (ends.empty() || ends.back() != bytes.size())
        ends.push_back(bytes.size());
    std::vector<std::pair<std::string, bool>> pieces; // text, ends in a query
    for (std::size_t from = 0; const std::size_t end : ends) {
        const bool query = end >= 2 && bytes.compare(end - 2, 2, "?\n") == 0;
        pieces.emplace_back(bytes.substr(from, end - from), query);
        from = end;
    }
    rig.inst->Clear_Record();
    for (auto _ : state) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(rig.inst->Port());
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        for (const auto& [text, query] : pieces) {
            for (std::size_t sent = 0; ok && sent < text.size();) {
                const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
                ok = n > 0;
                sent += ok ? std::size_t(n) : 0;
            }
            // The answer as a plain client reads it: what has come, until its LF.
            char answer[256];
            for (ssize_t got = 0; ok && query && (got == 0 || answer[got - 1] != '\n');) {
                const ssize_t n = ::recv(fd, answer + got, sizeof answer - size_t(got), 0);
                ok = n > 0 && got + n < ssize_t(sizeof answer);
                got += ok ? n : 0;
            }
        }
        ::close(fd);
        if (!ok || rig.inst->Block_Sizes() != std::vector<std::size_t>{Block}) {
            state.SkipWithError("conversation failed");
            break;
        }
        rig.inst->Clear_Record();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Block));
}

// Interleaved, so all see the same machine load.
BENCHMARK(BM_PlainBlock)->UseRealTime();
BENCHMARK(BM_BusBlock)->UseRealTime();
BENCHMARK(BM_PlainConversation)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_SendWave)->UseRealTime();
BENCHMARK(BM_BusInterlock)->UseRealTime();
BENCHMARK(BM_PlainBlock)->UseRealTime();
BENCHMARK(BM_BusBlock)->UseRealTime();
BENCHMARK(BM_PlainConversation)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_SendWave)->UseRealTime();
BENCHMARK(BM_BusInterlock)->UseRealTime();

// The console report, and per name the real time for the ratios: the mean
// of the repetitions' medians when repetitions are reported as aggregates
// (as `make bench` runs it), else the mean of the runs.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.error_occurred)
                continue;
            const bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (!median && r.run_type != Run::RT_Iteration)
                continue;
            const std::string name =
                r.run_name.function_name + (r.run_name.args.empty() ? "" : "/" + r.run_name.args);
            auto& t = (median ? medians : iterations)[name];
            t.first += r.GetAdjustedRealTime();
            t.second += 1;
        }
    }
    double Time(const std::string& name) const {
        for (const auto* table : {&medians, &iterations}) {
            auto it = table->find(name);
            if (it != table->end())
                return it->second.first / it->second.second;
        }
        return 0.0;
    }

private:
    std::map<std::string, std::pair<double, int>> medians, iterations;
};

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto mean = [&](const char* name) { return reporter.Time(name); };
    const double bus = mean("BM_BusBlock"), plain = mean("BM_PlainBlock"),
                 wave = mean("BM_SendWave"), talk = mean("BM_PlainConversation/0"),
                 perCommand = mean("BM_PlainConversation/1"), interlock = mean("BM_BusInterlock");
    if (bus > 0 && plain > 0)
        std::printf("128 KiB block, bus / plain socket write: %.3f\n", bus / plain);
    if (wave > 0 && plain > 0)
        std::printf("whole waveform transfer / plain socket write of the block: %.3f\n",
                    wave / plain);
    if (wave > 0 && talk > 0)
        std::printf("whole waveform transfer / the same conversation on a plain socket: %.3f\n",
                    wave / talk);
    if (wave > interlock && interlock > 0 && talk > 0)
        std::printf("whole waveform transfer less the bus interlock / the same conversation: "
                    "%.3f\n",
                    (wave - interlock) / talk);
    if (wave > interlock && interlock > 0 && perCommand > 0)
        std::printf("whole waveform transfer less the bus interlock / the same conversation "
                    "written as the program writes it: %.3f\n",
                    (wave - interlock) / perCommand);
    benchmark::Shutdown();
    return 0;
}
