#include "graphics/guisystem/GuiMouse.h"

#include "input/IOLoom.h"

void GuiMouse::Update()
{
    IOLoom* io = IOLoom::Instance();
    if (!io)
    {
        mPresent = false;
        return;
    }
    mX = float(io->GetMouseX());
    mY = float(io->GetMouseY());
    // The mouse counts as present once it has moved or pressed a button: a pointer is
    // not drawn in the corner of a screen no mouse has touched.
    if (!mPresent)
        mPresent = mX != 0.0f || mY != 0.0f || io->MousePressed(0) || io->MousePressed(1);
}

void GuiMouse::SetOver(bool over, const std::string& name)
{
    mOver = over;
    if (mOverName != name)
        mOverName = name;
}
