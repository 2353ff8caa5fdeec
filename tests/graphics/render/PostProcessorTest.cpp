#include <gtest/gtest.h>

#include <memory>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/script/ScriptManager.h"
#include "graphics/effect/ShaderControl.h"
#include "graphics/render/PostProcessor.h"
#include "tests/graphics/resource/ResourceFixture.h"
#include "tests/input/LogProbe.h"

namespace {

constexpr uint32_t kRed = 0xFFFF0000;

// The game's effects and post-effect scripts on a 64x64 GL device.
class PostProcessorTest : public ResourceFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(ResourceFixture::SetUp());
        if (ParamBuffer::FreeCount() < 8)
            ParamBuffer::AllocatePool(8);
        mControl.LoadFrom(*mDevice, "Config/Methods.xml");
        ASSERT_NE(mControl.GetShader("Post"), nullptr);
        ScriptManager::Instance().SetClocks(nullptr, nullptr);
        ScriptManager::Instance().Init();
        ScriptManager::Instance().RunScript("Scripts/PostEffects.lua");
        mPost = std::make_unique<PostProcessor>();
        mPost->SetDevice(mDevice.get(), &mControl);
    }

    void TearDown() override
    {
        mPost.reset();
        ScriptManager::Instance().Close();
        mControl.Clear();
        ResourceFixture::TearDown();
    }

    // One frame whose scene is a red rectangle over grey, through the post-processor.
    void RedFrame()
    {
        mPost->BeginFrame();
        mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
        DrawRect(0, 0, 32, 64, kRed);
        mPost->EndFrame();
    }

    ShaderControl mControl;
    std::unique_ptr<PostProcessor> mPost;
};

} // namespace

TEST_F(PostProcessorTest, NoneWhileInactiveChangesNothing)
{
    LogProbe log;
    Console::Instance().ExecuteLine("PostP None");
    EXPECT_FALSE(mPost->IsActive());
    EXPECT_EQ(mPost->GetBufferCount(), 0u);
    EXPECT_EQ(mPost->GetEffectName(), "MonoChrome");
    EXPECT_EQ(log.Count("Error"), 0);
    RedFrame();
    EXPECT_EQ(PixelAt(10, 10), kRed);
}

TEST_F(PostProcessorTest, BuffersFollowTheScreen)
{
    mPost->PostP("MonoChrome");
    ASSERT_EQ(mPost->GetBufferCount(), 5u);
    const int32_t sizes[5] = {64, 64, 16, 16, 16};
    for (size_t i = 0; i < 5; ++i)
    {
        EXPECT_EQ(mPost->GetBuffer(i).mWidth, sizes[i]) << i;
        EXPECT_EQ(mPost->GetBuffer(i).mHeight, sizes[i]) << i;
        EXPECT_EQ(mPost->GetBuffer(i).mTexture != nullptr, i != 0) << i;
    }
    // Another effect while one runs: a fresh set of five, not a second set beside the first.
    mPost->PostP("Glow");
    EXPECT_EQ(mPost->GetEffectName(), "Glow");
    EXPECT_EQ(mPost->GetBufferCount(), 5u);
    EXPECT_NE(mPost->GetBuffer(2).mTexture, nullptr);
    // Lost and reset: the buffers come back.
    mPost->OnLostDevice();
    EXPECT_EQ(mPost->GetBuffer(1).mTexture, nullptr);
    mPost->OnResetDevice();
    EXPECT_NE(mPost->GetBuffer(1).mTexture, nullptr);
}

TEST_F(PostProcessorTest, MonoChromeTurnsRedGrey)
{
    mPost->PostP("MonoChrome");
    RedFrame();
    const uint32_t c = PixelAt(10, 10);
    const int r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    EXPECT_NEAR(r, 76, 2);
    EXPECT_EQ(r, g);
    EXPECT_EQ(g, b);
    // The grey half stays grey.
    EXPECT_NEAR(int(PixelAt(50, 10) & 0xFF), 0x80, 2);
    EXPECT_TRUE(mPost->IsActive());
}

TEST_F(PostProcessorTest, MissingScriptShowsOneDisplayFrameThenStops)
{
    LogProbe log;
    mPost->PostP("NoSuchEffect");
    RedFrame();
    EXPECT_EQ(log.Count("Bad Post Process Effect"), 1);
    EXPECT_EQ(PixelAt(10, 10), kRed);
    EXPECT_EQ(PixelAt(50, 10), kGrey);
    EXPECT_FALSE(mPost->IsActive());
    RedFrame();
    EXPECT_EQ(log.Count("Bad Post Process Effect"), 1);
}

TEST_F(PostProcessorTest, BadIndicesAreRefused)
{
    LogProbe log;
    mPost->DoPostPass("Display", 1, 1, 0);
    EXPECT_EQ(log.Count("DoPostPass: buffer index"), 1);
    mPost->PostP("MonoChrome");
    mPost->DoPostPass("Display", 1, 5, 0);
    EXPECT_EQ(log.Count("DoPostPass: buffer index"), 2);
    mPost->BlurBuffer(7, 1);
    EXPECT_EQ(log.Count("BlurBuffer: buffer index"), 1);
    mPost->BlurBuffer(4, 1);
    mPost->BlurBuffer(0, 1);
    EXPECT_EQ(log.Count("Blur Error"), 2);
    // No iterations: only the target changes.
    mPost->BlurBuffer(2, 0);
    EXPECT_EQ(mDevice->GetRenderTarget(0), mPost->GetBuffer(4).mTexture.get());
    mDevice->SetRenderTarget(0, nullptr);
}

TEST_F(PostProcessorTest, GlowBlursAQuarterCopyOverTheScene)
{
    LogProbe log;
    mPost->PostP("Glow");
    RedFrame();
    EXPECT_EQ(log.Count("Error"), 0);
    EXPECT_TRUE(mPost->IsActive());
    // Red glows over into the grey half near the edge; the far grey corner only brightens.
    const uint32_t edge = PixelAt(34, 32);
    EXPECT_GT((edge >> 16) & 0xFF, (edge >> 8) & 0xFF);
    const uint32_t red = PixelAt(5, 32);
    EXPECT_EQ((red >> 16) & 0xFF, 0xFFu);
}
