// The bus settings text (saved by the user as "System"/"BusInit", or put
// together from file names): any text, then the lookups the back ends make,
// and the items the program builds from a value.
#include "bus/InitParams.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const velda::bus::InitParams p(text);
    for (const char* key : {"LOG_FILE", "INI_FILE", "MYADRS", "MYADRS=", "BOARD_NAME", "USB488ID",
                            "USBTMC_NAME", "VIEW_ERR_DIALOG"}) {
        const QString k = QString::fromLatin1(key);
        (void)p.Has(k);
        (void)p.Text(k);
        const int16_t n = p.Number(k, -1);
        (void)n;
    }
    // An item the program builds always reads back as the value it holds.
    if (const auto item = velda::bus::InitParams::Item(QStringLiteral("LOG_FILE"), text)) {
        if (velda::bus::InitParams(*item).Text(QStringLiteral("LOG_FILE")) != text)
            std::abort();
    }
    return 0;
}
