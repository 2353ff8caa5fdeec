#include <gtest/gtest.h>

#include "physics/InertiaBall.h"
#include "physics/PhysicsExplosion.h"
#include "physics/SpringCape.h"
#include "tests/physics/PhysicsFixture.h"

using Explosion = PhysicsFixture;

TEST_F(Explosion, PushesBodiesInsideTheRadiusAwayOnce)
{
    Ground::ClearCurrent(&mGround);
    MakeType("Blast", {1, 56});
    Cog* near = Spawn("Mover", Vector3(105.0f, 50.0f, 100.0f));
    Cog* far = Spawn("Mover", Vector3(100.0f, 50.0f, 111.0f));
    Cog* wall = SpawnBox("Wall", Vector3(100.0f, 50.0f, 97.0f), Vector3(1.0f, 1.0f, 1.0f));
    for (Cog* cog : {near, far})
        Phys(cog)->mUseGravity = false;
    Phys(near)->SetMass(2.0f);
    Cog* blast = mCogs.CreateAt("Blast", Vector3(100.0f, 50.0f, 100.0f));
    auto* explosion = blast->Get<PhysicsExplosion>();
    explosion->mStrength = 40.0f;
    explosion->mRadius = 10.0f;
    mLoom->Step(1.0f / 60.0f);
    // Halfway out: half the strength, over a mass of 2.
    EXPECT_NEAR(Pos(near)->GetVelocity().x, 10.0f, 1e-5f);
    EXPECT_EQ(Pos(far)->GetVelocity(), Vector3());
    EXPECT_EQ(Pos(wall)->GetPosition(), Vector3(100.0f, 50.0f, 97.0f));
    mLoom->Step(1.0f / 60.0f);
    EXPECT_NEAR(Pos(near)->GetVelocity().x, 10.0f, 1e-5f) << "a blast pushes only once";
}

TEST_F(Explosion, TypesRegisterUnderTheirIdsAndNames)
{
    const struct
    {
        uint32_t id;
        const char* name;
    } types[] = {{50, "PhysicsComp"},      {51, "CollisionComp"}, {55, "RegionComp"},
                 {56, "PhysicsExplosion"}, {57, "SpringCape"},    {58, "InertiaBall"}};
    for (const auto& type : types)
    {
        CompFactory* factory = mCogs.Types().GetComponentFactory(type.id);
        ASSERT_NE(factory, nullptr) << type.id;
        std::unique_ptr<Comp> comp(factory->Create());
        EXPECT_EQ(comp->GetTypeId(), type.id);
        EXPECT_EQ(comp->GetTypeName(), type.name);
    }
}
