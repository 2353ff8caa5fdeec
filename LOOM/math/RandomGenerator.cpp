#include "LOOM/math/RandomGenerator.h"

void RandomGenerator::Seed(uint32_t seed)
{
    // Spread the seed over the whole state so that neighbouring seeds start far apart.
    uint64_t z = uint64_t(seed) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    mState = z ^ (z >> 31);
}

int RandomGenerator::Next()
{
    // 64-bit linear congruential step; the top bits are the well-mixed ones.
    mState = mState * 6364136223846793005ull + 1442695040888963407ull;
    return int(mState >> 49);
}
