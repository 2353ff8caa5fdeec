#include <gtest/gtest.h>

#include <cmath>

#include "LOOM/math/Random.h"
#include "graphics/particles/BeamRenderer.h"
#include "tests/LOOM/support/LogCapture.h"
#include "tests/graphics/particles/ParticleFixture.h"

namespace {

using V = BeamRenderer::Vertex;

class BeamRendererTest : public ParticleFixture
{
protected:
    void SetUp() override
    {
        ParticleFixture::SetUp();
        mBeams.CreateVertexBuffer(mDevice);
        RandomSeed(11);
    }

    void Frame(float dt = 1.0f / 60.0f)
    {
        mDevice.ClearLog();
        mBeams.Render(mDevice, dt, Vector3(0, 0, -20), mShaders->GetShader("Quad"));
    }

    GpuTexture* TextureOf(const char* name) { return mTextures->Find(name)->GetDeviceTexture(); }

    BeamRenderer mBeams;
};

} // namespace

TEST_F(BeamRendererTest, SegmentTexturesByKind)
{
    struct Case
    {
        int32_t kind;
        int32_t segments;
        size_t quads;
        const char* texture;
        const char* last;
    };
    const Case cases[] = {{0, 5, 4, "Textures/BlueGlow.dds", "Textures/BlueGlow.dds"},
                          {2, 5, 4, "Textures/BlueGlow.dds", "Textures/spike.dds"},
                          {3, 3, 2, "Textures/LaserBlast.dds", "Textures/LaserBlast.dds"},
                          {4, 2, 1, "Textures/RedBeam.dds", "Textures/RedBeam.dds"},
                          {9, 6, 1, "Textures/BlueGlow.dds", "Textures/BlueGlow.dds"}};
    for (const Case& c : cases)
    {
        BeamRenderer beams;
        beams.CreateVertexBuffer(mDevice);
        ASSERT_NE(beams.AddBeam(0, 1.0f, {0, 0, 0}, {10, 0, 0}, 0.5f, 1.0f, c.segments, 1.0f, c.kind), nullptr);
        mDevice.ClearLog();
        beams.Render(mDevice, 0.01f, Vector3(0, 0, -20), mShaders->GetShader("Quad"));
        ASSERT_EQ(mDevice.mDraws.size(), c.quads) << c.kind;
        for (size_t i = 0; i < c.quads; ++i)
        {
            const auto& draw = mDevice.mDraws[i];
            EXPECT_EQ(draw.mType, PrimitiveType::TriangleStrip);
            EXPECT_EQ(draw.mCount, 2u);
            EXPECT_EQ(draw.mTexture, TextureOf(i + 1 == c.quads ? c.last : c.texture)) << c.kind << " quad " << i;
            EXPECT_EQ(draw.mStates.mDestBlend, BlendFactor::One);
        }
        // Quads come from memory: no buffer of the renderer's own is locked.
        EXPECT_TRUE(mDevice.mLocks.empty());
        EXPECT_NE(TextureOf("Textures/BlueGlow.dds"), nullptr);
    }
}

TEST_F(BeamRendererTest, StraightQuadsFaceTheCamera)
{
    mBeams.AddBeam(0, 1.0f, {0, 0, 0}, {10, 0, 0}, 0.5f, 3.0f, 4, 1.0f, 0);
    Frame();
    ASSERT_EQ(mDevice.mDraws.size(), 3u);
    // Last piece two segment lengths long; sides across the beam and the view: along y.
    const V first = mDevice.VertexAt<V>(mDevice.mDraws[0], 0);
    const V firstUp = mDevice.VertexAt<V>(mDevice.mDraws[0], 1);
    const V lastEnd = mDevice.VertexAt<V>(mDevice.mDraws[2], 2);
    EXPECT_NEAR(std::fabs(first.mY - firstUp.mY), 1.0f, 1e-5f);
    EXPECT_NEAR(first.mX, 0.0f, 1e-5f);
    EXPECT_NEAR(mDevice.VertexAt<V>(mDevice.mDraws[2], 0).mX, 5.0f, 1e-5f);
    EXPECT_NEAR(lastEnd.mX, 10.0f, 1e-5f);
    EXPECT_EQ(first.mU, 0.0f);
    EXPECT_EQ(lastEnd.mU, 1.0f);
    EXPECT_EQ(first.mZ, 0.0f);
}

