#include "bus/visa/Vxi11Instrument.h"

#include "bus/WaitTurn.h"
#include "bus/visa/NetConnect.h"
#include "bus/visa/Vxi11Reply.h"

#include <rpc/pmap_prot.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velda::visa {

namespace {

using Clock = std::chrono::steady_clock;

// The instrument ends an I/O with its own time-out error; the RPC call waits
// a little longer so that reply still reaches us.
constexpr ViUInt32 CallMarginMs = 2000;

timeval callTimeout(ViUInt32 timeoutMs) {
    if (timeoutMs == VI_TMO_INFINITE)
        return timeval{24 * 3600, 0};
    std::uint64_t ms = std::uint64_t(timeoutMs) + CallMarginMs;
    return timeval{static_cast<time_t>(ms / 1000), static_cast<suseconds_t>((ms % 1000) * 1000)};
}

u_long ioTimeout(ViUInt32 timeoutMs) {
    return timeoutMs == VI_TMO_INFINITE ? 0xFFFFFFFFul : u_long(timeoutMs);
}

bool makeBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

// A client on an already connected TCP socket of either address family;
// nullptr when that fails.
CLIENT* clientOn(int fd, u_long program, u_long version) {
    sockaddr_storage peer{};
    socklen_t len = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) != 0 ||
        (peer.ss_family != AF_INET && peer.ss_family != AF_INET6))
        return nullptr;
    netbuf address{len, len, &peer};
    return clnt_vc_create(fd, &address, program, version, 0, 0);
}

std::atomic<long> nextClientId{1};

// libtirpc writes with write(), so a peer that has gone would raise SIGPIPE
// and end the program. The signal is held back around each call and a
// pending one taken away; the call then fails with EPIPE instead.
class SigpipeHold {
public:
    SigpipeHold() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &old_);
    }
    ~SigpipeHold() {
        if (!wasPending_) {
            timespec zero{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &zero) > 0) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

private:
    sigset_t pipe_;
    sigset_t old_;
    bool wasPending_ = false;
};

// clnt_call with SIGPIPE held back.
clnt_stat call(CLIENT* c, u_long proc, xdrproc_t encode, char* args, xdrproc_t decode, char* result,
               timeval timeout) {
    SigpipeHold hold;
    return clnt_call(c, proc, encode, args, decode, result, timeout);
}

// One RPC on the connection `fd`, ended at the time-out (and its margin)
// whatever the peer sends meanwhile. The RPC library's own time-out counts
// from each piece of a reply, and it holds every signal back while it waits,
// so an instrument that keeps sending pieces that never end a reply would
// hold the program for ever. The call runs beside; this thread takes its
// turns and watches the clock, and cuts the connection under the call when
// the time is up or a turn asks to stop. `cut` tells that it was cut.
int boundedCall(int fd, ViUInt32 timeoutMs, const std::function<int()>& rpc, bool* cut) {
    *cut = false;
    const bool timed = timeoutMs != VI_TMO_INFINITE;
    // Past the library's own time-out (the same time-out and margin), so that
    // an instrument that only stays silent ends in that, and the link lives.
    const auto until =
        Clock::now() + std::chrono::milliseconds(std::uint64_t(timeoutMs) + 2 * CallMarginMs);
    auto done = std::async(std::launch::async, rpc);
    while (done.wait_for(std::chrono::milliseconds(bus::WaitTurnSliceMs)) !=
           std::future_status::ready) {
        if ((timed && Clock::now() > until) || !bus::Wait_Turn()) {
            ::shutdown(fd, SHUT_RDWR);
            done.wait();
            *cut = true;
            return RPC_TIMEDOUT;
        }
    }
    return done.get();
}

} // namespace

