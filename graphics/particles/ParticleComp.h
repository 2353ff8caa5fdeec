#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/cogs/Comp.h"
#include "graphics/particles/Emitter.h"
#include "graphics/particles/ParticleSystem.h"

class GraphicsDevice;

// Particle systems and emitters that live as long as their cog: exhausts, sparks, clouds.
class ParticleComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = 3;

    ParticleComp() = default;
    ~ParticleComp() override;
    void Serialize(Serializer& s) override;
    void Initialize() override;
    std::string GetTypeName() override { return "ParticleComp"; }
    uint32_t GetTypeId() override { return kTypeId; }

    void Update(float dt);
    void Render(GraphicsDevice& device);

    std::vector<std::unique_ptr<ParticleSystem>>& Systems() { return mSystems; }
    std::vector<std::unique_ptr<Emitter>>& Emitters() { return mEmitters; }

    std::vector<std::string> EmitterFiles;
    std::vector<std::string> SystemFiles;
    bool Transform = false;
    bool ExhaustDeath = false;

private:
    std::vector<std::unique_ptr<ParticleSystem>> mSystems;
    std::vector<std::unique_ptr<Emitter>> mEmitters;
    float mCarry = 0.0f;
};

// The frame step the particle components and effects share: below 1 ms the time is carried
// to the next frame, above 1/30 s it is cut. False when no step is due.
bool ParticleFrameStep(float& dt, float& carry);
