#pragma once
#include <cstdint>
#include <string>

#include "LOOM/math/Color.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Vector3.h"

class Cog;

// What game logic asks of a cog's drawn parts: its model or skinned model (animations, colour,
// material, submeshes) and its HUD display. The scene components install their answers through
// SetSceneSeam; until then every call does nothing and every query answers "absent", so the
// game runs headless.
class SceneSeam
{
public:
    virtual ~SceneSeam() = default;

    // Model (type 4) or SkinModel (type 6) on the cog.
    virtual bool HasModel(Cog&) { return false; }
    // Starts the named animation; false when there is no model or no such animation.
    virtual bool PlayAnimation(Cog&, const std::string&, bool) { return false; }
    virtual void PlayAnimationIndex(Cog&, int32_t, bool) {}
    // Length in seconds of the named animation; negative when unknown.
    virtual float AnimationLength(Cog&, const std::string&) { return -1.0f; }
    // False when there is no model to ask.
    virtual bool CurrentAnimation(Cog&, std::string&) { return false; }
    virtual bool IsAnimationActive(Cog&) { return false; }
    virtual void SetAnimationActive(Cog&, bool) {}
    virtual void SetAnimationRate(Cog&, float) {}
    virtual void SetCallbackMessage(Cog&, const std::string&) {}
    virtual bool GetModelColor(Cog&, Color&) { return false; }
    virtual void SetModelColor(Cog&, const Color&) {}
    virtual void SetMaterial(Cog&, const std::string&) {}
    virtual void SetSubMeshVisible(Cog&, int32_t, bool) {}
    virtual void SetBoundingRadius(Cog&, float) {}
    // Starts the next loaded animation, looping, after the last the first.
    virtual void CycleAnimation(Cog&) {}

    // The level's height map (type 7); its heights reach game logic through the physics ground.
    virtual bool HasHeightMap() { return false; }
    // The height map's extent in world units (tiles x tile scale); false without one.
    virtual bool GetMapExtent(float&, float&) { return false; }
    // The "Level" cog's terrain info texture, and a deformation request of the height map.
    virtual void PaintTerrain(const Vector3&, float, float, int32_t) {}
    virtual void DeformTerrain(int32_t, const Vector3&, float, float, float) {}

    // HudDisplay (type 14).
    virtual void ShowBar(Cog&, bool) {}
    virtual void SetBarPercent(Cog&, float) {}
    virtual void SetHudAlpha(Cog&, float) {}
    // The HUD display's number: shown flag, text, colour and height offset. HasHudDisplay
    // answers whether the cog carries one.
    virtual bool HasHudDisplay(Cog&) { return false; }
    virtual bool IsNumberShown(Cog&) { return false; }
    virtual void SetHudText(Cog&, const std::string&) {}
    virtual void SetHudColor(Cog&, const Color&) {}
    virtual void SetHudOffsetHeight(Cog&, float) {}
    virtual void ShowNumber(Cog&, bool) {}
    virtual void SetNumber(Cog&, int32_t) {}

    // Model extras the trap kinds and the drop preview use.
    virtual void SetModelFile(Cog&, const std::string&) {}
    virtual void SetModelScale(Cog&, float) {}
    // The world matrix of one of the model's parts; false without a model or such a part.
    virtual bool GetPartMatrix(Cog&, int32_t, Matrix4&) { return false; }
    virtual void BlendToAnimation(Cog&, const std::string&, int32_t, float, bool) {}
    // Builds and plays an "IKGenerated" aim at the target; false when nothing was made.
    virtual bool GenerateIKAnimation(Cog&, const std::string&, const Vector3&, float) { return false; }

    // ParticleComp (type 3) emitters, by index; getters answer false when absent.
    virtual bool GetEmitterVector(Cog&, int32_t, const std::string&, Vector3&) { return false; }
    virtual void SetEmitterVector(Cog&, int32_t, const std::string&, const Vector3&) {}
    virtual void SetEmitterFloat(Cog&, int32_t, const std::string&, float) {}
    virtual void SetEmitterRange(Cog&, int32_t, const std::string&, float, float) {}
    virtual void SetEmitterActive(Cog&, int32_t, bool) {}
    virtual void AddParticle(Cog&, int32_t, const Vector3&, const Vector3&, float) {}

    // Effect (type 12).
    virtual bool HasEffect(Cog&) { return false; }
    virtual void SetEffectParticlesDrawn(Cog&, bool) {}
    virtual void SetEffectAnimation(Cog&, int32_t, bool) {}
    virtual void ClearEffectLoop(Cog&) {}
    // The text of the effect's first font effect; false when there is none.
    virtual bool SetEffectText(Cog&, const std::string&) { return false; }

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
    virtual void AddBeam(const Beam&) {}

    // Terrain dents and decals on the current height map.
    virtual void AddDeformation(const Vector3&, float, float, float) {}
    virtual void AddDecal(const Vector3&, float, int32_t, float) {}
};

// Never null: a do-nothing seam stands in while none is installed.
SceneSeam& Scene();
// Null puts the do-nothing seam back. The caller keeps ownership.
void SetSceneSeam(SceneSeam* seam);
