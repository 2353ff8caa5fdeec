#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "graphics/Renderable.h"
#include "graphics/effect/Shader.h"
#include "graphics/render/DeferredRenderer.h"
#include "graphics/render/RenderQueue.h"
#include "graphics/sky/Light.h"
#include "graphics/sky/Sun.h"
#include "tests/LOOM/support/CodeType.h"
#include "tests/graphics/overlay/GameLoomFixture.h"

namespace {

// A flat-coloured quad facing the viewer (normal -z): corners left, right, bottom, top and
// depth z, either in clip space or in world space seen through the frame's camera.
class FacingQuad : public Renderable
{
public:
    FacingQuad(GraphicsDevice& device, float left, float right, float bottom, float top, float z, Color color,
               bool inWorld)
        : mColor(color), mInWorld(inWorld)
    {
        struct V
        {
            float p[3], n[3], uv[2];
        };
        const V quad[4] = {{{left, top, z}, {0, 0, -1}, {0, 0}},
                           {{right, top, z}, {0, 0, -1}, {1, 0}},
                           {{left, bottom, z}, {0, 0, -1}, {0, 1}},
                           {{right, bottom, z}, {0, 0, -1}, {1, 1}}};
        mVertices = device.CreateVertexBuffer(sizeof(quad), false);
        mVertices->Write(0, quad, sizeof(quad));
        static const VertexElement elements[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                                 {12, VertexType::Float3, VertexSemantic::Normal, 0},
                                                 {24, VertexType::Float2, VertexSemantic::TexCoord, 0}};
        mLayout = device.CreateVertexLayout(elements);
    }
    bool Submit(float, uint32_t, RenderQueue*) override { return true; }
    void BindGeometry(GraphicsDevice& device, uint16_t, uint16_t, bool) override
    {
        device.SetVertexLayout(mLayout.get());
        device.SetStreamSource(mVertices.get(), 0, 32);
        ++mBinds;
    }
    void Draw(GraphicsDevice& device, float, Shader* shader, RenderQueueEntry*) override
    {
        const float color[4] = {mColor.r, mColor.g, mColor.b, mColor.a};
        if (mInWorld)
        {
            shader->SetWorldMatrices(Matrix4());
        }
        else
        {
            shader->SetMatrix(Shader::World, Matrix4());
            shader->SetMatrix(Shader::WorldViewProjection, Matrix4());
        }
        shader->SetColor(Shader::Diffuse, color);
        FxEffect& fx = shader->GetEffect();
        fx.SetInt(fx.GetParameterByName("UseTexture"), 0);
        for (uint32_t pass = 0; pass < shader->GetPassCount(); ++pass)
        {
            shader->BeginPass(pass);
            device.Draw(PrimitiveType::TriangleStrip, 0, 2);
            shader->EndPass();
        }
        ++mDraws;
    }
    void DrawBounds(GraphicsDevice&, Shader*) override {}

    int mBinds = 0;
    int mDraws = 0;

private:
    Color mColor;
    bool mInWorld;
    std::unique_ptr<GpuBuffer> mVertices;
    std::unique_ptr<VertexLayout> mLayout;
};

} // namespace

using DeferredTest = GameLoomFixture;

TEST_F(DeferredTest, QueuedGeometryIsLitFromTheThreeBuffers)
{
    EXPECT_EQ(mLoom->GetDeferred()->IsEnabled(), false);
    Console::Instance().ExecuteLine("DoDeferred true");
    ASSERT_TRUE(mLoom->GetDeferred()->IsEnabled());
    EXPECT_TRUE(mLoom->GetToggles().mDeferred);
    for (uint32_t i = 0; i < DeferredRenderer::kBuffers; ++i)
    {
        EXPECT_EQ(mLoom->GetDeferred()->GetBuffer(i)->GetWidth(), 800u);
        EXPECT_EQ(mLoom->GetDeferred()->GetBuffer(i)->GetHeight(), 600u);
    }

    // The queue is filled between the loom's reset and its render, as models do in their update.
    // Red over the left half of the screen.
    FacingQuad quad(*mDevice, -1.0f, 0.0f, -1.0f, 1.0f, 0.5f, Color(1, 0, 0, 1), false);
    RenderQueue& queue = *mLoom->GetRenderQueue();
    queue.Reset();
    RenderQueueEntry* entry = queue.NextEntry();
    entry->mRenderable = &quad;
    queue.Add(entry);
    queue.RenderDeferredGeometry(0.0f);
    EXPECT_EQ(quad.mDraws, 1);

    const std::vector<Light*> noLights;
    mLoom->GetDeferred()->Render(*mDevice, queue, *mLoom->GetPostProcessor(), mLoom->GetShaderControl(), noLights, 0.0f,
                                 0.0f, 800, 600);
    Image frame;
    ASSERT_TRUE(mDevice->ReadBack(nullptr, frame));
    // Red lit by the sun's ambient 0.5 only (the sun shines down on a quad facing the viewer).
    const uint32_t lit = frame.GetARGB(200, 300);
    EXPECT_NEAR(int((lit >> 16) & 0xFF), 128, 3);
    EXPECT_EQ(lit & 0xFFFF, 0u);
    // Where nothing was drawn the cleared colour shows.
    EXPECT_EQ(frame.GetARGB(600, 300), 0xFF808080u);

    // A whole loom frame takes the deferred path: the empty queue leaves the cleared grey.
    const uint64_t presents = mDevice->Counters().mPresents;
    mLoom->Update();
    EXPECT_EQ(mDevice->Counters().mPresents, presents + 1);
    ASSERT_TRUE(mDevice->ReadBack(nullptr, frame));
    EXPECT_EQ(frame.GetARGB(200, 300), 0xFF808080u);

    Console::Instance().ExecuteLine("DoDeferred false");
    EXPECT_FALSE(mLoom->GetDeferred()->IsEnabled());
    EXPECT_FALSE(mLoom->GetToggles().mDeferred);
}

