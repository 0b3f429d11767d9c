// Our VISA layer on VXI-11: the real RPC client against the test instrument
// with its own portmapper, both on 127.0.0.1.
#include "FakeVxi11.h"
#include "bus/WaitTurn.h"
#include "bus/visa/OwnVisa.h"
#include "bus/visa/Vxi11Reply.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace velda::visa;
using velda::test::FakeVxi11;

namespace {

unsigned fnv1a(const std::string& s) {
    unsigned h = 2166136261u;
    for (unsigned char c : s) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

std::string hashText(const std::string& s) {
    char b[16];
    std::snprintf(b, sizeof b, "%08x", fnv1a(s));
    return b;
}

struct Link {
    explicit Link(const FakeVxi11& server) {
        OwnVisaOptions o;
        o.portmapperPort = server.portmapperPort();
        visa = std::make_unique<OwnVisa>(o);
        EXPECT_EQ(visa->viOpenDefaultRM(&rm), VI_SUCCESS);
    }
    ViStatus open(const std::string& name = "TCPIP0::127.0.0.1::INSTR") {
        return visa->viOpen(rm, name.c_str(), 0, 0, &vi);
    }
    ViStatus write(const std::string& s) {
        ViUInt32 n = 0;
        return visa->viWrite(vi, reinterpret_cast<ViConstBuf>(s.data()),
                             static_cast<ViUInt32>(s.size()), &n);
    }
    ViStatus read(std::string* out, ViUInt32 size = 256) {
        std::string buf(size, '\0');
        ViUInt32 n = 0;
        ViStatus st = visa->viRead(vi, reinterpret_cast<ViBuf>(buf.data()), size, &n);
        *out = buf.substr(0, n);
        return st;
    }
    std::unique_ptr<OwnVisa> visa;
    ViSession rm = 0, vi = 0;
};

} // namespace

TEST(VisaVxi11, QueryOverTheCoreChannel) {
    // Either address family: an instrument's name may give either.
    struct Case {
        const char* family;
        const char* host;
    } cases[] = {{"4", "127.0.0.1"}, {"6", "[::1]"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        FakeVxi11 server({"--family", c.family});
        if (!server.running() && std::string(c.family) == "6") {
            std::printf("no IPv6 loopback here: the [::1] case is not run\n");
            continue;
        }
        ASSERT_TRUE(server.running());
        Link link(server);
        const std::string host = c.host;
        ASSERT_EQ(link.open("TCPIP0::" + host + "::INSTR"), VI_SUCCESS) << link.visa->lastMessage();
        EXPECT_EQ(server.log("LINK"), (std::vector<std::string>{"LINK inst0"}));
        ASSERT_EQ(link.write("*IDN?\n"), VI_SUCCESS);
        std::string reply;
        EXPECT_EQ(link.read(&reply), VI_SUCCESS);
        EXPECT_EQ(reply, "VELDA,TEST-VXI11,0,1.0\n");
        EXPECT_EQ(server.log("WRITE"), (std::vector<std::string>{"WRITE 6 END=1"}));
        // Device names are matched in lower case, as instruments name them.
        Link second(server);
        EXPECT_EQ(second.open("tcpip::" + host + "::INST0::instr"), VI_SUCCESS);
    }
}

TEST(VisaVxi11, LongBlockGoesInSeveralWritesWithEndOnlyOnTheLast) {
    FakeVxi11 server({"--max-recv", "16384"});
    ASSERT_TRUE(server.running());
    Link link(server);
    ASSERT_EQ(link.open(), VI_SUCCESS) << link.visa->lastMessage();
    std::string block = "#6131072";
    for (int i = 0; i < 131072; ++i)
        block += static_cast<char>(i * 31 % 251);
    ASSERT_EQ(link.write(block), VI_SUCCESS) << link.visa->lastMessage();
    auto writes = server.log("WRITE");
    ASSERT_EQ(writes.size(), 9u); // 131080 bytes in pieces of 16384
    for (std::size_t i = 0; i + 1 < writes.size(); ++i)
        EXPECT_EQ(writes[i], "WRITE 16384 END=0");
    EXPECT_EQ(writes.back(), "WRITE 8 END=1");
    auto messages = server.log("MESSAGE");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].substr(0, 23), "MESSAGE 131080 " + hashText(block));
}

