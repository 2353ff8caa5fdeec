#include <gtest/gtest.h>

#include "graphics/model/Mesh.h"
#include "graphics/scenery/SkyDome.h"
#include "graphics/scenery/Water.h"
#include "graphics/sky/Sun.h"
#include "tests/graphics/scenery/SceneryFixture.h"
#include "tests/input/LogProbe.h"

namespace {
uint8_t Red(uint32_t argb) { return uint8_t(argb >> 16); }
uint8_t Green(uint32_t argb) { return uint8_t(argb >> 8); }
uint8_t Blue(uint32_t argb) { return uint8_t(argb); }

class WaterSky : public SceneryFixture
{
protected:
    // The screen row of a world point under the current camera.
    float Row(const Vector3& p) const
    {
        float in[4] = {p.x, p.y, p.z, 1.0f}, clip[4];
        (mView * mProjection).TransformVector4(in, clip);
        return (1.0f - clip[1] / clip[3]) * 0.5f * 600.0f;
    }

    void DrawQuad(const Vector3 corners[4], uint32_t argb)
    {
        GraphicsDevice* device = mLoom->GetDevice();
        using V = GraphicsDevice::TexturedVertex;
        const V v[6] = {{corners[0].x, corners[0].y, corners[0].z, argb, 0, 0},
                        {corners[1].x, corners[1].y, corners[1].z, argb, 1, 0},
                        {corners[2].x, corners[2].y, corners[2].z, argb, 1, 1},
                        {corners[0].x, corners[0].y, corners[0].z, argb, 0, 0},
                        {corners[2].x, corners[2].y, corners[2].z, argb, 1, 1},
                        {corners[3].x, corners[3].y, corners[3].z, argb, 0, 1}};
        device->SetTexture(0, nullptr);
        device->SetTransform(TransformKind::World, Matrix4::Identity());
        device->SetVertexLayout(mLoom->Stores().GetDeclaration(3));
        device->States().mCull = CullMode::None;
        device->UseBuiltin(GraphicsDevice::Builtin::WorldQuads);
        device->DrawUser(PrimitiveType::TriangleList, 2, v, sizeof(V));
    }
};
} // namespace

TEST_F(WaterSky, WaterSwitchesItsObjectsOnceAndOffHarmlessly)
{
    Water* water = mLoom->Scenery().GetWater();
    ASSERT_NE(water, nullptr);
    EXPECT_FALSE(water->IsActive());
    EXPECT_EQ(water->GetReflection(), nullptr);
    Console::Instance().ExecuteLine("WaterActive false");
    Console::Instance().ExecuteLine("WaterActive false");
    EXPECT_EQ(water->GetReflection(), nullptr);
    Console::Instance().ExecuteLine("WaterActive true");
    GpuTexture* target = water->GetReflection();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->GetWidth(), 1024u);
    EXPECT_EQ(target->GetHeight(), 768u);
    EXPECT_TRUE(water->HasGrid());
    ASSERT_NE(water->GetModel(), nullptr);
    EXPECT_EQ(water->GetGridTriangles(), 4802u);
    Console::Instance().ExecuteLine("WaterActive true");
    EXPECT_EQ(water->GetReflection(), target) << "on while on makes no second target";
    Console::Instance().ExecuteLine("WaveScale 0.25");
    EXPECT_FLOAT_EQ(water->GetWaveScale(), 0.25f);
    // A lost device takes the objects; the reset brings them back while the water is on.
    mLoom->OnDeviceLost();
    EXPECT_EQ(water->GetReflection(), nullptr);
    mLoom->OnDeviceReset();
    EXPECT_NE(water->GetReflection(), nullptr);
    Console::Instance().ExecuteLine("WaterActive false");
    EXPECT_FALSE(water->HasGrid());
}

