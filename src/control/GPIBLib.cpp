#include "control/GPIBLib.h"

#include "app/Messages.h"
#include "app/Registry.h"
#include "bus/GP_common.h"
#include "bus/NI_GPIB_Mdl.h"
#include "control/clsGpibCommand.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velda::control {

using bus::Status;

namespace {

constexpr int kReceiveBuffer = 1024;

constexpr std::array<double, 18> kTimeOutSeconds = {
    0,   0.00001, 0.00003, 0.0001, 0.0003, 0.001, 0.003, 0.01, 0.03,
    0.1, 0.3,     1,       3,      10,     30,    100,   300,  1000,
};

const QString kLF = QStringLiteral("\n");
const QString kCR = QStringLiteral("\r");
const QString kCRLF = QStringLiteral("\r\n");

std::span<const uint8_t> firstBytes(std::span<const uint8_t> bytes, int32_t count) {
    // Bytes 0..count; never past the end of what the caller has.
    const auto n = std::clamp<int64_t>(int64_t(count) + 1, 0, int64_t(bytes.size()));
    return bytes.first(size_t(n));
}

} // namespace

GPIBLib::GPIBLib(bus::GP_common& bus, Settings settings)
    : bus_(bus), settings_(std::move(settings)) {}

QString GPIBLib::BusInit_Setting(const clsRegistry* registry) {
    if (!registry)
        return {};
    const QString value = registry->Setting(QStringLiteral("System"), QStringLiteral("BusInit"));
    // The store answers "False" for a key it does not hold.
    if (value.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return {};
    return value.trimmed();
}

QString GPIBLib::Init_Text(int16_t gpibAddress, const QString& extra) {
    QString text = QStringLiteral("MYADRS = 0, BOARD_NAME = GPIB0, USB488ID = ") +
                   QString::number(gpibAddress);
    const QString items = extra.trimmed();
    if (!items.isEmpty())
        text += QStringLiteral(", ") + items;
    return text;
}

QString GPIBLib::Status_Text(Status status) {
    // A status of several bits is named by its first one.
    if (status & bus::StatusTimeOut)
        return QStringLiteral("I/O operation aborted(timeout)");
    if (status & bus::StatusError)
        return QStringLiteral("Interface error");
    if (status & bus::StatusNoBoard)
        return QStringLiteral("Nonexistent interface board");
    return {};
}

QString GPIBLib::Operation_Description(const QString& name, std::optional<int16_t> address) {
    QString text = QStringLiteral("Module IntfcLib : Function ") + name;
    if (address)
        text = QStringLiteral("Address ") + QString::number(*address) + QLatin1Char('\n') + text;
    return text;
}

double GPIBLib::TimeOut_Seconds(int code) {
    if (code < 0 || code >= int(kTimeOutSeconds.size()))
        return 0;
    return kTimeOutSeconds[size_t(code)];
}

int GPIBLib::TimeOut_Code(double seconds) {
    // No time-out at all (code 0) would let a silent instrument hang the
    // program, so zero, negative and non-numbers take the shortest one.
    if (!(seconds > 0))
        return 1;
    const double code = std::floor(2 * std::log10(seconds) + 11.5);
    return int(std::clamp(code, 1.0, 17.0));
}

Status GPIBLib::check(Status status, const QString& name, std::optional<int16_t> address) {
    lastStatus_ = status;
    lastErrorText_.clear();
    if (status != bus::StatusOk) {
        lastErrorText_ = Status_Text(status);
        // The bus's own account (which device file or library, why, what to
        // do) is what lets the user mend it; the status text alone does not.
        const QString detail = bus_.Last_Error_Text();
        if (showErrors_ && !quiet_)
            ShowStop(QStringLiteral("Interface Error"),
                     Operation_Description(name, address) + QLatin1Char('\n') + lastErrorText_ +
                         (detail.isEmpty() ? QString() : QLatin1Char('\n') + detail));
    }
    return status;
}

void GPIBLib::ensureSetup() {
    if (!setupDone_)
        Setup();
}

Status GPIBLib::Setup() {
    const int16_t address = settings_.gpibAddress ? settings_.gpibAddress() : int16_t(0);
    const QString extra = settings_.busInit ? settings_.busInit() : QString();
    const Status st = bus_.GP_Init(Init_Text(address, extra));
    sendTerminator_ = kLF;
    showErrors_ = true;
    if (st != bus::StatusOk)
        return check(st, QStringLiteral("Setup"));
    receiveTerminator_ = kLF;
    terminatorCode_ = 2;
    setupDone_ = true;
    check(st, QStringLiteral("Setup"));
    Tmo(1);
    return lastStatus_;
}

Status GPIBLib::Puts(int16_t address, const QString& text) {
    ensureSetup();
    return check(bus_.GP_Send_Str(address, text), QStringLiteral("Puts"), address);
}

QString GPIBLib::Gets(int16_t address) {
    ensureSetup();
    QString reply(kReceiveBuffer, QLatin1Char(' '));
    const Status st = check(bus_.GP_Receive_Str(address, reply), QStringLiteral("Gets"));
    if (st != bus::StatusOk)
        return {};
    return Strip_Printable(reply.left(kReceiveBuffer));
}

Status GPIBLib::IFC() {
    ensureSetup();
    return check(bus_.GP_IFC(), QStringLiteral("IFC"));
}

Status GPIBLib::REN() {
    ensureSetup();
    const int16_t on = -1; // every back end takes -1 as on
    return check(bus_.GP_REN(on), QStringLiteral("REN"));
}

Status GPIBLib::Local() {
    ensureSetup();
    const int16_t off = 0;
    return check(bus_.GP_REN(off), QStringLiteral("Local"));
}

Status GPIBLib::SDC(int16_t address) {
    ensureSetup();
    return check(bus_.GP_SDC(address), QStringLiteral("SDC"), address);
}

Status GPIBLib::Data(int16_t address, std::span<const uint8_t> bytes, int32_t count) {
    ensureSetup();
    const auto data = firstBytes(bytes, count);
    return check(bus_.GP_Send_Binary_Data(bus::BusArray(data), address, int32_t(data.size()),
                                          bus::FormatByte, 0, 0),
                 QStringLiteral("Data"));
}

Status GPIBLib::DataScpi(int16_t address, const QString& header, std::span<const uint8_t> bytes,
                         int32_t count) {
    ensureSetup();
    const auto data = firstBytes(bytes, count);
    return check(bus_.GP_Send_AsciiBinary_Data(header, bus::BusArray(data), address,
                                               int32_t(data.size()), bus::FormatByte, 0, 0),
                 QStringLiteral("Data SCPI"));
}

Status GPIBLib::GpEos(const QString& text) {
    int16_t code;
    if (text.isEmpty())
        code = 0;
    else if (text == kLF)
        code = 1;
    else if (text == kCR)
        code = 2;
    else if (text == kCRLF)
        code = 3;
    else {
        lastStatus_ = bus::StatusNoBoard;
        lastErrorText_ = Status_Text(lastStatus_);
        return lastStatus_;
    }
    const Status st = bus_.GP_MTerm(code);
    if (st == bus::StatusOk) {
        sendTerminator_ = text;
        terminatorCode_ = code;
    }
    lastStatus_ = st;
    lastErrorText_ = Status_Text(st);
    return st;
}

Status GPIBLib::GpEot(bool on) {
    ensureSetup();
    // Like the terminator, no box of its own: the sequences report it.
    lastStatus_ = bus_.GP_EOI(on ? int16_t(1) : int16_t(0));
    lastErrorText_ = Status_Text(lastStatus_);
    return lastStatus_;
}

double GPIBLib::Tmo(double seconds) {
    ensureSetup();
    const int code = TimeOut_Code(fixedTimeOut_.value_or(seconds));
    check(bus_.GP_Time_Out(int16_t(code)), QStringLiteral("Tmo"));
    return TimeOut_Seconds(code);
}

int16_t GPIBLib::BoardAdr() {
    ensureSetup();
    int16_t address = 0;
    Status st = bus::StatusNoBoard;
    if (auto* ni = dynamic_cast<bus::NI_GPIB_Mdl*>(bus_.Module(bus::KindNiGpib)))
        st = ni->Board_Address(address);
    check(st, QStringLiteral("BoardAdr"));
    // No address is the controller's when it cannot be asked.
    return st == bus::StatusOk ? address : int16_t(-1);
}

} // namespace velda::control
