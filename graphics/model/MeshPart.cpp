#include "graphics/model/MeshPart.h"

#include <unordered_map>

namespace {
struct OpenEdge
{
    uint32_t slot;
    uint32_t face;
};

// Shadow-vertex corners of an edge slot of face g.
void SlotCorners(uint32_t g, uint32_t slot, uint32_t& first, uint32_t& second)
{
    first = 3 * g + slot;
    second = 3 * g + (slot + 1) % 3;
}
} // namespace

Vector3 MeshPart::ComputeFaceNormal(uint32_t face) const
{
    const Vector3& p0 = mVertices[mIndices[3 * face]].position;
    const Vector3& p1 = mVertices[mIndices[3 * face + 1]].position;
    const Vector3& p2 = mVertices[mIndices[3 * face + 2]].position;
    Vector3 normal;
    CrossProduct(p1 - p0, p2 - p1, normal);
    return normal.Normalize();
}

void MeshPart::ComputeFaceNormals()
{
    mFaceNormals.resize(mFaceCount);
    for (uint32_t f = 0; f < mFaceCount; ++f)
        mFaceNormals[f] = ComputeFaceNormal(f);
}

void MeshPart::BuildEdgeList()
{
    ComputeFaceNormals();
    mShadowVertices.clear();
    mShadowFaces.clear();
    mShadowVertices.reserve(3 * size_t(mFaceCount));
    mShadowFaces.reserve(3 * size_t(mFaceCount) * 3);
    // Keyed by the face pair itself, so any face count keeps the keys apart.
    std::unordered_map<uint64_t, OpenEdge> edges;
    for (uint32_t f = 0; f < mFaceCount; ++f)
    {
        const uint32_t v = static_cast<uint32_t>(mShadowVertices.size());
        for (uint32_t c = 0; c < 3; ++c)
            mShadowVertices.push_back({mFaceNormals[f], mIndices[3 * f + c]});
        mShadowFaces.insert(mShadowFaces.end(), {v, v + 1, v + 2});
        for (uint32_t e = 0; e < 3; ++e)
        {
            const uint32_t neighbour = mAdjacency[3 * f + e];
            if (neighbour == kNoNeighbour)
                continue;
            const uint64_t key = uint64_t(std::max(f, neighbour)) << 32 | std::min(f, neighbour);
            auto found = edges.find(key);
            if (found == edges.end())
            {
                edges.emplace(key, OpenEdge{e, f});
                continue;
            }
            uint32_t g1, g2, f1, f2;
            SlotCorners(found->second.face, found->second.slot, g1, g2);
            SlotCorners(f, e, f1, f2);
            mShadowFaces.insert(mShadowFaces.end(), {g2, g1, f1, f2, f1, g1});
            edges.erase(found);
        }
    }
    mShadowVertexCount = static_cast<uint32_t>(mShadowVertices.size());
    mShadowFaceCount = static_cast<uint32_t>(mShadowFaces.size() / 3);
}

void MeshPart::FreeArrays()
{
    mFaceNormals = {};
    mShadowFaces = {};
    mShadowVertices = {};
}
