#pragma once
#include <cstddef>
#include <string>

class Cog;

// Named cogs are published to scripts as globals of their names. The script manager installs
// the setter when it starts and removes it (null) when it goes; until then publishing does
// nothing. The setter must accept being called before any script state exists.
// A null cog clears the global (sets it to nil).
using CogGlobalSetter = void (*)(const std::string& name, Cog* cog);

// Returns the setter it replaces, so a temporary one can put it back.
CogGlobalSetter SetCogGlobalSetter(CogGlobalSetter setter);
void SetCogGlobal(const std::string& name, Cog* cog);

// Cogs made while a script runs count against the cogs scripts may keep alive. The script
// manager installs the gate: whether a script is running now, and what to do when one more
// was refused (the engine cannot raise a script error through its own frames).
struct ScriptCogGate
{
    bool (*mScriptRunning)() = nullptr;
    void (*mRefused)(const std::string& typeName, size_t limit) = nullptr;
};
void SetScriptCogGate(ScriptCogGate gate);
const ScriptCogGate& GetScriptCogGate();
