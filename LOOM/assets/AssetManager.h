#pragma once
#include <string>
#include <type_traits>

#include "LOOM/assets/AssetManagerBase.h"
#include "LOOM/assets/Ref.h"
#include "LOOM/base/AssertHandler.h"

// The shared assets of one type, loaded on first request and kept by name. T derives from
// RefCounted (count 1 when made: the manager's own reference) and loads with Load(name).
template <typename T>
class AssetManager : public AssetManagerBase
{
    static_assert(std::is_base_of_v<RefCounted, T>, "assets are reference counted");

public:
    AssetManager() = default;
    // Assets still held by someone are reported here, not silently leaked.
    ~AssetManager() override { ReleaseAll(); }

    // The asset of that name, with a reference for the caller, who gives it back with Release.
    // A name is loaded once, even when its load failed (the asset logs that itself).
    T* Get(const std::string& name)
    {
        T* asset = Find(name);
        if (!asset)
        {
            MakeRoom();
            asset = new T();
            mAssets.emplace(name, asset);
            asset->Load(name);
        }
        IssueHandle(asset);
        return asset;
    }

    // The same, the caller's reference held by a handle.
    Ref<T> GetRef(const std::string& name) { return Ref<T>::Adopt(Get(name)); }

    T* Find(const std::string& name) const { return static_cast<T*>(AssetManagerBase::Find(name)); }

    void ReleaseAll() override
    {
        for (auto& entry : mAssets)
        {
            if (entry.second->Release() != 0 &&
                AssertFailedString("Refcount==0", "AssetManager", __LINE__,
                                   "Resource leak not all references released.\nFileName: " + entry.first))
                DebugBreakIfAttached();
        }
        // Leaked assets are forgotten: their holders still release them.
        mAssets.clear();
    }

    void PurgeUnused() override
    {
        for (auto it = mAssets.begin(); it != mAssets.end();)
        {
            if (it->second->GetRefCount() == 1)
            {
                it->second->Release();
                it = mAssets.erase(it);
            }
            else
            {
                ++it;
            }
        }
    }
};
