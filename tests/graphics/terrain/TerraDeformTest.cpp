#include <gtest/gtest.h>

#include <cmath>

#include "graphics/terrain/TerraDeform.h"
#include "graphics/terrain/TerrainSurface.h"
#include "tests/graphics/terrain/TerrainFixture.h"
#include "tests/input/LogProbe.h"

namespace {
// Records what the deformation asks of the terrain.
class RecordingSurface : public TerrainSurface
{
public:
    explicit RecordingSurface(TerraDeform& deform) : mDeform(deform) {}
    TerraDeform* GetDeform() override { return &mDeform; }
    void RebuildPatch(int px, int pz) override { mPatches.push_back(pz * 100 + px); }
    void RebuildAllPatches() override { ++mAll; }
    void RebuildArea(const Vector3&, float radius) override { mAreas.push_back(radius); }
    void PaintInfoTexture(const Vector3&, float inner, float outer, int layer) override
    {
        mPaints.push_back({inner, outer, float(layer)});
    }

    TerraDeform& mDeform;
    std::vector<int> mPatches;
    std::vector<float> mAreas;
    std::vector<std::array<float, 3>> mPaints;
    int mAll = 0;
};

class TerraDeformTest : public TerrainFiles
{
protected:
    void SetUp() override
    {
        TerrainFiles::SetUp();
        mMap = FlatMap(65, 65, 1.0f);
        SetHeights(*mMap, [](int32_t x, int32_t z) { return 10.0f + 0.1f * float(x) + 0.05f * float(z); });
        mDeform.Init(mMap.get());
        mMap->SetTerrain(&mSurface);
    }

    std::vector<float> Heights() const
    {
        std::vector<float> out;
        for (int32_t z = 0; z < 65; ++z)
            for (int32_t x = 0; x < 65; ++x)
                out.push_back(mMap->Tile(x, z).y);
        return out;
    }

    void ExpectBase() const
    {
        for (int32_t z = 0; z < 65; ++z)
            for (int32_t x = 0; x < 65; ++x)
                ASSERT_EQ(mMap->Tile(x, z).y, mDeform.GetBaseHeight(x, z)) << x << ", " << z;
    }

    std::unique_ptr<HeightMap> mMap;
    TerraDeform mDeform;
    RecordingSurface mSurface{mDeform};
};
} // namespace

TEST_F(TerraDeformTest, PermanentKindsBumpFlattenAndLevel)
{
    const float before = mMap->Tile(20, 20).y;
    mMap->DeformTerrain(0, 20.0f, 0.0f, 20.0f, 5.0f, 5.0f, 0.0f);
    EXPECT_NEAR(mMap->Tile(20, 20).y, before + 5.0f, 1e-5) << "the sphere's height at its centre";
    EXPECT_NEAR(mMap->Tile(23, 24).y, mDeform.GetBaseHeight(23, 24), 1e-6);
    EXPECT_NEAR(mMap->Tile(23, 24).y, 10.0f + 2.3f + 1.2f, 1e-4) << "3-4-5: on the sphere's rim";
    EXPECT_EQ(mSurface.mAreas.size(), 1u);
    ASSERT_EQ(mSurface.mPaints.size(), 1u);
    EXPECT_EQ(mSurface.mPaints[0][2], -1.0f);
    EXPECT_GT(mMap->Tile(20, 20).ny, 0.0f);
    EXPECT_NE(mMap->Tile(22, 20).nx, 0.0f) << "normals follow the bump";

    // Flatten: inside r1 every vertex takes the box average.
    mMap->DeformTerrain(2, 40.0f, 0.0f, 40.0f, 3.0f, 6.0f, 0.0f);
    const float centre = mMap->Tile(40, 40).y;
    for (int32_t z = 37; z <= 43; ++z)
        for (int32_t x = 37; x <= 43; ++x)
            if ((x - 40) * (x - 40) + (z - 40) * (z - 40) <= 9)
            {
                EXPECT_EQ(mMap->Tile(x, z).y, centre) << x << ", " << z;
            }
    EXPECT_NEAR(centre, 10.0f + 4.0f + 2.0f, 0.05f) << "the average of a plane is its middle";

    // Kind 6 levels a square to h0; with r2 = r1 the ramp neither divides by 0 nor overshoots.
    const std::vector<float> base = Heights();
    mMap->DeformTerrain(6, 30.0f, 0.0f, 10.0f, 3.0f, 3.0f, 2.0f);
    for (int32_t z = 0; z < 65; ++z)
        for (int32_t x = 0; x < 65; ++x)
        {
            const bool inside = std::abs(x - 30) <= 3 && std::abs(z - 10) <= 3;
            const float h = mMap->Tile(x, z).y;
            ASSERT_TRUE(std::isfinite(h));
            ASSERT_EQ(h, inside ? 2.0f : base[size_t(z) * 65 + size_t(x)]) << x << ", " << z;
        }
    // With a ramp the heights stay between h0 and the old ground.
    mMap->DeformAtObject(Vector3(50.0f, 0.0f, 20.0f));
    for (int32_t x = 38; x < 63; ++x)
    {
        const float h = mMap->Tile(x, 20).y, old = base[20 * 65 + size_t(x)];
        EXPECT_GE(h, std::min(old, mMap->mBaseHeight) - 1e-4f) << x;
        EXPECT_LE(h, std::max(old, mMap->mBaseHeight) + 1e-4f) << x;
    }
    // Outside the map nothing happens.
    const std::vector<float> now = Heights();
    mMap->DeformTerrain(0, -1.0f, 0.0f, 5.0f, 5.0f, 5.0f, 0.0f);
    mMap->DeformTerrain(0, 5.0f, 0.0f, 65.0f, 5.0f, 5.0f, 0.0f);
    EXPECT_EQ(Heights(), now);
}

