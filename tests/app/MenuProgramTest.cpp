#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramShots.h"

namespace fs = std::filesystem;

namespace {
using program_shots::Bmp;
using program_shots::ReadBmp;

void WriteText(const fs::path& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.string().c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

// The menus as the program draws them at 800 x 600, the pointer parked in the bottom-left
// corner: 0 the start window, 1 the same with the statistics on, 2 the invader viewer, 3 the
// options, 4 the bonus window.
constexpr const char* kMenuScript = R"(dofile("Scripts/Game.lua")
local frame, steps = 0, {}
local GameUpdate = GUpdate
function GUpdate()
    frame = frame + 1
    if GameUpdate then GameUpdate() end
    if steps[frame] then steps[frame]() end
    G.TestTick()
end
steps[1] = function() G.PushMouseMove(0, 599) end
steps[90] = function() G.ScreenCap() end
steps[92] = function() G.FPS() end
steps[100] = function() G.ScreenCap() end
steps[102] = function() G.FPS() OpenInvaderViewer() end
steps[190] = function() G.ScreenCap() end
steps[192] = function() OpenOptions() end
steps[280] = function() G.ScreenCap() end
steps[282] = function() OpenBonus() end
steps[370] = function() G.ScreenCap() end
steps[380] = function() ExitGame() end
)";

// Runs the program on a copy of the data folder with this start script in place of the game's;
// its screenshots land in the copy.
void RunWithScript(const fs::path& game, const char* script)
{
    fs::copy(LOOM_TEST_DATA "/../../data", game, fs::copy_options::recursive);
    WriteText(game / "Scripts" / "MenuRun.lua", script);
    std::string config = TempDir::Read((game / "config.xml").string());
    const size_t at = config.find("Scripts\\Game.lua");
    ASSERT_NE(at, std::string::npos);
    config.replace(at, std::string("Scripts\\Game.lua").size(), "Scripts\\MenuRun.lua");
    WriteText(game / "config.xml", config);
    const std::string command = "cd '" + game.string() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
        "ALSOFT_DRIVERS=null LP_NUM_THREADS=0 LOOM_ASSERT=continue LOOM_TEST_INPUT=1 " +
        "LOOM_TEST_STEPPED_CLOCK=1 " LOOM_LEAK_CHECK "timeout 300 '" LOOM_PROGRAM "' > stdout.txt 2> stderr.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << TempDir::Read((game / "stderr.txt").string());
}

// The statistics on from the start: 0 the start window, 1 the first level, 2 the start window
// again after leaving the level (a soft restart runs this script again; the file left behind
// tells the second run from the first).
constexpr const char* kLevelStatsScript = R"(dofile("Scripts/Game.lua")
local frame, steps = 0, {}
local GameUpdate = GUpdate
function GUpdate()
    frame = frame + 1
    if GameUpdate then GameUpdate() end
    if steps[frame] then steps[frame]() end
    G.TestTick()
end
steps[1] = function() G.PushMouseMove(0, 599) end
local left = io.open("left.txt", "r")
if left then
    left:close()
    steps[90] = function() G.ScreenCap() end
    steps[100] = function() ExitGame() end
else
    steps[10] = function() G.FPS() end
    steps[90] = function() G.ScreenCap() end
    steps[92] = function() StartLevelOne() end
    steps[200] = function() G.ScreenCap() end
    steps[210] = function() LeaveLevel() end
    steps[230] = function() io.open("left.txt", "w"):close() OpenStart() end
end
)";

struct Area
{
    int x0, y0, x1, y1;
};

size_t Count(const Bmp& shot, const Area& a, bool (*wanted)(uint32_t))
{
    size_t n = 0;
    for (int y = a.y0; y < a.y1; ++y)
        for (int x = a.x0; x < a.x1; ++x)
            n += wanted(shot.At(x, y)) ? 1 : 0;
    return n;
}

size_t Differing(const Bmp& a, const Bmp& b, const Area& area)
{
    size_t n = 0;
    for (int y = area.y0; y < area.y1; ++y)
        for (int x = area.x0; x < area.x1; ++x)
            n += a.At(x, y) != b.At(x, y) ? 1 : 0;
    return n;
}

