#include "game/level/Spawner.h"

#include "LOOM/factory/CogFactory.h"
#include "LOOM/factory/CompFactory.h"

namespace {
CompFactoryOf<Spawner> gSpawnerFactory;
} // namespace

void RegisterSpawner(CogFactory& cogs) { cogs.Types().RegisterComponent(Spawner::kTypeId, &gSpawnerFactory); }
