#pragma once
// The 328-byte device record exchanged with the model-information module:
// field offsets and little-endian accessors. Text fields are 8-bit text in the
// system code page (UTF-8 here), fixed-length and space-padded, no terminator.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace velda::engine::rec {

constexpr size_t RecordSize = 328;

// Offsets of the fields, in record order.
constexpr size_t ModelName = 0; // char[16]
constexpr size_t ModelNo = 16;
constexpr size_t GpibAddress = 18;
constexpr size_t GpibAddressMin = 20;
constexpr size_t GpibAddressMax = 22;
constexpr size_t DefaultArbSend = 24; // char[64]
constexpr size_t MemoryName = 88;     // char[16]
constexpr size_t MemorySize = 104;    // i32
constexpr size_t ModelWord108 = 108;  // i32
constexpr size_t ModelWord112 = 112;
constexpr size_t ModelWord114 = 114;
constexpr size_t ModelWord116 = 116; // i32
constexpr size_t MemoryNoUsed = 120;
constexpr size_t MemoryNo = 122;
constexpr size_t MemoryNoMin = 124;
constexpr size_t MemoryNoMax = 126;
constexpr size_t MemoryNameUsed = 128;
constexpr size_t MemorySizeNo = 130;
constexpr size_t ChannelUsed = 132;
constexpr size_t ChannelNo = 134;
constexpr size_t Frequency = 136; // f64 from here to 256
constexpr size_t FrequencyMin = 144;
constexpr size_t FrequencyMax = 152;
constexpr size_t ModelReal160 = 160;
constexpr size_t Period = 168;
constexpr size_t ModelReal176 = 176;
constexpr size_t ModelReal184 = 184;
constexpr size_t ModelReal192 = 192;
constexpr size_t Amplitude = 200;
constexpr size_t AmplitudeMin = 208;
constexpr size_t AmplitudeMax = 216;
constexpr size_t ModelReal224 = 224;
constexpr size_t Offset = 232;
constexpr size_t OffsetMin = 240;
constexpr size_t OffsetMax = 248;
constexpr size_t ModelReal256 = 256;
constexpr size_t OffsetSettable = 264;
constexpr size_t OffsetOn = 266;
constexpr size_t XUnitMode = 268;
constexpr size_t YUnitMode = 270;
constexpr size_t UserXStart = 272;
constexpr size_t UserXEnd = 280;
constexpr size_t UserYMin = 288;
constexpr size_t UserYMax = 296;
constexpr size_t OutputState = 304;
constexpr size_t RangeNo = 306;
constexpr size_t ModelWord308 = 308;
constexpr size_t UserXUnitName = 310; // char[8]
constexpr size_t UserYUnitName = 318; // char[8]
constexpr size_t ModelWord326 = 326;

constexpr size_t ModelNameWidth = 16;
constexpr size_t DefaultArbSendWidth = 64;
constexpr size_t MemoryNameWidth = 16;
constexpr size_t UnitNameWidth = 8;

template <typename T> T getLE(const uint8_t* p) {
    static_assert(std::endian::native == std::endian::little, "little-endian host expected");
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename T> void putLE(uint8_t* p, T v) {
    static_assert(std::endian::native == std::endian::little, "little-endian host expected");
    std::memcpy(p, &v, sizeof v);
}

inline int16_t getI16(const uint8_t* r, size_t off) {
    return getLE<int16_t>(r + off);
}
inline int32_t getI32(const uint8_t* r, size_t off) {
    return getLE<int32_t>(r + off);
}
inline double getF64(const uint8_t* r, size_t off) {
    return getLE<double>(r + off);
}
inline void putI16(uint8_t* r, size_t off, int16_t v) {
    putLE(r + off, v);
}
inline void putI32(uint8_t* r, size_t off, int32_t v) {
    putLE(r + off, v);
}
inline void putF64(uint8_t* r, size_t off, double v) {
    putLE(r + off, v);
}

// Length of the longest prefix of `utf8` that fits in `width` bytes without
// splitting a multi-byte character (continuation bytes are 10xxxxxx).
inline size_t fittingLength(std::string_view utf8, size_t width) {
    if (utf8.size() <= width)
        return utf8.size();
    size_t n = width;
    while (n > 0 && (static_cast<uint8_t>(utf8[n]) & 0xC0) == 0x80)
        --n;
    return n;
}

// Writes 8-bit text into a fixed field: as much as fits whole, then spaces.
inline void putFixedBytes(uint8_t* field, size_t width, std::string_view utf8) {
    const size_t n = fittingLength(utf8, width);
    if (n > 0) // an empty view may have no data at all
        std::memcpy(field, utf8.data(), n);
    std::memset(field + n, ' ', width - n);
}

// The bytes of a fixed field up to its first NUL.
inline std::string getFixedBytes(const uint8_t* field, size_t width) {
    const void* nul = std::memchr(field, 0, width);
    const size_t n = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - field) : width;
    return std::string(reinterpret_cast<const char*>(field), n);
}

} // namespace velda::engine::rec
