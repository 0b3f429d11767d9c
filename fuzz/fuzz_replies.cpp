// Replies file of the simulated bus: any bytes as a profile file, then the
// lookups the simulated bus makes.
#include "bus/IniProfile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const velda::bus::IniProfile profile(bytes);
    for (const char* key : {":VOLT?", "*IDN?", "", "="}) {
        QString out;
        const int n = profile.Get_String(QStringLiteral("ADRS5"), QString::fromLatin1(key),
                                         QString(), out, 100);
        // Never more than the buffer holds, and the count is what was copied.
        if (n < 0 || n > 99 || n != out.size())
            std::abort();
    }
    return 0;
}
