#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "LOOM/assets/Ref.h"
#include "LOOM/base/FileUtils.h"
#include "game/components/GameComponents.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/files/LMLoader.h"
#include "graphics/scene/Model.h"
#include "tests/game/invaders/InvaderSim.h"

namespace {
// The mesh a model names is read by the engine's reader and has one material per part.
void ExpectDrawable(Cog& cog)
{
    const Model* found = cog.Get<Model>();
    ASSERT_TRUE(found) << cog.GetName();
    const Model& model = *found;
    auto loaded = Ref<Mesh>::Adopt(new Mesh());
    ASSERT_TRUE(LMLoader::LoadMesh(*loaded, DataFilePath(model.ModelFileName))) << model.ModelFileName;
    EXPECT_EQ(loaded->GetPartCount(), model.Materials.size()) << model.ModelFileName;
    for (const std::string& material : model.Materials)
        EXPECT_TRUE(DoesFileExist(DataFilePath(material))) << material;
}

float Flat(const Vector3& a, const Vector3& b) { return std::hypot(a.x - b.x, a.z - b.z); }
} // namespace

// Each level's script puts up its scenery from the level file, every piece drawable; with the
// traps gone the waves march past all of it to the tower and never come near a piece. The
// second level's ledge, put up among the doodads, lies across the march on purpose: drawable,
// but no scenery.
TEST(LevelScenery, WavesMarchPastTheSceneryToTheTower)
{
    for (const char* level : {"L1", "L2"})
    {
        SCOPED_TRACE(level);
        GameSim sim;
        sim.Run(std::string("LogicCreateLevel Scripts\\Levels\\") + level + ".lua");
        ASSERT_EQ(sim.Data().mGameState, StateInLevel);
        std::vector<Vector3> scenery;
        std::set<std::string> kinds;
        for (Cog* doodad : sim.Cogs().GetGroupCogs("doodads"))
        {
            ExpectDrawable(*doodad);
            const Damagable* damagable = doodad->Get<Damagable>();
            ASSERT_TRUE(damagable);
            if (damagable->spawnName == "step")
                continue;
            scenery.push_back(InvaderField::P(doodad).GetPosition());
            kinds.insert(damagable->spawnName);
        }
        EXPECT_GE(scenery.size(), 8u);
        EXPECT_EQ(kinds, (std::set<std::string>{"bush", "rock", "tree"}));

        for (Cog* trap : sim.Cogs().GetGroupCogs("traps"))
            sim.Cogs().Destroy(trap);
        Cog* tower = sim.Cogs().FindCogByName("Tower");
        ASSERT_NE(tower, nullptr);
        InvaderField::B(tower).hitPoints = 100.0f;
        float nearest = 1e9f;
        int32_t seen = 0;
        const bool over = sim.StepUntil(
            [&] {
                for (Comp* comp : sim.Data().mInvaders)
                {
                    const Vector3 at = static_cast<Kestrane*>(comp)->Pos().GetPosition();
                    for (const Vector3& piece : scenery)
                        nearest = std::min(nearest, Flat(at, piece));
                }
                seen = std::max(seen, static_cast<int32_t>(sim.Data().mInvaders.size()));
                return sim.Data().mGameState != StateInLevel;
            },
            150 * 60);
        ASSERT_TRUE(over);
        EXPECT_EQ(sim.Data().mGameState, StateLost) << "the waves reached the tower";
        EXPECT_GT(seen, 0);
        EXPECT_GT(nearest, 16.0f) << "four tiles clear of every piece";
    }
}

// A new invader comes down under the parachute model, which rides just above it and goes once
// the invader lands.
TEST(LevelScenery, FallingInvaderShowsTheParachuteUntilItLands)
{
    GameSim sim;
    InvaderField field(sim);
    Cog* cog = field.Make("grunt", field.Centre(10, 10) + Vector3(0, 30, 0));
    ASSERT_NE(cog, nullptr);
    Kestrane& k = InvaderField::K(cog);
    ASSERT_EQ(k.mRun.mState, StateParachute);
    const uint32_t id = k.mRun.mParachuteCogId;
    Cog* chute = sim.Cogs().GetCog(id);
    ASSERT_NE(chute, nullptr);
    ExpectDrawable(*chute);
    EXPECT_EQ(chute->Get<Model>()->ModelFileName, "Models/Parachute.lmf");
    sim.Step(10);
    ASSERT_EQ(k.mRun.mState, StateParachute);
    EXPECT_NEAR(InvaderField::P(chute).GetPosition().y - k.Pos().GetPosition().y, 1.0f, 1e-3f);
    ASSERT_TRUE(sim.StepUntil([&] { return k.mRun.mState != StateParachute; }, 600));
    sim.Step();
    EXPECT_EQ(sim.Cogs().GetCog(id), nullptr);
}
