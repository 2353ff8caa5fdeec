#include "graphics/scenery/Terrain.h"

#include <algorithm>
#include <cmath>

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/effect/Shader.h"
#include "graphics/resource/ResourceFields.h"
#include "graphics/resource/TextureData.h"
#include "graphics/terrain/HeightMap.h"
#include "graphics/terrain/ImageFile.h"

namespace {
CompFactoryOf<Terrain> gTerrainFactory;

const char* const kBlastFiles[3] = {"Textures/Blast0.dds", "Textures/Blast2.dds", "Textures/Cracked.dds"};
constexpr uint32_t kDefaultInfoSide = 256;
constexpr float kDecalDepthBias = -9.999999747378752e-06f;
// The layer textures repeat every eight world units.
constexpr float kDetailRepeat = 0.125f;

// Bilinear read of an RGBA8 image at texel coordinates (centres at half texels), wrapping or clamped.
void Bilinear(const Image& image, float x, float y, bool wrap, float out[3])
{
    const int32_t w = int32_t(image.mWidth), h = int32_t(image.mHeight);
    const float fx0 = std::floor(x), fy0 = std::floor(y);
    const float fx = x - fx0, fy = y - fy0;
    int32_t x0 = int32_t(fx0), y0 = int32_t(fy0), x1 = x0 + 1, y1 = y0 + 1;
    auto fix = [wrap](int32_t v, int32_t n) { return wrap ? ((v % n) + n) % n : std::clamp(v, 0, n - 1); };
    x0 = fix(x0, w), x1 = fix(x1, w), y0 = fix(y0, h), y1 = fix(y1, h);
    const uint8_t* a = image.Pixel(uint32_t(x0), uint32_t(y0));
    const uint8_t* b = image.Pixel(uint32_t(x1), uint32_t(y0));
    const uint8_t* c = image.Pixel(uint32_t(x0), uint32_t(y1));
    const uint8_t* d = image.Pixel(uint32_t(x1), uint32_t(y1));
    for (int k = 0; k < 3; ++k)
        out[k] = (1.0f - fy) * ((1.0f - fx) * a[k] + fx * b[k]) + fy * ((1.0f - fx) * c[k] + fx * d[k]);
}

bool IsBoxOutside(std::span<const Plane, 6> frustum, const Vector3& centre, const Vector3& half)
{
    for (const Plane& plane : frustum)
    {
        const float reach = std::fabs(plane.a * half.x) + std::fabs(plane.b * half.y) + std::fabs(plane.c * half.z);
        if (plane.DotCoord(centre) <= -reach)
            return true;
    }
    return false;
}

// A coarser mesh stands in for the full one where its heights land within this many pixels of
// the full mesh's on the screen and its normals (so the per-vertex light) stay this close.
// A pixel is where a software renderer gains: small triangles cost it more than their pixels do.
constexpr float kLodPixels = 1.0f;
constexpr float kLodNormal = 0.05f;

// The triangles of one coarse mesh: whole quads of step cells inside; a quad on the patch's edge
// is a fan from its centre through every vertex of the edge side and the corners of the others.
std::vector<uint16_t> BuildLodIndices(int32_t step)
{
    constexpr int32_t n = Terrain::kPatchCells, side = Terrain::kPatchSide;
    auto vertex = [](int32_t r, int32_t c) { return uint16_t(side * r + c); };
    std::vector<uint16_t> out;
    for (int32_t r = 0; r < n; r += step)
    {
        for (int32_t c = 0; c < n; c += step)
        {
            const bool edge = r == 0 || c == 0 || r + step == n || c + step == n;
            if (step == 1 || !edge)
            {
                const uint16_t a = vertex(r, c), b = vertex(r, c + step), d = vertex(r + step, c),
                               e = vertex(r + step, c + step);
                for (uint16_t index : {a, b, d, d, b, e})
                    out.push_back(index);
                continue;
            }
            // Round the quad's rim in order; a side on the patch's edge keeps all its vertices.
            std::vector<uint16_t> rim;
            auto walk = [&](int32_t r0, int32_t c0, int32_t dr, int32_t dc, bool full) {
                const int32_t count = full ? step : 1, stride = full ? 1 : step;
                for (int32_t k = 0; k < count; ++k)
                    rim.push_back(vertex(r0 + dr * k * stride, c0 + dc * k * stride));
            };
            walk(r, c, 0, 1, r == 0);
            walk(r, c + step, 1, 0, c + step == n);
            walk(r + step, c + step, 0, -1, r + step == n);
            walk(r + step, c, -1, 0, c == 0);
            const uint16_t centre = vertex(r + step / 2, c + step / 2);
            for (size_t k = 0; k < rim.size(); ++k)
                for (uint16_t index : {centre, rim[k], rim[(k + 1) % rim.size()]})
                    out.push_back(index);
        }
    }
    return out;
}

// How far the triangles over the patch's vertices miss each vertex: the largest height
// difference, and the largest difference of a normal's component (so of the per-vertex light).
void LodError(const std::vector<uint16_t>& indices, const HeightTile* vertices, float& height, float& normal)
{
    constexpr int32_t side = Terrain::kPatchSide;
    height = 0.0f;
    normal = 0.0f;
    for (size_t t = 0; t + 2 < indices.size(); t += 3)
    {
        const int32_t r[3] = {indices[t] / side, indices[t + 1] / side, indices[t + 2] / side};
        const int32_t c[3] = {indices[t] % side, indices[t + 1] % side, indices[t + 2] % side};
        const float area = float((r[1] - r[0]) * (c[2] - c[0]) - (r[2] - r[0]) * (c[1] - c[0]));
        if (area == 0.0f)
            continue;
        for (int32_t vr = std::min({r[0], r[1], r[2]}); vr <= std::max({r[0], r[1], r[2]}); ++vr)
        {
            for (int32_t vc = std::min({c[0], c[1], c[2]}); vc <= std::max({c[0], c[1], c[2]}); ++vc)
            {
                // Barycentric weights in grid steps; a vertex on a shared side is checked twice.
                float w[3];
                for (int k = 0; k < 3; ++k)
                {
                    const int k1 = (k + 1) % 3, k2 = (k + 2) % 3;
                    w[k] = float((r[k1] - vr) * (c[k2] - vc) - (r[k2] - vr) * (c[k1] - vc)) / area;
                }
                if (w[0] < 0.0f || w[1] < 0.0f || w[2] < 0.0f)
                    continue;
                const HeightTile& v = vertices[side * vr + vc];
                float y = 0.0f, n[3] = {0.0f, 0.0f, 0.0f};
                for (int k = 0; k < 3; ++k)
                {
                    const HeightTile& corner = vertices[side * r[k] + c[k]];
                    y += w[k] * corner.y;
                    n[0] += w[k] * corner.nx;
                    n[1] += w[k] * corner.ny;
                    n[2] += w[k] * corner.nz;
                }
                height = std::max(height, std::fabs(y - v.y));
                normal = std::max({normal, std::fabs(n[0] - v.nx), std::fabs(n[1] - v.ny), std::fabs(n[2] - v.nz)});
            }
        }
    }
}

GraphicsDevice* Device()
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    return loom ? loom->GetDevice() : nullptr;
}

