#include "document/WaveView.h"

#include "engine/wavelb32_draw.h"
#include "setup/SystemSetup.h"
#include "units/NumberText.h"

#include <algorithm>
#include <cmath>

namespace velda {

namespace {
constexpr int kVScrollMax = 32767; // the vertical bar counts 2 words per unit
} // namespace

int32_t ViewState::XScrollStepFor(int32_t n) {
    return SystemSetup::Display_Step(n);
}

void ViewState::reset(int32_t n) {
    ViewXStart = 0;
    ViewXEnd = n;
    ViewYStart = 0;
    ViewYEnd = 65534;
    XScrollStep = XScrollStepFor(n);
}

ScrollBarSetting ViewState::initialHScroll(int32_t n) {
    ScrollBarSetting s;
    s.maximum = static_cast<int>(Round_Even((n / 2.0) / XScrollStepFor(n)));
    s.enabled = false;
    return s;
}

ScrollBarSetting ViewState::zoomX(int k, int value, int32_t n) {
    XZoom = 1 << std::clamp(k, 0, 7);
    ScrollBarSetting s;
    if (XZoom == 1) {
        s.value = 0;
        s.maximum = static_cast<int>(Round_Even(static_cast<double>(n) / XScrollStep));
        s.enabled = false;
        ViewXStart = 0;
        ViewXEnd = n;
        return s;
    }
    const int page = static_cast<int>(Round_Even(static_cast<double>(n) / XZoom / XScrollStep));
    s.maximum =
        std::max(0, static_cast<int>(Round_Even(static_cast<double>(n) / XScrollStep - page)));
    s.enabled = true;
    s.pageStep = std::max(1, page);
    s.value = std::clamp(value, 0, s.maximum);
    ViewXStart = s.value * XScrollStep;
    ViewXEnd = (s.value + page) * XScrollStep;
    return s;
}

bool ViewState::scrollX(int v, int32_t n) {
    if (static_cast<double>(v) == static_cast<double>(ViewXStart) / XScrollStep)
        return false;
    ViewXStart = v * XScrollStep;
    ViewXEnd = ViewXStart + static_cast<int32_t>(Round_Even(static_cast<double>(n) / XZoom));
    return true;
}

ScrollBarSetting ViewState::zoomY(int k, int value) {
    YZoom = 1 << std::clamp(k, 0, 8);
    ScrollBarSetting s;
    if (YZoom == 1) {
        s.maximum = kVScrollMax;
        s.value = 0;
        s.enabled = false;
        ViewYStart = 0;
        ViewYEnd = 65534;
        return s;
    }
    const int page = kVScrollMax / YZoom;
    s.maximum = kVScrollMax - page;
    s.enabled = true;
    s.pageStep = page;
    int v;
    if (value == 0) {
        v = static_cast<int>(Round_Even(kVScrollMax / 2.0 - page / 2.0));
    } else {
        const double c = (ViewYEnd - ViewYStart) / 2.0 + ViewYStart;
        v = static_cast<int>(std::trunc(c / 2.0 - page / 2.0));
    }
    s.value = std::clamp(v, 0, s.maximum);
    scrollY(s.value);
    return s;
}

void ViewState::scrollY(int value) {
    ViewYStart = value * 2;
    ViewYEnd = ViewYStart + static_cast<int32_t>(Round_Half_Up(65536.0 / YZoom)) - 1;
}

int32_t ViewState::middleOffset() const {
    return static_cast<int32_t>(Round_Half_Up((ViewYEnd - ViewYStart) / 2.0)) + ViewYStart;
}

int32_t ViewState::middleWord() const {
    const int32_t w = 32767 - middleOffset();
    return w == -1 ? 0 : w;
}

double ViewState::pointToPixelXExact(double p, int w, int32_t n) const {
    p = std::clamp(p, 0.0, static_cast<double>(n));
    const double span = ViewXEnd - ViewXStart;
    return span > 0 ? (p - ViewXStart) * w / span : 0.0;
}

int64_t ViewState::PointToPixelX(double p, int w, int32_t n) const {
    return Round_Even(pointToPixelXExact(p, w, n));
}

double ViewState::PixelToPointX(double px, int w) const {
    return w > 0 ? static_cast<double>(ViewXEnd - ViewXStart) / w * px + ViewXStart : ViewXStart;
}

engine::WordRows ViewState::rows(int h) const {
    return {static_cast<double>(ViewYStart), static_cast<double>(ViewYEnd - ViewYStart), h};
}

double ViewState::PixelToWordY(double py, int h) const {
    return rows(h).wordAt(py);
}

double ViewState::wordToPixelYExact(double word, int h) const {
    return rows(h).position(word);
}

int64_t ViewState::WordToPixelY(double word, int h) const {
    return rows(h).row(word);
}

double ViewState::PointerWordY(double py, int h) const {
    const engine::WordRows r = rows(h);
    return r.rowWord(engine::WordRows::rowAt(py, h));
}

int ViewState::markerColumn(double x, int w) const {
    return engine::markerColumn(x, ViewXStart, ViewXEnd - ViewXStart, w);
}

int64_t ViewState::zeroRow(int h) const {
    return rows(h).row(0);
}

bool ViewState::zeroLineShown(int h) const {
    const engine::WordRows r = rows(h);
    if (!r.valid())
        return false;
    const double y0 = std::nearbyint(r.position(0));
    return y0 >= 0 && y0 <= h;
}

} // namespace velda
