#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/math/Matrix4.h"
#include "graphics/model/MeshGeometry.h"
#include "graphics/model/animation/Animation.h"
#include "tools/lmfgen/ByteWriter.h"

constexpr uint32_t kLmfNone = 0xFFFFFFFFu;

struct LmfPart
{
    uint32_t index = 0;
    uint32_t parent = kLmfNone;
    uint32_t target = 0;
    std::vector<uint16_t> indices;
    // 0xFFFF = no neighbour.
    std::vector<uint16_t> adjacency;
    std::vector<FileVertex> vertices;
    uint32_t influencesPerVertex = 0;
    // Vertex-major: vertex x influencesPerVertex + slot.
    std::vector<Influence> influences;
    bool keepApartChunk = false;
    uint32_t keepApart = 0;
};

struct LmfMesh
{
    float radius = 0.0f;
    Vector3 corner1;
    Vector3 corner2;
    uint32_t kind = 0;
    std::vector<LmfPart> parts;
    // Bone index, parent, flags (kind 1).
    std::vector<std::array<uint32_t, 3>> partBones;
};

struct LmfBone
{
    int32_t parent = -1;
    // Inverse bind matrix.
    Matrix4 matrix;
};

struct LmfNamedBone
{
    std::string name;
    uint32_t parent = kLmfNone;
};

struct LmfClip
{
    std::string name;
    float length = 1.0f;
    float second = 1.0f;
    std::vector<std::vector<AnimationKey>> tracks;
};

// Writes chunked model files.
class LmfWriter : public ByteWriter
{
public:
    LmfWriter& Header();
    LmfWriter& Mesh(const LmfMesh& mesh);
    LmfWriter& Bones(const std::vector<LmfBone>& bones);
    LmfWriter& NamedBones(const std::vector<LmfNamedBone>& bones);
    LmfWriter& Clips(const std::vector<LmfClip>& clips);
    LmfWriter& DistancePoints(const std::vector<Vector3>& points);
    // Any chunk at all, for files that test the reader.
    LmfWriter& Raw(uint32_t mark, const std::string& payload);
    LmfWriter& End();

private:
    void Begin(uint32_t mark);
    void Close();
    // A chunk of a count and then each item as write puts it.
    template <typename T, typename Write>
    void ListChunk(uint32_t mark, const std::vector<T>& items, Write write)
    {
        Begin(mark);
        U32(static_cast<uint32_t>(items.size()));
        for (const T& item : items)
            write(item);
        Close();
    }

    size_t mOpen = 0;
};

// Part-local adjacency from shared positions: the face across each edge, 0xFFFF when none.
void ComputeAdjacency(LmfPart& part);
