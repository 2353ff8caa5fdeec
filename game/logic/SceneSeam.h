#pragma once
#include <cstdint>
#include <string>

#include "LOOM/calls/DisplaySettings.h"
#include "LOOM/math/Color.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Vector3.h"

class Cog;

// What game logic asks of a cog's drawn parts: its model or skinned model (animations, colour,
// material, submeshes), its particles, its HUD display, and of the level's height map and beams.
// Abstract, so a method a scene forgets to answer is a compile error; the program installs the
// real scene through SetSceneSeam, and HeadlessScene stands in without one.
class SceneSeam
{
public:
    virtual ~SceneSeam() = default;

    // Model (type 4) or SkinModel (type 6) on the cog.
    virtual bool HasModel(Cog&) = 0;
    // Starts the named animation; false when there is no model or no such animation.
    virtual bool PlayAnimation(Cog&, const std::string&, bool) = 0;
    virtual void PlayAnimationIndex(Cog&, int32_t, bool) = 0;
    // Length in seconds of the named animation; negative when unknown.
    virtual float AnimationLength(Cog&, const std::string&) = 0;
    // False when there is no model to ask.
    virtual bool CurrentAnimation(Cog&, std::string&) = 0;
    virtual bool IsAnimationActive(Cog&) = 0;
    virtual void SetAnimationActive(Cog&, bool) = 0;
    virtual void SetAnimationRate(Cog&, float) = 0;
    virtual void SetCallbackMessage(Cog&, const std::string&) = 0;
    virtual bool GetModelColor(Cog&, Color&) = 0;
    virtual void SetModelColor(Cog&, const Color&) = 0;
    virtual void SetMaterial(Cog&, const std::string&) = 0;
    virtual void SetSubMeshVisible(Cog&, int32_t, bool) = 0;
    virtual void SetBoundingRadius(Cog&, float) = 0;
    // Starts the next loaded animation, looping, after the last the first.
    virtual void CycleAnimation(Cog&) = 0;

    // The level's height map (type 7); its heights reach game logic through the physics ground.
    virtual bool HasHeightMap() = 0;
    // The height map's extent in world units (tiles x tile scale); false without one.
    virtual bool GetMapExtent(float&, float&) = 0;
    // The height map's "BaseHeight", the ground level placed objects stand on; false without one.
    virtual bool GetBaseHeight(float&) = 0;
    // The "Level" cog's terrain info texture, and a deformation request of the height map.
    virtual void PaintTerrain(const Vector3&, float, float, int32_t) = 0;
    virtual void DeformTerrain(int32_t, const Vector3&, float, float, float) = 0;

    // HudDisplay (type 14).
    virtual void ShowBar(Cog&, bool) = 0;
    virtual void SetBarPercent(Cog&, float) = 0;
    virtual void SetHudAlpha(Cog&, float) = 0;
    // The HUD display's number: shown flag, text, colour and height offset. HasHudDisplay
    // answers whether the cog carries one.
    virtual bool HasHudDisplay(Cog&) = 0;
    virtual bool IsNumberShown(Cog&) = 0;
    virtual void SetHudText(Cog&, const std::string&) = 0;
    virtual void SetHudColor(Cog&, const Color&) = 0;
    virtual void SetHudOffsetHeight(Cog&, float) = 0;
    virtual void ShowNumber(Cog&, bool) = 0;
    virtual void SetNumber(Cog&, int32_t) = 0;

    // Model extras the trap kinds and the drop preview use.
    virtual void SetModelFile(Cog&, const std::string&) = 0;
    virtual void SetModelScale(Cog&, float) = 0;
    // The world matrix of one of the model's parts; false without a model or such a part.
    virtual bool GetPartMatrix(Cog&, int32_t, Matrix4&) = 0;
    virtual void BlendToAnimation(Cog&, const std::string&, int32_t, float, bool) = 0;
    // Builds and plays an "IKGenerated" aim at the target; false when nothing was made.
    virtual bool GenerateIKAnimation(Cog&, const std::string&, const Vector3&, float) = 0;

