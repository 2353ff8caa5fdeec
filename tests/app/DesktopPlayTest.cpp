#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
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

bool Installed(const char* tool)
{
    return std::system(("command -v " + std::string(tool) + " > /dev/null 2>&1").c_str()) == 0;
}

// A virtual X display of the window's size (or of the size given, with a window manager when
// asked), with a player at its mouse and keyboard: every event goes through the X server as a
// person's would.
class Desktop
{
public:
    explicit Desktop(const TempDir& dir, const std::string& screen = "800x600", bool windowManager = false)
    {
        for (int tries = 0, n = 60 + int(getpid() % 300); tries < 40 && mDisplay < 0; ++tries, ++n)
        {
            const std::string number = std::to_string(n);
            if (fs::exists("/tmp/.X11-unix/X" + number) || fs::exists("/tmp/.X" + number + "-lock"))
                continue;
            std::string command = "exec Xvfb :" + number;
            command += " -screen 0 " + screen;
            command += "x24 -nolisten tcp -r -ardelay 65000 > '" + dir.Path("xvfb.txt") + "' 2>&1";
            mServer = std::make_unique<ChildProcess>(command);
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
        if (mDisplay >= 0 && windowManager)
        {
            // With no key of its own: its usual set takes Print Screen for itself. Up once it has
            // run its start-up command.
            const std::string config = dir.Write("openbox.xml",
                                                 "<?xml version=\"1.0\"?>\n"
                                                 "<openbox_config xmlns=\"http://openbox.org/3.4/rc\">"
                                                 "<keyboard></keyboard><mouse></mouse></openbox_config>\n");
            const std::string up = dir.Path("wm-up.txt");
            mManager = std::make_unique<ChildProcess>("DISPLAY=" + Name() + " exec openbox --config-file '" + config +
                                                      "' --startup 'touch \"" + up + "\"' > '" +
                                                      dir.Path("openbox.txt") + "' 2>&1");
            if (!WaitUntil([&] { return fs::exists(up) || !mManager->Running(); }, 60.0, 0.1) || !mManager->Running())
                mDisplay = -1;
        }
    }

    bool Up() const { return mDisplay >= 0; }

    // What the tool prints.
    std::string Ask(const std::string& arguments) const
    {
        std::string out;
        if (FILE* pipe = popen(("DISPLAY=" + Name() + " xdotool " + arguments + " 2> /dev/null").c_str(), "r"))
        {
            char buffer[256];
            while (const size_t n = fread(buffer, 1, sizeof(buffer), pipe))
                out.append(buffer, n);
            pclose(pipe);
        }
        return out;
    }
    std::string Name() const { return ":" + std::to_string(mDisplay); }

    void Tool(const std::string& arguments) const
    {
        std::system(("DISPLAY=" + Name() + " xdotool " + arguments + " > /dev/null 2>&1").c_str());
    }

private:
    std::unique_ptr<ChildProcess> mServer;
    // Ends before the server it runs on.
    std::unique_ptr<ChildProcess> mManager;
    int mDisplay = -1;
};

size_t Count(const std::string& text, const std::string& piece)
{
    size_t count = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size()))
        ++count;
    return count;
}

// The program's own time of its newest log entry in milliseconds ("minutes:seconds:ms"), -1
// for none.
long LastLogTime(const std::string& log)
{
    static const std::regex kTime("<Time>([0-9]+):([0-9]+):([0-9]+)</Time>");
    const size_t at = log.rfind("<Time>");
    std::smatch m;
    const std::string tail = at == std::string::npos ? std::string() : log.substr(at, 40);
    if (!std::regex_search(tail, m, kTime))
        return -1;
    return (std::stol(m[1].str()) * 60 + std::stol(m[2].str())) * 1000 + std::stol(m[3].str());
}

int Channel(uint32_t rgb, int shift) { return int((rgb >> shift) & 0xFF); }

// A rectangle of the 800 x 600 screen.
struct Rect
{
    int x0, y0, x1, y1;
};

// Pixels of the rectangle near the colour.
size_t PixelsNear(const Bmp& shot, Rect r, uint32_t rgb)
{
    size_t near = 0;
    for (int y = std::max(0, r.y0); y < std::min(shot.height, r.y1); ++y)
        for (int x = std::max(0, r.x0); x < std::min(shot.width, r.x1); ++x)
        {
            const uint32_t c = shot.At(x, y);
            near += std::abs(Channel(c, 16) - Channel(rgb, 16)) < 60 &&
                    std::abs(Channel(c, 8) - Channel(rgb, 8)) < 60 && std::abs(Channel(c, 0) - Channel(rgb, 0)) < 60
                ? 1
                : 0;
        }
    return near;
}

// Pixels of the rectangle that are light text in either shot and differ between them. The HUD's
// figures are light on a dark plate; what the plate lets through of the field behind it never
// reaches this light, so only the figures themselves count.
size_t TextPixelsChanged(const Bmp& a, const Bmp& b, Rect r)
{
    if (a.width != b.width || a.height != b.height)
        return 0;
    const auto light = [](uint32_t c) { return Channel(c, 16) + Channel(c, 8) + Channel(c, 0) > 450; };
    size_t changed = 0;
    for (int y = std::max(0, r.y0); y < std::min(a.height, r.y1); ++y)
        for (int x = std::max(0, r.x0); x < std::min(a.width, r.x1); ++x)
        {
            const uint32_t p = a.At(x, y), q = b.At(x, y);
            const int by = std::abs(Channel(p, 16) - Channel(q, 16)) + std::abs(Channel(p, 8) - Channel(q, 8)) +
                std::abs(Channel(p, 0) - Channel(q, 0));
            changed += (light(p) || light(q)) && by > 60 ? 1 : 0;
        }
    return changed;
}

