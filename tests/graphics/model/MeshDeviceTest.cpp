#include <gtest/gtest.h>

#include "LOOM/base/FileUtils.h"
#include "graphics/effect/ShaderControl.h"
#include "graphics/model/ModelStoreSet.h"
#include "graphics/model/files/LMLoader.h"
#include "graphics/resource/ResourceContext.h"
#include "tests/graphics/model/ModelTestSupport.h"
#include "tests/graphics/resource/ResourceFixture.h"
#include "tools/lmfgen/GameModels.h"

namespace {
std::vector<uint8_t> BufferBytes(GpuBuffer& buffer)
{
    const auto* data = static_cast<const uint8_t*>(buffer.Lock(0, buffer.GetSize(), LockFlag::None));
    std::vector<uint8_t> bytes(data, data + buffer.GetSize());
    buffer.Unlock();
    return bytes;
}
} // namespace

TEST(MeshDevice, BuffersHoldTheBuildAndPartsDrawByRange)
{
    auto device = GraphicsDevice::CreateNull(DeviceDesc());
    ResourceContext::Scope scope(device.get(), nullptr, false);
    ModelStoreSet stores({});
    Ref<Mesh> invader = stores.mMeshes.GetRef(RepoDataPath("Models/Invader.lmf"));
    Ref<Mesh> again = stores.mMeshes.GetRef(RepoDataPath("Models/Invader.lmf"));
    EXPECT_EQ(invader, again);
    EXPECT_EQ(invader->GetRefCount(), 3u);

    const MeshGeometry& geometry = invader->GetGeometry();
    ASSERT_NE(invader->GetVertexBuffer(), nullptr);
    EXPECT_EQ(BufferBytes(*invader->GetVertexBuffer()), geometry.vertices);
    GpuBuffer& indices = *invader->GetIndexBuffer();
    EXPECT_FALSE(indices.Is32Bit());
    const std::vector<uint8_t> indexBytes = BufferBytes(indices);
    ASSERT_EQ(indexBytes.size(), 2 * geometry.indices.size());
    for (size_t i = 0; i < geometry.indices.size(); ++i)
        ASSERT_EQ(indexBytes[2 * i] | indexBytes[2 * i + 1] << 8, geometry.indices[i]);

    const DeviceCounters before = device->Counters();
    invader->Draw(*device);
    invader->DrawPartLod(*device, 0);
    EXPECT_EQ(device->Counters().mDraws - before.mDraws, 2u);
    EXPECT_EQ(device->Counters().mPrimitives - before.mPrimitives,
              geometry.faceCount + invader->GetPart(0)->mLodFaceCount);

    invader->BuildEdges();
    ASSERT_NE(invader->GetShadowVertexBuffer(), nullptr);
    EXPECT_EQ(invader->GetShadowGeometry().stride, 44u);
    EXPECT_EQ(BufferBytes(*invader->GetShadowVertexBuffer()), invader->GetShadowGeometry().vertices);
    invader->BindBuffersAlt(*device);
    invader->DrawPartAlt(*device, 0);
    EXPECT_EQ(device->Counters().mPrimitives - before.mPrimitives,
              geometry.faceCount + invader->GetPart(0)->mLodFaceCount + invader->GetPart(0)->mShadowFaceCount);
}

class SkinnedStrip : public ResourceFixture
{
};

