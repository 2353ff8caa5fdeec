#pragma once
#include <memory>
#include <string>
#include <vector>

#include "graphics/particles/Emitter.h"
#include "graphics/particles/ParticleSystem.h"

enum class EmitterFeed
{
    // Each emitter feeds the system its file names.
    AsFileSays,
    // Emitter i feeds system i, whatever its file says.
    ByIndex,
};

// Loads the systems, then the emitters, onto the lists, and readies every one on them.
void LoadParticleSet(const std::vector<std::string>& systemFiles, const std::vector<std::string>& emitterFiles,
                     EmitterFeed feed, std::vector<std::unique_ptr<ParticleSystem>>& systems,
                     std::vector<std::unique_ptr<Emitter>>& emitters);
