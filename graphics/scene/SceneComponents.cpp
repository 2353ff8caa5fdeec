#include "graphics/scene/SceneComponents.h"

#include "LOOM/cogs/CompFactory.h"
#include "LOOM/cogs/Composer.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/scene/Model.h"
#include "graphics/scene/PathController.h"
#include "graphics/scene/SkinModel.h"
#include "graphics/scene/Sprite.h"

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
    case Model::kTypeId: return &gModelFactory;
    case SkinModel::kTypeId: return &gSkinModelFactory;
    case PathController::kTypeId: return &gPathControllerFactory;
    case Sprite::kTypeId: return &gSpriteFactory;
    case HudDisplay::kTypeId: return &gHudDisplayFactory;
    default: return nullptr;
    }
}

void InstallSceneFactories()
{
    size_t count = 0;
    GraphicsComponentType* types = GraphicsLoom::ComponentTypes(count);
    for (size_t i = 0; i < count; ++i)
        if (CompFactory* factory = SceneComponentFactory(types[i].mTypeId))
            types[i].mFactory = factory;
}
