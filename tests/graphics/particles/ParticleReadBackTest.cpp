#include <gtest/gtest.h>

#include "graphics/particles/ParticleSystem.h"
#include "tests/graphics/device/DeviceFixture.h"

namespace {

class ParticleReadBackTest : public DeviceFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(DeviceFixture::SetUp());
        ParticlePool::CreateDeviceObjects(*mDevice);
        mDevice->SetTransform(TransformKind::View, Matrix4::Identity());
        mDevice->SetTransform(TransformKind::Projection, Matrix4::PerspectiveFovLH(1.0f, 1.0f, 1.0f, 100.0f));
        mDevice->Clear(ClearTarget | ClearZBuffer, 0xFF000000, 1.0f, 0);
    }
    void TearDown() override
    {
        ParticlePool::OnLostDevice();
        DeviceFixture::TearDown();
    }

    static void Add(ParticleSystem& system, const Vector3& position, const Color& color)
    {
        Particle p;
        p.mPosition = position;
        p.mColor = color;
        p.mLifetime = 1.0f;
        system.AddParticle(p);
    }
};

} // namespace

TEST_F(ParticleReadBackTest, AdditivePointOverBlack)
{
    for (bool alphaFirst : {false, true})
    {
        mDevice->Clear(ClearTarget | ClearZBuffer, 0xFF000000, 1.0f, 0);
        // Whatever the last draw left must not decide the additive system's source blend.
        mDevice->States().mSrcBlend = BlendFactor::Zero;
        ParticleSystem alpha, additive;
        alpha.BlendModes = 1;
        alpha.ParticleSize = 1.0f;
        Add(alpha, {-3, 3, 10}, {0, 1, 0, 0.5f});
        additive.ParticleSize = 1.0f;
        Add(additive, {0, 0, 10}, {1, 0, 0, 1});
        ParticlePool::BeginRender(*mDevice);
        if (alphaFirst)
            alpha.Render(*mDevice);
        additive.Render(*mDevice);
        ParticlePool::EndRender(*mDevice);
        EXPECT_EQ(PixelAt(32, 32), 0xFFFF0000u) << alphaFirst;
        // 64 pixels x size 1 / distance 10: about six pixels across.
        EXPECT_EQ(PixelAt(34, 32), 0xFFFF0000u) << alphaFirst;
        EXPECT_EQ(PixelAt(38, 32), 0xFF000000u) << alphaFirst;
        EXPECT_EQ(PixelAt(2, 60), 0xFF000000u) << alphaFirst;
    }
}

TEST_F(ParticleReadBackTest, SizeFallsWithDistance)
{
    ParticleSystem near, far;
    near.ParticleSize = far.ParticleSize = 1.0f;
    Add(near, {0, 0, 10}, {1, 1, 1, 1});
    Add(far, {0, 0, 20}, {1, 1, 1, 1});
    ParticlePool::BeginRender(*mDevice);
    far.Render(*mDevice);
    ParticlePool::EndRender(*mDevice);
    EXPECT_EQ(PixelAt(32, 32), 0xFFFFFFFFu);
    EXPECT_EQ(PixelAt(34, 32), 0xFF000000u);
    ParticlePool::BeginRender(*mDevice);
    near.Render(*mDevice);
    ParticlePool::EndRender(*mDevice);
    EXPECT_EQ(PixelAt(34, 32), 0xFFFFFFFFu);
}
