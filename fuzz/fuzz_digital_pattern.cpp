// Typed digital patterns: any text must end quickly with 0 or an error
// number 110..118, write nothing on an error, and never write outside the area.
#include "engine/digital_pattern.h"
#include "engine/wavelb32.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const WaveHandle h = W_AllocMemory(256);
    auto words = velda::engine::bufferWords(h);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<int16_t>(static_cast<int32_t>((i * 2654435761u) % 65535u) - 32767);
    const std::vector<int16_t> before(words.begin(), words.end());

    // The first two bytes choose the area, the rest is the pattern.
    const int32_t first = size > 0 ? data[0] : 0;
    const int32_t count = size > 1 ? data[1] : 0;
    const std::string text(reinterpret_cast<const char*>(data) + std::min<size_t>(size, 2),
                           size - std::min<size_t>(size, 2));
    int32_t result2 = 0;
    const int32_t r = DigitalPattern(text.c_str(), first, h, count, result2);
    if (r != 0 && (r < 110 || r > 118))
        std::abort();
    for (size_t i = 0; i < words.size(); ++i) {
        const bool inArea =
            static_cast<int32_t>(i) >= first && static_cast<int32_t>(i) < first + count;
        if ((r != 0 || !inArea) && words[i] != before[i])
            std::abort();
        if (words[i] == -32768)
            std::abort();
    }
    if (r == 0 && (result2 < 0 || result2 > count))
        std::abort();
    return 0;
}
