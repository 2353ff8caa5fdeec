#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "LOOM/cogs/Positional.h"

class CogFactory;

// A volume around its cog that knows which other cogs it meets. The physics loom refreshes
// the contacts every frame, also while the game is paused.
class RegionComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 55;

    RegionComp();
    ~RegionComp() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "RegionComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    // IDs of the living cogs whose Positional meets the volume, ascending; never the region's
    // own cog. Cogs that died since the last refresh are dropped here.
    const std::vector<uint32_t>& GetContacts();
    bool Contains(uint32_t id);

    // The volume: filed in the quadtree but owned by no cog, so no query reports it.
    Positional& GetVolume() { return *mVolume; }
    // Writable; the next refresh files the new box.
    BoundingBox& GetLocalBox() { return mVolume->GetLocalBox(); }
    BoundingSphere& GetLocalSphere() { return mVolume->GetLocalSphere(); }

    // Centres the volume on the cog, files it and rebuilds the contacts (physics loom only).
    void Refresh(std::vector<Spatial*>& scratch);

    int32_t mRegionType = 0; // 0 sphere, any other value a box

private:
    void ApplyShape();
    void DropDead();

    std::unique_ptr<Positional> mVolume;
    std::vector<uint32_t> mContacts;
    float mRadius = 1.0f;
    Vector3 mBoxMin{-1.0f, -1.0f, -1.0f};
    Vector3 mBoxMax{1.0f, 1.0f, 1.0f};
    bool mJoined = false;
};

void RegisterRegionComp(CogFactory& cogs);
