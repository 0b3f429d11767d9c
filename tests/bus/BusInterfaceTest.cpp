// One suite for every bus back end: each runs the same contract through the
// common interface, with its fake library (or, for the simulated bus, its
// replies file) standing where the hardware stands.
//
// To add a back end: write a rig for it in BusRigs.cpp (a subclass of
// BusRig: its interface kind, its initialisation items, how to prepare a
// reply and what was sent) and add one row to BackEnds below.

#include "BusRigs.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace velda::test {
namespace {

using bus::Status;

struct BackEnd {
    const char* name;
    std::unique_ptr<BusRig> (*make)();
};

void PrintTo(const BackEnd& backEnd, std::ostream* os) {
    *os << backEnd.name;
}

const BackEnd BackEnds[] = {
    {"NI", [] { return MakeNiRig(); }},
    {"KI", [] { return MakeKiRig(); }},
    {"USB488", [] { return MakeUsb488Rig(); }},
    {"Debug", [] { return MakeDebugRig(); }},
    {"UsbTmcVisa", [] { return MakeUsbTmcVisaRig(); }},
    {"UsbTmcSocket", [] { return MakeUsbTmcSocketRig(); }},
    {"UsbTmcVxi11", [] { return MakeUsbTmcVxi11Rig(); }},
};

class BusInterface : public ::testing::TestWithParam<BackEnd> {
protected:
    void SetUp() override {
        rig = GetParam().make();
        ASSERT_EQ(rig->Init(), bus::StatusOk)
            << rig->Log_Lines().join(QLatin1Char('\n')).toStdString();
    }
    std::unique_ptr<BusRig> rig;
    RecordingPrompts prompts;
};

TEST_P(BusInterface, InitEmptiesTheLogAndEndsWithItsLine) {
    const QStringList first = rig->Log_Lines();
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(first.back(), QStringLiteral("GP_INIT"));
    ASSERT_EQ(rig->Init(), bus::StatusOk);
    EXPECT_EQ(rig->Log_Lines(), first); // emptied, not appended to
    EXPECT_TRUE(rig->Log_Bytes().endsWith("GP_INIT\r\n"));
    EXPECT_EQ(rig->Module().State().BufferSize, 256);
}

TEST_P(BusInterface, AQueryIsSentAndItsReplyCutAndTrimmed) {
    rig->Answer(5, QStringLiteral("*IDN?"), QByteArray("MAKER,MODEL 7  \r\n"));
    ASSERT_EQ(rig->Bus().GP_Send_Str(5, QStringLiteral("*IDN?")), bus::StatusOk);
    EXPECT_TRUE(rig->Sent().contains("*IDN?"));
    QString reply;
    ASSERT_EQ(rig->Bus().GP_Receive_Str(5, reply), bus::StatusOk);
    EXPECT_EQ(reply, QStringLiteral("MAKER,MODEL 7"));
    EXPECT_EQ(rig->Module().State().CurrentAddress, 5);
    const QStringList log = rig->Log_Lines();
    ASSERT_GE(log.size(), 2);
    EXPECT_EQ(log[log.size() - 2], rig->Shown(5) + QStringLiteral(" <  GP_Send_Str \"*IDN?\""));
    EXPECT_TRUE(log.back().startsWith(rig->Shown(5) + QStringLiteral(" > ")));
    EXPECT_TRUE(log.back().contains(QStringLiteral("GP_Receive_Str")));
    EXPECT_TRUE(log.back().endsWith(QStringLiteral("\"MAKER,MODEL 7\"")))
        << log.back().toStdString();
}

TEST_P(BusInterface, TheRestOfAReplyLongerThanTheBufferNeverAnswersTheNextQuery) {
    if (!rig->Can_Fail())
        GTEST_SKIP() << "the simulated bus answers each query from its file";
    rig->Answer(5, QStringLiteral("LONG?"), QByteArray(300, 'A') + "\r\n");
    rig->Answer(5, QStringLiteral("NEXT?"), QByteArray("B\r\n"));
    QString reply;
    ASSERT_EQ(rig->Bus().GP_Send_Str(5, QStringLiteral("LONG?")), bus::StatusOk);
    ASSERT_EQ(rig->Bus().GP_Receive_Str(5, reply), bus::StatusOk);
    EXPECT_TRUE(reply.startsWith(QString(250, QLatin1Char('A'))));
    EXPECT_LE(reply.size(), 256);
    ASSERT_EQ(rig->Bus().GP_Send_Str(5, QStringLiteral("NEXT?")), bus::StatusOk);
    ASSERT_EQ(rig->Bus().GP_Receive_Str(5, reply), bus::StatusOk);
    EXPECT_EQ(reply, QStringLiteral("B"));
}

// With the CR LF terminator a read ends at the LF: one ended at the CR
// would leave the LF to start the next query's answer.
TEST_P(BusInterface, WithCrLfEachReplyEndsAtItsLineFeed) {
    if (!rig->Can_Fail())
        GTEST_SKIP() << "the simulated bus answers each query from its file";
    ASSERT_EQ(rig->Bus().GP_MTerm(3), bus::StatusOk);
    rig->Answer(5, QStringLiteral("ONE?"), QByteArray("A\r\n"));
    rig->Answer(5, QStringLiteral("TWO?"), QByteArray("B\r\n"));
    for (const auto& [query, answer] : {std::pair{"ONE?", "A"}, std::pair{"TWO?", "B"}}) {
        QString reply;
        ASSERT_EQ(rig->Bus().GP_Send_Str(5, QLatin1String(query)), bus::StatusOk);
        ASSERT_EQ(rig->Bus().GP_Receive_Str(5, reply), bus::StatusOk) << query;
        EXPECT_EQ(reply, QLatin1String(answer)) << query;
    }
}

TEST_P(BusInterface, AReplyThatNeverEndsFailsItsRead) {
    if (!rig->Answer_Without_End())
        GTEST_SKIP() << "no endless reply from this rig's instrument";
    QString reply;
    EXPECT_NE(rig->Bus().GP_Receive_Str(5, reply), bus::StatusOk);
}

TEST_P(BusInterface, ANulInAReplyIsACharacterOfIt) {
    if (rig->Kind() == bus::KindDebug)
        GTEST_SKIP() << "the simulated bus answers from a text file";
    rig->Answer(5, QStringLiteral("*IDN?"), QByteArray("\0MAKER,MODEL\0 7\r\n", 17));
    ASSERT_EQ(rig->Bus().GP_Send_Str(5, QStringLiteral("*IDN?")), bus::StatusOk);
    QString reply;
    ASSERT_EQ(rig->Bus().GP_Receive_Str(5, reply), bus::StatusOk);
    EXPECT_EQ(reply, QStringLiteral("MAKER,MODEL 7").insert(11, QChar(0)).prepend(QChar(0)));
}

TEST_P(BusInterface, AddressMinusOneKeepsTheDeviceAddressedLast) {
    ASSERT_EQ(rig->Bus().GP_Send_Str(4, QStringLiteral(":FREQ 1")), bus::StatusOk);
    ASSERT_EQ(rig->Bus().GP_Send_Str(bus::LastAddress, QStringLiteral(":VOLT 2")), bus::StatusOk);
    EXPECT_EQ(rig->Module().State().CurrentAddress, 4);
    EXPECT_EQ(rig->Log_Lines().back(),
              rig->Shown(4) + QStringLiteral(" <  GP_Send_Str \":VOLT 2\""));
}

TEST_P(BusInterface, AnUnknownTerminatorCodeChangesNothing) {
    ASSERT_EQ(rig->Bus().GP_MTerm(2), bus::StatusOk);
    const Status st = rig->Bus().GP_MTerm(4);
    EXPECT_EQ(st, rig->Can_Fail() ? bus::StatusError : bus::StatusOk);
    EXPECT_EQ(rig->Module().State().TermCode, 2);
}

TEST_P(BusInterface, TimeOutCodeTenIsLoggedByName) {
    // The code set is kept: the drain of an over-long reply waits by it.
    ASSERT_EQ(rig->Bus().GP_Time_Out(13), bus::StatusOk);
    EXPECT_EQ(rig->Module().State().TimeOutCode, 13);
    ASSERT_EQ(rig->Bus().GP_Time_Out(10), bus::StatusOk);
    EXPECT_EQ(rig->Module().State().TimeOutCode, 10);
    EXPECT_EQ(rig->Log_Lines().back(), QStringLiteral("ALL < GP_Time_Out\"300ms\""));
    ASSERT_EQ(rig->Bus().GP_MTerm(3), bus::StatusOk);
    EXPECT_EQ(rig->Log_Lines().back(), QStringLiteral("ALL < GP_MTerm\"CRLF\""));
    ASSERT_EQ(rig->Bus().GP_IFC(), bus::StatusOk);
    EXPECT_EQ(rig->Log_Lines().back(), QStringLiteral("ALL < GP_IFC"));
    ASSERT_EQ(rig->Bus().GP_SDC(7), bus::StatusOk);
    EXPECT_EQ(rig->Log_Lines().back(), rig->Shown(7) + QStringLiteral(" < GP_SDC"));
}

TEST_P(BusInterface, ATimeOutInTheMiddleOfASequenceIsReportedAndTheBusGoesOn) {
    if (!rig->Can_Fail())
        GTEST_SKIP() << "the simulated bus never fails";
    ASSERT_EQ(rig->Bus().GP_Send_Str(5, QStringLiteral(":SYST:ERR?")), bus::StatusOk);
    QString reply;
    const Status st = rig->Bus().GP_Receive_Str(5, reply); // nothing prepared: times out
    EXPECT_TRUE(st & bus::StatusTimeOut) << st;
    EXPECT_TRUE(rig->Log_Lines().back().endsWith(QStringLiteral(" Time Out")));
    EXPECT_TRUE(prompts.boxes.empty()); // no dialog without VIEW_ERR_DIALOG
    // The next exchange works.
    rig->Answer(5, QStringLiteral(":SYST:ERR?"), QByteArray("0,\"No error\"\n"));
    ASSERT_EQ(rig->Bus().GP_Send_Str(5, QStringLiteral(":SYST:ERR?")), bus::StatusOk);
    ASSERT_EQ(rig->Bus().GP_Receive_Str(5, reply), bus::StatusOk);
    EXPECT_EQ(reply, QStringLiteral("0,\"No error\""));
}

TEST_P(BusInterface, TheErrorDialogAsksAndYesEndsTheProgram) {
    if (!rig->Can_Fail())
        GTEST_SKIP() << "the simulated bus shows no error dialog";
    ASSERT_EQ(rig->Init(QStringLiteral("VIEW_ERR_DIALOG = 1")), bus::StatusOk);
    QString reply;
    prompts.answers = {Answer::No, Answer::Yes};
    EXPECT_NE(rig->Bus().GP_Receive_Str(5, reply), bus::StatusOk);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("NI_GPIB"));
    EXPECT_EQ(prompts.boxes[0].buttons, BoxButtons::YesNo);
    EXPECT_TRUE(prompts.boxes[0].text.startsWith(QStringLiteral("GP_Receive_Str\r\n")));
    EXPECT_TRUE(
        prompts.boxes[0].text.endsWith(QStringLiteral("\r\nアプリケーションを終了しますか?")));
    EXPECT_EQ(rig->endProgramCalls, 0);
    EXPECT_NE(rig->Bus().GP_Receive_Str(5, reply), bus::StatusOk);
    EXPECT_EQ(rig->endProgramCalls, 1);
}

