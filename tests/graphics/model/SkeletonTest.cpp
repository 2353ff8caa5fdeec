#include <gtest/gtest.h>

#include "graphics/model/animation/Animation.h"
#include "graphics/model/animation/AnimationObj.h"
#include "tests/LOOM/support/MathTestHelpers.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tools/lmfgen/ModelShapes.h"

namespace {
Skeleton* MakeSkeleton(const std::vector<int32_t>& parents, bool withBind)
{
    auto* skeleton = new Skeleton();
    for (size_t i = 0; i < parents.size(); ++i)
    {
        auto bone = std::make_unique<Bone>();
        bone->mIndex = static_cast<uint32_t>(i);
        bone->mParent = parents[i];
        if (withBind)
            bone->mBindMatrix = std::make_unique<Matrix4>(Matrix4::Translation({0, -float(i), 0}));
        skeleton->GetBones().push_back(std::move(bone));
    }
    skeleton->BuildIndexTable();
    EXPECT_TRUE(skeleton->LinkBones());
    return skeleton;
}

} // namespace

TEST(Skeleton, ChildBeforeParentAndTwoRootsPoseFromTheRoot)
{
    // Bone 0's parent is 2; bones 1 and 3 are roots.
    Held<Skeleton> skeleton(MakeSkeleton({2, -1, 1, -1}, false));
    ASSERT_EQ(skeleton->GetRoots().size(), 2u);
    Held<Animation> animation(new Animation());
    animation->NumPaths = 4;
    animation->ResizeTracks();
    for (uint32_t t = 0; t < 4; ++t)
        animation->mTracks[t].keys = {Key(0.0f, {0, 1, 0})};
    animation->mTracks[2].keys[0].rotation = Quat::FromAxisAngle({0, 0, 1}, 1.5707963f);
    std::vector<Matrix4> out(4);
    const Matrix4 root = Matrix4::Translation({5, 0, 0});
    skeleton->PoseFromKey(0, out, *animation, root);
    EXPECT_NEAR(out[1].GetTranslation().x, 5.0f, 1e-5f);
    EXPECT_NEAR(out[3].GetTranslation().y, 1.0f, 1e-5f);
    EXPECT_NEAR(out[2].GetTranslation().y, 2.0f, 1e-5f);
    // Bone 0 hangs one unit off bone 2, whose quarter turn about z carries that unit sideways.
    Vector3 offset(0, 1, 0);
    animation->mTracks[2].keys[0].rotation.RotateVector(offset);
    const Vector3 expected = out[2].GetTranslation() + offset;
    EXPECT_NEAR((out[0].GetTranslation() - expected).Length(), 0.0f, 1e-5f);
}

TEST(Skeleton, IdentityTracksSkinWithBindTimesRoot)
{
    Held<Skeleton> skeleton(MakeSkeleton({-1, 0, 1}, true));
    skeleton->GetBone(2)->mBindMatrix.reset();
    AnimationObj controller;
    controller.ResizeKeyCursors(3);
    std::vector<Matrix4> out(3);
    Matrix4 root;
    root.FromPosQuat({1, 2, 3}, Quat::FromAxisAngle({0, 1, 0}, 0.3f));
    // No animation playing: every track is the identity.
    skeleton->UpdateBones(out, controller, root);
    for (uint32_t i = 0; i < 2; ++i)
        EXPECT_TRUE(MatrixNear(out[i], *skeleton->GetBone(i)->mBindMatrix * root, 1e-5f));
    // A bone without a bind matrix skins with the identity.
    EXPECT_TRUE(MatrixNear(out[2], root, 1e-5f));
}

TEST(Skeleton, RefusedShapes)
{
    const std::vector<std::vector<int32_t>> bad = {{-1, 5}, {1, 0}, {-1, 1}, {0}, {-2}};
    for (const auto& parents : bad)
    {
        Held<Skeleton> skeleton(new Skeleton());
        for (size_t i = 0; i < parents.size(); ++i)
        {
            auto bone = std::make_unique<Bone>();
            bone->mIndex = static_cast<uint32_t>(i);
            bone->mParent = parents[i];
            skeleton->GetBones().push_back(std::move(bone));
        }
        skeleton->BuildIndexTable();
        EXPECT_FALSE(skeleton->LinkBones());
        EXPECT_EQ(skeleton->GetBoneCount(), 0u);
        EXPECT_TRUE(skeleton->GetRoots().empty());
    }
}
