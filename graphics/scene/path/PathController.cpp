#include "graphics/scene/path/PathController.h"

#include <algorithm>
#include <cmath>

#include "LOOM/cogs/Cog.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/scene/Model.h"
#include "graphics/scene/path/Path.h"

namespace {
constexpr float kPi = 3.14159265358979323846f;
constexpr float kHalfPi = kPi * 0.5f;
} // namespace

PathController::~PathController()
{
    auto it = std::find(sLive.begin(), sLive.end(), this);
    if (it != sLive.end())
        sLive.erase(it);
    ReplacePath(nullptr);
}

void PathController::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("MaxVelocity", MaxVelocity);
    s.SerializeVector("FacingDir", FacingDir);
    s.SerializeString("PathFile", PathFile);
    s.SerializeBoolField("RelativePath", RelativePath);
}

void PathController::Initialize()
{
    sLive.push_back(this);
    mTime = 0.0f;
    mDuration = 0.0f;
    Length = 0.0f;
    ReplacePath(nullptr);
    mModel = mOwner->Get<Model>();
    StartFacing = FacingDir;
    Recording = false;
    EaseIn = 0.2f;
    EaseOut = 0.8f;
}

void PathController::ReplacePath(Ref<Path> path) { mPath = std::move(path); }

void PathController::AddPathPoint(float x, float y, float z)
{
    if (!mPath)
        ReplacePath(Ref<Path>::Adopt(new Path()));
    mPath->AddPoint(Vector3(x, y, z));
    mPath->ClearReady();
    mPath->Build();
    Length = mPath->GetTotalLength();
    SpeedRatio = Length > 0.0f ? MaxVelocity / Length : 0.0f;
}

void PathController::Update()
{
    if (Recording)
    {
        ReplacePath(Ref<Path>::Adopt(new Path()));
        Length = 0.0f;
        SpeedRatio = 0.0f;
    }
}

float PathController::SpeedProfile(float t, float a, float b)
{
    if (t < a)
        return std::cos(t / a * kHalfPi - kHalfPi);
    if (t < b)
        return 1.0f;
    // Ending at or past 1 leaves nothing to decelerate over.
    if (b >= 1.0f)
        return 0.0f;
    return std::cos((t - b) / (1.0f - b) * kHalfPi);
}

float PathController::DistanceProfile(float t, float a, float b)
{
    const float k = 1.0f / kPi;
    const float d1 = 2.0f * k * a + b - a;
    const float total = d1 + 2.0f * k * std::max(0.0f, 1.0f - b);
    if (total <= 0.0f)
        return t >= 1.0f ? 1.0f : 0.0f;
    if (t < a)
        return (std::sin(t / a * kHalfPi - kHalfPi) + 1.0f) * 2.0f * k * a / total;
    if (t < b)
        return (2.0f * k * a + t - a) / total;
    if (b >= 1.0f)
        return 1.0f;
    return (std::sin((t - b) / (1.0f - b) * kHalfPi) * 2.0f * k * (1.0f - b) + d1) / total;
}
