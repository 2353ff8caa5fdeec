#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "graphics/device/GraphicsDevice.h"
#include "graphics/font/BitmapFont.h"
#include "tests/graphics/device/DeviceFixture.h"

#ifndef LOOM_TEST_DATA
#define LOOM_TEST_DATA "tests/data"
#endif

// The game's data folder (fonts, shaders, scripts) as the tests reach it.
inline std::string GameData(const std::string& name) { return std::string(LOOM_TEST_DATA) + "/../../data/" + name; }

// A GL device on the headless window with the console font loaded.
class FontFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenTestDevice(TestDeviceDesc(320, 240), mWindow, mDevice));
        mFont = std::make_unique<BitmapFont>(mDevice.get());
        ASSERT_TRUE(mFont->Load(GameData("Fonts/Console.dds"), GameData("Fonts/Console.dat")));
    }

    void TearDown() override
    {
        mFont.reset();
        mDevice.reset();
        PinLoadedLibraries();
        PlatformWindow::Destroy();
    }

    // Bounds of the pixels brighter than the threshold in any channel; empty when none.
    static Rect LitBounds(const Image& image, uint32_t threshold = 60)
    {
        Rect r{INT32_MAX, INT32_MAX, -1, -1};
        for (uint32_t y = 0; y < image.mHeight; ++y)
            for (uint32_t x = 0; x < image.mWidth; ++x)
            {
                const uint32_t c = image.GetARGB(x, y);
                if (((c >> 16) & 0xFF) > threshold || ((c >> 8) & 0xFF) > threshold || (c & 0xFF) > threshold)
                {
                    r.mLeft = std::min<int32_t>(r.mLeft, int32_t(x));
                    r.mTop = std::min<int32_t>(r.mTop, int32_t(y));
                    r.mRight = std::max<int32_t>(r.mRight, int32_t(x) + 1);
                    r.mBottom = std::max<int32_t>(r.mBottom, int32_t(y) + 1);
                }
            }
        return r;
    }

    Image Frame()
    {
        Image image;
        EXPECT_TRUE(mDevice->ReadBack(nullptr, image));
        return image;
    }

    PlatformWindow* mWindow = nullptr;
    std::unique_ptr<GraphicsDevice> mDevice;
    std::unique_ptr<BitmapFont> mFont;
};
