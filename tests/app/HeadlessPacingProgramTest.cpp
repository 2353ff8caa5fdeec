#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

// The main menu for 600 frames, then the program ends.
constexpr const char* kPacingScript = R"(dofile("Scripts/Game.lua")
local frame = 0
local GameUpdate = GUpdate
function GUpdate()
    if GameUpdate then GameUpdate() end
    frame = frame + 1
    if frame == 600 then
        G.Mes("PLAY frames: n=" .. frame)
        ExitGame()
    end
end
)";

} // namespace

// Headless, frames are drawn straight into the offscreen window, whose swap waits for nothing:
// unpaced, presented frames pile up unfinished and are then done all at once in one long
// frame. A test run logs, as each present begins, each new most of the frames before it not
// known to be done: paced, each present waits for the one before, so never more than one is.
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
        "LOOM_ASSERT=continue LOOM_TEST_INPUT=1 " LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' > stdout.txt 2> stderr.txt";
    ASSERT_EQ(RunToEnd(command, kProgramLimit), 0) << TempDir::Read((game / "stderr.txt").string());
    const std::string log = TempDir::Read((game / "Log.xml").string());
    EXPECT_EQ(Errors(log), std::vector<std::string>{});
    EXPECT_NE(log.find("PLAY frames: n=600"), std::string::npos) << "the run ended early";

    const std::regex counted("a present began with ([0-9]+) earlier frames unfinished");
    int most = -1;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), counted); it != std::sregex_iterator(); ++it)
        most = std::max(most, std::stoi((*it)[1]));
    ASSERT_GE(most, 0) << "no present was counted";
    EXPECT_LE(most, 1) << "a present began with " << most << " earlier frames unfinished";
}
