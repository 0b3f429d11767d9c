#pragma once
// Moving runs of points to and from the system clipboard.
//
// Format: the points go out twice, as text/plain with one decimal data word
// per line (so a spreadsheet column pastes in and out) and as the private type
// kWordsMimeType holding the raw words, 16-bit little-endian. Reading prefers
// the private type and falls back to the text.
//
// Results are message numbers: 0 success, 80 no clipboard to open, 81 nothing
// readable on it (no numbers), 82 the write did not reach the clipboard,
// 83 any other failure (an invalid buffer handle). A failing call changes
// neither the buffer nor `pasted`'s meaning (it is 0).
//
// The window argument is kept for the fixed argument list; Qt's clipboard
// needs no owner window, so it is not used.

#include "engine/wavelb32.h"

#include <cstdint>
#include <vector>

namespace velda {
inline constexpr char kWordsMimeType[] = "application/x-velda-words";
}

// Puts points [first, first + count) of the buffer on the clipboard, clipped
// to the buffer. A run that clips to nothing leaves the clipboard as it was
// and succeeds: copying an empty area must not throw away what is there.
int32_t SetClipBoard(void* window, WaveHandle h, int32_t first, int32_t count);

// Writes the clipboard's points into the buffer from `first` on and sets
// `pasted` to the number written. How many:
//   count > 0   at most `count` points (the marked area);
//   count == 0  every clipboard point that fits before `inUse` (the markers
//               stand together, so the paste decides the area's length);
//   count < 0   nothing.
// Never past `inUse` nor past the buffer; a negative `first` reads as 0.
// Text is read one number per line (LF, CR LF or CR; blanks around it allowed);
// lines that are not a finite number, such as a column header, are skipped.
// Values become data words through W_ToWord (rounded, clipped to the scale).
int32_t GetClipBoard(void* window, WaveHandle h, int32_t first, int32_t count, int32_t inUse,
                     int32_t& pasted);

class QMimeData;
namespace velda {
// At most `limit` points from clipboard data: the private run of words
// when it is there and well formed, else the text.
std::vector<int16_t> Clipboard_Points(const QMimeData& mime, int64_t limit);
} // namespace velda
