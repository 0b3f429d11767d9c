#include "TestSupport.h"
#include "engine/DeviceRecord.h"
#include "engine/sysinf32.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace r = velda::engine::rec;
using velda::test::sourceDataDir;
using velda::test::testDataDir;

namespace {

using Record = std::array<uint8_t, 328>;

std::string str(const QString& s) {
    return s.toStdString();
}

int32_t initWith(const std::string& path) {
    SysSetModelFile(path.c_str());
    return SysInitDeviceInfo();
}

int32_t initShipped() {
    return initWith(str(sourceDataDir() + "/models.toml"));
}

std::string errorFileName() {
    char buf[512];
    std::memset(buf, 'x', sizeof buf);
    SysGetSysErrorFileName(buf);
    return buf;
}

std::string name20(const char* buf) {
    return std::string(buf, 20);
}

std::string padded(std::string s, size_t width) {
    s.resize(width, ' ');
    return s;
}

std::string field(const Record& rec, size_t off, size_t width) {
    return std::string(reinterpret_cast<const char*>(rec.data() + off), width);
}

// A small valid model file; the cases below change one line of it.
const std::vector<std::string> kBase = {
    "[[model]]",                                         // 1
    "name = \"PS-1\"",                                   // 2
    "kind = \"power\"",                                  // 3
    "interface_mask = 9",                                // 4
    "gpib_address = { min = 1, max = 30, initial = 1 }", // 5
    "memory_sizes = [\"1024\", \"4096\"]",               // 6
    "frequency = { min = 1, max = 1000, initial = 50 }", // 7
    "max_sample_rate = 1e6",                             // 8
    "offset_settable = 1",                               // 9
    "[[model.channel]]",                                 // 10
    "name = \"A\"",                                      // 11
    "[[model.channel.range]]",                           // 12
    "name = \"R1\"",                                     // 13
    "amplitude = { min = 0, max = 10, initial = 1 }",    // 14
    "offset = { min = -1, max = 1, initial = 0 }",       // 15
    "[model.script]",                                    // 16
    "main = [[\"model\", \"*IDN?\"]]",                   // 17
};

std::string join(const std::vector<std::string>& lines) {
    std::string s;
    for (const auto& l : lines)
        s += l + "\n";
    return s;
}

class ModelFileTest : public ::testing::Test {
protected:
    std::string write(const std::string& text, const char* name = "models.toml") {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text.data(), qint64(text.size()));
        return str(path);
    }
    QTemporaryDir dir;
};

} // namespace

TEST(Sysinf32, ShippedModelFileLoads) {
    ASSERT_EQ(initShipped(), 0);
    EXPECT_GE(SysGetDeviceCnt(), 7);
    EXPECT_EQ(SysGetSysErrorLineNo(), 0);
}

TEST(Sysinf32, MissingUnreadableSyntaxAndBadValueFilesReportCodeFileAndLine) {
    struct Case {
        std::string path;
        int32_t code;
        int32_t line;
    } cases[] = {
        {"/nonexistent-folder/models.toml", -30, 0},
        {str(testDataDir() + "/no-such-models.toml"), -30, 0},
        {str(testDataDir()), -20, 0}, // a folder cannot be read as a file
        {str(testDataDir() + "/models_syntax.toml"), -2, 6},
        {str(testDataDir() + "/models_badvalue.toml"), -1, 14},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(initShipped(), 0);
        EXPECT_EQ(initWith(c.path), c.code) << c.path;
        EXPECT_EQ(SysGetSysErrorLineNo(), c.line) << c.path;
        EXPECT_EQ(errorFileName(), c.path);
        // A failed initialisation leaves no models behind.
        EXPECT_EQ(SysGetDeviceCnt(), 0) << c.path;
    }
}

TEST(Sysinf32, EmptyModelFileLoadsWithoutModels) {
    EXPECT_EQ(initWith(str(testDataDir() + "/models_empty.toml")), 0);
    EXPECT_EQ(SysGetDeviceCnt(), 0);
}