Shader* TerraShader()
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    return loom && loom->GetDevice() ? loom->GetShaderControl().GetShader("Terra") : nullptr;
}
} // namespace

CompFactory* TerrainFactory() { return &gTerrainFactory; }

Terrain::Terrain() = default;

Terrain::~Terrain()
{
    mDeform.reset();
    ReleaseDeviceObjects();
    if (GraphicsScene* scene = GraphicsScene::Current(); scene && scene->mTerrain == this)
        scene->mTerrain = nullptr;
    if (mMap && HeightMap::Current() == mMap && mMap->GetTerrain() == this)
        mMap->SetTerrain(nullptr);
}

void Terrain::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeBoolField("GenerateInfo", mGenerateInfo);
    SerializeTextureField(s, "DirtTexture", mDirtTexture);
    SerializeTextureField(s, "GrassTexture", mGrassTexture);
    SerializeTextureField(s, "RockTexture", mRockTexture);
    SerializeTextureField(s, "InfoTexture", mInfoTexture);
}

void Terrain::Initialize() { Build(mOwner ? mOwner->Get<HeightMap>() : nullptr); }

void Terrain::Build(HeightMap* map)
{
    if (map)
    {
        mMap = map;
        mTileScale = map->mTileScale;
        mHeightScale = map->mHeightScale;
        mWidth = map->mMapWidthSize;
        mDepth = map->mMapDepthSize;
        const int32_t n = (mDepth - 1) / kPatchCells;
        // Patches need a square map of side 16 n + 1; other maps still answer every query.
        if (mWidth != mDepth || n < 1 || n * kPatchCells + 1 != mDepth)
        {
            Console::Instance().Log("Terrain: a map of " + std::to_string(mWidth) + " x " + std::to_string(mDepth) +
                                        " is not square of side 16 n + 1; it is not drawn",
                                    LogError);
            mPatches = 0;
        }
        else
            mPatches = n;
        mPatchTable.clear();
        mPatchTable.resize(size_t(mPatches) * size_t(mPatches));
        CreateDeviceObjects();
        int32_t side = 1;
        while (side < mPatches)
            side *= 2;
        mRoot = mPatches > 0 ? BuildNode(0, 0, side) : nullptr;
        mBoundsDirty = true;
        for (TextureRef* layer : {&mDirtTexture, &mGrassTexture, &mRockTexture})
            if (!layer->GetFile().empty())
                layer->SetFile(layer->GetFile());
        for (int i = 0; i < 3; ++i)
            mBlastTextures[i].SetFile(kBlastFiles[i]);
        LoadLayerImages();
        LoadInfoTexture();
        map->SetTerrain(this);
        if (GraphicsScene* scene = GraphicsScene::Current())
            scene->mTerrain = this;
    }
    if (!mDeform)
    {
        mDeform = std::make_unique<TerraDeform>();
        mDeform->Init(HeightMap::Current());
    }
    else
        mDeform->Reset();
}

