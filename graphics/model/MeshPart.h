#pragma once
#include <cstdint>
#include <vector>

#include "LOOM/math/Vector3.h"
#include "graphics/model/MeshGeometry.h"
#include "graphics/model/animation/Bone.h"

class Mesh;

constexpr uint32_t kNoNeighbour = 0xFFFFFFFFu;

// A subset of a mesh with its own part-local arrays; also a bone of the part hierarchy.
class MeshPart : public Bone
{
public:
    MeshPart() { mParent = -1; }

    Vector3 ComputeFaceNormal(uint32_t face) const;
    void ComputeFaceNormals();
    // Shadow vertices and faces: three copies of each face's corners, joined along every
    // shared edge by two triangles.
    void BuildEdgeList();
    // Frees what only the first build needs; keeps what BuildEdges reads, since a mesh is
    // shared and another holder may ask for its shadow later.
    void FreeArrays();

    std::vector<FileVertex> mVertices;
    std::vector<uint16_t> mIndices;
    std::vector<uint32_t> mAdjacency;
    std::vector<Vector3> mFaceNormals;
    // Vertex-major: vertex x influences-per-vertex + slot.
    std::vector<Influence> mInfluences;
    std::vector<uint32_t> mShadowFaces;
    std::vector<ShadowVertex> mShadowVertices;

    uint32_t mFaceCount = 0;
    uint32_t mIndexCount = 0;
    uint32_t mVertexCount = 0;
    uint32_t mInfluencesPerVertex = 0;
    uint32_t mSimplifyTarget = 0;
    // Trailing faces of the first part kept out of simplification.
    uint32_t mKeepApart = 0;

    uint32_t mFirstVertex = 0;
    uint32_t mFirstFace = 0;
    // The simplified range (the full range when the part is not simplified).
    uint32_t mLodFirstFace = 0;
    uint32_t mLodFaceCount = 0;
    uint32_t mShadowFaceCount = 0;
    uint32_t mShadowVertexCount = 0;
    uint32_t mFirstShadowVertex = 0;
    uint32_t mFirstShadowFace = 0;

    Mesh* mOwner = nullptr;
};
