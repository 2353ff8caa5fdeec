#include "graphics/particles/ParticleComp.h"

#include "LOOM/cogs/Positional.h"
#include "LOOM/serial/Serializer.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/device/GraphicsDevice.h"
#include "graphics/particles/ParticleSet.h"
#include "graphics/scene/SceneFields.h"

bool ParticleFrameStep(float& dt, float& carry)
{
    dt += carry;
    if (dt < 0.001f)
    {
        // Very fast frames add up instead of freezing the particles.
        carry = dt > 0.0f ? dt : 0.0f;
        return false;
    }
    carry = 0.0f;
    if (dt > 1.0f / 30.0f)
        dt = 0.033333335f;
    return true;
}

ParticleComp::~ParticleComp()
{
    if (mSystems.empty())
        return;
    mEmitters.clear();
    mSystems.clear();
    if (GraphicsScene* scene = GraphicsScene::Current())
        scene->RemoveParticleComp(this);
}

void ParticleComp::Serialize(Serializer& s)
{
    SerializeHeader(s);
    s.SerializeBoolField("Transform", Transform);
    s.SerializeBoolField("ExhaustDeath", ExhaustDeath);
    SceneFields::FileList(s, "EmitterFiles", EmitterFiles);
    SceneFields::FileList(s, "SystemFiles", SystemFiles);
}

void ParticleComp::Initialize()
{
    if (SystemFiles.empty())
        return;
    if (GraphicsScene* scene = GraphicsScene::Current())
        scene->AddParticleComp(this);
    LoadParticleSet(SystemFiles, EmitterFiles, EmitterFeed::AsFileSays, mSystems, mEmitters);
}

void ParticleComp::Update(float dt)
{
    Positional* positional = GetOwnerPositional();
    if (positional)
        positional->mWorldMatrix.FromPosQuat(positional->GetPosition(), positional->GetOrientation());
    if (!ParticleFrameStep(dt, mCarry))
        return;
    const Matrix4 world = positional ? positional->mWorldMatrix : Matrix4::Identity();
    for (auto& system : mSystems)
        system->Update(dt);
    for (auto& emitter : mEmitters)
        emitter->Update(Transform, world, dt, mSystems);
}

void ParticleComp::Render(GraphicsDevice& device)
{
    Positional* positional = GetOwnerPositional();
    device.SetTransform(TransformKind::World, Transform && positional ? positional->mWorldMatrix : Matrix4::Identity());
    for (auto& system : mSystems)
        system->Render(device);
}
