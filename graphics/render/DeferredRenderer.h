#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "graphics/effect/FxEffect.h"

struct FrameMatrices;
class GpuTexture;
class GraphicsDevice;
class Light;
class PostProcessor;
class RenderQueue;
class Shader;
class ShaderControl;

// The deferred path: the queued geometry goes into three floating-point buffers (colour,
// normal, position); one full-screen pass lights them with the ambient light and the sun,
// then a unit sphere scaled to each light's range adds that light where it reaches.
class DeferredRenderer
{
public:
    static constexpr uint32_t kWidth = 800;
    static constexpr uint32_t kHeight = 600;
    static constexpr uint32_t kBuffers = 3;

    DeferredRenderer();
    ~DeferredRenderer();

    // On: makes the buffers when there are none; off: releases them.
    void Enable(GraphicsDevice* device, bool on);
    bool IsEnabled() const { return mTextures[0] != nullptr; }
    GpuTexture* GetBuffer(uint32_t index) const { return mTextures[index].get(); }
    void OnLostDevice();
    void OnResetDevice(GraphicsDevice* device);

    // The light volumes' mesh, from the mesh store.
    static const std::string kVolumeMesh;

    // The frame's scene: geometry pass, then the combine pass and the lights' volumes into the
    // target the frame ends in.
    void Render(GraphicsDevice& device, RenderQueue& queue, PostProcessor& post, ShaderControl& shaders,
                const std::vector<Light*>& lights, float frameTime, float gameTime, int32_t screenWidth,
                int32_t screenHeight);

private:
    // The lighting effect's handles, looked up again only when the effect changes.
    struct Handles
    {
        const FxEffect* mEffect = nullptr;
        FxEffect::Handle mDeferred = FxEffect::kNull;
        FxEffect::Handle mLightVolume = FxEffect::kNull;
        FxEffect::Handle mFrameTime = FxEffect::kNull;
        FxEffect::Handle mQuadScreenSize = FxEffect::kNull;
        FxEffect::Handle mDestScreenSize = FxEffect::kNull;
        FxEffect::Handle mSources[kBuffers] = {FxEffect::kNull, FxEffect::kNull, FxEffect::kNull};
        FxEffect::Handle mTextureMatrix = FxEffect::kNull;
        FxEffect::Handle mLightPosition = FxEffect::kNull;
        FxEffect::Handle mAtt[3] = {FxEffect::kNull, FxEffect::kNull, FxEffect::kNull};
        FxEffect::Handle mLightColor = FxEffect::kNull;
    };

    void Create(GraphicsDevice& device);
    void Resolve(const FxEffect& effect);
    void DrawLightVolumes(GraphicsDevice& device, Shader& lighting, const FrameMatrices& frame,
                          const std::vector<Light*>& lights);
    Handles mHandles;
    std::array<std::unique_ptr<GpuTexture>, kBuffers> mTextures;
    bool mWanted = false;
};
