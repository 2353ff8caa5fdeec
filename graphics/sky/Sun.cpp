#include "graphics/sky/Sun.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "graphics/effect/FxEffect.h"
#include "input/IOLoom.h"

namespace {
constexpr float kPi = 3.14159265358979f;
constexpr float kTwoPi = 2.0f * kPi;
Sun* sCurrent = nullptr;

void SetValue(FxEffect& effect, const char* name, const float* values, uint32_t count)
{
    effect.SetFloatArray(effect.GetParameterByName(name), values, count);
}
} // namespace

Sun* Sun::Current() { return sCurrent; }

Sun::Sun() = default;

Sun::~Sun() { Release(); }

void Scattering::Compute()
{
    const Float4 betaR{0.00069715298f, 0.00117891f, 0.0024446f, 1.0f};
    const Float4 betaDashR{0.0000416082f, 0.0000703612f, 0.000145901f, 1.0f};
    const Float4 betaM{0.0057406f, 0.00739969f, 0.0105143f, 1.0f};
    const Float4 betaDashM{0.00133379f, 0.00173466f, 0.00249762f, 1.0f};
    const Float4 sunShade{0.138f, 0.113f, 0.08f, 1.0f};
    const float ln2 = std::log(2.0f);
    auto put = [this](size_t row, const Float4& v) { std::copy(v.begin(), v.end(), block.begin() + row * 4); };
    auto scaled = [](const Float4& v, float k) { return Float4{v[0] * k, v[1] * k, v[2] * k, v[3] * k}; };
    const Float4 r = scaled(betaR, rayleigh), m = scaled(betaM, mie);
    const Float4 sum{r[0] + m[0], r[1] + m[1], r[2] + m[2], r[3] + m[3]};
    put(0, r);
    put(1, m);
    put(2, scaled(betaDashR, rayleigh));
    put(3, scaled(betaDashM, mie));
    put(4, sum);
    put(5, scaled(sum, 1.0f / ln2));
    put(6, {1.0f / sum[0], 1.0f / sum[1], 1.0f / sum[2], 0.0f});
    put(7, {1.0f - g * g, 1.0f + g, 2.0f * g, 1.0f});
    put(8, {1.0f, 1.0f / ln2, 0.5f, 0.0f});
    put(9, {extra0, extra1, 2.0f, 0.0f});
    put(10, scaled(sunShade, sunStrength));
}

Float4 Sun::SunColorAt(float theta, float turbidity)
{
    if (theta > kPi)
        theta = kTwoPi - theta;
    theta = std::clamp(theta, 0.0f, kPi / 2.0f);
    const float beta = 0.04608366f * turbidity - 0.04586026f;
    const float m = 1.0f / (std::cos(theta) + 0.15f * std::pow(93.885f - theta * 180.0f / kPi, -1.253f));
    const float lambda[3] = {0.65f, 0.57f, 0.475f};
    Float4 c{};
    for (int i = 0; i < 3; ++i)
        c[i] =
            std::exp(-m * 0.008735f * std::pow(lambda[i], -4.08f)) * std::exp(-m * beta * std::pow(lambda[i], -1.3f));
    const float length = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    if (length > 0.0f)
        for (int i = 0; i < 3; ++i)
            c[i] /= length;
    c[3] = 1.0f;
    return c;
}

void Sun::Init()
{
    sCurrent = this;
    mLightTime = 0;
    mTimeOfDay = 0.0f;
    mSunMoveRate = 0.001f;
    mIntensityScale = 1.0f;
    mAmbientAdjust = {};
    mHorizonColor = SunColorAt(std::min(0.3f * kTwoPi, kPi / 2.0f), 2.0f);
    mHorizonColor[3] = 100.0f;
    mZenithColor = SunColorAt(0.0f, 2.0f);
    mZenithColor[3] = 100.0f;
    for (int i = 0; i < 4; ++i)
        mColorRange[i] = mZenithColor[i] - mHorizonColor[i];
    mScattering = Scattering();
    mScattering.Compute();
    UpdatePosition();
    Console& console = Console::Instance();
    console.RegisterCommand("SunMoveRate", MakeConsoleCommand(this, &Sun::SetSunMoveRate), "Set Sun Move Rate");
    console.RegisterCommand("SetTimeOfDay", MakeConsoleCommand(this, &Sun::SetTimeOfDay), "Time of Day in Rads");
    console.RegisterCommand("SetLightTime", MakeConsoleCommand(this, &Sun::SetLightTime), "SetLightTime");
    mCommands = true;
}

