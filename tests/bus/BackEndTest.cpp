// What each back end puts on its bus: command bytes, command texts and
// device calls, read from the fake library's journal.

#include "BusRigs.h"
#include "TestSupport.h"
#include "bus/KI_GPIB_MDL.h"
#include "bus/NI_GPIB_Mdl.h"
#include "bus/USB488_MDL.h"

#include <gtest/gtest.h>

namespace velda::test {
namespace {

using namespace bus;

// Journal lines written after `before` lines.
QStringList NewLines(const FakeLibrary& fake, int before) {
    return fake.Journal().split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(before);
}
int LineCount(const FakeLibrary& fake) {
    return int(fake.Journal().split(QLatin1Char('\n'), Qt::SkipEmptyParts).size());
}

// ---- NI GPIB -------------------------------------------------------------

TEST(NiGpib, InitFindsTheLowerCaseBoardAndSetsItUp) {
    auto rig = MakeNiRig();
    ASSERT_EQ(rig->Init(), StatusOk);
    EXPECT_EQ(NewLines(NiFake(), 0),
              (QStringList{"ibfind GPIB0", "ibfind gpib0", "ibconfig 0 7 0", "ibsic 0",
                           "ibsre 0 -1", "ibeos 0 140A", "ibeot 0 1", "ibtmo 0 10"}));
    const auto& ni = static_cast<NI_GPIB_Mdl&>(rig->Module());
    EXPECT_EQ(ni.Board(), 0);
    EXPECT_EQ(ni.BoardIndex(), 0);
}

TEST(NiGpib, SendAddressesTheListenerThenWritesTextAndTerminator) {
    struct Case {
        int16_t mterm;
        const char* written;
    } cases[] = {
        {0, "2A 52 53 54"}, {1, "2A 52 53 54 0A"}, {2, "2A 52 53 54 0D"}, {3, "2A 52 53 54 0D 0A"}};
    for (const Case& c : cases) {
        auto rig = MakeNiRig();
        rig->Bus().Set_Interface_Kind(KindNiGpib);
        ASSERT_EQ(rig->Bus().GP_Init(QStringLiteral("MYADRS = 2, BOARD_NAME = gpib0")), StatusOk);
        ASSERT_EQ(rig->Bus().GP_MTerm(c.mterm), StatusOk);
        const int before = LineCount(NiFake());
        ASSERT_EQ(rig->Bus().GP_Send_Str(5, QStringLiteral("*RST")), StatusOk);
        EXPECT_EQ(NewLines(NiFake(), before),
                  (QStringList{"ibcmd 0 5F 3F 42 25",
                               QStringLiteral("ibwrt 0 %1 %2")
                                   .arg((QString::fromLatin1(c.written).size() + 1) / 3)
                                   .arg(QString::fromLatin1(c.written))}))
            << c.mterm;
    }
}

TEST(NiGpib, ReceiveAndClearAddressTheDevice) {
    auto rig = MakeNiRig();
    ASSERT_EQ(rig->Init(), StatusOk);
    NiFake().Reply("1\n");
    int before = LineCount(NiFake());
    QString text;
    ASSERT_EQ(rig->Bus().GP_Receive_Str(5, text), StatusOk);
    EXPECT_EQ(NewLines(NiFake(), before), (QStringList{"ibcmd 0 5F 3F 45 20", "ibrd 0 256"}));
    before = LineCount(NiFake());
    ASSERT_EQ(rig->Bus().GP_SDC(5), StatusOk);
    ASSERT_EQ(rig->Bus().GP_LLO(), StatusOk);
    EXPECT_EQ(NewLines(NiFake(), before), (QStringList{"ibcmd 0 3F 25 04", "ibcmd 0 11"}));
}

TEST(NiGpib, RepliesAreCutAtTheFirstCrElseLfElseTheByteCount) {
    struct Case {
        QByteArray reply;
        const char* text;
    } cases[] = {
        {"1.000E+00\r\n", "1.000E+00"},
        {"ABC\n", "ABC"},
        {"XY  ", "XY"},
        {"A\rB\n", "A"},
        {"A\nB\r", "A\nB"},
        {"\nrest", ""},
    };
    for (const Case& c : cases) {
        auto rig = MakeNiRig();
        ASSERT_EQ(rig->Init(), StatusOk);
        NiFake().Reply(c.reply);
        QString text;
        ASSERT_EQ(rig->Bus().GP_Receive_Str(5, text), StatusOk);
        if (c.text[0])
            EXPECT_EQ(text, QString::fromLatin1(c.text)) << c.reply.toStdString();
        else // a reply of length 0 leaves the text as read
            EXPECT_EQ(text.size(), 256) << c.reply.toStdString();
    }
}

TEST(NiGpib, ATimedOutReadLeavesSpacesAndReportsTimeOutAndError) {
    auto rig = MakeNiRig();
    ASSERT_EQ(rig->Init(), StatusOk);
    QString text = QStringLiteral("old");
    EXPECT_EQ(rig->Bus().GP_Receive_Str(5, text), StatusTimeOut | StatusError);
    EXPECT_EQ(text, QString(256, QLatin1Char(' ')));
    EXPECT_TRUE(rig->Log_Lines().back().endsWith(QStringLiteral("\" Time Out")));
}

TEST(NiGpib, StatusConversion) {
    struct Case {
        int ibsta, iberr;
        Status status;
    } cases[] = {
        {0x0100, 0, StatusOk},
        {0x4100, 0, StatusTimeOut},
        {0x8000, IberrENEB, StatusNoBoard},
        {0x8000, IberrEDVR, StatusError},
        {0xC000, IberrEABO, StatusTimeOut | StatusError},
        {int(int16_t(0x8000)), 2, StatusError}, // sign-extended
    };
    for (const Case& c : cases)
        EXPECT_EQ(NiStatus(c.ibsta, c.iberr), c.status) << c.ibsta << " " << c.iberr;
}

// The board library's configuration usually names its board otherwise, or
// not at all: a "gpibN" it does not know is board N by index.
TEST(NiGpib, BoardByNameOrIndexElseAnErrorAndNoBoardIsNotPresent) {
    struct Case {
        const char* configured; // the board's name in the library's configuration
        const char* asked;
        const char* failWith; // nullptr: none
        int iberr;
        Status status;
        const char* clear; // the interface clear reached, "" none
    } cases[] = {
        {"gpib0", "GPIB0", nullptr, 0, StatusOk, "ibsic 0"},
        {"violet", "GPIB0", nullptr, 0, StatusOk, "ibsic 0"},
        {"violet", "gpib1", nullptr, 0, StatusError, "ibsic 1"}, // no second board
        {"violet", "bench", nullptr, 0, StatusError, ""},
        {"gpib0", "GPIB0", "ibfind", IberrENEB, StatusNoBoard, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.configured) + " " + c.asked);
        auto rig = MakeNiRig();
        NiFake().Function<void(const char*)>("fake_gpib_reset")(c.configured);
        if (c.failWith)
            NiFake().Fail(c.failWith, IbstaERR, c.iberr);
        rig->Bus().Set_Interface_Kind(KindNiGpib);
        EXPECT_EQ(rig->Bus().GP_Init(QStringLiteral("LOG_FILE = ") + rig->Log_Path() +
                                     QStringLiteral(", BOARD_NAME = ") + QLatin1String(c.asked)),
                  c.status);
        EXPECT_EQ(rig->Log_Lines().back(), QStringLiteral("GP_INIT") + LogSuffix(c.status));
        const QString journal = NiFake().Journal();
        if (*c.clear)
            EXPECT_TRUE(journal.contains(QLatin1String(c.clear))) << journal.toStdString();
        else
            EXPECT_FALSE(journal.contains(QStringLiteral("ibsic"))) << journal.toStdString();
    }
}

TEST(NiGpib, AMissingLibraryOrFunctionIsNotPresentAndLogged) {
    {
        auto rig = MakeNiRig(QStringLiteral("libno_such_gpib.so"));
        EXPECT_EQ(rig->Init(), StatusNoBoard);
        EXPECT_EQ(rig->Bus().GP_Send_Str(5, QStringLiteral("X")), StatusNoBoard);
        const QStringList log = rig->Log_Lines();
        ASSERT_FALSE(log.isEmpty());
        EXPECT_TRUE(log[0].startsWith(QStringLiteral("LIBRARY \"")));
        EXPECT_TRUE(log[0].contains(QStringLiteral("libno_such_gpib.so")));
        EXPECT_TRUE(log.contains(QStringLiteral("GP_INIT Board does not exit")));
    }
    {
        auto rig = MakeNiRig(QStringLiteral("libfake_gpib_noibwrt.so"));
        ASSERT_EQ(rig->Init(), StatusOk);
        EXPECT_EQ(rig->Bus().GP_Send_Str(5, QStringLiteral("X")), StatusNoBoard);
        const QStringList log = rig->Log_Lines();
        ASSERT_GE(log.size(), 2);
        EXPECT_TRUE(log[log.size() - 2].contains(QStringLiteral("ibwrt")))
            << log[log.size() - 2].toStdString();
        EXPECT_EQ(log.back(), QStringLiteral("5 <  GP_Send_Str \"X\" Board does not exit"));
        // The functions it has still work.
        EXPECT_EQ(rig->Bus().GP_SDC(5), StatusOk);
    }
}

TEST(NiGpib, BoardAddressSetsOrReadsThePrimaryAddressOfBoardZero) {
    auto rig = MakeNiRig();
    auto& ni = static_cast<NI_GPIB_Mdl&>(rig->Module());
    int16_t address = 21;
    ASSERT_EQ(ni.Board_Address(address), StatusOk);
    address = 0;
    ASSERT_EQ(ni.Board_Address(address), StatusOk);
    EXPECT_EQ(address, 21);
    EXPECT_TRUE(NiFake().Journal().contains(QStringLiteral("ibpad 0 21\nibask 0 1\n")));
}

TEST(NiGpib, BinarySendOf20BytesLogsTheFirst15) {
    auto rig = MakeNiRig();
    ASSERT_EQ(rig->Init(), StatusOk);
    std::vector<uint8_t> bytes(20);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i + 1);
    ASSERT_EQ(
        rig->Bus().GP_Send_Binary_Data(std::span<const uint8_t>(bytes), 5, 20, FormatByte, -1, 0),
        StatusOk);
    EXPECT_EQ(rig->Log_Lines().back(),
              QStringLiteral("5 <  GP_Send_Binary_Data \"1,2,3,4,5,6,7,8,9,10,11,12,13,14,15\""));
    EXPECT_EQ(NiFake().Sent().right(20),
              QByteArray(reinterpret_cast<const char*>(bytes.data()), 20));
}

