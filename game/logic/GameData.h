#pragma once
#include <cstdint>
#include <map>
#include <string>

class Serializer;

// One trap kind of the game data.
struct TrapInfo
{
    bool enabled = true; // whether the player may drop it; not stored
    char trapKey = 'L';
    int32_t widthTileSize = 2;
    int32_t depthTileSize = 2;
    int32_t creditCost = 5;
    std::string trapDescription = "Fear the Power of the default Trap!";
    std::string trapImageFile;
    bool MustOrient = false;
    std::string trapModelFile;
    int32_t MaxUses = -1;
    float MaxDuration = -1.0f;

    void Serialize(Serializer& s);
};

struct InvaderInfo
{
    std::string invaderDescription = "An invader";
    int32_t invaderIndex = 0;
    std::string invaderConceptArtFile;
    std::string invaderModelFile;
    std::string invaderTextureFile;

    void Serialize(Serializer& s);
};

struct SpawnBehaviorInfo
{
    std::string behaviorDescription = "A spawning behavior";
    std::string spawnBehaviorFile;

    void Serialize(Serializer& s);
};

struct SpawnerInfo
{
    std::string spawnerDescription = "An invader spawner";
    std::string spawnerFile;

    void Serialize(Serializer& s);
};

// One invader phrase; fields in the phrase file's order.
struct PhraseRecord
{
    std::string invaderName = "All"; // "All" matches every invader kind
    int32_t situation = 0;
    int32_t statusEffect = 0;
    float percentChance = 0.25f;
    std::string phraseText = "I am a banana!";
    bool UseThoughtBubble = false;

    void Serialize(Serializer& s);
};

// The statistics of the game-over screen.
struct LevelStats
{
    int32_t pointsEarned = 0;
    int32_t pointsUsed = 0;
    int32_t trapKills = 0;
    int32_t statusKills = 0;
    int32_t physicsKills = 0;
    int32_t suicides = 0;
    int32_t explosionKills = 0;
    std::map<std::string, int32_t> killsByInvader;
    std::map<std::string, int32_t> trapsLost;
};

// The most credits a price or a worth may be: the points themselves stop there.
constexpr int32_t kMaxCredits = 2147483647;
// An invader's worth as the points its kill earns: truncated toward zero, held to 0..kMaxCredits.
int32_t CreditsToPoints(float worth);

// The words a player reads for a trap kind. The kinds keep their one-word data names, which
// level files, scripts and the console store.
std::string TrapDisplayName(const std::string& kind);

// A "list" of "pair" items (key string, record). Each entry read starts from the record's
// defaults, so an empty or refused field keeps its default; a repeated key keeps the first.
template <typename Record>
void SerializeInfoMap(Serializer& s, const char* name, std::map<std::string, Record>& map);
