// Typed numbers reach Eng_Val from every entry field and from imported text;
// the number text functions take any double and any pattern. None may crash,
// and Eng_Val must always give a finite value.
#include "units/NumberText.h"

#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (!std::isfinite(velda::Eng_Val(text)))
        std::abort();
    if (size >= sizeof(double) + 1) {
        double v;
        std::memcpy(&v, data, sizeof v);
        const int width = static_cast<int8_t>(data[sizeof v]);
        const QString pattern = QString::fromLatin1(reinterpret_cast<const char*>(data) + 9,
                                                    static_cast<qsizetype>(size - 9));
        (void)velda::Fmt_Fixed(v, width);
        (void)velda::Eng_StrN(v, width % 16);
        (void)velda::Eng_Str(v, pattern);
        // Text the program writes must read back as a finite number.
        if (!std::isfinite(velda::Eng_Val(velda::Eng_Str(v, pattern))))
            std::abort();
    }
    return 0;
}
