#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "game/logic/DropPreview.h"
#include "game/logic/GameData.h"
#include "game/logic/LiveList.h"
#include "game/logic/OwnedCommands.h"

class Comp;
class Serializer;
class Wall;

// Game states, as the scripts name them.
enum GameState : int32_t
{
    StateInLevel = 0,
    StateQuit = 1,
    StateWon = 2,
    StateLost = 3,
    StateDisconnected = 4,
};

// Kill kinds: the damage type of an invader's fatal hit.
enum KillKind : int32_t
{
    KillNoCredit = 0,
    KillPhysics = 1,
    KillTrap = 2,
    KillStatus = 3,
    KillExplosion = 4,
    KillSuicide = 5,
};

// The game's store of data and game-wide state: the trap, invader, spawn-behaviour and spawner
// records, the live traps, walls and invaders, the level's counters and statistics, the game
// state and the drop preview. Owned by the logic loom; main thread only.
class DataController
{
public:
    // Resets the level and registers the data console commands.
    DataController();
    // Takes its console commands away again: a hard restart deletes it while the console lives.
    ~DataController();
    DataController(const DataController&) = delete;
    DataController& operator=(const DataController&) = delete;

    void LoadGameData(const std::string& fileName);
    void Serialize(Serializer& s);

    // An unknown name is an assertion; dismissed, the record with the smallest key answers, or
    // a shared default record (logged) when the map is empty.
    TrapInfo& GetTrapInfo(const std::string& name);
    InvaderInfo& GetInvaderInfo(const std::string& name);
    SpawnBehaviorInfo& GetSpawnInfo(const std::string& name);
    SpawnerInfo& GetSpawnerInfo(const std::string& name);
    bool HasTrapInfo(const std::string& name) const { return mTrapInfo.count(name) != 0; }
    bool HasInvaderInfo(const std::string& name) const { return mInvaderInfo.count(name) != 0; }
    bool HasSpawnerInfo(const std::string& name) const { return mSpawnerInfo.count(name) != 0; }
    bool IsTrapEnabled(const std::string& name) const;
    // The trap kind named by its data name or by the words a player reads for it; null when
    // no kind has that name.
    const std::string* FindTrapKind(const std::string& name) const;

    // Points and statistics.
    int32_t GetPoints() const { return mPoints; }
    int32_t GetKills() const { return mKills; }
    void EarnPoints(int32_t n);
    void SpendPoints(int32_t n);
    void SetPoints(int32_t n);
    void RecordKill(std::string invaderName, int32_t kind, int32_t points);
    void RecordTrapLost(std::string trapName, int32_t damageType);
    void ResetLevel();
    void SetEditMode(bool on) { mEditMode = on; }
    bool IsEditMode() const { return mEditMode; }
    // "bomb" or a trap kind (by either of its names) goes to the cursor; an unknown name is
    // logged and selects nothing.
    void SelectTrap(std::string trapName);
    // Leaving play ends the drop mode and its preview, and no drop is taken until the next
    // level is in play: a trap chosen just before the end must not be bought after it.
    void SetGameState(int32_t state);
    bool IsLevelOver() const { return mLevelOver; }

    // Console commands.
    void EnableTrap(std::string name);
    void DisableTrap(std::string name);
    void DisableTrapAll();
    void SetInvSpeed(float speed) { mInvaderBaseSpeed = speed; }
    void ActivateTrapDrop() { mDropPreview.Enable(); }
    void DeactivateTrapDrop() { mDropPreview.Disable(); }
    void SetMaxKills(int32_t n) { mMaxKills = n; }
    void KillAllInvaders();
    void DestroyAllTraps();
    void DestroyAllWalls();

    LevelStats mStats;
    int32_t mMaxKills = 0;
    float mLevelStartTime = 0.0f;
    float mInvaderBaseSpeed = 10.0f;
    int32_t mGameState = StateQuit;
    bool mCursorActive = false;
    std::vector<std::string> mTrapOrder;
    std::map<std::string, TrapInfo> mTrapInfo;
    std::map<std::string, InvaderInfo> mInvaderInfo;
    std::map<std::string, SpawnBehaviorInfo> mSpawnInfo;
    std::map<std::string, SpawnerInfo> mSpawnerInfo;
    // Trap and invader components, each of which adds and removes itself.
    LiveList<Comp> mTraps;
    LiveList<Wall> mWalls;
    LiveList<Comp> mInvaders;
    int32_t mLiveInvaders = 0;
    int32_t mKills = 0;
    int32_t mPoints = 100;
    DropPreview mDropPreview;
    bool mEditMode = false;
    bool mLevelOver = false;
    // Raised by every level reset, so level-bound state can tell an old level from a new one.
    uint32_t mLevelGeneration = 0;

private:
    // Tells the "HUD" cog, when there is one, to rebuild its trap buttons.
    void RebuildTrapButtons();

    OwnedCommands mCommands;
};

// The exit text of a game state.
const char* ExitReasonText(int32_t gameState);
