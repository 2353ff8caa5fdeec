#pragma once
#include <cstdint>

#include "tools/lmfgen/LmfWriter.h"

// Shapes as file parts. Faces wind so that (p1 - p0) x (p2 - p1) points out of the shape
// (into it for inward shapes); adjacency is computed from shared positions.
LmfPart MakeBox(const Vector3& min, const Vector3& max);
LmfPart MakeSphere(float radius, int rings, int segments);
// Upper half, facing inward: a sky seen from inside.
LmfPart MakeDome(float radius, int rings, int segments);
// The whole sphere facing inward: a sky that also lies below the horizon, beyond the ground's edge.
LmfPart MakeSkySphere(float radius, int rings, int segments);
// A square grid at y = 0 facing up, centred on the origin.
LmfPart MakeGrid(float size, int cells);
// Open tube along +y from 0 to length.
LmfPart MakeTube(float radius, float length, int rings, int segments);

// Appends the face, winding it so its normal agrees with the direction.
void AddFace(LmfPart& part, uint16_t a, uint16_t b, uint16_t c, const Vector3& outward);
// Moves every vertex of the part.
void Offset(LmfPart& part, const Vector3& by);
// Bounding sphere and box of every part's vertices.
void FitBounds(LmfMesh& mesh);
// A skinned mesh (kind 2) of the one part, its bounds fitted.
LmfMesh SkinnedMesh(LmfPart part);
// A bone under parent whose bind pose stands at bind.
LmfBone BindBone(int32_t parent, const Vector3& bind);
// A key at a time.
AnimationKey Key(float time, const Vector3& position, const Quat& rotation = Quat());
// A turn about an axis by degrees.
Quat Turn(const Vector3& axis, float degrees);
// Appends from's faces and vertices to into.
void Append(LmfPart& into, const LmfPart& from);
