#pragma once
#include <cstdint>
#include <vector>

#include "LOOM/math/Vector3.h"

// Vertex layouts and their declaration numbers, shared with the device layer.
enum MeshLayout : uint32_t
{
    LayoutStatic = 0,        // 56 bytes: position, normal, uv, tangent, binormal
    LayoutSkinned = 1,       // 52 bytes: position, normal, uv, 4 weights, 4 index bytes
    LayoutShadow = 2,        // 24 bytes: position, normal
    LayoutSkinnedShadow = 7, // 44 bytes: position, normal, 4 weights, 4 index bytes
};

uint32_t LayoutStride(uint32_t layout);

// A file vertex, 32 bytes: position, texture coordinate, normal.
struct FileVertex
{
    Vector3 position;
    float u = 0.0f;
    float v = 0.0f;
    Vector3 normal;
};

// 8 bytes on disk; only the low byte of the bone index is used.
struct Influence
{
    float weight = 0.0f;
    uint32_t bone = 0;
};

struct ShadowVertex
{
    Vector3 normal;
    uint32_t source = 0;
};

// One vertex and one index buffer as built on the CPU, ready for the device.
struct MeshGeometry
{
    uint32_t layout = LayoutStatic;
    uint32_t stride = 56;
    // 2 while every index fits in 16 bits, else 4.
    uint32_t indexSize = 2;
    uint32_t vertexCount = 0;
    // Faces of the full-detail ranges; simplified faces follow them in the index list.
    uint32_t faceCount = 0;
    std::vector<uint8_t> vertices;
    std::vector<uint32_t> indices;

    void Clear() { *this = MeshGeometry(); }
};
