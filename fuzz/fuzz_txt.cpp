// Text waveform reader. The first byte picks the point count asked for.
#include "engine/file32.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    static const size_t counts[] = {1, 3, 16, 1024, 65536};
    const std::vector<int16_t> pattern(counts[data[0] % 5], int16_t{9});
    std::vector<int16_t> words = pattern;
    const bool ok = velda::file32::parseTxt(
        QByteArrayView(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1)),
        words);
    if (!ok && words != pattern)
        std::abort(); // a refused file changed the points
    if (*std::min_element(words.begin(), words.end()) < -32767)
        std::abort();
    return 0;
}
