#include "game/level/Spawner.h"

#include "LOOM/cogs/CogFactory.h"
#include "LOOM/cogs/CompFactory.h"

namespace {
CompFactoryOf<Spawner> gSpawnerFactory;
} // namespace

void RegisterSpawner(CogFactory& cogs)
{
    cogs.RegisterComponent(Spawner::kTypeId, &gSpawnerFactory);
}
