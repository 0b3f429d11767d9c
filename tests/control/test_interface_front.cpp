// The interface front and its bus sequences, driven through the real common
// bus interface: the NI back end on the fake board library (a real shared
// object loaded with dlopen), and the simulated back end.
#include "control/GPIBLib.h"
#include "control/GpibIO.h"
#include "control/TransferProgress.h"

#include "FakeLibrary.h"
#include "RecordingProgress.h"
#include "TestSupport.h"
#include "app/Messages.h"
#include "app/Registry.h"
#include "bus/GP_common.h"
#include "bus/NI_GPIB_Mdl.h"
#include "bus/WaitTurn.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace velda::control {
namespace {

using bus::Status;

constexpr int ERR = 0x8000;
constexpr int TIMO = 0x4000;
constexpr int ENEB = 7;
constexpr int EDVR = 0;

// Control functions of the fake board library.
class FakeBoard : public test::FakeLibrary {
public:
    static FakeBoard& Get() {
        static FakeBoard board;
        return board;
    }
    static QString Path() { return test::FakeLibraryPath(QStringLiteral("libfake_gpib.so")); }
    void Reset() { Function<void(const char*)>("fake_gpib_reset")("GPIB0"); }
    void FailLater(const char* function, int skip, int status, int error) {
        Function<void(const char*, int, int, int)>("fake_gpib_fail_later")(function, skip, status,
                                                                           error);
    }
    void SetPad(int pad) { Function<int(int, int)>("ibpad")(0, pad); }

private:
    FakeBoard() : FakeLibrary(QStringLiteral("libfake_gpib.so")) {}
};

// The fake USB488 library, for the kind that asks the board's address too.
QString UsbLibraryPath() {
    return test::FakeLibraryPath(QStringLiteral("libfake_usb488ps.so"));
}
void ResetUsbDevices() {
    static const test::FakeLibrary usb(QStringLiteral("libfake_usb488ps.so"));
    usb.Function<void(const char*)>("fake_usb_reset")("3,4,5");
}

// A program's worth of front: settings store, bus, GPIBLib and GpibIO.
struct Front {
    explicit Front(int16_t kind = bus::KindNiGpib) {
        FakeBoard::Get().Reset();
        ResetUsbDevices();
        registry = std::make_unique<clsRegistry>(dir.filePath(QStringLiteral("velda.ini")));
        bus::BusContext context;
        context.libraryNames = [](const QString& key) {
            return QStringList{key == bus::LibraryKeyUsb488 ? UsbLibraryPath() : FakeBoard::Path()};
        };
        context.programDir = dir.path();
        context.endProgram = [] {};
        gp = std::make_unique<bus::GP_common>(std::move(context));
        gp->Set_Interface_Kind(kind);
        lib = std::make_unique<GPIBLib>(
            *gp, GPIBLib::Settings{[this] { return address; },
                                   [this] { return GPIBLib::BusInit_Setting(registry.get()); }});
        io = std::make_unique<GpibIO>(
            *lib, GpibIO::Settings{
                      [this] { return registry.get(); }, [this] { return address; }, {}, {}});
    }
    int Count(const QString& call) { return int(FakeBoard::Get().Journal().count(call)); }

