#pragma once
#include <memory>
#include <vector>

#include "LOOM/assets/AssetManager.h"
#include "graphics/model/DistanceMap.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/animation/AnimationSet.h"
#include "graphics/model/animation/Skeleton.h"

class VertexLayout;

// The graphics loom's stores of model resources, installed as the ModelStores while this
// object lives, with the loom's vertex declarations for meshes to bind.
class ModelStoreSet
{
public:
    // declarations: the loom's, by declaration number; empty without a device.
    explicit ModelStoreSet(const std::vector<std::unique_ptr<VertexLayout>>& declarations);
    ~ModelStoreSet();
    ModelStoreSet(const ModelStoreSet&) = delete;
    ModelStoreSet& operator=(const ModelStoreSet&) = delete;

    // Skeletons before meshes: meshes hold skeletons and must go first.
    AssetManager<Skeleton> mSkeletons;
    AssetManager<Mesh> mMeshes;
    AssetManager<AnimationSet> mAnimations;
    AssetManager<DistanceMap> mDistanceMaps;
};
