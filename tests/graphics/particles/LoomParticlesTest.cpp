#include <gtest/gtest.h>

#include <algorithm>

#include "LOOM/factory/FileComposition.h"
#include "graphics/particles/BeamRenderer.h"
#include "graphics/particles/Effect.h"
#include "graphics/particles/ParticleComp.h"
#include "graphics/particles/ParticleFrame.h"
#include "tests/graphics/scene/SceneFixture.h"

namespace {

class LoomParticlesTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(SceneFixture::SetUp());
        for (uint32_t id : {ParticleComp::kTypeId, Effect::kTypeId})
            mCogs->Types().RegisterComponent(id, ParticleFrame::Factory(id));
        MakeType("Burst", {ParticleComp::kTypeId});
        MakeType("Flash", {Effect::kTypeId});
        MakeEye({0.0f, 0.0f, -60.0f}, {0.0f, 0.0f, 0.0f});
    }

    int BrightPixels(const Image& image)
    {
        int count = 0;
        for (uint32_t y = 0; y < image.mHeight; ++y)
            for (uint32_t x = 0; x < image.mWidth; ++x)
                count += Brightness(image.GetARGB(x, y)) > Brightness(kClear) + 60;
        return count;
    }
};

} // namespace

TEST_F(LoomParticlesTest, TheFrameDrawsParticleComponentsEffectsAndBeams)
{
    EXPECT_EQ(BrightPixels(Frame()), 0);

    Cog* burst = Make("Burst", {0.0f, 0.0f, 0.0f});
    auto& comp = Get<ParticleComp>(burst);
    comp.SystemFiles = {"Data/Effects/Explosion.System.xml"};
    comp.EmitterFiles = {"Data/Effects/Explosion.Emitter.xml"};
    burst->Initialize();
    ASSERT_EQ(mLoom->GetScene()->mParticleComps.size(), 1u);
    comp.Update(1.0f / 30.0f);
    const int32_t live = comp.Systems()[0]->GetCount();
    EXPECT_EQ(live, 60);
    const Image image = Frame();
    EXPECT_EQ(mLoom->GetCounters().mParticles, uint32_t(live));
    EXPECT_GT(BrightPixels(image), 20);

    // The particle toggle leaves them out.
    mLoom->GetToggles().mParticles = false;
    Frame();
    EXPECT_EQ(mLoom->GetCounters().mParticles, 0u);
    mLoom->GetToggles().mParticles = true;

    Cog* flash = Make("Flash", {0.0f, 0.0f, 0.0f});
    ASSERT_TRUE(LoadArchetypeXml(*flash, "Data/Effects/FlashEffect.xml"));
    flash->Initialize();
    ASSERT_EQ(mLoom->GetScene()->mEffects.size(), 1u);

    BeamRenderer* beams = ParticleFrame::GetBeamRenderer();
    ASSERT_NE(beams, nullptr);
    ASSERT_NE(beams->AddBeam(0, 10.0f, {-10.0f, 5.0f, 0.0f}, {10.0f, 5.0f, 0.0f}, 1.0f, 0.0f, 4, 0.0f, 4), nullptr);
    Frame();
    // Three beam quads of two triangles each.
    EXPECT_GE(mLoom->GetCounters().mTriangles, 6u);

    flash->Destroy();
    burst->Destroy();
    mCogs->ProcessDestroyList();
    EXPECT_TRUE(mLoom->GetScene()->mEffects.empty());
    EXPECT_TRUE(mLoom->GetScene()->mParticleComps.empty());
}

TEST_F(LoomParticlesTest, ParticlesDrawAgainAfterADeviceReset)
{
    Cog* burst = Make("Burst", {0.0f, 0.0f, 0.0f});
    auto& comp = Get<ParticleComp>(burst);
    comp.SystemFiles = {"Data/Effects/Explosion.System.xml"};
    comp.EmitterFiles = {"Data/Effects/Explosion.Emitter.xml"};
    burst->Initialize();
    comp.Update(1.0f / 30.0f);
    mLoom->GetDevice()->Loss().Simulate();
    mLoom->Update();
    EXPECT_TRUE(mLoom->Display().IsLost());
    for (int i = 0; i < 5 && mLoom->Display().IsLost(); ++i)
        mLoom->Update();
    ASSERT_FALSE(mLoom->Display().IsLost());
    EXPECT_NE(ParticlePool::GetBuffer(), nullptr);
    EXPECT_GT(BrightPixels(Frame()), 20);
}
