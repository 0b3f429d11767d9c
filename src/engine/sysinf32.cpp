#include "engine/sysinf32.h"

#include "engine/DeviceRecord.h"
#include "engine/ModelFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

namespace velda::engine {
namespace {

namespace r = rec;

constexpr size_t TextBufferSize = 512;

// The module's own data, like the data segment of a loaded library: the
// checked models of the last SysInitDeviceInfo and where it failed.
struct Library {
    std::string path = "models.toml";
    std::vector<ModelEntry> models;
    // Point count of the last record seen per model; the frequency check has
    // no record of its own to read it from.
    std::vector<int32_t> points;
    int32_t errorLine = 0;
    std::string errorFile;
};

Library& lib() {
    static Library l;
    return l;
}

const ModelEntry* modelAt(int model) {
    const auto& m = lib().models;
    return model >= 0 && static_cast<size_t>(model) < m.size() ? &m[static_cast<size_t>(model)]
                                                               : nullptr;
}
const ChannelEntry* channelAt(const ModelEntry* m, int channel) {
    return m && channel >= 0 && static_cast<size_t>(channel) < m->channels.size()
               ? &m->channels[static_cast<size_t>(channel)]
               : nullptr;
}
const RangeEntry* rangeAt(const ChannelEntry* c, int range) {
    return c && range >= 0 && static_cast<size_t>(range) < c->ranges.size()
               ? &c->ranges[static_cast<size_t>(range)]
               : nullptr;
}

int16_t clampIndex(int v, size_t count) {
    return static_cast<int16_t>(std::clamp(v, 0, static_cast<int>(count) - 1));
}

// A value fitted into limits; something that is not a number takes the
// initial value.
double fit(double v, const Limits& l) {
    if (!std::isfinite(v))
        return l.initial;
    return std::clamp(v, l.min, l.max);
}

void putName(char* name20, std::string_view text) {
    if (name20)
        r::putFixedBytes(reinterpret_cast<uint8_t*>(name20), NameWidth, text);
}

void putCString(char* buffer, std::string_view text) {
    if (!buffer)
        return;
    const size_t n = r::fittingLength(text, TextBufferSize - 1);
    if (n > 0) // an empty view may have no data at all
        std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

void remember(int16_t model, const uint8_t* record) {
    const int32_t n = r::getI32(record, r::MemorySize);
    if (n >= MinPoints && n <= MaxPoints)
        lib().points[static_cast<size_t>(model)] = n;
}

// The model's fixed values.
void putFixed(const ModelEntry& m, int16_t model, uint8_t* rec) {
    r::putFixedBytes(rec + r::ModelName, r::ModelNameWidth, m.name);
    r::putI16(rec, r::ModelNo, model);
    r::putI16(rec, r::GpibAddressMin, m.addressMin);
    r::putI16(rec, r::GpibAddressMax, m.addressMax);
    r::putFixedBytes(rec + r::DefaultArbSend, r::DefaultArbSendWidth, m.defaultArbSend);
    r::putI32(rec, r::ModelWord108, m.word108);
    r::putI16(rec, r::ModelWord112, m.word112);
    r::putI16(rec, r::ModelWord114, m.word114);
    r::putI32(rec, r::ModelWord116, m.word116);
    r::putI16(rec, r::MemoryNoUsed, m.memoryNoUsed ? 1 : 0);
    r::putI16(rec, r::MemoryNoMin, m.memoryNoMin);
    r::putI16(rec, r::MemoryNoMax, m.memoryNoMax);
    r::putI16(rec, r::MemoryNameUsed, m.memoryNameUsed ? 1 : 0);
    r::putI16(rec, r::ChannelUsed, m.channelUsed ? 1 : 0);
    r::putF64(rec, r::ModelReal160, m.real160);
    r::putF64(rec, r::ModelReal176, m.real176);
    r::putF64(rec, r::ModelReal184, m.real184);
    r::putF64(rec, r::ModelReal192, m.real192);
    r::putF64(rec, r::ModelReal224, m.real224);
    r::putF64(rec, r::ModelReal256, m.real256);
    r::putI16(rec, r::OffsetSettable, m.offsetSettable);
    r::putI16(rec, r::ModelWord308, m.word308);
    r::putI16(rec, r::ModelWord326, m.word326);
}

void putFrequency(const ChannelEntry& c, double f, uint8_t* rec) {
    r::putF64(rec, r::FrequencyMin, c.frequency.min);
    r::putF64(rec, r::FrequencyMax, c.frequency.max);
    r::putF64(rec, r::Frequency, f);
    r::putF64(rec, r::Period, 1.0 / f); // f >= FrequencyMin > 0
}

// Range limits, with the amplitude and offset fitted into them.
void putRange(const RangeEntry& rg, uint8_t* rec) {
    r::putF64(rec, r::AmplitudeMin, rg.amplitude.min);
    r::putF64(rec, r::AmplitudeMax, rg.amplitude.max);
    r::putF64(rec, r::OffsetMin, rg.offset.min);
    r::putF64(rec, r::OffsetMax, rg.offset.max);
    r::putF64(rec, r::Amplitude, fit(r::getF64(rec, r::Amplitude), rg.amplitude));
    r::putF64(rec, r::Offset, fit(r::getF64(rec, r::Offset), rg.offset));
}

void putMemorySize(const ModelEntry& m, int16_t choice, uint8_t* rec) {
    r::putI16(rec, r::MemorySizeNo, choice);
    r::putI32(rec, r::MemorySize, m.memorySizes[static_cast<size_t>(choice)]);
}

std::string engineering(double v) {
    static constexpr const char* prefixes[] = {"", "k", "M", "G", "T", "P"};
    int i = 0;
    while (std::fabs(v) >= 1000.0 && i < 5) {
        v /= 1000.0;
        ++i;
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g %s", v, prefixes[i]);
    return buf;
}

} // namespace
} // namespace velda::engine

using namespace velda::engine;

void SysSetModelFile(const char* path) {
    lib().path = path ? path : "models.toml";
}

int32_t SysInitDeviceInfo() {
    Library& l = lib();
    l.models.clear();
    l.points.clear();
    l.errorLine = 0;
    l.errorFile.clear();
    try {
        ModelFile f = readModelFile(l.path);
        if (f.status != ModelFileOk) {
            l.errorLine = f.line;
            l.errorFile = f.fileName;
            return f.status;
        }
        l.models = std::move(f.models);
        for (const ModelEntry& m : l.models)
            l.points.push_back(m.memorySizes[static_cast<size_t>(m.memorySizeInitial)]);
    } catch (const std::bad_alloc&) {
        l.models.clear();
        l.points.clear();
        l.errorFile = l.path;
        return ModelFileNoMemory;
    }
    return ModelFileOk;
}

int32_t SysGetSysErrorLineNo() {
    return lib().errorLine;
}

int32_t SysGetSysErrorFileName(char* buffer512) {
    putCString(buffer512, lib().errorFile);
    return buffer512 ? static_cast<int32_t>(std::strlen(buffer512)) : 0;
}

int32_t SysGetDeviceCnt() {
    return static_cast<int32_t>(lib().models.size());
}

int32_t SysGetDeviceName(int16_t model, char* name20) {
    const ModelEntry* m = modelAt(model);
    putName(name20, m ? std::string_view(m->name) : std::string_view());
    return m && name20 ? 1 : 0;
}

int32_t SysGetDeviceInfo(int16_t model, uint8_t* rec) {
    const ModelEntry* m = modelAt(model);
    if (!m || !rec)
        return 0;
    putFixed(*m, model, rec);

    int16_t address = r::getI16(rec, r::GpibAddress);
    if (address < m->addressMin || address > m->addressMax)
        address = m->addressInitial;
    r::putI16(rec, r::GpibAddress, address);

    putMemorySize(*m, clampIndex(r::getI16(rec, r::MemorySizeNo), m->memorySizes.size()), rec);
    const int16_t memoryNo =
        m->memoryNoUsed ? std::clamp(r::getI16(rec, r::MemoryNo), m->memoryNoMin, m->memoryNoMax)
                        : m->memoryNoInitial;
    r::putI16(rec, r::MemoryNo, memoryNo);
    // A blank memory name is no name: a model that takes one would be sent
    // its script's name token in its place.
    const uint8_t* name = rec + r::MemoryName;
    if (m->memoryNameUsed &&
        std::all_of(name, name + r::MemoryNameWidth, [](uint8_t c) { return c == ' ' || c == 0; }))
        r::putFixedBytes(rec + r::MemoryName, r::MemoryNameWidth, m->memoryNameInitial);

    const int16_t ch = clampIndex(r::getI16(rec, r::ChannelNo), m->channels.size());
    const ChannelEntry& c = m->channels[static_cast<size_t>(ch)];
    const int16_t rg = clampIndex(r::getI16(rec, r::RangeNo), c.ranges.size());
    r::putI16(rec, r::ChannelNo, ch);
    r::putI16(rec, r::RangeNo, rg);
    const double f = r::getF64(rec, r::Frequency);
    putFrequency(c, f > 0 ? fit(f, c.frequency) : c.frequency.initial, rec);
    putRange(c.ranges[static_cast<size_t>(rg)], rec);
    remember(model, rec);
    return -1;
}

int32_t SysGetInitDeviceInfo(int16_t model, uint8_t* rec) {
    const ModelEntry* m = modelAt(model);
    if (!m || !rec)
        return 0;
    putFixed(*m, model, rec);
    r::putI16(rec, r::GpibAddress, m->addressInitial);
    putMemorySize(*m, m->memorySizeInitial, rec);
    r::putI16(rec, r::MemoryNo, m->memoryNoInitial);
    r::putFixedBytes(rec + r::MemoryName, r::MemoryNameWidth, m->memoryNameInitial);
    const ChannelEntry& c = m->channels[static_cast<size_t>(m->channelInitial)];
    const RangeEntry& rg = c.ranges[static_cast<size_t>(c.rangeInitial)];
    r::putI16(rec, r::ChannelNo, m->channelInitial);
    r::putI16(rec, r::RangeNo, c.rangeInitial);
    putFrequency(c, c.frequency.initial, rec);
    r::putF64(rec, r::Amplitude, rg.amplitude.initial);
    r::putF64(rec, r::Offset, rg.offset.initial);
    putRange(rg, rec);
    remember(model, rec);
    return -1;
}

int32_t SysGetGPIBInfo(int16_t model, int32_t item, uint8_t* table) {
    if (!table)
        return 0;
    std::memset(table, ' ', ScriptRows * (ScriptKeyWidth + ScriptTextWidth));
    const ModelEntry* m = modelAt(model);
    if (!m || item < 0 || static_cast<size_t>(item) >= ScriptTables)
        return 0;
    const auto& rows = m->scripts[static_cast<size_t>(item)];
    uint8_t* texts = table + ScriptRows * ScriptKeyWidth;
    for (size_t i = 0; i < rows.size() && i < ScriptRows; ++i) {
        r::putFixedBytes(table + i * ScriptKeyWidth, ScriptKeyWidth, rows[i].key);
        r::putFixedBytes(texts + i * ScriptTextWidth, ScriptTextWidth, rows[i].text);
    }
    return static_cast<int32_t>(std::min(rows.size(), ScriptRows));
}

int32_t SysGetInterfaceInfo(int16_t model) {
    const ModelEntry* m = modelAt(model);
    return m ? m->interfaceMask : 0;
}

int16_t SysChangeInterface(int16_t model, int32_t kind, uint8_t* rec) {
    const ModelEntry* m = modelAt(model);
    if (!m || !rec)
        return 0;
    // The instrument's own ports decide NI GPIB, KI GPIB and USB(TMC). A
    // USB488 adapter and the simulated bus work with any model.
    bool allowed = false;
    switch (kind) {
    case 0:
        allowed = (m->interfaceMask & 0x5) != 0;
        break;
    case 1:
        allowed = (m->interfaceMask & 0x2) != 0;
        break;
    case 3:
        allowed = (m->interfaceMask & 0x8) != 0;
        break;
    case 2:
    case 4:
        allowed = true;
        break;
    default:
        break;
    }
    if (!allowed)
        return 0;
    // An address outside the model's limits (the dialog passes -1 to ask for
    // another one) becomes the model's initial address. USB(TMC) has no bus
    // address, so the record's address is left as it is.
    if (kind != 3) {
        const int16_t a = r::getI16(rec, r::GpibAddress);
        if (a < m->addressMin || a > m->addressMax)
            r::putI16(rec, r::GpibAddress, m->addressInitial);
    }
    remember(model, rec);
    return -1;
}

int32_t SysGetMemorySizeCnt(int16_t model) {
    const ModelEntry* m = modelAt(model);
    return m ? static_cast<int32_t>(m->memorySizes.size()) : 0;
}

int32_t SysGetMemorySizeName(int16_t model, int32_t choice, char* name20) {
    const ModelEntry* m = modelAt(model);
    const bool ok = m && choice >= 0 && static_cast<size_t>(choice) < m->memorySizes.size();
    putName(name20, ok ? std::string_view(m->memorySizeNames[static_cast<size_t>(choice)])
                       : std::string_view());
    return ok && name20 ? 1 : 0;
}

int16_t SysChangeMemorySize(int16_t model, int32_t choice, uint8_t* rec) {
    const ModelEntry* m = modelAt(model);
    if (!m || !rec || choice < 0 || static_cast<size_t>(choice) >= m->memorySizes.size())
        return 0;
    putMemorySize(*m, static_cast<int16_t>(choice), rec);
    remember(model, rec);
    return -1;
}

int32_t SysGetChannelCnt(int16_t model) {
    const ModelEntry* m = modelAt(model);
    return m ? static_cast<int32_t>(m->channels.size()) : 0;
}

int32_t SysGetChannelName(int16_t model, int32_t channel, char* name20) {
    const ChannelEntry* c =
        channel <= INT16_MAX ? channelAt(modelAt(model), static_cast<int>(channel)) : nullptr;
    putName(name20, c ? std::string_view(c->name) : std::string_view());
    return c && name20 ? 1 : 0;
}

int16_t SysChangeChannel(int16_t model, int16_t channel, uint8_t* rec) {
    const ChannelEntry* c = channelAt(modelAt(model), channel);
    if (!c || !rec)
        return 0;
    // The range is kept when the new channel has it, else the channel's
    // initial range; frequency, amplitude and offset are fitted into the new
    // channel's limits.
    int16_t rg = r::getI16(rec, r::RangeNo);
    if (!rangeAt(c, rg))
        rg = c->rangeInitial;
    r::putI16(rec, r::ChannelNo, channel);
    r::putI16(rec, r::RangeNo, rg);
    const double f = r::getF64(rec, r::Frequency);
    putFrequency(*c, f > 0 ? fit(f, c->frequency) : c->frequency.initial, rec);
    putRange(c->ranges[static_cast<size_t>(rg)], rec);
    remember(model, rec);
    return -1;
}

int32_t SysGetRangeCnt(int16_t model, int16_t channel) {
    const ChannelEntry* c = channelAt(modelAt(model), channel);
    return c ? static_cast<int32_t>(c->ranges.size()) : 0;
}

int32_t SysGetRangeName(int16_t model, int16_t channel, int32_t range, char* name20) {
    const RangeEntry* rg =
        range <= INT16_MAX ? rangeAt(channelAt(modelAt(model), channel), static_cast<int>(range))
                           : nullptr;
    putName(name20, rg ? std::string_view(rg->name) : std::string_view());
    return rg && name20 ? 1 : 0;
}

int16_t SysChangeRange(int16_t model, int16_t channel, int16_t range, uint8_t* rec) {
    const RangeEntry* rg = rangeAt(channelAt(modelAt(model), channel), range);
    if (!rg || !rec)
        return 0;
    r::putI16(rec, r::RangeNo, range);
    putRange(*rg, rec);
    remember(model, rec);
    return -1;
}

int32_t SysCheckFrequency(int16_t model, int16_t channel, int16_t english, double frequency,
                          char* text512) {
    putCString(text512, {});
    const ModelEntry* m = modelAt(model);
    if (!channelAt(m, channel) || !std::isfinite(frequency) || frequency <= 0)
        return 0;
    const int32_t points = lib().points[static_cast<size_t>(model)];
    const double rate = frequency * points;
    if (!(rate > m->maxSampleRate))
        return 0;
    const std::string have = engineering(rate) + "Sa/s";
    const std::string most = engineering(m->maxSampleRate) + "Sa/s";
    const std::string text =
        english ? "Frequency x points (" + have + ") exceeds the maximum sample rate of this " +
                      "model (" + most + ").\rThe waveform may not be output correctly. " +
                      "Set this frequency?"
                : "周波数 x ポイント数 (" + have + ") がこの機種の最大サンプルレート (" + most +
                      ") を超えています。\r波形が正しく出力されない可能性があります。" +
                      "この周波数を設定しますか？";
    putCString(text512, text);
    return 1;
}

int16_t SysChangeFrequency(int16_t model, int16_t channel, double frequency, uint8_t* rec) {
    const ChannelEntry* c = channelAt(modelAt(model), channel);
    // Not a number, zero or negative: refused. A frequency outside the limits
    // is set to the nearest limit, as the instrument itself would do.
    if (!c || !rec || !std::isfinite(frequency) || frequency <= 0)
        return 0;
    putFrequency(*c, std::clamp(frequency, c->frequency.min, c->frequency.max), rec);
    remember(model, rec);
    return -1;
}

int16_t SysChangeAmplitude(int16_t model, int16_t channel, int16_t range, double amplitude,
                           uint8_t* rec) {
    const RangeEntry* rg = rangeAt(channelAt(modelAt(model), channel), range);
    if (!rg || !rec || !std::isfinite(amplitude))
        return 0;
    r::putF64(rec, r::Amplitude, std::clamp(amplitude, rg->amplitude.min, rg->amplitude.max));
    r::putF64(rec, r::AmplitudeMin, rg->amplitude.min);
    r::putF64(rec, r::AmplitudeMax, rg->amplitude.max);
    remember(model, rec);
    return -1;
}

int16_t SysChangeOffset(int16_t model, int16_t channel, int16_t range, double offset,
                        uint8_t* rec) {
    const ModelEntry* m = modelAt(model);
    const RangeEntry* rg = rangeAt(channelAt(m, channel), range);
    // A model without an offset setting refuses every offset.
    if (!rg || !rec || !std::isfinite(offset) || m->offsetSettable == 0)
        return 0;
    r::putF64(rec, r::Offset, std::clamp(offset, rg->offset.min, rg->offset.max));
    r::putF64(rec, r::OffsetMin, rg->offset.min);
    r::putF64(rec, r::OffsetMax, rg->offset.max);
    remember(model, rec);
    return -1;
}