TEST_F(WaterSky, WaterMirrorsARedWallIntoTheRowsBelowIt)
{
    Water* water = mLoom->Scenery().GetWater();
    water->SetActive(true);
    water->SetWaveScale(0.0f);
    SetCamera(LookAt(Vector3(250.0f, 40.0f, 0.0f), Vector3(250.0f, 6.5f, 200.0f), Vector3(0.0f, 1.0f, 0.0f)));
    // A red wall standing on the water far ahead, drawn only into the reflection.
    const Vector3 wall[4] = {
        {150.0f, 20.0f, 300.0f}, {350.0f, 20.0f, 300.0f}, {350.0f, 8.0f, 300.0f}, {150.0f, 8.0f, 300.0f}};
    water->BeginReflection(*mLoom);
    DrawQuad(wall, 0xFFFF0000);
    water->EndReflection(*mLoom);
    Clear();
    water->Render(*mLoom);
    const Image frame = Frame();
    // Mirrored about y = 7.1 the wall spans y 6.2 down to -5.8.
    const float top = Row(Vector3(250.0f, 14.2f - 8.0f, 300.0f));
    const float bottom = Row(Vector3(250.0f, 14.2f - 20.0f, 300.0f));
    ASSERT_LT(top, bottom);
    const uint32_t inside = frame.GetARGB(400, uint32_t((top + bottom) * 0.5f));
    EXPECT_GT(Red(inside), 180) << std::hex << inside;
    EXPECT_LT(Green(inside), 80);
    // Above the mirrored wall the water shows the white of the cleared target.
    const uint32_t above = frame.GetARGB(400, uint32_t(top - 15.0f));
    EXPECT_GT(Green(above), 180) << std::hex << above;
    EXPECT_GT(Blue(above), 180);
    // Beside the wall there is no red either.
    const uint32_t beside = frame.GetARGB(20, uint32_t((top + bottom) * 0.5f));
    EXPECT_GT(Green(beside), 180) << std::hex << beside;
}

TEST_F(WaterSky, SkyLayersFollowTheCubeMap)
{
    SkyDome* sky = mLoom->Scenery().GetSky();
    ASSERT_NE(sky, nullptr);
    SetCamera(LookAt(Vector3(0.0f, 5.0f, 0.0f), Vector3(0.0f, 5.0f, 10.0f), Vector3(0.0f, 1.0f, 0.0f)));
    Clear();
    sky->Render(*mLoom, mLoom->Scenery().GetSun());
    EXPECT_EQ(sky->GetLayersDrawn(), uint32_t(SkyDome::SkyLayer | SkyDome::CloudsLayer));
    const uint32_t coloured = Frame().GetARGB(400, 200);
    EXPECT_NE(coloured, 0xFF808080u) << "the sky covers the frame";

    LogProbe log;
    Console::Instance().ExecuteLine("LoadCubeMap Textures/Checker.png");
    EXPECT_EQ(log.Count("is not a cube map"), 1);
    EXPECT_TRUE(sky->mSkyActive);
    Console::Instance().ExecuteLine("LoadCubeMap Textures/Cube.dds");
    EXPECT_FALSE(sky->mSkyActive);
    Clear();
    sky->Render(*mLoom, mLoom->Scenery().GetSun());
    EXPECT_EQ(sky->GetLayersDrawn(), uint32_t(SkyDome::CubeLayer | SkyDome::CloudsLayer));
    // Along +z, a little above the horizon: the magenta face, clouds thin down there.
    SetCamera(LookAt(Vector3(0.0f, 5.0f, 0.0f), Vector3(0.0f, 6.0f, 10.0f), Vector3(0.0f, 1.0f, 0.0f)));
    Clear();
    sky->Render(*mLoom, mLoom->Scenery().GetSun());
    const uint32_t ahead = Frame().GetARGB(400, 300);
    EXPECT_GT(Red(ahead), 150) << std::hex << ahead;
    EXPECT_LT(Green(ahead), 110);
    EXPECT_GT(Blue(ahead), 150);
    // Init again loads no second dome and brings the coloured sky back.
    ASSERT_NE(sky->GetDome(), nullptr);
    EXPECT_GT(sky->GetDome()->GetPartCount(), 0u);
    sky->Init();
    EXPECT_EQ(sky->GetDomeLoads(), 1u);
    EXPECT_TRUE(sky->mSkyActive);
}

TEST_F(WaterSky, TheSameFrameAfterADeviceLoss)
{
    MakeTerrain(3.0f, "Textures/TerrainInfo.bmp");
    mMap->DeformTerrain(0, 30.0f, 0.0f, 30.0f, 6.0f, 6.0f, 0.0f);
    mLoom->Scenery().GetWater()->SetActive(true);
    SetCamera(LookAt(Vector3(32.0f, 60.0f, -30.0f), Vector3(32.0f, 3.0f, 32.0f), Vector3(0.0f, 1.0f, 0.0f)));
    auto frame = [this]() {
        Clear();
        mLoom->RenderScenery(Frustum());
        mLoom->Scenery().GetWater()->Render(*mLoom);
        return Frame();
    };
    const Image before = frame();
    EXPECT_GT(mTerrain->GetPatchesDrawn(), 0u);
    mLoom->OnDeviceLost();
    mLoom->OnDeviceReset();
    SetCamera(mView);
    const Image after = frame();
    ASSERT_EQ(before.mPixels.size(), after.mPixels.size());
    EXPECT_TRUE(before.mPixels == after.mPixels);
    EXPECT_NEAR(mMap->GetHeight(30.0f, 30.0f), 9.0f, 1e-4) << "the bump stays";
}