    QTemporaryDir dir;
    test::RecordingPrompts prompts;
    std::unique_ptr<clsRegistry> registry;
    std::unique_ptr<bus::GP_common> gp;
    std::unique_ptr<GPIBLib> lib;
    std::unique_ptr<GpibIO> io;
    int16_t address = 5;
};

QStringList Boxes(const test::RecordingPrompts& p) {
    QStringList out;
    for (const BoxRequest& b : p.boxes)
        out.append(b.title + QLatin1Char('|') + promptLines(b.text));
    return out;
}

QString ErrorBox(int message) {
    return QStringLiteral("Error Message|") + MessageText(message, true);
}

TEST(InterfaceFront, TimeOutCodes) {
    struct Case {
        double seconds;
        int code;
        double chosen;
    };
    const std::vector<Case> cases = {
        {1, 11, 1},         {3, 12, 3},       {10, 13, 10},
        {30, 14, 30},       {0.5, 10, 0.3},   {100, 15, 100},
        {1000, 17, 1000},   {1e6, 17, 1000},  {0.00001, 1, 0.00001},
        {1e-9, 1, 0.00001}, {0.1, 9, 0.1},    {2, 12, 3},
        {0, 1, 0.00001},    {-4, 1, 0.00001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.seconds);
        Front f;
        EXPECT_EQ(GPIBLib::TimeOut_Code(c.seconds), c.code);
        // Through the bus: the back end holds the code and the front gives
        // back the table's seconds.
        EXPECT_DOUBLE_EQ(f.lib->Tmo(c.seconds), c.chosen);
        EXPECT_EQ(f.gp->Module(bus::KindNiGpib)->State().TimeOutCode, c.code);
        EXPECT_TRUE(f.prompts.boxes.empty());
    }
    EXPECT_EQ(GPIBLib::TimeOut_Seconds(0), 0);
    EXPECT_EQ(GPIBLib::TimeOut_Seconds(18), 0);
    EXPECT_EQ(GPIBLib::TimeOut_Seconds(-1), 0);
}

TEST(InterfaceFront, StatusTextsAndMessages) {
    struct Case {
        Status status;
        const char* text;
        int message;
    };
    const std::vector<Case> cases = {
        {0, "", 0},
        {1, "I/O operation aborted(timeout)", 206},
        {2, "Interface error", 200},
        {4, "Nonexistent interface board", 207},
        {8, "", 225},
        {3, "I/O operation aborted(timeout)", 206},
        {6, "Interface error", 207},
        {10, "Interface error", 200},
        {12, "Nonexistent interface board", 207},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        EXPECT_EQ(GPIBLib::Status_Text(c.status), c.text);
        EXPECT_EQ(GpibIO::Status_Message(c.status), c.message);
    }
}

TEST(InterfaceFront, OperationDescriptions) {
    EXPECT_EQ(GPIBLib::Operation_Description(QStringLiteral("Gets")),
              "Module IntfcLib : Function Gets");
    EXPECT_EQ(GPIBLib::Operation_Description(QStringLiteral("Puts"), int16_t(7)),
              "Address 7\nModule IntfcLib : Function Puts");
}

TEST(InterfaceFront, SetupRunsOnceByItself) {
    Front f;
    EXPECT_FALSE(f.lib->SetupDone());
    EXPECT_EQ(f.lib->Puts(5, QStringLiteral("*RST")), bus::StatusOk);
    EXPECT_TRUE(f.lib->SetupDone());
    EXPECT_TRUE(f.lib->ShowErrors());
    EXPECT_EQ(f.Count(QStringLiteral("ibfind")), 1);
    EXPECT_EQ(f.lib->Puts(5, QStringLiteral("*CLS")), bus::StatusOk);
    f.lib->IFC();
    EXPECT_EQ(f.Count(QStringLiteral("ibfind")), 1);
    // Setup ends with a one-second time-out (code 11).
    EXPECT_TRUE(FakeBoard::Get().Journal().contains(QStringLiteral("ibtmo 0 11")));
    EXPECT_EQ(f.lib->SendTerminator(), "\n");
    EXPECT_EQ(f.lib->ReceiveTerminator(), "\n");
}

TEST(InterfaceFront, InitTextCarriesAddressAndUserItems) {
    EXPECT_EQ(GPIBLib::Init_Text(12, {}), "MYADRS = 0, BOARD_NAME = GPIB0, USB488ID = 12");
    EXPECT_EQ(GPIBLib::Init_Text(3, QStringLiteral(" LOG_FILE = x.log ")),
              "MYADRS = 0, BOARD_NAME = GPIB0, USB488ID = 3, LOG_FILE = x.log");
    // A log file named in the settings traces every operation of the real bus.
    Front f;
    const QString log = f.dir.filePath(QStringLiteral("bus.log"));
    EXPECT_EQ(GPIBLib::BusInit_Setting(f.registry.get()), "");
    f.registry->setSetting(QStringLiteral("System"), QStringLiteral("BusInit"),
                           QStringLiteral("LOG_FILE = ") + log);
    f.lib->Puts(5, QStringLiteral("*IDN?"));
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("*IDN?"));
}

TEST(InterfaceFront, GetsCutsAndStrips) {
    Front f;
    FakeBoard::Get().Reply(QByteArray("\x01  +1.5E3  \r\n"));
    EXPECT_EQ(f.lib->Gets(5), "+1.5E3");
    EXPECT_EQ(f.lib->LastStatus(), bus::StatusOk);
    EXPECT_EQ(f.lib->LastErrorText(), "");
}

