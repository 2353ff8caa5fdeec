#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <lua.h>
}

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/script/ScriptManager.h"
#include "game/player/LogicCommands.h"
#include "tests/game/invaders/InvaderSim.h"
#include "tests/input/LogProbe.h"

namespace {

size_t TrapCount(GameSim& sim) { return sim.Cogs().GetGroupCogs("traps").size(); }

} // namespace

TEST(LogicCommands, RegistersTheSeventeenFunctionsAndTheTwelveCommands)
{
    GameSim sim;
    for (const char* name :
         {"RotateWithMouse", "MouseFPS", "WASDMove", "GameCameraRotate", "GameCameraMove", "GameCameraZoom",
          "MouseGrabInvader", "AttractRegion", "SmoothMistMotion", "FollowCursor", "MouseProjectPosition",
          "OutputCogPosition", "CursorTileEdit", "Gunify", "TrapDrop", "DisplayQuadTreeNode", "OutputPlayerStats"})
        EXPECT_NE(sim.Cogs().Types().FindFunction(name), nullptr) << name;
    const std::pair<const char*, uint32_t> commands[] = {
        {"AttemptTowerDrop", MakeSignature<Vector3>()},
        {"AttemptTrapDrop", MakeSignature<std::string, Vector3, Vector3>()},
        {"DropBomb", MakeSignature<Vector3>()},
        {"Money", MakeSignature<>()},
        {"SetCameraPosition", MakeSignature<float, float, float>()},
        {"SaveObject", MakeSignature<std::string, std::string>()},
        {"ConvertFolder", MakeSignature<std::string, std::string>()},
        {"edit", MakeSignature<bool>()},
        {"GetTrapCost", MakeSignature<std::string>()},
        {"Spawn", MakeSignature<std::string>()},
        {"Win", MakeSignature<>()},
        {"Lose", MakeSignature<>()},
    };
    for (const auto& [name, signature] : commands)
    {
        const ConsoleCommand* command = Console::Instance().FindCommand(name);
        ASSERT_NE(command, nullptr) << name;
        EXPECT_EQ(command->Signature(), signature) << name;
    }
}

TEST(LogicCommands, MoneySetsTheCreditsEditPausesOnceAndWinLoseSetTheState)
{
    GameSim sim;
    sim.Run("Money");
    sim.Run("Money");
    EXPECT_EQ(sim.Data().GetPoints(), 10000);

    GameClock& clock = sim.Engine().GetGameClock();
    sim.Run("edit on");
    sim.Run("edit on");
    EXPECT_TRUE(clock.IsPaused());
    EXPECT_TRUE(sim.Data().IsEditMode());
    sim.Run("edit off");
    EXPECT_FALSE(clock.IsPaused());
    EXPECT_FALSE(sim.Data().IsEditMode());

    sim.Run("Win");
    EXPECT_EQ(sim.Data().mGameState, StateWon);
    sim.Run("Lose");
    EXPECT_EQ(sim.Data().mGameState, StateLost);
}

TEST(LogicCommands, GetTrapCostAnswersAScript)
{
    GameSim sim;
    {
        std::ofstream script(sim.Path("Scripts/Cost.lua"));
        script << "SpikeCost = G.GetTrapCost(\"spikes\")\nFanCost = G.GetTrapCost(\"fan\")\n";
    }
    ScriptManager::Instance().RunScript("Scripts/Cost.lua");
    EXPECT_EQ(LuaNumber("SpikeCost"), sim.Data().GetTrapInfo("spikes").creditCost);
    EXPECT_EQ(LuaNumber("FanCost"), sim.Data().GetTrapInfo("fan").creditCost);
}

