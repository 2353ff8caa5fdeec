#include <gtest/gtest.h>

#include "tests/graphics/device/DeviceFixture.h"

class BuiltinPrograms : public DeviceFixture, public ::testing::WithParamInterface<BackBuffer>
{
protected:
    void SetUp() override
    {
        mBackBuffer = GetParam();
        ASSERT_NO_FATAL_FAILURE(DeviceFixture::SetUp());
        for (TransformKind kind : {TransformKind::World, TransformKind::View, TransformKind::Projection})
            mDevice->SetTransform(kind, Matrix4::Identity());
        mDevice->Clear(ClearTarget | ClearZBuffer | ClearStencil, kGrey, 1.0f, 0);
    }
    // A full-screen quad in clip space through the world-quad program.
    void FullQuad(uint32_t color)
    {
        using V = GraphicsDevice::TexturedVertex;
        const V v[4] = {{-1, 1, 0.5f, color, 0, 0},
                        {1, 1, 0.5f, color, 1, 0},
                        {-1, -1, 0.5f, color, 0, 1},
                        {1, -1, 0.5f, color, 1, 1}};
        mDevice->SetTexture(0, nullptr);
        mDevice->SetVertexLayout(mTexturedLayout.get());
        mDevice->UseBuiltin(GraphicsDevice::Builtin::WorldQuads);
        mDevice->DrawUser(PrimitiveType::TriangleStrip, 2, v, sizeof(V));
    }
};

INSTANTIATE_TEST_SUITE_P(Device, BuiltinPrograms, ::testing::Values(BackBuffer::Own, BackBuffer::Window),
                         BackBufferName);

TEST_P(BuiltinPrograms, PointSpriteTopRowIsTheTextureTopRow)
{
    TextureDesc desc;
    desc.mWidth = desc.mHeight = 2;
    auto texture = mDevice->CreateTexture(desc);
    const uint8_t texels[16] = {255, 0, 0, 255, 255, 0, 0, 255, 0, 0, 255, 255, 0, 0, 255, 255};
    ASSERT_TRUE(texture->Upload(0, 0, texels, sizeof(texels)));
    SamplerState point;
    point.mMin = point.mMag = TextureFilter::Point;
    point.mMipEnable = false;
    mDevice->SetSamplerState(0, point);
    mDevice->SetTexture(0, texture.get());
    mDevice->States().mPointSize = 16.0f;
    const GraphicsDevice::ColorVertex v = {0.0f, 0.0f, 0.5f, 0xFFFFFFFF};
    mDevice->SetVertexLayout(mColorLayout.get());
    mDevice->UseBuiltin(GraphicsDevice::Builtin::PointSprites);
    mDevice->DrawUser(PrimitiveType::PointList, 1, &v, sizeof(v));
    EXPECT_EQ(PixelAt(32, 27), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(32, 37), 0xFF0000FFu);
    EXPECT_EQ(PixelAt(32, 45), kGrey);
}

TEST_P(BuiltinPrograms, LinesFollowTheTransforms)
{
    // Moved right by half the screen: a vertical line through clip x = 0.5.
    mDevice->SetTransform(TransformKind::World, Matrix4::Translation(Vector3(0.5f, 0.0f, 0.0f)));
    const GraphicsDevice::ColorVertex line[2] = {{0.0f, 1.0f, 0.5f, 0xFF3232FF}, {0.0f, -1.0f, 0.5f, 0xFF3232FF}};
    mDevice->SetVertexLayout(mColorLayout.get());
    mDevice->UseBuiltin(GraphicsDevice::Builtin::Lines);
    mDevice->DrawUser(PrimitiveType::LineList, 1, line, sizeof(GraphicsDevice::ColorVertex));
    Image image;
    ASSERT_TRUE(mDevice->ReadBack(nullptr, image));
    int hits = 0;
    for (uint32_t x = 46; x <= 50; ++x)
        hits += image.GetARGB(x, 20) == 0xFF3232FFu;
    EXPECT_EQ(hits, 1);
    EXPECT_EQ(image.GetARGB(32, 20), kGrey);
}

TEST_P(BuiltinPrograms, ClipPlaneCutsInEngineClipSpace)
{
    const float keepRight[4] = {1.0f, 0.0f, 0.0f, 0.0f};
    mDevice->SetClipPlane(0, keepRight);
    mDevice->States().mClipPlaneMask = 1;
    FullQuad(0xFF00FF00);
    EXPECT_EQ(PixelAt(10, 10), kGrey);
    EXPECT_EQ(PixelAt(54, 10), 0xFF00FF00u);
    mDevice->States().mClipPlaneMask = 0;
    FullQuad(0xFF0000FF);
    EXPECT_EQ(PixelAt(54, 10), 0xFF0000FFu);
    EXPECT_EQ(PixelAt(10, 10), 0xFF0000FFu);
}