// Pixels of the rectangle whose channels differ between the shots by more than the sum given.
size_t PixelsChanged(const Bmp& a, const Bmp& b, Rect r, int by = 60)
{
    if (a.width != b.width || a.height != b.height)
        return 0;
    size_t changed = 0;
    for (int y = std::max(0, r.y0); y < std::min(a.height, r.y1); ++y)
        for (int x = std::max(0, r.x0); x < std::min(a.width, r.x1); ++x)
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
constexpr Point kSpikesButton{25, 572}; // first of the sixteen buttons of the trap bar
constexpr Point kFanButton{177, 572};   // the fifth
constexpr Point kGround{600, 420};      // open ground right of the tower
constexpr Point kFanGround{700, 300};   // open ground further right
constexpr Point kQuit{400, 298};        // in-game window
constexpr Point kResume{400, 238};      // the same window's first button
constexpr Point kLeave{400, 238};       // leave-level window
constexpr Point kStay{400, 298};        // the same window's second button
constexpr Point kMenu{400, 498};        // game-over window
constexpr Point kExit{400, 458};        // start window
// Where the pointer waits: open ground left of the tower, off every window and button, so no
// hovered label (whose letters dance) and no edge scroll moves anything a shot is compared on.
constexpr Point kRest{120, 300};

constexpr Rect kGoalPanel{210, 230, 590, 300};    // the goal window's dark panel, without its text
constexpr Rect kHealthBar{22, 14, 218, 26};       // the tower's health on the HUD, under the console when open
constexpr Rect kFieldLeft{0, 90, 330, 260};       // field left of the tower and above the pointer's claw
constexpr Rect kCredits{700, 10, 790, 35};        // the HUD's credits number
constexpr Rect kOverTitle{200, 62, 600, 96};      // the game-over window's first line
constexpr Rect kPointsRows{195, 130, 420, 182};   // its points earned and used
constexpr Rect kHealthRow{0, 20, 240, 21};        // a row across the health bar, which spans x 20..219
constexpr Rect kTowerPicture{340, 60, 460, 330};  // the tower in the middle of the view of the Tower button
constexpr Rect kHudFigures{640, 8, 795, 92};      // the HUD's credits, kills and time numbers
constexpr Rect kExitQuestion{300, 155, 500, 190}; // the leave dialog's line over its buttons
constexpr Rect kField{0, 60, 800, 540};           // the field of the level's view, under the HUD and over the trap bar

// The march from the gap in the wall line to the tower runs straight down the middle of the
// level's first view: its ground every two spikes' lengths, far end first.
constexpr Point kMarch[] = {{400, 71}, {400, 100}, {400, 135}, {400, 178}, {400, 232}};
constexpr Point kTowerButton{280, 25}; // on the HUD: the tower to the middle of the view
// With the tower in the middle of the view, the tiles next to it that take a trap, two deep: in
// front of it (behind it on the screen), at its sides and at its back corners.
constexpr Point kRing[] = {{489, 247}, {430, 247}, {370, 247}, {311, 247}, {495, 281},
                           {502, 321}, {305, 281}, {298, 321}, {511, 367}, {289, 367}};

constexpr Rect Around(Point p, int dx, int dy) { return Rect{p.x - dx, p.y - dy, p.x + dx, p.y + dy}; }

// The tower's health on the HUD, in pixels of its 200: the bar fills from the left in a colour
// that runs from green to red, with no blue, unlike the ground under it.
int HealthBar(const Bmp& shot)
{
    int filled = 0;
    for (int x = kHealthRow.x0; x < std::min(shot.width, kHealthRow.x1); ++x)
    {
        const uint32_t c = shot.At(x, kHealthRow.y0);
        filled += Channel(c, 0) < 24 && std::max(Channel(c, 16), Channel(c, 8)) > 150 ? 1 : 0;
    }
    return filled;
}

// The program on the display, known only by what it shows: its log, and the screenshots it
// writes for Print Screen. Each step waits for the state it needs, within a generous limit.
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
    bool WaitFor(const std::string& piece, size_t times)
    {
        return WaitUntil([&] { return Count(Log(), piece) >= times || !mProcess->Running(); }, kLimit, 0.1) &&
            Count(Log(), piece) >= times;
    }

    // Print Screen, and the picture it writes. A frame reads the events that came in before it
    // and acts on them in the next: a picture says its frame read every event sent before its
    // key, and the next picture shows what they did. Never while the console is open: it takes
    // the keys.
    Bmp Shot()
    {
        Bmp shot;
        Capture(&shot);
        return shot;
    }
    // The same frame, when only its coming matters.
    bool Fence() { return Capture(nullptr); }
    // Print Screen until a picture comes. Keys sent while the program was busy reach the console
    // a frame apart, and a Print Screen read while it is still open is the console's.
    bool SettleKeys()
    {
        for (int tries = 0; tries < 20; ++tries)
            if (Capture(nullptr, 15.0))
                return true;
        return false;
    }

    // Shots until one shows the state, which the frames after an event bring within a few: the
    // last of them otherwise.
    template <typename Condition>
    Bmp Until(Condition shows)
    {
        Bmp shot;
        for (int tries = 0; tries < 40; ++tries)
            if (shot = Shot(); shot.width == 0 || shows(shot))
                break;
        return shot;
    }

    // A click as a person makes it: the pointer rests on the spot for a frame, and a frame sees
    // the button down before it goes up.
    void Click(Point p, int button = 1)
    {
        Do("mousemove " + std::to_string(p.x) + " " + std::to_string(p.y));
        Do("mousedown " + std::to_string(button));
        Do("mouseup " + std::to_string(button));
    }
    void Key(const std::string& name)
    {
        Do("keydown " + name);
        Do("keyup " + name);
    }
    void Do(const std::string& what)
    {
        mDesktop.Tool(what);
        Fence();
    }
    // Without a frame after it: for the console's keys, or when a log line follows.
    void Send(const std::string& what) { mDesktop.Tool(what); }
    void Rest() { Do("mousemove " + std::to_string(kRest.x) + " " + std::to_string(kRest.y)); }

    int Exit(double seconds) { return mProcess->Wait(seconds); }
    bool Running() { return mProcess->Running(); }

    // Frames until the program's own clock, read from its log, has run the given seconds on:
    // however slow the frames, that much of its time has passed. False when it ended first.
    bool LetTimePass(double seconds)
    {
        const long from = LastLogTime(Log());
        return WaitUntil([&] { return !Fence() || LastLogTime(Log()) >= from + static_cast<long>(seconds * 1000.0); },
                         kLimit, 0.0) &&
            mProcess->Running();
    }

    // A software-rendered frame under sanitizers on a loaded machine is slow: minutes, not seconds.
    static constexpr double kLimit = 300.0;

private:
    // False when no picture came. Files are taken away once seen, so the program's hundred
    // numbers never run out.
    bool Capture(Bmp* picture, double limit = kLimit)
    {
        mDesktop.Tool("key Print");
        bool came = false;
        WaitUntil(
            [&] {
                for (const auto& entry : fs::directory_iterator(mDir))
                    // Only finished pictures: the program writes each beside its name first.
                    if (const std::string name = entry.path().filename().string();
                        name.rfind("screenshot", 0) == 0 && name.ends_with(".bmp"))
                    {
                        if (picture)
                            *picture = ReadBmp(entry.path().string());
                        fs::remove(entry.path());
                        came = true;
                    }
                return came || !mProcess->Running();
            },
            limit, 0.02);
        return came;
    }

    fs::path mDir;
    const Desktop& mDesktop;
    std::unique_ptr<ChildProcess> mProcess;
};

