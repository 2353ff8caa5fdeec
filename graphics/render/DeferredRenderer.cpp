#include "graphics/render/DeferredRenderer.h"

#include "LOOM/console/Console.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/effect/Shader.h"
#include "graphics/effect/ShaderControl.h"
#include "graphics/render/PostProcessor.h"
#include "graphics/render/RenderQueue.h"

DeferredRenderer::DeferredRenderer() = default;
DeferredRenderer::~DeferredRenderer() = default;

void DeferredRenderer::Create(GraphicsDevice& device)
{
    for (auto& texture : mTextures)
    {
        TextureDesc desc;
        desc.mFormat = TextureFormat::RGBA16F;
        desc.mWidth = kWidth;
        desc.mHeight = kHeight;
        desc.mRenderTarget = true;
        texture = device.CreateTexture(desc);
        if (!texture)
            Console::Instance().Log("Failed to Create Deferred Buffer", LogError);
    }
}

void DeferredRenderer::Enable(GraphicsDevice* device, bool on)
{
    mWanted = on;
    if (!on)
    {
        for (auto& texture : mTextures)
            texture.reset();
        return;
    }
    if (!IsEnabled() && device)
        Create(*device);
}

void DeferredRenderer::OnLostDevice()
{
    for (auto& texture : mTextures)
        texture.reset();
}

void DeferredRenderer::OnResetDevice(GraphicsDevice* device)
{
    if (mWanted && device)
        Create(*device);
}

void DeferredRenderer::Render(GraphicsDevice& device, RenderQueue& queue, PostProcessor& post, ShaderControl& shaders,
                              float frameTime, float gameTime, int32_t screenWidth, int32_t screenHeight)
{
    post.BeginFrame();
    GpuTexture* saved = device.GetRenderTarget(0);
    bool set = true;
    for (uint32_t i = 0; i < kBuffers; ++i)
        set = device.SetRenderTarget(i, mTextures[i].get()) && set;
    if (!set)
        Console::Instance().Log("Failed Set", LogError);
    device.Clear(ClearTarget | ClearZBuffer | ClearStencil, 0xFF808080, 1.0f, 0);
    queue.RenderDeferredGeometry(frameTime);

    device.SetRenderTarget(2, nullptr);
    device.SetRenderTarget(1, nullptr);
    device.SetRenderTarget(0, saved);
    device.Clear(ClearTarget | ClearStencil, 0xFF000000, 1.0f, 0);

    Shader* lighting = shaders.GetShader("DeferredLighting");
    if (!lighting)
        return;
    FxEffect& effect = lighting->GetEffect();
    effect.SetTechnique(effect.GetTechniqueByName("Deferred"));
    effect.SetFloat(effect.GetParameterByName("FrameTime"), gameTime);
    const float quarter[4] = {float(screenWidth) / 4.0f, float(screenHeight) / 4.0f, float(screenWidth) / 4.0f,
                              float(screenHeight) / 4.0f};
    effect.SetFloatArray(effect.GetParameterByName("QuadScreenSize"), quarter, 4);
    effect.SetFloatArray(effect.GetParameterByName("DestScreenSize"), quarter, 2);
    effect.SetTexture(effect.GetParameterByName("Source0"), mTextures[0].get());
    effect.SetTexture(effect.GetParameterByName("Source1"), mTextures[1].get());
    effect.SetTexture(effect.GetParameterByName("Source2"), mTextures[2].get());
    post.DrawQuad(*lighting);
}
