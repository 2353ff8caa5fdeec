#include "game/player/SceneBinding.h"

#include <set>
#include <utility>

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/console/Console.h"
#include "game/player/PlayerServices.h"
#include "graphics/GraphicsLoom.h"
#include "graphics/model/Mesh.h"
#include "graphics/model/animation/Animation.h"
#include "graphics/model/animation/AnimationObj.h"
#include "graphics/particles/BeamRenderer.h"
#include "graphics/particles/Effect.h"
#include "graphics/particles/ParticleComp.h"
#include "graphics/particles/ParticleFrame.h"
#include "graphics/scene/HudDisplay.h"
#include "graphics/scene/Model.h"
#include "graphics/scene/ModelIK.h"
#include "graphics/scene/SkinModel.h"
#include "graphics/terrain/HeightMap.h"
#include "graphics/terrain/TerrainSurface.h"

namespace {
// The cog's animation controller: its skinned model's, else its model's.
AnimationObj* ControllerOf(Cog& cog)
{
    if (SkinModel* skin = cog.Get<SkinModel>())
        return &skin->GetAnimation();
    if (Model* model = cog.Get<Model>())
        return &model->GetAnimation();
    return nullptr;
}

HudDisplay* Hud(Cog& cog) { return cog.Get<HudDisplay>(); }

// Passes a setting on to the cog's HUD display; a cog without one has nothing to show.
template <typename Param, typename Arg>
void SetOnHud(Cog& cog, void (HudDisplay::*set)(Param), Arg&& value)
{
    if (HudDisplay* hud = Hud(cog))
        (hud->*set)(std::forward<Arg>(value));
}

Effect* EffectOf(Cog& cog) { return cog.Get<Effect>(); }

// A request the scene cannot serve is a fault in the data or the game; it is said once, not
// every frame it recurs.
void Unserved(std::set<std::string>& said, const std::string& what)
{
    if (said.insert(what).second)
        Console::Instance().Log("Scene: " + what, LogError);
}

Emitter* EmitterOf(std::set<std::string>& said, Cog& cog, int32_t index, const char* request)
{
    ParticleComp* particles = cog.Get<ParticleComp>();
    if (!particles)
    {
        Unserved(said, std::string(request) + ": cog " + cog.GetName() + " has no ParticleComp");
        return nullptr;
    }
    if (index < 0 || static_cast<size_t>(index) >= particles->Emitters().size())
    {
        Unserved(said, std::string(request) + ": cog " + cog.GetName() + " has no emitter " + std::to_string(index));
        return nullptr;
    }
    return particles->Emitters()[static_cast<size_t>(index)].get();
}

Vector3* EmitterVector(std::set<std::string>& said, Emitter& emitter, const std::string& name)
{
    if (name == "EPosition" || name == "Position")
        return &emitter.EPosition;
    if (name == "EDirection")
        return &emitter.EDirection;
    if (name == "EmitDirection")
        return &emitter.EmitDirection;
    Unserved(said, "emitter " + emitter.GetFileName() + " has no vector \"" + name + "\"");
    return nullptr;
}

HeightMap* CurrentMap(std::set<std::string>& said, const char* request)
{
    HeightMap* map = HeightMap::Current();
    if (!map)
        Unserved(said, std::string(request) + ": no height map in the level");
    return map;
}
} // namespace

// Models.

bool ModelBinding::HasModel(Cog& cog) { return ControllerOf(cog) != nullptr; }

bool ModelBinding::PlayAnimation(Cog& cog, const std::string& name, bool loop)
{
    AnimationObj* animation = ControllerOf(cog);
    if (!animation || !animation->FindAnimation(name))
        return false;
    animation->SetAnimationByName(name, loop);
    return true;
}

void ModelBinding::PlayAnimationIndex(Cog& cog, int32_t index, bool loop)
{
    if (AnimationObj* animation = ControllerOf(cog); animation && index >= 0)
        animation->SetAnimation(static_cast<uint32_t>(index), loop);
}

float ModelBinding::AnimationLength(Cog& cog, const std::string& name)
{
    AnimationObj* animation = ControllerOf(cog);
    const Animation* clip = animation ? animation->FindAnimation(name) : nullptr;
    return clip ? clip->mLength : -1.0f;
}

bool ModelBinding::CurrentAnimation(Cog& cog, std::string& out)
{
    AnimationObj* animation = ControllerOf(cog);
    if (!animation)
        return false;
    out = animation->GetAnimationName();
    return true;
}

bool ModelBinding::IsAnimationActive(Cog& cog)
{
    AnimationObj* animation = ControllerOf(cog);
    return animation && animation->AnimationActive;
}

