#include "game/logic/DataController.h"

#include <algorithm>
#include <limits>

#include "LOOM/base/AssertHandler.h"
#include "LOOM/calls/DamageInfo.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/serial/XMLLoader.h"
#include "game/invaders/InvaderActions.h"
#include "game/level/Wall.h"
#include "game/logic/PlayerSide.h"

namespace {
// The four lookups share one shape: the record, or an assertion and a fallback.
template <typename Record>
Record& LookUp(std::map<std::string, Record>& map, const std::string& name, int line, const char* message)
{
    auto it = map.find(name);
    if (it != map.end())
        return it->second;
    if (AssertFailedString("false", "DataController", line, message))
        DebugBreakIfAttached();
    if (!map.empty())
        return map.begin()->second;
    // Nothing to fall back on; a scratch record keeps the caller working.
    static Record scratch;
    scratch = Record();
    Console::Instance().Log(std::string(message) + ": \"" + name + "\" (no records loaded)", LogError);
    return scratch;
}

// Component cogs are called by ID, so a cog that dies from an earlier call is skipped.
void DamageAll(const LiveList<Comp>& comps, const DamageInfo& damage)
{
    std::vector<uint32_t> ids;
    ids.reserve(comps.size());
    for (Comp* comp : comps)
        if (Cog* owner = comp->GetOwner())
            ids.push_back(owner->GetID());
    CogFactory& cogs = CogFactory::Instance();
    for (uint32_t id : ids)
        if (Cog* cog = cogs.GetCog(id))
            SendDamage(*cog, damage);
}

constexpr DamageInfo kCommandKill{0, -10000.0f, KillNoCredit};

// Points and their statistics stop at the ends of their range instead of wrapping round.
int32_t Saturate(int64_t value)
{
    return static_cast<int32_t>(
        std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}
} // namespace

const char* ExitReasonText(int32_t gameState)
{
    switch (gameState)
    {
    case StateInLevel:
        return "YOU ARE STILL PLAYING!";
    case StateQuit:
        return "YOU QUIT!";
    case StateWon:
        return "YOU WON!";
    case StateLost:
        return "YOU LOST!";
    case StateDisconnected:
        return "YOU WERE DISCONNECTED!";
    default:
        return "ERROR Invalid Exit";
    }
}

DataController::DataController()
{
    ResetLevel();
    mCommands.Register("EnableTrap", MakeConsoleCommand(this, &DataController::EnableTrap),
                       "Enables dropping of the given trap");
    mCommands.Register("DisableTrap", MakeConsoleCommand(this, &DataController::DisableTrap),
                       "Disables dropping of the given trap");
    mCommands.Register("DisableTrapAll", MakeConsoleCommand(this, &DataController::DisableTrapAll),
                       "Disables dropping of all traps");
    mCommands.Register("SetInvSpeed", MakeConsoleCommand(this, &DataController::SetInvSpeed),
                       "Sets the base speed of invaders");
    mCommands.Register("ActivateTrapDrop", MakeConsoleCommand(this, &DataController::ActivateTrapDrop),
                       "Allow trap dropping");
    mCommands.Register("DeactivateTrapDrop", MakeConsoleCommand(this, &DataController::DeactivateTrapDrop),
                       "Disallow trap dropping");
    mCommands.Register("DisableTrapAll", MakeConsoleCommand(this, &DataController::DisableTrapAll),
                       "Disallow ALL trap dropping");
    mCommands.Register("SetMaxKills", MakeConsoleCommand(this, &DataController::SetMaxKills),
                       "Sets max kills displayed at top");
    mCommands.Register("KillAllInvaders", MakeConsoleCommand(this, &DataController::KillAllInvaders),
                       "Kills all invaders (unknown means)");
    mCommands.Register("DestroyAllTraps", MakeConsoleCommand(this, &DataController::DestroyAllTraps),
                       "Destroys all traps");
    mCommands.Register("DestroyAllWalls", MakeConsoleCommand(this, &DataController::DestroyAllWalls),
                       "Destroys all walls");
    mCommands.Register("EarnPoints", MakeConsoleCommand(this, &DataController::EarnPoints), "Earn a number of points");
}

DataController::~DataController() { mCommands.RemoveAll(); }

void DataController::LoadGameData(const std::string& fileName)
{
    XMLLoader loader;
    if (!loader.Open(fileName))
        return;
    loader.SerializeObject(*this);
    loader.Close();
}

void DataController::Serialize(Serializer& s)
{
    SerializeInfoMap(s, "trapInfoMap", mTrapInfo);
    s.SerializeStringListField("trapOrder", mTrapOrder);
    SerializeInfoMap(s, "invaderInfoMap", mInvaderInfo);
    SerializeInfoMap(s, "spawnInfoMap", mSpawnInfo);
    SerializeInfoMap(s, "spawnerInfoMap", mSpawnerInfo);
}

TrapInfo& DataController::GetTrapInfo(const std::string& name)
{
    return LookUp(mTrapInfo, name, 317, "Request for data on unknown trapName");
}

InvaderInfo& DataController::GetInvaderInfo(const std::string& name)
{
    return LookUp(mInvaderInfo, name, 328, "Request for data on unknown invaderName");
}

SpawnBehaviorInfo& DataController::GetSpawnInfo(const std::string& name)
{
    return LookUp(mSpawnInfo, name, 339, "Request for data on unknown spawnBehavior");
}

SpawnerInfo& DataController::GetSpawnerInfo(const std::string& name)
{
    return LookUp(mSpawnerInfo, name, 350, "Request for data on unknown spawner");
}

bool DataController::IsTrapEnabled(const std::string& name) const
{
    auto it = mTrapInfo.find(name);
    return it != mTrapInfo.end() && it->second.enabled;
}

const std::string* DataController::FindTrapKind(const std::string& name) const
{
    if (auto it = mTrapInfo.find(name); it != mTrapInfo.end())
        return &it->first;
    for (const auto& entry : mTrapInfo)
        if (TrapDisplayName(entry.first) == name)
            return &entry.first;
    return nullptr;
}

void DataController::EarnPoints(int32_t n)
{
    mPoints = Saturate(int64_t(mPoints) + n);
    mStats.pointsEarned = Saturate(int64_t(mStats.pointsEarned) + n);
    if (PlayerSide* player = GetPlayerSide())
        player->ShowPointsEarned(n);
}

void DataController::SpendPoints(int32_t n)
{
    mStats.pointsUsed = Saturate(int64_t(mStats.pointsUsed) + n);
    mPoints = std::max(Saturate(int64_t(mPoints) - n), 0);
}

void DataController::SetPoints(int32_t n)
{
    mPoints = n;
    if (mGameState == StateInLevel)
        RebuildTrapButtons();
}

void DataController::RecordKill(std::string invaderName, int32_t kind, int32_t points)
{
    mLiveInvaders -= 1;
    mKills += 1;
    switch (kind)
    {
    case KillNoCredit:
        return;
    case KillSuicide:
        mStats.suicides += 1;
        return;
    case KillPhysics:
        mStats.physicsKills += 1;
        break;
    case KillTrap:
        mStats.trapKills += 1;
        break;
    case KillStatus:
        mStats.statusKills += 1;
        break;
    case KillExplosion:
        mStats.explosionKills += 1;
        break;
    default:
        break;
    }
    mStats.killsByInvader[invaderName] += 1;
    EarnPoints(points);
}

void DataController::RecordTrapLost(std::string trapName, int32_t) { mStats.trapsLost[trapName] += 1; }

void DataController::ResetLevel()
{
    mMaxKills = 0;
    mStats = LevelStats();
    mInvaderBaseSpeed = 10.0f;
    mLiveInvaders = 0;
    mKills = 0;
    mPoints = 100;
    mCursorActive = false;
    mGameState = StateQuit;
    mLevelOver = false;
    mLevelStartTime = 0.0f;
    if (gCoreEngine)
    {
        gCoreEngine->LockClock(false);
        gCoreEngine->GetGameClock().Reset();
        mLevelStartTime = static_cast<float>(gCoreEngine->GetGameClock().GetTime());
    }
    mEditMode = false;
    for (auto& entry : mTrapInfo)
        entry.second.enabled = true;
    ++mLevelGeneration;
}

void DataController::SelectTrap(std::string trapName)
{
    // The bomb is the cursor's own and no trap kind.
    if (trapName != "bomb")
    {
        const std::string* kind = FindTrapKind(trapName);
        if (!kind)
        {
            Console::Instance().Log("Request for data on unknown trapName: \"" + trapName + "\"", LogError);
            return;
        }
        trapName = *kind;
    }
    if (PlayerSide* player = GetPlayerSide())
        player->SelectTrap(trapName);
}

void DataController::SetGameState(int32_t state)
{
    const bool ending = mGameState == StateInLevel && state != StateInLevel;
    mGameState = state;
    if (state == StateInLevel)
    {
        mLevelOver = false;
        if (gCoreEngine)
            gCoreEngine->LockClock(false);
    }
    if (!ending)
        return;
    mLevelOver = true;
    // Nothing of a finished level moves again: no pause key nor window starts its clock.
    if (gCoreEngine)
        gCoreEngine->LockClock(true);
    if (PlayerSide* player = GetPlayerSide())
        player->LevelEnded();
    mDropPreview.Clear();
}

void DataController::RebuildTrapButtons()
{
    if (Cog* hud = CogFactory::Instance().FindCogByName("HUD"))
        hud->CallFunctionByName("CreateTrapButtons");
}

void DataController::EnableTrap(std::string name)
{
    mDropPreview.Enable();
    auto it = mTrapInfo.find(name);
    if (it == mTrapInfo.end() || it->second.enabled)
        return;
    it->second.enabled = true;
    if (mGameState == StateInLevel)
        RebuildTrapButtons();
}

void DataController::DisableTrap(std::string name)
{
    auto it = mTrapInfo.find(name);
    if (it == mTrapInfo.end() || !it->second.enabled)
        return;
    it->second.enabled = false;
    if (mGameState == StateInLevel)
        RebuildTrapButtons();
    if (mDropPreview.mTrapName == name)
        mDropPreview.HideAll();
}

void DataController::DisableTrapAll()
{
    for (auto& entry : mTrapInfo)
        entry.second.enabled = false;
    RebuildTrapButtons();
}

void DataController::KillAllInvaders() { DamageAll(mInvaders, kCommandKill); }

void DataController::DestroyAllTraps() { DamageAll(mTraps, kCommandKill); }

void DataController::DestroyAllWalls()
{
    // Damage does not remove a wall from the list; each one goes on its next update.
    for (Wall* w : mWalls)
        w->Damage(kCommandKill);
}
