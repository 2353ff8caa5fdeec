#include "game/logic/LogicLoom.h"

#include <cmath>
#include <cstdio>
#include <new>

#include "LOOM/base/FileUtils.h"
#include "LOOM/base/StopRequest.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/script/ScriptManager.h"
#include "game/components/GameComponents.h"
#include "game/invaders/InvaderGroup.h"
#include "game/invaders/Kestrane.h"
#include "game/level/Spawner.h"
#include "game/level/TileComp.h"
#include "game/level/TileMap.h"
#include "game/level/Wall.h"
#include "game/logic/DataController.h"
#include "game/logic/DisplaySeam.h"
#include "game/logic/GameOptions.h"
#include "game/logic/PhraseBank.h"
#include "game/logic/PlayerSide.h"
#include "game/logic/SceneSeam.h"
#include "game/logic/TerrainSeam.h"
#include "game/tower/BaseTower.h"
#include "game/traps/TrapData.h"

LogicLoom* LogicLoom::Create()
{
    sInstance = new (std::nothrow) LogicLoom();
    return sInstance;
}

LogicLoom::LogicLoom() = default;

LogicLoom::~LogicLoom()
{
    Shutdown();
    ScriptManager::Instance().RemovePublishers(this);
    ScriptManager::Instance().ClearUpdateStopListener(this);
    mCommands.RemoveAll();
    // The scene installed for this engine's game is not the next engine's.
    SetSceneSeam(nullptr);
    if (sInstance == this)
        sInstance = nullptr;
}

void LogicLoom::Init()
{
    mDataController = std::make_unique<DataController>();
    mPhraseBank = std::make_unique<PhraseBank>();
    mGroups = std::make_unique<InvaderGroupList>();
    mDataController->LoadGameData("Config/LogicData.xml");
    LoadPhraseBank(*mPhraseBank, "Config/PhraseBank.xml");
    PublishCounts(ScriptManager::Instance());
}

void LogicLoom::PublishConstants(ScriptManager& scripts)
{
    scripts.SetGlobalInt("InLevel", StateInLevel);
    scripts.SetGlobalInt("QuitLevel", StateQuit);
    scripts.SetGlobalInt("Victory", StateWon);
    scripts.SetGlobalInt("Defeat", StateLost);
    PublishCounts(scripts);
}

void LogicLoom::PublishCounts(ScriptManager& scripts)
{
    if (!mDataController)
        return;
    // Named once: the per-frame publishing builds no strings.
    static const std::string kNumInvaders = "NumInvaders";
    static const std::string kKills = "Kills";
    static const std::string kPoints = "Points";
    static const std::string kLevelActive = "LevelActive";
    static const std::string kGameState = "GameState";
    scripts.SetGlobalInt(kNumInvaders, mDataController->mLiveInvaders);
    scripts.SetGlobalInt(kKills, mDataController->mKills);
    scripts.SetGlobalInt(kPoints, mDataController->mPoints);
    scripts.SetGlobalBool(kLevelActive, mDataController->mGameState == StateInLevel);
    scripts.SetGlobalInt(kGameState, mDataController->mGameState);
}

void LogicLoom::Shutdown()
{
    mGroups.reset();
    mDataController.reset();
    mPhraseBank.reset();
}

void LogicLoom::RegisterTypes()
{
    // Every new script state finds the names again, whichever restart made it.
    ScriptManager::Instance().AddPublisher(this, [this](ScriptManager& scripts) { PublishConstants(scripts); });
    ScriptManager::Instance().SetUpdateStopListener(this, [this] { OnUpdateStopped(); });
    CogFactory& cogs = CogFactory::Instance();
    RegisterTileMap(cogs);
    RegisterTileComp(cogs);
    RegisterWall(cogs);
    RegisterSpawner(cogs);
    RegisterKestrane(cogs);
    RegisterTrapData(cogs);
    RegisterBaseTower(cogs);
    RegisterGameComponents(cogs);

    mCommands.Add("SetCursorActive", MakeConsoleCommand(this, &LogicLoom::SetCursorActive));
    mCommands.Add("InvaderSpeech", MakeConsoleCommand(this, &LogicLoom::InvaderSpeech));
    mCommands.Add("SetGameState", MakeConsoleCommand(this, &LogicLoom::SetGameState));
    mCommands.Add("SetPoints", MakeConsoleCommand(this, &LogicLoom::SetPoints));
    mCommands.Add("UpdateGameOverStats", MakeConsoleCommand(this, &LogicLoom::UpdateGameOverStats));
    mCommands.Add("ResetGameClock", MakeConsoleCommand(this, &LogicLoom::ResetGameClock));
    mCommands.Add("ChangeSettings", MakeConsoleCommand(this, &LogicLoom::ChangeSettings));
    mCommands.Add("GetSettings", MakeConsoleCommand(this, &LogicLoom::GetSettings));
    mCommands.Add("GenMap", MakeConsoleCommand(this, &LogicLoom::GenMap));
    mCommands.Add("LoadOptions", MakeConsoleCommand(this, &LogicLoom::LoadOptions));
    mCommands.Add("SaveOptions", MakeConsoleCommand(this, &LogicLoom::SaveOptions));

    if (PlayerSide* player = GetPlayerSide())
        player->RegisterTypes(cogs, mCommands);
    mCommands.Register("LogicCreateLevel", MakeConsoleCommand(this, &LogicLoom::LogicCreateLevel),
                       "Creates the level by running the script");
    mCommands.Register("SaveLevel", MakeConsoleCommand(this, &LogicLoom::SaveLevel),
                       "Save current Level to Data Files (string)");
}