void ModelBinding::SetAnimationActive(Cog& cog, bool active)
{
    if (AnimationObj* animation = ControllerOf(cog))
        animation->SetActive(active);
}

void ModelBinding::SetAnimationRate(Cog& cog, float rate)
{
    if (AnimationObj* animation = ControllerOf(cog))
        animation->AnimationRate = rate;
}

void ModelBinding::SetCallbackMessage(Cog& cog, const std::string& message)
{
    if (AnimationObj* animation = ControllerOf(cog))
    {
        animation->SetCallbackMessage(message);
        animation->SetCallbackTarget(cog.GetID());
    }
}

bool ModelBinding::GetModelColor(Cog& cog, Color& out)
{
    if (SkinModel* skin = cog.Get<SkinModel>())
    {
        out = skin->ModelColor;
        return true;
    }
    if (Model* model = cog.Get<Model>())
    {
        out = model->ModelColor;
        return true;
    }
    return false;
}

void ModelBinding::SetModelColor(Cog& cog, const Color& color)
{
    if (SkinModel* skin = cog.Get<SkinModel>())
        skin->ModelColor = color;
    else if (Model* model = cog.Get<Model>())
        model->SetModelColorValue(color);
}

void ModelBinding::SetMaterial(Cog& cog, const std::string& file)
{
    if (SkinModel* skin = cog.Get<SkinModel>())
        skin->SetMaterial(file);
}

void ModelBinding::SetSubMeshVisible(Cog& cog, int32_t index, bool visible)
{
    Model* model = cog.Get<Model>();
    if (!model || index < 0)
    {
        Unserved(mUnserved, "SetSubMeshVisible: cog " + cog.GetName() + " has no Model with submeshes");
        return;
    }
    model->SetSubMeshVisible(static_cast<uint32_t>(index), visible);
}

void ModelBinding::SetBoundingRadius(Cog& cog, float radius)
{
    if (SkinModel* skin = cog.Get<SkinModel>())
        skin->mScaledRadius = radius;
    else if (Model* model = cog.Get<Model>())
        model->mScaledRadius = radius;
}

void ModelBinding::CycleAnimation(Cog& cog)
{
    if (AnimationObj* animation = ControllerOf(cog))
        animation->CycleAnimation();
}

void ModelBinding::SetModelFile(Cog& cog, const std::string& file)
{
    if (SkinModel* skin = cog.Get<SkinModel>())
        skin->SetModelFile(file);
    else if (Model* model = cog.Get<Model>())
        model->SetModel(file);
    else
        Unserved(mUnserved, "SetModelFile: cog " + cog.GetName() + " has no model for " + file);
}

void ModelBinding::SetModelScale(Cog& cog, float scale)
{
    if (Model* model = cog.Get<Model>())
        model->SetScale(scale);
}

bool ModelBinding::GetPartMatrix(Cog& cog, int32_t part, Matrix4& out)
{
    // Posed now: a trap off screen still fires from where its parts are at this frame.
    Model* model = cog.Get<Model>();
    if (!model)
        return false;
    model->PoseParts();
    std::vector<Matrix4>& tracks = model->GetAnimation().GetTrackMatrices();
    if (part < 0 || static_cast<size_t>(part) >= tracks.size())
        return false;
    out = tracks[static_cast<size_t>(part)];
    return true;
}

void ModelBinding::BlendToAnimation(Cog& cog, const std::string& name, int32_t track, float turnRate, bool loop)
{
    AnimationObj* animation = ControllerOf(cog);
    Animation* target = animation ? animation->FindAnimation(name) : nullptr;
    if (!target || track < 0)
    {
        Unserved(mUnserved, "BlendToAnimation: cog " + cog.GetName() + " has no animation \"" + name + "\"");
        return;
    }
    animation->BlendToAnimation(target, static_cast<uint32_t>(track), turnRate, loop);
}

bool ModelBinding::GenerateIKAnimation(Cog& cog, const std::string& constraints, const Vector3& target, float turnRate)
{
    if (::GenerateIKAnimation(&cog, constraints, target, turnRate))
        return true;
    Unserved(mUnserved, "GenerateIKAnimation: cog " + cog.GetName() + " could not aim with " + constraints);
    return false;
}

// Terrain.

bool TerrainBinding::HasHeightMap() { return HeightMap::Current() != nullptr; }

bool TerrainBinding::GetMapExtent(float& width, float& depth)
{
    const HeightMap* map = HeightMap::Current();
    if (!map)
        return false;
    // The sizes count vertices: the ground ends one tile short of size * scale.
    width = static_cast<float>(map->mMapWidthSize - 1) * map->mTileScale;
    depth = static_cast<float>(map->mMapDepthSize - 1) * map->mTileScale;
    return true;
}