std::unique_ptr<Terrain::Node> Terrain::BuildNode(int32_t x, int32_t z, int32_t size)
{
    auto node = std::make_unique<Node>();
    if (size == 1)
    {
        if (x < mPatches && z < mPatches)
            node->mPatch = z * mPatches + x;
        return node;
    }
    const int32_t h = size / 2;
    node->mChildren[0] = BuildNode(x, z, h);
    node->mChildren[1] = BuildNode(x, z + h, h);
    node->mChildren[2] = BuildNode(x + h, z, h);
    node->mChildren[3] = BuildNode(x + h, z + h, h);
    return node;
}

// Boxes enclose what their patches hold, from the real heights; an empty node has no box.
void Terrain::RefreshBounds(Node& node)
{
    Vector3 low(1e30f, 1e30f, 1e30f), high(-1e30f, -1e30f, -1e30f);
    auto grow = [&](const Vector3& c, const Vector3& h) {
        low = Vector3(std::min(low.x, c.x - h.x), std::min(low.y, c.y - h.y), std::min(low.z, c.z - h.z));
        high = Vector3(std::max(high.x, c.x + h.x), std::max(high.y, c.y + h.y), std::max(high.z, c.z + h.z));
    };
    if (node.mPatch >= 0)
    {
        const Patch& patch = mPatchTable[size_t(node.mPatch)];
        const int32_t px = node.mPatch % mPatches, pz = node.mPatch / mPatches;
        const float side = kPatchCells * mTileScale;
        const float midY = (patch.mMinY + patch.mMaxY) * 0.5f;
        grow(Vector3((float(px) + 0.5f) * side, midY, (float(pz) + 0.5f) * side),
             Vector3(side * 0.5f, (patch.mMaxY - patch.mMinY) * 0.5f, side * 0.5f));
    }
    for (auto& child : node.mChildren)
    {
        if (!child)
            continue;
        RefreshBounds(*child);
        if (child->mHalf.x >= 0.0f)
            grow(child->mCentre, child->mHalf);
    }
    if (high.x < low.x)
    {
        node.mCentre = Vector3();
        node.mHalf = Vector3(-1.0f, -1.0f, -1.0f);
        return;
    }
    node.mCentre = Vector3((low.x + high.x) * 0.5f, (low.y + high.y) * 0.5f, (low.z + high.z) * 0.5f);
    node.mHalf = Vector3((high.x - low.x) * 0.5f, (high.y - low.y) * 0.5f, (high.z - low.z) * 0.5f);
}

void Terrain::CreateDeviceObjects()
{
    GraphicsDevice* device = Device();
    if (!device || !mMap)
        return;
    static const VertexElement kTile[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                          {12, VertexType::Float3, VertexSemantic::Normal, 0},
                                          {24, VertexType::Float2, VertexSemantic::TexCoord, 0}};
    mLayout = device->CreateVertexLayout(kTile);
    for (Patch& patch : mPatchTable)
        patch.mBuffer = device->CreateVertexBuffer(kPatchVertices * sizeof(HeightTile), true);
    for (int32_t pz = 0; pz < mPatches; ++pz)
        for (int32_t px = 0; px < mPatches; ++px)
            RebuildPatch(px, pz);
    std::vector<uint16_t> indices;
    for (uint32_t lod = 0; lod < kLods; ++lod)
    {
        mLodStart[lod] = uint32_t(indices.size());
        const std::vector<uint16_t>& mesh = LodIndices(lod);
        indices.insert(indices.end(), mesh.begin(), mesh.end());
    }
    const uint32_t bytes = uint32_t(indices.size() * sizeof(uint16_t));
    mIndexBuffer = device->CreateIndexBuffer(bytes, false, false);
    if (mIndexBuffer && !mIndexBuffer->Write(0, indices.data(), bytes))
        mIndexBuffer.reset();
    mCreated = true;
}

void Terrain::ReleaseDeviceObjects()
{
    for (Patch& patch : mPatchTable)
    {
        patch.mBuffer.reset();
        patch.mGround.reset();
        patch.mGroundDirty = true;
    }
    mGroundBaked = 0;
    for (DecalBuffers& decal : mDecalBuffers)
        decal = DecalBuffers();
    mIndexBuffer.reset();
    mLayout.reset();
    mCreated = false;
}

void Terrain::OnDeviceLost() { ReleaseDeviceObjects(); }