// Two bones along a strip; the right half hangs on bone 1 through influence slot 1, so the
// bend shows that weights and index bytes reach the shader in slot order.
TEST_F(SkinnedStrip, BoneOneTurnedAQuarterBendsTheRightHalf)
{
    LmfPart strip;
    const float xs[] = {-0.8f, -0.4f, 0.0f, 0.4f, 0.8f};
    for (float x : xs)
        for (float y : {-0.08f, 0.08f})
        {
            FileVertex v;
            v.position = {x, y, 0.5f};
            v.normal = {0, 0, -1};
            strip.vertices.push_back(v);
            const bool right = x > 0.0f;
            strip.influences.push_back({right ? 0.0f : 1.0f, right ? 7u : 0u});
            strip.influences.push_back({right ? 1.0f : 0.0f, right ? 1u : 9u});
        }
    for (uint16_t q = 0; q < 4; ++q)
    {
        const uint16_t a = 2 * q, b = a + 1, c = a + 2, d = a + 3;
        // Both windings, so no cull mode hides the strip.
        strip.indices.insert(strip.indices.end(), {a, b, c, b, d, c, a, c, b, b, c, d});
    }
    strip.adjacency.assign(strip.indices.size(), 0xFFFF);
    strip.influencesPerVertex = 2;
    LmfMesh mesh;
    mesh.kind = 2;
    mesh.parts.push_back(strip);
    const std::string file = WriteScratch("Strip.lmf", LmfWriter().Header().Mesh(mesh).End().Bytes());

    // The loom's skinned declaration, number 1.
    static const VertexElement skin[] = {{0, VertexType::Float3, VertexSemantic::Position, 0},
                                         {12, VertexType::Float3, VertexSemantic::Normal, 0},
                                         {24, VertexType::Float2, VertexSemantic::TexCoord, 0},
                                         {32, VertexType::Float4, VertexSemantic::BlendWeight, 0},
                                         {48, VertexType::UByte4, VertexSemantic::BlendIndices, 0}};
    std::vector<std::unique_ptr<VertexLayout>> declarations(2);
    declarations[1] = mDevice->CreateVertexLayout(skin);
    ModelStoreSet stores(declarations);
    Held<Mesh> loaded(new Mesh());
    ASSERT_TRUE(LMLoader::LoadMesh(*loaded, file));
    ShaderControl control;
    control.LoadFrom(*mDevice, "Config/Methods.xml");
    Shader* basic = control.GetShader("Basic");
    ASSERT_NE(basic, nullptr);
    ASSERT_TRUE(basic->SetTechnique(Shader::Skin));
    basic->GetEffect().SetInt(basic->GetEffect().GetParameterByName("UseTexture"), 0);
    basic->SetWorldMatrices(Matrix4::Identity());

    auto draw = [&](const Matrix4& bone1) {
        Matrix4 bones[30];
        bones[1] = bone1;
        // Slots that carry no weight name bones that would throw the strip away.
        bones[7] = bones[9] = Matrix4::Translation({5, 5, 0});
        basic->SetBones(30, bones);
        mDevice->Clear(ClearTarget | ClearZBuffer, kGrey, 1.0f, 0);
        const uint32_t passes = basic->Begin();
        for (uint32_t p = 0; p < passes; ++p)
        {
            basic->BeginPass(p);
            loaded->Draw(*mDevice);
            basic->EndPass();
        }
        basic->End();
    };
    auto pixelOf = [](const Vector3& clip) {
        return std::pair<int, int>{int((clip.x + 1.0f) * 32.0f), int((1.0f - clip.y) * 32.0f)};
    };
    const Vector3 tip(0.6f, 0.0f, 0.5f);
    const Vector3 left(-0.6f, 0.0f, 0.5f);

    draw(Matrix4());
    auto [tx, ty] = pixelOf(tip);
    auto [lx, ly] = pixelOf(left);
    EXPECT_NE(PixelAt(tx, ty), kGrey);
    EXPECT_NE(PixelAt(lx, ly), kGrey);

    Matrix4 turn = Quat::FromAxisAngle({0, 0, 1}, 1.5707963f).ToMatrix();
    draw(turn);
    const Vector3 bent = turn.TransformPoint(tip);
    auto [bx, by] = pixelOf(bent);
    EXPECT_NE(PixelAt(bx, by), kGrey);
    EXPECT_EQ(PixelAt(tx, ty), kGrey);
    EXPECT_NE(PixelAt(lx, ly), kGrey);
}

TEST(ModelStoresTest, NamesBelowTheDataFolderAndSkeletonsFromTheStore)
{
    const std::string oldDataPath = GetDataPath();
    SetDataPath(RepoDataPath(""));
    {
        ModelStoreSet stores({});
        Ref<Mesh> forward = stores.mMeshes.GetRef("Models/Turret.lmf");
        Ref<Mesh> back = stores.mMeshes.GetRef("Models\\Turret.lmf");
        // The slash direction makes another entry, loaded again.
        EXPECT_NE(forward, back);
        EXPECT_EQ(stores.mMeshes.Count(), 2u);
        EXPECT_EQ(forward->GetPartCount(), 9u);
        EXPECT_EQ(forward->mBones.size(), 9u);
        EXPECT_EQ(forward->mBones[8].mParent, 7);
        EXPECT_EQ(forward->GetNodeCount(), 18u);
        EXPECT_EQ(forward->GetVertexBuffer(), nullptr);
        // The part hierarchy: part 8 (the muzzle) hangs under the gun.
        ASSERT_NE(forward->GetSkeleton(), nullptr);
        EXPECT_EQ(forward->GetSkeleton()->GetBone(8), forward->GetPart(8));
        EXPECT_EQ(forward->GetSkeleton()->GetRoots().size(), 1u);

        Ref<Mesh> invader = stores.mMeshes.GetRef("Models/Invader.lmf");
        EXPECT_EQ(invader->GetSkeleton(), nullptr);
        invader->SetSkeleton("Models/Invader.lmf");
        ASSERT_NE(invader->GetSkeleton(), nullptr);
        EXPECT_EQ(invader->GetSkeleton()->GetBoneCount(), InvaderBones().size());
        EXPECT_EQ(stores.mSkeletons.Find("Models/Invader.lmf")->GetRefCount(), 2u);
        forward.Reset();
        back.Reset();
        invader.Reset();
        stores.mMeshes.PurgeUnused();
        EXPECT_EQ(stores.mMeshes.Count(), 0u);
        // The mesh gave its skeleton back when it went.
        EXPECT_EQ(stores.mSkeletons.Find("Models/Invader.lmf")->GetRefCount(), 1u);
    }
    SetDataPath(oldDataPath);
}
