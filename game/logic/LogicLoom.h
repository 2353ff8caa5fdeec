#pragma once
#include <memory>
#include <string>

#include "LOOM/calls/DisplaySettings.h"
#include "LOOM/engine/Loom.h"
#include "game/logic/OwnedCommands.h"

class DataController;
class InvaderGroupList;
class PhraseBank;
class ScriptManager;
class TileMap;

// The game-logic subsystem: owns the data controller and the phrase bank, registers the game's
// component types, script functions and console commands, and publishes the game's counters
// to the scripts every frame. Game components reach it through Instance.
class LogicLoom : public Loom
{
public:
    static LogicLoom* Create();
    // Null before Create. Inline: invaders ask for it many times a frame.
    static LogicLoom* Instance() { return sInstance; }

    ~LogicLoom() override;

    void Init() override;
    void Shutdown() override;
    void RegisterTypes() override;
    void Update() override;
    void Unload() override {}
    std::string GetName() override { return "Logic Loom"; }
    std::string GetTypeName() override { return "LogicLoom"; }

    // Script functions.
    void SetCursorActive(bool active);
    void InvaderSpeech(bool on);
    void SetGameState(int32_t state);
    void SetPoints(int32_t points);
    void UpdateGameOverStats();
    void ResetGameClock();
    void ChangeSettings(DisplaySettings settings);
    DisplaySettings GetSettings();
    void GenMap();
    // The options file into the script globals "OptionShadows" and "OptionVolume", and back.
    void LoadOptions();
    bool SaveOptions(bool shadows, float volume);

    // Console commands.
    void LogicCreateLevel(std::string scriptFile);
    bool SaveLevel(std::string path);

    std::unique_ptr<DataController> mDataController;
    // The level's map; it sets and clears this itself. Null while no level exists.
    TileMap* mTileMap = nullptr;
    std::unique_ptr<PhraseBank> mPhraseBank;
    std::unique_ptr<InvaderGroupList> mGroups;

private:
    LogicLoom();
    // The game-state names and the level's counts, as the scripts read them.
    void PublishConstants(ScriptManager& scripts);
    void PublishCounts(ScriptManager& scripts);
    // A level whose script the watchdog stopped cannot be won or lost: the reason is logged, the
    // level's state reset and a soft restart brings the start script (the menu) back.
    void DropLevel(const std::string& reason);
    void OnUpdateStopped();

    static inline LogicLoom* sInstance = nullptr;

    OwnedCommands mCommands;
    // The script of the level last started, to name it when its per-frame work is stopped.
    std::string mLevelScript;
};

// The loom's data controller and the level's tile map; null without the loom or the level.
// Inline: invaders ask for them many times a frame.
inline DataController* CurrentDataController()
{
    LogicLoom* logic = LogicLoom::Instance();
    return logic ? logic->mDataController.get() : nullptr;
}
inline TileMap* CurrentTileMap()
{
    LogicLoom* logic = LogicLoom::Instance();
    return logic ? logic->mTileMap : nullptr;
}

// The game clock's total time as h:mm:ss.
std::string FormatGameClock();
std::string FormatGameClock(double seconds);
