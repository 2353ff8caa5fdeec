#pragma once
#include <cstdint>
#include <string>

#include "LOOM/cogs/Object.h"

class Cog;
class Positional;

// A piece of a cog's behaviour. Created by its type's CompFactory, owned and destroyed by its cog.
class Comp : public Object
{
public:
    // Begins with SerializeHeader, then the component's own fields.
    void Serialize(Serializer& s) override = 0;
    // Stores the owner, caches its Positional (type id 1) and runs Initialize. The owner is never null.
    virtual void SetOwner(Cog* owner);
    // Runs once, when the cog is initialised, in component order: find siblings and other cogs here.
    virtual void Initialize() {}
    virtual ~Comp() = default;
    virtual Cog* GetOwner() { return mOwner; }
    virtual std::string GetTypeName() = 0;
    virtual uint32_t GetTypeId() = 0;

    // Null when the owner has no Positional or the component is not attached yet.
    Positional* GetOwnerPositional() const { return mOwnerPositional; }

protected:
    // The "name" and "CompID" every component's stored form starts with; loading discards them.
    void SerializeHeader(Serializer& s);

    Cog* mOwner = nullptr;
    Positional* mOwnerPositional = nullptr;
};
