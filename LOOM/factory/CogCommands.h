#pragma once
#include <string>

class Cog;
class CogFactory;
class Console;

// The cog manager's console commands; only the engine's manager registers them.
class CogCommands
{
public:
    explicit CogCommands(CogFactory& cogs) : mCogs(cogs) {}

    // "Composer", "file", "Create", "CreateAt", "Allocate", "des", "destroygroup", "dg", "dis",
    // "Export" and "GetCogName".
    void Register(Console& console);
    // Logs every living cog ("dis").
    void LogCogs();
    Cog* GetCogName(std::string name);

private:
    CogFactory& mCogs;
};
