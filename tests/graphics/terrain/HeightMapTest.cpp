#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "graphics/terrain/HeightMap.h"
#include "graphics/terrain/ImageFile.h"
#include "tests/graphics/terrain/TerrainFixture.h"
#include "tests/input/LogProbe.h"

using HeightMapFiles = TerrainFiles;

TEST_F(HeightMapFiles, ImageRowsComeFromTheBottomAndOnlyBlueCounts)
{
    // 4 x 3 image on a 5 x 5 map: blue = 10 x + 60 y + 5; green and red are noise.
    WriteBmp("Hills.bmp", 4, 3, [](uint32_t x, uint32_t y, uint8_t* p) {
        p[0] = uint8_t(10 * x + 60 * y + 5);
        p[1] = 200;
        p[2] = 99;
    });
    HeightMap map;
    map.mMapFile = "Hills.bmp";
    map.mMapWidthSize = 5;
    map.mMapDepthSize = 5;
    map.mTileScale = 2.0f;
    map.mHeightScale = 255.0f;
    map.mAutoBuildTerrain = false;
    LogProbe log;
    map.Initialize();
    EXPECT_EQ(log.Count("HeightMap"), 0);
    // Tile row z reads image row 4 - z: rows 2, 1, 0 hold pixels; the rest is black.
    const struct
    {
        int32_t x, z;
        float height;
    } cases[] = {{0, 0, 0.0f},  {1, 1, 0.0f},  {0, 2, 125.0f}, {3, 2, 155.0f}, {4, 2, 0.0f},
                 {0, 3, 65.0f}, {2, 3, 85.0f}, {0, 4, 5.0f},   {3, 4, 35.0f}};
    for (const auto& c : cases)
        EXPECT_NEAR(map.Tile(c.x, c.z).y, c.height, 1e-4) << c.x << ", " << c.z;
    const HeightTile& t = map.Tile(3, 1);
    EXPECT_EQ(t.x, 6.0f);
    EXPECT_EQ(t.z, 2.0f);
    EXPECT_EQ(t.u, 0.25f) << "u is the row fraction";
    EXPECT_EQ(t.v, 0.75f) << "v is the column fraction";
    EXPECT_EQ(HeightMap::Current(), &map);
    EXPECT_EQ(Ground::Current(), &map);
}

TEST_F(HeightMapFiles, MissingImageAndBadSizesAreLoggedAndSafe)
{
    LogProbe log;
    HeightMap map;
    map.mMapFile = "Nowhere.bmp";
    map.mMapWidthSize = 900;
    map.mMapDepthSize = 1;
    map.mTileScale = -3.0f;
    map.mAutoBuildTerrain = false;
    map.Initialize();
    EXPECT_EQ(log.Count("Nowhere.bmp"), 1);
    EXPECT_EQ(log.Count("MapWidthSize 900"), 1);
    EXPECT_EQ(log.Count("MapDepthSize 1"), 1);
    EXPECT_EQ(log.Count("TileScale"), 1);
    EXPECT_EQ(map.mMapWidthSize, 512);
    EXPECT_EQ(map.mMapDepthSize, 2);
    EXPECT_EQ(map.mTileScale, 1.0f);
    EXPECT_EQ(map.Tile(511, 1).y, 0.0f);
    EXPECT_EQ(map.Tile(511, 1).x, 511.0f);
    EXPECT_EQ(map.Tile(511, 1).v, 1.0f);
    EXPECT_FLOAT_EQ(map.Tile(5, 1).ny, 1.0f);
}

TEST_F(HeightMapFiles, OnlyTheCurrentMapClearsTheCurrentPointer)
{
    auto first = FlatMap(3, 3, 1.0f);
    {
        auto second = FlatMap(3, 3, 1.0f);
        EXPECT_EQ(HeightMap::Current(), second.get());
    }
    EXPECT_EQ(HeightMap::Current(), nullptr);
    auto third = FlatMap(3, 3, 1.0f);
    first.reset();
    EXPECT_EQ(HeightMap::Current(), third.get());
    EXPECT_EQ(Ground::Current(), third.get());
    third.reset();
    EXPECT_EQ(Ground::Current(), nullptr);
}

