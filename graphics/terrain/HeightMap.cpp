#include "graphics/terrain/HeightMap.h"

#include <algorithm>
#include <cmath>

#include "LOOM/base/FileUtils.h"
#include "LOOM/console/Console.h"
#include "LOOM/factory/CompFactory.h"
#include "LOOM/serial/Serializer.h"
#include "LOOM/serial/XMLLoader.h"
#include "graphics/device/Image.h"
#include "graphics/terrain/ImageFile.h"
#include "graphics/terrain/Noise.h"
#include "graphics/terrain/TerraDeform.h"
#include "graphics/terrain/TerrainSurface.h"

namespace {
CompFactoryOf<HeightMap> gHeightMapFactory;
HeightMap* sCurrent = nullptr;

// The image the heights come from is read into a surface of this side, unscaled.
constexpr uint32_t kSurfaceSide = 512;

Vector3 NormalizedOrZero(const Vector3& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return length > 0.0f ? Vector3(v.x / length, v.y / length, v.z / length) : Vector3();
}
} // namespace

void MapGenerationSettings::Serialize(Serializer& s)
{
    mRead.Real(s, "flatRadius", flatRadius);
    mRead.Int(s, "edgeWidth", edgeWidth);
    mRead.Real(s, "maxHeight", maxHeight);
    mRead.Real(s, "edgeHeight", edgeHeight);
    mRead.Real(s, "NoisePersistance", NoisePersistance);
    mRead.Real(s, "NoiseFrequency", NoiseFrequency);
    mRead.Vector(s, "TowerPos", TowerPos);
}

bool MapGenerationSettings::Load()
{
    *this = MapGenerationSettings();
    if (!FileExists(DataFilePath(kFile)))
    {
        Console::Instance().Log(std::string(kFile) + " not found; the map keeps its heights", LogError);
        return false;
    }
    const bool good = XMLLoader::LoadObject(kFile, *this);
    if (!good)
    {
        Console::Instance().Log(std::string(kFile) + " lacks \"" + mRead.Missing() +
                                    "\" or cannot be read; the map keeps its heights",
                                LogError);
        return false;
    }
    return true;
}

HeightMap* HeightMap::Current() { return sCurrent; }

HeightMap::~HeightMap()
{
    if (sCurrent == this)
        sCurrent = nullptr;
    Ground::ClearCurrent(this);
}

void HeightMap::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeFile("Map", mMapFile);
    s.SerializeInt("MapWidthSize", mMapWidthSize);
    s.SerializeInt("MapDepthSize", mMapDepthSize);
    s.SerializeRealField("TileScale", mTileScale);
    s.SerializeRealField("HeightScale", mHeightScale);
    s.SerializeBoolField("AutoBuildTerrain", mAutoBuildTerrain);
    s.SerializeRealField("BaseHeight", mBaseHeight);
}

void HeightMap::CheckSizes()
{
    auto clampSize = [](int32_t& size, const char* name) {
        const int32_t fixed = std::clamp(size, 2, kMaxSize);
        if (fixed != size)
            Console::Instance().Log("HeightMap: " + std::string(name) + " " + std::to_string(size) +
                                        " is outside 2 to 512; " + std::to_string(fixed) + " is used",
                                    LogError);
        size = fixed;
    };
    clampSize(mMapWidthSize, "MapWidthSize");
    clampSize(mMapDepthSize, "MapDepthSize");
    if (!(std::isfinite(mTileScale) && mTileScale > 0.0f))
    {
        Console::Instance().Log("HeightMap: TileScale " + std::to_string(mTileScale) + " is not above 0; 1 is used",
                                LogError);
        mTileScale = 1.0f;
    }
}

void HeightMap::Initialize()
{
    sCurrent = this;
    Ground::SetCurrent(this);
    CheckSizes();
    mInvTileScale = 1.0f / mTileScale;
    mTiles.assign(size_t(mMapWidthSize) * size_t(mMapDepthSize), HeightTile());
    LoadHeights();
    if (mAutoBuildTerrain)
        GenerateMap();
    ComputeAllNormals();
    RefreshHeightRange();
}