void Terrain::OnDeviceReset()
{
    CreateDeviceObjects();
    if (mDeform)
    {
        // Running dents end first, so the new snapshot holds no ripple.
        mDeform->Reset();
        mDeform->Init(mMap);
    }
}

void Terrain::RebuildPatch(int px, int pz)
{
    if (!mMap || px < 0 || pz < 0 || px >= mPatches || pz >= mPatches)
        return;
    Patch& patch = mPatchTable[size_t(pz) * size_t(mPatches) + size_t(px)];
    HeightTile vertices[kPatchVertices];
    float low = 1e30f, high = -1e30f;
    for (int32_t i = 0; i < kPatchSide; ++i)
    {
        for (int32_t j = 0; j < kPatchSide; ++j)
        {
            const HeightTile& tile = mMap->Tile(px * kPatchCells + i, pz * kPatchCells + j);
            vertices[kPatchSide * i + j] = tile;
            low = std::min(low, tile.y);
            high = std::max(high, tile.y);
        }
    }
    patch.mCentre =
        Vector3(vertices[kPatchSide * 8 + 8].x, vertices[kPatchSide * 8 + 8].y, vertices[kPatchSide * 8 + 8].z);
    patch.mMinY = low;
    patch.mMaxY = high;
    for (uint32_t lod = 1; lod < kLods; ++lod)
        LodError(LodIndices(lod), vertices, patch.mLodHeight[lod], patch.mLodNormal[lod]);
    mBoundsDirty = true;
    if (patch.mBuffer && !patch.mBuffer->Write(0, vertices, sizeof(vertices), LockFlag::Discard))
        patch.mBuffer.reset();
}

const std::vector<uint16_t>& Terrain::LodIndices(uint32_t lod)
{
    static const std::array<std::vector<uint16_t>, kLods> sMeshes = [] {
        std::array<std::vector<uint16_t>, kLods> meshes;
        for (uint32_t lod = 0; lod < kLods; ++lod)
            meshes[lod] = BuildLodIndices(int32_t(1) << lod);
        return meshes;
    }();
    return sMeshes[std::min(lod, kLods - 1)];
}

int32_t Terrain::GetPatchLod(int px, int pz) const
{
    if (px < 0 || pz < 0 || px >= mPatches || pz >= mPatches)
        return -1;
    return mPatchTable[size_t(pz) * size_t(mPatches) + size_t(px)].mLod;
}

void Terrain::RebuildAllPatches()
{
    for (int32_t pz = 0; pz < mPatches; ++pz)
        for (int32_t px = 0; px < mPatches; ++px)
            RebuildPatch(px, pz);
    if (mDeform)
        mDeform->Init(mMap);
}

void Terrain::RebuildArea(const Vector3& p, float r)
{
    if (mPatches == 0 || !std::isfinite(p.x) || !std::isfinite(p.z) || !std::isfinite(r))
        return;
    const float s = kPatchCells * mTileScale;
    auto index = [this](float v) { return int32_t(std::clamp(v, -1.0f, float(mPatches))); };
    const int32_t x0 = index((p.x - r) / s), x1 = index((p.x + r) / s);
    const int32_t z0 = index((p.z - r) / s), z1 = index((p.z + r) / s);
    for (int32_t pz = z0; pz <= z1; ++pz)
        for (int32_t px = x0; px <= x1; ++px)
            RebuildPatch(px, pz);
}

void Terrain::LoadInfoTexture()
{
    Image image;
    std::string error;
    const std::string& file = mInfoTexture.GetFile();
    if (!file.empty() && LoadImageFile(file, image, error, 4096))
        mInfo = image.Converted(Image::Format::RGBA8);
    else
    {
        Console::Instance().Log("Terrain: info texture \"" + file + "\" " + (file.empty() ? "is not named" : error) +
                                    "; the ground is all grass",
                                LogError);
        mInfo.Allocate(kDefaultInfoSide, kDefaultInfoSide, Image::Format::RGBA8);
        for (uint32_t i = 0; i < kDefaultInfoSide * kDefaultInfoSide; ++i)
        {
            mInfo.mPixels[i * 4 + 1] = 255;
            mInfo.mPixels[i * 4 + 3] = 255;
        }
    }
    MarkAllGroundDirty();
}

// The layers are blended on the CPU, so their pixels are read here as well as by the texture manager.
void Terrain::LoadLayerImages()
{
    const TextureRef* layers[3] = {&mDirtTexture, &mGrassTexture, &mRockTexture};
    uint32_t widest = 0;
    for (size_t i = 0; i < 3; ++i)
    {
        Image image;
        std::string error;
        const std::string& file = layers[i]->GetFile();
        mLayerImages[i] = Image();
        if (file.empty())
            continue;
        if (!LoadImageFile(file, image, error, 4096))
        {
            std::string message = "Terrain: layer texture \"" + file;
            message.append("\" ").append(error).append("; that layer is black");
            Console::Instance().Log(message, LogError);
            continue;
        }
        mLayerImages[i] = image.Converted(Image::Format::RGBA8);
        widest = std::max(widest, mLayerImages[i].mWidth);
    }
    // As many texels as the layers show over a patch, so close up nothing blurs.
    const float texels = float(kPatchCells) * mTileScale * kDetailRepeat * float(widest);
    mGroundSide = uint32_t(std::clamp(std::lround(texels), 16L, 512L));
    MarkAllGroundDirty();
}

