// An instrument address that never answers: opening it through the USB-TMC
// back end on our own VISA layer ends within the open time-out with status 1
// (time-out), for both LAN resources. Nothing here leaves the machine: the
// silent peers are sockets of 127.0.0.1 that never accept or never reply.
#include "../BusRigs.h"
#include "TestSupport.h"
#include "bus/USBTMC_MDL.h"
#include "bus/WaitTurn.h"
#include "bus/visa/NetConnect.h"
#include "bus/visa/OwnVisa.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace velda::test {
namespace {

// A listening socket of 127.0.0.1 that never accepts. With `fillBacklog`
// its accept queue is filled first, so the kernel drops every further
// connection request and a connect never completes; without it a connect
// completes but nothing is ever read or answered.
class SilentPeer {
public:
    explicit SilentPeer(bool fillBacklog) {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
            ::listen(listenFd_, fillBacklog ? 0 : 8) != 0 ||
            ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            return;
        port_ = ntohs(a.sin_port);
        if (!fillBacklog)
            return;
        // Connect until one request stays unanswered: the queue is full.
        for (int i = 0; i < 16; ++i) {
            int s = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            fillers_.push_back(s);
            if (::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
                continue;
            pollfd p{s, POLLOUT, 0};
            if (errno == EINPROGRESS && ::poll(&p, 1, 200) == 0) {
                full_ = true;
                break;
            }
        }
    }
    ~SilentPeer() {
        for (int s : fillers_)
            ::close(s);
        if (listenFd_ >= 0)
            ::close(listenFd_);
    }
    // False when the set-up itself failed (then the test cannot say anything).
    bool ready(bool fillBacklog) const { return port_ != 0 && (full_ || !fillBacklog); }
    uint16_t port() const { return port_; }

private:
    int listenFd_ = -1;
    uint16_t port_ = 0;
    bool full_ = false;
    std::vector<int> fillers_;
};

TEST(ConnectTimeOut, AnAddressThatNeverAnswersEndsInATimeOut) {
    struct Case {
        const char* what;
        bool fillBacklog; // false: the connection is made, the reply never comes
        bool vxi11;       // the peer stands as the portmapper of a VXI-11 instrument
    };
    const Case cases[] = {
        {"SOCKET, connect never completes", true, false},
        {"VXI-11, portmapper connect never completes", true, true},
        {"VXI-11, portmapper never replies", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingPrompts prompts;
        SilentPeer peer(c.fillBacklog);
        ASSERT_TRUE(peer.ready(c.fillBacklog));
        visa::OwnVisaOptions o;
        o.openTimeoutMs = 200;
        o.portmapperPort = c.vxi11 ? peer.port() : 1;
        const QString name = c.vxi11
                                 ? QStringLiteral("TCPIP0::127.0.0.1::inst0::INSTR")
                                 : QStringLiteral("TCPIP0::127.0.0.1::%1::SOCKET").arg(peer.port());
        bus::BusContext context;
        bus::USBTMC_MDL module(context);
        module.Set_Provider_Factory([o] { return std::make_unique<visa::OwnVisa>(o); });
        EXPECT_EQ(module.GP_Init(QStringLiteral("USBTMC_NAME = ") + name), bus::StatusTimeOut);
        EXPECT_EQ(module.Session()[0], visa::ViSession(0)); // nothing left open
        EXPECT_TRUE(
            module.Last_Error_Text().contains(QStringLiteral("timed out"), Qt::CaseInsensitive))
            << module.Last_Error_Text().toStdString();
        // The next use tries again and fails the same way, as status 2 of
        // an index that cannot be opened.
        EXPECT_EQ(module.GP_Send_Str(0, QStringLiteral("*RST")), bus::StatusError);
        EXPECT_TRUE(prompts.boxes.empty());
    }
}

// A name server that never answers: the lookup is given up when the
// time-out ends or a wait turn asks to stop, instead of holding the
// windows' thread for as long as the resolver retries.
std::mutex g_lookupMutex;
std::condition_variable g_lookupReleased;
bool g_released = false;

int silentNameServer(const char*, const char*, const addrinfo* hints, addrinfo** list) {
    *list = nullptr;
    if (hints && (hints->ai_flags & AI_NUMERICHOST))
        return EAI_NONAME;
    std::unique_lock<std::mutex> g(g_lookupMutex);
    g_lookupReleased.wait_for(g, std::chrono::seconds(30), [] { return g_released; });
    return EAI_AGAIN;
}

TEST(ConnectTimeOut, ANameLookupThatNeverAnswersEndsInATimeOut) {
    g_released = false;
    const visa::Resolver before = visa::setResolver(&silentNameServer);
    struct Case {
        const char* what;
        visa::ViUInt32 timeoutMs;
        bool stopAsked; // a wait turn that asks to stop (Cancel, Ctrl-C)
    };
    for (const Case& c : {Case{"open time-out", 200, false},
                          Case{"a turn asks to stop", visa::VI_TMO_INFINITE, true}}) {
        std::optional<bus::WaitTurnScope> turn;
        if (c.stopAsked)
            turn.emplace([] { return false; });
        int fd = -1;
        std::string message;
        EXPECT_EQ(visa::connectTcp("instrument.lab.example", 5025, c.timeoutMs, &fd, &message),
                  visa::VI_ERROR_TMO)
            << c.what;
        EXPECT_EQ(fd, -1) << c.what;
        EXPECT_NE(message.find("Looking up instrument.lab.example"), std::string::npos)
            << c.what << ": " << message;
    }
    {
        const std::lock_guard<std::mutex> g(g_lookupMutex);
        g_released = true;
    }
    g_lookupReleased.notify_all();
    visa::setResolver(before);
}

} // namespace
} // namespace velda::test
