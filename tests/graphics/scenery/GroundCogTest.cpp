#include <gtest/gtest.h>

#include "LOOM/calls/ParamBuffer.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/FileComposition.h"
#include "LOOM/space/QTree.h"
#include "graphics/sky/Light.h"
#include "graphics/sky/Sun.h"
#include "tests/LOOM/support/CodeType.h"
#include "tests/LOOM/support/CogTestSupport.h"
#include "tests/graphics/scenery/SceneryFixture.h"
#include "tests/input/LogProbe.h"

using GroundCog = SceneryFixture;

// The game's ground cog: its composition and archetype files, as the data folder has them.
TEST_F(GroundCog, TheDataFolderGroundLoadsItsMapAndDrawsIt)
{
    QTree tree;
    tree.Allocate(5);
    tree.BuildTree(512.0f);
    CogFactory cogs;
    RegisterPositional(cogs);
    size_t count = 0;
    GraphicsComponentType* types = GraphicsLoom::ComponentTypes(count);
    for (size_t i = 0; i < count; ++i)
        if (types[i].mFactory)
            cogs.Types().RegisterComponent(types[i].mTypeId, types[i].mFactory);
    ScopedCwd cwd(RepoDataFolder());
    cogs.Files().LoadCogFile("Compositions/Ground.xml");
    LogProbe log;
    Cog* ground = cogs.Create("Ground");
    ASSERT_NE(ground, nullptr);
    auto* map = ground->Get<HeightMap>();
    auto* terrain = ground->Get<Terrain>();
    ASSERT_NE(map, nullptr);
    ASSERT_NE(terrain, nullptr);
    EXPECT_EQ(log.Count("HeightMap"), 0);
    EXPECT_EQ(log.Count("Terrain:"), 0);
    EXPECT_EQ(HeightMap::Current(), map);
    EXPECT_EQ(map->mHeightScale, 25.5f);
    // The flat middle of the generated height image is grey 100.
    EXPECT_NEAR(map->GetHeight(128.0f, 128.0f), 10.0f, 1e-4);
    EXPECT_EQ(terrain->GetPatchesPerSide(), 16);
    EXPECT_EQ(mLoom->GetScene()->mTerrain, terrain);
    EXPECT_EQ(terrain->GetInfoImage().mWidth, 256u);

    SetCamera(LookAt(Vector3(128.0f, 150.0f, -60.0f), Vector3(128.0f, 10.0f, 128.0f), Vector3(0.0f, 1.0f, 0.0f)));
    Clear();
    terrain->Render(Frustum(), 0.0f);
    EXPECT_GT(terrain->GetPatchesDrawn(), 100u);
    EXPECT_LT(terrain->GetPatchesDrawn(), 256u) << "the near corners are out of view";
    EXPECT_NE(Frame().GetARGB(400, 300), 0xFF808080u);
    cogs.DestroyAll();
    EXPECT_EQ(HeightMap::Current(), nullptr);
    EXPECT_EQ(mLoom->GetScene()->mTerrain, nullptr);
}

TEST_F(GroundCog, LightsOnCogsJoinTheLoomsSun)
{
    CogFactory cogs;
    RegisterPositional(cogs);
    cogs.Types().RegisterComponent(Light::kTypeId, LightFactory());
    MakeCodeType(cogs, "Lamp", {1, Light::kTypeId});
    Cog* lamp = cogs.CreateAt("Lamp", Vector3(3.0f, 4.0f, 5.0f));
    ASSERT_NE(lamp, nullptr);
    Sun* sun = mLoom->Scenery().GetSun();
    ASSERT_EQ(sun->mLights.size(), 1u);
    EXPECT_EQ(sun->mLights[0]->GetPosition(), Vector3(3.0f, 4.0f, 5.0f));
    cogs.DestroyAll();
    EXPECT_TRUE(sun->mLights.empty());
}

TEST_F(GroundCog, FieldsAreWrittenInTheirOrderAndReadBack)
{
    CogFactory cogs;
    RegisterPositional(cogs);
    cogs.Types().RegisterComponent(HeightMap::kTypeId, HeightMapFactory());
    cogs.Types().RegisterComponent(Light::kTypeId, LightFactory());
    MakeCodeType(cogs, "Field", {HeightMap::kTypeId, Light::kTypeId});
    TempDir dir;
    ScopedCwd cwd(dir.Path());
    Cog* cog = cogs.Create("Field");
    ASSERT_NE(cog, nullptr);
    auto* map = cog->Get<HeightMap>();
    auto* light = cog->Get<Light>();
    map->mMapFile = "Hills.bmp";
    map->mTileScale = 2.0f;
    light->mRange = 7.5f;
    light->mDiffuse = Color(0.5f, 0.25f, 1.0f, 1.0f);
    ASSERT_TRUE(SaveArchetypeXml(*cog, "field.xml"));
    const std::string text = TempDir::Read(dir.Path("field.xml"));
    size_t at = 0;
    for (const char* field : {"\"Map\">Hills.bmp", "\"MapWidthSize\"", "\"MapDepthSize\"", "\"TileScale\">2",
                              "\"HeightScale\"", "\"AutoBuildTerrain\"", "\"BaseHeight\"", "\"LightType\">Point",
                              "\"Active\"", "\"Attenuation0\"", "\"Attenuation1\"", "\"Attenuation2\"", "\"Falloff\"",
                              "\"Range\">7.5", "\"Theta\"", "\"Phi\"", "\"Direction\"", "\"Diffuse\"", "\"Specular\""})
    {
        const size_t found = text.find(field, at);
        ASSERT_NE(found, std::string::npos) << field << " after " << at << "\n" << text;
        at = found;
    }
    // Messages reach the light by name.
    ParamBuffer params;
    params.PushFloat(1.0f);
    params.PushFloat(2.0f);
    params.PushFloat(3.0f);
    cog->CallFunction("SetAtt", params);
    EXPECT_EQ(light->mAttenuation1, 2.0f);
}
