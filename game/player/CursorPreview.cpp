#include "game/player/CursorPreview.h"

#include <vector>

#include "game/level/TileMap.h"
#include "game/logic/DataController.h"
#include "game/logic/LogicLoom.h"
#include "game/player/LogicCommands.h"
#include "game/player/PlayerServices.h"

namespace {
// Where the preview last followed the cursor, and where a line drag began.
Vector3 gFollowed;
Vector3 gLineStart;

DropPreview* Preview()
{
    DataController* data = Data();
    return data ? &data->mDropPreview : nullptr;
}
} // namespace

void PreviewHide()
{
    if (DropPreview* preview = Preview())
        preview->Clear();
}

void PreviewDestroy()
{
    if (DropPreview* preview = Preview())
        preview->Reset();
}

bool PreviewSelect(const std::string& kind)
{
    DropPreview* preview = Preview();
    DataController* data = Data();
    if (!preview || !preview->mAllowed || !data->IsTrapEnabled(kind))
        return false;
    preview->mTrapName = kind;
    if (preview->mMode == DropPreview::ModeNone)
        preview->mMode = DropPreview::ModeTrap;
    return true;
}

void PreviewFollow(const Vector3& position)
{
    gFollowed = position;
}

bool PreviewPlace()
{
    DropPreview* preview = Preview();
    if (!preview || !preview->mAllowed || preview->mMode == DropPreview::ModeNone)
        return false;
    return AttemptTrapDrop(preview->mTrapName, gFollowed, Vector3(1.0f, 0.0f, 0.0f));
}

bool PreviewLineStep(const Vector3& position)
{
    DropPreview* preview = Preview();
    if (!preview)
        return false;
    if (preview->mMode != DropPreview::ModeWallLine)
    {
        gLineStart = position;
        preview->mMode = DropPreview::ModeWallLine;
        return true;
    }
    LogicLoom* logic = LogicLoom::Instance();
    if (logic && logic->mTileMap)
    {
        std::vector<TileIndex> tiles;
        logic->mTileMap->GetTilesOnLine(gLineStart, position, tiles);
        for (const TileIndex& tile : tiles)
            AttemptTrapDrop(preview->mTrapName, logic->mTileMap->TileToWorld(tile.first, tile.second), Vector3(1.0f, 0.0f, 0.0f));
    }
    preview->mMode = DropPreview::ModeTrap;
    return false;
}

bool PreviewDraggingLine()
{
    const DropPreview* preview = Preview();
    return preview && preview->mMode == DropPreview::ModeWallLine;
}
