#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/font/BitmapFont.h"
#include "graphics/font/FontList.h"
#include "graphics/resource/ResourceContext.h"
#include "tests/graphics/font/FontFixture.h"
#include "tests/input/LogProbe.h"

namespace {

constexpr uint32_t kBlack = 0xFF000000;

// A 640x480 GL device, the game's data folder, a texture store, and the graphics commands of a
// loom that has no window of its own.
class OverlayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        mWindow = CreateTestWindow();
        ASSERT_NE(mWindow, nullptr);
        DeviceDesc desc;
        desc.mWidth = 640;
        desc.mHeight = 480;
        desc.mVSync = false;
        std::string error;
        mDevice = GraphicsDevice::CreateGl(PlatformWindow::GetHandle(), desc, error);
        ASSERT_NE(mDevice, nullptr) << error;
        mOldDataPath = GetDataPath();
        SetDataPath((std::filesystem::path(GameData("")).lexically_normal()).string() + "/");
        mStore = std::make_unique<TextureStore>();
        mStore->SetFolder("Textures");
        mScope = std::make_unique<ResourceContext::Scope>(mDevice.get(), mStore.get(), false);
        mLoom.reset(GraphicsLoom::Create());
        mCommands = std::make_unique<GraphicsCommands>(*mLoom);
        mCommands->Init(mDevice.get(), "Config/GuiConfig.xml", "Textures/ConsoleBack.png");
        ASSERT_EQ(mCommands->Fonts().Size(), 2u);
    }

    void TearDown() override
    {
        Console& console = Console::Instance();
        console.ShowConsole(false);
        if (console.GetInputActive())
            console.OnKey(13);
        mCommands.reset();
        mLoom.reset();
        mScope.reset();
        mStore.reset();
        SetDataPath(mOldDataPath);
        mDevice.reset();
        PinLoadedLibraries();
        PlatformWindow::Destroy();
    }

    // One frame: black, then the overlay after dt seconds of the core timer.
    Image Frame(float dt, const FrameStats& stats = FrameStats())
    {
        mDevice->Clear(ClearTarget | ClearZBuffer, kBlack, 1.0f, 0);
        mCommands->RenderStats(dt, false, stats);
        Image image;
        EXPECT_TRUE(mDevice->ReadBack(nullptr, image));
        return image;
    }

    // Pixels of the band brighter than a grey level in any channel.
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

    PlatformWindow* mWindow = nullptr;
    std::unique_ptr<GraphicsDevice> mDevice;
    std::string mOldDataPath;
    std::unique_ptr<TextureStore> mStore;
    std::unique_ptr<ResourceContext::Scope> mScope;
    std::unique_ptr<GraphicsLoom> mLoom;
    std::unique_ptr<GraphicsCommands> mCommands;
};

} // namespace

TEST_F(OverlayTest, BackquoteSlidesThePanelDownAndBackUp)
{
    ConsoleOverlay& overlay = mCommands->Overlay();
    EXPECT_EQ(overlay.GetPosition(), ConsoleOverlay::kHidden);
    Console::Instance().OnKey(96);
    ASSERT_TRUE(Console::Instance().GetShowConsole());
    Frame(0.5f);
    EXPECT_FLOAT_EQ(overlay.GetPosition(), -240.0f + 175.0f);
    Frame(240.0f / 350.0f);
    EXPECT_FLOAT_EQ(overlay.GetPosition(), 0.0f);

    // Open: the background covers the screen; its bottom-right corner is the panel's blue.
    Console::Instance().Log("NEWEST LINE", LogGeneral);
    const Image open = Frame(0.0f);
    const uint32_t corner = open.GetARGB(639, 479);
    EXPECT_GT(corner & 0xFF, (corner >> 16) & 0xFF);
    EXPECT_GT(corner & 0xFF, 40u);
    // The newest line sits in the last of the 18 bands.
    EXPECT_GT(Lit(open, 10, 12 * 17, 110, 12 * 18), 10);
    EXPECT_EQ(mCommands->Overlay().GetLinesDrawn(), 18);

    Console::Instance().OnKey(96);
    Frame(0.5f);
    EXPECT_FLOAT_EQ(overlay.GetPosition(), -175.0f);
    const Image closed = Frame(1.0f);
    EXPECT_FLOAT_EQ(overlay.GetPosition(), -240.0f);
    EXPECT_EQ(Lit(closed, 0, 0, 640, 480, 20), 0);
    EXPECT_EQ(closed.GetARGB(639, 479), kBlack);
}

