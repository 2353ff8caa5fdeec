#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/assets/Ref.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Vector3.h"

class Serializer;
class ParticleSystem;
class Path;
class DistanceMap;
struct Particle;

// A constant, or a value drawn between two ends. A file without "Max" gives a constant.
struct MinMax
{
    float Min = 0.0f;
    float Max = 0.0f;
    bool mRange = false;

    void Serialize(Serializer& s, const char* name);
    float Sample() const;

private:
    void ReadMembers(class XMLLoader& loader, const char* name);
};

// Makes particles at a rate and hands them to one system ("Emitter" files): where by its
// behaviour (fixed, along a path, on distance-map points, ahead on its path), how fast by its
// emit type.
class Emitter
{
public:
    Emitter() = default;
    // Gives the path and the distance map back.
    ~Emitter();
    Emitter(const Emitter&) = delete;
    Emitter& operator=(const Emitter&) = delete;

    bool Load(const std::string& fileName);
    void Serialize(Serializer& s);
    // Takes the path and distance map, readies the state. An emitter whose system is past the
    // owner's last one is refused (logged) and never emits.
    void Init(size_t systemCount);
    // Emission bursts this frame.
    int32_t Update(bool transform, const Matrix4& placement, float dt,
                   const std::vector<std::unique_ptr<ParticleSystem>>& systems);
    // Swaps a held distance map for the one of that name.
    void SetDistanceMap(const std::string& fileName);

    bool IsActive() const { return mActive; }
    // Game logic stops and restarts an emitter; one whose system does not exist stays silent.
    void SetActive(bool active) { mActive = active; }
    float GetAccumulator() const { return mAccumulator; }
    const Vector3& GetPosition() const { return mPosition; }
    const DistanceMap* GetDistanceMap() const { return mDistanceMap.Get(); }
    const Path* GetPath() const { return mPath.Get(); }
    // The file the emitter was read from, for messages.
    const std::string& GetFileName() const { return mFileName; }

    int32_t AnimIndex = 0;
    int32_t DMNumber = 0;
    float EmitRate = 0.0f;
    static constexpr float kMostEmitRate = 100000.0f;
    float DMScale = 1.0f;
    int32_t EmitType = 0;
    int32_t EmitBehavior = 0;
    Color InitColor{1.0f, 1.0f, 1.0f, 1.0f};
    MinMax PartSpeed;
    MinMax PartLifeTime;
    Vector3 EmitDirection;
    float EmitPhi = 0.0f;
    uint32_t EmitSystem = 0;
    float LifeTime = 0.0f;
    float Speed = 0.0f;
    float Friction = 0.0f;
    std::string PathFile;
    std::string DisMapFile;
    float Distance = 0.0f;
    uint32_t TotalToRelease = 0;
    Vector3 EPosition;
    Vector3 EDirection;

private:
    void ClampDMNumber();
    void InitParticle(Particle& p, const Vector3& trail) const;
    void Emit(ParticleSystem& system, const Vector3& position, const Vector3& trail) const;

    std::string mFileName;
    Vector3 mPosition;
    Vector3 mLastWorld;
    Matrix4 mLastPlacement = Matrix4::Zero();
    float mElapsed = 0.0f;
    float mAccumulator = 0.0f;
    bool mActive = false;
    bool mFirstUpdate = true;
    Ref<Path> mPath;
    Ref<DistanceMap> mDistanceMap;
};
