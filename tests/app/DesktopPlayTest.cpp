#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramRun.h"
#include "tests/app/ProgramShots.h"

namespace fs = std::filesystem;

namespace {
using program_shots::Bmp;
using program_shots::ReadBmp;

bool Installed(const char* tool)
{
    return std::system(("command -v " + std::string(tool) + " > /dev/null 2>&1").c_str()) == 0;
}

// A virtual X display of the window's size, with a player at its mouse and keyboard: every
// event goes through the X server as a person's would.
class Desktop
{
public:
    explicit Desktop(const TempDir& dir)
    {
        for (int tries = 0, n = 60 + int(getpid() % 300); tries < 40 && mDisplay < 0; ++tries, ++n)
        {
            const std::string number = std::to_string(n);
            if (fs::exists("/tmp/.X11-unix/X" + number) || fs::exists("/tmp/.X" + number + "-lock"))
                continue;
            mServer = std::make_unique<ChildProcess>("exec Xvfb :" + number +
                                                     " -screen 0 800x600x24 -nolisten tcp -r -ardelay 65000 > '" +
                                                     dir.Path("xvfb.txt") + "' 2>&1");
            // Up once it answers; a display taken meanwhile ends the server.
            if (WaitUntil(
                    [&] {
                        return !mServer->Running() ||
                            std::system(
                                ("DISPLAY=:" + number + " xdotool getmouselocation > /dev/null 2>&1").c_str()) == 0;
                    },
                    60.0, 0.1) &&
                mServer->Running())
                mDisplay = n;
            else
                mServer.reset();
        }
    }

    bool Up() const { return mDisplay >= 0; }
    std::string Name() const { return ":" + std::to_string(mDisplay); }

    void Tool(const std::string& arguments) const
    {
        std::system(("DISPLAY=" + Name() + " xdotool " + arguments + " > /dev/null 2>&1").c_str());
    }

private:
    std::unique_ptr<ChildProcess> mServer;
    int mDisplay = -1;
};

size_t Count(const std::string& text, const std::string& piece)
{
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size()))
        ++count;
    return count;
}

std::vector<std::string> Errors(const std::string& log)
{
    std::vector<std::string> errors;
    const std::regex entry("<Type>Error</Type>\\s*<Time>[^<]*</Time>\\s*<Message>([^<]*)</Message>");
    for (auto it = std::sregex_iterator(log.begin(), log.end(), entry); it != std::sregex_iterator(); ++it)
        errors.push_back((*it)[1]);
    return errors;
}

int Channel(uint32_t rgb, int shift) { return int((rgb >> shift) & 0xFF); }

