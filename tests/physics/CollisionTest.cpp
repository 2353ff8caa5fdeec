#include <gtest/gtest.h>

#include "tests/physics/PhysicsFixture.h"

class Collision : public PhysicsFixture
{
protected:
    void SetUp() override
    {
        PhysicsFixture::SetUp();
        // In the air, so only the bodies meet.
        Ground::ClearCurrent(&mGround);
    }

    std::vector<Heard> HeardObj() const
    {
        std::vector<Heard> out;
        for (const Heard& heard : HeardLog())
            if (heard.mMessage == "CollideObj")
                out.push_back(heard);
        return out;
    }
};

TEST_F(Collision, HeadOnSpheresEachHearOnceWithOppositeNormalsAndKeepMomentum)
{
    Cog* left = Spawn("Ball", Vector3(100.0f, 50.0f, 100.0f), 1.0f, Vector3(10.0f, 0.0f, 0.0f));
    Cog* right = Spawn("Ball", Vector3(104.0f, 50.0f, 100.0f), 1.0f, Vector3(-10.0f, 0.0f, 0.0f));
    for (Cog* cog : {left, right})
        Phys(cog)->mUseGravity = false;
    Phys(right)->SetMass(3.0f);
    const float momentumBefore = 1.0f * 10.0f + 3.0f * -10.0f;
    Run(30);

    const std::vector<Heard> heard = HeardObj();
    ASSERT_EQ(heard.size(), 2u);
    // The lower ID hears first; each names the other.
    EXPECT_EQ(heard[0].mCog, left->GetID());
    EXPECT_EQ(heard[0].mOther, int32_t(right->GetID()));
    EXPECT_EQ(heard[1].mCog, right->GetID());
    EXPECT_EQ(heard[1].mOther, int32_t(left->GetID()));
    EXPECT_NEAR(heard[0].mData.mNormal.x, -1.0f, 1e-5f);
    EXPECT_NEAR(heard[1].mData.mNormal.x, 1.0f, 1e-5f);
    // Told before the bodies answer: the handlers see the speeds of the approach.
    EXPECT_FLOAT_EQ(heard[0].mVelocity.x, 10.0f);
    EXPECT_FLOAT_EQ(heard[1].mVelocity.x, -10.0f);
    EXPECT_FLOAT_EQ(heard[0].mData.mVelocity.x, 20.0f);
    EXPECT_FLOAT_EQ(heard[1].mData.mVelocity.x, -20.0f);

    const float vl = Pos(left)->GetVelocity().x;
    const float vr = Pos(right)->GetVelocity().x;
    EXPECT_NEAR(1.0f * vl + 3.0f * vr, momentumBefore, 1e-4f);
    EXPECT_LT(vl, 0.0f);
    EXPECT_NEAR(vr - vl, 0.3f * 20.0f, 1e-3f) << "they part at the restitution times the closing speed";
    EXPECT_GE(Pos(right)->GetPosition().x - Pos(left)->GetPosition().x, 2.0f - 1e-4f);
}

TEST_F(Collision, BallBouncesOffAnImmovableWall)
{
    Cog* ball = Spawn("Ball", Vector3(110.0f, 50.0f, 100.0f), 1.0f, Vector3(20.0f, 0.0f, 0.0f));
    Cog* wall = SpawnBox("Wall", Vector3(120.0f, 50.0f, 100.0f), Vector3(1.0f, 5.0f, 5.0f));
    Phys(ball)->mUseGravity = false;
    Run(60);
    EXPECT_NEAR(Pos(ball)->GetVelocity().x, -6.0f, 1e-3f);
    EXPECT_LT(Pos(ball)->GetPosition().x, 118.0f);
    EXPECT_EQ(Pos(wall)->GetPosition(), Vector3(120.0f, 50.0f, 100.0f));
    EXPECT_EQ(Count(ball->GetID(), "CollideObj"), 1);
    EXPECT_EQ(Count(wall->GetID(), "CollideObj"), 1);
    const std::vector<Heard> heard = HeardObj();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].mCog, ball->GetID()) << "the ball has the lower ID";
    EXPECT_NEAR(heard[0].mData.mNormal.x, -1.0f, 1e-5f);
    EXPECT_NEAR(heard[0].mData.mPoint.x, 119.0f, 0.5f);
}

