#pragma once
// Sending the set-up and the waveform to the instrument: the bus is taken
// for this copy, opened, the model's scripts loaded, the commands and the
// data block sent, the instrument's answers checked, and the bus given back
// on every way out.

#include "bus/WaitTurn.h"
#include "control/GPIBLib.h"
#include "control/GpibIO.h"
#include "control/clsGpibCommand.h"
#include "setup/SystemParameter.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace velda {
class Program;
}

namespace velda::control {

class TransferProgress;

enum class TransferResult {
    Done,        // everything sent and checked
    Busy,        // another transfer holds the bus (message 223)
    NothingSent, // refused before the bus was opened
    Failed,      // a bus failure, model mismatch or instrument error (shown)
    Cancelled,   // the user stopped the data block
};

class Transfer {
public:
    // Data pieces on the GPIB kinds and the simulated bus.
    static constexpr int PieceSize = 512;
    // Index values of Btn_Trans_Click.
    static constexpr int SettingsButton = 0;
    static constexpr int WaveButton = 1;

    Transfer(Program& program, TransferProgress& progress);
    ~Transfer();
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // The System Setup dialog's transfer buttons: 0 the set-up, 1 the
    // waveform (the loop test when the "LoopTest" setting is on). On
    // USB(TMC) `serialNo` names the instrument: appended to the model's
    // device identifier, or taken whole when it holds "::" (a VISA resource
    // name such as TCPIP0::192.168.1.20::5025::SOCKET).
    TransferResult Btn_Trans_Click(int index, const QString& serialNo);
    // The instrument part of the buttons: on USB(TMC) the resource named by
    // `serialNo` (NothingSent, after its box, when there is none); Done
    // otherwise.
    TransferResult Select_Instrument(const QString& serialNo);

    TransferResult Send_Settings();
    TransferResult Send_Wave();
    // A first call runs Send_Wave until a second call (from the event loop,
    // while the first runs) ends it after the current transfer, or until
    // `maxCount` transfers when it is above 0, or until one fails.
    TransferResult Loop_Test(int64_t maxCount = 0);
    bool LoopRunning() const { return loopRunning_; }
    int32_t LoopCount() const { return loopCount_; }
    // The last operation failed because the instrument answered with an
    // error status or as another model (false after a bus failure: a query
    // without an answer shows the instrument-error message too).
    bool Instrument_Fault() const { return instrumentFault_; }
    // The count after one more transfer: 2147483647 is followed by 1.
    static int32_t Next_LoopCount(int32_t count);

    // One line of the script's set-up commands for the operation's snapshot.
    QString Build_SettingsCommand(const clsGpibCommand& script) const;
    // The waveform-send line of the step script: its block token (when it
    // has one) already replaced by the header of `byteCount` bytes.
    QString Build_SendLine(const clsGpibCommand& script, int64_t byteCount,
                           bool* isHeader = nullptr) const;
    // 0 when the instrument identifies as the model, -1 otherwise.
    int16_t Check_Model(const clsGpibCommand& script);
    // -1 (after its box) when the instrument reports an error, else 0.
    int16_t Check_InstrumentError(const clsGpibCommand& script);

    // One bus time-out for every operation of the following transfers, the
    // long one of the data block included; nothing gives each its own again.
    void Set_TimeOut(std::optional<double> seconds) { timeOut_ = seconds; }
    // Asked before every command, in every wait and before the data block,
    // as the Cancel of the progress window shown is: once it answers true
    // nothing more is sent, the operation ends as cancelled without the
    // boxes of the steps it stopped, and the bus is closed and given back.
    void Set_StopAsked(std::function<bool()> asked) { stopAsked_ = std::move(asked); }

    // The simulated bus's default trace log, named in its initialisation text.
    static QString Simulated_LogPath();
    // The items the transfer adds to the initialisation text of `kind`.
    static QString Extra_InitItems(int16_t kind);

    // The record as the running operation took it.
    const SystemParameter& Snapshot() const { return snapshot_; }
    // The byte block of the last Send_Wave (2 x MemorySize bytes).
    const QByteArray& WaveBytes() const { return bytes_; }

private:
    class BusHold;
    // The common preparation; on success the bus is open and the scripts loaded.
    TransferResult Prepare(int stepTable, std::unique_ptr<BusHold>& hold);
    TransferResult Settings_Oscillator();
    TransferResult Settings_PowerSource();
    TransferResult Send_Block(const QString& line, bool isHeader);
    // Sends and reports whether the bus took it.
    bool Put(const QString& text);
    // A query and its reply; false when either failed.
    bool Query(const QString& text, QString& reply);
    bool Wait_Ready();
    TransferResult Wave_Steps();
    TransferResult Settings_Steps();
    // Runs one sending operation's steps: a stop asked for holds to its end,
    // leaves out the boxes of the steps it ends and makes a failure a
    // cancel; the progress window is closed on every way out.
    TransferResult Guarded(TransferResult (Transfer::*steps)());
    // Shows the progress window; from now on its Cancel stops the operation.
    void Show_Progress();
    // Closes the progress window, unless the loop test (which owns it) runs.
    void Close_Progress();
    // True once a stop was asked for (the caller's, or the Cancel of the
    // window shown); it holds for the rest of the operation.
    bool Stopped();
    // The thread's wait turn for the length of one sending operation.
    bus::WaitTurnScope Wait_Turns();

    Program& program_;
    TransferProgress& progress_;
    std::unique_ptr<GPIBLib> lib_;
    std::unique_ptr<GpibIO> io_;
    SystemParameter snapshot_;
    int16_t kind_ = IfUsbTmc;
    clsGpibCommand main_;
    clsGpibCommand final_;
    clsGpibCommand step_;
    QByteArray bytes_;
    bool loopRunning_ = false;
    bool instrumentFault_ = false;
    bool loopAllowed_ = false;
    bool watching_ = false; // the progress window is up and its Cancel counts
    bool cancelled_ = false;
    int32_t loopCount_ = 0;
    std::optional<double> timeOut_;
    std::function<bool()> stopAsked_;
};

} // namespace velda::control
