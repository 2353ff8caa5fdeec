#pragma once

struct lua_State;

// Keeps the scripts' own file functions inside the data folder. A path they name is joined to
// the folder, as the engine's own file names are; one that is absolute or leaves the folder is
// refused with a script error and the logged "Path refused" line. The functions that run
// programs or make files elsewhere are refused whatever they are given.
class ScriptFileGuard
{
public:
    // After the standard libraries are open.
    static void Install(lua_State* L);
};