int Sum(uint32_t c) { return int(c >> 16) + int((c >> 8) & 0xFF) + int(c & 0xFF); }
bool Bright(uint32_t c) { return Sum(c) > 500; }
bool White(uint32_t c) { return (c & 0xF0F0F0u) == 0xF0F0F0u; }
bool Yellow(uint32_t c) { return (c >> 16) > 180 && ((c >> 8) & 0xFF) > 140 && (c & 0xFF) < 120; }
// The run's screenshots 0..count-1, each the window's 800x600.
void ReadShots(const fs::path& game, Bmp* shots, int count)
{
    for (int i = 0; i < count; ++i)
    {
        shots[i] = ReadBmp((game / ("screenshot" + std::to_string(i) + ".bmp")).string());
        ASSERT_EQ(shots[i].width, 800) << "screenshot " << i;
        ASSERT_EQ(shots[i].height, 600) << "screenshot " << i;
    }
}
} // namespace

// What the menus show a player, read from the program's own screenshots: titled windows, the
// viewer's pictures filled and its model inside its panel, a check box that lights when on, a
// named volume slider, a bonus window with text, and statistics that cover no menu button.
TEST(MenuProgram, WindowsReadRightAndTheStatisticsKeepClear)
{
    TempDir temp;
    const fs::path game = temp.Path("game");
    RunWithScript(game, kMenuScript);
    if (HasFatalFailure())
        return;

    Bmp shots[5];
    ReadShots(game, shots, 5);
    if (HasFatalFailure())
        return;
    const Bmp &start = shots[0], &stats = shots[1], &viewer = shots[2], &options = shots[3], &bonus = shots[4];

    // The window's title across its top; the buttons' column is the same with the statistics on,
    // which show on the right edge instead.
    EXPECT_GT(Count(start, {160, 76, 640, 116}, Yellow), 20u) << "the start window's title";
    EXPECT_EQ(Differing(start, stats, {160, 60, 500, 540}), 0u) << "the statistics cover the menu";
    EXPECT_GT(Count(stats, {644, 108, 800, 240}, Bright), 100u) << "the statistics show";

    // The portrait and the icon show pictures, not blank white boxes; the model stays inside its
    // panel: above and right of the panel only the menu background shows, as on the start screen.
    const struct
    {
        Area area;
        const char* what;
    } pictures[] = {{{180, 80, 320, 260}, "the portrait"}, {{340, 80, 372, 144}, "the icon"}};
    for (const auto& p : pictures)
    {
        const size_t area = size_t(p.area.x1 - p.area.x0) * size_t(p.area.y1 - p.area.y0);
        EXPECT_LT(Count(viewer, p.area, White) * 2, area) << p.what;
    }
    EXPECT_EQ(Differing(start, viewer, {160, 0, 800, 60}), 0u) << "the model spills over the panel's top";
    EXPECT_EQ(Differing(start, viewer, {640, 60, 800, 540}), 0u) << "the model spills over the panel's side";

    // Shadows are on at the first start: the box's middle is lit, its edge stays dark.
    EXPECT_GT(Sum(options.At(252, 156)), Sum(options.At(241, 141)) + 200) << "the check box reads on";
    EXPECT_GT(Count(options, {500, 200, 620, 224}, Bright), 20u) << "the volume slider's label";
    EXPECT_GT(Count(bonus, {180, 160, 620, 400}, Bright), 400u) << "the bonus window's text";

    // The loading screen names files as the data folder knows them, not by the machine's path.
    const std::string log = TempDir::Read((game / "Log.xml").string());
    EXPECT_FALSE(std::regex_search(log, std::regex("Loading (Mesh|Skeleton|Animation File) [/\\\\]")));
    EXPECT_NE(log.find("Loading Mesh "), std::string::npos);
    EXPECT_NE(log.find("Loading Skeleton "), std::string::npos);
}

// The statistics show the level's own values (kills, invaders, points, the tower's health) under
// the engine's while a level is on; back in the menu they are gone, as before the first level.
TEST(MenuProgram, TheStatisticsLeaveTheLevelsValuesBehind)
{
    TempDir temp;
    const fs::path game = temp.Path("game");
    RunWithScript(game, kLevelStatsScript);
    if (HasFatalFailure())
        return;
    Bmp shots[3];
    ReadShots(game, shots, 3);
    if (HasFatalFailure())
        return;
    const Bmp &menu = shots[0], &level = shots[1], &after = shots[2];
    // The engine's lines end at y 230; the level's follow them.
    const Area below{644, 234, 800, 300};
    EXPECT_GT(Count(menu, {644, 108, 800, 230}, Bright), 100u) << "the statistics show in the menu";
    EXPECT_EQ(Count(menu, below, Bright), 0u) << "the menu before the level";
    EXPECT_GT(Count(level, below, Bright), 100u) << "the level's values show in the level";
    EXPECT_GT(Count(after, {644, 108, 800, 230}, Bright), 100u) << "the statistics show after the level";
    EXPECT_EQ(Count(after, below, Bright), 0u) << "the last level's values are still shown in the menu";
}
