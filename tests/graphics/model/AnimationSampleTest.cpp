#include <gtest/gtest.h>

#include "graphics/model/animation/Animation.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tools/lmfgen/ModelShapes.h"

namespace {
constexpr float kHalfPi = 1.5707963f;

Animation* ThreeKeys()
{
    auto* animation = new Animation();
    animation->mLength = 2.0f;
    animation->NumPaths = 2;
    animation->ResizeTracks();
    animation->mTracks[0].keys = {Key(0.5f, {0, 0, 0}), Key(1.0f, {10, 0, 0}, Quat::FromAxisAngle({0, 1, 0}, kHalfPi)),
                                  Key(2.0f, {30, 0, 0})};
    animation->mTracks[0].keys[2].scale = {3, 3, 3};
    return animation;
}
} // namespace

TEST(AnimationSample, KeysCursorAndInterpolation)
{
    Held<Animation> animation(ThreeKeys());
    struct Row
    {
        float time;
        float x;
        uint32_t cursor;
    };
    // Walks forward, then back, then before the first key (which holds).
    const Row rows[] = {
        {0.5f, 0.0f, 0},   {0.50009f, 0.0f, 0}, {0.75f, 5.0f, 0}, {0.99995f, 10.0f, 0},
        {1.0f, 10.0f, 0},  {1.5f, 20.0f, 1},    {2.0f, 30.0f, 1}, {5.0f, 30.0f, 2},
        {1.25f, 15.0f, 1}, {0.6f, 2.0f, 0},     {0.0f, 0.0f, 0},  {-1.0f, 0.0f, 0},
    };
    uint32_t cursor = 0;
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.time);
        const AnimationPose pose = animation->Sample(0, row.time, cursor);
        EXPECT_NEAR(pose.position.x, row.x, 1e-4f);
        EXPECT_EQ(cursor, row.cursor);
    }
    const AnimationPose half = animation->SampleFromStart(1.5f, 0);
    EXPECT_NEAR(half.scale.x, 2.0f, 1e-5f);
    // Halfway from a quarter turn back to none: an eighth of a turn.
    Vector3 v(1, 0, 0);
    half.rotation.RotateVector(v);
    EXPECT_NEAR(std::fabs(v.z), std::sin(kHalfPi / 2), 1e-4f);
}

TEST(AnimationSample, EmptyAndMissingTracksAreTheIdentity)
{
    Held<Animation> animation(ThreeKeys());
    uint32_t cursor = 7;
    for (uint32_t track : {1u, 2u, 99u})
    {
        const AnimationPose pose = animation->Sample(track, 1.0f, cursor);
        EXPECT_EQ(pose.position, Vector3());
        EXPECT_EQ(pose.rotation, Quat());
        EXPECT_EQ(pose.scale, Vector3(1, 1, 1));
        EXPECT_EQ(animation->GetKeyMatrix(5, track), Matrix4());
    }
}

TEST(AnimationSample, OppositeQuaternionsTakeTheShortWay)
{
    Held<Animation> animation(new Animation());
    animation->NumPaths = 1;
    animation->ResizeTracks();
    const Quat q = Quat::FromAxisAngle({0, 1, 0}, 0.6f);
    animation->mTracks[0].keys = {Key(0.0f, {}, q), Key(1.0f, {}, q.Scaled(-1.0f))};
    const AnimationPose pose = animation->SampleFromStart(0.5f, 0);
    Vector3 a(1, 0, 0), b(1, 0, 0);
    pose.rotation.RotateVector(a);
    q.RotateVector(b);
    EXPECT_NEAR((a - b).Length(), 0.0f, 1e-4f);
}

TEST(AnimationSample, CloneCopiesKeysButNotTheName)
{
    Held<Animation> animation(ThreeKeys());
    animation->mName = "Walk";
    Held<Animation> copy(animation->Clone());
    EXPECT_EQ(copy->GetRefCount(), 1u);
    EXPECT_TRUE(copy->mName.empty());
    EXPECT_EQ(copy->mLength, 2.0f);
    EXPECT_EQ(copy->mSecond, 1.0f);
    ASSERT_EQ(copy->mTracks.size(), 2u);
    ASSERT_EQ(copy->mTracks[0].keys.size(), 3u);
    EXPECT_EQ(copy->mTracks[0].keys[1].position, Vector3(10, 0, 0));
    copy->mTracks[0].keys[1].position.x = 99.0f;
    EXPECT_EQ(animation->mTracks[0].keys[1].position.x, 10.0f);
}
