#include "LOOM/cogs/CogFunctor.h"

#include "LOOM/console/Console.h"

Comp* RefuseMistypedComponent(Cog& cog, Comp& component, uint32_t typeId)
{
    Console::Instance().Log("Component type mismatch on cog " + std::to_string(cog.GetID()) + ": wanted type " +
                                std::to_string(typeId) + ", found type " + std::to_string(component.GetTypeId()),
                            LogError);
    return nullptr;
}
