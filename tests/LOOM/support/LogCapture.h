#pragma once
#include <cstdint>
#include <string>

#include "LOOM/console/Console.h"

// The console entries logged since construction, matched by part of their text.
class LogCapture
{
public:
    LogCapture() : mStart(Console::Instance().GetEntryCounter()) {}

    int Count(const std::string& part) const
    {
        const EntryRing& ring = Console::Instance().GetEntries();
        const uint32_t added = Console::Instance().GetEntryCounter() - mStart;
        int count = 0;
        for (size_t i = 0; i < added && i < ring.Size(); ++i)
            count += ring.FromNewest(i).mText.find(part) != std::string::npos;
        return count;
    }
    bool Contains(const std::string& part) const { return Count(part) > 0; }
    static std::string NewestLog()
    {
        const EntryRing& ring = Console::Instance().GetEntries();
        return ring.Size() ? ring.FromNewest(0).mText : std::string();
    }

private:
    uint32_t mStart;
};
