#pragma once
#include <cstdint>
#include <memory>

#include "LOOM/cogs/Comp.h"

class Composer;

// One static object per component type, registered with the cog manager under the type id.
class CompFactory
{
public:
    virtual ~CompFactory() = default;
    // Binds the type's named message handlers and per-frame functors into the cog type being
    // built. Both are bound per type and reach the cog's component of this type at call time.
    virtual void RegisterMessages(Composer&) {}
    // A new component with its default field values.
    virtual std::unique_ptr<Comp> Create() = 0;
    // The component object's size in bytes, for information.
    virtual uint32_t Size() = 0;
};

// The factory every plain component type uses; T overrides RegisterMessages by deriving.
template <typename T>
class CompFactoryOf : public CompFactory
{
public:
    std::unique_ptr<Comp> Create() override { return std::make_unique<T>(); }
    uint32_t Size() override { return static_cast<uint32_t>(sizeof(T)); }
};
