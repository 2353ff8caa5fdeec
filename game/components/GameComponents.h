#pragma once
#include <cstdint>
#include <string>

#include "LOOM/calls/DamageInfo.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Vector3.h"

class CogFactory;
class Positional;

// Removes its cog after a number of seconds of game time (type id 125). The countdown reads
// the game clock, as the blasts it ends do: a cog born late in a long frame loses none of its
// life to the part of the frame before it existed.
class TimedDeathComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 125;

    void Serialize(Serializer& s) override;
    void Initialize() override { ResetDeathTime(); }
    std::string GetTypeName() override { return "TimedDeathComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update();
    void Pause(bool paused);
    void ResetDeathTime();

    float SecsTilDeath = 10.0f;
    bool StartPaused = false; // the paused flag
    float remaining = 0.0f;

private:
    // Takes the game time since the last count off what remains, unless held.
    void Count();

    float mCountedTo = 0.0f; // the game time the countdown has counted up to
};

// Glues its cog to another one by ID (type id 126).
class FollowerComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 126;
    static constexpr uint32_t kNoCog = 0xFFFFFFFFu;

    void Serialize(Serializer& s) override;
    std::string GetTypeName() override { return "FollowerComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update();
    void SetFollowedObj(int32_t id) { followedObjID = static_cast<uint32_t>(id); }

    uint32_t followedObjID = kNoCog;
    bool FollowPosition = true;
    bool FollowOrientation = true;
    bool DestroyWhenNoFollow = true;
    Vector3 offsetPosition;
};

// Marks a speech bubble; the phrase bank keeps every live one (type id 127).
class PhraseComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 127;

    // Leaves the bank's list when it had joined it.
    ~PhraseComp() override;
    void Serialize(Serializer& s) override { SerializeHeader(s); }
    // Joins the bank's list only when attached: a component built for export is not a bubble.
    void Initialize() override;
    std::string GetTypeName() override { return "PhraseComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    int32_t unused = 0;
    int32_t speakerId = -1;

private:
    uint32_t mListedId = 0; // the cog ID it joined the bank's list under; 0 when not listed
};

// Hands a status effect to the invaders inside its region (type id 128).
class StatusRegion : public Comp
{
public:
    static constexpr uint32_t kTypeId = 128;

    void Serialize(Serializer& s) override;
    std::string GetTypeName() override { return "StatusRegion"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update();

    int32_t StatusEffectType = 1;
    float EffectDuration = 5.0f;
    int32_t MaxUses = 10;
    bool KillAfterUses = true;
};

// A plain object with hit points, such as a doodad (type id 131).
class Damagable : public Comp
{
public:
    static constexpr uint32_t kTypeId = 131;

    void Serialize(Serializer& s) override;
    void Initialize() override { HP = MaxHP; }
    std::string GetTypeName() override { return "Damagable"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Damage(DamageInfo d);

    float MaxHP = 10.0f;
    std::string spawnName;
    float HP = 10.0f;
};

// Registers the seven small game components in their fixed order.
void RegisterGameComponents(CogFactory& cogs);

// The cog's Positional, or null.
Positional* PosOf(Cog* cog);
