// Binary waveform reader: any bytes give a waveform or a refusal, never a
// crash; a refused file leaves the record and the points untouched.
#include "engine/file32.h"
#include "files/PackedRecord.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<int16_t> pattern(65536, int16_t{7});
    static std::vector<int16_t> words(65536);
    std::memcpy(words.data(), pattern.data(), words.size() * 2);
    velda::PackedRecord record;
    record.fill(0xA5);
    const int64_t n = velda::file32::parseWdb(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), record,
        words);
    if (n < 0) {
        for (uint8_t b : record)
            if (b != 0xA5)
                std::abort();
        if (std::memcmp(words.data(), pattern.data(), words.size() * 2) != 0)
            std::abort();
        return 0;
    }
    velda::SystemParameter sp;
    int16_t kind = 3;
    velda::Unpack_System_Record(record, sp, kind);
    velda::Match_Model(sp, {QStringLiteral("AC-POWER"), QStringLiteral("GEN-2000")});
    if (*std::min_element(words.begin(), words.begin() + n) < -32767)
        std::abort();
    return 0;
}
