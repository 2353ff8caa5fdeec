#pragma once
#include <cstdint>
#include <string>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Vector3.h"

class CompFactory;

// A point or other light on a cog; the deferred lighting pass draws every live one.
class Light : public Comp
{
public:
    static constexpr uint32_t kTypeId = 10;

    ~Light() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "Light"; }
    uint32_t GetTypeId() override { return kTypeId; }

    // The owner's position; the origin without a Positional.
    Vector3 GetPosition() const;

    void SetRange(float range) { mRange = range; }
    void SetDirection(Vector3 direction) { mDirection = direction; }
    void SetColor(Color color) { mDiffuse = color; }
    void SetAtt(float a0, float a1, float a2);

    bool mActive = true;
    std::string mLightType = "Point";
    float mAttenuation0 = 0.0f;
    float mAttenuation1 = 0.0f;
    float mAttenuation2 = 0.0f;
    float mFalloff = 0.0f;
    float mRange = 0.0f;
    float mTheta = 0.0f;
    float mPhi = 0.0f;
    Vector3 mDirection;
    Color mDiffuse{1.0f, 1.0f, 1.0f, 1.0f};
    Color mSpecular{1.0f, 1.0f, 1.0f, 1.0f};

private:
    // The sun it joined; it leaves that sun's list when it dies.
    class Sun* mSun = nullptr;
};

CompFactory* LightFactory();
