#pragma once
#include <cstdint>

// The engine's pseudo-random source: values 0..32767 whatever the C library's rand() range is,
// the same sequence on every platform for a given seed. Not thread-safe; one per thread.
class RandomGenerator
{
public:
    static constexpr int kMax = 32767;

    explicit RandomGenerator(uint32_t seed = 1) { Seed(seed); }

    void Seed(uint32_t seed);
    // Next value in 0..kMax.
    int Next();

private:
    uint64_t mState = 0;
};
