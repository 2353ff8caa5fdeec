#include "graphics/guisystem/GuiFonts.h"

#include "graphics/GraphicsLoom.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/font/BitmapFont.h"
#include "graphics/font/FontList.h"

GuiFonts::GuiFonts() = default;

GuiFonts::~GuiFonts() = default;

size_t GuiFonts::Load(const std::string& configFile, GraphicsDevice* device)
{
    mOwn = std::make_unique<FontList>();
    return mOwn->Load(configFile, device);
}

FontList* GuiFonts::GetList() const
{
    if (mOwn)
        return mOwn.get();
    GraphicsLoom* loom = GraphicsLoom::Instance();
    GraphicsCommands* commands = loom ? loom->GetCommands() : nullptr;
    return commands ? &commands->Fonts() : nullptr;
}

BitmapFont* GuiFonts::GetFont(int32_t index) const
{
    FontList* fonts = GetList();
    return fonts && index >= 0 ? fonts->Get(size_t(index)) : nullptr;
}

void GuiFonts::OnDeviceLost()
{
    if (mOwn)
        mOwn->InvalidateDeviceObjects();
}

void GuiFonts::OnDeviceReset()
{
    if (mOwn)
        mOwn->RestoreDeviceObjects();
}

void GuiFonts::Release() { mOwn.reset(); }
