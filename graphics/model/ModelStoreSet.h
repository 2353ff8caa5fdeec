#pragma once
#include <memory>

#include "LOOM/assets/AssetManager.h"
#include "graphics/model/AnimationSet.h"
#include "graphics/model/DistanceMap.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/Skeleton.h"

class GraphicsDevice;
class VertexLayout;

// The graphics loom's stores of model resources and the mesh vertex layouts of its device,
// installed as the ModelStores while this object lives.
class ModelStoreSet
{
public:
    // Without a device the stores still load; meshes stay on the CPU.
    explicit ModelStoreSet(GraphicsDevice* device);
    ~ModelStoreSet();
    ModelStoreSet(const ModelStoreSet&) = delete;
    ModelStoreSet& operator=(const ModelStoreSet&) = delete;

    // Skeletons before meshes: meshes hold skeletons and must go first.
    AssetManager<Skeleton> mSkeletons;
    AssetManager<Mesh> mMeshes;
    AssetManager<AnimationSet> mAnimations;
    AssetManager<DistanceMap> mDistanceMaps;

private:
    std::unique_ptr<VertexLayout> mLayouts[8];
};

// Stream-0 elements of a mesh layout (LayoutStatic ... LayoutSkinnedShadow); empty for others.
std::vector<VertexElement> MeshLayoutElements(uint32_t layout);
