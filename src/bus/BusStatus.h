#pragma once
// The status word every bus operation returns, the interface kinds and the
// code tables shared by the back ends.

#include <QString>
#include <cstdint>
#include <span>
#include <variant>

namespace velda::bus {

// 16-bit result of every bus operation; bits combine when an operation runs
// several steps.
using Status = uint16_t;
constexpr Status StatusOk = 0;
constexpr Status StatusTimeOut = 1;
constexpr Status StatusError = 2;
constexpr Status StatusNoBoard = 4; // board or device not present
constexpr Status StatusBufferOver = 8;

// Interface kind, as kept beside the set-up record and in the settings.
enum InterfaceKind : int16_t {
    KindNiGpib = 0,
    KindKiGpib = 1,
    KindUsb488 = 2,
    KindUsbTmc = 3,
    KindDebug = 4,
};
constexpr int InterfaceKindCount = 5;

// An address of -1 means "the device addressed last": nothing is re-addressed.
constexpr int16_t LastAddress = -1;

// The data of a binary send: a byte array (format 0), a 16-bit array
// (format 1) or a 32-bit array (format 2). The spans are not owned; they must
// live for the call.
using BusArray =
    std::variant<std::span<const uint8_t>, std::span<const int16_t>, std::span<const int32_t>>;

enum BinaryFormat : int16_t {
    FormatByte = 0,
    FormatInteger = 1,
    FormatLong = 2,
};

// Time-out code names 0..17 ("NONE", "10us" ... "1000s"); empty for another code.
QString TimeOutName(int code);
// Time-out code to milliseconds for the USB back ends: 0..5 give 1, 6 gives 3,
// ... 17 gives 1000000; another code gives 0.
int32_t TimeOutMilliseconds(int code);
// Terminator code names 0..3 ("NONE", "LF", "CR", "CRLF"); empty otherwise.
QString TermName(int code);
// The text sent after each string for terminator codes 0..3 ("", LF, CR, CR LF).
QString TermText(int code);
// Read terminator character for codes 0..3 (0, 10, 13, 10); -1 otherwise.
int TermChar(int code);

// Name of the first error bit in the order the error dialog tests them
// (error, time-out, board, buffer over); empty for status 0.
QString DialogErrorText(Status status);
// Log suffix of the first set bit tested in bit order (" Time Out",
// " Error", " Board does not exit", " Buffer over"); empty for status 0.
QString LogSuffix(Status status);

} // namespace velda::bus
