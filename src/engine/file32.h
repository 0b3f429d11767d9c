#pragma once
// Waveform, set-up and expression files. Paths are QStrings (the program's own
// text; Qt converts them to the file system's encoding). Whole-file calls
// return 0 on success, 71 when a read fails and 72 when a write fails (the
// numbers of the matching messages); a failed read leaves the caller's buffer
// and record exactly as they were, and a failed write leaves any previous file
// as it was (files are written aside and renamed into place).
//
// Layouts (all little-endian):
//   .wdb  "VWDB", u16 version 1, u16 0, 326-byte record, i32 point count n,
//         n x i16 data words; n equals the record's memory size.
//   .ocb  "VOCB", u16 version 1, u16 0, 326-byte record.
//   .txt  one decimal data word per line, CR LF (reading also takes LF or CR
//         alone, blank lines and one header line before the first number).
//   .wfn  the expression text written by files/ExpressionFile.

#include "engine/wavelb32.h"

#include <QByteArray>
#include <array>
#include <cstdint>
#include <span>

class QIODevice;
class QSaveFile;
class QString;

namespace velda {

constexpr int kPackedRecordSize = 326;
using PackedRecord = std::array<uint8_t, kPackedRecordSize>;

constexpr int32_t kFileOk = 0;
constexpr int32_t kFileReadError = 71;
constexpr int32_t kFileWriteError = 72;

// Lengths of the two texts of an expression-file page.
constexpr int kConstTextLength = 944;
constexpr int kExprTextLength = 1024;

} // namespace velda

// Text waveform: points [first, first + count) of the buffer.
int32_t SaveWaveData(const QString& path, WaveHandle h, int32_t first, int32_t count);
// Fills [first, first + count): a file with fewer numbers clears the points it
// does not reach, one with more gives its first `count`.
int32_t LoadWaveData(const QString& path, WaveHandle h, int32_t first, int32_t count);

// Binary waveform: the record and as many points as its memory size names.
int32_t Save7731File(const QString& path, const velda::PackedRecord& record, WaveHandle h);
// Points beyond the file's count are cleared.
int32_t Read7731File(const QString& path, velda::PackedRecord& record, WaveHandle h);

// Set-up file: the record alone.
int32_t SaveSystemFile(const QString& path, const velda::PackedRecord& record);
int32_t ReadSystemFile(const QString& path, velda::PackedRecord& record);

// Expression file, read from an open device positioned at its start. The
// header call returns 0, or -1 for a file that is not an expression file;
// ranges named in the header replace the four values, the others stay.
int32_t ReadWaveListHeader(QIODevice& file, double& xMin, double& xMax, double& yMin, double& yMax);
// The next page: 1 when one was read, 0 when there are no more pages, -1 when
// the page block is damaged. A page number or type that is not a whole number
// in 16-bit range is given as -1. The texts are space-padded 8-bit fields.
int32_t ReadOneWaveList(QIODevice& file, int16_t& pageNo, int16_t& type, double& start, double& end,
                        std::span<double, 8> params,
                        std::span<char, velda::kConstTextLength> constText,
                        std::span<char, velda::kExprTextLength> exprText);

namespace velda::file32 {

// In-memory forms of the readers and writers above (used by them, by the
// fuzz targets and by tests). Readers only touch their outputs on success.
constexpr int kWdbHeaderSize = 8;
constexpr int kWdbCountOffset = kWdbHeaderSize + kPackedRecordSize;
constexpr int kWdbDataOffset = kWdbCountOffset + 4;
constexpr int kOcbSize = kWdbHeaderSize + kPackedRecordSize;

QByteArray wdbBytes(const PackedRecord& record, std::span<const int16_t> words);
// `words` receives the file's points (at most words.size()); returns the count
// read or -1 for a damaged or foreign file.
int64_t parseWdb(QByteArrayView bytes, PackedRecord& record, std::span<int16_t> words);

QByteArray ocbBytes(const PackedRecord& record);
bool parseOcb(QByteArrayView bytes, PackedRecord& record);

QByteArray txtBytes(std::span<const int16_t> words);
// Fills `words` (cleared beyond the numbers found); false for a damaged file.
bool parseTxt(QByteArrayView bytes, std::span<int16_t> words);

// Writes the bytes aside and renames them into place, so the previous file
// survives any failure: 0, or 72.
int32_t saveBytes(const QString& path, const QByteArray& bytes);

// Whether a save may put a new file under `path`: nothing there, or a file
// of the same extension, also at the end of a chain of links (a save writes
// through them), never a pipe, a device or a folder.
bool saveTargetOk(const QString& path);

// Both names lead to one file: through links when both exist, else by
// their absolute paths (a file about to be made).
bool sameFile(const QString& a, const QString& b);

// Nothing under `path`, or a file (also at the end of its links): never a
// pipe, a device or a folder, whose read would wait for a writer or never end.
bool fileOrNothing(const QString& path);

// Puts a written QSaveFile in place only when all of it reached the disk:
// a small file is held in the write buffer until the end, and the commit
// puts the new file in place even when emptying that buffer fails (a full
// disk), or when the file system refuses the data only at the sync (network
// file systems, quotas). Otherwise the old file stays, and false.
bool commitWhole(QSaveFile& file);

// A record's numbers are sound (every double finite).
bool recordIsSound(const PackedRecord& record);

} // namespace velda::file32
