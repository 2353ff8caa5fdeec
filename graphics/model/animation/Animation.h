#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/assets/Ref.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Quat.h"
#include "LOOM/math/Vector3.h"
#include "graphics/resource/Resource.h"

class AnimationObj;

// 44 bytes on disk: time, position, rotation (w, x, y, z), scale.
struct AnimationKey
{
    float time = 0.0f;
    Vector3 position;
    Quat rotation;
    Vector3 scale{1.0f, 1.0f, 1.0f};
};

struct AnimationTrack
{
    // Ascending time.
    std::vector<AnimationKey> keys;
};

// One pose sampled from a track.
struct AnimationPose
{
    Quat rotation;
    Vector3 position;
    Vector3 scale{1.0f, 1.0f, 1.0f};
};

// Tracks of timed keys, one per bone or mesh part.
class Animation : public Resource
{
public:
    Animation() = default;
    ~Animation() override = default;

    // Animations come from their set's file or from the copies below, never on their own.
    void Load(const std::string&) override {}

    void ResizeTracks() { mTracks.resize(NumPaths); }

    // Key k of track t; identity for a key or track that does not exist.
    AnimationPose GetKey(uint32_t key, uint32_t track) const;
    Matrix4 GetKeyMatrix(uint32_t key, uint32_t track) const;
    // Moves the cursor to the key at or before the time and interpolates to the next one.
    // Before the first key the first key holds; a track without keys is the identity.
    AnimationPose Sample(uint32_t track, float time, uint32_t& cursor) const;
    AnimationPose SampleFromStart(float time, uint32_t track) const;
    Matrix4 SampleMatrix(uint32_t track, float time, uint32_t& cursor) const;

    // A new animation with every track and key; the name is not copied.
    Ref<Animation> Clone() const;
    // A one-key-per-track snapshot of what the controller shows now, length 1.
    Ref<Animation> FromControllerPose(AnimationObj& controller) const;

    float mLength = 0.0f;
    // Always 1; kept because the file carries it.
    float mSecond = 1.0f;
    uint32_t NumPaths = 0;
    std::string mName;
    std::vector<AnimationTrack> mTracks;
};
