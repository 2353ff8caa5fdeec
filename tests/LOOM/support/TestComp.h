#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "LOOM/cogs/Comp.h"
#include "LOOM/serial/Serializer.h"

// A component type's name, spelled as a template argument.
template <size_t N>
struct CompName
{
    constexpr CompName(const char (&text)[N]) { std::copy_n(text, N, mText); }
    char mText[N];
};

// What every stand-in component of the tests repeats: its type number, its name, and a file form
// that is the header alone. The stand-in adds only the handlers it listens with.
template <uint32_t Id, CompName Name>
class TestComp : public Comp
{
public:
    static constexpr uint32_t kTypeId = Id;
    void Serialize(Serializer& s) override { SerializeHeader(s); }
    std::string GetTypeName() override { return Name.mText; }
    uint32_t GetTypeId() override { return Id; }
};
