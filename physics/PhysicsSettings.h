#pragma once
#include <string>

#include "LOOM/math/Vector3.h"

class Serializer;

// "Config/Physics.xml".
struct PhysicsSettings
{
    static constexpr const char* kFile = "Config/Physics.xml";

    Vector3 mGravity{0.0f, -40.0f, 0.0f};
    float mMaxSubStep = 1.0f / 120.0f;
    float mMaxFrameTime = 0.1f;
    float mRestitution = 0.3f;
    float mBounceThreshold = 2.0f;
    float mFriction = 0.6f;

    void Serialize(Serializer& s);
    // Empty when usable, else what is wrong.
    std::string Problem() const;
    // Reads the file; a missing or bad file leaves the defaults and logs one line.
    void Load();
};
