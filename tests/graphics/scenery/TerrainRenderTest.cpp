#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "graphics/terrain/ImageFile.h"
#include "tests/LOOM/support/TempDir.h"
#include "tests/graphics/scenery/SceneryFixture.h"
#include "tests/input/LogProbe.h"

namespace {
uint8_t Red(uint32_t argb) { return uint8_t(argb >> 16); }
uint8_t Green(uint32_t argb) { return uint8_t(argb >> 8); }
uint8_t Blue(uint32_t argb) { return uint8_t(argb); }
} // namespace

using TerrainRender = SceneryFixture;

TEST_F(TerrainRender, GroundIsDrawnWhereItProjects)
{
    LogProbe log;
    MakeTerrain(3.0f);
    EXPECT_EQ(log.Count("plain grass"), 0);
    EXPECT_EQ(log.Count("all grass"), 1) << "no info texture named";
    EXPECT_EQ(mTerrain->GetPatchesPerSide(), 2);
    // Straight down on the map's centre (32, 32) from 100 above: the map fills the middle.
    SetCamera(LookAt(Vector3(32.0f, 103.0f, 32.0f), Vector3(32.0f, 3.0f, 32.0f), Vector3(0.0f, 0.0f, 1.0f)));
    Clear();
    mTerrain->Render(Frustum(), 0.0f);
    EXPECT_EQ(mTerrain->GetPatchesDrawn(), 4u);
    // Flat ground: every patch draws its coarsest mesh, which misses no height.
    EXPECT_EQ(mTerrain->GetTrianglesDrawn(), 4u * 64u);
    const Image frame = Frame();
    const uint32_t centre = frame.GetARGB(400, 300);
    EXPECT_EQ(Green(centre), 255) << std::hex << centre;
    EXPECT_EQ(Red(centre), 0);
    EXPECT_EQ(Blue(centre), 0);
    // The map is 64 wide at 100 away: about 0.75 of the height; the corners show the clear colour.
    EXPECT_EQ(frame.GetARGB(5, 5), 0xFF808080u);
    EXPECT_EQ(frame.GetARGB(795, 595), 0xFF808080u);
    EXPECT_FALSE(mTerrain->FillsView(mView * mProjection)) << "the sky would show in the corners";

    // Facing away from the map: the quadtree rejects every patch.
    SetCamera(LookAt(Vector3(32.0f, 103.0f, 32.0f), Vector3(32.0f, 200.0f, 32.0f), Vector3(0.0f, 0.0f, 1.0f)));
    Clear();
    mTerrain->Render(Frustum(), 0.0f);
    EXPECT_EQ(mTerrain->GetPatchesDrawn(), 0u);
    EXPECT_EQ(Frame().GetARGB(400, 300), 0xFF808080u);

    // Looking at one corner patch only: the ground fills the frame, so nothing behind it needs drawing.
    SetCamera(LookAt(Vector3(8.0f, 13.0f, 8.0f), Vector3(8.0f, 3.0f, 8.0f), Vector3(0.0f, 0.0f, 1.0f)));
    Clear();
    mTerrain->Render(Frustum(), 0.0f);
    EXPECT_EQ(mTerrain->GetPatchesDrawn(), 1u);
    EXPECT_TRUE(mTerrain->FillsView(mView * mProjection));
    const Image filled = Frame();
    for (const auto& [x, y] : {std::pair(0u, 0u), std::pair(799u, 0u), std::pair(0u, 599u), std::pair(799u, 599u)})
        EXPECT_EQ(Green(filled.GetARGB(x, y)), 255) << x << "," << y;
}

