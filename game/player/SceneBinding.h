#pragma once
#include <cstdint>
#include <set>
#include <string>

#include "game/logic/DisplaySeam.h"
#include "game/logic/EffectSeam.h"
#include "game/logic/HudSeam.h"
#include "game/logic/ModelSeam.h"
#include "game/logic/SceneSeam.h"
#include "game/logic/TerrainSeam.h"

// Each role below answers from the real scene components. A request the scene cannot serve is
// logged once per kind of request and role object.

// The Model's and SkinModel's animations, parts and files.
class ModelBinding : public ModelSeam
{
public:
    bool HasModel(Cog& cog) override;
    bool PlayAnimation(Cog& cog, const std::string& name, bool loop) override;
    void PlayAnimationIndex(Cog& cog, int32_t index, bool loop) override;
    float AnimationLength(Cog& cog, const std::string& name) override;
    bool CurrentAnimation(Cog& cog, std::string& out) override;
    bool IsAnimationActive(Cog& cog) override;
    void SetAnimationActive(Cog& cog, bool active) override;
    void SetAnimationRate(Cog& cog, float rate) override;
    void SetCallbackMessage(Cog& cog, const std::string& message) override;
    bool GetModelColor(Cog& cog, Color& out) override;
    void SetModelColor(Cog& cog, const Color& color) override;
    void SetMaterial(Cog& cog, const std::string& file) override;
    void SetSubMeshVisible(Cog& cog, int32_t index, bool visible) override;
    void SetBoundingRadius(Cog& cog, float radius) override;
    void CycleAnimation(Cog& cog) override;
    void SetModelFile(Cog& cog, const std::string& file) override;
    void SetModelScale(Cog& cog, float scale) override;
    bool GetPartMatrix(Cog& cog, int32_t part, Matrix4& out) override;
    void BlendToAnimation(Cog& cog, const std::string& name, int32_t track, float turnRate, bool loop) override;
    bool GenerateIKAnimation(Cog& cog, const std::string& constraints, const Vector3& target, float turnRate) override;

private:
    std::set<std::string> mUnserved;
};

// The current height map and its terrain.
class TerrainBinding : public TerrainSeam
{
public:
    bool HasHeightMap() override;
    bool GetMapExtent(float& width, float& depth) override;
    bool GetBaseHeight(float& height) override;
    void PaintTerrain(const Vector3& centre, float inner, float outer, int32_t layer) override;
    void DeformTerrain(int32_t kind, const Vector3& at, float a, float b, float c) override;
    void AddDeformation(const Vector3& at, float radius, float depth, float duration) override;
    void AddDecal(const Vector3& at, float size, int32_t kind, float life) override;
    bool GenerateMap() override;

private:
    std::set<std::string> mUnserved;
};

// The HudDisplay.
class HudBinding : public HudSeam
{
public:
    void ShowBar(Cog& cog, bool show) override;
    void SetBarPercent(Cog& cog, float percent) override;
    void SetHudAlpha(Cog& cog, float alpha) override;
    bool HasHudDisplay(Cog& cog) override;
    bool IsNumberShown(Cog& cog) override;
    void SetHudText(Cog& cog, const std::string& text) override;
    void SetHudColor(Cog& cog, const Color& color) override;
    void SetHudOffsetHeight(Cog& cog, float height) override;
    void ShowNumber(Cog& cog, bool show) override;
    void SetNumber(Cog& cog, int32_t number) override;
};

// The ParticleComp's emitters and systems, the Effect and the beam renderer.
class EffectBinding : public EffectSeam
{
public:
    bool GetEmitterVector(Cog& cog, int32_t emitter, const std::string& name, Vector3& out) override;
    void SetEmitterVector(Cog& cog, int32_t emitter, const std::string& name, const Vector3& value) override;
    void SetEmitterFloat(Cog& cog, int32_t emitter, const std::string& name, float value) override;
    void SetEmitterRange(Cog& cog, int32_t emitter, const std::string& name, float low, float high) override;
    void SetEmitterActive(Cog& cog, int32_t emitter, bool active) override;
    void AddParticle(Cog& cog, int32_t system, const Vector3& at, const Vector3& velocity, float life) override;
    void SetEmitterDistanceMap(Cog& cog, int32_t emitter, const std::string& file) override;
    bool HasEffect(Cog& cog) override;
    void SetEffectParticlesDrawn(Cog& cog, bool drawn) override;
    void SetEffectAnimation(Cog& cog, int32_t index, bool loop) override;
    void ClearEffectLoop(Cog& cog) override;
    bool SetEffectText(Cog& cog, const std::string& text) override;
    void AddBeam(const Beam& beam) override;

private:
    std::set<std::string> mUnserved;
};

// The graphics loom's loading screen and display settings.
class DisplayBinding : public DisplaySeam
{
public:
    void RenderLoading() override;
    void DoneLoading() override;
    bool GetDisplaySettings(DisplaySettings& settings) override;
    void ChangeDisplaySettings(const DisplaySettings& settings) override;
};

// The scene seam answered by the real scene components, one role object each. The program
// installs it.
class SceneBinding : public SceneSeam
{
public:
    ModelSeam& Models() override { return mModels; }
    TerrainSeam& Terrain() override { return mTerrain; }
    HudSeam& Hud() override { return mHud; }
    EffectSeam& Effects() override { return mEffects; }
    DisplaySeam& Display() override { return mDisplay; }

private:
    ModelBinding mModels;
    TerrainBinding mTerrain;
    HudBinding mHud;
    EffectBinding mEffects;
    DisplayBinding mDisplay;
};
