#include "control/WaveData.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace velda::control {

int16_t Mask_Divisor(int64_t mask) {
    return static_cast<int16_t>(static_cast<uint16_t>((65536 - mask) & 0xFFFF));
}

namespace {

// Eight words at a time with the compilers' vector extensions: GCC at -O2
// leaves the plain loops scalar (a widening with a run-time shift count, or
// a division, is not vectorised), and the conversion runs before every
// transfer.
using Words = int16_t __attribute__((vector_size(16)));
using Unsigned = uint16_t __attribute__((vector_size(16)));
using Wide = int32_t __attribute__((vector_size(32)));
using Reals = double __attribute__((vector_size(64)));
constexpr int32_t Lane = 8;

struct Copy {
    Unsigned operator()(Words x) const { return reinterpret_cast<Unsigned>(x); }
};

// x / 2^k rounded to even, k >= 1: an arithmetic shift, the dropped bits
// compared with one half. Rounding to even is symmetric, so a negative
// divisor negates the result.
struct Shift {
    int k;
    bool negate;
    Unsigned operator()(Words x) const {
        const auto low = static_cast<int16_t>((1 << k) - 1);
        const auto half = static_cast<int16_t>(1 << (k - 1));
        const Words q = x >> k;
        const Words r = x & low;
        // Comparisons give -1 for true.
        const Words up = ((r > half) | ((r == half) & ((q & 1) != 0))) & 1;
        const auto u = reinterpret_cast<Unsigned>(q + up);
        return negate ? -u : u;
    }
};

// Any other divisor: the quotient of two 16-bit numbers in double is within
// 2^-37 of the true one, and a quotient that is not a tie lies at least
// 2^-17 from one, so rounding the double to nearest-even is exact. Adding
// and taking away 1.5 x 2^52 rounds that way in the default rounding mode.
struct Divide {
    double d;
    Unsigned operator()(Words x) const {
        constexpr double Round = 6755399441055744.0;
        Reals f = __builtin_convertvector(x, Reals) / d;
        f = (f + Round) - Round;
        return __builtin_convertvector(__builtin_convertvector(f, Wide), Unsigned);
    }
};

// The words in memory are in the host's order; `lowFirst` is the order
// wanted.
template <class Op>
void convertWith(const int16_t* in, int32_t count, bool lowFirst, uint8_t* out, Op op) {
    const bool exchange = lowFirst != (std::endian::native == std::endian::little);
    auto one = [&](Words x) {
        const Unsigned u = op(x);
        return exchange ? static_cast<Unsigned>((u >> 8) | (u << 8)) : u;
    };
    int32_t i = 0;
    for (; i + Lane <= count; i += Lane) {
        Words x;
        std::memcpy(&x, in + i, sizeof x);
        const Unsigned u = one(x);
        std::memcpy(out + 2 * static_cast<size_t>(i), &u, sizeof u);
    }
    if (i < count) {
        // The last few words through a zero-filled lane; only theirs is written.
        const auto rest = static_cast<size_t>(count - i);
        Words x{};
        std::memcpy(&x, in + i, rest * sizeof(int16_t));
        const Unsigned u = one(x);
        std::memcpy(out + 2 * static_cast<size_t>(i), &u, rest * sizeof(uint16_t));
    }
}

} // namespace

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
    if (d == 1)
        convertWith(in, count, swap, out, Copy{});
    else if (magnitude > 1 && std::has_single_bit(magnitude))
        convertWith(in, count, swap, out, Shift{std::countr_zero(magnitude), negate});
    else
        convertWith(in, count, swap, out, Divide{static_cast<double>(d)});
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