TEST(LogicCommands, TrapDropsTakeTheCostOnceAndRefuseATakenTile)
{
    GameSim sim;
    InvaderField field(sim);
    const int32_t cost = sim.Data().GetTrapInfo("spikes").creditCost;
    const Vector3 spot = field.Centre(20, 20);
    const size_t traps = TrapCount(sim);

    EXPECT_TRUE(AttemptTrapDrop("spikes", spot, Vector3(0, 0, 1)));
    EXPECT_EQ(sim.Data().GetPoints(), 100 - cost);
    EXPECT_EQ(TrapCount(sim), traps + 1);
    EXPECT_EQ(SnapTrapDropPosition("spikes", spot),
              field.Map().TileToWorldAligned(field.Map().WorldToTile(spot, 2, 2).first,
                                             field.Map().WorldToTile(spot, 2, 2).second, 2, 2));

    // The same tile again: refused, nothing spent, no cog made.
    const size_t cogs = sim.Cogs().GetCogCount();
    EXPECT_FALSE(AttemptTrapDrop("spikes", spot, Vector3(0, 0, 1)));
    EXPECT_EQ(sim.Data().GetPoints(), 100 - cost);
    EXPECT_EQ(sim.Cogs().GetCogCount(), cogs);

    // Beyond the credits: refused; in edit mode: free.
    sim.Data().SetPoints(cost - 1);
    EXPECT_FALSE(CanDropAt("spikes", field.Centre(30, 30)));
    sim.Run("edit on");
    EXPECT_TRUE(AttemptTrapDrop("spikes", field.Centre(30, 30), Vector3(1, 0, 0)));
    EXPECT_EQ(sim.Data().GetPoints(), cost - 1);
    sim.Run("edit off");
}

TEST(LogicCommands, ADropWhoseCogCannotBeMadeSpendsNothing)
{
    GameSim sim;
    InvaderField field(sim);
    // A trap kind of the data without a cog type.
    sim.Data().mTrapInfo["ghost"] = TrapInfo();
    ASSERT_TRUE(CanDropAt("ghost", field.Centre(10, 10)));
    EXPECT_FALSE(AttemptTrapDrop("ghost", field.Centre(10, 10), Vector3(1, 0, 0)));
    EXPECT_EQ(sim.Data().GetPoints(), 100);
    EXPECT_EQ(sim.Data().mStats.pointsUsed, 0);
}

TEST(LogicCommands, TowerDropNeedsAFreeFourByFourBlock)
{
    GameSim sim;
    InvaderField field(sim);
    EXPECT_TRUE(AttemptTowerDrop(field.Centre(40, 40)));
    EXPECT_FALSE(AttemptTowerDrop(field.Centre(41, 41)));
    EXPECT_TRUE(AttemptTowerDrop(field.Centre(10, 50))) << "a second tower may be dropped";
}

TEST(LogicCommands, ConvertFolderWritesOneBinaryCogPerXmlFile)
{
    GameSim sim;
    std::filesystem::create_directories(sim.Path("Convert/In"));
    std::filesystem::create_directories(sim.Path("Convert/Out"));
    std::filesystem::copy_file(sim.Path("Data/Wall.xml"), sim.Path("Convert/In/One.xml"));
    std::filesystem::copy_file(sim.Path("Data/SuperWall.xml"), sim.Path("Convert/In/Two.xml"));
    const size_t cogs = sim.Cogs().GetCogCount();
    sim.Run("ConvertFolder Convert/In Convert/Out");
    EXPECT_EQ(sim.Cogs().GetCogCount(), cogs + 2);
    for (const char* name : {"One.xml", "Two.xml"})
    {
        std::string bytes;
        ASSERT_TRUE(ReadWholeFile(sim.Path(std::string("Convert/Out/") + name), bytes)) << name;
        ASSERT_GT(bytes.size(), 8u);
        EXPECT_EQ(bytes.substr(0, 4), "loom");
        EXPECT_EQ(bytes.substr(bytes.size() - 4), "loom");
    }
}

TEST(LogicCommands, SpawnWorksOnlyInEditModeAtTheCursor)
{
    GameSim sim;
    InvaderField field(sim);
    Cog* cursor = field.Make("spikes", field.Centre(12, 12));
    cursor->SetName("Cursor");
    sim.Cogs().RegisterName(*cursor);
    const size_t spawners = sim.Cogs().GetGroupCogs("spawners").size();
    sim.Run("Spawn spawner");
    EXPECT_EQ(sim.Cogs().GetGroupCogs("spawners").size(), spawners);
    sim.Run("edit on");
    sim.Run("Spawn nosuchkind");
    sim.Run("Spawn spawner");
    ASSERT_EQ(sim.Cogs().GetGroupCogs("spawners").size(), spawners + 1);
    Cog* spawner = sim.Cogs().GetGroupCogs("spawners").back();
    EXPECT_EQ(InvaderField::P(spawner).GetPosition(), InvaderField::P(cursor).GetPosition());
    sim.Run("edit off");
}

