#include <gtest/gtest.h>

#include <numbers>
#include <string>

#include "LOOM/console/Console.h"
#include "graphics/model/animation/AnimationObj.h"
#include "graphics/model/animation/InverseKinematics.h"
#include "graphics/model/files/LMLoader.h"
#include "tests/LOOM/support/MathTestHelpers.h"
#include "tests/LOOM/support/TempDir.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tools/lmfgen/GameModels.h"
#include "tools/lmfgen/ModelShapes.h"

namespace {
constexpr float kTwoDegrees = 2.0f * std::numbers::pi_v<float> / 180.0f;

class Turret : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mMesh = Held<Mesh>(new Mesh());
        ASSERT_TRUE(LMLoader::LoadMesh(*mMesh, RepoDataPath("Models/Turret.lmf")));
        mController.ResizeKeyCursors(mMesh->GetPartCount());
        mController.LoadAnimationFile(RepoDataPath("Models/Turret.lmf"));
        mInfo = TurretConstraints();
        mInfo.SpeedNode = -1;
    }

    // Where the bones stand under the playing animation's first key.
    std::vector<Matrix4> Pose(const IKPlacement& placement)
    {
        std::vector<Matrix4> bones(mMesh->GetSkeleton()->GetBoneCount());
        Matrix4 world;
        world.FromPosQuatUniformScale(placement.position, placement.orientation, placement.scale);
        mMesh->GetSkeleton()->PoseFromKey(0, bones, *mController.GetCurrentAnimation(), world);
        return bones;
    }

    ScopedModelStores mStores;
    Held<Mesh> mMesh;
    AnimationObj mController;
    ConstraintInfo mInfo;
};
} // namespace

TEST_F(Turret, ConstraintFileReadsBackAsWritten)
{
    ConstraintInfo read;
    ASSERT_TRUE(LoadConstraintInfo(read, RepoDataPath("Data/Constraints.xml")));
    const ConstraintInfo written = TurretConstraints();
    EXPECT_EQ(read.BaseAnimation, written.BaseAnimation);
    EXPECT_EQ(read.EndEffector, 8);
    EXPECT_EQ(read.MaxNumIterations, written.MaxNumIterations);
    EXPECT_EQ(read.SpeedNode, 3);
    ASSERT_EQ(read.JointConstraints.size(), 2u);
    EXPECT_EQ(read.JointConstraints[0].BoneIndex, 4);
    EXPECT_EQ(read.JointConstraints[0].Direction, Vector3(1, 0, 0));
    EXPECT_EQ(read.JointConstraints[1].Type, 1);
}

TEST_F(Turret, MuzzleEndsPointingAtTargetsAhead)
{
    const Vector3 targets[] = {{0, 1.5f, -10}, {-6, 0, -8}, {7, 4, -3}, {2, -1, -12}, {-3, 6, -5}, {9, 2, -1}};
    const IKPlacement placements[] = {{}, {{4, 0, -2}, Quat::FromAxisAngle({0, 1, 0}, 0.5f), 1.5f}};
    for (const IKPlacement& placement : placements)
    {
        for (const Vector3& local : targets)
        {
            Vector3 target = local;
            placement.orientation.RotateVector(target);
            target = target * placement.scale + placement.position;
            SCOPED_TRACE(testing::Message() << target.x << " " << target.y << " " << target.z);
            ASSERT_TRUE(GenerateIKAnimation(mMesh->GetSkeleton(), mController, placement, mInfo, target, 5.0f));
            EXPECT_EQ(mController.GetAnimationName(), "IKGenerated");
            const std::vector<Matrix4> bones = Pose(placement);
            const Vector3 pivot = bones[4].GetTranslation();
            EXPECT_LT(AngleBetween(bones[8].GetTranslation() - pivot, target - pivot), kTwoDegrees);
        }
    }
}

// A pass count or a joint list past its bound is refused by file and field, once per file, and
// the shipped file's own count used: the turret still aims, at once.
TEST_F(Turret, CountsPastTheirBoundAreRefusedAndTheTurretStillAims)
{
    std::string xml = TempDir::Read(RepoDataPath("Data/Constraints.xml"));
    const std::string field = "<int name=\"MaxNumIterations\">";
    const size_t at = xml.find(field) + field.size();
    ASSERT_NE(at, std::string::npos + field.size());
    xml.replace(at, xml.find('<', at) - at, "2147483647");
    TempDir dir;
    dir.Write("Constraints.xml", xml);
    const std::string file = dir.Path("Constraints.xml");
    Console& console = Console::Instance();
    for (int read = 0; read < 2; ++read)
    {
        const uint32_t before = console.GetEntryCounter();
        ConstraintInfo info;
        ASSERT_TRUE(LoadConstraintInfo(info, file));
        EXPECT_EQ(info.MaxNumIterations, ConstraintInfo::kDefaultIterations);
        EXPECT_EQ(console.GetEntryCounter() - before, read == 0 ? 1u : 0u);
        if (read == 0)
        {
            std::string shown = file;
            Console::FixSlashes(shown);
            EXPECT_EQ(console.GetEntries().FromNewest(0).mText,
                      shown + ": MaxNumIterations 2147483647 refused (at most 100); 4 used");
        }
        info.SpeedNode = -1;
        const Vector3 target{-6, 0, -8};
        ASSERT_TRUE(GenerateIKAnimation(mMesh->GetSkeleton(), mController, {}, info, target, 5.0f));
        const std::vector<Matrix4> bones = Pose({});
        const Vector3 pivot = bones[4].GetTranslation();
        EXPECT_LT(AngleBetween(bones[8].GetTranslation() - pivot, target - pivot), kTwoDegrees);
    }
}

