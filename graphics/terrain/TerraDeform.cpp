#include "graphics/terrain/TerraDeform.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "LOOM/console/Console.h"
#include "graphics/terrain/TerrainSurface.h"

namespace {
constexpr float kPi = 3.14159265358979f;

bool Finite(std::initializer_list<float> values)
{
    for (float v : values)
        if (!std::isfinite(v))
            return false;
    return true;
}

// trunc of a float already clamped into [low, high], so huge values never overflow.
int32_t ClampIndex(float v, int32_t low, int32_t high) { return int32_t(std::clamp(v, float(low), float(high))); }

void Refuse(const std::string& what) { Console::Instance().Log("TerraDeform: refused " + what, LogError); }
} // namespace

void TerraDeform::Init(HeightMap* map)
{
    for (TerrainDecal& decal : mDecals)
        FreeDecal(decal);
    mDeformations.fill(TimedDeformation());
    mMap = map;
    mWidth = map ? map->mMapWidthSize : 0;
    mDepth = map ? map->mMapDepthSize : 0;
    mBaseHeights.assign(size_t(mWidth) * size_t(mDepth), 0.0f);
    for (int32_t z = 0; z < mDepth; ++z)
        for (int32_t x = 0; x < mWidth; ++x)
            Base(x, z) = map->Tile(x, z).y;
    // Ripple boxes reach tile W - 2 at most; patch = tile / 16.
    mPatchesX = mWidth >= 2 ? (mWidth - 2) / kPatchSide + 1 : 0;
    mPatchesZ = mDepth >= 2 ? (mDepth - 2) / kPatchSide + 1 : 0;
    mPatchChanged.assign(size_t(mPatchesX) * size_t(mPatchesZ), 0);
}

void TerraDeform::Reset()
{
    for (TimedDeformation& d : mDeformations)
        if (d.state == 1)
            EndDeformation(d);
    mDeformations.fill(TimedDeformation());
    for (TerrainDecal& decal : mDecals)
        FreeDecal(decal);
    std::fill(mPatchChanged.begin(), mPatchChanged.end(), 0);
}

void TerraDeform::FreeDecal(TerrainDecal& decal)
{
    const uint32_t version = decal.version + 1;
    decal = TerrainDecal();
    decal.version = version;
}

void TerraDeform::Deform(int32_t kind, float x, float y, float z, float r1, float r2, float h0)
{
    if (!mMap || !Finite({x, y, z, r1, r2, h0}))
        return;
    const float ts = mMap->mTileScale;
    if (!(x > 0.0f && x < float(mWidth) * ts && z > 0.0f && z < float(mDepth) * ts))
        return;
    // NOLINTNEXTLINE(bugprone-incorrect-roundings): x and z are inside the map, so this is the nearest tile.
    const int32_t cx = int32_t(x / ts + 0.5f), cz = int32_t(z / ts + 0.5f);
    const int32_t x0 = ClampIndex((x - r2) / ts + 0.5f, 0, mWidth - 1);
    const int32_t x1 = ClampIndex(std::ceil((x + r2) / ts + 0.5f), 0, mWidth - 1);
    const int32_t z0 = ClampIndex((z - r2) / ts + 0.5f, 0, mDepth - 1);
    const int32_t z1 = ClampIndex(std::ceil((z + r2) / ts + 0.5f), 0, mDepth - 1);
    if (x1 <= x0 || z1 <= z0)
        return;
    double sum = 0.0;
    for (int32_t iz = z0; iz < z1; ++iz)
        for (int32_t ix = x0; ix < x1; ++ix)
            sum += Base(ix, iz);
    const float avg = float(sum / double((x1 - x0) * (z1 - z0)));
    const float k = r1 / ts;
    const float kr = (r2 - r1) / ts;
    for (int32_t iz = z0; iz < z1; ++iz)
    {
        for (int32_t ix = x0; ix < x1; ++ix)
        {
            HeightTile& tile = mMap->Tile(ix, iz);
            const float dx = x - tile.x, dz = z - tile.z;
            float h = Base(ix, iz);
            switch (kind)
            {
            case 0:
            {
                const float s = r1 * r1 - dx * dx - dz * dz;
                if (s > 0.0f)
                    h += std::sqrt(s);
                break;
            }
            case 1:
            {
                const float s = r1 * r1 - dx * dx - dz * dz;
                if (s > 0.0f)
                    h = std::min(h, y - std::sqrt(s));
                break;
            }
            case 2:
            {
                const float d2 = dx * dx + dz * dz;
                if (d2 >= r2 * r2)
                    break;
                if (d2 <= r1 * r1)
                    h = avg;
                else
                {
                    const float f = (std::sqrt(d2) - r1) / (r2 - r1);
                    h = f * h + (1.0f - f) * avg;
                }
                break;
            }
            case 6:
            {
                const float ax = float(std::abs(ix - cx)), az = float(std::abs(iz - cz));
                float w = 0.0f;
                if (std::max(ax, az) * ts > r1)
                    // Clamped: the ramp must not overshoot past the old ground (or divide by 0).
                    w = kr > 0.0f ? std::clamp(((ax - k) * (ax - k) + (az - k) * (az - k)) / ts / (kr * kr), 0.0f, 1.0f)
                                  : 1.0f;
                h = w * h + (1.0f - w) * h0;
                break;
            }
            default:
                return;
            }
            Base(ix, iz) = h;
            tile.y = h;
        }
    }
    // One ring wider: the neighbours' normals lean on the changed heights too.
    for (int32_t iz = std::max(z0 - 1, 0); iz <= std::min(z1, mDepth - 1); ++iz)
        for (int32_t ix = std::max(x0 - 1, 0); ix <= std::min(x1, mWidth - 1); ++ix)
            mMap->ComputeTileNormal(ix, iz);
    mMap->RefreshHeightRange();
    if (TerrainSurface* terrain = mMap->GetTerrain())
    {
        terrain->RebuildArea(Vector3(x, y, z), r2);
        terrain->PaintInfoTexture(Vector3(x, y, z), r1, r2, -1);
    }
}