void Terrain::MarkAllGroundDirty()
{
    for (Patch& patch : mPatchTable)
        patch.mGroundDirty = true;
}

void Terrain::MarkGroundDirty(float x0, float z0, float x1, float z1)
{
    if (mPatches == 0)
        return;
    const float s = kPatchCells * mTileScale;
    auto index = [this, s](float v) { return int32_t(std::clamp(std::floor(v / s), 0.0f, float(mPatches - 1))); };
    for (int32_t pz = index(z0); pz <= index(z1); ++pz)
        for (int32_t px = index(x0); px <= index(x1); ++px)
            mPatchTable[size_t(pz) * size_t(mPatches) + size_t(px)].mGroundDirty = true;
}

size_t Terrain::GroundBytesPerPatch() const
{
    size_t bytes = 0;
    for (size_t side = mGroundSide; side > 0; side /= 2)
        bytes += side * side * 4;
    return bytes;
}

// One texel per layer texel: the info weights read bilinearly where the shader read them, the
// layers blended, and a box-filtered mip chain for the distance.
void Terrain::BakeGround(int32_t index)
{
    GraphicsDevice* device = Device();
    Patch& patch = mPatchTable[size_t(index)];
    if (!device || !mMap)
        return;
    const uint32_t side = mGroundSide;
    const int32_t px = index % mPatches, pz = index / mPatches;
    const float patchWorld = kPatchCells * mTileScale;
    const float step = patchWorld / float(side);
    const float uvScale = 1.0f / (float(mWidth - 1) * mTileScale);
    TextureData data;
    data.mWidth = side;
    data.mHeight = side;
    data.mLevels = 1;
    data.mLevelData.resize(1);
    std::vector<uint8_t>& texels = data.mLevelData[0];
    texels.resize(size_t(side) * side * 4);
    for (uint32_t j = 0; j < side; ++j)
    {
        const float z = float(pz) * patchWorld + (float(j) + 0.5f) * step;
        for (uint32_t i = 0; i < side; ++i)
        {
            const float x = float(px) * patchWorld + (float(i) + 0.5f) * step;
            float weight[3] = {0.0f, 1.0f, 0.0f};
            if (!mInfo.IsEmpty())
                Bilinear(mInfo, x * uvScale * float(mInfo.mWidth) - 0.5f,
                         (1.0f - z * uvScale) * float(mInfo.mHeight) - 0.5f, false, weight);
            // Info red weighs dirt, green grass, blue rock.
            float colour[3] = {0.0f, 0.0f, 0.0f};
            for (size_t k = 0; k < 3; ++k)
            {
                const Image& layer = mLayerImages[k];
                if (layer.IsEmpty() || weight[k] <= 0.0f)
                    continue;
                float texel[3];
                Bilinear(layer, x * kDetailRepeat * float(layer.mWidth) - 0.5f,
                         z * kDetailRepeat * float(layer.mHeight) - 0.5f, true, texel);
                for (int c = 0; c < 3; ++c)
                    colour[c] += texel[c] * weight[k] / 255.0f;
            }
            uint8_t* out = &texels[(size_t(j) * side + i) * 4];
            for (int c = 0; c < 3; ++c)
                out[c] = uint8_t(std::floor(std::min(colour[c], 255.0f) + 0.5f));
            out[3] = 255;
        }
    }
    BuildMipChain(data);
    if (!patch.mGround)
    {
        // Over the budget, the patch drawn longest ago gives its texture up; it bakes again when seen.
        // One drawn this frame is kept, or the view would rebake its own ground every frame.
        if (GetGroundBytes() + GroundBytesPerPatch() > kMaxGroundBytes)
        {
            Patch* oldest = nullptr;
            for (Patch& other : mPatchTable)
                if (other.mGround && other.mLastDrawn != mDrawFrame &&
                    (!oldest || other.mLastDrawn < oldest->mLastDrawn))
                    oldest = &other;
            if (oldest)
            {
                oldest->mGround.reset();
                oldest->mGroundDirty = true;
                --mGroundBaked;
            }
        }
        TextureDesc desc;
        desc.mWidth = side;
        desc.mHeight = side;
        desc.mLevels = data.mLevels;
        patch.mGround = device->CreateTexture(desc);
        if (!patch.mGround)
            return;
        ++mGroundBaked;
    }
    for (uint32_t level = 0; level < data.mLevels; ++level)
        patch.mGround->Upload(0, level, data.Level(0, level).data(), data.Level(0, level).size());
    patch.mGroundDirty = false;
    ++mGroundBakes;
}

