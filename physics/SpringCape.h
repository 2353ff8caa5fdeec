#pragma once
#include <cstdint>

#include "LOOM/cogs/Comp.h"
#include "LOOM/serial/Serializer.h"

// A registered physics type with no fields and no behaviour yet: compositions may name it.
class SpringCape : public Comp
{
public:
    static constexpr uint32_t kTypeId = 57;

    void Serialize(Serializer& s) override { SerializeHeader(s); }
    std::string GetTypeName() override { return "SpringCape"; }
    uint32_t GetTypeId() override { return kTypeId; }
};