// ---- KI GPIB -------------------------------------------------------------

TEST(KiGpib, DataCommandFormsWithAndWithoutEoi) {
    struct Case {
        int16_t eoi, mterm;
        const char* command;
    } cases[] = {
        {1, 1, "DATA 'F 1' EOI  10"},
        {1, 3, "DATA 'F 1' EOI  13 10"},
        {1, 0, "DATA 'F ' EOI DATA '1'"},
        {0, 2, "DATA 'F 1'  13"},
        {0, 0, "DATA 'F 1' "},
    };
    for (const Case& c : cases) {
        auto rig = MakeKiRig();
        ASSERT_EQ(rig->Init(), StatusOk);
        ASSERT_EQ(rig->Bus().GP_MTerm(c.mterm), StatusOk);
        ASSERT_EQ(rig->Bus().GP_EOI(c.eoi), StatusOk);
        const int before = LineCount(KiFake());
        ASSERT_EQ(rig->Bus().GP_Send_Str(5, QStringLiteral("F 1")), StatusOk);
        EXPECT_EQ(NewLines(KiFake(), before),
                  (QStringList{"transmit UNT UNL TALK MTA LISTEN 5|-1",
                               QStringLiteral("transmit %1|-1").arg(QLatin1String(c.command))}))
            << c.eoi << " " << c.mterm;
    }
}

