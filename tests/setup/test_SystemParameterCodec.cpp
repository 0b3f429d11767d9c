#include "setup/SystemParameterCodec.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace velda;

namespace {

// The record written byte by byte at the offsets of the library form, with a
// different value in every field so that a swapped or shifted field shows.
struct HandBuilt {
    LibraryForm b{};

    void i16(size_t off, int16_t v) {
        b[off] = uint8_t(uint16_t(v) & 0xFF);
        b[off + 1] = uint8_t(uint16_t(v) >> 8);
    }
    void i32(size_t off, int32_t v) {
        for (int i = 0; i < 4; ++i)
            b[off + size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
    }
    void f64(size_t off, double v) {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        for (int i = 0; i < 8; ++i)
            b[off + size_t(i)] = uint8_t(u >> (8 * i));
    }
    void text(size_t off, size_t width, const char* s) {
        std::memset(&b[off], ' ', width);
        std::memcpy(&b[off], s, std::strlen(s));
    }

    HandBuilt() {
        text(0, 16, "AWG-1102");
        i16(16, 2);
        i16(18, 11);
        i16(20, 1);
        i16(22, 30);
        text(24, 64, "INIT,SEND");
        text(88, 16, "WAVE1");
        i32(104, 65536);
        i32(108, -100000);
        i16(112, -2);
        i16(114, 3);
        i32(116, 14);
        i16(120, 1);
        i16(122, 5);
        i16(124, 1);
        i16(126, 8);
        i16(128, -1);
        i16(130, 3);
        i16(132, 1);
        i16(134, 1);
        f64(136, 1234.5);
        f64(144, 0.01);
        f64(152, 5e6);
        f64(160, 1.5);
        f64(168, 1 / 1234.5);
        f64(176, 2.5);
        f64(184, 3.5);
        f64(192, 4.5);
        f64(200, 2.25);
        f64(208, 0.005);
        f64(216, 5.0);
        f64(224, 5.5);
        f64(232, -0.75);
        f64(240, -2.5);
        f64(248, 2.5);
        f64(256, 6.5);
        i16(264, 1);
        i16(266, -1);
        i16(268, 2);
        i16(270, 1);
        f64(272, -3.0);
        f64(280, 7.0);
        f64(288, -10.0);
        f64(296, 20.0);
        i16(304, 2);
        i16(306, 1);
        i16(308, -308);
        text(310, 8, "ms");
        text(318, 8, "mV");
        i16(326, 326);
    }
};

} // namespace

TEST(SystemParameterCodec, ReadsEveryFieldAtItsOffset) {
    const HandBuilt h;
    const SystemParameter p = fromLibraryForm(h.b.data());
    EXPECT_EQ(p.ModelName, QStringLiteral("AWG-1102        "));
    EXPECT_EQ(p.ModelNo, 2);
    EXPECT_EQ(p.GpibAddress, 11);
    EXPECT_EQ(p.GpibAddressMin, 1);
    EXPECT_EQ(p.GpibAddressMax, 30);
    EXPECT_EQ(p.DefaultArbSend.trimmed(), QStringLiteral("INIT,SEND"));
    EXPECT_EQ(p.DefaultArbSend.size(), 64);
    EXPECT_EQ(p.MemoryName, QStringLiteral("WAVE1           "));
    EXPECT_EQ(p.MemorySize, 65536);
    EXPECT_EQ(p.ModelWord108, -100000);
    EXPECT_EQ(p.ModelWord112, -2);
    EXPECT_EQ(p.ModelWord114, 3);
    EXPECT_EQ(p.ModelWord116, 14);
    EXPECT_EQ(p.MemoryNoUsed, 1);
    EXPECT_EQ(p.MemoryNo, 5);
    EXPECT_EQ(p.MemoryNoMin, 1);
    EXPECT_EQ(p.MemoryNoMax, 8);
    EXPECT_EQ(p.MemoryNameUsed, -1);
    EXPECT_EQ(p.MemorySizeNo, 3);
    EXPECT_EQ(p.ChannelUsed, 1);
    EXPECT_EQ(p.ChannelNo, 1);
    EXPECT_EQ(p.Frequency, 1234.5);
    EXPECT_EQ(p.FrequencyMin, 0.01);
    EXPECT_EQ(p.FrequencyMax, 5e6);
    EXPECT_EQ(p.ModelReal160, 1.5);
    EXPECT_EQ(p.Period, 1 / 1234.5);
    EXPECT_EQ(p.ModelReal176, 2.5);
    EXPECT_EQ(p.ModelReal184, 3.5);
    EXPECT_EQ(p.ModelReal192, 4.5);
    EXPECT_EQ(p.Amplitude, 2.25);
    EXPECT_EQ(p.AmplitudeMin, 0.005);
    EXPECT_EQ(p.AmplitudeMax, 5.0);
    EXPECT_EQ(p.ModelReal224, 5.5);
    EXPECT_EQ(p.Offset, -0.75);
    EXPECT_EQ(p.OffsetMin, -2.5);
    EXPECT_EQ(p.OffsetMax, 2.5);
    EXPECT_EQ(p.ModelReal256, 6.5);
    EXPECT_EQ(p.OffsetSettable, 1);
    EXPECT_EQ(p.OffsetOn, -1);
    EXPECT_EQ(p.XUnitMode, 2);
    EXPECT_EQ(p.YUnitMode, 1);
    EXPECT_EQ(p.UserXStart, -3.0);
    EXPECT_EQ(p.UserXEnd, 7.0);
    EXPECT_EQ(p.UserYMin, -10.0);
    EXPECT_EQ(p.UserYMax, 20.0);
    EXPECT_EQ(p.OutputState, 2);
    EXPECT_EQ(p.RangeNo, 1);
    EXPECT_EQ(p.ModelWord308, -308);
    EXPECT_EQ(p.UserXUnitName, QStringLiteral("ms      "));
    EXPECT_EQ(p.UserYUnitName, QStringLiteral("mV      "));
    EXPECT_EQ(p.ModelWord326, 326);
}

TEST(SystemParameterCodec, WritesTheSameBytesBack) {
    const HandBuilt h;
    const LibraryForm again = toLibraryForm(fromLibraryForm(h.b.data()));
    for (size_t i = 0; i < LibraryFormSize; ++i)
        EXPECT_EQ(again[i], h.b[i]) << "byte " << i;
}

TEST(SystemParameterCodec, TextFieldsArePaddedCutAndConverted) {
    SystemParameter p;
    p.ModelName = QStringLiteral("X");                          // shorter than its field
    p.MemoryName = QStringLiteral(u"波形メモリ名前が長すぎる"); // 36 bytes for 16
    p.UserXUnitName = QStringLiteral("seconds-long");
    const LibraryForm f = toLibraryForm(p);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[0]), 16), "X               ");
    // Five three-byte characters fit in 16 bytes, the sixth does not.
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[88]), 16),
              std::string("波形メモリ") + " ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&f[310]), 8), "seconds-");
    const SystemParameter back = fromLibraryForm(f.data());
    EXPECT_EQ(back.MemoryName, QStringLiteral(u"波形メモリ") + QString(11, QLatin1Char(' ')));
    EXPECT_EQ(back.ModelName.size(), 16);
}
