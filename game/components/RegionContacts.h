#pragma once
#include <cstdint>

#include "LOOM/cogs/Cog.h"
#include "LOOM/factory/CogFactory.h"
#include "physics/RegionComp.h"

// Offers the region's contacts in order to `take(cog, id)` until it returns true; true when it
// did. The walk also ends, false, at the first contact that has died.
template <typename Take>
bool TakeContact(RegionComp& region, Take take)
{
    CogFactory& cogs = CogFactory::Instance();
    for (uint32_t id : region.GetContacts())
    {
        Cog* cog = cogs.GetCog(id);
        if (!cog)
            return false;
        if (take(*cog, id))
            return true;
    }
    return false;
}
