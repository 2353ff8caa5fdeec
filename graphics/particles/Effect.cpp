#include "graphics/particles/Effect.h"

#include "LOOM/base/FileUtils.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/camera/Camera.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/effect/Shader.h"
#include "graphics/font/BitmapFont.h"
#include "graphics/font/FontList.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/ModelStores.h"
#include "graphics/model/animation/Skeleton.h"
#include "graphics/particles/ParticleComp.h"
#include "graphics/particles/ParticleSet.h"
#include "graphics/scene/SceneFields.h"

namespace {

constexpr float kNearLimitSquared = 1024.0f;
// The height an effect's text takes on screen, as parts of the screen's height: readable far
// off, never a wall of letters near the camera.
constexpr float kTextLeastHeight = 1.0f / 48.0f;
constexpr float kTextMostHeight = 1.0f / 28.0f;

const char* SpriteTechnique(int32_t type)
{
    return type == 0 ? "TechniqueBasic" : type == 1 ? "TechniqueFlash" : "TechniqueFree";
}

} // namespace

void EffectSprite::Serialize(Serializer& s)
{
    SceneFields::Int(s, "AnimIndex", AnimIndex);
    SceneFields::Int(s, "EffectType", EffectType);
    s.SerializeRealField("TTL", TTL);
    SceneFields::Texture(s, "texture", texture);
    s.SerializeFile("fileStream", fileStream);
}

void FontEffect::Serialize(Serializer& s)
{
    SceneFields::Int(s, "AnimIndex", AnimIndex);
    SceneFields::Int(s, "FontIndex", FontIndex);
    SceneFields::Int(s, "FontAnim", FontAnim);
    s.SerializeRealField("Scale", Scale);
    s.SerializeVector("Postion", Postion);
    s.SerializeVector("AnimScale", AnimScale);
    s.SerializeString("Text", Text);
    s.SerializeString("fileStream", fileStream);
}

void LocalLight::Serialize(Serializer& s)
{
    SceneFields::Int(s, "AnimIndex", AnimIndex);
    s.SerializeFile("ColorStream", ColorStream);
}

Effect::~Effect()
{
    mEmitters.clear();
    mSystems.clear();
    mAnimation.ReleaseAnimations();
    if (GraphicsScene* scene = GraphicsScene::Current())
        scene->RemoveEffect(this);
}

void Effect::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeRealField("TTL", TTL);
    s.SerializeRealField("Rate", Rate);
    s.SerializeBoolField("Transform", Transform);
    s.SerializeDataFile("ModelFile", ModelFile);
    SerializeElementList(s, "EffectSprites", EffectSprites, "EffectSprite", TypeObject);
    SerializeElementList(s, "FontEffects", FontEffects, "FontEffect", TypeObject);
    SerializeElementList(s, "LocalLights", LocalLights, "LocalLight", TypeObject);
    SceneFields::FileList(s, "EmitterFiles", EmitterFiles);
    SceneFields::FileList(s, "SystemFiles", SystemFiles);
    s.SerializeDataFile("AnimationFile", AnimationFile);
}

void Effect::Initialize()
{
    mElapsed = 0.0f;
    if (GraphicsScene* scene = GraphicsScene::Current())
        scene->AddEffect(this);
    LoadParticleSet(SystemFiles, EmitterFiles, EmitterFeed::ByIndex, mSystems, mEmitters);

    if (!ModelFile.empty() && !IsRefusedDataName(ModelFile) && FileExists(DataFilePath(ModelFile)) &&
        ModelStores::sSkeletons)
    {
        mSkeleton = ModelStores::sSkeletons->GetRef(ModelFile);
        mAnimation.ResizeKeyCursors(mSkeleton->GetBoneCount());
        if (!AnimationFile.empty() && !IsRefusedDataName(AnimationFile))
            mAnimation.LoadAnimationFile(DataFilePath(AnimationFile));
    }
    for (EffectSprite& sprite : EffectSprites)
    {
        sprite.texture.Reload();
        if (!sprite.fileStream.empty())
            sprite.stream.Load(sprite.fileStream);
    }
    for (FontEffect& text : FontEffects)
        if (!text.fileStream.empty())
            text.stream.Load(text.fileStream);
    if (mAnimation.GetLoadedCount() > 0)
        mAnimation.SetAnimation(0, true);
}

void Effect::SetAnimation(int32_t index, bool loop)
{
    if (mAnimation.GetLoadedCount() > 0 && index >= 0)
        mAnimation.SetAnimation(static_cast<uint32_t>(index), loop);
}

void Effect::DestroyOwner()
{
    if (mDying || !mOwner)
        return;
    mDying = true;
    mOwner->Destroy();
}

void Effect::Update(float dt)
{
    Positional* positional = GetOwnerPositional();
    if (positional)
        positional->mWorldMatrix = Matrix4::Translation(positional->GetPosition());
    if (mDying || !ParticleFrameStep(dt, mCarry))
        return;
    mElapsed += dt;
    if (mElapsed > TTL && TTL > 0.0f)
        return DestroyOwner();
    const Matrix4 world = positional ? positional->mWorldMatrix : Matrix4::Identity();
    mAnimation.Update(dt * Rate);
    mAnimation.ApplyToSkeleton(world, mSkeleton.Get());
    if (mEmitters.empty())
        return;

    Matrix4 placement = world;
    if (Transform)
        placement = Matrix4::Identity();
    else if (mAnimation.GetLoadedCount() > 0 && !mAnimation.GetTrackMatrices().empty())
        placement = mAnimation.GetTrackMatrices()[0];
    int32_t alive = 0;
    for (auto& system : mSystems)
        alive += system->Update(dt);
    for (auto& emitter : mEmitters)
        alive += emitter->Update(Transform, placement, dt, mSystems);
    if (alive == 0)
        DestroyOwner();
}