// What the log says of the program's steps.
const std::string kStarted = "the tower stands";
const std::string kLoaded = "Loading Time:";
const std::string kSpikes = "TypeName: &quot;spikes&quot;";
const std::string kWall = "TypeName: &quot;wall&quot;";

// The program on a copy of the game's data folder under a display of its own, up to its start
// window.
class DesktopPlay : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!Installed("Xvfb") || !Installed("xdotool"))
            GTEST_SKIP() << "Xvfb or xdotool is missing (scripts/deps.sh installs both): the desktop run is skipped";
        if (mWindowManager && !Installed("openbox"))
            GTEST_SKIP()
                << "openbox is missing (scripts/deps.sh installs it): the run under a window manager is skipped";
        fs::copy(LOOM_TEST_DATA "/../../data", mDir, fs::copy_options::recursive);
        mDesktop = std::make_unique<Desktop>(mTemp, mScreen, mWindowManager);
        ASSERT_TRUE(mDesktop->Up()) << TempDir::Read(mTemp.Path("xvfb.txt"));
        mGame = std::make_unique<Game>(mDir, *mDesktop);
        ASSERT_TRUE(mGame->WaitFor(kStarted, 1)) << mGame->Stderr();
        // The start script can run before the window takes keys: a Print Screen sent then is lost
        // and the first click's frame never comes. One picture says the keys arrive.
        ASSERT_TRUE(mGame->SettleKeys()) << "the window takes no keys";
    }

    // The start window's Play, then Level 1 in its place: true once the level has loaded for
    // the given time.
    bool OpenLevelOne(size_t times)
    {
        mGame->Click(kPlay);
        mGame->Click(kPlay);
        return mGame->WaitFor(kLoaded, times);
    }

    // The goal window's Start sets the clock going; the picture of the open field once the
    // window has gone.
    Bmp StartClock()
    {
        mGame->Click(kGoalStart);
        mGame->Rest();
        return mGame->Until([](const Bmp& shot) { return PixelsNear(shot, kGoalPanel, 0x181B29) < 2000; });
    }

    // From the game-over window back to the start window, shown for the given time, and out of
    // the program by its exit button: a clean end.
    void LeaveByTheMenus(size_t starts)
    {
        mGame->Click(kMenu);
        ASSERT_TRUE(mGame->WaitFor(kStarted, starts)) << "back to the menus";
        mGame->Click(kExit);
        EXPECT_EQ(mGame->Exit(Game::kLimit), 0) << mGame->Stderr();
        EXPECT_EQ(Errors(mGame->Log()), std::vector<std::string>{});
    }

    // The display: its size, and whether a window manager runs on it.
    std::string mScreen = "800x600";
    bool mWindowManager = false;
    TempDir mTemp;
    const fs::path mDir = mTemp.Path("game");
    std::unique_ptr<Desktop> mDesktop;
    std::unique_ptr<Game> mGame;
};

} // namespace

