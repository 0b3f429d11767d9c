#include "engine/file32.h"

#include "engine/DataWord.h"
#include "engine/FixedText.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <QtEndian>
#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <optional>
#include <unistd.h>
#include <vector>

namespace velda::file32 {
namespace {

constexpr char kWdbMagic[4] = {'V', 'W', 'D', 'B'};
constexpr char kOcbMagic[4] = {'V', 'O', 'C', 'B'};
constexpr uint16_t kVersion = 1;
constexpr int kMemorySizeOffset = 90; // i32 MemorySize inside the packed record

// Offsets of the 8-byte doubles of the packed record.
constexpr int kDoubleOffsets[] = {138, 146, 154, 162, 170, 178, 186, 194, 206, 214,
                                  222, 230, 240, 248, 256, 264, 276, 284, 294, 302};

// A text waveform of 65,536 points is well under 1 MiB; anything far beyond
// that is not one of ours.
constexpr qint64 kMaxTxtBytes = 16 * 1024 * 1024;

void putHeader(QByteArray& out, const char (&magic)[4]) {
    out.append(magic, 4);
    uchar v[4];
    qToLittleEndian<uint16_t>(kVersion, v);
    qToLittleEndian<uint16_t>(0, v + 2);
    out.append(reinterpret_cast<const char*>(v), 4);
}

bool headerIs(QByteArrayView bytes, const char (&magic)[4]) {
    if (bytes.size() < kWdbHeaderSize || std::memcmp(bytes.data(), magic, 4) != 0)
        return false;
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    return qFromLittleEndian<uint16_t>(p + 4) == kVersion &&
           qFromLittleEndian<uint16_t>(p + 6) == 0;
}

int32_t recordMemorySize(const PackedRecord& record) {
    return qFromLittleEndian<int32_t>(record.data() + kMemorySizeOffset);
}

// Parses one trimmed number: optional sign, decimal digits with an optional
// point and exponent; nothing may follow it.
std::optional<double> parseNumber(const char* first, const char* last) {
    if (first != last && *first == '+') {
        ++first;
        if (first != last && *first == '-')
            return std::nullopt;
    }
    double v = 0;
    auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (ec != std::errc() || ptr != last || !std::isfinite(v))
        return std::nullopt;
    return v;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

} // namespace

bool recordIsSound(const PackedRecord& record) {
    for (int off : kDoubleOffsets) {
        const auto bits = qFromLittleEndian<uint64_t>(record.data() + off);
        if (!std::isfinite(std::bit_cast<double>(bits)))
            return false;
    }
    return true;
}

QByteArray wdbBytes(const PackedRecord& record, std::span<const int16_t> words) {
    QByteArray out;
    out.reserve(kWdbDataOffset + static_cast<qsizetype>(words.size()) * 2);
    putHeader(out, kWdbMagic);
    out.append(reinterpret_cast<const char*>(record.data()), kPackedRecordSize);
    uchar n[4];
    qToLittleEndian<int32_t>(static_cast<int32_t>(words.size()), n);
    out.append(reinterpret_cast<const char*>(n), 4);
    const qsizetype start = out.size();
    out.resize(start + static_cast<qsizetype>(words.size()) * 2);
    qToLittleEndian<int16_t>(words.data(), static_cast<qsizetype>(words.size()),
                             out.data() + start);
    return out;
}

int64_t parseWdb(QByteArrayView bytes, PackedRecord& record, std::span<int16_t> words) {
    if (bytes.size() < kWdbDataOffset || !headerIs(bytes, kWdbMagic))
        return -1;
    PackedRecord rec;
    std::memcpy(rec.data(), bytes.data() + kWdbHeaderSize, kPackedRecordSize);
    if (!recordIsSound(rec))
        return -1;
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    const int64_t count = qFromLittleEndian<int32_t>(p + kWdbCountOffset);
    if (count < 1 || count > static_cast<int64_t>(words.size()) || count != recordMemorySize(rec) ||
        bytes.size() != kWdbDataOffset + count * 2)
        return -1;
    record = rec;
    qFromLittleEndian<int16_t>(p + kWdbDataOffset, count, words.data());
    // -32768 lies below the full scale; it reads as the bottom of the scale.
    for (int64_t i = 0; i < count; ++i)
        words[static_cast<size_t>(i)] = std::max<int16_t>(words[static_cast<size_t>(i)], kWordMin);
    return count;
}

QByteArray ocbBytes(const PackedRecord& record) {
    QByteArray out;
    putHeader(out, kOcbMagic);
    out.append(reinterpret_cast<const char*>(record.data()), kPackedRecordSize);
    return out;
}

bool parseOcb(QByteArrayView bytes, PackedRecord& record) {
    if (bytes.size() != kOcbSize || !headerIs(bytes, kOcbMagic))
        return false;
    PackedRecord rec;
    std::memcpy(rec.data(), bytes.data() + kWdbHeaderSize, kPackedRecordSize);
    if (!recordIsSound(rec))
        return false;
    record = rec;
    return true;
}

QByteArray txtBytes(std::span<const int16_t> words) {
    // "-32767\r\n" is the longest line.
    QByteArray out(static_cast<qsizetype>(words.size()) * 8, Qt::Uninitialized);
    char* p = out.data();
    for (int16_t w : words) {
        p = std::to_chars(p, p + 6, w).ptr;
        *p++ = '\r';
        *p++ = '\n';
    }
    out.truncate(p - out.data());
    return out;
}

bool parseTxt(QByteArrayView bytes, std::span<int16_t> words) {
    std::vector<int16_t> scratch(words.size(), 0);
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    if (bytes.size() >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3; // byte-order mark that spreadsheets put in front
    size_t found = 0;
    bool headerSeen = false;
    while (p < end && found < scratch.size()) {
        const char* eol = p;
        while (eol < end && *eol != '\n' && *eol != '\r')
            ++eol;
        const char* a = p;
        const char* b = eol;
        p = eol < end ? eol + 1 : end;
        while (a < b && isBlank(*a))
            ++a;
        while (b > a && isBlank(b[-1]))
            --b;
        if (a == b)
            continue;
        if (auto v = parseNumber(a, b)) {
            scratch[found++] = W_ToWord(*v);
        } else if (found == 0 && !headerSeen) {
            headerSeen = true; // a column title above the numbers
        } else {
            return false;
        }
    }
    if (found == 0)
        return false;
    std::copy(scratch.begin(), scratch.end(), words.begin());
    return true;
}

bool saveTargetOk(const QString& path) {
    const QFileInfo target(path);
    QFileInfo end = target;
    for (int hops = 0; end.isSymLink(); ++hops) {
        if (hops == 40)
            return false; // a loop
        end.setFile(end.symLinkTarget());
    }
    if (end.suffix().compare(target.suffix(), Qt::CaseInsensitive) != 0)
        return false;
    return fileOrNothing(end.filePath());
}

bool sameFile(const QString& a, const QString& b) {
    const QFileInfo x(a), y(b);
    return x.exists() && y.exists() ? x.canonicalFilePath() == y.canonicalFilePath()
                                    : x.absoluteFilePath() == y.absoluteFilePath();
}

bool fileOrNothing(const QString& path) {
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

bool commitWhole(QSaveFile& file) {
    if (!file.flush() || ::fdatasync(file.handle()) != 0) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

int32_t saveBytes(const QString& path, const QByteArray& bytes) {
    if (!saveTargetOk(path))
        return kFileWriteError;
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return kFileWriteError;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return kFileWriteError;
    }
    return commitWhole(f) ? kFileOk : kFileWriteError;
}

} // namespace velda::file32

// ---------------------------------------------------------------------------
// File entry points

using namespace velda;
using namespace velda::file32;

namespace {

// The whole file, or nothing when it cannot be read or is larger than
// maxBytes (checked by reading one byte more, so devices without a size are
// bounded too).
std::optional<QByteArray> readWhole(const QString& path, qint64 maxBytes) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = f.read(maxBytes + 1);
    if (bytes.size() > maxBytes || f.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

template <class F> int32_t guarded(int32_t failure, F&& body) {
    try {
        return body();
    } catch (const std::exception&) {
        return failure; // e.g. memory exhausted while building the bytes
    }
}

} // namespace

int32_t SaveWaveData(const QString& path, WaveHandle h, int32_t first, int32_t count) {
    return guarded(kFileWriteError, [&] {
        auto words = engine::bufferWords(h);
        const auto run = engine::clipRun(first, count, static_cast<int64_t>(words.size()));
        if (run.count <= 0 || first < 0 || run.count != count)
            return kFileWriteError;
        return saveBytes(path, txtBytes(words.subspan(static_cast<size_t>(run.first),
                                                      static_cast<size_t>(run.count))));
    });
}

int32_t LoadWaveData(const QString& path, WaveHandle h, int32_t first, int32_t count) {
    return guarded(kFileReadError, [&] {
        auto words = engine::bufferWords(h);
        const auto run = engine::clipRun(first, count, static_cast<int64_t>(words.size()));
        if (run.count <= 0 || first < 0 || run.count != count)
            return kFileReadError;
        const auto bytes = readWhole(path, kMaxTxtBytes);
        if (!bytes)
            return kFileReadError;
        return parseTxt(*bytes, words.subspan(static_cast<size_t>(run.first),
                                              static_cast<size_t>(run.count)))
                   ? kFileOk
                   : kFileReadError;
    });
}

int32_t Save7731File(const QString& path, const PackedRecord& record, WaveHandle h) {
    return guarded(kFileWriteError, [&] {
        auto words = engine::bufferWords(h);
        const int64_t n = recordMemorySize(record);
        if (n < 1 || n > static_cast<int64_t>(words.size()) || !recordIsSound(record))
            return kFileWriteError;
        return saveBytes(path, wdbBytes(record, words.first(static_cast<size_t>(n))));
    });
}

int32_t Read7731File(const QString& path, PackedRecord& record, WaveHandle h) {
    return guarded(kFileReadError, [&] {
        auto words = engine::bufferWords(h);
        if (words.empty())
            return kFileReadError;
        const auto bytes = readWhole(path, kWdbDataOffset + static_cast<qint64>(words.size()) * 2);
        if (!bytes)
            return kFileReadError;
        std::vector<int16_t> scratch(words.size(), 0);
        PackedRecord rec = record;
        const int64_t n = parseWdb(*bytes, rec, scratch);
        if (n < 0)
            return kFileReadError;
        record = rec;
        std::copy(scratch.begin(), scratch.end(), words.begin());
        return kFileOk;
    });
}

int32_t SaveSystemFile(const QString& path, const PackedRecord& record) {
    return guarded(kFileWriteError, [&] {
        if (!recordIsSound(record))
            return kFileWriteError;
        return saveBytes(path, ocbBytes(record));
    });
}

int32_t ReadSystemFile(const QString& path, PackedRecord& record) {
    return guarded(kFileReadError, [&] {
        const auto bytes = readWhole(path, kOcbSize);
        if (!bytes)
            return kFileReadError;
        return parseOcb(*bytes, record) ? kFileOk : kFileReadError;
    });
}