TEST(VisaVxi11, ReadsLoopUntilEndAndStopAtAFullBuffer) {
    FakeVxi11 server({"--read-chunk", "3"});
    ASSERT_TRUE(server.running());
    Link link(server);
    ASSERT_EQ(link.open(), VI_SUCCESS);
    ASSERT_EQ(link.write("MEAS:VOLT?\n"), VI_SUCCESS);
    std::string reply;
    EXPECT_EQ(link.read(&reply, 6), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(reply, "MEAS:V");
    EXPECT_EQ(link.read(&reply), VI_SUCCESS);
    EXPECT_EQ(reply, "OLT?\n");
    EXPECT_EQ(server.log("READ").size(), 4u); // 3+3, then 3+2
}

// With the end character on, a reply ends at it in one read, though the
// instrument sent no END there; the next read takes what follows.
TEST(VisaVxi11, AReadEndsAtTheEndCharacterWhenItIsOn) {
    FakeVxi11 server;
    ASSERT_TRUE(server.running());
    Link link(server);
    ASSERT_EQ(link.open(), VI_SUCCESS);
    ASSERT_EQ(link.visa->viSetAttribute(link.vi, VI_ATTR_TERMCHAR, '\n'), VI_SUCCESS);
    ASSERT_EQ(link.visa->viSetAttribute(link.vi, VI_ATTR_TERMCHAR_EN, 1), VI_SUCCESS);
    ASSERT_EQ(link.write("ONE\nTWO?\n"), VI_SUCCESS); // answered as it is
    std::string reply;
    EXPECT_EQ(link.read(&reply), VI_SUCCESS_TERM_CHAR);
    EXPECT_EQ(reply, "ONE\n");
    EXPECT_EQ(link.read(&reply), VI_SUCCESS);
    EXPECT_EQ(reply, "TWO?\n");
    EXPECT_EQ(server.log("READ"), (std::vector<std::string>{"READ 4 REASON=2", "READ 5 REASON=6"}));
}

TEST(VisaVxi11, ClearRemoteAndLocalAreTheirCalls) {
    FakeVxi11 server;
    ASSERT_TRUE(server.running());
    Link link(server);
    ASSERT_EQ(link.open(), VI_SUCCESS);
    EXPECT_EQ(link.visa->viGpibControlREN(link.vi, VI_GPIB_REN_ASSERT), VI_SUCCESS);
    EXPECT_EQ(link.visa->viGpibControlREN(link.vi, VI_GPIB_REN_ASSERT_ADDRESS_LLO), VI_SUCCESS);
    EXPECT_EQ(link.visa->viGpibControlREN(link.vi, VI_GPIB_REN_DEASSERT_GTL), VI_SUCCESS);
    EXPECT_EQ(link.visa->viClear(link.vi), VI_SUCCESS);
    EXPECT_EQ(link.visa->viClose(link.vi), VI_SUCCESS);
    auto calls = server.log();
    std::vector<std::string> tail(calls.end() - 5, calls.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"REMOTE", "REMOTE", "LOCAL", "CLEAR", "DESTROY"}));
}

TEST(VisaVxi11, FaultsEndInAStatus) {
    FakeVxi11 server;
    ASSERT_TRUE(server.running());
    {
        Link link(server);
        EXPECT_EQ(link.open("TCPIP0::127.0.0.1::gpib0,9::INSTR"), VI_ERROR_RSRC_NFOUND);
        EXPECT_NE(link.visa->lastMessage().find("refused the link"), std::string::npos);
        EXPECT_EQ(link.open("TCPIP0::nonexistent.invalid::INSTR"), VI_ERROR_RSRC_NFOUND);
    }
    {
        // An answer that never comes: the instrument's own time-out.
        Link link(server);
        ASSERT_EQ(link.open(), VI_SUCCESS);
        ASSERT_EQ(link.visa->viSetAttribute(link.vi, VI_ATTR_TMO_VALUE, 200), VI_SUCCESS);
        ASSERT_EQ(link.write("NOEND?\n"), VI_SUCCESS);
        std::string reply;
        EXPECT_EQ(link.read(&reply), VI_ERROR_TMO);
    }
    {
        // The instrument goes away under an open link.
        auto gone = std::make_unique<FakeVxi11>();
        OwnVisaOptions o;
        o.portmapperPort = gone->portmapperPort();
        OwnVisa visa(o);
        ViSession rm = 0, vi = 0;
        ASSERT_EQ(visa.viOpenDefaultRM(&rm), VI_SUCCESS);
        ASSERT_EQ(visa.viOpen(rm, "TCPIP0::127.0.0.1::INSTR", 0, 0, &vi), VI_SUCCESS);
        gone.reset();
        // Every later call too: a lost link is no time-out.
        for (int i = 0; i < 3; ++i) {
            ViUInt32 n = 0;
            ViStatus st = visa.viWrite(vi, reinterpret_cast<ViConstBuf>("X\n"), 2, &n);
            EXPECT_LT(st, 0) << i;
            EXPECT_NE(st, VI_ERROR_TMO) << i;
            EXPECT_FALSE(visa.lastMessage().empty());
        }
    }
}