// The whole program on the real data folder under an X display, played only through the X
// server's mouse and keyboard with software GL on one thread: into the first level from the
// menus; keys typed into the console move and choose nothing; a fan placed by a click and turned
// by a second; spikes bought from the trap bar and dropped with the mouse; the level lost, its
// game-over window saying so, and a click on the field then buying nothing; back to the menus
// and into the level again through a window the window manager made larger, Esc for the in-game
// menu once the invaders come, and out of the program through the menus.
TEST_F(DesktopPlay, MenusLevelLostReplayedAndLeftByMouseAndKeys)
{
    Game& game = *mGame;
    const std::string fan = "TypeName: &quot;fan&quot;";
    // The trap under the pointer while one is chosen, and the arrow of one that waits for its way.
    const std::string preview = "Data\\TrapVisualCog.xml";
    const std::string arrow = "Data\\ArrowCog.xml";
    // Once the level stands, every cog made is an invader landing (no trap is bought the second time).
    const std::string created = "Creating Cog From Archetype";
    ASSERT_TRUE(OpenLevelOne(1)) << game.Stderr();
    const Bmp before = StartClock();
    ASSERT_GT(before.width, 0) << game.Stderr();

    // The console (the backquote key) takes what is typed: W held and 1 go into its line, which
    // the Enter key runs, and neither moves the view nor chooses the spikes. No Print Screen
    // while it is open; its log lines say when each key has been read.
    game.Send("key grave");
    game.Send("type 'Mes open'");
    game.Send("key Return");
    ASSERT_TRUE(game.WaitFor("<Message>open</Message>", 1));
    game.Send("type 'Mes '");
    game.Send("keydown w");
    game.Send("key 1");
    game.Send("key Return");
    EXPECT_TRUE(game.WaitFor("<Message>w1</Message>", 1)) << "W and 1 typed into the console";
    // More frames with W still down.
    game.Send("type 'Mes held'");
    game.Send("key Return");
    EXPECT_TRUE(game.WaitFor("<Message>held</Message>", 1));
    game.Send("keyup w");
    EXPECT_EQ(Count(game.Log(), preview), 0u) << "1 typed into the console chose the spikes";
    game.Send("key grave");
    // The fan's button, pressed and let go with no picture in between: a Print Screen sent with
    // the closing key could still be the console's. The fan in hand says the console is shut.
    game.Send("mousemove " + std::to_string(kFanButton.x) + " " + std::to_string(kFanButton.y));
    game.Send("mousedown 1");
    game.Send("mouseup 1");
    ASSERT_TRUE(game.WaitFor(preview, 1)) << "the fan's button";
    // The console slid away (the health bar as before it opened), and the field where it was.
    const Bmp typed = game.Until([&](const Bmp& shot) { return PixelsChanged(before, shot, kHealthBar) < 20; });
    const size_t moved = PixelsChanged(before, typed, kFieldLeft, 20);
    EXPECT_LT(moved, 1000u) << "keys typed into the console moved the view";

    // The fan: a click sets it on the ground and waits for its way, a second click turns it to
    // the pointer and buys it.
    game.Click(kFanGround);
    ASSERT_TRUE(game.WaitFor(arrow, 1)) << "the fan set on the ground";
    EXPECT_EQ(Count(game.Log(), fan), 0u) << "the first click only places the fan";
    game.Click(Point{kFanGround.x + 60, kFanGround.y});
    ASSERT_TRUE(game.WaitFor(fan, 1)) << "the second click sets the fan down";
    game.Rest();
    const Bmp paid = game.Until([&](const Bmp& shot) { return PixelsChanged(typed, shot, kCredits) > 5; });
    EXPECT_GT(PixelsChanged(typed, paid, kCredits), 5u) << "the fan's price off the HUD's credits";

    // The spikes bought from the trap bar and dropped where the pointer is; they stay in hand.
    game.Click(kSpikesButton);
    game.Click(kGround);
    ASSERT_TRUE(game.WaitFor(kSpikes, 1)) << "the spikes dropped";
    game.Rest();
    const Bmp after =
        game.Until([&](const Bmp& shot) { return PixelsChanged(before, shot, Around(kGround, 12, 8)) > 96; });
    EXPECT_GT(PixelsChanged(before, after, Around(kGround, 12, 8)), 96u) << "the spikes under the pointer";
    EXPECT_GT(PixelsNear(after, Around(kRest, 60, 30), 0x20F020), 1000u) << "more spikes in hand, green on free ground";

    ASSERT_TRUE(game.WaitFor("Level over: YOU LOST!", 1)) << "the waves take the tower";
    // The game-over window's first line, gold over the dark panel.
    const Bmp over = game.Until([](const Bmp& shot) { return PixelsNear(shot, kOverTitle, 0xFFD933) > 20; });
    EXPECT_GT(PixelsNear(over, kOverTitle, 0xFFD933), 20u) << "YOU LOST! on the game-over window";
    // The spikes in hand went with the level: a click where they would have dropped buys nothing.
    const size_t spikesBefore = Count(game.Log(), kSpikes);
    game.Click(kRest);
    const Bmp overAfter = game.Shot();
    EXPECT_EQ(Count(game.Log(), kSpikes), spikesBefore) << "a drop after the game-over window opened";
    EXPECT_LT(PixelsChanged(over, overAfter, kPointsRows), 20u) << "the game-over window's points changed";

    game.Click(kMenu);
    ASSERT_TRUE(game.WaitFor(kStarted, 2)) << "back to the menus";
    // The window made larger, as a window manager does: the frame is stretched over it, and
    // Play and Level 1 are clicked where they are drawn now.
    game.Do("search --onlyvisible --name '^Kestrane$' windowsize %@ 1024 768");
    const auto stretched = [](Point p) { return Point{p.x * 1024 / 800, p.y * 768 / 600}; };
    game.Click(stretched(kPlay));
    game.Click(stretched(kPlay));
    ASSERT_TRUE(game.WaitFor(kLoaded, 2)) << "Play and Level 1 clicked in the larger window";
    game.Do("search --onlyvisible --name '^Kestrane$' windowsize %@ 800 600");
    const size_t cogsBefore = Count(game.Log(), created);
    StartClock();
    // The first invaders land.
    ASSERT_TRUE(game.WaitFor(created, cogsBefore + 1));
    game.Key("Escape");
    game.Click(kQuit);
    game.Click(kLeave);
    ASSERT_TRUE(game.WaitFor("Level over: YOU QUIT!", 1)) << "the in-game menu opened with Esc";
    LeaveByTheMenus(3);

    const std::string text = game.Log();
    std::smatch lost, quit;
    ASSERT_TRUE(std::regex_search(text, lost, std::regex("Level over: YOU LOST! Kills ([0-9]+) Points ([0-9]+)")));
    // Only kills earn credits, and the traps stand off the march: with none, what is left is the
    // start's less the spikes' 10 and the fan's 15.
    if (std::atoi(lost[1].str().c_str()) == 0)
    {
        EXPECT_EQ(std::atoi(lost[2].str().c_str()), 150 - 10 - 15) << "the spikes and the fan were paid for";
    }
    ASSERT_TRUE(std::regex_search(text, quit,
                                  std::regex("Level over: YOU QUIT! Kills [0-9]+ Points [0-9]+ Invaders ([0-9]+)")));
    EXPECT_GE(std::atoi(quit[1].str().c_str()), 1) << "invaders had come";
}

