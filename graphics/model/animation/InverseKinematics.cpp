#include "graphics/model/animation/InverseKinematics.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "LOOM/base/TypeCode.h"
#include "LOOM/console/Console.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/serial/XMLLoader.h"
#include "LOOM/serial/XMLSaver.h"
#include "graphics/model/animation/Animation.h"
#include "graphics/model/animation/AnimationObj.h"
#include "graphics/model/animation/Skeleton.h"

namespace {
constexpr float kMinAngle = 0.01f;

// The rotation of the joint's parent frame in the world: key-0 rotations up the chain, then
// the owner's.
Quat ParentFrame(const Skeleton& skeleton, const Animation& animation, uint32_t bone, const Quat& owner)
{
    Quat r;
    int32_t parent = skeleton.GetBone(bone)->mParent;
    while (parent >= 0)
    {
        r = r.Multiply(animation.GetKey(0, static_cast<uint32_t>(parent)).rotation);
        parent = skeleton.GetBone(static_cast<uint32_t>(parent))->mParent;
    }
    return r.Multiply(owner);
}

void TurnJoint(const Constraint& c, const Skeleton& skeleton, Animation& animation, std::vector<Matrix4>& bones,
               const Matrix4& world, const IKPlacement& placement, uint32_t effector, const Vector3& target)
{
    skeleton.PoseFromKey(0, bones, animation, world);
    const uint32_t joint = static_cast<uint32_t>(c.BoneIndex);
    Vector3 e = bones[effector].GetTranslation();
    Vector3 t = target;
    const Vector3 j = bones[joint].GetTranslation();
    const Quat r = ParentFrame(skeleton, animation, joint, placement.orientation);
    Vector3 n;
    if (c.Type == 1)
    {
        n = c.Direction;
        r.RotateVector(n);
        const float plane = DotProduct(n, j);
        e = e - n * (DotProduct(n, e) - plane);
        t = t - n * (DotProduct(n, t) - plane);
    }
    else if (c.Type != 0)
    {
        return;
    }
    const Vector3 toEffector = e - j;
    const Vector3 toTarget = t - j;
    // An effector or target on the joint gives no direction to turn.
    if (toEffector.Length() == 0.0f || toTarget.Length() == 0.0f)
        return;
    const Vector3 a = toEffector.Normalized();
    const Vector3 b = toTarget.Normalized();
    // Our quaternions turn a positive angle the other way round the axis from the textbook
    // sense, so the axis is b x a: the joint then turns a onto b.
    Vector3 axis;
    CrossProduct(b, a, axis);
    if (c.Type == 1 && axis.x == 0.0f && axis.y == 0.0f && axis.z == 0.0f)
        axis = n;
    const float angle = std::acos(std::clamp(DotProduct(a, b), -1.0f, 1.0f));
    if (DotProduct(axis, axis) == 0.0f || std::fabs(angle) <= kMinAngle)
        return;
    axis.Normalize();
    const Quat q = Quat::FromAxisAngle(axis, angle);
    AnimationTrack& track = animation.mTracks[joint];
    if (track.keys.empty())
        return;
    const Quat k = track.keys[0].rotation.Multiply(r).Multiply(q).Multiply(r.Inverse());
    for (AnimationKey& key : track.keys)
        key.rotation = k;
}
} // namespace

void Constraint::Serialize(Serializer& s)
{
    s.SerializeInt("Priority", Priority);
    s.SerializeInt("BoneIndex", BoneIndex);
    s.SerializeInt("Type", Type);
    s.SerializeRealField("Angle", Angle);
    s.SerializeVector("Direction", Direction);
}

void ConstraintInfo::Serialize(Serializer& s)
{
    s.SerializeString("BaseAnimation", BaseAnimation);
    s.SerializeInt("EndEffector", EndEffector);
    s.SerializeInt("MaxNumIterations", MaxNumIterations);
    s.SerializeInt("SpeedNode", SpeedNode);
    SerializeElementList(s, "JointConstraints", JointConstraints, "Constraint");
}

