#pragma once
// Fixed-width 8-bit text fields of the file records. The 8-bit form is the
// system code page (UTF-8 here): a field is filled left-aligned, padded with
// spaces to its width and carries no terminator.

#include <QByteArray>
#include <QString>

namespace velda {

// The field's bytes: `text` without trailing blanks, cut so that it fits in
// `width` bytes without splitting a multibyte character, then space-padded.
QByteArray toFixed8Bit(const QString& text, int width);

// The field read back: the bytes up to the first NUL (or all `width` of them)
// decoded, then space-padded or cut to `width` characters.
QString fromFixed8Bit(const char* bytes, int width);

} // namespace velda
