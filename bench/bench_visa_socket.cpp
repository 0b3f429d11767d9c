// 128 KiB sent as one block to a SCPI socket on 127.0.0.1: through our VISA
// layer (viWrite) and as a plain socket write of the same bytes, side by
// side in the same run. A sink thread reads and counts; each iteration waits
// until the sink has the whole block, so both sides measure delivery.
#include "bus/visa/OwnVisa.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t Block = 128 * 1024;

class Sink {
public:
    Sink() {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listen_, 4);
        socklen_t len = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] {
            while (true) {
                int fd = ::accept(listen_, nullptr, nullptr);
                if (fd < 0)
                    return;
                std::thread([this, fd] {
                    std::vector<char> buf(1 << 16);
                    ssize_t n;
                    while ((n = ::recv(fd, buf.data(), buf.size(), 0)) > 0) {
                        std::lock_guard lock(m_);
                        got_ += static_cast<std::size_t>(n);
                        cv_.notify_all();
                    }
                    ::close(fd);
                }).detach();
            }
        });
    }
    ~Sink() {
        ::shutdown(listen_, SHUT_RDWR);
        ::close(listen_);
        thread_.join();
    }
    std::uint16_t port() const { return port_; }
    void waitFor(std::size_t total) {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return got_ >= total; });
    }
    std::size_t got() {
        std::lock_guard lock(m_);
        return got_;
    }

private:
    int listen_;
    std::uint16_t port_;
    std::thread thread_;
    std::mutex m_;
    std::condition_variable cv_;
    std::size_t got_ = 0;
};

Sink& sink() {
    static Sink s;
    return s;
}

std::vector<unsigned char> block() {
    std::vector<unsigned char> b(Block);
    for (std::size_t i = 0; i < Block; ++i)
        b[i] = static_cast<unsigned char>(i * 31);
    return b;
}

void BM_VisaSocketWrite(benchmark::State& state) {
    auto data = block();
    velda::visa::OwnVisa visa;
    velda::visa::ViSession rm = 0, vi = 0;
    visa.viOpenDefaultRM(&rm);
    std::string name = "TCPIP0::127.0.0.1::" + std::to_string(sink().port()) + "::SOCKET";
    if (visa.viOpen(rm, name.c_str(), 0, 0, &vi) != velda::visa::VI_SUCCESS) {
        state.SkipWithError("open failed");
        return;
    }
    for (auto _ : state) {
        std::size_t target = sink().got() + Block;
        velda::visa::ViUInt32 n = 0;
        visa.viWrite(vi, data.data(), Block, &n);
        sink().waitFor(target);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Block));
}

void BM_PlainSocketWrite(benchmark::State& state) {
    auto data = block();
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(sink().port());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    for (auto _ : state) {
        std::size_t target = sink().got() + Block;
        std::size_t sent = 0;
        while (sent < Block) {
            ssize_t n = ::send(fd, data.data() + sent, Block - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        sink().waitFor(target);
    }
    ::close(fd);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Block));
}

// Interleaved, so both see the same machine load.
BENCHMARK(BM_PlainSocketWrite)->UseRealTime();
BENCHMARK(BM_VisaSocketWrite)->UseRealTime();
BENCHMARK(BM_PlainSocketWrite)->UseRealTime();
BENCHMARK(BM_VisaSocketWrite)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
