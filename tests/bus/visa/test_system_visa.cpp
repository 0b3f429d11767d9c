// A system VISA library through dlopen, here the fake one of tests/fakes:
// the IVI widths reach it intact, a read the library hands out in pieces is
// read to its end, and a missing library leaves our own layer in charge.
#include "bus/BusContext.h"
#include "bus/USBTMC_MDL.h"
#include "bus/visa/SystemVisa.h"

#include <gtest/gtest.h>

#include "FakeLibrary.h"

using namespace velda::visa;

namespace {

const char* FakeVisa = VELDA_BINARY_DIR "/tests/fakes/visa/libfakevisa.so";

struct FakeControl {
    velda::test::LoadedLibrary lib{FakeVisa};
    const char* (*record)() = lib.Function<const char*()>("fakevisa_record");
    void (*reset)() = lib.Function<void()>("fakevisa_reset");
    void (*chunk)(ViUInt32) = lib.Function<void(ViUInt32)>("fakevisa_set_chunk");
    void (*stall)(ViUInt32) = lib.Function<void(ViUInt32)>("fakevisa_stall_reads");
    void (*answer)(const char*, const char*, ViUInt32) =
        lib.Function<void(const char*, const char*, ViUInt32)>("fakevisa_answer");
    FakeControl() { reset(); }
};

} // namespace

TEST(SystemVisa, CallsReachTheLibraryWithTheirWidths) {
    FakeControl fake;
    auto visa = SystemVisa::load(FakeVisa);
    ASSERT_TRUE(visa);
    ViSession rm = 0, vi = 0;
    ASSERT_EQ(visa->viOpenDefaultRM(&rm), VI_SUCCESS);
    ASSERT_EQ(visa->viOpen(rm, "USB0::0x1::0x2::S::INSTR", 0, 0, &vi), VI_SUCCESS);
    // A 64-bit attribute value arrives whole.
    ASSERT_EQ(visa->viSetAttribute(vi, VI_ATTR_TMO_VALUE, 0x100000001ull), VI_SUCCESS);
    EXPECT_EQ(visa->viGpibControlREN(vi, VI_GPIB_REN_ASSERT_ADDRESS_LLO), VI_SUCCESS);
    std::string rec = fake.record();
    EXPECT_NE(rec.find("viOpen USB0::0x1::0x2::S::INSTR 0 0\n"), std::string::npos) << rec;
    EXPECT_NE(rec.find("viSetAttribute " + std::to_string(vi) + " 3FFF001A 4294967297\n"),
              std::string::npos)
        << rec;
    EXPECT_NE(rec.find("viGpibControlREN " + std::to_string(vi) + " 5\n"), std::string::npos);
    EXPECT_EQ(visa->viOpen(rm, "USB0::0x1::0x2::MISSING::INSTR", 0, 0, &vi), VI_ERROR_RSRC_NFOUND);
}

TEST(SystemVisa, ReadsOnWhileTheLibrarySaysTheMessageGoesOn) {
    FakeControl fake;
    auto visa = SystemVisa::load(FakeVisa);
    ASSERT_TRUE(visa);
    ViSession rm = 0, vi = 0;
    ASSERT_EQ(visa->viOpenDefaultRM(&rm), VI_SUCCESS);
    ASSERT_EQ(visa->viOpen(rm, "TCPIP0::h::INSTR", 0, 0, &vi), VI_SUCCESS);
    fake.chunk(3);
    fake.answer("MEAS:VOLT?", "MEAS:VOLT?\n", 11);
    ViUInt32 n = 0;
    ASSERT_EQ(visa->viWrite(vi, reinterpret_cast<ViConstBuf>("MEAS:VOLT?\n"), 11, &n), VI_SUCCESS);
    unsigned char buf[64];
    EXPECT_EQ(visa->viRead(vi, buf, sizeof buf, &n), VI_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), n), "MEAS:VOLT?\n");
    // A full buffer ends the read with the library's VI_SUCCESS_MAX_CNT.
    ASSERT_EQ(visa->viWrite(vi, reinterpret_cast<ViConstBuf>("MEAS:VOLT?\n"), 11, &n), VI_SUCCESS);
    EXPECT_EQ(visa->viRead(vi, buf, 5, &n), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(n, 5u);
    // "More" with no byte ends the read where it is instead of asking again
    // for as long as the library keeps saying so.
    const std::size_t before = std::string(fake.record()).size();
    fake.stall(100000);
    EXPECT_EQ(visa->viRead(vi, buf, sizeof buf, &n), VI_SUCCESS_MAX_CNT);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(std::string(fake.record()).substr(before), "viRead " + std::to_string(vi) + " 64\n");
}

