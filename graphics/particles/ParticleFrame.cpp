#include "graphics/particles/ParticleFrame.h"

#include <memory>

#include "LOOM/engine/CoreEngine.h"
#include "LOOM/factory/CompFactory.h"
#include "graphics/ComponentFactories.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/camera/Camera.h"
#include "graphics/particles/BeamRenderer.h"
#include "graphics/particles/Effect.h"
#include "graphics/particles/ParticleComp.h"
#include "graphics/particles/ParticlePool.h"

namespace {

CompFactoryOf<ParticleComp> gParticleCompFactory;
CompFactoryOf<Effect> gEffectFactory;
std::unique_ptr<BeamRenderer> gBeams;

} // namespace

namespace ParticleFrame {

CompFactory* Factory(uint32_t typeId)
{
    switch (typeId)
    {
    case ParticleComp::kTypeId:
        return &gParticleCompFactory;
    case Effect::kTypeId:
        return &gEffectFactory;
    default:
        return nullptr;
    }
}

void InstallFactories() { InstallComponentFactories(&Factory); }

void CreateDeviceObjects(GraphicsLoom& loom)
{
    GraphicsDevice* device = loom.GetDevice();
    if (!gBeams)
        gBeams = std::make_unique<BeamRenderer>();
    if (!device)
        return;
    ParticlePool::CreateDeviceObjects(*device);
    gBeams->CreateVertexBuffer(*device);
}

void ReleaseDeviceObjects()
{
    ParticlePool::OnLostDevice();
    if (gBeams)
        gBeams->ReleaseVertexBuffer();
}

void Shutdown()
{
    // The shared quad belongs to the loom's mesh store, which goes with the loom.
    Effect::SetPlaneMesh(nullptr);
    gBeams.reset();
    ParticlePool::Destroy();
}

void UpdateComponents(GraphicsLoom& loom, float frameTime)
{
    if (GraphicsScene* scene = loom.GetScene())
        for (size_t i = 0; i < scene->mParticleComps.size(); ++i)
            scene->mParticleComps[i]->Update(frameTime);
}

void RenderEffects(GraphicsLoom& loom, float frameTime)
{
    GraphicsScene* scene = loom.GetScene();
    GraphicsDevice* device = loom.GetDevice();
    if (!scene || !device)
        return;
    Effect::BindPlaneMesh();
    for (size_t i = 0; i < scene->mEffects.size(); ++i)
    {
        scene->mEffects[i]->Update(frameTime);
        scene->mEffects[i]->Render(*device);
    }
}

void RenderParticles(GraphicsLoom& loom)
{
    GraphicsScene* scene = loom.GetScene();
    GraphicsDevice* device = loom.GetDevice();
    if (!scene || !device)
        return;
    ParticlePool::BeginRender(*device);
    for (ParticleComp* comp : scene->mParticleComps)
        comp->Render(*device);
    for (Effect* effect : scene->mEffects)
        effect->RenderParticles(*device);
    ParticlePool::EndRender(*device);
}

void RenderBeams(GraphicsLoom& loom)
{
    GraphicsDevice* device = loom.GetDevice();
    Camera* camera = loom.GetActiveCamera();
    if (!gBeams || !device || !camera)
        return;
    const float dt = gCoreEngine ? float(gCoreEngine->GetCoreTimer().GetDt()) : 0.0f;
    gBeams->Render(*device, dt, camera->GetPosition(), loom.GetShaderControl().GetShader("Quad"));
}

BeamRenderer* GetBeamRenderer() { return gBeams.get(); }

} // namespace ParticleFrame
