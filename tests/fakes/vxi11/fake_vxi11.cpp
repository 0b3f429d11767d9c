// A VXI-11 test instrument on 127.0.0.1.
//
//   fake_vxi11 --portmap PORT --core PORT [--max-recv N] [--read-chunk N] --log FILE
//              [--answers FILE] [--sent FILE] [--portmap-trickle 1]
//
// Prints "PORTS <portmapper> <core>" once both listen, then serves until
// killed. Every call is appended to the log file (one line, flushed before
// the reply goes out, so a client that has its reply can read the line):
//   LINK <device>  WRITE <bytes> END=<0|1>  MESSAGE <bytes> <fnv1a-hex> <text>
//   READ <bytes> REASON=<n>  CLEAR  REMOTE  LOCAL  DESTROY
// A message ending in "?" (before CR/LF) is answered: "*IDN?" with an
// identity, "NOEND?" never (reads then time out), "TRICKLE?" with one byte
// a read, every 50 ms, that never ends the answer, anything else with the
// query itself, each answer ending in LF.
//
// With --portmap-trickle, the portmapper answers every call with pieces of
// a record, one every 100 ms, none of them the last.
//
// With --answers, queries are answered from that file only, read afresh for
// every message: lines "<query hex> <reply hex>", the last line of a query
// counting; a query it does not hold gets no answer. With --sent, every
// message's bytes are appended to that file as they arrived.
#include "vxi11_core.h"

#include <rpc/pmap_prot.h>

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <netinet/in.h>
#include <string>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

FILE* logFile = nullptr;
FILE* sentFile = nullptr;
std::string answersPath;
u_long corePort = 0;
u_long maxRecv = 1024 * 1024;
u_long readChunk = 0; // 0 = no limit
long nextLink = 1;
std::string partial; // message being written
std::string reply;   // answer not yet read
bool replyNeverEnds = false;
bool trickle = false; // answers in pieces that never end

void logLine(const std::string& line) {
    if (!logFile)
        return;
    std::fputs(line.c_str(), logFile);
    std::fputc('\n', logFile);
    std::fflush(logFile);
}

unsigned fnv1a(const std::string& s) {
    unsigned h = 2166136261u;
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

std::string printable(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size() && i < 60; ++i) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        out += c >= 32 && c < 127 ? static_cast<char>(c) : '.';
    }
    return out;
}

std::string fromHex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

// The prepared answer to `query`; false when the file holds none.
bool preparedAnswer(const std::string& query, std::string* answer) {
    std::ifstream in(answersPath);
    std::string q, r;
    bool found = false;
    while (in >> q >> r) {
        if (fromHex(q) == query) {
            *answer = fromHex(r);
            found = true;
        }
    }
    return found;
}

void messageDone() {
    if (sentFile) {
        std::fwrite(partial.data(), 1, partial.size(), sentFile);
        std::fflush(sentFile);
    }
    char head[64];
    std::snprintf(head, sizeof head, "MESSAGE %zu %08x ", partial.size(), fnv1a(partial));
    logLine(head + printable(partial));
    std::string q = partial;
    while (!q.empty() && (q.back() == '\n' || q.back() == '\r'))
        q.pop_back();
    if (!answersPath.empty()) {
        std::string answer;
        if (preparedAnswer(q, &answer))
            reply = answer;
    } else if (!q.empty() && q.back() == '?') {
        if (q == "*IDN?")
            reply = "VELDA,TEST-VXI11,0,1.0\n";
        else if (q == "NOEND?")
            replyNeverEnds = true;
        else if (q == "TRICKLE?")
            trickle = true;
        else
            reply = q + "\n";
    }
    partial.clear();
}

void waitFor(u_long ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms > 3000 ? 3000 : ms));
}

