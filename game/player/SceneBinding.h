#pragma once
#include <cstdint>
#include <string>

#include "game/logic/SceneSeam.h"

// The scene seam answered by the real scene components: the Model's and SkinModel's animations,
// colour and material, the HudDisplay's number, the Effect's animation, particles and text, and
// the current height map's extent. What it does not cover keeps the seam's do-nothing answers.
// The program installs it.
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

    bool HasEffect(Cog& cog) override;
    void SetEffectParticlesDrawn(Cog& cog, bool drawn) override;
    void SetEffectAnimation(Cog& cog, int32_t index, bool loop) override;
    void ClearEffectLoop(Cog& cog) override;
    bool SetEffectText(Cog& cog, const std::string& text) override;

    bool HasHeightMap() override;
    bool GetMapExtent(float& width, float& depth) override;
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
};
