#pragma once

struct Vector3;
class TerraDeform;

// What the height map and its deformation ask of the terrain that draws them. The terrain
// renderer implements it; without one the height field still answers every query.
class TerrainSurface
{
public:
    virtual ~TerrainSurface() = default;
    virtual TerraDeform* GetDeform() = 0;
    virtual void RebuildPatch(int px, int pz) = 0;
    virtual void RebuildAllPatches() = 0;
    virtual void RebuildArea(const Vector3& centre, float radius) = 0;
    virtual void PaintInfoTexture(const Vector3& centre, float innerRadius, float outerRadius, int layer) = 0;
};
