#include "graphics/model/Mesh.h"
#include "graphics/model/MeshPart.h"
#include "graphics/render/RenderQueue.h"
#include "tests/LOOM/support/TempDir.h"
#include "tests/graphics/scene/SceneFixture.h"
#include "tests/input/LogProbe.h"
#include "tools/lmfgen/GameModels.h"

namespace {

class SkinModelTest : public SceneFixture
{
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(SceneFixture::SetUp());
        MakeType("SceneSkin", {SkinModel::kTypeId});
    }

    Cog* MakeInvader(const Vector3& at, int32_t shadowType = 0, const std::string& file = "Models/Invader.lmf")
    {
        Cog* cog = Make("SceneSkin", at);
        SkinModel& skin = Get<SkinModel>(cog);
        skin.MeshFileName = skin.SkelFileName = file;
        skin.FileShader = "BasicSkin";
        skin.FileMaterial = "Materials/Green.xml";
        skin.ShadowType = shadowType;
        if (file == "Models/Invader.lmf")
            skin.GetAnimation().FileAnimations = {file};
        cog->Initialize();
        return cog;
    }

    // A skinned tube whose skeleton has the given number of bones.
    std::string TubeWithBones(uint32_t bones)
    {
        std::vector<LmfBone> list = TubeBones();
        list.resize(bones, list.back());
        for (size_t i = 2; i < list.size(); ++i)
            list[i].parent = 0;
        return mDir.Write("tube" + std::to_string(bones) + ".lmf",
                          LmfWriter().Header().Mesh(TubeMesh()).Bones(list).End().Bytes());
    }

    static int Drawn(const Image& image)
    {
        int count = 0;
        for (uint32_t y = 0; y < image.mHeight; ++y)
            for (uint32_t x = 0; x < image.mWidth; ++x)
                count += image.GetARGB(x, y) != kClear;
        return count;
    }

    TempDir mDir;
};

} // namespace

TEST_F(SkinModelTest, PastTheLodLimitTheSimplifiedMeshIsDrawn)
{
    Cog* near = MakeInvader({256, 0, 256});
    MakeEye({256, 1, 266}, {256, 1, 256});
    const MeshPart* part = Get<SkinModel>(near).GetMesh()->GetPart(0);
    ASSERT_NE(part, nullptr);
    ASSERT_LT(part->mLodFaceCount, part->mFaceCount);
    ASSERT_GT(part->mLodFaceCount, 0u);

    Frame();
    EXPECT_FALSE(Get<SkinModel>(near).IsFar());
    EXPECT_EQ(mLoom->GetCounters().mTriangles, part->mFaceCount);

    Place(near).SetPosition({256, 0, 266 - 60});
    const Image far = Frame();
    EXPECT_TRUE(Get<SkinModel>(near).IsFar());
    EXPECT_EQ(mLoom->GetCounters().mTriangles, part->mLodFaceCount);
    EXPECT_GT(Drawn(far), 10);

    // A shadow volume needs the full mesh, and the model draws it too.
    Get<SkinModel>(near).ShadowType = 1;
    Get<SkinModel>(near).Load();
    Frame();
    EXPECT_FALSE(Get<SkinModel>(near).IsFar());
    EXPECT_EQ(mLoom->GetCounters().mTriangles, part->mFaceCount);
    EXPECT_EQ(mLoom->GetCounters().mShadowTriangles, part->mShadowFaceCount);
    EXPECT_GT(part->mShadowFaceCount, 0u);
}

TEST_F(SkinModelTest, AnimationAdvancesOutOfView)
{
    Cog* behind = MakeInvader({256, 0, 330});
    MakeEye({256, 1, 266}, {256, 1, 256});
    SkinModel& skin = Get<SkinModel>(behind);
    skin.GetAnimation().SetAnimationByName("Walk", true);
    mLoom->Update();
    EXPECT_FALSE(Place(behind).mDrawnThisFrame);
    RenderQueue queue;
    queue.Init(nullptr, nullptr);
    queue.Reset();
    EXPECT_FALSE(skin.Submit(0.3f, 0, &queue));
    EXPECT_FLOAT_EQ(skin.GetAnimation().CurTime, 0.3f);
    EXPECT_TRUE(queue.GetMainList().empty());
    // In view it files one entry with its level-of-detail flag.
    Place(behind).SetSeen(true);
    EXPECT_TRUE(skin.Submit(0.2f, 7, &queue));
    EXPECT_FLOAT_EQ(skin.GetAnimation().CurTime, 0.5f);
    ASSERT_EQ(queue.GetMainList().size(), 1u);
    EXPECT_EQ(queue.GetMainList()[0]->mSpare, 7u);
    EXPECT_EQ(queue.GetMainList()[0]->mRenderable, static_cast<Renderable*>(&skin));
}