    // ParticleComp (type 3) emitters, by index; getters answer false when absent.
    virtual bool GetEmitterVector(Cog&, int32_t, const std::string&, Vector3&) = 0;
    virtual void SetEmitterVector(Cog&, int32_t, const std::string&, const Vector3&) = 0;
    virtual void SetEmitterFloat(Cog&, int32_t, const std::string&, float) = 0;
    virtual void SetEmitterRange(Cog&, int32_t, const std::string&, float, float) = 0;
    virtual void SetEmitterActive(Cog&, int32_t, bool) = 0;
    virtual void AddParticle(Cog&, int32_t, const Vector3&, const Vector3&, float) = 0;
    // The emitter's distance map (the shape its particles take) from that model file.
    virtual void SetEmitterDistanceMap(Cog&, int32_t, const std::string&) = 0;

    // Effect (type 12).
    virtual bool HasEffect(Cog&) = 0;
    virtual void SetEffectParticlesDrawn(Cog&, bool) = 0;
    virtual void SetEffectAnimation(Cog&, int32_t, bool) = 0;
    virtual void ClearEffectLoop(Cog&) = 0;
    // The text of the effect's first font effect; false when there is none.
    virtual bool SetEffectText(Cog&, const std::string&) = 0;

    // Beams (source, from, to, lifetime, width, noise amplitude, segments, noise speed, kind).
    struct Beam
    {
        uint32_t source = 0;
        Vector3 from;
        Vector3 to;
        float lifetime = 1.0f;
        float width = 1.0f;
        float noise = 0.0f;
        int32_t segments = 1;
        float noiseSpeed = 1.0f;
        float moving = 0.0f; // above 0 a moving beam at this speed
        int32_t kind = 0;
    };
    virtual void AddBeam(const Beam&) = 0;

    // Terrain dents and decals on the current height map.
    virtual void AddDeformation(const Vector3&, float, float, float) = 0;
    virtual void AddDecal(const Vector3&, float, int32_t, float) = 0;

    // The loading screen while a level is built, and its end.
    virtual void RenderLoading() = 0;
    virtual void DoneLoading() = 0;
    // The display's settings as the graphics run them (speech byte untouched); false, leaving
    // the record as it was, when nothing is drawn.
    virtual bool GetDisplaySettings(DisplaySettings&) = 0;
    // A new display mode, size, sync, multisampling and shadows.
    virtual void ChangeDisplaySettings(const DisplaySettings&) = 0;
    // New heights for the current height map from the map-generation file, then its normals,
    // terrain and "HMapOutput.bmp"; false when there is no height map.
    virtual bool GenerateMap() = 0;
};

// No scene at all (the headless game and its tests): every call does nothing and every query
// answers "absent".
class HeadlessScene : public SceneSeam
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
    bool HasHeightMap() override { return false; }
    bool GetMapExtent(float&, float&) override { return false; }
    bool GetBaseHeight(float&) override { return false; }
    void PaintTerrain(const Vector3&, float, float, int32_t) override {}
    void DeformTerrain(int32_t, const Vector3&, float, float, float) override {}
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
    void SetModelFile(Cog&, const std::string&) override {}
    void SetModelScale(Cog&, float) override {}
    bool GetPartMatrix(Cog&, int32_t, Matrix4&) override { return false; }
    void BlendToAnimation(Cog&, const std::string&, int32_t, float, bool) override {}
    bool GenerateIKAnimation(Cog&, const std::string&, const Vector3&, float) override { return false; }
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
    void AddDeformation(const Vector3&, float, float, float) override {}
    void AddDecal(const Vector3&, float, int32_t, float) override {}
    void RenderLoading() override {}
    void DoneLoading() override {}
    bool GetDisplaySettings(DisplaySettings&) override { return false; }
    void ChangeDisplaySettings(const DisplaySettings&) override {}
    bool GenerateMap() override { return false; }
};

// Never null: a HeadlessScene stands in while none is installed.
SceneSeam& Scene();
// Null puts the headless one back. The caller keeps ownership.
void SetSceneSeam(SceneSeam* seam);
