// Import plug-in: sound files through libsndfile, by the rule of
// sndfile_reader.h.
#include "sndfile_reader.h"
#include "velda_plugin.h"

using velda::plugin::SoundReader;

extern "C" {

int velda_plugin_interface(void) {
    return VELDA_PLUGIN_INTERFACE;
}

const char* velda_plugin_name(void) {
    return "Sound files";
}

const char* velda_plugin_extensions(void) {
    return "wav;aif;aiff;flac;ogg;au;snd;caf;w64";
}

int velda_plugin_begin(const char* path, void** handle, int32_t* points, int32_t* start) {
    if (!path || !handle || !points || !start)
        return 1;
    // Nothing thrown here may cross into the program: it would end it.
    SoundReader* r = nullptr;
    try {
        r = velda::plugin::Sound_Open(path);
    } catch (...) {
        return 4;
    }
    if (!r)
        return 2;
    const int64_t frames = velda::plugin::Sound_Frames(r);
    if (frames <= 0) {
        velda::plugin::Sound_Close(r);
        return 3;
    }
    *handle = r;
    *points = frames > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int32_t>(frames);
    *start = 0;
    return 0;
}

int velda_plugin_seek(void* handle, int32_t position) {
    return velda::plugin::Sound_Seek(static_cast<SoundReader*>(handle), position) ? 0 : 1;
}

int velda_plugin_read(void* handle, int16_t* words, int32_t* count) {
    if (!count || *count < 0)
        return 1;
    int64_t n = -1;
    try {
        n = velda::plugin::Sound_Read(static_cast<SoundReader*>(handle), words, *count);
    } catch (...) {
        n = -1;
    }
    if (n < 0)
        return 1;
    *count = static_cast<int32_t>(n);
    return 0;
}

void velda_plugin_end(void* handle) {
    velda::plugin::Sound_Close(static_cast<SoundReader*>(handle));
}

} // extern "C"
