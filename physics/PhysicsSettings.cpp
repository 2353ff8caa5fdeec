#include "physics/PhysicsSettings.h"

#include <cmath>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/serial/XMLLoader.h"

namespace {
// More substeps than this in one frame would stall the game.
constexpr float kMostSubSteps = 1000.0f;

bool Finite(const Vector3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
} // namespace

void PhysicsSettings::Serialize(Serializer& s)
{
    s.SerializeVector("Gravity", mGravity);
    s.SerializeRealField("MaxSubStep", mMaxSubStep);
    s.SerializeRealField("MaxFrameTime", mMaxFrameTime);
    s.SerializeRealField("Restitution", mRestitution);
    s.SerializeRealField("BounceThreshold", mBounceThreshold);
    s.SerializeRealField("Friction", mFriction);
}

std::string PhysicsSettings::Problem() const
{
    if (!Finite(mGravity))
        return "Gravity is not finite";
    if (!(std::isfinite(mMaxSubStep) && mMaxSubStep > 0.0f))
        return "MaxSubStep is not above 0";
    if (!(std::isfinite(mMaxFrameTime) && mMaxFrameTime > 0.0f))
        return "MaxFrameTime is not above 0";
    if (mMaxFrameTime / mMaxSubStep > kMostSubSteps)
        return "MaxFrameTime / MaxSubStep is above 1000";
    if (!(mRestitution >= 0.0f && mRestitution <= 1.0f))
        return "Restitution is outside 0 to 1";
    if (!(std::isfinite(mBounceThreshold) && mBounceThreshold >= 0.0f))
        return "BounceThreshold is below 0";
    if (!(std::isfinite(mFriction) && mFriction >= 0.0f))
        return "Friction is below 0";
    return {};
}

void PhysicsSettings::Load()
{
    *this = PhysicsSettings();
    if (!FileExists(DataFilePath(kFile)))
    {
        Console::Instance().Log(std::string(kFile) + " not found; physics uses its defaults", LogLoading);
        return;
    }
    PhysicsSettings read;
    const bool good = XMLLoader::LoadObject(kFile, read);
    const std::string problem = good ? read.Problem() : "it cannot be read";
    if (!problem.empty())
    {
        Console::Instance().Log(std::string(kFile) + " is not correct (" + problem + "); physics uses its defaults",
                                LogError);
        return;
    }
    *this = read;
}