TEST(KiGpib, ControlCommandTexts) {
    auto rig = MakeKiRig();
    rig->Bus().Set_Interface_Kind(KindKiGpib);
    ASSERT_EQ(rig->Bus().GP_Init(QStringLiteral("MYADRS = 3")), StatusOk);
    const int before = LineCount(KiFake());
    QString text;
    KiFake().Reply("1");
    ASSERT_EQ(rig->Bus().GP_Receive_Str(7, text), StatusOk);
    ASSERT_EQ(rig->Bus().GP_REN(0), StatusOk);
    ASSERT_EQ(rig->Bus().GP_REN(1), StatusOk);
    ASSERT_EQ(rig->Bus().GP_SDC(7), StatusOk);
    ASSERT_EQ(rig->Bus().GP_LLO(), StatusOk);
    ASSERT_EQ(rig->Bus().GP_IFC(), StatusOk);
    EXPECT_EQ(NewLines(KiFake(), before),
              (QStringList{"transmit UNT UNL LISTEN MLA TALK 7|-1", "receive 256",
                           "transmit UNL LISTEN 3 GTL|-1", "transmit REN|-1",
                           "transmit UNL LISTEN 7 SDC|-1", "transmit LLO|-1", "transmit IFC|-1"}));
}

TEST(KiGpib, TimeOutCodesToMillisecondsAndNames) {
    struct Case {
        int16_t code;
        int32_t ms;
        const char* name;
    } cases[] = {{0, 0, "55ms"},     {1, 55, "55ms"},  {8, 55, "55ms"},    {9, 110, "100ms"},
                 {10, 330, "300ms"}, {11, 1045, "1s"}, {14, 30030, "30s"}, {17, 1000010, "1000s"}};
    auto rig = MakeKiRig();
    ASSERT_EQ(rig->Init(), StatusOk);
    for (const Case& c : cases) {
        const int before = LineCount(KiFake());
        ASSERT_EQ(rig->Bus().GP_Time_Out(c.code), StatusOk);
        EXPECT_EQ(NewLines(KiFake(), before),
                  QStringList{QStringLiteral("settimeout %1").arg(c.ms)});
        EXPECT_EQ(rig->Log_Lines().back(),
                  QStringLiteral("ALL < GP_Time_Out\"%1\"").arg(QLatin1String(c.name)));
    }
}

