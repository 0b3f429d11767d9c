#pragma once
// A TCP server on 127.0.0.1, on a port the system picks, for the test
// instruments: it accepts on a thread of its own and serves each connection
// on another. Stopping makes Stop_Fd() readable for good, so every poll that
// includes it returns; then every thread is joined.

#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace velda::test {

class LoopbackServer {
public:
    // Listens (SO_RCVBUF `receiveBuffer` when above 0); throws
    // std::runtime_error when it cannot.
    explicit LoopbackServer(int receiveBuffer = 0);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Starts accepting; `serve` runs for each connection on a thread of its
    // own, and the connection is closed when it returns.
    void Start(std::function<void(int fd)> serve);
    // Ends every connection and joins the threads (the destructor does too).
    void Stop();

    std::uint16_t Port() const { return port_; }
    int Stop_Fd() const { return wakeFd_[0]; }
    // Connections accepted so far plus those waiting to be: a connection
    // counts from the moment its connect() ends, whatever the threads do.
    int Accepted_Or_Waiting() const;
    // False as soon as the server stops, else true after `ms`.
    bool Sleep_Unless_Stopped(int ms) const;

private:
    void Run();

    std::function<void(int)> serve_;
    int listenFd_ = -1;
    int wakeFd_[2] = {-1, -1};
    std::uint16_t port_ = 0;
    mutable std::mutex acceptMutex_; // an accept and its count are one step
    int accepted_ = 0;
    std::thread acceptor_;
    std::vector<std::thread> servers_;
};

} // namespace velda::test
