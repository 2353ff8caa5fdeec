#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"
#include "tests/app/ProgramShots.h"

namespace fs = std::filesystem;

namespace {
using program_shots::Bmp;
using program_shots::ReadBmp;

void WriteText(const std::string& path, const std::string& text)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

// The real program on a copy of the game's own data folder, started by a play script of
// tests/data/play that stands in for the player: it runs the same script functions as the menu
// buttons, queues mouse events and steps its own clock frame by frame.
struct Played
{
    int status = -1;
    std::string log;
    std::string stderrText;
    std::string dir;
};

// The program in the folder with test input and a clock that moves one frame per frame.
std::string SteppedRun(const std::string& dir)
{
    return "cd '" + dir + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=0 " +
        "LOOM_ASSERT=continue LOOM_TEST_INPUT=1 LOOM_TEST_STEPPED_CLOCK=1 " LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM
        "' > stdout.txt 2> stderr.txt";
}

Played Play(const TempDir& temp, const std::string& script)
{
    Played run;
    const fs::path game = temp.Path("game");
    fs::copy(LOOM_TEST_DATA "/../../data", game, fs::copy_options::recursive);
    for (const auto& entry : fs::directory_iterator(LOOM_TEST_DATA "/play/Scripts"))
        fs::copy_file(entry.path(), game / "Scripts" / entry.path().filename(), fs::copy_options::overwrite_existing);
    // A 400 x 300 window and frames of 1/30 s keep the software renderer's share of the run small.
    std::string graphics = TempDir::Read((game / "Graphics.xml").string());
    for (const auto& [from, to] : {std::pair<std::string, std::string>{">800<", ">400<"}, {">600<", ">300<"}})
        if (const size_t at = graphics.find(from); at != std::string::npos)
            graphics.replace(at, from.size(), to);
    WriteText((game / "Graphics.xml").string(), graphics);
    WriteText((game / "Scripts" / "PlayRun.lua").string(),
              "Play = { W = 400, H = 300, Ticks = 2 }\ndofile(\"Scripts/" + script + "\")\n");
    std::string config = TempDir::Read((game / "config.xml").string());
    const std::string start = "Scripts\\Game.lua";
    const size_t at = config.find(start);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos)
        config.replace(at, start.size(), "Scripts\\PlayRun.lua");
    WriteText((game / "config.xml").string(), config);
    run.status = RunToEnd(SteppedRun(game.string()), kProgramLimit);
    run.log = TempDir::Read((game / "Log.xml").string());
    run.stderrText = TempDir::Read((game / "stderr.txt").string());
    run.dir = game.string();
    return run;
}

// "name=value" pairs of the play script's "PLAY <what>:" log lines, the last of each kind.
std::map<std::string, std::string> Report(const std::string& log, const std::string& what)
{
    std::map<std::string, std::string> values;
    const std::regex line("<Message>PLAY " + what + ":([^<]*)</Message>");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
    {
        const std::string body = (*it)[1];
        const std::regex pair("([A-Za-z]+)=([^ ]*)");
        for (auto p = std::sregex_iterator(body.begin(), body.end(), pair); p != std::sregex_iterator(); ++p)
            values[(*p)[1]] = (*p)[2];
    }
    return values;
}

int Int(const std::map<std::string, std::string>& values, const std::string& key)
{
    auto it = values.find(key);
    return it == values.end() ? -1 : std::atoi(it->second.c_str());
}

