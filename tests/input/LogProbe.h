#pragma once
#include <algorithm>
#include <string>

#include "LOOM/console/Console.h"

// Counts the log entries written since it was made whose text contains a piece.
class LogProbe
{
public:
    LogProbe() : mStart(Console::Instance().GetEntryCounter()) {}

    int Count(const std::string& piece) const
    {
        const Console& console = Console::Instance();
        const uint32_t written = console.GetEntryCounter() - mStart;
        const size_t visible = std::min<size_t>(written, console.GetEntries().Size());
        int found = 0;
        for (size_t i = 0; i < visible; ++i)
            if (console.GetEntries().FromNewest(i).mText.find(piece) != std::string::npos)
                ++found;
        return found;
    }

    uint32_t Written() const { return Console::Instance().GetEntryCounter() - mStart; }

private:
    uint32_t mStart;
};
