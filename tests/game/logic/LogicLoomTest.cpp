#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <lua.hpp>
#include <string>
#include <vector>

#include "LOOM/script/ScriptManager.h"
#include "game/invaders/InvaderActions.h"
#include "game/invaders/Kestrane.h"
#include "game/logic/PhraseBank.h"
#include "game/logic/TrapDrop.h"
#include "tests/LOOM/support/ScriptTestSupport.h"
#include "tests/game/GameSim.h"

namespace {
double GlobalNumber(const char* name)
{
    lua_State* L = ScriptManager::Instance().GetState();
    lua_getglobal(L, name);
    const double value = lua_isnumber(L, -1) ? lua_tonumber(L, -1) : std::nan("");
    lua_pop(L, 1);
    return value;
}

int GlobalType(const char* name)
{
    lua_State* L = ScriptManager::Instance().GetState();
    lua_getglobal(L, name);
    const int type = lua_type(L, -1);
    const bool truth = lua_toboolean(L, -1) != 0;
    lua_pop(L, 1);
    return type == LUA_TBOOLEAN ? (truth ? 100 : 101) : type;
}

std::vector<std::string> LoggedSince(uint32_t mark)
{
    std::vector<std::string> texts;
    const Console& console = Console::Instance();
    for (uint32_t i = console.GetEntryCounter() - mark; i > 0; --i)
        texts.push_back(console.GetEntries().FromNewest(i - 1).mText);
    return texts;
}

void StartLevelOne(GameSim& sim) { sim.Run("LogicCreateLevel Scripts\\Levels\\L1.lua"); }
} // namespace

TEST(LogicLoom, LevelOneIsBuiltByItsScriptAndWonWhenItsWavesAreKilled)
{
    GameSim sim;
    EXPECT_EQ(GlobalNumber("InLevel"), 0);
    EXPECT_EQ(GlobalNumber("QuitLevel"), 1);
    EXPECT_EQ(GlobalNumber("Victory"), 2);
    EXPECT_EQ(GlobalNumber("Defeat"), 3);
    sim.Step();
    EXPECT_EQ(GlobalType("LevelActive"), 101) << "state 1 after the reset";

    const uint32_t mark = Console::Instance().GetEntryCounter();
    StartLevelOne(sim);
    const std::vector<std::string> logged = LoggedSince(mark);
    std::vector<std::string> steps;
    for (const std::string& text : logged)
        if (text.rfind("Starting Level", 0) == 0 || text == "Reseting Level Data" || text == "Loading Level Data" ||
            text == "Done Loading")
            steps.push_back(text);
    EXPECT_EQ(steps,
              (std::vector<std::string>{"Starting Level: Scripts\\Levels\\L1.lua", "Reseting Level Data",
                                        "Loading Level Data", "Done Loading"}));

    DataController& data = sim.Data();
    TileMap* map = sim.Logic().mTileMap;
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->GetGridWidth(), 128);
    EXPECT_EQ(map->GetTileScale(), 4.0f);
    Cog* tower = sim.Cogs().FindCogByName("Tower");
    ASSERT_NE(tower, nullptr);
    EXPECT_TRUE(tower->Get<TileComp>()->IsPlaced());
    EXPECT_EQ(sim.Cogs().GetGroupCogs("walls").size(), 52u);
    EXPECT_EQ(sim.Cogs().GetGroupCogs("spawners").size(), 3u);
    for (Cog* spawner : sim.Cogs().GetGroupCogs("spawners"))
    {
        const std::vector<Cog*>& active = sim.Cogs().GetActiveCogs();
        EXPECT_EQ(std::find(active.begin(), active.end(), spawner), active.end()) << "spawners take no frame time";
    }
    EXPECT_FALSE(map->GetTile(10, 2).buildable);
    EXPECT_FALSE(map->GetTile(36, 80).passable) << "a superwall";
    EXPECT_TRUE(map->GetTile(63, 80).passable) << "the gap";
    EXPECT_EQ(data.GetPoints(), 150);
    EXPECT_EQ(data.mMaxKills, 14);
    EXPECT_EQ(data.mGameState, StateInLevel);

    sim.Step();
    EXPECT_EQ(GlobalType("LevelActive"), 100);
    EXPECT_EQ(GlobalNumber("Points"), 150);
    EXPECT_EQ(GlobalNumber("GameState"), 0);
    EXPECT_EQ(GlobalNumber("Kills"), 0);
    EXPECT_EQ(GlobalNumber("NumInvaders"), 0);
    EXPECT_STREQ(ExitReasonText(data.mGameState), "YOU ARE STILL PLAYING!");

    // No trap stands at the start; spikes bought behind the gap cost their price.
    EXPECT_TRUE(data.mTraps.empty());
    ASSERT_TRUE(AttemptTrapDrop("spikes", map->TileToWorldAligned(64, 81, 2, 2), Vector3(0.0f, 0.0f, 1.0f)));
    EXPECT_EQ(data.GetPoints(), 140);
    // Every invader is struck down by a trap's kind of hit as it comes: the level is won once
    // the last wave is gone.
    ASSERT_TRUE(sim.StepUntil(
        [&] {
            std::vector<Kestrane*> living;
            for (Comp* comp : data.mInvaders)
                if (!static_cast<Kestrane*>(comp)->IsDead())
                    living.push_back(static_cast<Kestrane*>(comp));
            for (Kestrane* k : living)
                SendDamage(*k->GetOwner(), DamageInfo{0, -1000.0f, 2});
            return data.mGameState != StateInLevel;
        },
        200 * 60));
    EXPECT_EQ(data.mGameState, StateWon);
    EXPECT_GE(data.GetKills(), 14);
    EXPECT_EQ(data.mStats.trapKills, data.GetKills());
    EXPECT_EQ(data.mLiveInvaders, 0);
    EXPECT_NE(sim.Cogs().FindCogByName("Tower"), nullptr);
    sim.Step();
    EXPECT_EQ(GlobalType("LevelActive"), 101);
    EXPECT_EQ(GlobalNumber("GameState"), 2);
    EXPECT_STREQ(ExitReasonText(data.mGameState), "YOU WON!");
}

