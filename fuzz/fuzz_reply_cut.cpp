// Instrument replies: any bytes as a read buffer and byte count, cut the way
// the GPIB back end cuts a reply.
#include "bus/NI_GPIB_Mdl.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    int32_t count32;
    std::memcpy(&count32, data, 4);
    const QByteArray buffer(reinterpret_cast<const char*>(data + 4),
                            static_cast<qsizetype>(size - 4));
    int32_t length = -1;
    const QString text = velda::bus::NiReplyText(buffer, long(count32), length);
    // The cut stays inside the buffer and never ends in a blank.
    if (length < 0 || length > buffer.size())
        std::abort();
    if (length > 0 && text.endsWith(QLatin1Char(' ')))
        std::abort();
    return 0;
}