void Terrain::PaintInfoTexture(const Vector3& p, float r1, float r2, int layer)
{
    if (mPatches == 0 || mInfo.IsEmpty() || layer < -1 || layer > 2 ||
        !(std::isfinite(p.x) && std::isfinite(p.z) && std::isfinite(r1) && std::isfinite(r2)))
        return;
    const float worldSize = float(mPatches * kPatchCells) * mTileScale;
    const float width = float(mInfo.mWidth);
    const float u = p.x / worldSize * (width - 1.0f);
    const float v = (1.0f - p.z / worldSize) * (width - 1.0f);
    const float scale = width / worldSize;
    const float inner = r1 * scale, outer = r2 * scale;
    const float maxX = float(mInfo.mWidth - 1), maxY = float(mInfo.mHeight - 1);
    const int32_t x0 = int32_t(std::clamp(u - outer, 0.0f, maxX)), x1 = int32_t(std::clamp(u + outer, 0.0f, maxX));
    const int32_t y0 = int32_t(std::clamp(v - outer, 0.0f, maxY)), y1 = int32_t(std::clamp(v + outer, 0.0f, maxY));
    // Our copy is RGBA: layer 0 (blue) is byte 2, layer 2 (red) byte 0.
    // A running crater paints the same ring every frame: only texels that change rebake the ground.
    int32_t changedX0 = x1 + 1, changedX1 = x0 - 1, changedY0 = y1 + 1, changedY1 = y0 - 1;
    auto write = [&](int32_t x, int32_t y, uint8_t* texel, uint8_t r, uint8_t g, uint8_t b) {
        if (texel[0] == r && texel[1] == g && texel[2] == b)
            return;
        texel[0] = r;
        texel[1] = g;
        texel[2] = b;
        changedX0 = std::min(changedX0, x), changedX1 = std::max(changedX1, x);
        changedY0 = std::min(changedY0, y), changedY1 = std::max(changedY1, y);
    };
    for (int32_t y = y0; y <= y1; ++y)
    {
        for (int32_t x = x0; x <= x1; ++x)
        {
            uint8_t* texel = mInfo.Pixel(uint32_t(x), uint32_t(y));
            if (layer >= 0)
            {
                write(x, y, texel, layer == 2 ? 255 : 0, layer == 1 ? 255 : 0, layer == 0 ? 255 : 0);
                continue;
            }
            const float dx = float(x) - u, dy = float(y) - v;
            const float d = std::sqrt(dx * dx + dy * dy);
            if (!(d < outer))
                continue;
            const float f = d <= inner ? 0.0f : std::min(1.0f, (d - inner) / (outer - inner));
            if (f < float(texel[1]) / 255.0f)
                write(x, y, texel, uint8_t(255.0f * (1.0f - f)), uint8_t(255.0f * f), 0);
        }
    }
    if (changedX1 < changedX0)
        return;
    // The texels changed, and one more on each side for their bilinear reach.
    const float texelWorld = 2.0f * worldSize / width;
    const float lowX = (float(changedX0) - 1.0f) / (width - 1.0f) * worldSize - texelWorld;
    const float highX = (float(changedX1) + 1.0f) / (width - 1.0f) * worldSize + texelWorld;
    const float lowZ = (1.0f - (float(changedY1) + 1.0f) / (width - 1.0f)) * worldSize - texelWorld;
    const float highZ = (1.0f - (float(changedY0) - 1.0f) / (width - 1.0f)) * worldSize + texelWorld;
    MarkGroundDirty(lowX, lowZ, highX, highZ);
}

bool Terrain::SaveInfoTexture(const std::string& fileName) const
{
    std::string why = "no info texture";
    if (mInfo.IsEmpty() || !mInfo.SaveBmp(DataFilePath(fileName), &why))
    {
        Console::Instance().Log("Terrain: cannot write the info texture to \"" + fileName + "\": " + why, LogError);
        return false;
    }
    return true;
}

std::array<Plane, 6> Terrain::FrustumPlanes(const Matrix4& m)
{
    auto column = [&m](int c) { return std::array<float, 4>{m.m[c], m.m[4 + c], m.m[8 + c], m.m[12 + c]}; };
    const auto x = column(0), y = column(1), z = column(2), w = column(3);
    auto plane = [](const std::array<float, 4>& a, const std::array<float, 4>& b, float sign) {
        return Plane(a[0] + sign * b[0], a[1] + sign * b[1], a[2] + sign * b[2], a[3] + sign * b[3]).Normalized();
    };
    const std::array<float, 4> none{};
    return {plane(w, x, 1.0f),  plane(w, x, -1.0f), plane(w, y, 1.0f),
            plane(w, y, -1.0f), plane(w, z, -1.0f), plane(z, none, 0.0f)};
}

