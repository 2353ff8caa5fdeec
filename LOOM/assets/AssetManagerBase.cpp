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
    uint16_t serial = NextSerial();
    if (serial == 0)
        mWrapped = true;
    // Once the counter has wrapped, a serial still stamped on another live asset is skipped.
    if (mWrapped)
    {
        auto held = [&](uint16_t s) {
            for (auto& entry : mAssets)
                if (entry.second != asset && entry.second->GetManagerId() == mManagerId &&
                    entry.second->GetSerial() == s)
                    return true;
            return false;
        };
        for (uint32_t tries = 0; (serial == 0 || held(serial)) && tries < 0x10000; ++tries)
            serial = NextSerial();
    }
    asset->SetStamp(serial, mManagerId);
}

RefCounted* AssetManagerBase::Find(const std::string& name) const
{
    auto it = mAssets.find(name);
    return it == mAssets.end() ? nullptr : it->second;
}
