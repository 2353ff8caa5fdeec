#include "graphics/scene/Model.h"

#include "LOOM/base/AssertHandler.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/effect/Shader.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/animation/Skeleton.h"
#include "graphics/render/RenderQueue.h"
#include "graphics/resource/Material.h"
#include "graphics/scene/SceneFields.h"
#include "graphics/scene/SceneModel.h"

void Model::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeDataFile("ModelFileName", ModelFileName);
    s.SerializeDataFile("ShadowFileName", ShadowFileName);
    SceneFields::Int(s, "ShadowType", ShadowType);
    s.SerializeRangedReal("Scale", Scale, 0.1f, 5.0f, 0.1f);
    SceneFields::ColorField(s, "ModelColor", ModelColor);
    s.SerializeTypedString("FileShader", FileShader, "shader");
    SceneFields::FileList(s, "Materials", Materials);
    SerializeAnimation(s);
}

void Model::Initialize()
{
    if (GraphicsScene* scene = GraphicsScene::Current())
        scene->AddModel(this);
    mAnimation.SetCallbackTarget(mOwner->GetID());
    Load();
}

bool Model::IsAnimatedMesh() const { return mMesh && mMesh->mPartHierarchy; }

void Model::Load()
{
    ReleaseMeshes();
    mShadowShader = nullptr;
    mMesh = FetchMesh(ModelFileName);
    mAnimation.ReleaseAnimations();
    mMaterialPtrs.clear();
    LoadShadow(bool(mMesh), true, "Shadow");

    const uint32_t parts = mMesh ? mMesh->GetPartCount() : 0;
    if (mMesh)
    {
        mMesh->FreePartArrays();
        mScaledRadius = mMesh->mRadius;
        mAnimation.ResizeKeyCursors(mMesh->GetNodeCount());
    }
    // Tracks no pose writes still draw where the model is.
    for (Matrix4& m : mAnimation.GetTrackMatrices())
        m = Matrix4::Identity();
    mAnimation.LoadAnimationFiles();
    if (IsAnimatedMesh())
    {
        mAnimation.LoadAnimationFile(ModelFileName);
        mAnimation.SetAnimation(0, true);
    }
    UpdateBounds();

    mShader = FetchShader(FileShader);
    for (const std::string& name : Materials)
        mMaterialPtrs.push_back(FetchMaterial(name));
    mPartMaterials = Materials.size() >= 2;
    if (mPartMaterials)
    {
        while (mMaterialPtrs.size() < parts)
            mMaterialPtrs.push_back(FetchMaterial(Materials[0]));
    }
    mVisible.assign(parts, 1u);
    mMissingLogged = false;
}

void Model::SetModel(std::string name)
{
    ModelFileName = std::move(name);
    Load();
}

void Model::SetMaterial(std::string name)
{
    if (Materials.empty())
        return;
    Materials[0] = std::move(name);
    Load();
}

void Model::SetShader(std::string name) { mShader = FetchShader(name); }

void Model::SetSubMeshVisible(uint32_t index, bool visible)
{
    if (index >= mVisible.size())
    {
        if (AssertFailed("index < mesh->SubMeshes.size()", __FILE__, __LINE__, "Invalid Sub Mesh Visible"))
            DebugBreakIfAttached();
        return;
    }
    mVisible[index] = visible ? 1u : 0u;
}

void Model::PoseParts()
{
    Positional* pos = mOwnerPositional;
    if (!pos || !mMesh)
        return;
    mWorld.FromPosQuatUniformScale(pos->GetPositionValue(), pos->GetOrientation(), Scale);
    std::vector<Matrix4>& tracks = mAnimation.GetTrackMatrices();
    if (IsAnimatedMesh())
        mAnimation.ApplyToSkeleton(mWorld, mMesh->GetSkeleton());
    else if (!tracks.empty())
        tracks[0] = mWorld;
}