void TerraDeform::EndDeformation(TimedDeformation& d)
{
    if (!mMap)
        return;
    const float ts = mMap->mTileScale;
    const int32_t x0 = ClampIndex((d.x - d.radius) / ts, 0, mWidth - 1);
    const int32_t x1 = ClampIndex((d.x + d.radius) / ts, 0, mWidth - 1);
    const int32_t z0 = ClampIndex((d.z - d.radius) / ts, 0, mDepth - 1);
    const int32_t z1 = ClampIndex((d.z + d.radius) / ts, 0, mDepth - 1);
    for (int32_t iz = z0; iz <= z1; ++iz)
        for (int32_t ix = x0; ix <= x1; ++ix)
            mMap->Tile(ix, iz).y = Base(ix, iz);
    for (int32_t iz = z0; iz <= z1; ++iz)
        for (int32_t ix = x0; ix <= x1; ++ix)
            mMap->ComputeTileNormal(ix, iz);
    if (TerrainSurface* terrain = mMap->GetTerrain())
        terrain->RebuildArea(Vector3(d.x, 0.0f, d.z), d.radius);
    d.state = 0;
}

void TerraDeform::AddDeformation(float x, float y, float z, float radius, float depth, float duration)
{
    if (!Finite({x, y, z, radius, depth, duration}) || !(radius > 0.0f) || !(duration > 0.0f))
    {
        Refuse("a timed deformation with radius " + std::to_string(radius) + " and duration " +
               std::to_string(duration) + " (both must be above 0)");
        return;
    }
    int slot = -1;
    for (int i = 0; i < kDeformations && slot < 0; ++i)
        if (mDeformations[i].state == 0)
            slot = i;
    if (slot < 0)
    {
        slot = 0;
        for (int i = 1; i < kDeformations; ++i)
            if (mDeformations[i].duration - mDeformations[i].elapsed <
                mDeformations[slot].duration - mDeformations[slot].elapsed)
                slot = i;
    }
    TimedDeformation& d = mDeformations[slot];
    if (d.state == 1)
        EndDeformation(d);
    d = TimedDeformation{x, depth, z, 1, radius * 0.5f, radius, 0.0f, duration};
}