TEST(KiGpib, StatusConversion) {
    const std::pair<int, Status> cases[] = {
        {0, StatusOk},       {0x08, StatusTimeOut}, {0x01, StatusError}, {0x02, StatusError},
        {0x10, StatusError}, {0x18, StatusError},   {0x20, StatusOk}};
    for (const auto& [lib, status] : cases)
        EXPECT_EQ(KiStatus(lib), status) << lib;
}

TEST(KiGpib, BinaryDataGoInBlocksWithEoiOnTheLast) {
    auto rig = MakeKiRig();
    ASSERT_EQ(rig->Init(), StatusOk);
    std::vector<int16_t> words(70000, 0x0102);
    const int before = LineCount(KiFake());
    ASSERT_EQ(rig->Bus().GP_Send_Binary_Data(std::span<const int16_t>(words), 5, 70000,
                                             FormatInteger, 0, 0),
              StatusOk);
    const QStringList lines = NewLines(KiFake(), before);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("tarray 65536 0 02 01")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("tarray 65536 0 ")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("tarray 8928 1 ")));
}

TEST(KiGpib, NoBoardIsNotPresentAndTheLibraryIsNotInitialised) {
    auto rig = MakeKiRig(false);
    EXPECT_EQ(rig->Init(), StatusNoBoard);
    EXPECT_FALSE(KiFake().Journal().contains(QStringLiteral("initialize")));
}

// ---- USB488 --------------------------------------------------------------

