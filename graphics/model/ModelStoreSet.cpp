#include "graphics/model/ModelStoreSet.h"

#include "graphics/model/ModelStores.h"

ModelStoreSet::ModelStoreSet(const std::vector<std::unique_ptr<VertexLayout>>& declarations)
{
    mMeshes.SetFolder("Meshes");
    mSkeletons.SetFolder("Skeletons");
    mAnimations.SetFolder("Animations");
    mDistanceMaps.SetFolder("DistanceMaps");
    ModelStores::sMeshes = &mMeshes;
    ModelStores::sSkeletons = &mSkeletons;
    ModelStores::sAnimations = &mAnimations;
    ModelStores::sDistanceMaps = &mDistanceMaps;
    for (uint32_t i = 0; i < 8; ++i)
        ModelStores::sLayouts[i] = i < declarations.size() ? declarations[i].get() : nullptr;
}

ModelStoreSet::~ModelStoreSet()
{
    mMeshes.ReleaseAll();
    mSkeletons.ReleaseAll();
    mAnimations.ReleaseAll();
    mDistanceMaps.ReleaseAll();
    if (ModelStores::sMeshes == &mMeshes)
    {
        ModelStores::sMeshes = nullptr;
        ModelStores::sSkeletons = nullptr;
        ModelStores::sAnimations = nullptr;
        ModelStores::sDistanceMaps = nullptr;
        for (VertexLayout*& layout : ModelStores::sLayouts)
            layout = nullptr;
    }
}
