#include "control/WaveData.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>

namespace velda::control {

int16_t Mask_Divisor(int64_t mask) {
    return static_cast<int16_t>(static_cast<uint16_t>((65536 - mask) & 0xFFFF));
}

namespace {

// Floor division and remainder 0 <= r < d for d > 0, rounded to even.
int32_t divideEven(int32_t w, int32_t d) {
    int32_t q = w / d;
    int32_t r = w % d;
    if (r < 0) {
        q -= 1;
        r += d;
    }
    const int32_t twice = 2 * r;
    if (twice > d || (twice == d && (q & 1) != 0))
        ++q;
    return q;
}

inline void put(uint8_t* out, int32_t v, bool swap) {
    const auto u = static_cast<uint16_t>(v & 0xFFFF);
    const auto hi = static_cast<uint8_t>(u >> 8);
    const auto lo = static_cast<uint8_t>(u & 0xFF);
    out[0] = swap ? lo : hi;
    out[1] = swap ? hi : lo;
}

// w / 2^k rounded to even, with an arithmetic shift: the dropped bits are
// compared with one half of the divisor. The order and sign are template
// arguments so the loop has no branch and vectorises.
template <bool Negate, bool Swap>
void convertShift(const int16_t* in, int32_t count, int k, uint8_t* out) {
    const int32_t low = (1 << k) - 1;
    const int32_t half = 1 << (k - 1);
    for (int32_t i = 0; i < count; ++i) {
        const int32_t w = Negate ? -static_cast<int32_t>(in[i]) : in[i];
        int32_t q = w >> k;
        const int32_t r = w & low;
        q += static_cast<int32_t>(r > half) | (static_cast<int32_t>(r == half) & q & 1);
        const auto u = static_cast<uint16_t>(q);
        out[2 * i] = static_cast<uint8_t>(Swap ? u : u >> 8);
        out[2 * i + 1] = static_cast<uint8_t>(Swap ? u >> 8 : u);
    }
}

template <bool Negate>
void convertShift(const int16_t* in, int32_t count, int k, bool swap, uint8_t* out) {
    if (swap)
        convertShift<Negate, true>(in, count, k, out);
    else
        convertShift<Negate, false>(in, count, k, out);
}

template <bool Swap> void convertCopy(const int16_t* in, int32_t count, uint8_t* out) {
    for (int32_t i = 0; i < count; ++i) {
        const auto u = static_cast<uint16_t>(in[i]);
        out[2 * i] = static_cast<uint8_t>(Swap ? u : u >> 8);
        out[2 * i + 1] = static_cast<uint8_t>(Swap ? u >> 8 : u);
    }
}

} // namespace

int32_t Scale_Word(int16_t w, int16_t d) {
    if (d < 0)
        return divideEven(-static_cast<int32_t>(w), -static_cast<int32_t>(d));
    return divideEven(w, d);
}

bool Convert_WaveData(std::span<const int16_t> words, int32_t count, int64_t mask, bool swap,
                      std::span<uint8_t> bytes) {
    const int16_t d = Mask_Divisor(mask);
    if (d == 0 || count < 0 || static_cast<size_t>(count) > words.size() ||
        2 * static_cast<size_t>(count) > bytes.size())
        return false;
    const int16_t* in = words.data();
    uint8_t* out = bytes.data();
    const bool negate = d < 0;
    const auto magnitude = static_cast<uint32_t>(negate ? -static_cast<int32_t>(d) : d);
    if (magnitude == 1 && !negate) {
        if (swap)
            convertCopy<true>(in, count, out);
        else
            convertCopy<false>(in, count, out);
    } else if (magnitude == 1) {
        for (int32_t i = 0; i < count; ++i)
            put(out + 2 * static_cast<size_t>(i), -static_cast<int32_t>(in[i]), swap);
    } else if (std::has_single_bit(magnitude)) {
        const int k = std::countr_zero(magnitude);
        if (negate)
            convertShift<true>(in, count, k, swap, out);
        else
            convertShift<false>(in, count, k, swap, out);
    } else {
        for (int32_t i = 0; i < count; ++i)
            put(out + 2 * static_cast<size_t>(i), Scale_Word(in[i], d), swap);
    }
    return true;
}

bool Convert_WaveData(WaveHandle buffer, int32_t count, int64_t mask, bool swap,
                      QByteArray& bytes) {
    const auto words = engine::bufferWords(buffer);
    if (count < 0 || static_cast<size_t>(count) > words.size() || Mask_Divisor(mask) == 0)
        return false;
    // Every refusal is checked above, so the block is written in place (a
    // block of the same size reuses its memory).
    bytes.resize(2 * static_cast<qsizetype>(count));
    std::span<uint8_t> target(reinterpret_cast<uint8_t*>(bytes.data()),
                              static_cast<size_t>(bytes.size()));
    return Convert_WaveData(std::span<const int16_t>(words.data(), words.size()), count, mask, swap,
                            target);
}

QByteArray Block_Header(int64_t byteCount) {
    const QByteArray digits =
        QByteArray::number(static_cast<qlonglong>(byteCount < 0 ? 0 : byteCount));
    return '#' + QByteArray::number(digits.size()) + digits;
}

QString Replace_BlockToken(const QString& line, int64_t byteCount, bool* hadToken) {
    const bool has = line.contains(BlockToken);
    if (hadToken != nullptr)
        *hadToken = has;
    if (!has)
        return line;
    QString out = line;
    out.replace(BlockToken, QString::fromLatin1(Block_Header(byteCount)));
    return out;
}

QString Function_Command(int16_t modelNo, int16_t memoryNo) {
    const int n = memoryNo;
    if (modelNo == 0)
        return QStringLiteral(":FUNC ARB") + QString::number(n);
    if (modelNo <= 20)
        return QStringLiteral("FNC 6");
    if (modelNo == 21)
        return QStringLiteral("FUNC ") + QString::number(n + 2);
    if (modelNo == 22)
        return QStringLiteral("FNC ") + QString::number(n + 5);
    return QStringLiteral("Wave ") + QString::number(n + 1);
}

bool Needs_OutputAfterFunction(int16_t modelNo) {
    return modelNo >= 23;
}

QString Output_Command(int16_t outputState) {
    return outputState == 0 ? QStringLiteral("Outp 1") : QStringLiteral("Outp 0");
}

QString Plain_Decimal(double value) {
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == 0)
        value = 0; // no "-0"
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::fixed);
    return QString::fromLatin1(buffer.data(), static_cast<qsizetype>(result.ptr - buffer.data()));
}

QString PowerSource_SendLine(int16_t memoryNo, int64_t byteCount) {
    return QStringLiteral(":TRAC Arb") + QString::number(memoryNo) + QLatin1Char(',') +
           QString::fromLatin1(Block_Header(byteCount));
}

namespace {
bool notPrintable(QChar c) {
    const char16_t u = c.unicode();
    return u <= 32 || u == 96 || u == 127 || u == 160 || (u >= 248 && u <= 255);
}
} // namespace

QString Printable_Name(const QString& name) {
    qsizetype first = 0;
    qsizetype last = name.size();
    while (first < last && notPrintable(name[first]))
        ++first;
    while (last > first && notPrintable(name[last - 1]))
        --last;
    return name.mid(first, last - first);
}

} // namespace velda::control
