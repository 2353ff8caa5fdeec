#pragma once
#include <memory>
#include <string>
#include <vector>

#include "LOOM/cogs/Composer.h"
#include "LOOM/factory/CogFactory.h"

// A cog type made in code from component types the manager already knows, registered under its name.
inline std::shared_ptr<Composer> MakeCodeType(CogFactory& cogs, const std::string& name,
                                              const std::vector<uint32_t>& components, const std::string& group = "")
{
    auto composer = std::make_shared<Composer>(cogs, name, group);
    for (uint32_t id : components)
        composer->AddComponent(id, cogs.Types().GetComponentFactory(id));
    cogs.Types().RegisterType(name, composer);
    return composer;
}
