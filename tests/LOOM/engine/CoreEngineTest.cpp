#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/engine/EngineConfig.h"
#include "LOOM/engine/Loom.h"
#include "LOOM/factory/CogFactory.h"
#include "tests/LOOM/support/FakeClock.h"
#include "tests/LOOM/support/LogCapture.h"

namespace {
std::vector<std::string> gEvents;
std::string gUpdateLine;     // a console line one loom runs from inside its update
FakeClock* gClock = nullptr; // the graphics loom's update takes gGraphicsWork seconds of it
double gGraphicsWork = 0.0;

class FakeLoom : public Loom
{
public:
    explicit FakeLoom(std::string name) : mName(std::move(name)) { gEvents.push_back("create " + mName); }
    ~FakeLoom() override { gEvents.push_back("delete " + mName); }
    void Init() override { gEvents.push_back("init " + mName); }
    void Shutdown() override { gEvents.push_back("shutdown " + mName); }
    void RegisterTypes() override { gEvents.push_back("register " + mName); }
    void Update() override
    {
        gEvents.push_back("update " + mName);
        if (mName == "Graphics" && gClock)
            gClock->Advance(gGraphicsWork);
        if (mName == "Logic" && !gUpdateLine.empty())
        {
            const std::string line = gUpdateLine;
            gUpdateLine.clear();
            Console::Instance().ExecuteLine(line);
        }
    }
    void Unload() override {}
    std::string GetName() override { return mName + " Loom"; }
    std::string GetTypeName() override { return mName + "Loom"; }

private:
    std::string mName;
};

LoomFactories FakeFactories()
{
    LoomFactories f;
    f.mAudio = []() -> Loom* { return new FakeLoom("Audio"); };
    f.mIO = []() -> Loom* { return new FakeLoom("IO"); };
    f.mNetwork = []() -> Loom* { return new FakeLoom("Network"); };
    f.mPhysics = []() -> Loom* { return new FakeLoom("Physics"); };
    f.mGraphics = []() -> Loom* { return new FakeLoom("Graphics"); };
    f.mLogic = []() -> Loom* { return new FakeLoom("Logic"); };
    return f;
}

// An engine on the default settings, started, the events of its start forgotten.
std::unique_ptr<CoreEngine> StartedEngine(LoomFactories factories)
{
    EngineConfig::Instance() = EngineConfig();
    auto engine = std::make_unique<CoreEngine>(nullptr, factories);
    engine->Start();
    gEvents.clear();
    return engine;
}

// The events of one kind, in order.
std::vector<std::string> Only(const std::string& kind)
{
    std::vector<std::string> out;
    for (const std::string& e : gEvents)
        if (e.rfind(kind + " ", 0) == 0)
            out.push_back(e.substr(kind.size() + 1));
    return out;
}

using Names = std::vector<std::string>;

bool Logged(const std::string& text, uint32_t since)
{
    return LogCapture(since).CountIf([&text](const LogEntry& entry) { return entry.mText == text; }) > 0;
}
} // namespace

TEST(CoreEngine, LoomsRunInTheirFixedOrders)
{
    gEvents.clear();
    EngineConfig::Instance() = EngineConfig();
    {
        CoreEngine engine(nullptr, FakeFactories());
        engine.Start();
        EXPECT_EQ(Only("create"), (Names{"Audio", "IO", "Network", "Physics", "Graphics", "Logic"}));
        EXPECT_EQ(Only("register"), (Names{"Audio", "IO", "Graphics", "Logic", "Physics", "Network"}));
        EXPECT_EQ(Only("init"), (Names{"Audio", "Network", "Physics", "IO", "Graphics", "Logic"}));
        gEvents.clear();
        engine.Frame();
        EXPECT_EQ(Only("update"), (Names{"Graphics", "Physics", "Logic", "Audio", "IO", "Network"}));
        gEvents.clear();
    }
    EXPECT_EQ(Only("shutdown"), (Names{"Audio", "Logic", "Graphics", "IO", "Physics"}));
    EXPECT_EQ(Only("delete"), (Names{"Graphics", "IO", "Network", "Physics", "Audio", "Logic"}));
}

