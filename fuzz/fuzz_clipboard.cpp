// Clipboard data another program put there: the first byte chooses whether
// the rest is the private run of words or text, then the points are read
// as a paste reads them.
#include "engine/file32_clipboard.h"

#include <QMimeData>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));
    QMimeData mime;
    if (data[0] & 1)
        mime.setData(QString::fromLatin1(velda::kWordsMimeType), bytes);
    if (data[0] & 2)
        mime.setText(QString::fromUtf8(bytes));
    for (const int64_t limit : {int64_t{1}, int64_t{7}, int64_t{65536}}) {
        const auto points = velda::Clipboard_Points(mime, limit);
        // Never more than asked for, and every point on the scale.
        if (static_cast<int64_t>(points.size()) > limit)
            std::abort();
        for (const int16_t w : points)
            if (w < -32767)
                std::abort();
    }
    return 0;
}
