#include "graphics/guisystem/GuiQuads.h"

#include <cstring>

namespace {

constexpr uint32_t kStride = sizeof(GraphicsDevice::TexturedVertex);

} // namespace

GuiQuads::GuiQuads(GraphicsDevice& device) : mDevice(device)
{
    mLayout = mDevice.CreateVertexLayout(TexturedVertexElements());
    mPending.reserve(size_t(kQuads) * 4);
    CreateBuffers();
}

void GuiQuads::CreateBuffers()
{
    mVertices = mDevice.CreateVertexBuffer(kQuads * 4 * kStride, true);
    std::vector<uint16_t> indices(size_t(kQuads) * 6);
    for (uint32_t q = 0; q < kQuads; ++q)
    {
        const auto v = uint16_t(q * 4);
        const uint16_t quad[6] = {
            v, uint16_t(v + 1), uint16_t(v + 2), uint16_t(v + 1), uint16_t(v + 3), uint16_t(v + 2)};
        std::memcpy(&indices[size_t(q) * 6], quad, sizeof(quad));
    }
    mIndices = mDevice.CreateIndexBuffer(uint32_t(indices.size() * sizeof(uint16_t)), false, false);
    if (mIndices)
        mIndices->Write(0, indices.data(), uint32_t(indices.size() * sizeof(uint16_t)));
    mUsed = 0;
    mDiscard = true;
}

void GuiQuads::SetTexture(GpuTexture* texture)
{
    if (texture == mTexture)
        return;
    Flush();
    mTexture = texture;
}

void GuiQuads::Add(float left, float top, float right, float bottom, float u0, float v0, float u1, float v1)
{
    const float xy[8] = {left, top, right, top, left, bottom, right, bottom};
    AddCorners(xy, u0, v0, u1, v1);
}

void GuiQuads::AddCorners(const float xy[8], float u0, float v0, float u1, float v1)
{
    const float uv[8] = {u0, v0, u1, v0, u0, v1, u1, v1};
    AddCorners(xy, uv);
}

void GuiQuads::AddCorners(const float xy[8], const float uv[8])
{
    if (mPending.size() + 4 > size_t(kQuads) * 4)
        Flush();
    const uint32_t c = mColor;
    for (int i = 0; i < 8; i += 2)
        mPending.push_back({xy[i], xy[i + 1], 0.0f, c, uv[i], uv[i + 1]});
}

void GuiQuads::Flush()
{
    const auto quads = uint32_t(mPending.size() / 4);
    if (quads == 0 || !mVertices || !mIndices)
    {
        mPending.clear();
        return;
    }
    if (mUsed + quads > kQuads)
        mDiscard = true;
    if (mDiscard)
        mUsed = 0;
    void* target =
        mVertices->Lock(mUsed * 4 * kStride, quads * 4 * kStride, mDiscard ? LockFlag::Discard : LockFlag::NoOverwrite);
    if (!target)
    {
        mPending.clear();
        return;
    }
    std::memcpy(target, mPending.data(), size_t(quads) * 4 * kStride);
    mVertices->Unlock();
    mDevice.SetTexture(0, mTexture);
    mDevice.SetVertexLayout(mLayout.get());
    mDevice.SetStreamSource(mVertices.get(), 0, kStride);
    mDevice.SetIndices(mIndices.get());
    mDevice.UseBuiltin(GraphicsDevice::Builtin::ScreenText);
    mDevice.DrawIndexed(PrimitiveType::TriangleList, int32_t(mUsed * 4), 0, quads * 2);
    mUsed += quads;
    mDiscard = false;
    mPending.clear();
    ++mDraws;
}

void GuiQuads::OnDeviceLost()
{
    mPending.clear();
    mVertices.reset();
    mIndices.reset();
}

void GuiQuads::OnDeviceReset()
{
    if (!mVertices)
        CreateBuffers();
}
