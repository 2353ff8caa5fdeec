#include "graphics/guisystem/GuiUnits.h"

#include <cmath>

Rect GuiUnits::BoxToPixels(const GuiBox& box) const
{
    Rect r;
    r.mLeft = int32_t(std::lround(GuiToPixelX(box.mX)));
    r.mTop = int32_t(std::lround(GuiToPixelY(box.mY)));
    r.mRight = int32_t(std::lround(GuiToPixelX(box.mX + box.mWidth)));
    r.mBottom = int32_t(std::lround(GuiToPixelY(box.mY - box.mHeight)));
    return r;
}
