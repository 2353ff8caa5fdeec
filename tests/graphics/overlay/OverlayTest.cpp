#include <gtest/gtest.h>

#include <SDL.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/font/BitmapFont.h"
#include "graphics/font/FontList.h"
#include "tests/graphics/overlay/GameLoomFixture.h"
#include "tests/input/InputEvents.h"
#include "tests/input/LogProbe.h"

using OverlayTest = GameLoomFixture;

TEST_F(OverlayTest, BackquoteSlidesThePanelDownAndBackUp)
{
    EXPECT_EQ(Position(), ConsoleOverlay::kHidden);
    Console::Instance().OnKey(96);
    ASSERT_TRUE(Console::Instance().GetShowConsole());
    Frame(0.5f);
    EXPECT_FLOAT_EQ(Position(), -240.0f + 175.0f);
    Frame(240.0f / 350.0f);
    EXPECT_FLOAT_EQ(Position(), 0.0f);

    // Open: the background covers the screen; its bottom-right corner is the panel's blue.
    Console::Instance().Log("NEWEST LINE", LogGeneral);
    const Image open = Frame(0.0f);
    const uint32_t corner = open.GetARGB(799, 599);
    EXPECT_GT(corner & 0xFF, (corner >> 16) & 0xFF);
    EXPECT_GT(corner & 0xFF, 40u);
    // The newest line sits in the last of the 18 bands.
    EXPECT_GT(Lit(open, 10, 12 * 17, 110, 12 * 18), 10);
    EXPECT_EQ(mCommands->Overlay().GetLinesDrawn(), 18);

    Console::Instance().OnKey(96);
    Frame(0.5f);
    EXPECT_FLOAT_EQ(Position(), -175.0f);
    const Image closed = Frame(1.0f);
    EXPECT_FLOAT_EQ(Position(), -240.0f);
    EXPECT_EQ(Lit(closed, 0, 0, 800, 600, 20), 0);
    EXPECT_EQ(closed.GetARGB(799, 599), kBlack);
}

namespace {
using InputEvents::Text;

SDL_Event Enter()
{
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.scancode = SDL_SCANCODE_RETURN;
    event.key.keysym.sym = SDLK_RETURN;
    return event;
}
} // namespace

// Typed through the window as SDL events, the way a player types.
TEST_F(OverlayTest, TypedLineShowsAndRuns)
{
    Console& console = Console::Instance();
    mWindow->AddListener(&console);
    auto deliver = [this](SDL_Event event) {
        SDL_PushEvent(&event);
        for (int i = 0; i < 8; ++i)
            mWindow->PumpMessages();
    };
    deliver(Text("`"));
    EXPECT_TRUE(console.GetShowConsole());
    Frame(1.0f);
    LogProbe log;
    // The line is open as soon as the console is.
    ASSERT_TRUE(console.GetInputActive());
    deliver(Text("Mes hello"));
    EXPECT_EQ(console.InputLine().Text(), "Mes hello");
    const Image typing = Frame(0.0f);
    // The input line sits under the 18 history lines: prompt at 10, text from 15.
    EXPECT_GT(Lit(typing, 15, 216, 90, 228), 10);
    deliver(Enter());
    EXPECT_EQ(log.Count("hello"), 2);
    EXPECT_TRUE(console.GetInputActive()) << "the open console keeps its line";
    deliver(Text("`"));
    mWindow->RemoveListener(&console);
    EXPECT_FALSE(console.GetInputActive());
}

// The statistics keep clear of the HUD and the menu windows: the windows take the middle (160 to
// 640 at 800 wide), the HUD's counters the top right (to 108 high), its mini-map the bottom right
// (from 380); they sit on the right edge between, the debug values under them.
TEST_F(OverlayTest, FpsShowsStatisticsBetweenTheHudsCorners)
{
    const Image before = Frame(0.0f);
    EXPECT_EQ(Lit(before, 0, 0, 800, 380), 0);
    Console::Instance().ExecuteLine("FPS");
    EXPECT_TRUE(mLoom->GetToggles().mShowStats);
    Console::Instance().GetDebugValues().Set("Zeta", "7");
    Console::Instance().GetDebugValues().Set("Tower HP", "It's GONE!");
    FrameStats stats;
    stats.mTriangles = 1000;
    const Image after = Frame(0.0f, stats);
    EXPECT_GT(Lit(after, 644, 108, 800, 120), 10);
    EXPECT_EQ(Lit(after, 0, 0, 643, 380), 0);
    EXPECT_EQ(Lit(after, 0, 0, 800, 107), 0);
    EXPECT_EQ(Lit(after, 0, 380, 800, 600), 0);
    // Nine lines without a terrain, then the debug values.
    EXPECT_GT(Lit(after, 644, 204, 800, 216), 5);
    EXPECT_GT(Lit(after, 644, 216, 800, 228), 5);
    // Too long for the column, the tower's line goes on in the next row instead of off the screen.
    EXPECT_GT(Lit(after, 644, 228, 800, 240), 5);
    EXPECT_GT(Lit(after, 644, 240, 800, 252), 5);

    // A share of the frame stops at the whole: a graphics time over the frame time reads as 100%.
    const auto share = [&](float graphics) {
        FrameStats timed;
        timed.mGraphicsTime = graphics;
        timed.mFrameTime = 1.0f;
        return Frame(0.0f, timed);
    };
    const Image whole = share(1.0f);
    const Image over = share(1.21f);
    const Image part = share(0.5f);
    EXPECT_EQ(Differing(whole, over, 644, 180, 800, 192), 0);
    EXPECT_GT(Differing(whole, part, 644, 180, 800, 192), 5) << "the line is where the test looks";
    Console::Instance().GetDebugValues().Remove("Zeta");
    Console::Instance().GetDebugValues().Remove("Tower HP");
    Console::Instance().ExecuteLine("FPS");
}

