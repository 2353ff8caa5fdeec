#include <gtest/gtest.h>

#include "game/components/GameComponents.h"
#include "game/invaders/Kestrane.h"
#include "game/player/SceneBinding.h"
#include "game/traps/TrapData.h"
#include "graphics/particles/BeamRenderer.h"
#include "graphics/particles/ParticleFrame.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/scene/SkinModel.h"
#include "graphics/terrain/HeightMap.h"
#include "tests/game/player/PlayerSim.h"

namespace {
// The shipped game: the real data folder and first level, graphics on the offscreen window and
// the program's own scene binding.
struct PlayedLevel : PlayerWorld
{
    PlayedLevel() : mSim(GameDataFolder(), 7, &PlayerSim::AddLooms)
    {
        SetSceneSeam(&mScene);
        mSim.Run("LogicCreateLevel Scripts\\Levels\\L1.lua");
        if (!HeightMap::Current())
            mSim.Cogs().Create("LevelGround");
        mSim.Run("SetPause false");
        mSim.Step();
    }
    ~PlayedLevel() { SetSceneSeam(nullptr); }

    Cog* Make(const std::string& archetype, const Vector3& at)
    {
        Cog* cog = CreateAt(mSim.Cogs(), archetype, at);
        EXPECT_NE(cog, nullptr) << archetype;
        return cog;
    }
    // The middle of the level on its ground.
    Vector3 Middle()
    {
        HeightMap* map = HeightMap::Current();
        float width = 0.0f;
        float depth = 0.0f;
        EXPECT_TRUE(mScene.GetMapExtent(width, depth));
        Vector3 at(width * 0.5f, 0.0f, depth * 0.5f);
        at.y = map ? map->GetHeight(at.x, at.z) : 0.0f;
        return at;
    }

    GameSim mSim;
    SceneBinding mScene;
};
} // namespace

TEST(SceneBindingPlay, TheHammerShowsItsUsesAndTheZapperDrawsABeam)
{
    PlayedLevel play;
    Cog* hammer = play.Make("hammer", play.Middle());
    ASSERT_NE(hammer, nullptr);
    play.mSim.Step(5);
    HudDisplay* hud = static_cast<HudDisplay*>(hammer->GetComponent(HudDisplay::kTypeId));
    ASSERT_NE(hud, nullptr) << "every trap carries a HUD display";
    EXPECT_TRUE(hud->mShowNumber);
    EXPECT_FALSE(hud->Text.empty());
    EXPECT_EQ(hud->Text, std::to_string(static_cast<int32_t>(CompOf<TrapData>(hammer)->charge)));

    BeamRenderer* beams = ParticleFrame::GetBeamRenderer();
    ASSERT_NE(beams, nullptr);
    const size_t count = beams->GetBeamCount();
    SceneSeam::Beam beam;
    beam.source = hammer->GetID();
    beam.from = play.Middle() + Vector3(0, 5, 0);
    beam.to = beam.from + Vector3(10, 0, 0);
    Scene().AddBeam(beam);
    EXPECT_EQ(beams->GetBeamCount(), count + 1);
}

TEST(SceneBindingPlay, AnInvadersAttackLastsItsClip)
{
    PlayedLevel play;
    Cog* grunt = play.Make("grunt", play.Middle() + Vector3(0, 1, 0));
    ASSERT_NE(grunt, nullptr);
    ASSERT_NE(grunt->GetComponent(SkinModel::kTypeId), nullptr);
    EXPECT_NEAR(Scene().AnimationLength(*grunt, "Attack"), 0.8f, 1e-3f);
    EXPECT_LT(Scene().AnimationLength(*grunt, "NoSuchClip"), 0.0f);
}