void Terrain::CollectVisible(const Node& node, std::span<const Plane, 6> frustum)
{
    if (node.mHalf.x < 0.0f || IsBoxOutside(frustum, node.mCentre, node.mHalf))
        return;
    if (node.mPatch >= 0)
    {
        if (mPatchTable[size_t(node.mPatch)].mBuffer)
            mVisible.push_back(node.mPatch);
        return;
    }
    for (const auto& child : node.mChildren)
        if (child)
            CollectVisible(*child, frustum);
}

void Terrain::DrawPatches(Shader& shader, std::span<const Plane, 6> frustum)
{
    if (mBoundsDirty && mRoot)
    {
        RefreshBounds(*mRoot);
        mBoundsDirty = false;
    }
    ++mDrawFrame;
    mVisible.clear();
    if (mRoot && mIndexBuffer)
        CollectVisible(*mRoot, frustum);
    // Nearest first, so hidden ground fails the depth test before it is shaded.
    const Plane& near = frustum[5];
    std::sort(mVisible.begin(), mVisible.end(), [this, &near](int32_t a, int32_t b) {
        return near.DotCoord(mPatchTable[size_t(a)].mCentre) < near.DotCoord(mPatchTable[size_t(b)].mCentre);
    });
    // Pixels a world unit covers at unit depth: the projection's y scale times half the height.
    GraphicsLoom* loom = GraphicsLoom::Instance();
    const float pixelsPerUnit = Device()->Bound().Transform(TransformKind::Projection).m[5] * 0.5f *
        float(loom ? std::max(loom->GetScreenHeight(), 1) : 1);
    for (int32_t index : mVisible)
    {
        Patch& patch = mPatchTable[size_t(index)];
        patch.mLastDrawn = mDrawFrame;
        // The nearest depth of the patch's box, measured from the near plane: never too far.
        const float reach = std::fabs(near.a) * kPatchCells * mTileScale * 0.5f +
            std::fabs(near.b) * (patch.mMaxY - patch.mMinY) * 0.5f +
            std::fabs(near.c) * kPatchCells * mTileScale * 0.5f;
        const Vector3 centre((float(index % mPatches) + 0.5f) * kPatchCells * mTileScale,
                             (patch.mMinY + patch.mMaxY) * 0.5f,
                             (float(index / mPatches) + 0.5f) * kPatchCells * mTileScale);
        const float depth = near.DotCoord(centre) - reach;
        patch.mLod = 0;
        for (uint32_t lod = kLods - 1; lod > 0 && depth > 0.0f; --lod)
        {
            if (patch.mLodNormal[lod] <= kLodNormal && patch.mLodHeight[lod] * pixelsPerUnit <= kLodPixels * depth)
            {
                patch.mLod = uint8_t(lod);
                break;
            }
        }
        if (patch.mGroundDirty || !patch.mGround)
            BakeGround(index);
    }
    GraphicsDevice* device = Device();
    FxEffect& effect = shader.GetEffect();
    const FxEffect::Handle ground = effect.GetParameterByName("GroundMap");
    const FxEffect::Handle origin = effect.GetParameterByName("PatchOrigin");
    const float patchWorld = kPatchCells * mTileScale;
    // The effect keeps what it was last given; a patch texture may be gone since.
    effect.SetTexture(ground, nullptr);
    shader.Begin();
    device->SetVertexLayout(mLayout.get());
    device->SetIndices(mIndexBuffer.get());
    shader.ForEachPass([&] {
        for (int32_t index : mVisible)
        {
            const Patch& patch = mPatchTable[size_t(index)];
            const float place[4] = {float(index % mPatches) * patchWorld, float(index / mPatches) * patchWorld,
                                    1.0f / patchWorld, 0.0f};
            effect.SetTexture(ground, patch.mGround.get());
            effect.SetVector(origin, place);
            effect.CommitChanges();
            device->SetStreamSource(patch.mBuffer.get(), 0, sizeof(HeightTile));
            const uint32_t triangles = uint32_t(LodIndices(patch.mLod).size() / 3);
            device->DrawIndexed(PrimitiveType::TriangleList, 0, mLodStart[patch.mLod], triangles);
            mTrianglesDrawn += triangles;
            ++mPatchesDrawn;
        }
    });
    shader.End();
    effect.SetTexture(ground, nullptr);
}

void Terrain::Render(std::span<const Plane, 6> frustum, float dt)
{
    mPatchesDrawn = 0;
    mTrianglesDrawn = 0;
    if (mDeform)
        mDeform->Update(dt);
    Shader* shader = TerraShader();
    if (!shader || !mCreated)
        return;
    if (!shader->SetTechniqueByName("Technique0"))
        return;
    DrawPatches(*shader, frustum);
    DrawDecals(*shader);
}