void core(svc_req* req, SVCXPRT* xprt) {
    switch (req->rq_proc) {
    case NULLPROC:
        svc_sendreply(xprt, reinterpret_cast<xdrproc_t>(xdr_void), nullptr);
        return;
    case create_link: {
        Create_LinkParms p{};
        if (!svc_getargs(xprt, reinterpret_cast<xdrproc_t>(xdr_Create_LinkParms),
                         reinterpret_cast<char*>(&p)))
            return svcerr_decode(xprt);
        Create_LinkResp r{};
        logLine(std::string("LINK ") + (p.device ? p.device : ""));
        if (!p.device || std::strcmp(p.device, "inst0") != 0)
            r.error = 3;
        r.lid = nextLink++;
        r.maxRecvSize = maxRecv;
        svc_freeargs(xprt, reinterpret_cast<xdrproc_t>(xdr_Create_LinkParms),
                     reinterpret_cast<char*>(&p));
        svc_sendreply(xprt, reinterpret_cast<xdrproc_t>(xdr_Create_LinkResp),
                      reinterpret_cast<char*>(&r));
        return;
    }
    case device_write: {
        Device_WriteParms p{};
        if (!svc_getargs(xprt, reinterpret_cast<xdrproc_t>(xdr_Device_WriteParms),
                         reinterpret_cast<char*>(&p)))
            return svcerr_decode(xprt);
        Device_WriteResp r{};
        bool end = (p.flags & 8) != 0;
        logLine("WRITE " + std::to_string(p.data.data_len) + " END=" + (end ? "1" : "0"));
        if (p.data.data_len > maxRecv) {
            r.error = 5; // more than the link takes
        } else {
            partial.append(p.data.data_val, p.data.data_len);
            r.size = p.data.data_len;
            if (end)
                messageDone();
        }
        svc_freeargs(xprt, reinterpret_cast<xdrproc_t>(xdr_Device_WriteParms),
                     reinterpret_cast<char*>(&p));
        svc_sendreply(xprt, reinterpret_cast<xdrproc_t>(xdr_Device_WriteResp),
                      reinterpret_cast<char*>(&r));
        return;
    }
    case device_read: {
        Device_ReadParms p{};
        if (!svc_getargs(xprt, reinterpret_cast<xdrproc_t>(xdr_Device_ReadParms),
                         reinterpret_cast<char*>(&p)))
            return svcerr_decode(xprt);
        Device_ReadResp r{};
        std::string out;
        if (trickle) {
            waitFor(50);
            out = "A";
        } else if (reply.empty()) {
            waitFor(p.io_timeout);
            r.error = 15; // I/O time-out
            replyNeverEnds = false;
        } else {
            std::size_t n = reply.size();
            if (n > p.requestSize)
                n = p.requestSize;
            if (readChunk && n > readChunk)
                n = readChunk;
            if (p.flags & 0x80) {
                auto pos = reply.find(p.termChar);
                if (pos != std::string::npos && pos < n) {
                    n = pos + 1;
                    r.reason |= 2;
                }
            }
            out = reply.substr(0, n);
            reply.erase(0, n);
            if (reply.empty())
                r.reason |= 4;
            else if (n == p.requestSize)
                r.reason |= 1;
        }
        r.data.data_len = static_cast<u_int>(out.size());
        r.data.data_val = out.data();
        logLine("READ " + std::to_string(out.size()) + " REASON=" + std::to_string(r.reason));
        svc_sendreply(xprt, reinterpret_cast<xdrproc_t>(xdr_Device_ReadResp),
                      reinterpret_cast<char*>(&r));
        return;
    }
    case device_clear:
    case device_remote:
    case device_local: {
        Device_GenericParms p{};
        if (!svc_getargs(xprt, reinterpret_cast<xdrproc_t>(xdr_Device_GenericParms),
                         reinterpret_cast<char*>(&p)))
            return svcerr_decode(xprt);
        Device_Error r{};
        if (req->rq_proc == device_clear) {
            partial.clear();
            reply.clear();
            trickle = false;
            logLine("CLEAR");
        } else {
            logLine(req->rq_proc == device_remote ? "REMOTE" : "LOCAL");
        }
        svc_sendreply(xprt, reinterpret_cast<xdrproc_t>(xdr_Device_Error),
                      reinterpret_cast<char*>(&r));
        return;
    }
    case destroy_link: {
        Device_Link lid = 0;
        if (!svc_getargs(xprt, reinterpret_cast<xdrproc_t>(xdr_Device_Link),
                         reinterpret_cast<char*>(&lid)))
            return svcerr_decode(xprt);
        Device_Error r{};
        logLine("DESTROY");
        svc_sendreply(xprt, reinterpret_cast<xdrproc_t>(xdr_Device_Error),
                      reinterpret_cast<char*>(&r));
        return;
    }
    default:
        svcerr_noproc(xprt);
    }
}

