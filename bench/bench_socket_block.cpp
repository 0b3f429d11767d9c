// A 128 KiB waveform block to the test instrument on 127.0.0.1: through the
// program's bus (GP_Send_AsciiBinary_Data on interface kind 3, our own VISA
// layer, a SOCKET resource) and as a plain blocking socket write of the same
// bytes to the same kind of instrument, side by side in one run. Each
// iteration waits until the instrument has the whole block, so both sides
// measure delivery. The ratio of the two is printed at the end.
#include "TestInstrument.h"
#include "bus/GP_common.h"
#include "bus/USBTMC_MDL.h"
#include "bus/visa/OwnVisa.h"

#include <benchmark/benchmark.h>

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
    bus::BusContext context;
    context.libraryNames = [](const QString&) { return QStringList(); };
    context.endProgram = [] {};
    bus::GP_common gp(std::move(context));
    gp.Set_Factory(bus::KindUsbTmc, [](bus::BusContext& c) {
        auto m = std::make_unique<bus::USBTMC_MDL>(c);
        m->Set_Provider_Factory([] { return std::make_unique<visa::OwnVisa>(); });
        return m;
    });
    static_cast<bus::USBTMC_MDL*>(gp.Module(bus::KindUsbTmc))->ResourceName[0] =
        QString::fromStdString(inst->Resource_Name());
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

// Interleaved, so both see the same machine load.
BENCHMARK(BM_PlainBlock)->UseRealTime();
BENCHMARK(BM_BusBlock)->UseRealTime();
BENCHMARK(BM_PlainBlock)->UseRealTime();
BENCHMARK(BM_BusBlock)->UseRealTime();

// The console report, and the mean real time per name for the ratio.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs) {
            if (r.run_type != Run::RT_Iteration || r.error_occurred)
                continue;
            auto& t = totals[r.run_name.function_name];
            t.first += r.GetAdjustedRealTime();
            t.second += 1;
        }
    }
    std::map<std::string, std::pair<double, int>> totals;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto mean = [&](const char* name) {
        auto it = reporter.totals.find(name);
        return it == reporter.totals.end() ? 0.0 : it->second.first / it->second.second;
    };
    const double bus = mean("BM_BusBlock"), plain = mean("BM_PlainBlock");
    if (bus > 0 && plain > 0)
        std::printf("128 KiB block, bus / plain socket write: %.3f\n", bus / plain);
    benchmark::Shutdown();
    return 0;
}
