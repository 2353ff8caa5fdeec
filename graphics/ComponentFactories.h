#pragma once
#include <cstdint>

class CompFactory;

// Puts into the loom's component table the factory that factoryOf gives for each type id;
// a null answer leaves that slot as it is.
void InstallComponentFactories(CompFactory* (*factoryOf)(uint32_t typeId));
