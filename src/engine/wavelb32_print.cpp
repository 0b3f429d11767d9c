#include "engine/wavelb32_print.h"

#include "engine/wavelb32_draw.h"

#include <QPainter>

void W_DrawDigital(QPainter* surface, WaveHandle h, double first, double count, int32_t bitCount,
                   int32_t width, int32_t height) {
    if (!surface || !surface->isActive())
        return;
    const int32_t ink = static_cast<int32_t>(velda::engine::toBgr(surface->pen().color()));
    constexpr int32_t kWhite = 0xFFFFFF;
    // No selection and markers outside the run: nothing is tinted.
    W_DrawDigitalPattern(surface, h, first, count, bitCount, 0, -1, -1, width, height, ink, kWhite,
                         ink, 0x8000);
}
