#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tests/LOOM/support/TempDir.h"
#include "tests/app/LeakCheck.h"
#include "tests/app/ProgramShots.h"

namespace fs = std::filesystem;

namespace {
using program_shots::Bmp;
using program_shots::ReadBmp;

bool Installed(const char* tool)
{
    return std::system(("command -v " + std::string(tool) + " > /dev/null 2>&1").c_str()) == 0;
}

void Pause(double seconds) { std::this_thread::sleep_for(std::chrono::milliseconds(int64_t(seconds * 1000.0))); }

// A virtual X display of the window's size, with a player at its mouse and keyboard: every
// event goes through the X server as a person's would.
class Desktop
{
public:
    explicit Desktop(const TempDir& dir) : mPidFile(dir.Path("xvfb.pid"))
    {
        for (int tries = 0, n = 60 + int(getpid() % 300); tries < 40 && mDisplay < 0; ++tries, ++n)
        {
            const std::string number = std::to_string(n);
            if (fs::exists("/tmp/.X11-unix/X" + number) || fs::exists("/tmp/.X" + number + "-lock"))
                continue;
            std::system(("Xvfb :" + number + " -screen 0 800x600x24 -nolisten tcp > '" + dir.Path("xvfb.txt") +
                         "' 2>&1 & echo $! > '" + mPidFile + "'")
                            .c_str());
            for (int i = 0; i < 100 && mDisplay < 0; ++i)
            {
                Pause(0.1);
                if (std::system(("DISPLAY=:" + number + " xdotool getmouselocation > /dev/null 2>&1").c_str()) == 0)
                    mDisplay = n;
            }
            if (mDisplay < 0)
                Stop();
        }
    }
    ~Desktop() { Stop(); }

    bool Up() const { return mDisplay >= 0; }
    std::string Name() const { return ":" + std::to_string(mDisplay); }

    void Tool(const std::string& arguments) const
    {
        std::system(("DISPLAY=" + Name() + " xdotool " + arguments + " > /dev/null 2>&1").c_str());
    }
    // A press held long enough for a slow frame to see it down and then up.
    void Click(int x, int y, int button = 1) const
    {
        Tool("mousemove " + std::to_string(x) + " " + std::to_string(y));
        Pause(0.8);
        Tool("mousedown " + std::to_string(button));
        Pause(0.6);
        Tool("mouseup " + std::to_string(button));
        Pause(0.8);
    }
    void Key(const std::string& name) const
    {
        Tool("keydown " + name);
        Pause(0.6);
        Tool("keyup " + name);
        Pause(0.8);
    }

private:
    void Stop()
    {
        const std::string pid = TempDir::Read(mPidFile);
        if (!pid.empty() && std::atoi(pid.c_str()) > 0)
            std::system(("kill " + std::to_string(std::atoi(pid.c_str())) + " 2> /dev/null").c_str());
        fs::remove(mPidFile);
    }

    std::string mPidFile;
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

size_t PixelsChanged(const Bmp& a, const Bmp& b, int x0, int y0, int x1, int y1)
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
                    60
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
    const fs::path game = temp.Path("game");
    fs::copy(LOOM_TEST_DATA "/../../data", game, fs::copy_options::recursive);
    Desktop desktop(temp);
    ASSERT_TRUE(desktop.Up()) << TempDir::Read(temp.Path("xvfb.txt"));

    const std::string status = (game / "status.txt").string();
    std::system(("(cd '" + game.string() + "' && DISPLAY=" + desktop.Name() +
                 " SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy ALSOFT_DRIVERS=null LP_NUM_THREADS=0 "
                 "LOOM_ASSERT=continue " LOOM_LEAK_CHECK "timeout 540 '" LOOM_PROGRAM
                 "' > stdout.txt 2> stderr.txt; echo $? > status.txt) &")
                    .c_str());
    const std::string logPath = (game / "Log.xml").string();
    auto log = [&] { return TempDir::Read(logPath); };
    // Waits until the log holds the piece so many times; false when the program ended or the
    // time ran out first.
    auto waitFor = [&](const std::string& piece, size_t times, double seconds) {
        for (double waited = 0.0; waited < seconds; waited += 0.25)
        {
            if (Count(log(), piece) >= times)
                return true;
            if (fs::exists(status))
                return false;
            Pause(0.25);
        }
        return false;
    };
    // Print Screen, and the picture it writes.
    auto screenshot = [&](int number) {
        desktop.Key("Print");
        const std::string path = (game / ("screenshot" + std::to_string(number) + ".bmp")).string();
        for (int i = 0; i < 80 && !fs::exists(path); ++i)
            Pause(0.25);
        Pause(1.0);
        return ReadBmp(path);
    };
    const std::string started = "the tower stands";
    ASSERT_TRUE(waitFor(started, 1, 120.0)) << TempDir::Read((game / "stderr.txt").string());
    // The menu slides in.
    Pause(3.0);

