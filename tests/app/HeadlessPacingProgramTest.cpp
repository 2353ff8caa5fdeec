#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

// The main menu on the real clock for 900 frames: the length of every frame after the first
// 100 (the core clock's step as the script sees it), then the longest 1% of them added up.
constexpr const char* kPacingScript = R"(dofile("Scripts/Game.lua")
local frame, steps = 0, {}
local GameUpdate = GUpdate
function GUpdate()
    if GameUpdate then GameUpdate() end
    frame = frame + 1
    if frame > 100 then table.insert(steps, CoreTimeDiff) end
    if frame == 900 then
        table.sort(steps)
        local n, total, longest = table.getn(steps), 0, 0
        for i = 1, n do total = total + steps[i] end
        for i = n - math.floor(n / 100) + 1, n do longest = longest + steps[i] end
        G.Mes("PLAY frames: n=" .. n .. " total=" .. total .. " longest=" .. longest .. " max=" .. steps[n])
        ExitGame()
    end
end
)";

} // namespace

// Headless, frames are drawn straight into the offscreen window, whose swap waits for nothing:
// unpaced, they come as runs of near-empty frames broken by single frames of seconds in which
// the piled-up drawing is done. Paced, no handful of frames holds most of the run's time.
TEST(HeadlessProgram, MenuFramesArePaced)
{
    TempDir temp;
    const fs::path game = temp.Path("game");
    fs::copy(LOOM_TEST_DATA "/../../data", game, fs::copy_options::recursive);
    temp.Write("game/Scripts/PlayPacing.lua", kPacingScript);
    std::string config = TempDir::Read((game / "config.xml").string());
    const size_t at = config.find("Scripts\\Game.lua");
    ASSERT_NE(at, std::string::npos);
    config.replace(at, 16, "Scripts\\PlayPacing.lua");
    temp.Write("game/config.xml", config);

    const std::string command = "cd '" + game.string() +
        "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=0 "
        "LOOM_ASSERT=continue " LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' > stdout.txt 2> stderr.txt";
    ASSERT_EQ(RunToEnd(command, kProgramLimit), 0) << TempDir::Read((game / "stderr.txt").string());
    const std::string log = TempDir::Read((game / "Log.xml").string());
    EXPECT_EQ(Errors(log), std::vector<std::string>{});

    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        log, m, std::regex("PLAY frames: n=([0-9]+) total=([0-9.e-]+) longest=([0-9.e-]+) max=([0-9.e-]+)")));
    EXPECT_EQ(std::stoi(m[1]), 800);
    const double total = std::stod(m[2]), longest = std::stod(m[3]);
    ASSERT_GT(total, 0.0);
    // Paced, the longest 8 of 800 frames hold a few percent of the time; unpaced, nearly all.
    EXPECT_LT(longest / total, 0.5) << "the longest 1% of frames took " << longest << " s of " << total
                                    << " s; the longest one " << m[4] << " s";
}