// An instrument that keeps answering without ever ending, in pieces of a
// reply or of a record, ends in the time-out and never holds the caller.
TEST(VisaVxi11, AnAnswerThatNeverEndsEndsInTheTimeOut) {
    {
        FakeVxi11 server;
        ASSERT_TRUE(server.running());
        Link link(server);
        ASSERT_EQ(link.open(), VI_SUCCESS);
        ASSERT_EQ(link.visa->viSetAttribute(link.vi, VI_ATTR_TMO_VALUE, 300), VI_SUCCESS);
        ASSERT_EQ(link.write("TRICKLE?\n"), VI_SUCCESS);
        std::string reply;
        EXPECT_EQ(link.read(&reply, 4096), VI_ERROR_TMO);
    }
    FakeVxi11 server({"--portmap-trickle", "1"});
    ASSERT_TRUE(server.running());
    Link link(server);
    EXPECT_EQ(link.visa->viOpen(link.rm, "TCPIP0::127.0.0.1::INSTR", 0, 300, &link.vi),
              VI_ERROR_TMO);
}

// A thread with a wait turn takes it while a call waits for the instrument,
// and a turn that asks to stop ends the call, cutting the link.
TEST(VisaVxi11, ACallTakesTheThreadsTurnsAndATurnCanEndIt) {
    FakeVxi11 server;
    ASSERT_TRUE(server.running());
    Link link(server);
    ASSERT_EQ(link.open(), VI_SUCCESS);
    ASSERT_EQ(link.visa->viSetAttribute(link.vi, VI_ATTR_TMO_VALUE, 1000), VI_SUCCESS);
    ASSERT_EQ(link.write("NOEND?\n"), VI_SUCCESS);
    std::string reply;
    int turns = 0;
    {
        const velda::bus::WaitTurnScope scope([&] {
            ++turns;
            return true;
        });
        EXPECT_EQ(link.read(&reply), VI_ERROR_TMO); // the instrument's own, after 1 s
    }
    EXPECT_GE(turns, 1);
    // A wait that would go on for 100 s ends at the first turn.
    ASSERT_EQ(link.visa->viSetAttribute(link.vi, VI_ATTR_TMO_VALUE, 100000), VI_SUCCESS);
    int asked = 0;
    {
        const velda::bus::WaitTurnScope stop([&] {
            ++asked;
            return false;
        });
        EXPECT_EQ(link.read(&reply), VI_ERROR_TMO);
    }
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(link.write("*IDN?\n"), VI_ERROR_CONN_LOST);
}

// Read replies decode into the caller's buffer and never beyond it.
TEST(Vxi11Reply, DecodesIntoTheBufferAndRefusesMoreThanAsked) {
    auto be = [](std::uint32_t v) {
        return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    };
    struct Case {
        std::string bytes;
        unsigned capacity;
        bool ok;
        long reason;
        std::string data;
    } cases[] = {
        {be(0) + be(4) + be(3) + "abc" + std::string(1, '\0'), 8, true, 4, "abc"},
        {be(0) + be(2) + be(4) + "wxyz", 4, true, 2, "wxyz"},
        {be(0) + be(4) + be(5) + "abcde" + std::string(3, '\0'), 4, false, 4, ""},
        {be(0) + be(4) + be(0xFFFFFFF0u), 1 << 20, false, 4, ""},
        {be(0) + be(4), 8, false, 4, ""},
        {be(15) + be(0) + be(0), 8, true, 0, ""},
    };
    for (const auto& c : cases) {
        std::string buffer(c.capacity, '\0');
        Vxi11ReadReply r;
        r.data = buffer.data();
        r.capacity = c.capacity;
        bool ok = decodeReadReply(reinterpret_cast<const unsigned char*>(c.bytes.data()),
                                  c.bytes.size(), &r);
        EXPECT_EQ(ok, c.ok);
        EXPECT_EQ(r.data, buffer.data()); // never replaced by an allocation
        if (ok) {
            EXPECT_EQ(r.reason, c.reason);
            EXPECT_EQ(buffer.substr(0, r.length), c.data);
        }
    }
}
