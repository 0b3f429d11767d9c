#include "ScpiListener.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velda::test {

ScpiListener::ScpiListener() : ScpiListener(Options{}) {}

ScpiListener::ScpiListener(Options options) : options_(options), server_(options.receiveBuffer) {
    server_.Start([this](int fd) {
        {
            std::lock_guard lock(mutex_);
            ++connections_;
            closed_ = false;
        }
        serve(fd);
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        changed_.notify_all();
    });
}

ScpiListener::~ScpiListener() {
    server_.Stop();
}

std::string ScpiListener::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void ScpiListener::answer(const std::string& query, const std::string& reply) {
    std::lock_guard lock(mutex_);
    answers_[query] = reply;
}

int ScpiListener::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

bool ScpiListener::waitForBytes(std::size_t bytes, int ms) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                             [&] { return received_.size() >= bytes || closed_; });
}

void ScpiListener::serve(int fd) {
    std::string line;
    std::size_t total = 0;
    char buf[65536];
    while (true) {
        pollfd p[2] = {{fd, static_cast<short>(options_.neverRead ? 0 : POLLIN), 0},
                       {server_.Stop_Fd(), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0)
            continue;
        if (p[1].revents)
            return;
        if (options_.neverRead) {
            if (p[0].revents & (POLLHUP | POLLERR))
                return;
            continue;
        }
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0)
            return;
        std::size_t take = static_cast<std::size_t>(n);
        bool closeNow = false;
        if (options_.closeAfter && total + take >= options_.closeAfter) {
            take = options_.closeAfter - total;
            closeNow = true;
        }
        total += take;
        {
            std::lock_guard lock(mutex_);
            received_.append(buf, take);
        }
        changed_.notify_all();
        if (closeNow)
            return;
        for (std::size_t i = 0; i < take; ++i) {
            if (buf[i] != '\n') {
                if (line.size() < 256)
                    line += buf[i];
                else
                    line = std::string(300, ' '); // too long to be a query
                continue;
            }
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::string answer;
            std::string prepared;
            bool have = false;
            {
                std::lock_guard lock(mutex_);
                auto it = answers_.find(line);
                if (it != answers_.end()) {
                    prepared = it->second;
                    have = true;
                }
            }
            if (have)
                answer = prepared;
            else if (options_.echo && line.size() < 256 && !line.empty() && line.back() == '?') {
                if (line == "*IDN?")
                    answer = "VELDA,TEST-TCP,0,1.0\n";
                else if (line == "TWO?")
                    answer = "ONE\nTWO\n";
                else if (line == "NOEND?")
                    answer = "PARTIAL";
                else if (line == "LATE?") {
                    std::lock_guard lock(mutex_);
                    lateFd_ = fd;
                } else
                    answer = line + "\n";
            }
            line.clear();
            if (!answer.empty())
                ::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
    }
}

bool ScpiListener::Send_Late() {
    std::lock_guard lock(mutex_);
    if (lateFd_ < 0)
        return false;
    const bool sent = ::send(lateFd_, "LATE\n", 5, MSG_NOSIGNAL) == 5;
    lateFd_ = -1;
    return sent;
}

RefusingPort::RefusingPort() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port_ = ntohs(a.sin_port);
}

RefusingPort::~RefusingPort() {
    if (fd_ >= 0)
        ::close(fd_);
}

} // namespace velda::test
