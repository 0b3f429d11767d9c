#pragma once
// The waveform as the instrument takes it: data words scaled down to the
// instrument's bit mask and packed two bytes a point, and the pieces of the
// send line that do not come from a model's script.

#include "engine/wavelb32.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <span>

namespace velda::control {

// The divisor a bit mask stands for: (65536 - mask) as a 16-bit whole
// number. For the usual masks 1...10...0 it is the mask's lowest set bit
// (4 for FFFC hexadecimal, 1 for FFFF); 0 for a mask that cannot be used
// (0 or 65536), which the caller must refuse before converting.
int16_t Mask_Divisor(int64_t mask);

// Fills `bytes` (2 x count bytes) from the first `count` words: each word
// divided by Mask_Divisor(mask) with ties to even, the low 16 bits written
// most significant byte first, or least significant first when `swap`.
// False (and `bytes` untouched) for a mask of divisor 0 or a count beyond
// the words or the bytes.
bool Convert_WaveData(std::span<const int16_t> words, int32_t count, int64_t mask, bool swap,
                      std::span<uint8_t> bytes);
// The same on the current waveform of an engine buffer.
bool Convert_WaveData(WaveHandle buffer, int32_t count, int64_t mask, bool swap, QByteArray& bytes);

// IEEE 488.2 definite-length block header of `byteCount` bytes: "#", the
// number of digits of the count, the count ("#48192" for 8192).
QByteArray Block_Header(int64_t byteCount);

// The token a send template holds where the block header goes.
inline const QString BlockToken = QStringLiteral("_$Block");
// The send line with its block token replaced by the header of
// `byteCount` bytes; `hadToken` tells whether there was one (a line with
// the token is only ever sent as the header of the data).
QString Replace_BlockToken(const QString& line, int64_t byteCount, bool* hadToken = nullptr);

// The command that selects the arbitrary function after the data, by model
// number: 0 ":FUNC ARB<n>", 1..20 "FNC 6", 21 "FUNC <n+2>", 22 "FNC <n+5>",
// 23 and above "Wave <n+1>" (which is followed by an output command).
QString Function_Command(int16_t modelNo, int16_t memoryNo);
// Models 23 and above need "Outp 1" (state ON, 0) or "Outp 0" after the
// function command, and a pause.
bool Needs_OutputAfterFunction(int16_t modelNo);
QString Output_Command(int16_t outputState);

// A number in the shortest plain decimal form that reads back as the same
// double: no exponent, no trailing zeros, no trailing point ("50", "0.001",
// "-12.5", "1000000").
QString Plain_Decimal(double value);

// The power source's waveform-send line: ":TRAC Arb<n>," and the block
// header of `byteCount` bytes.
QString PowerSource_SendLine(int16_t memoryNo, int64_t byteCount);

// Characters of a memory name that a send line may carry (non-printable
// characters dropped, as the name goes into a command).
QString Printable_Name(const QString& name);

} // namespace velda::control