std::unique_ptr<Vxi11Instrument> Vxi11Instrument::open(const std::string& host,
                                                       const std::string& device,
                                                       std::uint16_t portmapperPort,
                                                       ViUInt32 timeoutMs, ViStatus* status,
                                                       std::string* message) {
    std::string where = host + " (" + device + ")";
    // 1. The core channel's port from the portmapper.
    int pfd = -1;
    *status = connectTcp(host, portmapperPort, timeoutMs, &pfd, message);
    if (*status != VI_SUCCESS)
        return nullptr;
    u_long corePort = 0;
    {
        makeBlocking(pfd);
        CLIENT* pc = clientOn(pfd, PMAPPROG, PMAPVERS);
        if (!pc) {
            ::close(pfd);
            *message = "No portmapper answers on " + host;
            *status = VI_ERROR_RSRC_NFOUND;
            return nullptr;
        }
        pmap query{DEVICE_CORE, DEVICE_CORE_VERSION, IPPROTO_TCP, 0};
        bool cut = false;
        auto rc = static_cast<clnt_stat>(boundedCall(
            pfd, timeoutMs,
            [&] {
                return int(call(pc, PMAPPROC_GETPORT, reinterpret_cast<xdrproc_t>(xdr_pmap),
                                reinterpret_cast<char*>(&query),
                                reinterpret_cast<xdrproc_t>(xdr_u_long),
                                reinterpret_cast<char*>(&corePort), callTimeout(timeoutMs)));
            },
            &cut));
        clnt_destroy(pc);
        ::close(pfd);
        if (rc != RPC_SUCCESS || corePort == 0 || corePort > 65535) {
            *message = rc == RPC_SUCCESS
                           ? host + " has no VXI-11 instrument"
                           : "The portmapper of " + host + " did not answer: " + clnt_sperrno(rc);
            *status = rc == RPC_TIMEDOUT ? VI_ERROR_TMO : VI_ERROR_RSRC_NFOUND;
            return nullptr;
        }
    }
    // 2. The link on the core channel.
    int fd = -1;
    *status = connectTcp(host, static_cast<std::uint16_t>(corePort), timeoutMs, &fd, message);
    if (*status != VI_SUCCESS)
        return nullptr;
    makeBlocking(fd);
    CLIENT* client = clientOn(fd, DEVICE_CORE, DEVICE_CORE_VERSION);
    if (!client) {
        ::close(fd);
        *message = "No VXI-11 core channel on " + host;
        *status = VI_ERROR_RSRC_NFOUND;
        return nullptr;
    }
    Create_LinkParms parms{};
    parms.clientId = nextClientId++;
    parms.lockDevice = FALSE;
    parms.lock_timeout = 0;
    parms.device = const_cast<char*>(device.c_str());
    Create_LinkResp resp{};
    bool cut = false;
    auto rc = static_cast<clnt_stat>(boundedCall(
        fd, timeoutMs,
        [&] {
            return int(call(client, create_link, reinterpret_cast<xdrproc_t>(xdr_Create_LinkParms),
                            reinterpret_cast<char*>(&parms),
                            reinterpret_cast<xdrproc_t>(xdr_Create_LinkResp),
                            reinterpret_cast<char*>(&resp), callTimeout(timeoutMs)));
        },
        &cut));
    if (rc != RPC_SUCCESS || resp.error != 0) {
        clnt_destroy(client);
        ::close(fd);
        if (rc != RPC_SUCCESS) {
            *message = "The instrument " + where + " did not answer: " + clnt_sperrno(rc);
            *status = rc == RPC_TIMEDOUT ? VI_ERROR_TMO : VI_ERROR_IO;
        } else {
            *message = "The instrument " + where + " refused the link (error " +
                       std::to_string(resp.error) + ")";
            *status = resp.error == 11 ? VI_ERROR_RSRC_LOCKED : VI_ERROR_RSRC_NFOUND;
        }
        return nullptr;
    }
    // The protocol promises at least 1024; a smaller figure is not trusted.
    std::uint32_t maxRecv = static_cast<std::uint32_t>(std::max<u_long>(resp.maxRecvSize, 1024));
    message->clear();
    return std::unique_ptr<Vxi11Instrument>(
        new Vxi11Instrument(fd, client, resp.lid, maxRecv, where));
}

Vxi11Instrument::Vxi11Instrument(int fd, __rpc_client* client, long link, std::uint32_t maxRecvSize,
                                 std::string where)
    : fd_(fd), client_(client), link_(link), maxRecvSize_(maxRecvSize), where_(std::move(where)) {}

Vxi11Instrument::~Vxi11Instrument() {
    Device_Link lid = link_;
    Device_Error err{};
    timeval oneSecond{1, 0};
    armSendTimeout(1000);
    // Cut, this call ends the link all the same: closing its connection
    // ends the link on the instrument too.
    bool cut = false;
    boundedCall(
        fd_, 0, // the RPC's own second, and the margin at the latest
        [&] {
            return int(call(client_, destroy_link, reinterpret_cast<xdrproc_t>(xdr_Device_Link),
                            reinterpret_cast<char*>(&lid),
                            reinterpret_cast<xdrproc_t>(xdr_Device_Error),
                            reinterpret_cast<char*>(&err), oneSecond));
        },
        &cut);
    clnt_destroy(client_);
    ::close(fd_);
}

