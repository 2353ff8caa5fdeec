#include "game/logic/TrapDrop.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/math/Quat.h"
#include "game/components/GameComponents.h"
#include "game/level/TileComp.h"
#include "game/level/TileMap.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"

bool CanDropAt(const std::string& name, const Vector3& position)
{
    return CheckDropAt(name, position) == DropCheck::Allowed;
}

DropCheck CheckDropAt(const std::string& name, const Vector3& position)
{
    DataController* data = CurrentDataController();
    if (!data)
        return DropCheck::NoLevel;
    const TrapInfo& info = data->GetTrapInfo(name);
    TileMap* map = CurrentTileMap();
    if (!map)
        return DropCheck::NoLevel;
    if (data->IsLevelOver())
        return DropCheck::Over;
    if (!data->IsEditMode() && info.creditCost > data->GetPoints())
        return DropCheck::TooDear;
    if (!map->IsInWorld(position))
        return DropCheck::Outside;
    const TileIndex tile = map->WorldToTile(position, info.widthTileSize, info.depthTileSize);
    return map->IsAreaFree(tile.first, tile.second, info.widthTileSize, info.depthTileSize) ? DropCheck::Allowed
                                                                                            : DropCheck::Taken;
}

Vector3 SnapTrapDropPosition(const std::string& name, const Vector3& position)
{
    DataController* data = CurrentDataController();
    TileMap* map = CurrentTileMap();
    if (!data || !map)
        return Vector3();
    const TrapInfo& info = data->GetTrapInfo(name);
    const TileIndex tile = map->WorldToTile(position, info.widthTileSize, info.depthTileSize);
    return map->TileToWorldAligned(tile.first, tile.second, info.widthTileSize, info.depthTileSize);
}

bool AttemptTrapDrop(std::string name, Vector3 position, Vector3 direction)
{
    if (!CanDropAt(name, position))
        return false;
    DataController& data = *CurrentDataController();
    const TrapInfo info = data.GetTrapInfo(name);
    CogFactory& cogs = CogFactory::Instance();
    Cog* trap = cogs.Allocate(name);
    if (!trap)
        return false;
    TileComp* tiles = trap ? trap->Get<TileComp>() : nullptr;
    Positional* at = PosOf(trap);
    if (!tiles || !at)
    {
        cogs.Destroy(trap);
        return false;
    }
    at->SetOrientation(Quat::FromDirection(direction));
    at->SetPosition(position);
    tiles->widthSize = info.widthTileSize;
    tiles->depthSize = info.depthTileSize;
    trap->Initialize();
    if (!tiles->IsPlaced())
    {
        cogs.Destroy(trap);
        return false;
    }
    if (!data.IsEditMode())
        data.SpendPoints(info.creditCost);
    return true;
}