TEST_F(Turret, ZeroIterationsPlayTheBasePoseUnderTheNewName)
{
    mInfo.MaxNumIterations = 0;
    ASSERT_TRUE(GenerateIKAnimation(mMesh->GetSkeleton(), mController, {}, mInfo, {5, 5, 5}, 5.0f));
    const Animation* played = mController.GetCurrentAnimation();
    const Animation* base = mController.FindAnimation(mInfo.BaseAnimation);
    EXPECT_EQ(played->mName, "IKGenerated");
    EXPECT_NE(played, base);
    for (uint32_t t = 0; t < base->NumPaths; ++t)
    {
        EXPECT_EQ(played->GetKey(0, t).rotation, base->GetKey(0, t).rotation);
        EXPECT_EQ(played->GetKey(0, t).position, base->GetKey(0, t).position);
    }
}

TEST_F(Turret, SpeedNodeBlendsForTheTurnOfItsTrack)
{
    mInfo.SpeedNode = 3;
    mController.SetAnimationByName(mInfo.BaseAnimation, false);
    // A quarter turn to the left: the yaw track turns by a right angle.
    ASSERT_TRUE(GenerateIKAnimation(mMesh->GetSkeleton(), mController, {}, mInfo, {-10, 1.6f, 0}, 5.0f));
    EXPECT_EQ(mController.GetAnimationName(), "Blending");
    EXPECT_NEAR(mController.GetBlendDuration(), (std::numbers::pi_v<float> / 2) / 5.0f, 1e-3f);
    mController.Update(1.0f);
    EXPECT_EQ(mController.GetAnimationName(), "IKGenerated");
}

TEST_F(Turret, NothingPlaysWithoutABaseOrAnEffector)
{
    mController.SetAnimationByName("Idle", true);
    mInfo.BaseAnimation = "Missing";
    LogProbe probe;
    EXPECT_FALSE(GenerateIKAnimation(mMesh->GetSkeleton(), mController, {}, mInfo, {0, 0, -5}, 5.0f));
    EXPECT_EQ(probe.Count("Missing"), 1);
    mInfo = TurretConstraints();
    mInfo.EndEffector = 9;
    EXPECT_FALSE(GenerateIKAnimation(mMesh->GetSkeleton(), mController, {}, mInfo, {0, 0, -5}, 5.0f));
    EXPECT_EQ(mController.GetAnimationName(), "Idle");
    EXPECT_FALSE(GenerateIKAnimation(nullptr, mController, {}, TurretConstraints(), {0, 0, -5}, 5.0f));
}

TEST(InverseKinematics, OppositeHingeTurnsByPiAndBadJointsAreSkipped)
{
    Held<Skeleton> skeleton(new Skeleton());
    for (int32_t i = 0; i < 2; ++i)
    {
        auto bone = std::make_unique<Bone>();
        bone->mIndex = static_cast<uint32_t>(i);
        bone->mParent = i - 1;
        skeleton->GetBones().push_back(std::move(bone));
    }
    skeleton->BuildIndexTable();
    ASSERT_TRUE(skeleton->LinkBones());
    Held<Animation> base(new Animation());
    base->NumPaths = 2;
    base->ResizeTracks();
    base->mTracks[0].keys = {Key(0.0f, {})};
    base->mTracks[1].keys = {Key(0.0f, {0, 0, -1})};

    ConstraintInfo info;
    info.EndEffector = 1;
    info.MaxNumIterations = 1;
    Constraint hinge;
    hinge.Type = 1;
    hinge.Direction = {0, 1, 0};
    Constraint outside = hinge;
    outside.BoneIndex = 7;
    Constraint unknownType = hinge;
    unknownType.Type = 4;
    // The effector bone is its own joint: no direction, skipped.
    Constraint onJoint = hinge;
    onJoint.BoneIndex = 1;
    info.JointConstraints = {outside, unknownType, onJoint, hinge};

    Held<Animation> result(SolveIK(*skeleton, *base, {}, info, {0, 0, 5}));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->mName, "IKGenerated");
    std::vector<Matrix4> bones(2);
    skeleton->PoseFromKey(0, bones, *result, Matrix4());
    EXPECT_TRUE(VectorNear(bones[1].GetTranslation(), {0, 0, 1}, 1e-4f));
    // Straight ahead already: nothing turns.
    Held<Animation> still(SolveIK(*skeleton, *base, {}, info, {0, 0, -7}));
    EXPECT_EQ(still->GetKey(0, 0).rotation, Quat());
    info.EndEffector = 2;
    EXPECT_EQ(SolveIK(*skeleton, *base, {}, info, {0, 0, 5}), nullptr);
}
