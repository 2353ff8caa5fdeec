#pragma once
#include <memory>
#include <string>
#include <vector>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/MathUtil.h"
#include "LOOM/serial/XMLLoader.h"
#include "game/level/TileMap.h"
#include "game/logic/LogicLoom.h"
#include "graphics/terrain/HeightMap.h"

// What one level is made of, in tiles of a 128 x 128 map of 4-unit tiles.
struct LevelPlan
{
    // A rectangle of tiles, ends excluded.
    struct Area
    {
        int32_t x0, z0, x1, z1;
    };
    // A straight wall line with one gap, hardened with super walls at its ends.
    struct WallLine
    {
        bool alongX; // runs along x at row `at`, else along z at column `at`
        int32_t at;
        int32_t from, to;
        int32_t gapFrom, gapTo;
        int32_t hardFirst, hardLast; // super walls at the start and at the end
    };
    struct Piece
    {
        const char* kind;
        int32_t x, z;
        float yawDegrees;
    };

    const char* path; // saved as path + ".xml" and path + ".bin"
    Area landing;     // the invaders' landing strip: nothing may be built on it
    int32_t towerX, towerZ;
    std::vector<WallLine> walls;
    std::vector<Piece> spikes;  // 2 x 2 traps standing at the start
    std::vector<Piece> scenery; // doodads, off the invaders' paths
    std::vector<Area> steps;    // ledges two levels high, across the invaders' paths
};

// The ground every level stands on, read from the first component of the file the game creates
// it from, so scenery is set on the heights the player will see. Null when it cannot be read.
inline std::unique_ptr<HeightMap> LoadLevelGround()
{
    auto ground = std::make_unique<HeightMap>();
    XMLLoader loader;
    if (!loader.Open("Data/LevelGround.xml"))
        return nullptr;
    bool read = false;
    if (loader.BeginField("cog", nullptr, false, TypeConfig, ground.get()))
    {
        std::string name;
        if (loader.BeginField("string", "cogname", true, TypeString, &name))
        {
            loader.Serialize(name);
            loader.EndField("string", true);
        }
        if (loader.BeginField("comp", nullptr, false, TypeComp, ground.get()))
        {
            ground->Serialize(loader);
            loader.EndField("comp", false);
            read = loader.IsGood();
        }
        // The terrain's own component follows; nothing here needs it.
    }
    loader.Close();
    if (!read)
        return nullptr;
    ground->mAutoBuildTerrain = false;
    ground->Initialize();
    return ground;
}

// Builds a level on the current data folder (the working directory) and saves it. Needs a
// started logic loom. False when a piece is missing.
inline bool BuildLevel(CogFactory& cogs, const LevelPlan& plan)
{
    for (const char* composition : {"Compositions\\Level.xml", "Compositions\\Tower.xml", "Compositions\\Wall.xml",
                                    "Compositions\\Trap.xml", "Compositions\\Doodad.xml", "Compositions\\Step.xml"})
        cogs.Files().LoadCogFile(composition);
    Cog* level = cogs.Allocate("Level");
    if (!level)
        return false;
    level->SetName("Level");
    TileMap* found = level->Get<TileMap>();
    if (!found)
        return false;
    TileMap& map = *found;
    map.widthSize = 128;
    map.depthSize = 128;
    map.mWorldOffset = Vector3(0.0f, 0.0f, 0.0f);
    map.mWorldTileScale = Vector3(4.0f, 4.0f, 4.0f);
    level->Initialize();
    if (LogicLoom::Instance()->mTileMap != &map)
        return false;

    for (int32_t z = plan.landing.z0; z < plan.landing.z1; ++z)
        for (int32_t x = plan.landing.x0; x < plan.landing.x1; ++x)
            map.GetTile(x, z).buildable = false;

    if (!CreateAt(cogs, "tower", map.TileToWorldAligned(plan.towerX, plan.towerZ, 4, 4)))
        return false;
    for (const LevelPlan::WallLine& line : plan.walls)
    {
        for (int32_t i = line.from; i < line.to; ++i)
        {
            if (i >= line.gapFrom && i < line.gapTo)
                continue;
            const char* kind = (i < line.from + line.hardFirst || i >= line.to - line.hardLast) ? "superwall" : "wall";
            const Vector3 at = line.alongX ? map.TileToWorld(i, line.at) : map.TileToWorld(line.at, i);
            if (!CreateAt(cogs, kind, at))
                return false;
        }
    }
    for (const LevelPlan::Area& ledge : plan.steps)
        for (int32_t z = ledge.z0; z < ledge.z1; ++z)
            for (int32_t x = ledge.x0; x < ledge.x1; ++x)
                if (!CreateAt(cogs, "step", map.TileToWorld(x, z)))
                    return false;
    for (const LevelPlan::Piece& spikes : plan.spikes)
        if (!CreateAt(cogs, spikes.kind, map.TileToWorldAligned(spikes.x, spikes.z, 2, 2)))
            return false;
    // Scenery stands on the ground, turned so that no two look alike.
    const std::unique_ptr<HeightMap> ground = plan.scenery.empty() ? nullptr : LoadLevelGround();
    if (!plan.scenery.empty() && !ground)
        return false;
    for (const LevelPlan::Piece& piece : plan.scenery)
    {
        Vector3 at = map.TileToWorld(piece.x, piece.z);
        ground->SnapToTerrain(at);
        Cog* doodad = CreateAt(cogs, piece.kind, at);
        if (!doodad)
            return false;
        if (Positional* positional = doodad->Get<Positional>())
            positional->SetOrientation(Quat::FromAxisAngle(Vector3(0.0f, 1.0f, 0.0f), piece.yawDegrees * DEG_TO_RAD));
    }
    map.SaveLevelFile(plan.path);
    return true;
}

