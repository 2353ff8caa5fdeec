#include "game/logic/GameData.h"

#include <string_view>
#include <utility>

#include "LOOM/serial/Serializer.h"

int32_t CreditsToPoints(float worth)
{
    if (!(worth > 0.0f))
        return 0;
    return worth >= float(kMaxCredits) ? kMaxCredits : static_cast<int32_t>(worth);
}

void TrapInfo::Serialize(Serializer& s)
{
    SerializeSingle(s, "char", "trapKey", TypeChar, trapKey);
    s.SerializeDataFile("trapModelFile", trapModelFile);
    s.SerializeDataFile("trapImageFile", trapImageFile);
    s.SerializeBoolField("MustOrient", MustOrient);
    s.SerializeInt("widthTileSize", widthTileSize);
    s.SerializeInt("depthTileSize", depthTileSize);
    s.SerializeInt("creditCost", creditCost, 0, kMaxCredits);
    s.SerializeInt("MaxUses", MaxUses);
    s.SerializeRealField("MaxDuration", MaxDuration);
    s.SerializeString("trapDescription", trapDescription);
}

void InvaderInfo::Serialize(Serializer& s)
{
    s.SerializeInt("invaderIndex", invaderIndex);
    s.SerializeDataFile("invaderModelFile", invaderModelFile);
    s.SerializeDataFile("invaderTextureFile", invaderTextureFile);
    s.SerializeDataFile("invaderConceptArtFile", invaderConceptArtFile);
    s.SerializeString("invaderDescription", invaderDescription);
}

void SpawnBehaviorInfo::Serialize(Serializer& s)
{
    s.SerializeDataFile("spawnBehaviorFile", spawnBehaviorFile);
    s.SerializeString("behaviorDescription", behaviorDescription);
}

void SpawnerInfo::Serialize(Serializer& s)
{
    s.SerializeDataFile("spawnerFile", spawnerFile);
    s.SerializeString("spawnerDescription", spawnerDescription);
}

void PhraseRecord::Serialize(Serializer& s)
{
    s.SerializeString("invaderName", invaderName);
    s.SerializeEnum("situation", situation, "PhraseSituation");
    s.SerializeEnum("statusEffect", statusEffect, "EffectState");
    s.SerializeRealField("percentChance", percentChance);
    s.SerializeString("phraseText", phraseText);
    s.SerializeBoolField("UseThoughtBubble", UseThoughtBubble);
}

namespace {
template <typename Record>
void SerializePair(Serializer& s, std::string& key, Record& record)
{
    if (!s.BeginField("pair", nullptr, false, TypeElement, &record))
        return;
    s.SerializeString(nullptr, key);
    s.SerializeObject(record);
    s.EndField("pair", false);
}
} // namespace

template <typename Record>
void SerializeInfoMap(Serializer& s, const char* name, std::map<std::string, Record>& map)
{
    if (!s.BeginField("list", name, false, TypeElement, &map))
        return;
    if (s.IsSaving())
    {
        uint32_t size = static_cast<uint32_t>(map.size());
        s.SerializeNamed("size", size);
        s.SerializeNamed("type", "pair");
        for (auto& [key, record] : map)
        {
            std::string keyCopy = key;
            SerializePair(s, keyCopy, record);
        }
    }
    else
    {
        uint32_t size = 0;
        s.SerializeNamed("size", size);
        size = s.CapListCount(size);
        map.clear();
        for (uint32_t i = 0; i < size && s.IsGood(); ++i)
        {
            // Each entry starts from the defaults: a field it leaves empty, or that is refused,
            // never takes another entry's value.
            std::pair<std::string, Record> working;
            SerializePair(s, working.first, working.second);
            if (s.IsGood())
                map.insert(std::move(working));
        }
    }
    s.EndField("list", false);
}

template void SerializeInfoMap(Serializer&, const char*, std::map<std::string, TrapInfo>&);
template void SerializeInfoMap(Serializer&, const char*, std::map<std::string, InvaderInfo>&);
template void SerializeInfoMap(Serializer&, const char*, std::map<std::string, SpawnBehaviorInfo>&);
template void SerializeInfoMap(Serializer&, const char*, std::map<std::string, SpawnerInfo>&);

std::string TrapDisplayName(const std::string& kind)
{
    static constexpr std::pair<std::string_view, std::string_view> kWords[] = {
        {"laserturret", "laser turret"},
        {"lightbulb", "light bulb"},
    };
    for (const auto& [name, words] : kWords)
        if (kind == name)
            return std::string(words);
    return kind;
}
