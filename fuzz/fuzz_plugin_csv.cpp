// The text-column plug-in's reader: any bytes give words on the scale, or a
// refusal with no words.
#include "csv_reader.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<int16_t> words{1, 2, 3};
    const bool ok = velda::plugin::Csv_Words(reinterpret_cast<const char*>(data), size, words);
    if (ok == words.empty())
        std::abort(); // a value line gives words, a refusal none
    for (int16_t w : words)
        if (w < -32767)
            std::abort();
    return 0;
}
