#include "bus/IniProfile.h"

#include <QFile>

namespace velda::bus {

IniProfile::IniProfile(const QByteArray& text) {
    QString all = QString::fromUtf8(text);
    // LF, CR LF and a lone CR (an old editor's) each end a line.
    all.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Section* current = nullptr;
    for (QString line : all.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            if (close < 0)
                continue;
            sections_.push_back({line.mid(1, close - 1).trimmed(), {}});
            current = &sections_.back();
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!current || eq <= 0)
            continue;
        QString value = line.mid(eq + 1).trimmed();
        if (value.size() >= 2 &&
            ((value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) ||
             (value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))))
            value = value.mid(1, value.size() - 2);
        current->keys.emplace_back(line.left(eq).trimmed(), value);
    }
}

IniProfile IniProfile::Load(const QString& path) {
    // A replies file is a few lines; a name given by mistake (a device, a
    // disk image) is read no further than this.
    constexpr qint64 kMaxBytes = 4 << 20;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return IniProfile(f.read(kMaxBytes));
}

std::optional<QString> IniProfile::Value(const QString& section, const QString& key) const {
    for (const Section& s : sections_) {
        if (s.name.compare(section, Qt::CaseInsensitive) != 0)
            continue;
        for (const auto& [k, v] : s.keys)
            if (k.compare(key, Qt::CaseInsensitive) == 0)
                return v;
        return std::nullopt;
    }
    return std::nullopt;
}

int IniProfile::Get_String(const QString& section, const QString& key, const QString& fallback,
                           QString& out, int bufferSize) const {
    if (bufferSize <= 0) {
        out.clear();
        return 0;
    }
    out = Value(section, key).value_or(fallback).left(bufferSize - 1);
    return int(out.size());
}

} // namespace velda::bus
