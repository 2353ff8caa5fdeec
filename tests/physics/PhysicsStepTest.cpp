#include <gtest/gtest.h>

#include <cmath>

#include "tests/physics/PhysicsFixture.h"

using PhysicsStep = PhysicsFixture;

TEST_F(PhysicsStep, SubStepsAreEqualAndNoLongerThanTheLimit)
{
    const struct
    {
        float dt;
        uint32_t count;
    } cases[] = {
        {1.0f / 30.0f, 4}, {1.0f / 60.0f, 2}, {1.0f / 120.0f, 1}, {0.0084f, 2},
        {0.1f, 12},        {0.5f, 12},        {0.0f, 0},          {-1.0f, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mLoom->SubStepsFor(c.dt), c.count) << c.dt;
    EXPECT_EQ(mLoom->SubStepsFor(std::nanf("")), 0u);
}

TEST_F(PhysicsStep, DroppedSphereComesToRestOnTheGroundAndHearsItEveryFrame)
{
    Cog* ball = Spawn("Ball", Vector3(100.0f, 10.0f, 100.0f), 1.0f);
    Run(180);
    const Positional* positional = Pos(ball);
    EXPECT_NEAR(positional->GetPosition().y, 1.0f, 0.05f);
    EXPECT_LE(positional->GetVelocity().Length(), 0.75f);

    // Resting: exactly one "CollideMap" per frame, pointing up.
    for (int frame = 0; frame < 20; ++frame)
    {
        HeardLog().clear();
        mLoom->Step(1.0f / 60.0f);
        ASSERT_EQ(Count(ball->GetID(), "CollideMap"), 1) << frame;
        EXPECT_NEAR(HeardLog()[0].mData.mNormal.y, 1.0f, 1e-5f);
        EXPECT_NEAR(HeardLog()[0].mData.mPoint.y, 0.0f, 0.05f);
    }
}

TEST_F(PhysicsStep, ThrowFollowsTheClosedForm)
{
    Ground::ClearCurrent(&mGround);
    const Vector3 start(50.0f, 100.0f, 60.0f);
    const Vector3 throwVelocity(6.0f, 20.0f, -3.0f);
    Cog* ball = Spawn("Ball", start);
    Phys(ball)->SetMass(2.5f);
    Phys(ball)->AddVelocity(throwVelocity);
    const int frames = 90;
    Run(frames);
    // Semi-implicit Euler in n substeps of h: y = y0 + v0 t + g h^2 n (n + 1) / 2.
    const double h = 1.0 / 120.0;
    const double n = frames * 2;
    const double t = n * h;
    const double g = mLoom->GetGravity().y;
    const Vector3 at = Pos(ball)->GetPosition();
    EXPECT_NEAR(at.x, start.x + throwVelocity.x * t, 1e-3);
    EXPECT_NEAR(at.z, start.z + throwVelocity.z * t, 1e-3);
    EXPECT_NEAR(at.y, start.y + throwVelocity.y * t + g * h * h * n * (n + 1) / 2, 1e-3);
    EXPECT_NEAR(at.y, start.y + throwVelocity.y * t + 0.5 * g * t * t, std::fabs(g) * h * t);
    EXPECT_NEAR(Pos(ball)->GetVelocity().y, throwVelocity.y + g * t, 1e-3);
}

TEST_F(PhysicsStep, FrameRateDoesNotChangeTheTrajectory)
{
    auto trajectory = [this](float dt, int frames, int every) {
        mCogs.DestroyAll();
        Cog* ball = Spawn("Ball", Vector3(80.0f, 12.0f, 80.0f), 1.0f);
        Phys(ball)->AddVelocity(Vector3(15.0f, 5.0f, 2.0f));
        Phys(ball)->SetSpinFromDirection(Vector3(1.0f, 0.0f, 0.0f), 4.0f);
        std::vector<Vector3> points;
        for (int i = 1; i <= frames; ++i)
        {
            mLoom->Step(dt);
            if (i % every == 0)
            {
                points.push_back(Pos(ball)->GetPosition());
                points.push_back(Pos(ball)->GetVelocity());
            }
        }
        return points;
    };
    const std::vector<Vector3> coarse = trajectory(1.0f / 30.0f, 60, 1);
    const std::vector<Vector3> fine = trajectory(1.0f / 60.0f, 120, 2);
    ASSERT_EQ(coarse.size(), fine.size());
    bool bounced = false;
    for (size_t i = 0; i < coarse.size(); ++i)
    {
        EXPECT_EQ(coarse[i].x, fine[i].x) << i;
        EXPECT_EQ(coarse[i].y, fine[i].y) << i;
        EXPECT_EQ(coarse[i].z, fine[i].z) << i;
        bounced |= i % 2 == 1 && coarse[i].y > 0.5f && i > 2 && coarse[i - 2].y < 0.0f;
    }
    EXPECT_TRUE(bounced) << "the run should include a bounce off the ground";
}

TEST_F(PhysicsStep, ImpulseIsSpentOnceAsAVelocityChange)
{
    Ground::ClearCurrent(&mGround);
    Cog* ball = Spawn("Ball", Vector3(50.0f, 50.0f, 50.0f));
    PhysicsComp* physics = Phys(ball);
    physics->mUseGravity = false;
    physics->SetMass(2.0f);
    physics->AddVelocity(Vector3(5.0f, 0.0f, 0.0f));
    EXPECT_EQ(physics->GetImpulse(), Vector3(10.0f, 0.0f, 0.0f));
    Run(1);
    EXPECT_EQ(physics->GetImpulse(), Vector3());
    EXPECT_EQ(Pos(ball)->GetVelocity(), Vector3(5.0f, 0.0f, 0.0f));
    Run(1);
    EXPECT_EQ(Pos(ball)->GetVelocity(), Vector3(5.0f, 0.0f, 0.0f));

    // A force is spread over the frame just stepped: 60 over 1/60 s is an impulse of 1.
    physics->AddForce(Vector3(0.0f, 0.0f, 2.0f), 60.0f);
    EXPECT_NEAR(physics->GetImpulse().z, 1.0f, 1e-6f);
    physics->SetImpulse(Vector3(0.0f, 4.0f, 0.0f));
    Run(1);
    EXPECT_EQ(Pos(ball)->GetVelocity(), Vector3(5.0f, 2.0f, 0.0f));
}

TEST_F(PhysicsStep, FlagsGateGravityAndRotation)
{
    Ground::ClearCurrent(&mGround);
    Cog* floating = Spawn("Ball", Vector3(30.0f, 50.0f, 30.0f));
    Cog* falling = Spawn("Ball", Vector3(60.0f, 50.0f, 60.0f));
    Phys(floating)->mUseGravity = false;
    Phys(floating)->mDisableRotation = true;
    Phys(floating)->SetSpinFromDirection(Vector3(1.0f, 0.0f, 0.0f), 3.0f);
    Phys(falling)->SetSpinFromDirection(Vector3(1.0f, 0.0f, 0.0f), 3.0f);
    EXPECT_EQ(Phys(falling)->GetSpin(), Vector3(0.0f, 0.0f, 3.0f));
    Run(30);
    EXPECT_EQ(Pos(floating)->GetPosition(), Vector3(30.0f, 50.0f, 30.0f));
    EXPECT_EQ(Pos(floating)->GetOrientation().w, 1.0f);
    EXPECT_LT(Pos(falling)->GetPosition().y, 50.0f);
    // Half a second at 3 rad/s about z: a turn of 1.5 rad.
    const Quat q = Pos(falling)->GetOrientation();
    EXPECT_NEAR(2.0f * std::atan2(q.z, q.w), 1.5f, 1e-3f);
    EXPECT_NEAR(q.x * q.x + q.y * q.y, 0.0f, 1e-9f);
}

TEST_F(PhysicsStep, StrongDragSlowsWithoutTurningRound)
{
    Ground::ClearCurrent(&mGround);
    Cog* ball = Spawn("Ball", Vector3(50.0f, 50.0f, 50.0f), 1.0f, Vector3(10.0f, 0.0f, 0.0f));
    PhysicsComp* physics = Phys(ball);
    physics->mUseGravity = false;
    physics->mUseDrag = true;
    physics->mDragCoefficient = 250.0f;
    float previous = 10.0f;
    for (int i = 0; i < 30; ++i)
    {
        Run(1);
        const float speed = Pos(ball)->GetVelocity().x;
        EXPECT_GE(speed, 0.0f) << i;
        EXPECT_LT(speed, previous) << i;
        previous = speed;
    }
    EXPECT_LT(previous, 1e-3f);
}

TEST_F(PhysicsStep, BadNumbersAreRefusedAndLoggedOncePerCog)
{
    Cog* ball = Spawn("Ball", Vector3(50.0f, 50.0f, 50.0f));
    Cog* other = Spawn("Ball", Vector3(90.0f, 50.0f, 90.0f));
    PhysicsComp* physics = Phys(ball);
    const uint32_t mark = LogMark();
    physics->AddForce(Vector3(std::nanf(""), 0.0f, 0.0f), 10.0f);
    physics->AddForce(Vector3(1.0f, 0.0f, 0.0f), INFINITY);
    physics->AddVelocity(Vector3(0.0f, std::nanf(""), 0.0f));
    physics->SetImpulse(Vector3(INFINITY, 0.0f, 0.0f));
    physics->SetMass(0.0f);
    physics->SetMass(-3.0f);
    EXPECT_EQ(ErrorsSince(mark), 1);
    const std::string line = Console::Instance().GetEntries().FromNewest(0).mText;
    const std::string id = std::to_string(ball->GetID());
    EXPECT_NE(line.find('(' + id + ')'), std::string::npos) << line;
    EXPECT_NE(line.find("a force that is not finite"), std::string::npos) << line;
    EXPECT_EQ(physics->GetImpulse(), Vector3());
    EXPECT_EQ(physics->GetMass(), 1.0f);
    Phys(other)->SetMass(std::nanf(""));
    EXPECT_EQ(ErrorsSince(mark), 2);

    // A velocity poisoned from outside is dropped rather than spread.
    Pos(ball)->SetVelocity(Vector3(std::nanf(""), 0.0f, 0.0f));
    Run(1);
    EXPECT_TRUE(std::isfinite(Pos(ball)->GetPosition().x));
    EXPECT_EQ(ErrorsSince(mark), 2);
}

TEST_F(PhysicsStep, PausedStepMovesNothingButRegionsStillRefresh)
{
    Cog* ball = Spawn("Ball", Vector3(50.0f, 20.0f, 50.0f), 1.0f, Vector3(3.0f, 0.0f, 0.0f));
    Phys(ball)->AddVelocity(Vector3(0.0f, 5.0f, 0.0f));
    Cog* region = Spawn("Region", Vector3(120.0f, 20.0f, 120.0f), 0.0f);
    Region(region)->GetLocalSphere().radius = 5.0f;
    mLoom->Step(0.0f);
    EXPECT_EQ(Pos(ball)->GetPosition(), Vector3(50.0f, 20.0f, 50.0f));
    EXPECT_EQ(Phys(ball)->GetImpulse(), Vector3(0.0f, 5.0f, 0.0f));
    EXPECT_TRUE(Region(region)->GetContacts().empty());

    Pos(ball)->SetPosition(Vector3(122.0f, 20.0f, 120.0f));
    mLoom->Step(0.0f);
    ASSERT_EQ(Region(region)->GetContacts().size(), 1u);
    EXPECT_EQ(Region(region)->GetContacts()[0], ball->GetID());
}