TEST_F(BeamRendererTest, NoiseBendsOnlyKindsOneAndTwo)
{
    ASSERT_NE(BeamRenderer::GetNoise(), nullptr);
    for (int32_t kind : {0, 1, 2, 3})
    {
        BeamRenderer beams;
        beams.CreateVertexBuffer(mDevice);
        beams.AddBeam(0, 1.0f, {0, 0, 0}, {10, 0, 0}, 0.1f, 2.0f, 5, 1.0f, kind);
        mDevice.ClearLog();
        beams.Render(mDevice, 0.01f, Vector3(0, 0, -20), mShaders->GetShader("Quad"));
        float offset = 0.0f;
        for (const auto& draw : mDevice.mDraws)
        {
            const V a = mDevice.VertexAt<V>(draw, 0), b = mDevice.VertexAt<V>(draw, 1);
            offset = std::max(offset, std::fabs(std::fabs(a.mY + b.mY) * 0.5f) + std::fabs(a.mZ + b.mZ) * 0.5f);
        }
        if (kind == 1 || kind == 2)
        {
            EXPECT_GT(offset, 0.01f) << kind;
        }
        else
        {
            EXPECT_LT(offset, 1e-4f) << kind;
        }
    }
}

TEST(BeamJointTest, MitreStretchIsCapped)
{
    struct Case
    {
        float degrees;
        float factor;
    };
    // Sides turned by the angle; the joint side is their average (not renormalised).
    for (const Case& c :
         {Case{0.0f, 1.0f}, Case{90.0f, 2.0f}, Case{120.0f, 4.0f}, Case{140.0f, 5.0f}, Case{180.0f, 5.0f}})
    {
        const float a = c.degrees * 3.14159265f / 180.0f;
        const Vector3 s0(1, 0, 0), s1(std::cos(a), std::sin(a), 0);
        const Vector3 joint = (s0 + s1) * 0.5f;
        EXPECT_NEAR(BeamRenderer::JointHalfWidth(0.5f, joint, s0), 0.5f * c.factor, 1e-4f) << c.degrees;
        EXPECT_NEAR(BeamRenderer::JointHalfWidth(0.5f, joint, s1), 0.5f * c.factor, 1e-4f) << c.degrees;
    }
}

TEST_F(BeamRendererTest, LifetimeSourceAndMovement)
{
    // Beams look their source up in the engine's cog manager.
    CogFactory& cogs = CogFactory::Instance();
    cogs.Types().RegisterType("BeamSource", std::make_shared<Composer>(cogs, "BeamSource", ""));
    Cog* global = cogs.Instantiate("BeamSource");
    ASSERT_NE(global, nullptr);
    const uint32_t sourceId = global->GetID();
    mBeams.AddBeam(0, 0.0f, {0, 0, 0}, {1, 0, 0}, 0.1f, 0.0f, 1, 0.0f, 0);
    mBeams.AddBeam(sourceId, 100.0f, {0, 0, 0}, {1, 0, 0}, 0.1f, 0.0f, 1, 0.0f, 3);
    mBeams.AddMovingBeam(0, 100.0f, {0, 0, 0}, {0, 0, 2}, 0.1f, 0.0f, 2, 0.0f, 1.0f, 4);
    Frame(0.5f);
    // Lifetime 0 is drawn in the frame it was added.
    EXPECT_EQ(mDevice.mDraws.size(), 3u);
    global->Destroy();
    cogs.ProcessDestroyList();
    Frame(0.001f);
    ASSERT_EQ(mBeams.GetBeamCount(), 1u);
    // The moving beam went one unit per frame whatever the frame time.
    EXPECT_EQ(mBeams.GetBeam(0).mStart, Vector3(0, 0, 2));
    EXPECT_EQ(mBeams.GetBeam(0).mKind, 4);
}

TEST_F(BeamRendererTest, DegenerateBeamsAreRefused)
{
    LogCapture log;
    EXPECT_EQ(mBeams.AddBeam(0, 1.0f, {1, 1, 1}, {1, 1, 1}, 0.1f, 0.0f, 4, 0.0f, 0), nullptr);
    EXPECT_EQ(mBeams.AddBeam(0, 1.0f, {0, 0, 0}, {1, 0, 0}, 0.1f, 0.0f, 0, 0.0f, 0), nullptr);
    EXPECT_EQ(mBeams.GetBeamCount(), 0u);
    EXPECT_EQ(log.Count("BeamRenderer"), 2);
    // Without a shader the beams still age out.
    mBeams.AddBeam(0, 0.0f, {0, 0, 0}, {1, 0, 0}, 0.1f, 0.0f, 1, 0.0f, 0);
    mBeams.Render(mDevice, 0.1f, Vector3(), nullptr);
    mBeams.Render(mDevice, 0.1f, Vector3(), nullptr);
    EXPECT_EQ(mBeams.GetBeamCount(), 0u);
}