TEST(LogicLoom, LevelOneIsLostWhenTheTowerGoes)
{
    GameSim sim;
    StartLevelOne(sim);
    sim.Step(30);
    ASSERT_EQ(sim.Data().mGameState, StateInLevel);
    Cog* tower = sim.Cogs().FindCogByName("Tower");
    ASSERT_NE(tower, nullptr);
    EXPECT_EQ(GlobalType("Tower"), LUA_TUSERDATA);
    sim.Cogs().Destroy(tower);
    sim.Step(2);
    EXPECT_EQ(GlobalType("Tower"), LUA_TNIL);
    EXPECT_EQ(sim.Data().mGameState, StateLost);
    EXPECT_STREQ(ExitReasonText(sim.Data().mGameState), "YOU LOST!");
    sim.Step(); // the loom publishes before the scripts run, so the global follows a frame later
    EXPECT_EQ(GlobalNumber("GameState"), 3);
}

TEST(LogicLoom, HardRestartsLeaveNoCommandOnFreedMemory)
{
    {
        GameSim sim;
        StartLevelOne(sim);
        for (int i = 0; i < 2; ++i)
        {
            sim.Run("restart");
            sim.Step();
        }
        EXPECT_EQ(sim.Logic().mTileMap, nullptr);
        sim.Run("EarnPoints 5");
        sim.Run("DisableTrap fan");
        sim.Run("InvaderSpeech false");
        EXPECT_EQ(sim.Data().GetPoints(), 105);
        EXPECT_FALSE(sim.Data().mTrapInfo.at("fan").enabled);
        EXPECT_FALSE(sim.Logic().mPhraseBank->mEnabled);
        StartLevelOne(sim);
        EXPECT_NE(sim.Logic().mTileMap, nullptr);
    }
    for (const char* name :
         {"EnableTrap", "EarnPoints", "SayPhrase", "LogicCreateLevel", "SetGameState", "GetSettings"})
        EXPECT_EQ(Console::Instance().FindCommand(name), nullptr) << name;
    Console::Instance().ExecuteLine("EarnPoints 5");
    EXPECT_EQ(LogicLoom::Instance(), nullptr);
}

