#pragma once
#include <cstdint>
#include <string>

#include "game/logic/DisplaySeam.h"
#include "game/logic/EffectSeam.h"
#include "game/logic/HudSeam.h"
#include "game/logic/ModelSeam.h"
#include "game/logic/SceneSeam.h"
#include "game/logic/TerrainSeam.h"

// No scene at all (the headless game and its tests): every call does nothing and every query
// answers "absent", one class a role.
class HeadlessModels : public ModelSeam
{
public:
    bool HasModel(Cog&) override { return false; }
    bool PlayAnimation(Cog&, const std::string&, bool) override { return false; }
    void PlayAnimationIndex(Cog&, int32_t, bool) override {}
    float AnimationLength(Cog&, const std::string&) override { return -1.0f; }
    bool CurrentAnimation(Cog&, std::string&) override { return false; }
    bool IsAnimationActive(Cog&) override { return false; }
    void SetAnimationActive(Cog&, bool) override {}
    void SetAnimationRate(Cog&, float) override {}
    void SetCallbackMessage(Cog&, const std::string&) override {}
    bool GetModelColor(Cog&, Color&) override { return false; }
    void SetModelColor(Cog&, const Color&) override {}
    void SetMaterial(Cog&, const std::string&) override {}
    void SetSubMeshVisible(Cog&, int32_t, bool) override {}
    void SetBoundingRadius(Cog&, float) override {}
    void CycleAnimation(Cog&) override {}
    void SetModelFile(Cog&, const std::string&) override {}
    void SetModelScale(Cog&, float) override {}
    bool GetPartMatrix(Cog&, int32_t, Matrix4&) override { return false; }
    void BlendToAnimation(Cog&, const std::string&, int32_t, float, bool) override {}
    bool GenerateIKAnimation(Cog&, const std::string&, const Vector3&, float) override { return false; }
};

class HeadlessTerrain : public TerrainSeam
{
public:
    bool HasHeightMap() override { return false; }
    bool GetMapExtent(float&, float&) override { return false; }
    bool GetBaseHeight(float&) override { return false; }
    void PaintTerrain(const Vector3&, float, float, int32_t) override {}
    void DeformTerrain(int32_t, const Vector3&, float, float, float) override {}
    void AddDeformation(const Vector3&, float, float, float) override {}
    void AddDecal(const Vector3&, float, int32_t, float) override {}
    bool GenerateMap() override { return false; }
};

class HeadlessHud : public HudSeam
{
public:
    void ShowBar(Cog&, bool) override {}
    void SetBarPercent(Cog&, float) override {}
    void SetHudAlpha(Cog&, float) override {}
    bool HasHudDisplay(Cog&) override { return false; }
    bool IsNumberShown(Cog&) override { return false; }
    void SetHudText(Cog&, const std::string&) override {}
    void SetHudColor(Cog&, const Color&) override {}
    void SetHudOffsetHeight(Cog&, float) override {}
    void ShowNumber(Cog&, bool) override {}
    void SetNumber(Cog&, int32_t) override {}
};

class HeadlessEffects : public EffectSeam
{
public:
    bool GetEmitterVector(Cog&, int32_t, const std::string&, Vector3&) override { return false; }
    void SetEmitterVector(Cog&, int32_t, const std::string&, const Vector3&) override {}
    void SetEmitterFloat(Cog&, int32_t, const std::string&, float) override {}
    void SetEmitterRange(Cog&, int32_t, const std::string&, float, float) override {}
    void SetEmitterActive(Cog&, int32_t, bool) override {}
    void AddParticle(Cog&, int32_t, const Vector3&, const Vector3&, float) override {}
    void SetEmitterDistanceMap(Cog&, int32_t, const std::string&) override {}
    bool HasEffect(Cog&) override { return false; }
    void SetEffectParticlesDrawn(Cog&, bool) override {}
    void SetEffectAnimation(Cog&, int32_t, bool) override {}
    void ClearEffectLoop(Cog&) override {}
    bool SetEffectText(Cog&, const std::string&) override { return false; }
    void AddBeam(const Beam&) override {}
};

class HeadlessDisplay : public DisplaySeam
{
public:
    void RenderLoading() override {}
    void DoneLoading() override {}
    bool GetDisplaySettings(DisplaySettings&) override { return false; }
    void ChangeDisplaySettings(const DisplaySettings&) override {}
};

// One object plays every role, so a test's stand-in can record across them.
class HeadlessScene : public SceneSeam,
                      public HeadlessModels,
                      public HeadlessTerrain,
                      public HeadlessHud,
                      public HeadlessEffects,
                      public HeadlessDisplay
{
public:
    ModelSeam& Models() override { return *this; }
    TerrainSeam& Terrain() override { return *this; }
    HudSeam& Hud() override { return *this; }
    EffectSeam& Effects() override { return *this; }
    DisplaySeam& Display() override { return *this; }
};
