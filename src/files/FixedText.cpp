#include "files/FixedText.h"

#include <cstring>

namespace velda::files {

QByteArray toFixed8Bit(const QString& text, int width) {
    QString t = text;
    while (!t.isEmpty() && t.back().isSpace())
        t.chop(1);
    QByteArray bytes = t.toUtf8();
    if (bytes.size() > width) {
        int cut = width;
        // Step back over continuation bytes (10xxxxxx) so the last character
        // kept is whole.
        while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xC0) == 0x80)
            --cut;
        bytes.truncate(cut);
    }
    bytes.append(width - bytes.size(), ' ');
    return bytes;
}

QString fromFixed8Bit(const char* bytes, int width) {
    const void* nul = std::memchr(bytes, 0, static_cast<size_t>(width));
    const int used = nul ? static_cast<int>(static_cast<const char*>(nul) - bytes) : width;
    QString s = QString::fromUtf8(bytes, used);
    if (s.size() > width)
        s.truncate(width);
    return s.leftJustified(width, QLatin1Char(' '));
}

} // namespace velda::files