// Level 1 won as a newcomer wins it, through the X server's mouse alone: spikes bought from the
// trap bar with the level's credits, dropped in a line on the march and round the tower (a click
// on another trap's button between buys nothing), and the waves left to them. The tower stays
// all but whole, every invader that came dies, the game-over window says so and the console is
// never used.
TEST_F(DesktopPlay, FirstLevelWonBySpikesDroppedByMouse)
{
    Game& game = *mGame;
    ASSERT_TRUE(OpenLevelOne(1)) << game.Stderr();
    const Bmp before = StartClock();
    ASSERT_GT(before.width, 0) << game.Stderr();

    // The spikes stay in hand from drop to drop; each drop is in the log before the next click.
    // First a line on the march, then, with the Tower button's view, a ring round the tower
    // where any invader that got past would stand to strike it: the level's 150 credits.
    game.Click(kSpikesButton);
    size_t dropped = 0;
    for (const Point& p : kMarch)
    {
        game.Click(p);
        ASSERT_TRUE(game.WaitFor(kSpikes, ++dropped)) << "spikes dropped at " << p.x << ", " << p.y;
    }
    // A click on another trap's button with spikes in hand picks that trap and buys nothing.
    game.Click(kFanButton);
    game.Rest();
    game.Fence();
    EXPECT_EQ(Count(game.Log(), kSpikes), dropped) << "spikes bought by a click on the trap bar";
    // Put away first: a click on the Tower button with a trap in hand drops one under the claw too.
    game.Click(kRest, 3);
    game.Click(kTowerButton);
    game.Rest();
    const Bmp tower = game.Until([&](const Bmp& shot) { return PixelsChanged(before, shot, kTowerPicture) > 10000; });
    ASSERT_GT(PixelsChanged(before, tower, kTowerPicture), 10000u) << "the view moved to the tower";
    game.Click(kSpikesButton);
    for (const Point& p : kRing)
    {
        game.Click(p);
        ASSERT_TRUE(game.WaitFor(kSpikes, ++dropped)) << "spikes dropped at " << p.x << ", " << p.y;
    }
    // The right button puts them away: no green ground under the claw.
    game.Click(kRest, 3);
    const Bmp ringed =
        game.Until([](const Bmp& shot) { return PixelsNear(shot, Around(kRest, 60, 30), 0x20F020) < 100; });
    EXPECT_LT(PixelsNear(ringed, Around(kRest, 60, 30), 0x20F020), 100u) << "spikes still in hand";
    // Those beside the tower's picture show.
    for (const Point& p : kRing)
    {
        if (p.x < kTowerPicture.x0 || p.x > kTowerPicture.x1)
        {
            EXPECT_GT(PixelsChanged(tower, ringed, Around(p, 12, 4)), 24u) << "no spikes at " << p.x << ", " << p.y;
        }
    }

    // The tower's health in pictures taken while the waves come; a picture from a frame after the
    // level's end shows the game-over window instead.
    const std::string over = "Level over:";
    // The waves come for a little over two minutes of game time, which runs with the wall clock.
    constexpr double kLevelLimit = 420.0;
    int weakest = HealthBar(ringed);
    size_t pictures = 0;
    WaitUntil(
        [&] {
            if (Count(game.Log(), over) > 0)
                return true;
            const Bmp shot = game.Shot();
            if (shot.width == 0)
                return true;
            if (Count(game.Log(), over) == 0)
            {
                weakest = std::min(weakest, HealthBar(shot));
                ++pictures;
            }
            return false;
        },
        kLevelLimit, 2.0);
    ASSERT_TRUE(game.WaitFor("Level over: YOU WON!", 1)) << "the waves beat the spikes";
    EXPECT_GT(pictures, 10u) << "pictures of the level while it ran";
    // An invader at the tower strikes it for as long as it lives, a pixel of the bar a blow: the
    // ring ends it within a few.
    EXPECT_GE(weakest, 180) << "invaders struck the tower for long";
    const Bmp won = game.Until([](const Bmp& shot) { return PixelsNear(shot, kOverTitle, 0xFFD933) > 20; });
    EXPECT_GT(PixelsNear(won, kOverTitle, 0xFFD933), 20u) << "YOU WON! on the game-over window";

    LeaveByTheMenus(2);

    const std::string text = game.Log();
    std::smatch end;
    ASSERT_TRUE(std::regex_search(text, end,
                                  std::regex("Level over: YOU WON! Kills ([0-9]+) Points ([0-9]+) Invaders ([0-9]+)")));
    // The level's goal, with none left standing; credits come only from kills, so what is left is
    // more than the start's less the spikes'.
    EXPECT_GE(std::atoi(end[1].str().c_str()), 14);
    EXPECT_EQ(end[3].str(), "0");
    EXPECT_GT(std::atoi(end[2].str().c_str()), 150 - 10 * int(dropped));
    EXPECT_EQ(Count(text, kSpikes), dropped) << "spikes bought";
    // Print Screen is the only console command: the player typed none.
    const std::regex command("<Message>\\]([^<]*)</Message>");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), command); it != std::sregex_iterator(); ++it)
        EXPECT_EQ((*it)[1].str(), "ScreenCap");
}