const Matrix4* Effect::Bone(int32_t index, bool& warned, const char* what)
{
    const std::vector<Matrix4>& bones = mAnimation.GetTrackMatrices();
    if (mSkeleton && index >= 0 && size_t(index) < bones.size() && uint32_t(index) < mSkeleton->GetBoneCount())
        return &bones[size_t(index)];
    if (!warned)
    {
        warned = true;
        Console::Instance().Log(std::string("Effect: ") + what + " on bone " + std::to_string(index) +
                                    (mSkeleton ? " past the skeleton's last bone" : " without a skeleton") +
                                    " is not drawn",
                                LogError);
    }
    return nullptr;
}

void Effect::Render(GraphicsDevice& device)
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    if (!loom)
        return;
    EffectView view;
    view.mQuad = loom->GetShaderControl().GetShader("Quad");
    if (Camera* camera = loom->GetActiveCamera())
    {
        view.mEye = camera->GetPosition();
        view.mViewRotationInverse = camera->GetViewRotationInverse();
        view.mScreenHeight = float(device.GetHeight());
        view.mPixelsPerUnit = camera->GetProjection()[5] * view.mScreenHeight * 0.5f;
    }
    GraphicsCommands* commands = loom->GetCommands();
    view.mFonts = commands ? &commands->Fonts() : nullptr;
    Render(device, view);
}

void Effect::Render(GraphicsDevice& device, const EffectView& view)
{
    Positional* positional = GetOwnerPositional();
    if (!positional || !positional->IsSeen())
        return;
    const Vector3 position = positional->GetPosition();
    const Vector3 d = position - view.mEye;
    Shader* shader = view.mQuad;
    positional->mWorldMatrix = Matrix4::Translation(position);
    if (shader)
        shader->SetWorldMatrices(positional->mWorldMatrix);
    if (DotProduct(d, d) < kNearLimitSquared)
        return;

    for (EffectSprite& sprite : EffectSprites)
    {
        if (!(mElapsed < sprite.TTL || sprite.TTL == 0.0f) || !shader || !sPlane)
            continue;
        const Matrix4* bone = Bone(sprite.AnimIndex, sprite.mWarned, "a sprite");
        if (!bone)
            continue;
        shader->SetTechniqueByName(SpriteTechnique(sprite.EffectType));
        sPlane->BindBuffers(device);
        shader->SetMatrixByName("Effect", *bone);
        const Color c = sprite.stream.Evaluate(mElapsed, 0);
        const float rgba[4] = {c.r, c.g, c.b, c.a};
        shader->SetColor(Shader::Diffuse, rgba);
        shader->SetTexture(Shader::DiffuseMap, sprite.texture.GetTexture());
        shader->DrawPasses([&] { sPlane->DrawPart(device, 0); });
    }

    for (FontEffect& text : FontEffects)
    {
        BitmapFont* font = view.mFonts && text.FontIndex >= 0 ? view.mFonts->Get(size_t(text.FontIndex)) : nullptr;
        if (!font)
        {
            if (!text.mWarned)
            {
                text.mWarned = true;
                Console::Instance().Log("Effect: font " + std::to_string(text.FontIndex) +
                                            " does not exist; its text is not drawn",
                                        LogError);
            }
            continue;
        }
        float scale = text.Scale;
        if (text.AnimIndex != -1)
        {
            const Matrix4* bone = Bone(text.AnimIndex, text.mWarned, "a text");
            if (!bone)
                continue;
            scale *= (*bone)[0];
        }
        // A label on the world: its size on screen kept between bounds, whatever the distance.
        if (view.mPixelsPerUnit > 0.0f && scale > 0.0f)
        {
            const float distance = d.Length();
            const float pixels = scale * view.mPixelsPerUnit / distance;
            const float least = view.mScreenHeight * kTextLeastHeight, most = view.mScreenHeight * kTextMostHeight;
            if (pixels > most)
                scale *= most / pixels;
            else if (pixels < least)
                scale *= least / pixels;
        }
        const Color c = text.stream.Evaluate(mElapsed, 0);
        Matrix4 world = view.mViewRotationInverse;
        world[12] = position.x;
        world[13] = position.y;
        world[14] = position.z;
        device.SetTransform(TransformKind::World, world);
        font->DrawText3D(text.Text.c_str(), text.Postion.x, text.Postion.y, c.ToARGB(), scale, false, true);
    }
}

void Effect::RenderParticles(GraphicsDevice& device)
{
    Positional* positional = GetOwnerPositional();
    device.SetTransform(TransformKind::World, Transform && positional ? positional->mWorldMatrix : Matrix4::Identity());
    if (!positional || !positional->IsSeen() || !mDrawParticles)
        return;
    for (auto& system : mSystems)
        system->Render(device);
}

void Effect::BindPlaneMesh()
{
    sPlane = nullptr;
    if (!ModelStores::sMeshes)
        return;
    static const std::string kPlane = "Models\\Plane.lmf";
    // The store keeps the mesh; the lookup's reference goes back at once.
    Ref<Mesh> mesh = ModelStores::sMeshes->GetRef(kPlane);
    GraphicsLoom* loom = GraphicsLoom::Instance();
    if (mesh && loom && loom->GetDevice())
        mesh->BindBuffers(*loom->GetDevice());
    sPlane = mesh.Get();
}
