#pragma once
#include <cstdint>
#include <string>

#include "gui/Widget.h"

// One trap kind on the HUD's tool bar: its icon and hot-key letter, highlighted under the mouse,
// tinted when the player cannot afford it; a press clicks and sends "TrapSelect" with the kind's
// name to the widget's owner cog.
class TrapDropButton : public Widget
{
public:
    static constexpr const char* kNormalFile = "Textures/TrapIcons/Normal.png";
    static constexpr const char* kHighlightFile = "Textures/TrapIcons/Highlight.png";

    void Serialize(Serializer& s) override;
    void OnClick() override {}
    void OnMouseEnter() override { mHover = true; }
    void OnMouseLeave() override { mHover = false; }
    void OnPress() override {}
    void Update(float dt) override;
    void Render(GuiSystem& gui) override;
    std::string GetDescription(const std::string& name) override;

    // Dresses the button for the kind from the game data.
    void SetTrap(const std::string& name);

    // The tint of the button for these credits: white, or magenta when it costs more.
    Color TintFor(int32_t points) const;
    bool IsHovered() const { return mHover; }
    const std::string& GetTrapType() const { return mTrapType; }
    const std::string& GetKeyText() const { return mKeyText; }
    int32_t GetCost() const { return mCost; }
    int32_t GetFont() const { return mFont; }

private:
    TextureRef mNormalTexture;
    TextureRef mHighlightTexture;
    bool mHover = false;
    int32_t mFont = 0;
    TextureRef mIconTexture;
    std::string mTrapType;
    std::string mTooltip;
    std::string mKeyText;
    int32_t mCost = 0;
};

// Makes the widget factory build trap buttons under "TrapDropButton".
void RegisterTrapDropButton();
