#pragma once
#include <cstdint>
#include <string>

#include "LOOM/math/Color.h"

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

    // The level's height map (type 7); its heights reach game logic through the physics ground.
    virtual bool HasHeightMap() { return false; }

    // HudDisplay (type 14).
    virtual void ShowBar(Cog&, bool) {}
    virtual void SetBarPercent(Cog&, float) {}
    virtual void SetHudAlpha(Cog&, float) {}
};

// Never null: a do-nothing seam stands in while none is installed.
SceneSeam& Scene();
// Null puts the do-nothing seam back. The caller keeps ownership.
void SetSceneSeam(SceneSeam* seam);