TEST(CoreEngine, HardRestartFromInsideAFrameWaitsForItsEnd)
{
    auto engine = StartedEngine(FakeFactories());
    gUpdateLine = "restart";
    engine->Frame();
    // Every update of the frame ran before any loom went down.
    EXPECT_EQ(Only("update"), (Names{"Graphics", "Physics", "Logic", "Audio", "IO", "Network"}));
    EXPECT_EQ(gEvents[6], "shutdown Audio");
    EXPECT_EQ(Only("shutdown"), (Names{"Audio", "Logic", "Graphics", "IO", "Physics"}));
    EXPECT_EQ(Only("init"), (Names{"Audio", "Network", "Physics", "IO", "Graphics", "Logic"}));
    EXPECT_TRUE(Only("register").empty()) << "types are registered once";
    EXPECT_TRUE(Only("create").empty());
}

TEST(CoreEngine, SoftRestartKeepsTheLoomsAndDestroysTheCogs)
{
    auto engine = StartedEngine(FakeFactories());
    const uint32_t since = Console::Instance().GetEntryCounter();
    Console::Instance().ExecuteLine("SoftRestart");
    EXPECT_TRUE(Logged("Soft Restarting", since));
    EXPECT_TRUE(Only("shutdown").empty());
    EXPECT_TRUE(Only("init").empty());
    EXPECT_EQ(CogFactory::Instance().GetCogCount(), 0u);
}

TEST(CoreEngine, PauseCommandsFreezeGameTimeOnly)
{
    FakeClock fake;
    auto engine = StartedEngine(LoomFactories{});
    engine->Frame();
    const uint32_t since = Console::Instance().GetEntryCounter();
    fake.Advance(0.5);
    engine->Frame();
    const double before = engine->GetGameClock().GetTime();
    EXPECT_NEAR(before, 0.5, 1e-6);

    Console::Instance().ExecuteLine("pause");
    EXPECT_TRUE(Logged("Game Paused", since));
    fake.Advance(2.0);
    engine->Frame();
    EXPECT_DOUBLE_EQ(engine->GetGameClock().GetTime(), before);
    Console::Instance().ExecuteLine("pause");
    EXPECT_TRUE(Logged("Game Unpaused", since));

    Console::Instance().ExecuteLine("SetPause true");
    EXPECT_TRUE(engine->GetGameClock().IsPaused());
    fake.Advance(1.0);
    Console::Instance().ExecuteLine("SetPause false");
    fake.Advance(0.25);
    engine->Frame();
    EXPECT_NEAR(engine->GetGameClock().GetTime(), before + 0.25, 1e-6);
    EXPECT_GT(engine->GetRunTime(), 3000) << "core time runs on while paused";
}

