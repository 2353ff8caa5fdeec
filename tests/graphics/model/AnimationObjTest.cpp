#include <gtest/gtest.h>

#include "graphics/model/animation/AnimationObj.h"
#include "tests/LOOM/support/FakeCogDirectory.h"
#include "tests/LOOM/support/MathTestHelpers.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tools/lmfgen/ModelShapes.h"

namespace {
constexpr float kPi = 3.14159265f;
constexpr uint32_t kOwner = 7;

class Controller : public ::testing::Test
{
protected:
    void SetUp() override
    {
        LmfClip swing;
        swing.name = "Swing";
        swing.length = 2.0f;
        swing.tracks = {{Key(0.0f, {0, 0, 0}), Key(1.0f, {10, 0, 0}), Key(2.0f, {0, 0, 0})}};
        LmfClip spin;
        spin.name = "Spin";
        spin.length = 1.0f;
        spin.tracks = {{Key(0.0f, {0, 0, 0}, Quat::FromAxisAngle({0, 1, 0}, kPi / 2))}};
        mFile = mDir.Write("Clips.lmf", LmfWriter().Header().Clips({swing, spin}).End().Bytes());
        mOwner = &mCogs.Add(kOwner, "Owner");
        mController.ResizeKeyCursors(1);
        mController.LoadAnimationFile(mFile);
        mController.SetCallbackMessage("AnimationCallback");
        mController.SetCallbackTarget(kOwner);
    }

    int Callbacks(const std::string& name) const
    {
        int count = 0;
        for (const FakeCog::Call& call : mOwner->mCalls)
            count += call.mFunction == "AnimationCallback" && call.mSignature == ParamString ? 1 : 0;
        (void)name;
        return count;
    }

    float PoseX(uint32_t track = 0)
    {
        Quat rotation;
        Vector3 position, scale;
        mController.GetPose(track, rotation, position, scale);
        return position.x;
    }

    ScopedModelStores mStores;
    FakeCogDirectory mCogs;
    FakeCog* mOwner = nullptr;
    TempDir mDir;
    std::string mFile;
    AnimationObj mController;
};
} // namespace

TEST_F(Controller, NonLoopingEndsOnceAndHolds)
{
    mController.SetAnimationByName("Swing", false);
    for (int i = 0; i < 4; ++i)
        mController.Update(0.5f);
    EXPECT_EQ(mController.CurTime, 2.0f);
    EXPECT_TRUE(mController.AnimationActive);
    EXPECT_EQ(Callbacks("Swing"), 0);
    mController.Update(0.5f);
    EXPECT_FALSE(mController.AnimationActive);
    EXPECT_EQ(mController.CurTime, 2.5f);
    ASSERT_EQ(mOwner->mCalls.size(), 1u);
    mController.Update(0.5f);
    mController.Update(0.5f);
    EXPECT_EQ(mOwner->mCalls.size(), 1u);
    EXPECT_EQ(mController.CurTime, 2.5f);
}

TEST_F(Controller, LoopingWrapsWithOneCallbackEachAndKeysHit)
{
    mController.SetAnimationByName("Swing", true);
    struct Step
    {
        float dt;
        float time;
        float x;
        size_t calls;
    };
    const Step steps[] = {
        {0.5f, 0.5f, 5.0f, 0}, {0.49995f, 0.99995f, 10.0f, 0}, {0.5f, 1.49995f, 5.0005f, 0}, {0.5f, 1.99995f, 0.0f, 0},
        {0.5f, 0.0f, 0.0f, 1}, {1.0f, 1.0f, 10.0f, 1},         {1.25f, 0.0f, 0.0f, 2},       {0.25f, 0.25f, 2.5f, 2},
    };
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.time);
        mController.Update(step.dt);
        EXPECT_NEAR(mController.CurTime, step.time, 1e-5f);
        EXPECT_NEAR(PoseX(), step.x, 1e-3f);
        EXPECT_EQ(mOwner->mCalls.size(), step.calls);
    }
    EXPECT_EQ(Callbacks("Swing"), 2);
    // The same name and loop flag does not restart; another flag does.
    mController.SetAnimationByName("Swing", true);
    EXPECT_EQ(mController.CurTime, 0.25f);
    mController.SetAnimationByName("Swing", false);
    EXPECT_EQ(mController.CurTime, 0.0f);
}

TEST_F(Controller, NegativeRateRunsBackAndWrapsToTheEnd)
{
    mController.SetAnimationByName("Swing", true);
    mController.Update(1.5f);
    mController.AnimationRate = -1.0f;
    mController.Update(0.5f);
    EXPECT_EQ(mController.CurTime, 1.0f);
    EXPECT_NEAR(PoseX(), 10.0f, 1e-4f);
    mController.Update(1.25f);
    EXPECT_EQ(mController.CurTime, 2.0f);
    EXPECT_EQ(mOwner->mCalls.size(), 1u);
    EXPECT_TRUE(mController.AnimationActive);
    mController.LoopAnimation = false;
    mController.Update(2.5f);
    EXPECT_FALSE(mController.AnimationActive);
    EXPECT_EQ(mOwner->mCalls.size(), 2u);
}