TEST_F(HeightMapFiles, HeightQueriesBlendInsideAndAreZeroOutside)
{
    auto map = FlatMap(257, 257, 1.0f);
    SetHeights(*map, [](int32_t x, int32_t z) { return 1.0f + float(x) + 2.0f * float(z); });
    const struct
    {
        float x, z, height;
    } cases[] = {
        {255.0f, 255.0f, 766.0f}, {255.5f, 0.0f, 0.0f}, {0.0f, 255.5f, 0.0f}, {-0.01f, 3.0f, 0.0f},
        {10.25f, 20.5f, 52.25f},  {0.0f, 0.0f, 1.0f},   {1e30f, 1.0f, 0.0f},  {NAN, 1.0f, 0.0f},
    };
    for (const auto& c : cases)
    {
        EXPECT_FLOAT_EQ(map->GetHeight(c.x, c.z), c.height) << c.x << ", " << c.z;
        Vector3 p(c.x, 99.0f, c.z);
        EXPECT_FLOAT_EQ(map->SnapToTerrain(p), c.height);
        EXPECT_FLOAT_EQ(p.y, c.height);
    }
    EXPECT_FLOAT_EQ(map->GetHeightAt(Vector3(10.25f, -5.0f, 20.5f)), 52.25f);
}

TEST_F(HeightMapFiles, TriangleHeightsMeetAtCornersAndOnTheDiagonal)
{
    auto map = FlatMap(4, 4, 2.0f);
    SetHeights(*map, [](int32_t x, int32_t z) { return float((x * 7 + z * 13) % 5) - float(x * z); });
    for (int32_t z = 0; z <= 2; ++z)
        for (int32_t x = 0; x <= 2; ++x)
            EXPECT_FLOAT_EQ(map->GetTriangleHeight(x * 2.0f, z * 2.0f), map->Tile(x, z).y) << x << ", " << z;
    // On the diagonal from (ix + 1, iz) to (ix, iz + 1) the height is the line between them.
    for (float f : {0.0f, 0.25f, 0.5f, 0.999f})
    {
        const float expected = (1.0f - f) * map->Tile(2, 1).y + f * map->Tile(1, 2).y;
        EXPECT_NEAR(map->GetTriangleHeight(2.0f + 2.0f * (1.0f - f), 2.0f + 2.0f * f), expected, 1e-4) << f;
    }
    EXPECT_EQ(map->GetTriangleHeight(4.01f, 1.0f), 0.0f);
    EXPECT_EQ(map->GetTriangleHeight(1.0f, -0.01f), 0.0f);
}

TEST_F(HeightMapFiles, GenerationFlattensTheCentreAndLowersTheBorder)
{
    for (float flatRadius : {10.0f, 0.0f})
    {
        mDir.Write("Data/MapGeneration.xml", GenerationFile(flatRadius, 0, 3.5f));
        auto map = FlatMap(65, 65, 1.0f);
        ASSERT_TRUE(map->GenerateMap());
        EXPECT_EQ(map->mBaseHeight, 3.5f);
        EXPECT_EQ(map->Tile(32, 32).y, 3.5f) << "flatRadius " << flatRadius;
        for (int32_t i = 1; i <= 63; ++i)
        {
            EXPECT_FLOAT_EQ(map->Tile(i, 0).y, 0.95f * map->Tile(i, 1).y);
            EXPECT_FLOAT_EQ(map->Tile(i, 64).y, 0.95f * map->Tile(i, 63).y);
            EXPECT_FLOAT_EQ(map->Tile(0, i).y, 0.95f * map->Tile(1, i).y);
            EXPECT_FLOAT_EQ(map->Tile(64, i).y, 0.95f * map->Tile(63, i).y);
        }
        EXPECT_FLOAT_EQ(map->Tile(64, 64).y, 0.95f * map->Tile(63, 64).y);
        bool varied = false;
        for (int32_t i = 1; i < 64; ++i)
            varied |= std::fabs(map->Tile(i, 5).y - map->Tile(5, 5).y) > 0.1f;
        EXPECT_TRUE(varied) << "noise shapes the rest";
    }
}