TEST_P(BusInterface, BinaryDataGoOutInTheBackEndsByteOrder) {
    const uint8_t bytes[] = {1, 2, 3, 4};
    const QByteArray before = rig->Sent();
    ASSERT_EQ(rig->Bus().GP_Send_Binary_Data(std::span<const uint8_t>(bytes), 5, 4, bus::FormatByte,
                                             0, 0),
              bus::StatusOk);
    EXPECT_EQ(rig->Log_Lines().back(),
              rig->Shown(5) + QStringLiteral(" <  GP_Send_Binary_Data \"1,2,3,4\""));
    if (rig->Sends_Binary()) {
        const QByteArray expected = rig->Swap_Rule() == bus::SwapRule::WhenNonZero
                                        ? QByteArray("\x02\x01\x04\x03", 4)
                                        : QByteArray("\x01\x02\x03\x04", 4);
        const QByteArray sent = rig->Sent().mid(before.size());
        EXPECT_TRUE(sent.endsWith(expected)) << sent.toHex().toStdString();
    }
}

TEST_P(BusInterface, DataNotFittingTheFormatAreRefusedWithoutReadingPastThem) {
    if (!rig->Can_Fail())
        GTEST_SKIP() << "the simulated bus only logs";
    const int16_t words[] = {1, 2};
    EXPECT_EQ(rig->Bus().GP_Send_Binary_Data(std::span<const int16_t>(words), 5, 3,
                                             bus::FormatInteger, 0, 0),
              bus::StatusError);
    EXPECT_EQ(rig->Bus().GP_Send_Binary_Data(std::span<const int16_t>(words), 5, 2, bus::FormatByte,
                                             0, 0),
              bus::StatusError);
}

