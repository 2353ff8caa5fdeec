#include <gtest/gtest.h>

#include "graphics/QuadBatcher.h"
#include "tests/graphics/device/DeviceFixture.h"

TEST_F(DeviceFixture, QuadBatcherDrawsBatchesAndRestoresStates)
{
    TextureDesc desc;
    desc.mWidth = desc.mHeight = 1;
    auto red = mDevice->CreateTexture(desc);
    auto blue = mDevice->CreateTexture(desc);
    const uint8_t redTexel[4] = {255, 0, 0, 255}, blueTexel[4] = {0, 0, 255, 255};
    ASSERT_TRUE(red->Upload(0, 0, redTexel, 4));
    ASSERT_TRUE(blue->Upload(0, 0, blueTexel, 4));
    mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
    const RenderStates before = mDevice->States();
    QuadBatcher batcher(*mDevice);
    batcher.Begin();
    batcher.SetTexture(red.get());
    for (int i = 0; i < 300; ++i) // more than one batch
        batcher.AddQuad(0, 0, 8, 8);
    batcher.SetTexture(blue.get());
    batcher.AddQuad(16, 0, 24, 8);
    batcher.SetColor(0x80FFFFFF);
    batcher.SetTexture(nullptr);
    batcher.AddQuad(32, 0, 40, 8);
    batcher.End();
    EXPECT_EQ(batcher.GetDrawCount(), 4u);
    EXPECT_EQ(PixelAt(4, 4), 0xFFFF0000u);
    EXPECT_EQ(PixelAt(20, 4), 0xFF0000FFu);
    // Half-transparent white over grey.
    const uint32_t blended = PixelAt(36, 4);
    EXPECT_NEAR(int((blended >> 16) & 0xFF), 0xC0, 2);
    EXPECT_EQ(PixelAt(50, 50), kGrey);
    EXPECT_TRUE(mDevice->States() == before);
}