TEST(LogicLoom, SettingsCarryTheSpeechFlagAndSaveLevelNeedsALevel)
{
    GameSim sim;
    LogicLoom& logic = sim.Logic();
    logic.InvaderSpeech(false);
    EXPECT_FALSE(logic.GetSettings().mInvaderSpeech);
    DisplaySettings settings;
    settings.mInvaderSpeech = true;
    logic.ChangeSettings(settings);
    EXPECT_TRUE(logic.mPhraseBank->mEnabled);
    settings.mInvaderSpeech = false;
    logic.ChangeSettings(settings);
    EXPECT_FALSE(logic.GetSettings().mInvaderSpeech);

    sim.Run("UpdateGameOverStats"); // no menu: nothing happens
    sim.Run("SaveLevel Levels/Early");
    EXPECT_FALSE(std::filesystem::exists(sim.Path("Levels/Early.bin")));
    StartLevelOne(sim);
    sim.Run("SaveLevel Levels/Later");
    EXPECT_TRUE(std::filesystem::exists(sim.Path("Levels/Later.bin")));
    EXPECT_TRUE(std::filesystem::exists(sim.Path("Levels/Later.xml")));
}

TEST(LogicLoom, GameClockTextIsHoursMinutesSeconds)
{
    const std::pair<double, const char*> cases[] = {
        {3725.9, "1:02:05"},   {59.0, "0:00:59"}, {0.0, "0:00:00"},
        {36000.0, "10:00:00"}, {-3.0, "0:00:00"}, {std::nan(""), "0:00:00"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(FormatGameClock(seconds), text) << seconds;
}

TEST(LogicLoom, ARunningScriptCanCreateTheLevel)
{
    GameSim sim;
    std::ofstream(sim.Path("Scripts/Go.lua")) << "G.LogicCreateLevel(\"Scripts\\\\Levels\\\\L1.lua\")\nStarted = 1\n";
    ScriptManager::Instance().RunScript("Scripts/Go.lua");
    EXPECT_EQ(GlobalNumber("Started"), 1);
    EXPECT_NE(sim.Logic().mTileMap, nullptr);
    EXPECT_EQ(sim.Data().mGameState, StateInLevel);
    EXPECT_NE(sim.Cogs().FindCogByName("Tower"), nullptr);
}

// A level whose per-frame step runs away is stopped by the watchdog once; the level, which could
// be neither won nor lost without it, ends with a soft restart (back to the menu), the frames go
// on at full speed, and the next level's step runs as usual.
TEST(LogicLoom, ARunawayLevelUpdateIsStoppedOnceAndTheFramesGoOn)
{
    struct Case
    {
        const char* mRunaway;
        const char* mError;
        // Filling the memory cap takes long on a loaded machine: there the time limit must not come first.
        double mSeconds;
    };
    const Case cases[] = {
        {"while true do end", "Lua Error: GUpdate took too long", 0.3},
        {"local hoard = {} while true do hoard[#hoard + 1] = string.rep('x', 1048576) .. #hoard end",
         "Lua Error: GUpdate used too much memory (over 64 MiB)", 600.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mRunaway);
        GameSim sim;
        const WatchdogLimits limits(c.mSeconds, size_t(64) << 20);
        std::ofstream(sim.Path("Scripts/Levels/Stuck.lua"))
            << "dofile('Scripts/Levels/L1.lua')\nfunction LevelUpdate() Steps = (Steps or 0) + 1 " << c.mRunaway
            << " end\n";
        std::ofstream(sim.Path("Scripts/Levels/Counted.lua"))
            << "dofile('Scripts/Levels/L1.lua')\nlocal step = LevelUpdate\n"
            << "function LevelUpdate() Counted = (Counted or 0) + 1 step() end\n";
        sim.Run("LogicCreateLevel Scripts\\Levels\\Stuck.lua");
        ASSERT_EQ(sim.Data().mGameState, StateInLevel);

        const uint32_t mark = Console::Instance().GetEntryCounter();
        const double coreTime = GlobalNumber("CoreTime");
        sim.Step(10);
        const std::vector<std::string> logged = LoggedSince(mark);
        EXPECT_EQ(std::count(logged.begin(), logged.end(), c.mError), 1);
        const auto at = [&](const std::string& text) {
            return std::find(logged.begin(), logged.end(), text) - logged.begin();
        };
        const auto stopped = at("GUpdate is not called again until a new level or a restart");
        const auto ended = at("Level ended: the per-frame script of Scripts\\Levels\\Stuck.lua was stopped");
        const auto restart = at("Soft Restarting");
        EXPECT_LT(at(c.mError), stopped);
        EXPECT_LT(stopped, ended);
        EXPECT_LT(ended, restart);
        EXPECT_LT(restart, std::ssize(logged));
        // The frames went on: the scripts saw the clock move; the level is gone.
        EXPECT_GT(GlobalNumber("CoreTime"), coreTime);
        EXPECT_NE(sim.Data().mGameState, StateInLevel);
        EXPECT_EQ(sim.Cogs().FindCogByName("Tower"), nullptr);

        sim.Run("LogicCreateLevel Scripts\\Levels\\Counted.lua");
        ASSERT_EQ(sim.Data().mGameState, StateInLevel);
        sim.Step(5);
        EXPECT_EQ(GlobalNumber("Counted"), 5);
    }
}

// A level script that never finishes, or eats memory without end, is stopped by the watchdog:
// the level is refused, the half-built field goes with a soft restart and the game goes on; the
// next level starts as usual.
TEST(LogicLoom, ARunawayLevelScriptIsRefusedAndTheGameGoesOn)
{
    struct Case
    {
        const char* mFile;
        const char* mRunaway;
        const char* mError;
        // Filling the memory cap takes time on a loaded machine: the time limit must not come first.
        double mSeconds;
    };
    const Case cases[] = {
        {"Loop.lua", "while true do end", "took too long", 0.3},
        {"Bomb.lua", "local hoard = {} while true do hoard[#hoard + 1] = string.rep('x', 1048576) .. #hoard end",
         "used too much memory (over 64 MiB)", 600.0},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mFile);
        GameSim sim;
        const WatchdogLimits limits(c.mSeconds, size_t(64) << 20);
        const std::string level = std::string("Scripts\\Levels\\") + c.mFile;
        // Builds the whole first level, then runs away.
        std::ofstream(sim.Path(std::string("Scripts/Levels/") + c.mFile)) << "dofile('Scripts/Levels/L1.lua')\n"
                                                                          << c.mRunaway << "\n";
        std::ofstream(sim.Path("Scripts/Go.lua"))
            << "G.LogicCreateLevel('Scripts\\\\Levels\\\\" << c.mFile << "')\nAfterLevel = 1\n";
        const uint32_t mark = Console::Instance().GetEntryCounter();
        ScriptManager::Instance().RunScript("Scripts/Go.lua");
        const std::vector<std::string> logged = LoggedSince(mark);
        const auto at = [&](const std::string& text) {
            return std::find(logged.begin(), logged.end(), text) - logged.begin();
        };
        const auto error = at("Lua Error: " + level + " " + c.mError);
        const auto refused = at("Level not started: " + level + " was stopped");
        const auto restart = at("Soft Restarting");
        EXPECT_LT(error, refused);
        EXPECT_LT(refused, restart);
        EXPECT_LT(restart, std::ssize(logged));
        EXPECT_EQ(at("Done Loading"), std::ssize(logged));
        // The restart came once the outer script was done: its state is gone, and the field.
        EXPECT_EQ(GlobalType("AfterLevel"), LUA_TNIL);
        EXPECT_EQ(sim.Cogs().FindCogByName("Tower"), nullptr);
        EXPECT_NE(sim.Data().mGameState, StateInLevel);
        sim.Step(10);

        StartLevelOne(sim);
        EXPECT_EQ(sim.Data().mGameState, StateInLevel);
        EXPECT_NE(sim.Cogs().FindCogByName("Tower"), nullptr);
    }
}
