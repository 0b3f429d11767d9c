// Import plug-in: text columns (CSV, TSV, blank-separated), by the rule of
// csv_reader.h. The file is read whole at begin; reads hand out its words.
#include "csv_reader.h"
#include "velda_plugin.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct Reader {
    std::vector<int16_t> words;
    size_t next = 0;
};

// Past this much text a file is read no further: its values end before
// it, or it is not a column of at most 65,536 points.
constexpr long kMaxBytes = 64L * 1024 * 1024;

int begin(const char* path, void** handle, int32_t* points, int32_t* start) {
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return 2;
    std::vector<char> bytes;
    char buf[65536];
    size_t n = 0;
    bool cut = false;
    while (!cut && (n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        cut = bytes.size() + n > static_cast<size_t>(kMaxBytes);
        bytes.insert(bytes.end(), buf, buf + n);
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return 2;
    if (cut) { // whole lines only: the last one read may go on
        while (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r')
            bytes.pop_back();
    }
    auto r = std::make_unique<Reader>();
    if (!velda::plugin::Csv_Words(bytes.data(), bytes.size(), r->words))
        return 5;
    if (cut && r->words.size() < velda::plugin::kMaxValues)
        return 3;
    *points = static_cast<int32_t>(r->words.size());
    *handle = r.release();
    *start = 0;
    return 0;
}

} // namespace

extern "C" {

int velda_plugin_interface(void) {
    return VELDA_PLUGIN_INTERFACE;
}

const char* velda_plugin_name(void) {
    return "Text columns";
}

const char* velda_plugin_extensions(void) {
    return "csv;tsv;prn;dat";
}

// Nothing thrown here may cross into the program: it would end it.
int velda_plugin_begin(const char* path, void** handle, int32_t* points, int32_t* start) {
    if (!path || !handle || !points || !start)
        return 1;
    try {
        return begin(path, handle, points, start);
    } catch (...) {
        return 6;
    }
}

int velda_plugin_seek(void* handle, int32_t position) {
    auto* r = static_cast<Reader*>(handle);
    if (!r || position < 0 || static_cast<size_t>(position) > r->words.size())
        return 1;
    r->next = static_cast<size_t>(position);
    return 0;
}

int velda_plugin_read(void* handle, int16_t* words, int32_t* count) {
    auto* r = static_cast<Reader*>(handle);
    if (!r || !words || !count || *count < 0)
        return 1;
    const size_t n = std::min(static_cast<size_t>(*count), r->words.size() - r->next);
    std::copy_n(r->words.begin() + static_cast<std::ptrdiff_t>(r->next), n, words);
    r->next += n;
    *count = static_cast<int32_t>(n);
    return 0;
}

void velda_plugin_end(void* handle) {
    delete static_cast<Reader*>(handle);
}

} // extern "C"
