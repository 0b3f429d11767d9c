#include "SetupValues.h"
#include "files/PackedRecord.h"

#include <QtEndian>
#include <bit>
#include <cstring>
#include <gtest/gtest.h>
#include <vector>

using namespace velda;

namespace {

// A record where every field holds a value of its own, so a field written to
// the wrong place shows up.
SystemParameter distinctRecord() {
    SystemParameter sp;
    sp.ModelName = QStringLiteral("GEN-2000        ");
    sp.ModelNo = 3;
    sp.GpibAddressMin = 1;
    sp.GpibAddressMax = 30;
    sp.DefaultArbSend = QStringLiteral("DATA:ARB").leftJustified(64, QLatin1Char(' '));
    sp.MemoryName = QStringLiteral("MEMA").leftJustified(16, QLatin1Char(' '));
    sp.MemorySize = 65536;
    sp.ModelWord108 = -123456;
    sp.ModelWord112 = -2;
    sp.ModelWord114 = 114;
    sp.ModelWord116 = 116116;
    sp.MemoryNoUsed = -1;
    sp.MemoryNo = 5;
    sp.MemoryNoMin = 1;
    sp.MemoryNoMax = 9;
    sp.MemoryNameUsed = -1;
    sp.MemorySizeNo = 2;
    sp.ChannelUsed = 1;
    sp.ChannelNo = 1;
    sp.FrequencyMin = 0.001;
    sp.FrequencyMax = 2e7;
    sp.ModelReal160 = 160.25;
    sp.ModelReal176 = 176.5;
    sp.ModelReal184 = -184.75;
    sp.ModelReal192 = 192.125;
    sp.AmplitudeMin = 0.01;
    sp.AmplitudeMax = 20;
    sp.ModelReal224 = 224.5;
    sp.OffsetMin = -10;
    sp.OffsetMax = 10;
    sp.ModelReal256 = 256.5;
    sp.OffsetSettable = -1;
    sp.OffsetOn = 1;
    sp.RangeNo = 4;
    sp.ModelWord308 = 308;
    sp.UserXUnitName = QStringLiteral("deg     ");
    sp.UserYUnitName = QStringLiteral("A       ");
    sp.ModelWord326 = 326;
    test::Apply_Setup_Values(sp, {1000.5, 1 / 1000.5, 2.5, -0.5, 7, 2, 2, 1, -3, 7, -2, 4});
    return sp;
}

// The byte layout written out by hand, field by field.
PackedRecord handBuilt(const SystemParameter& sp, int16_t kind) {
    PackedRecord r;
    r.fill(0xEE); // every byte must be written
    auto w16 = [&](int off, int v) { qToLittleEndian<int16_t>(static_cast<int16_t>(v), &r[off]); };
    auto w32 = [&](int off, int32_t v) { qToLittleEndian<int32_t>(v, &r[off]); };
    auto f64 = [&](int off, double v) {
        qToLittleEndian<uint64_t>(std::bit_cast<uint64_t>(v), &r[off]);
    };
    auto txt = [&](int off, int len, const char* ascii) {
        std::memset(&r[off], ' ', static_cast<size_t>(len));
        std::memcpy(&r[off], ascii, std::strlen(ascii));
    };
    w16(0, (kind + 1) * 256 + sp.ModelNo);
    txt(2, 16, "GEN-2000");
    w16(18, 7);
    w16(20, 1);
    w16(22, 30);
    txt(24, 64, "DATA:ARB");
    w16(88, 2);
    w32(90, 65536);
    w32(94, -123456);
    w16(98, -2);
    w16(100, 114);
    w32(102, 116116);
    w16(106, -1);
    w16(108, 5);
    w16(110, 1);
    w16(112, 9);
    w16(114, -1);
    txt(116, 16, "MEMA");
    w16(132, 1);
    w16(134, 1);
    w16(136, 2); // NO CHANGE stays 2
    f64(138, 1000.5);
    f64(146, 0.001);
    f64(154, 2e7);
    f64(162, 160.25);
    f64(170, 1 / 1000.5);
    f64(178, 176.5);
    f64(186, -184.75);
    f64(194, 192.125);
    w16(202, 4);
    w16(204, 308);
    f64(206, 2.5);
    f64(214, 0.01);
    f64(222, 20);
    f64(230, 224.5);
    w16(238, -1);
    f64(240, -0.5);
    f64(248, -10);
    f64(256, 10);
    f64(264, 256.5);
    w16(272, 1);
    w16(274, 2);
    f64(276, -3);
    f64(284, 7);
    w16(292, 1);
    f64(294, -2);
    f64(302, 4);
    txt(310, 8, "deg");
    txt(318, 8, "A");
    return r;
}

void expectSameFields(const SystemParameter& a, const SystemParameter& b) {
    EXPECT_EQ(a.ModelName, b.ModelName);
    EXPECT_EQ(a.ModelNo, b.ModelNo);
    EXPECT_EQ(a.GpibAddress, b.GpibAddress);
    EXPECT_EQ(a.GpibAddressMin, b.GpibAddressMin);
    EXPECT_EQ(a.GpibAddressMax, b.GpibAddressMax);
    EXPECT_EQ(a.DefaultArbSend, b.DefaultArbSend);
    EXPECT_EQ(a.MemoryName, b.MemoryName);
    EXPECT_EQ(a.MemorySize, b.MemorySize);
    EXPECT_EQ(a.ModelWord108, b.ModelWord108);
    EXPECT_EQ(a.ModelWord112, b.ModelWord112);
    EXPECT_EQ(a.ModelWord114, b.ModelWord114);
    EXPECT_EQ(a.ModelWord116, b.ModelWord116);
    EXPECT_EQ(a.MemoryNoUsed, b.MemoryNoUsed);
    EXPECT_EQ(a.MemoryNo, b.MemoryNo);
    EXPECT_EQ(a.MemoryNoMin, b.MemoryNoMin);
    EXPECT_EQ(a.MemoryNoMax, b.MemoryNoMax);
    EXPECT_EQ(a.MemoryNameUsed, b.MemoryNameUsed);
    EXPECT_EQ(a.MemorySizeNo, b.MemorySizeNo);
    EXPECT_EQ(a.ChannelUsed, b.ChannelUsed);
    EXPECT_EQ(a.ChannelNo, b.ChannelNo);
    EXPECT_EQ(a.Frequency, b.Frequency);
    EXPECT_EQ(a.FrequencyMin, b.FrequencyMin);
    EXPECT_EQ(a.FrequencyMax, b.FrequencyMax);
    EXPECT_EQ(a.ModelReal160, b.ModelReal160);
    EXPECT_EQ(a.Period, b.Period);
    EXPECT_EQ(a.ModelReal176, b.ModelReal176);
    EXPECT_EQ(a.ModelReal184, b.ModelReal184);
    EXPECT_EQ(a.ModelReal192, b.ModelReal192);
    EXPECT_EQ(a.Amplitude, b.Amplitude);
    EXPECT_EQ(a.AmplitudeMin, b.AmplitudeMin);
    EXPECT_EQ(a.AmplitudeMax, b.AmplitudeMax);
    EXPECT_EQ(a.ModelReal224, b.ModelReal224);
    EXPECT_EQ(a.Offset, b.Offset);
    EXPECT_EQ(a.OffsetMin, b.OffsetMin);
    EXPECT_EQ(a.OffsetMax, b.OffsetMax);
    EXPECT_EQ(a.ModelReal256, b.ModelReal256);
    EXPECT_EQ(a.OffsetSettable, b.OffsetSettable);
    EXPECT_EQ(a.OffsetOn, b.OffsetOn);
    EXPECT_EQ(a.XUnitMode, b.XUnitMode);
    EXPECT_EQ(a.YUnitMode, b.YUnitMode);
    EXPECT_EQ(a.UserXStart, b.UserXStart);
    EXPECT_EQ(a.UserXEnd, b.UserXEnd);
    EXPECT_EQ(a.UserYMin, b.UserYMin);
    EXPECT_EQ(a.UserYMax, b.UserYMax);
    EXPECT_EQ(a.OutputState, b.OutputState);
    EXPECT_EQ(a.RangeNo, b.RangeNo);
    EXPECT_EQ(a.ModelWord308, b.ModelWord308);
    EXPECT_EQ(a.UserXUnitName, b.UserXUnitName);
    EXPECT_EQ(a.UserYUnitName, b.UserYUnitName);
}

} // namespace

