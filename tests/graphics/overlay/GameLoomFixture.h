#pragma once
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/font/FontList.h"
#include "tests/graphics/LoomWindowFixture.h"
#include "tests/graphics/font/FontFixture.h"

inline constexpr uint32_t kBlack = 0xFF000000;

// The loom on the headless window (800x600) with the game's data folder, Graphics.xml and
// GUI configuration; frames of the overlay alone are drawn with a chosen core-timer step.
class GameLoomFixture : public LoomWindowFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(OpenWindow((std::filesystem::path(GameData("")).lexically_normal()).string()));
        ASSERT_NO_FATAL_FAILURE(StartLoom());
        mCommands = mLoom->GetCommands();
        ASSERT_NE(mCommands, nullptr);
        ASSERT_EQ(mCommands->Fonts().Size(), 2u);
        mDevice = mLoom->GetDevice();
    }

    void TearDown() override
    {
        Console& console = Console::Instance();
        console.ShowConsole(false);
        if (console.GetInputActive())
            console.OnKey(13);
        CloseWindow();
    }

    float Position() const { return mLoom->GetScene()->mConsolePosition; }

    // One frame: black, then the overlay after dt seconds of the core timer.
    Image Frame(float dt, const FrameStats& stats = FrameStats())
    {
        mDevice->Clear(ClearTarget | ClearZBuffer, kBlack, 1.0f, 0);
        mCommands->RenderStats(dt, false, stats);
        Image image;
        EXPECT_TRUE(mDevice->ReadBack(nullptr, image));
        return image;
    }

    // Pixels of the band brighter than a grey level in red and green.
    static int Lit(const Image& image, int left, int top, int right, int bottom, int level = 150)
    {
        int lit = 0;
        for (int y = std::max(top, 0); y < bottom && y < int(image.mHeight); ++y)
            for (int x = std::max(left, 0); x < right && x < int(image.mWidth); ++x)
            {
                const uint32_t c = image.GetARGB(x, y);
                lit += (int((c >> 16) & 0xFF) > level && int((c >> 8) & 0xFF) > level) ? 1 : 0;
            }
        return lit;
    }

    // Pixels of the band that differ between two frames.
    static int Differing(const Image& a, const Image& b, int left, int top, int right, int bottom)
    {
        int differing = 0;
        for (int y = std::max(top, 0); y < bottom && y < int(a.mHeight); ++y)
            for (int x = std::max(left, 0); x < right && x < int(a.mWidth); ++x)
                differing += a.GetARGB(x, y) != b.GetARGB(x, y) ? 1 : 0;
        return differing;
    }

    GraphicsCommands* mCommands = nullptr;
    GraphicsDevice* mDevice = nullptr;
};