TEST_F(TerrainRender, PaintedGrassTurnsToDirtUnderACrater)
{
    MakeTerrain(3.0f);
    SetCamera(LookAt(Vector3(32.0f, 103.0f, 32.0f), Vector3(32.0f, 3.0f, 32.0f), Vector3(0.0f, 0.0f, 1.0f)));
    mTerrain->PaintInfoTexture(Vector3(32.0f, 0.0f, 32.0f), 0.0f, 10.0f, 0); // rock first
    mTerrain->PaintInfoTexture(Vector3(32.0f, 0.0f, 32.0f), 0.0f, 6.0f, 1);  // then grass over it
    Clear();
    mTerrain->Render(Frustum(), 0.0f);
    uint32_t centre = Frame().GetARGB(400, 300);
    EXPECT_GT(Green(centre), 200) << std::hex << centre;
    EXPECT_EQ(Red(centre), 0);
    // A carved crater marks its middle as dirt.
    mMap->DeformTerrain(1, 32.0f, 6.0f, 32.0f, 4.0f, 8.0f, 0.0f);
    EXPECT_LT(mMap->GetHeight(32.0f, 32.0f), 3.0f);
    Clear();
    mTerrain->Render(Frustum(), 0.0f);
    centre = Frame().GetARGB(400, 300);
    EXPECT_GT(Red(centre), 150) << std::hex << centre;
    EXPECT_LT(Green(centre), 40);
    const uint8_t* texel = mTerrain->GetInfoImage().Pixel(127, 127);
    EXPECT_EQ(texel[0], 255);
    EXPECT_EQ(texel[1], 0);
    EXPECT_EQ(texel[2], 0);
    // The info texture goes out as a BMP.
    TempDir dir;
    ASSERT_TRUE(mTerrain->SaveInfoTexture(dir.Path("Info.bmp")));
    Image saved;
    std::string error;
    ASSERT_TRUE(LoadImageFile(dir.Path("Info.bmp"), saved, error)) << error;
    EXPECT_EQ(saved.GetARGB(127, 127) & 0xFFFFFFu, 0xFF0000u);
    // The ground rebakes where a paint changes it; a running crater paints the same ring every
    // frame, and that changes nothing.
    for (const auto& [layer, rebakes] :
         {std::pair(1, true), std::pair(1, false), std::pair(-1, true), std::pair(-1, false)})
    {
        const uint64_t bakes = mTerrain->GetGroundBakes();
        mTerrain->PaintInfoTexture(Vector3(32.0f, 0.0f, 32.0f), 0.0f, 6.0f, layer);
        mTerrain->Render(Frustum(), 0.0f);
        EXPECT_EQ(mTerrain->GetGroundBakes() > bakes, rebakes) << layer;
    }
}

TEST_F(TerrainRender, OddMapsAreNotDrawnButAnswerQueries)
{
    mMap = std::make_unique<HeightMap>();
    mMap->mMapWidthSize = 40;
    mMap->mMapDepthSize = 40;
    mMap->mAutoBuildTerrain = false;
    mMap->Initialize();
    LogProbe log;
    mTerrain = std::make_unique<Terrain>();
    mTerrain->Build(mMap.get());
    EXPECT_EQ(log.Count("not square of side 16 n + 1"), 1);
    EXPECT_EQ(mTerrain->GetPatchesPerSide(), 0);
    SetCamera(LookAt(Vector3(20.0f, 40.0f, 20.0f), Vector3(20.0f, 0.0f, 20.0f), Vector3(0.0f, 0.0f, 1.0f)));
    mTerrain->Render(Frustum(), 0.1f);
    EXPECT_EQ(mTerrain->GetPatchesDrawn(), 0u);
    mTerrain->RebuildPatch(0, 0);
    mMap->DeformTerrain(0, 20.0f, 0.0f, 20.0f, 3.0f, 3.0f, 0.0f);
    EXPECT_NEAR(mMap->GetHeight(20.0f, 20.0f), 3.0f, 1e-4);
    EXPECT_EQ(mLoom->GetScene()->mTerrain, mTerrain.get());
    mTerrain.reset();
    EXPECT_EQ(mLoom->GetScene()->mTerrain, nullptr);
    EXPECT_EQ(mMap->GetTerrain(), nullptr);
}

TEST_F(TerrainRender, DecalsDarkenTheGroundAndFadeAway)
{
    MakeTerrain(3.0f);
    SetCamera(LookAt(Vector3(32.0f, 103.0f, 32.0f), Vector3(32.0f, 3.0f, 32.0f), Vector3(0.0f, 0.0f, 1.0f)));
    Clear();
    mTerrain->Render(Frustum(), 0.0f);
    const uint32_t plain = Frame().GetARGB(400, 300);
    mMap->AddDecal(Vector3(32.0f, 3.0f, 32.0f), 8.0f, 0, 10.0f);
    Clear();
    mTerrain->Render(Frustum(), 0.0f);
    const uint32_t marked = Frame().GetARGB(400, 300);
    EXPECT_LT(Green(marked) + 60, Green(plain)) << std::hex << marked << " " << plain;
    // Near the end of its life the mark has almost faded.
    Clear();
    mTerrain->Render(Frustum(), 9.9f);
    const uint32_t faded = Frame().GetARGB(400, 300);
    EXPECT_GT(Green(faded) + 10, Green(plain)) << std::hex << faded;
    mTerrain->Render(Frustum(), 1.0f);
    EXPECT_EQ(mTerrain->GetDeform()->GetDecals()[0].kind, TerrainDecal::kFree);
}

