#pragma once
#include <array>
#include <string>

// The last 41 lines run in the console, for recall with the arrow keys.
class ConsoleHistory
{
public:
    static constexpr int kCapacity = 41;

    void Push(std::string line);
    // Step to the older / newer line (wrapping among the stored lines); null while empty.
    const std::string* Back();
    const std::string* Forward();
    void SetBrowse(int position) { mBrowse = position; }

    int Size() const { return mFull ? kCapacity : mWrite; }
    // 0 is the newest line.
    const std::string& FromNewest(int index) const;

private:
    bool mFull = false;
    int mWrite = 0;
    int mOldest = 0;
    int mBrowse = 0;
    std::array<std::string, kCapacity> mLines;
};
