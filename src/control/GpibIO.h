#pragma once
// The bus sequences of the instrument control (open, close, put), the
// controller-address lookup, pauses that keep the window alive, and the wait
// for an instrument to finish its operation.

#include "bus/BusStatus.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace velda {
class clsRegistry;
class Program;
} // namespace velda

namespace velda::control {

class GPIBLib;
class TransferProgress;

class GpibIO {
public:
    struct Settings {
        // The program's settings store (may be null before start-up).
        std::function<clsRegistry*()> registry;
        // The instrument's bus address.
        std::function<int16_t()> gpibAddress;
        // The interface kind in use. Null: the bus's current kind.
        std::function<int16_t()> interfaceKind;
        // The KI board's settings: "GPIB<n>"/"pad" is read from this store.
        // Null: the program's own store.
        std::function<clsRegistry*()> kiStore;
    };

    GpibIO(GPIBLib& lib, Settings settings);

    // The message number shown for a failed status: 206 time-out, 207 board
    // or device not present, 200 error, 225 buffer over (first that holds).
    static int Status_Message(bus::Status status);

    // 0 when the bus is open and addressed, -1 after the failing step's box.
    int16_t Open_Bus();
    void Close_Bus();
    // In debug mode the text is first shown in a "GpibPuts" box.
    bus::Status Put(int16_t address, const QString& text);

    // The controller's own address by interface kind; while another copy
    // holds the bus, the stored address.
    int16_t Read_ControllerAddress();
    // False, after message 228 and the address, when `address` is the controller's.
    bool Check_ControllerAddress(int address);

    // The cancel of a running transfer: the bus closed and given back when
    // this copy holds it, then the progress closed.
    void Abort_Transfer(TransferProgress& progress);

    // A pause of `seconds` during which the event loop keeps running; false
    // when the thread's wait turn asked to stop before it was over.
    static bool Wait(double seconds);

    // Asks "STAT:OPER:COND?" every PollInterval seconds until the
    // instrument answers 0 (no operation running), at most ReadyLimit
    // seconds. StatusOk when ready; the bus status of a failed query; or
    // StatusTimeOut when the instrument stayed busy.
    bus::Status Wait_Ready(int16_t address);
    double PollInterval = 0.1;
    double ReadyLimit = 30.0;

    GPIBLib& Lib() { return lib_; }

private:
    GPIBLib& lib_;
    Settings settings_;
};

// The interface front of a running program: its GPIBLib and GpibIO bound to
// the program's bus, set-up record and settings.
struct InterfaceFront {
    explicit InterfaceFront(Program& program);
    std::unique_ptr<GPIBLib> Lib;
    std::unique_ptr<GpibIO> IO;
};

// Makes `program.ControllerAddress` ask `front` (which must outlive the
// program's use of it). Called once, right after Program::Start_Up succeeded,
// by whoever owns the program's InterfaceFront (the application shell).
void Install_ControllerAddress(Program& program, InterfaceFront& front);

} // namespace velda::control
