#include "tools/lmfgen/ModelShapes.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr float kPi = 3.14159265358979f;

uint16_t AddVertex(LmfPart& part, const Vector3& p, const Vector3& n, float u, float v)
{
    FileVertex vertex;
    vertex.position = p;
    vertex.normal = n;
    vertex.u = u;
    vertex.v = v;
    part.vertices.push_back(vertex);
    return static_cast<uint16_t>(part.vertices.size() - 1);
}

// Visits the cells of a grid of (rows + 1) x (columns + 1) vertices laid out row by row:
// a and b on one row, c and d below them.
template <typename Visit>
void ForEachCell(int rows, int columns, Visit visit)
{
    const int row = columns + 1;
    for (int r = 0; r < rows; ++r)
        for (int s = 0; s < columns; ++s)
        {
            const auto a = static_cast<uint16_t>(r * row + s);
            const auto c = static_cast<uint16_t>(a + row);
            visit(r, a, static_cast<uint16_t>(a + 1), c, static_cast<uint16_t>(c + 1));
        }
}

// A latitude-longitude surface; rows from the top pole down to the last ring.
LmfPart MakeRings(float radius, int rings, int segments, int lastRing, bool inward)
{
    LmfPart part;
    for (int r = 0; r <= lastRing; ++r)
    {
        const float phi = kPi * r / rings;
        for (int s = 0; s <= segments; ++s)
        {
            const float theta = 2.0f * kPi * s / segments;
            const Vector3 n(std::sin(phi) * std::cos(theta), std::cos(phi), std::sin(phi) * std::sin(theta));
            AddVertex(part, n * radius, inward ? -n : n, float(s) / segments, float(r) / rings);
        }
    }
    ForEachCell(lastRing, segments, [&](int r, uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
        const Vector3 centre = (part.vertices[a].position + part.vertices[d].position) * 0.5f;
        const Vector3 out = inward ? -centre : centre;
        // The rows at the poles shrink to a point: one triangle a cell there.
        if (r != 0)
            AddFace(part, a, b, d, out);
        if (r != rings - 1)
            AddFace(part, a, d, c, out);
    });
    ComputeAdjacency(part);
    return part;
}
} // namespace

void AddFace(LmfPart& part, uint16_t a, uint16_t b, uint16_t c, const Vector3& outward)
{
    const Vector3& p0 = part.vertices[a].position;
    const Vector3& p1 = part.vertices[b].position;
    const Vector3& p2 = part.vertices[c].position;
    Vector3 n;
    CrossProduct(p1 - p0, p2 - p1, n);
    if (DotProduct(n, outward) < 0.0f)
        std::swap(b, c);
    part.indices.insert(part.indices.end(), {a, b, c});
}

LmfPart MakeBox(const Vector3& min, const Vector3& max)
{
    LmfPart part;
    const Vector3 centre = (min + max) * 0.5f;
    const Vector3 half = (max - min) * 0.5f;
    const Vector3 axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (int axis = 0; axis < 3; ++axis)
    {
        for (float sign : {1.0f, -1.0f})
        {
            const Vector3 n = axes[axis] * sign;
            const Vector3 u = axes[(axis + 1) % 3];
            const Vector3 v = axes[(axis + 2) % 3];
            auto corner = [&](float su, float sv) {
                const Vector3 p = centre + n * DotProduct(half, axes[axis]) + u * (su * DotProduct(half, u)) +
                    v * (sv * DotProduct(half, v));
                return AddVertex(part, p, n, (su + 1) * 0.5f, (sv + 1) * 0.5f);
            };
            const uint16_t a = corner(-1, -1), b = corner(1, -1), c = corner(1, 1), d = corner(-1, 1);
            AddFace(part, a, b, c, n);
            AddFace(part, a, c, d, n);
        }
    }
    ComputeAdjacency(part);
    return part;
}

LmfPart MakeSphere(float radius, int rings, int segments) { return MakeRings(radius, rings, segments, rings, false); }

LmfPart MakeDome(float radius, int rings, int segments) { return MakeRings(radius, rings * 2, segments, rings, true); }

LmfPart MakeSkySphere(float radius, int rings, int segments) { return MakeRings(radius, rings, segments, rings, true); }

LmfPart MakeGrid(float size, int cells)
{
    LmfPart part;
    const float step = size / cells;
    for (int z = 0; z <= cells; ++z)
        for (int x = 0; x <= cells; ++x)
            AddVertex(part, {-size / 2 + x * step, 0.0f, -size / 2 + z * step}, {0, 1, 0}, float(x) / cells,
                      float(z) / cells);
    ForEachCell(cells, cells, [&](int, uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
        AddFace(part, a, b, d, {0, 1, 0});
        AddFace(part, a, d, c, {0, 1, 0});
    });
    ComputeAdjacency(part);
    return part;
}

LmfPart MakeTube(float radius, float length, int rings, int segments)
{
    LmfPart part;
    for (int r = 0; r <= rings; ++r)
        for (int s = 0; s <= segments; ++s)
        {
            const float theta = 2.0f * kPi * s / segments;
            const Vector3 n(std::cos(theta), 0.0f, std::sin(theta));
            AddVertex(part, {n.x * radius, length * r / rings, n.z * radius}, n, float(s) / segments, float(r) / rings);
        }
    ForEachCell(rings, segments, [&](int, uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
        const Vector3 out = part.vertices[a].normal + part.vertices[d].normal;
        AddFace(part, a, b, d, out);
        AddFace(part, a, d, c, out);
    });
    ComputeAdjacency(part);
    return part;
}

void Offset(LmfPart& part, const Vector3& by)
{
    for (FileVertex& v : part.vertices)
        v.position += by;
}

void FitBounds(LmfMesh& mesh)
{
    Vector3 lo(1e30f, 1e30f, 1e30f), hi(-1e30f, -1e30f, -1e30f);
    float radius = 0.0f;
    for (const LmfPart& part : mesh.parts)
        for (const FileVertex& v : part.vertices)
        {
            lo = {std::min(lo.x, v.position.x), std::min(lo.y, v.position.y), std::min(lo.z, v.position.z)};
            hi = {std::max(hi.x, v.position.x), std::max(hi.y, v.position.y), std::max(hi.z, v.position.z)};
            radius = std::max(radius, v.position.Length());
        }
    mesh.corner1 = lo;
    mesh.corner2 = hi;
    mesh.radius = radius;
}

LmfMesh SkinnedMesh(LmfPart part)
{
    LmfMesh mesh;
    mesh.kind = 2;
    mesh.parts.push_back(std::move(part));
    FitBounds(mesh);
    return mesh;
}

LmfBone BindBone(int32_t parent, const Vector3& bind)
{
    LmfBone bone;
    bone.parent = parent;
    bone.matrix = Matrix4::Translation(-bind);
    return bone;
}

AnimationKey Key(float time, const Vector3& position, const Quat& rotation)
{
    AnimationKey key;
    key.time = time;
    key.position = position;
    key.rotation = rotation;
    return key;
}

Quat Turn(const Vector3& axis, float degrees) { return Quat::FromAxisAngle(axis, degrees * kPi / 180.0f); }

void Append(LmfPart& into, const LmfPart& from)
{
    const auto base = static_cast<uint16_t>(into.vertices.size());
    into.vertices.insert(into.vertices.end(), from.vertices.begin(), from.vertices.end());
    for (uint16_t index : from.indices)
        into.indices.push_back(static_cast<uint16_t>(index + base));
}
