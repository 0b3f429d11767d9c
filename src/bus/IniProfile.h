#pragma once
// A small reader of profile (INI) files with the lookups the simulated bus
// needs: "[section]" lines, "key=value" lines, section and key names matched
// without regard to case, the first match wins; blanks around names and
// values are dropped, and one pair of quotes around a value too. Lines
// starting with ";" are comments. Bytes are read as UTF-8.

#include <QByteArray>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

namespace velda::bus {

class IniProfile {
public:
    IniProfile() = default;
    explicit IniProfile(const QByteArray& text);
    // Empty profile when the file cannot be read.
    static IniProfile Load(const QString& path);

    std::optional<QString> Value(const QString& section, const QString& key) const;

    // The profile-string call: the value (or `fallback`) cut to bufferSize - 1
    // characters into `out`; returns the characters copied, so a full buffer
    // returns bufferSize - 1.
    int Get_String(const QString& section, const QString& key, const QString& fallback,
                   QString& out, int bufferSize) const;

private:
    struct Section {
        QString name;
        std::vector<std::pair<QString, QString>> keys;
    };
    std::vector<Section> sections_;
};

} // namespace velda::bus
