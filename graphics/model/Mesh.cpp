#include "graphics/model/Mesh.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "LOOM/assets/AssetManager.h"
#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "graphics/model/ModelStores.h"
#include "graphics/model/animation/Skeleton.h"
#include "graphics/model/files/LMLoader.h"
#include "graphics/model/files/Model3DS.h"
#include "graphics/resource/ResourceContext.h"

AssetManager<Mesh>* ModelStores::sMeshes = nullptr;
AssetManager<Skeleton>* ModelStores::sSkeletons = nullptr;
AssetManager<AnimationSet>* ModelStores::sAnimations = nullptr;
AssetManager<DistanceMap>* ModelStores::sDistanceMaps = nullptr;
VertexLayout* ModelStores::sLayouts[8] = {};

namespace {
constexpr float kWeldEpsilon = 0.01f;
constexpr uint32_t kMaxSlots = 4;

uint32_t U32(size_t value) { return static_cast<uint32_t>(value); }

using Triple = std::array<uint32_t, 3>;

// The same triangle whichever corner comes first; the winding is kept.
Triple Canonical(const uint32_t* t)
{
    const uint32_t first = t[0] <= t[1] && t[0] <= t[2] ? 0 : (t[1] <= t[2] ? 1 : 2);
    return {t[first], t[(first + 1) % 3], t[(first + 2) % 3]};
}

// Part indices are 16-bit: one integer per triangle, ordered as its canonical corners are.
uint64_t PackedTriangle(const uint32_t* t)
{
    const Triple c = Canonical(t);
    return uint64_t(c[0]) << 32 | uint64_t(c[1]) << 16 | c[2];
}

using KeyedTriangle = std::pair<uint64_t, uint32_t>;

// Sorts by triangle, then by the number beside it: one counting pass on the first corner, then
// each run (a handful of faces around one vertex, as a rule) on its own.
void SortByTriangle(std::vector<KeyedTriangle>& items, std::vector<KeyedTriangle>& scratch, std::vector<uint32_t>& ends)
{
    uint32_t runs = 0;
    for (const KeyedTriangle& item : items)
        runs = std::max(runs, uint32_t(item.first >> 32) + 1);
    ends.assign(size_t(runs) + 1, 0);
    for (const KeyedTriangle& item : items)
        ++ends[(item.first >> 32) + 1];
    for (uint32_t r = 0; r < runs; ++r)
        ends[r + 1] += ends[r];
    scratch.resize(items.size());
    for (const KeyedTriangle& item : items)
        scratch[ends[item.first >> 32]++] = item;
    uint32_t start = 0;
    for (uint32_t r = 0; r < runs; ++r)
    {
        std::sort(scratch.begin() + start, scratch.begin() + ends[r]);
        start = ends[r];
    }
    items.swap(scratch);
}

// Orders faces [begin, end) of the part for the vertex cache; order receives the old face
// number of each new position. The triangles themselves keep their corner order. The cache
// order comes back as triangles only: both lists sorted by triangle pair up, the k-th copy of a
// repeated triangle in the new order taking the k-th lowest old face.
void CacheOrder(const MeshPart& part, uint32_t begin, uint32_t end, std::vector<uint32_t>& order)
{
    const uint32_t count = end - begin;
    if (count == 0)
        return;
    std::vector<uint32_t> in(part.mIndices.begin() + 3 * size_t(begin), part.mIndices.begin() + 3 * size_t(end));
    std::vector<uint32_t> out(in.size());
    meshopt_optimizeVertexCache(out.data(), in.data(), in.size(), part.mVertexCount);

    std::vector<KeyedTriangle> before(count);
    std::vector<KeyedTriangle> after(count);
    for (uint32_t f = 0; f < count; ++f)
    {
        before[f] = {PackedTriangle(&in[3 * size_t(f)]), begin + f};
        after[f] = {PackedTriangle(&out[3 * size_t(f)]), f};
    }
    std::vector<KeyedTriangle> scratch;
    std::vector<uint32_t> ends;
    SortByTriangle(before, scratch, ends);
    SortByTriangle(after, scratch, ends);
    const size_t first = order.size();
    order.resize(first + count);
    for (uint32_t i = 0; i < count; ++i)
    {
        if (before[i].first != after[i].first)
        {
            // Not a permutation after all: keep the file order for this group.
            for (uint32_t f = 0; f < count; ++f)
                order[first + f] = begin + f;
            return;
        }
        order[first + after[i].second] = before[i].second;
    }
}

void PutFloat(uint8_t*& out, float value)
{
    std::memcpy(out, &value, 4);
    out += 4;
}

void PutVector(uint8_t*& out, const Vector3& v)
{
    PutFloat(out, v.x);
    PutFloat(out, v.y);
    PutFloat(out, v.z);
}

// Four weights, then four index bytes in slot order.
void PutInfluences(uint8_t*& out, const MeshPart& part, uint32_t vertex)
{
    const uint32_t w = part.mInfluencesPerVertex;
    uint8_t bones[kMaxSlots] = {};
    for (uint32_t slot = 0; slot < kMaxSlots; ++slot)
    {
        Influence influence;
        if (slot < w)
            influence = part.mInfluences[size_t(vertex) * w + slot];
        PutFloat(out, influence.weight);
        bones[slot] = static_cast<uint8_t>(influence.bone & 0xFF);
    }
    std::memcpy(out, bones, kMaxSlots);
    out += kMaxSlots;
}

struct CellKey
{
    int64_t x, y, z;
    bool operator==(const CellKey&) const = default;
};

struct CellHash
{
    size_t operator()(const CellKey& k) const
    {
        const uint64_t h = uint64_t(k.x) * 73856093u ^ uint64_t(k.y) * 19349663u ^ uint64_t(k.z) * 83492791u;
        return std::hash<uint64_t>()(h);
    }
};

// Far or broken coordinates share the outermost cells rather than overflow.
int64_t CellCoordinate(float value)
{
    const double cell = std::floor(double(value) / kWeldEpsilon);
    if (!(cell > -1e15))
        return cell != cell ? 0 : int64_t(-1e15);
    return cell < 1e15 ? static_cast<int64_t>(cell) : int64_t(1e15);
}

CellKey CellOf(const Vector3& p) { return {CellCoordinate(p.x), CellCoordinate(p.y), CellCoordinate(p.z)}; }

// Welds the part's positions within the epsilon: weld[v] = the first vertex at that place.
std::vector<uint32_t> WeldPositions(const MeshPart& part)
{
    std::unordered_map<CellKey, std::vector<uint32_t>, CellHash> cells;
    std::vector<uint32_t> weld(part.mVertexCount);
    for (uint32_t v = 0; v < part.mVertexCount; ++v)
    {
        const Vector3& p = part.mVertices[v].position;
        const CellKey c = CellOf(p);
        weld[v] = v;
        bool found = false;
        for (int64_t dx = -1; dx <= 1 && !found; ++dx)
            for (int64_t dy = -1; dy <= 1 && !found; ++dy)
                for (int64_t dz = -1; dz <= 1 && !found; ++dz)
                {
                    auto it = cells.find({c.x + dx, c.y + dy, c.z + dz});
                    if (it == cells.end())
                        continue;
                    for (uint32_t other : it->second)
                    {
                        if ((part.mVertices[other].position - p).Length() <= kWeldEpsilon)
                        {
                            weld[v] = other;
                            found = true;
                            break;
                        }
                    }
                }
        if (!found)
            cells[c].push_back(v);
    }
    return weld;
}
} // namespace