// Each mesh covers the patch once, and uses every vertex of the patch's edges with an edge of
// its own between each two, so patches drawing any two meshes meet without a crack.
TEST(TerrainLod, EveryMeshCoversThePatchAndKeepsItsEdges)
{
    constexpr int32_t side = Terrain::kPatchSide, cells = Terrain::kPatchCells;
    const uint32_t triangles[Terrain::kLods] = {512, 216, 104, 72, 64};
    for (uint32_t lod = 0; lod < Terrain::kLods; ++lod)
    {
        SCOPED_TRACE(lod);
        const std::vector<uint16_t>& mesh = Terrain::LodIndices(lod);
        ASSERT_EQ(mesh.size(), triangles[lod] * 3u);
        int32_t doubleArea = 0;
        std::map<std::pair<int, int>, int> edgeUses;
        for (size_t t = 0; t < mesh.size(); t += 3)
        {
            const int32_t r[3] = {mesh[t] / side, mesh[t + 1] / side, mesh[t + 2] / side};
            const int32_t c[3] = {mesh[t] % side, mesh[t + 1] % side, mesh[t + 2] % side};
            const int32_t area = (r[1] - r[0]) * (c[2] - c[0]) - (r[2] - r[0]) * (c[1] - c[0]);
            EXPECT_LT(area, 0) << "every triangle turns the way the full mesh's do";
            doubleArea -= area;
            for (int k = 0; k < 3; ++k)
            {
                const int a = mesh[t + size_t(k)], b = mesh[t + size_t(k + 1) % 3];
                edgeUses[{std::min(a, b), std::max(a, b)}]++;
            }
        }
        EXPECT_EQ(doubleArea, 2 * cells * cells);
        // Every unit step along the four edges is the side of exactly one triangle.
        for (int32_t k = 0; k < cells; ++k)
        {
            const std::pair<int, int> steps[4] = {{k, k + 1},
                                                  {side * cells + k, side * cells + k + 1},
                                                  {side * k, side * (k + 1)},
                                                  {side * k + cells, side * (k + 1) + cells}};
            for (const auto& step : steps)
                EXPECT_EQ(edgeUses[step], 1) << step.first << "-" << step.second;
        }
    }
}

TEST_F(TerrainRender, HillsAreDrawnInFullUpCloseAndCoarserFarAway)
{
    MakeTerrain(3.0f);
    // Rolling hills on the left patches; the right ones flat, their normals too.
    for (int32_t z = 0; z < 33; ++z)
        for (int32_t x = 0; x <= 12; ++x)
            mMap->Tile(x, z).y = 3.0f + 0.05f * std::sin(float(x) * 0.9f) * std::cos(float(z) * 0.7f);
    mMap->ComputeAllNormals();
    mTerrain->RebuildAllPatches();
    // Close by, a pixel shows less than the coarse meshes miss; from far off, more.
    struct Case
    {
        float height;
        bool full;
    };
    const Case cases[] = {{5.0f, true}, {900.0f, false}};
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.height);
        SetCamera(
            LookAt(Vector3(32.0f, 3.0f + c.height, 32.0f), Vector3(32.0f, 3.0f, 32.0f), Vector3(0.0f, 0.0f, 1.0f)));
        Clear();
        mTerrain->Render(Frustum(), 0.0f);
        EXPECT_EQ(mTerrain->GetPatchLod(0, 0) == 0, c.full) << mTerrain->GetPatchLod(0, 0);
        EXPECT_EQ(mTerrain->GetPatchLod(1, 1), int32_t(Terrain::kLods) - 1) << "flat ground is coarsest anywhere";
    }
}