TEST_F(Collision, SlowContactDoesNotBounceAndStaticPairsAreNeverTested)
{
    SpawnBox("Wall", Vector3(120.0f, 50.0f, 100.0f), Vector3(1.0f, 5.0f, 5.0f));
    Cog* twin = SpawnBox("Wall", Vector3(121.0f, 50.0f, 100.0f), Vector3(1.0f, 5.0f, 5.0f));
    Cog* ball = Spawn("Ball", Vector3(117.5f, 50.0f, 100.0f), 1.0f, Vector3(1.5f, 0.0f, 0.0f));
    Phys(ball)->mUseGravity = false;
    Run(60);
    EXPECT_NEAR(Pos(ball)->GetVelocity().x, 0.0f, 1e-5f);
    EXPECT_NEAR(Pos(ball)->GetPosition().x, 118.0f, 1e-4f);
    EXPECT_EQ(Count(twin->GetID(), "CollideObj"), 0) << "the overlapping walls never meet";
}

TEST_F(Collision, SwitchedOffBodyIsAnObstacleThatHearsNothing)
{
    Ground::SetCurrent(&mGround);
    // A stacked body: switched off, held in the air, others still land on it.
    Cog* stacked = SpawnBox("Ball", Vector3(100.0f, 5.0f, 100.0f), Vector3(1.0f, 1.0f, 1.0f));
    Coll(stacked)->SetActive(false);
    Phys(stacked)->mUseGravity = false;
    Cog* walker = Spawn("Ball", Vector3(100.0f, 9.0f, 100.0f), 1.0f);
    Run(120);
    EXPECT_NEAR(Pos(walker)->GetPosition().y, 7.0f, 0.05f);
    EXPECT_EQ(Pos(stacked)->GetPosition(), Vector3(100.0f, 5.0f, 100.0f));
    EXPECT_GE(Count(walker->GetID(), "CollideObj"), 1);
    EXPECT_EQ(Count(stacked->GetID(), "CollideObj"), 0);
    EXPECT_EQ(Count(stacked->GetID(), "CollideMap"), 0);
    for (const Heard& heard : HeardObj())
        EXPECT_NEAR(heard.mData.mNormal.y, 1.0f, 1e-5f);

    // Switched off, it also passes through the ground.
    Phys(stacked)->mUseGravity = true;
    Run(60);
    EXPECT_LT(Pos(stacked)->GetPosition().y, -5.0f);
}

TEST_F(Collision, HandlerMayCreateABodyAndQueueTheOther)
{
    Cog* left = Spawn("Ball", Vector3(100.0f, 50.0f, 100.0f), 1.0f, Vector3(10.0f, 0.0f, 0.0f));
    Cog* right = Spawn("Ball", Vector3(104.0f, 50.0f, 100.0f), 1.0f, Vector3(-10.0f, 0.0f, 0.0f));
    for (Cog* cog : {left, right})
        Phys(cog)->mUseGravity = false;
    Cog* created = nullptr;
    ProbeComp::OnCollideObj() = [&](Cog& self, int32_t other) {
        if (created)
            return;
        // Right where the two meet, as a bomb would appear.
        created =
            Spawn("Ball", Pos(&self)->GetPosition() + Vector3(0.0f, 5.0f, 0.0f), 1.0f, Vector3(0.0f, 0.0f, 30.0f));
        Phys(created)->mUseGravity = false;
        mCogs.Destroy(mCogs.GetCog(static_cast<uint32_t>(other)));
    };
    const uint32_t rightId = right->GetID();
    Run(30);
    ASSERT_NE(created, nullptr);
    mCogs.ProcessDestroyList();
    EXPECT_EQ(mCogs.GetCog(rightId), nullptr);
    const uint32_t createdId = created->GetID();
    Run(30);
    // It joined after the frame it was made in, then flew its own way.
    EXPECT_GT(Pos(created)->GetPosition().z, 100.0f + 30.0f * 0.4f);
    EXPECT_NE(mCogs.GetCog(createdId), nullptr);
}
