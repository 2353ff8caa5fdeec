#include "graphics/scene/SceneComponents.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/CogFunctor.h"
#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"
#include "graphics/ComponentFactories.h"
#include "graphics/particles/Effect.h"
#include "graphics/particles/ParticleComp.h"
#include "graphics/particles/ParticleFrame.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/scene/Model.h"
#include "graphics/scene/SkinModel.h"
#include "graphics/scene/Sprite.h"
#include "graphics/scene/path/PathController.h"
#include "input/IOLoom.h"

namespace {

template <typename T, void (*Bind)(Composer&)>
class MessageFactory : public CompFactoryOf<T>
{
public:
    void RegisterMessages(Composer& composer) override { Bind(composer); }
};

MessageFactory<Model, RegisterModelMessages> gModelFactory;
MessageFactory<SkinModel, RegisterSkinModelMessages> gSkinModelFactory;
MessageFactory<HudDisplay, RegisterHudDisplayMessages> gHudDisplayFactory;
CompFactoryOf<PathController> gPathControllerFactory;
CompFactoryOf<Sprite> gSpriteFactory;

} // namespace

CompFactory* SceneComponentFactory(uint32_t typeId)
{
    switch (typeId)
    {
    case Model::kTypeId:
        return &gModelFactory;
    case SkinModel::kTypeId:
        return &gSkinModelFactory;
    case PathController::kTypeId:
        return &gPathControllerFactory;
    case Sprite::kTypeId:
        return &gSpriteFactory;
    case HudDisplay::kTypeId:
        return &gHudDisplayFactory;
    default:
        return nullptr;
    }
}

void InstallSceneFactories() { InstallComponentFactories(&SceneComponentFactory); }

void RegisterSceneComponents(CogFactory& cogs)
{
    for (uint32_t id :
         {Model::kTypeId, SkinModel::kTypeId, PathController::kTypeId, Sprite::kTypeId, HudDisplay::kTypeId})
        if (CompFactory* factory = SceneComponentFactory(id))
            cogs.Types().RegisterComponent(id, factory);
    // Effects and particles too: speech bubbles, explosions and death clouds are effect cogs.
    for (uint32_t id : {Effect::kTypeId, ParticleComp::kTypeId})
        if (CompFactory* factory = ParticleFrame::Factory(id))
            cogs.Types().RegisterComponent(id, factory);
}

void CycleAnimations(Cog* cog)
{
    IOLoom* io = IOLoom::Instance();
    if (!cog || !io || !io->MouseTriggered(0))
        return;
    if (auto* skin = cog->Get<SkinModel>())
        skin->CycleAnimation();
    if (auto* model = cog->Get<Model>())
        model->CycleAnimation();
}

void RegisterSceneFunctions(CogFactory& cogs)
{
    cogs.Types().RegisterFunction("CycleAnimations", MakeCogFunctor([](Cog* cog) { CycleAnimations(cog); }));
}