TEST(Usb488, AnotherIdentifierClosesTheOpenDeviceFirst) {
    auto rig = MakeUsb488Rig();
    ASSERT_EQ(rig->Init(), StatusOk);
    int before = LineCount(UsbFake());
    ASSERT_EQ(rig->Bus().GP_Send_Str(3, QStringLiteral("A")), StatusOk);
    ASSERT_EQ(rig->Bus().GP_Send_Str(4, QStringLiteral("B")), StatusOk);
    ASSERT_EQ(rig->Bus().GP_Send_Str(4, QStringLiteral("C")), StatusOk);
    const QStringList lines = NewLines(UsbFake(), before);
    const QStringList expected = {"OpenDevice 3",       "SetIFC 103",         "EnableRemote 103",
                                  "SetTimeout 103 300", "SendTextData 103 A", "CLS 103",
                                  "DevClear 103 7",     "CloseDevice 103",    "OpenDevice 4",
                                  "SetIFC 104",         "EnableRemote 104",   "SetTimeout 104 300",
                                  "SendTextData 104 B", "SendTextData 104 C"};
    EXPECT_EQ(lines, expected);
}

TEST(Usb488, RemoteOnlyForMinusOneAndClearGoesToTheOpenDevice) {
    auto rig = MakeUsb488Rig();
    ASSERT_EQ(rig->Init(), StatusOk);
    ASSERT_EQ(rig->Bus().GP_Send_Str(3, QStringLiteral("A")), StatusOk);
    const int before = LineCount(UsbFake());
    ASSERT_EQ(rig->Bus().GP_REN(1), StatusOk);
    ASSERT_EQ(rig->Bus().GP_REN(-1), StatusOk);
    ASSERT_EQ(rig->Bus().GP_SDC(9), StatusOk);
    EXPECT_EQ(NewLines(UsbFake(), before),
              (QStringList{"EnableLocal 103", "EnableRemote 103", "DevClear 103 7"}));
    EXPECT_EQ(rig->Log_Lines().back(), QStringLiteral("9 < GP_SDC"));
}

TEST(Usb488, AnAbsentDeviceIsNotPresent) {
    auto rig = MakeUsb488Rig();
    ASSERT_EQ(rig->Init(), StatusOk);
    EXPECT_EQ(rig->Bus().GP_Send_Str(8, QStringLiteral("A")), StatusNoBoard);
    EXPECT_FALSE(UsbFake().Journal().contains(QStringLiteral("SendTextData")));
}

TEST(Usb488, StatusConversionAndTimeOutMilliseconds) {
    struct Case {
        int status, error;
        Status result;
    } cases[] = {{0, 0, StatusOk},
                 {0x4000, 0, StatusTimeOut},
                 {0xC000, 5, StatusTimeOut},
                 {0x8000, 0, StatusNoBoard},
                 {0x8000, 3, StatusError}};
    for (const Case& c : cases)
        EXPECT_EQ(Usb488Status(c.status, c.error), c.result) << c.status << " " << c.error;
    const std::pair<int, int32_t> ms[] = {{0, 1},     {5, 1},        {6, 3},  {10, 300},
                                          {11, 1000}, {17, 1000000}, {18, 0}, {-1, 0}};
    for (const auto& [code, value] : ms)
        EXPECT_EQ(TimeOutMilliseconds(code), value) << code;
}

TEST(Usb488, BinaryWordsGoOutExchangedUnlessSwapIsMinusOne) {
    auto rig = MakeUsb488Rig();
    ASSERT_EQ(rig->Init(), StatusOk);
    const uint8_t bytes[] = {1, 2, 3, 4, 5};
    ASSERT_EQ(
        rig->Bus().GP_Send_Binary_Data(std::span<const uint8_t>(bytes), 3, 5, FormatByte, -1, 0),
        StatusOk);
    EXPECT_TRUE(
        UsbFake().Journal().contains(QStringLiteral("SendBinary 103 3 2 02 01 04 03 05 00\n")))
        << UsbFake().Journal().toStdString();
}

} // namespace
} // namespace velda::test
