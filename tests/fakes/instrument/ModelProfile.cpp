#include "ModelProfile.h"

#include "engine/ModelFile.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

namespace velda::test {

namespace {

std::string strip(const std::string& s) {
    auto blank = [](unsigned char c) { return c <= ' ' || c == 127; };
    std::size_t b = 0, e = s.size();
    while (b < e && blank(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && blank(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

std::string unquote(std::string s) {
    auto quote = [](char c) { return c == '\'' || c == '"'; };
    if (!s.empty() && quote(s.front()))
        s.erase(0, 1);
    if (!s.empty() && quote(s.back()))
        s.pop_back();
    return s;
}

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::uint32_t readMask(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        return static_cast<std::uint32_t>(std::strtoul(text.c_str() + 2, nullptr, 16));
    return static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

} // namespace

std::string ShippedModelFile() {
    return VELDA_SOURCE_DIR "/data/models.toml";
}

std::string BlockGeneratorModel(const std::string& name, int points, const std::string& mask) {
    return R"(
[[model]]
name = ")" +
           name + R"("
kind = "oscillator"
interface_mask = 0x8
gpib_address = { min = 0, max = 30, initial = 1 }
memory_sizes = [")" +
           std::to_string(points) + R"("]
memory_number = { used = false }
memory_name = { used = true, initial = "VELDA1" }
frequency = { min = 0.001, max = 1e6, initial = 1000 }
max_sample_rate = 250e6
offset_settable = 1
[[model.channel]]
name = "CH1"
[[model.channel.range]]
name = "10 Vp-p"
amplitude = { min = 0.001, max = 10, initial = 1 }
offset = { min = -5, max = 5, initial = 0 }
[model.script]
main = [
    ["model", '*IDN?,8,)" +
           std::to_string(name.size()) + "," + name + R"('],
    ["getsts", '*ESR?'],
    ["geterr", ':SYST:ERR?'],
    ["errmask", '60'],
]
final = [["outon", ':OUTP ON'], ["outoff", ':OUTP OFF']]
setup = [["freq", ':FREQ,0.000'], ["amp", ':VOLT,0.0000'], ["offset", ':VOLT:OFFS,0.0000']]
wave = [
    ["arbmask", ')" +
           mask + R"('],
    ["arbfmt", ':FORM:BORD SWAP'],
    ["arbname", ',12'],
    ["arbsend", ':DATA:ARB _$Name 0x2C _$Block'],
    ["arbfunc", ':FUNC ARB;:FUNC:ARB _$Name'],
]
)";
}

bool WriteModelFileWith(const std::string& path, const std::string& extra) {
    std::ifstream in(ShippedModelFile(), std::ios::binary);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << in.rdbuf() << extra;
    return in.good() && out.good();
}

std::vector<std::string> ModelNames(const std::string& modelFile) {
    engine::ModelFile file = engine::readModelFile(modelFile);
    std::vector<std::string> names;
    if (file.status != engine::ModelFileOk)
        return names;
    for (const auto& m : file.models)
        names.push_back(m.name);
    return names;
}

std::vector<std::string> ScriptColumns(const std::string& text) {
    std::vector<std::string> columns;
    std::string piece;
    char quote = 0;
    for (char c : unquote(strip(text))) {
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == ',') {
            columns.push_back(unquote(strip(piece)));
            piece.clear();
            continue;
        }
        piece += c;
    }
    columns.push_back(unquote(strip(piece)));
    return columns;
}

bool LoadModelProfile(const std::string& model, ModelProfile* profile, std::string* error,
                      const std::string& modelFile) {
    engine::ModelFile file = engine::readModelFile(modelFile);
    if (file.status != engine::ModelFileOk) {
        *error = "cannot read " + modelFile + ": " + file.detail;
        return false;
    }
    auto it = std::find_if(file.models.begin(), file.models.end(),
                           [&](const engine::ModelEntry& m) { return m.name == model; });
    if (it == file.models.end()) {
        *error = "no model " + model + " in " + modelFile;
        return false;
    }
    ModelProfile p;
    p.name = it->name;
    p.powerSource = it->kind == engine::ModelKind::PowerSource;
    // A later row with the same key replaces an earlier one, as in the program.
    for (const engine::ScriptRow& row : it->scripts[0]) {
        const std::string key = lower(strip(row.key));
        std::vector<std::string> col = ScriptColumns(row.text);
        col.resize(4);
        if (key == "model") {
            p.modelQuery = col[0];
            p.modelStart = std::atoi(col[1].c_str());
            p.modelLength = std::atoi(col[2].c_str());
            p.modelText = col[3];
        } else if (key == "getsts") {
            p.statusQuery = col[0];
        } else if (key == "geterr") {
            p.errorQuery = col[0];
        } else if (key == "errmask") {
            p.errorMask = readMask(col[0]);
        }
    }
    if (p.modelQuery.empty()) {
        *error = "model " + model + " has no model query";
        return false;
    }
    *profile = p;
    return true;
}

std::string IdentityReply(int start, const std::string& text) {
    std::string reply;
    if (start > 1) {
        std::string maker = "VELDAT";
        maker.resize(static_cast<std::size_t>(start - 2), 'X');
        reply = maker + ",";
    }
    return reply + text + ",SN001,1.00";
}

} // namespace velda::test