TEST(PackedRecord, PacksEveryFieldAtItsOffset) {
    const SystemParameter sp = distinctRecord();
    const PackedRecord packed = Pack_System_Record(sp, IfUsb488);
    const PackedRecord expected = handBuilt(sp, IfUsb488);
    for (int i = 0; i < kPackedRecordSize; ++i)
        ASSERT_EQ(packed[i], expected[i]) << "byte " << i;
}

TEST(PackedRecord, UnpackTakesEveryFieldBackButTheModelWord326) {
    const SystemParameter sp = distinctRecord();
    SystemParameter back; // defaults everywhere
    back.ModelWord326 = 99;
    int16_t kind = IfUsbTmc;
    Unpack_System_Record(handBuilt(sp, IfUsb488), back, kind);
    expectSameFields(back, sp);
    EXPECT_EQ(kind, IfUsb488);
    EXPECT_EQ(back.ModelWord326, 99); // not carried by the record
}

TEST(PackedRecord, FirstWordCarriesInterfaceKindAndModel) {
    struct Case {
        int16_t word;
        int16_t kindBefore;
        int16_t kindAfter;
        int16_t model;
    };
    const Case cases[] = {
        {3 * 256 + 5, IfUsbTmc, IfUsb488, 5},    // written with USB488 selected
        {1 * 256 + 0, IfSimulated, IfNiGpib, 0}, // NI GPIB, model 0
        {5 * 256 + 2, IfNiGpib, IfSimulated, 2}, // simulated bus
        {7, IfKiGpib, IfKiGpib, 7},              // below 256: kind kept
        {255, IfUsb488, IfUsb488, 255},
        {32 * 256 + 1, IfUsbTmc, IfUsbTmc, 1}, // kind 31 does not exist: kept
        {-255, IfKiGpib, IfKiGpib, 1},         // negative word: kind kept
    };
    for (const Case& c : cases) {
        PackedRecord r = Pack_System_Record(SystemParameter{}, 0);
        qToLittleEndian<int16_t>(c.word, r.data());
        SystemParameter sp;
        int16_t kind = c.kindBefore;
        Unpack_System_Record(r, sp, kind);
        EXPECT_EQ(kind, c.kindAfter) << c.word;
        EXPECT_EQ(sp.ModelNo, c.model) << c.word;
    }
}