uint32_t LayoutStride(uint32_t layout)
{
    switch (layout)
    {
    case LayoutStatic:
        return 56;
    case LayoutSkinned:
        return 52;
    case LayoutShadow:
        return 24;
    case LayoutSkinnedShadow:
        return 44;
    default:
        return 0;
    }
}

Mesh::Mesh() = default;

Mesh::~Mesh() { Clear(); }

void Mesh::Load(const std::string& fileName)
{
    if (IsRefusedDataName(fileName)) // said when the name was read
        return;
    const std::string extension = GetFileExtension(fileName);
    if (extension == "lmf" || extension == "LMF")
        LMLoader::LoadMesh(*this, DataFilePath(fileName));
    else
        Model3DS::ReadMainChunk(*this, DataFilePath(fileName));
}

MeshPart* Mesh::AddPart()
{
    mParts.push_back(std::make_unique<MeshPart>());
    mParts.back()->mOwner = this;
    return mParts.back().get();
}

void Mesh::Clear()
{
    mSkeleton.Reset();
    mParts.clear();
    mBones.clear();
    mAdjacency.clear();
    mGeometry.Clear();
    mShadow.Clear();
    mVertexBuffer.reset();
    mIndexBuffer.reset();
    mShadowVertexBuffer.reset();
    mShadowIndexBuffer.reset();
    mVertexCount = 0;
    mFaceCount = 0;
    mBuilt = false;
    mShadowBuilt = false;
}