// A log that cannot be written, or whose emptying would wipe a file the
// program reads (the settings, the simulated bus's replies, through a link
// too), is left out: the file stays, the result is the same, and the bus
// names no log it has not written.
TEST_P(BusInterface, ALogThatCannotOrMustNotBeWrittenIsLeftOut) {
    const QString replies = rig->Dir() + QStringLiteral("/replies.ini");
    const QString link = rig->Dir() + QStringLiteral("/link.log");
    ASSERT_TRUE(QFile::link(rig->Kept_Path(), link));
    for (const QString& log :
         {rig->Dir() + QStringLiteral("/no/such/folder/t.log"), rig->Kept_Path(), link, replies}) {
        SCOPED_TRACE(log.toStdString());
        for (const QString& file : {rig->Kept_Path(), replies}) {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("[ADRS5]\n*IDN?=X\n");
        }
        ASSERT_EQ(rig->Bus().GP_Init(QStringLiteral("LOG_FILE = ") + log +
                                     QStringLiteral(", INI_FILE = replies.ini, ") +
                                     rig->Init_Items()),
                  bus::StatusOk);
        EXPECT_EQ(rig->Bus().GP_Send_Str(5, QStringLiteral("*RST")), bus::StatusOk);
        EXPECT_EQ(rig->Bus().GP_Time_Out(11), bus::StatusOk);
        EXPECT_EQ(rig->Module().State().LogFile, QString());
        for (const QString& file : {rig->Kept_Path(), replies}) {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            EXPECT_EQ(f.readAll(), QByteArray("[ADRS5]\n*IDN?=X\n")) << file.toStdString();
        }
    }
}