TEST(PackedRecord, PackingAndUnpackingKeepTheInterfaceKind) {
    for (int16_t kind = IfNiGpib; kind <= IfSimulated; ++kind) {
        SystemParameter sp;
        sp.ModelNo = 4;
        const PackedRecord r = Pack_System_Record(sp, kind);
        EXPECT_EQ(qFromLittleEndian<int16_t>(r.data()), (kind + 1) * 256 + 4);
        int16_t back = kind == IfUsbTmc ? IfNiGpib : IfUsbTmc;
        SystemParameter out;
        Unpack_System_Record(r, out, back);
        EXPECT_EQ(back, kind);
        EXPECT_EQ(out.ModelNo, 4);
    }
}

TEST(PackedRecord, OutputStateCoding) {
    struct Case {
        int16_t record;
        int16_t stored;
    };
    const Case cases[] = {{0, -1}, {1, 0}, {2, 2}, {7, 7}};
    for (const Case& c : cases) {
        SystemParameter sp;
        sp.OutputState = c.record;
        const PackedRecord r = Pack_System_Record(sp, IfUsbTmc);
        EXPECT_EQ(qFromLittleEndian<int16_t>(r.data() + 136), c.stored);
        SystemParameter back;
        back.OutputState = 99;
        int16_t kind = 0;
        Unpack_System_Record(r, back, kind);
        EXPECT_EQ(back.OutputState, c.record);
    }
}

TEST(PackedRecord, TextFieldsAreUtf8SpacePaddedAndNeverCutInsideACharacter) {
    struct Case {
        QString name;      // as held (16 characters)
        QByteArray stored; // the 16 bytes in the file
    };
    const Case cases[] = {
        {QStringLiteral("ABC").leftJustified(16), QByteArray("ABC             ")},
        // "é" takes two bytes: the name still fits in 16 bytes.
        {QStringLiteral("Modèle").leftJustified(16), QByteArray("Mod\xC3\xA8le         ")},
        // Five 3-byte characters fill 15 bytes; the sixth would split.
        {QStringLiteral("日本語日本語abcd"),
         QByteArray("\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE6\x97\xA5\xE6\x9C\xAC ")},
        {QString(16, QLatin1Char(' ')), QByteArray(16, ' ')},
    };
    for (const Case& c : cases) {
        SystemParameter sp;
        sp.ModelName = c.name;
        const PackedRecord r = Pack_System_Record(sp, 0);
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(r.data() + 2), 16), c.stored)
            << c.name.toStdString();
        SystemParameter back;
        int16_t kind = 0;
        Unpack_System_Record(r, back, kind);
        EXPECT_EQ(back.ModelName.size(), 16);
        EXPECT_TRUE(c.name.startsWith(back.ModelName.trimmed())) << c.name.toStdString();
    }
}

TEST(PackedRecord, UnpackedTextStopsAtANulAndIsPaddedToItsWidth) {
    PackedRecord r = Pack_System_Record(SystemParameter{}, 0);
    std::memcpy(r.data() + 310, "km\0zzzzz", 8);
    SystemParameter sp;
    int16_t kind = 0;
    Unpack_System_Record(r, sp, kind);
    EXPECT_EQ(sp.UserXUnitName, QStringLiteral("km      "));
}

TEST(PackedRecord, ModelMatchByName) {
    const QStringList models = {QStringLiteral("AC-POWER"), QStringLiteral("GEN-2000"),
                                QStringLiteral("GEN-20") + QString(2, QChar(0)) + "junk",
                                QStringLiteral("GEN-3000            ")};
    struct Case {
        const char* stored;
        bool matched;
        int16_t model;
        const char* nameAfter;
    };
    const Case cases[] = {
        {"GEN-2000", true, 1, "GEN-2000"},
        {"GEN-20", true, 2, "GEN-20"}, // the entry is cut at its NUL
        {"GEN-3000", true, 3, "GEN-3000"},
        {"GEN-2000X", false, 0, "AC-POWER"}, // characters after the name
        {"UNKNOWN", false, 0, "AC-POWER"},
        {"AC-POWER", true, 0, "AC-POWER"},
    };
    for (const Case& c : cases) {
        SystemParameter sp;
        sp.ModelNo = 9;
        sp.ModelName = QString::fromLatin1(c.stored).leftJustified(16);
        EXPECT_EQ(Match_Model(sp, models), c.matched) << c.stored;
        EXPECT_EQ(sp.ModelNo, c.model) << c.stored;
        EXPECT_EQ(sp.ModelName, QString::fromLatin1(c.nameAfter).leftJustified(16)) << c.stored;
    }
}
