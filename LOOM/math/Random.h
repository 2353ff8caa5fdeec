#pragma once
#include "LOOM/math/RandomGenerator.h"
#include "LOOM/math/Vector3.h"

#include <cstdint>

// Random helpers on the engine's shared generator (main thread only).
RandomGenerator& EngineRandom();
void RandomSeed(uint32_t seed);

// Inclusive of both ends, in either order; equal ends return min without drawing. Spans wider
// than 32768 only reach the lower end's first 32768 values.
int RandomInt(int min, int max);
// Within [min, max] in either order; equal ends return min without drawing.
float RandomFloat(float min, float max);
Vector3 RandomUnitVector();
// A unit vector turned away from the direction by an angle drawn in [minAngle, maxAngle],
// towards a random side.
Vector3 RandomVectorInConeRange(const Vector3& direction, float minAngle, float maxAngle);
// As above with the angle drawn in [0, |spread|].
Vector3 RandomVectorInCone(const Vector3& direction, float spread);