// Distinct colours in a rectangle, counted to a cap.
size_t Colours(const Bmp& bmp, int x0, int y0, int x1, int y1)
{
    std::map<uint32_t, int> seen;
    for (int y = std::max(0, y0); y < std::min(bmp.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(bmp.width, x1); ++x)
            if (seen.size() < 4096)
                seen[bmp.At(x, y) & 0xF0F0F0u] += 1;
    return seen.size();
}

size_t Differing(const Bmp& a, const Bmp& b, int x0, int y0, int x1, int y1)
{
    size_t count = 0;
    if (a.width != b.width || a.height != b.height)
        return 0;
    for (int y = std::max(0, y0); y < std::min(a.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(a.width, x1); ++x)
            count += a.At(x, y) != b.At(x, y) ? 1 : 0;
    return count;
}

} // namespace

// From the start window through the level choice into the first level: spikes bought and dropped
// by mouse on a chosen tile, invaders grabbed and thrown by mouse, the waves cleared, the
// game-over statistics filled and the program closed by the exit button's function.
TEST(GamePlay, FirstLevelIsWonThroughTheMenusAndTheMouse)
{
    TempDir temp;
    const Played run = Play(temp, "PlayWin.lua");
    ASSERT_EQ(run.status, 0) << run.stderrText;
    EXPECT_EQ(Errors(run.log), std::vector<std::string>{});

    const auto menu = Report(run.log, "menu");
    EXPECT_EQ(Int(menu, "start"), 1) << "the start window was open";
    const auto bought = Report(run.log, "bought");
    EXPECT_GT(Int(bought, "before"), Int(bought, "after")) << "the drop spent credits";
    auto end = Report(run.log, "over");
    EXPECT_EQ(end["state"], "2") << "victory";
    EXPECT_GE(Int(end, "kills"), 6);
    EXPECT_EQ(Int(end, "alive"), 0);
    // The game-over window's texts as the menu filled them, saved by the GUI's own saver.
    const std::string menuFile = TempDir::Read(run.dir + "/MenuData/MainMenu.xml");
    EXPECT_NE(menuFile.find("Total Kills: " + end["kills"]), std::string::npos);
    const std::smatch used = [&] {
        std::smatch m;
        std::regex_search(menuFile, m, std::regex("Points Used: ([0-9]+)"));
        return m;
    }();
    ASSERT_FALSE(used.empty());
    EXPECT_GE(std::atoi(used[1].str().c_str()), Int(bought, "before") - Int(bought, "after"));
    EXPECT_NE(menuFile.find("Time Played: 0:0"), std::string::npos);

    // What a person sees: a busy terrain, the tower where the camera projects it, and the
    // credits on the HUD changing with the purchase.
    const Bmp field = ReadBmp(run.dir + "/screenshot1.bmp");
    const Bmp after = ReadBmp(run.dir + "/screenshot2.bmp");
    ASSERT_GT(field.width, 0);
    ASSERT_EQ(after.width, field.width);
    EXPECT_GT(Colours(field, 0, field.height / 2, field.width, field.height), 20u) << "the ground is not one colour";
    const auto tower = Report(run.log, "tower");
    const int tx = Int(tower, "x"), ty = Int(tower, "y");
    ASSERT_GT(tx, 0);
    ASSERT_GT(ty, 0);
    EXPECT_GT(Colours(field, tx - 12, ty - 40, tx + 12, ty), 6u) << "stone and banner above the tower's foot";
    // The HUD's credits row, top right.
    EXPECT_GT(
        Differing(field, after, field.width * 78 / 100, field.height / 100, field.width, field.height * 65 / 1000), 5u)
        << "the credits number changed";

    // No stand-in pictures: the start window's portrait (top right of the window) and the
    // mini-map's ground (bottom right of the HUD) are pictures, not two-colour checkerboards,
    // whose white cells (the portrait's place) or dark cells (the half-clear map) would show.
    // The mini-map is looked at above its centre, ahead of the view: the camera stands near the
    // map's edge, and the window behind the centre reaches beyond the map, which is black.
    const Bmp menuShot = ReadBmp(run.dir + "/screenshot0.bmp");
    ASSERT_EQ(menuShot.width, field.width);
    const int w = field.width, h = field.height;
    const struct
    {
        const Bmp* shot;
        int x0, y0, x1, y1;
        int darkest;
        const char* what;
    } pictures[] = {{&menuShot, w * 66 / 100, h * 18 / 100, w * 77 / 100, h * 32 / 100, 0, "the portrait"},
                    {&field, w * 79 / 100, h * 70 / 100, w * 97 / 100, h * 83 / 100, 170, "the mini-map"}};
    for (const auto& p : pictures)
    {
        EXPECT_GT(Colours(*p.shot, p.x0, p.y0, p.x1, p.y1), 12u) << p.what;
        size_t cells = 0, total = 0;
        for (int y = p.y0; y < p.y1; ++y)
            for (int x = p.x0; x < p.x1; ++x, ++total)
            {
                const uint32_t c = p.shot->At(x, y);
                const int sum = int(c >> 16) + int((c >> 8) & 0xFF) + int(c & 0xFF);
                cells += (c & 0xE0E0E0u) == 0xE0E0E0u || sum < p.darkest ? 1 : 0;
            }
        EXPECT_LT(cells * 20, total) << p.what << ": checker cells";
    }
}

// The same start and nothing placed: the waves reach the tower and the level is lost.
TEST(GamePlay, FirstLevelIsLostWithoutTraps)
{
    TempDir temp;
    const Played run = Play(temp, "PlayLose.lua");
    ASSERT_EQ(run.status, 0) << run.stderrText;
    EXPECT_EQ(Errors(run.log), std::vector<std::string>{});
    auto end = Report(run.log, "over");
    EXPECT_EQ(end["state"], "3") << "defeat";
    EXPECT_EQ(Int(end, "tower"), 0) << "the tower fell";
    const std::string menuFile = TempDir::Read(run.dir + "/MenuData/MainMenu.xml");
    EXPECT_NE(menuFile.find("Kills by Traps: 0"), std::string::npos);
    EXPECT_NE(menuFile.find("Points Used: 0"), std::string::npos);
}

// A data folder with one file broken: the program names it in one error line and goes on or
// leaves cleanly, and never crashes.
TEST(GamePlay, ABrokenDataFileIsNamedAndNothingCrashes)
{
    enum Damage
    {
        Remove,
        Garbage,
        CutInHalf
    };
    struct Case
    {
        const char* file;
        Damage damage;
        const char* why; // what the error line says besides the name
    };
    const Case cases[] = {
        {"Models/Tower.lmf", Remove, ""},
        {"Textures/Tower/Stone.dds", Garbage, ""},
        {"Levels/L1.bin", Garbage, ""},
        {"Scripts/Levels/L1.lua", Garbage, ""},
        {"Data/LevelHeight.bmp", CutInHalf, "the BMP is cut short"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.file);
        TempDir temp;
        const fs::path game = temp.Path("game");
        fs::copy(LOOM_TEST_DATA "/../../data", game, fs::copy_options::recursive);
        const std::string path = (game / c.file).string();
        if (c.damage == Remove)
            fs::remove(path);
        else if (c.damage == Garbage)
            WriteText(path, "broken \x01\x02 not what it should be");
        else
            WriteText(path, TempDir::Read(path).substr(0, fs::file_size(path) / 2));
        for (const auto& entry : fs::directory_iterator(LOOM_TEST_DATA "/play/Scripts"))
            fs::copy_file(entry.path(), game / "Scripts" / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
        std::string config = TempDir::Read((game / "config.xml").string());
        config.replace(config.find("Scripts\\Game.lua"), 16, "Scripts\\PlayBroken.lua");
        WriteText((game / "config.xml").string(), config);
        EXPECT_EQ(RunToEnd(SteppedRun(game.string()), kProgramLimit), 0)
            << TempDir::Read((game / "stderr.txt").string());
        const std::string log = TempDir::Read((game / "Log.xml").string());
        const std::vector<std::string> errors = Errors(log);
        ASSERT_FALSE(errors.empty());
        const std::string name = fs::path(c.file).filename().string();
        bool named = false;
        for (const std::string& error : errors)
            named = named || (error.find(name) != std::string::npos && error.find(c.why) != std::string::npos);
        EXPECT_TRUE(named) << ::testing::PrintToString(errors);
        EXPECT_NE(log.find("PLAY ran:"), std::string::npos) << "the play script kept running";
    }
}

namespace {
// A position "x,z" of the squad run's log, or none for a cog that is gone.
struct Spot
{
    bool there = false;
    double x = 0.0;
    double z = 0.0;
};

Spot ParseSpot(const std::string& text)
{
    Spot spot;
    const size_t comma = text.find(',');
    if (comma == std::string::npos)
        return spot;
    spot.there = true;
    spot.x = std::atof(text.substr(0, comma).c_str());
    spot.z = std::atof(text.substr(comma + 1).c_str());
    return spot;
}

double Apart(const Spot& a, double x, double z) { return std::hypot(a.x - x, a.z - z); }
} // namespace

// A squad on the first level whose leader is killed: the real program and the shipped data. The
// play script puts a squad leader down, three ninjas beside it and one on its own, blinds the
// leader so that it wanders on the spot, then poisons it, and logs everyone's place every half
// second of game time. Those that stayed by the wandering leader while the lone ninja walked on
// were its members; once the leader is gone, each of them walks on toward the tower within 5 s.
TEST(GamePlay, ASquadWhoseLeaderIsKilledWalksOn)
{
    TempDir temp;
    const Played run = Play(temp, "PlaySquad.lua");
    ASSERT_EQ(run.status, 0) << run.stderrText;
    EXPECT_EQ(Errors(run.log), std::vector<std::string>{});
    struct Row
    {
        double t;
        std::map<std::string, Spot> at;
    };
    std::vector<Row> rows;
    const std::regex line("<Message>PLAY at: t=([0-9.]+)([^<]*)</Message>");
    for (auto it = std::sregex_iterator(run.log.begin(), run.log.end(), line); it != std::sregex_iterator(); ++it)
    {
        Row row{std::atof((*it)[1].str().c_str()), {}};
        const std::string body = (*it)[2];
        const std::regex pair("([A-Z])=([^ ]*)");
        for (auto p = std::sregex_iterator(body.begin(), body.end(), pair); p != std::sregex_iterator(); ++p)
            row.at[(*p)[1]] = ParseSpot((*p)[2]);
        rows.push_back(row);
    }
    const double poisoned = std::atof(Report(run.log, "poisoned")["t"].c_str());
    ASSERT_GT(poisoned, 0.0) << "the leader was poisoned";
    // The tower's middle on the first level.
    const double towerX = 256.0;
    const double towerZ = 464.0;
    const char* members[] = {"A", "B", "C"};

    // Up to the poison: the members keep by the wandering leader, the lone ninja walks away.
    const Row* before = nullptr;
    const Row* blinded = nullptr;
    const double blindedAt = std::atof(Report(run.log, "blinded")["t"].c_str());
    for (const Row& row : rows)
    {
        if (!blinded && row.t >= blindedAt)
            blinded = &row;
        if (row.t < poisoned)
            before = &row;
    }
    ASSERT_TRUE(before && blinded && before->t > blinded->t) << "positions logged while the leader wandered";
    const Spot leader = before->at.at("L");
    ASSERT_TRUE(leader.there);
    for (const char* m : members)
    {
        SCOPED_TRACE(m);
        ASSERT_TRUE(before->at.at(m).there);
        EXPECT_LT(Apart(before->at.at(m), leader.x, leader.z), 20.0) << "a member keeps by its leader";
    }
    const Spot aloneThen = blinded->at.at("S");
    const Spot aloneNow = before->at.at("S");
    EXPECT_GT(Apart(aloneThen, towerX, towerZ) - Apart(aloneNow, towerX, towerZ), 40.0)
        << "the ninja on its own walks on meanwhile";

    // The leader is gone (killed: the poison's kill); within 5 s each member is 8 nearer the tower.
    const Row* gone = nullptr;
    for (const Row& row : rows)
        if (!gone && row.t > poisoned && !row.at.at("L").there)
            gone = &row;
    ASSERT_NE(gone, nullptr) << "the poison killed the leader";
    EXPECT_LT(gone->t - poisoned, 2.0) << "the poison kills within a second or so";
    for (const char* m : members)
    {
        SCOPED_TRACE(m);
        const Spot then = gone->at.at(m);
        ASSERT_TRUE(then.there);
        bool walkedOn = false;
        for (const Row& row : rows)
            if (row.t >= gone->t && row.t <= gone->t + 5.0 && row.at.at(m).there)
                walkedOn = walkedOn || Apart(then, towerX, towerZ) - Apart(row.at.at(m), towerX, towerZ) >= 8.0;
        EXPECT_TRUE(walkedOn) << "at t=" << gone->t << " it stood at " << then.x << "," << then.z;
    }
}
