#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/device/GraphicsDevice.h"

// Alpha blending on, depth and culling off: the states of 2-D drawing over the frame.
void SetScreenQuadStates(RenderStates& states);

// Screen-space textured, coloured quads in back-buffer pixels, drawn in batches: the GUI's
// 2-D drawing and the console overlay share it. A texture change or a full batch flushes.
class QuadBatcher
{
public:
    static constexpr uint32_t kBatchQuads = 256;

    explicit QuadBatcher(GraphicsDevice& device);
    // Alpha blending on, depth and culling off; the device's states are restored by End.
    void Begin();
    void SetTexture(GpuTexture* texture);
    void SetColor(uint32_t argb) { mColor = argb; }
    // A quad from (left, top) to (right, bottom) with texture coordinates (u0, v0)-(u1, v1).
    void AddQuad(float left, float top, float right, float bottom, float u0 = 0.0f, float v0 = 0.0f, float u1 = 1.0f,
                 float v1 = 1.0f);
    void Flush();
    void End();
    uint32_t GetDrawCount() const { return mDraws; }

private:
    GraphicsDevice& mDevice;
    std::unique_ptr<VertexLayout> mLayout;
    std::vector<GraphicsDevice::TexturedVertex> mVertices;
    GpuTexture* mTexture = nullptr;
    uint32_t mColor = 0xFFFFFFFF;
    uint32_t mDraws = 0;
    bool mBegun = false;
    RenderStates mSaved;
};