TEST_F(ModelFileTest, EveryBadValueIsReportedOnItsLine) {
    ASSERT_EQ(initWith(write(join(kBase))), 0) << "the base file must be valid";
    struct Case {
        int line; // 1-based line of kBase to replace
        std::string text;
        int32_t code;
        int32_t errorLine;
    } cases[] = {
        {4, "interface_mask = \"9\"", -1, 4}, // wrong type
        {4, "interface_mask = 0", -1, 4},     // no interface
        {4, "interface_mask = 16", -1, 4},    // unknown bit
        {8, "", -1, 1},                       // missing key: the model's line
        {8, "max_sample_rat = 1e6", -1, 8},   // unknown key
        {8, "max_sample_rate = 0", -1, 8},    // not positive
        {7, "frequency = { min = 100, max = 10, initial = 50 }", -1, 7},
        {7, "frequency = { min = 0, max = 10, initial = 5 }", -1, 7},
        {7, "frequency = { min = 1, max = 10, initial = 50 }", -1, 7},
        {7, "frequency = { min = 1, max = 10 }", -1, 7},
        {7, "frequency = { min = 1, max = nan, initial = 5 }", -1, 7},
        {6, "memory_sizes = []", -1, 6},
        {6, "memory_sizes = [\"big\"]", -1, 6},
        {6, "memory_sizes = [\"65537\"]", -1, 6},
        {6, "memory_sizes = [\"1\"]", -1, 6},
        {6, "memory_sizes = [\"1024\", 4096]", -1, 6},
        {3, "kind = \"oscillator\"", -1, 3},        // model 0 is the power source
        {2, "name = \"ABCDEFGHIJKLMNOPQ\"", -1, 2}, // 17 bytes
        {2, "name = \"A,B\"", -1, 2},               // would break USBTMC.ID
        {2, "name = \"  \"", -1, 2},
        {2, "name = \"PS\\u0000X\"", -1, 2}, // control character
        {5, "gpib_address = { min = 1, max = 30, initial = 31 }", -1, 5},
        {5, "gpib_address = { min = 10, max = 3, initial = 5 }", -1, 5},
        {9, "offset_settable = 0", -1, 15}, // offset limits without offset
        {9, "offset_settable = 3", -1, 9},
        {11, "name = \"\"", -1, 11},
        {14, "amplitude = { min = 5, max = 1, initial = 1 }", -1, 14},
        {14, "amplitude = { min = -1, max = 1, initial = 0 }", -1, 14},
        {17, "main = [[\"toolongkey\", \"x\"]]", -1, 17},
        {17, "main = [[\"model\"]]", -1, 17},
        {17, "main = [[\"\", \"x\"]]", -1, 17},
        {17, "main = [[\"model\", \"" + std::string(65, 'x') + "\"]]", -1, 17},
        {17, "mian = [[\"model\", \"x\"]]", -1, 17},
        {4, "interface_mask = = 9", -2, 4}, // syntax
        {13, "name = 'R1", -2, 13},
    };
    for (const Case& c : cases) {
        auto lines = kBase;
        lines[size_t(c.line - 1)] = c.text;
        EXPECT_EQ(initWith(write(join(lines))), c.code) << c.text;
        EXPECT_EQ(SysGetSysErrorLineNo(), c.errorLine) << c.text;
        EXPECT_EQ(SysGetDeviceCnt(), 0) << c.text;
    }
}

TEST_F(ModelFileTest, ListWideFaultsAreReportedOnTheirLine) {
    // A second model of the power kind, a repeated name, a script of 51 rows.
    auto second = [](const std::string& name, const std::string& kind) {
        auto lines = kBase;
        lines[1] = "name = \"" + name + "\"";
        lines[2] = "kind = \"" + kind + "\"";
        return lines;
    };
    auto twoModels = [&](const std::string& name, const std::string& kind) {
        auto lines = kBase;
        for (const auto& l : second(name, kind))
            lines.push_back(l);
        return join(lines);
    };
    EXPECT_EQ(initWith(write(twoModels("OSC-1", "oscillator"))), 0);
    EXPECT_EQ(SysGetDeviceCnt(), 2);
    EXPECT_EQ(initWith(write(twoModels("OSC-1", "power"))), -1);
    EXPECT_EQ(SysGetSysErrorLineNo(), 17 + 3);
    EXPECT_EQ(initWith(write(twoModels("PS-1", "oscillator"))), -1);
    EXPECT_EQ(SysGetSysErrorLineNo(), 17 + 2);

    auto lines = kBase;
    lines[16] = "main = [";
    for (int i = 0; i < 51; ++i)
        lines.push_back("[\"gpibcmd\", \"X\"],");
    lines.push_back("]");
    EXPECT_EQ(initWith(write(join(lines))), -1);
    EXPECT_EQ(SysGetSysErrorLineNo(), 17);
    lines.erase(lines.begin() + 17); // 50 rows are allowed
    EXPECT_EQ(initWith(write(join(lines))), 0);
}

