#include "graphics/GraphicsScene.h"

#include <algorithm>

namespace {
template <typename P>
void EraseFirst(std::vector<P*>& list, P* item)
{
    auto it = std::find(list.begin(), list.end(), item);
    if (it != list.end())
        list.erase(it);
}
} // namespace

void GraphicsScene::RemoveModel(Renderable* model) { EraseFirst(mModels, model); }
void GraphicsScene::RemoveParticleComp(ParticleComp* comp) { EraseFirst(mParticleComps, comp); }
void GraphicsScene::RemoveEffect(Effect* effect) { EraseFirst(mEffects, effect); }
