#pragma once
// Test rigs for the bus back ends: each puts one back end behind a
// GP_common whose libraries are the fakes built in tests/fakes (real shared
// objects loaded with dlopen, as the program loads the real ones), and
// reaches the same fake's journal through its control functions.

#include "FakeLibrary.h"
#include "bus/BinaryPacking.h"
#include "bus/GP_common.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include <QStringList>
#include <ostream>

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList& l, std::ostream* os) {
    *os << "{\n";
    for (const QString& s : l)
        *os << "  \"" << s.toStdString() << "\"\n";
    *os << "}";
}

namespace velda::test {

class BusRig {
public:
    virtual ~BusRig();
    virtual const char* Name() const = 0;
    virtual int16_t Kind() const = 0;
    // Items this back end needs in its initialisation text.
    virtual QString Init_Items() const { return {}; }
    // The next read at `adrs` after the query `query` answers `reply`.
    virtual void Answer(int16_t adrs, const QString& query, const QByteArray& reply) = 0;
    // The next read at `adrs` answers a reply that goes on past every
    // limit and never ends; false where a rig cannot.
    virtual bool Answer_Without_End() { return false; }
    // Everything sent so far, as the device would have seen it.
    virtual QByteArray Sent() const = 0;
    // Reads without a prepared answer time out; the simulated bus never fails.
    virtual bool Can_Fail() const { return true; }
    virtual bus::SwapRule Swap_Rule() const { return bus::SwapRule::WhenNonZero; }
    // Sends binary data on the bus (the simulated bus only logs).
    virtual bool Sends_Binary() const { return true; }
    // Sends header and data of GP_Send_AsciiBinary_Data as one message.
    virtual bool Sends_Ascii_Binary() const { return false; }
    // How the trace log shows the device at `adrs` (the USB-TMC back end
    // shows its resource name).
    virtual QString Shown(int16_t adrs) const { return QString::number(adrs); }

    bus::GP_common& Bus() { return *bus_; }
    bus::BusModule& Module() { return *bus_->Module(Kind()); }
    QString Log_Path() const { return dir_.filePath(QStringLiteral("trace.log")); }
    QString Dir() const { return dir_.path(); }
    // A file the program reads, which the trace log must never replace.
    QString Kept_Path() const { return dir_.filePath(QStringLiteral("kept.ini")); }
    // The trace log's lines (CR LF ends removed).
    QStringList Log_Lines() const;
    QByteArray Log_Bytes() const;
    int endProgramCalls = 0;

    // GP_Init with the log on and the back end's own items.
    bus::Status Init(const QString& extra = {});

protected:
    BusRig();
    // Library file name used for each library key.
    void Use_Library(const QString& key, const QString& fileName);

    QTemporaryDir dir_;
    std::unique_ptr<bus::GP_common> bus_;
    QString niLibrary_, kiLibrary_, usbLibrary_;
};

// One rig per back end; `variant` picks a library variant where a test needs one.
std::unique_ptr<BusRig> MakeNiRig(const QString& library = QStringLiteral("libfake_gpib.so"));
std::unique_ptr<BusRig> MakeKiRig(bool boardPresent = true);
std::unique_ptr<BusRig> MakeUsb488Rig();
std::unique_ptr<BusRig> MakeDebugRig();
// The USB-TMC back end through the fake system VISA library, and through our
// own VISA layer on a raw SCPI socket and on VXI-11, both on 127.0.0.1.
std::unique_ptr<BusRig> MakeUsbTmcVisaRig();
std::unique_ptr<BusRig> MakeUsbTmcSocketRig();
std::unique_ptr<BusRig> MakeUsbTmcVxi11Rig();

// The fake behind a rig (for the per-back-end byte assertions).
FakeLibrary& NiFake();
FakeLibrary& KiFake();
FakeLibrary& UsbFake();

} // namespace velda::test
