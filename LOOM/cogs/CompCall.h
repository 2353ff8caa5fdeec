#pragma once
#include <cstdint>

#include "LOOM/calls/CommandFunctor.h"

class Comp;

// What every component handler shares with the type that binds it: the component type id and,
// for a handler that takes and returns nothing, a direct call, so a type's per-frame updates
// skip the look-up and the parameter block.
class CompCall : public CommandFunctor
{
public:
    using Tick = void (*)(const CompCall& call, Comp& component);

    uint32_t GetCompTypeId() const { return mTypeId; }
    // Null unless the handler takes no parameters and returns nothing.
    Tick GetTick() const { return mTick; }

protected:
    CompCall(uint32_t typeId, Tick tick) : mTypeId(typeId), mTick(tick) {}

    uint32_t mTypeId;
    Tick mTick;
};
