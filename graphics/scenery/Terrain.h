#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "LOOM/math/Plane.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/device/Image.h"
#include "graphics/resource/Texture.h"
#include "graphics/terrain/TerraDeform.h"
#include "graphics/terrain/TerrainSurface.h"

class CompFactory;
class HeightMap;
class Shader;

// Draws the height map on its cog in patches of 16 x 16 cells, culled through a quadtree, with
// the "Terra" effect blending three layer textures by an info texture it can paint into. Owns
// the deformation of the ground and draws its decals.
class Terrain : public Comp, public TerrainSurface
{
public:
    static constexpr uint32_t kTypeId = 8;
    static constexpr int32_t kPatchCells = 16;
    static constexpr int32_t kPatchSide = 17;
    static constexpr uint32_t kPatchVertices = kPatchSide * kPatchSide;
    static constexpr uint32_t kPatchIndices = kPatchCells * kPatchCells * 6;
    static constexpr uint32_t kPatchTriangles = kPatchCells * kPatchCells * 2;
    // Meshes of a patch with every 1st, 2nd, 4th, 8th or 16th row inside and every vertex on the
    // edges, so neighbours of any two meshes meet without a gap. A patch draws the coarsest one
    // whose heights land within half a pixel of the full mesh's and whose light barely differs.
    static constexpr uint32_t kLods = 5;
    // The triangles of each mesh, as vertex indices of the patch.
    static const std::vector<uint16_t>& LodIndices(uint32_t lod);

    Terrain();
    ~Terrain() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "Terrain"; }
    uint32_t GetTypeId() override { return kTypeId; }

    // Builds the patches, textures and deformation for a map (Initialize does it for the map
    // on the same cog).
    void Build(HeightMap* map);

    // dt: the frame's game time; frustum: six planes with normals pointing inward.
    void Render(std::span<const Plane, 6> frustum, float dt);
    // The terrain on one side of a plane, for the water's reflection; no decals.
    void RenderClipped(std::span<const Plane, 6> frustum, const Plane& clip, float side);
    void OnDeviceLost();
    void OnDeviceReset();
    bool SaveInfoTexture(const std::string& fileName) const;

    TerraDeform* GetDeform() override { return mDeform.get(); }
    void RebuildPatch(int px, int pz) override;
    void RebuildAllPatches() override;
    void RebuildArea(const Vector3& centre, float radius) override;
    void PaintInfoTexture(const Vector3& centre, float innerRadius, float outerRadius, int layer) override;

    int32_t GetPatchesPerSide() const { return mPatches; }
    uint32_t GetPatchesDrawn() const { return mPatchesDrawn; }
    uint32_t GetTrianglesDrawn() const { return mTrianglesDrawn; }
    // The mesh a patch drew last (0 the full one); -1 for no such patch.
    int32_t GetPatchLod(int px, int pz) const;
    const Image& GetInfoImage() const { return mInfo; }
    // Patches whose baked ground is on the device, and the bytes they hold with their mip chains.
    uint32_t GetGroundsBaked() const { return mGroundBaked; }
    // Grounds baked since the terrain was built, again after painting included.
    uint64_t GetGroundBakes() const { return mGroundBakes; }
    size_t GetGroundBytes() const { return size_t(mGroundBaked) * GroundBytesPerPatch(); }
    // What the baked grounds may hold; the patches of the frame being drawn stay even over it.
    static constexpr size_t kMaxGroundBytes = size_t(48) << 20;
    // True when the ground of the last Render fills the whole view of this view-projection: every
    // pixel's ray meets it before the far plane, so nothing drawn on the far plane can show.
    bool FillsView(const Matrix4& viewProjection) const;
    // Six inward planes of a view-projection (points as row vectors, depth 0..1).
    static std::array<Plane, 6> FrustumPlanes(const Matrix4& viewProjection);

    bool mGenerateInfo = false;
    TextureRef mDirtTexture;
    TextureRef mGrassTexture;
    TextureRef mRockTexture;
    TextureRef mInfoTexture;

private:
    struct Node
    {
        Vector3 mCentre;
        Vector3 mHalf;
        int32_t mPatch = -1;
        std::array<std::unique_ptr<Node>, 4> mChildren;
    };
    struct Patch
    {
        std::unique_ptr<GpuBuffer> mBuffer;
        Vector3 mCentre;
        float mMinY = 0.0f;
        float mMaxY = 0.0f;
        // The layers blended by the info weights, baked when first drawn and after painting.
        std::unique_ptr<GpuTexture> mGround;
        bool mGroundDirty = true;
        uint32_t mLastDrawn = 0;
        // How far each mesh misses the full one's heights and normals; the mesh of the last draw.
        std::array<float, kLods> mLodHeight{};
        std::array<float, kLods> mLodNormal{};
        uint8_t mLod = 0;
    };
    struct DecalBuffers
    {
        std::unique_ptr<GpuBuffer> mVertices;
        std::unique_ptr<GpuBuffer> mIndices;
        uint32_t mVersion = ~0u;
    };

    void CreateDeviceObjects();
    void ReleaseDeviceObjects();
    std::unique_ptr<Node> BuildNode(int32_t x, int32_t z, int32_t size);
    void RefreshBounds(Node& node);
    void CollectVisible(const Node& node, std::span<const Plane, 6> frustum);
    void LoadInfoTexture();
    void LoadLayerImages();
    void BakeGround(int32_t patch);
    void MarkGroundDirty(float x0, float z0, float x1, float z1);
    void MarkAllGroundDirty();
    size_t GroundBytesPerPatch() const;
    // Binds the layer textures and draws the visible patches with the current technique.
    void DrawPatches(Shader& shader, std::span<const Plane, 6> frustum);
    void DrawDecals(Shader& shader);

    HeightMap* mMap = nullptr;
    int32_t mWidth = 0;
    int32_t mDepth = 0;
    float mTileScale = 1.0f;
    float mHeightScale = 1.0f;
    int32_t mPatches = 0;
    bool mCreated = false;
    bool mBoundsDirty = true;
    std::unique_ptr<Node> mRoot;
    std::vector<Patch> mPatchTable;
    // Every mesh's indices, one after the other from mLodStart.
    std::unique_ptr<GpuBuffer> mIndexBuffer;
    std::array<uint32_t, kLods> mLodStart{};
    std::unique_ptr<VertexLayout> mLayout;
    std::array<DecalBuffers, TerraDeform::kDecals> mDecalBuffers;
    std::array<TextureRef, 3> mBlastTextures;
    Image mInfo;
    std::array<Image, 3> mLayerImages;
    // Texels a side of a patch's baked ground.
    uint32_t mGroundSide = 16;
    uint32_t mGroundBaked = 0;
    uint64_t mGroundBakes = 0;
    uint32_t mDrawFrame = 0;
    std::vector<int32_t> mVisible;
    uint32_t mPatchesDrawn = 0;
    uint32_t mTrianglesDrawn = 0;
    std::unique_ptr<TerraDeform> mDeform;
};

CompFactory* TerrainFactory();
