#include "LOOM/assets/AssetManagerBase.h"

#include "LOOM/assets/ResourceManager.h"

namespace {
// Managers are numbered in the order they are made; 0 marks an asset no manager stamped.
uint16_t gNextManagerId = 0;
} // namespace

AssetManagerBase::AssetManagerBase()
{
    if (++gNextManagerId == 0)
        ++gNextManagerId;
    mManagerId = gNextManagerId;
    ResourceManager::Instance().Register(this);
}

AssetManagerBase::~AssetManagerBase() { ResourceManager::Instance().Unregister(this); }

void AssetManagerBase::ForEachAssetA()
{
    for (auto& entry : mAssets)
        entry.second->AssetHookA();
}

void AssetManagerBase::ForEachAssetB()
{
    for (auto& entry : mAssets)
        entry.second->AssetHookB();
}

void AssetManagerBase::IssueHandle(RefCounted* asset)
{
    asset->AddRef();
    asset->SetStamp(NextSerial(), mManagerId);
}

RefCounted* AssetManagerBase::Find(const std::string& name) const
{
    auto it = mAssets.find(name);
    return it == mAssets.end() ? nullptr : it->second;
}
