#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/device/GraphicsDevice.h"

// The GUI's quads: gathered on the CPU, written into one dynamic vertex buffer (appending,
// discarded when full or at a new frame) and drawn through a static index buffer, one draw
// per texture change. Screen pixels in, the device's states as the caller set them.
class GuiQuads
{
public:
    static constexpr uint32_t kQuads = 4096;

    explicit GuiQuads(GraphicsDevice& device);
    // The next write starts the buffer afresh.
    void BeginFrame() { mDiscard = true; }
    void SetTexture(GpuTexture* texture);
    GpuTexture* GetTexture() const { return mTexture; }
    void SetColor(uint32_t argb) { mColor = argb; }
    void Add(float left, float top, float right, float bottom, float u0, float v0, float u1, float v1);
    // Corners as x, y pairs: top-left, top-right, bottom-left, bottom-right.
    void AddCorners(const float xy[8], float u0, float v0, float u1, float v1);
    // The same corners, each with its own u, v pair.
    void AddCorners(const float xy[8], const float uv[8]);
    void Flush();
    uint32_t GetDrawCount() const { return mDraws; }
    void ResetDrawCount() { mDraws = 0; }
    void OnDeviceLost();
    void OnDeviceReset();

private:
    void CreateBuffers();

    GraphicsDevice& mDevice;
    std::unique_ptr<VertexLayout> mLayout;
    std::unique_ptr<GpuBuffer> mVertices;
    std::unique_ptr<GpuBuffer> mIndices;
    std::vector<GraphicsDevice::TexturedVertex> mPending;
    GpuTexture* mTexture = nullptr;
    uint32_t mColor = 0xFFFFFFFF;
    uint32_t mUsed = 0;
    bool mDiscard = true;
    uint32_t mDraws = 0;
};