TEST_F(TerraDeformTest, ADentEndsOnTheBaseHeightsExactly)
{
    mMap->DeformTerrain(0, 20.0f, 0.0f, 20.0f, 4.0f, 4.0f, 0.0f); // permanent, survives the dent
    const std::vector<float> base = Heights();
    mMap->AddDeformation(Vector3(24.0f, 0.0f, 24.0f), 15.0f, 4.0f, 0.5f);
    mDeform.Update(0.1f);
    EXPECT_NE(Heights(), base) << "the ripple moves the ground";
    EXPECT_FALSE(mSurface.mPatches.empty());
    EXPECT_FALSE(mSurface.mPaints.empty());
    for (int frame = 0; frame < 5; ++frame)
        mDeform.Update(0.1f);
    EXPECT_EQ(mDeform.GetDeformations()[0].state, 0);
    EXPECT_EQ(Heights(), base);
    ExpectBase();
}

TEST_F(TerraDeformTest, TheSeventeenthDentReplacesTheOneNearestItsEnd)
{
    const std::vector<float> base = Heights();
    for (int i = 0; i < 16; ++i)
    {
        // Slot 5 started longest ago relative to its duration: it ends first.
        mMap->AddDeformation(Vector3(8.0f + 3.0f * float(i % 4), 0.0f, 8.0f + 3.0f * float(i / 4)), 6.0f, 2.0f,
                             i == 5 ? 0.3f : 1.0f);
    }
    mDeform.Update(0.1f);
    EXPECT_NE(Heights(), base);
    mSurface.mAreas.clear();
    mMap->AddDeformation(Vector3(50.0f, 0.0f, 50.0f), 6.0f, 2.0f, 1.0f);
    const auto& slots = mDeform.GetDeformations();
    EXPECT_EQ(slots[5].x, 50.0f);
    EXPECT_EQ(slots[5].duration, 1.0f);
    EXPECT_EQ(slots[5].halfRadius, 3.0f);
    ASSERT_EQ(mSurface.mAreas.size(), 1u) << "the replaced dent's ground is redrawn";
    // Everything is restored once the rest run out.
    for (int frame = 0; frame < 12; ++frame)
        mDeform.Update(0.1f);
    EXPECT_EQ(Heights(), base);
    mMap->AddDeformation(Vector3(20.0f, 0.0f, 20.0f), 6.0f, 2.0f, 1.0f);
    mDeform.Update(0.1f);
    mDeform.Reset();
    EXPECT_EQ(Heights(), base) << "a reset ends running dents";
}

