#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Vector3.h"

class CogFactory;
class OwnedCommands;
class Widget;
class WidgetComp;

// The in-game head-up display (type id 121, on the cog "HUD" beside its WidgetComp): the
// mini-map, tower health, credits, kills and time every frame, one trap button per enabled
// trap kind, the trap tool bar under the mouse while the middle button is held, and the
// handlers of the HUD widgets' messages.
class HUDComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 121;

    // The level's values on the statistics overlay go with the HUD.
    ~HUDComp() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "HUDComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update();
    void TrapSelect(std::string kind);
    void EnterLevel();
    void HideLevelVictoryWindow();
    void CreateTrapButtons();
    void MiniMapMove(Vector3 at);
    void ZoomToTower();

    // The map angle of a view direction: 0 along +z, growing clockwise seen from above.
    static float MapAngle(const Vector3& view);
    // "7" or "7 / 25".
    static std::string KillsText(int32_t kills, int32_t maxKills);

private:
    void RefreshMiniMap();
    void FindLedgeStones(uint32_t generation);
    void RefreshTowerHealth();
    void RefreshCounters();
    void UpdateToolBar();
    void SetText(const char* widget, const std::string& text);

    WidgetComp* mWidgets = nullptr;
    float mMapAngle = 0.0f;
    // The level's ledge stones, looked up once a level: play breaks them but never adds one.
    std::vector<uint32_t> mLedgeStones;
    uint32_t mLedgeGeneration = UINT32_MAX;
    // Texts last sent, so an unchanged counter costs no message.
    std::string mCredits;
    std::string mKills;
    std::string mTime;
    // Set on each frame the middle button is up: the tool bar closes on the next press.
    bool mToolBarMayClose = true;
};

void RegisterHUDComp(CogFactory& cogs);
// "TrapSelect" in the console: the trap buttons' choice by the kind's name.
void RegisterHUDCommands(OwnedCommands& commands);

// The HUD's two messages: the large one across the middle of the screen and the small one under it.
enum TextPopupSize : int32_t
{
    LargeTextPopup = 0,
    SmallTextPopup = 1,
};
// Shows the message on the "HUD" cog's pop-up of that size with its colour and times in seconds
// (fade in, hold, fade out); false when there is no HUD or no such pop-up to show it on.
bool ShowTextPopup(int32_t size, const std::string& text, const Color& color, float fadeIn, float hold, float fadeOut);
