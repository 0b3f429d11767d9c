#include "LoopbackServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace velda::test {

LoopbackServer::LoopbackServer(int receiveBuffer) {
    // Non-blocking: a connection that goes away between the poll and the
    // accept must not stop the acceptor.
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd_ < 0)
        throw std::runtime_error("cannot make a socket");
    if (receiveBuffer > 0)
        ::setsockopt(listenFd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listenFd_, 8) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port_ = ntohs(a.sin_port);
    if (::pipe2(wakeFd_, O_CLOEXEC) != 0) {
        ::close(listenFd_);
        throw std::runtime_error("cannot make a pipe");
    }
}

LoopbackServer::~LoopbackServer() {
    Stop();
    ::close(listenFd_);
    ::close(wakeFd_[0]);
    ::close(wakeFd_[1]);
}

void LoopbackServer::Start(std::function<void(int)> serve) {
    serve_ = std::move(serve);
    acceptor_ = std::thread([this] { Run(); });
}

void LoopbackServer::Stop() {
    if (!acceptor_.joinable())
        return;
    // The pipe is never drained: every poll of every thread sees it.
    char c = 'x';
    [[maybe_unused]] auto n = ::write(wakeFd_[1], &c, 1);
    acceptor_.join();
}

int LoopbackServer::Accepted_Or_Waiting() const {
    std::lock_guard lock(acceptMutex_);
    // For a listening socket the kernel reports its accept queue here.
    tcp_info info{};
    socklen_t len = sizeof info;
    const int waiting = ::getsockopt(listenFd_, IPPROTO_TCP, TCP_INFO, &info, &len) == 0
                            ? int(info.tcpi_unacked)
                            : 0;
    return accepted_ + waiting;
}

bool LoopbackServer::Sleep_Unless_Stopped(int ms) const {
    pollfd p{wakeFd_[0], POLLIN, 0};
    return ::poll(&p, 1, ms) == 0;
}

void LoopbackServer::Run() {
    while (true) {
        pollfd p[2] = {{listenFd_, POLLIN, 0}, {wakeFd_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) < 0)
            continue;
        if (p[1].revents) {
            for (auto& t : servers_)
                t.join();
            return;
        }
        int fd;
        {
            std::lock_guard lock(acceptMutex_);
            fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            ++accepted_;
        }
        servers_.emplace_back([this, fd] {
            serve_(fd);
            ::close(fd);
        });
    }
}

} // namespace velda::test