// Keys pressed in the start window and while the level loads, and clicks on the menus over the
// field, through the X server: a Pause in the start window does not carry into the level, whose
// goal window's Start sets the clock going; Esc and the console key twice during the load leave
// the goal window the only one up and the trap keys the game's, the spikes' key showing their
// preview under the claw in the next picture; then, each with a trap in hand, Resume, the field
// round the leave dialog and its Stay buy nothing; and with the game paused, two trap keys in
// turn each pick their trap.
TEST_F(DesktopPlay, KeysDuringLoadingAndClicksOnMenusStayOffTheField)
{
    Game& game = *mGame;
    const std::string pause = "<Message>]pause</Message>";
    game.Key("Pause");
    ASSERT_TRUE(game.WaitFor("Game Paused", 1)) << "the Pause key in the start window";
    game.Click(kPlay);
    game.Click(kPlay);
    // Queued behind the load, read in the frames after it.
    game.Send("key Escape");
    game.Send("key grave");
    game.Send("key grave");
    ASSERT_TRUE(game.WaitFor(kLoaded, 1)) << game.Stderr();
    ASSERT_TRUE(game.SettleKeys());
    // The goal window is the only one up: its Start sets the clock going.
    const Bmp before = StartClock();
    ASSERT_LT(PixelsNear(before, kGoalPanel, 0x181B29), 2000u) << "the goal window stayed under another";
    EXPECT_TRUE(game.WaitFor("Game Unpaused: the level starts", 1)) << "the pause made in the start window stayed";
    // The claw (yellow) over the ground, and with the key the spikes' preview (green) under it.
    game.Do("mousemove " + std::to_string(kGround.x) + " " + std::to_string(kGround.y));
    constexpr uint32_t kClaw = 0xFFE854, kPreview = 0x00F000;
    // The claw follows the pointer over a few frames.
    const Bmp bare =
        game.Until([&](const Bmp& shot) { return PixelsNear(shot, Around(kGround, 30, 30), kClaw) > 150; });
    EXPECT_GT(PixelsNear(bare, Around(kGround, 30, 30), kClaw), 150u) << "no claw at the pointer";
    EXPECT_LT(PixelsNear(bare, Around(kGround, 60, 50), kPreview), 100u);
    game.Key("1");
    const Bmp picked = game.Shot();
    EXPECT_GT(PixelsNear(picked, Around(kGround, 30, 30), kClaw), 150u) << "no claw over the preview";
    EXPECT_GT(PixelsNear(picked, Around(kGround, 60, 50), kPreview), 1000u) << "no preview after the spikes' key";
    game.Click(kGround);
    ASSERT_TRUE(game.WaitFor(kSpikes, 1)) << "the trap key went to the console";

    // Each case: the trap's key, a way into a menu, then clicks that must buy nothing.
    const struct
    {
        const char* what;
        const char* key;
        std::vector<Point> open;
        std::vector<Point> clicks;
    } cases[] = {
        // Resume's press with a wall in hand would start a wall line there; the field click
        // after it then builds one wall, not a line.
        {"a wall, Resume", "6", {kResume}, {}},
        // Stay, after them, drops nothing under it either.
        {"spikes, the field round the leave dialog", "1", {kQuit}, {{720, 250}, {60, 400}}},
    };
    for (const auto& c : cases)
    {
        const size_t spikes = Count(game.Log(), kSpikes), walls = Count(game.Log(), kWall);
        game.Rest();
        game.Key(c.key);
        game.Key("Escape");
        for (const Point& p : c.open)
            game.Click(p);
        for (const Point& p : c.clicks)
            game.Click(p);
        game.Fence();
        EXPECT_EQ(Count(game.Log(), kSpikes), spikes) << c.what;
        EXPECT_EQ(Count(game.Log(), kWall), walls) << c.what;
        // Back on the field: its own menu closed, a click builds the one trap under the pointer.
        if (std::string(c.key) == "6")
        {
            game.Click(kFanGround);
            EXPECT_TRUE(game.WaitFor(kWall, walls + 1)) << c.what;
            game.Fence();
            EXPECT_EQ(Count(game.Log(), kWall), walls + 1) << c.what << ": a line from the menu's button";
        }
        else
        {
            game.Click(kStay);
            game.Fence();
            EXPECT_EQ(Count(game.Log(), kSpikes), spikes) << c.what << ", then Stay";
        }
        game.Click(kRest, 3);
    }

    // Paused, the trap keys pick as in play, one after another: the turret's key, a drop, the
    // right button to put it away, then the spikes' key and a drop.
    const std::string turret = "TypeName: &quot;laser";
    game.Key("Pause");
    ASSERT_TRUE(game.WaitFor(pause, 2)) << "the Pause key";
    const size_t spikes = Count(game.Log(), kSpikes);
    game.Rest();
    game.Key("l");
    game.Click(Point{720, 250});
    ASSERT_TRUE(game.WaitFor(turret, 1)) << "the turret's key while paused";
    game.Click(kRest, 3);
    game.Key("1");
    game.Click(Point{60, 400});
    EXPECT_TRUE(game.WaitFor(kSpikes, spikes + 1)) << "a second trap key while paused";
    game.Click(kRest, 3);
    game.Key("Pause");
    ASSERT_TRUE(game.WaitFor(pause, 3)) << "the Pause key again";

    game.Key("Escape");
    game.Click(kQuit);
    game.Click(kLeave);
    ASSERT_TRUE(game.WaitFor("Level over: YOU QUIT!", 1)) << "the in-game menu";
    LeaveByTheMenus(2);
}

