#include "game/player/CursorPreview.h"

#include "game/logic/DataController.h"
#include "game/player/PlayerServices.h"

namespace {
DropPreview* Preview()
{
    DataController* data = Data();
    return data ? &data->mDropPreview : nullptr;
}
} // namespace

void PreviewHide()
{
    if (DropPreview* preview = Preview())
        preview->HideAll();
}

void PreviewDestroy()
{
    if (DropPreview* preview = Preview())
        preview->Clear();
}

bool PreviewSelect(const std::string& kind)
{
    DropPreview* preview = Preview();
    return preview && preview->SelectTrap(kind);
}

void PreviewFollow(const Vector3& position)
{
    if (DropPreview* preview = Preview())
        preview->Update(position);
}

bool PreviewPlace()
{
    DropPreview* preview = Preview();
    return preview && preview->TryDrop();
}

bool PreviewLineStep(const Vector3&)
{
    // The preview drags from and to the positions it followed.
    DropPreview* preview = Preview();
    if (!preview)
        return false;
    return preview->mMode == DropPreview::ModeLine ? preview->CommitLine() : preview->BeginLine();
}

bool PreviewDraggingLine()
{
    const DropPreview* preview = Preview();
    return preview && preview->mMode == DropPreview::ModeLine;
}
