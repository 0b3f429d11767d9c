#pragma once
// The thin front between the instrument control and the bus layer: sets the
// bus up on first use, keeps the status of the last operation, turns a failed
// status into a text and, when asked to, shows it at once in an
// "Interface Error" box.

#include "bus/BusStatus.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace velda {
class clsRegistry;
}
namespace velda::bus {
class GP_common;
}

namespace velda::control {

class GPIBLib {
public:
    // What the front reads from the program: the instrument's bus address
    // (goes into the initialisation text) and extra initialisation items
    // (the "System"/"BusInit" setting; empty for none).
    struct Settings {
        std::function<int16_t()> gpibAddress;
        std::function<QString()> busInit;
    };

    GPIBLib(bus::GP_common& bus, Settings settings);

    // The extra initialisation items stored under "System"/"BusInit"; empty
    // when unset.
    static QString BusInit_Setting(const clsRegistry* registry);
    // "MYADRS = 0, BOARD_NAME = GPIB0, USB488ID = <address>" and the extra items.
    static QString Init_Text(int16_t gpibAddress, const QString& extra);

    // Status texts of the time-out, error and board bits; empty otherwise.
    static QString Status_Text(bus::Status status);
    // "Module IntfcLib : Function <name>", after "Address <n>" on its own line
    // when an address is given.
    static QString Operation_Description(const QString& name, std::optional<int16_t> address = {});
    // Time-out code 0..17 to seconds (0 for code 0 and unknown codes).
    static double TimeOut_Seconds(int code);
    // The code for a number of seconds, 1..17; 0 or less gives 1.
    static int TimeOut_Code(double seconds);

    bus::Status Setup();
    bus::Status Puts(int16_t address, const QString& text);
    // The reply cut at its length and stripped; empty after a failure.
    QString Gets(int16_t address);
    bus::Status IFC();
    bus::Status REN();
    bus::Status Local();
    bus::Status SDC(int16_t address);
    // Bytes 0..count, that is count + 1 of them, as bytes.
    bus::Status Data(int16_t address, std::span<const uint8_t> bytes, int32_t count);
    // The header and bytes 0..count in one message.
    bus::Status DataScpi(int16_t address, const QString& header, std::span<const uint8_t> bytes,
                         int32_t count);
    // The send terminator: "", LF, CR or CR LF. Needs Setup done; another
    // text sets status 4 without calling the bus.
    bus::Status GpEos(const QString& text);
    bus::Status GpEot(bool on);
    void GpErrMsgOn(bool on) { showErrors_ = on; }
    // Sets the time-out nearest to `seconds`; returns the seconds chosen.
    // While a fixed time-out is set, that one is set instead.
    double Tmo(double seconds);
    // One time-out for every operation from now on, whatever each asks for
    // (a command line's --timeout); nothing gives each its own again.
    void Fix_TimeOut(std::optional<double> seconds) { fixedTimeOut_ = seconds; }
    // The controller board's own primary address (NI-488.2 board calls).
    int16_t BoardAdr();

    bus::Status LastStatus() const { return lastStatus_; }
    const QString& LastErrorText() const { return lastErrorText_; }
    bool SetupDone() const { return setupDone_; }
    bool ShowErrors() const { return showErrors_; }
    // No error box at all while set, whatever ShowErrors says (set-up turns
    // that on by itself); for lookups the user did not ask for.
    void Set_Quiet(bool quiet) { quiet_ = quiet; }
    const QString& SendTerminator() const { return sendTerminator_; }
    const QString& ReceiveTerminator() const { return receiveTerminator_; }
    int16_t TerminatorCode() const { return terminatorCode_; }
    bus::GP_common& Bus() { return bus_; }

private:
    void ensureSetup();
    bus::Status check(bus::Status status, const QString& name, std::optional<int16_t> address = {});

    bus::GP_common& bus_;
    Settings settings_;
    bus::Status lastStatus_ = bus::StatusOk;
    QString lastErrorText_;
    bool setupDone_ = false;
    bool showErrors_ = false;
    bool quiet_ = false;
    std::optional<double> fixedTimeOut_;
    QString sendTerminator_;
    QString receiveTerminator_;
    int16_t terminatorCode_ = 0;
};

} // namespace velda::control
