#pragma once
#include <cstdint>
#include <list>
#include <string>

#include "LOOM/calls/CogDirectory.h"

class Cog;
class CogFactory;
class GameClock;

// Named cog functions called on a cog every so many milliseconds of game time, a number of
// times or without end. Entries hold the cog by ID: a cog that is gone drops its entries.
class TimedCallList final : public CogIdListener
{
public:
    struct Entry
    {
        int32_t mRepeat = 0; // calls still to make; 0 without end
        uint32_t mInterval = 0;
        int64_t mLastFire = 0;
        std::string mFunction;
        uint32_t mCogId = 0;
        bool mRemoved = false;
    };

    TimedCallList(CogFactory& cogs, const GameClock& clock);
    ~TimedCallList();
    TimedCallList(const TimedCallList&) = delete;
    TimedCallList& operator=(const TimedCallList&) = delete;

    void Add(Cog& cog, uint32_t intervalMs, const std::string& function, int32_t repeat);
    // Removes the first entry of the cog.
    void Remove(Cog& cog);
    bool Has(uint32_t cogId, const std::string& function) const;
    // Fires every due entry once. Calls may add or remove entries: added ones wait for the
    // next update, removed ones are not called.
    void Update();
    void Clear();
    size_t Size() const;

    // The cog manager tells the list when cogs die, so an ID given out again is not called.
    void ForgetCog(uint32_t id) override;
    void ForgetAllCogs() override { Clear(); }

private:
    CogFactory& mCogs;
    const GameClock& mClock;
    std::list<Entry> mEntries;
    bool mUpdating = false;
};