// The Pause key under each window that stops the clock, the view moved while paused and two trap
// keys a tenth of a second apart, through the X server: with the in-game menu, the leave dialog
// (which asks its question) and the game-over window up, Pause leaves the game held (never "Game Unpaused"), and in
// five seconds of the program's time nothing lands and the HUD's credits, kills and time stand; paused by the key, D
// held moves the view and nothing lands; 2 then C picks the light bulb.
TEST_F(DesktopPlay, PauseUnderTheWindowsHoldsTheLevelAndPausedTheViewAndTrapKeysAnswer)
{
    Game& game = *mGame;
    const std::string created = "Creating Cog From";
    const std::string ignored = "Pause ignored";
    const std::string unpaused = "Game Unpaused";
    const std::string pauseKey = "<Message>]pause</Message>";
    ASSERT_TRUE(OpenLevelOne(1)) << game.Stderr();
    const size_t before = Count(game.Log(), created);
    ASSERT_GT(StartClock().width, 0) << game.Stderr();
    // The first invaders land: the level runs.
    ASSERT_TRUE(game.WaitFor(created, before + 1));

    // Each window: how it opens, and its button back to the field (none for the game-over window).
    const struct
    {
        const char* what;
        std::vector<Point> open;
        const char* title;
    } windows[] = {
        {"the in-game menu", {}, nullptr},
        {"the leave dialog", {kQuit}, nullptr},
        {"the game-over window", {kQuit, kLeave}, "Level over: YOU QUIT!"},
    };
    for (const auto& w : windows)
    {
        game.Rest();
        game.Key("Escape");
        for (const Point& p : w.open)
            game.Click(p);
        game.Rest();
        if (w.title)
        {
            ASSERT_TRUE(game.WaitFor(w.title, 1)) << w.what;
        }
        const Bmp held = game.Shot();
        // The leave dialog asks its question in gold over its buttons.
        if (w.open.size() == 1)
        {
            EXPECT_GT(PixelsNear(held, kExitQuestion, 0xFFD933), 20u) << w.what << ": its question";
        }
        const size_t cogs = Count(game.Log(), created), answers = Count(game.Log(), ignored),
                     resumed = Count(game.Log(), unpaused), keys = Count(game.Log(), pauseKey);
        game.Key("Pause");
        ASSERT_TRUE(game.WaitFor(pauseKey, keys + 1)) << w.what << ": the Pause key";
        ASSERT_TRUE(game.LetTimePass(5.0)) << w.what;
        const Bmp later = game.Shot();
        EXPECT_EQ(Count(game.Log(), created), cogs) << w.what << ": something landed under it";
        EXPECT_EQ(Count(game.Log(), unpaused), resumed) << w.what;
        EXPECT_EQ(Count(game.Log(), ignored), answers + 1) << w.what << ": the log says why the key did nothing";
        EXPECT_EQ(TextPixelsChanged(held, later, kHudFigures), 0u) << w.what << ": the HUD's figures moved under it";
        EXPECT_EQ(PixelsChanged(held, later, kHealthBar), 0u) << w.what << ": the tower's health moved under it";
        if (w.title)
        {
            EXPECT_EQ(PixelsChanged(held, later, kPointsRows), 0u) << w.what << ": its figures changed";
            break;
        }
        game.Click(w.open.empty() ? kResume : kStay);
        game.Rest();

        // Back in play, the Pause key pauses it, and paused the view moves with D held.
        if (w.open.empty())
        {
            const size_t paused = Count(game.Log(), "Game Paused");
            game.Key("Pause");
            ASSERT_TRUE(game.WaitFor("Game Paused", paused + 1)) << "the Pause key in play";
            const Bmp still = game.Shot();
            const size_t landed = Count(game.Log(), created);
            game.Do("keydown d");
            const Bmp moved = game.Until([&](const Bmp& shot) { return PixelsChanged(still, shot, kField) > 40000; });
            game.Do("keyup d");
            EXPECT_GT(PixelsChanged(still, moved, kField), 40000u) << "D held while paused";
            EXPECT_EQ(Count(game.Log(), created), landed) << "something landed while paused";

            // Two trap keys a tenth of a second apart, then a click on open ground: the second
            // key's trap is dropped.
            const std::string bulb = "TypeName: &quot;lightbulb&quot;", hammer = "TypeName: &quot;hammer&quot;";
            game.Send("key 2 sleep 0.1 key c");
            game.Fence();
            game.Click(kGround);
            EXPECT_TRUE(
                WaitUntil([&] { return Count(game.Log(), bulb) + Count(game.Log(), hammer) > 0 || !game.Running(); },
                          Game::kLimit, 0.1));
            EXPECT_EQ(Count(game.Log(), bulb), 1u) << "2 then C picked the light bulb";
            EXPECT_EQ(Count(game.Log(), hammer), 0u) << "2 then C kept the hammer";
            game.Click(kRest, 3);
            game.Key("Pause");
            ASSERT_TRUE(game.WaitFor(unpaused, 1)) << "the Pause key again";
        }
    }
    LeaveByTheMenus(2);
}

namespace {

// The program on a screen larger than its window, under a window manager or on the bare X
// server: "Fullscreen" makes the window fill the screen either way.
class DesktopPlayFullScreen : public DesktopPlay, public ::testing::WithParamInterface<bool>
{
protected:
    DesktopPlayFullScreen()
    {
        mScreen = "1024x768";
        mWindowManager = GetParam();
    }