void Mesh::SetSkeleton(const std::string& name)
{
    mSkeleton = ModelStores::sSkeletons ? ModelStores::sSkeletons->GetRef(name) : nullptr;
}

bool Mesh::Build()
{
    mBuilt = false;
    mGeometry.Clear();
    mShadow.Clear();
    mShadowBuilt = false;
    mAdjacency.clear();

    uint64_t vertices = 0;
    uint64_t faces = 0;
    for (auto& part : mParts)
    {
        part->mOwner = this;
        part->mFirstVertex = U32(vertices);
        part->mFirstFace = U32(faces);
        vertices += part->mVertexCount;
        faces += part->mFaceCount;
        if (vertices > 0xFFFFFFFEu || faces > 0x3FFFFFFFu)
        {
            Console::Instance().Log("Mesh " + mName + ": too many vertices or faces", LogError);
            return false;
        }
    }
    mVertexCount = U32(vertices);
    mFaceCount = U32(faces);

    if (!mFromLmf)
        GenerateAdjacencyAndNormals();

    std::vector<uint32_t> lodIndices;
    SimplifyAndOrder(lodIndices);

    mGeometry.layout = mSkinned ? LayoutSkinned : LayoutStatic;
    mGeometry.stride = LayoutStride(mGeometry.layout);
    mGeometry.indexSize = mVertexCount > 65536 ? 4 : 2;
    mGeometry.vertexCount = mVertexCount;
    mGeometry.faceCount = mFaceCount;
    mGeometry.indices.reserve(3 * size_t(mFaceCount) + lodIndices.size());
    mAdjacency.reserve(3 * size_t(mFaceCount));
    for (auto& part : mParts)
    {
        for (uint32_t i = 0; i < 3 * part->mFaceCount; ++i)
        {
            mGeometry.indices.push_back(part->mIndices[i] + part->mFirstVertex);
            const uint32_t neighbour = part->mAdjacency[i];
            mAdjacency.push_back(neighbour == kNoNeighbour ? kNoNeighbour : neighbour + part->mFirstFace);
        }
    }
    mGeometry.indices.insert(mGeometry.indices.end(), lodIndices.begin(), lodIndices.end());
    WriteVertices();

    if (mPartHierarchy && !mSkinned && !BuildPartHierarchy())
    {
        Console::Instance().Log("Mesh " + mName + ": the part hierarchy is not a tree", LogError);
        return false;
    }
    mBuilt = true;
    Upload(mGeometry, mVertexBuffer, mIndexBuffer);
    return true;
}

