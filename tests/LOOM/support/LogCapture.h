#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/console/Console.h"

// The console entries logged since construction (or since a counter value taken before), as
// far as the ring still holds them, matched by part of their text or by any test.
class LogCapture
{
public:
    LogCapture() : mStart(Console::Instance().GetEntryCounter()) {}
    explicit LogCapture(uint32_t since) : mStart(since) {}

    template <typename Test>
    int CountIf(Test test) const
    {
        const EntryRing& ring = Console::Instance().GetEntries();
        const uint32_t added = Written();
        int count = 0;
        for (size_t i = 0; i < added && i < ring.Size(); ++i)
            count += test(ring.FromNewest(i)) ? 1 : 0;
        return count;
    }
    int Count(const std::string& part) const
    {
        return CountIf([&](const LogEntry& entry) { return entry.mText.find(part) != std::string::npos; });
    }
    bool Contains(const std::string& part) const { return Count(part) > 0; }
    // The texts of the error lines, newest first.
    std::vector<std::string> Errors() const
    {
        std::vector<std::string> errors;
        CountIf([&errors](const LogEntry& entry) {
            if (entry.mCategory == LogError)
                errors.push_back(entry.mText);
            return false;
        });
        return errors;
    }
    // Everything logged since, the entries the ring no longer holds included.
    uint32_t Written() const { return Console::Instance().GetEntryCounter() - mStart; }

    static std::string NewestLog()
    {
        const EntryRing& ring = Console::Instance().GetEntries();
        return ring.Size() ? ring.FromNewest(0).mText : std::string();
    }

private:
    uint32_t mStart;
};
