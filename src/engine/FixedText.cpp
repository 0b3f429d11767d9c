#include "engine/FixedText.h"

#include "engine/CodePage.h"

namespace velda {

// The file records use the same fixed fields as the model-information
// records; trailing blanks are dropped first so a padded field never pushes
// a character out.
QByteArray toFixed8Bit(const QString& text, int width) {
    QString t = text;
    while (!t.isEmpty() && t.back().isSpace())
        t.chop(1);
    QByteArray bytes(width, ' ');
    putFixedText(reinterpret_cast<uint8_t*>(bytes.data()), static_cast<size_t>(width), t);
    return bytes;
}

QString fromFixed8Bit(const char* bytes, int width) {
    return getFixedText(reinterpret_cast<const uint8_t*>(bytes), static_cast<size_t>(width));
}

} // namespace velda
