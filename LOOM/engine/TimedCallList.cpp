#include "LOOM/engine/TimedCallList.h"

#include <algorithm>
#include <iterator>

#include "LOOM/base/Clocks.h"
#include "LOOM/cogs/Cog.h"
#include "LOOM/factory/CogFactory.h"

TimedCallList::TimedCallList(CogFactory& cogs, const GameClock& clock) : mCogs(cogs), mClock(clock)
{
    mCogs.AddIdListener(this);
}

TimedCallList::~TimedCallList() { mCogs.RemoveIdListener(this); }

void TimedCallList::ForgetCog(uint32_t id)
{
    for (Entry& entry : mEntries)
        if (entry.mCogId == id)
            entry.mRemoved = true;
    if (!mUpdating)
        mEntries.remove_if([](const Entry& entry) { return entry.mRemoved; });
}

void TimedCallList::Add(Cog& cog, uint32_t intervalMs, const std::string& function, int32_t repeat)
{
    Entry entry;
    entry.mRepeat = repeat;
    entry.mInterval = intervalMs;
    entry.mLastFire = mClock.GetTotalMs();
    entry.mFunction = function;
    entry.mCogId = cog.GetID();
    mEntries.push_back(std::move(entry));
}

void TimedCallList::Remove(Cog& cog)
{
    const uint32_t id = cog.GetID();
    auto it = std::find_if(mEntries.begin(), mEntries.end(),
                           [id](const Entry& entry) { return !entry.mRemoved && entry.mCogId == id; });
    if (it == mEntries.end())
        return;
    // While the list is walked, entries are only marked; the walk sweeps them.
    if (mUpdating)
        it->mRemoved = true;
    else
        mEntries.erase(it);
}

bool TimedCallList::Has(uint32_t cogId, const std::string& function) const
{
    return std::any_of(mEntries.begin(), mEntries.end(), [&](const Entry& entry) {
        return !entry.mRemoved && entry.mCogId == cogId && entry.mFunction == function;
    });
}

void TimedCallList::Update()
{
    if (mUpdating || mEntries.empty())
        return;
    mUpdating = true;
    const int64_t now = mClock.GetTotalMs();
    // Entries appended by the calls lie past this one and wait for the next update.
    const auto last = std::prev(mEntries.end());
    for (auto it = mEntries.begin();; ++it)
    {
        Entry& entry = *it;
        // A clock reset since the last call puts now behind it: due at once.
        if (!entry.mRemoved && (now < entry.mLastFire || now - entry.mLastFire > int64_t(entry.mInterval)))
        {
            entry.mLastFire = now;
            Cog* cog = mCogs.GetCog(entry.mCogId);
            if (!cog)
            {
                entry.mRemoved = true;
            }
            else
            {
                // Nothing is erased while the walk runs, so the entry outlives the call.
                cog->CallFunctionByName(entry.mFunction);
                if (!entry.mRemoved)
                {
                    if (entry.mRepeat == 1)
                        entry.mRemoved = true;
                    else if (entry.mRepeat > 1)
                        --entry.mRepeat;
                }
            }
        }
        if (it == last)
            break;
    }
    mEntries.remove_if([](const Entry& entry) { return entry.mRemoved; });
    mUpdating = false;
}

void TimedCallList::Clear()
{
    if (mUpdating)
    {
        for (Entry& entry : mEntries)
            entry.mRemoved = true;
        return;
    }
    mEntries.clear();
}

size_t TimedCallList::Size() const
{
    return static_cast<size_t>(
        std::count_if(mEntries.begin(), mEntries.end(), [](const Entry& e) { return !e.mRemoved; }));
}
