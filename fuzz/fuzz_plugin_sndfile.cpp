// The sound-file plug-in's reader on sound bytes held in memory: it opens or
// refuses, and what it reads lies on the scale.
#include "sndfile_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velda::plugin;
    SoundReader* r = Sound_Open_Memory(data, size);
    if (!r)
        return 0;
    std::vector<int16_t> words(500);
    if (Sound_Frames(r) > 3)
        Sound_Seek(r, 2);
    for (int block = 0; block < 8; ++block) {
        const int64_t n = Sound_Read(r, words.data(), 500);
        if (n > 500)
            std::abort();
        if (n <= 0)
            break;
        for (int64_t i = 0; i < n; ++i)
            if (words[static_cast<size_t>(i)] < -32767)
                std::abort();
    }
    Sound_Close(r);
    return 0;
}
