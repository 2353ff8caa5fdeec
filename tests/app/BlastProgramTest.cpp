#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"

namespace fs = std::filesystem;

namespace {

// One blast of each kind the game makes, each made by a bomb going off beside two grunts, in
// a field of its own: the dropped bomb's own blast, and bombs of the test's data folder that
// make the bomber's, the kamikaze's and the missile's. The bomb's fuse runs out in a frame held
// up for 2.5 s, so every blast begins in that long frame.
struct BlastCase
{
    const char* blast;
    const char* bomb; // "" drops the shipped bomb through the "DropBomb" command
    int x, z;         // the field, well away from the march and from the other fields
};
const BlastCase kBlasts[] = {
    {"Explosion", "", 150, 200},
    {"BomberExplosion", "Data/BomberBlastBomb.xml", 360, 200},
    {"KamikazeExplosion", "Data/KamikazeBlastBomb.xml", 150, 380},
    {"MissileExplosion", "Data/MissileBlastBomb.xml", 360, 380},
};

// The play script: into the first level, the marchers stopped (base speed 0) so that nothing
// walks into or out of a blast, two grunts per field parachuted in 3 and 40 units apart; once
// they stand, a bomb 3 units beside the near one; a second later the clock jumps 2.5 s in one
// frame, in which the 3 s fuse runs out. It reports every field once all the near grunts are
// gone, or 10 s of game time after the long frame, and leaves.
std::string BlastScript()
{
    std::string fields;
    for (const BlastCase& c : kBlasts)
        fields += "    { \"" + std::string(c.blast) + "\", \"" + c.bomb + "\", " + std::to_string(c.x) + ", " +
            std::to_string(c.z) + " },\n";
    return "Play = { W = 400, H = 300, Ticks = 2 }\n"
           "dofile(\"Scripts/Game.lua\")\n"
           "dofile(\"Scripts/PlayDriver.lua\")\n"
           "Fields = {\n" +
        fields +
        "}\n"
        "Near, Far = {}, {}\n"
        "Play.At(6, function() OpenLevelChoice() end)\n"
        "Play.At(10, function() StartLevelOne() end)\n"
        "Play.At(20, function() HUD.HideLevelVictoryWindow() end)\n"
        "Play.At(30, function()\n"
        "    G.SetInvSpeed(0)\n"
        "    for i, f in ipairs(Fields) do\n"
        "        Near[i] = G.CreateAt(\"grunt\", Vector3(f[3] + 3, 4, f[4]))\n"
        "        Far[i] = G.CreateAt(\"grunt\", Vector3(f[3] + 40, 4, f[4]))\n"
        "    end\n"
        "end)\n"
        // Standing: the parachutes are down within 6 s of game time.
        "Play.At(420, function()\n"
        "    for i, f in ipairs(Fields) do\n"
        "        local p = Near[i].GetPosition()\n"
        "        local at = Vector3(p.x - 3, p.y + 3, p.z)\n"
        "        if f[2] == \"\" then G.DropBomb(at) else G.CreateAt(f[2], at) end\n"
        "    end\n"
        "end)\n"
        "Play.At(480, function()\n"
        "    G.Mes(\"PLAY held: at=\" .. GameTime)\n"
        "    G.TestTickFor(2.5)\n"
        "end)\n"
        "Play.Each(function()\n"
        "    if Play.Frame <= 482 then return false end\n"
        "    local left = 0\n"
        "    for i in ipairs(Fields) do\n"
        "        if Near[i].IsValid() then left = left + 1 end\n"
        "    end\n"
        "    if left > 0 and Play.Frame < 482 + 600 then return false end\n"
        "    for i, f in ipairs(Fields) do\n"
        "        G.Mes(\"PLAY blast: kind=\" .. f[1] .. \" near=\" .. (Near[i].IsValid() and 1 or 0) ..\n"
        "              \" far=\" .. (Far[i].IsValid() and 1 or 0))\n"
        "    end\n"
        "    G.Mes(\"PLAY after: at=\" .. GameTime)\n"
        "    ExitGame()\n"
        "    return true\n"
        "end)\n";
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

// A blast that begins in a frame held up for 2.5 s, longer than the blast's whole life after
// its delay, still deals its damage: the grunt beside the bomb dies, the one 40 units away is
// untouched. For the dropped bomb's blast and the bomber's, the kamikaze's and the missile's.
TEST(BlastProgram, ABlastBegunInALongFrameStillKills)
{
    TempDir temp;
    const fs::path game = temp.Path("game");
    fs::copy(LOOM_TEST_DATA "/../../data", game, fs::copy_options::recursive);
    for (const auto& entry : fs::directory_iterator(LOOM_TEST_DATA "/play/Scripts"))
        fs::copy_file(entry.path(), game / "Scripts" / entry.path().filename(), fs::copy_options::overwrite_existing);
    // The shipped bomb, making another blast.
    const std::string bomb = TempDir::Read((game / "Data/Bomb.xml").string());
    for (const BlastCase& c : kBlasts)
        if (*c.bomb)
            temp.Write("game/" + std::string(c.bomb),
                       Replaced(bomb, ">Explosion</string>", ">" + std::string(c.blast) + "</string>"));
    // A 400 x 300 window keeps the software renderer's share of the run small.
    std::string graphics = TempDir::Read((game / "Graphics.xml").string());
    graphics = Replaced(Replaced(graphics, ">800<", ">400<"), ">600<", ">300<");
    temp.Write("game/Graphics.xml", graphics);
    temp.Write("game/Scripts/PlayBlast.lua", BlastScript());
    temp.Write("game/config.xml",
               Replaced(TempDir::Read((game / "config.xml").string()), "Scripts\\Game.lua", "Scripts\\PlayBlast.lua"));

    const std::string command = "cd '" + game.string() +
        "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=0 "
        "LOOM_ASSERT=continue LOOM_TEST_INPUT=1 LOOM_TEST_STEPPED_CLOCK=1 " LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM
        "' > stdout.txt 2> stderr.txt";
    ASSERT_EQ(RunToEnd(command, kProgramLimit), 0) << TempDir::Read((game / "stderr.txt").string());
    const std::string log = TempDir::Read((game / "Log.xml").string());
    EXPECT_EQ(Errors(log), std::vector<std::string>{});

    // The long frame happened: game time jumped by 2.5 s over it.
    std::smatch held, after;
    ASSERT_TRUE(std::regex_search(log, held, std::regex("PLAY held: at=([0-9.]+)")));
    ASSERT_TRUE(std::regex_search(log, after, std::regex("PLAY after: at=([0-9.]+)")));
    EXPECT_GT(std::stod(after[1]) - std::stod(held[1]), 2.5);

    std::map<std::string, std::pair<int, int>> seen;
    const std::regex line("PLAY blast: kind=([A-Za-z]+) near=([01]) far=([01])");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), line); it != std::sregex_iterator(); ++it)
        seen[(*it)[1]] = {std::stoi((*it)[2]), std::stoi((*it)[3])};
    for (const BlastCase& c : kBlasts)
    {
        SCOPED_TRACE(c.blast);
        ASSERT_EQ(seen.count(c.blast), 1u) << "the field was reported";
        EXPECT_EQ(seen[c.blast].first, 0) << "the grunt beside the bomb died";
        EXPECT_EQ(seen[c.blast].second, 1) << "the grunt 40 units away lives";
    }
}
