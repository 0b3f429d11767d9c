#include "bus/BusStatus.h"

#include <array>

namespace velda::bus {

namespace {
constexpr std::array<const char*, 18> TimeOutNames = {
    "NONE",  "10us",  "30us", "100us", "300us", "1ms", "3ms",  "10ms", "30ms",
    "100ms", "300ms", "1s",   "3s",    "10s",   "30s", "100s", "300s", "1000s"};
constexpr std::array<int32_t, 18> TimeOutMs = {
    1, 1, 1, 1, 1, 1, 3, 10, 30, 100, 300, 1000, 3000, 10000, 30000, 100000, 300000, 1000000};
} // namespace

QString TimeOutName(int code) {
    if (code < 0 || code >= int(TimeOutNames.size()))
        return {};
    return QString::fromLatin1(TimeOutNames[size_t(code)]);
}

int32_t TimeOutMilliseconds(int code) {
    if (code < 0 || code >= int(TimeOutMs.size()))
        return 0;
    return TimeOutMs[size_t(code)];
}

QString TermName(int code) {
    switch (code) {
    case 0:
        return QStringLiteral("NONE");
    case 1:
        return QStringLiteral("LF");
    case 2:
        return QStringLiteral("CR");
    case 3:
        return QStringLiteral("CRLF");
    default:
        return {};
    }
}

QString TermText(int code) {
    switch (code) {
    case 1:
        return QStringLiteral("\n");
    case 2:
        return QStringLiteral("\r");
    case 3:
        return QStringLiteral("\r\n");
    default:
        return {};
    }
}

int TermChar(int code) {
    switch (code) {
    case 0:
        return 0;
    case 1:
    case 3:
        return 10;
    case 2:
        return 13;
    default:
        return -1;
    }
}

QString DialogErrorText(Status status) {
    if (status & StatusError)
        return QStringLiteral("Error");
    if (status & StatusTimeOut)
        return QStringLiteral("Time Out");
    if (status & StatusNoBoard)
        return QStringLiteral("Board is Northing");
    if (status & StatusBufferOver)
        return QStringLiteral("Buffer Over");
    return {};
}

QString LogSuffix(Status status) {
    if (status & StatusTimeOut)
        return QStringLiteral(" Time Out");
    if (status & StatusError)
        return QStringLiteral(" Error");
    if (status & StatusNoBoard)
        return QStringLiteral(" Board does not exit");
    if (status & StatusBufferOver)
        return QStringLiteral(" Buffer over");
    return {};
}

} // namespace velda::bus
