#include <gtest/gtest.h>

#include <cmath>

#include "LOOM/console/Console.h"
#include "graphics/sky/Light.h"
#include "graphics/sky/Sun.h"

namespace {
constexpr float kPi = 3.14159265358979f;

class SunTest : public ::testing::Test
{
protected:
    void SetUp() override { mSun.Init(); }
    Sun mSun;
};
} // namespace

TEST_F(SunTest, TimeOfDayMovesDirectionColourAndIntensity)
{
    EXPECT_FLOAT_EQ(mSun.mDirection.y, 1.0f);
    EXPECT_EQ(mSun.mSunColor, mSun.mZenithColor);
    const struct
    {
        float t;
        float intensity;
        bool horizonColour;
    } cases[] = {
        {kPi / 2.0f, 100.0f, true},
        {kPi, 0.0f, true},
        {kPi / 2.0f + 0.1f, 100.0f * (1.0f + 5.0f * std::cos(kPi / 2.0f + 0.1f)), true},
        {0.0f, 100.0f, false},
    };
    for (const auto& c : cases)
    {
        mSun.SetTimeOfDay(c.t);
        EXPECT_NEAR(mSun.mIntensity, c.intensity, 1e-3) << c.t;
        if (c.horizonColour)
        {
            for (int i = 0; i < 4; ++i)
                EXPECT_NEAR(mSun.mSunColor[i], mSun.mHorizonColor[i], 1e-5) << c.t;
        }
    }
    EXPECT_NEAR(100.0f * (1.0f + 5.0f * std::cos(kPi / 2.0f + 0.1f)), 50.0f, 0.2f) << "half faded";
    // Low sun is redder than high sun; colours are unit length with 100 carried along.
    const Float4& h = mSun.mHorizonColor;
    const Float4& z = mSun.mZenithColor;
    EXPECT_GT(h[0] / h[2], z[0] / z[2]);
    EXPECT_NEAR(z[0] * z[0] + z[1] * z[1] + z[2] * z[2], 1.0f, 1e-5);
    EXPECT_EQ(z[3], 100.0f);
    const Float4 reflected = Sun::SunColorAt(2.0f * kPi - 0.3f, 2.0f);
    EXPECT_EQ(reflected, Sun::SunColorAt(0.3f, 2.0f)) << "angles past pi fold back";
}

TEST_F(SunTest, UpdateAdvancesAndWraps)
{
    mSun.Update(0.016f);
    EXPECT_NEAR(mSun.mTimeOfDay, 0.016f * 0.001f, 1e-9);
    mSun.Update(0.0f);
    EXPECT_NEAR(mSun.mTimeOfDay, 0.016f * 0.001f, 1e-9) << "paused game time stops the sun";
    mSun.SetTimeOfDay(2.0f * kPi - 1e-4f);
    mSun.SetSunMoveRate(1.0f);
    mSun.Update(0.001f);
    EXPECT_EQ(mSun.mTimeOfDay, 0.0f);
}

TEST_F(SunTest, ConsoleCommandsAndLightPresets)
{
    Console::Instance().ExecuteLine("SetTimeOfDay 7.0");
    EXPECT_NEAR(mSun.mTimeOfDay, 7.0f - 2.0f * kPi, 1e-5);
    Console::Instance().ExecuteLine("SetLightTime 3");
    Matrix4 view = Matrix4::Translation(Vector3(1.0f, 2.0f, 3.0f));
    LightParameters p = mSun.ComputeLightParameters(view);
    EXPECT_EQ(p.lightColor, (Float4{1.0f, 1.0f, 1.0f, 1.0f}));
    EXPECT_EQ(p.ambient, (Float4{0.0f, 0.0f, 0.0f, 0.0f}));
    // Light direction goes out with x and z exchanged; the view moves the light's position.
    mSun.SetTimeOfDay(kPi / 2.0f);
    p = mSun.ComputeLightParameters(view);
    EXPECT_NEAR(p.lightDir[0], 1.0f, 1e-6);
    EXPECT_NEAR(p.lightDir[2], 0.0f, 1e-6);
    EXPECT_NEAR(p.lightPos[2], 2000.0f, 1e-2);
    EXPECT_NEAR(p.viewLightPos[0], 1.0f, 1e-3);
    EXPECT_NEAR(p.viewLightPos[2], 2003.0f, 1e-2);
    const struct
    {
        int preset;
        Float4 colour, ambient;
    } presets[] = {
        {0, {0.99f, 0.99f, 0.99f, 1.0f}, {0.5f, 0.6f, 0.5f, 0.0f}},
        {5, {0.99f, 0.99f, 0.99f, 1.0f}, {0.5f, 0.6f, 0.5f, 0.0f}},
        {1, {0.4f, 0.4f, 0.7f, 1.0f}, {0.2f, 0.2f, 0.3f, 1.0f}},
        {4, {1.0f, 0.0f, 0.0f, 1.0f}, {0.5f, 0.5f, 0.5f, 1.0f}},
    };
    for (const auto& c : presets)
    {
        mSun.SetLightTime(c.preset);
        p = mSun.ComputeLightParameters(view);
        EXPECT_EQ(p.lightColor, c.colour) << c.preset;
        EXPECT_EQ(p.ambient, c.ambient) << c.preset;
    }
    mSun.Release();
    EXPECT_EQ(Console::Instance().FindCommand("SetLightTime"), nullptr);
    EXPECT_EQ(Sun::Current(), nullptr);
}

TEST_F(SunTest, ScatteringBlock)
{
    const auto& b = mSun.mScattering.block;
    EXPECT_FLOAT_EQ(b[0], 0.00069715298f * 0.06f);
    EXPECT_FLOAT_EQ(b[4], 0.0057406f * 0.001f);
    EXPECT_FLOAT_EQ(b[16], b[0] + b[4]);
    EXPECT_FLOAT_EQ(b[20], b[16] / std::log(2.0f));
    EXPECT_FLOAT_EQ(b[24], 1.0f / b[16]);
    EXPECT_FLOAT_EQ(b[28], 1.0f - 0.98f * 0.98f);
    EXPECT_FLOAT_EQ(b[29], 1.98f) << "1 + g";
    EXPECT_FLOAT_EQ(b[30], 1.96f);
    EXPECT_FLOAT_EQ(b[37], 1.33f);
    EXPECT_FLOAT_EQ(b[40], 0.138f * 0.2f);
}

TEST_F(SunTest, LightsJoinAndLeaveTheSunsList)
{
    auto first = std::make_unique<Light>();
    auto second = std::make_unique<Light>();
    first->Initialize();
    second->Initialize();
    first->Initialize();
    ASSERT_EQ(mSun.mLights.size(), 2u);
    first.reset();
    ASSERT_EQ(mSun.mLights.size(), 1u);
    EXPECT_EQ(mSun.mLights[0], second.get());
    second->SetAtt(1.0f, 2.0f, 3.0f);
    EXPECT_EQ(second->mAttenuation2, 3.0f);
    mSun.Release();
    second.reset(); // outlives the sun's list without touching it
}
