// Expression texts typed by the user (or read from an expression file) go
// straight into the evaluator: no text may crash it, and a failing text must
// leave the buffer as it was.

#include "engine/eval32.h"
#include "engine/wavelb32.h"

#include <cstdlib>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const WaveHandle h = W_AllocMemory(64);
    const std::string text(reinterpret_cast<const char*>(data), size);
    auto words = velda::engine::bufferWords(h);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = static_cast<int16_t>(i);
    int32_t position = 0;
    if (EvalArray1(0, 64, h, position, text.c_str()) != 0) {
        for (size_t i = 0; i < words.size(); ++i)
            if (words[i] != static_cast<int16_t>(i))
                std::abort();
    }
    double value = 0;
    EvalOne(text.c_str(), value, position);
    if (size % 7 == 0)
        ClearConstant(); // let constants pile up for a while, then forget them
    return 0;
}
