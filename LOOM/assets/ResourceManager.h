#pragma once
#include <vector>

class AssetManagerBase;

// Knows every live asset manager and offers the console commands over all of them. Never
// destroyed: asset managers and console commands may reach it until the process ends.
class ResourceManager
{
public:
    static ResourceManager& Instance();

    ResourceManager(const ResourceManager&) = delete;
    ResourceManager& operator=(const ResourceManager&) = delete;

    // Asset managers join in their constructor and leave in their destructor.
    void Register(AssetManagerBase* manager);
    void Unregister(AssetManagerBase* manager);
    const std::vector<AssetManagerBase*>& GetManagers() const { return mManagers; }

    // Logs each manager's name, then each asset with its reference count.
    void ResourceInfo();
    // Frees, in every manager, the assets nobody else holds.
    void PurgeAssets();

private:
    ResourceManager();
    ~ResourceManager() = default;

    // In the order they registered, so listings are repeatable.
    std::vector<AssetManagerBase*> mManagers;
};
