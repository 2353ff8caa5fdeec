#pragma once
#include <cstdint>
#include <string>

#include "LOOM/math/Color.h"

class Cog;

// What game logic asks of a cog's HudDisplay (type 14): its bar, and its number or bubble text.
class HudSeam
{
public:
    virtual ~HudSeam() = default;

    virtual void ShowBar(Cog&, bool) = 0;
    virtual void SetBarPercent(Cog&, float) = 0;
    virtual void SetHudAlpha(Cog&, float) = 0;
    // The HUD display's number: shown flag, text, colour and height offset. HasHudDisplay
    // answers whether the cog carries one.
    virtual bool HasHudDisplay(Cog&) = 0;
    virtual bool IsNumberShown(Cog&) = 0;
    virtual void SetHudText(Cog&, const std::string&) = 0;
    virtual void SetHudColor(Cog&, const Color&) = 0;
    virtual void SetHudOffsetHeight(Cog&, float) = 0;
    virtual void ShowNumber(Cog&, bool) = 0;
    virtual void SetNumber(Cog&, int32_t) = 0;
};

// The installed scene's HUD displays; never null.
HudSeam& SceneHud();
