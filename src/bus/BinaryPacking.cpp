#include "bus/BinaryPacking.h"

namespace velda::bus {

Status Pack_Binary_Into(std::vector<uint8_t>& out, const BusArray& data, int32_t count,
                        int16_t format, int16_t swap, SwapRule rule) {
    out.clear();
    const bool exchange = rule == SwapRule::WhenNonZero ? swap != 0 : swap != -1;
    if (count < 0)
        return StatusError;
    const size_t n = size_t(count);
    switch (format) {
    case FormatByte: {
        const auto* bytes = std::get_if<std::span<const uint8_t>>(&data);
        if (!bytes || n > bytes->size())
            return StatusError;
        out.resize(n);
        const uint8_t* in = bytes->data();
        uint8_t* o = out.data();
        size_t i = 0;
        if (exchange) {
            std::copy(in, in + n, o);
        } else {
            for (; i + 1 < n; i += 2) {
                o[i] = in[i + 1];
                o[i + 1] = in[i];
            }
            if (i < n)
                o[i] = in[i];
        }
        return StatusOk;
    }
    case FormatInteger: {
        const auto* words = std::get_if<std::span<const int16_t>>(&data);
        if (!words || n > words->size())
            return StatusError;
        out.resize(2 * n);
        uint8_t* o = out.data();
        const int16_t* in = words->data();
        for (size_t i = 0; i < n; ++i) {
            auto w = uint16_t(in[i]);
            if (exchange)
                w = uint16_t((w << 8) | (w >> 8));
            // Low byte first, whatever the host's own order.
            o[2 * i] = uint8_t(w & 0xFF);
            o[2 * i + 1] = uint8_t(w >> 8);
        }
        return StatusOk;
    }
    case FormatLong: {
        const auto* longs = std::get_if<std::span<const int32_t>>(&data);
        if (!longs || n > longs->size())
            return StatusError;
        out.resize(4 * n);
        uint8_t* o = out.data();
        const int32_t* in = longs->data();
        const bool reverse = swap != 0;
        for (size_t i = 0; i < n; ++i) {
            auto v = uint32_t(in[i]);
            if (reverse)
                v = __builtin_bswap32(v);
            o[4 * i] = uint8_t(v);
            o[4 * i + 1] = uint8_t(v >> 8);
            o[4 * i + 2] = uint8_t(v >> 16);
            o[4 * i + 3] = uint8_t(v >> 24);
        }
        return StatusOk;
    }
    default:
        return StatusError;
    }
}

PackedData Pack_Binary(const BusArray& data, int32_t count, int16_t format, int16_t swap,
                       SwapRule rule) {
    PackedData p;
    p.status = Pack_Binary_Into(p.bytes, data, count, format, swap, rule);
    return p;
}

} // namespace velda::bus
