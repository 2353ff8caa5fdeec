#include "graphics/scene/path/ColorStream.h"

#include <cmath>

#include "LOOM/serial/Serializer.h"
#include "LOOM/serial/XMLLoader.h"
#include "graphics/resource/ResourceFields.h"

namespace {

Color Mix(const Color& a, const Color& b, float u)
{
    return {a.r * (1.0f - u) + b.r * u, a.g * (1.0f - u) + b.g * u, a.b * (1.0f - u) + b.b * u,
            a.a * (1.0f - u) + b.a * u};
}

void SerializeKey(Serializer& s, ColorKey& key)
{
    if (s.BeginField("ColorKey", nullptr, false, TypeObject, &key))
    {
        s.SerializeRealField("Time", key.mTime);
        SerializeColorField(s, "Color", key.mColor);
        s.EndField("ColorKey", false);
    }
}

} // namespace

void ColorStream::Serialize(Serializer& s)
{
    s.SerializeBoolField("Looping", Looping);
    SerializeItemList(s, "ColorKeys", ColorKeys, "ColorKey", [&s](ColorKey& key) { SerializeKey(s, key); });
}

bool ColorStream::Load(const std::string& fileName) { return XMLLoader::LoadElement(fileName, "ColorStream", *this); }

Color ColorStream::Evaluate(float t, uint32_t start) const
{
    const uint32_t n = static_cast<uint32_t>(ColorKeys.size());
    if (n == 0)
        return {1.0f, 1.0f, 1.0f, 1.0f};
    const uint32_t last = n - 1;
    const float lastTime = ColorKeys[last].mTime;
    if (Looping && t > lastTime)
    {
        // A cycle of no length cannot wrap: hold the last key.
        if (lastTime <= 0.0f)
            return ColorKeys[last].mColor;
        t = std::fmod(t, lastTime);
    }
    uint32_t j = start < n ? start : 0;
    while (j != last && t > ColorKeys[j + 1].mTime)
        ++j;
    if (j != last)
    {
        const float span = ColorKeys[j + 1].mTime - ColorKeys[j].mTime;
        const float u = span != 0.0f ? (t - ColorKeys[j].mTime) / span : 1.0f;
        return Mix(ColorKeys[j].mColor, ColorKeys[j + 1].mColor, u);
    }
    if (!Looping)
        return ColorKeys[last].mColor;
    const float firstTime = ColorKeys[0].mTime;
    const float u = firstTime != 0.0f ? (t - lastTime) / firstTime : 1.0f;
    return Mix(ColorKeys[last].mColor, ColorKeys[0].mColor, u);
}

Color ColorStream::RateToKey(const Color& color, float t, uint32_t k) const
{
    if (k >= ColorKeys.size())
        return {};
    const float span = ColorKeys[k].mTime - t;
    if (span == 0.0f)
        return {};
    const Color diff = ColorKeys[k].mColor.Subtract(color);
    return {diff.r / span, diff.g / span, diff.b / span, diff.a / span};
}
