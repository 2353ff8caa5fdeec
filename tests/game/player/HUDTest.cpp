#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>
#include <vector>

#include "LOOM/math/MathUtil.h"
#include "game/logic/GameData.h"
#include "tests/game/player/PlayerSim.h"
#include "tests/input/LogProbe.h"

namespace {

std::string TextOf(WidgetComp& widgets, const char* name)
{
    Widget* widget = widgets.Find(name);
    return widget ? widget->QueryText() : std::string("<none>");
}

std::vector<std::string> Kinds(WidgetComp& widgets, const char* bar)
{
    std::vector<std::string> kinds;
    if (Widget* w = widgets.Find(bar))
        for (const auto& child : w->Children())
            kinds.push_back(static_cast<TrapDropButton&>(*child).GetTrapType());
    return kinds;
}

} // namespace

TEST(HUD, MapAngles)
{
    struct Case
    {
        Vector3 view;
        float angle;
    };
    for (const Case& c : {Case{{0, -1, 1}, 0.0f}, Case{{-1, -0.5f, 0}, HALF_PI}, Case{{1, 0, 0}, 6.28f - HALF_PI},
                          Case{{0, 0, -1}, PI}})
        EXPECT_NEAR(HUDComp::MapAngle(c.view), c.angle, 1e-5f) << c.view.x << " " << c.view.z;
    EXPECT_TRUE(std::isnan(HUDComp::MapAngle({0, -1, 0}))) << "a vertical view has no heading";
    EXPECT_EQ(HUDComp::KillsText(7, 25), "7 / 25");
    EXPECT_EQ(HUDComp::KillsText(7, 0), "7");
}

TEST(HUD, CountersMapAndTowerHealthFollowTheGame)
{
    PlayerSim play(false);
    play.Play();
    play.Data().mKills = 7;
    play.Data().mMaxKills = 25;
    play.Data().SetPoints(345);
    play.Step(2);
    WidgetComp& widgets = play.HudWidgets();
    EXPECT_TRUE(widgets.IsActive());
    EXPECT_EQ(TextOf(widgets, "KillsNum"), "7 / 25");
    EXPECT_EQ(TextOf(widgets, "CreditsNum"), "345");
    EXPECT_EQ(TextOf(widgets, "TimeNum").substr(0, 5), "0:00:");
    auto* bar = static_cast<ProgressBar*>(widgets.Find("TowerHealth"));
    EXPECT_EQ(bar->GetValue(), 0.0f) << "no tower";

    Cog* tower = play.Field().Tower(40, 40);
    InvaderField::B(tower).hitPoints = 250.0f;
    play.Field().Invader("grunt", 10, 10);
    play.Step();
    EXPECT_NEAR(bar->GetValue(), 250.0f / InvaderField::B(tower).MaxHP, 1e-5f);
    InvaderField::B(tower).MaxHP = 0.0f;
    play.Step();
    EXPECT_EQ(bar->GetValue(), 0.0f) << "a tower without MaxHP shows 0";

    auto* map = static_cast<MapImageBox*>(widgets.Find("MiniMapImageBox"));
    int kinds[4] = {};
    for (const auto& icon : map->Icons())
        ++kinds[icon.mKind];
    EXPECT_EQ(kinds[0], 1);
    EXPECT_EQ(kinds[3], 3) << "camera, cursor and tower";

    // Out of level: the HUD goes inactive and stops refreshing.
    play.Sim().Run("SetGameState 3");
    play.Data().SetPoints(1);
    play.Step();
    EXPECT_FALSE(widgets.IsActive());
    EXPECT_EQ(TextOf(widgets, "CreditsNum"), "345");
}

TEST(HUD, MiniMapMoveBringsTheClickedPointToTheMiddleOfTheView)
{
    PlayerSim play(false);
    struct Case
    {
        Vector3 at;
        float x;
        float z;
        // How far the middle of the view may stay from the point: a corner is only neared, as
        // the view keeps the ground under the bottom of the screen on the field.
        float slack;
    };
    for (const Case& c : {Case{{0.25f, 0.5f, 0}, 64.0f, 128.0f, 1e-3f}, Case{{0, 0, 0}, 0.0f, 256.0f, 90.0f},
                          Case{{1, 1, 9}, 256.0f, 0.0f, 90.0f}})
    {
        ParamBuffer params;
        params.PushVector(c.at);
        play.mHud->CallFunction("MiniMapMove", params);
        const Vector3 eye = play.CameraPlace().GetPosition();
        const Vector3 view = play.View().ViewDirection();
        const Vector3 centre = eye + view * (-eye.y / view.y);
        EXPECT_NEAR(centre.x, c.x, c.slack);
        EXPECT_NEAR(centre.z, c.z, c.slack);
        EXPECT_GE(std::fmin(centre.x, centre.z), 0.0f);
        EXPECT_LE(std::fmax(centre.x, centre.z), 256.0f);
    }
}

