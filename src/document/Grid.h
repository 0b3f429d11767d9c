#pragma once
// The grid of the analog view: XCount x YCount divisions with their own line
// colours and, for an even count, a middle line in a centre colour. Colours
// are 0xBBGGRR values, as the drawing entry points take them.

#include <cstdint>

class QPainter;

namespace velda {

class Grid {
public:
    static constexpr int32_t kDefaultColor = 0xD0D0D0; // light grey

    Grid() = default;

    // Vertical divisions (vertical lines at width / XCount * j).
    int16_t XCount() const { return xCount_; }
    void setXCount(int16_t v) { xCount_ = v; }
    // Horizontal divisions (horizontal lines at height / YCount * i).
    int16_t YCount() const { return yCount_; }
    void setYCount(int16_t v) { yCount_ = v; }

    // The vertical middle line (even XCount) and the horizontal one (even YCount).
    int32_t XCenterColor() const { return xCenterColor_; }
    void setXCenterColor(int32_t v) { xCenterColor_ = v; }
    int32_t YCenterColor() const { return yCenterColor_; }
    void setYCenterColor(int32_t v) { yCenterColor_ = v; }
    // The ordinary vertical and horizontal lines.
    int32_t XLineColor() const { return xLineColor_; }
    void setXLineColor(int32_t v) { xLineColor_ = v; }
    int32_t YLineColor() const { return yLineColor_; }
    void setYLineColor(int32_t v) { yLineColor_ = v; }

    // Draws the grid on a width x height picture: for i = 1 .. YCount - 1 a
    // horizontal line across the full width at height / YCount * i (to the
    // nearest pixel, halves to even), then the middle line height / 2 again
    // in YCenterColor when YCount is even; the same for the vertical lines
    // with XCount and XCenterColor. A count below 2 draws no lines.
    void Drow(QPainter* picture, int width, int height) const;

private:
    int16_t xCount_ = 10;
    int16_t yCount_ = 8;
    int32_t xCenterColor_ = kDefaultColor;
    int32_t yCenterColor_ = kDefaultColor;
    int32_t xLineColor_ = kDefaultColor;
    int32_t yLineColor_ = kDefaultColor;
};

} // namespace velda
