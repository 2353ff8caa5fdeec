#pragma once
#include <memory>
#include <vector>

#include "LOOM/assets/AssetManager.h"
#include "graphics/resource/Material.h"
#include "graphics/resource/Texture.h"

class GraphicsDevice;
class ModelStoreSet;
class Path;
class VertexLayout;

// The graphics loom's asset stores in their order, and the vertex declarations meshes draw with.
class AssetStores
{
public:
    AssetStores();
    ~AssetStores();
    AssetStores(const AssetStores&) = delete;
    AssetStores& operator=(const AssetStores&) = delete;

    void SetFolders();
    // Meshes, skeletons, animation sets and distance maps; made after the declarations.
    void MakeModelStores();
    // Releases the model, material and texture stores, models first: they hold the others.
    void ReleaseStores();

    void CreateDeclarations(GraphicsDevice& device);
    // Also unhooks them from the meshes, which must not draw with released ones.
    void ReleaseDeclarations();
    VertexLayout* GetDeclaration(uint32_t index) const
    {
        return index < mDeclarations.size() ? mDeclarations[index].get() : nullptr;
    }

    TextureStore& Textures() { return mTextures; }
    AssetManager<Material>& Materials() { return mMaterials; }
    // Kept from construction to destruction, not emptied by ReleaseStores.
    AssetManager<Path>& Paths();

private:
    std::vector<std::unique_ptr<VertexLayout>> mDeclarations;
    std::unique_ptr<ModelStoreSet> mModelStores;
    TextureStore mTextures;
    AssetManager<Material> mMaterials;
    std::unique_ptr<AssetManager<Path>> mPaths;
};