// The first level: the tower in the south, one wall line across the field with a gap in the
// middle; the invaders land along the north edge. No trap stands at the start: the gap is
// the player's to hold.
inline LevelPlan LevelOnePlan()
{
    LevelPlan plan{"Levels/L1", {0, 0, 128, 4}, 64, 116, {}, {}, {}, {}};
    plan.walls.push_back({true, 80, 36, 92, 62, 66, 4, 4});
    // Out at both sides, clear of the march from the landing strip to the gap and the tower,
    // and of the way round either end of the wall line.
    plan.scenery = {{"tree", 10, 92, 0.0f},    {"tree", 16, 104, 70.0f},  {"bush", 21, 96, 20.0f},
                    {"rock", 8, 62, 45.0f},    {"tree", 14, 40, 130.0f},  {"bush", 22, 22, 200.0f},
                    {"rock", 18, 114, 10.0f},  {"tree", 112, 94, 250.0f}, {"tree", 118, 106, 160.0f},
                    {"bush", 106, 100, 90.0f}, {"rock", 110, 60, 300.0f}, {"tree", 116, 30, 40.0f},
                    {"rock", 120, 16, 220.0f}};
    // A few where the camera starts, well to the sides of the way from the gap to the tower.
    plan.scenery.insert(plan.scenery.end(),
                        {{"tree", 46, 98, 300.0f}, {"bush", 50, 108, 60.0f}, {"rock", 78, 96, 120.0f}});
    return plan;
}

// The second level: the tower in the south-east corner behind two wall lines, each with one
// gap, so the invaders zig-zag from the west edge. As in the first, no trap stands at the start.
// A few steps from the landing strip, a ledge two levels high runs unbroken from the north edge
// of the field to the south edge, so no invader can walk round it: the jumper and the ninja leap
// it, a stacker becomes the step up onto it, the others break a stone or climb the step.
inline LevelPlan LevelTwoPlan()
{
    LevelPlan plan{"Levels/L2", {0, 0, 4, 128}, 104, 104, {}, {}, {}, {}};
    plan.steps = {{14, 0, 15, 128}};
    // The outer line runs north-south with its gap near the north end; the inner line runs
    // east-west with its gap near the west end, so the path turns twice.
    plan.walls.push_back({false, 60, 56, 128, 66, 70, 2, 4});
    plan.walls.push_back({true, 84, 64, 128, 72, 76, 0, 4});
    // The south-west corner, south of the landing spawners' march to the outer gap, and the
    // north-east corner, north of the way round the outer line.
    plan.scenery = {{"tree", 20, 102, 30.0f},  {"tree", 24, 120, 150.0f}, {"bush", 30, 108, 80.0f},
                    {"rock", 40, 118, 200.0f}, {"tree", 46, 110, 260.0f}, {"rock", 12, 122, 330.0f},
                    {"tree", 100, 14, 110.0f}, {"bush", 110, 24, 10.0f},  {"rock", 118, 36, 60.0f},
                    {"tree", 120, 10, 240.0f}};
    // A few in the starting view, south of the way from the inner gap to the tower.
    plan.scenery.insert(plan.scenery.end(),
                        {{"tree", 82, 118, 190.0f}, {"bush", 88, 112, 330.0f}, {"rock", 92, 124, 75.0f}});
    return plan;
}

inline bool BuildLevelOne(CogFactory& cogs) { return BuildLevel(cogs, LevelOnePlan()); }

inline bool BuildLevelTwo(CogFactory& cogs) { return BuildLevel(cogs, LevelTwoPlan()); }
