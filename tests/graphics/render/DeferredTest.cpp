#include <gtest/gtest.h>

#include <memory>

#include "graphics/Renderable.h"
#include "graphics/effect/Shader.h"
#include "graphics/render/DeferredRenderer.h"
#include "graphics/render/RenderQueue.h"
#include "tests/graphics/overlay/GameLoomFixture.h"

namespace {

// A red quad over the left half of the screen, facing the viewer, in clip space.
class HalfScreenQuad : public Renderable
{
public:
    explicit HalfScreenQuad(GraphicsDevice& device)
    {
        struct V
        {
            float p[3], n[3], uv[2];
        };
        const V quad[4] = {{{-1, 1, 0.5f}, {0, 0, -1}, {0, 0}},
                           {{0, 1, 0.5f}, {0, 0, -1}, {1, 0}},
                           {{-1, -1, 0.5f}, {0, 0, -1}, {0, 1}},
                           {{0, -1, 0.5f}, {0, 0, -1}, {1, 1}}};
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
        static const float red[4] = {1, 0, 0, 1};
        shader->SetMatrix(Shader::World, Matrix4());
        shader->SetMatrix(Shader::WorldViewProjection, Matrix4());
        shader->SetColor(Shader::Diffuse, red);
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
    HalfScreenQuad quad(*mDevice);
    RenderQueue& queue = *mLoom->GetRenderQueue();
    queue.Reset();
    RenderQueueEntry* entry = queue.NextEntry();
    entry->mRenderable = &quad;
    queue.Add(entry);
    queue.RenderDeferredGeometry(0.0f);
    EXPECT_EQ(quad.mDraws, 1);

    mLoom->GetDeferred()->Render(*mDevice, queue, *mLoom->GetPostProcessor(), mLoom->GetShaderControl(), 0.0f, 0.0f,
                                 800, 600);
    Image frame;
    ASSERT_TRUE(mDevice->ReadBack(nullptr, frame));
    // Red lit by the ambient light only (the sun shines down on a quad facing the viewer).
    const uint32_t lit = frame.GetARGB(200, 300);
    EXPECT_NEAR(int((lit >> 16) & 0xFF), 77, 3);
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
