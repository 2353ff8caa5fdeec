#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LOOM/math/Color.h"

class Serializer;

struct ColorKey
{
    float mTime = 0.0f;
    Color mColor{1.0f, 1.0f, 1.0f, 1.0f};
};
static_assert(sizeof(ColorKey) == 20);

// Timed colour keys read from a "ColorStream" file: a colour at any time, or the rate that
// takes a colour to a key.
class ColorStream
{
public:
    // False, with one logged line, when the file is missing or broken (keys read so far stay).
    bool Load(const std::string& fileName);
    void Serialize(Serializer& s);

    // Colour at time t, scanning forward from key start. White without keys.
    Color Evaluate(float t, uint32_t start = 0) const;
    // Change per second that takes colour to key k by its time; zero at or past that time.
    Color RateToKey(const Color& color, float t, uint32_t k) const;

    bool Looping = false;
    std::vector<ColorKey> ColorKeys;
};
