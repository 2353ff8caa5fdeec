#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/DataFolderBeside.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"
#include "tests/app/ProgramShots.h"

namespace fs = std::filesystem;
using beside::Beside;
using beside::OutsideWatch;
using beside::ThreeFrames;

namespace {
const std::string kLogEnd = "</LoomRunTimeLog>\n";
const std::string kVictim = "the player's own file\n";

// The test data folder; outside/ holds the player's file.
struct Folders : ThreeFrames
{
    Folders() { dir.Write("outside/victim.txt", kVictim); }
};

bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}
} // namespace

namespace {
// The ways a name may lead out of the data folder; a NUL byte only a script can write.
enum class Way
{
    Parent,
    Absolute,
    Link,
    LinkToNothing,
    Fifo,
    Nul,
};
constexpr Way kWays[] = {Way::Parent, Way::Absolute, Way::Link, Way::LinkToNothing, Way::Fifo};

const char* WayName(Way way)
{
    switch (way)
    {
    case Way::Parent:
        return "Parent";
    case Way::Absolute:
        return "Absolute";
    case Way::Link:
        return "Link";
    case Way::LinkToNothing:
        return "LinkToNothing";
    case Way::Nul:
        return "Nul";
    default:
        return "Fifo";
    }
}

// What the log gives as the reason, one of these, for each way.
std::vector<std::string> Reasons(Way way)
{
    switch (way)
    {
    case Way::Parent:
        return {"leaves the data folder"};
    case Way::Absolute:
        return {"is absolute", "leaves the data folder"};
    case Way::Link:
    case Way::LinkToNothing:
        return {"leaves the data folder through a link"};
    case Way::Nul:
        return {"holds a NUL byte"};
    default:
        return {"is not a regular file (a FIFO)", "is not a file", "(not a file)"};
    }
}

// The game's own data folder in data/, beside outside/: the player's files, which the program
// must neither read nor change, nor add to.
struct Game : Beside
{
    Game()
    {
        fs::copy(LOOM_TEST_DATA "/../../data", Data(), fs::copy_options::recursive);
        fs::create_directory(Data("Guard"));
        dir.Write("outside/victim.txt", kVictim);
        for (const char* name : {"Cog.xml", "Anim.xml"})
            dir.Write(std::string("outside/") + name, TempDir::Read(Data("Compositions/Bomb.xml")));
        dir.Write("outside/evil.lua", "G.Mes(\"Script ran outside\")\n");
        for (const char* name : {"Tex.png", "Frame.png"})
            fs::copy_file(Data("Textures/ConsoleBack.png"), Outside(name));
        fs::copy_file(Data("Config/Controls.xml"), Outside("Controls.xml"));
        std::string config = TempDir::Read(Data("config.xml"));
        config.replace(config.find("Defend the tower!"), 17, "Read from outside");
        dir.Write("outside/config.xml", config);
    }

    // A name for an opener that leads to the outside file target the given way: a name that
    // climbs out or is absolute, or at (in the data folder) a link, a link to a file not there
    // yet, or a FIFO.
    std::string Hostile(Way way, const std::string& at, const std::string& target) const
    {
        switch (way)
        {
        case Way::Parent:
            return "../outside/" + target;
        case Way::Absolute:
            return Outside(target);
        case Way::Link:
            fs::create_symlink(Outside(target), Data(at));
            break;
        case Way::LinkToNothing:
            // Relative, as a link made with "ln -s ../outside/..." is.
            fs::create_symlink(
                fs::relative(Outside("Made" + fs::path(at).filename().string()), fs::path(Data(at)).parent_path()),
                Data(at));
            break;
        case Way::Fifo:
            EXPECT_EQ(::mkfifo(Data(at).c_str(), 0644), 0);
            break;
        case Way::Nul:
            // For a script's string, where \0 is a NUL byte.
            return "..\\0/outside/" + target;
        }
        return at;
    }
    // What a refusal of that name says of it in the log (which writes '\\' for '/').
    static std::string Shown(Way way, const std::string& at, const std::string& target)
    {
        std::string shown = way == Way::Parent || way == Way::Absolute ? "outside/" + target : at;
        std::replace(shown.begin(), shown.end(), '/', '\\');
        return shown;
    }

    // Every file of outside/ with its bytes.
    std::map<std::string, std::string> OutsideFiles() const
    {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(Outside()))
            files[entry.path().filename().string()] = TempDir::Read(entry.path().string());
        return files;
    }
};

// One opener's name leading out one way: the log must hold an Error that names it and says why.
struct Refusal
{
    std::string mOpener;
    Way mWay;
    std::string mShown;
};

