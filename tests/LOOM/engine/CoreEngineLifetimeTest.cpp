#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/calls/MessageRegistry.h"
#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/engine/EngineConfig.h"
#include "LOOM/engine/Loom.h"
#include "LOOM/engine/TimedCallList.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/script/ScriptManager.h"
#include "tests/LOOM/support/FakeClock.h"
#include "tests/LOOM/support/LogCapture.h"

namespace {
std::vector<std::string> gMarks;
int gPings = 0;
int gStartRuns = 0;

void ProbeMark(std::string mark) { gMarks.push_back(std::move(mark)); }

bool ProbeFirstRun() { return ++gStartRuns == 1; }

// An engine on the shared cog manager, with a cog type "LifetimeProbe" whose "Ping" counts and
// whose "Restart" asks for a soft restart and then reads its own cog.
class EngineLifetime : public ::testing::Test
{
protected:
    void SetUp() override
    {
        gMarks.clear();
        gPings = 0;
        gStartRuns = 0;
        mOldDataPath = GetDataPath();
        SetDataPath(std::string(LOOM_TEST_DATA) + "/scripts/");
        EngineConfig::Instance() = EngineConfig();
        Console& console = Console::Instance();
        console.AddCommand("ProbeMark", MakeFunctionCommand(&ProbeMark));
        console.AddCommand("ProbeFirstRun", MakeFunctionCommand(&ProbeFirstRun));
    }
    void TearDown() override
    {
        if (gCoreEngine == mEngine.get())
            gCoreEngine = nullptr;
        mEngine.reset();
        Console::Instance().RemoveCommand("ProbeMark");
        Console::Instance().RemoveCommand("ProbeFirstRun");
        EngineConfig::Instance() = EngineConfig();
        SetDataPath(mOldDataPath);
    }

    CoreEngine& StartEngine()
    {
        mEngine = std::make_unique<CoreEngine>(nullptr, LoomFactories{});
        gCoreEngine = mEngine.get();
        mEngine->Start();
        DefineProbeType();
        return *mEngine;
    }

    static void DefineProbeType()
    {
        CogFactory& cogs = CogFactory::Instance();
        cogs.Types().RegisterFunction("LifetimeProbePing", MakeCogFunctor([](Cog*) { ++gPings; }));
        cogs.Types().RegisterFunction("LifetimeProbeRestart", MakeCogFunctor([](Cog* cog) {
                                          Console::Instance().ExecuteLine("SoftRestart");
                                          gMarks.push_back("after restart call on " + cog->GetName());
                                      }));
        auto type = std::make_shared<Composer>(cogs, "LifetimeProbe", "");
        type->BindFunction("Ping", cogs.Types().FindFunction("LifetimeProbePing"));
        type->BindFunction("Restart", cogs.Types().FindFunction("LifetimeProbeRestart"));
        type->BindFunction("AutoFire", cogs.Types().FindFunction("AutoFire"));
        cogs.Types().RegisterType("LifetimeProbe", type);
    }

    static Cog* MakeProbe(const std::string& name = "")
    {
        Cog* cog = CogFactory::Instance().Allocate("LifetimeProbe");
        cog->SetName(name);
        cog->Initialize();
        return cog;
    }

    FakeClock mClock;
    std::unique_ptr<CoreEngine> mEngine;
    std::string mOldDataPath;
};
} // namespace

TEST_F(EngineLifetime, TimedCallsAndSubscriptionsDoNotReachTheCogThatReusesAnId)
{
    CoreEngine& engine = StartEngine();
    Cog* old = MakeProbe();
    const uint32_t id = old->GetID();
    engine.GetTimedCalls().Add(*old, 0, "Ping", 0);
    engine.GetMessageRegistry().Subscribe("Game", id);

    Console::Instance().ExecuteLine("SoftRestart");
    DefineProbeType();
    Cog* fresh = MakeProbe();
    ASSERT_EQ(fresh->GetID(), id) << "IDs start at 1 again after a restart";
    EXPECT_EQ(engine.GetTimedCalls().Size(), 0u);
    EXPECT_TRUE(engine.GetMessageRegistry().GetSubscribers("Game")->empty());

    mClock.Advance(0.1);
    engine.Frame();
    ParamBuffer none;
    engine.GetMessageRegistry().Broadcast("Game", "Ping", none);
    EXPECT_EQ(gPings, 0);

    // A cog destroyed at a frame's end leaves nothing behind either.
    engine.GetTimedCalls().Add(*fresh, 0, "Ping", 0);
    engine.GetMessageRegistry().Subscribe("Game", fresh->GetID());
    fresh->Destroy();
    engine.Frame();
    EXPECT_EQ(engine.GetTimedCalls().Size(), 0u);
    EXPECT_TRUE(engine.GetMessageRegistry().GetSubscribers("Game")->empty());
}

