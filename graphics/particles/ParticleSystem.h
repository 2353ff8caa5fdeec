#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/particles/ParticlePool.h"
#include "graphics/resource/Texture.h"
#include "graphics/scene/path/ColorStream.h"

class Serializer;
class GraphicsDevice;

// Live particles of one texture and blend mode ("System" files), moved and coloured by one
// of five updaters and drawn as point sprites through the pool's buffer.
class ParticleSystem
{
public:
    static constexpr uint32_t kBatchSize = 512;

    ParticleSystem() = default;
    // Gives every live particle back to the pool.
    ~ParticleSystem();
    ParticleSystem(const ParticleSystem&) = delete;
    ParticleSystem& operator=(const ParticleSystem&) = delete;

    // False, logged once, when the file is missing or broken; fields read so far stay.
    bool Load(const std::string& fileName);
    void Serialize(Serializer& s);
    void Init();

    // Takes a record from the pool for the particle, or refuses it (the record goes straight
    // back) when the system is full.
    void AddParticle(const Particle& particle);
    // Ages, moves and colours every particle; removes the dead. Returns the live count.
    int32_t Update(float dt);
    void Render(GraphicsDevice& device);

    int32_t GetCount() const { return static_cast<int32_t>(mLive.size()); }
    // Particles that can still be added.
    size_t Room() const { return mLive.size() < maxParticles ? maxParticles - mLive.size() : 0; }
    // Oldest first; drawing walks them newest first.
    const std::vector<Particle>& GetParticles() const { return mLive; }
    void SetEmitPosition(const Vector3& position) { mEmitPosition = position; }
    const Vector3& GetEmitPosition() const { return mEmitPosition; }
    const ColorStream& GetStream() const { return mStream; }
    ColorStream& Stream() { return mStream; }

    int32_t AnimationIndex = -1;
    int32_t AnimationMode = 0;
    int32_t UpdateTypes = 0;
    int32_t BlendModes = 0;
    TextureRef texture;
    Vector3 Force;
    static constexpr uint32_t kDefaultParticles = 3000;
    // A file's count past this is refused: each live particle is moved and drawn every frame.
    static constexpr uint32_t kMostParticles = 100000;
    uint32_t maxParticles = kDefaultParticles;
    float ParticleSize = 0.0f;
    std::string fileStream;

private:
    void ColorByKeys(Particle& p, float dt) const;
    // One updater's pass; the new live count.
    template <int32_t Type>
    size_t Step(float dt);

    std::vector<Particle> mLive;
    Vector3 mEmitPosition;
    ColorStream mStream;
};
