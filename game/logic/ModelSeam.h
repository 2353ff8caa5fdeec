#pragma once
#include <cstdint>
#include <string>

#include "LOOM/math/Color.h"
#include "LOOM/math/Matrix4.h"
#include "LOOM/math/Vector3.h"

class Cog;

// What game logic asks of a cog's Model (type 4) or SkinModel (type 6): its clips, colour,
// material, parts and submeshes.
class ModelSeam
{
public:
    virtual ~ModelSeam() = default;

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

    // Model extras the trap kinds and the drop preview use.
    virtual void SetModelFile(Cog&, const std::string&) = 0;
    virtual void SetModelScale(Cog&, float) = 0;
    // The world matrix of one of the model's parts; false without a model or such a part.
    virtual bool GetPartMatrix(Cog&, int32_t, Matrix4&) = 0;
    virtual void BlendToAnimation(Cog&, const std::string&, int32_t, float, bool) = 0;
    // Builds and plays an "IKGenerated" aim at the target; false when nothing was made.
    virtual bool GenerateIKAnimation(Cog&, const std::string&, const Vector3&, float) = 0;
};

// The installed scene's models; never null.
ModelSeam& SceneModels();
