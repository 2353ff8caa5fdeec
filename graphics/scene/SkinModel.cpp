#include "graphics/scene/SkinModel.h"

#include <cstring>
#include <span>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/camera/Camera.h"
#include "graphics/effect/Shader.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/MeshGeometry.h"
#include "graphics/model/animation/Skeleton.h"
#include "graphics/render/RenderQueue.h"
#include "graphics/resource/Material.h"
#include "graphics/scene/SceneFields.h"
#include "graphics/scene/SceneModel.h"

namespace {
// Skinned vertices: four weights at 32, four bone bytes at 48.
constexpr uint32_t kWeightOffset = 32;
constexpr uint32_t kBoneOffset = 48;
} // namespace

std::array<Matrix4, SkinModel::kMaxBones> SkinModel::sPalette{};

void SkinModel::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeDataFile("MeshFileName", MeshFileName);
    s.SerializeDataFile("SkelFileName", SkelFileName);
    SceneFields::Enum(s, "ShadowType", ShadowType, "ShadowType");
    SceneFields::ColorField(s, "ModelColor", ModelColor);
    SceneFields::Enum(s, "SkinType", SkinType, "SkinType");
    SceneFields::Int(s, "LODLimit", LODLimit);
    s.SerializeRangedReal("Scale", Scale, 0.1f, 10.0f, 0.1f);
    s.SerializeTypedString("FileShader", FileShader, "shader");
    if (s.BeginField("file", "FileMaterial", true, TypeElement, &FileMaterial))
    {
        s.SerializeNamed("func", "SetMaterial");
        s.Serialize(FileMaterial);
        s.EndField("file", true);
    }
    SerializeAnimation(s);
}

void SkinModel::Initialize()
{
    Load();
    if (GraphicsScene* scene = GraphicsScene::Current())
        scene->AddModel(this);
}

// The shared palette and the effects hold 30 bones, and every influence must name one the
// skeleton has: anything else would read another model's bones.
bool SkinModel::CheckSkeleton()
{
    Skeleton* skeleton = mMesh ? mMesh->GetSkeleton() : nullptr;
    const std::string cog = mOwner ? mOwner->GetName() : std::string();
    if (!skeleton || skeleton->GetBoneCount() == 0)
    {
        Console::Instance().Log("SkinModel on " + cog + ": no skeleton in " + SkelFileName + ", not drawn", LogError);
        return false;
    }
    mBoneCount = skeleton->GetBoneCount();
    if (mBoneCount > kMaxBones)
    {
        Console::Instance().Log("SkinModel on " + cog + ": " + SkelFileName + " has " + std::to_string(mBoneCount) +
                                    " bones, more than 30, not drawn",
                                LogError);
        return false;
    }
    const MeshGeometry& geometry = mMesh->GetGeometry();
    if (geometry.layout != LayoutSkinned)
    {
        Console::Instance().Log("SkinModel on " + cog + ": " + MeshFileName + " is not skinned, not drawn", LogError);
        return false;
    }
    for (size_t v = 0; v + geometry.stride <= geometry.vertices.size(); v += geometry.stride)
    {
        const uint8_t* vertex = geometry.vertices.data() + v;
        float weights[4];
        std::memcpy(weights, vertex + kWeightOffset, sizeof(weights));
        for (int i = 0; i < 4; ++i)
        {
            if (weights[i] != 0.0f && vertex[kBoneOffset + i] >= mBoneCount)
            {
                Console::Instance().Log("SkinModel on " + cog + ": " + MeshFileName + " names bone " +
                                            std::to_string(vertex[kBoneOffset + i]) + " that " + SkelFileName +
                                            " lacks, not drawn",
                                        LogError);
                return false;
            }
        }
    }
    return true;
}

void SkinModel::Load()
{
    ReleaseMeshes();
    mMaterial.Reset();
    mShadowShader = nullptr;
    mBoneCount = 0;
    mUsable = false;
    mMesh = FetchMesh(MeshFileName);
    if (mMesh)
        mMesh->SetSkeleton(SkelFileName);
    const bool usable = mMesh && CheckSkeleton();
    LoadShadow(usable, usable, "SkinShadow");
    if (mMesh)
        mScaledRadius = mMesh->mRadius;
    mAnimation.ResizeKeyCursors(usable ? mBoneCount : 0);
    if (mOwner)
        mAnimation.SetCallbackTarget(mOwner->GetID());
    mShader = FetchShader(FileShader);
    mMaterial = FetchMaterial(FileMaterial);
    UpdateBounds();
    if (usable)
    {
        mAnimation.LoadAnimationFiles();
        if (mAnimation.GetLoadedCount() > 0 && !mAnimation.GetLoaded().empty())
            mAnimation.SetAnimation(0, true);
    }
    mUsable = usable;
}

void SkinModel::SetMaterial(const std::string& name) { mMaterial = FetchMaterial(name); }

void SkinModel::SetModelFile(const std::string& name)
{
    MeshFileName = name;
    SkelFileName = name;
    mAnimation.FileAnimations.clear();
    mAnimation.FileAnimations.push_back(name);
    mAnimation.ReleaseAnimations();
    mAnimation.CurTime = 0.0f;
    Load();
}

