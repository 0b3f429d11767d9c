#include "ScpiListener.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velda::test {
namespace {

bool sameAddress(const sockaddr_in& a, const sockaddr_in& b) {
    return a.sin_family == b.sin_family && a.sin_port == b.sin_port &&
           a.sin_addr.s_addr == b.sin_addr.s_addr;
}

// Bytes the other end of `served` still has on their way (sent, not yet
// acknowledged), or -1 when that end is not a socket of this process.
int peerInFlight(int served) {
    sockaddr_in local{}, peer{};
    socklen_t n1 = sizeof local, n2 = sizeof peer;
    if (::getsockname(served, reinterpret_cast<sockaddr*>(&local), &n1) != 0 ||
        ::getpeername(served, reinterpret_cast<sockaddr*>(&peer), &n2) != 0)
        return -1;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir)
        return -1;
    int found = -1;
    while (const dirent* e = ::readdir(dir)) {
        const int fd = std::atoi(e->d_name);
        struct stat st {};
        if (fd == served || e->d_name[0] < '0' || e->d_name[0] > '9' || ::fstat(fd, &st) != 0 ||
            !S_ISSOCK(st.st_mode))
            continue;
        sockaddr_in a{}, b{};
        socklen_t l1 = sizeof a, l2 = sizeof b;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &l1) == 0 &&
            ::getpeername(fd, reinterpret_cast<sockaddr*>(&b), &l2) == 0 && sameAddress(a, peer) &&
            sameAddress(b, local)) {
            int queued = 0;
            found = ::ioctl(fd, SIOCOUTQ, &queued) == 0 ? queued : -1;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace

ScpiListener::ScpiListener() : ScpiListener(Options{}) {}

ScpiListener::ScpiListener(Options options) : options_(options), server_(options.receiveBuffer) {
    server_.Start([this](int fd) {
        {
            std::lock_guard lock(mutex_);
            ++connections_;
            closed_ = false;
            live_.push_back(fd);
        }
        serve(fd);
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
            live_.erase(std::remove(live_.begin(), live_.end(), fd), live_.end());
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

std::string ScpiListener::settled() const {
    std::unique_lock lock(mutex_);
    // Under the lock no read of a connection is half recorded; a writer that
    // has closed its end is waited for until the listener has read the end.
    auto arrived = [&] {
        if (server_.Accepted_Or_Waiting() != connections_)
            return false; // a connection not yet in the hands of its thread
        for (const int fd : live_) {
            int unread = 0;
            if (::ioctl(fd, FIONREAD, &unread) != 0 || unread != 0 || peerInFlight(fd) != 0)
                return false;
        }
        return true;
    };
    for (int i = 0; i < 1000 && !arrived(); ++i)
        changed_.wait_for(lock, std::chrono::milliseconds(10));
    return received_;
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
        std::size_t take = 0;
        bool closeNow = false;
        {
            // Read and recorded in one step, so settled() never sees bytes
            // that have left the socket but are not yet in the record.
            std::lock_guard lock(mutex_);
            const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                continue;
            if (n <= 0)
                return;
            take = static_cast<std::size_t>(n);
            if (options_.closeAfter && total + take >= options_.closeAfter) {
                take = options_.closeAfter - total;
                closeNow = true;
            }
            total += take;
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
