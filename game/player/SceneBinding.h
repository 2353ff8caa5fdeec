#pragma once
#include <cstdint>
#include <set>
#include <string>

#include "game/logic/SceneSeam.h"

// The scene seam answered by the real scene components: the Model's and SkinModel's animations,
// parts and files, the ParticleComp's emitters and systems, the HudDisplay, the Effect, the beam
// renderer and the current height map. A request the scene cannot serve is logged once per kind
// of request. The program installs it.
class SceneBinding : public SceneSeam
{
public:
    bool HasModel(Cog& cog) override;
    bool PlayAnimation(Cog& cog, const std::string& name, bool loop) override;
    void PlayAnimationIndex(Cog& cog, int32_t index, bool loop) override;
    bool CurrentAnimation(Cog& cog, std::string& out) override;
    bool IsAnimationActive(Cog& cog) override;
    void SetAnimationActive(Cog& cog, bool active) override;
    void SetAnimationRate(Cog& cog, float rate) override;
    void SetCallbackMessage(Cog& cog, const std::string& message) override;
    void CycleAnimation(Cog& cog) override;
    bool GetModelColor(Cog& cog, Color& out) override;
    void SetModelColor(Cog& cog, const Color& color) override;
    void SetMaterial(Cog& cog, const std::string& file) override;
    void SetModelScale(Cog& cog, float scale) override;
    float AnimationLength(Cog& cog, const std::string& name) override;
    void SetSubMeshVisible(Cog& cog, int32_t index, bool visible) override;
    void SetBoundingRadius(Cog& cog, float radius) override;
    void SetModelFile(Cog& cog, const std::string& file) override;
    bool GetPartMatrix(Cog& cog, int32_t part, Matrix4& out) override;
    void BlendToAnimation(Cog& cog, const std::string& name, int32_t track, float turnRate, bool loop) override;
    bool GenerateIKAnimation(Cog& cog, const std::string& constraints, const Vector3& target, float turnRate) override;

    bool GetEmitterVector(Cog& cog, int32_t emitter, const std::string& name, Vector3& out) override;
    void SetEmitterVector(Cog& cog, int32_t emitter, const std::string& name, const Vector3& value) override;
    void SetEmitterFloat(Cog& cog, int32_t emitter, const std::string& name, float value) override;
    void SetEmitterRange(Cog& cog, int32_t emitter, const std::string& name, float low, float high) override;
    void SetEmitterActive(Cog& cog, int32_t emitter, bool active) override;
    void AddParticle(Cog& cog, int32_t system, const Vector3& at, const Vector3& velocity, float life) override;

    void AddBeam(const Beam& beam) override;
    void AddDeformation(const Vector3& at, float radius, float depth, float duration) override;
    void AddDecal(const Vector3& at, float size, int32_t kind, float life) override;

    bool HasEffect(Cog& cog) override;
    void SetEffectParticlesDrawn(Cog& cog, bool drawn) override;
    void SetEffectAnimation(Cog& cog, int32_t index, bool loop) override;
    void ClearEffectLoop(Cog& cog) override;
    bool SetEffectText(Cog& cog, const std::string& text) override;
    void SetEmitterDistanceMap(Cog& cog, int32_t emitter, const std::string& file) override;

    bool HasHeightMap() override;
    bool GetMapExtent(float& width, float& depth) override;
    bool GetBaseHeight(float& height) override;
    void PaintTerrain(const Vector3& centre, float inner, float outer, int32_t layer) override;
    void DeformTerrain(int32_t kind, const Vector3& at, float a, float b, float c) override;

    bool HasHudDisplay(Cog& cog) override;
    bool IsNumberShown(Cog& cog) override;
    void ShowNumber(Cog& cog, bool show) override;
    void SetHudText(Cog& cog, const std::string& text) override;
    void SetHudColor(Cog& cog, const Color& color) override;
    void SetHudAlpha(Cog& cog, float alpha) override;
    void SetHudOffsetHeight(Cog& cog, float height) override;
    void ShowBar(Cog& cog, bool show) override;
    void SetBarPercent(Cog& cog, float percent) override;
    void SetNumber(Cog& cog, int32_t number) override;

    void RenderLoading() override;
    void DoneLoading() override;
    bool GetDisplaySettings(DisplaySettings& settings) override;
    void ChangeDisplaySettings(const DisplaySettings& settings) override;
    bool GenerateMap() override;

private:
    // The requests already logged as unserved; each binding says each one once.
    std::set<std::string> mUnserved;
};