TEST(Sysinf32, NamesAreSpacePaddedAndBadIndexesReadBlank) {
    ASSERT_EQ(initShipped(), 0);
    char buf[20];
    EXPECT_EQ(SysGetDeviceName(1, buf), 1);
    EXPECT_EQ(name20(buf), padded("AWG-1101", 20));
    EXPECT_EQ(SysGetMemorySizeName(1, 2, buf), 1);
    EXPECT_EQ(name20(buf), padded("16384", 20));
    EXPECT_EQ(SysGetChannelName(2, 1, buf), 1);
    EXPECT_EQ(name20(buf), padded("CH2", 20));
    EXPECT_EQ(SysGetRangeName(1, 0, 2, buf), 1);
    EXPECT_EQ(name20(buf), padded("100 mVp-p", 20));

    const int16_t models = static_cast<int16_t>(SysGetDeviceCnt());
    for (int16_t bad : {int16_t(-1), models, int16_t(32767), int16_t(-32768)}) {
        std::memset(buf, 'x', sizeof buf);
        EXPECT_EQ(SysGetDeviceName(bad, buf), 0);
        EXPECT_EQ(name20(buf), std::string(20, ' '));
        EXPECT_EQ(SysGetMemorySizeCnt(bad), 0);
        EXPECT_EQ(SysGetChannelCnt(bad), 0);
        EXPECT_EQ(SysGetRangeCnt(bad, 0), 0);
        EXPECT_EQ(SysGetInterfaceInfo(bad), 0);
        EXPECT_EQ(SysGetMemorySizeName(1, bad, buf), 0);
        EXPECT_EQ(SysGetChannelName(1, bad, buf), 0);
        EXPECT_EQ(SysGetRangeName(1, 0, bad, buf), 0);
        EXPECT_EQ(SysGetRangeCnt(1, bad), 0);
        Record rec{};
        rec.fill(0x5A);
        const Record before = rec;
        EXPECT_EQ(SysGetDeviceInfo(bad, rec.data()), 0);
        EXPECT_EQ(SysGetInitDeviceInfo(bad, rec.data()), 0);
        EXPECT_EQ(SysChangeMemorySize(1, bad, rec.data()), 0);
        EXPECT_EQ(SysChangeChannel(1, bad, rec.data()), 0);
        EXPECT_EQ(SysChangeRange(1, 0, bad, rec.data()), 0);
        EXPECT_EQ(SysChangeFrequency(bad, 0, 1000, rec.data()), 0);
        EXPECT_EQ(SysChangeAmplitude(1, bad, 0, 1, rec.data()), 0);
        EXPECT_EQ(SysChangeOffset(1, 0, bad, 0, rec.data()), 0);
        EXPECT_EQ(SysChangeInterface(bad, 0, rec.data()), 0);
        EXPECT_EQ(rec, before) << "a refused call must leave the record alone";
    }
    EXPECT_EQ(SysGetDeviceName(0, nullptr), 0);
    EXPECT_EQ(SysGetDeviceInfo(0, nullptr), 0);
}

