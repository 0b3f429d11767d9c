#include "bus/BinaryPacking.h"

#include <cstring>

namespace velda::bus {

Status Pack_Binary_Append(std::vector<uint8_t>& all, const BusArray& data, int32_t count,
                          int16_t format, int16_t swap, SwapRule rule) {
    const size_t start = all.size();
    // Every refusal comes before anything is added, so the bytes already
    // in the buffer stay as they were.
    const auto grow = [&all, start](size_t n) {
        all.resize(start + n);
        return all.data() + start;
    };
    const bool exchange = rule == SwapRule::WhenNonZero ? swap != 0 : swap != -1;
    if (count < 0)
        return StatusError;
    const size_t n = size_t(count);
    switch (format) {
    case FormatByte: {
        const auto* bytes = std::get_if<std::span<const uint8_t>>(&data);
        if (!bytes || n > bytes->size())
            return StatusError;
        const uint8_t* in = bytes->data();
        uint8_t* o = grow(n);
        size_t i = 0;
        if (exchange) {
            std::copy(in, in + n, o);
        } else {
            // Sixteen bytes at a time: each 16-bit lane rotated by a byte
            // exchanges its pair whatever the host's byte order (a whole
            // waveform goes through here on every transfer).
            using Lanes = uint16_t __attribute__((vector_size(16)));
            for (; i + sizeof(Lanes) <= n; i += sizeof(Lanes)) {
                Lanes w;
                std::memcpy(&w, in + i, sizeof w);
                w = (w << 8) | (w >> 8);
                std::memcpy(o + i, &w, sizeof w);
            }
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
        uint8_t* o = grow(2 * n);
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
        uint8_t* o = grow(4 * n);
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

Status Pack_Binary_Into(std::vector<uint8_t>& out, const BusArray& data, int32_t count,
                        int16_t format, int16_t swap, SwapRule rule) {
    out.clear();
    return Pack_Binary_Append(out, data, count, format, swap, rule);
}

PackedData Pack_Binary(const BusArray& data, int32_t count, int16_t format, int16_t swap,
                       SwapRule rule) {
    PackedData p;
    p.status = Pack_Binary_Into(p.bytes, data, count, format, swap, rule);
    return p;
}

} // namespace velda::bus
