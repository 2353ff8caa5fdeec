#pragma once
#include <cstdint>
#include <string>

#include "LOOM/assets/Ref.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Vector3.h"

class Cog;
class Comp;
class GraphicsDevice;
class GraphicsLoom;
class Material;
class Mesh;
class Positional;
class Shader;

// What Model and SkinModel share: reaching the loom's stores and shader library, the blob shadow, the bounding volumes and picking.
namespace SceneModel {

// Null when there is no loom, no store or no such shader.
Ref<Mesh> GetMesh(const std::string& name);
Ref<Material> GetMaterial(const std::string& name);
Shader* GetShader(const std::string& name);

// The owner's local bounds from the mesh at that scale; returns the scaled radius.
float UpdateBounds(Positional* positional, const Mesh* mesh, float scale);
// Ray against the fixed 5.0 sphere at the position; only hits ahead of the origin (or around it) count.
bool IntersectSphere(const Vector3& centre, const Vector3& origin, const Vector3& direction);
// The blob: the shadow mesh on the ground under the position, twice the radius across.
void DrawBlobShadow(GraphicsDevice& device, Shader& shader, const Mesh* shadowMesh, const Vector3& position,
                    float scaledRadius);
// The unit sphere or cube of the owner's bounds, then of its region's volume when it has one,
// in the model colour.
void DrawBounds(GraphicsDevice& device, Shader& shader, Cog* owner, Positional* positional, const float color[4]);
// Adds to one of the loom's per-frame counters (0 triangles, 1 particles, 2 shadows, 3 objects).
void Count(uint32_t counter, uint32_t amount);

} // namespace SceneModel
