#include "game/widgets/TrapDropButton.h"

#include <utility>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/serial/Serializer.h"
#include "game/logic/DataController.h"
#include "game/logic/GameData.h"
#include "game/logic/LogicLoom.h"
#include "gui/WidgetFile.h"
#include "input/IOLoom.h"

void RegisterTrapDropButton()
{
    RegisterWidgetType("TrapDropButton", [] { return std::make_unique<TrapDropButton>(); });
}

void TrapDropButton::Serialize(Serializer& s)
{
    Widget::Serialize(s);
    SerializeRect(s, "TextureRect", mTexRect);
    s.SerializeInt("Font", mFont);
}

void TrapDropButton::SetTrap(const std::string& name)
{
    mTrapType = name;
    DataController* data = CurrentDataController();
    if (!data || !data->HasTrapInfo(name))
        return;
    const TrapInfo& info = data->GetTrapInfo(name);
    Motion().Load(mName);
    mIconTexture.SetFile(info.trapImageFile);
    mTexRect =
        Rect{0, 0, static_cast<int32_t>(mIconTexture.GetWidth()), static_cast<int32_t>(mIconTexture.GetHeight())};
    mKeyText = std::string(1, info.trapKey);
    mTooltip =
        TrapDisplayName(name) + "\nCost: " + std::to_string(info.creditCost) + "\nDescription: " + info.trapDescription;
    mNormalTexture.SetFile(kNormalFile);
    mHighlightTexture.SetFile(kHighlightFile);
    mCost = info.creditCost;
}

void TrapDropButton::Update(float dt)
{
    Widget::Update(dt);
    IOLoom* io = IOLoom::Instance();
    if (!mHover || !io)
        return;
    if (io->GetMouseButtonState(0) != 1 && io->GetMouseButtonState(1) != 1)
        return;
    // Through Fire, so that the press clicks like every other button of the owner.
    static const ClickAction kSelect{"TrapSelect", {}};
    ParamBuffer params;
    params.PushStdString(mTrapType);
    Fire(kSelect, params);
}

Color TrapDropButton::TintFor(int32_t points) const
{
    return mCost > points ? Color(1.0f, 0.0f, 1.0f, 1.0f) : Color(1.0f, 1.0f, 1.0f, 1.0f);
}

void TrapDropButton::Render(GuiSystem& gui)
{
    GuiPainter& painter = gui.Painter();
    DataController* data = CurrentDataController();
    const Color tint = TintFor(data ? data->GetPoints() : 0);
    painter.SetColor(tint.r, tint.g, tint.b, tint.a);
    painter.SetWidgetTransform(mBox);
    const TextureRef& face = mHover ? mHighlightTexture : mNormalTexture;
    painter.SetTexture(face);
    painter.DrawQuad(Rect{0, 0, static_cast<int32_t>(face.GetWidth()), static_cast<int32_t>(face.GetHeight())});
    painter.SetTexture(mIconTexture);
    painter.DrawQuad(mTexRect);
    painter.SetFont(mFont);
    painter.BeginText();
    // The key sits at the bottom right, in proportion to the button at any size.
    Rect text = ScreenRect(gui);
    text.mLeft += (text.mRight - text.mLeft) * 5 / 8;
    text.mTop += (text.mBottom - text.mTop) * 4 / 7;
    // A dark rim keeps the key readable on the light icons too.
    painter.SetColor(0.0f, 0.0f, 0.0f, 1.0f);
    for (const auto& [dx, dy] : {std::pair{-1, -1}, std::pair{1, -1}, std::pair{-1, 1}, std::pair{1, 1}})
    {
        Rect rim = text;
        rim.mLeft += dx;
        rim.mRight += dx;
        rim.mTop += dy;
        rim.mBottom += dy;
        painter.DrawTextInRect(mKeyText.c_str(), rim);
    }
    painter.SetColor(tint.r, tint.g, tint.b, tint.a);
    painter.DrawTextInRect(mKeyText.c_str(), text);
    painter.EndText();
    RenderChildren(gui);
}

std::string TrapDropButton::GetDescription(const std::string& name) { return name == mName ? mTooltip : std::string(); }
