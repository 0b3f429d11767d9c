#pragma once
// The model information file (TOML): one [[model]] table per instrument model,
// in list order. readModelFile() checks every value and reports the first
// fault with its file name and source line; the model-information entry
// points (sysinf32) serve the checked models.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velda::engine {

// Status codes of the model information, as the entry points report them.
enum ModelFileStatus : int32_t {
    ModelFileOk = 0,
    ModelFileBadValue = -1,
    ModelFileSyntax = -2,
    ModelFileNoMemory = -10,
    ModelFileUnreadable = -20,
    ModelFileMissing = -30,
};

// Limits of the file layout. Model numbers travel in one byte of the packed
// set-up record, so at most 256 models.
constexpr size_t MaxModels = 256;
constexpr size_t MaxListEntries = 64; // memory sizes, channels, ranges
constexpr size_t ScriptTables = 4;
constexpr size_t ScriptRows = 50;
constexpr size_t ScriptKeyWidth = 8;
constexpr size_t ScriptTextWidth = 64;
constexpr size_t NameWidth = 20;      // list entries
constexpr size_t ModelNameWidth = 16; // the record's model name
constexpr int32_t MinPoints = 2;
constexpr int32_t MaxPoints = 65536;

enum class ModelKind { PowerSource, Oscillator };

struct Limits {
    double min = 0;
    double max = 0;
    double initial = 0;
};

struct RangeEntry {
    std::string name;
    Limits amplitude; // peak-to-peak (power source: level), V
    Limits offset;    // V; all zero when the range has no offset
};

struct ChannelEntry {
    std::string name;
    Limits frequency; // the model's limits unless the channel gives its own
    int16_t rangeInitial = 0;
    std::vector<RangeEntry> ranges;
};

struct ScriptRow {
    std::string key;
    std::string text;
};

struct ModelEntry {
    std::string name;
    ModelKind kind = ModelKind::Oscillator;
    int32_t interfaceMask = 0;
    int16_t addressMin = 0, addressMax = 0, addressInitial = 0;
    std::vector<std::string> memorySizeNames;
    std::vector<int32_t> memorySizes; // point count held by each name
    int16_t memorySizeInitial = 0;
    bool memoryNoUsed = false;
    int16_t memoryNoMin = 0, memoryNoMax = 0, memoryNoInitial = 0;
    bool memoryNameUsed = false;
    std::string memoryNameInitial;
    bool channelUsed = false;
    int16_t channelInitial = 0;
    int16_t offsetSettable = 0; // 0 none, 1 level and switch, 2 switch only
    double maxSampleRate = 0;   // points per second
    std::string defaultArbSend;
    int32_t word108 = 0, word116 = 0;
    int16_t word112 = 0, word114 = 0, word308 = 0, word326 = 0;
    double real160 = 0, real176 = 0, real184 = 0, real192 = 0, real224 = 0, real256 = 0;
    std::vector<ChannelEntry> channels;
    std::array<std::vector<ScriptRow>, ScriptTables> scripts; // main, final, setup, wave
};

struct ModelFile {
    int32_t status = ModelFileOk;
    std::string fileName; // as given to the reader
    int32_t line = 0;     // source line of the fault, 0 when none
    std::string detail;   // what was wrong (for logs and tests)
    std::vector<ModelEntry> models;
};

// Reads and checks a model file: missing file -30, unreadable -20, TOML
// syntax -2 (line of the syntax error), a bad value -1 (line of the value,
// or of its table when a key is missing), out of memory -10.
ModelFile readModelFile(const std::string& path);
// The same on text already in memory.
ModelFile parseModelText(std::string_view text, const std::string& fileName);

} // namespace velda::engine
