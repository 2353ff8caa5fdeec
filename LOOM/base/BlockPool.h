#pragma once
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

// Blocks of 2^k slots, recycled through one free list per size so that lists which grow and
// shrink all the time (quadtree nodes) stop allocating once the pool has seen their peak.
// A size that runs out gets as many blocks again as it has in one allocation, so a peak a
// little above the last one finds spares. Blocks are freed only with the pool.
template <typename T>
class BlockPool
{
    // NOLINTNEXTLINE(bugprone-sizeof-expression): T may well be a pointer; its size is what counts.
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) >= sizeof(void*),
                  "a free block keeps its link in its first slot");

public:
    static constexpr uint32_t kClasses = 32;

    BlockPool() = default;
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    static constexpr uint32_t Capacity(uint32_t sizeClass) { return 1u << sizeClass; }

    T* Take(uint32_t sizeClass)
    {
        T* block = mFree[sizeClass];
        if (block)
        {
            std::memcpy(&mFree[sizeClass], block, sizeof(T*));
            return block;
        }
        const size_t count = mBlocks[sizeClass] ? mBlocks[sizeClass] : 1;
        mOwned.push_back(std::make_unique<T[]>(Capacity(sizeClass) * count));
        mBlocks[sizeClass] += count;
        mAllocated += count;
        T* chunk = mOwned.back().get();
        // The first is handed out, the others wait on the free list.
        for (size_t i = count - 1; i > 0; --i)
            Give(chunk + i * Capacity(sizeClass), sizeClass);
        return chunk;
    }

    void Give(T* block, uint32_t sizeClass)
    {
        std::memcpy(block, &mFree[sizeClass], sizeof(T*));
        mFree[sizeClass] = block;
    }

    // Blocks made so far (tests and benchmarks watch it stay put).
    size_t AllocatedBlocks() const { return mAllocated; }

private:
    std::array<T*, kClasses> mFree{};
    std::array<size_t, kClasses> mBlocks{};
    std::vector<std::unique_ptr<T[]>> mOwned;
    size_t mAllocated = 0;
};
