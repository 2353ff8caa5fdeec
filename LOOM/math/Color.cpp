#include "LOOM/math/Color.h"

namespace {
constexpr float kByteScale = 0.003921569f; // 1 / 255

uint32_t ToByte(float component)
{
    // Converting an out-of-range float to an integer is undefined; saturate first (NaN reads 0).
    if (!(component > 0.0f))
        return 0;
    if (component >= 1.0f)
        return 255;
    return uint32_t(component * 255.0f) & 0xFFu;
}
} // namespace

void Color::SetBytes(int rIn, int gIn, int bIn, int aIn)
{
    r = float(rIn) * kByteScale;
    g = float(gIn) * kByteScale;
    b = float(bIn) * kByteScale;
    a = float(aIn) * kByteScale;
}

float& Color::operator[](int i)
{
    switch (i)
    {
    case 0:
        return r;
    case 1:
        return g;
    case 2:
        return b;
    default:
        return a;
    }
}

float Color::operator[](int i) const { return const_cast<Color&>(*this)[i]; }

uint32_t Color::ToARGB() const { return (ToByte(a) << 24) | (ToByte(r) << 16) | (ToByte(g) << 8) | ToByte(b); }
