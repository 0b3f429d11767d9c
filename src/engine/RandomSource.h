#pragma once
// The engine's random numbers: xoshiro256** seeded through splitmix64. Small
// state (cheap to save and restore), fast, and the same sequence for a seed
// on every platform.

#include <cstdint>

namespace velda::engine {

class RandomSource {
public:
    explicit RandomSource(int32_t seed = 0) { reseed(seed); }

    void reseed(int32_t seed) {
        uint64_t x = static_cast<uint64_t>(static_cast<int64_t>(seed));
        for (uint64_t& word : s_) {
            x += 0x9e3779b97f4a7c15u;
            uint64_t z = x;
            z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
            z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
            word = z ^ (z >> 31);
        }
    }

    uint64_t nextWord() {
        const uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

    // Uniform in [0, 1).
    double next() { return static_cast<double>(nextWord() >> 11) * 0x1.0p-53; }

    bool operator==(const RandomSource&) const = default;

private:
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t s_[4] = {};
};

} // namespace velda::engine
