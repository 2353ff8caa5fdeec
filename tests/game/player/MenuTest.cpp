#include <gtest/gtest.h>

#include <iterator>

extern "C" {
#include <lua.h>
}

#include "LOOM/script/ScriptManager.h"
#include "tests/game/player/PlayerSim.h"

namespace {

bool Shown(WidgetComp& widgets, const char* name)
{
    Widget* w = widgets.Find(name);
    return w && w->IsActive();
}

constexpr const char* kWindows[] = {"StartWindow",       "OptionsWindow",       "CreditsWindow",
                                    "BonusWindow",       "InvaderViewerWindow", "InGameWindow",
                                    "LevelChoiceWindow", "GameOverWindow",      "InGameExitWindow"};

std::vector<std::string> ShownWindows(WidgetComp& widgets)
{
    std::vector<std::string> shown;
    for (const char* name : kWindows)
        if (Shown(widgets, name))
            shown.push_back(name);
    return shown;
}

} // namespace

TEST(Menu, StartLevelChoiceLevelAndGameOver)
{
    PlayerSim play;
    play.SmallScreen();
    WidgetComp& menu = play.MenuWidgets();
    EXPECT_EQ(ShownWindows(menu), std::vector<std::string>{"StartWindow"});

    play.MoveToWidget(*menu.Find("PlayButton"));
    play.Step();
    play.Click(0);
    play.Step();
    EXPECT_EQ(ShownWindows(menu), std::vector<std::string>{"LevelChoiceWindow"});

    play.MoveToWidget(*menu.Find("LevelOneButton"));
    play.Step();
    play.Click(0);
    play.Step();
    EXPECT_EQ(LuaNumber("LevelsStarted"), 1.0);
    EXPECT_EQ(play.Data().mGameState, StateInLevel);
    EXPECT_TRUE(ShownWindows(menu).empty());

    play.Sim().Run("ResetGameClock");
    play.Data().mStats.pointsEarned = 40;
    play.Data().mStats.trapKills = 3;
    play.Data().mKills = 4;
    play.Step(301);
    play.Sim().Run("Lose");
    play.Step();
    EXPECT_EQ(ShownWindows(menu), std::vector<std::string>{"GameOverWindow"});
    const std::pair<const char*, const char*> texts[] = {
        {"ExitReason", "YOU LOST!"},
        {"TimePlayed", "Time Played: 0:00:05"},
        {"PointsEarned", "Points Earned: 40"},
        {"PointsUsed", "Points Used: 0"},
        {"TrapKills", "Kills by Traps: 3"},
        {"SuicideKills", "Invader Suicides: 0"},
        {"ExplosionKills", "Explosion Kills: 0"},
        {"PhysicsKills", "Physics Kills: 0"},
        {"StatusKills", "Kills by Status Effects: 0"},
        {"TotalKills", "Total Kills: 4"},
    };
    for (const auto& [widget, text] : texts)
        EXPECT_EQ(menu.Find(widget)->QueryText(), text) << widget;
}

TEST(Menu, EscOpensAndResumesTheInGameWindowOnlyInLevel)
{
    PlayerSim play;
    WidgetComp& menu = play.MenuWidgets();
    auto esc = [&] {
        play.Key(SDL_SCANCODE_ESCAPE, true);
        play.Step();
        play.Key(SDL_SCANCODE_ESCAPE, false);
        play.Step();
    };
    play.Step();
    esc();
    EXPECT_FALSE(Shown(menu, "InGameWindow")) << "not in a level";
    play.Play();
    esc();
    EXPECT_TRUE(Shown(menu, "InGameWindow"));
    esc();
    EXPECT_FALSE(Shown(menu, "InGameWindow"));
}

TEST(Menu, ViewerLooksAndWrapping)
{
    struct Case
    {
        const char* look;
        const char* invader;
        const char* material;
        const char* icon;
    };
    for (const Case& c : {Case{"basic", "Normal", "Materials/NormalMat.xml", "Textures/StatusIcons/AURA.png"},
                          Case{"Metallic", "Brute", "Materials/Metallic.xml", "Textures/StatusIcons/METAL.png"},
                          Case{"Blind", "Normal", "Materials/NormalBlindMat.xml", "Textures/StatusIcons/BLIND.png"},
                          Case{"Dumb", "grunt", "Materials/gruntDumbMat.xml", "Textures/StatusIcons/DUMB.png"}})
    {
        EXPECT_EQ(MenuComp::LookMaterial(c.look, c.invader), c.material);
        EXPECT_EQ(MenuComp::LookIcon(c.look), c.icon);
    }

    PlayerSim play;
    MenuComp& menu = *play.mMenu->Get<MenuComp>();
    const auto& kinds = play.Data().mInvaderInfo;
    ASSERT_GE(kinds.size(), 2u);
    // The data has no "Normal": the viewer opens on its first kind, with that kind's pictures,
    // and adds no default record.
    EXPECT_EQ(menu.GetViewedInvader(), kinds.begin()->first);
    EXPECT_FALSE(play.Data().HasInvaderInfo("Normal")) << "the default record is not added";
    EXPECT_EQ(play.MenuWidgets().Find("InvaderName")->QueryText(), kinds.begin()->first);
    EXPECT_EQ(play.MenuWidgets().Find("InvaderConceptArt")->Image().File(),
              kinds.begin()->second.invaderConceptArtFile);
    play.mMenu->CallFunctionByName("NextInvader");
    EXPECT_EQ(menu.GetViewedInvader(), std::next(kinds.begin())->first);
    while (menu.GetViewedInvader() != kinds.rbegin()->first)
        play.mMenu->CallFunctionByName("NextInvader");
    play.mMenu->CallFunctionByName("NextInvader");
    EXPECT_EQ(menu.GetViewedInvader(), kinds.begin()->first);
    play.mMenu->CallFunctionByName("PreviousInvader");
    EXPECT_EQ(menu.GetViewedInvader(), kinds.rbegin()->first);
    EXPECT_EQ(play.MenuWidgets().Find("InvaderName")->QueryText(), kinds.rbegin()->first);
}