void TerraDeform::AddDecal(float x, float y, float z, float size, int32_t kind, float lifetime)
{
    if (kind < 0 || kind > 2 || !Finite({x, y, z, size, lifetime}) || !(size > 0.0f) || !(lifetime > 0.0f))
    {
        Refuse("a decal of kind " + std::to_string(kind) + ", size " + std::to_string(size) + " and lifetime " +
               std::to_string(lifetime) + " (kind 0 to 2, size and lifetime above 0)");
        return;
    }
    if (!mMap)
        return;
    int slot = -1;
    for (int i = 0; i < kDecals && slot < 0; ++i)
        if (mDecals[i].kind == TerrainDecal::kFree)
            slot = i;
    if (slot < 0)
    {
        slot = 0;
        for (int i = 1; i < kDecals; ++i)
            if (mDecals[i].lifetime - mDecals[i].elapsed < mDecals[slot].lifetime - mDecals[slot].elapsed)
                slot = i;
    }
    const float ts = mMap->mTileScale;
    const int32_t x0 = ClampIndex((x - size) / ts, 0, mWidth - 1);
    const int32_t x1 = ClampIndex(std::trunc((x + size) / ts) + 1.0f, 0, mWidth - 1);
    const int32_t z0 = ClampIndex((z - size) / ts, 0, mDepth - 1);
    const int32_t z1 = ClampIndex(std::trunc((z + size) / ts) + 1.0f, 0, mDepth - 1);
    const int32_t nx = x1 - x0, nz = z1 - z0;
    if (nx <= 0 || nz <= 0)
        return;
    if (size_t(nx + 1) * size_t(nz + 1) > 65536u)
    {
        Refuse("a decal of size " + std::to_string(size) + ": its mesh would pass 65536 vertices");
        return;
    }
    TerrainDecal& decal = mDecals[slot];
    decal.x = x;
    decal.y = y;
    decal.z = z;
    decal.kind = kind;
    decal.size = size;
    decal.elapsed = 0.0f;
    decal.lifetime = lifetime;
    decal.x0 = x0;
    decal.z0 = z0;
    decal.nx = nx;
    decal.nz = nz;
    decal.vertexCount = (nx + 1) * (nz + 1);
    decal.triangleCount = nx * nz * 2;
    decal.vertices.resize(size_t(decal.vertexCount));
    decal.indices.resize(size_t(decal.triangleCount) * 3);
    size_t v = 0;
    for (int32_t iz = z0; iz <= z1; ++iz)
    {
        for (int32_t ix = x0; ix <= x1; ++ix)
        {
            HeightTile vertex = mMap->Tile(ix, iz);
            vertex.u = (float(ix) * ts - (x - size)) / (2.0f * size);
            vertex.v = (float(iz) * ts - (z - size)) / (2.0f * size);
            decal.vertices[v++] = vertex;
        }
    }
    size_t i = 0;
    const uint16_t line = uint16_t(nx + 1);
    for (int32_t cz = 0; cz < nz; ++cz)
    {
        for (int32_t cx = 0; cx < nx; ++cx)
        {
            const uint16_t a = uint16_t(cz * (nx + 1) + cx);
            const uint16_t tri[6] = {uint16_t(a + 1),       a, uint16_t(a + line), uint16_t(a + 1), uint16_t(a + line),
                                     uint16_t(a + line + 1)};
            for (uint16_t index : tri)
                decal.indices[i++] = index;
        }
    }
    ++decal.version;
}

