#include "LOOM/factory/Archetype.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/FileComposition.h"

Archetype::Archetype(CogFactory& factory, std::string compositionName, std::string fileName)
    : mCogFactory(factory), mCompositionName(std::move(compositionName)), mData(std::move(fileName))
{
}

std::unique_ptr<Cog> Archetype::CreateInstance(uint32_t id) { return Build(id); }

std::unique_ptr<Cog> Archetype::Build(uint32_t id)
{
    // Types registered by hand could make archetypes name each other in a ring.
    if (mBuilding)
    {
        Console::Instance().Log("Archetype of " + mCompositionName + " names itself", LogError);
        return nullptr;
    }
    mBuilding = true;
    std::unique_ptr<Cog> cog = mCogFactory.CreateFromType(mCompositionName, id);
    mBuilding = false;
    if (!cog)
        return nullptr;
    if (mCached)
    {
        LoadArchetypeBinary(*cog, mData);
        return cog;
    }
    const bool loaded = LoadArchetypeXml(*cog, mData);
    // Only a file read whole is worth keeping: a broken one is reported again on the next build.
    if (loaded && mCogFactory.Files().GetCacheArchetypes())
    {
        Console::Instance().Log("Saving Archetype: " + mCompositionName, LogEngine);
        mData = SaveArchetypeBinary(*cog);
        mCached = true;
    }
    return cog;
}