TEST(Sysinf32, InitialInfoWritesTheModelAndLeavesTheProgramsFieldsAlone) {
    ASSERT_EQ(initShipped(), 0);
    Record rec;
    rec.fill(0xA5);
    ASSERT_EQ(SysGetInitDeviceInfo(2, rec.data()), -1); // AWG-1102
    EXPECT_EQ(field(rec, r::ModelName, 16), padded("AWG-1102", 16));
    EXPECT_EQ(r::getI16(rec.data(), r::ModelNo), 2);
    EXPECT_EQ(r::getI16(rec.data(), r::GpibAddress), 3);
    EXPECT_EQ(r::getI16(rec.data(), r::GpibAddressMin), 1);
    EXPECT_EQ(r::getI16(rec.data(), r::GpibAddressMax), 30);
    EXPECT_EQ(field(rec, r::DefaultArbSend, 64), std::string(64, ' '));
    EXPECT_EQ(field(rec, r::MemoryName, 16), padded("WAVE1", 16));
    EXPECT_EQ(r::getI16(rec.data(), r::MemorySizeNo), 2);
    EXPECT_EQ(r::getI32(rec.data(), r::MemorySize), 16384);
    EXPECT_EQ(r::getI32(rec.data(), r::ModelWord116), 16);
    EXPECT_EQ(r::getI16(rec.data(), r::MemoryNoUsed), 0);
    EXPECT_EQ(r::getI16(rec.data(), r::MemoryNameUsed), 1);
    EXPECT_EQ(r::getI16(rec.data(), r::ChannelUsed), 1);
    EXPECT_EQ(r::getI16(rec.data(), r::ChannelNo), 0);
    EXPECT_EQ(r::getI16(rec.data(), r::RangeNo), 0);
    EXPECT_EQ(r::getF64(rec.data(), r::Frequency), 1000.0);
    EXPECT_EQ(r::getF64(rec.data(), r::FrequencyMin), 0.01);
    EXPECT_EQ(r::getF64(rec.data(), r::FrequencyMax), 5e6);
    EXPECT_EQ(r::getF64(rec.data(), r::Period), 1.0 / 1000.0);
    EXPECT_EQ(r::getF64(rec.data(), r::Amplitude), 1.0);
    EXPECT_EQ(r::getF64(rec.data(), r::AmplitudeMax), 5.0);
    EXPECT_EQ(r::getF64(rec.data(), r::OffsetMin), -2.5);
    EXPECT_EQ(r::getI16(rec.data(), r::OffsetSettable), 1);
    // Display units, output state and offset switch belong to the program.
    for (size_t off : {r::OffsetOn, r::XUnitMode, r::YUnitMode, r::OutputState})
        EXPECT_EQ(r::getI16(rec.data(), off), int16_t(0xA5A5)) << off;
    for (size_t off = r::UserXStart; off < r::OutputState; ++off)
        EXPECT_EQ(rec[off], 0xA5) << off;
    for (size_t off = r::UserXUnitName; off < r::ModelWord326; ++off)
        EXPECT_EQ(rec[off], 0xA5) << off;
}

TEST(Sysinf32, DeviceInfoFitsTheRecordsSettingsIntoTheModel) {
    ASSERT_EQ(initShipped(), 0);
    Record rec{};
    ASSERT_EQ(SysGetInitDeviceInfo(2, rec.data()), -1); // two channels
    r::putI16(rec.data(), r::ChannelNo, 1);
    r::putI16(rec.data(), r::RangeNo, 1);
    r::putF64(rec.data(), r::Frequency, 2e6); // above AWG-1101's 1 MHz
    r::putF64(rec.data(), r::Amplitude, 0.3);
    r::putI16(rec.data(), r::GpibAddress, 17);
    r::putI16(rec.data(), r::MemorySizeNo, 3);      // 65536, beyond AWG-1101's list
    ASSERT_EQ(SysGetDeviceInfo(1, rec.data()), -1); // AWG-1101: one channel
    EXPECT_EQ(field(rec, r::ModelName, 16), padded("AWG-1101", 16));
    EXPECT_EQ(r::getI16(rec.data(), r::ChannelNo), 0);
    EXPECT_EQ(r::getI16(rec.data(), r::RangeNo), 1);
    EXPECT_EQ(r::getI16(rec.data(), r::MemorySizeNo), 2);
    EXPECT_EQ(r::getI32(rec.data(), r::MemorySize), 16384);
    EXPECT_EQ(r::getF64(rec.data(), r::Frequency), 1e6);
    EXPECT_EQ(r::getF64(rec.data(), r::Period), 1e-6);
    EXPECT_EQ(r::getF64(rec.data(), r::Amplitude), 0.3);
    EXPECT_EQ(r::getF64(rec.data(), r::AmplitudeMax), 1.0);
    EXPECT_EQ(r::getI16(rec.data(), r::GpibAddress), 17);
    EXPECT_EQ(field(rec, r::DefaultArbSend, 64), padded(":TRAC:DATA", 64));

    // Values that are no settings at all take the model's initial values.
    r::putI16(rec.data(), r::GpibAddress, -1);
    r::putF64(rec.data(), r::Frequency, std::numeric_limits<double>::quiet_NaN());
    r::putF64(rec.data(), r::Amplitude, std::numeric_limits<double>::infinity());
    r::putI16(rec.data(), r::ChannelNo, -7);
    ASSERT_EQ(SysGetDeviceInfo(1, rec.data()), -1);
    EXPECT_EQ(r::getI16(rec.data(), r::GpibAddress), 2);
    EXPECT_EQ(r::getF64(rec.data(), r::Frequency), 1000.0);
    EXPECT_EQ(r::getF64(rec.data(), r::Amplitude), 1.0);
    EXPECT_EQ(r::getI16(rec.data(), r::ChannelNo), 0);

    // A model that takes a memory name gets its initial one for a blank
    // name and keeps a given one.
    for (const char* given : {"", "MINE"}) {
        r::putFixedBytes(rec.data() + r::MemoryName, r::MemoryNameWidth, given);
        ASSERT_EQ(SysGetDeviceInfo(2, rec.data()), -1); // AWG-1102: names
        EXPECT_EQ(field(rec, r::MemoryName, 16), padded(*given ? given : "WAVE1", 16)) << given;
    }
}

