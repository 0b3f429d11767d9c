#include "app/DeviceIds.h"

#include <QFile>
#include <QStringList>

namespace velda {

int DeviceIdTable::Load_DeviceIds(const QString& path) {
    pairs_.clear();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return CannotRead;
    // A table of model names is small; anything this large is not one.
    constexpr qint64 kMaxBytes = 4 << 20;
    const QByteArray bytes = f.read(kMaxBytes + 1);
    if (f.error() != QFileDevice::NoError || bytes.size() > kMaxBytes)
        return CannotRead;
    return loadText(bytes);
}

int DeviceIdTable::loadText(const QByteArray& bytes) {
    pairs_.clear();
    QString text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    // A final line end does not start another line.
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (const QString& line : lines) {
        const QStringList pieces = line.split(QLatin1Char(','));
        pairs_.emplace_back(pieces.value(0), pieces.value(1));
    }
    return pairs_.empty() ? NoLines : Loaded;
}

QString DeviceIdTable::Find_DeviceId(const QString& key) const {
    for (const auto& [k, v] : pairs_) {
        if (k == key)
            return v;
    }
    return {};
}

} // namespace velda