void HeightMap::LoadHeights()
{
    Image image;
    std::string error;
    const bool loaded = !mMapFile.empty() && LoadImageFile(mMapFile, image, error);
    if (!loaded)
        Console::Instance().Log("HeightMap: image \"" + mMapFile + "\" " + (mMapFile.empty() ? "is not named" : error) +
                                    "; heights are 0",
                                LogError);
    const float uvScale = 1.0f / float(mMapWidthSize - 1);
    for (int32_t z = 0; z < mMapDepthSize; ++z)
    {
        // Rows come from the bottom of the image; beyond the image the surface is black.
        const uint32_t row = uint32_t(mMapDepthSize - 1 - z);
        for (int32_t x = 0; x < mMapWidthSize; ++x)
        {
            HeightTile& tile = Tile(x, z);
            uint8_t blue = 0;
            if (loaded && row < image.mHeight && uint32_t(x) < image.mWidth && row < kSurfaceSide)
                blue = image.Pixel(uint32_t(x), row)[0];
            tile.x = float(x) * mTileScale;
            tile.y = float(blue) * 0.003921568859368563f * mHeightScale;
            tile.z = float(z) * mTileScale;
            tile.u = float(z) * uvScale;
            tile.v = float(x) * uvScale;
        }
    }
}

bool HeightMap::GenerateMap()
{
    MapGenerationSettings settings;
    if (!settings.Load())
        return false;
    mBaseHeight = settings.TowerPos.y;
    const int32_t W = mMapWidthSize, D = mMapDepthSize;
    const int32_t hw = W / 2, hd = D / 2, e = settings.edgeWidth;
    const float scale = 1.35f / NoiseAmplitudeSum(settings.NoisePersistance, settings.NoiseFrequency);
    const float r2 = settings.flatRadius * settings.flatRadius;
    for (int32_t z = 1; z <= D - 2; ++z)
    {
        for (int32_t x = 1; x <= W - 2; ++x)
        {
            float h = FractalNoise2D(settings.NoisePersistance, settings.NoiseFrequency, float(W), float(x), float(z)) *
                    scale +
                0.5f;
            auto edgeDepth = [e](int32_t i, int32_t size) {
                if (i <= e)
                    return e - i;
                if (i >= size - e)
                    return i - size + 1 + e;
                return 0;
            };
            const int32_t m = std::max(edgeDepth(x, W), edgeDepth(z, D));
            if (m <= 0)
            {
                const int32_t dx = hw - x, dz = hd - z;
                const float d2 = float(dx * dx + dz * dz);
                // A flat radius of 0 still flattens the centre tile, without 0 / 0.
                if (d2 <= r2)
                    h = r2 > 0.0f ? h * d2 / r2 : 0.0f;
                h *= settings.maxHeight;
            }
            else
            {
                h *= (1.0f - std::cos(float(m) / float(e) * 3.1415927f)) * 0.5f * settings.edgeHeight +
                    settings.maxHeight;
            }
            Tile(x, z).y = h + mBaseHeight;
        }
    }
    for (int32_t x = 1; x <= W - 2; ++x)
    {
        Tile(x, 0).y = 0.95f * H(x, 1);
        Tile(x, D - 1).y = 0.95f * H(x, D - 2);
    }
    for (int32_t z = 1; z <= D - 2; ++z)
    {
        Tile(0, z).y = 0.95f * H(1, z);
        Tile(W - 1, z).y = 0.95f * H(W - 2, z);
    }
    Tile(0, 0).y = 0.95f * H(1, 0);
    Tile(0, D - 1).y = 0.95f * H(1, D - 1);
    Tile(W - 1, 0).y = 0.95f * H(W - 1, 1);
    Tile(W - 1, D - 1).y = 0.95f * H(W - 2, D - 1);
    RefreshHeightRange();
    return true;
}