TEST(Sysinf32, CommandTablesHoldKeysFirstThenTexts) {
    ASSERT_EQ(initShipped(), 0);
    std::array<uint8_t, 3600> table;
    table.fill(0);
    ASSERT_EQ(SysGetGPIBInfo(1, 2, table.data()), 6); // AWG-1101 set-up steps
    auto key = [&](int i) {
        return std::string(reinterpret_cast<char*>(&table[size_t(i) * 8]), 8);
    };
    auto text = [&](int i) {
        return std::string(reinterpret_cast<char*>(&table[400 + size_t(i) * 64]), 64);
    };
    EXPECT_EQ(key(0), padded("freq", 8));
    EXPECT_EQ(text(0), padded(":FREQ,0.000", 64));
    EXPECT_EQ(key(5), padded("ofsoff", 8));
    EXPECT_EQ(text(5), padded(":VOLT:OFFS:STAT OFF", 64));
    EXPECT_EQ(key(6), std::string(8, ' '));
    EXPECT_EQ(text(49), std::string(64, ' '));

    table.fill(0);
    EXPECT_EQ(SysGetGPIBInfo(1, 4, table.data()), 0);
    EXPECT_EQ(std::count(table.begin(), table.end(), ' '), 3600);
    EXPECT_EQ(SysGetGPIBInfo(1, -1, table.data()), 0);
    EXPECT_EQ(SysGetGPIBInfo(99, 0, table.data()), 0);
    EXPECT_EQ(SysGetGPIBInfo(1, 0, nullptr), 0);
}

TEST(Sysinf32, InterfaceChangeFollowsTheModelsPorts) {
    ASSERT_EQ(initShipped(), 0);
    struct Case {
        int16_t model;
        int32_t kind;
        int16_t result;
    } cases[] = {
        {1, 3, -1}, {1, 0, 0},  {1, 1, 0},  {1, 2, -1}, {1, 4, -1}, // USB(TMC) only
        {3, 3, 0},  {3, 0, -1}, {3, 1, -1},                         // both GPIB boards
        {4, 0, -1}, {4, 1, 0},                                      // NI GPIB only
        {7, 0, -1}, {7, 1, -1}, {7, 3, -1}, {7, 5, 0},  {7, -1, 0},
    };
    for (const Case& c : cases) {
        Record rec{};
        SysGetInitDeviceInfo(c.model, rec.data());
        EXPECT_EQ(SysChangeInterface(c.model, c.kind, rec.data()), c.result)
            << "model " << c.model << " kind " << c.kind;
    }
    // Address -1 asks for another address: the model's initial one.
    Record rec{};
    SysGetInitDeviceInfo(3, rec.data());
    r::putI16(rec.data(), r::GpibAddress, -1);
    EXPECT_EQ(SysChangeInterface(3, 0, rec.data()), -1);
    EXPECT_EQ(r::getI16(rec.data(), r::GpibAddress), 5);
    r::putI16(rec.data(), r::GpibAddress, 12);
    EXPECT_EQ(SysChangeInterface(3, 1, rec.data()), -1);
    EXPECT_EQ(r::getI16(rec.data(), r::GpibAddress), 12);
}

