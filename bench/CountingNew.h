#pragma once
// Replaces the global allocation operators with malloc-backed ones that count, so a benchmark can
// show that its steady frames allocate nothing. Include it from the one source file of a benchmark.
#include <atomic>
#include <cstdlib>
#include <new>

inline std::atomic<long> gAllocations{0};

namespace counting_new {
inline void* Counted(std::size_t size)
{
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
} // namespace counting_new

// These are the replacements themselves: malloc and free are their matching pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size)
{
    if (void* p = counting_new::Counted(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    if (void* p = counting_new::Counted(size))
        return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counting_new::Counted(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counting_new::Counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
