#include "bus/InitParams.h"

#include "app/Registry.h"

#include <algorithm>

namespace velda::bus {

InitParams::InitParams(QString params) : params_(std::move(params)) {}

std::optional<QString> InitParams::Value(const QString& key) const {
    const qsizetype at = params_.indexOf(key, 0, Qt::CaseInsensitive);
    if (at < 0)
        return std::nullopt;
    qsizetype end = params_.indexOf(QLatin1Char(','), at);
    if (end < 0)
        end = params_.size();
    const QString item = params_.mid(at, end - at);
    const qsizetype eq = item.indexOf(QLatin1Char('='));
    if (eq < 0)
        return QString();
    return item.mid(eq + 1).trimmed();
}

bool InitParams::Has(const QString& key) const {
    return params_.contains(key, Qt::CaseInsensitive);
}

std::optional<QString> InitParams::Item(const QString& key, const QString& value) {
    // Every key a back end reads.
    static const char* const kKeys[] = {"LOG_FILE",     "INI_FILE",    "VIEW_ERR_DIALOG",
                                        "MYADRS",       "BOARD_NAME",  "USB488ID",
                                        "USBTMC_DEVNO", "USBTMC_NAME", "RESPONSE_DIALOG"};
    if (value.contains(QLatin1Char(',')) || value.trimmed() != value)
        return std::nullopt;
    for (const char* k : kKeys)
        if (value.contains(QLatin1String(k), Qt::CaseInsensitive))
            return std::nullopt;
    QString item = key + QStringLiteral(" = ") + value;
    if (InitParams(item).Value(key) != value)
        return std::nullopt;
    return item;
}

QString InitParams::Text(const QString& key, const QString& fallback) const {
    return Value(key).value_or(fallback);
}

int16_t InitParams::Number(const QString& key, int16_t fallback) const {
    const auto v = Value(key);
    if (!v)
        return fallback;
    return int16_t(std::clamp(leadingNumber(*v), -32768, 32767));
}

} // namespace velda::bus
