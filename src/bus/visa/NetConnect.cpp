#include "bus/visa/NetConnect.h"

#include "bus/WaitTurn.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velda::visa {

int pollTimeout(ViUInt32 timeoutMs) {
    if (timeoutMs == VI_TMO_INFINITE)
        return -1;
    return static_cast<int>(std::min<ViUInt32>(timeoutMs, 0x7FFFFFFF));
}

bool waitFd(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    // A signal or a turn ends a poll early; the rest of the time-out, not
    // all of it, is waited again, so neither can stretch it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        int wait = timeoutMs;
        if (timeoutMs > 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            wait = static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
        }
        const bool sliced = bus::Has_WaitTurn() && (wait < 0 || wait > bus::WaitTurnSliceMs);
        int r = ::poll(&p, 1, sliced ? bus::WaitTurnSliceMs : wait);
        if (r > 0)
            return true;
        if (r == 0) {
            if (!sliced || !bus::Wait_Turn())
                return false;
            continue;
        }
        if (errno != EINTR)
            return true; // let the following call report the error
    }
}

namespace {

bool inInvalidDomain(std::string host) {
    std::transform(host.begin(), host.end(), host.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    while (!host.empty() && host.back() == '.')
        host.pop_back();
    return host == "invalid" ||
           (host.size() > 8 && host.compare(host.size() - 8, 8, ".invalid") == 0);
}

} // namespace

ViStatus connectTcp(const std::string& hostIn, std::uint16_t port, ViUInt32 timeoutMs, int* fd,
                    std::string* message) {
    *fd = -1;
    std::string host = hostIn;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    if (inInvalidDomain(host)) {
        *message = "Host " + hostIn + " is unknown";
        return VI_ERROR_RSRC_NFOUND;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    int gai = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    if (gai != 0 || !list) {
        *message = "Host " + hostIn + " is unknown: " + ::gai_strerror(gai);
        return VI_ERROR_RSRC_NFOUND;
    }
    ViStatus status = VI_ERROR_RSRC_NFOUND;
    for (addrinfo* a = list; a; a = a->ai_next) {
        int s =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0)
            continue;
        int r = ::connect(s, a->ai_addr, a->ai_addrlen);
        int err = r == 0 ? 0 : errno;
        if (err == EINPROGRESS) {
            if (!waitFd(s, POLLOUT, pollTimeout(timeoutMs))) {
                ::close(s);
                *message = "Connecting to " + hostIn + " port " + service + " timed out";
                status = VI_ERROR_TMO;
                continue;
            }
            socklen_t len = sizeof err;
            ::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len);
        }
        if (err != 0) {
            ::close(s);
            *message =
                "Cannot connect to " + hostIn + " port " + service + ": " + std::strerror(err);
            status = VI_ERROR_RSRC_NFOUND;
            continue;
        }
        int one = 1;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        *fd = s;
        message->clear();
        status = VI_SUCCESS;
        break;
    }
    ::freeaddrinfo(list);
    return status;
}

} // namespace velda::visa