// What a script hands the game's commands arrives as written, or the call is refused with an error
// naming the command and the argument and nothing is made or written: a position, colour or timing
// that is not finite, a pop-up size the HUD has not, a file name longer than a command takes (cut,
// it would name another file).
TEST(LogicCommands, ScriptArgumentsTheGameCannotUseAreRefusedByNameAndChangeNothing)
{
    GameSim sim;
    const char* const kTiming = "Vector3(0.25, 1, 0.5)";
    struct Case
    {
        std::string mCall;
        std::string mError; // empty: the call goes through
        size_t mNewCogs;
    };
    const Case cases[] = {
        {"G.DropBomb(Vector3(3, 0, 3))", "", 1},
        {"G.CreateAt('Bomb', Vector3(2, 0, 2))", "", 1},
        {"G.SaveObject('Saved', string.rep('a', 123) .. '.xml')", "", 0},
        {"G.CreateAt('Bomb', Vector3(0, 0, 1/0))",
         "bad argument #2 to 'CreateAt' (its rVector3 takes finite components, not (0, 0, inf))", 0},
        {"G.DropBomb(Vector3(-1/0, 0, 0))",
         "bad argument #1 to 'DropBomb' (its rVector3 takes finite components, not (-inf, 0, 0))", 0},
        {"G.TextPopup(0, 'hi', Color(1, 1, 1, 1), Vector3(0.25, 1/0, 0.5))",
         "bad argument #4 to 'TextPopup' (its rVector3 takes finite components, not (0.25, inf, 0.5))", 0},
        {std::string("G.TextPopup(1, 'hi', Color(1, 1, -1/0, 1), ") + kTiming + ")",
         "bad argument #3 to 'TextPopup' (its rColor takes finite components, not (1, 1, -inf, 1))", 0},
        {std::string("G.TextPopup(2147483647, 'hi', Color(1, 1, 1, 1), ") + kTiming + ")",
         "bad argument #1 to 'TextPopup' (no pop-up of size 2147483647 (0 large, 1 small))", 0},
        {std::string("G.TextPopup(-1, 'hi', Color(1, 1, 1, 1), ") + kTiming + ")",
         "bad argument #1 to 'TextPopup' (no pop-up of size -1 (0 large, 1 small))", 0},
        {"G.SaveObject('Saved', string.rep('b', 124) .. '.xml')",
         "bad argument #2 to 'SaveObject' (a string of 128 bytes, longer than the 127 a command takes)", 0},
        {"G.SaveObject('Saved', string.rep('c', 4096) .. '.xml')",
         "bad argument #2 to 'SaveObject' (a string of 4100 bytes, longer than the 127 a command takes)", 0},
    };
    Cog* saved = sim.Cogs().CreateAt("Bomb", Vector3(1, 0, 1));
    ASSERT_NE(saved, nullptr);
    saved->SetName("Saved");
    sim.Cogs().RegisterName(*saved);
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.mCall);
        std::ofstream(sim.Path("Scripts/Call.lua")) << "Reached = false " << c.mCall << " Reached = true\n";
        std::vector<std::string> before;
        for (const auto& entry : std::filesystem::directory_iterator(sim.Path("")))
            before.push_back(entry.path().filename().string());
        const size_t cogs = sim.Cogs().GetCogCount();
        const LogProbe log;
        ScriptManager::Instance().RunScript("Scripts/Call.lua");
        EXPECT_EQ(sim.Cogs().GetCogCount(), cogs + c.mNewCogs);
        std::vector<std::string> after;
        for (const auto& entry : std::filesystem::directory_iterator(sim.Path("")))
            after.push_back(entry.path().filename().string());
        const std::vector<std::string> errors = log.Errors();
        lua_State* L = ScriptManager::Instance().GetState();
        lua_getglobal(L, "Reached");
        const bool reached = lua_toboolean(L, -1) != 0;
        lua_pop(L, 1);
        if (c.mError.empty())
        {
            EXPECT_TRUE(reached);
            EXPECT_EQ(errors, std::vector<std::string>());
            continue;
        }
        EXPECT_FALSE(reached);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find("Call.lua:1: " + c.mError), std::string::npos) << errors[0];
        std::sort(before.begin(), before.end());
        std::sort(after.begin(), after.end());
        EXPECT_EQ(after, before) << "nothing written";
    }
    EXPECT_TRUE(std::filesystem::exists(sim.Path(std::string(123, 'a') + ".xml")));
}
