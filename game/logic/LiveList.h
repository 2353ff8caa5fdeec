#pragma once
#include <algorithm>
#include <cstddef>
#include <vector>

// The live objects of one kind, each of which adds itself when it starts and removes itself
// when it goes. Removal swaps the last element in, so the order is not kept.
template <typename T>
class LiveList
{
public:
    void Add(T* item) { mItems.push_back(item); }
    void Remove(T* item)
    {
        auto it = std::find(mItems.begin(), mItems.end(), item);
        if (it == mItems.end())
            return;
        *it = mItems.back();
        mItems.pop_back();
    }

    const std::vector<T*>& Items() const { return mItems; }
    typename std::vector<T*>::const_iterator begin() const { return mItems.begin(); }
    typename std::vector<T*>::const_iterator end() const { return mItems.end(); }
    size_t size() const { return mItems.size(); }
    bool empty() const { return mItems.empty(); }
    T* front() const { return mItems.front(); }

private:
    std::vector<T*> mItems;
};
