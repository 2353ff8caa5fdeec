#include "graphics/GuiSeam.h"

#include "input/IOLoom.h"

void InputGuiStandIn::Update()
{
    IOLoom* io = IOLoom::Instance();
    mHasMouse = io != nullptr;
    if (!io)
        return;
    mMouseX = float(io->GetMouseX());
    mMouseY = float(io->GetMouseY());
}

void InputGuiStandIn::ScreenToClip(float x, float y, float& clipX, float& clipY) const
{
    clipX = 2.0f * x / float(mWidth) - 1.0f;
    clipY = 1.0f - 2.0f * y / float(mHeight);
}
