#pragma once
#include <memory>
#include <string>
#include <utility>
#include <vector>

class ConsoleCommand;

// Console commands an object registers and must take back when it goes. Only commands still
// registered as its own are removed, so an older owner never takes a newer one's commands.
class OwnedCommands
{
public:
    OwnedCommands() = default;
    ~OwnedCommands() { RemoveAll(); }
    OwnedCommands(const OwnedCommands&) = delete;
    OwnedCommands& operator=(const OwnedCommands&) = delete;

    void Register(const std::string& name, std::unique_ptr<ConsoleCommand> command, const std::string& description);
    // Without a description: a script function.
    void Add(const std::string& name, std::unique_ptr<ConsoleCommand> command);
    void RemoveAll();

private:
    std::vector<std::pair<std::string, ConsoleCommand*>> mCommands;
};
