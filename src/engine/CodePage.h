#pragma once
// Text crossing to the companion libraries is 8-bit text in the system code
// page. On Linux that code page is UTF-8. Fixed-length fields are space-padded
// to their width and never end in part of a multi-byte character.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

namespace velda {

// The text in the system code page.
QByteArray toCodePage(const QString& text);
// 8-bit text back to wide characters, up to the first NUL (or `size` bytes).
QString fromCodePage(const char* bytes, size_t size);

// Writes `text` into a field of `width` bytes: as many whole characters as
// fit, then spaces; no terminator.
void putFixedText(uint8_t* field, size_t width, const QString& text);
// Reads a field of `width` bytes, stopping at the first NUL, and pads the
// result with spaces to `width` characters so it keeps the field's width.
QString getFixedText(const uint8_t* field, size_t width);

// A wide-character fixed string of `width` characters: cut or space-padded.
QString fixedWidth(const QString& text, int width);

} // namespace velda