void TerraDeform::AdvanceRipple(TimedDeformation& d, float dt, TerrainSurface* terrain)
{
    const float ts = mMap->mTileScale;
    const float p = std::min(1.0f, (d.elapsed + dt) / d.duration);
    const float u = d.x / ts, w = d.z / ts, r = d.radius / ts, hr = d.halfRadius / ts;
    const float ru = std::trunc(r);
    const int32_t bx0 = ClampIndex(std::trunc(u) - ru, 0, mWidth - 2);
    const int32_t bx1 = ClampIndex(std::trunc(u) + ru, 0, mWidth - 2);
    const int32_t bz0 = ClampIndex(std::trunc(w) - ru, 0, mDepth - 2);
    const int32_t bz1 = ClampIndex(std::trunc(w) + ru, 0, mDepth - 2);
    const float R = hr + (r - hr) * p;
    const float R2 = R * R;
    auto offset = [&](int32_t i, int32_t j) {
        const float di = float(i) - u, dj = float(j) - w;
        const float d2 = di * di + dj * dj;
        if (d2 >= R2)
            return 0.0f;
        return -((R2 - d2) / R2) * (1.0f - p) * d.depth * std::cos((d2 / (hr * hr) - (r - hr) * p) * kPi);
    };
    for (int32_t pz = bz0 / kPatchSide; pz <= bz1 / kPatchSide; ++pz)
    {
        for (int32_t px = bx0 / kPatchSide; px <= bx1 / kPatchSide; ++px)
        {
            if (!Changed(px, pz))
            {
                // First visit this frame: the whole patch starts again from the base.
                const int32_t jEnd = std::min((pz + 1) * kPatchSide, mDepth);
                const int32_t iEnd = std::min((px + 1) * kPatchSide, mWidth);
                for (int32_t j = pz * kPatchSide; j < jEnd; ++j)
                    for (int32_t i = px * kPatchSide; i < iEnd; ++i)
                        mMap->Tile(i, j).y = Base(i, j) + offset(i, j);
                Changed(px, pz) = 1;
            }
            else
            {
                const int32_t j0 = std::max(bz0, pz * kPatchSide), j1 = std::min(bz1, (pz + 1) * kPatchSide - 1);
                const int32_t i0 = std::max(bx0, px * kPatchSide), i1 = std::min(bx1, (px + 1) * kPatchSide - 1);
                for (int32_t j = j0; j <= j1; ++j)
                    for (int32_t i = i0; i <= i1; ++i)
                        mMap->Tile(i, j).y += offset(i, j);
            }
        }
    }
    d.elapsed += dt;
    if (d.elapsed >= d.duration)
        d.state = 0;
    if (terrain)
        terrain->PaintInfoTexture(Vector3(d.x, d.depth, d.z), d.halfRadius, d.radius, -1);
}

bool TerraDeform::RebuildChangedPatches(TerrainSurface* terrain)
{
    bool anyChanged = false;
    for (int32_t pz = 0; pz < mPatchesZ; ++pz)
    {
        for (int32_t px = 0; px < mPatchesX; ++px)
        {
            if (!Changed(px, pz))
                continue;
            anyChanged = true;
            const int32_t jEnd = std::min(pz * kPatchSide + kPatchSide, mDepth - 1);
            const int32_t iEnd = std::min(px * kPatchSide + kPatchSide, mWidth - 1);
            for (int32_t j = pz * kPatchSide; j <= jEnd; ++j)
                for (int32_t i = px * kPatchSide; i <= iEnd; ++i)
                    mMap->ComputeTileNormal(i, j);
            if (terrain)
                terrain->RebuildPatch(px, pz);
        }
    }
    return anyChanged;
}

bool TerraDeform::UnderChangedPatch(const TerrainDecal& decal)
{
    const int32_t pz1 = std::min((decal.z0 + decal.nz) / kPatchSide, mPatchesZ - 1);
    const int32_t px1 = std::min((decal.x0 + decal.nx) / kPatchSide, mPatchesX - 1);
    for (int32_t pz = decal.z0 / kPatchSide; pz <= pz1; ++pz)
        for (int32_t px = decal.x0 / kPatchSide; px <= px1; ++px)
            if (Changed(px, pz))
                return true;
    return false;
}

void TerraDeform::UpdateDecals(float dt, bool anyChanged)
{
    for (TerrainDecal& decal : mDecals)
    {
        if (decal.kind == TerrainDecal::kFree)
            continue;
        decal.elapsed += dt;
        if (decal.elapsed >= decal.lifetime)
        {
            FreeDecal(decal);
            continue;
        }
        if (!anyChanged || !UnderChangedPatch(decal))
            continue;
        size_t v = 0;
        for (int32_t iz = decal.z0; iz <= decal.z0 + decal.nz; ++iz)
            for (int32_t ix = decal.x0; ix <= decal.x0 + decal.nx; ++ix)
                decal.vertices[v++].y = mMap->Tile(ix, iz).y;
        ++decal.version;
    }
}

void TerraDeform::Update(float dt)
{
    if (!mMap || !std::isfinite(dt))
        return;
    TerrainSurface* terrain = mMap->GetTerrain();
    for (TimedDeformation& d : mDeformations)
    {
        if (d.state == 1)
            AdvanceRipple(d, dt, terrain);
    }
    const bool anyChanged = RebuildChangedPatches(terrain);
    if (anyChanged)
        mMap->RefreshHeightRange();
    UpdateDecals(dt, anyChanged);
    std::fill(mPatchChanged.begin(), mPatchChanged.end(), 0);
}
