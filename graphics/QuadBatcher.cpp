#include "graphics/QuadBatcher.h"

void SetScreenQuadStates(RenderStates& states)
{
    states.mDepthEnable = false;
    states.mDepthWrite = false;
    states.mCull = CullMode::None;
    states.mBlendEnable = true;
    states.mSrcBlend = BlendFactor::SrcAlpha;
    states.mDestBlend = BlendFactor::InvSrcAlpha;
    states.mBlendOp = BlendOp::Add;
    states.mFill = FillMode::Solid;
}

QuadBatcher::QuadBatcher(GraphicsDevice& device) : mDevice(device)
{
    mLayout = mDevice.CreateVertexLayout(TexturedVertexElements());
    mVertices.reserve(kBatchQuads * 6);
}

void QuadBatcher::Begin()
{
    mSaved = mDevice.States();
    SetScreenQuadStates(mDevice.States());
    mDraws = 0;
    mBegun = true;
}

void QuadBatcher::SetTexture(GpuTexture* texture)
{
    if (texture == mTexture)
        return;
    Flush();
    mTexture = texture;
}

void QuadBatcher::AddQuad(float left, float top, float right, float bottom, float u0, float v0, float u1, float v1)
{
    if (mVertices.size() + 6 > kBatchQuads * 6)
        Flush();
    const uint32_t c = mColor;
    const GraphicsDevice::TexturedVertex quad[6] = {{left, top, 0.0f, c, u0, v0},     {right, top, 0.0f, c, u1, v0},
                                                    {left, bottom, 0.0f, c, u0, v1},  {right, top, 0.0f, c, u1, v0},
                                                    {right, bottom, 0.0f, c, u1, v1}, {left, bottom, 0.0f, c, u0, v1}};
    mVertices.insert(mVertices.end(), quad, quad + 6);
}

void QuadBatcher::Flush()
{
    if (mVertices.empty() || !mBegun)
    {
        mVertices.clear();
        return;
    }
    mDevice.SetTexture(0, mTexture);
    mDevice.SetVertexLayout(mLayout.get());
    mDevice.UseBuiltin(GraphicsDevice::Builtin::ScreenText);
    mDevice.DrawUser(PrimitiveType::TriangleList, uint32_t(mVertices.size() / 3), mVertices.data(),
                     sizeof(GraphicsDevice::TexturedVertex));
    mVertices.clear();
    ++mDraws;
}

void QuadBatcher::End()
{
    Flush();
    if (!mBegun)
        return;
    mBegun = false;
    mDevice.States() = mSaved;
    mDevice.SetTexture(0, nullptr);
    mTexture = nullptr;
}