namespace {

// A grey wall across the view at z = 10 (30 pixels to the unit at 800x600 through a 90-degree
// camera at the origin), lit by lamp cogs whose Light joins the loom's sun.
class LightVolumeTest : public GameLoomFixture
{
protected:
    static constexpr float kWallZ = 10.0f;
    static constexpr int kAmbientGrey = 64; // 0.5 grey under the 0.5 ambient light of light time 2

    void SetUp() override
    {
        GameLoomFixture::SetUp();
        Console::Instance().ExecuteLine("DoDeferred true");
        ASSERT_TRUE(mLoom->GetDeferred()->IsEnabled());
        // A grey ambient; the sun stands overhead and adds nothing to the upright wall.
        Console::Instance().ExecuteLine("SetLightTime 2");
        mLoom->SetEffectGlobals();
        FrameMatrices& frame = mLoom->GetShaderControl().Frame();
        frame.mView = Matrix4();
        frame.mProjection = Matrix4::PerspectiveFovLH(1.5707964f, 800.0f / 600.0f, 1.0f, 100.0f);
        frame.mView.Multiply(frame.mProjection, frame.mViewProjection);
        RegisterPositional(mCogs);
        mCogs.Types().RegisterComponent(Light::kTypeId, LightFactory());
        MakeCodeType(mCogs, "Lamp", {1, Light::kTypeId});
        mWall = std::make_unique<FacingQuad>(*mDevice, -20.0f, 20.0f, -20.0f, 20.0f, kWallZ, Color(0.5f, 0.5f, 0.5f, 1),
                                             true);
    }

    void TearDown() override
    {
        mCogs.DestroyAll();
        mWall.reset();
        GameLoomFixture::TearDown();
    }

    Light* Lamp(Vector3 at, float range, float a0, float a1, float a2, Color color, bool active = true)
    {
        Cog* cog = mCogs.CreateAt("Lamp", at);
        EXPECT_NE(cog, nullptr);
        auto* light = cog->Get<Light>();
        light->SetRange(range);
        light->SetAtt(a0, a1, a2);
        light->SetColor(color);
        light->mActive = active;
        return light;
    }

    // The wall through the deferred path with the sun's lights.
    Image Frame()
    {
        RenderQueue& queue = *mLoom->GetRenderQueue();
        queue.Reset();
        RenderQueueEntry* entry = queue.NextEntry();
        entry->mRenderable = mWall.get();
        queue.Add(entry);
        mLoom->GetDeferred()->Render(*mDevice, queue, *mLoom->GetPostProcessor(), mLoom->GetShaderControl(),
                                     mLoom->Scenery().GetSun()->mLights, 0.0f, 0.0f, 800, 600);
        Image image;
        EXPECT_TRUE(mDevice->ReadBack(nullptr, image));
        return image;
    }

    // The wall point a pixel's centre shows.
    static Vector3 WallPoint(int x, int y)
    {
        return Vector3((float(x) + 0.5f - 400.0f) / 30.0f, (300.0f - (float(y) + 0.5f)) / 30.0f, kWallZ);
    }

    static int Channel(uint32_t argb, int shift) { return int((argb >> shift) & 0xFF); }

    CogFactory mCogs;
    std::unique_ptr<FacingQuad> mWall;
};

struct PixelValue
{
    int x, y;
    int r, g, b;
};

struct LightCase
{
    const char* name;
    Vector3 at;
    float range;
    float att[3];
    Color color;
    bool active;
    std::vector<PixelValue> pixels;
};

} // namespace