// At the usual screen sizes the column starts right of the menu windows (the middle three fifths)
// and every row of a line ends inside the screen; a line that fits keeps one row.
TEST(ConsoleOverlayLayout, ColumnRowsEndInsideTheScreen)
{
    struct Case
    {
        int32_t width;
        std::string_view line;
        int rows;
    };
    const Case cases[] = {
        {640, "Tower HP: It's GONE!", 2},           {800, "Tower HP: It's GONE!", 2},
        {1024, "Tower HP: It's GONE!", 1},          {640, "Graphics Time: 100% ", 2},
        {800, "Graphics Time: 100% ", 1},           {1024, "Graphics Time: 100% ", 1},
        {640, "CogPos: (-1234.56,7.5,890.25)", 3},  {800, "CogPos: (-1234.56,7.5,890.25)", 3},
        {1024, "CogPos: (-1234.56,7.5,890.25)", 2},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(::testing::Message() << c.width << " wide: " << c.line);
        const float left = ConsoleOverlay::StatsLeft(c.width);
        EXPECT_GE(left, 0.8f * float(c.width));
        std::string_view rest = c.line;
        std::string kept;
        int rows = 0;
        while (!rest.empty() && rows < 8)
        {
            const size_t length = ConsoleOverlay::RowLength(rest, c.width);
            ASSERT_GT(length, 0u);
            const std::string_view row = rest.substr(0, length);
            EXPECT_LE(left + 8.0f * float(row.find_last_not_of(' ') + 1), float(c.width)) << "row " << row;
            kept += row;
            rest.remove_prefix(length);
            while (!rest.empty() && rest.front() == ' ')
                rest.remove_prefix(1);
            ++rows;
        }
        EXPECT_EQ(rows, c.rows);
        std::string words(c.line);
        std::erase(words, ' ');
        std::erase(kept, ' ');
        EXPECT_EQ(kept, words) << "no character but the breaking spaces is lost";
    }
}

// The player's pause says so in the middle of the screen, and only while it lasts.
TEST_F(OverlayTest, PausedGameSaysSo)
{
    FrameStats stats;
    const Image running = Frame(0.0f, stats);
    stats.mPaused = true;
    const Image paused = Frame(0.0f, stats);
    EXPECT_EQ(Lit(running, 300, 260, 500, 340), 0);
    EXPECT_GT(Lit(paused, 300, 260, 500, 340), 50);
    EXPECT_EQ(Lit(paused, 0, 0, 800, 250), 0);
}

TEST_F(OverlayTest, ConsoleSettingsCommands)
{
    Console& console = Console::Instance();
    console.ExecuteLine("ConsoleTrans 0.5");
    EXPECT_FLOAT_EQ(mLoom->GetScene()->mConsoleTransparency, 0.5f);
    console.ExecuteLine("TextColor color 1 0 0 1");
    EXPECT_EQ(mCommands->Overlay().GetTextColor().g, 0.0f);
    console.ExecuteLine("ConsoleBack \"Textures/White.bmp");
    EXPECT_EQ(mLoom->GetScene()->mConsoleBackground.GetFile(), "Textures/White.bmp");
    console.ExecuteLine("SetShadows false");
    EXPECT_FALSE(mLoom->GetToggles().mShadows);
    console.ExecuteLine("Shadow");
    EXPECT_TRUE(mLoom->GetToggles().mShadows);
    const bool wire = mLoom->GetToggles().mWireframe;
    console.ExecuteLine("Simple");
    EXPECT_EQ(mLoom->GetToggles().mWireframe, wire);
    console.ExecuteLine("HUD");
    EXPECT_FALSE(mLoom->GetGui()->IsVisible());
    console.ExecuteLine("HUD");
    console.ExecuteLine("SetLOD 12.5");
    EXPECT_FLOAT_EQ(mLoom->GetToggles().mLodLimit, 12.5f);
    console.ExecuteLine("AddLine v 0 0 0 v 1 1 1");
    EXPECT_EQ(mLoom->Lines().Lines().size(), 2u);
}

TEST(GraphicsCommandsLifetime, CommandsLeaveWithTheirOwner)
{
    std::unique_ptr<GraphicsLoom> loom(GraphicsLoom::Create());
    {
        GraphicsCommands commands(*loom);
        EXPECT_TRUE(Console::Instance().GetCommands().count("screencap"));
        EXPECT_EQ(commands.ScreenPick(), nullptr);
        EXPECT_EQ(commands.GetTerrainHeight(Vector3(3.0f, 4.0f, 5.0f)), Vector3());
    }
    EXPECT_FALSE(Console::Instance().GetCommands().count("screencap"));
}

TEST(GraphicsCommandsScreenCap, GivesUpWithOneLineWhenAllHundredNamesExist)
{
    ScratchFolder scratch("screencap");
    const std::string oldData = GetDataPath();
    SetDataPath(scratch.Path().string() + "/");
    for (int i = 0; i < GraphicsCommands::kMaxScreenshots; ++i)
        std::ofstream(scratch.Path() / ("screenshot" + std::to_string(i) + ".bmp")) << "x";
    std::unique_ptr<GraphicsLoom> loom(GraphicsLoom::Create());
    {
        GraphicsCommands commands(*loom);
        LogProbe log;
        commands.ScreenCap();
        commands.ScreenCap();
        EXPECT_EQ(log.Count("all exist, nothing saved"), 2);
        EXPECT_EQ(commands.GetScreenshotCounter(), GraphicsCommands::kMaxScreenshots);
        EXPECT_FALSE(std::filesystem::exists(scratch.Path() / "screenshot100.bmp"));
    }
    SetDataPath(oldData);
}
