#pragma once
// The binary data formats of GP_Send_Binary_Data, packed into the bytes that
// go onto the bus, in the order they go out.
//
// Format 0 (bytes): pairs are taken into 16-bit words, word k = byte(2k) x
// 256 + byte(2k+1), and sent low byte first, so each pair goes out
// exchanged; with the byte exchange applied the bytes go out in array order.
// Format 1 (16-bit): low byte first; exchanged: high byte first.
// Format 2 (32-bit): low byte first; with swap the four bytes reversed.

#include "bus/BusStatus.h"

#include <cstdint>
#include <vector>

namespace velda::bus {

// When the byte exchange of formats 0 and 1 is applied.
enum class SwapRule {
    WhenNonZero,    // the GPIB, USB-TMC and simulated back ends: swap != 0
    UnlessMinusOne, // the USB488 back end: swap != -1, so swap 0 exchanges
};

struct PackedData {
    Status status = StatusOk;   // StatusError for a format the data do not fit
    std::vector<uint8_t> bytes; // what is sent, in bus order
    // Number of 16-bit words for libraries that take words (odd byte counts
    // round up: the last word's second byte is 0).
    size_t Words() const { return (bytes.size() + 1) / 2; }
};

// Packs `count` elements of `data` in `format`. A negative count, a count
// beyond the array, or an array that is not of the format's element type
// gives StatusError and no bytes: nothing past the caller's data is ever
// read. An odd byte count in format 0 sends its last byte alone, after the
// pairs, rather than dropping it.
PackedData Pack_Binary(const BusArray& data, int32_t count, int16_t format, int16_t swap,
                       SwapRule rule = SwapRule::WhenNonZero);

// Into an existing buffer (reused by callers that send often); returns the status.
Status Pack_Binary_Into(std::vector<uint8_t>& out, const BusArray& data, int32_t count,
                        int16_t format, int16_t swap, SwapRule rule = SwapRule::WhenNonZero);
// After what the buffer holds already (a header that goes out with the
// data); on StatusError the buffer is unchanged.
Status Pack_Binary_Append(std::vector<uint8_t>& out, const BusArray& data, int32_t count,
                          int16_t format, int16_t swap, SwapRule rule = SwapRule::WhenNonZero);

} // namespace velda::bus
