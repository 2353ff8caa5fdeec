#include "graphics/scene/SceneFrame.h"

#include "graphics/GraphicsLoom.h"
#include "graphics/Renderable.h"
#include "graphics/commands/GraphicsCommands.h"
#include "graphics/effect/Shader.h"
#include "graphics/font/FontList.h"
#include "graphics/model/animation/AnimationObj.h"
#include "graphics/render/RenderQueue.h"
#include "graphics/resource/Texture.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/scene/path/PathController.h"

namespace SceneFrame {

void UpdateComponents(GraphicsLoom& loom, float frameTime)
{
    AnimationObj::SetAnimEnabled(loom.GetToggles().mAnimations);
    GraphicsScene* scene = loom.GetScene();
    RenderQueue* queue = loom.GetRenderQueue();
    if (scene && queue)
    {
        for (Renderable* model : scene->mModels)
            model->Submit(frameTime, 0, queue);
    }
    for (PathController* controller : PathController::Live())
        controller->Update();
}

void RenderBounds(GraphicsLoom& loom)
{
    GraphicsDevice* device = loom.GetDevice();
    GraphicsScene* scene = loom.GetScene();
    Shader* shader = loom.GetShaderControl().GetShader("Trans");
    if (!device || !scene || !shader || scene->mModels.empty())
        return;
    Ref<Texture> white = loom.Stores().Textures().GetRef("Textures/White.bmp");
    shader->SetTechnique(Shader::Technique0);
    shader->SetTexture(Shader::DiffuseMap, white ? white->GetTexture() : nullptr);
    shader->Begin();
    for (Renderable* model : scene->mModels)
        model->DrawBounds(*device, shader);
    shader->End();
}

void RenderHudDisplays(GraphicsLoom& loom)
{
    GraphicsDevice* device = loom.GetDevice();
    if (!device || HudDisplay::Live().empty())
        return;
    for (HudDisplay* display : HudDisplay::Live())
        display->Render(*device);
}

void CreateDeviceObjects(GraphicsLoom& loom)
{
    HudDisplay::CreateVertexBuffer(loom.GetDevice());
    GraphicsCommands* commands = loom.GetCommands();
    HudDisplay::SetFont(commands ? commands->Fonts().Get(0) : nullptr);
}

void ReleaseDeviceObjects()
{
    HudDisplay::ReleaseVertexBuffer();
    HudDisplay::SetFont(nullptr);
}

} // namespace SceneFrame
