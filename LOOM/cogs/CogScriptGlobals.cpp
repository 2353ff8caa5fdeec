#include "LOOM/cogs/CogScriptGlobals.h"

namespace {
CogGlobalSetter gSetter = nullptr;
}

void SetCogGlobalSetter(CogGlobalSetter setter)
{
    gSetter = setter;
}

void SetCogGlobal(const std::string& name, Cog* cog)
{
    if (gSetter)
        gSetter(name, cog);
}