TEST_P(BuiltinPrograms, TwoSidedStencilCountsEachWindingApart)
{
    RenderStates& s = mDevice->States();
    s.mCull = CullMode::None;
    s.mStencilEnable = true;
    s.mTwoSidedStencil = true;
    s.mColorMask = 0;
    s.mStencil = {CompareFunc::Always, StencilOp::Keep, StencilOp::Keep, StencilOp::Incr};
    s.mStencilCcw = {CompareFunc::Always, StencilOp::Keep, StencilOp::Keep, StencilOp::Decr};
    using V = GraphicsDevice::TexturedVertex;
    // Clockwise over the left half, counter-clockwise over the whole screen.
    const V cw[6] = {{0, 0, 0.5f, 0, 0, 0},  {32, 0, 0.5f, 0, 0, 0},  {0, 64, 0.5f, 0, 0, 0},
                     {32, 0, 0.5f, 0, 0, 0}, {32, 64, 0.5f, 0, 0, 0}, {0, 64, 0.5f, 0, 0, 0}};
    const V ccw[6] = {{0, 0, 0.5f, 0, 0, 0},  {0, 64, 0.5f, 0, 0, 0}, {64, 0, 0.5f, 0, 0, 0},
                      {64, 0, 0.5f, 0, 0, 0}, {0, 64, 0.5f, 0, 0, 0}, {64, 64, 0.5f, 0, 0, 0}};
    mDevice->SetVertexLayout(mTexturedLayout.get());
    mDevice->UseBuiltin(GraphicsDevice::Builtin::ScreenText);
    mDevice->DrawUser(PrimitiveType::TriangleList, 2, cw, sizeof(V));
    mDevice->DrawUser(PrimitiveType::TriangleList, 2, cw, sizeof(V));
    mDevice->DrawUser(PrimitiveType::TriangleList, 2, ccw, sizeof(V));
    // Stencil started at 0: left half 0 + 2 - 1 = 1, right half 0 - 1 wraps to 255.
    s = RenderStates{};
    s.mStencilEnable = true;
    s.mStencil.mFunc = CompareFunc::Equal;
    s.mStencilRef = 1;
    s.mDepthFunc = CompareFunc::Always;
    DrawRect(0, 0, 64, 64, 0xFFFF0000);
    EXPECT_EQ(PixelAt(10, 10), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(54, 10), kGrey);
}

TEST_P(BuiltinPrograms, DiscardLockReplacesADynamicBuffersContents)
{
    using V = GraphicsDevice::TexturedVertex;
    V quad[4] = {{0, 0, 0.5f, 0xFFFF0000, 0, 0},
                 {16, 0, 0.5f, 0xFFFF0000, 0, 0},
                 {0, 16, 0.5f, 0xFFFF0000, 0, 0},
                 {16, 16, 0.5f, 0xFFFF0000, 0, 0}};
    auto vb = mDevice->CreateVertexBuffer(sizeof(quad) * 2, true);
    ASSERT_TRUE(vb->Write(0, quad, sizeof(quad), LockFlag::Discard));
    mDevice->SetVertexLayout(mTexturedLayout.get());
    mDevice->SetStreamSource(vb.get(), 0, sizeof(V));
    mDevice->UseBuiltin(GraphicsDevice::Builtin::ScreenText);
    mDevice->Draw(PrimitiveType::TriangleStrip, 0, 2);
    EXPECT_EQ(PixelAt(8, 8), 0xFFFF0000u);
    for (V& v : quad)
        v.mColor = 0xFF00FF00, v.mX += 32;
    // The second half, promised not to touch what the first draw used.
    ASSERT_TRUE(vb->Write(sizeof(quad), quad, sizeof(quad), LockFlag::NoOverwrite));
    mDevice->Draw(PrimitiveType::TriangleStrip, 4, 2);
    EXPECT_EQ(PixelAt(40, 8), 0xFF00FF00u);
    for (V& v : quad)
        v.mColor = 0xFF0000FF, v.mX -= 32, v.mY += 32;
    ASSERT_TRUE(vb->Write(0, quad, sizeof(quad), LockFlag::Discard));
    mDevice->Draw(PrimitiveType::TriangleStrip, 0, 2);
    EXPECT_EQ(PixelAt(8, 40), 0xFF0000FFu);
}
