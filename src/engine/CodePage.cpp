#include "engine/CodePage.h"

#include "engine/DeviceRecord.h"

#include <cstring>

namespace velda {

QByteArray toCodePage(const QString& text) {
    return text.toUtf8();
}

QString fromCodePage(const char* bytes, size_t size) {
    const void* nul = std::memchr(bytes, 0, size);
    const size_t n = nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : size;
    return QString::fromUtf8(bytes, static_cast<qsizetype>(n));
}

void putFixedText(uint8_t* field, size_t width, const QString& text) {
    const QByteArray bytes = toCodePage(text);
    engine::rec::putFixedBytes(field, width,
                               std::string_view(bytes.constData(), size_t(bytes.size())));
}

QString getFixedText(const uint8_t* field, size_t width) {
    QString s = fromCodePage(reinterpret_cast<const char*>(field), width);
    // Every character takes at least one byte, so the text never exceeds the
    // width; multi-byte characters leave room that is filled with spaces.
    return fixedWidth(s, static_cast<int>(width));
}

QString fixedWidth(const QString& text, int width) {
    if (text.size() >= width) {
        QString cut = text.left(width);
        // Never leave half of a surrogate pair at the end.
        if (!cut.isEmpty() && cut.back().isHighSurrogate())
            cut.back() = QLatin1Char(' ');
        return cut;
    }
    return text + QString(width - text.size(), QLatin1Char(' '));
}

} // namespace velda