bool Refused(const std::string& log, const Refusal& refusal)
{
    for (const std::string& error : Errors(log))
        if (error.find(refusal.mShown) != std::string::npos)
            for (const std::string& reason : Reasons(refusal.mWay))
                if (error.find(reason) != std::string::npos)
                    return true;
    return false;
}
} // namespace

// Every opener of the program, given a name that leads out of the data folder in each of five
// ways (a name climbing out, an absolute name, a link, a link to a file not there yet, a FIFO),
// refuses it with a logged reason: nothing outside is opened, read, changed or made, and the
// program neither hangs nor crashes. One start covers the files read at start (a cog list,
// textures, an animated texture and its frames, a script's io.open for reading and for writing,
// io.tmpfile) and a script's names holding a NUL byte, which the system would read only up to the
// NUL ("..\0/outside/..." is "..": out of the folder); the log file and Config/Controls.xml take a
// start per way, and config.xml one per way that can apply to a fixed name.
TEST(DataFolderGuard, EveryOpenerRefusesEveryWayOutOfTheDataFolder)
{
    for (const Way logWay : kWays)
    {
        SCOPED_TRACE(std::string("log file and Controls.xml: ") + WayName(logWay));
        Game game;
        std::vector<Refusal> refusals;
        auto name = [&](const std::string& opener, Way way, const std::string& at, const std::string& target) {
            refusals.push_back({opener, way, Game::Shown(way, at, target)});
            return game.Hostile(way, at, target);
        };
        game.Configure("LogFile",
                       name("log file", logWay, "Guard/Log" + std::string(WayName(logWay)) + ".xml", "victim.txt"));
        if (logWay == Way::Parent || logWay == Way::Absolute)
        {
            game.Configure("ConfigFolder", logWay == Way::Parent ? "../outside" : game.Outside());
            refusals.push_back({"config folder", logWay, "outside"});
        }
        else
        {
            fs::remove(game.Data("Config/Controls.xml"));
            name("Controls.xml", logWay, "Config/Controls.xml", "Controls.xml");
        }
        std::string script = "Controls = G.CreateAt(\"Controls\", Vector3(0, 0, 0))\n";
        if (logWay == Way::Link)
        {
            std::string cogs, frames;
            for (const Way way : kWays)
            {
                const std::string tag = WayName(way);
                cogs += "<file>" + name("cog list", way, "Guard/Cog" + tag + ".xml", "Cog.xml") + "</file>\n";
                frames += "<file>" + name("frame", way, "Guard/Frame" + tag + ".png", "Frame.png") + "</file>\n";
                script += "G.ConsoleBack(\"" + name("texture", way, "Guard/Tex" + tag + ".png", "Tex.png") + "\")\n";
                script += "G.ConsoleBack(\"" + name("animated texture", way, "Guard/Anim" + tag + ".xml", "Anim.xml") +
                    "\")\n";
                const bool made = way == Way::Parent || way == Way::Absolute;
                for (const char* mode : {"r", "w"})
                {
                    const std::string file =
                        name(std::string("io.open ") + mode, way, "Guard/" + std::string(mode) + tag + ".txt",
                             *mode == 'w' && made ? "Written.txt" : "victim.txt");
                    script.append("do local ok, f = pcall(io.open, \"").append(file).append("\", \"").append(mode);
                    script.append("\") if ok and f then G.Mes(\"Script opened ").append(file).append("\") end end\n");
                }
            }
            game.dir.Write("data/Compositions/ZGuard.xml",
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n"
                           "<list size=\"6\" type=\"file\">\n" +
                               cogs + "</list>\n</Stream>\n");
            game.dir.Write("data/Guard/Frames.xml",
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n<AnimTex>\n"
                           "<uint name=\"FrameDelay\">8</uint>\n<list name=\"Textures\" size=\"6\" type=\"file\">\n" +
                               frames + "</list>\n</AnimTex>\n</Stream>\n");
            script += "G.ConsoleBack(\"Guard/Frames.xml\")\n"
                      "if pcall(io.tmpfile) then G.Mes(\"Script made a temporary file\") end\n";
            // Each call would reach outside/ (or /etc) through the NUL; what it got would be logged.
            const std::string climb = "..\\0/..\\0/..\\0/..\\0/..\\0/..\\0/..\\0/..\\0/..\\0/..\\0/";
            const std::pair<std::string, std::string> nulCalls[] = {
                {"io.open('..\\0/outside/victim.txt', 'w'):write('overwritten')", "..\\0\\outside\\victim.txt"},
                {"io.open('..\\0/outside/Appended.txt', 'a'):write('made')", "..\\0\\outside\\Appended.txt"},
                {"io.open('" + climb + "etc/hostname'):read('*a')", "..\\0\\..\\0\\..\\0\\"},
                {"io.lines('..\\0/outside/victim.txt')()", "..\\0\\outside\\victim.txt"},
                {"dofile('..\\0/outside/evil.lua')", "..\\0\\outside\\evil.lua"},
                {"loadfile('..\\0/outside/evil.lua')()", "..\\0\\outside\\evil.lua"},
            };
            for (const auto& [call, shown] : nulCalls)
            {
                refusals.push_back({call, Way::Nul, shown});
                script += "do local ok, got = pcall(function() return " + call +
                    " end) if ok then G.Mes(\"Script got \" .. tostring(got)) end end\n";
            }
        }
        game.dir.Write("data/Scripts/GuardStart.lua",
                       script +
                           "local frames = 0\n"
                           "function GUpdate()\n"
                           "    frames = frames + 1\n"
                           "    if frames == 3 then G.exit() end\n"
                           "end\n");
        game.Configure("StartupScript", "Scripts\\GuardStart.lua");
        const std::map<std::string, std::string> before = game.OutsideFiles();
        const OutsideWatch watch(game.Outside());

        ASSERT_EQ(RunToEnd(game.Command("LOOM_ASSERT=continue"), kProgramLimit), 0) << game.Stderr();

        EXPECT_EQ(watch.Events(), std::vector<std::string>());
        EXPECT_EQ(game.OutsideFiles(), before);
        const std::string log = game.Log();
        for (const Refusal& refusal : refusals)
            EXPECT_TRUE(Refused(log, refusal))
                << refusal.mOpener << " " << WayName(refusal.mWay) << " " << refusal.mShown << "\n"
                << log;
        if (logWay == Way::Link)
        {
            EXPECT_NE(log.find("io.tmpfile refused: scripts keep their files inside the data folder"),
                      std::string::npos);
            EXPECT_EQ(log.find("Script "), std::string::npos) << log;
            // Nothing read outside reached the log.
            EXPECT_EQ(log.find(kVictim.substr(0, kVictim.size() - 1)), std::string::npos) << log;
        }
        EXPECT_NE(log.find("<Message>Control Loop Terminated</Message>"), std::string::npos) << log;
        EXPECT_TRUE(EndsWith(log, kLogEnd)) << log;
    }
    // config.xml is named by the program itself: no name of it climbs out or is absolute. Read
    // or not, the program starts with its defaults and runs on: it is ended once it has said so.
    for (const Way way : {Way::Link, Way::LinkToNothing, Way::Fifo})
    {
        SCOPED_TRACE(std::string("config.xml: ") + WayName(way));
        Game game;
        fs::remove(game.Data("config.xml"));
        const Refusal refusal{"config.xml", way, Game::Shown(way, "config.xml", "config.xml")};
        game.Hostile(way, "config.xml", "config.xml");
        const std::map<std::string, std::string> before = game.OutsideFiles();
        const OutsideWatch watch(game.Outside());

        ChildProcess program(game.Command("LOOM_ASSERT=continue"));
        ASSERT_TRUE(program.Started());
        EXPECT_TRUE(WaitUntil([&] { return Refused(game.Log(), refusal) || !program.Running(); }, 120.0, 0.05));
        EXPECT_TRUE(program.Running()) << game.Stderr();
        program.Signal(SIGTERM);
        EXPECT_EQ(program.Wait(30.0), 0) << game.Stderr();

        EXPECT_EQ(watch.Events(), std::vector<std::string>());
        EXPECT_EQ(game.OutsideFiles(), before);
        const std::string log = game.Log();
        EXPECT_TRUE(Refused(log, refusal)) << log;
        EXPECT_EQ(log.find("Read from outside"), std::string::npos) << log;
        EXPECT_TRUE(EndsWith(log, kLogEnd)) << log;
    }
}

