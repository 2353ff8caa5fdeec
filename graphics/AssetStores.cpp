#include "graphics/AssetStores.h"

#include "graphics/device/GraphicsDevice.h"
#include "graphics/model/ModelStoreSet.h"
#include "graphics/model/ModelStores.h"
#include "graphics/scene/path/Path.h"

namespace {
using T = VertexType;
using S = VertexSemantic;
const std::vector<VertexElement> kDeclarations[8] = {
    {{0, T::Float3, S::Position, 0},
     {12, T::Float3, S::Normal, 0},
     {24, T::Float2, S::TexCoord, 0},
     {32, T::Float3, S::Tangent, 0},
     {44, T::Float3, S::Binormal, 0}},
    {{0, T::Float3, S::Position, 0},
     {12, T::Float3, S::Normal, 0},
     {24, T::Float2, S::TexCoord, 0},
     {32, T::Float4, S::BlendWeight, 0},
     {48, T::UByte4, S::BlendIndices, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Float3, S::Normal, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Color, S::Color, 0}, {16, T::Float2, S::TexCoord, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Float3, S::Normal, 0}, {24, T::Float2, S::TexCoord, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Float2, S::TexCoord, 0}},
    {{0, T::Float3, S::Position, 0}, {12, T::Float2, S::TexCoord, 0}},
    {{0, T::Float3, S::Position, 0},
     {12, T::Float3, S::Normal, 0},
     {24, T::Float4, S::BlendWeight, 0},
     {40, T::UByte4, S::BlendIndices, 0}},
};
} // namespace

AssetStores::AssetStores() : mPaths(std::make_unique<AssetManager<Path>>()) {}

AssetStores::~AssetStores() = default;

AssetManager<Path>& AssetStores::Paths() { return *mPaths; }

void AssetStores::SetFolders()
{
    mTextures.SetFolder("Textures");
    mMaterials.SetFolder("Materials");
    mPaths->SetFolder("Paths");
}

void AssetStores::MakeModelStores() { mModelStores = std::make_unique<ModelStoreSet>(mDeclarations); }

void AssetStores::ReleaseStores()
{
    mModelStores.reset();
    mMaterials.ReleaseAll();
    mTextures.ReleaseAll();
}

void AssetStores::CreateDeclarations(GraphicsDevice& device)
{
    mDeclarations.clear();
    for (const auto& elements : kDeclarations)
        mDeclarations.push_back(device.CreateVertexLayout(elements));
    // Meshes draw with these: after a reset they must not keep the old ones.
    if (mModelStores)
        for (size_t i = 0; i < std::size(ModelStores::sLayouts); ++i)
            ModelStores::sLayouts[i] = i < mDeclarations.size() ? mDeclarations[i].get() : nullptr;
}

void AssetStores::ReleaseDeclarations()
{
    mDeclarations.clear();
    if (mModelStores)
        for (VertexLayout*& layout : ModelStores::sLayouts)
            layout = nullptr;
}
