#pragma once
#include <vector>

#include "LOOM/math/Plane.h"
#include "LOOM/math/Vector3.h"

// What the physics step needs of the terrain. The terrain component implements it and makes
// itself current when it initialises; tests and benchmarks use a GridGround.
class Ground
{
public:
    virtual ~Ground() = default;

    virtual float GetHeight(float x, float z) const = 0;
    // Need not be unit length.
    virtual Vector3 GetNormal(float x, float z) const = 0;
    // Appends the ground's planes near the circle (unit normals pointing up out of the ground).
    virtual void GatherCollisionPlanes(const Vector3& centre, float radius, std::vector<Plane>& out) const = 0;

    // The one ground bodies collide with; null while there is none.
    static Ground* Current();
    static void SetCurrent(Ground* ground);
    // Clears the current ground only when it is this one: a newer ground stays.
    static void ClearCurrent(const Ground* ground);
};