bool Mesh::Upload(const MeshGeometry& geometry, std::unique_ptr<GpuBuffer>& vertices,
                  std::unique_ptr<GpuBuffer>& indices)
{
    vertices.reset();
    indices.reset();
    GraphicsDevice* device = ResourceContext::Device();
    if (!device || geometry.vertices.empty() || geometry.indices.empty())
        return false;
    const uint32_t vertexBytes = static_cast<uint32_t>(geometry.vertices.size());
    const uint32_t indexBytes = static_cast<uint32_t>(geometry.indices.size() * geometry.indexSize);
    vertices = device->CreateVertexBuffer(vertexBytes, false);
    indices = device->CreateIndexBuffer(indexBytes, false, geometry.indexSize == 4);
    bool ok = vertices && indices && vertices->Write(0, geometry.vertices.data(), vertexBytes);
    if (ok && geometry.indexSize == 4)
    {
        ok = indices->Write(0, geometry.indices.data(), indexBytes);
    }
    else if (ok)
    {
        std::vector<uint16_t> narrow(geometry.indices.begin(), geometry.indices.end());
        ok = indices->Write(0, narrow.data(), indexBytes);
    }
    if (!ok)
    {
        vertices.reset();
        indices.reset();
        Console::Instance().Log("Mesh " + mName + ": Failed to Create Mesh Vertex Buffers", LogError);
    }
    return ok;
}

void Mesh::BindBuffers(GraphicsDevice& device) const
{
    device.SetStreamSource(mVertexBuffer.get(), 0, mGeometry.stride);
    device.SetIndices(mIndexBuffer.get());
    device.SetVertexLayout(ModelStores::sLayouts[mGeometry.layout]);
}

void Mesh::BindBuffersAlt(GraphicsDevice& device) const
{
    device.SetStreamSource(mShadowVertexBuffer.get(), 0, mShadow.stride);
    device.SetIndices(mShadowIndexBuffer.get());
    device.SetVertexLayout(ModelStores::sLayouts[mShadow.layout]);
}

void Mesh::DrawPart(GraphicsDevice& device, uint32_t part) const
{
    if (part < mParts.size() && mVertexBuffer && mParts[part]->mFaceCount > 0)
        device.DrawIndexed(PrimitiveType::TriangleList, 0, 3 * mParts[part]->mFirstFace, mParts[part]->mFaceCount);
}

void Mesh::DrawPartLod(GraphicsDevice& device, uint32_t part) const
{
    if (part < mParts.size() && mVertexBuffer && mParts[part]->mLodFaceCount > 0)
        device.DrawIndexed(PrimitiveType::TriangleList, 0, 3 * mParts[part]->mLodFirstFace,
                           mParts[part]->mLodFaceCount);
}

void Mesh::DrawPartAlt(GraphicsDevice& device, uint32_t part) const
{
    if (part < mParts.size() && mShadowVertexBuffer && mParts[part]->mShadowFaceCount > 0)
        device.DrawIndexed(PrimitiveType::TriangleList, 0, 3 * mParts[part]->mFirstShadowFace,
                           mParts[part]->mShadowFaceCount);
}

void Mesh::Draw(GraphicsDevice& device) const
{
    if (!mVertexBuffer)
        return;
    // The mesh's own layout and stride: a skinned mesh is not read as a static one.
    BindBuffers(device);
    for (uint32_t part = 0; part < mParts.size(); ++part)
        DrawPart(device, part);
}