TEST_F(TerraDeformTest, DecalsFollowTheGroundAndAreClippedAtTheCorner)
{
    mMap->AddDecal(Vector3(10.0f, 0.0f, 12.0f), 2.0f, 1, 3.0f);
    const TerrainDecal& decal = mDeform.GetDecals()[0];
    ASSERT_EQ(decal.kind, 1);
    EXPECT_EQ(decal.nx, 5); // tiles 8 .. 13
    EXPECT_EQ(decal.nz, 5);
    EXPECT_EQ(decal.vertexCount, 36);
    EXPECT_EQ(decal.triangleCount, 50);
    EXPECT_EQ(decal.vertices[0].y, mMap->Tile(8, 10).y);
    EXPECT_FLOAT_EQ(decal.vertices[0].u, 0.0f);
    EXPECT_FLOAT_EQ(decal.vertices[7].u, 0.25f); // (9 - 8) / 4
    EXPECT_FLOAT_EQ(decal.vertices[7].v, 0.25f);
    const std::vector<uint16_t> first(decal.indices.begin(), decal.indices.begin() + 6);
    EXPECT_EQ(first, (std::vector<uint16_t>{1, 0, 6, 1, 6, 7}));

    // A dent under it lifts its vertices with the ground.
    const uint32_t version = decal.version;
    mMap->AddDeformation(Vector3(10.0f, 0.0f, 12.0f), 6.0f, 3.0f, 1.0f);
    mDeform.Update(0.2f);
    EXPECT_GT(decal.version, version);
    EXPECT_EQ(decal.vertices[14].y, mMap->Tile(10, 12).y);

    mMap->AddDecal(Vector3(63.5f, 0.0f, 64.0f), 3.0f, 0, 10.0f);
    const TerrainDecal& corner = mDeform.GetDecals()[1];
    EXPECT_EQ(corner.x0, 60);
    EXPECT_EQ(corner.nx, 4) << "clipped at the last column";
    EXPECT_EQ(corner.nz, 3);
    // Beyond the map the footprint has no width: nothing is laid.
    mMap->AddDecal(Vector3(90.0f, 0.0f, 10.0f), 2.0f, 2, 10.0f);
    EXPECT_EQ(mDeform.GetDecals()[2].kind, TerrainDecal::kFree);
    // Lifetimes run out.
    mDeform.Update(3.0f);
    EXPECT_EQ(decal.kind, TerrainDecal::kFree);
    EXPECT_TRUE(decal.vertices.empty());
    EXPECT_EQ(corner.kind, 0);
}

TEST_F(TerraDeformTest, RefusedCallsChangeNothing)
{
    mMap->AddDecal(Vector3(10.0f, 0.0f, 10.0f), 2.0f, 0, 5.0f);
    const std::vector<float> heights = Heights();
    LogProbe log;
    mMap->AddDecal(Vector3(10.0f, 0.0f, 10.0f), 2.0f, 3, 5.0f);
    mMap->AddDecal(Vector3(10.0f, 0.0f, 10.0f), 2.0f, -1, 5.0f);
    mMap->AddDecal(Vector3(10.0f, 0.0f, 10.0f), 0.0f, 0, 5.0f);
    mMap->AddDecal(Vector3(10.0f, 0.0f, 10.0f), 2.0f, 0, -1.0f);
    mMap->AddDeformation(Vector3(10.0f, 0.0f, 10.0f), 5.0f, 2.0f, 0.0f);
    mMap->AddDeformation(Vector3(10.0f, 0.0f, 10.0f), -5.0f, 2.0f, 1.0f);
    mMap->AddDeformation(Vector3(NAN, 0.0f, 10.0f), 5.0f, 2.0f, 1.0f);
    EXPECT_EQ(log.Count("TerraDeform: refused"), 7);
    mMap->DeformTerrain(9, 10.0f, 0.0f, 10.0f, 3.0f, 4.0f, 0.0f);
    mMap->DeformTerrain(0, 10.0f, 0.0f, 10.0f, NAN, 4.0f, 0.0f);
    mDeform.Update(0.1f);
    EXPECT_EQ(Heights(), heights);
    int used = 0;
    for (const TerrainDecal& d : mDeform.GetDecals())
        used += d.kind != TerrainDecal::kFree;
    EXPECT_EQ(used, 1);
    for (const TimedDeformation& d : mDeform.GetDeformations())
        EXPECT_EQ(d.state, 0);
}
