// The test instrument reached through the program's real bus: interface
// kind 3, our own VISA layer, a raw SOCKET on 127.0.0.1.
#include "SocketBus.h"
#include "TestInstrument.h"

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <string>
#include <vector>

using namespace velda;
using velda::test::TestInstrument;

namespace {

constexpr int Wait = 10000; // ms; only reached when something is broken

std::vector<uint8_t> pattern(std::size_t n) {
    // Every byte value, LF and "#" included, many times over.
    std::vector<uint8_t> b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(i * 31 + i / 256);
    return b;
}

std::string text(const std::vector<uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

bus::Status sendBlock(bus::GP_common& gp, const std::string& header,
                      const std::vector<uint8_t>& data, int16_t swap) {
    return gp.GP_Send_AsciiBinary_Data(QString::fromStdString(header),
                                       std::span<const uint8_t>(data), 0,
                                       static_cast<int32_t>(data.size()), bus::FormatByte, swap, 0);
}

} // namespace

TEST(TestInstrumentSocket, EveryShippedModelIdentifiesAtItsPosition) {
    const auto models = test::ModelNames();
    ASSERT_GE(models.size(), 2u);
    for (const std::string& name : models) {
        SCOPED_TRACE(name);
        auto inst = TestInstrument::For_Model(name);
        const auto& p = inst->Profile();
        ASSERT_GE(p.modelStart, 1);
        auto gp = test::SocketBus(*inst);
        ASSERT_EQ(gp->GP_Init(QString()), bus::StatusOk);
        ASSERT_EQ(gp->GP_Send_Str(0, QString::fromStdString(p.modelQuery)), bus::StatusOk);
        QString reply;
        ASSERT_EQ(gp->GP_Receive_Str(0, reply), bus::StatusOk);
        // The characters from the 1-based start, as many as the length.
        EXPECT_EQ(reply.mid(p.modelStart - 1, p.modelLength).toStdString(),
                  p.modelText.substr(0, static_cast<std::size_t>(p.modelLength)));
        EXPECT_EQ(inst->Lines(), std::vector<std::string>{p.modelQuery});
    }
}

TEST(TestInstrumentSocket, ExchangesThroughTheBus) {
    struct Step {
        std::string send;
        bool read;
        std::string reply; // after the bus's cut (first CR or LF)
        bus::Status status = bus::StatusOk;
    };
    struct Case {
        const char* name;
        const char* model;
        std::function<void(TestInstrument&)> setUp;
        std::vector<Step> steps;
    } cases[] = {
        {"a line is recorded, nothing answered", "AWG-1101", {}, {{":FREQ 1000.000", false, ""}}},
        {"status and error queries without an error",
         "AWG-1101",
         {},
         {{"*ESR?", true, "0"}, {":SYST:ERR?", true, TestInstrument::NoErrorText}}},
        {"queries compare without case or leading colon",
         "AWG-1101",
         {},
         {{"*esr?", true, "0"}, {"syst:err?", true, TestInstrument::NoErrorText}}},
        {"error status and text",
         "AWG-2202",
         [](TestInstrument& i) { i.Report_Error(4, "-222,\"Data out of range\""); },
         {{"*STB?", true, "4"},
          {"ERR?", true, "-222,\"Data out of range\""},
          {"*CLS", false, ""},
          {"*STB?", true, "4"}}},
        {"several queries in one line answer in one line",
         "AWG-1101",
         {},
         {{"*ESR?;:SYST:ERR?", true, std::string("0;") + TestInstrument::NoErrorText}}},
        {"identifies as another model",
         "AWG-1101",
         [](TestInstrument& i) { i.Identify_As("AWG-3302"); },
         {{"*IDN?", true, "VELDAT,AWG-3302,SN001,1.00"}}},
        {"a model queried with its own identity query",
         "AWG-2201",
         {},
         {{"ID?", true, "AWG-2201,SN001,1.00"}}},
        {"power source mode and range follow the commands",
         "PS-1000",
         {},
         {{"MODE?", true, "AC-INT"},
          {":Mode ACDC-INT", false, ""},
          {"MODE?", true, "ACDC-INT"},
          {":VOLT:RANG?", true, "100"},
          {":VOLT:RANG 200", false, ""},
          {":VOLT:RANG?", true, "200"}}},
        {"power source busy for two polls",
         "PS-1000",
         [](TestInstrument& i) { i.Busy_Polls(2); },
         {{"STAT:OPER:COND?", true, "1"},
          {"STAT:OPER:COND?", true, "1"},
          {"STAT:OPER:COND?", true, "0"},
          {"STAT:OPER:COND?", true, "0"}}},
        {"an oscillator does not answer the power source's queries",
         "AWG-1101",
         {},
         {{"MODE?", true, "", bus::StatusTimeOut}, {"*ESR?", true, "0"}}},
        {"a delayed answer within the time-out arrives",
         "FG-4101",
         [](TestInstrument& i) { i.Delay_Replies(20); },
         {{"*ESR?", true, "0"}}},
        {"an answer delayed past the time-out is a time-out",
         "FG-4101",
         [](TestInstrument& i) { i.Delay_Replies(3000); },
         {{"*ESR?", true, "", bus::StatusTimeOut}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto inst = TestInstrument::For_Model(c.model);
        if (c.setUp)
            c.setUp(*inst);
        auto gp = test::SocketBus(*inst);
        ASSERT_EQ(gp->GP_Init(QString()), bus::StatusOk);
        std::vector<std::string> sent;
        for (const Step& s : c.steps) {
            SCOPED_TRACE(s.send);
            // A time-out is expected only where an answer never comes in time.
            ASSERT_EQ(gp->GP_Time_Out(s.status == bus::StatusTimeOut ? 9 : 12), bus::StatusOk);
            ASSERT_EQ(gp->GP_Send_Str(0, QString::fromStdString(s.send)), bus::StatusOk);
            sent.push_back(s.send);
            if (!s.read)
                continue;
            QString reply;
            EXPECT_EQ(gp->GP_Receive_Str(0, reply), s.status);
            if (s.status == bus::StatusOk) {
                EXPECT_EQ(reply.toStdString(), s.reply);
            }
        }
        ASSERT_TRUE(inst->Wait_For_Lines(sent.size(), Wait));
        EXPECT_EQ(inst->Lines(), sent);
    }
}

TEST(TestInstrumentSocket, BlockInOneMessageArrivesWhole) {
    // 128 KiB as the USB(TMC) path sends a waveform: header and data in one
    // write; the byte packing exchanges each pair unless told otherwise.
    const std::vector<uint8_t> data = pattern(128 * 1024);
    std::vector<uint8_t> exchanged = data;
    for (std::size_t i = 0; i + 1 < exchanged.size(); i += 2)
        std::swap(exchanged[i], exchanged[i + 1]);
    const std::string header = ":TRAC:DATA #6131072";
    struct Case {
        int16_t swap;
        const std::vector<uint8_t>& payload;
    } cases[] = {{1, data}, {0, exchanged}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.swap);
        auto inst = TestInstrument::For_Model("AWG-1101");
        auto gp = test::SocketBus(*inst);
        ASSERT_EQ(gp->GP_Init(QString()), bus::StatusOk);
        ASSERT_EQ(sendBlock(*gp, header, data, c.swap), bus::StatusOk);
        ASSERT_TRUE(inst->Wait_For_Blocks(1, Wait));
        EXPECT_EQ(inst->Blocks(), std::vector<std::string>{text(c.payload)});
        EXPECT_TRUE(inst->Lines().empty()); // the line goes on after the block
        ASSERT_EQ(gp->GP_Send_Str(0, QStringLiteral(";:FUNC ARB1")), bus::StatusOk);
        ASSERT_TRUE(inst->Wait_For_Lines(1, Wait));
        EXPECT_EQ(inst->Lines(), std::vector<std::string>{header + ";:FUNC ARB1"});
        EXPECT_EQ(inst->Bytes(), header + text(c.payload) + ";:FUNC ARB1\n");
    }
}

TEST(TestInstrumentSocket, FaultsEndInABusStatusAndNothingHangs) {
    // A block larger than every socket buffer on the way, so that the
    // sender is still writing when the fault strikes.
    constexpr std::size_t Big = 16u << 20;
    constexpr std::size_t NotChecked = std::string::npos;
    struct Case {
        const char* name;
        std::function<void(TestInstrument&)> fault;
        bus::Status status;    // of the block
        std::size_t payloadIn; // payload bytes the instrument took
        bool closed;           // the instrument ended the connection
    } cases[] = {
        {"closes 4096 bytes into the block", [](TestInstrument& i) { i.Close_In_Block(4096); },
         bus::StatusError, 4096, true},
        {"closes as the block begins", [](TestInstrument& i) { i.Close_In_Block(0); },
         bus::StatusError, 0, true},
        {"stops reading inside the block", [](TestInstrument& i) { i.Stop_Reading_In_Block(1000); },
         bus::StatusTimeOut, 1000, false},
        {"never reads", [](TestInstrument& i) { i.Stop_Reading(); }, bus::StatusTimeOut, NotChecked,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestInstrument::Options options;
        options.receiveBuffer = 4096;
        test::ModelProfile profile;
        std::string error;
        ASSERT_TRUE(test::LoadModelProfile("AWG-1101", &profile, &error)) << error;
        auto inst = std::make_unique<TestInstrument>(profile, options);
        auto gp = test::SocketBus(*inst);
        ASSERT_EQ(gp->GP_Init(QString()), bus::StatusOk);
        c.fault(*inst);
        // A short wait where the fault is a wait that ends, a long one where
        // the instrument must first get its turn to close.
        ASSERT_EQ(gp->GP_Time_Out(c.closed ? 13 : 9), bus::StatusOk); // 10 s, 100 ms
        const std::vector<uint8_t> data(Big, 0x0A);
        const std::string header = "#8" + std::to_string(100000000 + Big).substr(1);
        EXPECT_EQ(sendBlock(*gp, header, data, 1), c.status);
        if (c.payloadIn != NotChecked) {
            ASSERT_TRUE(inst->Wait_For_Bytes(header.size() + c.payloadIn, Wait));
            EXPECT_EQ(inst->Bytes(), header + std::string(c.payloadIn, '\n'));
        }
        EXPECT_TRUE(inst->Blocks().empty());
        if (c.closed) {
            EXPECT_TRUE(inst->Wait_For_Disconnect(Wait));
            // What follows on the lost connection fails at once.
            EXPECT_EQ(gp->GP_Send_Str(0, QStringLiteral("*ESR?")), bus::StatusError);
        }
        EXPECT_EQ(inst->Connections(), 1);
        // Both ends go away without waiting on each other.
        gp.reset();
        inst.reset();
    }
}
