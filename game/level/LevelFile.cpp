#include "game/level/LevelFile.h"

#include <unordered_set>
#include <vector>

#include "LOOM/base/FileUtils.h"
#include "LOOM/base/TypeCode.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/FileComposition.h"
#include "LOOM/serial/BinaryLoader.h"
#include "LOOM/serial/BinarySaver.h"
#include "LOOM/serial/FieldRecorder.h"
#include "LOOM/serial/Serializer.h"
#include "game/level/TileComp.h"
#include "game/level/TileMap.h"
#include "game/level/TowerLookup.h"
#include "game/level/Wall.h"

namespace {
constexpr int32_t kLevelVersion = 1;

// Where each group's objects keep the name they are recreated from.
struct NamedGroup
{
    const char* mGroup;
    uint32_t mTypeId;
    const char* mField; // null: the name is the fixed text below
    const char* mFixedName;
};
constexpr NamedGroup kSavedGroups[] = {
    {"invaders", 100, "Name", nullptr},
    {"traps", 101, "Name", nullptr},
    {"doodads", 131, "spawnName", nullptr},
    {"walls", Wall::kTypeId, nullptr, "wall"},
};
// A super wall is saved under its own archetype, so it blocks again when the level loads.
constexpr const char* kSuperWallName = "superwall";
constexpr const char* kClearedGroups[] = {"walls", "tower", "invaders", "traps"};

Positional* PositionalOf(Cog& cog) { return cog.Get<Positional>(); }

// The component's recorded string field, read through the cog type's field map; false when
// the cog has no such component or field.
bool ReadNameField(Cog& cog, uint32_t typeId, const char* field, std::string& out)
{
    const Composer& composer = cog.GetComposer();
    const int32_t index = composer.ComponentIndex(typeId);
    if (index < 0)
        return false;
    Comp* comp = cog.GetComponentAt(static_cast<uint32_t>(index));
    if (!comp)
        return false;
    if (!field)
        return true;
    const auto& maps = composer.GetFieldMaps();
    if (static_cast<size_t>(index) < maps.size() && maps[index])
    {
        auto it = maps[index]->find(field);
        if (it == maps[index]->end() || it->second.mCode != TypeString)
            return false;
        out = *reinterpret_cast<const std::string*>(reinterpret_cast<const char*>(comp) + it->second.mOffset);
        return true;
    }
    // No recorded map for this type: record the component's own fields now.
    FieldRecorder recorder;
    recorder.SetBase(comp);
    comp->Serialize(recorder);
    auto it = recorder.GetFields().find(field);
    if (it == recorder.GetFields().end() || it->second.mCode != TypeString)
        return false;
    out = *reinterpret_cast<const std::string*>(reinterpret_cast<const char*>(comp) + it->second.mOffset);
    return true;
}

LevelObjectRecord RecordOf(Cog& cog, std::string name)
{
    LevelObjectRecord record;
    record.ObjName = std::move(name);
    if (Positional* positional = PositionalOf(cog))
    {
        record.Position = positional->GetPosition();
        record.Orient = positional->GetOrientation();
    }
    return record;
}

// Both lists of a level's data file, in file order.
void SerializeLevelLists(Serializer& s, std::vector<LevelObjectRecord>& objects, std::vector<uint32_t>& flags)
{
    SerializeElementList(s, nullptr, objects, "serializable", TypeObject);
    SerializeItemList(s, nullptr, flags, "uint",
                      [&s](uint32_t& f) { SerializeSingle(s, "uint", nullptr, TypeUInt, f); });
}
} // namespace

void LevelObjectRecord::Serialize(Serializer& s)
{
    s.SerializeString("ObjName", ObjName);
    s.SerializeVector("Position", Position);
    if (s.BeginField("quat", "Orient", false, TypeQuat, &Orient))
    {
        s.SerializeQuat(Orient);
        s.EndField("quat", false);
    }
    s.SerializeRealField("ScaleMod", ScaleMod);
}

bool SaveCogXML(const std::string& path, Cog& cog) { return SaveArchetypeXml(cog, path); }