void HeightMap::ComputeTileNormal(int32_t x, int32_t z)
{
    if (x < 0 || z < 0 || x >= mMapWidthSize || z >= mMapDepthSize)
        return;
    static constexpr int32_t kRing[6][2] = {{0, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 0}, {1, -1}};
    HeightTile& tile = Tile(x, z);
    Vector3 edges[6];
    for (int i = 0; i < 6; ++i)
    {
        const int32_t nx = std::clamp(x + kRing[i][0], 0, mMapWidthSize - 1);
        const int32_t nz = std::clamp(z + kRing[i][1], 0, mMapDepthSize - 1);
        const HeightTile& n = Tile(nx, nz);
        edges[i] = Vector3(n.x - tile.x, n.y - tile.y, n.z - tile.z);
    }
    Vector3 sum;
    for (int i = 0; i < 6; ++i)
    {
        const Vector3& a = edges[i];
        const Vector3& b = edges[(i + 1) % 6];
        sum = sum + NormalizedOrZero(Vector3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x));
    }
    const Vector3 n = NormalizedOrZero(sum);
    tile.nx = n.x;
    tile.ny = n.y;
    tile.nz = n.z;
}

void HeightMap::ComputeAllNormals()
{
    for (int32_t z = 0; z < mMapDepthSize; ++z)
        for (int32_t x = 0; x < mMapWidthSize; ++x)
            ComputeTileNormal(x, z);
}

void HeightMap::RefreshHeightRange()
{
    if (mTiles.empty())
        return;
    float low = mTiles[0].y, high = mTiles[0].y;
    for (const HeightTile& tile : mTiles)
    {
        low = std::min(low, tile.y);
        high = std::max(high, tile.y);
    }
    mMinHeight = low;
    mMaxHeight = high;
}

void HeightMap::Cell(float x, float z, int32_t& ix, int32_t& iz, float& fx, float& fz) const
{
    ix = int32_t(std::clamp(x * mInvTileScale, 0.0f, float(mMapWidthSize - 2)));
    iz = int32_t(std::clamp(z * mInvTileScale, 0.0f, float(mMapDepthSize - 2)));
    const HeightTile& corner = Tile(ix, iz);
    fx = (x - corner.x) / mTileScale;
    fz = (z - corner.z) / mTileScale;
}

float HeightMap::GetHeight(float x, float z) const
{
    const float u = x * mInvTileScale, w = z * mInvTileScale;
    if (!(u >= 0.0f && w >= 0.0f && u <= float(mMapWidthSize - 2) && w <= float(mMapDepthSize - 2)) || mTiles.empty())
        return 0.0f;
    const int32_t ix = int32_t(u), iz = int32_t(w);
    const float fx = u - float(ix), fz = w - float(iz);
    const HeightTile* row0 = &mTiles[size_t(iz) * size_t(mMapWidthSize) + size_t(ix)];
    const HeightTile* row1 = row0 + mMapWidthSize;
    return fz * ((1.0f - fx) * row1[0].y + fx * row1[1].y) + (1.0f - fz) * ((1.0f - fx) * row0[0].y + fx * row0[1].y);
}

float HeightMap::SnapToTerrain(Vector3& p) const
{
    p.y = GetHeight(p.x, p.z);
    return p.y;
}

Vector3 HeightMap::GetNormal(float x, float z) const
{
    if (mTiles.empty() || !(std::isfinite(x) && std::isfinite(z)))
        return Vector3(0.0f, 1.0f, 0.0f);
    int32_t ix, iz;
    float fx, fz;
    Cell(x, z, ix, iz, fx, fz);
    const HeightTile* row0 = GetTileRow(iz) + ix;
    const HeightTile* row1 = row0 + mMapWidthSize;
    auto n = [](const HeightTile& t) { return Vector3(t.nx, t.ny, t.nz); };
    return (n(row1[0]) * (1.0f - fx) + n(row1[1]) * fx) * fz +
        (n(row0[0]) * (1.0f - fx) + n(row0[1]) * fx) * (1.0f - fz);
}

float HeightMap::GetTriangleHeight(float x, float z) const
{
    if (mTiles.empty() ||
        !(x >= 0.0f && x <= float(mMapWidthSize - 2) * mTileScale && z >= 0.0f &&
          z <= float(mMapDepthSize - 2) * mTileScale))
        return 0.0f;
    const float u = x / mTileScale, w = z / mTileScale;
    const int32_t ix = int32_t(u), iz = int32_t(w);
    const float fx = u - std::floor(u), fz = w - std::floor(w);
    if (fx + fz < 1.0f)
        return fz * H(ix, iz + 1) + fx * H(ix + 1, iz) + (1.0f - fx - fz) * H(ix, iz);
    return (fx + fz - 1.0f) * H(ix + 1, iz + 1) + (1.0f - fz) * H(ix + 1, iz) + (1.0f - fx) * H(ix, iz + 1);
}

