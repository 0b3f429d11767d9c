#include "bus/visa/SocketInstrument.h"

#include "bus/visa/NetConnect.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velda::visa {

namespace {

using Clock = std::chrono::steady_clock;

// Milliseconds left until `deadline`; -1 = no deadline.
int remainingMs(const std::optional<Clock::time_point>& deadline) {
    if (!deadline)
        return -1;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*deadline - Clock::now());
    return static_cast<int>(std::max<long long>(0, left.count()));
}

std::optional<Clock::time_point> deadlineFor(ViUInt32 timeoutMs) {
    if (timeoutMs == VI_TMO_INFINITE)
        return std::nullopt;
    return Clock::now() + std::chrono::milliseconds(timeoutMs);
}

} // namespace

std::unique_ptr<SocketInstrument> SocketInstrument::open(const std::string& host,
                                                         std::uint16_t port,
                                                         ViUInt32 connectTimeoutMs,
                                                         ViStatus* status, std::string* message) {
    int fd = -1;
    *status = connectTcp(host, port, connectTimeoutMs, &fd, message);
    if (*status != VI_SUCCESS)
        return nullptr;
    return std::unique_ptr<SocketInstrument>(
        new SocketInstrument(fd, host + " port " + std::to_string(port)));
}

SocketInstrument::SocketInstrument(int fd, std::string where) : fd_(fd), where_(std::move(where)) {}

SocketInstrument::~SocketInstrument() {
    if (fd_ >= 0)
        ::close(fd_);
}

ViStatus SocketInstrument::write(const unsigned char* data, std::size_t count,
                                 const SessionSettings& settings, std::size_t* written) {
    // The time-out runs from the last progress, so a slow but reading
    // instrument takes a long block; one that stops reading times out.
    *written = 0;
    if (stale_) {
        stale_ = false;
        clear(settings);
    }
    while (*written < count) {
        ssize_t n = ::send(fd_, data + *written, count - *written, MSG_NOSIGNAL);
        if (n > 0) {
            *written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFd(fd_, POLLOUT, pollTimeout(settings.timeoutMs))) {
                message_ = "The instrument at " + where_ + " stopped taking data";
                return VI_ERROR_TMO;
            }
            continue;
        }
        message_ = "The connection to " + where_ + " was lost: " + std::strerror(errno);
        return VI_ERROR_CONN_LOST;
    }
    return VI_SUCCESS;
}

ViStatus SocketInstrument::read(unsigned char* buffer, std::size_t count,
                                const SessionSettings& settings, std::size_t* got) {
    *got = 0;
    auto deadline = deadlineFor(settings.timeoutMs);
    unsigned char chunk[65536];
    while (true) {
        // Hand out what is held first.
        if (!pending_.empty()) {
            std::size_t take = std::min(pending_.size(), count - *got);
            bool atTerm = false;
            if (settings.termCharEnabled) {
                auto pos = pending_.find(static_cast<char>(settings.termChar));
                if (pos != std::string::npos && pos < take) {
                    take = pos + 1;
                    atTerm = true;
                }
            }
            std::memcpy(buffer + *got, pending_.data(), take);
            pending_.erase(0, take);
            *got += take;
            if (atTerm)
                return VI_SUCCESS_TERM_CHAR;
            if (*got == count)
                return VI_SUCCESS_MAX_CNT;
            if (!settings.termCharEnabled)
                return VI_SUCCESS; // without a terminator, what has arrived is the message
        }
        if (count == 0)
            return VI_SUCCESS_MAX_CNT;
        ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            pending_.append(reinterpret_cast<const char*>(chunk), static_cast<std::size_t>(n));
            continue;
        }
        if (n == 0) {
            message_ = "The instrument at " + where_ + " closed the connection";
            return VI_ERROR_CONN_LOST;
        }
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!waitFd(fd_, POLLIN, remainingMs(deadline))) {
                stale_ = true;
                message_ = "The instrument at " + where_ + " did not end its reply";
                return VI_ERROR_TMO;
            }
            continue;
        }
        message_ = "The connection to " + where_ + " was lost: " + std::strerror(errno);
        return VI_ERROR_CONN_LOST;
    }
}

ViStatus SocketInstrument::clear(const SessionSettings&) {
    // A raw connection has no device clear; what it can do is forget the
    // rest of an unread reply.
    pending_.clear();
    unsigned char chunk[4096];
    while (::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT) > 0) {
    }
    return VI_SUCCESS;
}

ViStatus SocketInstrument::renControl(ViUInt16 mode, const SessionSettings&) {
    // No remote-enable line on a raw connection; the instrument goes remote
    // with its first command. Accepting the request keeps the usual
    // open sequence (remote on, then clear) working over LAN.
    return mode <= VI_GPIB_REN_ADDRESS_GTL ? VI_SUCCESS : VI_ERROR_INV_MODE;
}

} // namespace velda::visa