    desktop.Click(kPlay.x, kPlay.y);
    desktop.Click(kPlay.x, kPlay.y);
    ASSERT_TRUE(waitFor("Starting Level:", 1, 60.0));
    ASSERT_TRUE(waitFor("Loading Level Data", 1, 60.0));
    Pause(4.0);
    desktop.Click(kGoalStart.x, kGoalStart.y);
    desktop.Tool("mousemove 400 300");
    const Bmp before = screenshot(0);
    desktop.Click(kSpikesButton.x, kSpikesButton.y);
    desktop.Click(kGround.x, kGround.y);
    // Out of the drop mode, back to the claw.
    desktop.Click(kGround.x, kGround.y, 3);
    desktop.Tool("mousemove 400 300");
    Pause(1.0);
    // The spikes stand where the pointer was.
    const Bmp after = screenshot(1);
    ASSERT_GT(before.width, 0);
    EXPECT_GT(PixelsChanged(before, after, kGround.x - 12, kGround.y - 8, kGround.x + 12, kGround.y + 8), 96u)
        << "the trap under the pointer";

    ASSERT_TRUE(waitFor("Level over: YOU LOST!", 1, 240.0)) << "the waves take the tower";
    Pause(2.0);
    // The game-over window's first line, gold over the dark panel.
    EXPECT_GT(PixelsNear(screenshot(2), 200, 62, 600, 96, 0xFFD933), 20u) << "YOU LOST! on the game-over window";

    desktop.Click(kMenu.x, kMenu.y);
    ASSERT_TRUE(waitFor(started, 2, 60.0)) << "back to the menus";
    Pause(3.0);
    desktop.Click(kPlay.x, kPlay.y);
    desktop.Click(kPlay.x, kPlay.y);
    ASSERT_TRUE(waitFor("Loading Level Data", 2, 60.0));
    Pause(4.0);
    desktop.Click(kGoalStart.x, kGoalStart.y);
    desktop.Tool("mousemove 400 300");
    // The first waves land.
    Pause(15.0);
    desktop.Key("Escape");
    desktop.Click(kQuit.x, kQuit.y);
    desktop.Click(kLeave.x, kLeave.y);
    ASSERT_TRUE(waitFor("Level over: YOU QUIT!", 1, 30.0)) << "the in-game menu opened with Esc";
    Pause(1.0);
    desktop.Click(kMenu.x, kMenu.y);
    ASSERT_TRUE(waitFor(started, 3, 60.0));
    Pause(3.0);
    desktop.Click(kExit.x, kExit.y);
    for (int i = 0; i < 240 && TempDir::Read(status).empty(); ++i)
        Pause(0.25);

    EXPECT_EQ(TempDir::Read(status), "0\n") << TempDir::Read((game / "stderr.txt").string());
    const std::string text = log();
    EXPECT_EQ(Errors(text), std::vector<std::string>{});
    std::smatch lost, quit;
    ASSERT_TRUE(std::regex_search(text, lost, std::regex("Level over: YOU LOST! Kills [0-9]+ Points ([0-9]+)")));
    EXPECT_LT(std::atoi(lost[1].str().c_str()), 150) << "the spikes were paid for";
    ASSERT_TRUE(std::regex_search(text, quit,
                                  std::regex("Level over: YOU QUIT! Kills [0-9]+ Points [0-9]+ Invaders ([0-9]+)")));
    EXPECT_GE(std::atoi(quit[1].str().c_str()), 1) << "invaders had come";
}
