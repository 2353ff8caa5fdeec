#include "LOOM/console/ConsoleHistory.h"

void ConsoleHistory::Push(std::string line)
{
    mLines[mWrite] = std::move(line);
    mWrite = (mWrite + 1) % kCapacity;
    if (mWrite == 0)
        mFull = true;
    if (mFull)
        mOldest = mWrite;
    mBrowse = mWrite;
}

const std::string* ConsoleHistory::Back()
{
    const int stored = Size();
    if (stored == 0)
        return nullptr;
    mBrowse = (mBrowse % stored + stored - 1) % stored;
    return &mLines[mBrowse];
}

const std::string* ConsoleHistory::Forward()
{
    const int stored = Size();
    if (stored == 0)
        return nullptr;
    // Before the ring fills, the write position lies past the last line: step on to the oldest.
    mBrowse = mBrowse >= stored ? mOldest : (mBrowse + 1) % stored;
    return &mLines[mBrowse];
}

const std::string& ConsoleHistory::FromNewest(int index) const
{
    const int stored = Size();
    const int wrapped = stored == 0 ? 0 : index % stored;
    return mLines[(mWrite - 1 - wrapped + 2 * kCapacity) % kCapacity];
}