void SkinModel::SkinPass()
{
    if (!AnimationObj::IsAnimEnabled())
        return;
    const std::span<Matrix4> palette(sPalette.data(), mBoneCount);
    if (!mAnimation.GetCurrentAnimation())
    {
        for (Matrix4& m : palette)
            m = Matrix4::Identity();
        return;
    }
    mMesh->GetSkeleton()->UpdateBones(palette, mAnimation, Matrix4::Identity());
}

bool SkinModel::Submit(float frameTime, uint32_t reserved, RenderQueue* queue)
{
    mAnimation.Update(frameTime);
    Positional* pos = mOwnerPositional;
    if (!pos || !pos->IsVisible() || !pos->IsSeen() || !mUsable || !mShader || !mMaterial)
    {
        if (pos)
            pos->mDrawnThisFrame = false;
        return false;
    }
    GraphicsLoom* loom = GraphicsLoom::Instance();
    Camera* camera = loom ? loom->GetActiveCamera() : nullptr;
    mFar = camera && (pos->GetPositionValue() - camera->GetPosition()).Length() > loom->GetToggles().mLodLimit;
    pos->SetSeen(false);
    pos->mDrawnThisFrame = true;

    RenderQueueEntry* entry = queue->NextEntry();
    *entry = RenderQueueEntry();
    entry->mRenderable = this;
    entry->mSpare = static_cast<uint16_t>(reserved & 0xFF);
    entry->mMaterialSerial = mMaterial->GetSerial();
    entry->mMaterial = mMaterial.Get();
    entry->mMeshSerial = mMesh->GetSerial();
    entry->mShaderIndex = mShader->GetIndex();
    entry->mShaderFlag = mShader->GetStages();
    entry->mDetailFlag = mFar ? 1 : 0;
    queue->Add(entry);

    if ((ShadowType == kShadowVolume || ShadowType == kShadowBlob) && mShadowShader)
    {
        RenderQueueEntry* shadow = queue->NextEntry();
        *shadow = RenderQueueEntry();
        shadow->mRenderable = this;
        shadow->mShaderIndex = mShadowShader->GetIndex();
        // Shadow volumes need the full mesh.
        if (ShadowType == kShadowVolume)
        {
            shadow->mMeshSerial = mMesh->GetSerial();
            mFar = false;
        }
        else if (mShadowMesh)
        {
            shadow->mMeshSerial = mShadowMesh->GetSerial();
        }
        queue->AddShadow(shadow);
    }
    return true;
}

void SkinModel::ApplyMaterial(Shader* shader, uint32_t materialIndex)
{
    (void)materialIndex;
    if (shader && mMaterial)
        shader->ApplyMaterial(*mMaterial);
}

void SkinModel::Draw(GraphicsDevice& device, float frameTime, Shader* shader, RenderQueueEntry* entry)
{
    (void)frameTime;
    (void)entry;
    if (!shader || !mUsable || !mOwnerPositional)
        return;
    shader->SetColor(Shader::ModelColor, &ModelColor.r);
    SkinPass();
    mWorld.FromPosQuatUniformScale(mOwnerPositional->GetPositionValue(), mOwnerPositional->GetOrientation(), Scale);
    shader->SetWorldMatrices(mWorld);
    shader->SetBones(mBoneCount, sPalette.data());
    const MeshPart* part = mMesh->GetPart(0);
    shader->ForEachPass([&] {
        if (mFar)
            mMesh->DrawPartLod(device, 0);
        else
            mMesh->DrawPart(device, 0);
        if (part)
            Count(0, mFar ? part->mLodFaceCount : part->mFaceCount);
    });
}

void SkinModel::DrawShadow(GraphicsDevice& device, Shader* shader, RenderQueueEntry* entry)
{
    (void)entry;
    if (!shader || !mUsable || !mOwnerPositional)
        return;
    if (ShadowType == kShadowVolume)
    {
        SkinPass();
        mWorld.FromPosQuatUniformScale(mOwnerPositional->GetPositionValue(), mOwnerPositional->GetOrientation(), Scale);
        shader->SetWorldMatrices(mWorld);
        shader->SetBones(mBoneCount, sPalette.data());
        shader->CommitChanges();
        shader->ForEachPass([&] {
            if (const MeshPart* part = mMesh->GetPart(0))
                Count(2, part->mShadowFaceCount);
            mMesh->DrawPartAlt(device, 0);
        });
    }
    else if (ShadowType == kShadowBlob)
    {
        DrawBlobShadow(device, *shader);
    }
}

void SkinModel::RenderWithWorld(GraphicsDevice& device)
{
    if (!mUsable || !mShader || !mOwnerPositional)
        return;
    SkinPass();
    if (mMaterial)
        mShader->ApplyMaterial(*mMaterial);
    Matrix4 world;
    world.FromPosQuatUniformScale(Vector3(), mOwnerPositional->GetOrientation(), 1.0f);
    mShader->SetWorldMatricesAlt(world);
    mShader->SetBones(mBoneCount, sPalette.data());
    mMesh->BindBuffers(device);
    mShader->DrawPasses([&] { mMesh->DrawPart(device, 0); });
}

void RegisterSkinModelMessages(Composer& composer)
{
    composer.BindMessage("CycleAnimation", MakeCompFunctor(SkinModel::kTypeId, &SkinModel::CycleAnimation));
}
