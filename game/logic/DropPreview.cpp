#include "game/logic/DropPreview.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFactory.h"
#include "LOOM/cogs/Positional.h"

DropPreview::~DropPreview()
{
    Reset();
}

void DropPreview::Deactivate()
{
    mAllowed = false;
    Clear();
}

void DropPreview::Clear()
{
    CogFactory& cogs = CogFactory::Instance();
    for (uint32_t id : mPreviewCogs)
    {
        Cog* cog = cogs.GetCog(id);
        if (!cog)
            continue;
        if (Comp* comp = cog->GetComponent(1); comp && comp->GetTypeId() == 1)
            static_cast<Positional*>(comp)->SetVisible(false);
    }
    mMode = ModeNone;
}

void DropPreview::Reset()
{
    mMode = ModeNone;
    if (mPreviewCogs.empty())
        return;
    CogFactory& cogs = CogFactory::Instance();
    for (uint32_t id : mPreviewCogs)
        if (Cog* cog = cogs.GetCog(id))
            cogs.Destroy(cog);
    mPreviewCogs.clear();
}