void Terrain::RenderClipped(std::span<const Plane, 6> frustum, const Plane& clip, float side)
{
    mPatchesDrawn = 0;
    mTrianglesDrawn = 0;
    Shader* shader = TerraShader();
    if (!shader || !mCreated || !shader->SetTechniqueByName("TechniqueC"))
        return;
    FxEffect& effect = shader->GetEffect();
    const float plane[4] = {clip.a, clip.b, clip.c, clip.d};
    effect.SetVector(effect.GetParameterByName("ClipPlane"), plane);
    effect.SetFloat(effect.GetParameterByName("ClipSide"), side);
    DrawPatches(*shader, frustum);
}

// The view's corner rays are tested against the plane of the lowest ground: if each starts above the
// highest ground and meets that plane inside the map before the far plane, so does every ray
// between them (the hits span a convex quad), and each crosses the ground on its way down.
bool Terrain::FillsView(const Matrix4& viewProjection) const
{
    Matrix4 inverse;
    if (!mRoot || mRoot->mHalf.x < 0.0f || mPatchesDrawn == 0 || !viewProjection.Inverse(inverse))
        return false;
    const Vector3& centre = mRoot->mCentre;
    const Vector3& half = mRoot->mHalf;
    const float low = centre.y - half.y;
    const float high = centre.y + half.y;
    // A tile in from the edges, clear of any doubt at the border.
    const auto inside = [&](const Vector3& p) {
        return std::fabs(p.x - centre.x) <= half.x - mTileScale && std::fabs(p.z - centre.z) <= half.z - mTileScale;
    };
    for (const float x : {-1.0f, 1.0f})
    {
        for (const float y : {-1.0f, 1.0f})
        {
            const Vector3 nearPoint = inverse.TransformCoord(Vector3(x, y, 0.0f));
            const Vector3 farPoint = inverse.TransformCoord(Vector3(x, y, 1.0f));
            if (nearPoint.y <= high || farPoint.y >= low || !inside(nearPoint))
                return false;
            const float t = (nearPoint.y - low) / (nearPoint.y - farPoint.y);
            if (!inside(nearPoint + (farPoint - nearPoint) * t))
                return false;
        }
    }
    return true;
}

void Terrain::DrawDecals(Shader& shader)
{
    if (!mDeform || !shader.SetTechniqueByName("Decal"))
        return;
    GraphicsDevice* device = Device();
    const auto& decals = mDeform->GetDecals();
    FxEffect& effect = shader.GetEffect();
    const float offset[3] = {0.0f, 0.0f, 1.0f};
    effect.SetFloatArray(effect.GetParameterByName("TextureOffset"), offset, 3);
    shader.Begin();
    device->SetVertexLayout(mLayout.get());
    shader.ForEachPass([&] {
        device->States().mDepthBias = kDecalDepthBias;
        for (size_t i = 0; i < decals.size(); ++i)
        {
            const TerrainDecal& decal = decals[i];
            if (decal.kind == TerrainDecal::kFree)
                continue;
            DecalBuffers& gpu = mDecalBuffers[i];
            if (gpu.mVersion != decal.version)
            {
                const uint32_t vertexBytes = uint32_t(decal.vertices.size() * sizeof(HeightTile));
                const uint32_t indexBytes = uint32_t(decal.indices.size() * sizeof(uint16_t));
                if (!gpu.mVertices || gpu.mVertices->GetSize() < vertexBytes)
                    gpu.mVertices = device->CreateVertexBuffer(vertexBytes, true);
                if (!gpu.mIndices || gpu.mIndices->GetSize() < indexBytes)
                    gpu.mIndices = device->CreateIndexBuffer(indexBytes, true, false);
                if (!gpu.mVertices || !gpu.mIndices ||
                    !gpu.mVertices->Write(0, decal.vertices.data(), vertexBytes, LockFlag::Discard) ||
                    !gpu.mIndices->Write(0, decal.indices.data(), indexBytes, LockFlag::Discard))
                {
                    gpu = DecalBuffers();
                    continue;
                }
                gpu.mVersion = decal.version;
            }
            const float fade = 1.0f - decal.elapsed / decal.lifetime;
            const float colour[4] = {fade, fade, fade, fade};
            shader.SetColor(Shader::ModelColor, colour);
            shader.SetTexture(Shader::DiffuseMap, mBlastTextures[size_t(decal.kind)].GetTexture());
            device->SetStreamSource(gpu.mVertices.get(), 0, sizeof(HeightTile));
            device->SetIndices(gpu.mIndices.get());
            shader.CommitChanges();
            device->DrawIndexed(PrimitiveType::TriangleList, 0, 0, uint32_t(decal.triangleCount));
        }
        device->States().mDepthBias = 0.0f;
    });
    shader.End();
}
