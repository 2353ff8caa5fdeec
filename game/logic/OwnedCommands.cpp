#include "game/logic/OwnedCommands.h"

#include "LOOM/console/Console.h"
#include "LOOM/console/ConsoleCommand.h"

void OwnedCommands::Register(const std::string& name, std::unique_ptr<ConsoleCommand> command,
                             const std::string& description)
{
    mCommands.emplace_back(name, command.get());
    Console::Instance().RegisterCommand(name, std::move(command), description);
}

void OwnedCommands::Add(const std::string& name, std::unique_ptr<ConsoleCommand> command)
{
    mCommands.emplace_back(name, command.get());
    Console::Instance().AddCommand(name, std::move(command));
}

void OwnedCommands::RemoveAll()
{
    Console& console = Console::Instance();
    for (const auto& [name, command] : mCommands)
        if (console.FindCommand(name) == command)
            console.RemoveCommand(name);
    mCommands.clear();
}