TEST_F(SkinModelTest, SkeletonsThatDoNotFitAreRefused)
{
    struct Case
    {
        uint32_t bones;
        const char* line;
        bool usable;
    };
    for (const Case& c : {Case{31, "has 31 bones, more than 30, not drawn", false}, Case{30, "", true},
                          Case{1, "names bone 1 that", false}})
    {
        const std::string file = TubeWithBones(c.bones);
        LogProbe log;
        Cog* cog = MakeInvader({256, 0, 256}, 0, file);
        EXPECT_EQ(Get<SkinModel>(cog).IsUsable(), c.usable) << c.bones;
        if (!c.usable)
            EXPECT_EQ(log.Count(c.line), 1) << c.bones;
        else
            EXPECT_EQ(log.Count("not drawn"), 0);
        mCogs->Destroy(cog);
        mCogs->ProcessDestroyList();
    }
    // A refused model is left out of the frame.
    Cog* refused = MakeInvader({256, 0, 256}, 0, TubeWithBones(31));
    MakeEye({256, 1, 266}, {256, 1, 256});
    const Image image = Frame();
    EXPECT_FALSE(Place(refused).mDrawnThisFrame);
    EXPECT_EQ(Drawn(image), 0);
}

TEST_F(SkinModelTest, NothingPlayingSkinsInTheBindPose)
{
    Cog* cog = MakeInvader({256, 0, 256});
    MakeEye({256, 1, 266}, {256, 1, 256});
    SkinModel& skin = Get<SkinModel>(cog);
    skin.GetAnimation().SetAnimationByName("Attack", true);
    skin.GetAnimation().Update(0.1f);
    Frame();
    // The palette holds the attack pose now.
    bool posed = false;
    for (uint32_t i = 0; i < skin.GetBoneCount(); ++i)
        posed |= !(SkinModel::GetPalette()[i] == Matrix4::Identity());
    EXPECT_TRUE(posed);

    skin.SetModelFile("Models/Invader.lmf");
    skin.GetAnimation().ReleaseAnimations();
    skin.GetAnimation().ResizeKeyCursors(skin.GetBoneCount());
    const Image bind = Frame();
    for (uint32_t i = 0; i < skin.GetBoneCount(); ++i)
        EXPECT_TRUE(SkinModel::GetPalette()[i] == Matrix4::Identity()) << i;
    EXPECT_GT(Drawn(bind), 1000);
}

TEST_F(SkinModelTest, WithAnimationsOffThePaletteKeepsItsPose)
{
    Cog* cog = MakeInvader({256, 0, 256});
    MakeEye({256, 1, 266}, {256, 1, 256});
    AnimationObj& animation = Get<SkinModel>(cog).GetAnimation();
    animation.SetAnimationByName("Attack", true);
    animation.Update(0.1f);
    const Image posed = Frame();
    const std::array<Matrix4, SkinModel::kMaxBones> before = SkinModel::GetPalette();
    mLoom->GetToggles().mAnimations = false;
    animation.Update(0.2f);
    const Image held = Frame();
    EXPECT_TRUE(SkinModel::GetPalette() == before);
    EXPECT_EQ(held.mPixels, posed.mPixels);
    mLoom->GetToggles().mAnimations = true;
    const Image moved = Frame();
    EXPECT_FALSE(SkinModel::GetPalette() == before);
    EXPECT_NE(moved.mPixels, posed.mPixels);
}

TEST_F(SkinModelTest, RenderWithWorldDrawsOutsideTheQueue)
{
    Cog* cog = MakeInvader({256, 0, 256});
    // The model view's own view-projection: the invader's 2.2 units fill most of the height.
    Matrix4 viewProjection;
    viewProjection.FromPosScale(Vector3(0.0f, -0.9f, 0.5f), Vector3(0.6f, 0.8f, 0.1f));
    mLoom->GetShaderControl().Frame().mViewProjectionAlt = viewProjection;
    GraphicsDevice& device = *mLoom->GetDevice();
    device.Clear(ClearTarget | ClearZBuffer | ClearStencil, kClear, 1.0f, 0);
    Get<SkinModel>(cog).RenderWithWorld(device);
    Image image;
    ASSERT_TRUE(device.ReadBack(nullptr, image));
    EXPECT_GT(Drawn(image), 1000);
    EXPECT_EQ(Channel(image.GetARGB(400, 120)), 1);
    EXPECT_EQ(image.GetARGB(20, 20), kClear);
}
