#include "graphics/scenery/SceneryCommands.h"

#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/factory/CogFactory.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/terrain/HeightMap.h"
#include "input/IOLoom.h"

namespace {
// On a fresh left click, raise the ground where the mouse points.
void Deform(Cog*)
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    HeightMap* map = HeightMap::Current();
    const IOLoom* io = IOLoom::Instance();
    if (!loom || !map || !io || !io->MouseTriggered(0))
        return;
    GuiSeam* gui = loom->GetGui();
    const bool mouse = gui && gui->HasMouse();
    const float x = mouse ? gui->GetMouseX() : float(loom->GetScreenWidth()) * 0.5f;
    const float y = mouse ? gui->GetMouseY() : float(loom->GetScreenHeight()) * 0.5f;
    const Ray ray = loom->ScreenToWorldRay(x, y);
    Vector3 hit;
    if (map->IntersectRay(ray.origin, ray.direction, hit))
        map->DeformTerrain(0, hit.x, hit.y, hit.z, 5.0f, 5.0f, 20.0f);
}
} // namespace

void RegisterSceneryCommands() { CogFactory::Instance().Types().RegisterFunction("Deform", MakeCogFunctor(&Deform)); }
