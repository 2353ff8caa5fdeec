#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "LOOM/assets/RefCounted.h"

// What every per-type asset manager shares: the assets of one type by name, the serial
// counter and the manager id stamped into each handed-out asset.
class AssetManagerBase
{
public:
    using AssetMap = std::map<std::string, RefCounted*>;

    // Joins the resource manager's list until destroyed.
    AssetManagerBase();
    AssetManagerBase(const AssetManagerBase&) = delete;
    AssetManagerBase& operator=(const AssetManagerBase&) = delete;

    // Walk the assets in name order calling AssetHookA / AssetHookB on each.
    virtual void ForEachAssetA();
    virtual void ForEachAssetB();
    // Shutdown: drop the manager's reference to every asset, reporting those still held.
    virtual void ReleaseAll() = 0;
    // Drop every asset that only the manager holds.
    virtual void PurgeUnused() = 0;
    // Forgets the map (the derived manager has released the assets) and leaves the list.
    virtual ~AssetManagerBase();

    // Adds the caller's reference and stamps the asset with the next serial and this id.
    void IssueHandle(RefCounted* asset);
    // 16-bit, wrapping.
    uint16_t NextSerial() { return ++mSerial; }
    RefCounted* Find(const std::string& name) const;

    void SetFolder(const std::string& name) { mFolder = name; }
    const std::string& GetFolder() const { return mFolder; }
    const AssetMap& GetAssets() const { return mAssets; }
    size_t Count() const { return mAssets.size(); }
    uint16_t GetManagerId() const { return mManagerId; }

    // A script can name assets without end, each name an entry whether its file exists or not:
    // past this many, the ones nobody holds are dropped before another is made.
    static constexpr size_t kPurgeAt = 4096;

protected:
    void MakeRoom()
    {
        if (mAssets.size() >= kPurgeAt)
            PurgeUnused();
    }

    AssetMap mAssets;

private:
    std::string mFolder;
    uint16_t mSerial = 0;
    uint16_t mManagerId = 0;
    bool mWrapped = false;
};