void Mesh::GenerateAdjacencyAndNormals()
{
    for (auto& partPtr : mParts)
    {
        MeshPart& part = *partPtr;
        const std::vector<uint32_t> weld = WeldPositions(part);
        part.mAdjacency.assign(3 * size_t(part.mFaceCount), kNoNeighbour);
        std::unordered_map<uint64_t, uint32_t> open;
        std::vector<Vector3> sums(part.mVertexCount);
        for (uint32_t f = 0; f < part.mFaceCount; ++f)
        {
            uint32_t w[3];
            for (uint32_t c = 0; c < 3; ++c)
                w[c] = weld[part.mIndices[3 * f + c]];
            for (uint32_t e = 0; e < 3; ++e)
            {
                const uint32_t a = w[e];
                const uint32_t b = w[(e + 1) % 3];
                if (a == b)
                    continue;
                auto reverse = open.find(uint64_t(b) << 32 | a);
                if (reverse != open.end())
                {
                    const uint32_t other = reverse->second;
                    part.mAdjacency[other] = f;
                    part.mAdjacency[3 * f + e] = other / 3;
                    open.erase(reverse);
                }
                else
                {
                    open.emplace(uint64_t(a) << 32 | b, 3 * f + e);
                }
            }
            const Vector3& p0 = part.mVertices[part.mIndices[3 * f]].position;
            const Vector3& p1 = part.mVertices[part.mIndices[3 * f + 1]].position;
            const Vector3& p2 = part.mVertices[part.mIndices[3 * f + 2]].position;
            Vector3 normal;
            CrossProduct(p1 - p0, p2 - p1, normal);
            normal.Normalize();
            // Weighted by the corner's angle, so how a face is split into triangles does not
            // lean the normal.
            const Vector3* corners[3] = {&p0, &p1, &p2};
            for (uint32_t c = 0; c < 3; ++c)
            {
                const Vector3 a = (*corners[(c + 1) % 3] - *corners[c]).Normalized();
                const Vector3 b = (*corners[(c + 2) % 3] - *corners[c]).Normalized();
                sums[w[c]] += normal * std::acos(std::clamp(DotProduct(a, b), -1.0f, 1.0f));
            }
        }
        for (uint32_t v = 0; v < part.mVertexCount; ++v)
            part.mVertices[v].normal = sums[weld[v]].Normalized();
    }
}

void Mesh::SimplifyAndOrder(std::vector<uint32_t>& lodIndices)
{
    std::vector<uint32_t> order;
    std::vector<uint32_t> newToOld;
    std::vector<uint32_t> oldToNew;
    for (size_t p = 0; p < mParts.size(); ++p)
    {
        MeshPart& part = *mParts[p];
        const uint32_t count = part.mFaceCount;
        const uint32_t keep = p == 0 ? std::min(part.mKeepApart, count) : 0;
        const uint32_t main = count - keep;

        newToOld.clear();
        CacheOrder(part, 0, main, newToOld);
        CacheOrder(part, main, count, newToOld);
        oldToNew.assign(count, 0);
        for (uint32_t f = 0; f < count; ++f)
            oldToNew[newToOld[f]] = f;
        std::vector<uint16_t> indices(3 * size_t(count));
        std::vector<uint32_t> adjacency(3 * size_t(count));
        for (uint32_t f = 0; f < count; ++f)
            for (uint32_t c = 0; c < 3; ++c)
            {
                indices[3 * f + c] = part.mIndices[3 * newToOld[f] + c];
                const uint32_t neighbour = part.mAdjacency[3 * newToOld[f] + c];
                adjacency[3 * f + c] = neighbour == kNoNeighbour ? kNoNeighbour : oldToNew[neighbour];
            }
        part.mIndices.swap(indices);
        part.mAdjacency.swap(adjacency);

        part.mLodFirstFace = part.mFirstFace;
        part.mLodFaceCount = count;
        const uint32_t target = part.mSimplifyTarget;
        if (target == 0 || target >= count || main == 0)
            continue;
        std::vector<uint32_t> in(3 * size_t(main));
        for (size_t i = 0; i < in.size(); ++i)
            in[i] = part.mIndices[i];
        const uint32_t mainTarget = target > keep ? target - keep : 1;
        std::vector<uint32_t> simple(in.size());
        size_t kept = meshopt_simplify(simple.data(), in.data(), in.size(), &part.mVertices[0].position.x,
                                       part.mVertexCount, sizeof(FileVertex), 3 * size_t(mainTarget), 1.0f);
        if (kept > 3 * size_t(mainTarget))
            kept = meshopt_simplifySloppy(simple.data(), in.data(), in.size(), &part.mVertices[0].position.x,
                                          part.mVertexCount, sizeof(FileVertex), 3 * size_t(mainTarget), 1.0f);
        simple.resize(kept);
        meshopt_optimizeVertexCache(simple.data(), simple.data(), simple.size(), part.mVertexCount);
        for (uint32_t i = 3 * main; i < 3 * count; ++i)
            simple.push_back(part.mIndices[i]);
        part.mLodFirstFace = mFaceCount + U32(lodIndices.size() / 3);
        part.mLodFaceCount = U32(simple.size() / 3);
        for (uint32_t index : simple)
            lodIndices.push_back(index + part.mFirstVertex);
    }
}

