#include "LOOM/factory/CogScriptGlobals.h"

namespace {
CogGlobalSetter gSetter = nullptr;
}

CogGlobalSetter SetCogGlobalSetter(CogGlobalSetter setter)
{
    const CogGlobalSetter previous = gSetter;
    gSetter = setter;
    return previous;
}

void SetCogGlobal(const std::string& name, Cog* cog)
{
    if (gSetter)
        gSetter(name, cog);
}