    // Until the main window has the place and size: the manager may show it in between.
    bool WaitForWindow(Point origin, int width, int height)
    {
        const std::regex geometry("Position: (-?[0-9]+),(-?[0-9]+)[^\\n]*\\n\\s*Geometry: ([0-9]+)x([0-9]+)");
        return WaitUntil(
            [&] {
                const std::string out = mDesktop->Ask("search --onlyvisible --name '^Kestrane$' getwindowgeometry %@");
                std::smatch m;
                return std::regex_search(out, m, geometry) && std::stoi(m[1].str()) == origin.x &&
                    std::stoi(m[2].str()) == origin.y && std::stoi(m[3].str()) == width &&
                    std::stoi(m[4].str()) == height;
            },
            Game::kLimit, 0.1);
    }

    // A console command typed into the console's line with the console shut (Enter opens the
    // line): once the command is in the log the keys are the game's again, Print Screen too.
    void Command(const std::string& line, size_t times)
    {
        // Keys go to the focused window: a window manager on a loaded machine may not have
        // handed the game its focus yet (a player would click it first).
        if (mWindowManager)
            mDesktop->Tool("search --onlyvisible --name '^Kestrane$' windowactivate --sync");
        mGame->Send("key Return");
        mGame->Send("type '" + line + "'");
        mGame->Send("key Return");
        ASSERT_TRUE(mGame->WaitFor("<Message>]" + line + "</Message>", times)) << line;
    }
};

} // namespace

// "Fullscreen" makes the window fill the screen with the frame stretched over it, and the pointer
// goes on pointing where the frame is drawn: Play is clicked where it is drawn on the full
// screen, Level 1 where it is drawn in the window after "Fullscreen" again.
// In the level the pointer on each outermost column and row of the window scrolls the view, and
// back in the menus the pointer is drawn everywhere again.
TEST_P(DesktopPlayFullScreen, PointerFollowsThroughFullScreenAndEveryWindowEdgeScrolls)
{
    Game& game = *mGame;
    ASSERT_NO_FATAL_FAILURE(Command("Fullscreen", 1));
    ASSERT_TRUE(WaitForWindow(Point{0, 0}, 1024, 768)) << "the window fills the screen";
    // A hand on the mouse moves it more than once: a window manager may swallow the first
    // motion while it changes the window.
    game.Do("mousemove 10 10");
    game.Click(Point{kPlay.x * 1024 / 800, kPlay.y * 768 / 600});
    ASSERT_NO_FATAL_FAILURE(Command("Fullscreen", 2));
    // Back in a window of the frame's size, centred on the screen.
    const Point origin{(1024 - 800) / 2, (768 - 600) / 2};
    ASSERT_TRUE(WaitForWindow(origin, 800, 600)) << "back in a window";
    const auto at = [&](Point p) { return Point{origin.x + p.x, origin.y + p.y}; };
    game.Do("mousemove " + std::to_string(at(kRest).x) + " " + std::to_string(at(kRest).y));
    game.Click(at(kPlay));
    ASSERT_TRUE(game.WaitFor(kLoaded, 1)) << "Play on the full screen and Level 1 in the window";

    game.Click(at(kGoalStart));
    const auto rest = [&] { game.Do("mousemove " + std::to_string(at(kRest).x) + " " + std::to_string(at(kRest).y)); };
    rest();
    game.Until([](const Bmp& shot) { return PixelsNear(shot, kGoalPanel, 0x181B29) < 2000; });
    const struct
    {
        Point p;
        const char* edge;
    } edges[] = {{{799, 300}, "right"}, {{0, 300}, "left"}, {{400, 599}, "bottom"}, {{400, 0}, "top"}};
    for (const auto& e : edges)
    {
        // The view still, then the pointer on the edge.
        rest();
        Bmp still = game.Shot();
        for (int tries = 0; tries < 40; ++tries)
        {
            const Bmp next = game.Shot();
            const bool settled = PixelsChanged(still, next, kField) < 2000;
            still = next;
            if (settled)
                break;
        }
        game.Do("mousemove " + std::to_string(at(e.p).x) + " " + std::to_string(at(e.p).y));
        const Bmp moved = game.Until([&](const Bmp& shot) { return PixelsChanged(still, shot, kField) > 40000; });
        EXPECT_GT(PixelsChanged(still, moved, kField), 40000u) << "the pointer on the " << e.edge << " edge";
    }

    // Out of the level by its menus: the start window draws the pointer off its panel too, where
    // the level drew the claw instead.
    game.Key("Escape");
    game.Click(at(kQuit));
    game.Click(at(kLeave));
    ASSERT_TRUE(game.WaitFor("Level over: YOU QUIT!", 1));
    game.Click(at(kMenu));
    ASSERT_TRUE(game.WaitFor(kStarted, 2)) << "back to the menus";
    const Point offPanel{60, 420};
    game.Do("mousemove " + std::to_string(at(offPanel).x) + " " + std::to_string(at(offPanel).y));
    const Bmp menu = game.Shot();
    EXPECT_GT(PixelsNear(menu, Rect{offPanel.x, offPanel.y, offPanel.x + 16, offPanel.y + 16}, 0xFFFFFF), 10u)
        << "the pointer off the start window's panel";
    game.Click(at(kExit));
    EXPECT_EQ(game.Exit(Game::kLimit), 0) << game.Stderr();
    EXPECT_EQ(Errors(game.Log()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Display, DesktopPlayFullScreen, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "UnderAWindowManager" : "WithoutAWindowManager");
                         });
