#pragma once
#include <cstddef>
#include <map>
#include <string>

// Named values shown under the console's log; the game refreshes its own every frame. A script
// can name values without end, so the store is bounded: a new name past kMaxValues is refused
// (said once until there is room again) and a value is cut at kMaxValueBytes.
class DebugValues
{
public:
    static constexpr size_t kMaxValues = 1024;
    static constexpr size_t kMaxNameBytes = 256;
    static constexpr size_t kMaxValueBytes = 1024;

    // A name set again takes the new value.
    void Set(std::string name, std::string value);
    void Remove(std::string name);
    const std::map<std::string, std::string, std::less<>>& All() const { return mValues; }

private:
    std::map<std::string, std::string, std::less<>> mValues;
    bool mRefusalSaid = false;
};