// Pixels of a rectangle near the colour, or (with another shot) unlike that shot's.
size_t PixelsNear(const Bmp& shot, int x0, int y0, int x1, int y1, uint32_t rgb)
{
    size_t near = 0;
    for (int y = std::max(0, y0); y < std::min(shot.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(shot.width, x1); ++x)
        {
            const uint32_t c = shot.At(x, y);
            near += std::abs(Channel(c, 16) - Channel(rgb, 16)) < 60 &&
                    std::abs(Channel(c, 8) - Channel(rgb, 8)) < 60 && std::abs(Channel(c, 0) - Channel(rgb, 0)) < 60
                ? 1
                : 0;
        }
    return near;
}

size_t PixelsChanged(const Bmp& a, const Bmp& b, int x0, int y0, int x1, int y1, int by = 60)
{
    if (a.width != b.width || a.height != b.height)
        return 0;
    size_t changed = 0;
    for (int y = std::max(0, y0); y < std::min(a.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(a.width, x1); ++x)
        {
            const uint32_t p = a.At(x, y), q = b.At(x, y);
            changed += std::abs(Channel(p, 16) - Channel(q, 16)) + std::abs(Channel(p, 8) - Channel(q, 8)) +
                        std::abs(Channel(p, 0) - Channel(q, 0)) >
                    by
                ? 1
                : 0;
        }
    return changed;
}

// Screen points of the 800 x 600 window: the GUI spans x -1..1 and y 0.75..-0.75.
struct Point
{
    int x, y;
};
constexpr Point kPlay{400, 158};        // start window, and "Level 1" in the level choice
constexpr Point kGoalStart{400, 338};   // the level's goal window
constexpr Point kSpikesButton{40, 572}; // first button of the trap bar
constexpr Point kGround{600, 420};      // open ground right of the march
constexpr Point kQuit{400, 298};        // in-game window
constexpr Point kLeave{400, 238};       // leave-level window
constexpr Point kMenu{400, 498};        // game-over window
constexpr Point kExit{400, 458};        // start window

// The program on the display, known only by what it shows: its log, and the screenshots it
// writes for Print Screen. Each step waits for the state it needs with a generous limit.
class Game
{
public:
    Game(const fs::path& dir, const Desktop& desktop) : mDir(dir), mDesktop(desktop)
    {
        mProcess = std::make_unique<ChildProcess>(
            "cd '" + dir.string() + "' && DISPLAY=" + desktop.Name() +
            " SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=0 "
            "LOOM_ASSERT=continue " LOOM_LEAK_CHECK "exec '" LOOM_PROGRAM "' > stdout.txt 2> stderr.txt");
    }

    std::string Log() const { return TempDir::Read((mDir / "Log.xml").string()); }
    std::string Stderr() const { return TempDir::Read((mDir / "stderr.txt").string()); }

    // Until the log holds the piece so many times; false when the program ended first.
    bool WaitFor(const std::string& piece, size_t times, double seconds = kLimit)
    {
        return WaitUntil([&] { return Count(Log(), piece) >= times || !mProcess->Running(); }, seconds, 0.25) &&
            Count(Log(), piece) >= times;
    }

    // Print Screen, and the picture it writes: a frame that has seen every event sent before.
    // Files are taken away once read, so the program's hundred numbers never run out.
    Bmp Shot()
    {
        mDesktop.Tool("key Print");
        Bmp shot;
        WaitUntil(
            [&] {
                std::vector<fs::path> written;
                for (const auto& entry : fs::directory_iterator(mDir))
                    // Only finished pictures: the program writes each beside its name first.
                    if (const std::string name = entry.path().filename().string();
                        name.rfind("screenshot", 0) == 0 && name.ends_with(".bmp"))
                        written.push_back(entry.path());
                for (const fs::path& path : written)
                    if (const Bmp read = ReadBmp(path.string()); read.width > 0)
                    {
                        shot = read;
                        fs::remove(path);
                    }
                return shot.width > 0 || !mProcess->Running();
            },
            kLimit, 0.05);
        return shot;
    }

    // Shots until the rectangle rests (three frames alike) and, given a picture, no longer shows
    // what that one showed there: a window slid in, a window closed, a button's text changed.
    Bmp Still(int x0, int y0, int x1, int y1, const Bmp* unlike = nullptr)
    {
        const size_t area = size_t(x1 - x0) * size_t(y1 - y0);
        Bmp last, shot;
        int alike = 0;
        WaitUntil(
            [&] {
                shot = Shot();
                if (shot.width == 0)
                    return true;
                // A fade moves a few levels a frame: at rest means (almost) no change at all.
                alike = last.width > 0 && PixelsChanged(last, shot, x0, y0, x1, y1, 6) * 200 < area ? alike + 1 : 0;
                last = shot;
                return alike >= 2 && (!unlike || PixelsChanged(*unlike, shot, x0, y0, x1, y1) > 40);
            },
            kLimit, 0.0);
        return shot;
    }
    Bmp StillAround(Point p, const Bmp* unlike = nullptr)
    {
        return Still(p.x - 60, p.y - 12, p.x + 60, p.y + 12, unlike);
    }

    // Shots until the rectangle around the point no longer shows what the picture showed there,
    // for a field that never rests.
    Bmp Unlike(Point p, const Bmp& from)
    {
        Bmp shot;
        WaitUntil(
            [&] {
                shot = Shot();
                return shot.width == 0 || PixelsChanged(from, shot, p.x - 60, p.y - 12, p.x + 60, p.y + 12) > 40;
            },
            kLimit, 0.0);
        return shot;
    }

    // A click as the program sees it: frames with the pointer there, then a frame that saw the
    // button down before it goes up, so every widget meets the press and the release in turn.
    void Click(Point p, int button = 1)
    {
        Do("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y));
        Press("mousedown " + std::to_string(button), "mouseup " + std::to_string(button));
    }
    void Key(const std::string& name) { Press("keydown " + name, "keyup " + name); }
    void Press(const std::string& down, const std::string& up)
    {
        mDesktop.Tool(down);
        Shot();
        Do(up);
    }
    void Do(const std::string& what)
    {
        mDesktop.Tool(what);
        Shot();
    }
    void Rest()
    {
        mDesktop.Tool("mousemove 400 300");
        Shot();
    }

    int Exit(double seconds) { return mProcess->Wait(seconds); }

    // A software-rendered frame under sanitizers on a loaded machine is slow: minutes, not seconds.
    static constexpr double kLimit = 300.0;

private:
    fs::path mDir;
    const Desktop& mDesktop;
    std::unique_ptr<ChildProcess> mProcess;
};

} // namespace

// The whole program on the real data folder under an X display, played only through the X
// server's mouse and keyboard with software GL on one thread: into the first level from the
// menus, spikes bought from the trap bar and dropped with the mouse, the level lost and its
// game-over window saying so, back to the menus and into the level again, Esc for the in-game
// menu once the invaders come, and out of the program through the menus.
TEST(DesktopPlay, MenusLevelLostReplayedAndLeftByMouseAndKeys)
{
    if (!Installed("Xvfb") || !Installed("xdotool"))
        GTEST_SKIP() << "Xvfb or xdotool is missing (scripts/deps.sh installs both): the desktop run is skipped";
    TempDir temp;
    const fs::path dir = temp.Path("game");
    fs::copy(LOOM_TEST_DATA "/../../data", dir, fs::copy_options::recursive);
    Desktop desktop(temp);
    ASSERT_TRUE(desktop.Up()) << TempDir::Read(temp.Path("xvfb.txt"));
    Game game(dir, desktop);

    const std::string started = "the tower stands";
    // Once the level stands, every cog made is an invader landing (no trap is bought the second time).
    const std::string created = "Creating Cog From Archetype";
    ASSERT_TRUE(game.WaitFor(started, 1)) << game.Stderr();
    game.Rest();
    // The start window at rest; then its button, and the level choice in its place.
    const Bmp menu = game.StillAround(kPlay);
    ASSERT_GT(menu.width, 0) << game.Stderr();
    game.Click(kPlay);
    game.Rest();
    game.StillAround(kPlay, &menu);
    game.Click(kPlay);
    ASSERT_TRUE(game.WaitFor("Starting Level:", 1));
    ASSERT_TRUE(game.WaitFor("Done Loading", 1));
    game.Rest();
    const Bmp goal = game.StillAround(kGoalStart);
    game.Click(kGoalStart);
    game.Rest();
    // The goal window gone, the field lies open.
    const Bmp before = game.Unlike(kGoalStart, goal);
    ASSERT_GT(before.width, 0);
    game.Click(kSpikesButton);
    game.Click(kGround);
    ASSERT_TRUE(game.WaitFor("TypeName: &quot;spikes&quot;", 1)) << "the spikes dropped";
    // Out of the drop mode, back to the claw.
    game.Click(kGround, 3);
    game.Rest();
    // The spikes stand where the pointer was.
    const Bmp after = game.Shot();
    EXPECT_GT(PixelsChanged(before, after, kGround.x - 12, kGround.y - 8, kGround.x + 12, kGround.y + 8), 96u)
        << "the trap under the pointer";

    ASSERT_TRUE(game.WaitFor("Level over: YOU LOST!", 1)) << "the waves take the tower";
    // The game-over window's first line, gold over the dark panel.
    const Bmp over = game.StillAround(kMenu, &after);
    EXPECT_GT(PixelsNear(over, 200, 62, 600, 96, 0xFFD933), 20u) << "YOU LOST! on the game-over window";

    game.Click(kMenu);
    ASSERT_TRUE(game.WaitFor(started, 2)) << "back to the menus";
    game.Rest();
    const Bmp again = game.StillAround(kPlay, &over);
    game.Click(kPlay);
    game.Rest();
    game.StillAround(kPlay, &again);
    game.Click(kPlay);
    ASSERT_TRUE(game.WaitFor("Done Loading", 2));
    game.Rest();
    game.StillAround(kGoalStart);
    const size_t cogsBefore = Count(game.Log(), created);
    game.Click(kGoalStart);
    game.Rest();
    // The first invaders land.
    ASSERT_TRUE(game.WaitFor(created, cogsBefore + 1));
    const Bmp field = game.Shot();
    game.Key("Escape");
    const Bmp paused = game.StillAround(kQuit, &field);
    game.Click(kQuit);
    game.Rest();
    game.StillAround(kLeave, &paused);
    game.Click(kLeave);
    ASSERT_TRUE(game.WaitFor("Level over: YOU QUIT!", 1)) << "the in-game menu opened with Esc";
    game.Rest();
    game.StillAround(kMenu, &paused);
    game.Click(kMenu);
    ASSERT_TRUE(game.WaitFor(started, 3));
    game.Rest();
    game.StillAround(kExit);
    game.Click(kExit);

    EXPECT_EQ(game.Exit(Game::kLimit), 0) << game.Stderr();
    const std::string text = game.Log();
    EXPECT_EQ(Errors(text), std::vector<std::string>{});
    std::smatch lost, quit;
    ASSERT_TRUE(std::regex_search(text, lost, std::regex("Level over: YOU LOST! Kills [0-9]+ Points ([0-9]+)")));
    EXPECT_LT(std::atoi(lost[1].str().c_str()), 150) << "the spikes were paid for";
    ASSERT_TRUE(std::regex_search(text, quit,
                                  std::regex("Level over: YOU QUIT! Kills [0-9]+ Points [0-9]+ Invaders ([0-9]+)")));
    EXPECT_GE(std::atoi(quit[1].str().c_str()), 1) << "invaders had come";
}
