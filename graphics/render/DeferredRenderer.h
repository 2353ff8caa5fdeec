#pragma once
#include <array>
#include <cstdint>
#include <memory>

class GpuTexture;
class GraphicsDevice;
class PostProcessor;
class RenderQueue;
class ShaderControl;

// The deferred path: the queued geometry goes into three floating-point buffers (colour,
// normal, position) that one full-screen pass lights. Light volumes need the unit-sphere
// mesh and scene lights; without them the combine pass alone lights the frame.
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

    // The frame's scene: geometry pass, then the combine pass into the target the frame ends in.
    void Render(GraphicsDevice& device, RenderQueue& queue, PostProcessor& post, ShaderControl& shaders, float frameTime,
                float gameTime, int32_t screenWidth, int32_t screenHeight);

private:
    void Create(GraphicsDevice& device);
    std::array<std::unique_ptr<GpuTexture>, kBuffers> mTextures;
    bool mWanted = false;
};
