#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "LOOM/script/CompiledPattern.h"

// A replacement text as gsub takes it, read once: runs of its own bytes and references to what
// a match took. "%0" is the whole match, "%1"-"%9" a value of the match, '%' before any other
// byte that byte, and a '%' last a NUL byte.
class ReplacementTemplate
{
public:
    enum class Kind : uint8_t
    {
        Text,  // length bytes of the template's own text, from offset
        Whole, // the whole match
        Value, // the match's value number index (0 for "%1")
    };
    struct Part
    {
        Kind kind = Kind::Text;
        uint32_t index = 0;
        size_t offset = 0;
        size_t length = 0;
    };

    explicit ReplacementTemplate(PatternMemory memory = {})
        : mParts(PatternAllocator<Part>(memory)), mText(PatternAllocator<char>(memory))
    {
    }

    void Read(std::string_view text, WorkMeter& meter);
    const PatternVector<Part>& Parts() const { return mParts; }
    std::string_view TextOf(const Part& part) const { return {mText.data() + part.offset, part.length}; }

private:
    PatternVector<Part> mParts;
    PatternString mText;
};
