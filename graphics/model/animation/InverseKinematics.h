#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/assets/Ref.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"

class Animation;
class AnimationObj;
class Serializer;
class Skeleton;

// One joint: processed in ascending Priority; Type 0 turns freely, 1 about the hinge
// Direction (in the parent's frame); other types are skipped.
struct Constraint
{
    int32_t Priority = 0;
    int32_t BoneIndex = 0;
    int32_t Type = 0;
    float Angle = 0.0f;
    Vector3 Direction;

    void Serialize(Serializer& s);
};

struct ConstraintInfo
{
    // Each pass turns every joint: a file's count past these is refused. The default is the
    // shipped file's own, so a turret still aims.
    static constexpr int32_t kMostIterations = 100;
    static constexpr int32_t kDefaultIterations = 4;
    static constexpr size_t kMostConstraints = 64;

    std::string BaseAnimation;
    int32_t EndEffector = 0;
    int32_t MaxNumIterations = 0;
    // -1 plays the result at once; else the track whose turn sets the blend time.
    int32_t SpeedNode = -1;
    std::vector<Constraint> JointConstraints;

    void Serialize(Serializer& s);
};

// Reads the file; a count past its bound is refused (logged once per file) and a default used.
bool LoadConstraintInfo(ConstraintInfo& info, const std::string& fileName);
bool SaveConstraintInfo(ConstraintInfo& info, const std::string& fileName);

// Where the skeleton stands in the world.
struct IKPlacement
{
    Vector3 position;
    Quat orientation;
    float scale = 1.0f;
};

// A one-pose animation named "IKGenerated", cloned from the base and turned joint by joint
// so the end effector points at the target; one reference for the caller. Null when the end
// effector is not a bone.
Ref<Animation> SolveIK(const Skeleton& skeleton, const Animation& base, const IKPlacement& placement,
                       ConstraintInfo info, const Vector3& target);

// Solves from the controller's base animation and plays (SpeedNode -1) or blends to the result.
// False, with a log line, when there is nothing to start from.
bool GenerateIKAnimation(const Skeleton* skeleton, AnimationObj& controller, const IKPlacement& placement,
                         const ConstraintInfo& info, const Vector3& target, float turnRate);
