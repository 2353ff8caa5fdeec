#pragma once
#include <cstdint>
#include <string>

#include "LOOM/cogs/Comp.h"

class CogFactory;

// Marks a cog as an invader spawner (type id 130); it is found by its type and carries no data.
class Spawner : public Comp
{
public:
    static constexpr uint32_t kTypeId = 130;

    void Serialize(Serializer& s) override { SerializeHeader(s); }
    std::string GetTypeName() override { return "Spawner"; }
    uint32_t GetTypeId() override { return kTypeId; }
};

void RegisterSpawner(CogFactory& cogs);
