#pragma once
#include <vector>

#include "LOOM/math/Plane.h"
#include "LOOM/math/Vector3.h"

class Ground;
class Spatial;

// Where two shapes touch. The normal is unit length and points from b (or the ground) into a;
// depth is how far a must move along it to stop touching.
struct Touch
{
    Vector3 mNormal;
    Vector3 mPoint;
    float mDepth = 0.0f;
};

// The bounds in use (sphere or unrotated box) of both; touching counts.
bool TouchShapes(const Spatial& a, const Spatial& b, Touch& out);
// A sphere against the deepest of the ground's planes near it; a box by its bottom corners.
bool TouchGround(const Spatial& a, const Ground& ground, std::vector<Plane>& planes, Touch& out);
