#include <gtest/gtest.h>

#include "game/player/SceneBinding.h"
#include "graphics/terrain/HeightMap.h"
#include "tests/game/player/PlayerSim.h"

// A trap dropped on the game's ground flattens the ground under it to the map's base height and
// stands just above it; without a height map it stays where its tiles put it.
TEST(TilePlacement, FlattensTheGroundAndStandsOnTheBaseHeight)
{
    for (const bool withGround : {false, true})
    {
        SCOPED_TRACE(withGround);
        PlayerWorld world;
        GameSim sim(GameDataFolder(), 7, &PlayerSim::AddLooms);
        InvaderField field(sim, 64, 2.0f);
        SceneBinding scene;
        SetSceneSeam(&scene);
        HeightMap* ground = nullptr;
        if (withGround)
        {
            ASSERT_NE(sim.Cogs().Create("Ground"), nullptr);
            ground = HeightMap::Current();
            ASSERT_NE(ground, nullptr);
        }
        const Vector3 snapped = field.Map().TileToWorldAligned(30, 30, 2, 2);
        const float before = ground ? ground->GetHeight(snapped.x, snapped.z) : 0.0f;
        Cog* trap = field.Trap(30, 30);
        SetSceneSeam(nullptr);
        ASSERT_NE(trap, nullptr);
        const Vector3 at = InvaderField::P(trap).GetPosition();
        EXPECT_FLOAT_EQ(at.x, snapped.x);
        EXPECT_FLOAT_EQ(at.z, snapped.z);
        if (!ground)
        {
            EXPECT_FLOAT_EQ(at.y, snapped.y);
            continue;
        }
        const float base = ground->mBaseHeight;
        EXPECT_NE(before, base) << "the ground there is not flat at the base to begin with";
        EXPECT_NEAR(ground->GetHeight(snapped.x, snapped.z), base, 0.01f);
        EXPECT_FLOAT_EQ(at.y, base + 0.05f);
    }
}