// The cog manager outlives its engines; what one engine's run registered goes with it, and the
// next one's functors schedule on that next engine.
TEST_F(EngineLifetime, WhatAnEngineRegisteredGoesWithItAndAutoFireSchedulesOnTheNext)
{
    StartEngine();
    mEngine.reset();
    gCoreEngine = nullptr;
    CogFactory& cogs = CogFactory::Instance();
    EXPECT_EQ(cogs.Types().FindType("LifetimeProbe"), nullptr);
    EXPECT_EQ(cogs.Allocate("LifetimeProbe"), nullptr);
    for (const char* function : {"LifetimeProbePing", "AutoFire", "AutoSelectEditor"})
        EXPECT_EQ(cogs.Types().FindFunction(function), nullptr) << function;

    StartEngine();
    Cog* cog = MakeProbe();
    cog->CallFunctionByName("AutoFire");
    EXPECT_EQ(mEngine->GetTimedCalls().Size(), 1u);
    EXPECT_TRUE(mEngine->GetTimedCalls().Has(cog->GetID(), "AutoFire"));

    gCoreEngine = nullptr;
    cog->CallFunctionByName("AutoFire"); // no engine: nothing to schedule on
    EXPECT_EQ(mEngine->GetTimedCalls().Size(), 1u);
}

TEST_F(EngineLifetime, RestartAskedByTheStartScriptRunsAfterIt)
{
    EngineConfig::Instance().mStartupScript = "Scripts/RestartOnce.lua";
    LogCapture log;
    StartEngine();
    EXPECT_EQ(gMarks, (std::vector<std::string>{"begin", "end", "begin", "end"}));
    EXPECT_EQ(log.Count("Soft Restarting"), 1);
    EXPECT_EQ(gStartRuns, 2);
    EXPECT_NE(ScriptManager::Instance().GetState(), nullptr);
}

TEST_F(EngineLifetime, RestartAskedByACogFunctionFromLuaWaitsForTheScript)
{
    CoreEngine& engine = StartEngine();
    MakeProbe("Probe");
    LogCapture log;
    ScriptManager::Instance().RunScript("Scripts/CallProbe.lua");
    EXPECT_EQ(gMarks, (std::vector<std::string>{"after restart call on Probe", "script end"}));
    EXPECT_EQ(log.Count("Soft Restarting"), 1);
    EXPECT_EQ(CogFactory::Instance().GetCogCount(), 0u);

    // The same from inside a frame: carried out at the frame's end.
    DefineProbeType();
    Cog* cog = MakeProbe("Probe");
    engine.GetTimedCalls().Add(*cog, 0, "Restart", 1);
    mClock.Advance(0.1);
    engine.Frame();
    EXPECT_EQ(log.Count("Soft Restarting"), 2);
    EXPECT_EQ(gMarks.back(), "after restart call on Probe");
    EXPECT_EQ(CogFactory::Instance().GetCogCount(), 0u);
}

namespace {
// Passes a parameter while it shuts down, as a loom sending its last message would.
class ParamsAtShutdownLoom : public Loom
{
public:
    void Init() override {}
    void Shutdown() override
    {
        ParamBuffer params;
        params.PushStdString("bye");
    }
    void RegisterTypes() override {}
    void Update() override {}
    void Unload() override {}
    std::string GetName() override { return "Probe Loom"; }
    std::string GetTypeName() override { return "ProbeLoom"; }
};
} // namespace

TEST_F(EngineLifetime, ParameterPoolIsEmptyAfterTeardown)
{
    const size_t before = ParamBuffer::FreeCount();
    LoomFactories factories;
    factories.mLogic = []() -> Loom* { return new ParamsAtShutdownLoom; };
    {
        CoreEngine engine(nullptr, factories);
        engine.Start();
        EXPECT_GE(ParamBuffer::FreeCount(), 8u);
    }
    EXPECT_EQ(ParamBuffer::FreeCount(), 0u);
    ParamBuffer::AllocatePool(static_cast<int>(before)); // as the other tests found it
}