bool HeightMap::IntersectRay(const Vector3& origin, const Vector3& direction, Vector3& hit) const
{
    if (mTiles.empty() || !(direction.y < -0.001f))
        return false;
    // Tile units across, world units up: the ray parameter t is the same in both.
    const double ox = double(origin.x) * mInvTileScale, oz = double(origin.z) * mInvTileScale, oy = origin.y;
    const double dx = double(direction.x) * mInvTileScale, dz = double(direction.z) * mInvTileScale, dy = direction.y;
    if (!(std::isfinite(ox) && std::isfinite(oy) && std::isfinite(oz) && std::isfinite(dx) && std::isfinite(dz)))
        return false;
    // Clip the ray to the box the grid stands in: across the vertices, down from the highest
    // to the lowest height (ground below 0 is found too).
    double t0 = std::max(0.0, (double(mMaxHeight) - oy) / dy);
    double t1 = (double(mMinHeight) - oy) / dy;
    auto slab = [&](double o, double d, double high) {
        if (std::fabs(d) < 1e-12)
            return o >= 0.0 && o <= high;
        double a = (0.0 - o) / d, b = (high - o) / d;
        if (a > b)
            std::swap(a, b);
        t0 = std::max(t0, a);
        t1 = std::min(t1, b);
        return true;
    };
    if (!slab(ox, dx, double(mMapWidthSize - 1)) || !slab(oz, dz, double(mMapDepthSize - 1)) || t0 > t1)
        return false;

    const int32_t lastX = mMapWidthSize - 2, lastZ = mMapDepthSize - 2;
    const double sx = ox + t0 * dx, sz = oz + t0 * dz;
    int32_t ix = int32_t(std::clamp(std::floor(sx), 0.0, double(lastX)));
    int32_t iz = int32_t(std::clamp(std::floor(sz), 0.0, double(lastZ)));
    const int32_t stepX = dx > 0.0 ? 1 : -1, stepZ = dz > 0.0 ? 1 : -1;
    const double inf = std::numeric_limits<double>::infinity();
    const double deltaX = dx != 0.0 ? 1.0 / std::fabs(dx) : inf;
    const double deltaZ = dz != 0.0 ? 1.0 / std::fabs(dz) : inf;
    double nextX = dx != 0.0 ? (double(ix + (dx > 0.0 ? 1 : 0)) - ox) / dx : inf;
    double nextZ = dz != 0.0 ? (double(iz + (dz > 0.0 ? 1 : 0)) - oz) / dz : inf;
    constexpr double kEdge = 1e-6;
    for (;;)
    {
        const double h00 = H(ix, iz), h10 = H(ix + 1, iz), h01 = H(ix, iz + 1), h11 = H(ix + 1, iz + 1);
        // The cell's two triangles share the diagonal from (ix + 1, iz) to (ix, iz + 1).
        double best = inf;
        {
            const double a = h10 - h00, b = h01 - h00;
            const double denom = dy - a * dx - b * dz;
            if (std::fabs(denom) >= 1e-9)
            {
                const double fx0 = ox - ix, fz0 = oz - iz;
                const double t = (h00 + fx0 * a + fz0 * b - oy) / denom;
                const double fx = fx0 + t * dx, fz = fz0 + t * dz;
                if (t >= 0.0 && fx >= -kEdge && fz >= -kEdge && fx + fz <= 1.0 + kEdge)
                    best = t;
            }
        }
        {
            const double a = h01 - h11, b = h10 - h11; // along -x and -z from (ix + 1, iz + 1)
            const double denom = dy + a * dx + b * dz;
            if (std::fabs(denom) >= 1e-9)
            {
                const double gx0 = ix + 1 - ox, gz0 = iz + 1 - oz;
                const double t = (h11 + gx0 * a + gz0 * b - oy) / denom;
                const double gx = gx0 - t * dx, gz = gz0 - t * dz;
                if (t >= 0.0 && t < best && gx >= -kEdge && gz >= -kEdge && gx + gz <= 1.0 + kEdge)
                    best = t;
            }
        }
        if (best < inf)
        {
            const float t = float(best);
            hit = Vector3(origin.x + direction.x * t, origin.y + direction.y * t, origin.z + direction.z * t);
            return true;
        }
        if (nextX < nextZ)
        {
            if (nextX > t1)
                return false;
            ix += stepX;
            nextX += deltaX;
        }
        else
        {
            if (nextZ > t1)
                return false;
            iz += stepZ;
            nextZ += deltaZ;
        }
        if (ix < 0 || iz < 0 || ix > lastX || iz > lastZ)
            return false;
    }
}

