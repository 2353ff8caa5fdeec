#pragma once
#include <string>

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
    // Whether the file at the inside path may be opened by a script: a regular file, or none
    // yet; else the refusal, naming the file as given. FIFOs, devices and sockets would block
    // the game or never end.
    static bool OpensAsFile(const std::string& given, const std::string& inside, std::string& refusal);
};
