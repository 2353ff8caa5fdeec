#pragma once
// Cog types the game benchmarks build in code rather than from composition files.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CogFactory.h"

// Registers a type made of the given registered components.
inline void MakeType(CogFactory& cogs, const std::string& name, const std::vector<uint32_t>& components)
{
    auto composer = std::make_shared<Composer>(cogs, name, "");
    for (uint32_t id : components)
        composer->AddComponent(id, cogs.Types().GetComponentFactory(id));
    cogs.Types().RegisterType(name, composer);
}