// A window holds the clock from the script's SetPause true to its SetPause false, and the pause
// key leaves a held clock alone; a lock (a level that is over) outranks both. A pause the player
// made before a window opened stays once it closes, and a restart lets go of everything. A lost
// display holds the clock against the key and the windows until it is back, then leaves it
// paused for the player; an assertion stops it from the next frame until the player's key, a
// window closing does not start it; a level's Start sets it going whatever paused it.
TEST(CoreEngine, AWindowsHoldAndALockOutrankThePauseKey)
{
    FakeClock fake;
    auto engine = StartedEngine(LoomFactories{});
    engine->Frame();
    Console& console = Console::Instance();
    // Each step: a line or a lock, then a second of real time and a frame; whether game time
    // moved in that second, and the pause texts the step logged.
    const struct
    {
        const char* line;
        int lock; // -1 none, 0 unlock, 1 lock, 2 display lost, 3 display back, 4 assertion, 5 Start
        bool moves;
        // The key's PAUSED sign: only for the player's own pause, a window shows itself.
        bool sign;
        const char* logged;
    } steps[] = {
        {"SetPause true", -1, false, false, ""},
        {"pause", -1, false, false, "Pause ignored: a window holds the game until it closes"},
        {"pause", -1, false, false, "Pause ignored: a window holds the game until it closes"},
        {"SetPause false", -1, true, false, ""},
        {"pause", -1, false, true, "Game Paused"},
        {"SetPause true", -1, false, false, ""},
        {"SetPause false", -1, false, true, ""},
        {"pause", -1, true, false, "Game Unpaused"},
        {"", 1, false, false, ""},
        {"pause", -1, false, false, "Pause ignored: the game is over and stays stopped"},
        {"SetPause false", -1, false, false, ""},
        {"SetPause true", -1, false, false, ""},
        {"", 0, false, false, ""},
        {"SetPause false", -1, true, false, ""},
        {"", 1, false, false, ""},
        {"SoftRestart", -1, true, false, ""},
        {"pause", -1, false, true, "Game Paused"},
        {"restart", -1, true, false, ""},
        {"", 2, false, false, ""},
        {"pause", -1, false, false, "Pause ignored: the display is lost until it is back"},
        {"SetPause false", -1, false, false, ""},
        {"", 3, false, true, ""},
        {"pause", -1, true, false, "Game Unpaused"},
        {"", 4, false, true, ""},
        {"SetPause true", -1, false, false, ""},
        {"SetPause false", -1, false, true, ""},
        {"pause", -1, true, false, "Game Unpaused"},
        {"pause", -1, false, true, "Game Paused"},
        {"", 5, true, false, "Game Unpaused: the level starts"},
    };
    int index = 0;
    for (const auto& step : steps)
    {
        const uint32_t since = console.GetEntryCounter();
        if (step.lock == 0 || step.lock == 1)
            engine->LockClock(step.lock == 1);
        else if (step.lock == 2 || step.lock == 3)
            engine->SetDisplayLost(step.lock == 2);
        else if (step.lock == 4)
            AssertFailed("held", "CoreEngineTest", 1, "an assertion in play");
        else if (step.lock == 5)
            engine->StartLevelClock();
        else
            console.ExecuteLine(step.line);
        const double before = engine->GetGameClock().GetTime();
        fake.Advance(1.0);
        engine->Frame();
        const double moved = engine->GetGameClock().GetTime() - before;
        EXPECT_NEAR(moved, step.moves ? 1.0 : 0.0, 1e-6) << "step " << index << ": " << step.line;
        for (const char* text : {"Game Paused", "Game Unpaused", "Pause ignored"})
        {
            const int count = LogCapture(since).CountIf(
                [&](const LogEntry& entry) { return std::string(entry.mText).starts_with(text); });
            EXPECT_EQ(count, std::string(step.logged).starts_with(text) ? 1 : 0) << "step " << index << ": " << text;
        }
        if (*step.logged)
        {
            EXPECT_TRUE(Logged(step.logged, since)) << "step " << index;
        }
        EXPECT_EQ(engine->IsPausedByPlayer(), step.sign) << "step " << index;
        ++index;
    }
}

TEST(CoreEngine, FrameStatisticsSkipZeroLengthFrames)
{
    FakeClock fake;
    auto engine = StartedEngine(LoomFactories{});
    engine->Frame(); // zero seconds: no sample
    EXPECT_FLOAT_EQ(engine->GetFrameRate(), 0.0f);
    fake.Advance(0.02);
    engine->Frame();
    EXPECT_NEAR(engine->GetFrameRate(), 50.0f, 0.01f);
    EXPECT_NEAR(engine->GetFrameDt(), 0.02f, 1e-6f);
}

// Slow frames, then quick ones: the graphics time never passes the frame time it is a share of.
TEST(CoreEngine, LoomTimesAreSharesOfTheSameFrames)
{
    FakeClock fake;
    auto engine = StartedEngine(FakeFactories());
    gClock = &fake;
    const struct
    {
        double work, frame;
    } frames[] = {{0.05, 0.06}, {0.05, 0.06}, {0.001, 0.002}, {0.001, 0.002}, {0.0, 0.001}};
    for (const auto& f : frames)
    {
        gGraphicsWork = f.work;
        fake.Advance(f.frame - f.work);
        engine->Frame();
        EXPECT_GT(engine->GetFrameTime(), 0.0f);
        EXPECT_LE(engine->GetGraphicsTime(), engine->GetFrameTime() * 1.0001f) << f.work << " of " << f.frame;
    }
    gClock = nullptr;
    gGraphicsWork = 0.0;
}

TEST(CoreEngine, ExitEndsTheLoopAfterTheFrame)
{
    auto engine = StartedEngine(LoomFactories{});
    EXPECT_TRUE(engine->IsRunning());
    const uint32_t since = Console::Instance().GetEntryCounter();
    Console::Instance().ExecuteLine("exit");
    EXPECT_FALSE(engine->IsRunning());
    engine->Run();
    EXPECT_TRUE(Logged("Control Loop Terminated", since));
}
