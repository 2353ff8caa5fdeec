#include "graphics/scenery/SceneryCommands.h"

#include "LOOM/cogs/CogFactory.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"
#include "LOOM/math/Plane.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/scenery/Terrain.h"
#include "graphics/terrain/HeightMap.h"
#include "graphics/terrain/TerraTex.h"
#include "input/IOLoom.h"

namespace {
Ray MouseRay(GraphicsLoom& loom)
{
    GuiSeam* gui = loom.GetGui();
    const bool mouse = gui && gui->HasMouse();
    const float x = mouse ? gui->GetMouseX() : float(loom.GetScreenWidth()) * 0.5f;
    const float y = mouse ? gui->GetMouseY() : float(loom.GetScreenHeight()) * 0.5f;
    return loom.ScreenToWorldRay(x, y);
}

// On a fresh left click, raise the ground where the mouse points.
void Deform(Cog*)
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    HeightMap* map = HeightMap::Current();
    const IOLoom* io = IOLoom::Instance();
    if (!loom || !map || !io || !io->MouseTriggered(0))
        return;
    const Ray ray = MouseRay(*loom);
    Vector3 hit;
    if (map->IntersectRay(ray.origin, ray.direction, hit))
        map->DeformTerrain(0, hit.x, hit.y, hit.z, 5.0f, 5.0f, 20.0f);
}
} // namespace

void SaveInfo(std::string fileName)
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    if (Terrain* terrain = loom ? loom->GetTerrain() : nullptr)
        terrain->SaveInfoTexture(fileName);
}

Vector3 GetTerrainHeight(Vector3 point)
{
    const HeightMap* map = HeightMap::Current();
    if (!map)
        return Vector3();
    return Vector3(point.x, map->GetHeight(point.x, point.z), point.z);
}

Vector3 GetTerrainIntersection()
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    if (!loom)
        return Vector3();
    Vector3 point;
    if (!Plane(0.0f, 1.0f, 0.0f, 0.0f).IntersectRay(MouseRay(*loom), &point))
        return Vector3();
    if (const HeightMap* map = HeightMap::Current())
        point.y = map->GetHeight(point.x, point.z);
    return point;
}

void TerraInfo(std::string fileName)
{
    TerraTex generator;
    if (generator.Load(fileName))
        generator.GenerateMap();
}

void RegisterSceneryCommands()
{
    Console& console = Console::Instance();
    console.RegisterCommand("SaveInfo", MakeFunctionCommand(&SaveInfo), "Save Current Terrain Info Map");
    console.RegisterCommand("GetTerrainHeight", MakeFunctionCommand(&GetTerrainHeight), "Gets the height of the terrain");
    console.RegisterCommand("GetTerrainIntersection", MakeFunctionCommand(&GetTerrainIntersection),
                            "GetTerrainIntersection");
    console.RegisterCommand("TerraInfo", MakeFunctionCommand(&TerraInfo), "Generates Terra Info");
    CogFactory::Instance().RegisterFunction("Deform", MakeCogFunctor(&Deform));
}