TEST_F(LightVolumeTest, ALocalLightBrightensTheWallWithinItsRangeOnly)
{
    const Image unlit = Frame();
    ASSERT_EQ(unlit.GetARGB(400, 300), 0xFF404040u);

    constexpr int A = kAmbientGrey;
    const Color white(1, 1, 1, 1);
    const LightCase cases[] = {
        // Off-centre, so a flipped axis would light the wrong quarter; (550, 270) is inside the
        // sphere's outline but beyond the range.
        {"near the wall",
         Vector3(2, 1, 9),
         3.0f,
         {1, 0, 0},
         white,
         true,
         {{460, 270, A + 128, A + 128, A + 128},
          {460, 330, A + 57, A + 57, A + 57},
          {340, 270, A, A, A},
          {550, 270, A, A, A}}},
        // The camera stands inside this volume: its far side still lights, once.
        {"around the camera",
         Vector3(0, 0, 2),
         12.0f,
         {1, 0, 0},
         white,
         true,
         {{400, 300, A + 128, A + 128, A + 128}, {640, 300, A + 90, A + 90, A + 90}, {700, 300, A, A, A}}},
        {"green, fading with the squared distance",
         Vector3(0, 0, 8),
         5.0f,
         {0, 0, 0.25f},
         Color(0, 1, 0, 1),
         true,
         {{400, 300, A, A + 128, A}, {430, 300, A, A + 91, A}}},
        {"switched off", Vector3(0, 0, 9), 3.0f, {1, 0, 0}, white, false, {{400, 300, A, A, A}}},
        {"negative range", Vector3(0, 0, 9), -3.0f, {1, 0, 0}, white, true, {{400, 300, A, A, A}}},
    };
    for (const LightCase& c : cases)
    {
        SCOPED_TRACE(c.name);
        Lamp(c.at, c.range, c.att[0], c.att[1], c.att[2], c.color, c.active);
        const Image lit = Frame();
        for (const PixelValue& p : c.pixels)
        {
            const uint32_t argb = lit.GetARGB(p.x, p.y);
            EXPECT_NEAR(Channel(argb, 16), p.r, 3) << p.x << "," << p.y;
            EXPECT_NEAR(Channel(argb, 8), p.g, 3) << p.x << "," << p.y;
            EXPECT_NEAR(Channel(argb, 0), p.b, 3) << p.x << "," << p.y;
        }
        // Every pixel: beyond the range exactly as unlit, well inside it brighter.
        int brighter = 0;
        int wrong = 0;
        for (int y = 0; y < 600; y += 4)
            for (int x = 0; x < 800; x += 4)
            {
                const float d = (WallPoint(x, y) - c.at).Length();
                const uint32_t before = unlit.GetARGB(x, y);
                const uint32_t after = lit.GetARGB(x, y);
                if (d > c.range + 0.05f || !c.active)
                    wrong += after != before ? 1 : 0;
                else if (d < c.range - 0.05f)
                {
                    const bool up = Channel(after, 8) > Channel(before, 8);
                    brighter += up ? 1 : 0;
                    wrong += up ? 0 : 1;
                }
            }
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(brighter > 0, c.active && c.range > 0.0f);
        mCogs.DestroyAll();
        ASSERT_TRUE(mLoom->Scenery().GetSun()->mLights.empty());
    }

    // No light left: the frame is the unlit one again.
    const Image again = Frame();
    EXPECT_EQ(again.GetARGB(400, 300), unlit.GetARGB(400, 300));
    EXPECT_EQ(again.GetARGB(460, 270), unlit.GetARGB(460, 270));
}

TEST_F(LightVolumeTest, TwoLightsAddUpWhereTheyOverlap)
{
    Lamp(Vector3(-1, 0, 9), 3.0f, 1, 0, 0, Color(1, 0, 0, 1));
    Lamp(Vector3(1, 0, 9), 3.0f, 1, 0, 0, Color(0, 0, 1, 1));
    const Image lit = Frame();
    // Midway both reach at the same distance: red and blue alike, green untouched.
    const uint32_t mid = lit.GetARGB(400, 300);
    EXPECT_NEAR(Channel(mid, 16), kAmbientGrey + 90, 3);
    EXPECT_NEAR(Channel(mid, 0), kAmbientGrey + 90, 3);
    EXPECT_EQ(Channel(mid, 8), kAmbientGrey);
    // Beyond the blue light's range only the red is added.
    const uint32_t left = lit.GetARGB(340, 300);
    EXPECT_NEAR(Channel(left, 16), kAmbientGrey + 90, 3);
    EXPECT_EQ(Channel(left, 0), kAmbientGrey);
    EXPECT_EQ(Channel(left, 8), kAmbientGrey);
}

TEST_F(LightVolumeTest, AWholeLoomFrameLightsNothingWhereNoGeometryWasDrawn)
{
    // Identity camera: the lamp's volume covers the upper right of the screen, where the cleared
    // buffers hold a grey "normal" that faces it and a "position" within its range.
    auto draws = [this] {
        const uint64_t before = mDevice->Counters().mDraws;
        mLoom->Update();
        return mDevice->Counters().mDraws - before;
    };
    const uint64_t unlit = draws();
    // The loom hands its sun's lights over: one volume drawn per lamp.
    Lamp(Vector3(0.9f, 0.9f, 0.0f), 1.0f, 1, 0, 0, Color(1, 1, 1, 1));
    EXPECT_EQ(draws(), unlit + 1);
    Image frame;
    ASSERT_TRUE(mDevice->ReadBack(nullptr, frame));
    for (const auto& [x, y] : {std::pair{700, 100}, std::pair{500, 200}, std::pair{780, 20}, std::pair{10, 590}})
        EXPECT_EQ(frame.GetARGB(x, y), 0xFF808080u) << x << "," << y;
}