TEST(SystemVisa, FirstLibraryThatLoadsElseOurOwnLayer) {
    struct Case {
        std::vector<std::string> names;
        std::string description;
    } cases[] = {
        {{"/nonexistent/libvisa.so", FakeVisa}, std::string("system VISA ") + FakeVisa},
        {{FakeVisa, "/nonexistent/libvisa.so"}, std::string("system VISA ") + FakeVisa},
        {{"/nonexistent/libvisa.so"}, "built-in"},
        // A library without the VISA calls is no VISA.
        {{"libm.so.6"}, "built-in"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(chooseVisaProvider(c.names)->description(), c.description);
    EXPECT_EQ(
        defaultVisaLibraryNames(),
        (std::vector<std::string>{"libvisa.so.0", "libvisa.so", "libiovisa.so", "librsvisa.so"}));
}

// Every initialisation of the USB-TMC bus opens a session manager; a system
// library hands out a new one each time, so each is given back, the last
// one when the bus ends.
TEST(SystemVisa, EachSessionManagerTheBusOpensIsGivenBack) {
    FakeControl fake;
    {
        velda::bus::BusContext context = velda::bus::BusContext::Program_Defaults();
        velda::bus::USBTMC_MDL bus(context);
        bus.Set_Provider_Factory([] { return chooseVisaProvider({FakeVisa}); });
        const QString init = QStringLiteral("USBTMC_NAME = USB0::0x1::0x2::S::INSTR");
        for (int i = 0; i < 3; ++i)
            ASSERT_EQ(bus.GP_Init(init), velda::bus::StatusOk);
    }
    int opened = 0, closed = 0;
    for (const QString& line : QString::fromLatin1(fake.record()).split(QLatin1Char('\n'))) {
        opened += line == QLatin1String("viOpenDefaultRM");
        closed += line == QLatin1String("viClose 1"); // the fake's manager
    }
    EXPECT_EQ(opened, 3);
    EXPECT_EQ(closed, opened);
}

// Remote control and clear that a system VISA does not support on a
// session (a LAN socket has neither) are nothing to do; any other refusal
// is still a failure.
TEST(SystemVisa, UnsupportedRemoteAndClearAreNothingToDo) {
    using velda::bus::Status;
    using velda::bus::USBTMC_MDL;
    struct Case {
        const char* call;
        Status (*run)(USBTMC_MDL&);
    } calls[] = {
        {"viGpibControlREN", [](USBTMC_MDL& b) { return b.GP_REN(-1); }},
        {"viGpibControlREN", [](USBTMC_MDL& b) { return b.GP_REN(0); }},
        {"viGpibControlREN", [](USBTMC_MDL& b) { return b.GP_LLO(); }},
        {"viClear", [](USBTMC_MDL& b) { return b.GP_SDC(0); }},
    };
    for (const Case& c : calls) {
        for (const ViStatus refusal : {VI_ERROR_NSUP_OPER, VI_ERROR_IO}) {
            FakeControl fake;
            auto failNext = fake.lib.Function<void(const char*, ViStatus)>("fakevisa_fail_next");
            velda::bus::BusContext context = velda::bus::BusContext::Program_Defaults();
            USBTMC_MDL bus(context);
            bus.Set_Provider_Factory([] { return chooseVisaProvider({FakeVisa}); });
            ASSERT_EQ(bus.GP_Init(QStringLiteral("USBTMC_NAME = TCPIP0::h::5025::SOCKET")),
                      velda::bus::StatusOk);
            failNext(c.call, refusal);
            EXPECT_EQ(c.run(bus) == velda::bus::StatusOk, refusal == VI_ERROR_NSUP_OPER)
                << c.call << " " << refusal;
        }
    }
}

// A library that takes part of a write and calls it done has not sent the
// line or the block: the bus says so.
TEST(SystemVisa, AWriteTheLibraryCutsShortFails) {
    using velda::bus::Status;
    using velda::bus::USBTMC_MDL;
    const std::pair<const char*, Status (*)(USBTMC_MDL&)> sends[] = {
        {"line", [](USBTMC_MDL& b) { return b.GP_Send_Str(0, QStringLiteral("*RST")); }},
        {"block",
         [](USBTMC_MDL& b) {
             static const uint8_t bytes[4] = {1, 2, 3, 4};
             return b.GP_Send_AsciiBinary_Data(QStringLiteral(":DATA #14"),
                                               std::span<const uint8_t>(bytes), 0, 4,
                                               velda::bus::FormatByte, 1, 0);
         }},
    };
    for (const auto& [what, send] : sends) {
        for (const ViUInt32 missing : {0u, 1u}) {
            FakeControl fake;
            auto shortWrite = fake.lib.Function<void(ViUInt32)>("fakevisa_short_write");
            velda::bus::BusContext context = velda::bus::BusContext::Program_Defaults();
            USBTMC_MDL bus(context);
            bus.Set_Provider_Factory([] { return chooseVisaProvider({FakeVisa}); });
            ASSERT_EQ(bus.GP_Init(QStringLiteral("USBTMC_NAME = TCPIP0::h::5025::SOCKET")),
                      velda::bus::StatusOk);
            shortWrite(missing);
            EXPECT_EQ(send(bus) == velda::bus::StatusOk, missing == 0) << what << " " << missing;
            EXPECT_EQ(bus.Last_Error_Text().contains(QLatin1String("bytes written")), missing != 0)
                << what;
        }
    }
}
