#include "game/player/SceneBinding.h"

#include "LOOM/cogs/Cog.h"
#include "game/player/PlayerServices.h"
#include "graphics/model/AnimationObj.h"
#include "graphics/particles/Effect.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/scene/Model.h"
#include "graphics/scene/SkinModel.h"
#include "graphics/terrain/HeightMap.h"
#include "graphics/terrain/TerrainSurface.h"

namespace {
// The cog's animation controller: its skinned model's, else its model's.
AnimationObj* ControllerOf(Cog& cog)
{
    if (SkinModel* skin = CompOf<SkinModel>(&cog, SkinModel::kTypeId))
        return &skin->GetAnimation();
    if (Model* model = CompOf<Model>(&cog, Model::kTypeId))
        return &model->GetAnimation();
    return nullptr;
}

HudDisplay* Hud(Cog& cog)
{
    return CompOf<HudDisplay>(&cog, HudDisplay::kTypeId);
}

Effect* EffectOf(Cog& cog)
{
    return CompOf<Effect>(&cog, Effect::kTypeId);
}
} // namespace

bool SceneBinding::HasEffect(Cog& cog)
{
    return EffectOf(cog) != nullptr;
}

void SceneBinding::SetEffectParticlesDrawn(Cog& cog, bool drawn)
{
    if (Effect* effect = EffectOf(cog))
        effect->SetParticleDrawing(drawn);
}

void SceneBinding::SetEffectAnimation(Cog& cog, int32_t index, bool loop)
{
    if (Effect* effect = EffectOf(cog))
        effect->SetAnimation(index, loop);
}

void SceneBinding::ClearEffectLoop(Cog& cog)
{
    if (Effect* effect = EffectOf(cog))
        effect->Animation().LoopAnimation = false;
}

bool SceneBinding::SetEffectText(Cog& cog, const std::string& text)
{
    Effect* effect = EffectOf(cog);
    if (!effect || effect->FontEffects.empty())
        return false;
    effect->FontEffects.front().Text = text;
    return true;
}

bool SceneBinding::HasModel(Cog& cog)
{
    return ControllerOf(cog) != nullptr;
}

bool SceneBinding::PlayAnimation(Cog& cog, const std::string& name, bool loop)
{
    AnimationObj* animation = ControllerOf(cog);
    if (!animation || !animation->FindAnimation(name))
        return false;
    animation->SetAnimationByName(name, loop);
    return true;
}

void SceneBinding::PlayAnimationIndex(Cog& cog, int32_t index, bool loop)
{
    if (AnimationObj* animation = ControllerOf(cog); animation && index >= 0)
        animation->SetAnimation(static_cast<uint32_t>(index), loop);
}

bool SceneBinding::CurrentAnimation(Cog& cog, std::string& out)
{
    AnimationObj* animation = ControllerOf(cog);
    if (!animation)
        return false;
    out = animation->GetAnimationName();
    return true;
}

bool SceneBinding::IsAnimationActive(Cog& cog)
{
    AnimationObj* animation = ControllerOf(cog);
    return animation && animation->AnimationActive;
}

void SceneBinding::SetAnimationActive(Cog& cog, bool active)
{
    if (AnimationObj* animation = ControllerOf(cog))
        animation->SetActive(active);
}

void SceneBinding::SetAnimationRate(Cog& cog, float rate)
{
    if (AnimationObj* animation = ControllerOf(cog))
        animation->AnimationRate = rate;
}

void SceneBinding::SetCallbackMessage(Cog& cog, const std::string& message)
{
    if (AnimationObj* animation = ControllerOf(cog))
    {
        animation->SetCallbackMessage(message);
        animation->SetCallbackTarget(cog.GetID());
    }
}

void SceneBinding::CycleAnimation(Cog& cog)
{
    if (AnimationObj* animation = ControllerOf(cog))
        animation->CycleAnimation();
}

bool SceneBinding::GetModelColor(Cog& cog, Color& out)
{
    if (SkinModel* skin = CompOf<SkinModel>(&cog, SkinModel::kTypeId))
    {
        out = skin->ModelColor;
        return true;
    }
    if (Model* model = CompOf<Model>(&cog, Model::kTypeId))
    {
        out = model->ModelColor;
        return true;
    }
    return false;
}

void SceneBinding::SetModelColor(Cog& cog, const Color& color)
{
    if (SkinModel* skin = CompOf<SkinModel>(&cog, SkinModel::kTypeId))
        skin->ModelColor = color;
    else if (Model* model = CompOf<Model>(&cog, Model::kTypeId))
        model->SetModelColorValue(color);
}

void SceneBinding::SetMaterial(Cog& cog, const std::string& file)
{
    if (SkinModel* skin = CompOf<SkinModel>(&cog, SkinModel::kTypeId))
        skin->SetMaterial(file);
}

void SceneBinding::SetModelScale(Cog& cog, float scale)
{
    if (Model* model = CompOf<Model>(&cog, Model::kTypeId))
        model->SetScale(scale);
}

bool SceneBinding::HasHeightMap()
{
    return HeightMap::Current() != nullptr;
}

bool SceneBinding::GetMapExtent(float& width, float& depth)
{
    const HeightMap* map = HeightMap::Current();
    if (!map)
        return false;
    width = static_cast<float>(map->mMapWidthSize) * map->mTileScale;
    depth = static_cast<float>(map->mMapDepthSize) * map->mTileScale;
    return true;
}

void SceneBinding::PaintTerrain(const Vector3& centre, float inner, float outer, int32_t layer)
{
    if (HeightMap* map = HeightMap::Current(); map && map->GetTerrain())
        map->GetTerrain()->PaintInfoTexture(centre, inner, outer, layer);
}

void SceneBinding::DeformTerrain(int32_t kind, const Vector3& at, float a, float b, float c)
{
    if (HeightMap* map = HeightMap::Current())
        map->DeformTerrain(kind, at.x, at.y, at.z, a, b, c);
}

bool SceneBinding::HasHudDisplay(Cog& cog)
{
    return Hud(cog) != nullptr;
}

bool SceneBinding::IsNumberShown(Cog& cog)
{
    const HudDisplay* hud = Hud(cog);
    return hud && hud->mShowNumber;
}

void SceneBinding::ShowNumber(Cog& cog, bool show)
{
    if (HudDisplay* hud = Hud(cog))
        hud->ShowNumber(show);
}

void SceneBinding::SetHudText(Cog& cog, const std::string& text)
{
    if (HudDisplay* hud = Hud(cog))
        hud->SetText(text);
}

void SceneBinding::SetHudColor(Cog& cog, const Color& color)
{
    if (HudDisplay* hud = Hud(cog))
        hud->SetHUDColor(color);
}

void SceneBinding::SetHudAlpha(Cog& cog, float alpha)
{
    if (HudDisplay* hud = Hud(cog))
    {
        Color color = hud->mColor;
        color.a = alpha;
        hud->SetHUDColor(color);
    }
}

void SceneBinding::SetHudOffsetHeight(Cog& cog, float height)
{
    if (HudDisplay* hud = Hud(cog))
        hud->Offset.y = height;
}

void SceneBinding::ShowBar(Cog& cog, bool show)
{
    if (HudDisplay* hud = Hud(cog))
        hud->ShowBar(show);
}

void SceneBinding::SetBarPercent(Cog& cog, float percent)
{
    if (HudDisplay* hud = Hud(cog))
        hud->SetPercent(percent);
}
