#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "game/invaders/InvaderActions.h"
#include "game/invaders/PathingTools.h"
#include "game/level/LevelFile.h"
#include "game/level/TileComp.h"
#include "tests/game/GameSim.h"

namespace {
// What the name look-up says, which the remembered answer must always match.
Cog* NamedTower(GameSim& sim) { return sim.Cogs().FindCogByName("Tower"); }

TileIndex FootprintCentre(Cog& tower) { return tower.Get<TileComp>()->GetCenterTile(); }
} // namespace

// Every way the "Tower" name can change hands, each followed by the remembered tower and its
// tile being compared with a fresh look-up.
TEST(TowerLookup, FollowsTheNamedTowerThroughEveryChange)
{
    GameSim sim;
    GridMaker grid{sim};
    TileMap& map = grid.Map(16, 16);
    std::vector<uint32_t> made;
    auto make = [&](Vector3 at) {
        Cog* tower = CreateAt(sim.Cogs(), "tower", at);
        ASSERT_NE(tower, nullptr);
        made.push_back(tower->GetID());
    };
    struct Change
    {
        std::string mWhat;
        std::function<void()> mDo;
        bool mTower;
    };
    const std::vector<Change> changes = {
        {"no tower yet", [] {}, false},
        {"a tower is made",
         [&] {
             make({56, 0, 57});
         },
         true},
        {"a second tower cannot take the name",
         [&] {
             make({62, 0, 62});
         },
         true},
        {"the named tower is queued, still standing", [&] { sim.Cogs().Destroy(NamedTower(sim)); }, true},
        {"the end of the frame removes it; the other never held the name", [&] { sim.Step(); }, false},
        {"a new tower after none",
         [&] {
             make({58, 0, 58});
         },
         true},
        {"the tower moves its footprint",
         [&] {
             auto* tiles = static_cast<TileComp*>(NamedTower(sim)->GetComponent(TileComp::kTypeId));
             tiles->tileX += 3;
         },
         true},
        {"a level reload hands the name on within the frame",
         [&] {
             map.SaveLevelFile("Levels/Lookup");
             map.LoadLevelFile("Levels/Lookup.bin");
         },
         true},
        {"and the old one goes at the end of it", [&] { sim.Step(); }, true},
        {"every cog goes at once", [&] { sim.Cogs().DestroyAll(); }, false},
    };
    for (const Change& change : changes)
    {
        change.mDo();
        Cog* named = NamedTower(sim);
        EXPECT_EQ(named != nullptr, change.mTower) << change.mWhat;
        // Asked twice: the second answer comes from what the first remembered.
        for (int ask = 0; ask < 2; ++ask)
        {
            EXPECT_EQ(FindTower(), named) << change.mWhat << ", ask " << ask;
            if (named)
            {
                EXPECT_EQ(TowerTile(map, *named), FootprintCentre(*named)) << change.mWhat << ", ask " << ask;
            }
        }
        if (testing::Test::HasFailure())
            break;
    }
    EXPECT_GE(made.size(), 3u);
}
