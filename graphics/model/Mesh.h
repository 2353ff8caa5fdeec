#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/assets/Ref.h"
#include "LOOM/math/Vector3.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/model/MeshGeometry.h"
#include "graphics/model/MeshPart.h"
#include "graphics/model/animation/Bone.h"
#include "graphics/resource/Resource.h"

class Skeleton;

// The geometry of a model: parts drawn by ranges of one vertex and one index buffer, a
// simplified range per part, and on demand a shadow mesh from the edge adjacency.
class Mesh : public Resource
{
public:
    Mesh();
    ~Mesh() override;

    // LMF by its extension ("lmf" or "LMF"), anything else as 3DS; below the data folder.
    void Load(const std::string& fileName) override;

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

    // Stream 0, indices and the vertex layout of the mesh's own declaration.
    void BindBuffers(GraphicsDevice& device) const;
    void BindBuffersAlt(GraphicsDevice& device) const;
    void DrawPart(GraphicsDevice& device, uint32_t part) const;
    // The part's simplified range.
    void DrawPartLod(GraphicsDevice& device, uint32_t part) const;
    void DrawPartAlt(GraphicsDevice& device, uint32_t part) const;
    // Binds and draws every part.
    void Draw(GraphicsDevice& device) const;
    GpuBuffer* GetVertexBuffer() const { return mVertexBuffer.get(); }
    GpuBuffer* GetIndexBuffer() const { return mIndexBuffer.get(); }
    GpuBuffer* GetShadowVertexBuffer() const { return mShadowVertexBuffer.get(); }
    GpuBuffer* GetShadowIndexBuffer() const { return mShadowIndexBuffer.get(); }
    // Everything goes: an unusable file leaves an empty mesh that draws nothing.
    void Clear();

    uint32_t GetNodeCount() const { return static_cast<uint32_t>(mParts.size() + mBones.size()); }
    uint32_t GetPartCount() const { return static_cast<uint32_t>(mParts.size()); }
    MeshPart* GetPart(uint32_t i) const { return i < mParts.size() ? mParts[i].get() : nullptr; }
    const MeshGeometry& GetGeometry() const { return mGeometry; }
    const MeshGeometry& GetShadowGeometry() const { return mShadow; }
    const std::vector<uint32_t>& GetAdjacency() const { return mAdjacency; }
    Skeleton* GetSkeleton() const { return mSkeleton.Get(); }
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
    // Faces of each part in vertex-cache order (adjacency follows); simplified ranges appended.
    void SimplifyAndOrder(std::vector<uint32_t>& lodIndices);
    void WriteVertices();
    bool BuildPartHierarchy();
    // The only device step: the CPU geometry into buffers of the resource context's device.
    bool Upload(const MeshGeometry& geometry, std::unique_ptr<GpuBuffer>& vertices,
                std::unique_ptr<GpuBuffer>& indices);

    // One reference.
    Ref<Skeleton> mSkeleton;
    bool mBuilt = false;
    std::vector<uint32_t> mAdjacency;
    MeshGeometry mGeometry;
    MeshGeometry mShadow;
    std::unique_ptr<GpuBuffer> mVertexBuffer;
    std::unique_ptr<GpuBuffer> mIndexBuffer;
    std::unique_ptr<GpuBuffer> mShadowVertexBuffer;
    std::unique_ptr<GpuBuffer> mShadowIndexBuffer;
};
