#include "graphics/render/DeferredRenderer.h"

#include "LOOM/assets/AssetManager.h"
#include "LOOM/console/Console.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/effect/Shader.h"
#include "graphics/effect/ShaderControl.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/ModelStores.h"
#include "graphics/render/PostProcessor.h"
#include "graphics/render/RenderQueue.h"
#include "graphics/sky/Light.h"

namespace {
// Clip space to buffer coordinates: x and y from [-1, 1] to [0, 1] with v down.
const Matrix4 kClipToTexture(0.5f, 0.0f, 0.0f, 0.0f, 0.0f, -0.5f, 0.0f, 0.0f, 0.0f, 0.0f, -0.5f, 0.0f, 0.5f, 0.5f, 0.5f,
                             1.0f);
} // namespace

const std::string DeferredRenderer::kVolumeMesh = "Models\\UnitSphere.LMF";

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

void DeferredRenderer::Resolve(const FxEffect& effect)
{
    if (mHandles.mEffect == &effect)
        return;
    mHandles.mEffect = &effect;
    mHandles.mDeferred = effect.GetTechniqueByName("Deferred");
    mHandles.mLightVolume = effect.GetTechniqueByName("LightVolume");
    mHandles.mFrameTime = effect.GetParameterByName("FrameTime");
    mHandles.mQuadScreenSize = effect.GetParameterByName("QuadScreenSize");
    mHandles.mDestScreenSize = effect.GetParameterByName("DestScreenSize");
    static const char* const kSources[kBuffers] = {"Source0", "Source1", "Source2"};
    for (uint32_t i = 0; i < kBuffers; ++i)
        mHandles.mSources[i] = effect.GetParameterByName(kSources[i]);
    mHandles.mTextureMatrix = effect.GetParameterByName("TextureMatrix");
    mHandles.mLightPosition = effect.GetParameterByName("VolLightPosition");
    mHandles.mAtt[0] = effect.GetParameterByName("Att0");
    mHandles.mAtt[1] = effect.GetParameterByName("Att1");
    mHandles.mAtt[2] = effect.GetParameterByName("Att2");
    mHandles.mLightColor = effect.GetParameterByName("VLightColor");
}

void DeferredRenderer::Render(GraphicsDevice& device, RenderQueue& queue, PostProcessor& post, ShaderControl& shaders,
                              const std::vector<Light*>& lights, float frameTime, float gameTime, int32_t screenWidth,
                              int32_t screenHeight)
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

    static const std::string kLighting = "DeferredLighting";
    Shader* lighting = shaders.GetShader(kLighting);
    if (!lighting)
        return;
    FxEffect& effect = lighting->GetEffect();
    Resolve(effect);
    effect.SetTechnique(mHandles.mDeferred);
    effect.SetFloat(mHandles.mFrameTime, gameTime);
    const float quarter[4] = {float(screenWidth) / 4.0f, float(screenHeight) / 4.0f, float(screenWidth) / 4.0f,
                              float(screenHeight) / 4.0f};
    effect.SetFloatArray(mHandles.mQuadScreenSize, quarter, 4);
    effect.SetFloatArray(mHandles.mDestScreenSize, quarter, 2);
    for (uint32_t i = 0; i < kBuffers; ++i)
        effect.SetTexture(mHandles.mSources[i], mTextures[i].get());
    post.DrawQuad(*lighting);
    DrawLightVolumes(device, *lighting, shaders.Frame(), lights);
}

void DeferredRenderer::DrawLightVolumes(GraphicsDevice& device, Shader& lighting, const FrameMatrices& frame,
                                        const std::vector<Light*>& lights)
{
    if (lights.empty() || !ModelStores::sMeshes)
        return;
    FxEffect& effect = lighting.GetEffect();
    if (!effect.SetTechnique(mHandles.mLightVolume))
        return;
    Ref<Mesh> sphere = ModelStores::sMeshes->GetRef(kVolumeMesh);
    if (!sphere)
        return;
    if (sphere->IsBuilt() && sphere->GetPartCount() > 0)
    {
        effect.SetMatrix(mHandles.mTextureMatrix, frame.mView * frame.mProjection * kClipToTexture);
        lighting.Begin();
        sphere->BindBuffers(device);
        for (Light* light : lights)
        {
            // A switched-off light adds nothing; nor does one without a range, whose flipped
            // sphere would be drawn inside out.
            if (!light->mActive || !(light->mRange > 0.0f))
                continue;
            const Vector3 position = light->GetPosition();
            Matrix4 world;
            world.FromPosScale(position, Vector3(light->mRange, light->mRange, light->mRange));
            lighting.SetWorldMatrices(world);
            const float at[3] = {position.x, position.y, position.z};
            effect.SetFloatArray(mHandles.mLightPosition, at, 3);
            effect.SetFloat(mHandles.mAtt[0], light->mAttenuation0);
            effect.SetFloat(mHandles.mAtt[1], light->mAttenuation1);
            effect.SetFloat(mHandles.mAtt[2], light->mAttenuation2);
            const Color& c = light->mDiffuse;
            const float color[4] = {c.r, c.g, c.b, c.a};
            effect.SetFloatArray(mHandles.mLightColor, color, 4);
            lighting.ForEachPass([&] { sphere->DrawPart(device, 0); });
        }
        lighting.End();
    }
}
