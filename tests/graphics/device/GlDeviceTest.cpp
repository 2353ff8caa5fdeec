#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <stb_image.h>

#include <cstdio>
#include <filesystem>
#include <utility>
#include <vector>

#include "graphics/device/GlErrors.h"
#include "tests/graphics/device/DeviceFixture.h"

namespace {

uint32_t Channel(uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

} // namespace

INSTANTIATE_TEST_SUITE_P(Device, EachBackBuffer, ::testing::Values(BackBuffer::Own, BackBuffer::Window),
                         BackBufferName);

TEST_P(EachBackBuffer, ClearReadsBackExactlyAndPresentKeepsTheFrame)
{
    mDevice->Clear(ClearTarget | ClearZBuffer | ClearStencil, kGrey, 1.0f, 128);
    EXPECT_EQ(PixelAt(0, 0), kGrey);
    EXPECT_EQ(PixelAt(63, 63), kGrey);
    EXPECT_TRUE(mDevice->Present());
    EXPECT_EQ(mDevice->Counters().mPresents, 1u);
}

TEST_P(EachBackBuffer, ClearOpensTheMasksFirst)
{
    mDevice->States().mColorMask = 0;
    mDevice->States().mDepthWrite = false;
    DrawRect(0, 0, 1, 1, 0xFF000000);
    mDevice->Clear(ClearTarget | ClearZBuffer, 0xFF102030, 1.0f, 0);
    EXPECT_EQ(PixelAt(5, 5), 0xFF102030u);
}

TEST_P(EachBackBuffer, TopLeftQuadLandsTopLeft)
{
    using Pixels = std::vector<std::pair<uint32_t, uint32_t>>;
    struct Case
    {
        const char* mWhat;
        int32_t mViewport[4]; // left, top, width, height; a zero width keeps the full one
        uint32_t mColour;
        Pixels mInside, mOutside;
    };
    // A viewport's rows count from the top as well.
    const Case cases[] = {
        {"full viewport", {0, 0, 0, 0}, 0xFFFF0000, {{1, 1}, {15, 7}}, {{1, 9}, {17, 1}, {1, 62}}},
        {"viewport at 8,4", {8, 4, 16, 8}, 0xFF0000FF, {{8, 4}, {23, 11}}, {{8, 12}, {8, 3}, {24, 4}}}};
    for (const Case& c : cases)
    {
        mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
        if (c.mViewport[2] > 0)
            mDevice->SetViewport(c.mViewport[0], c.mViewport[1], c.mViewport[2], c.mViewport[3], 0.0f, 1.0f);
        DrawRect(0, 0, 16, 8, c.mColour);
        Image image;
        ASSERT_TRUE(mDevice->ReadBack(nullptr, image)) << c.mWhat;
        for (const auto& [x, y] : c.mInside)
            EXPECT_EQ(image.GetARGB(x, y), c.mColour) << c.mWhat << " at " << x << "," << y;
        for (const auto& [x, y] : c.mOutside)
            EXPECT_EQ(image.GetARGB(x, y), kGrey) << c.mWhat << " at " << x << "," << y;
    }
}

TEST_P(EachBackBuffer, WindingAndCullModes)
{
    struct Case
    {
        CullMode mCull;
        bool mClockwise;
        bool mDrawn;
    };
    const Case cases[] = {{CullMode::CCW, true, true}, {CullMode::CCW, false, false}, {CullMode::CW, true, false},
                          {CullMode::CW, false, true}, {CullMode::None, true, true},  {CullMode::None, false, true}};
    for (const Case& c : cases)
    {
        mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
        mDevice->States().mCull = c.mCull;
        using V = GraphicsDevice::TexturedVertex;
        // Top-left, top-right, bottom-left is clockwise on a screen whose y runs down.
        V cw[3] = {{0, 0, 0.5f, 0xFF00FF00, 0, 0}, {64, 0, 0.5f, 0xFF00FF00, 0, 0}, {0, 64, 0.5f, 0xFF00FF00, 0, 0}};
        if (!c.mClockwise)
            std::swap(cw[1], cw[2]);
        mDevice->SetTexture(0, nullptr);
        mDevice->SetVertexLayout(mTexturedLayout.get());
        mDevice->UseBuiltin(GraphicsDevice::Builtin::ScreenText);
        mDevice->DrawUser(PrimitiveType::TriangleList, 1, cw, sizeof(V));
        EXPECT_EQ(PixelAt(4, 4) == 0xFF00FF00u, c.mDrawn) << int(c.mCull) << " clockwise " << c.mClockwise;
    }
}

TEST_P(EachBackBuffer, NearerQuadWinsAndFarPlanePassesLessEqual)
{
    mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
    DrawRect(0, 0, 32, 32, 0xFF0000FF, 0.25f);
    DrawRect(0, 0, 32, 32, 0xFFFF0000, 0.75f);
    EXPECT_EQ(PixelAt(4, 4), 0xFF0000FFu);
    DrawRect(32, 32, 64, 64, 0xFF00FF00, 1.0f);
    EXPECT_EQ(PixelAt(40, 40), 0xFF00FF00u);
    mDevice->States().mDepthFunc = CompareFunc::Less;
    DrawRect(32, 32, 64, 64, 0xFFFF0000, 1.0f);
    EXPECT_EQ(PixelAt(40, 40), 0xFF00FF00u);
}

TEST_P(EachBackBuffer, AlphaTestDropsFragments)
{
    mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
    mDevice->States().mAlphaTest = true;
    mDevice->States().mAlphaFunc = CompareFunc::Greater;
    mDevice->States().mAlphaRef = 0x80;
    DrawRect(0, 0, 8, 8, 0x40FF0000);
    DrawRect(8, 0, 16, 8, 0xC0FF0000);
    EXPECT_EQ(PixelAt(2, 2), kGrey);
    EXPECT_EQ(PixelAt(10, 2), 0xFFFF0000u);
}

TEST_P(EachBackBuffer, RenderTargetRoundTripKeepsTopRowOnTop)
{
    auto target = RenderTarget(32);
    ASSERT_NE(target, nullptr);
    ASSERT_TRUE(mDevice->SetRenderTarget(0, target.get()));
    mDevice->Clear(ClearTarget | ClearZBuffer, 0xFF0000FF, 1.0f, 0);
    DrawRect(0, 0, 32, 8, 0xFF00FF00);
    EXPECT_EQ(PixelAt(1, 1, target.get()), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(1, 30, target.get()), 0xFF0000FFu);
    ASSERT_TRUE(mDevice->SetRenderTarget(0, nullptr));
    mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
    SamplerState point;
    point.mMin = point.mMag = TextureFilter::Point;
    point.mMipEnable = false;
    mDevice->SetSamplerState(0, point);
    DrawRect(0, 0, 64, 64, 0xFFFFFFFF, 0.5f, target.get());
    mDevice->SetTexture(0, nullptr);
    EXPECT_EQ(PixelAt(2, 2), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(2, 60), 0xFF0000FFu);
}

TEST_P(EachBackBuffer, StretchCopyScalesBetweenTargetAndBackBuffer)
{
    auto target = RenderTarget(8);
    ASSERT_TRUE(mDevice->SetRenderTarget(0, target.get()));
    mDevice->Clear(ClearTarget | ClearZBuffer, 0xFFFF00FF, 1.0f, 0);
    DrawRect(0, 0, 8, 4, 0xFF00FFFF);
    ASSERT_TRUE(mDevice->SetRenderTarget(0, nullptr));
    mDevice->Clear(ClearTarget, kGrey, 1.0f, 0);
    const Rect dest{16, 16, 48, 48};
    ASSERT_TRUE(mDevice->StretchCopy(target.get(), nullptr, nullptr, &dest, false));
    EXPECT_EQ(PixelAt(17, 17), 0xFF00FFFFu);
    EXPECT_EQ(PixelAt(17, 46), 0xFFFF00FFu);
    EXPECT_EQ(PixelAt(8, 8), kGrey);
    // And back: the whole back buffer into the target.
    ASSERT_TRUE(mDevice->StretchCopy(nullptr, nullptr, target.get(), nullptr, false));
    EXPECT_EQ(PixelAt(0, 0, target.get()), kGrey);
    EXPECT_EQ(PixelAt(4, 3, target.get()), 0xFF00FFFFu);
    EXPECT_EQ(PixelAt(4, 4, target.get()), 0xFFFF00FFu);
}

TEST_P(EachBackBuffer, FourSamplesSmoothAnEdgeAndResetBack)
{
    DeviceDesc desc = mDevice->GetDesc();
    desc.mSamples = 4;
    ASSERT_TRUE(mDevice->Reset(desc));
    EXPECT_EQ(mDevice->GetDesc().mSamples, 4);
    mDevice->Clear(ClearTarget | ClearZBuffer, 0xFF000000, 1.0f, 0);
    using V = GraphicsDevice::TexturedVertex;
    const V tri[3] = {{0, 0, 0.5f, 0xFFFFFFFF, 0, 0}, {64, 0, 0.5f, 0xFFFFFFFF, 0, 0}, {0, 64, 0.5f, 0xFFFFFFFF, 0, 0}};
    mDevice->SetVertexLayout(mTexturedLayout.get());
    mDevice->UseBuiltin(GraphicsDevice::Builtin::ScreenText);
    mDevice->DrawUser(PrimitiveType::TriangleList, 1, tri, sizeof(V));
    Image image;
    ASSERT_TRUE(mDevice->ReadBack(nullptr, image));
    int partial = 0;
    for (uint32_t x = 0; x < 64; ++x)
    {
        const uint32_t red = Channel(image.GetARGB(x, 63 - x), 16);
        partial += red > 0 && red < 255;
    }
    EXPECT_GT(partial, 16);
    EXPECT_TRUE(mDevice->Present());
    desc.mSamples = 0;
    ASSERT_TRUE(mDevice->Reset(desc));
    mDevice->Clear(ClearTarget, kGrey, 1.0f, 0);
    EXPECT_EQ(PixelAt(3, 3), kGrey);
}

TEST_P(EachBackBuffer, ResetRefusesImpossibleSettingsAndKeepsTheOld)
{
    DeviceDesc desc = mDevice->GetDesc();
    for (DeviceDesc bad : {DeviceDesc{0, 0, true, false, 0}, DeviceDesc{64, 64, true, false, 4096},
                           DeviceDesc{1 << 20, 64, true, false, 0}})
    {
        EXPECT_FALSE(mDevice->Reset(bad));
        EXPECT_EQ(mDevice->GetWidth(), desc.mWidth);
    }
    desc.mWidth = 32;
    ASSERT_TRUE(mDevice->Reset(desc));
    Image image;
    ASSERT_TRUE(mDevice->ReadBack(nullptr, image));
    EXPECT_EQ(image.mWidth, 32u);
}

// The set-up check once ignored what it found: the fixture's device started clean, and a check
// after a faulty call must report it, by name, and only once.
TEST_P(EachBackBuffer, GlErrorsAreReportedByNameAndTakenOnce)
{
    std::string names = "stale";
    EXPECT_TRUE(TakeGlErrors(names));
    EXPECT_EQ(names, "");
    glEnable(0x7FFF);
    EXPECT_FALSE(TakeGlErrors(names));
    EXPECT_EQ(names, "GL_INVALID_ENUM");
    EXPECT_TRUE(TakeGlErrors(names));
}

TEST_P(EachBackBuffer, SimulatedLossRefusesPresentUntilReset)
{
    mDevice->Loss().Simulate(2);
    EXPECT_FALSE(mDevice->Present());
    EXPECT_EQ(mDevice->Loss().TestCooperativeLevel(), CooperativeLevel::Lost);
    EXPECT_EQ(mDevice->Loss().TestCooperativeLevel(), CooperativeLevel::Lost);
    EXPECT_EQ(mDevice->Loss().TestCooperativeLevel(), CooperativeLevel::NotReset);
    EXPECT_FALSE(mDevice->Present());
    ASSERT_TRUE(mDevice->Reset(mDevice->GetDesc()));
    EXPECT_EQ(mDevice->Loss().TestCooperativeLevel(), CooperativeLevel::Ok);
    EXPECT_TRUE(mDevice->Present());
}

TEST_P(EachBackBuffer, IndexedDrawWithBaseVertexAndSixteenBitIndices)
{
    using V = GraphicsDevice::TexturedVertex;
    // Two quads in one buffer; the second is drawn through a base vertex of 4.
    const V vertices[8] = {{0, 0, 0.5f, 0xFFFF0000, 0, 0},   {8, 0, 0.5f, 0xFFFF0000, 0, 0},
                           {0, 8, 0.5f, 0xFFFF0000, 0, 0},   {8, 8, 0.5f, 0xFFFF0000, 0, 0},
                           {32, 32, 0.5f, 0xFF00FF00, 0, 0}, {48, 32, 0.5f, 0xFF00FF00, 0, 0},
                           {32, 48, 0.5f, 0xFF00FF00, 0, 0}, {48, 48, 0.5f, 0xFF00FF00, 0, 0}};
    const uint16_t indices[6] = {0, 1, 2, 1, 3, 2};
    auto vb = mDevice->CreateVertexBuffer(sizeof(vertices), false);
    auto ib = mDevice->CreateIndexBuffer(sizeof(indices), false, false);
    ASSERT_TRUE(vb->Write(0, vertices, sizeof(vertices)));
    ASSERT_TRUE(ib->Write(0, indices, sizeof(indices)));
    EXPECT_EQ(vb->Lock(8, sizeof(vertices), LockFlag::None), nullptr);
    mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
    mDevice->SetVertexLayout(mTexturedLayout.get());
    mDevice->SetStreamSource(vb.get(), 0, sizeof(V));
    mDevice->SetIndices(ib.get());
    mDevice->UseBuiltin(GraphicsDevice::Builtin::ScreenText);
    mDevice->DrawIndexed(PrimitiveType::TriangleList, 4, 0, 2);
    EXPECT_EQ(PixelAt(40, 40), 0xFF00FF00u);
    EXPECT_EQ(PixelAt(4, 4), kGrey);
    mDevice->DrawIndexed(PrimitiveType::TriangleList, 0, 0, 2);
    EXPECT_EQ(PixelAt(4, 4), 0xFFFF0000u);
    EXPECT_EQ(mDevice->Counters().mDraws, 2u);
    EXPECT_EQ(mDevice->Counters().mPrimitives, 4u);
}

TEST_P(EachBackBuffer, BmpRoundTrip)
{
    mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
    DrawRect(0, 0, 5, 3, 0xFF123456);
    Image image;
    ASSERT_TRUE(mDevice->ReadBack(nullptr, image));
    const std::string path =
        (std::filesystem::temp_directory_path() / ("loom_bmp_" + std::to_string(getpid()) + ".bmp")).string();
    ASSERT_TRUE(image.SaveBmp(path));
    int w = 0, h = 0, n = 0;
    unsigned char* loaded = stbi_load(path.c_str(), &w, &h, &n, 3);
    std::remove(path.c_str());
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(w, 64);
    ASSERT_EQ(h, 64);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
        {
            const unsigned char* p = loaded + (y * w + x) * 3;
            const uint32_t argb = 0xFF000000u | uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
            ASSERT_EQ(argb, image.GetARGB(uint32_t(x), uint32_t(y))) << x << "," << y;
        }
    stbi_image_free(loaded);
    EXPECT_EQ(image.GetARGB(1, 1), 0xFF123456u);
}

TEST(NullDevice, CountsWhatReachesIt)
{
    auto device = GraphicsDevice::CreateNull(DeviceDesc{});
    device->Clear(ClearTarget, 0, 1.0f, 0);
    auto vb = device->CreateVertexBuffer(64, true);
    EXPECT_NE(vb->Lock(0, 64, LockFlag::Discard), nullptr);
    vb->Unlock();
    EXPECT_EQ(vb->Lock(60, 8, LockFlag::None), nullptr);
    device->Draw(PrimitiveType::TriangleList, 0, 3);
    device->DrawUser(PrimitiveType::LineList, 2, nullptr, 16);
    EXPECT_TRUE(device->Present());
    device->Loss().Simulate();
    EXPECT_FALSE(device->Present());
    EXPECT_EQ(device->Loss().TestCooperativeLevel(), CooperativeLevel::NotReset);
    EXPECT_FALSE(device->Reset(DeviceDesc{0, 0, true, true, 0}));
    EXPECT_TRUE(device->Reset(DeviceDesc{}));
    const DeviceCounters& c = device->Counters();
    EXPECT_EQ(c.mClears, 1u);
    EXPECT_EQ(c.mDraws, 2u);
    EXPECT_EQ(c.mPrimitives, 5u);
    EXPECT_EQ(c.mPresents, 1u);
    EXPECT_EQ(c.mResets, 1u);
}

TEST(DeviceHelpers, SizesOfLevelsAndPrimitives)
{
    EXPECT_EQ(TextureLevelSize(TextureFormat::DXT1, 6, 6), 4u * 8);
    EXPECT_EQ(TextureLevelSize(TextureFormat::DXT5, 1, 1), 16u);
    EXPECT_EQ(TextureLevelSize(TextureFormat::RGBA8, 3, 2), 24u);
    EXPECT_EQ(FullMipCount(6, 6), 3u);
    EXPECT_EQ(FullMipCount(1, 256), 9u);
    EXPECT_EQ(VertexCount(PrimitiveType::TriangleStrip, 2), 4u);
    EXPECT_EQ(VertexCount(PrimitiveType::LineStrip, 1), 2u);
    EXPECT_EQ(AttributeLocation(VertexSemantic::BlendIndices, 0), 11);
    EXPECT_EQ(AttributeLocation(VertexSemantic::TexCoord, 4), -1);
}
