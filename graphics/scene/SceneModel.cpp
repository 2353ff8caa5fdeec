#include "graphics/scene/SceneModel.h"

#include <cmath>

#include "LOOM/assets/AssetManager.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/effect/Shader.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/ModelStores.h"
#include "graphics/resource/Material.h"
#include "graphics/scene/SceneFields.h"
#include "graphics/terrain/HeightMap.h"
#include "physics/RegionComp.h"

namespace {
constexpr float kPickRadius = 5.0f;
constexpr float kBlobLift = 0.2f;

void DrawVolume(GraphicsDevice& device, Shader& shader, const char* meshName, const Matrix4& world)
{
    Ref<Mesh> mesh = ModelStores::sMeshes ? ModelStores::sMeshes->GetRef(meshName) : nullptr;
    if (!mesh)
        return;
    shader.SetWorldMatrices(world);
    shader.CommitChanges();
    shader.ForEachPass([&] { mesh->Draw(device); });
}

// The unit sphere or cube over a volume's bounds placed at a position.
void DrawVolume(GraphicsDevice& device, Shader& shader, const Spatial& volume, const Vector3& position)
{
    Matrix4 world;
    if (!volume.UsesBox())
    {
        const BoundingSphere& sphere = volume.GetLocalSphere();
        world.FromPosScale(sphere.center + position, Vector3(sphere.radius, sphere.radius, sphere.radius));
        DrawVolume(device, shader, "Models/UnitSphere.lmf", world);
    }
    else
    {
        const BoundingBox& box = volume.GetLocalBox();
        world.FromPosScale((box.min + box.max) * 0.5f + position, box.max - box.min);
        DrawVolume(device, shader, "Models/UnitCube.lmf", world);
    }
}

// Ray against the fixed pick sphere at the position; only hits ahead of the origin (or around it) count.
bool IntersectSphere(const Vector3& centre, const Vector3& origin, const Vector3& direction)
{
    const Vector3 toOrigin = origin - centre;
    const float a = DotProduct(direction, direction);
    const float b = 2.0f * DotProduct(direction, toOrigin);
    const float c = DotProduct(toOrigin, toOrigin) - kPickRadius * kPickRadius;
    if (a <= 0.0f)
        return c <= 0.0f;
    const float disc = b * b - 4.0f * a * c;
    if (disc < 0.0f)
        return false;
    // The far crossing ahead of the origin: the sphere lies ahead or around it.
    return (-b + std::sqrt(disc)) >= 0.0f;
}

// The unit sphere or cube of the owner's bounds, then of its region's volume when it has one.
void DrawOwnerBounds(GraphicsDevice& device, Shader& shader, Cog* owner, Positional* positional, const float color[4])
{
    shader.SetColor(Shader::ModelColor, color);
    DrawVolume(device, shader, *positional, positional->GetPosition());
    // The region follows its cog only when the physics loom refreshes it: draw it where the cog is.
    if (auto* region = owner ? owner->Get<RegionComp>() : nullptr)
        DrawVolume(device, shader, region->GetVolume(), positional->GetPosition());
}

} // namespace

SceneModel::~SceneModel()
{
    if (GraphicsScene* scene = GraphicsScene::Current())
        scene->RemoveModel(this);
}

Ref<Mesh> SceneModel::FetchMesh(const std::string& name)
{
    // An empty name is a refused one: nothing to read.
    return ModelStores::sMeshes && !name.empty() ? ModelStores::sMeshes->GetRef(name) : nullptr;
}

Ref<Material> SceneModel::FetchMaterial(const std::string& name)
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    return loom && loom->GetDevice() ? loom->Stores().Materials().GetRef(name) : nullptr;
}

Shader* SceneModel::FetchShader(const std::string& name)
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    return loom ? loom->GetShaderControl().GetShader(name) : nullptr;
}

