#include <functional>

#include <gtest/gtest.h>

#include "LOOM/console/Console.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/game/player/PlayerSim.h"

// The named cog functions the shipped compositions list run on their cogs in the whole game:
// input, graphics on the offscreen window and the game's own data folder.
TEST(ShippedCogFunctions, RunOnTheCogsOfTheGamesData)
{
    struct Row
    {
        const char* mCog;
        Vector3 mAt;
        std::function<void(GameSim&)> mAct;
        std::function<void(GameSim&, InvaderField&, Cog&)> mCheck;
    };
    auto key = [](SDL_Scancode code) { IOLoom::Instance()->HandleEvent(InputEvents::Key(SDL_KEYDOWN, code)); };
    const Row rows[] = {
        // Edit mode: "G" under the cursor makes the tile neither buildable nor passable.
        {"Data/Cursor.xml", Vector3(82, 5, 82),
         [&](GameSim& sim) {
             sim.Run("edit true");
             key(SDL_SCANCODE_G);
         },
         [](GameSim&, InvaderField& field, Cog& cursor) {
             const TileIndex at = field.Map().WorldToTile(InvaderField::P(&cursor).GetPosition(), 1, 1);
             const Tile& tile = field.Map().GetTile(at.first, at.second);
             EXPECT_FALSE(tile.buildable);
             EXPECT_FALSE(tile.passable);
         }},
        // The poison mist rises out of the ground and wanders.
        {"Data/Effects/MobilePoisonMist.xml", Vector3(100, -5, 100), [](GameSim&) {},
         [](GameSim&, InvaderField&, Cog& mist) {
             EXPECT_GE(InvaderField::P(&mist).GetPosition().y, 0.75f);
             EXPECT_GT(InvaderField::P(&mist).GetVelocity().Length(), 0.0f);
         }},
        // The HUD reports the game's counters to the console's debug values.
        {"Data/HUD.xml", Vector3(), [](GameSim&) {},
         [](GameSim&, InvaderField&, Cog&) {
             const auto& values = Console::Instance().GetDebugValues().All();
             ASSERT_TRUE(values.count("Tower HP"));
             EXPECT_EQ(values.at("Tower HP"), "It's GONE!");
             EXPECT_TRUE(values.count("Kills "));
         }},
        // The free debug camera shoots balls with the space bar and shows its speed.
        {"Cogs/Camera.xml", Vector3(100, 20, 100), [&](GameSim&) { key(SDL_SCANCODE_SPACE); },
         [](GameSim& sim, InvaderField&, Cog&) {
             EXPECT_FALSE(sim.Cogs().GetGroupCogs("debug").empty()) << "a PhysicsBall";
             EXPECT_TRUE(Console::Instance().GetDebugValues().All().count("CogPos"));
         }},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.mCog);
        for (const char* name : {"Tower HP", "Kills ", "CogPos"})
            Console::Instance().GetDebugValues().Remove(name);
        PlayerWorld world;
        LogCapture log;
        GameSim sim(GameDataFolder(), 7, &PlayerSim::AddLooms);
        EXPECT_FALSE(log.Contains("Not Found")) << "every listed function exists";
        EXPECT_FALSE(log.Contains("Bad Component ID"));
        InvaderField field(sim);
        Cog* cog = sim.Cogs().CreateAt(row.mCog, row.mAt);
        ASSERT_NE(cog, nullptr);
        sim.Step();
        row.mAct(sim);
        sim.Step(30);
        row.mCheck(sim, field, *cog);
    }
}
