#include <gtest/gtest.h>

#include "LOOM/cogs/Composer.h"
#include "game/player/SceneBinding.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/scene/Model.h"
#include "tests/LOOM/support/CodeType.h"
#include "tests/game/player/PlayerSim.h"

TEST(SceneBinding, ReachesTheModelAndTheHudDisplayOfACog)
{
    PlayerSim play(false);
    CogFactory& cogs = play.Sim().Cogs();
    MakeCodeType(cogs, "Shown", {1, Model::kTypeId, HudDisplay::kTypeId});
    Cog* cog = CreateAt(cogs, "Shown", Vector3(5, 0, 5));
    ASSERT_NE(cog, nullptr);
    auto& model = *cog->Get<Model>();
    auto& hud = *cog->Get<HudDisplay>();

    SceneBinding scene;
    EXPECT_TRUE(scene.Models().HasModel(*cog));
    EXPECT_FALSE(scene.Models().PlayAnimation(*cog, "NoSuch", false)) << "a model without that animation";
    scene.Models().SetModelColor(*cog, Color(1, 0.25f, 0.25f, 1));
    Color read;
    ASSERT_TRUE(scene.Models().GetModelColor(*cog, read));
    EXPECT_EQ(read.g, 0.25f);
    EXPECT_EQ(model.ModelColor.b, 0.25f);

    ASSERT_TRUE(scene.Hud().HasHudDisplay(*cog));
    scene.Hud().ShowNumber(*cog, true);
    scene.Hud().SetHudText(*cog, "$15");
    scene.Hud().SetHudColor(*cog, Color(0.9f, 0.9f, 0.0f, 1.0f));
    scene.Hud().SetHudAlpha(*cog, 0.5f);
    scene.Hud().SetHudOffsetHeight(*cog, 2.5f);
    EXPECT_TRUE(scene.Hud().IsNumberShown(*cog));
    EXPECT_EQ(hud.Text, "$15");
    EXPECT_EQ(hud.mColor.a, 0.5f);
    EXPECT_EQ(hud.mColor.r, 0.9f);
    EXPECT_EQ(hud.Offset.y, 2.5f);

    // A cog with neither: every call is a no-op.
    Cog* bare = play.mHud;
    EXPECT_FALSE(scene.Models().HasModel(*bare));
    EXPECT_FALSE(scene.Hud().HasHudDisplay(*bare));
    EXPECT_FALSE(scene.Models().GetModelColor(*bare, read));
    scene.Hud().ShowNumber(*bare, true);
    float width = 0.0f;
    float depth = 0.0f;
    EXPECT_FALSE(scene.Terrain().GetMapExtent(width, depth)) << "no height map in this level";
}
