// Set-up file reader and the record unpacking behind it.
#include "engine/file32.h"
#include "files/PackedRecord.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velda::PackedRecord record;
    record.fill(0x5A);
    const bool ok = velda::file32::parseOcb(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), record);
    if (!ok) {
        for (uint8_t b : record)
            if (b != 0x5A)
                std::abort();
    }
    // Unpack whatever is there (also a refused file's bytes), then pack it
    // again: the numbers and the first word must survive.
    velda::PackedRecord raw{};
    std::memcpy(raw.data(), data, std::min<size_t>(size, raw.size()));
    velda::SystemParameter sp;
    int16_t kind = 3;
    velda::Unpack_System_Record(raw, sp, kind);
    if (kind < 0 || kind > 4 || sp.ModelName.size() != 16 || sp.DefaultArbSend.size() != 64)
        std::abort();
    velda::Match_Model(sp, {QStringLiteral("AC-POWER"), QStringLiteral("GEN-2000")});
    (void)velda::Pack_System_Record(sp, kind);
    return 0;
}