void LogicLoom::Update()
{
    if (mGroups)
        mGroups->Update();
    PublishCounts(ScriptManager::Instance());
}

void LogicLoom::SetCursorActive(bool active)
{
    if (mDataController)
        mDataController->mCursorActive = active;
}

void LogicLoom::InvaderSpeech(bool on)
{
    if (mPhraseBank)
        mPhraseBank->mEnabled = on;
}

void LogicLoom::SetGameState(int32_t state)
{
    if (mDataController)
        mDataController->SetGameState(state);
}

void LogicLoom::SetPoints(int32_t points)
{
    if (mDataController)
        mDataController->SetPoints(points);
}

void LogicLoom::UpdateGameOverStats()
{
    if (Cog* menu = CogFactory::Instance().FindCogByName("MainMenu"))
        menu->CallFunctionByName("UpdateGameOver");
}

void LogicLoom::ResetGameClock()
{
    if (gCoreEngine)
        gCoreEngine->GetGameClock().Reset();
}

void LogicLoom::ChangeSettings(DisplaySettings settings)
{
    SceneDisplay().ChangeDisplaySettings(settings);
    if (mPhraseBank)
        mPhraseBank->mEnabled = settings.mInvaderSpeech;
}

DisplaySettings LogicLoom::GetSettings()
{
    DisplaySettings settings;
    SceneDisplay().GetDisplaySettings(settings);
    settings.mInvaderSpeech = mPhraseBank ? mPhraseBank->mEnabled : true;
    return settings;
}

void LogicLoom::GenMap()
{
    if (!SceneTerrain().GenerateMap())
        Console::Instance().Log("GenMap: there is no height map to generate", LogGeneral);
}

void LogicLoom::LoadOptions()
{
    const GameOptions options = LoadGameOptions(GameOptions::kFileName);
    ScriptManager& scripts = ScriptManager::Instance();
    scripts.SetGlobalBool("OptionShadows", options.mShadows);
    scripts.SetGlobalFloat("OptionVolume", options.mVolume);
}

bool LogicLoom::SaveOptions(bool shadows, float volume)
{
    GameOptions options;
    options.mShadows = shadows;
    // The slider's end can land a hair outside its range; a file the next start refuses is worse.
    options.mVolume = std::isfinite(volume) ? std::fmin(std::fmax(volume, 0.0f), 1.0f) : options.mVolume;
    return SaveGameOptions(GameOptions::kFileName, options);
}

void LogicLoom::LogicCreateLevel(std::string scriptFile)
{
    Console& console = Console::Instance();
    // A script named by the console or another script: outside the data folder the menu stays.
    std::string inside;
    if (!DataPathInside(scriptFile, inside))
        return;
    // A level script that cannot be read would leave a field with no waves: the menu stays.
    std::string text, why;
    if (!ScriptManager::ReadScript(scriptFile, text, why))
    {
        console.Log("Level not started: " + why, LogError);
        return;
    }
    console.Log("Starting Level: " + scriptFile, LogLoading);
    mLevelScript = scriptFile;
    SceneDisplay().RenderLoading();
    console.Log("Reseting Level Data", LogLoading);
    if (mDataController)
        mDataController->ResetLevel();
    console.Log("Loading Level Data", LogGeneral);
    SceneDisplay().RenderLoading();
    // The new level brings its own per-frame work, whatever became of the last one's.
    ScriptManager::Instance().ResumeUpdate();
    const ScriptResult result = ScriptManager::Instance().RunScript(scriptFile);
    if (result == ScriptResult::Stopped)
    {
        // Stopped half way (too long, too much memory): the field it left is no level. A soft
        // restart clears it and the start script brings the menu back.
        DropLevel("Level not started: " + scriptFile + " was stopped");
        return;
    }
    SceneDisplay().RenderLoading();
    console.Log("Done Loading", LogLoading);
    SceneDisplay().DoneLoading();
}

void LogicLoom::DropLevel(const std::string& reason)
{
    Console::Instance().Log(reason, LogError);
    if (mDataController)
    {
        // Through the game state, so the player's drop modes end as at any level's end.
        mDataController->SetGameState(StateQuit);
        mDataController->ResetLevel();
    }
    SceneDisplay().DoneLoading();
    if (gCoreEngine && !StopRequested())
        gCoreEngine->RequestSoftRestart();
}

void LogicLoom::OnUpdateStopped()
{
    // GUpdate sends a level's waves and decides its end; only a level still in play is lost with
    // it (the menu and a finished level go on without it).
    if (mDataController && mDataController->mGameState == StateInLevel)
        DropLevel("Level ended: the per-frame script of " + (mLevelScript.empty() ? "the level" : mLevelScript) +
                  " was stopped");
}

bool LogicLoom::SaveLevel(std::string path)
{
    if (!mTileMap)
    {
        Console::Instance().Log("SaveLevel: no level to save", LogError);
        return false;
    }
    return mTileMap->SaveLevelFile(path);
}

std::string FormatGameClock(double seconds)
{
    const long long total =
        std::isfinite(seconds) && seconds > 0.0 && seconds < 9.0e18 ? static_cast<long long>(seconds) : 0;
    char text[48];
    std::snprintf(text, sizeof(text), "%lld:%02lld:%02lld", total / 3600, (total / 60) % 60, total % 60);
    return text;
}

std::string FormatGameClock() { return FormatGameClock(gCoreEngine ? gCoreEngine->GetGameClock().GetTime() : 0.0); }

namespace {
PlayerSide* gPlayerSide = nullptr;
} // namespace

PlayerSide* GetPlayerSide() { return gPlayerSide; }

void SetPlayerSide(PlayerSide* side) { gPlayerSide = side; }