TEST_F(HeightMapFiles, GenerationWithoutSettingsKeepsTheHeights)
{
    auto map = FlatMap(9, 9, 1.0f);
    SetHeights(*map, [](int32_t x, int32_t) { return float(x); });
    {
        LogProbe log;
        EXPECT_FALSE(map->GenerateMap());
        EXPECT_EQ(log.Count("MapGeneration.xml not found"), 1);
    }
    mDir.Write("Data/MapGeneration.xml", GenerationFile(3.0f, 2, 1.0f, false));
    LogProbe log;
    EXPECT_FALSE(map->GenerateMap());
    EXPECT_EQ(log.Count("lacks \"NoiseFrequency\""), 1);
    for (int32_t x = 0; x < 9; ++x)
        EXPECT_EQ(map->Tile(x, 4).y, float(x));
}

namespace {
// The ground under (u, w) in tile units over the whole grid, split as the map splits cells.
float TriangleHeight(const HeightMap& map, double u, double w)
{
    const int32_t ix = std::min(int32_t(u), map.mMapWidthSize - 2), iz = std::min(int32_t(w), map.mMapDepthSize - 2);
    const double fx = u - ix, fz = w - iz;
    const double h00 = map.Tile(ix, iz).y, h10 = map.Tile(ix + 1, iz).y, h01 = map.Tile(ix, iz + 1).y,
                 h11 = map.Tile(ix + 1, iz + 1).y;
    if (fx + fz < 1.0)
        return float(fz * h01 + fx * h10 + (1.0 - fx - fz) * h00);
    return float((fx + fz - 1.0) * h11 + (1.0 - fz) * h10 + (1.0 - fx) * h01);
}

enum class Marched
{
    Miss,
    Hit,
    FromTheSide
};

// Small steps along the ray from where it first reaches the highest ground. A ray already
// under the ground where it first stands over the grid came through the grid's side.
Marched March(const HeightMap& map, const Vector3& o, const Vector3& d, Vector3& hit)
{
    const double ts = map.mTileScale;
    const double horizontal = std::sqrt(double(d.x) * d.x + double(d.z) * d.z) / ts;
    const double step = std::min(1.0 / 64.0 / std::max(horizontal, 1e-9), 1.0 / 64.0 / std::fabs(d.y));
    const double tEnd = (map.GetMinHeight() - o.y) / d.y;
    bool first = true;
    for (double t = std::max(0.0, double(map.GetMaxHeight() - o.y) / d.y); t <= tEnd + step; t += step)
    {
        const double u = (o.x + t * d.x) / ts, w = (o.z + t * d.z) / ts;
        if (u < 0.0 || w < 0.0 || u > map.mMapWidthSize - 1 || w > map.mMapDepthSize - 1)
            continue;
        if (o.y + t * d.y <= TriangleHeight(map, u, w))
        {
            hit = Vector3(float(o.x + t * d.x), float(o.y + t * d.y), float(o.z + t * d.z));
            return first ? Marched::FromTheSide : Marched::Hit;
        }
        first = false;
    }
    return Marched::Miss;
}
} // namespace

TEST_F(HeightMapFiles, RayWalkFindsWhatAFineMarchFinds)
{
    auto map = FlatMap(65, 49, 2.0f);
    // Hills and a pit below 0.
    SetHeights(*map, [](int32_t x, int32_t z) {
        return 6.0f * std::sin(float(x) * 0.3f) * std::cos(float(z) * 0.2f) - (x > 40 && z > 30 ? 9.0f : 0.0f);
    });
    std::mt19937 random(7);
    std::uniform_real_distribution<float> across(-30.0f, 160.0f), up(8.0f, 60.0f), lean(-1.0f, 1.0f),
        down(-1.0f, -0.05f);
    int hits = 0, misses = 0;
    for (int i = 0; i < 10000; ++i)
    {
        const Vector3 origin(across(random), up(random), across(random));
        const Vector3 direction(lean(random), down(random), lean(random));
        Vector3 walked, marched;
        const bool w = map->IntersectRay(origin, direction, walked);
        const Marched marchedAs = March(*map, origin, direction, marched);
        if (marchedAs == Marched::FromTheSide)
            continue;
        const bool m = marchedAs == Marched::Hit;
        ASSERT_EQ(w, m) << "ray " << i;
        if (!w)
        {
            ++misses;
            continue;
        }
        ++hits;
        const float dx = (walked.x - marched.x) / 2.0f, dz = (walked.z - marched.z) / 2.0f;
        ASSERT_LE(std::sqrt(dx * dx + dz * dz), 1.0f / 16.0f) << "ray " << i;
        ASSERT_NEAR(walked.y, TriangleHeight(*map, walked.x / 2.0, walked.z / 2.0), 1e-3) << "on the ground";
    }
    EXPECT_GT(hits, 2000);
    EXPECT_GT(misses, 500);
    Vector3 hit;
    EXPECT_FALSE(map->IntersectRay(Vector3(10, 20, 10), Vector3(1, 0, 0), hit)) << "level";
    EXPECT_FALSE(map->IntersectRay(Vector3(10, -20, 10), Vector3(0, 1, 0), hit)) << "upward";
    ASSERT_TRUE(map->IntersectRay(Vector3(100, 20, 80), Vector3(0, -1, 0), hit)) << "into the pit";
    EXPECT_NEAR(hit.y, map->GetHeight(100, 80), 1e-4);
    EXPECT_LT(hit.y, 0.0f);
}

