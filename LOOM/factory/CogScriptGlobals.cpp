#include "LOOM/factory/CogScriptGlobals.h"

namespace {
CogGlobalSetter gSetter = nullptr;
ScriptCogGate gGate;
} // namespace

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

void SetScriptCogGate(ScriptCogGate gate) { gGate = gate; }

const ScriptCogGate& GetScriptCogGate() { return gGate; }
