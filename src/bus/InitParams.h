#pragma once
// The initialisation text of the bus layer, e.g.
// "MYADRS = 0, BOARD_NAME = GPIB0, USB488ID = 5".
//
// Keys are matched without regard to case by a plain substring search
// anywhere in the text; a key's item runs from the key to the next comma (or
// the end) and its value is the text after the item's first "=", trimmed.
// Values keep the case they were written in: paths on this system are
// case-sensitive, so upper-casing them would name another file.

#include <QString>
#include <cstdint>
#include <optional>

namespace velda::bus {

class InitParams {
public:
    explicit InitParams(QString params);

    bool Has(const QString& key) const;
    // The value of the key's item; nothing when the key is absent, "" when the
    // item has no "=".
    std::optional<QString> Value(const QString& key) const;
    QString Text(const QString& key, const QString& fallback = {}) const;
    // The leading decimal number of the value (0 when it has none), limited
    // to 16 bits; `fallback` when the key is absent.
    int16_t Number(const QString& key, int16_t fallback) const;

    // "KEY = value" for a file name or other value put into the text by the
    // program; nothing when the value would not come back whole (a comma
    // ends an item, and a key word inside it would be found there), since
    // the back end would then open, and empty, another file.
    static std::optional<QString> Item(const QString& key, const QString& value);

private:
    QString params_;
};

} // namespace velda::bus