TEST(HUD, TrapButtonsFollowTheOrderOfEnabledKinds)
{
    PlayerSim play(false);
    play.Play();
    WidgetComp& widgets = play.HudWidgets();
    const std::vector<std::string> all = play.Data().mTrapOrder;
    EXPECT_EQ(Kinds(widgets, "TrapDropToolBar"), all);
    EXPECT_EQ(Kinds(widgets, "TrapDropToolBar2"), all);

    play.Sim().Run("DisableTrap hammer");
    std::vector<std::string> rest = all;
    rest.erase(std::find(rest.begin(), rest.end(), "hammer"));
    EXPECT_EQ(Kinds(widgets, "TrapDropToolBar2"), rest);
    // The list shows the kinds in the words a player reads.
    std::vector<std::string> words;
    words.reserve(rest.size());
    for (const std::string& kind : rest)
        words.push_back(TrapDisplayName(kind));
    EXPECT_NE(std::find(words.begin(), words.end(), "laser turret"), words.end());
    auto* combo = static_cast<ComboBox*>(widgets.Find("TrapDropComboBox"));
    EXPECT_EQ(combo->Entries(), words);

    // A kind the data lacks: one log line, no button, nothing added to the data.
    play.Data().mTrapOrder.insert(play.Data().mTrapOrder.begin(), "ghost");
    LogProbe log;
    play.mHud->CallFunctionByName("CreateTrapButtons");
    EXPECT_EQ(log.Count("\"ghost\""), 2) << "once per tool bar";
    EXPECT_FALSE(play.Data().HasTrapInfo("ghost"));
    EXPECT_EQ(Kinds(widgets, "TrapDropToolBar"), rest);
}

TEST(HUD, TheMiddleButtonHoldsTheToolBarWhereItWentDown)
{
    PlayerSim play(false);
    play.Play();
    play.Step(2);
    Widget* bar = play.HudWidgets().Find("TrapDropToolBar");
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->IsActive());
    // Far enough left that the whole bar fits on the screen there.
    play.MoveTo(play.Width() / 8, play.Height() / 2);
    play.Down(2);
    play.Step();
    EXPECT_TRUE(bar->IsActive());
    EXPECT_NEAR(bar->GetBox().mX, -0.75f, 1e-3f);
    EXPECT_NEAR(bar->GetBox().mY, 0.0f, 1e-3f);
    play.MoveTo(play.Width() / 2, play.Height() / 4);
    play.Step(5);
    EXPECT_TRUE(bar->IsActive());
    EXPECT_NEAR(bar->GetBox().mX, -0.75f, 1e-3f);
    play.Up(2);
    play.Step();
    EXPECT_TRUE(bar->IsActive());
    play.Step();
    EXPECT_FALSE(bar->IsActive());
}

// The ledge's stones are on the mini-map where they stand, with the walls' icon, beside a wall
// and a level's other doodads, which are not; a stone broken in play leaves the map.
TEST(HUD, MiniMapDrawsTheLedgeStonesThatStand)
{
    PlayerSim play(false);
    play.Sim().Cogs().Files().LoadCogFile("Compositions\\Step.xml");
    play.Sim().Cogs().Files().LoadCogFile("Compositions\\Doodad.xml");
    std::vector<Cog*> stones;
    for (int32_t z = 20; z < 24; ++z)
        stones.push_back(play.Field().Make("step", play.Field().Centre(14, z)));
    play.Field().Make("wall", play.Field().Centre(40, 40));
    play.Field().Make("rock", play.Field().Centre(30, 10));
    play.Play();
    play.Step();

    auto icons = [&] {
        std::multiset<std::pair<int, std::pair<long, long>>> seen;
        for (const auto& icon : static_cast<MapImageBox*>(play.HudWidgets().Find("MiniMapImageBox"))->Icons())
            if (icon.mKind == 2)
                seen.insert({icon.mKind, {std::lround(icon.mX * 256.0f), std::lround(icon.mZ * 256.0f)}});
        return seen;
    };
    auto at = [&](int32_t x, int32_t z) {
        const Vector3 c = play.Field().Centre(x, z);
        return std::pair<int, std::pair<long, long>>{2, {std::lround(c.x), std::lround(c.z)}};
    };
    std::multiset<std::pair<int, std::pair<long, long>>> expected{at(14, 20), at(14, 21), at(14, 22), at(14, 23),
                                                                  at(40, 40)};
    EXPECT_EQ(icons(), expected);

    play.Sim().Cogs().Destroy(stones[1]);
    play.Step(2);
    expected.erase(expected.find(at(14, 21)));
    EXPECT_EQ(icons(), expected);
}
