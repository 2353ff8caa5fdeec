#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/assets/Ref.h"
#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Vector3.h"

class Model;
class Path;

// Holds a path curve for its cog and the eased speed profile for travelling it. Nothing in
// the game moves a cog along it; the loom steps it each frame.
class PathController : public Comp
{
public:
    static constexpr uint32_t kTypeId = 2;

    ~PathController() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "PathController"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void StartRecording() { Recording = true; }
    void StopRecording() { Recording = false; }
    // Without a path, starts a new one first.
    void AddPathPoint(float x, float y, float z);
    // While recording, a fresh empty path replaces the current one.
    void Update();

    // Fraction of the top speed at normalized time t, easing in until a and out from b.
    static float SpeedProfile(float t, float a, float b);
    // Fraction of the path covered by time t: the speed profile's integral, 0 at 0 and 1 at 1.
    static float DistanceProfile(float t, float a, float b);

    static const std::vector<PathController*>& Live() { return sLive; }
    Path* GetPath() const { return mPath.Get(); }

    float MaxVelocity = 0.0f;
    Vector3 FacingDir;
    std::string PathFile;
    bool RelativePath = false;

    Model* mModel = nullptr;
    bool Recording = false;
    float EaseIn = 0.2f;
    float EaseOut = 0.8f;
    Vector3 StartFacing;
    float Length = 0.0f;
    float SpeedRatio = 0.0f;
    float mTime = 0.0f;
    float mDuration = 0.0f;

private:
    void ReplacePath(Ref<Path> path);

    // One reference, or null.
    Ref<Path> mPath;
    static inline std::vector<PathController*> sLive;
};
