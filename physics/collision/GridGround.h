#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "physics/collision/Ground.h"

// A height grid of width x depth vertices, tileScale apart, starting at the origin. Heights
// blend bilinearly inside the grid and are 0 outside it, as the terrain's do.
class GridGround : public Ground
{
public:
    GridGround(uint32_t width, uint32_t depth, float tileScale);

    void SetHeight(uint32_t x, uint32_t z, float height);
    float GetVertexHeight(uint32_t x, uint32_t z) const { return mHeights[Index(x, z)]; }
    // Vertex normals from the neighbouring heights; call after changing heights.
    void ComputeNormals();

    float GetHeight(float x, float z) const override;
    Vector3 GetNormal(float x, float z) const override;
    // One plane per grid vertex in the square around the circle, clamped into the grid.
    void GatherCollisionPlanes(const Vector3& centre, float radius, std::vector<Plane>& out) const override;

    uint32_t GetWidth() const { return mWidth; }
    uint32_t GetDepth() const { return mDepth; }
    float GetTileScale() const { return mTileScale; }

private:
    size_t Index(uint32_t x, uint32_t z) const { return size_t(z) * mWidth + x; }
    // The cell holding (x, z), clamped into the grid, and the fractions inside it.
    void Cell(float x, float z, uint32_t& ix, uint32_t& iz, float& fx, float& fz) const;

    uint32_t mWidth;
    uint32_t mDepth;
    float mTileScale;
    float mInvTileScale;
    std::vector<float> mHeights;
    std::vector<Vector3> mNormals;
};
