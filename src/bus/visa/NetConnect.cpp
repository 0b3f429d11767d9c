#include "bus/visa/NetConnect.h"

#include "bus/WaitTurn.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
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

std::atomic<Resolver> g_resolver{&::getaddrinfo};

// A lookup left to run on its own: whoever ends last frees the answer.
struct Lookup {
    std::mutex m;
    std::condition_variable cv;
    bool done = false;
    bool abandoned = false;
    int result = EAI_AGAIN;
    addrinfo* list = nullptr;
};

// A numeric address is read at once. A name may wait for a name server that
// does not answer for tens of seconds: the lookup runs beside, and this
// thread keeps the time-out and its wait turns meanwhile. A lookup given up
// is left to end by itself.
int resolve(const std::string& host, const std::string& service, ViUInt32 timeoutMs,
            addrinfo** list, bool* timedOut) {
    *timedOut = false;
    const Resolver lookup = g_resolver.load();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICHOST;
    if (lookup(host.c_str(), service.c_str(), &hints, list) == 0)
        return 0;
    *list = nullptr;
    hints.ai_flags = 0;
    auto state = std::make_shared<Lookup>();
    std::thread([state, lookup, host, service, hints] {
        addrinfo* found = nullptr;
        const int r = lookup(host.c_str(), service.c_str(), &hints, &found);
        const std::lock_guard<std::mutex> g(state->m);
        if (state->abandoned) {
            if (found)
                ::freeaddrinfo(found);
            return;
        }
        state->result = r;
        state->list = found;
        state->done = true;
        state->cv.notify_all();
    }).detach();
    const int total = pollTimeout(timeoutMs);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(total);
    std::unique_lock<std::mutex> g(state->m);
    while (!state->done) {
        auto until =
            total < 0 ? std::chrono::steady_clock::now() + std::chrono::hours(24) : deadline;
        if (bus::Has_WaitTurn())
            until = std::min(until, std::chrono::steady_clock::now() +
                                        std::chrono::milliseconds(bus::WaitTurnSliceMs));
        if (state->cv.wait_until(g, until, [&] { return state->done; }))
            break;
        const bool expired = total >= 0 && std::chrono::steady_clock::now() >= deadline;
        bool goOn = !expired;
        if (goOn && bus::Has_WaitTurn()) {
            g.unlock();
            goOn = bus::Wait_Turn();
            g.lock();
        }
        if (!goOn && !state->done) {
            state->abandoned = true;
            *timedOut = true;
            return EAI_AGAIN;
        }
    }
    *list = state->list;
    return state->result;
}

} // namespace

Resolver setResolver(Resolver resolver) {
    return g_resolver.exchange(resolver ? resolver : &::getaddrinfo);
}

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
    addrinfo* list = nullptr;
    std::string service = std::to_string(port);
    const auto start = std::chrono::steady_clock::now();
    bool lookupTimedOut = false;
    int gai = resolve(host, service, timeoutMs, &list, &lookupTimedOut);
    if (lookupTimedOut) {
        *message = "Looking up " + hostIn + " timed out";
        return VI_ERROR_TMO;
    }
    if (gai != 0 || !list) {
        if (list)
            ::freeaddrinfo(list);
        *message = "Host " + hostIn + " is unknown: " + ::gai_strerror(gai);
        return VI_ERROR_RSRC_NFOUND;
    }
    // What the lookup took comes off the connect's time.
    int connectWait = pollTimeout(timeoutMs);
    if (connectWait > 0) {
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count();
        connectWait = static_cast<int>(std::max<long long>(1, connectWait - spent));
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
            if (!waitFd(s, POLLOUT, connectWait)) {
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
