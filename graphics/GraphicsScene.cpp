#include "graphics/GraphicsScene.h"

#include <algorithm>

#include "graphics/GraphicsLoom.h"

namespace {
template <typename P>
void EraseFirst(std::vector<P*>& list, P* item)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end())
        list.erase(it);
}
} // namespace

GraphicsScene* GraphicsScene::Current()
{
    GraphicsLoom* loom = GraphicsLoom::Instance();
    return loom ? loom->GetScene() : nullptr;
}

void GraphicsScene::RemoveModel(Renderable* model) { EraseFirst(mModels, model); }
void GraphicsScene::RemoveParticleComp(ParticleComp* comp) { EraseFirst(mParticleComps, comp); }
void GraphicsScene::RemoveEffect(Effect* effect) { EraseFirst(mEffects, effect); }
