#include <gtest/gtest.h>

#include <pugixml.hpp>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"

namespace fs = std::filesystem;

namespace {
// Runs the real program in a copy of the test data folder; returns its exit status. Leaks are
// checked: only the GL driver's, unloaded at exit with no stack to name, are suppressed.
int RunProgram(const TempDir& dir)
{
    return RunToEnd("cd '" + dir.Path() + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
                        "ALSOFT_DRIVERS=null LP_NUM_THREADS=0 LOOM_ASSERT=continue " +
                        LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' " + "> stdout.txt 2> stderr.txt",
                    kProgramLimit);
}

// Positions of each text's first appearance as a log message, in the order given.
std::vector<size_t> Find(const std::string& log, const std::vector<std::string>& texts)
{
    std::vector<size_t> at;
    at.reserve(texts.size());
    for (const std::string& text : texts)
        at.push_back(log.find("<Message>" + text + "</Message>"));
    return at;
}

size_t Count(const std::string& log, const std::string& text)
{
    size_t count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
        ++count;
    return count;
}
} // namespace

TEST(Program, StartScriptDrivesPauseRestartsAndExit)
{
    TempDir dir;
    fs::copy(LOOM_TEST_DATA "/e2e", dir.Path(), fs::copy_options::recursive);
    ASSERT_EQ(RunProgram(dir), 0) << TempDir::Read(dir.Path("stderr.txt"));

    const std::string log = TempDir::Read(dir.Path("Log.xml"));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.rfind("</LoomRunTimeLog>\n"), log.size() - std::string("</LoomRunTimeLog>\n").size())
        << "the log is closed";

    const std::vector<size_t> start =
        Find(log,
             {"Starting Core Engine", "Registering Types", "Registering Complete", "Initializing Quad Tree",
              "Starting Looms", "Audio Active", "Network Active", "Physics Active", "IO Active", "Graphics Active",
              "Looms Started", "Reading Compositions", "Reading Compositions Complete", "Running Start Scripts",
              "Starting Core Engine Loop"});
    for (size_t i = 0; i < start.size(); ++i)
    {
        ASSERT_NE(start[i], std::string::npos) << "start text " << i << " missing";
        if (i > 0)
        {
            EXPECT_LT(start[i - 1], start[i]) << "start text " << i << " out of order";
        }
    }

    const std::vector<size_t> run =
        Find(log, {"Game Paused", "Game Unpaused", "Soft Restarting", "Hard Restarting", "Control Loop Terminated"});
    for (size_t i = 0; i < run.size(); ++i)
    {
        ASSERT_NE(run[i], std::string::npos) << "run text " << i << " missing";
        if (i > 0)
        {
            EXPECT_LT(run[i - 1], run[i]);
        }
    }
    EXPECT_EQ(Count(log, "<Message>Registering Types</Message>"), 1u) << "types are registered once";
    EXPECT_EQ(Count(log, "<Message>Audio Active</Message>"), 2u) << "started, then started again by restart";
    EXPECT_EQ(Count(log, "<Message>Start script stage"), 3u);
    EXPECT_NE(log.find("Leaving after"), std::string::npos);

    // Teardown after the loop: cogs, then the looms.
    const size_t end = run.back();
    const size_t destroying = log.find("<Message>Destroying All Cogs</Message>", end);
    const size_t shutting = log.find("<Message>Shutting Down Looms</Message>", end);
    ASSERT_NE(destroying, std::string::npos);
    ASSERT_NE(shutting, std::string::npos);
    EXPECT_LT(destroying, shutting);
}

namespace {
// Replaces the first appearance of what, which must be there.
void ReplaceIn(const TempDir& dir, const std::string& file, const std::string& what, const std::string& with)
{
    std::string text = TempDir::Read(dir.Path(file));
    const size_t at = text.find(what);
    ASSERT_NE(at, std::string::npos) << what;
    text.replace(at, what.size(), with);
    dir.Write(file, text);
}
} // namespace

