// A fake import plug-in whose behaviour the imported file states:
// "<points> <start> <failing read> [<misbehaviour>]" (the failing read
// counted from 1, 0 for none; misbehaviour 1 fills a whole block however
// few words were asked for, 2 reports one word more than asked, 3 throws
// out of the read, as a plug-in written in C++ can, 4 gives -32768, below
// the scale, for every word), or
// "refuse" to be refused at begin. The word at position p is
// FAKE_SIGN * ((p * 7) % 65535 - 32767), so a test can tell every point and
// which plug-in delivered it. Built several times: two working plug-ins with
// their own name and extension, one of another interface version, one
// without its read function and one that throws when asked its name.
#include "velda_plugin.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#ifdef FAKE_ODD_NAMES // the open dialog's separators in both
#define FAKE_NAME "Gamma;;Delta (*.x)|Eps"
#define FAKE_EXT "o|d;e)f"
#endif

#ifndef FAKE_VERSION
#define FAKE_VERSION VELDA_PLUGIN_INTERFACE
#endif

namespace {

struct Reader {
    long points = 0;
    long start = 0;
    long failAt = 0;
    long reads = 0;
    long next = 0;
    long misbehaviour = 0;
};

int16_t wordAt(long p) {
    return static_cast<int16_t>(FAKE_SIGN * ((p * 7) % 65535 - 32767));
}

} // namespace

extern "C" {

VELDA_PLUGIN_EXPORT int velda_plugin_interface(void) {
    return FAKE_VERSION;
}
VELDA_PLUGIN_EXPORT const char* velda_plugin_name(void) {
#ifdef FAKE_THROW_NAME // a plug-in in C++ that fails as it is asked its name
    throw std::runtime_error("no name");
#endif
    return FAKE_NAME;
}
VELDA_PLUGIN_EXPORT const char* velda_plugin_extensions(void) {
    return FAKE_EXT;
}

VELDA_PLUGIN_EXPORT int velda_plugin_begin(const char* path, void** handle, int32_t* points,
                                           int32_t* start) {
    FILE* f = std::fopen(path, "rb");
    if (!f)
        return 1;
    Reader r;
    const int got =
        std::fscanf(f, "%ld %ld %ld %ld", &r.points, &r.start, &r.failAt, &r.misbehaviour);
    std::fclose(f);
    if (got < 3)
        return 2;
    *handle = new Reader(r);
    *points = static_cast<int32_t>(r.points);
    *start = static_cast<int32_t>(r.start);
    return 0;
}

VELDA_PLUGIN_EXPORT int velda_plugin_seek(void* handle, int32_t position) {
    static_cast<Reader*>(handle)->next = position;
    return 0;
}

#ifndef FAKE_NO_READ
VELDA_PLUGIN_EXPORT int velda_plugin_read(void* handle, int16_t* words, int32_t* count) {
    auto* r = static_cast<Reader*>(handle);
    if (++r->reads == r->failAt)
        return 7;
    if (r->misbehaviour == 3)
        throw std::runtime_error("read failed");
    long n = *count;
    // <points> are counted from <start>.
    if (r->next + n > r->start + r->points)
        n = r->start + r->points - r->next;
    const long written = r->misbehaviour == 1 ? VELDA_PLUGIN_BLOCK : n;
    for (long i = 0; i < written; ++i)
        words[i] = r->misbehaviour == 4 ? int16_t(-32768) : wordAt(r->next + i);
    r->next += n;
    *count = static_cast<int32_t>(r->misbehaviour == 2 ? n + 1 : n);
    return 0;
}
#endif

VELDA_PLUGIN_EXPORT void velda_plugin_end(void* handle) {
    delete static_cast<Reader*>(handle);
}

} // extern "C"