bool LoadConstraintInfo(ConstraintInfo& info, const std::string& fileName)
{
    if (!XMLLoader::LoadElement(fileName, "ConstraintInfo", info))
        return false;
    std::vector<std::string> refused;
    if (info.MaxNumIterations > ConstraintInfo::kMostIterations)
    {
        refused.push_back(fileName + ": MaxNumIterations " + std::to_string(info.MaxNumIterations) +
                          " refused (at most " + std::to_string(ConstraintInfo::kMostIterations) + "); " +
                          std::to_string(ConstraintInfo::kDefaultIterations) + " used");
        info.MaxNumIterations = ConstraintInfo::kDefaultIterations;
    }
    if (info.JointConstraints.size() > ConstraintInfo::kMostConstraints)
    {
        refused.push_back(fileName + ": JointConstraints of " + std::to_string(info.JointConstraints.size()) +
                          " refused past the first " + std::to_string(ConstraintInfo::kMostConstraints));
        info.JointConstraints.resize(ConstraintInfo::kMostConstraints);
    }
    // The turret reads the file at every aim: once a run is enough to say so.
    static std::set<std::string> sReported;
    if (!refused.empty() && sReported.insert(fileName).second)
        for (const std::string& line : refused)
            Console::Instance().Log(line, LogError);
    return true;
}

bool SaveConstraintInfo(ConstraintInfo& info, const std::string& fileName)
{
    return XMLSaver::SaveElement(fileName, "ConstraintInfo", info);
}

Ref<Animation> SolveIK(const Skeleton& skeleton, const Animation& base, const IKPlacement& placement,
                       ConstraintInfo info, const Vector3& target)
{
    const uint32_t boneCount = skeleton.GetBoneCount();
    if (info.EndEffector < 0 || static_cast<uint32_t>(info.EndEffector) >= boneCount)
        return nullptr;
    Ref<Animation> animation = base.Clone();
    animation->mName = "IKGenerated";
    // Every bone needs a track to be turned.
    if (animation->mTracks.size() < boneCount)
    {
        animation->NumPaths = boneCount;
        animation->ResizeTracks();
    }
    std::vector<Matrix4> bones(boneCount);
    Matrix4 world;
    world.FromPosQuatUniformScale(placement.position, placement.orientation, placement.scale);
    skeleton.PoseFromKey(0, bones, *animation, world);

    std::stable_sort(info.JointConstraints.begin(), info.JointConstraints.end(),
                     [](const Constraint& a, const Constraint& b) { return a.Priority < b.Priority; });
    const uint32_t effector = static_cast<uint32_t>(info.EndEffector);
    for (int32_t pass = 0; pass < info.MaxNumIterations; ++pass)
    {
        skeleton.PoseFromKey(0, bones, *animation, world);
        for (const Constraint& c : info.JointConstraints)
        {
            if (c.BoneIndex < 0 || static_cast<uint32_t>(c.BoneIndex) >= boneCount)
                continue;
            TurnJoint(c, skeleton, *animation, bones, world, placement, effector, target);
        }
    }
    return animation;
}

bool GenerateIKAnimation(const Skeleton* skeleton, AnimationObj& controller, const IKPlacement& placement,
                         const ConstraintInfo& info, const Vector3& target, float turnRate)
{
    if (!skeleton)
        return false;
    const Animation* base = controller.FindAnimation(info.BaseAnimation);
    if (!base)
    {
        Console::Instance().Log("GenerateIKAnimation: no base animation \"" + info.BaseAnimation + "\"", LogError);
        return false;
    }
    Ref<Animation> animation = SolveIK(*skeleton, *base, placement, info, target);
    if (!animation)
        return false;
    if (info.SpeedNode == -1)
        controller.PlayAnimation(animation.Get(), false);
    else
        controller.BlendToAnimation(animation.Get(), static_cast<uint32_t>(info.SpeedNode), turnRate, false);
    return true;
}
