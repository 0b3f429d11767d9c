#include "control/GpibIO.h"

#include "app/Messages.h"
#include "app/Program.h"
#include "app/Registry.h"
#include "bus/GP_common.h"
#include "bus/WaitTurn.h"
#include "control/GPIBLib.h"
#include "control/TransferProgress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <thread>

namespace velda::control {

using bus::Status;

GpibIO::GpibIO(GPIBLib& lib, Settings settings) : lib_(lib), settings_(std::move(settings)) {}

int GpibIO::Status_Message(Status status) {
    // The messages 200..221 are numbered like the board library's error
    // codes, not like status bits: pick the message that says what the bit means.
    if (status & bus::StatusTimeOut)
        return 206;
    if (status & bus::StatusNoBoard)
        return 207;
    if (status & bus::StatusError)
        return 200;
    if (status & bus::StatusBufferOver)
        return 225;
    return 0;
}

int16_t GpibIO::Open_Bus() {
    const auto failed = [this] {
        if (lib_.LastStatus() == bus::StatusOk)
            return false;
        ShowError(Status_Message(lib_.LastStatus()));
        return true;
    };
    lib_.Setup();
    if (failed())
        return -1;
    lib_.GpErrMsgOn(true);
    lib_.Tmo(1);
    if (failed())
        return -1;
    lib_.IFC();
    if (failed())
        return -1;
    lib_.REN();
    if (failed())
        return -1;
    lib_.SDC(settings_.gpibAddress ? settings_.gpibAddress() : int16_t(0));
    if (failed())
        return -1;
    lib_.GpEot(true);
    if (failed())
        return -1;
    lib_.GpEos(QStringLiteral("\n"));
    if (failed())
        return -1;
    return 0;
}

void GpibIO::Close_Bus() {
    lib_.GpEot(true);
    lib_.GpEos(QStringLiteral("\r\n"));
    lib_.Local();
    if (lib_.LastStatus() != bus::StatusOk)
        ShowError(Status_Message(lib_.LastStatus()));
}

Status GpibIO::Put(int16_t address, const QString& text) {
    const clsRegistry* registry = settings_.registry ? settings_.registry() : nullptr;
    if (registry && registry->DebugMode())
        prompts().showBox({QStringLiteral("GpibPuts"), QLatin1Char('\'') + text + QLatin1Char('\''),
                           BoxIcon::None, BoxButtons::Ok});
    return lib_.Puts(address, text);
}

int16_t GpibIO::Read_ControllerAddress() {
    clsRegistry* registry = settings_.registry ? settings_.registry() : nullptr;
    // Another copy owns the bus: asking the board now would disturb its
    // transfer, and the owner has stored the controller's address.
    if (registry && registry->GpibBusy())
        return int16_t(registry->GpibAddress());
    const int16_t kind =
        settings_.interfaceKind ? settings_.interfaceKind() : lib_.Bus().Interface_Kind();
    switch (kind) {
    case bus::KindNiGpib:
    case bus::KindUsb488:
        return lib_.BoardAdr();
    case bus::KindKiGpib: {
        // The KI board's own configuration store is outside the program; its
        // primary address is kept in ours under the same section and key.
        clsRegistry* store = settings_.kiStore ? settings_.kiStore() : registry;
        if (!store)
            return 0;
        const int id = registry ? registry->GpibId() : 0;
        const QString value =
            store->Setting(QStringLiteral("GPIB") + QString::number(id), QStringLiteral("pad"));
        return int16_t(leadingNumber(value));
    }
    default:
        return 0;
    }
}

bool GpibIO::Check_ControllerAddress(int address) {
    if (address != Read_ControllerAddress())
        return true;
    ShowErrorText(GetMessage(228) + QStringLiteral("   Address: ") + QString::number(address));
    return false;
}

void GpibIO::Abort_Transfer(TransferProgress& progress) {
    clsRegistry* registry = settings_.registry ? settings_.registry() : nullptr;
    if (registry && registry->GpibHost()) {
        Close_Bus();
        registry->ReleaseGpibBus();
    }
    progress.Close();
}

bool GpibIO::Wait(double seconds) {
    if (!(seconds > 0))
        return true;
    const auto ms = int(std::lround(std::min(seconds, 86400.0) * 1000));
    // In slices, each followed by the thread's wait turn: a stop asked for
    // (Cancel, Ctrl-C) ends the pause at once.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (true) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0)
            return true;
        const int slice =
            bus::Has_WaitTurn() ? int(std::min<long long>(left, bus::WaitTurnSliceMs)) : int(left);
        if (!QCoreApplication::instance()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(slice));
        } else {
            // The window keeps drawing and its Cancel button keeps working.
            QEventLoop loop;
            QTimer::singleShot(slice, &loop, &QEventLoop::quit);
            loop.exec();
        }
        if (!bus::Wait_Turn())
            return false;
    }
}

Status GpibIO::Wait_Ready(int16_t address) {
    // The instrument's operation condition register reads 0 once nothing is
    // running any more (a range change, a waveform being stored). Asked
    // every PollInterval seconds, for ReadyLimit seconds in all; an
    // instrument still busy then counts as a time-out.
    const int polls = PollInterval > 0 ? int(std::ceil(ReadyLimit / PollInterval)) : 1;
    for (int i = 0; i <= polls; ++i) {
        // A stop asked for ends the wait before the next question.
        if (!bus::Wait_Turn())
            return bus::StatusTimeOut;
        const Status sent = lib_.Puts(address, QStringLiteral("STAT:OPER:COND?"));
        if (sent != bus::StatusOk)
            return sent;
        const QString reply = lib_.Gets(address);
        if (lib_.LastStatus() != bus::StatusOk)
            return lib_.LastStatus();
        bool ok = false;
        const int condition = reply.toInt(&ok);
        if (ok && condition == 0)
            return bus::StatusOk;
        if (i < polls && !Wait(PollInterval))
            return bus::StatusTimeOut;
    }
    return bus::StatusTimeOut;
}

InterfaceFront::InterfaceFront(Program& program) {
    const auto address = [&program] { return program.Setup.Param.GpibAddress; };
    Lib = std::make_unique<GPIBLib>(
        *program.Bus, GPIBLib::Settings{address, [&program] {
                                            return GPIBLib::BusInit_Setting(program.Registry.get());
                                        }});
    IO = std::make_unique<GpibIO>(
        *Lib, GpibIO::Settings{[&program] { return program.Registry.get(); },
                               address,
                               [&program] { return program.Setup.InterfaceKind; },
                               {}});
}

void Install_ControllerAddress(Program& program, InterfaceFront& front) {
    GpibIO* io = front.IO.get();
    // Asked whenever an address is typed or stepped: a missing board must not
    // answer each of those with an error box, so the lookup runs quietly.
    program.ControllerAddress = [io] {
        io->Lib().Set_Quiet(true);
        const int address = io->Read_ControllerAddress();
        io->Lib().Set_Quiet(false);
        return address;
    };
}

} // namespace velda::control
