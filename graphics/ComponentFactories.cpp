#include "graphics/ComponentFactories.h"

#include "graphics/GraphicsLoom.h"

void InstallComponentFactories(CompFactory* (*factoryOf)(uint32_t typeId))
{
    size_t count = 0;
    GraphicsComponentType* types = GraphicsLoom::ComponentTypes(count);
    for (size_t i = 0; i < count; ++i)
        if (CompFactory* factory = factoryOf(types[i].mTypeId))
            types[i].mFactory = factory;
}
