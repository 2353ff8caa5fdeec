#include "graphics/model/ModelStoreSet.h"

#include "graphics/device/GraphicsDevice.h"
#include "graphics/model/ModelStores.h"

std::vector<VertexElement> MeshLayoutElements(uint32_t layout)
{
    using T = VertexType;
    using S = VertexSemantic;
    const VertexElement position{0, T::Float3, S::Position, 0};
    const VertexElement normal{12, T::Float3, S::Normal, 0};
    switch (layout)
    {
    case LayoutStatic:
        return {position, normal, {24, T::Float2, S::TexCoord, 0}, {32, T::Float3, S::Tangent, 0},
                {44, T::Float3, S::Binormal, 0}};
    case LayoutSkinned:
        return {position, normal, {24, T::Float2, S::TexCoord, 0}, {32, T::Float4, S::BlendWeight, 0},
                {48, T::UByte4, S::BlendIndices, 0}};
    case LayoutShadow:
        return {position, normal};
    case LayoutSkinnedShadow:
        return {position, normal, {24, T::Float4, S::BlendWeight, 0}, {40, T::UByte4, S::BlendIndices, 0}};
    default:
        return {};
    }
}

ModelStoreSet::ModelStoreSet(GraphicsDevice* device)
{
    mMeshes.SetFolder("Meshes");
    mSkeletons.SetFolder("Skeletons");
    mAnimations.SetFolder("Animations");
    mDistanceMaps.SetFolder("DistanceMaps");
    ModelStores::sMeshes = &mMeshes;
    ModelStores::sSkeletons = &mSkeletons;
    ModelStores::sAnimations = &mAnimations;
    ModelStores::sDistanceMaps = &mDistanceMaps;
    for (uint32_t layout : {LayoutStatic, LayoutSkinned, LayoutShadow, LayoutSkinnedShadow})
    {
        if (device)
            mLayouts[layout] = device->CreateVertexLayout(MeshLayoutElements(layout));
        ModelStores::sLayouts[layout] = mLayouts[layout].get();
    }
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
    }
    for (uint32_t i = 0; i < 8; ++i)
    {
        if (mLayouts[i] && ModelStores::sLayouts[i] == mLayouts[i].get())
            ModelStores::sLayouts[i] = nullptr;
    }
}