// Credits a data file gives out of range are refused as the file is read, each named with its
// file, line and text in the log, and the entry keeps its own default; points earned past their
// limit stay at the limit. Garbage text (control bytes, bytes that are no UTF-8) reaches the log
// as well-formed XML.
TEST(Program, OutOfRangeCreditsAreRefusedPointsStopAtTheirLimitAndTheLogStaysWellFormed)
{
    TempDir dir;
    fs::copy(LOOM_TEST_DATA "/../../data", dir.Path(), fs::copy_options::recursive);
    ReplaceIn(dir, "config.xml", "Scripts\\Game.lua", "Scripts\\TestStart.lua");
    dir.Write("Scripts/TestStart.lua",
              "G.EarnPoints(2147483647)\n"
              "G.EarnPoints(2147483647)\n"
              "G.CreateAt(\"plain\", Vector3(0, 0, 0))\n"
              "local frames = 0\n"
              "function GUpdate()\n"
              "    frames = frames + 1\n"
              "    if frames == 2 then\n"
              "        G.Mes(\"Points \" .. Points .. \", fan costs \" .. G.GetTrapCost(\"fan\"))\n"
              "        G.exit()\n"
              "    end\n"
              "end\n");
    // The fan comes after the axe (35); the garbage entry comes first. Each keeps the default (5).
    // Control bytes; a stray byte, an overlong '/', a surrogate, U+FFFE; kept: an e acute and an
    // emoji; last a sequence cut short.
    const std::string bad = "\xef\xbf\xbd";
    const std::string garbage =
        "Bad\x01\x1b\x7f name \xff\xc0\xaf\xed\xa0\x80\xef\xbf\xbe \xc3\xa9\xf0\x9f\x98\x80 \xe2\x82";
    const std::string escaped =
        "Bad\\x01\\x1B\\x7F name " + bad + bad + bad + bad + bad + bad + bad + " \xc3\xa9\xf0\x9f\x98\x80 " + bad + bad;
    ReplaceIn(dir, "Config/LogicData.xml", "<int name=\"creditCost\">15</int>",
              "<int name=\"creditCost\">-2147483648</int>");
    std::string data = TempDir::Read(dir.Path("Config/LogicData.xml"));
    const size_t first = data.find("<pair>");
    const size_t end = data.find("</pair>", first) + 7;
    std::string entry = data.substr(first, end - first);
    entry.replace(entry.find("axe"), 3, garbage);
    entry.replace(entry.find(">35<"), 4, ">-7" + garbage + "<");
    data.insert(first, entry + "\n");
    data.replace(data.find("size=\"16\""), 9, "size=\"17\"");
    dir.Write("Config/LogicData.xml", data);
    // Too large for the field at all: the reader names it and the entry keeps its default.
    ReplaceIn(dir, "Config/LogicData.xml", "<int name=\"creditCost\">10</int>",
              "<int name=\"creditCost\">3000000000</int>");
    ReplaceIn(dir, "Data/Invaders/Plain.xml", "<real name=\"CreditWorth\">4</real>",
              "<real name=\"CreditWorth\">3e9</real>");

    ASSERT_EQ(RunProgram(dir), 0) << TempDir::Read(dir.Path("stderr.txt"));
    pugi::xml_document log;
    const pugi::xml_parse_result parsed = log.load_file(dir.Path("Log.xml").c_str());
    ASSERT_TRUE(parsed) << parsed.description() << " at byte " << parsed.offset;
    std::vector<std::string> messages;
    for (pugi::xml_node node : log.child("LoomRunTimeLog").children("Entry"))
        messages.push_back(node.child_value("Message"));
    // A whole message, or a line about a file: "file|rest" stands for "...file line <n>rest".
    auto logged = [&](const std::string& text) {
        const size_t bar = text.find('|');
        return std::any_of(messages.begin(), messages.end(), [&](const std::string& message) {
            if (bar == std::string::npos)
                return message == text;
            const std::string rest = text.substr(bar + 1);
            return message.find(text.substr(0, bar) + " line ") != std::string::npos && message.size() > rest.size() &&
                message.compare(message.size() - rest.size(), rest.size(), rest) == 0;
        });
    };
    const std::string expected[] = {
        "Config\\LogicData.xml|: creditCost \"-7" + escaped + "\" refused (not a whole decimal number); it keeps 5",
        "Config\\LogicData.xml|: creditCost \"-2147483648\" refused (out of range: 0 to 2147483647); it keeps 5",
        "Plain.xml|: CreditWorth \"3e9\" refused (out of range: 0 to 2147483647); it keeps 5",
        "Points 2147483647, fan costs 5",
        "Config\\LogicData.xml|: creditCost \"3000000000\" refused (out of range for an int: -2147483648 to "
        "2147483647); it keeps 5",
    };
    for (const std::string& text : expected)
        EXPECT_TRUE(logged(text)) << text;
}
