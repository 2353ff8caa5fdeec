#pragma once
#include <cstdint>
#include <string>

#include "LOOM/cogs/Comp.h"
#include "LOOM/cogs/CompTypes.h"
#include "LOOM/serial/Serializer.h"

// A registered physics type with no fields and no behaviour yet: compositions may name it.
template <uint32_t TypeId>
class PlaceholderComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = TypeId;

    void Serialize(Serializer& s) override { SerializeHeader(s); }
    std::string GetTypeName() override { return CompTypeName(kTypeId); }
    uint32_t GetTypeId() override { return kTypeId; }
};
