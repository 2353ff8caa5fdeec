#include <gtest/gtest.h>

#include <lua.hpp>

#include "LOOM/script/ScriptManager.h"
#include "tests/game/invaders/InvaderSim.h"

namespace {
std::string GlobalText(const char* name)
{
    lua_State* L = ScriptManager::Instance().GetState();
    lua_getglobal(L, name);
    std::string value = lua_isstring(L, -1) ? lua_tostring(L, -1) : "";
    lua_pop(L, 1);
    return value;
}

struct LevelCase
{
    float mMaxHP;
    float mHP;
    int32_t mLevel;
};
} // namespace

TEST(BaseTower, DamageLevelFollowsTheHitPoints)
{
    const LevelCase cases[] = {
        {1000, 1000, 5}, {1000, 800.01f, 5}, {1000, 800, 4}, {1000, 0.5f, 1}, {1000, 0, 0},
        {1000, -20, 0},  {1000, 1500, 5},    {0, 10, 5},     {0, 0, 0},       {-5, -1, 0},
    };
    BaseTower tower;
    for (const LevelCase& c : cases)
    {
        tower.MaxHP = c.mMaxHP;
        tower.hitPoints = c.mHP;
        EXPECT_EQ(tower.GetDamageLevel(), c.mLevel) << "MaxHP " << c.mMaxHP << " HP " << c.mHP;
    }
}

TEST(BaseTower, BreakAnimationsCrumbleOneStageAtATime)
{
    GameSim sim;
    InvaderField field(sim);
    RecordingSeam seam;
    Cog* cog = field.Tower(32, 32);
    ASSERT_NE(cog, nullptr);
    BaseTower& tower = InvaderField::B(cog);
    const uint32_t id = cog->GetID();
    // Seven tenths of its hit points gone: from five stages standing to two.
    SendDamage(*cog, DamageInfo{0, -0.7f * tower.MaxHP, 6});
    ASSERT_EQ(seam.Played(id), std::vector<std::string>{"Break5"});
    // Each end plays the next stage down until the stage matches the hit points.
    for (const char* ended : {"Break5", "Break4", "Break3"})
    {
        ParamBuffer params;
        params.PushStdString(ended);
        cog->CallFunction("AnimationCallback", params);
    }
    EXPECT_EQ(seam.Played(id), (std::vector<std::string>{"Break5", "Break4", "Break3", "Idle"}));
    EXPECT_EQ(tower.GetStage(), 2);
    EXPECT_FLOAT_EQ(InvaderField::P(cog).GetLocalBox().max.y, 10.5f);
    // Break3 hides submesh 19 and 3..18; Break5 and Break4 hid 11..18 and 6..18 before it.
    const std::vector<std::string> hidden = seam.Calls(id, "SubMesh");
    EXPECT_EQ(std::count(hidden.begin(), hidden.end(), "19"), 1);
    EXPECT_EQ(std::count(hidden.begin(), hidden.end(), "3"), 1);
    EXPECT_EQ(std::count(hidden.begin(), hidden.end(), "2"), 0);

    // Names other than the break animations change nothing.
    const size_t before = seam.mCalls.size();
    for (const char* other : {"Idle", "Walk", "Break6", ""})
    {
        ParamBuffer params;
        params.PushStdString(other);
        cog->CallFunction("AnimationCallback", params);
    }
    EXPECT_EQ(seam.mCalls.size(), before);
    EXPECT_EQ(tower.GetStage(), 2);
}

TEST(BaseTower, BannerAtMostEveryTenSecondsAndOneExplosion)
{
    GameSim sim;
    InvaderField field(sim);
    Cog* cog = field.Tower(32, 32);
    ASSERT_NE(cog, nullptr);
    const uint32_t id = cog->GetID();
    sim.Step(11 * 60);
    SendDamage(*cog, DamageInfo{0, -10.0f, 6});
    EXPECT_EQ(GlobalText("LargeText"), "Tower Under Attack!");
    lua_State* L = ScriptManager::Instance().GetState();
    lua_pushstring(L, "");
    lua_setglobal(L, "LargeText");
    sim.Step(3 * 60);
    SendDamage(*cog, DamageInfo{0, 5.0f, 0});
    EXPECT_EQ(GlobalText("LargeText"), "") << "3 s later: no banner, healing or not";
    sim.Step(8 * 60);
    SendDamage(*cog, DamageInfo{0, 5.0f, 0});
    EXPECT_EQ(GlobalText("LargeText"), "Tower Under Attack!");

    const size_t before = sim.Cogs().GetGroupCogs("effects").size();
    SendDamage(*cog, DamageInfo{0, -5000.0f, 6});
    SendDamage(*cog, DamageInfo{0, -10.0f, 4});
    EXPECT_EQ(InvaderField::B(cog).fatalDamage.mType, 6);
    sim.Step(3);
    EXPECT_EQ(sim.Cogs().GetCog(id), nullptr);
    EXPECT_EQ(sim.Cogs().GetGroupCogs("effects").size(), before + 1) << "exactly one MissileExplosion";
}
