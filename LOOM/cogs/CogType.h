#pragma once
#include <cstdint>
#include <memory>
#include <string>

class Cog;
class CommandFunctor;

// What the cog manager keeps by type name: a Composer (built from a composition) or an
// Archetype (a composition's cogs filled from a data file).
class CogType
{
public:
    // A new cog with that ID, not initialised yet; null when it cannot be built.
    virtual std::unique_ptr<Cog> CreateInstance(uint32_t id) = 0;
    // A component type's message handler; the type owns it.
    virtual void BindMessage(const std::string&, std::unique_ptr<CommandFunctor>) {}
    // A named cog function of the cog manager's registry, which keeps owning it.
    virtual void BindFunction(const std::string&, CommandFunctor*) {}
    // A component type's per-frame functor; the type owns it.
    virtual void AddOwnedUpdate(std::unique_ptr<CommandFunctor>) {}
    // A registry function run every frame.
    virtual void AddUpdate(CommandFunctor*) {}
    virtual std::string GetTypeName() = 0;
    virtual void WriteAutoDoc() {}
    virtual ~CogType() = default;
};