// A configured log file outside the data folder, by name or through a link, is refused: the
// player's file out there stays as it was and nothing is created there; the log goes to Log.xml
// in the data folder when that is free, and the refusal is on stderr.
TEST(DataFolderGuard, LogFileOutsideTheDataFolderLeavesTheOutsideUntouched)
{
    struct Case
    {
        const char* name;
        std::function<std::string(const Folders&)> logFile; // makes any link; the LogFile setting
        const char* refusal;                                // on stderr
        bool logInside;                                     // Log.xml in the data folder holds the refusal
    };
    const Case cases[] = {
        {"relative", [](const Folders&) { return std::string("..\\outside\\victim.txt"); }, "leaves the data folder",
         true},
        {"absolute", [](const Folders& f) { return f.Outside("victim.txt"); }, "is absolute", true},
        {"link to a file",
         [](const Folders& f) {
             fs::create_symlink(f.Outside("victim.txt"), f.Data("Log.xml"));
             return std::string("Log.xml");
         },
         "leaves the data folder through a link", false},
        {"link to no file yet",
         [](const Folders& f) {
             fs::create_symlink(f.Outside("made.txt"), f.Data("Log.xml"));
             return std::string("Log.xml");
         },
         "leaves the data folder through a link", false},
        {"folder link",
         [](const Folders& f) {
             fs::create_directory_symlink(f.Outside(), f.Data("Logs"));
             return std::string("Logs\\victim.txt");
         },
         "leaves the data folder through a link", true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Folders folders;
        folders.Configure("LogFile", c.logFile(folders));
        ASSERT_EQ(RunToEnd(folders.Command("LOOM_ASSERT=continue"), kProgramLimit), 0) << folders.Stderr();

        EXPECT_EQ(TempDir::Read(folders.Outside("victim.txt")), kVictim);
        EXPECT_FALSE(fs::exists(folders.Outside("made.txt")));
        EXPECT_EQ(std::distance(fs::directory_iterator(folders.Outside()), fs::directory_iterator()), 1);
        const std::string errors = folders.Stderr();
        EXPECT_NE(errors.find(c.refusal), std::string::npos) << errors;
        if (c.logInside)
        {
            const std::string log = folders.Log();
            const size_t refused = log.find(c.refusal);
            EXPECT_NE(refused, std::string::npos) << log;
            if (refused != std::string::npos)
            {
                EXPECT_EQ(log.compare(log.rfind("<Type>", refused), 18, "<Type>Error</Type>"), 0) << log;
            }
            EXPECT_NE(log.find("<Message>Control Loop Terminated</Message>"), std::string::npos) << log;
            EXPECT_TRUE(EndsWith(log, kLogEnd)) << log;
        }
    }
}

// A folder the program reads or lists that lies outside the data folder is refused and nothing is
// read or listed from it: the configuration folder (its Methods.xml names an effect that would end
// the program) by name or through a link, and Compositions through a link, whose files' names
// would show in the log if it were listed.
TEST(DataFolderGuard, FoldersOutsideTheDataFolderAreNeitherReadNorListed)
{
    const std::string methods =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n"
        "<ShaderControl>\n<list name=\"Methods\" size=\"1\" type=\"Shader\">\n<Shader>\n"
        "<string name=\"Name\">Broken</string>\n<string name=\"FileName\">Broken.fx</string>\n"
        "<int name=\"Stages\">1</int>\n<bool name=\"Advanced\">false</bool>\n"
        "<string name=\"SpecialFX\"></string>\n</Shader>\n</list>\n</ShaderControl>\n</Stream>\n";
    struct Case
    {
        const char* name;
        // Makes any link; the ConfigFolder setting, or empty to keep it.
        std::function<std::string(const Folders&)> folder;
        const char* refusal;
    };
    const Case cases[] = {
        {"relative", [](const Folders&) { return std::string("..\\outside"); }, "leaves the data folder"},
        {"absolute", [](const Folders& f) { return f.Outside(); }, "is absolute"},
        {"link",
         [](const Folders& f) {
             fs::create_directory_symlink(f.Outside(), f.Data("Settings"));
             return std::string("Settings");
         },
         "leaves the data folder through a link"},
        {"compositions link",
         [](const Folders& f) {
             fs::rename(f.Data("Compositions/Beacon.xml"), f.Outside("SecretBeacon.xml"));
             fs::remove(f.Data("Compositions"));
             fs::create_directory_symlink(f.Outside(), f.Data("Compositions"));
             return std::string();
         },
         "Path refused: &quot;Compositions&quot; leaves the data folder through a link"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Folders folders;
        folders.dir.Write("outside/Methods.xml", methods);
        folders.dir.Write("outside/Broken.fx", "not an effect {");
        if (const std::string folder = c.folder(folders); !folder.empty())
            folders.Configure("ConfigFolder", folder);
        const OutsideWatch watch(folders.Outside());
        ASSERT_EQ(RunToEnd(folders.Command("LOOM_ASSERT=continue"), kProgramLimit), 0) << folders.Stderr();

        EXPECT_EQ(watch.Events(), std::vector<std::string>());
        const std::string log = folders.Log();
        const size_t refused = log.find(c.refusal);
        ASSERT_NE(refused, std::string::npos) << log;
        EXPECT_EQ(log.compare(log.rfind("<Type>", refused), 18, "<Type>Error</Type>"), 0) << log;
        EXPECT_EQ(log.find("Fx Compile Error"), std::string::npos) << log;
        EXPECT_EQ(log.find("SecretBeacon"), std::string::npos) << log;
        EXPECT_NE(log.find("<Message>Control Loop Terminated</Message>"), std::string::npos) << log;
    }
}

// A data folder installed with hard links (cp -al, as deduplicating stores make them) starts,
// shows its menu and plays its first level: reading a file whose other name lies elsewhere
// changes nothing. Writing never changes the other name: the log and a script's "w" put a new
// file in place, a script's "a" is refused with the reason; the original folder keeps every byte.
TEST(DataFolderGuard, AHardLinkedDataFolderPlaysItsFirstLevelAndWritesChangeNoOtherName)
{
    TempDir temp;
    const fs::path original = temp.Path("original");
    const fs::path linked = temp.Path("linked");
    fs::copy(LOOM_TEST_DATA "/../../data", original, fs::copy_options::recursive);
    // A small window keeps the software renderer's share of the run small.
    std::string graphics = TempDir::Read((original / "Graphics.xml").string());
    for (const auto& [from, to] : {std::pair<std::string, std::string>{">800<", ">400<"}, {">600<", ">300<"}})
        if (const size_t at = graphics.find(from); at != std::string::npos)
            graphics.replace(at, from.size(), to);
    temp.Write("original/Graphics.xml", graphics);
    temp.Write("original/Log.xml", "the other folder's log\n");
    temp.Write("original/Notes.txt", "the other folder's notes\n");
    temp.Write(
        "original/Scripts/LinkedRun.lua",
        "dofile(\"Scripts/Game.lua\")\n"
        "local frame = 0\n"
        "local GameUpdate = GUpdate\n"
        "function GUpdate()\n"
        "    frame = frame + 1\n"
        "    if GameUpdate then GameUpdate() end\n"
        "    if frame == 3 then G.Mes(\"LINKED menu=\" .. (MainMenu and 1 or 0)) G.ScreenCap() end\n"
        "    if frame == 6 then OpenLevelChoice() end\n"
        "    if frame == 10 then StartLevelOne() end\n"
        "    if frame == 90 then\n"
        "        G.Mes(\"LINKED level=\" .. (GameState == InLevel and 1 or 0) .. \" tower=\" .. (Tower and 1 or 0))\n"
        "        G.ScreenCap()\n"
        "        if pcall(io.open, \"Notes.txt\", \"a\") then G.Mes(\"LINKED appended\") end\n"
        "        local f = io.open(\"Notes.txt\", \"w\") f:write(\"written here\") f:close()\n"
        "        if pcall(io.open, \"Scripts/Game.lua\", \"a\") then G.Mes(\"LINKED appended\") end\n"
        "    end\n"
        "    if frame == 92 then ExitGame() end\n"
        "    G.TestTick()\n"
        "end\n");
    std::string config = TempDir::Read((original / "config.xml").string());
    const size_t at = config.find("Scripts\\Game.lua");
    ASSERT_NE(at, std::string::npos);
    config.replace(at, std::string("Scripts\\Game.lua").size(), "Scripts\\LinkedRun.lua");
    temp.Write("original/config.xml", config);
    ASSERT_EQ(std::system(("cp -al '" + original.string() + "' '" + linked.string() + "'").c_str()), 0);
    ASSERT_EQ(fs::hard_link_count(linked / "config.xml"), 2u);
    std::map<std::string, std::string> before;
    for (const auto& entry : fs::recursive_directory_iterator(original))
        if (entry.is_regular_file())
            before[entry.path().string()] = TempDir::Read(entry.path().string());

    const std::string command = "cd '" + linked.string() +
        "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=0 "
        "LOOM_ASSERT=continue LOOM_TEST_INPUT=1 LOOM_TEST_STEPPED_CLOCK=1 " LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM
        "' > '" +
        temp.Path("stdout.txt") + "' 2> '" + temp.Path("stderr.txt") + "'";
    ASSERT_EQ(RunToEnd(command, kProgramLimit), 0) << TempDir::Read(temp.Path("stderr.txt"));

    std::map<std::string, std::string> after;
    for (const auto& entry : fs::recursive_directory_iterator(original))
        if (entry.is_regular_file())
            after[entry.path().string()] = TempDir::Read(entry.path().string());
    EXPECT_EQ(after, before) << "the original folder changed";
    const std::string log = TempDir::Read((linked / "Log.xml").string());
    EXPECT_NE(log.find("LINKED menu=1"), std::string::npos) << log;
    EXPECT_NE(log.find("LINKED level=1 tower=1"), std::string::npos) << log;
    EXPECT_EQ(log.find("LINKED appended"), std::string::npos) << log;
    EXPECT_EQ(TempDir::Read((linked / "Notes.txt").string()), "written here");
    EXPECT_EQ(fs::hard_link_count(linked / "Log.xml"), 1u);
    const std::vector<std::string> errors = Errors(log);
    ASSERT_EQ(errors.size(), 2u) << log;
    EXPECT_NE(errors[0].find("Notes.txt&quot; has 2 hard links"), std::string::npos) << errors[0];
    EXPECT_NE(errors[1].find("Game.lua&quot; has 2 hard links"), std::string::npos) << errors[1];
    EXPECT_TRUE(EndsWith(log, kLogEnd)) << log;
    // What a person sees: the menu and the level drawn, not one grey.
    for (const char* shot : {"screenshot0.bmp", "screenshot1.bmp"})
    {
        const program_shots::Bmp bmp = program_shots::ReadBmp((linked / shot).string());
        ASSERT_GT(bmp.width, 0) << shot;
        std::set<uint32_t> colours;
        for (int y = 0; y < bmp.height; y += 2)
            for (int x = 0; x < bmp.width; x += 2)
                colours.insert(bmp.At(x, y) & 0xF0F0F0u);
        EXPECT_GT(colours.size(), 40u) << shot;
    }
}

// The box that tells of a start that cannot go on (a broken effect, a config.xml that cannot be
// read) says why, as the log does; SIGTERM takes it down and ends the program with the log
// closed, as "Exit" would.
TEST(DataFolderGuard, StartErrorBoxShowsTheReasonAndEndsOnSigterm)
{
    struct Case
    {
        const char* name;
        std::function<void(const Folders&)> breakIt;
        const char* caption;
        const char* reason; // in the box and in the log
    };
    const Case cases[] = {
        {"broken effect",
         [](const Folders& f) {
             f.dir.Write("data/Config/Methods.xml",
                         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n<ShaderControl>\n"
                         "<list name=\"Methods\" size=\"1\" type=\"Shader\">\n<Shader>\n"
                         "<string name=\"Name\">Broken</string>\n"
                         "<string name=\"FileName\">Effects\\Broken.fx</string>\n<int name=\"Stages\">1</int>\n"
                         "<bool name=\"Advanced\">false</bool>\n<string name=\"SpecialFX\"></string>\n</Shader>\n"
                         "</list>\n</ShaderControl>\n</Stream>\n");
             f.dir.Write("data/Effects/Broken.fx", "technique T { pass P { VertexShader = compile vs_2_0 Nowhere(); }");
         },
         "Fx Compile Error", "Broken.fx"},
        {"config.xml a folder",
         [](const Folders& f) {
             fs::remove(f.Data("config.xml"));
             fs::create_directory(f.Data("config.xml"));
         },
         "LOOM Error", "config.xml cannot be read (not a file)"},
        {"config.xml cut short",
         [](const Folders& f) {
             f.dir.Write("data/config.xml", "<?xml version=\"1.0\"?>\n<Stream version=\"2.0\">\n");
         },
         "LOOM Error", "config.xml cannot be read (XML File is not correct: the file ends too early"},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        Folders folders;
        c.breakIt(folders);
        // exec: the shell becomes the program, so the signal goes to the program itself.
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
        {
            // Boxes, not the tests' carry-on answer to a failed assertion.
            const std::string command = folders.Command("LOOM_ASSERT= LOOM_TEST_BOX=stay");
            execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        bool exited = false;
        auto reap = [&] { return exited || (exited = waitpid(pid, &status, WNOHANG) == pid); };
        const std::string up = std::string("Test box up: ") + c.caption + "\n";
        const bool shown = WaitUntil(
            [&] {
                const std::string errors = folders.Stderr();
                return reap() || (errors.find(up) != std::string::npos && errors.find(c.reason) != std::string::npos);
            },
            120.0, 0.05);
        // Not shown means not reaped either; a reaped program's number may be another's by now.
        if (!shown)
        {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        ASSERT_TRUE(shown && !exited) << folders.Stderr();
        const std::string errors = folders.Stderr();
        const size_t boxAt = errors.find("Test box process ");
        ASSERT_NE(boxAt, std::string::npos) << errors;
        const pid_t box = static_cast<pid_t>(std::stol(errors.substr(boxAt + 17)));
        std::string log = folders.Log();
        const size_t reason = log.find(c.reason);
        EXPECT_NE(reason, std::string::npos) << log;
        if (reason != std::string::npos)
        {
            EXPECT_EQ(log.compare(log.rfind("<Type>", reason), 18, "<Type>Error</Type>"), 0) << log;
        }

        // The box is up and nobody answers it: the stop request alone must end it, and the program.
        const auto signalled = std::chrono::steady_clock::now();
        kill(pid, SIGTERM);
        const bool closed = WaitUntil([&] { return EndsWith(folders.Log(), kLogEnd); }, 30.0, 0.02);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
        const bool ended = WaitUntil(reap, 30.0, 0.02);
        if (!ended)
        {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        ASSERT_TRUE(closed && ended) << "the box kept the program after SIGTERM\n" << folders.Stderr();
        EXPECT_LT(took, 5.0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << folders.Stderr();
        EXPECT_NE(kill(box, 0), 0) << "the box outlived the program";
        log = folders.Log();
        EXPECT_NE(log.find(c.reason), std::string::npos) << log;
    }
}

// os.remove and os.rename in a loop while another thread swaps a data folder with a link out
// (renameat2 RENAME_EXCHANGE, as fast as it can): each acts on the folder the guard found, never on
// the name resolved again, so nothing outside is removed, made, moved or touched, and no outside
// secret is moved in. Their error texts name the files as the script gave them.
TEST(DataFolderGuard, RemoveAndRenameRacingAFolderSwappedForALinkLeaveTheOutsideAlone)
{
    ThreeFrames game;
    for (const std::string name : {"a", "v0", "v1", "v2", "v3", "v4", "v5", "v6", "v7", "v8", "v9"})
        game.dir.Write("data/race/" + name, "inside " + name);
    for (const std::string name : {"a", "b", "secret", "v0", "v1", "v2", "v3", "v4", "v5", "v6", "v7", "v8", "v9"})
        game.dir.Write("outside/" + name, "the player's " + name);
    fs::create_directory_symlink("../outside", game.Data("swap"));
    game.dir.Write("data/Scripts/Start.lua",
                   "G.Mes('remove says ' .. tostring(select(2, os.remove('nothere/file'))))\n"
                   "G.Mes('rename says ' .. tostring(select(2, os.rename('nothere', 'elsewhere'))))\n"
                   "local done, refused, frames = 0, 0, 0\n"
                   "function GUpdate()\n"
                   "    frames = frames + 1\n"
                   "    for i = 1, 40 do\n"
                   "        local k = i % 10\n"
                   "        local ok, removed = pcall(os.remove, 'race/v' .. k)\n"
                   "        if not ok then refused = refused + 1 elseif removed then done = done + 1 end\n"
                   "        pcall(function() local f = io.open('race/v' .. k, 'w') if f then f:close() end end)\n"
                   "        local moved\n"
                   "        ok, moved = pcall(os.rename, 'race/a', 'race/b')\n"
                   "        if not ok then refused = refused + 1 elseif moved then done = done + 1 end\n"
                   "        pcall(os.rename, 'race/b', 'race/a')\n"
                   "        pcall(os.rename, 'race/secret', 'stolen')\n"
                   "    end\n"
                   "    if (done >= 200 and refused >= 200) or frames >= 300 then\n"
                   "        G.Mes('Race ran: ' .. done .. ' done, ' .. refused .. ' refused')\n"
                   "        G.exit()\n"
                   "    end\n"
                   "end\n");
    std::map<std::string, std::string> before;
    for (const auto& entry : fs::directory_iterator(game.Outside()))
        before[entry.path().filename().string()] = TempDir::Read(entry.path().string());
    const OutsideWatch watch(game.Outside());

    std::atomic<bool> stop{false};
    std::atomic<long> swaps{0};
    const std::string race = game.Data("race");
    const std::string swap = game.Data("swap");
    std::thread swapper([&] {
        while (!stop)
            if (::renameat2(AT_FDCWD, race.c_str(), AT_FDCWD, swap.c_str(), RENAME_EXCHANGE) == 0)
                ++swaps;
    });
    const int code = RunToEnd(game.Command("LOOM_ASSERT=continue"), kProgramLimit);
    stop = true;
    swapper.join();
    ASSERT_EQ(code, 0) << game.Stderr();

    EXPECT_EQ(watch.Events(), std::vector<std::string>());
    std::map<std::string, std::string> after;
    for (const auto& entry : fs::directory_iterator(game.Outside()))
        after[entry.path().filename().string()] = TempDir::Read(entry.path().string());
    EXPECT_EQ(after, before);
    EXPECT_FALSE(fs::exists(fs::symlink_status(game.Data("stolen"))));
    const std::string log = game.Log();
    // The race ran both ways: names acted on, and names refused while the folder was a link.
    const std::smatch ran = [&log] {
        std::smatch match;
        std::regex_search(log, match, std::regex("Race ran: ([0-9]+) done, ([0-9]+) refused"));
        return match;
    }();
    ASSERT_EQ(ran.size(), 3u) << log;
    EXPECT_GT(std::stol(ran[1]), 0) << log;
    EXPECT_GT(std::stol(ran[2]), 0) << log;
    EXPECT_GT(swaps.load(), 0);
    EXPECT_NE(log.find("remove says nothere\\file: No such file or directory"), std::string::npos) << log;
    EXPECT_NE(log.find("rename says nothere: No such file or directory"), std::string::npos) << log;
}

// A data folder whose own path holds a backslash (odd\bs/data), beside a look-alike folder at
// the path that backslash would make (odd/bs/data): the backslash is a separator only inside the
// data folder, so the program reads its own config.xml, runs its own start script and writes its
// own log; the look-alike is not touched.
TEST(DataFolderGuard, ADataFolderUnderABackslashReadsOnlyItsOwnFiles)
{
    TempDir dir;
    const std::string own = dir.Path("odd\\bs/data/");
    const std::string alike = dir.Path("odd/bs/data/");
    for (const std::string& relative : {std::string("odd\\bs/data/"), std::string("odd/bs/data/")})
    {
        const std::string folder = dir.Path(relative);
        fs::create_directories(folder);
        fs::copy(LOOM_TEST_DATA "/e2e", folder, fs::copy_options::recursive);
        const std::string which = folder == own ? "own" : "look-alike";
        dir.Write(relative + "Scripts/Start.lua",
                  "G.Mes('Start script of the " + which +
                      " folder')\nlocal frames = 0\nfunction GUpdate()\n    frames = frames + 1\n"
                      "    if frames == 3 then G.exit() end\nend\n");
        // config.xml names its own log file: the one written tells whose config was read.
        std::string config = TempDir::Read(folder + "config.xml");
        const std::string open = "<string name=\"LogFile\">";
        const size_t start = config.find(open) + open.size();
        config.replace(start, config.find('<', start) - start, which == "own" ? "OwnLog.xml" : "AlikeLog.xml");
        dir.Write(relative + "config.xml", config);
    }
    std::map<std::string, std::string> before;
    for (const auto& entry : fs::recursive_directory_iterator(alike))
        if (entry.is_regular_file())
            before[entry.path().string()] = TempDir::Read(entry.path().string());
    const OutsideWatch watch(alike);

    const std::string command = "cd '" + own + "' && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy " +
        "ALSOFT_DRIVERS=null LP_NUM_THREADS=0 LOOM_ASSERT=continue " + LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' > '" +
        dir.Path("stdout.txt") + "' 2> '" + dir.Path("stderr.txt") + "'";
    ASSERT_EQ(RunToEnd(command, kProgramLimit), 0) << TempDir::Read(dir.Path("stderr.txt"));

    EXPECT_EQ(watch.Events(), std::vector<std::string>());
    std::map<std::string, std::string> after;
    for (const auto& entry : fs::recursive_directory_iterator(alike))
        if (entry.is_regular_file())
            after[entry.path().string()] = TempDir::Read(entry.path().string());
    EXPECT_EQ(after, before);
    ASSERT_TRUE(fs::exists(own + "OwnLog.xml")) << TempDir::Read(dir.Path("stderr.txt"));
    const std::string log = TempDir::Read(own + "OwnLog.xml");
    EXPECT_NE(log.find("Start script of the own folder"), std::string::npos) << log;
    EXPECT_EQ(log.find("look-alike"), std::string::npos) << log;
    EXPECT_TRUE(EndsWith(log, kLogEnd)) << log;
}

// CDDevice in Config/AudioConfig.xml naming something outside that is no block device (nothing
// there, a file, a folder, a FIFO): a script's OpenCDTray opens none of them, and the log says the
// same of each, so it tells a script nothing of what lies there.
TEST(DataFolderGuard, OpenCdTrayOnAnOutsidePathThatIsNoDriveOpensNothing)
{
    for (const std::string kind : {"missing", "file", "folder", "fifo"})
    {
        SCOPED_TRACE(kind);
        ThreeFrames game;
        const std::string drive = game.Outside("drive");
        if (kind == "file")
            game.dir.Write("outside/drive", "not a drive");
        else if (kind == "folder")
            fs::create_directory(drive);
        else if (kind == "fifo")
        {
            ASSERT_EQ(::mkfifo(drive.c_str(), 0644), 0);
        }
        // The game's own audio settings, the drive named there put outside.
        std::string audio = TempDir::Read(LOOM_TEST_DATA "/../../data/Config/AudioConfig.xml");
        audio.replace(audio.find("/dev/cdrom"), 10, drive);
        game.dir.Write("data/Config/AudioConfig.xml", audio);
        game.dir.Write("data/Scripts/Start.lua",
                       "G.OpenCDTray()\n"
                       "local frames = 0\n"
                       "function GUpdate()\n"
                       "    frames = frames + 1\n"
                       "    if frames == 3 then G.exit() end\n"
                       "end\n");
        const OutsideWatch watch(game.Outside());
        ASSERT_EQ(RunToEnd(game.Command("LOOM_ASSERT=continue"), kProgramLimit), 0) << game.Stderr();

        EXPECT_EQ(watch.Events(), std::vector<std::string>());
        std::string shown = drive;
        std::replace(shown.begin(), shown.end(), '/', '\\');
        std::vector<std::string> said;
        for (const std::string& error : Errors(game.Log()))
            if (error.find("OpenCDTray") != std::string::npos)
                said.push_back(error);
        EXPECT_EQ(said, std::vector<std::string>{"OpenCDTray: " + shown + " is not a CD drive (a block device)"})
            << game.Log();
    }
}
