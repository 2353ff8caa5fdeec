#pragma once
#include <map>
#include <string>

// Named values shown under the console's log; the game refreshes its own every frame.
class DebugValues
{
public:
    // A name set again takes the new value.
    void Set(std::string name, std::string value) { mValues[std::move(name)] = std::move(value); }
    void Remove(std::string name) { mValues.erase(name); }
    const std::map<std::string, std::string>& All() const { return mValues; }

private:
    std::map<std::string, std::string> mValues;
};
