#include "LOOM/console/DebugValues.h"

#include "LOOM/console/Console.h"

void DebugValues::Set(std::string name, std::string value)
{
    if (value.size() > kMaxValueBytes)
        value.resize(kMaxValueBytes);
    const auto found = mValues.find(name);
    if (found != mValues.end())
    {
        found->second = std::move(value);
        return;
    }
    if (name.size() > kMaxNameBytes || mValues.size() >= kMaxValues)
    {
        // Once: a script naming values in a loop would otherwise fill the log instead.
        if (!mRefusalSaid)
            Console::Instance().Log("DebugValue refused: at most " + std::to_string(kMaxValues) +
                                        " debug values of names up to " + std::to_string(kMaxNameBytes) +
                                        " bytes are kept; new names are not added until one is removed",
                                    LogError);
        mRefusalSaid = true;
        return;
    }
    mValues.emplace(std::move(name), std::move(value));
}

void DebugValues::Remove(std::string name)
{
    if (mValues.erase(name) > 0)
        mRefusalSaid = false;
}
