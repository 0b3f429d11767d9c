#pragma once
// The device-identifier table read from "USBTMC.ID": for each model name the
// first part of its USB(TMC) resource name, to which the typed serial number
// is appended.

#include <QString>
#include <utility>
#include <vector>

namespace velda {

class DeviceIdTable {
public:
    enum LoadResult { Loaded = 0, CannotRead = 1, NoLines = 2 };

    // Replaces the table with the lines of the file. Each line is split at every
    // ","; the first piece is the key, the second the value, missing pieces are
    // empty and further pieces are ignored. CR LF, LF and CR all end a line.
    // Returns 0 on success, non-zero when the file cannot be read or holds no line
    // (the table is then empty).
    int Load_DeviceIds(const QString& path);
    // Same, from text already in memory.
    int loadText(const QByteArray& bytes);

    // The value of the first pair whose key equals `key` exactly; empty when none.
    QString Find_DeviceId(const QString& key) const;

    const std::vector<std::pair<QString, QString>>& pairs() const { return pairs_; }

private:
    std::vector<std::pair<QString, QString>> pairs_;
};

} // namespace velda
