#include "LOOM/cogs/CogFunctor.h"

#include "LOOM/console/Console.h"

Comp* FindTypedComponent(Cog& cog, uint32_t typeId)
{
    Comp* component = cog.GetComponent(typeId);
    if (!component || component->GetTypeId() == typeId)
        return component;
    Console::Instance().Log("Component type mismatch on cog " + std::to_string(cog.GetID()) + ": wanted type " +
                                std::to_string(typeId) + ", found type " + std::to_string(component->GetTypeId()),
                            LogError);
    return nullptr;
}
