#include "engine/wavelb32.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace velda::engine {
namespace {

struct Buffer {
    std::unique_ptr<int16_t[]> words;
    int64_t size = 0;
};

std::vector<Buffer>& table() {
    static std::vector<Buffer> t;
    return t;
}

Buffer* lookup(WaveHandle h) {
    auto& t = table();
    if (h <= 0 || static_cast<size_t>(h) > t.size())
        return nullptr;
    Buffer& b = t[static_cast<size_t>(h) - 1];
    return b.words ? &b : nullptr;
}

int64_t toPoint(double v) {
    if (!(v > 0)) // NaN and negatives
        return 0;
    if (v >= 9.0e15)
        return INT64_C(9000000000000000);
    return std::llround(v);
}

} // namespace

Run clipRun(double first, double count, int64_t size) {
    // The end is rounded, not the count: rounding both ends of [S, S + w) on
    // their own would give one point more than the area holds when S is a
    // half (100.5 + 99.5 reaching point 200).
    const double from = first > 0 ? first : 0;
    Run r;
    r.first = std::min(toPoint(from), size);
    const int64_t end = count > 0 ? std::min(toPoint(from + count), size) : r.first;
    r.count = std::max<int64_t>(end - r.first, 0);
    return r;
}

std::span<int16_t> bufferWords(WaveHandle h) {
    Buffer* b = lookup(h);
    if (!b)
        return {};
    return {b->words.get(), static_cast<size_t>(b->size)};
}

int liveBuffers() {
    return static_cast<int>(
        std::count_if(table().begin(), table().end(), [](const Buffer& b) { return !!b.words; }));
}

} // namespace velda::engine

using namespace velda::engine;

WaveHandle W_AllocMemory(int32_t points) {
    if (points <= 0)
        return 0;
    Buffer b;
    b.words.reset(new (std::nothrow) int16_t[static_cast<size_t>(points)]());
    if (!b.words)
        return 0;
    b.size = points;
    auto& t = table();
    // Reuse a freed slot so handles stay small over a long session.
    for (size_t i = 0; i < t.size(); ++i) {
        if (!t[i].words) {
            t[i] = std::move(b);
            return static_cast<WaveHandle>(i + 1);
        }
    }
    if (t.size() >= static_cast<size_t>(INT32_MAX - 1))
        return 0;
    t.push_back(std::move(b));
    return static_cast<WaveHandle>(t.size());
}

void W_FreeMemory(WaveHandle h) {
    if (Buffer* b = lookup(h)) {
        b->words.reset();
        b->size = 0;
    }
}

void W_ClearMemory(WaveHandle h, double first, double count) {
    auto words = bufferWords(h);
    const Run r = clipRun(first, count, static_cast<int64_t>(words.size()));
    std::fill_n(words.data() + r.first, r.count, int16_t{0});
}

void W_CopyMemory(WaveHandle src, WaveHandle dst, double srcFirst, double dstFirst, double count) {
    auto from = bufferWords(src);
    auto to = bufferWords(dst);
    if (from.empty() || to.empty())
        return;
    const Run s = clipRun(srcFirst, count, static_cast<int64_t>(from.size()));
    const Run d = clipRun(dstFirst, static_cast<double>(s.count), static_cast<int64_t>(to.size()));
    std::memmove(to.data() + d.first, from.data() + s.first,
                 static_cast<size_t>(d.count) * sizeof(int16_t));
}

void W_DeleteWave(WaveHandle h, double first, double count, int32_t inUse) {
    auto words = bufferWords(h);
    const int64_t used = std::clamp<int64_t>(inUse, 0, static_cast<int64_t>(words.size()));
    const Run r = clipRun(first, count, used);
    if (r.count == 0)
        return;
    int16_t* p = words.data();
    std::memmove(p + r.first, p + r.first + r.count,
                 static_cast<size_t>(used - r.first - r.count) * sizeof(int16_t));
    std::fill(p + used - r.count, p + used, int16_t{0});
}

int32_t W_GetWaveData(WaveHandle h, double point, double inUse) {
    auto words = bufferWords(h);
    const int64_t used = std::min(toPoint(std::floor(inUse)), static_cast<int64_t>(words.size()));
    if (used <= 0)
        return 0;
    int64_t i = std::isnan(point) || point < 0 ? 0 : toPoint(std::floor(point + 0.5));
    i = std::min(i, used - 1);
    return words[static_cast<size_t>(i)];
}