TEST_F(OverlayTest, TypedLineShowsAndRuns)
{
    Console& console = Console::Instance();
    console.OnKey(96);
    Frame(1.0f);
    LogProbe log;
    console.OnKey(13);
    ASSERT_TRUE(console.GetInputActive());
    for (char c : std::string("Mes hello"))
        console.OnKey(c);
    const Image typing = Frame(0.0f);
    // The input line sits under the 18 history lines: prompt at 10, text from 15.
    EXPECT_GT(Lit(typing, 15, 216, 90, 228), 10);
    console.OnKey(13);
    EXPECT_EQ(log.Count("hello"), 2);
    EXPECT_FALSE(console.GetInputActive());
}

TEST_F(OverlayTest, FpsShowsStatisticsAtFourHundred)
{
    const Image before = Frame(0.0f);
    EXPECT_EQ(Lit(before, 400, 0, 640, 120), 0);
    Console::Instance().ExecuteLine("FPS");
    EXPECT_TRUE(mCommands->Overlay().IsStatsShown());
    Console::Instance().DebugValue("Zeta", "7");
    FrameStats stats;
    stats.mTriangles = 1000;
    const Image after = Frame(0.0f, stats);
    EXPECT_GT(Lit(after, 400, 0, 600, 12), 10);
    EXPECT_EQ(Lit(after, 0, 0, 399, 120), 0);
    // Nine lines without a terrain, with the debug values at 600.
    EXPECT_GT(Lit(after, 400, 96, 600, 108), 5);
    EXPECT_EQ(Lit(after, 400, 113, 600, 130), 0);
    EXPECT_GT(Lit(after, 600, 0, 640, 12), 5);
    Console::Instance().RemoveDebugValue("Zeta");
    Console::Instance().ExecuteLine("FPS");
}

TEST_F(OverlayTest, ConsoleSettingsCommands)
{
    Console& console = Console::Instance();
    console.ExecuteLine("ConsoleTrans 0.5");
    EXPECT_FLOAT_EQ(mCommands->Overlay().GetTransparency(), 0.5f);
    console.ExecuteLine("TextColor color 1 0 0 1");
    EXPECT_EQ(mCommands->Overlay().GetTextColor().g, 0.0f);
    console.ExecuteLine("ConsoleBack \"Textures/White.bmp");
    EXPECT_EQ(mCommands->Overlay().GetBackground().GetFile(), "Textures/White.bmp");
    LogProbe log;
    console.ExecuteLine("ConvertFile \"a.x \"b.x");
    EXPECT_EQ(log.Count(".x meshes are not supported"), 1);
    console.ExecuteLine("SetShadows false");
    EXPECT_FALSE(mCommands->Toggles().mShadows);
    console.ExecuteLine("Shadow");
    EXPECT_TRUE(mCommands->Toggles().mShadows);
    const bool wire = mCommands->Toggles().mWireframe;
    console.ExecuteLine("Simple");
    EXPECT_EQ(mCommands->Toggles().mWireframe, wire);
}

TEST(GraphicsCommandsLifetime, CommandsLeaveWithTheirOwner)
{
    std::unique_ptr<GraphicsLoom> loom(GraphicsLoom::Create());
    {
        GraphicsCommands commands(*loom);
        EXPECT_TRUE(Console::Instance().GetCommands().count("screencap"));
    }
    EXPECT_FALSE(Console::Instance().GetCommands().count("screencap"));
}
