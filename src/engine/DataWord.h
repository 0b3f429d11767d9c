#pragma once
// The one place where computed values become data words: rounded to the
// nearest whole number (halves away from zero) and clipped to the full scale.

#include <cmath>
#include <cstdint>

namespace velda {

constexpr int kWordMax = 32767;
constexpr int kWordMin = -32767;
constexpr double kFullSpan = 65534.0; // peak-to-peak steps of the full scale
constexpr int kBufferPoints = 65536;  // points of every document and work buffer

inline int16_t W_ToWord(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= kWordMax)
        return kWordMax;
    if (v <= kWordMin)
        return kWordMin;
    return static_cast<int16_t>(std::lround(v));
}

} // namespace velda