bool TerrainBinding::GetBaseHeight(float& height)
{
    const HeightMap* map = HeightMap::Current();
    if (!map)
        return false;
    height = map->mBaseHeight;
    return true;
}

void TerrainBinding::PaintTerrain(const Vector3& centre, float inner, float outer, int32_t layer)
{
    if (HeightMap* map = HeightMap::Current(); map && map->GetTerrain())
        map->GetTerrain()->PaintInfoTexture(centre, inner, outer, layer);
}

void TerrainBinding::DeformTerrain(int32_t kind, const Vector3& at, float a, float b, float c)
{
    if (HeightMap* map = HeightMap::Current())
        map->DeformTerrain(kind, at.x, at.y, at.z, a, b, c);
}

void TerrainBinding::AddDeformation(const Vector3& at, float radius, float depth, float duration)
{
    if (HeightMap* map = CurrentMap(mUnserved, "AddDeformation"))
        map->AddDeformation(at, radius, depth, duration);
}

void TerrainBinding::AddDecal(const Vector3& at, float size, int32_t kind, float life)
{
    if (HeightMap* map = CurrentMap(mUnserved, "AddDecal"))
        map->AddDecal(at, size, kind, life);
}

bool TerrainBinding::GenerateMap()
{
    HeightMap* map = HeightMap::Current();
    if (!map)
        return false;
    // A failed generation has said why and kept the heights: nothing new to show or save.
    if (map->GenerateMap())
    {
        map->ComputeAllNormals();
        map->RebuildTerrain();
        map->SaveHeightImage("HMapOutput.bmp");
    }
    return true;
}

// HUD displays.

void HudBinding::ShowBar(Cog& cog, bool show) { SetOnHud(cog, &HudDisplay::ShowBar, show); }

void HudBinding::SetBarPercent(Cog& cog, float percent) { SetOnHud(cog, &HudDisplay::SetPercent, percent); }

void HudBinding::SetHudAlpha(Cog& cog, float alpha)
{
    if (HudDisplay* hud = Hud(cog))
    {
        Color color = hud->mColor;
        color.a = alpha;
        hud->SetHUDColor(color);
    }
}

bool HudBinding::HasHudDisplay(Cog& cog) { return Hud(cog) != nullptr; }

bool HudBinding::IsNumberShown(Cog& cog)
{
    const HudDisplay* hud = Hud(cog);
    return hud && hud->mShowNumber;
}

void HudBinding::SetHudText(Cog& cog, const std::string& text) { SetOnHud(cog, &HudDisplay::SetText, text); }

void HudBinding::SetHudColor(Cog& cog, const Color& color) { SetOnHud(cog, &HudDisplay::SetHUDColor, color); }

void HudBinding::SetHudOffsetHeight(Cog& cog, float height)
{
    if (HudDisplay* hud = Hud(cog))
        hud->Offset.y = height;
}

void HudBinding::ShowNumber(Cog& cog, bool show) { SetOnHud(cog, &HudDisplay::ShowNumber, show); }

void HudBinding::SetNumber(Cog& cog, int32_t number) { SetOnHud(cog, &HudDisplay::SetNumber, number); }

// Particles, effects and beams.

bool EffectBinding::GetEmitterVector(Cog& cog, int32_t emitter, const std::string& name, Vector3& out)
{
    // Asking is how a placed trap finds out whether it carries an emitter at all.
    ParticleComp* particles = cog.Get<ParticleComp>();
    if (!particles || emitter < 0 || static_cast<size_t>(emitter) >= particles->Emitters().size())
        return false;
    Emitter* e = particles->Emitters()[static_cast<size_t>(emitter)].get();
    const Vector3* v = e ? EmitterVector(mUnserved, *e, name) : nullptr;
    if (!v)
        return false;
    out = *v;
    return true;
}

void EffectBinding::SetEmitterVector(Cog& cog, int32_t emitter, const std::string& name, const Vector3& value)
{
    Emitter* e = EmitterOf(mUnserved, cog, emitter, "SetEmitterVector");
    if (Vector3* v = e ? EmitterVector(mUnserved, *e, name) : nullptr)
        *v = value;
}

void EffectBinding::SetEmitterFloat(Cog& cog, int32_t emitter, const std::string& name, float value)
{
    static constexpr std::pair<const char*, float Emitter::*> kNumbers[] = {
        {"EmitRate", &Emitter::EmitRate}, {"EmitPhi", &Emitter::EmitPhi},   {"LifeTime", &Emitter::LifeTime},
        {"Speed", &Emitter::Speed},       {"Friction", &Emitter::Friction}, {"Distance", &Emitter::Distance},
        {"DMScale", &Emitter::DMScale}};
    Emitter* e = EmitterOf(mUnserved, cog, emitter, "SetEmitterFloat");
    if (!e)
        return;
    for (const auto& [field, member] : kNumbers)
    {
        if (name == field)
        {
            e->*member = value;
            return;
        }
    }
    Unserved(mUnserved, "emitter " + e->GetFileName() + " has no number \"" + name + "\"");
}

