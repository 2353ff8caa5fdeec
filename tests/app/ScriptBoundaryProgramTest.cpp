#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"

namespace fs = std::filesystem;

namespace {
// The script manager's time limit on the clock, which the game keeps: four times its 2 s of the
// script thread's work, however little of a busy core the game gets.
constexpr double kWallLimit = 8.0;

// The start script walks through its stages, one a start: each ends in a restart, the last in
// an exit. Each stage runs under a start script's own limit.
const char* const kStartScript = R"(
local f = io.open("Stage.txt")
local stage = f and tonumber(f:read("*a")) or 0
if f then f:close() end
f = io.open("Stage.txt", "w") f:write(tostring(stage + 1)) f:close()
G.Mes("Stage " .. stage)
-- A stage that fails ends the run at its first frame instead of leaving the game idle.
function GUpdate() G.exit() end
if stage == 0 then
    -- Due when the hard restart closes the state.
    Keep = newproxy(true)
    getmetatable(Keep).__gc = function() G.CreateAt("Data/Traps/LaserTurret.xml", Vector3(0, 0, 0)) end
    G.restart()
elseif stage == 1 then
    -- The reader makes a table a call, so the collector steps while the chunk is read.
    collectgarbage("setpause", 0)
    local last
    for n = 1, 1000 do
        local pieces, i = {"x = ", "= 1"}, 0
        local _, err = load(function() i = i + 1 local _ = {} return pieces[i] end,
                            "=" .. string.rep("n", 100) .. tostring(n))
        last = err
    end
    collectgarbage("setpause", 200)
    local name = string.rep("n", 100) .. "1000:1:"
    G.Mes(last:sub(1, #name) == name and "load: the name whole" or "load: " .. last:sub(1, 100))
    G.SoftRestart()
elseif stage == 2 then
    local turret = G.CreateAt("Data/Traps/LaserTurret.xml", Vector3(0, 0, 0))
    G.GenIK(turret, Vector3(5, 1, 5))
    G.Mes("aimed")
    local p = newproxy(true)
    getmetatable(p).__gc = function() G.LogicCreateLevel("Scripts/Spin.lua") end
    p = nil
    collectgarbage()
    G.Mes("collected")
    G.SoftRestart()
elseif stage == 3 then
    G.Mes("loop starts")
    for i = 1, 100 do G.LogicCreateLevel("Scripts/Spin.lua") end
    G.Mes("loop went on")
else
    -- Due at exit, once the state closes.
    Cog = newproxy(true)
    getmetatable(Cog).__gc = function() G.CreateAt("Data/Traps/LaserTurret.xml", Vector3(0, 0, 0)) end
    Restart = newproxy(true)
    getmetatable(Restart).__gc = function() G.restart() end
    G.LogicCreateLevel("Scripts/Hog.lua")
    G.exit()
end
)";

struct Entry
{
    int64_t mMs;
    std::string mMessage;
};

int64_t Milliseconds(const std::string& time)
{
    // "MM:SS:mmm"
    const size_t first = time.find(':'), second = time.find(':', first + 1);
    return std::stoll(time.substr(0, first)) * 60000 + std::stoll(time.substr(first + 1, second - first - 1)) * 1000 +
        std::stoll(time.substr(second + 1));
}

// The first entry at or after from whose message starts with text; npos when none.
size_t FindFrom(const std::vector<Entry>& log, size_t from, const std::string& text)
{
    for (size_t i = from; i < log.size(); ++i)
        if (log[i].mMessage.rfind(text, 0) == 0)
            return i;
    return std::string::npos;
}
} // namespace

// Every door a script comes in by, in one run of the real program on the shipped data: a chunk
// read piece by piece under a collector at every step, finalisers at a hard restart, in a
// collection and at exit, a script that starts others in a loop, a data file's count past its
// bound, and an exit asked for after a level script was stopped.
TEST(Program, ScriptsStayInsideTheirBoundaryHoweverTheyAreEntered)
{
    TempDir dir;
    fs::copy(LOOM_TEST_DATA "/../../data", dir.Path(), fs::copy_options::recursive);
    dir.Write("Scripts/TestStart.lua", kStartScript);
    dir.Write("Scripts/Spin.lua", "G.Mes(\"Spin starts\")\nwhile true do end\n");
    // Stopped by the memory cap at once, well inside the time the start script has.
    dir.Write("Scripts/Hog.lua",
              "G.Mes(\"Hog starts\")\nlocal t = {}\nfor i = 1, 100 do t[i] = ('x'):rep(2^26) .. i end\n");
    std::string config = TempDir::Read(dir.Path("config.xml"));
    config.replace(config.find("Scripts\\Game.lua"), 16, "Scripts\\TestStart.lua");
    dir.Write("config.xml", config);
    std::string constraints = TempDir::Read(dir.Path("Data/Constraints.xml"));
    const std::string field = "<int name=\"MaxNumIterations\">";
    const size_t at = constraints.find(field) + field.size();
    constraints.replace(at, constraints.find('<', at) - at, "2147483647");
    dir.Write("Data/Constraints.xml", constraints);

    const int status = RunToEnd("cd '" + dir.Path() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                                    "ALSOFT_DRIVERS=null LP_NUM_THREADS=0 LOOM_ASSERT=continue " +
                                    LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' " + "> stdout.txt 2> stderr.txt",
                                kProgramLimit);
    const std::string errors = TempDir::Read(dir.Path("stderr.txt"));
    EXPECT_EQ(status, 0) << errors;
    for (const char* report : {"AddressSanitizer", "LeakSanitizer", "runtime error"})
        EXPECT_EQ(errors.find(report), std::string::npos) << errors;

    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_file(dir.Path("Log.xml").c_str());
    ASSERT_TRUE(parsed) << parsed.description() << " at byte " << parsed.offset;
    std::vector<Entry> log;
    for (pugi::xml_node node : document.child("LoomRunTimeLog").children("Entry"))
        log.push_back({Milliseconds(node.child_value("Time")), node.child_value("Message")});

    const std::string refused = " refused: a finaliser may not act on the engine";
    struct Step
    {
        const char* mWhat;
        std::string mText;
    };
    // In this order; each looked for after the one before.
    const Step steps[] = {
        {"stage 0", "Stage 0"},
        {"finaliser at the hard restart", "Lua Error: G.CreateAt" + refused},
        {"stage 1", "Stage 1"},
        {"the chunk's name whole", "load: the name whole"},
        {"stage 2", "Stage 2"},
        {"the count refused by file and field",
         "Data/Constraints.xml: MaxNumIterations 2147483647 refused (at most 100); 4 used"},
        {"the turret aims at once", "aimed"},
        {"finaliser starting a level", "Lua Error: G.LogicCreateLevel" + refused},
        {"after the collection", "collected"},
        {"stage 3", "Stage 3"},
        {"loop starts", "loop starts"},
        {"the level it started", "Spin starts"},
        {"the level stopped", "Lua Error: Scripts\\Spin.lua took too long"},
        {"the loop stopped with it", "Lua Error: Scripts\\TestStart.lua took too long"},
        {"stage 4", "Stage 4"},
        {"the hog stopped", "Level not started: Scripts/Hog.lua was stopped"},
        {"the loop ends", "Control Loop Terminated"},
    };
    std::vector<size_t> found;
    size_t from = 0;
    for (const Step& step : steps)
    {
        SCOPED_TRACE(step.mWhat);
        std::string text = step.mText;
        // The log shows paths with backslashes.
        std::replace(text.begin(), text.end(), '/', '\\');
        const size_t i = FindFrom(log, from, text);
        if (i == std::string::npos)
        {
            std::string shown;
            for (const Entry& entry : log)
                shown += entry.mMessage + "\n";
            FAIL() << text << " not logged after the step before; the log:\n" << shown;
        }
        found.push_back(i);
        from = i + 1;
    }
    // The finaliser started no level; the loop started one, stopped within the start script's limit.
    const auto index = [&](const char* what) {
        for (size_t i = 0; i < std::size(steps); ++i)
            if (std::string(steps[i].mWhat) == what)
                return found[i];
        return std::string::npos;
    };
    EXPECT_EQ(FindFrom(log, index("stage 2"), "Spin starts"), index("the level it started"));
    EXPECT_EQ(FindFrom(log, index("the level it started") + 1, "Spin starts"), std::string::npos);
    EXPECT_EQ(FindFrom(log, 0, "loop went on"), std::string::npos);
    EXPECT_LE(log[index("the loop stopped with it")].mMs - log[index("loop starts")].mMs,
              int64_t((kWallLimit + 1.0) * 1000));
    // At exit both finalisers are refused, and nothing restarts.
    const size_t exitFrom = index("the loop ends");
    EXPECT_NE(FindFrom(log, exitFrom, "Lua Error: G.CreateAt" + refused), std::string::npos);
    EXPECT_NE(FindFrom(log, exitFrom, "Lua Error: G.restart" + refused), std::string::npos);
    EXPECT_EQ(FindFrom(log, 0, "Stage 5"), std::string::npos);
}
