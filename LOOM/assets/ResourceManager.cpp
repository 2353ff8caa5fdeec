#include "LOOM/assets/ResourceManager.h"

#include <algorithm>
#include <string>

#include "LOOM/assets/AssetManagerBase.h"
#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"

ResourceManager& ResourceManager::Instance()
{
    // Deliberately leaked: an asset manager or the console may outlive any static we could pick.
    static ResourceManager* instance = new ResourceManager();
    return *instance;
}

ResourceManager::ResourceManager()
{
    Console& console = Console::Instance();
    console.RegisterCommand("ResourceInfo", MakeConsoleCommand(this, &ResourceManager::ResourceInfo),
                            "Displays Loaded Resources Filenames and Ref Counts");
    console.RegisterCommand("PurgeAssets", MakeConsoleCommand(this, &ResourceManager::PurgeAssets),
                            "Purges all unsed assets");
}

void ResourceManager::Register(AssetManagerBase* manager)
{
    if (manager && std::find(mManagers.begin(), mManagers.end(), manager) == mManagers.end())
        mManagers.push_back(manager);
}

void ResourceManager::Unregister(AssetManagerBase* manager)
{
    mManagers.erase(std::remove(mManagers.begin(), mManagers.end(), manager), mManagers.end());
}

void ResourceManager::ResourceInfo()
{
    Console& console = Console::Instance();
    for (AssetManagerBase* manager : mManagers)
    {
        console.Log(manager->GetFolder(), LogGeneral);
        for (const auto& [name, asset] : manager->GetAssets())
            console.Log(">>  Asset: " + name + " RefCount: " + std::to_string(asset->GetRefCount()), LogGeneral);
    }
}

void ResourceManager::PurgeAssets()
{
    // By index: freeing an asset may create or destroy a manager.
    for (size_t i = 0; i < mManagers.size(); ++i)
        mManagers[i]->PurgeUnused();
}
