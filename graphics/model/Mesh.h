#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/assets/RefCounted.h"
#include "LOOM/math/Vector3.h"
#include "graphics/model/Bone.h"
#include "graphics/model/MeshGeometry.h"
#include "graphics/model/MeshPart.h"

class Skeleton;

// The geometry of a model: parts drawn by ranges of one vertex and one index buffer, a
// simplified range per part, and on demand a shadow mesh from the edge adjacency.
class Mesh : public RefCounted
{
public:
    Mesh() = default;
    ~Mesh() override;

    virtual uint32_t GetMemorySize() const { return 0; }
    virtual std::string GetTypeName() const { return {}; }
    // LMF by its extension ("lmf" or "LMF"), anything else as 3DS; below the data folder.
    virtual void Load(const std::string& fileName);

    MeshPart* AddPart();
    MeshPart* GetLastPart() const { return mParts.empty() ? nullptr : mParts.back().get(); }
    // The CPU build (ranges, merge, simplification, cache order, part hierarchy) and the
    // upload. False, with the reason logged, when the parts cannot form a mesh.
    bool Build();
    // Shadow geometry, built once.
    void BuildEdges();
    void ComputeFaceNormals();
    void FreePartArrays();
    void SetSkeleton(const std::string& name);
    // Everything goes: an unusable file leaves an empty mesh that draws nothing.
    void Clear();

    uint32_t GetNodeCount() const { return static_cast<uint32_t>(mParts.size() + mBones.size()); }
    uint32_t GetPartCount() const { return static_cast<uint32_t>(mParts.size()); }
    MeshPart* GetPart(uint32_t i) const { return i < mParts.size() ? mParts[i].get() : nullptr; }
    const MeshGeometry& GetGeometry() const { return mGeometry; }
    const MeshGeometry& GetShadowGeometry() const { return mShadow; }
    const std::vector<uint32_t>& GetAdjacency() const { return mAdjacency; }
    Skeleton* GetSkeleton() const { return mSkeleton; }
    bool IsBuilt() const { return mBuilt; }

    float mRadius = 0.0f;
    Vector3 mBoxCorner1;
    Vector3 mBoxCorner2;
    std::vector<std::unique_ptr<MeshPart>> mParts;
    // Chunk 0x0D of part hierarchies.
    std::vector<Bone> mBones;
    bool mFromLmf = false;
    bool mSkinned = false;
    bool mPartHierarchy = false;
    bool mShadowBuilt = false;
    std::string mName;
    uint32_t mVertexCount = 0;
    uint32_t mFaceCount = 0;

private:
    void GenerateAdjacencyAndNormals();
    bool SimplifyAndOrder(std::vector<uint32_t>& lodIndices);
    void WriteVertices();
    bool BuildPartHierarchy();

    // One reference.
    Skeleton* mSkeleton = nullptr;
    bool mBuilt = false;
    std::vector<uint32_t> mAdjacency;
    MeshGeometry mGeometry;
    MeshGeometry mShadow;
};