void portmapper(svc_req* req, SVCXPRT* xprt) {
    if (req->rq_proc == NULLPROC) {
        svc_sendreply(xprt, reinterpret_cast<xdrproc_t>(xdr_void), nullptr);
        return;
    }
    if (req->rq_proc != PMAPPROC_GETPORT)
        return svcerr_noproc(xprt);
    pmap q{};
    if (!svc_getargs(xprt, reinterpret_cast<xdrproc_t>(xdr_pmap), reinterpret_cast<char*>(&q)))
        return svcerr_decode(xprt);
    u_long port = 0;
    if (q.pm_prog == DEVICE_CORE && q.pm_vers == DEVICE_CORE_VERSION && q.pm_prot == IPPROTO_TCP)
        port = corePort;
    logLine("GETPORT " + std::to_string(q.pm_prog) + " -> " + std::to_string(port));
    svc_sendreply(xprt, reinterpret_cast<xdrproc_t>(xdr_u_long), reinterpret_cast<char*>(&port));
}

// Serves the portmapper's port with pieces of a record that never ends.
void trickleRecords(int listener) {
    for (;;) {
        int c = ::accept(listener, nullptr, nullptr);
        if (c < 0)
            return;
        char request[1024];
        ::recv(c, request, sizeof request, 0);
        const unsigned char piece[8] = {0, 0, 0, 4, 0, 0, 0, 0}; // length 4, not the last
        while (::send(c, piece, sizeof piece, MSG_NOSIGNAL) == sizeof piece)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::close(c);
    }
}

// Listens on the loopback address of the family (4 or 6).
int listenOn(u_long port, u_long* actual, int family) {
    int s = ::socket(family == 6 ? AF_INET6 : AF_INET, SOCK_STREAM, 0);
    int one = 1;
    ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_storage a{};
    socklen_t len;
    if (family == 6) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&a);
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(static_cast<uint16_t>(port));
        a6->sin6_addr = in6addr_loopback;
        len = sizeof *a6;
    } else {
        auto* a4 = reinterpret_cast<sockaddr_in*>(&a);
        a4->sin_family = AF_INET;
        a4->sin_port = htons(static_cast<uint16_t>(port));
        a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        len = sizeof *a4;
    }
    if (s < 0 || ::bind(s, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(s, 8) != 0) {
        std::perror("bind");
        std::exit(2);
    }
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    *actual = ntohs(family == 6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port
                                : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
    return s;
}

} // namespace

int main(int argc, char** argv) {
    // Never outlive the test that started us.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::signal(SIGPIPE, SIG_IGN);
    u_long pmapPort = 0;
    u_long wantCore = 0;
    int family = 4;
    bool portmapTrickle = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i];
        u_long v = std::strtoul(argv[i + 1], nullptr, 10);
        if (k == "--portmap")
            pmapPort = v;
        else if (k == "--core")
            wantCore = v;
        else if (k == "--family")
            family = int(v);
        else if (k == "--max-recv")
            maxRecv = v;
        else if (k == "--read-chunk")
            readChunk = v;
        else if (k == "--log")
            logFile = std::fopen(argv[i + 1], "w");
        else if (k == "--sent")
            sentFile = std::fopen(argv[i + 1], "wb");
        else if (k == "--answers")
            answersPath = argv[i + 1];
        else if (k == "--portmap-trickle")
            portmapTrickle = v != 0;
    }
    u_long actualPmap = 0;
    int ps = listenOn(pmapPort, &actualPmap, family);
    int cs = listenOn(wantCore, &corePort, family);
    if (portmapTrickle)
        std::thread(trickleRecords, ps).detach();
    SVCXPRT* pt = portmapTrickle ? nullptr : svctcp_create(ps, 0, 0);
    SVCXPRT* ct = svctcp_create(cs, 0, 0);
    // Protocol 0: served here only, never registered with the system's
    // portmapper.
    if ((!portmapTrickle && (!pt || !svc_register(pt, PMAPPROG, PMAPVERS, portmapper, 0))) || !ct ||
        !svc_register(ct, DEVICE_CORE, DEVICE_CORE_VERSION, core, 0)) {
        std::fprintf(stderr, "cannot serve\n");
        return 2;
    }
    std::printf("PORTS %lu %lu\n", actualPmap, corePort);
    std::fflush(stdout);
    svc_run();
    return 0;
}