TEST(InterfaceFront, FailedGetsIsEmptyAndNamed) {
    Front f;
    f.lib->Setup();
    FakeBoard::Get().Reply("stale\n", ERR | TIMO, 6); // what the board read is not kept
    EXPECT_EQ(f.lib->Gets(5), "");
    EXPECT_EQ(f.lib->LastStatus(), Status(bus::StatusTimeOut | bus::StatusError));
    EXPECT_EQ(f.lib->LastErrorText(), "I/O operation aborted(timeout)");
    EXPECT_EQ(Boxes(f.prompts), QStringList{"Interface Error|Module IntfcLib : Function Gets\n"
                                            "I/O operation aborted(timeout)"});
    // A success clears the text again; with boxes off, a failure is quiet.
    f.lib->IFC();
    EXPECT_EQ(f.lib->LastErrorText(), "");
    f.lib->GpErrMsgOn(false);
    FakeBoard::Get().FailLater("ibcmd", 0, ERR, ENEB);
    EXPECT_EQ(f.lib->Puts(5, QStringLiteral("X")), bus::StatusNoBoard);
    EXPECT_EQ(f.lib->LastErrorText(), "Nonexistent interface board");
    EXPECT_EQ(f.prompts.boxes.size(), 1u);
}

TEST(InterfaceFront, SendTerminators) {
    struct Case {
        QString text;
        Status status;
        int termCode; // the back end's code afterwards
    };
    const std::vector<Case> cases = {
        {"", bus::StatusOk, 0},     {"\n", bus::StatusOk, 1},        {"\r", bus::StatusOk, 2},
        {"\r\n", bus::StatusOk, 3}, {"\n\r", bus::StatusNoBoard, 1}, {";", bus::StatusNoBoard, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Front f;
        f.lib->Setup(); // the back end's own set-up leaves code 1
        const int before = f.Count(QStringLiteral("ibeos"));
        EXPECT_EQ(f.lib->GpEos(c.text), c.status);
        EXPECT_EQ(f.lib->LastStatus(), c.status);
        EXPECT_EQ(f.gp->Module(bus::KindNiGpib)->State().TermCode, c.termCode);
        EXPECT_EQ(f.Count(QStringLiteral("ibeos")), before + (c.status ? 0 : 1));
    }
}

TEST(InterfaceFront, TerminatorNeedsSetupFirst) {
    Front f;
    f.lib->GpEos(QStringLiteral("\n"));
    EXPECT_FALSE(f.lib->SetupDone());
    EXPECT_EQ(f.Count(QStringLiteral("ibfind")), 0);
}

TEST(InterfaceFront, DataSendsCountPlusOneBytes) {
    Front f;
    const uint8_t bytes[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(f.lib->Data(-1, bytes, 3), bus::StatusOk);
    // Byte pairs go out exchanged on this board (format 0).
    EXPECT_EQ(FakeBoard::Get().Sent().right(4), QByteArray("\x02\x01\x04\x03", 4));
    // A count past the caller's bytes never reads beyond them.
    EXPECT_EQ(f.lib->Data(-1, bytes, 40), bus::StatusOk);
    EXPECT_EQ(FakeBoard::Get().Sent().size(), 4 + 6);
}

struct OpenCase {
    const char* step;
    const char* function;
    int skip; // calls of the function that pass before it fails
    int status;
    int error;
    QStringList boxes;
    const char* lastCall; // the journal's last line starts with it
};

TEST(InterfaceFront, OpenBusStopsAtTheFailingStep) {
    const QString ifc = QStringLiteral("Interface Error|Module IntfcLib : Function ");
    const std::vector<OpenCase> cases = {
        {"none", "", 0, 0, 0, {}, "ibeos 0 140A"},
        {"Setup",
         "ibsic",
         0,
         ERR,
         EDVR,
         {ifc + "Setup\nInterface error", ErrorBox(200)},
         "ibtmo 0 10"},
        {"Tmo",
         "ibtmo",
         2,
         TIMO,
         0,
         {ifc + "Tmo\nI/O operation aborted(timeout)", ErrorBox(206)},
         "ibtmo 0 11"},
        {"IFC",
         "ibsic",
         1,
         ERR,
         ENEB,
         {ifc + "IFC\nNonexistent interface board", ErrorBox(207)},
         "ibsic"},
        {"REN", "ibsre", 1, ERR, EDVR, {ifc + "REN\nInterface error", ErrorBox(200)}, "ibsre"},
        {"SDC",
         "ibcmd",
         0,
         ERR | TIMO,
         6,
         {"Interface Error|Address 5\nModule IntfcLib : Function SDC\n"
          "I/O operation aborted(timeout)",
          ErrorBox(206)},
         "ibcmd"},
        {"GpEot", "ibeot", 1, ERR, EDVR, {ErrorBox(200)}, "ibeot"},
        {"GpEos", "ibeos", 1, ERR, EDVR, {ErrorBox(200)}, "ibeos"},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.step);
        Front f;
        if (*c.function)
            FakeBoard::Get().FailLater(c.function, c.skip, c.status, c.error);
        EXPECT_EQ(f.io->Open_Bus(), c.boxes.isEmpty() ? 0 : -1);
        EXPECT_EQ(Boxes(f.prompts), c.boxes);
        // Nothing after the failing step reaches the bus; a good open ends
        // with the line-feed terminator.
        const QStringList lines =
            FakeBoard::Get().Journal().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_TRUE(lines.last().startsWith(QLatin1String(c.lastCall)))
            << lines.last().toStdString();
    }
}

TEST(InterfaceFront, CloseBusGoesLocalAndReports) {
    Front f;
    ASSERT_EQ(f.io->Open_Bus(), 0);
    f.io->Close_Bus();
    EXPECT_TRUE(FakeBoard::Get().Journal().endsWith(QStringLiteral("ibsre 0 0\n")));
    EXPECT_TRUE(f.prompts.boxes.empty());
    FakeBoard::Get().FailLater("ibsre", 0, ERR, ENEB);
    f.io->Close_Bus();
    EXPECT_EQ(Boxes(f.prompts).last(), ErrorBox(207));
}

TEST(InterfaceFront, PutShowsTheTextInDebugMode) {
    for (const bool debug : {false, true}) {
        SCOPED_TRACE(debug);
        Front f;
        f.registry->setDebugMode(debug);
        EXPECT_EQ(f.io->Put(5, QStringLiteral(":FREQ 1000")), bus::StatusOk);
        EXPECT_EQ(Boxes(f.prompts), debug ? QStringList{"GpibPuts|':FREQ 1000'"} : QStringList{});
        EXPECT_TRUE(FakeBoard::Get().Sent().contains(":FREQ 1000\n"));
    }
}

TEST(InterfaceFront, ControllerAddressByKind) {
    struct Case {
        const char* name;
        int16_t kind;
        QString kiPad; // stored "GPIB0"/"pad"; empty: none
        bool otherCopyBusy;
        int16_t expected;
    };
    const std::vector<Case> cases = {
        {"NI board", bus::KindNiGpib, {}, false, 9},
        {"USB488 asks the board too", bus::KindUsb488, {}, false, 9},
        {"KI board from the settings", bus::KindKiGpib, "21", false, 21},
        {"KI board without settings", bus::KindKiGpib, {}, false, 0},
        {"USB(TMC)", bus::KindUsbTmc, {}, false, 0},
        {"simulated", bus::KindDebug, {}, false, 0},
        {"bus busy: the stored address", bus::KindNiGpib, {}, true, 14},
        {"bus busy on KI", bus::KindKiGpib, "21", true, 14},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Front f(c.kind);
        FakeBoard::Get().SetPad(9);
        if (!c.kiPad.isEmpty())
            f.registry->setSetting(QStringLiteral("GPIB0"), QStringLiteral("pad"), c.kiPad);
        // Another running copy holds the bus and has stored the address.
        std::unique_ptr<clsRegistry> other;
        if (c.otherCopyBusy) {
            other = std::make_unique<clsRegistry>(f.registry->iniPath());
            ASSERT_TRUE(other->TryTakeGpibBus());
            other->setGpibAddress(14);
        }
        const int before = f.Count(QStringLiteral("ibask"));
        EXPECT_EQ(f.io->Read_ControllerAddress(), c.expected);
        // Only the board kinds ask the board, and never while another copy
        // is using it.
        const bool asks =
            !c.otherCopyBusy && (c.kind == bus::KindNiGpib || c.kind == bus::KindUsb488);
        EXPECT_EQ(f.Count(QStringLiteral("ibask")) - before, asks ? 1 : 0);
        EXPECT_TRUE(f.prompts.boxes.empty());
    }
}

TEST(InterfaceFront, ControllerAddressLookupFailureBlocksNoAddress) {
    Front f;
    f.lib->Setup();
    FakeBoard::Get().FailLater("ibask", 0, ERR, ENEB);
    EXPECT_EQ(f.lib->BoardAdr(), -1);
    EXPECT_EQ(f.lib->LastErrorText(), "Nonexistent interface board");
}

TEST(InterfaceFront, CheckControllerAddress) {
    struct Case {
        int address;
        bool accepted;
    };
    for (const Case c : {Case{9, false}, Case{8, true}, Case{0, true}}) {
        SCOPED_TRACE(c.address);
        Front f;
        FakeBoard::Get().SetPad(9);
        EXPECT_EQ(f.io->Check_ControllerAddress(c.address), c.accepted);
        EXPECT_EQ(Boxes(f.prompts),
                  c.accepted ? QStringList{}
                             : QStringList{"Error Message|This Address is Controller Address.\n"
                                           "   Address: 9"});
    }
}

TEST(InterfaceFront, AbortTransfer) {
    for (const bool host : {true, false}) {
        SCOPED_TRACE(host);
        Front f;
        ASSERT_EQ(f.io->Open_Bus(), 0);
        if (host) {
            ASSERT_TRUE(f.registry->TryTakeGpibBus());
        }
        const int locals = f.Count(QStringLiteral("ibsre 0 0"));
        test::RecordingProgress progress;
        f.io->Abort_Transfer(progress);
        EXPECT_EQ(progress.closed, 1);
        EXPECT_FALSE(f.registry->GpibBusy());
        EXPECT_FALSE(f.registry->GpibHost());
        EXPECT_EQ(f.Count(QStringLiteral("ibsre 0 0")) - locals, host ? 1 : 0);
    }
}

TEST(InterfaceFront, WaitKeepsTheEventLoopRunning) {
    bool ran = false;
    QTimer::singleShot(0, [&ran] { ran = true; });
    GpibIO::Wait(0.02);
    EXPECT_TRUE(ran);
}

TEST(InterfaceFront, ReadyWait) {
    struct Case {
        const char* name;
        QList<QByteArray> replies;
        Status expected;
        int queries;
    };
    const std::vector<Case> cases = {
        {"ready at once", {"0\n"}, bus::StatusOk, 1},
        {"ready after two polls", {"+16\n", "16\n", "+0\n"}, bus::StatusOk, 3},
        {"never ready", {"1\n", "1\n", "1\n", "1\n", "1\n", "1\n"}, bus::StatusTimeOut, 4},
        {"no number is not ready", {"\n", "x\n", "0\n"}, bus::StatusOk, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Front f;
        f.io->PollInterval = 0.001;
        f.io->ReadyLimit = 0.003; // four queries in all
        for (const QByteArray& r : c.replies)
            FakeBoard::Get().Reply(r);
        EXPECT_EQ(f.io->Wait_Ready(5), c.expected);
        EXPECT_EQ(FakeBoard::Get().Sent().count("STAT:OPER:COND?\n"), c.queries);
    }
}

TEST(InterfaceFront, ReadyWaitStopsOnABusFailure) {
    Front f;
    f.lib->GpErrMsgOn(false);
    f.lib->Setup();
    f.lib->GpErrMsgOn(false);
    FakeBoard::Get().Reply("0\n", ERR, ENEB);
    EXPECT_EQ(f.io->Wait_Ready(5), bus::StatusNoBoard);
    EXPECT_EQ(FakeBoard::Get().Sent().count("STAT:OPER:COND?\n"), 1);
}

TEST(InterfaceFront, SimulatedBusRunsTheWholeOpen) {
    Front f(bus::KindDebug);
    EXPECT_EQ(f.io->Open_Bus(), 0);
    EXPECT_TRUE(f.prompts.boxes.empty());
    EXPECT_EQ(f.io->Read_ControllerAddress(), 0);
}

} // namespace
} // namespace velda::control

// A pause gives the thread's turn a run at each slice and ends at the first
// turn that asks to stop; without one it runs to its end.
TEST(InterfaceFront, APauseEndsWhenATurnAsksToStop) {
    int asked = 0;
    {
        const velda::bus::WaitTurnScope stop([&asked] {
            ++asked;
            return false;
        });
        EXPECT_FALSE(velda::control::GpibIO::Wait(30));
    }
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(velda::control::GpibIO::Wait(0.01));
}