TEST_P(BusInterface, AsciiBinaryDataAreSentByUsbTmcAndLoggedByTheSimulatedBus) {
    const uint8_t bytes[] = {9, 8};
    const int before = int(rig->Log_Lines().size());
    EXPECT_EQ(rig->Bus().GP_Send_AsciiBinary_Data(QStringLiteral("#12"),
                                                  std::span<const uint8_t>(bytes), 5, 2,
                                                  bus::FormatByte, 0, 0),
              bus::StatusOk);
    const QStringList log = rig->Log_Lines();
    if (rig->Sends_Ascii_Binary()) {
        // Header and data in one message, the data in the format's byte order.
        EXPECT_TRUE(rig->Sent().endsWith(QByteArray("#12\x08\x09", 5)))
            << rig->Sent().toHex().toStdString();
        EXPECT_EQ(log.back(),
                  rig->Shown(5) + QStringLiteral(" <  GP_Send_AsciiBinary_Data \"9,8\""));
    } else if (rig->Kind() == bus::KindDebug)
        EXPECT_EQ(log.back(), QStringLiteral("5 <  GP_Send_AsciiBinary_Data \"9,8\""));
    else
        EXPECT_EQ(int(log.size()), before);
}

INSTANTIATE_TEST_SUITE_P(AllBackEnds, BusInterface, ::testing::ValuesIn(BackEnds),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace velda::test