void EffectBinding::SetEmitterRange(Cog& cog, int32_t emitter, const std::string& name, float low, float high)
{
    Emitter* e = EmitterOf(mUnserved, cog, emitter, "SetEmitterRange");
    if (!e)
        return;
    MinMax* range = name == "PartLifeTime" ? &e->PartLifeTime : name == "PartSpeed" ? &e->PartSpeed : nullptr;
    if (!range)
    {
        Unserved(mUnserved, "emitter " + e->GetFileName() + " has no range \"" + name + "\"");
        return;
    }
    range->Min = low;
    range->Max = high;
    range->mRange = low != high;
}

void EffectBinding::SetEmitterActive(Cog& cog, int32_t emitter, bool active)
{
    if (Emitter* e = EmitterOf(mUnserved, cog, emitter, "SetEmitterActive"))
        e->SetActive(active);
}

void EffectBinding::AddParticle(Cog& cog, int32_t system, const Vector3& at, const Vector3& velocity, float life)
{
    ParticleComp* particles = cog.Get<ParticleComp>();
    if (!particles || system < 0 || static_cast<size_t>(system) >= particles->Systems().size())
    {
        Unserved(mUnserved, "AddParticle: cog " + cog.GetName() + " has no particle system " + std::to_string(system));
        return;
    }
    Particle particle;
    particle.mPosition = at;
    particle.mVelocity = velocity;
    particle.mLifetime = life;
    particles->Systems()[static_cast<size_t>(system)]->AddParticle(particle);
}

void EffectBinding::SetEmitterDistanceMap(Cog& cog, int32_t emitter, const std::string& file)
{
    ParticleComp* particles = cog.Get<ParticleComp>();
    if (particles && emitter >= 0 && static_cast<size_t>(emitter) < particles->Emitters().size())
        particles->Emitters()[static_cast<size_t>(emitter)]->SetDistanceMap(file);
}

bool EffectBinding::HasEffect(Cog& cog) { return EffectOf(cog) != nullptr; }

void EffectBinding::SetEffectParticlesDrawn(Cog& cog, bool drawn)
{
    if (Effect* effect = EffectOf(cog))
        effect->SetParticleDrawing(drawn);
}

void EffectBinding::SetEffectAnimation(Cog& cog, int32_t index, bool loop)
{
    if (Effect* effect = EffectOf(cog))
        effect->SetAnimation(index, loop);
}

void EffectBinding::ClearEffectLoop(Cog& cog)
{
    if (Effect* effect = EffectOf(cog))
        effect->Animation().LoopAnimation = false;
}

bool EffectBinding::SetEffectText(Cog& cog, const std::string& text)
{
    Effect* effect = EffectOf(cog);
    if (!effect || effect->FontEffects.empty())
        return false;
    effect->FontEffects.front().Text = text;
    return true;
}

void EffectBinding::AddBeam(const Beam& beam)
{
    BeamRenderer* beams = ParticleFrame::GetBeamRenderer();
    if (!beams)
    {
        Unserved(mUnserved, "AddBeam: no beam renderer");
        return;
    }
    if (beam.moving > 0.0f)
        beams->AddMovingBeam(beam.source, beam.lifetime, beam.from, beam.to, beam.width, beam.noise, beam.segments,
                             beam.noiseSpeed, beam.moving, beam.kind);
    else
        beams->AddBeam(beam.source, beam.lifetime, beam.from, beam.to, beam.width, beam.noise, beam.segments,
                       beam.noiseSpeed, beam.kind);
}

// Display.

void DisplayBinding::RenderLoading()
{
    if (GraphicsLoom* graphics = GraphicsLoom::Instance())
        graphics->RenderLoading();
}

void DisplayBinding::DoneLoading()
{
    if (GraphicsLoom* graphics = GraphicsLoom::Instance())
        graphics->Loading().Done();
}

bool DisplayBinding::GetDisplaySettings(DisplaySettings& settings)
{
    GraphicsLoom* graphics = GraphicsLoom::Instance();
    if (!graphics || graphics->GetScreenWidth() <= 0)
        return false;
    graphics->Display().GetDisplaySettings(settings);
    return true;
}

void DisplayBinding::ChangeDisplaySettings(const DisplaySettings& settings)
{
    if (GraphicsLoom* graphics = GraphicsLoom::Instance())
        graphics->Display().ChangeSettings(settings);
}
