#include <gtest/gtest.h>

#include <functional>
#include <lua.hpp>
#include <map>
#include <string>

#include "LOOM/script/ScriptManager.h"
#include "audio/AudioLoom.h"
#include "tests/game/player/PlayerSim.h"

namespace {
// Every global of the script state by name, with its script type.
std::map<std::string, int> Globals()
{
    std::map<std::string, int> globals;
    lua_State* L = ScriptManager::Instance().GetState();
    if (!L)
        return globals;
    lua_pushnil(L);
    while (lua_next(L, LUA_GLOBALSINDEX) != 0)
    {
        if (lua_type(L, -2) == LUA_TSTRING)
            globals[lua_tostring(L, -2)] = lua_type(L, -1);
        lua_pop(L, 1);
    }
    return globals;
}

} // namespace

// The real looms (logic, physics, audio, input, graphics) and the game's own start script: a new
// script state, whichever restart made it, has every global the first one had, and each loom's
// commands answer from it.
TEST(ScriptRestart, EveryNewStateGetsWhatTheLoomsAndTheCorePublish)
{
    PlayerWorld world;
    GameSim sim(GameDataFolder(), 7, &PlayerSim::AddLooms);
    sim.Step();
    const std::map<std::string, int> first = Globals();
    for (const char* name : {"InLevel", "QuitLevel", "Victory", "Defeat", "GameState", "NumInvaders", "Kills", "Points",
                             "LevelActive", "CoreTime", "CoreTimeDiff", "GameTime", "GameTimeDiff", "G", "GUpdate"})
        EXPECT_EQ(first.count(name), 1u) << name;

    const char* restarts[] = {"SoftRestart", "restart"};
    for (int i = 0; i < 2; ++i)
    {
        sim.Run(restarts[i]);
        // What the start script of the new state can read before any frame has run.
        const std::map<std::string, int> started = Globals();
        for (const char* name : {"InLevel", "QuitLevel", "Victory", "Defeat", "GameState"})
            EXPECT_EQ(started.count(name), 1u) << restarts[i] << ": " << name;
        sim.Step();
        EXPECT_EQ(Globals(), first) << restarts[i];

        const float lod = 12.0f + static_cast<float>(i);
        const struct
        {
            std::string line;
            std::function<bool()> took;
        } commands[] = {
            {i == 0 ? "G.SetGameState(Defeat)" : "G.SetGameState(Victory)",
             [&] { return sim.Data().mGameState == (i == 0 ? StateLost : StateWon); }},
            {"G.SetLOD(" + std::to_string(lod) + ")",
             [&] { return GraphicsLoom::Instance()->GetToggles().mLodLimit == lod; }},
            {"G.PlayMusic(\"Music/Theme.ogg\")", [] { return AudioLoom::Instance()->GetMusic().IsPlaying(); }},
            {"G.StopMusic()", [] { return !AudioLoom::Instance()->GetMusic().IsPlaying(); }},
            {"G.SetPause(true)", [&] { return sim.Engine().GetGameClock().IsPaused(); }},
            {"G.SetPause(false)", [&] { return !sim.Engine().GetGameClock().IsPaused(); }},
        };
        for (const auto& command : commands)
        {
            EXPECT_TRUE(RunLua(command.line)) << restarts[i] << ": " << command.line;
            EXPECT_TRUE(command.took()) << restarts[i] << ": " << command.line;
        }
    }
}
