#pragma once
#include <cstdint>
#include <string>

#include "LOOM/math/Vector3.h"

class Cog;

// What game logic asks of a cog's particles and effect, and of the beams drawn between points.
class EffectSeam
{
public:
    virtual ~EffectSeam() = default;

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
};

// The installed scene's particles, effects and beams; never null.
EffectSeam& SceneEffects();