TEST_F(HeightMapFiles, FlatGroundGivesLevelPlanes)
{
    auto map = FlatMap(20, 20, 2.0f);
    SetHeights(*map, [](int32_t, int32_t) { return 4.0f; });
    std::vector<Plane> planes;
    map->GatherCollisionPlanes(Vector3(10.0f, 0.0f, 10.0f), 3.0f, planes);
    EXPECT_EQ(planes.size(), 16u) << "vertices 3 to 6 each way";
    for (const Plane& p : planes)
    {
        EXPECT_FLOAT_EQ(p.a, 0.0f);
        EXPECT_FLOAT_EQ(p.b, 1.0f);
        EXPECT_FLOAT_EQ(p.c, 0.0f);
        EXPECT_FLOAT_EQ(p.d, -4.0f);
    }
    map->GatherCollisionPlanes(Vector3(-50.0f, 0.0f, 10.0f), 1.0f, planes);
    EXPECT_EQ(planes.size(), 16u + 2u) << "beside the map the edge column stands in";
    // A slope: the plane holds its vertex and leans against the rise.
    SetHeights(*map, [](int32_t x, int32_t) { return float(x); });
    planes.clear();
    map->GatherCollisionPlanes(Vector3(10.0f, 0.0f, 10.0f), 0.5f, planes);
    ASSERT_FALSE(planes.empty());
    EXPECT_LT(planes[0].a, 0.0f);
    EXPECT_NEAR(planes[0].DotCoord(Vector3(10.0f, 5.0f, 10.0f)), 0.0f, 1e-4);
}

TEST_F(HeightMapFiles, SavedHeightsReadBackTwentyStepsLower)
{
    HeightMap map;
    map.mMapWidthSize = 40;
    map.mMapDepthSize = 30;
    map.mHeightScale = 50.0f;
    map.mAutoBuildTerrain = false;
    map.Initialize();
    SetHeights(map, [](int32_t x, int32_t z) { return float((x * 11 + z * 5) % 256) / 255.0f * 50.0f; });
    ASSERT_TRUE(map.SaveHeightImage("HMapOutput.bmp"));
    Image saved;
    std::string error;
    ASSERT_TRUE(LoadImageFile("HMapOutput.bmp", saved, error));
    EXPECT_EQ(saved.mWidth, 512u);
    HeightMap again;
    again.mMapFile = "HMapOutput.bmp";
    again.mMapWidthSize = 40;
    again.mMapDepthSize = 30;
    again.mHeightScale = 50.0f;
    again.mAutoBuildTerrain = false;
    again.Initialize();
    for (int32_t z = 0; z < 30; ++z)
        for (int32_t x = 0; x < 40; ++x)
        {
            const float grey = float((x * 11 + z * 5) % 256);
            const float expected = std::max(grey - 20.0f, 0.0f) / 255.0f * 50.0f;
            ASSERT_NEAR(again.Tile(x, z).y, expected, 50.0f / 255.0f + 1e-4) << x << ", " << z;
        }
}
