#include <gtest/gtest.h>

#include "tests/graphics/scenery/SceneryFixture.h"
#include "graphics/terrain/ImageFile.h"
#include "tests/LOOM/support/TempDir.h"
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
    EXPECT_EQ(mTerrain->GetTrianglesDrawn(), 4u * 512u);
    const Image frame = Frame();
    const uint32_t centre = frame.GetARGB(400, 300);
    EXPECT_EQ(Green(centre), 255) << std::hex << centre;
    EXPECT_EQ(Red(centre), 0);
    EXPECT_EQ(Blue(centre), 0);
    // The map is 64 wide at 100 away: about 0.75 of the height; the corners show the clear colour.
    EXPECT_EQ(frame.GetARGB(5, 5), 0xFF808080u);
    EXPECT_EQ(frame.GetARGB(795, 595), 0xFF808080u);

    // Facing away from the map: the quadtree rejects every patch.
    SetCamera(LookAt(Vector3(32.0f, 103.0f, 32.0f), Vector3(32.0f, 200.0f, 32.0f), Vector3(0.0f, 0.0f, 1.0f)));
    Clear();
    mTerrain->Render(Frustum(), 0.0f);
    EXPECT_EQ(mTerrain->GetPatchesDrawn(), 0u);
    EXPECT_EQ(Frame().GetARGB(400, 300), 0xFF808080u);

    // Looking at one corner patch only.
    SetCamera(LookAt(Vector3(8.0f, 13.0f, 8.0f), Vector3(8.0f, 3.0f, 8.0f), Vector3(0.0f, 0.0f, 1.0f)));
    mTerrain->Render(Frustum(), 0.0f);
    EXPECT_EQ(mTerrain->GetPatchesDrawn(), 1u);
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
    EXPECT_EQ(mLoom->GetTerrain(), mTerrain.get());
    mTerrain.reset();
    EXPECT_EQ(mLoom->GetTerrain(), nullptr);
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