void SceneModel::Count(uint32_t counter, uint32_t amount)
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    if (!loom)
        return;
    GraphicsLoom::Counters& c = loom->GetCounters();
    uint32_t* slots[] = {&c.mTriangles, &c.mParticles, &c.mShadowTriangles, &c.mModelsDrawn};
    if (counter < 4)
        *slots[counter] += amount;
}

void SceneModel::SerializeAnimation(Serializer& s)
{
    s.SerializeBoolField("AnimationActive", mAnimation.AnimationActive);
    SceneFields::Uint(s, "CurAnimation", mAnimation.CurAnimation);
    s.SerializeRealField("CurTime", mAnimation.CurTime);
    s.SerializeRealField("AnimationRate", mAnimation.AnimationRate);
    s.SerializeBoolField("LoopAnimation", mAnimation.LoopAnimation);
    SceneFields::FileList(s, "FileAnimations", mAnimation.FileAnimations);
}

void SceneModel::ReleaseMeshes()
{
    mMesh.Reset();
    mShadowMesh.Reset();
}

void SceneModel::UpdateBounds()
{
    if (!mMesh)
        return;
    mScaledRadius = mMesh->mRadius * Scale;
    if (mOwnerPositional)
    {
        mOwnerPositional->GetLocalSphere() = {Vector3(), mScaledRadius};
        mOwnerPositional->GetLocalBox() = {mMesh->mBoxCorner1 * Scale, mMesh->mBoxCorner2 * Scale};
        mOwnerPositional->UpdateQuadTree();
    }
}

void SceneModel::SetScale(float scale)
{
    Scale = scale;
    UpdateBounds();
}

void SceneModel::LoadShadow(bool volumeReady, bool blobReady, const char* volumeShader)
{
    if (volumeReady && ShadowType == kShadowVolume)
    {
        mMesh->BuildEdges();
        mShadowShader = FetchShader(volumeShader);
    }
    else if (blobReady && ShadowType == kShadowBlob)
    {
        mShadowMesh = FetchMesh("Models/Plane.lmf");
        mShadowShader = FetchShader("Quad");
    }
}

bool SceneModel::Intersect(const Vector3& origin, const Vector3& direction)
{
    return mOwnerPositional && IntersectSphere(mOwnerPositional->GetPositionValue(), origin, direction);
}

void SceneModel::BindGeometry(GraphicsDevice& device, uint16_t meshSerial, uint16_t subKey, bool shadowPass)
{
    (void)meshSerial;
    (void)subKey;
    if (!shadowPass)
    {
        if (mMesh)
            mMesh->BindBuffers(device);
    }
    else if (ShadowType == kShadowVolume && mMesh)
    {
        mMesh->BindBuffersAlt(device);
    }
    else if (ShadowType == kShadowBlob && mShadowMesh)
    {
        mShadowMesh->BindBuffers(device);
    }
}

void SceneModel::DrawBlobShadow(GraphicsDevice& device, Shader& shader) const
{
    if (!mShadowMesh || !mOwnerPositional)
        return;
    const Vector3 position = mOwnerPositional->GetPositionValue();
    // Without a height map the ground is y = 0.
    const HeightMap* map = HeightMap::Current();
    const float height = map ? map->GetHeightAt(position) : 0.0f;
    const Vector3 ground(position.x, height + kBlobLift, position.z);
    const float size = 2.0f * mScaledRadius;
    Matrix4 world;
    world.FromPosScale(ground, Vector3(size, size, size));
    shader.SetWorldMatrices(world);
    shader.CommitChanges();
    shader.ForEachPass([&] { mShadowMesh->DrawPart(device, 0); });
}

void SceneModel::DrawBounds(GraphicsDevice& device, Shader* shader)
{
    if (shader && mOwnerPositional && mOwnerPositional->IsVisible())
        DrawOwnerBounds(device, *shader, GetOwner(), mOwnerPositional, &ModelColor.r);
}