bool Model::Submit(float frameTime, uint32_t reserved, RenderQueue* queue)
{
    (void)reserved;
    const bool animated = IsAnimatedMesh();
    if (animated)
        mAnimation.Update(frameTime);
    Positional* pos = mOwnerPositional;
    if (!pos || !pos->IsVisible() || !pos->IsSeen())
    {
        if (pos)
            pos->mDrawnThisFrame = false;
        return false;
    }
    // A model that cannot fill its entry is left out, and said so once.
    if (!mMesh || !mShader || mMaterialPtrs.empty() || !mMaterialPtrs[0])
    {
        if (!mMissingLogged)
        {
            mMissingLogged = true;
            Console::Instance().Log("Model on " + mOwner->GetName() + " (" + ModelFileName +
                                        "): no shader or no material, not drawn",
                                    LogError);
        }
        pos->mDrawnThisFrame = false;
        return false;
    }
    pos->SetSeen(false);
    pos->mDrawnThisFrame = true;
    Count(3, 1);

    PoseParts();
    pos->mWorldMatrix = animated ? mWorld : Matrix4::Identity();

    RenderQueueEntry* entry = queue->NextEntry();
    *entry = RenderQueueEntry();
    entry->mMeshSerial = mMesh->GetSerial();
    entry->mShaderIndex = mShader->GetIndex();
    entry->mShaderFlag = mShader->GetStages();
    entry->mMaterialSerial = mMaterialPtrs[0]->GetSerial();
    entry->mMaterial = mMaterialPtrs[0].Get();
    entry->mRenderable = this;
    queue->Add(entry);

    if ((ShadowType == kShadowVolume || ShadowType == kShadowBlob) && mShadowShader)
    {
        RenderQueueEntry* shadow = queue->NextEntry();
        *shadow = RenderQueueEntry();
        shadow->mMeshSerial = mMesh->GetSerial();
        shadow->mShaderIndex = mShadowShader->GetIndex();
        shadow->mRenderable = this;
        queue->AddShadow(shadow);
    }
    return true;
}

void Model::ApplyMaterial(Shader* shader, uint32_t materialIndex)
{
    if (shader && materialIndex < mMaterialPtrs.size() && mMaterialPtrs[materialIndex])
        shader->ApplyMaterial(*mMaterialPtrs[materialIndex]);
}

void Model::Draw(GraphicsDevice& device, float frameTime, Shader* shader, RenderQueueEntry* entry)
{
    (void)frameTime;
    (void)entry;
    if (!shader || !mMesh)
        return;
    const std::vector<Matrix4>& tracks = mAnimation.GetTrackMatrices();
    const bool animated = IsAnimatedMesh();
    shader->SetColor(Shader::ModelColor, &ModelColor.r);
    shader->SetWorldMatrices(tracks.empty() ? mWorld : tracks[0]);
    const uint32_t parts = mMesh->GetPartCount();
    shader->ForEachPass([&] {
        for (uint32_t i = 0; i < parts; ++i)
        {
            if (!mVisible[i])
                continue;
            if (mPartMaterials)
                ApplyMaterial(shader, i);
            // An unanimated mesh has one matrix for all its parts.
            if (i > 0 && animated && i < tracks.size())
                shader->SetWorldMatrices(tracks[i]);
            if (mPartMaterials || (i > 0 && animated))
                shader->CommitChanges();
            mMesh->DrawPart(device, i);
            Count(0, mMesh->GetPart(i)->mFaceCount);
        }
    });
}

void Model::DrawShadow(GraphicsDevice& device, Shader* shader, RenderQueueEntry* entry)
{
    (void)entry;
    if (!shader || !mMesh)
        return;
    if (ShadowType == kShadowVolume)
    {
        const std::vector<Matrix4>& tracks = mAnimation.GetTrackMatrices();
        const bool animated = IsAnimatedMesh();
        shader->ForEachPass([&] {
            for (uint32_t i = 0; i < mMesh->GetPartCount(); ++i)
            {
                if (mPartMaterials && !mVisible[i])
                    continue;
                Count(2, mMesh->GetPart(i)->mShadowFaceCount);
                shader->SetWorldMatrices(animated && i < tracks.size() ? tracks[i]
                                                                       : (tracks.empty() ? mWorld : tracks[0]));
                shader->CommitChanges();
                mMesh->DrawPartAlt(device, i);
            }
        });
    }
    else if (ShadowType == kShadowBlob)
    {
        DrawBlobShadow(device, *shader);
    }
}

void RegisterModelMessages(Composer& composer)
{
    constexpr uint32_t id = Model::kTypeId;
    composer.BindMessage("SetScale", MakeCompFunctor(id, &Model::SetScale));
    composer.BindMessage("SetModel", MakeCompFunctor(id, &Model::SetModel));
    composer.BindMessage("SetMaterial", MakeCompFunctor(id, &Model::SetMaterial));
    composer.BindMessage("SetShader", MakeCompFunctor(id, &Model::SetShader));
    composer.BindMessage("SetModelColor", MakeCompFunctor(id, &Model::SetModelColorValue));
    composer.BindMessage("SetAnimationRate", MakeCompFunctor(id, &Model::SetAnimationRate));
    composer.BindMessage("CycleAnimation", MakeCompFunctor(id, &Model::CycleAnimation));
    composer.BindMessage("SetAnimation", MakeCompFunctor(id, &Model::SetAnimation));
}
