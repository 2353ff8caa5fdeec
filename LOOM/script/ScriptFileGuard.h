#pragma once
#include <optional>
#include <string>

struct lua_State;

struct FileRefusal;

// Keeps the scripts' own file functions inside the data folder. A path they name is joined to
// the folder, as the engine's own file names are; one that is absolute or leaves the folder is
// refused with a script error and the logged "Path refused" line, and so is writing a file the
// engine is writing. Standard input is not read, standard output is written without waiting,
// and os.exit ends the game through the engine's exit. A file they open is opened by
// the file guard (OpenDataFile), which the library then reads and writes through. The functions
// that run programs or make files elsewhere are refused whatever they are given.
class ScriptFileGuard
{
public:
    // After the standard libraries are open.
    static void Install(lua_State* L);
    // What a script is told, and the log says, when the file guard refuses a file it named.
    static std::string Refused(const std::string& given, const FileRefusal& refusal);
    // The status a script's os.exit asked the program to end with, once one has.
    static std::optional<int> AskedExitStatus();
};
