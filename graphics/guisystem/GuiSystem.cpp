#include "graphics/guisystem/GuiSystem.h"

#include <algorithm>
#include <cmath>

#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "graphics/font/BitmapFont.h"

namespace {

GuiWidgetLayer::Maker sLayerMaker = nullptr;
// The system the script functions reach: the one made last.
GuiSystem* sCommandTarget = nullptr;

void ScriptActivateBackground(int32_t index)
{
    if (sCommandTarget)
        sCommandTarget->Looks().ActivateBackground(index);
}

void ScriptOnlyShowMouseOnGui(bool only)
{
    if (sCommandTarget)
        sCommandTarget->Mouse().OnlyShowOnGui(only);
}

} // namespace

void GuiSystem::SetLayerMaker(GuiWidgetLayer::Maker maker) { sLayerMaker = maker; }

std::unique_ptr<GuiSeam> GuiSystem::Make() { return std::make_unique<GuiSystem>(); }

GuiSystem::GuiSystem()
{
    if (sLayerMaker)
        mLayer = sLayerMaker();
}

GuiSystem::~GuiSystem()
{
    Shutdown();
    // The layer's widgets may still draw through this object while they go.
    mLayer.reset();
    if (sCommandTarget == this)
    {
        sCommandTarget = nullptr;
        Console::Instance().RemoveCommand("ActivateBackground");
        Console::Instance().RemoveCommand("OnlyShowMouseOnGui");
    }
}

void GuiSystem::RegisterCommands()
{
    sCommandTarget = this;
    Console& console = Console::Instance();
    console.AddCommand("ActivateBackground", MakeFunctionCommand(&ScriptActivateBackground));
    console.AddCommand("OnlyShowMouseOnGui", MakeFunctionCommand(&ScriptOnlyShowMouseOnGui));
}

void GuiSystem::Init(GraphicsDevice* device, int width, int height)
{
    mUnits.SetSize(width, height);
    mPainter.Init(device);
    if (mConfigFile.empty())
        mConfigFile = Console::Instance().GetConfigFolder() + "GuiConfig.xml";
    mLooks.Read(mConfigFile);
    RegisterCommands();
}

void GuiSystem::Update()
{
    mMouse.Update();
    if (!mVisible)
    {
        mMouse.SetOver(false, std::string());
        return;
    }
    if (mLayer)
        mLayer->Update(*this);
}

void GuiSystem::Render()
{
    if (!mVisible || !mPainter.CanDraw())
        return;
    mPainter.BeginDraw();
    if (mLooks.GetBackground() >= 0)
    {
        mPainter.SetColorArgb(0xFFFFFFFF);
        mPainter.SetTexture(mLooks.GetActiveBackground());
        mPainter.DrawPixelQuad(0.0f, 0.0f, float(mUnits.mWidth), float(mUnits.mHeight));
    }
    if (mLayer)
    {
        mLayer->Render(*this);
        RenderTooltip();
    }
    if (mMouse.ShowsPointer() && mLooks.GetPointer().Get())
    {
        const float x = mMouse.GetX(), y = mMouse.GetY(), size = mLooks.GetPointerSize();
        mPainter.SetColorArgb(0xFFFFFFFF);
        mPainter.SetTexture(mLooks.GetPointer());
        mPainter.DrawPixelQuad(x, y, x + size, y + size);
    }
    mPainter.EndDraw();
}

void GuiSystem::RenderTooltip()
{
    const std::string tip = mMouse.IsOver() ? mLayer->GetDescription() : std::string();
    if (tip.empty() || !mFonts.GetFont(0))
        return;
    // The widgets that have tips sit at the screen's edges.
    constexpr float kWrap = 360.0f;
    constexpr float kPad = 4.0f;
    const BitmapFont& font = *mFonts.GetFont(0);
    const float scale = font.GetTextScale();
    float widest = 0.0f;
    float lines = 0.0f;
    for (size_t start = 0; start <= tip.size();)
    {
        const float width = font.GetLineWidth(tip.c_str(), scale, start);
        widest = std::max(widest, std::min(width, kWrap));
        lines += std::max(1.0f, std::ceil(width / kWrap));
        const size_t end = tip.find('\n', start);
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    const float width = std::ceil(widest) + 2.0f * kPad;
    const float height = font.GetTextHeight("", scale) * lines + 2.0f * kPad;
    float x = mMouse.GetX() + mLooks.GetPointerSize();
    float y = mMouse.GetY() + mLooks.GetPointerSize();
    if (x + width > float(mUnits.mWidth))
        x = std::max(0.0f, float(mUnits.mWidth) - width);
    if (y + height > float(mUnits.mHeight))
        y = std::max(0.0f, mMouse.GetY() - height);
    mPainter.SetColorArgb(0xD0101428);
    mPainter.SetTexture(nullptr, 1, 1);
    mPainter.DrawPixelQuad(x, y, x + width, y + height);
    mPainter.SetFont(0);
    mPainter.SetColorArgb(0xFFFFFFE0);
    mPainter.BeginText();
    const Rect box{int32_t(x + kPad), int32_t(y + kPad), int32_t(x + width - kPad) + 1, int32_t(y + height - kPad)};
    mPainter.DrawTextInRect(tip.c_str(), box, 1);
    mPainter.EndText();
}

void GuiSystem::Shutdown()
{
    mPainter.EndDraw();
    mLooks.Release();
    mPainter.Shutdown();
    mFonts.Release();
}

void GuiSystem::OnDeviceLost()
{
    mPainter.OnDeviceLost();
    mFonts.OnDeviceLost();
}

void GuiSystem::OnDeviceReset(int width, int height)
{
    mUnits.SetSize(width, height);
    mPainter.OnDeviceReset();
    mFonts.OnDeviceReset();
}

void GuiSystem::ScreenToClip(float x, float y, float& clipX, float& clipY) const
{
    clipX = 2.0f * x / float(mUnits.mWidth) - 1.0f;
    clipY = 1.0f - 2.0f * y / float(mUnits.mHeight);
}