bool TileMap::SaveLevelFile(std::string path)
{
    std::string inside;
    if (!DataPathInside(path, inside))
        return false;
    CogFactory& cogs = CogFactory::Instance();
    std::vector<LevelObjectRecord> objects;
    // Footprints the load makes block again by themselves.
    std::unordered_set<const TileComp*> reblocking;
    if (Cog* tower = cogs.FindCogByName("Tower"))
        objects.push_back(RecordOf(*tower, "tower"));
    for (const NamedGroup& group : kSavedGroups)
    {
        for (Cog* cog : cogs.GetGroupCogs(group.mGroup))
        {
            std::string name = group.mFixedName ? group.mFixedName : "";
            if (!ReadNameField(*cog, group.mTypeId, group.mField, name))
                continue;
            if (group.mTypeId == Wall::kTypeId && cog->Get<Wall>()->SuperWall)
            {
                name = kSuperWallName;
                if (TileComp* tiles = cog->Get<TileComp>())
                    reblocking.insert(tiles);
            }
            objects.push_back(RecordOf(*cog, std::move(name)));
        }
    }

    // The walk flags as the player sees them. Only under a super wall, which blocks again by
    // itself when loaded, the flag it found, so its tile frees when it goes; any other blocker
    // (a doodad, a plain wall) comes back passable and would open its tiles.
    std::vector<uint32_t> flags(mTiles.size());
    for (int32_t z = 0; z < mGridDepth; ++z)
    {
        for (int32_t x = 0; x < mGridWidth; ++x)
        {
            const Tile& tile = GetTile(x, z);
            const bool passable =
                reblocking.contains(tile.occupant) ? tile.occupant->GetUnderlyingPassable(x, z) : tile.passable;
            flags[static_cast<size_t>(mGridWidth) * static_cast<size_t>(z) + static_cast<size_t>(x)] =
                (tile.buildable ? kTileBuildable : 0u) | (passable ? kTilePassable : 0u);
        }
    }

    // The level's own record names the data file it is saved with.
    const std::string oldMainFile = MainLevelFile;
    MainLevelFile = path + ".bin";
    bool saved = !mOwner || SaveCogXML(inside + ".xml", *mOwner);

    BinarySaver saver;
    if (!saver.Open(inside + ".bin"))
    {
        MainLevelFile = oldMainFile;
        return false;
    }
    int32_t version = kLevelVersion;
    uint32_t width = static_cast<uint32_t>(mGridWidth);
    uint32_t depth = static_cast<uint32_t>(mGridDepth);
    SerializeSingle(saver, "int", nullptr, TypeInt, version);
    SerializeSingle(saver, "uint", nullptr, TypeUInt, width);
    SerializeSingle(saver, "uint", nullptr, TypeUInt, depth);
    SerializeLevelLists(saver, objects, flags);
    saver.Close();
    saved = saver.IsGood() && saved;
    if (!saved)
        MainLevelFile = oldMainFile;
    return saved;
}

void TileMap::LoadLevelFile(std::string path)
{
    // Read first: a file that cannot be read whole changes nothing on the level. A saved file
    // starts and ends with the stream tag; one cut short is refused with a single report.
    std::string bytes;
    std::string inside;
    if (!DataPathInside(path, inside))
        return;
    if (!ReadWholeFile(inside, bytes))
    {
        Console::Instance().Log("TileMap: cannot read level file " + path, LogError);
        return;
    }
    constexpr char kTag[] = {'l', 'o', 'o', 'm'};
    if (bytes.size() < 2 * sizeof(kTag) || bytes.compare(0, sizeof(kTag), kTag, sizeof(kTag)) != 0 ||
        bytes.compare(bytes.size() - sizeof(kTag), sizeof(kTag), kTag, sizeof(kTag)) != 0)
    {
        Console::Instance().Log("TileMap: level file " + path + " is cut short or not a level file", LogError);
        return;
    }
    BinaryLoader loader;
    if (!loader.OpenFromBuffer(std::move(bytes), path))
        return;
    int32_t version = 0;
    uint32_t fileWidth = 0;
    uint32_t fileDepth = 0;
    std::vector<LevelObjectRecord> objects;
    std::vector<uint32_t> flags;
    SerializeSingle(loader, "int", nullptr, TypeInt, version);
    if (version != 0)
    {
        SerializeSingle(loader, "uint", nullptr, TypeUInt, fileWidth);
        SerializeSingle(loader, "uint", nullptr, TypeUInt, fileDepth);
    }
    SerializeLevelLists(loader, objects, flags);
    const bool good = loader.IsGood();
    loader.Close();
    if (!good)
        return;

    // The old objects go at the end of the frame; their tiles and names are given up now, so
    // the new objects can stand where they stood and take their names.
    CogFactory& cogs = CogFactory::Instance();
    for (const char* group : kClearedGroups)
    {
        for (Cog* cog : cogs.GetGroupCogs(group))
        {
            if (TileComp* tiles = cog->Get<TileComp>())
                tiles->ReleaseTiles();
            if (!cog->Name().empty())
                cogs.UnregisterName(*cog);
        }
        cogs.DestroyGroup(group);
    }
    // The tower may have given up its name with them.
    tower_lookup::Forget();

    auto apply = [](Tile& tile, uint32_t flag) {
        tile.buildable = (flag & kTileBuildable) != 0;
        tile.passable = (flag & kTilePassable) != 0;
    };
    if (version == 0)
    {
        for (size_t i = 0; i < flags.size() && i < mTiles.size(); ++i)
            apply(mTiles[i], flags[i]);
    }
    else
    {
        for (uint32_t x = 0; x < fileWidth && x < static_cast<uint32_t>(mGridWidth); ++x)
        {
            for (uint32_t z = 0; z < fileDepth && z < static_cast<uint32_t>(mGridDepth); ++z)
            {
                const uint64_t index = static_cast<uint64_t>(fileWidth) * z + x;
                if (index < flags.size())
                    apply(GetTile(static_cast<int32_t>(x), static_cast<int32_t>(z)), flags[index]);
            }
        }
    }

    for (const LevelObjectRecord& record : objects)
    {
        Cog* cog = cogs.Allocate(record.ObjName);
        if (!cog)
        {
            Console::Instance().Log("TileMap: level file " + path + ": no object \"" + record.ObjName + "\"", LogError);
            continue;
        }
        if (Positional* positional = PositionalOf(*cog))
        {
            positional->SetPosition(record.Position);
            positional->SetOrientation(record.Orient);
        }
        cog->Initialize();
    }
}

void TileMap::LoadLevelData()
{
    if (!MainLevelFile.empty() && DoesFileExist(DataFilePath(MainLevelFile)))
        LoadLevelFile(MainLevelFile);
}
