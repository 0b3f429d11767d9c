// Expression file reader: header, page blocks, rescaling.
#include "files/ExpressionFile.h"

#include <QBuffer>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buf(&bytes);
    buf.open(QIODevice::ReadOnly);
    const velda::ExpressionRanges current{4096, 0, 4096, -32767, 32767};
    const velda::ExpressionRead r = velda::Read_Expression_Data(buf, current);
    if (r.result != 0 && !r.pages.empty())
        std::abort();
    int previous = 0;
    for (const velda::WaveListPage& p : r.pages) {
        if (p.PageNo <= previous || p.PageNo > 202 || p.FuncType < 0 || p.FuncType > 5)
            std::abort();
        if (!(p.AreaStart >= 0 && p.AreaStart <= p.AreaEnd && p.AreaEnd <= 4096))
            std::abort();
        for (double v : p.Param)
            if (!std::isfinite(v))
                std::abort();
        if (p.ExprText.toUtf8().size() > velda::kExprTextLength ||
            p.ConstText.toUtf8().size() > velda::kConstTextLength)
            std::abort();
        previous = p.PageNo;
    }
    return 0;
}
