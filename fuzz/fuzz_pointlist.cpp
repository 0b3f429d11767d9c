// Point-list reader: Next_Number over any text.
#include "files/PointList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    size_t calls = 0;
    const velda::NumberReader engVal = [&calls](const QString& s) {
        ++calls;
        bool ok = false;
        const double v = s.toDouble(&ok);
        return ok ? v : 0.0;
    };
    const auto pairs = velda::Read_Point_Pairs(text, engVal);
    // Every number read consumed at least one character.
    if (calls > static_cast<size_t>(text.size()) || pairs.size() * 2 > calls)
        std::abort();
    return 0;
}
