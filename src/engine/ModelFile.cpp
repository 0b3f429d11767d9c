#include "engine/ModelFile.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <new>
#include <optional>
#include <toml++/toml.h>

namespace velda::engine {
namespace {

// Records the first fault found; every check returns false once it failed so
// the walk stops at that fault.
struct Ctx {
    ModelFile& out;

    bool fail(const toml::source_region& where, std::string what) {
        if (out.status == ModelFileOk) {
            out.status = ModelFileBadValue;
            out.line = static_cast<int32_t>(where.begin.line);
            out.detail = std::move(what);
        }
        return false;
    }
};

std::string quoted(std::string_view key) {
    std::string q;
    q.reserve(key.size() + 2);
    q.push_back('\'');
    q.append(key);
    q.push_back('\'');
    return q;
}

bool onlyKeys(Ctx& c, const toml::table& t, std::initializer_list<std::string_view> allowed) {
    for (auto&& [k, v] : t) {
        (void)v;
        if (std::find(allowed.begin(), allowed.end(), k.str()) == allowed.end())
            return c.fail(k.source(), "unknown key " + quoted(k.str()));
    }
    return true;
}

// The node of a key; a missing required key is a fault on the table's line.
const toml::node* find(Ctx& c, const toml::table& t, std::string_view key, bool required) {
    const toml::node* n = t.get(key);
    if (!n && required)
        c.fail(t.source(), "missing key " + quoted(key));
    return n;
}

// Texts must not carry control characters: a NUL would cut a name short on the
// program side, a line break would split a command line.
bool cleanText(std::string_view s) {
    return std::none_of(s.begin(), s.end(), [](char ch) {
        const auto u = static_cast<unsigned char>(ch);
        return u < 0x20 || u == 0x7F;
    });
}

bool isBlank(std::string_view s) {
    return s.find_first_not_of(' ') == std::string_view::npos;
}

bool readText(Ctx& c, const toml::table& t, std::string_view key, size_t maxBytes, bool nonBlank,
              std::string& out, std::optional<std::string> def = std::nullopt) {
    const toml::node* n = find(c, t, key, !def);
    if (!n) {
        if (def)
            out = *def;
        return !!def;
    }
    const auto* s = n->as_string();
    if (!s)
        return c.fail(n->source(), quoted(key) + " must be a text");
    const std::string& v = s->get();
    if (v.size() > maxBytes)
        return c.fail(n->source(),
                      quoted(key) + " is longer than " + std::to_string(maxBytes) + " bytes");
    if (!cleanText(v))
        return c.fail(n->source(), quoted(key) + " holds a control character");
    if (nonBlank && isBlank(v))
        return c.fail(n->source(), quoted(key) + " must not be empty");
    out = v;
    return true;
}

template <typename Int>
bool readInt(Ctx& c, const toml::table& t, std::string_view key, int64_t lo, int64_t hi, Int& out,
             std::optional<int64_t> def = std::nullopt) {
    const toml::node* n = find(c, t, key, !def);
    if (!n) {
        if (def)
            out = static_cast<Int>(*def);
        return !!def;
    }
    const auto* i = n->as_integer();
    if (!i)
        return c.fail(n->source(), quoted(key) + " must be a whole number");
    const int64_t v = i->get();
    if (v < lo || v > hi)
        return c.fail(n->source(), quoted(key) + " must lie in " + std::to_string(lo) + ".." +
                                       std::to_string(hi));
    out = static_cast<Int>(v);
    return true;
}

bool readNumber(Ctx& c, const toml::table& t, std::string_view key, double& out,
                std::optional<double> def = std::nullopt) {
    const toml::node* n = find(c, t, key, !def);
    if (!n) {
        if (def)
            out = *def;
        return !!def;
    }
    double v = 0;
    if (const auto* i = n->as_integer())
        v = static_cast<double>(i->get());
    else if (const auto* f = n->as_floating_point())
        v = f->get();
    else
        return c.fail(n->source(), quoted(key) + " must be a number");
    if (!std::isfinite(v))
        return c.fail(n->source(), quoted(key) + " must be finite");
    out = v;
    return true;
}

bool readBool(Ctx& c, const toml::table& t, std::string_view key, bool& out,
              std::optional<bool> def = std::nullopt) {
    const toml::node* n = find(c, t, key, !def);
    if (!n) {
        if (def)
            out = *def;
        return !!def;
    }
    const auto* b = n->as_boolean();
    if (!b)
        return c.fail(n->source(), quoted(key) + " must be true or false");
    out = b->get();
    return true;
}

const toml::table* subTable(Ctx& c, const toml::table& t, std::string_view key, bool required) {
    const toml::node* n = find(c, t, key, required);
    if (!n)
        return nullptr;
    const toml::table* s = n->as_table();
    if (!s)
        c.fail(n->source(), quoted(key) + " must be a table");
    return s;
}

const toml::array* subArray(Ctx& c, const toml::table& t, std::string_view key, bool required) {
    const toml::node* n = find(c, t, key, required);
    if (!n)
        return nullptr;
    const toml::array* a = n->as_array();
    if (!a)
        c.fail(n->source(), quoted(key) + " must be a list");
    return a;
}

// { min = , max = , initial = } with min <= initial <= max.
bool readLimits(Ctx& c, const toml::table& t, std::string_view key, Limits& out, bool required,
                Limits def = {}) {
    if (!t.get(key) && !required) {
        out = def;
        return true;
    }
    const toml::table* s = subTable(c, t, key, true);
    if (!s || !onlyKeys(c, *s, {"min", "max", "initial"}))
        return false;
    if (!readNumber(c, *s, "min", out.min) || !readNumber(c, *s, "max", out.max) ||
        !readNumber(c, *s, "initial", out.initial))
        return false;
    if (out.min > out.max)
        return c.fail(s->source(), quoted(key) + ": min is above max");
    if (out.initial < out.min || out.initial > out.max)
        return c.fail(s->source(), quoted(key) + ": initial lies outside min..max");
    return true;
}

// A list of tables ([[...]] or an inline list of inline tables).
template <typename Fn>
bool eachTable(Ctx& c, const toml::array& a, std::string_view key, size_t maxCount, Fn&& fn) {
    if (a.empty())
        return c.fail(a.source(), quoted(key) + " must not be empty");
    if (a.size() > maxCount)
        return c.fail(a.source(), "too many " + quoted(key) + " entries (at most " +
                                      std::to_string(maxCount) + ")");
    for (const toml::node& n : a) {
        const toml::table* t = n.as_table();
        if (!t)
            return c.fail(n.source(), quoted(key) + " entries must be tables");
        if (!fn(*t))
            return false;
    }
    return true;
}

bool readRange(Ctx& c, const toml::table& t, bool offsetSettable, RangeEntry& r) {
    if (!onlyKeys(c, t, {"name", "amplitude", "offset"}) ||
        !readText(c, t, "name", NameWidth, true, r.name) ||
        !readLimits(c, t, "amplitude", r.amplitude, true))
        return false;
    if (r.amplitude.min < 0)
        return c.fail(t.get("amplitude")->source(), "'amplitude' must not be negative");
    // The program takes a typed offset within these limits as set, so a model
    // without an offset setting must not offer any.
    if (!offsetSettable && t.get("offset"))
        return c.fail(t.get("offset")->source(),
                      "'offset' needs a model with 'offset_settable' 1 or 2");
    return readLimits(c, t, "offset", r.offset, false);
}

bool readChannel(Ctx& c, const toml::table& t, const Limits& modelFrequency, bool offsetSettable,
                 ChannelEntry& ch) {
    if (!onlyKeys(c, t, {"name", "frequency", "range_initial", "range"}) ||
        !readText(c, t, "name", NameWidth, true, ch.name) ||
        !readLimits(c, t, "frequency", ch.frequency, false, modelFrequency))
        return false;
    if (ch.frequency.min <= 0)
        return c.fail(t.source(), "'frequency' min must be above 0");
    const toml::array* ranges = subArray(c, t, "range", true);
    if (!ranges || !eachTable(c, *ranges, "range", MaxListEntries, [&](const toml::table& rt) {
            ch.ranges.emplace_back();
            return readRange(c, rt, offsetSettable, ch.ranges.back());
        }))
        return false;
    return readInt(c, t, "range_initial", 0, int64_t(ch.ranges.size()) - 1, ch.rangeInitial, 0);
}

bool readScript(Ctx& c, const toml::table& t, std::string_view key, std::vector<ScriptRow>& rows) {
    const toml::array* a = subArray(c, t, key, false);
    if (!a)
        return c.out.status == ModelFileOk;
    if (a->size() > ScriptRows)
        return c.fail(a->source(), quoted(key) + " has more than 50 rows");
    for (const toml::node& n : *a) {
        const toml::array* row = n.as_array();
        if (!row || row->size() != 2 || !(*row)[0].is_string() || !(*row)[1].is_string())
            return c.fail(n.source(), "a script row is [\"key\", \"text\"]");
        ScriptRow r{*(*row)[0].value<std::string>(), *(*row)[1].value<std::string>()};
        if (r.key.empty() || r.key.size() > ScriptKeyWidth || r.key.find(' ') != std::string::npos)
            return c.fail(n.source(), "a script key has 1 to 8 characters and no blank");
        if (r.text.size() > ScriptTextWidth)
            return c.fail(n.source(), "a script text has at most 64 bytes");
        if (!cleanText(r.key) || !cleanText(r.text))
            return c.fail(n.source(), "a script row holds a control character");
        rows.push_back(std::move(r));
    }
    return true;
}

// The whole number a memory-size name starts with ("16384", "16384 words").
int64_t leadingNumber(std::string_view s) {
    int64_t v = 0;
    size_t i = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9' && v <= MaxPoints; ++i)
        v = v * 10 + (s[i] - '0');
    return i == 0 ? -1 : v;
}

bool readMemory(Ctx& c, const toml::table& t, ModelEntry& m) {
    const toml::array* sizes = subArray(c, t, "memory_sizes", true);
    if (!sizes)
        return false;
    if (sizes->empty() || sizes->size() > MaxListEntries)
        return c.fail(sizes->source(), "'memory_sizes' holds 1 to 64 names");
    for (const toml::node& n : *sizes) {
        const auto* s = n.as_string();
        if (!s || s->get().size() > NameWidth || !cleanText(s->get()))
            return c.fail(n.source(), "a memory size is a name of up to 20 bytes");
        const int64_t points = leadingNumber(s->get());
        if (points < MinPoints || points > MaxPoints)
            return c.fail(n.source(), "a memory size name starts with its point count (2..65536)");
        m.memorySizeNames.push_back(s->get());
        m.memorySizes.push_back(static_cast<int32_t>(points));
    }
    if (!readInt(c, t, "memory_size_initial", 0, int64_t(m.memorySizes.size()) - 1,
                 m.memorySizeInitial, 0))
        return false;

    const toml::table* no = subTable(c, t, "memory_number", false);
    if (no) {
        if (!onlyKeys(c, *no, {"used", "min", "max", "initial"}) ||
            !readBool(c, *no, "used", m.memoryNoUsed))
            return false;
        const auto def = m.memoryNoUsed ? std::nullopt : std::optional<int64_t>(0);
        if (!readInt(c, *no, "min", 0, INT16_MAX, m.memoryNoMin, def) ||
            !readInt(c, *no, "max", 0, INT16_MAX, m.memoryNoMax, def) ||
            !readInt(c, *no, "initial", 0, INT16_MAX, m.memoryNoInitial, def))
            return false;
        if (m.memoryNoMin > m.memoryNoMax || m.memoryNoInitial < m.memoryNoMin ||
            m.memoryNoInitial > m.memoryNoMax)
            return c.fail(no->source(), "'memory_number' needs min <= initial <= max");
    } else if (c.out.status != ModelFileOk) {
        return false;
    }

    const toml::table* name = subTable(c, t, "memory_name", false);
    if (name) {
        if (!onlyKeys(c, *name, {"used", "initial"}) ||
            !readBool(c, *name, "used", m.memoryNameUsed) ||
            !readText(c, *name, "initial", 16, false, m.memoryNameInitial, std::string()))
            return false;
    } else if (c.out.status != ModelFileOk) {
        return false;
    }
    return true;
}

bool readWords(Ctx& c, const toml::table& t, ModelEntry& m) {
    const toml::table* w = subTable(c, t, "words", false);
    if (!w)
        return c.out.status == ModelFileOk;
    return onlyKeys(c, *w, {"w108", "w112", "w114", "w116", "w308", "w326"}) &&
           readInt(c, *w, "w108", INT32_MIN, INT32_MAX, m.word108, 0) &&
           readInt(c, *w, "w112", INT16_MIN, INT16_MAX, m.word112, 0) &&
           readInt(c, *w, "w114", INT16_MIN, INT16_MAX, m.word114, 0) &&
           readInt(c, *w, "w116", INT32_MIN, INT32_MAX, m.word116, 0) &&
           readInt(c, *w, "w308", INT16_MIN, INT16_MAX, m.word308, 0) &&
           readInt(c, *w, "w326", INT16_MIN, INT16_MAX, m.word326, 0);
}

bool readReals(Ctx& c, const toml::table& t, ModelEntry& m) {
    const toml::table* r = subTable(c, t, "reals", false);
    if (!r)
        return c.out.status == ModelFileOk;
    return onlyKeys(c, *r, {"r160", "r176", "r184", "r192", "r224", "r256"}) &&
           readNumber(c, *r, "r160", m.real160, 0.0) && readNumber(c, *r, "r176", m.real176, 0.0) &&
           readNumber(c, *r, "r184", m.real184, 0.0) && readNumber(c, *r, "r192", m.real192, 0.0) &&
           readNumber(c, *r, "r224", m.real224, 0.0) && readNumber(c, *r, "r256", m.real256, 0.0);
}

bool readModel(Ctx& c, const toml::table& t, size_t index, ModelEntry& m) {
    if (!onlyKeys(c, t,
                  {"name", "kind", "interface_mask", "gpib_address", "memory_sizes",
                   "memory_size_initial", "memory_number", "memory_name", "channel_used",
                   "channel_initial", "offset_settable", "frequency", "max_sample_rate",
                   "default_arb_send", "words", "reals", "channel", "script"}) ||
        !readText(c, t, "name", ModelNameWidth, true, m.name))
        return false;
    if (m.name.find(',') != std::string::npos || m.name.front() == ' ' || m.name.back() == ' ')
        return c.fail(t.get("name")->source(),
                      "a model name has no comma and no leading or trailing blank");

    std::string kind;
    if (!readText(c, t, "kind", 16, true, kind))
        return false;
    // The first model is the power source and only it: the program drives
    // model 0 with its own fixed commands.
    const std::string wanted = index == 0 ? "power" : "oscillator";
    if (kind != wanted)
        return c.fail(t.get("kind")->source(),
                      "model " + std::to_string(index) + " must be of kind " + quoted(wanted));
    m.kind = index == 0 ? ModelKind::PowerSource : ModelKind::Oscillator;

    if (!readInt(c, t, "interface_mask", 1, 15, m.interfaceMask))
        return false;

    const toml::table* addr = subTable(c, t, "gpib_address", true);
    if (!addr || !onlyKeys(c, *addr, {"min", "max", "initial"}) ||
        !readInt(c, *addr, "min", 0, 30, m.addressMin) ||
        !readInt(c, *addr, "max", 0, 30, m.addressMax) ||
        !readInt(c, *addr, "initial", 0, 30, m.addressInitial))
        return false;
    if (m.addressMin > m.addressMax || m.addressInitial < m.addressMin ||
        m.addressInitial > m.addressMax)
        return c.fail(addr->source(), "'gpib_address' needs min <= initial <= max");

    if (!readMemory(c, t, m))
        return false;

    Limits frequency;
    if (!readLimits(c, t, "frequency", frequency, true))
        return false;
    if (frequency.min <= 0)
        return c.fail(t.get("frequency")->source(), "'frequency' min must be above 0");
    if (!readNumber(c, t, "max_sample_rate", m.maxSampleRate))
        return false;
    if (m.maxSampleRate <= 0)
        return c.fail(t.get("max_sample_rate")->source(), "'max_sample_rate' must be above 0");

    if (!readInt(c, t, "offset_settable", 0, 2, m.offsetSettable, 0))
        return false;
    const toml::array* channels = subArray(c, t, "channel", true);
    if (!channels ||
        !eachTable(c, *channels, "channel", MaxListEntries, [&](const toml::table& ct) {
            m.channels.emplace_back();
            return readChannel(c, ct, frequency, m.offsetSettable != 0, m.channels.back());
        }))
        return false;
    if (!readInt(c, t, "channel_initial", 0, int64_t(m.channels.size()) - 1, m.channelInitial, 0) ||
        !readBool(c, t, "channel_used", m.channelUsed, m.channels.size() > 1) ||
        !readText(c, t, "default_arb_send", 64, false, m.defaultArbSend, std::string()) ||
        !readWords(c, t, m) || !readReals(c, t, m))
        return false;

    const toml::table* script = subTable(c, t, "script", false);
    if (script) {
        static constexpr std::string_view names[ScriptTables] = {"main", "final", "setup", "wave"};
        if (!onlyKeys(c, *script, {names[0], names[1], names[2], names[3]}))
            return false;
        for (size_t i = 0; i < ScriptTables; ++i)
            if (!readScript(c, *script, names[i], m.scripts[i]))
                return false;
    }
    return c.out.status == ModelFileOk;
}

void readRoot(Ctx& c, const toml::table& root) {
    if (!onlyKeys(c, root, {"model"}))
        return;
    const toml::node* n = root.get("model");
    if (!n)
        return; // no models: the caller reports an empty model list
    const toml::array* models = n->as_array();
    if (!models)
        return (void)c.fail(n->source(), "'model' must be a list of [[model]] tables");
    if (models->size() > MaxModels)
        return (void)c.fail(models->source(), "more than 256 models");
    size_t index = 0;
    for (const toml::node& mn : *models) {
        const toml::table* t = mn.as_table();
        if (!t)
            return (void)c.fail(mn.source(), "'model' must be a list of [[model]] tables");
        ModelEntry m;
        if (!readModel(c, *t, index, m))
            return;
        for (const ModelEntry& other : c.out.models)
            if (other.name == m.name)
                return (void)c.fail(t->get("name")->source(),
                                    "model name " + quoted(m.name) + " is used twice");
        c.out.models.push_back(std::move(m));
        ++index;
    }
}

} // namespace

ModelFile parseModelText(std::string_view text, const std::string& fileName) {
    ModelFile out;
    out.fileName = fileName;
    try {
        const toml::table root = toml::parse(text, fileName);
        Ctx c{out};
        readRoot(c, root);
    } catch (const toml::parse_error& e) {
        out.status = ModelFileSyntax;
        out.line = static_cast<int32_t>(e.source().begin.line);
        out.detail = std::string(e.description());
    } catch (const std::bad_alloc&) {
        out.status = ModelFileNoMemory;
        out.line = 0;
        out.detail = "out of memory";
    }
    if (out.status != ModelFileOk)
        out.models.clear();
    return out;
}

ModelFile readModelFile(const std::string& path) {
    ModelFile out;
    out.fileName = path;
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        out.status = (errno == ENOENT || errno == ENOTDIR) ? ModelFileMissing : ModelFileUnreadable;
        out.detail = out.status == ModelFileMissing ? "file not found" : "cannot open the file";
        return out;
    }
    std::string text;
    try {
        char buf[65536];
        size_t n = 0;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
    } catch (const std::bad_alloc&) {
        std::fclose(f);
        out.status = ModelFileNoMemory;
        out.detail = "out of memory";
        return out;
    }
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) {
        out.status = ModelFileUnreadable;
        out.detail = "cannot read the file";
        return out;
    }
    return parseModelText(text, path);
}

} // namespace velda::engine
