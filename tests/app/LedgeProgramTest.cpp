#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

// The shipped data folder with the play scripts of tests/data/play, started on the ledge play
// script with a small window and a clock stepped by the script.
struct LedgeRun
{
    explicit LedgeRun(const std::vector<uint32_t>& seeds, const std::string& script = "PlayLedge.lua")
    {
        const fs::path game = temp.Path("game");
        fs::copy(LOOM_TEST_DATA "/../../data", game, fs::copy_options::recursive);
        for (const auto& entry : fs::directory_iterator(LOOM_TEST_DATA "/play/Scripts"))
            fs::copy_file(entry.path(), game / "Scripts" / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
        // A 400 x 300 window keeps the software renderer's share of the run small.
        temp.Write(
            "game/Graphics.xml",
            Replaced(Replaced(TempDir::Read((game / "Graphics.xml").string()), ">800<", ">400<"), ">600<", ">300<"));
        temp.Write("game/config.xml",
                   Replaced(TempDir::Read((game / "config.xml").string()), "Scripts\\Game.lua", "Scripts\\" + script));
        std::string list;
        for (uint32_t seed : seeds)
            list += (list.empty() ? "" : ",") + std::to_string(seed);
        dir = game.string();
        child = std::make_unique<ChildProcess>(
            "cd '" + dir +
            "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=0 " +
            "LOOM_ASSERT=continue LOOM_TEST_INPUT=1 LOOM_TEST_STEPPED_CLOCK=1 LOOM_TEST_SEEDS=" + list + " " +
            LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' > stdout.txt 2> stderr.txt");
    }
    std::string Log() const { return TempDir::Read(dir + "/Log.xml"); }
    std::string Stderr() const { return TempDir::Read(dir + "/stderr.txt"); }

    TempDir temp;
    std::string dir;
    std::unique_ptr<ChildProcess> child;
};

} // namespace

// The second level as it ships, its waves and nothing placed, played by the real program for
// eight seeds drawn anew on every run, in two program starts side by side, each playing its
// seeds one after another through the start window. In every round the program's own invaders
// show each move at the ledge that runs across the field: a stacker stands beside a stone as a
// step, another invader climbs onto the stone or over the ledge from that step, the ninja leaps
// and the jumper hops over a standing stone, and a grunt or a bomber breaks one.
TEST(LedgeProgram, EveryInvaderDealsWithTheSecondLevelsLedgeForEightSeeds)
{
    std::random_device device;
    std::vector<uint32_t> seeds;
    seeds.reserve(8);
    for (int i = 0; i < 8; ++i)
        seeds.push_back(device() % 1000000u + 1u);
    SCOPED_TRACE(::testing::Message() << "seeds " << ::testing::PrintToString(seeds));
    LedgeRun first({seeds.begin(), seeds.begin() + 4});
    LedgeRun second({seeds.begin() + 4, seeds.end()});
    for (LedgeRun* run : {&first, &second})
        ASSERT_EQ(run->child->Wait(kProgramLimit), 0) << run->Stderr();

    std::map<uint32_t, std::set<std::string>> moves;
    std::set<uint32_t> rounds;
    for (LedgeRun* run : {&first, &second})
    {
        const std::string log = run->Log();
        EXPECT_EQ(Errors(log), std::vector<std::string>{});
        EXPECT_NE(log.find("PLAY rounds: done"), std::string::npos) << "the run ended early";
        // Each round's moves come before the line that closes it.
        const std::regex line("PLAY (ledge: move=([a-z]+)|round: seed=([0-9]+))");
        std::set<std::string> seen;
        for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        {
            if ((*it)[2].matched)
                seen.insert((*it)[2]);
            else
            {
                const uint32_t seed = static_cast<uint32_t>(std::stoul((*it)[3]));
                rounds.insert(seed);
                moves[seed] = seen;
                seen.clear();
            }
        }
    }
    const std::set<std::string> all{"step", "climb", "leap", "hop", "break"};
    for (uint32_t seed : seeds)
    {
        SCOPED_TRACE(::testing::Message() << "seed " << seed);
        EXPECT_EQ(rounds.count(seed), 1u) << "the round was played";
        EXPECT_EQ(moves[seed], all);
    }
}

// The second level as it ships, played down to its steps: every invader but the stackers is
// killed as it comes. The first step, at the field's edge, is taken by the claw through pointer
// events; a step left with no one behind it walks on, where a trap's poison kills it, and once
// only steps are left the level ends by its own rules within 30 s of game time.
TEST(LedgeProgram, TheSecondLevelsLastStepWalksOnAndTheLevelEnds)
{
    LedgeRun run({1}, "PlayLastStep.lua");
    ASSERT_EQ(run.child->Wait(kProgramLimit), 0) << run.Stderr();
    const std::string log = run.Log();
    EXPECT_EQ(Errors(log), std::vector<std::string>{});
    const std::regex line(
        "PLAY (step: stands|step: walks on|step: taken|alone: steps=[0-9]+|level over:) [^<]*at=([0-9.]+)");
    size_t stands = 0, walks = 0, taken = 0;
    double alone = -1.0, over = -1.0;
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
    {
        const std::string what = (*it)[1];
        const double at = std::stod((*it)[2]);
        stands += what == "step: stands" ? 1 : 0;
        walks += what == "step: walks on" ? 1 : 0;
        taken += what == "step: taken" ? 1 : 0;
        if (what.starts_with("alone"))
            alone = at;
        if (what == "level over:")
            over = at;
    }
    EXPECT_GT(stands, 0u) << "no stacker stood as a step";
    EXPECT_EQ(taken, 1u) << "the claw did not take the step";
    EXPECT_GT(walks, 0u) << "no step walked on";
    EXPECT_EQ(walks + taken, stands) << "a step stayed";
    ASSERT_GE(alone, 0.0) << "only steps were never left";
    ASSERT_GE(over, 0.0) << "the level never ended";
    EXPECT_LE(over - alone, 30.0) << "the level ended " << over - alone << " s after only steps were left";
}