TEST_F(Controller, BlendTurnsAtTheRateThenPlaysTheTarget)
{
    mController.SetAnimationByName("Swing", true);
    Animation* spin = mController.FindAnimation("Spin");
    ASSERT_NE(spin, nullptr);
    mController.BlendToAnimation(spin, 0, kPi, false);
    EXPECT_EQ(mController.GetAnimationName(), "Blending");
    EXPECT_NEAR(mController.GetBlendDuration(), 0.5f, 1e-5f);
    mController.Update(0.25f);
    Quat rotation;
    Vector3 position, scale;
    mController.GetPose(0, rotation, position, scale);
    EXPECT_TRUE(QuatNear(rotation, Quat::FromAxisAngle({0, 1, 0}, kPi / 4), 1e-4f));
    mController.Update(0.25f);
    EXPECT_EQ(mController.GetAnimationName(), "Spin");
    EXPECT_FALSE(mController.LoopAnimation);
    EXPECT_EQ(mController.CurTime, 0.0f);

    // A rate of 0 or a track the animations lack: the blend ends at the next update.
    for (uint32_t track : {0u, 5u})
    {
        mController.SetAnimationByName("Swing", true);
        mController.BlendToAnimation(spin, track, track == 0 ? 0.0f : 1.0f, true);
        EXPECT_EQ(mController.GetBlendDuration(), 0.0f);
        mController.GetPose(0, rotation, position, scale);
        EXPECT_TRUE(QuatNear(rotation, spin->mTracks[0].keys[0].rotation, 1e-5f));
        mController.Update(0.0f);
        EXPECT_EQ(mController.GetAnimationName(), "Spin");
    }
}

TEST_F(Controller, BlendWithNothingPlayingPlaysTheTarget)
{
    Animation* spin = mController.FindAnimation("Spin");
    mController.BlendToAnimation(spin, 0, 1.0f, true);
    EXPECT_EQ(mController.GetAnimationName(), "Spin");
    EXPECT_FALSE(mController.IsBlending());
}

TEST_F(Controller, ReloadsKeepCyclingInRange)
{
    for (int reload = 0; reload < 3; ++reload)
    {
        mController.ReleaseAnimations();
        mController.ResizeKeyCursors(1);
        mController.LoadAnimationFile(mFile);
    }
    EXPECT_EQ(mController.GetLoadedCount(), 2u);
    EXPECT_EQ(mStores.mAnimations.Count(), 1u);
    const char* expected[] = {"Spin", "Swing", "Spin", "Swing"};
    for (const char* name : expected)
    {
        mController.CycleAnimation();
        EXPECT_LT(mController.CurAnimation, 2u);
        EXPECT_EQ(mController.GetAnimationName(), name);
    }
    EXPECT_EQ(mController.GetAnimationNameAt(2), "Out of Animation Range");
    mController.SetAnimation(2, true);
    EXPECT_EQ(mController.GetAnimationName(), "Swing");
}

TEST_F(Controller, PosesOutsideTheCursorsAreTheIdentity)
{
    mController.SetAnimationByName("Swing", true);
    mController.Update(1.0f);
    Matrix4 m;
    m.m[3] = 5.0f;
    mController.GetTrackMatrix(3, m);
    EXPECT_EQ(m, Matrix4());
    mController.GetTrackMatrixNoScale(0, m);
    EXPECT_EQ(m.GetTranslation(), Vector3(10, 0, 0));
}

TEST_F(Controller, CallbackMayReplaceAndFreeThePlayingAnimation)
{
    auto* once = new Animation();
    once->mName = "Once";
    once->mLength = 0.5f;
    once->NumPaths = 1;
    once->ResizeTracks();
    mController.PlayAnimation(once, false);
    once->Release();
    mCogs.mOnCall = [this](FakeCog&) { mController.SetAnimationByName("Swing", true); };
    // The callback frees "Once" (its last reference); Update must not touch it after.
    mController.Update(1.0f);
    mCogs.mOnCall = nullptr;
    EXPECT_EQ(mController.GetAnimationName(), "Swing");
    EXPECT_TRUE(mController.AnimationActive);
    ASSERT_EQ(mOwner->mCalls.size(), 1u);
}

TEST_F(Controller, DeadTargetGetsNoCallback)
{
    mController.SetAnimationByName("Spin", false);
    mCogs.Destroy(kOwner);
    mController.Update(2.0f);
    EXPECT_FALSE(mController.AnimationActive);
}

TEST_F(Controller, AnimToggleOffLeavesTheMatricesAsTheyAre)
{
    Skeleton* raw = new Skeleton();
    auto bone = std::make_unique<Bone>();
    bone->mParent = -1;
    raw->GetBones().push_back(std::move(bone));
    raw->BuildIndexTable();
    ASSERT_TRUE(raw->LinkBones());
    Held<Skeleton> skeleton(raw);
    mController.SetAnimationByName("Swing", true);
    mController.Update(1.0f);
    AnimationObj::SetAnimEnabled(false);
    mController.ApplyToSkeleton(Matrix4(), raw);
    AnimationObj::SetAnimEnabled(true);
    EXPECT_EQ(mController.GetTrackMatrices()[0], Matrix4());
    mController.ApplyToSkeleton(Matrix4::Translation({0, 1, 0}), raw);
    EXPECT_EQ(mController.GetTrackMatrices()[0].GetTranslation(), Vector3(10, 1, 0));
}
