// Our VISA layer on raw SCPI sockets against a listener on 127.0.0.1.
#include "ScpiListener.h"
#include "bus/WaitTurn.h"
#include "bus/visa/NetConnect.h"
#include "bus/visa/OwnVisa.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <csignal>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace velda::visa;
using velda::test::RefusingPort;
using velda::test::ScpiListener;

namespace {

std::string socketName(std::uint16_t port) {
    return "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET";
}

std::string pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('A' + (i * 7) % 26);
    return s;
}

struct Session {
    OwnVisa visa;
    ViSession rm = 0;
    ViSession vi = 0;
    ViStatus open(const std::string& name) {
        EXPECT_EQ(visa.viOpenDefaultRM(&rm), VI_SUCCESS);
        return visa.viOpen(rm, name.c_str(), 0, 0, &vi);
    }
    ViStatus write(const std::string& s, ViUInt32* ret = nullptr) {
        ViUInt32 n = 0;
        ViStatus st = visa.viWrite(vi, reinterpret_cast<ViConstBuf>(s.data()),
                                   static_cast<ViUInt32>(s.size()), &n);
        if (ret)
            *ret = n;
        return st;
    }
    ViStatus read(std::string* out, ViUInt32 size = 256) {
        std::string buf(size, '\0');
        ViUInt32 n = 0;
        ViStatus st = visa.viRead(vi, reinterpret_cast<ViBuf>(buf.data()), size, &n);
        *out = buf.substr(0, n);
        return st;
    }
    void terminator(bool on) {
        ASSERT_EQ(visa.viSetAttribute(vi, VI_ATTR_TERMCHAR, '\n'), VI_SUCCESS);
        ASSERT_EQ(visa.viSetAttribute(vi, VI_ATTR_TERMCHAR_EN, on ? 1 : 0), VI_SUCCESS);
    }
    // Open to the listener, replies ending at LF, with this time-out.
    void openForQueries(const ScpiListener& inst, ViUInt32 timeOutMs) {
        ASSERT_EQ(open(socketName(inst.port())), VI_SUCCESS);
        terminator(true);
        ASSERT_EQ(visa.viSetAttribute(vi, VI_ATTR_TMO_VALUE, timeOutMs), VI_SUCCESS);
    }
};

} // namespace

