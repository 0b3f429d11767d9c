#include "document/Grid.h"

#include "engine/wavelb32_draw.h"

#include <QPainter>

namespace velda {

void Grid::Drow(QPainter* picture, int width, int height) const {
    if (!picture || !picture->isActive())
        return;
    using engine::bgrColor;
    engine::GridStyle style;
    style.xCount = xCount_;
    style.yCount = yCount_;
    style.xLineColor = bgrColor(static_cast<uint32_t>(xLineColor_));
    style.yLineColor = bgrColor(static_cast<uint32_t>(yLineColor_));
    style.xCenterColor = bgrColor(static_cast<uint32_t>(xCenterColor_));
    style.yCenterColor = bgrColor(static_cast<uint32_t>(yCenterColor_));
    picture->save();
    picture->setRenderHint(QPainter::Antialiasing, false);
    engine::drawGridLines(*picture, style, width, height);
    picture->restore();
}

} // namespace velda