void HeightMap::GatherCollisionPlanes(const Vector3& centre, float radius, std::vector<Plane>& out) const
{
    if (mTiles.empty() || !(std::isfinite(centre.x) && std::isfinite(centre.z) && std::isfinite(radius)))
        return;
    auto range = [this](float low, float high, int32_t count, int32_t& first, int32_t& end) {
        first = int32_t(std::clamp(std::floor(low * mInvTileScale), 0.0f, float(count)));
        end = int32_t(std::clamp(std::ceil(high * mInvTileScale), 0.0f, float(count)));
        // A circle smaller than a tile, or beside the map, still gets the vertex nearest to it.
        if (first == count)
            first = count - 1;
        if (end <= first)
            end = first + 1;
    };
    int32_t x0, x1, z0, z1;
    range(centre.x - radius, centre.x + radius, mMapWidthSize, x0, x1);
    range(centre.z - radius, centre.z + radius, mMapDepthSize, z0, z1);
    for (int32_t z = z0; z < z1; ++z)
    {
        for (int32_t x = x0; x < x1; ++x)
        {
            // The vertex's own height and normal: on the far edge the height query would say 0.
            const HeightTile& t = Tile(x, z);
            const float d = -(t.nx * t.x + t.ny * t.y + t.nz * t.z);
            out.push_back(Plane(t.nx, t.ny, t.nz, d).Normalized());
        }
    }
}

bool HeightMap::SaveHeightImage(const std::string& fileName) const
{
    Image image;
    image.Allocate(kSurfaceSide, kSurfaceSide, Image::Format::BGR8);
    for (int32_t z = 0; z < mMapDepthSize; ++z)
    {
        const uint32_t row = uint32_t(mMapDepthSize - 1 - z);
        for (int32_t x = 0; x < mMapWidthSize; ++x)
        {
            float grey = std::trunc(255.0f * H(x, z) / mHeightScale) - 20.0f;
            grey = std::isnan(grey) ? 0.0f : std::clamp(grey, 0.0f, 255.0f);
            uint8_t* p = image.Pixel(uint32_t(x), row);
            p[0] = p[1] = p[2] = uint8_t(grey);
        }
    }
    std::string why;
    if (!image.SaveBmp(DataFilePath(fileName), &why))
    {
        Console::Instance().Log("HeightMap: cannot write \"" + fileName + "\": " + why, LogError);
        return false;
    }
    return true;
}

void HeightMap::RebuildTerrain()
{
    if (mTerrain)
        mTerrain->RebuildAllPatches();
}

void HeightMap::DeformTerrain(int32_t kind, float x, float y, float z, float r1, float r2, float h0)
{
    if (mTerrain && mTerrain->GetDeform())
        mTerrain->GetDeform()->Deform(kind, x, y, z, r1, r2, h0);
}

void HeightMap::DeformAtObject(const Vector3& p) { DeformTerrain(6, p.x, p.y, p.z, 3.0f, 12.0f, mBaseHeight); }

void HeightMap::AddDeformation(const Vector3& p, float radius, float depth, float duration)
{
    if (mTerrain && mTerrain->GetDeform())
        mTerrain->GetDeform()->AddDeformation(p.x, p.y, p.z, radius, depth, duration);
}

void HeightMap::AddDecal(const Vector3& p, float size, int32_t kind, float lifetime)
{
    if (mTerrain && mTerrain->GetDeform())
        mTerrain->GetDeform()->AddDecal(p.x, p.y, p.z, size, kind, lifetime);
}

CompFactory* HeightMapFactory() { return &gHeightMapFactory; }