void Sun::Release()
{
    if (mCommands)
    {
        Console& console = Console::Instance();
        console.RemoveCommand("SunMoveRate");
        console.RemoveCommand("SetTimeOfDay");
        console.RemoveCommand("SetLightTime");
        mCommands = false;
    }
    mLights.clear();
    mLights.shrink_to_fit();
    if (sCurrent == this)
        sCurrent = nullptr;
}

void Sun::SetTimeOfDay(float radians)
{
    if (!std::isfinite(radians))
        return;
    mTimeOfDay = std::fmod(radians, kTwoPi);
    UpdatePosition();
}

void Sun::Update(float dt)
{
    if (!std::isfinite(dt))
        return;
    mTimeOfDay += dt * mSunMoveRate;
    if (mTimeOfDay >= kTwoPi)
        mTimeOfDay = 0.0f;
    Console::Instance().GetDebugValues().Set("TimeOfDay", std::to_string(mTimeOfDay));
    UpdatePosition();
    if (const IOLoom* io = IOLoom::Instance())
    {
        if (io->IsKeyPressedChar('O'))
            mTimeOfDay += dt;
        if (io->IsKeyPressedChar('L'))
            mTimeOfDay -= dt;
    }
}

void Sun::UpdatePosition()
{
    mDirection = Vector3(0.0f, std::cos(mTimeOfDay), std::sin(mTimeOfDay));
    const float c = std::clamp(mDirection.y, 0.0f, 1.0f);
    for (int i = 0; i < 4; ++i)
        mSunColor[i] = mHorizonColor[i] + mColorRange[i] * c;
    const float k = mDirection.y >= 0.0f ? 1.0f : std::clamp(1.0f + 5.0f * mDirection.y, 0.0f, 1.0f);
    mIntensity = k * mIntensityScale * 100.0f;
    mSkyTint = {0.3f * c, 0.2f * c, 0.25f, 0.0f};
}

LightParameters Sun::ComputeLightParameters(const Matrix4& view)
{
    LightParameters out;
    mLightPos = mDirection * 2000.0f;
    out.lightDir = {mDirection.z, mDirection.y, mDirection.x, 1.0f};
    out.lightPos = {mLightPos.x, mLightPos.y, mLightPos.z, 1.0f};
    for (int c = 0; c < 4; ++c)
    {
        float sum = 0.0f;
        for (int r = 0; r < 4; ++r)
            sum += out.lightPos[r] * view.m[r * 4 + c];
        out.viewLightPos[c] = sum;
    }
    switch (mLightTime)
    {
    case 0:
    case 5:
        out.lightColor = {0.99f, 0.99f, 0.99f, 1.0f};
        out.ambient = {0.5f, 0.6f, 0.5f, 0.0f};
        break;
    case 1:
        out.lightColor = {0.4f, 0.4f, 0.7f, 1.0f};
        out.ambient = {0.2f, 0.2f, 0.3f, 1.0f};
        break;
    case 2:
    case 4:
        out.lightColor = {1.0f, 0.0f, 0.0f, 1.0f};
        out.ambient = {0.5f, 0.5f, 0.5f, 1.0f};
        break;
    default:
        out.lightColor = {1.0f, 1.0f, 1.0f, 1.0f};
        out.ambient = {0.0f, 0.0f, 0.0f, 0.0f};
        break;
    }
    return out;
}

void Sun::SetLightParameters(FxEffect& effect, const Matrix4& view)
{
    const LightParameters p = ComputeLightParameters(view);
    SetValue(effect, "LightDir", p.lightDir.data(), 4);
    SetValue(effect, "LightPos", p.lightPos.data(), 4);
    SetValue(effect, "ViewLightPos", p.viewLightPos.data(), 4);
    SetValue(effect, "LightColor", p.lightColor.data(), 4);
    SetValue(effect, "Ambient", p.ambient.data(), 4);
}

void Sun::SetSkyConstants(FxEffect& effect)
{
    SetValue(effect, "atm", mScattering.block.data(), uint32_t(Scattering::kBlockFloats));
    const float sunVec[4] = {mDirection.x, mDirection.y, mDirection.z, 0.0f};
    SetValue(effect, "sun_vec", sunVec, 4);
    SetValue(effect, "sun_color", mSunColor.data(), 4);
    const float sunVecTan[4] = {mDirection.x, mDirection.z, mDirection.y, 0.0f};
    SetValue(effect, "sun_vectan", sunVecTan, 4);
}

void Sun::AddLight(Light* light) { mLights.push_back(light); }

void Sun::RemoveLight(Light* light)
{
    const auto it = std::find(mLights.begin(), mLights.end(), light);
    if (it != mLights.end())
        mLights.erase(it);
}