TEST(Sysinf32, ChannelRangeFrequencyAmplitudeAndOffsetChangesClampOrRefuse) {
    ASSERT_EQ(initShipped(), 0);
    Record rec{};
    SysGetInitDeviceInfo(2, rec.data()); // AWG-1102: CH2 up to 1 MHz
    r::putF64(rec.data(), r::Frequency, 3e6);
    r::putI16(rec.data(), r::RangeNo, 1);
    ASSERT_EQ(SysChangeChannel(2, 1, rec.data()), -1);
    EXPECT_EQ(r::getI16(rec.data(), r::ChannelNo), 1);
    EXPECT_EQ(r::getI16(rec.data(), r::RangeNo), 1) << "the range exists on CH2: kept";
    EXPECT_EQ(r::getF64(rec.data(), r::Frequency), 1e6);
    EXPECT_EQ(r::getF64(rec.data(), r::FrequencyMax), 1e6);
    EXPECT_EQ(r::getF64(rec.data(), r::AmplitudeMax), 0.5);

    struct FreqCase {
        double f;
        int16_t result;
        double expected;
    } freqs[] = {
        {500.0, -1, 500.0},
        {5e6, -1, 1e6},
        {1e-9, -1, 0.01},
        {0.0, 0, 0.01},
        {-3.0, 0, 0.01},
        {std::numeric_limits<double>::quiet_NaN(), 0, 0.01},
        {std::numeric_limits<double>::infinity(), 0, 0.01},
    };
    for (const FreqCase& c : freqs) {
        EXPECT_EQ(SysChangeFrequency(2, 1, c.f, rec.data()), c.result) << c.f;
        // A refused value leaves the frequency before it (0.01 Hz).
        EXPECT_EQ(r::getF64(rec.data(), r::Frequency), c.expected) << c.f;
        EXPECT_DOUBLE_EQ(r::getF64(rec.data(), r::Period),
                         1.0 / r::getF64(rec.data(), r::Frequency));
    }

    ASSERT_EQ(SysChangeRange(2, 1, 0, rec.data()), -1);
    EXPECT_EQ(r::getF64(rec.data(), r::AmplitudeMax), 5.0);
    EXPECT_EQ(SysChangeAmplitude(2, 1, 0, 7.0, rec.data()), -1);
    EXPECT_EQ(r::getF64(rec.data(), r::Amplitude), 5.0);
    EXPECT_EQ(SysChangeOffset(2, 1, 0, -1.25, rec.data()), -1);
    EXPECT_EQ(r::getF64(rec.data(), r::Offset), -1.25);
    // Range 1 is smaller: amplitude and offset follow its limits.
    ASSERT_EQ(SysChangeRange(2, 1, 1, rec.data()), -1);
    EXPECT_EQ(r::getF64(rec.data(), r::Amplitude), 0.5);
    EXPECT_EQ(r::getF64(rec.data(), r::Offset), -0.25);
    EXPECT_EQ(SysChangeAmplitude(2, 1, 1, std::nan(""), rec.data()), 0);

    // A model without an offset setting refuses every offset.
    Record plain{};
    SysGetInitDeviceInfo(3, plain.data()); // AWG-2201
    EXPECT_EQ(SysChangeOffset(3, 0, 0, 0.0, plain.data()), 0);
    EXPECT_EQ(r::getF64(plain.data(), r::OffsetMax), 0.0);
}

TEST(Sysinf32, FrequencyCheckWarnsAboveTheSampleRateInBothLanguages) {
    ASSERT_EQ(initShipped(), 0);
    Record rec{};
    SysGetInitDeviceInfo(1, rec.data()); // AWG-1101: 100 MSa/s, 4096 points
    char text[512];
    // 4096 x 24414 = 99,999,744: not above the rate.
    std::memset(text, 'x', sizeof text);
    EXPECT_EQ(SysCheckFrequency(1, 0, 1, 24414.0, text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(SysCheckFrequency(1, 0, 1, 100e6 / 4096, text), 0) << "exactly the rate";
    EXPECT_NE(SysCheckFrequency(1, 0, 1, 24415.0, text), 0);
    const std::string english = text;
    EXPECT_NE(english.find("100 MSa/s"), std::string::npos) << english;
    EXPECT_NE(english.find("Set this frequency?"), std::string::npos) << english;
    EXPECT_NE(SysCheckFrequency(1, 0, 0, 24415.0, text), 0);
    const QString japanese = QString::fromUtf8(text);
    EXPECT_TRUE(japanese.contains(QStringLiteral(u"最大サンプルレート"))) << str(japanese);
    EXPECT_TRUE(japanese.contains(QStringLiteral("100 MSa/s")));

    // The check follows the point count of the last record seen.
    ASSERT_EQ(SysChangeMemorySize(1, 0, rec.data()), -1); // 1024 points
    EXPECT_EQ(SysCheckFrequency(1, 0, 1, 24415.0, text), 0);
    EXPECT_NE(SysCheckFrequency(1, 0, 1, 97657.0, text), 0);

    EXPECT_EQ(SysCheckFrequency(1, 5, 1, 1e9, text), 0) << "bad channel";
    EXPECT_EQ(SysCheckFrequency(1, 0, 1, std::nan(""), text), 0);
    EXPECT_EQ(SysCheckFrequency(1, 0, 1, 1e9, nullptr), 1) << "no buffer: result only";
}
