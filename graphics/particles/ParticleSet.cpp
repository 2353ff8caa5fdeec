#include "graphics/particles/ParticleSet.h"

void LoadParticleSet(const std::vector<std::string>& systemFiles, const std::vector<std::string>& emitterFiles,
                     EmitterFeed feed, std::vector<std::unique_ptr<ParticleSystem>>& systems,
                     std::vector<std::unique_ptr<Emitter>>& emitters)
{
    for (const std::string& file : systemFiles)
    {
        systems.push_back(std::make_unique<ParticleSystem>());
        systems.back()->Load(file);
    }
    for (const std::string& file : emitterFiles)
    {
        emitters.push_back(std::make_unique<Emitter>());
        emitters.back()->Load(file);
        if (feed == EmitterFeed::ByIndex)
            emitters.back()->EmitSystem = static_cast<uint32_t>(emitters.size() - 1);
    }
    for (auto& system : systems)
        system->Init();
    for (auto& emitter : emitters)
        emitter->Init(systems.size());
}