void Vxi11Instrument::armSendTimeout(ViUInt32 timeoutMs) {
    // libtirpc writes the request with a blocking write; the socket's own
    // send time-out keeps an instrument that stops reading from holding us.
    timeval tv = callTimeout(timeoutMs);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

ViStatus Vxi11Instrument::callFailed(int rpcStatus, const char* what) {
    auto rc = static_cast<clnt_stat>(rpcStatus);
    message_ = std::string(what) + " on " + where_ + " failed: " + clnt_sperrno(rc);
    if (rc == RPC_TIMEDOUT)
        return VI_ERROR_TMO;
    // A request cut part-way (or a reply) leaves the record stream out of
    // step: nothing more can be said on this link.
    if (rc == RPC_CANTSEND || rc == RPC_CANTRECV)
        broken_ = true;
    // The write's own error, as the client kept it: errno itself has been
    // changed since by the SIGPIPE clean-up.
    rpc_err e{};
    clnt_geterr(client_, &e);
    if (rc == RPC_CANTSEND && (e.re_errno == EAGAIN || e.re_errno == EWOULDBLOCK))
        return VI_ERROR_TMO;
    return VI_ERROR_CONN_LOST;
}

bool Vxi11Instrument::lost() {
    if (broken_)
        message_ = "The link to " + where_ + " was lost";
    return broken_;
}

int Vxi11Instrument::linkCall(ViUInt32 timeoutMs, const std::function<int()>& rpc) {
    // Only that call touches the client until it is over; a call cut under
    // it leaves the link lost for good.
    bool cut = false;
    const int rc = boundedCall(fd_, timeoutMs, rpc, &cut);
    if (cut)
        broken_ = true;
    return rc;
}

ViStatus Vxi11Instrument::deviceError(long error, const char* what) {
    switch (error) {
    case 0:
        return VI_SUCCESS;
    case 15:
        message_ = std::string(what) + " on " + where_ + " timed out";
        return VI_ERROR_TMO;
    case 11:
        message_ = where_ + " is locked by another client";
        return VI_ERROR_RSRC_LOCKED;
    case 23:
        message_ = std::string(what) + " on " + where_ + " was aborted";
        return VI_ERROR_ABORT;
    default:
        message_ =
            std::string(what) + " on " + where_ + " failed (error " + std::to_string(error) + ")";
        return VI_ERROR_IO;
    }
}

ViStatus Vxi11Instrument::write(const unsigned char* data, std::size_t count,
                                const SessionSettings& settings, std::size_t* written) {
    *written = 0;
    if (lost())
        return VI_ERROR_CONN_LOST;
    armSendTimeout(settings.timeoutMs);
    do {
        // A block longer than the link takes goes out in several calls, the
        // end flag only on the one that carries the last byte.
        std::size_t piece = std::min<std::size_t>(count - *written, maxRecvSize_);
        bool last = *written + piece == count;
        Device_WriteParms p{};
        p.lid = link_;
        p.io_timeout = ioTimeout(settings.timeoutMs);
        p.lock_timeout = 0;
        p.flags = last && settings.sendEnd ? Vxi11FlagEnd : 0;
        p.data.data_len = static_cast<u_int>(piece);
        p.data.data_val = const_cast<char*>(reinterpret_cast<const char*>(data + *written));
        Device_WriteResp r{};
        auto rc = static_cast<clnt_stat>(linkCall(settings.timeoutMs, [&] {
            return int(
                call(client_, device_write, reinterpret_cast<xdrproc_t>(xdr_Device_WriteParms),
                     reinterpret_cast<char*>(&p), reinterpret_cast<xdrproc_t>(xdr_Device_WriteResp),
                     reinterpret_cast<char*>(&r), callTimeout(settings.timeoutMs)));
        }));
        if (rc != RPC_SUCCESS)
            return callFailed(rc, "Writing");
        std::size_t took = std::min<std::size_t>(r.size, piece);
        *written += took;
        if (r.error != 0)
            return deviceError(r.error, "Writing");
        if (took == 0 && piece > 0) {
            message_ = "Writing on " + where_ + " made no progress";
            return VI_ERROR_IO;
        }
    } while (*written < count);
    return VI_SUCCESS;
}

ViStatus Vxi11Instrument::read(unsigned char* buffer, std::size_t count,
                               const SessionSettings& settings, std::size_t* got) {
    *got = 0;
    if (lost())
        return VI_ERROR_CONN_LOST;
    armSendTimeout(settings.timeoutMs);
    auto started = Clock::now();
    while (*got < count) {
        Device_ReadParms p{};
        p.lid = link_;
        p.requestSize = static_cast<u_long>(std::min<std::size_t>(count - *got, 0x7FFFFFFF));
        p.io_timeout = ioTimeout(settings.timeoutMs);
        p.lock_timeout = 0;
        p.flags = settings.termCharEnabled ? Vxi11FlagTermChrSet : 0;
        p.termChar = static_cast<char>(settings.termChar);
        Vxi11ReadReply r;
        r.data = reinterpret_cast<char*>(buffer + *got);
        r.capacity = static_cast<u_int>(p.requestSize);
        auto rc = static_cast<clnt_stat>(linkCall(settings.timeoutMs, [&] {
            return int(call(client_, device_read, reinterpret_cast<xdrproc_t>(xdr_Device_ReadParms),
                            reinterpret_cast<char*>(&p),
                            reinterpret_cast<xdrproc_t>(velda_xdr_read_reply),
                            reinterpret_cast<char*>(&r), callTimeout(settings.timeoutMs)));
        }));
        if (rc != RPC_SUCCESS)
            return callFailed(rc, "Reading");
        *got += std::min<std::size_t>(r.length, count - *got);
        if (r.error != 0)
            return deviceError(r.error, "Reading");
        if (r.reason & Vxi11ReasonEnd)
            return VI_SUCCESS;
        if (r.reason & Vxi11ReasonChr)
            return VI_SUCCESS_TERM_CHAR;
        // An instrument that answers without an end, with data or without,
        // must not keep us here beyond the time-out.
        if (settings.timeoutMs != VI_TMO_INFINITE &&
            Clock::now() - started > std::chrono::milliseconds(settings.timeoutMs)) {
            message_ = "Reading on " + where_ + " timed out";
            return VI_ERROR_TMO;
        }
    }
    return VI_SUCCESS_MAX_CNT;
}

ViStatus Vxi11Instrument::generic(unsigned long proc, const SessionSettings& settings,
                                  const char* what) {
    if (lost())
        return VI_ERROR_CONN_LOST;
    armSendTimeout(settings.timeoutMs);
    Device_GenericParms p{};
    p.lid = link_;
    p.flags = 0;
    p.lock_timeout = 0;
    p.io_timeout = ioTimeout(settings.timeoutMs);
    Device_Error r{};
    auto rc = static_cast<clnt_stat>(linkCall(settings.timeoutMs, [&] {
        return int(call(client_, proc, reinterpret_cast<xdrproc_t>(xdr_Device_GenericParms),
                        reinterpret_cast<char*>(&p), reinterpret_cast<xdrproc_t>(xdr_Device_Error),
                        reinterpret_cast<char*>(&r), callTimeout(settings.timeoutMs)));
    }));
    if (rc != RPC_SUCCESS)
        return callFailed(rc, what);
    return deviceError(r.error, what);
}

ViStatus Vxi11Instrument::clear(const SessionSettings& settings) {
    return generic(device_clear, settings, "Clearing");
}

ViStatus Vxi11Instrument::renControl(ViUInt16 mode, const SessionSettings& settings) {
    switch (mode) {
    case VI_GPIB_REN_ASSERT:
    case VI_GPIB_REN_ASSERT_ADDRESS:
    case VI_GPIB_REN_ASSERT_LLO:
    case VI_GPIB_REN_ASSERT_ADDRESS_LLO:
        return generic(device_remote, settings, "Remote");
    case VI_GPIB_REN_DEASSERT:
    case VI_GPIB_REN_DEASSERT_GTL:
    case VI_GPIB_REN_ADDRESS_GTL:
        return generic(device_local, settings, "Local");
    default:
        return VI_ERROR_INV_MODE;
    }
}

} // namespace velda::visa
