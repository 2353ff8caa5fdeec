#include "LOOM/cogs/Comp.h"

#include "LOOM/cogs/Cog.h"
#include "LOOM/cogs/Positional.h"
#include "LOOM/serial/Serializer.h"

DataMember Object::FindDataMember(std::string) { return {}; }

void Comp::SetOwner(Cog* owner)
{
    mOwner = owner;
    mOwnerPositional = owner->Get<Positional>();
    Initialize();
}

void Comp::SerializeHeader(Serializer& s)
{
    const std::string name = GetTypeName();
    const char* nameText = name.c_str();
    const uint32_t id = GetTypeId();
    // Write-only values: a loader reads past them without storing anything.
    s.SerializeNamed("name", nameText);
    s.SerializeNamed("CompID", id);
}
