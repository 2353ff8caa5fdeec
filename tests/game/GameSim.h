#pragma once
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/engine/EngineConfig.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Random.h"
#include "audio/AudioLoom.h"
#include "game/level/TileComp.h"
#include "game/level/TileMap.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/player/PlayerBinding.h"
#include "graphics/scene/SceneComponents.h"
#include "physics/PhysicsLoom.h"
#include "physics/collision/GridGround.h"
#include "tests/LOOM/support/FakeClock.h"
#include "tests/LOOM/support/TempDir.h"

// The game's data folder in the repository.
inline std::string GameDataFolder() { return std::string(LOOM_TEST_DATA) + "/../../data"; }

// The whole engine with the logic loom, run headless on a private copy of a data folder: a
// fixed 1/60 s frame on a fake clock, a seeded random source, looms and scripts in the frame
// loop's order. The working directory and the data path point at the copy while it lives.
class GameSim
{
public:
    static constexpr double kStep = 1.0 / 60.0;

    // addLooms may add looms (input, graphics) to the logic, physics and audio ones.
    explicit GameSim(const std::string& dataFolder = GameDataFolder(), uint32_t seed = 7,
                     void (*addLooms)(LoomFactories&) = nullptr)
    {
        std::filesystem::copy(dataFolder, mDir.Path("data"), std::filesystem::copy_options::recursive);
        mOldCwd = std::filesystem::current_path();
        mOldDataPath = GetDataPath();
        std::filesystem::current_path(mDir.Path("data"));
        SetDataPathFromCwd();
        RandomSeed(seed);
        mOldConfig = EngineConfig::Instance();
        EngineConfig& config = EngineConfig::Instance();
        config = EngineConfig();
        config.mProcessCompFolder = true;
        config.mStartupScript = "Scripts\\Start.lua";
        config.mConfigFolder = "Config";
        SetPlayerSide(&mPlayer);
        LoomFactories looms;
        looms.mLogic = []() -> Loom* { return LogicLoom::Create(); };
        looms.mPhysics = []() -> Loom* { return PhysicsLoom::Create(); };
        looms.mAudio = []() -> Loom* { return AudioLoom::Create(); };
        // Flat ground under the whole world until the scene has a terrain.
        mGround.ComputeNormals();
        Ground::SetCurrent(&mGround);
        // The data folder's cogs carry models; they load without a device and draw nothing.
        RegisterSceneComponents(CogFactory::Instance());
        if (addLooms)
            addLooms(looms);
        mEngine = std::make_unique<CoreEngine>(nullptr, looms);
        gCoreEngine = mEngine.get();
        mEngine->Start();
    }

    ~GameSim()
    {
        mEngine.reset();
        SetPlayerSide(nullptr);
        gCoreEngine = nullptr;
        Ground::ClearCurrent(&mGround);
        EngineConfig::Instance() = mOldConfig;
        std::filesystem::current_path(mOldCwd);
        SetDataPath(mOldDataPath);
    }

    GameSim(const GameSim&) = delete;
    GameSim& operator=(const GameSim&) = delete;

    void Step(int frames = 1)
    {
        for (int i = 0; i < frames; ++i)
        {
            mClock.Advance(mStep);
            mEngine->Frame();
        }
    }
    // Steps until the condition holds or the frames run out; true when it held.
    template <typename Condition>
    bool StepUntil(Condition condition, int maxFrames)
    {
        for (int i = 0; i < maxFrames; ++i)
        {
            if (condition())
                return true;
            Step();
        }
        return condition();
    }

    // The frame time of the following steps (kStep until changed).
    void SetStep(double seconds) { mStep = seconds; }

    void Run(const std::string& line) { Console::Instance().ExecuteLine(line); }
    CoreEngine& Engine() { return *mEngine; }
    LogicLoom& Logic() { return *LogicLoom::Instance(); }
    DataController& Data() { return *LogicLoom::Instance()->mDataController; }
    CogFactory& Cogs() { return CogFactory::Instance(); }
    std::string Path(const std::string& name) const { return mDir.Path("data/" + name); }
    // Writes a plain composition (no functions, updates or archetypes) under Test/ and registers it.
    void AddComposition(const std::string& cogName, const std::string& group, const std::vector<int>& components)
    {
        std::filesystem::create_directories(Path("Test"));
        std::ofstream file(Path("Test/" + cogName + ".xml"));
        file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Stream version=\"2.0\">\n\t<FileComposition>\n"
             << "\t\t<string name=\"CogName\">" << cogName << "</string>\n"
             << "\t\t<string name=\"GroupName\">" << group << "</string>\n"
             << "\t\t<list name=\"Components\" size=\"" << components.size() << "\" type=\"CompID\">\n";
        for (int id : components)
            file << "\t\t\t<CompID>" << id << "</CompID>\n";
        file << "\t\t</list>\n"
             << "\t\t<list name=\"Functions\" size=\"0\" type=\"Funcmapping\">\n\t\t</list>\n"
             << "\t\t<list name=\"UpdateList\" size=\"0\" type=\"func\">\n\t\t</list>\n"
             << "\t\t<list name=\"Archetypes\" size=\"0\" type=\"Archetype\">\n\t\t</list>\n"
             << "\t</FileComposition>\n</Stream>\n";
        file.close();
        Cogs().Files().LoadComposition("Test/" + cogName + ".xml");
    }

private:
    FakeClock mClock;
    double mStep = kStep;
    TempDir mDir;
    std::filesystem::path mOldCwd;
    std::string mOldDataPath;
    EngineConfig mOldConfig;
    GridGround mGround{129, 129, 4.0f};
    PlayerBinding mPlayer;
    std::unique_ptr<CoreEngine> mEngine;
};

// Fixture pieces shared by the grid tests: a level cog of any size and footprints on it.
struct GridMaker
{
    GameSim& mSim;

    // A "Level" cog with its map initialised (and made current).
    TileMap& Map(uint32_t width, uint32_t depth, Vector3 offset = Vector3(50, 0, 50), Vector3 scale = Vector3(1, 1, 1))
    {
        Cog* level = mSim.Cogs().Allocate("Level");
        EXPECT_NE(level, nullptr);
        level->SetName("Level");
        TileMap& map = *level->Get<TileMap>();
        map.widthSize = width;
        map.depthSize = depth;
        map.mWorldOffset = offset;
        map.mWorldTileScale = scale;
        level->Initialize();
        return map;
    }

    // A wall-type cog with the given footprint, created at the position.
    TileComp& Footprint(int32_t width, int32_t depth, Vector3 position, bool passable = true)
    {
        Cog* cog = mSim.Cogs().Allocate("wall");
        EXPECT_NE(cog, nullptr);
        TileComp& tiles = *cog->Get<TileComp>();
        tiles.widthSize = width;
        tiles.depthSize = depth;
        tiles.IsPassable = passable;
        cog->Get<Positional>()->SetPosition(position);
        cog->Initialize();
        return tiles;
    }
};
