// The shared rules of the bus layer: initialisation keys, dispatch, status
// texts, data packing, the trace log's data list, the replies-file reader
// and the simulated bus.

#include "BusRigs.h"
#include "TestSupport.h"
#include "app/Program.h"
#include "bus/BinaryPacking.h"
#include "bus/BusModule.h"
#include "bus/Debug_Mdl.h"
#include "bus/IniProfile.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <thread>

namespace velda::test {
namespace {

using namespace bus;

TEST(InitParams, KeysAreFoundAnywhereWithoutRegardToCase) {
    const InitParams p(QStringLiteral(
        "myadrs = 12, log_file = /tmp/Trace.log, view_err_dialog = 1,BOARD_NAME=gpib1 ,USB488ID"));
    EXPECT_EQ(p.Number(QStringLiteral("MYADRS"), 0), 12);
    EXPECT_EQ(p.Text(QStringLiteral("LOG_FILE")), QStringLiteral("/tmp/Trace.log")); // case kept
    EXPECT_TRUE(p.Has(QStringLiteral("VIEW_ERR_DIALOG")));
    EXPECT_EQ(p.Text(QStringLiteral("BOARD_NAME")), QStringLiteral("gpib1"));
    EXPECT_EQ(p.Value(QStringLiteral("USB488ID")), QString()); // item without "="
    EXPECT_FALSE(p.Value(QStringLiteral("INI_FILE")).has_value());
    EXPECT_EQ(p.Number(QStringLiteral("INI_FILE"), 7), 7);
    // The simulated bus's key is written without a blank before "=".
    EXPECT_FALSE(p.Has(QStringLiteral("MYADRS=")));
    EXPECT_EQ(InitParams(QStringLiteral("MYADRS=9")).Number(QStringLiteral("MYADRS="), 0), 9);
    // The value is the text after the first "=" of the item.
    EXPECT_EQ(InitParams(QStringLiteral("INI_FILE = a=b.ini, X")).Text(QStringLiteral("INI_FILE")),
              QStringLiteral("a=b.ini"));
    // The interface front's status text.
    const InitParams front(QStringLiteral("MYADRS = 0, BOARD_NAME = GPIB0, USB488ID = 5"));
    EXPECT_EQ(front.Number(QStringLiteral("USB488ID"), -1), 5);
    EXPECT_EQ(front.Text(QStringLiteral("BOARD_NAME")), QStringLiteral("GPIB0"));
}

// A name the program puts into the text must come back whole, or it is not
// put there at all: the back end would open (and empty) another file.
TEST(InitParams, ItemsCarryOnlyValuesThatComeBackWhole) {
    struct Row {
        const char* value;
        bool carried;
    } rows[] = {
        {"/tmp/run 1/trace.log", true},      {"/x/a=b.ini", true},
        {"/tmp/notes,trace.log", false},     {"/tmp/mini_file.log", false}, // INI_FILE inside
        {"/tmp/view_err_dialog.log", false}, {" /tmp/a.log", false},
    };
    for (const Row& r : rows) {
        const QString value = QString::fromUtf8(r.value);
        const auto item = InitParams::Item(QStringLiteral("LOG_FILE"), value);
        EXPECT_EQ(item.has_value(), r.carried) << r.value;
        if (item) {
            const InitParams p(*item + QStringLiteral(", RESPONSE_DIALOG"));
            EXPECT_EQ(p.Text(QStringLiteral("LOG_FILE")), value);
            EXPECT_FALSE(p.Has(QStringLiteral("INI_FILE")));
        }
    }
}

TEST(StatusTexts, DialogTestsErrorFirstLogTestsBitOrder) {
    struct Case {
        Status status;
        const char* dialog;
        const char* suffix;
    } cases[] = {
        {0, "", ""},
        {1, "Time Out", " Time Out"},
        {2, "Error", " Error"},
        {3, "Error", " Time Out"},
        {4, "Board is Northing", " Board does not exit"},
        {6, "Error", " Error"},
        {8, "Buffer Over", " Buffer over"},
        {12, "Board is Northing", " Board does not exit"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DialogErrorText(c.status), QString::fromLatin1(c.dialog)) << c.status;
        EXPECT_EQ(LogSuffix(c.status), QString::fromLatin1(c.suffix)) << c.status;
    }
    EXPECT_EQ(TimeOutName(0), QStringLiteral("NONE"));
    EXPECT_EQ(TimeOutName(17), QStringLiteral("1000s"));
    EXPECT_EQ(TimeOutName(18), QString());
}

TEST(Packing, FormatsAndSwap) {
    const uint8_t bytes[] = {0x01, 0x02, 0x03, 0x04, 0x05};
    const int16_t words[] = {0x0102, int16_t(0xFF80)};
    const int32_t longs[] = {0x01020304, -2};
    const BusArray b = std::span<const uint8_t>(bytes);
    const BusArray w = std::span<const int16_t>(words);
    const BusArray l = std::span<const int32_t>(longs);
    struct Case {
        const BusArray* data;
        int32_t count;
        int16_t format, swap;
        SwapRule rule;
        QByteArray bytes;
    } cases[] = {
        {&b, 4, 0, 0, SwapRule::WhenNonZero, QByteArray("\x02\x01\x04\x03", 4)},
        {&b, 4, 0, 1, SwapRule::WhenNonZero, QByteArray("\x01\x02\x03\x04", 4)},
        {&b, 4, 0, 0, SwapRule::UnlessMinusOne, QByteArray("\x01\x02\x03\x04", 4)},
        {&b, 4, 0, -1, SwapRule::UnlessMinusOne, QByteArray("\x02\x01\x04\x03", 4)},
        {&b, 5, 0, 0, SwapRule::WhenNonZero, QByteArray("\x02\x01\x04\x03\x05", 5)},
        {&b, 0, 0, 0, SwapRule::WhenNonZero, QByteArray()},
        {&w, 2, 1, 0, SwapRule::WhenNonZero, QByteArray("\x02\x01\x80\xFF", 4)},
        {&w, 2, 1, -1, SwapRule::WhenNonZero, QByteArray("\x01\x02\xFF\x80", 4)},
        {&w, 1, 1, 0, SwapRule::UnlessMinusOne, QByteArray("\x01\x02", 2)},
        {&l, 2, 2, 0, SwapRule::WhenNonZero, QByteArray("\x04\x03\x02\x01\xFE\xFF\xFF\xFF", 8)},
        {&l, 1, 2, 1, SwapRule::WhenNonZero, QByteArray("\x01\x02\x03\x04", 4)},
        // The format-2 rule is the same for every back end.
        {&l, 1, 2, 0, SwapRule::UnlessMinusOne, QByteArray("\x04\x03\x02\x01", 4)},
    };
    for (const Case& c : cases) {
        const PackedData p = Pack_Binary(*c.data, c.count, c.format, c.swap, c.rule);
        EXPECT_EQ(p.status, StatusOk);
        EXPECT_EQ(
            QByteArray(reinterpret_cast<const char*>(p.bytes.data()), qsizetype(p.bytes.size())),
            c.bytes)
            << c.format << " " << c.swap << " " << c.count;
    }
    // Counts beyond the data, negative counts and the wrong element type are refused.
    EXPECT_EQ(Pack_Binary(b, 6, 0, 0).status, StatusError);
    EXPECT_EQ(Pack_Binary(b, -1, 0, 0).status, StatusError);
    EXPECT_EQ(Pack_Binary(w, 1, 0, 0).status, StatusError);
    EXPECT_EQ(Pack_Binary(l, 1, 3, 0).status, StatusError);
}

// Long blocks go through a 16-bytes-at-a-time path: every length, whole lanes,
// their tails and an odd last byte, keeps the pair rule, and an append
// leaves what the buffer held before it alone.
TEST(Packing, PairsExchangedAtEveryLengthAndAppendKeepsPrefix) {
    std::vector<uint8_t> in(41);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = uint8_t(0xA0 + i);
    const BusArray data = std::span<const uint8_t>(in);
    for (int32_t n = 0; n <= int32_t(in.size()); ++n) {
        std::vector<uint8_t> out = {'#', '2'};
        ASSERT_EQ(Pack_Binary_Append(out, data, n, 0, 0), StatusOk);
        ASSERT_EQ(out.size(), size_t(n) + 2) << n;
        EXPECT_EQ(out[0], '#');
        EXPECT_EQ(out[1], '2');
        for (int32_t i = 0; i < n; ++i) {
            const int32_t from = (i % 2 == 0) ? (i + 1 < n ? i + 1 : i) : i - 1;
            EXPECT_EQ(out[size_t(i) + 2], in[size_t(from)]) << "length " << n << " byte " << i;
        }
    }
    std::vector<uint8_t> kept = {'x'};
    EXPECT_EQ(Pack_Binary_Append(kept, data, 42, 0, 0), StatusError);
    EXPECT_EQ(kept, std::vector<uint8_t>{'x'});
}

// The rest of a reply longer than the buffer is read away until it ends; one
// that does not end by the pieces' or the time's limit fails the reply.
TEST(ReplyRest, ReadAwayUntilItEndsWithinItsLimits) {
    using bus::ReplyRest;
    struct Row {
        const char* name;
        int endsAfter;  // pieces until the end (-1: never)
        bool failsLast; // the last piece's read fails instead
        int32_t timeOutMs;
        int pieceMs; // how long each piece takes
        bool ended;
        int pieces;
    };
    const Row rows[] = {
        {"ends in the first piece", 1, false, 0, 0, true, 1},
        {"ends in the third", 3, false, 1000, 0, true, 3},
        {"a failed read", 2, true, 1000, 0, false, 2},
        {"never ends: the pieces' limit", -1, false, 0, 0, false, bus::MaxDroppedPieces},
        {"never ends: the time-out", -1, false, 1, 2, false, 1},
    };
    for (const Row& r : rows) {
        int pieces = 0;
        const bool ended = bus::Drop_Reply_Rest(r.timeOutMs, [&] {
            ++pieces;
            if (r.pieceMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(r.pieceMs));
            if (pieces == r.endsAfter)
                return r.failsLast ? ReplyRest::Failed : ReplyRest::Ended;
            return ReplyRest::GoesOn;
        });
        EXPECT_EQ(ended, r.ended) << r.name;
        EXPECT_EQ(pieces, r.pieces) << r.name;
    }
}

TEST(TraceLog, DataListShowsAllUnderSixteenElseFifteen) {
    std::vector<int16_t> v(16);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = int16_t(int(i) - 3);
    EXPECT_EQ(TraceLog::DataList(std::span<const int16_t>(v.data(), 15)),
              QStringLiteral("-3,-2,-1,0,1,2,3,4,5,6,7,8,9,10,11"));
    EXPECT_EQ(TraceLog::DataList(std::span<const int16_t>(v)),
              QStringLiteral("-3,-2,-1,0,1,2,3,4,5,6,7,8,9,10,11"));
    const uint8_t three[] = {255, 0, 7};
    EXPECT_EQ(TraceLog::DataList(std::span<const uint8_t>(three)), QStringLiteral("255,0,7"));
}

TEST(GpCommon, AnUnknownKindOrOneWithoutABackEndReturnsError) {
    auto rig = MakeDebugRig();
    for (int16_t kind : {int16_t(-1), int16_t(5)}) {
        rig->Bus().Set_Interface_Kind(kind);
        QString text = QStringLiteral("kept");
        EXPECT_EQ(rig->Bus().GP_Init(QString()), StatusError) << kind;
        EXPECT_EQ(rig->Bus().GP_Receive_Str(1, text), StatusError);
        EXPECT_EQ(text, QStringLiteral("kept"));
        EXPECT_EQ(rig->Bus().GP_REN(-1), StatusError);
    }
}

TEST(GpCommon, AFactorySlotAddsABackEndWithoutTouchingTheDispatch) {
    auto rig = MakeDebugRig();
    rig->Bus().Set_Factory(KindUsbTmc, FactoryOf<Debug_Mdl>());
    rig->Bus().Set_Interface_Kind(KindUsbTmc);
    EXPECT_EQ(rig->Bus().GP_Init(QString()), StatusOk);
    EXPECT_NE(dynamic_cast<Debug_Mdl*>(rig->Bus().Module(KindUsbTmc)), nullptr);
}

TEST(GpCommon, LibraryNamesComeFromTheSettingsStore) {
    QTemporaryDir dir;
    ProgramOptions options;
    options.iniPath = dir.filePath(QStringLiteral("VELDA.ini"));
    Program program(options);
    EXPECT_EQ(program.Bus->Context().libraryNames(LibraryKeyNiGpib),
              (QStringList{"libgpib.so.0", "libni4882.so", "libgpibapi.so"}));
    program.Create_Registry();
    program.Registry->setSetting(LibrarySection, LibraryKeyKiGpib,
                                 QStringLiteral("/opt/a.so; b.so"));
    EXPECT_EQ(program.Bus->Context().libraryNames(LibraryKeyKiGpib),
              (QStringList{"/opt/a.so", "b.so"}));
    EXPECT_EQ(program.Bus->Context().libraryNames(LibraryKeyUsb488), QStringList{"libusb488ps.so"});
}

TEST(IniProfile, LookupsIgnoreCaseAndTakeTheFirstMatch) {
    const IniProfile p(QByteArray("; replies\r\n[adrs5]\r\n:volt? = 2.5\r\n*IDN?=\"A,B\"\r\n"
                                  "[ADRS5]\r\n:VOLT?=9\r\n[ADRS6]\r\nx\r\n:FREQ?=1e3\r\n"
                                  "stray=1\r\n[broken\r\n"));
    struct Case {
        const char* section;
        const char* key;
        std::optional<QString> value;
    } cases[] = {
        {"ADRS5", ":VOLT?", QStringLiteral("2.5")}, {"Adrs5", "*idn?", QStringLiteral("A,B")},
        {"ADRS6", ":FREQ?", QStringLiteral("1e3")}, {"ADRS6", "x", std::nullopt},
        {"ADRS7", ":VOLT?", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(p.Value(QString::fromLatin1(c.section), QString::fromLatin1(c.key)), c.value)
            << c.section << " " << c.key;
    // Lines ended by a lone CR are lines too.
    EXPECT_EQ(
        IniProfile(QByteArray("[A]\rk=1\rm=2\r")).Value(QStringLiteral("A"), QStringLiteral("m")),
        QStringLiteral("2"));
    // A replies file without end is read no further than a bound.
    EXPECT_EQ(IniProfile::Load(QStringLiteral("/dev/zero"))
                  .Value(QStringLiteral("A"), QStringLiteral("k")),
              std::nullopt);
    QString out;
    const IniProfile longValue(QByteArray("[A]\nk=") + QByteArray(120, 'x'));
    EXPECT_EQ(longValue.Get_String(QStringLiteral("A"), QStringLiteral("k"), {}, out, 100), 99);
    EXPECT_EQ(out.size(), 99);
    EXPECT_EQ(p.Get_String(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("d"), out, 100),
              1);
    EXPECT_EQ(out, QStringLiteral("d"));
}

// ---- the simulated bus ----------------------------------------------------

class DebugBus : public ::testing::Test {
protected:
    void Write_Replies(const QByteArray& text) {
        QFile f(QDir(rig->Dir()).filePath(QStringLiteral("replies.ini")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    std::unique_ptr<BusRig> rig = MakeDebugRig();
    RecordingPrompts prompts;
};

TEST_F(DebugBus, TheLastQueryIsAnsweredFromTheRepliesFile) {
    Write_Replies("[ADRS5]\n:VOLT?=2.5\n*IDN?=X\n");
    ASSERT_EQ(rig->Init(), StatusOk);
    QString text;
    rig->Bus().GP_Send_Str(5, QStringLiteral(":FREQ 1000;:VOLT?"));
    rig->Bus().GP_Receive_Str(-1, text);
    EXPECT_EQ(text, QStringLiteral("2.5"));
    rig->Bus().GP_Send_Str(5, QStringLiteral(" *IDN? ; :VOLT? "));
    EXPECT_EQ(static_cast<Debug_Mdl&>(rig->Module()).LastQueries(), QStringLiteral("*IDN?,:VOLT?"));
    rig->Bus().GP_Receive_Str(5, text);
    EXPECT_EQ(text, QStringLiteral("2.5"));
    EXPECT_EQ(rig->Log_Lines().back(), QStringLiteral("5 >  GP_Receive_Str \"2.5\""));
    EXPECT_TRUE(prompts.inputPrompts.empty());
    // The reply is used once.
    rig->Bus().GP_Receive_Str(5, text);
    EXPECT_EQ(text, QString());
}

TEST_F(DebugBus, TheInputBoxAsksForMissingAndOverlongReplies) {
    Write_Replies("[ADRS5]\n:LONG?=" + QByteArray(99, 'y') + "\n:FIT?=" + QByteArray(98, 'z') +
                  "\n");
    struct Case {
        bool dialog;
        const char* sent;
        std::optional<QString> typed;
        QString reply;
        bool asked;
    } cases[] = {
        {false, ":LONG?", std::nullopt, QStringLiteral("Buffer Over"), false},
        {false, ":FIT?", std::nullopt, QString(98, QLatin1Char('z')), false},
        {false, ":NONE?", std::nullopt, QString(), false},
        {true, ":LONG?", QStringLiteral("typed"), QStringLiteral("typed"), true},
        {true, "*IDN?;:NONE?", std::nullopt, QString(), true},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(rig->Init(c.dialog ? QStringLiteral("RESPONSE_DIALOG") : QString()), StatusOk);
        prompts.clear();
        prompts.texts = {c.typed};
        QString text;
        rig->Bus().GP_Send_Str(5, QString::fromLatin1(c.sent));
        rig->Bus().GP_Receive_Str(5, text);
        EXPECT_EQ(text, c.reply) << c.sent;
        ASSERT_EQ(prompts.inputPrompts.size(), c.asked ? 1u : 0u) << c.sent;
        if (c.asked) {
            EXPECT_EQ(prompts.inputPrompts[0],
                      QString::fromLatin1(c.sent).replace(QLatin1Char(';'), QLatin1Char(',')) +
                          QStringLiteral("の応答メッセージを入力してください"));
        }
    }
}

TEST_F(DebugBus, WithoutRepliesFileOrDialogEveryReplyIsEmpty) {
    rig->Bus().Set_Interface_Kind(KindDebug);
    ASSERT_EQ(rig->Bus().GP_Init(QStringLiteral("LOG_FILE = ") + rig->Log_Path()), StatusOk);
    QString text = QStringLiteral("x");
    rig->Bus().GP_Send_Str(5, QStringLiteral("*IDN?"));
    EXPECT_EQ(rig->Bus().GP_Receive_Str(5, text), StatusOk);
    EXPECT_EQ(text, QString());
}

TEST_F(DebugBus, AnAbsoluteRepliesPathIsTakenAsItIs) {
    QTemporaryDir other;
    const QString path = other.filePath(QStringLiteral("Replies.INI"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[ADRS2]\n:X?=abs\n");
    f.close();
    rig->Bus().Set_Interface_Kind(KindDebug);
    ASSERT_EQ(rig->Bus().GP_Init(QStringLiteral("INI_FILE = ") + path), StatusOk);
    QString text;
    rig->Bus().GP_Send_Str(2, QStringLiteral(":X?"));
    rig->Bus().GP_Receive_Str(2, text);
    EXPECT_EQ(text, QStringLiteral("abs"));
}

TEST_F(DebugBus, InitLogsItsDefaultsAndEveryOperationSucceeds) {
    ASSERT_EQ(rig->Init(QStringLiteral("VIEW_ERR_DIALOG")), StatusOk);
    EXPECT_EQ(rig->Log_Lines(), (QStringList{"ALL < GP_REN", "ALL < GP_MTerm\"LF\"", "ALL < GP_EOI",
                                             "ALL < GP_Time_Out\"300ms\"", "GP_INIT"}));
    EXPECT_EQ(rig->Bus().GP_LLO(), StatusOk);
    EXPECT_EQ(rig->Bus().GP_Time_Out(99), StatusOk);
    EXPECT_EQ(rig->Log_Lines().back(), QStringLiteral("ALL < GP_Time_Out\"\""));
    EXPECT_TRUE(prompts.boxes.empty());
}

} // namespace
} // namespace velda::test
