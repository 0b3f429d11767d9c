// velda_test_instrument_server <model> [options]: the test instrument as a
// program of its own. Prints "port <n>" once it listens on 127.0.0.1, then
// serves until it is killed; on SIGTERM or SIGINT it prints what it received
// (one "line <text>" and one "block <bytes>" a record) and ends.
// With --hold, every answer waits until SIGUSR1; "held" is printed as soon
// as one waits.
// Options:
//   --models <file>            model file (default: the shipped one)
//   --error <status> <text>    answer the status and error queries so
//   --identify <text>          identify with this model text
//   --delay <ms>               wait before every answer
//   --close-in-block <bytes>   close the connection inside a block
//   --stop-in-block <bytes>    stop reading inside a block
//   --busy <polls>             "STAT:OPER:COND?" non-zero this many times
//   --receive-buffer <bytes>   receive buffer of the listening socket
//   --hold                     hold the answers until SIGUSR1
#include "TestInstrument.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stop = 0;
volatile std::sig_atomic_t release = 0;

void onSignal(int) {
    stop = 1;
}

void onRelease(int) {
    release = 1;
}

int usage() {
    std::fprintf(stderr, "usage: velda_test_instrument_server <model> [--models file] "
                         "[--error status text] [--identify text] [--delay ms] "
                         "[--close-in-block bytes] [--stop-in-block bytes] [--busy polls] "
                         "[--receive-buffer bytes] [--hold]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return usage();
    std::string model = argv[1];
    std::string models = velda::test::ShippedModelFile();
    velda::test::TestInstrument::Options options;
    struct Later {
        int status = -1;
        std::string text, identify;
        int delay = 0, busy = 0;
        long closeAt = -1, stopAt = -1;
        bool hold = false;
    } later;
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--hold") {
            later.hold = true;
            continue;
        }
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* v = next();
        if (!v)
            return usage();
        if (a == "--models") {
            models = v;
        } else if (a == "--error") {
            const char* text = next();
            if (!text)
                return usage();
            later.status = std::atoi(v);
            later.text = text;
        } else if (a == "--identify") {
            later.identify = v;
        } else if (a == "--delay") {
            later.delay = std::atoi(v);
        } else if (a == "--close-in-block") {
            later.closeAt = std::atol(v);
        } else if (a == "--stop-in-block") {
            later.stopAt = std::atol(v);
        } else if (a == "--busy") {
            later.busy = std::atoi(v);
        } else if (a == "--receive-buffer") {
            options.receiveBuffer = std::atoi(v);
        } else {
            return usage();
        }
    }
    std::unique_ptr<velda::test::TestInstrument> inst;
    try {
        inst = velda::test::TestInstrument::For_Model(model, models, options);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    if (later.status >= 0)
        inst->Report_Error(later.status, later.text);
    if (!later.identify.empty())
        inst->Identify_As(later.identify);
    inst->Delay_Replies(later.delay);
    inst->Busy_Polls(later.busy);
    inst->Hold_Replies(later.hold);
    if (later.closeAt >= 0)
        inst->Close_In_Block(static_cast<std::size_t>(later.closeAt));
    if (later.stopAt >= 0)
        inst->Stop_Reading_In_Block(static_cast<std::size_t>(later.stopAt));

    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGUSR1, onRelease);
    std::printf("port %u\n", static_cast<unsigned>(inst->Port()));
    std::fflush(stdout);
    bool told = false;
    while (!stop) {
        ::usleep(10 * 1000);
        if (!told && inst->Held() > 0) {
            std::printf("held\n");
            std::fflush(stdout);
            told = true;
        }
        if (release)
            inst->Hold_Replies(false);
    }
    for (const std::string& l : inst->Lines())
        std::printf("line %s\n", l.c_str());
    for (const std::string& b : inst->Blocks())
        std::printf("block %zu\n", b.size());
    std::fflush(stdout);
    return 0;
}