TEST(VisaSocket, QueryEndsAtTerminatorAndKeepsWhatFollows) {
    ScpiListener inst;
    Session s;
    ASSERT_EQ(s.open(socketName(inst.port())), VI_SUCCESS);
    s.terminator(true);
    std::string reply;
    ASSERT_EQ(s.write("*IDN?\n"), VI_SUCCESS);
    EXPECT_EQ(s.read(&reply), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(reply, "VELDA,TEST-TCP,0,1.0\n");
    // Two answers in one segment are two messages.
    ASSERT_EQ(s.write("TWO?\n"), VI_SUCCESS);
    EXPECT_EQ(s.read(&reply), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(reply, "ONE\n");
    EXPECT_EQ(s.read(&reply), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(reply, "TWO\n");
    // A buffer smaller than the answer fills, and the rest comes next.
    ASSERT_EQ(s.write("ABCDEFGH?\n"), VI_SUCCESS);
    EXPECT_EQ(s.read(&reply, 4), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(reply, "ABCD");
    EXPECT_EQ(s.read(&reply), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(reply, "EFGH?\n");
}

TEST(VisaSocket, BlockGoesOutWhole) {
    ScpiListener inst;
    Session s;
    ASSERT_EQ(s.open(socketName(inst.port())), VI_SUCCESS);
    std::string block = "#6131072" + pattern(131072);
    ViUInt32 sent = 0;
    ASSERT_EQ(s.write(block, &sent), VI_SUCCESS);
    EXPECT_EQ(sent, block.size());
    ASSERT_TRUE(inst.waitForBytes(block.size(), 10000));
    EXPECT_EQ(inst.received(), block);
}

TEST(VisaSocket, ClearForgetsAnUnreadAnswer) {
    ScpiListener inst;
    Session s;
    ASSERT_EQ(s.open(socketName(inst.port())), VI_SUCCESS);
    s.terminator(true);
    std::string reply;
    ASSERT_EQ(s.write("TWO?\n"), VI_SUCCESS);
    EXPECT_EQ(s.read(&reply), VI_SUCCESS_TERM_CHAR); // "ONE", "TWO" held
    EXPECT_EQ(s.visa.viClear(s.vi), VI_SUCCESS);
    ASSERT_EQ(s.write("*IDN?\n"), VI_SUCCESS);
    EXPECT_EQ(s.read(&reply), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(reply, "VELDA,TEST-TCP,0,1.0\n");
}

// An answer that comes after its read timed out is not taken for the next
// command's answer; an answer read in time leaves its rest for the next read.
TEST(VisaSocket, LateAnswerIsNotTakenForTheNextOne) {
    ScpiListener inst;
    Session s;
    ASSERT_NO_FATAL_FAILURE(s.openForQueries(inst, 100));
    std::string reply;
    ASSERT_EQ(s.write("LATE?\n"), VI_SUCCESS);
    EXPECT_EQ(s.read(&reply), VI_ERROR_TMO);
    // The listener may not have had its turn within the short read.
    ASSERT_TRUE(inst.waitForBytes(6, 10000));
    ASSERT_TRUE(inst.Send_Late());
    ASSERT_EQ(s.write("*IDN?\n"), VI_SUCCESS);
    EXPECT_EQ(s.read(&reply), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(reply, "VELDA,TEST-TCP,0,1.0\n");
    ASSERT_EQ(s.write("TWO?\n"), VI_SUCCESS);
    EXPECT_EQ(s.read(&reply), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(s.read(&reply), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(reply, "TWO\n");
}

// Signals that keep interrupting a wait do not keep it from ending: each
// interruption waits only for the rest of the time-out.
TEST(VisaSocket, SignalsDoNotStretchAWait) {
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
    struct sigaction quiet {
    }, old{};
    quiet.sa_handler = [](int) {};
    sigemptyset(&quiet.sa_mask);
    ASSERT_EQ(::sigaction(SIGUSR2, &quiet, &old), 0); // no SA_RESTART: poll sees EINTR
    std::atomic<int> result{-1};
    std::thread waiter([&] { result = waitFd(pair[0], POLLIN, 100) ? 1 : 0; });
    for (int i = 0; i < 2000 && result < 0; ++i) { // at most about 10 s
        ::pthread_kill(waiter.native_handle(), SIGUSR2);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const int ended = result;
    if (ended < 0)
        ::shutdown(pair[1], SHUT_RDWR); // let the thread end anyway
    waiter.join();
    ::sigaction(SIGUSR2, &old, nullptr);
    ::close(pair[0]);
    ::close(pair[1]);
    EXPECT_EQ(ended, 0) << "the wait never ended";
}

// A thread with a wait turn takes it while a read waits: here the answer
// comes only once a turn has let it go. The time-out still ends a wait
// that turns, a turn can end it, and the turn before a scope comes back
// after it.
TEST(VisaSocket, AWaitTakesTheThreadsTurns) {
    ScpiListener inst;
    Session s;
    ASSERT_NO_FATAL_FAILURE(s.openForQueries(inst, 10000));
    int turns = 0;
    bool released = false;
    {
        const velda::bus::WaitTurnScope scope([&] {
            ++turns;
            released = released || inst.Send_Late();
            return true;
        });
        std::string reply;
        ASSERT_EQ(s.write("LATE?\n"), VI_SUCCESS);
        EXPECT_EQ(s.read(&reply), VI_SUCCESS_TERM_CHAR);
        EXPECT_EQ(reply, "LATE\n");
        EXPECT_GE(turns, 1);

        int pair[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
        const int before = turns;
        EXPECT_FALSE(waitFd(pair[0], POLLIN, 3 * velda::bus::WaitTurnSliceMs));
        EXPECT_GT(turns, before);
        {
            // A turn that asks to stop ends a wait that would go on for good.
            const velda::bus::WaitTurnScope stop([] { return false; });
            EXPECT_FALSE(waitFd(pair[0], POLLIN, -1));
        }
        EXPECT_TRUE(velda::bus::Has_WaitTurn());
        ::close(pair[0]);
        ::close(pair[1]);
    }
    EXPECT_FALSE(velda::bus::Has_WaitTurn());
}

// Faults: each ends in a VISA error status and a message, never a hang.
struct SocketFault {
    const char* name;
    ScpiListener::Options listener;
    bool useListener;
    std::string host;    // "" = 127.0.0.1
    std::string send;    // written after the open
    std::size_t blockMb; // or a block of this many MiB
    bool readAfter;
    ViStatus openStatus;
    ViStatus status; // of the last step
    const char* messagePart;
};

class VisaSocketFault : public ::testing::TestWithParam<SocketFault> {};

TEST_P(VisaSocketFault, EndsInStatusAndMessage) {
    const SocketFault& f = GetParam();
    std::unique_ptr<ScpiListener> inst;
    const RefusingPort refusing;
    std::uint16_t port = refusing.port();
    if (f.useListener) {
        inst = std::make_unique<ScpiListener>(f.listener);
        port = inst->port();
    }
    Session s;
    std::string host = f.host.empty() ? "127.0.0.1" : f.host;
    ViStatus st = s.open("TCPIP::" + host + "::" + std::to_string(port) + "::SOCKET");
    ASSERT_EQ(st, f.openStatus) << f.name;
    if (st != VI_SUCCESS) {
        EXPECT_NE(s.visa.lastMessage().find(f.messagePart), std::string::npos)
            << s.visa.lastMessage();
        return;
    }
    s.terminator(true);
    ASSERT_EQ(s.visa.viSetAttribute(s.vi, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
    std::string data = f.blockMb ? pattern(f.blockMb << 20) : f.send;
    ViUInt32 sent = 0;
    st = s.write(data, &sent);
    if (f.readAfter) {
        ASSERT_EQ(st, VI_SUCCESS);
        std::string reply;
        st = s.read(&reply);
    } else {
        EXPECT_LT(sent, data.size());
    }
    EXPECT_EQ(st, f.status) << f.name;
    EXPECT_NE(s.visa.lastMessage().find(f.messagePart), std::string::npos) << s.visa.lastMessage();
}

INSTANTIATE_TEST_SUITE_P(
    Faults, VisaSocketFault,
    ::testing::Values(
        SocketFault{
            "refused", {}, false, "", "", 0, false, VI_ERROR_RSRC_NFOUND, 0, "Cannot connect"},
        SocketFault{"unknown",
                    {},
                    false,
                    "nonexistent.invalid",
                    "",
                    0,
                    false,
                    VI_ERROR_RSRC_NFOUND,
                    0,
                    "unknown"},
        SocketFault{"closes_mid_block",
                    {false, 0, 4096},
                    true,
                    "",
                    "",
                    16,
                    false,
                    VI_SUCCESS,
                    VI_ERROR_CONN_LOST,
                    "lost"},
        SocketFault{"never_reads",
                    {true, 4096, 0},
                    true,
                    "",
                    "",
                    16,
                    false,
                    VI_SUCCESS,
                    VI_ERROR_TMO,
                    "stopped taking"},
        SocketFault{"reply_never_ends",
                    {},
                    true,
                    "",
                    "NOEND?\n",
                    0,
                    true,
                    VI_SUCCESS,
                    VI_ERROR_TMO,
                    "did not end"},
        SocketFault{"closes_before_reply",
                    {false, 0, 7},
                    true,
                    "",
                    "FIRST?\n",
                    0,
                    true,
                    VI_SUCCESS,
                    VI_ERROR_CONN_LOST,
                    "closed"}),
    [](const auto& info) { return std::string(info.param.name); });
