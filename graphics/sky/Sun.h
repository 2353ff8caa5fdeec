#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Vector3.h"

class FxEffect;
class Light;

using Float4 = std::array<float, 4>;

// The sky's scattering constants: six inputs and the block the sky effects read as "atm".
struct Scattering
{
    static constexpr size_t kBlockFloats = 44;

    float g = 0.98f;
    float rayleigh = 0.06f;
    float mie = 0.001f;
    float extra0 = 0.27f;
    float extra1 = 1.33f;
    float sunStrength = 0.2f;
    std::array<float, kBlockFloats> block{};

    void Compute();
};

// What the sun hands the "Basic" effect each frame.
struct LightParameters
{
    Float4 lightDir{};
    Float4 lightPos{};
    Float4 viewLightPos{};
    Float4 lightColor{};
    Float4 ambient{};
};

// The one sun: direction and colour follow a time of day that runs with game time; it lights
// the "Basic" effect and colours the sky. Every live Light sits in its list.
class Sun
{
public:
    // The sun between Init and Release; null otherwise.
    static Sun* Current();

    Sun();
    ~Sun();
    // Defaults, scattering constants and the console commands.
    void Init();
    // dt: game time of the frame, 0 while paused.
    void Update(float dt);
    void UpdatePosition();
    LightParameters ComputeLightParameters(const Matrix4& view);
    void SetLightParameters(FxEffect& effect, const Matrix4& view);
    void SetSkyConstants(FxEffect& effect);
    void Release();

    // The daylight model's sun colour at a zenith angle, normalised, fourth component 1.
    static Float4 SunColorAt(float theta, float turbidity);

    // Console commands.
    void SetSunMoveRate(float rate) { mSunMoveRate = rate; }
    void SetTimeOfDay(float radians);
    void SetLightTime(int32_t preset) { mLightTime = preset; }
    void AddLight(Light* light);
    void RemoveLight(Light* light);

    int32_t mLightTime = 0;
    Vector3 mDirection;
    Float4 mSunColor{1.0f, 1.0f, 1.0f, 1.0f};
    float mIntensity = 1.0f;
    Float4 mSkyTint{1.0f, 1.0f, 1.0f, 1.0f};
    Float4 mHorizonColor{1.0f, 1.0f, 1.0f, 1.0f};
    Float4 mZenithColor{1.0f, 1.0f, 1.0f, 1.0f};
    Float4 mColorRange{};
    float mTimeOfDay = 0.0f;
    float mSunMoveRate = 0.001f;
    float mIntensityScale = 1.0f;
    Vector3 mLightPos;
    std::vector<Light*> mLights;
    Float4 mAmbientAdjust{};
    Scattering mScattering;

private:
    bool mCommands = false;
};