void Mesh::WriteVertices()
{
    mGeometry.vertices.assign(size_t(mVertexCount) * mGeometry.stride, 0);
    uint8_t* out = mGeometry.vertices.data();
    for (auto& part : mParts)
    {
        for (uint32_t v = 0; v < part->mVertexCount; ++v)
        {
            uint8_t* start = out;
            const FileVertex& vertex = part->mVertices[v];
            PutVector(out, vertex.position);
            PutVector(out, vertex.normal);
            PutFloat(out, vertex.u);
            PutFloat(out, vertex.v);
            if (mSkinned)
                PutInfluences(out, *part, v);
            // Tangent and binormal of the static layout stay zero.
            out = start + mGeometry.stride;
        }
    }
}

bool Mesh::BuildPartHierarchy()
{
    std::vector<Bone*> table(mParts.size(), nullptr);
    for (auto& part : mParts)
    {
        if (part->mIndex >= table.size() || table[part->mIndex])
            return false;
        table[part->mIndex] = part.get();
    }
    auto skeleton = Ref<Skeleton>::Adopt(new Skeleton());
    skeleton->SetIndexTable(std::move(table));
    if (!skeleton->LinkBones())
        return false;
    mSkeleton = std::move(skeleton);
    return true;
}

void Mesh::ComputeFaceNormals()
{
    for (auto& part : mParts)
        part->ComputeFaceNormals();
}

void Mesh::FreePartArrays()
{
    for (auto& part : mParts)
        part->FreeArrays();
}

void Mesh::BuildEdges()
{
    if (mShadowBuilt || !mBuilt)
        return;
    mShadowBuilt = true;
    uint64_t vertices = 0;
    uint64_t faces = 0;
    for (auto& part : mParts)
    {
        part->BuildEdgeList();
        part->mFirstShadowVertex = U32(vertices);
        part->mFirstShadowFace = U32(faces);
        vertices += part->mShadowVertexCount;
        faces += part->mShadowFaceCount;
    }
    mShadow.layout = mSkinned ? LayoutSkinnedShadow : LayoutShadow;
    mShadow.stride = LayoutStride(mShadow.layout);
    mShadow.vertexCount = U32(vertices);
    mShadow.faceCount = U32(faces);
    mShadow.indexSize = vertices > 65536 ? 4 : 2;
    mShadow.indices.reserve(3 * size_t(faces));
    mShadow.vertices.assign(size_t(vertices) * mShadow.stride, 0);
    uint8_t* out = mShadow.vertices.data();
    for (auto& part : mParts)
    {
        for (uint32_t index : part->mShadowFaces)
            mShadow.indices.push_back(index + part->mFirstShadowVertex);
        for (const ShadowVertex& vertex : part->mShadowVertices)
        {
            PutVector(out, part->mVertices[vertex.source].position);
            PutVector(out, vertex.normal);
            if (mSkinned)
                PutInfluences(out, *part, vertex.source);
        }
    }
    Upload(mShadow, mShadowVertexBuffer, mShadowIndexBuffer);
}
